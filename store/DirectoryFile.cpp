// Directory files reached by their path, over the ODBC layer: the tools'
// way to the cards, with the program's rules for them.

#include "store/DirectoryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ado/Ado.h"
#include "platform/dao/DBEngine.h"
#include "platform/odbc/Text.h"
#include "store/CardChecks.h"
#include "store/Store.h"

namespace numora::store {
namespace {

// An error whose text names the file already.
class FileError : public Error {
public:
    using Error::Error;
};

// Cards added between two words of progress.
constexpr std::size_t kProgressStep = 1000;

[[noreturn]] void fail(const std::string& path, const std::string& what, long number = 0)
{
    throw FileError(number, path + ": " + what);
}

// The driver takes the file's name as it stands in the connection string,
// where a semicolon would end it.
std::string connectionTo(const std::string& path)
{
    if (path.find(';') != std::string::npos)
        fail(path, "its name holds a semicolon, which the database driver cannot take; rename it first");
    return std::string("Driver=") + dao::kSqliteDriverName + ";Database=" + path;
}

// The same error, its text naming the file and what it means for it.
FileError namingFile(const std::string& path, const Error& e)
{
    const std::string engine = engineText(e).toStdString();
    switch (faultOf(e)) {
    case FileFault::InUse:
        return FileError(e.number(), path + ": in use by another program; close it and try again (" + engine + ")");
    case FileFault::NotADatabase: return FileError(e.number(), path + ": not a directory database (" + engine + ")");
    case FileFault::Damaged: return FileError(e.number(), path + ": damaged (" + engine + ")");
    case FileFault::NoTable:
        return FileError(e.number(), path + ": not a directory database: it has no table " + engine.substr(15));
    case FileFault::Other: break;
    }
    return FileError(e.number(), path + ": " + engine);
}

// Runs step, turning an engine error into one naming the file.
template <class F>
auto naming(const std::string& path, F&& step) -> decltype(step())
{
    try {
        return step();
    } catch (const FileError&) {
        throw;
    } catch (const Error& e) {
        throw namingFile(path, e);
    }
}

std::vector<std::string> columnNames(const Table& table, FileFormat format)
{
    std::vector<std::string> names;
    for (const Column& column : table.columns) {
        if (format == FileFormat::Current || !column.addedAtStart)
            names.emplace_back(column.name);
    }
    return names;
}

std::string createSql(const Table& table, FileFormat format)
{
    std::string sql = std::string("CREATE TABLE ") + table.name + " (";
    const char* separator = "";
    for (const Column& column : table.columns) {
        if (format == FileFormat::Current || !column.addedAtStart) {
            sql += std::string(separator) + column.name + " " + column.type + (column.mayBeNull ? "" : " NOT NULL");
            separator = ", ";
        }
    }
    return sql + ")";
}

// Removes the file it names unless kept.
class Started {
public:
    explicit Started(std::string path) : path_(std::move(path)) {}
    ~Started()
    {
        if (!kept_)
            ::unlink(path_.c_str());
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

} // namespace

void makeDirectoryFile(const std::string& path, FileFormat format, const std::function<NewCards(const Table&)>& cardsOf)
{
    const std::string reach = connectionTo(path);
    // O_EXCL: an existing file is never touched, not even truncated.
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            fail(path, "file exists; refusing to overwrite it", EEXIST);
        fail(path, std::string("cannot create: ") + std::strerror(errno), errno);
    }
    ::close(fd);
    Started started(path);
    naming(path, [&] {
        // An empty file is an empty database to the engine.
        ado::Connection cn;
        cn.Open(reach);
        Transaction tx(cn);
        for (const Table* table : kTables) {
            cn.Execute(createSql(*table, format));
            // Every listing is ordered by Name and every look-up is by Name.
            cn.Execute(std::string("CREATE INDEX ") + table->name + "Name ON " + table->name + " (Name)");
        }
        for (const Table* table : kTables) {
            if (!cardsOf)
                break;
            // The format's columns by their place in the description.
            std::vector<std::size_t> fields;
            for (std::size_t c = 0; c < table->columns.size(); ++c) {
                if (format == FileFormat::Current || !table->columns[c].addedAtStart)
                    fields.push_back(c);
            }
            const NewCards cards = cardsOf(*table);
            cn.InsertRows(table->name, columnNames(*table, format), cards.count,
                          [&](std::size_t card, std::size_t column) { return cards.field(card, fields[column]); });
        }
        tx.commit();
        cn.Close();
    });
    started.keep();
}

DirectoryFile::DirectoryFile(const std::string& path) : path_(path), cn_(std::make_unique<ado::Connection>())
{
    const std::string reach = connectionTo(path);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        fail(path, std::string("cannot open the database: ") + std::strerror(errno), errno);
    if (S_ISDIR(st.st_mode))
        fail(path, "is a folder, not a directory database");
    naming(path_, [&] { cn_->Open(reach); });
}

DirectoryFile::~DirectoryFile() = default;

namespace {

// The index of each described column among the table's as the file has them;
// -1 for one it lacks. Name is never lacking in a directory table.
std::array<int, kCardFields> describedColumns(ado::Connection& cn, const Table& table, const std::string& path)
{
    std::array<int, kCardFields> at{};
    const auto rs = cn.Execute(std::string("SELECT * FROM ") + table.name + " WHERE 0 = 1");
    for (std::size_t c = 0; c < at.size(); ++c) {
        at[c] = -1;
        for (int i = 0; rs && i < rs->FieldCount(); ++i) {
            if (odbc::equalsIgnoringLatinCase(rs->FieldName(i), table.columns[c].name))
                at[c] = i;
        }
    }
    if (at[kFieldName] < 0)
        fail(path, std::string("not a directory database: its table ") + table.name + " has no Name");
    return at;
}

// The rows of a query, read to be read only.
std::unique_ptr<ado::Recordset> readOnly(ado::Connection& cn, const std::string& sql)
{
    auto rs = std::make_unique<ado::Recordset>();
    rs->Open(sql, cn, ado::adOpenForwardOnly, ado::adLockReadOnly);
    return rs;
}

std::vector<std::string> namesIn(ado::Connection& cn, const Table& table, const std::string& path)
{
    (void)describedColumns(cn, table, path);
    const auto rs = readOnly(cn, std::string("SELECT Name FROM ") + table.name);
    std::vector<std::string> names;
    const long count = rs->RecordCount();
    names.reserve(static_cast<std::size_t>(count));
    for (long row = 0; row < count; ++row)
        names.emplace_back(trimBlanks(rs->FieldViewAt(row, 0).value_or("")));
    return names;
}

} // namespace

void DirectoryFile::readCards(const Table& table, const std::function<void(const CardTexts&)>& visit,
                              const std::function<void(std::size_t count)>& counted)
{
    naming(path_, [&] {
        const std::array<int, kCardFields> at = describedColumns(*cn_, table, path_);
        const auto rs = readOnly(*cn_, std::string("SELECT * FROM ") + table.name + " ORDER BY rowid");
        const long count = rs->RecordCount();
        if (counted)
            counted(static_cast<std::size_t>(count));
        CardTexts texts;
        for (long row = 0; row < count; ++row) {
            for (std::size_t c = 0; c < texts.size(); ++c)
                texts[c] = at[c] < 0 ? std::string_view() : trimBlanks(rs->FieldViewAt(row, at[c]).value_or(""));
            visit(texts);
        }
    });
}

std::vector<std::string> DirectoryFile::names(const Table& table)
{
    return naming(path_, [&] { return namesIn(*cn_, table, path_); });
}

std::vector<Fields>
DirectoryFile::addCards(const Table& table,
                        const std::function<std::vector<Fields>(const std::vector<std::string>& names)>& choose,
                        const CardProgress& progress)
{
    return naming(path_, [&] {
        std::optional<Transaction> tx;
        if (!changing_)
            tx.emplace(*cn_);
        std::vector<Fields> cards = choose(namesIn(*cn_, table, path_));
        for (const std::string& statement : missingColumns(*cn_))
            cn_->Execute(statement);
        const std::vector<std::string> columns = columnNames(table, FileFormat::Current);
        for (std::size_t first = 0; first < cards.size(); first += kProgressStep) {
            const std::size_t n = std::min(kProgressStep, cards.size() - first);
            cn_->InsertRows(table.name, columns, n, [&](std::size_t card, std::size_t field) {
                return std::optional<std::string_view>(cards[first + card][field]);
            });
            if (progress)
                progress(first + n, cards.size());
        }
        if (tx)
            tx->commit();
        return cards;
    });
}

void DirectoryFile::reading(const std::function<void(ado::Connection&)>& read)
{
    naming(path_, [&] { read(*cn_); });
}

void DirectoryFile::changing(const std::function<void(ado::Connection&)>& change)
{
    naming(path_, [&] {
        Transaction tx(*cn_);
        for (const std::string& statement : missingColumns(*cn_))
            cn_->Execute(statement);
        changing_ = true;
        struct Done {
            bool& flag;
            ~Done() { flag = false; }
        } done{changing_};
        change(*cn_);
        tx.commit();
    });
}

} // namespace numora::store
