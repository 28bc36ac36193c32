// The database file's side of an exchange, through the data core, and the
// exchanged file itself: read whole, and written whole through a new file
// renamed into place.

#include "tools/exchange/Exchange.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ado/Ado.h"
#include "platform/core/Error.h"
#include "platform/core/Files.h"
#include "store/DirectoryFile.h"
#include "store/Server.h"
#include "store/Store.h"

namespace numora::exchange {
namespace {

constexpr off_t kLargestFile = 512L * 1024 * 1024;
constexpr std::size_t kProgressStep = 1000;
constexpr char kDatabaseHeader[] = "SQLite format 3"; // and its terminating zero: the first 16 bytes

std::vector<std::string> columnNames(const store::Table& table)
{
    std::vector<std::string> names;
    for (const store::Column& column : table.columns)
        names.emplace_back(column.name);
    return names;
}

} // namespace

std::vector<Card> readGroup(const std::string& database, const store::Table& table)
{
    store::DirectoryFile db(database);
    std::vector<Card> cards;
    db.readCards(
        table,
        [&](const store::DirectoryFile::CardTexts& texts) {
            Card& card = cards.emplace_back();
            card.number = static_cast<int>(cards.size());
            for (std::size_t c = 0; c < texts.size(); ++c)
                card[kindOfColumn(table, static_cast<int>(c))] = std::string(texts[c]);
        },
        [&](std::size_t count) { cards.reserve(count); });
    return cards;
}

std::vector<Card> readGroup(ado::Connection& cn, const store::Table& table)
{
    std::string select;
    for (const std::string& name : columnNames(table))
        select += (select.empty() ? "" : ", ") + name;
    std::vector<Card> cards;
    for (auto rs = cn.Execute("select " + select + " from " + table.name + " order by rowid"); rs && !rs->Eof();
         rs->MoveNext()) {
        Card& card = cards.emplace_back();
        card.number = static_cast<int>(cards.size());
        for (int c = 0; c < rs->FieldCount(); ++c)
            card[kindOfColumn(table, c)] = rs->Field(c).value_or("");
    }
    return cards;
}

ImportPlan importCards(ado::Connection& cn, const store::Table& table, ReadResult read)
{
    store::Transaction tx(cn);
    std::vector<std::string> names;
    for (auto rs = cn.Execute(std::string("select Name from ") + table.name); rs && !rs->Eof(); rs->MoveNext())
        names.push_back(rs->Field(0).value_or(""));
    ImportPlan plan = planImport(std::move(read), table, names);
    try {
        cn.InsertRows(
            table.name, columnNames(table), plan.toAdd.size(),
            [&](std::size_t row, std::size_t c) -> std::optional<std::string_view> { return plan.toAdd[row][c]; });
    } catch (const Error& e) {
        if (store::isNameTaken(e))
            throw Error(e.number(), "a colleague added one of the file's names meanwhile; no card was added. Import "
                                    "the file again to add the others.");
        throw;
    }
    tx.commit();
    return plan;
}

std::string readFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error(text::systemError(path, "cannot open"));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw std::runtime_error(text::systemError(path, "cannot read"));
    if (S_ISDIR(st.st_mode))
        throw std::runtime_error(path + ": is a folder, not a file of cards");
    if (st.st_size > kLargestFile)
        throw std::runtime_error(path + ": is larger than 512 MiB; that is no address book file");
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::runtime_error(text::systemError(path, "cannot read"));
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<off_t>(bytes.size()) > kLargestFile)
            throw std::runtime_error(path + ": is larger than 512 MiB; that is no address book file");
    }
    return bytes;
}

void writeFileSafely(const std::string& path, const std::string& bytes)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw std::runtime_error(path + ": is a folder");
        // An export written over the database by a slip of the arguments
        // would lose every card.
        char head[sizeof kDatabaseHeader] = {};
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            const bool isDatabase = std::fread(head, 1, sizeof head, f) == sizeof head &&
                                    std::memcmp(head, kDatabaseHeader, sizeof head) == 0;
            std::fclose(f);
            if (isDatabase)
                throw std::runtime_error(path + ": is a database file; an export does not replace it");
        }
    }
    try {
        files::replaceWhole(path, bytes);
    } catch (const Error& e) {
        throw std::runtime_error(path + ": cannot write: " + e.description());
    }
}

std::string writeCards(std::span<const Card> cards, const store::Table& table, Format format, Notes& notes,
                       const Progress& progress, const WriteOptions& options)
{
    // Written a thousand cards at a time, so a long export shows its progress.
    std::string bytes = format == Format::Csv ? csvHeader(table) : std::string();
    for (std::size_t from = 0; from < cards.size(); from += kProgressStep) {
        const std::span<const Card> chunk = cards.subspan(from, std::min(kProgressStep, cards.size() - from));
        bytes += format == Format::VCard ? writeVcard(chunk, table, notes, options) : writeCsv(chunk, table, false);
        if (progress)
            progress("writing", from + chunk.size(), cards.size());
    }
    return bytes;
}

ReadResult readCardsFile(const std::string& file, Format format) { return readCardsFile(file, format, {}); }

ReadResult readCardsFile(const std::string& file, Format format, const ReadOptions& options)
{
    const std::string bytes = readFile(file);
    try {
        return format == Format::VCard ? readVcard(bytes, options) : readCsv(bytes, options);
    } catch (const std::exception& e) {
        throw std::runtime_error(file + ": " + e.what());
    }
}

ExportResult exportGroup(const std::string& database, const store::Table& table, Format format, const std::string& file,
                         const Progress& progress)
{
    return exportGroup(database, table, format, file, progress, {});
}

ExportResult exportGroup(const std::string& database, const store::Table& table, Format format, const std::string& file,
                         const Progress& progress, const WriteOptions& options)
{
    if (options.vcardVersion != "4.0" && options.vcardVersion != "3.0")
        throw std::runtime_error("vCard version " + options.vcardVersion + " is not written; choose 4.0 or 3.0");
    ExportResult result;
    const std::vector<Card> cards = readGroup(database, table);
    result.cards = cards.size();
    writeFileSafely(file, writeCards(cards, table, format, result.notes, progress, options));
    return result;
}

ImportPlan importFile(const std::string& database, const store::Table& table, Format format, const std::string& file,
                      bool dryRun, const Progress& progress)
{
    return importFile(database, table, format, file, dryRun, progress, {});
}

ImportPlan importFile(const std::string& database, const store::Table& table, Format format, const std::string& file,
                      bool dryRun, const Progress& progress, const ReadOptions& options)
{
    ReadResult read = readCardsFile(file, format, options);
    store::DirectoryFile db(database);
    if (dryRun)
        return planImport(std::move(read), table, db.names(table));
    // The group's names are read under the file's write lock, taken at once:
    // another program holding the file is found before anything is changed,
    // and none adds a name meanwhile.
    ImportPlan plan;
    plan.toAdd = db.addCards(
        table,
        [&](const std::vector<std::string>& names) {
            plan = planImport(std::move(read), table, names);
            return std::move(plan.toAdd);
        },
        [&](std::size_t done, std::size_t total) {
            if (progress)
                progress("adding", done, total);
        });
    return plan;
}

} // namespace numora::exchange
