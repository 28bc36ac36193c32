// numora-dbtool: makes directory database files for installing, testing and
// measuring the program, and trades a group's cards with other address books.
//
//   numora-dbtool empty PATH      both tables, today's columns, no cards
//   numora-dbtool old PATH [N]    the format before Address and Email (N cards per group)
//   numora-dbtool sample PATH N   today's format with N generated cards per group
//   numora-dbtool export --format vcard|csv --group Personal|Work [--vcard-version 4.0|3.0] DATABASE FILE
//   numora-dbtool import --format vcard|csv --group Personal|Work [--encoding NAME] [--dry-run] DATABASE FILE
//   numora-dbtool find [--group Personal|Work] [--format vcard|csv] DATABASE TEXT
//   numora-dbtool sync --group Personal|Work [--dry-run] [--force] DATABASE FOLDER
//   numora-dbtool init --group Personal|Work DATA-SOURCE
//   numora-dbtool copy --group Personal|Work FROM TO

#include "platform/ado/Ado.h"
#include "platform/core/ProgramInfo.h"
#include "store/Server.h"
#include "store/Tables.h"
#include "tools/DbFile.h"
#include "tools/exchange/Exchange.h"
#include "tools/exchange/Find.h"
#include "tools/exchange/Sync.h"
#include "tools/exchange/Text.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace numora;

constexpr char kUsage[] =
    "usage: numora-dbtool empty PATH\n"
    "       numora-dbtool old PATH [N]\n"
    "       numora-dbtool sample PATH N\n"
    "       numora-dbtool export --format vcard|csv --group Personal|Work [--vcard-version 4.0|3.0]\n"
    "                            DATABASE FILE\n"
    "       numora-dbtool import --format vcard|csv --group Personal|Work [--encoding NAME] [--dry-run]\n"
    "                            DATABASE FILE\n"
    "       numora-dbtool find [--group Personal|Work] [--format vcard|csv] DATABASE TEXT\n"
    "       numora-dbtool sync --group Personal|Work [--dry-run] [--force] DATABASE FOLDER\n"
    "       numora-dbtool init --group Personal|Work DATA-SOURCE\n"
    "       numora-dbtool copy --group Personal|Work FROM TO\n"
    "empty, old and sample make a directory database file at PATH (never over an\n"
    "existing file); N is the number of generated cards in each group.\n"
    "export writes the group's cards to FILE; import adds FILE's cards to the group,\n"
    "all or none, skipping each card with no name, no number or a name the group has\n"
    "(--dry-run: only tell). --encoding names the file's encoding (such as windows-1255);\n"
    "without it a file is read as UTF-8, or UTF-16 with a byte-order mark, and text\n"
    "that is not UTF-8 as Windows-1255.\n"
    "find prints the cards whose name, any number, address or e-mail holds TEXT, as\n"
    "a table or as vCards or CSV; digits find a number whatever separates them\n"
    "(0501234567 finds 050-1234567, and so does +972501234567). Exit status 1\n"
    "when no card holds it. --format csv needs --group: the groups' columns differ.\n"
    "sync keeps the group and FOLDER, a folder of one-card vCard files named\n"
    "UID.vcf, in step both ways: cards added, changed or deleted on either side\n"
    "since the last sync are added, changed or deleted on the other. A card changed\n"
    "on both sides keeps the group's version; the folder's is kept in\n"
    "FOLDER/conflicts. Cards refused by the group stay in the folder. A sync that\n"
    "would delete more than 5 cards of a side, or more than a tenth of them, stops\n"
    "unless --force is given; --dry-run only tells.\n"
    "init makes the group's table on the database server of the ODBC data source\n"
    "DATA-SOURCE (PostgreSQL), with a key the server numbers and names unique in\n"
    "the group. copy copies the group's cards from FROM to TO, each a directory\n"
    "file's path or dsn:NAME for a server's data source, in one transaction at TO,\n"
    "whose group must hold no cards yet.\n";

int usage()
{
    std::fputs(kUsage, stderr);
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

int runSync(int argc, char** argv)
{
    const store::Table* table = nullptr;
    exchange::SyncOptions options;
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--group" && i + 1 < argc) {
            const std::string_view v = argv[++i];
            for (const store::Table* t : store::kTables) {
                if (v == t->group)
                    table = t;
            }
            if (!table)
                return usage();
        } else if (arg == "--dry-run") {
            options.dryRun = true;
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg.starts_with("--") && arg != "--") {
            return usage();
        } else {
            positional.emplace_back(arg);
        }
    }
    if (!table || positional.size() != 2 || positional[0].empty() || positional[1].empty())
        return usage();
    const exchange::SyncResult result =
        exchange::syncGroup(positional[0], *table, positional[1], options, progressLine());
    for (const std::string& line : exchange::syncSummary(result, options.dryRun))
        std::printf("%s\n", line.c_str());
    return result.stopped ? 3 : 0;
}

// ---- a group on a server ------------------------------------------------------------

// "--group G" and the positional arguments, exactly `count` of them, none empty.
std::optional<std::pair<const store::Table*, std::vector<std::string>>> parseGroupCommand(int argc, char** argv,
                                                                                          std::size_t count)
{
    const store::Table* table = nullptr;
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--group" && i + 1 < argc) {
            table = nullptr;
            for (const store::Table* t : store::kTables) {
                if (std::string_view(argv[i + 1]) == t->group)
                    table = t;
            }
            if (!table)
                return std::nullopt;
            ++i;
        } else if (arg.starts_with("--")) {
            return std::nullopt;
        } else if (arg.empty()) {
            return std::nullopt;
        } else {
            positional.emplace_back(arg);
        }
    }
    if (!table || positional.size() != count)
        return std::nullopt;
    return std::make_pair(table, positional);
}

int runInit(const store::Table& table, const std::string& dataSource)
{
    ado::Connection cn;
    cn.Open("DSN=" + dataSource);
    if (!cn.OnServer())
        throw std::runtime_error("the data source " + dataSource + " reaches a directory file, not a database server");
    store::createServerTable(cn, table);
    std::printf("made the table of the %s group on the data source %s\n", table.group, dataSource.c_str());
    return 0;
}

int runCopy(const store::Table& table, const std::string& from, const std::string& to)
{
    const store::GroupPlace source = store::GroupPlace::parse(from);
    const store::GroupPlace target = store::GroupPlace::parse(to);
    const std::size_t copied = store::copyGroup(table, source, target);
    std::printf("copied %zu cards of the %s group from %s to %s\n", copied, table.group, source.shown().c_str(),
                target.shown().c_str());
    return 0;
}

// ---- find ------------------------------------------------------------------------

struct Find {
    std::vector<const store::Table*> tables{store::kTables.begin(), store::kTables.end()};
    std::optional<exchange::Format> format;
    std::string database;
    std::string text;
};

std::optional<exchange::Format> formatNamed(std::string_view name)
{
    if (name == "vcard")
        return exchange::Format::VCard;
    if (name == "csv")
        return exchange::Format::Csv;
    return std::nullopt;
}

const store::Table* tableNamed(std::string_view group)
{
    for (const store::Table* table : store::kTables) {
        if (group == table->group)
            return table;
    }
    return nullptr;
}

std::optional<Find> parseFind(int argc, char** argv)
{
    Find f;
    bool grouped = false;
    bool options = true; // until a lone "--"
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!options) {
            positional.emplace_back(arg);
        } else if (arg == "--") {
            options = false;
        } else if (arg == "--format" && i + 1 < argc) {
            f.format = formatNamed(argv[++i]);
            if (!f.format)
                return std::nullopt;
        } else if (arg == "--group" && i + 1 < argc) {
            const store::Table* table = tableNamed(argv[++i]);
            if (!table)
                return std::nullopt;
            f.tables = {table};
            grouped = true;
        } else if (arg.starts_with("--")) {
            return std::nullopt;
        } else {
            positional.emplace_back(arg);
        }
    }
    // One CSV has one header, and the groups' columns differ.
    if (f.format == exchange::Format::Csv && !grouped)
        return std::nullopt;
    if (positional.size() != 2 || positional[0].empty() || exchange::text::trimmed(positional[1]).empty())
        return std::nullopt;
    f.database = positional[0];
    f.text = positional[1];
    return f;
}

// How many characters the UTF-8 text shows as.
std::size_t shownWidth(std::string_view s)
{
    return static_cast<std::size_t>(
        std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The cards found as a table: a heading line, then a line per card, in
// columns as wide as their longest text; a column no card fills is left out.
void printTable(const std::vector<std::pair<const char*, exchange::Card>>& found)
{
    using exchange::Kind;
    struct Column {
        const char* heading;
        std::function<std::string(const char*, const exchange::Card&)> text;
    };
    const auto field = [](Kind kind) {
        return [kind](const char*, const exchange::Card& card) { return exchange::text::printable(card[kind]); };
    };
    std::vector<Column> columns = {
        {"Group", [](const char* group, const exchange::Card&) { return std::string(group); }},
        {"Name", field(Kind::Name)},
        {"Home", field(Kind::Home)},
        {"Mobile", field(Kind::Mobile)},
        {"Work", field(Kind::Work)},
        {"Fax", field(Kind::Fax)},
        {"Department", field(Kind::Dept)},
        {"Address", field(Kind::Address)},
        {"E-mail", field(Kind::Email)},
    };
    std::vector<std::vector<std::string>> cells(columns.size());
    std::vector<std::size_t> widths;
    std::vector<std::size_t> shown;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        std::size_t width = 0;
        for (const auto& [group, card] : found) {
            cells[c].push_back(columns[c].text(group, card));
            width = std::max(width, shownWidth(cells[c].back()));
        }
        if (width > 0) {
            shown.push_back(c);
            widths.push_back(std::max(width, shownWidth(columns[c].heading)));
        }
    }
    const auto printRow = [&](const std::function<std::string(std::size_t column)>& cell) {
        std::string line;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const std::string text = cell(shown[i]);
            line += text;
            if (i + 1 < shown.size())
                line += std::string(widths[i] - shownWidth(text) + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        std::printf("%s\n", line.c_str());
    };
    printRow([&](std::size_t c) { return std::string(columns[c].heading); });
    for (std::size_t row = 0; row < found.size(); ++row)
        printRow([&](std::size_t c) { return cells[c][row]; });
}

int runFind(const Find& f)
{
    std::vector<std::pair<const char*, exchange::Card>> found;
    std::string written;
    exchange::Notes notes;
    for (const store::Table* table : f.tables) {
        std::vector<exchange::Card> cards = exchange::findCards(f.database, *table, f.text);
        if (f.format && !cards.empty())
            written += exchange::writeCards(cards, *table, *f.format, notes);
        for (exchange::Card& card : cards)
            found.emplace_back(table->group, std::move(card));
    }
    if (found.empty()) {
        std::fprintf(stderr, "numora-dbtool: no card holds \"%s\"\n", exchange::text::printable(f.text).c_str());
        return 1;
    }
    if (f.format) {
        std::fwrite(written.data(), 1, written.size(), stdout);
        for (const std::string& line : notes.lines())
            std::fprintf(stderr, "note: %s\n", line.c_str());
    } else {
        printTable(found);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (const int status = numora_answer_info(argc, argv, "numora-dbtool", kUsage); status >= 0)
        return status;
    if (argc < 3)
        return usage();
    const std::string_view command = argv[1];
    try {
        if (command == "find") {
            const std::optional<Find> f = parseFind(argc, argv);
            return f ? runFind(*f) : usage();
        }
        if (command == "init" || command == "copy") {
            const bool init = command == "init";
            const auto parsed = parseGroupCommand(argc, argv, init ? 1 : 2);
            if (!parsed)
                return usage();
            const auto& [table, places] = *parsed;
            return init ? runInit(*table, places[0]) : runCopy(*table, places[0], places[1]);
        }
        if (command == "sync")
            return runSync(argc, argv);
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
