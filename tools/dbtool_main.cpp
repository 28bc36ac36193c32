// numora-dbtool: makes directory database files for installing, testing and
// measuring the program, and trades a group's cards with other address books.
//
//   numora-dbtool empty PATH      both tables, today's columns, no cards
//   numora-dbtool old PATH [N]    the format before Address and Email (N cards per group)
//   numora-dbtool sample PATH N   today's format with N generated cards per group
//   numora-dbtool export --format vcard|csv --group Personal|Work [--vcard-version 4.0|3.0] DATABASE FILE
//   numora-dbtool import --format vcard|csv --group Personal|Work [--encoding NAME] [--dry-run] DATABASE FILE

#include "store/Tables.h"
#include "tools/DbFile.h"
#include "tools/exchange/Exchange.h"
#include "tools/exchange/Text.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace numora;

int usage()
{
    std::fputs("usage: numora-dbtool empty PATH\n"
               "       numora-dbtool old PATH [N]\n"
               "       numora-dbtool sample PATH N\n"
               "       numora-dbtool export --format vcard|csv --group Personal|Work [--vcard-version 4.0|3.0]\n"
               "                            DATABASE FILE\n"
               "       numora-dbtool import --format vcard|csv --group Personal|Work [--encoding NAME] [--dry-run]\n"
               "                            DATABASE FILE\n"
               "empty, old and sample make a directory database file at PATH (never over an\n"
               "existing file); N is the number of generated cards in each group.\n"
               "export writes the group's cards to FILE; import adds FILE's cards to the group,\n"
               "all or none, skipping each card with no name, no number or a name the group has\n"
               "(--dry-run: only tell). --encoding names the file's encoding (such as windows-1255);\n"
               "without it a file is read as UTF-8, or UTF-16 with a byte-order mark, and text\n"
               "that is not UTF-8 as Windows-1255.\n",
               stderr);
    return 2;
}

bool parseCount(std::string_view text, int& count)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, count);
    return ec == std::errc() && ptr == end && count >= 0;
}

// Cards in a file this size or smaller go by without a progress line.
constexpr std::size_t kQuietCards = 300;

// A progress line on a terminal, rewritten in place; nothing elsewhere.
exchange::Progress progressLine()
{
    if (!::isatty(STDERR_FILENO))
        return {};
    return [](const char* step, std::size_t done, std::size_t total) {
        if (total <= kQuietCards)
            return;
        std::fprintf(stderr, "\r%s cards: %zu of %zu", step, done, total);
        if (done == total)
            std::fputc('\n', stderr);
        std::fflush(stderr);
    };
}

struct Exchange {
    bool exporting = false;
    std::optional<exchange::Format> format;
    const store::Table* table = nullptr;
    bool dryRun = false;
    exchange::ReadOptions read;
    exchange::WriteOptions write;
    std::string database;
    std::string file;
};

std::optional<Exchange> parseExchange(int argc, char** argv)
{
    Exchange x;
    x.exporting = std::string_view(argv[1]) == "export";
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--format" && i + 1 < argc) {
            const std::string_view v = argv[++i];
            if (v == "vcard")
                x.format = exchange::Format::VCard;
            else if (v == "csv")
                x.format = exchange::Format::Csv;
            else
                return std::nullopt;
        } else if (arg == "--group" && i + 1 < argc) {
            const std::string_view v = argv[++i];
            for (const store::Table* table : store::kTables) {
                if (v == table->group)
                    x.table = table;
            }
            if (!x.table)
                return std::nullopt;
        } else if (arg == "--dry-run" && !x.exporting) {
            x.dryRun = true;
        } else if (arg == "--encoding" && !x.exporting && i + 1 < argc && *argv[i + 1]) {
            x.read.encoding = argv[++i];
        } else if (arg == "--vcard-version" && x.exporting && i + 1 < argc) {
            x.write.vcardVersion = argv[++i];
            if (x.write.vcardVersion != "4.0" && x.write.vcardVersion != "3.0")
                return std::nullopt;
        } else if (arg.starts_with("--") && arg != "--") {
            return std::nullopt;
        } else {
            positional.emplace_back(arg);
        }
    }
    if (!x.format || !x.table || positional.size() != 2 || positional[0].empty() || positional[1].empty())
        return std::nullopt;
    x.database = positional[0];
    x.file = positional[1];
    return x;
}

void printNotes(const exchange::Notes& notes)
{
    for (const std::string& line : notes.lines())
        std::printf("note: %s\n", exchange::text::printable(line).c_str());
}

int runExchange(const Exchange& x)
{
    const char* group = x.table->group;
    if (x.exporting) {
        const exchange::ExportResult result =
            exchange::exportGroup(x.database, *x.table, *x.format, x.file, progressLine(), x.write);
        printNotes(result.notes);
        std::printf("exported %zu cards of the %s group to %s\n", result.cards, group,
                    exchange::text::printable(x.file).c_str());
        return 0;
    }
    const exchange::ImportPlan plan =
        exchange::importFile(x.database, *x.table, *x.format, x.file, x.dryRun, progressLine(), x.read);
    const auto list = [](const char* what, const std::vector<exchange::Skipped>& cards) {
        for (const exchange::Skipped& s : cards) {
            std::printf("%s card %d", what, s.number);
            if (s.line > 0)
                std::printf(" (line %d)", s.line);
            std::printf(" \"%s\": %s\n", exchange::text::shown(s.name).c_str(),
                        exchange::text::printable(s.reason).c_str());
        }
    };
    list("skipped", plan.skipped);
    list("long field in", plan.longFields);
    printNotes(plan.notes);
    if (x.dryRun) {
        for (const exchange::Row& row : plan.toAdd)
            std::printf("would add \"%s\"\n", exchange::text::shown(row[0]).c_str());
        std::printf("would add %zu cards to the %s group, skip %zu; nothing was written (--dry-run)\n",
                    plan.toAdd.size(), group, plan.skipped.size());
    } else {
        std::printf("added %zu cards to the %s group, skipped %zu\n", plan.toAdd.size(), group, plan.skipped.size());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string_view command = argv[1];
    try {
        if (command == "export" || command == "import") {
            const std::optional<Exchange> x = parseExchange(argc, argv);
            return x ? runExchange(*x) : usage();
        }
        const std::string path = argv[2];
        if (path.empty())
            return usage();
        int count = 0;
        if (command == "empty" && argc == 3) {
            dbfile::createEmpty(path);
        } else if (command == "old" && (argc == 3 || argc == 4)) {
            if (argc == 4 && !parseCount(argv[3], count))
                return usage();
            dbfile::createOldSample(path, count);
        } else if (command == "sample" && argc == 4) {
            if (!parseCount(argv[3], count))
                return usage();
            dbfile::createSample(path, count);
        } else {
            return usage();
        }
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "numora-dbtool: %s\n", exchange::text::printable(e.what()).c_str());
        return 1;
    }
    return 0;
}
