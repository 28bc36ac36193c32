// The reference the exchange benchmarks measure the data core against: an
// export and an import of a group done the way the exchange library did
// them before it reached its files through the core, through SQLite's own
// API, with the same formats and checks. Only the benchmarks use it.

#include "bench/OldExchange.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/LockWait.h"
#include "store/CardChecks.h"

namespace numora::bench::oldway {

using namespace numora::exchange;
namespace {

constexpr std::size_t kProgressStep = 1000;
constexpr char kDatabaseHeader[] = "SQLite format 3"; // and its terminating zero: the first 16 bytes

std::string systemError(const std::string& path, const char* what)
{
    return path + ": " + what + ": " + std::strerror(errno);
}

class Database {
public:
    Database(const std::string& path, bool writing) : path_(path)
    {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            throw std::runtime_error(systemError(path, "cannot open the database"));
        if (S_ISDIR(st.st_mode))
            throw std::runtime_error(path + ": is a folder, not a directory database");
        const int flags = writing ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
        if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK)
            fail("cannot open the database");
        sqlite3_busy_timeout(db_, locks::busyTimeoutMs());
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    [[noreturn]] void fail(const std::string& what) const
    {
        const int code = db_ ? sqlite3_errcode(db_) & 0xFF : SQLITE_CANTOPEN;
        const std::string engine = db_ ? sqlite3_errmsg(db_) : "out of memory";
        if (code == SQLITE_NOTADB)
            throw std::runtime_error(path_ + ": not a directory database (" + engine + ")");
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            throw std::runtime_error(path_ + ": in use by another program; close it and try again (" + engine + ")");
        throw std::runtime_error(path_ + ": " + what + " (" + engine + ")");
    }

    void exec(const std::string& sql)
    {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail("cannot run \"" + sql.substr(0, 60) + "\"");
    }

    sqlite3* handle() const { return db_; }

    // The table's column for each described column, in the file's spelling;
    // empty for a column the file lacks (Address and Email in the old format).
    std::array<std::string, store::kCardFields> columnsOf(const store::Table& table)
    {
        sqlite3_stmt* st = nullptr;
        const std::string sql = std::string("SELECT * FROM ") + table.name + " LIMIT 0";
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            if (std::strncmp(sqlite3_errmsg(db_), "no such table", 13) == 0)
                throw std::runtime_error(path_ + ": not a directory database: it has no table " + table.name);
            fail(std::string("cannot read the table ") + table.name);
        }
        std::array<std::string, store::kCardFields> found;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const char* name = sqlite3_column_name(st, i);
            for (std::size_t c = 0; c < found.size(); ++c) {
                if (name && ::strcasecmp(name, table.columns[c].name) == 0)
                    found[c] = name;
            }
        }
        sqlite3_finalize(st);
        if (found[0].empty())
            throw std::runtime_error(path_ + ": not a directory database: its table " + table.name + " has no Name");
        return found;
    }

private:
    std::string path_;
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(Database& db, const std::string& sql) : db_(db)
    {
        if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &st_, nullptr) != SQLITE_OK)
            db.fail("cannot prepare \"" + sql.substr(0, 60) + "\"");
    }
    ~Statement() { sqlite3_finalize(st_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Another row: true; the end: false.
    bool step()
    {
        const int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            db_.fail("cannot read or write a card");
        return false;
    }
    std::string_view text(int column) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, column));
        return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_column_bytes(st_, column)))
                 : std::string_view();
    }
    void insert(const Row& row, std::size_t columns)
    {
        sqlite3_reset(st_);
        for (std::size_t i = 0; i < columns; ++i) {
            if (sqlite3_bind_text(st_, static_cast<int>(i) + 1, row[i].data(), static_cast<int>(row[i].size()),
                                  SQLITE_STATIC) != SQLITE_OK)
                db_.fail("cannot bind a value");
        }
        step();
    }

private:
    Database& db_;
    sqlite3_stmt* st_ = nullptr;
};

// "SELECT a, b FROM t" over the columns the file has.
std::string selectSql(const store::Table& table, const std::array<std::string, store::kCardFields>& columns,
                      std::vector<int>& present)
{
    std::string sql = "SELECT ";
    for (int c = 0; c < store::kCardFields; ++c) {
        if (columns[static_cast<std::size_t>(c)].empty())
            continue;
        sql += (present.empty() ? "" : ", ") + columns[static_cast<std::size_t>(c)];
        present.push_back(c);
    }
    return sql + " FROM " + table.name;
}

// The group's names, trimmed.
std::vector<std::string> namesIn(Database& db, const store::Table& table)
{
    Statement select(db, "SELECT " + db.columnsOf(table)[0] + " FROM " + table.name);
    std::vector<std::string> names;
    while (select.step())
        names.emplace_back(store::trimBlanks(select.text(0)));
    return names;
}

// Adds the rows inside the caller's transaction, after giving a file of the
// old format the columns it lacks.
void insertRows(Database& db, const store::Table& table, const std::vector<Row>& rows, const Progress& progress)
{
    std::array<std::string, store::kCardFields> columns = db.columnsOf(table);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const store::Column& column = table.columns[c];
        if (columns[c].empty() && column.addedAtStart) {
            db.exec(std::string("ALTER TABLE ") + table.name + " ADD COLUMN " + column.name + " " + column.type);
            columns[c] = column.name;
        }
    }
    std::string sql = std::string("INSERT INTO ") + table.name + " (";
    for (std::size_t c = 0; c < columns.size(); ++c)
        sql += (c ? ", " : "") + columns[c];
    sql += ") VALUES (?, ?, ?, ?, ?, ?, ?)";
    Statement insert(db, sql);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        insert.insert(rows[i], columns.size());
        if (progress && ((i + 1) % kProgressStep == 0 || i + 1 == rows.size()))
            progress("adding", i + 1, rows.size());
    }
}

// Removes a temporary file unless it was renamed into place.
struct TemporaryFile {
    std::string path;
    int fd = -1;
    bool kept = false;
    ~TemporaryFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!kept && !path.empty())
            ::unlink(path.c_str());
    }
};

} // namespace

std::vector<Card> readGroup(const std::string& database, const store::Table& table)
{
    Database db(database, false);
    std::vector<int> present;
    Statement select(db, selectSql(table, db.columnsOf(table), present) + " ORDER BY rowid");
    std::vector<Card> cards;
    while (select.step()) {
        Card card;
        card.number = static_cast<int>(cards.size()) + 1;
        for (std::size_t i = 0; i < present.size(); ++i)
            card[kindOfColumn(table, present[i])] = std::string(store::trimBlanks(select.text(static_cast<int>(i))));
        cards.push_back(std::move(card));
    }
    return cards;
}

void writeFileSafely(const std::string& path, const std::string& bytes)
{
    mode_t mode = 0;
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
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    TemporaryFile tmp;
    tmp.path = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    tmp.fd = ::mkstemp(tmp.path.data());
    if (tmp.fd < 0) {
        tmp.path.clear();
        throw std::runtime_error(systemError(path, "cannot write in its folder"));
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(tmp.fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::runtime_error(systemError(path, "cannot write"));
        written += static_cast<std::size_t>(n);
    }
    if (::fchmod(tmp.fd, mode) != 0 || ::fsync(tmp.fd) != 0)
        throw std::runtime_error(systemError(path, "cannot write"));
    const int fd = tmp.fd;
    tmp.fd = -1;
    if (::close(fd) != 0)
        throw std::runtime_error(systemError(path, "cannot write"));
    if (::rename(tmp.path.c_str(), path.c_str()) != 0)
        throw std::runtime_error(systemError(path, "cannot put the written file in place"));
    tmp.kept = true;
}

ExportResult exportGroup(const std::string& database, const store::Table& table, Format format, const std::string& file,
                         const Progress& progress)
{
    ExportResult result;
    const std::vector<Card> cards = readGroup(database, table);
    result.cards = cards.size();
    writeFileSafely(file, writeCards(cards, table, format, result.notes, progress));
    return result;
}

ImportPlan importFile(const std::string& database, const store::Table& table, Format format, const std::string& file,
                      bool dryRun, const Progress& progress)
{
    ReadResult read = readCardsFile(file, format);
    Database db(database, !dryRun);
    if (dryRun)
        return planImport(std::move(read), table, namesIn(db, table));
    // The write lock taken at once: another program holding the file is
    // found before anything is changed, and none adds a name meanwhile.
    db.exec("BEGIN IMMEDIATE");
    try {
        ImportPlan plan = planImport(std::move(read), table, namesIn(db, table));
        insertRows(db, table, plan.toAdd, progress);
        db.exec("COMMIT");
        return plan;
    } catch (const std::exception&) {
        sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace numora::bench::oldway
