#include "platform/ado/Ado.h"

#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string_view>

#include "platform/ado/Filter.h"
#include "platform/ado/OdbcSupport.h"

namespace numora::ado {

using detail::Statement;
using detail::throwDiagnostic;

// The driver manager's environment and one connection, shared by the
// Connection that opened it and every recordset read through it, so that
// closing the Connection never pulls the handle from under a recordset.
struct ConnectionHandle {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    std::string database; // the file connected to, as the data source or string named it

    ConnectionHandle() = default;
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;
    ~ConnectionHandle()
    {
        if (connected)
            SQLDisconnect(dbc);
        if (dbc != SQL_NULL_HDBC)
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        if (env != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

namespace {

constexpr char kMsgNoCurrentRecord[] = "Either BOF or EOF is True, or the current record has been deleted. "
                                       "Requested operation requires a current record.";
constexpr char kMsgClosed[] = "Operation is not allowed when the object is closed.";
constexpr char kMsgOpen[] = "Operation is not allowed when the object is open.";
constexpr char kMsgBadArguments[] = "Arguments are of the wrong type, are out of acceptable range, or are in "
                                    "conflict with one another.";
constexpr char kMsgNoSuchField[] = "Item cannot be found in the collection corresponding to the requested name "
                                   "or ordinal.";
constexpr char kMsgReadOnly[] = "Current Recordset does not support updating. This may be a limitation of the "
                                "provider, or of the selected locktype.";
constexpr char kMsgNotOneTable[] = "The rows do not all come from one table, so they cannot be changed.";
constexpr char kMsgRowConflict[] = "The record was changed or deleted by another user, or is not unique; "
                                   "nothing was written.";

// Rows per block fetch. Larger blocks gained nothing measurable with the
// SQLite driver; the bound buffers stay well under a megabyte per column.
constexpr SQLULEN kBlockRows = 512;

// How long a statement waits for a lock another program holds on the file.
// The driver waits about twice this long for a write.
constexpr int kBusyTimeoutMs = 2000;

[[noreturn]] void fail(long number, const char* description) { throw Error(number, description); }

SQLCHAR* sqlText(const std::string& s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str())); }

SQLPOINTER attrValue(SQLULEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(v)); }

std::string quoteIdentifier(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
    return out;
}

std::string trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return std::string(s.substr(first, last - first + 1));
}

struct Keyword {
    std::string key;
    std::string value;
};

// "KEY=value;KEY={value; with separators};..."
std::vector<Keyword> parseConnectionString(const std::string& s)
{
    std::vector<Keyword> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto eq = s.find('=', i);
        const auto semi = s.find(';', i);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            i = semi == std::string::npos ? s.size() : semi + 1;
            continue;
        }
        Keyword k;
        k.key = trimmed(std::string_view(s).substr(i, eq - i));
        std::size_t v = eq + 1;
        while (v < s.size() && s[v] == ' ')
            ++v;
        if (v < s.size() && s[v] == '{') {
            const auto close = s.find('}', v + 1);
            const auto end = close == std::string::npos ? s.size() : close;
            k.value = s.substr(v + 1, end - v - 1);
            const auto next = close == std::string::npos ? std::string::npos : s.find(';', close);
            i = next == std::string::npos ? s.size() : next + 1;
        } else {
            const auto end = semi == std::string::npos ? s.size() : semi;
            k.value = trimmed(std::string_view(s).substr(v, end - v));
            i = end + 1;
        }
        out.push_back(std::move(k));
    }
    return out;
}

const Keyword* findKeyword(const std::vector<Keyword>& keywords, std::string_view key)
{
    for (const Keyword& k : keywords) {
        if (detail::equalsIgnoringLatinCase(k.key, key))
            return &k;
    }
    return nullptr;
}

std::string profileString(const std::string& section, const char* key)
{
    char buffer[4096] = {};
    const int n = SQLGetPrivateProfileString(section.c_str(), key, "", buffer, sizeof buffer, "ODBC.INI");
    return n > 0 ? std::string(buffer) : std::string();
}

// Connects by an ODBC connection string. The SQLite driver would create a
// missing database file (and an empty file reads as an empty database), so a
// data source whose file is gone must fail here rather than quietly start an
// empty directory: the file is checked first, the driver is told not to
// create one, and a first read proves the file is a database at all.
std::shared_ptr<ConnectionHandle> connect(const std::string& connectionString, const std::string& userId,
                                          const std::string& password)
{
    detail::forgetCachedDataSources();
    const auto keywords = parseConnectionString(connectionString);

    std::string database;
    if (const Keyword* k = findKeyword(keywords, "Database"))
        database = k->value;
    const Keyword* dsn = findKeyword(keywords, "DSN");
    if (dsn && !findKeyword(keywords, "Driver")) {
        // The driver manager keeps its own copy of the data-source files'
        // reader, with a cache of its own that nothing outside it can empty:
        // a name it once failed to find stays "not found" for the next twenty
        // seconds, even after the name has been registered. So a name the
        // installer does not know is refused here, before the driver manager
        // is asked and remembers the miss; the first start, which connects
        // before it registers, then lists at once after the registration.
        if (profileString(dsn->value, "Driver").empty())
            throw Error(adErrProviderFailed, "[IM002] Data source name not found: '" + dsn->value + "'.");
        // The driver would load any library an entry names here into the
        // program; the program never asks for one, so such an entry is not
        // its own (registering the data source again writes it afresh).
        if (const std::string library = profileString(dsn->value, "LoadExt"); !library.empty())
            throw Error(adErrProviderFailed, "[HY000] The data source '" + dsn->value +
                                                 "' asks to load the library '" + library + "'; it is not used.");
        if (database.empty()) {
            database = profileString(dsn->value, "Database");
            if (database.empty())
                throw Error(adErrProviderFailed,
                            "[HY000] The data source '" + dsn->value + "' names no database file.");
        }
    }
    if (!database.empty()) {
        std::error_code ec;
        if (!std::filesystem::exists(database, ec))
            throw Error(adErrProviderFailed, "[HY000] Could not find file '" + database + "'.");
    }

    std::string full = connectionString;
    auto append = [&full](const std::string& keyword) {
        if (!full.empty() && full.back() != ';')
            full += ';';
        full += keyword;
    };
    if (!findKeyword(keywords, "NoCreat"))
        append("NoCreat=1");
    // A file another program holds locked is waited for this long, then the
    // statement fails and says so; without it the driver waits for minutes.
    if (!findKeyword(keywords, "Timeout"))
        append("Timeout=" + std::to_string(kBusyTimeoutMs));
    if (!userId.empty())
        append("UID=" + userId);
    if (!password.empty())
        append("PWD=" + password);

    auto h = std::make_shared<ConnectionHandle>();
    h->database = database;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h->env))) {
        h->env = SQL_NULL_HENV;
        fail(adErrProviderFailed, "The ODBC driver manager could not be started.");
    }
    SQLSetEnvAttr(h->env, SQL_ATTR_ODBC_VERSION, attrValue(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, h->env, &h->dbc))) {
        h->dbc = SQL_NULL_HDBC;
        throwDiagnostic(SQL_HANDLE_ENV, h->env, "Allocating a connection");
    }
    const SQLRETURN rc = SQLDriverConnect(h->dbc, nullptr, sqlText(full), SQL_NTS, nullptr, 0, nullptr,
                                          SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc))
        throwDiagnostic(SQL_HANDLE_DBC, h->dbc, "Connecting");
    h->connected = true;

    Statement probe(h->dbc);
    if (!SQL_SUCCEEDED(SQLExecDirect(probe.get(), sqlText("SELECT count(*) FROM sqlite_master"), SQL_NTS)))
        throwDiagnostic(SQL_HANDLE_STMT, probe.get(), "Reading the database");
    return h;
}

// Sets a statement up for reading its result in blocks. A static cursor lets
// a block be fetched again when a value did not fit its buffer.
void prepareForRows(SQLHSTMT st, SQLULEN* fetched)
{
    SQLSetStmtAttr(st, SQL_ATTR_CURSOR_TYPE, attrValue(SQL_CURSOR_STATIC), 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, attrValue(SQL_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, attrValue(kBlockRows), 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, fetched, 0);
}

// Runs a statement; a searched UPDATE or DELETE that touches no row answers
// SQL_NO_DATA, which is not a failure.
bool execute(SQLHSTMT st, const std::string& sql)
{
    const SQLRETURN rc = SQLExecDirect(st, sqlText(sql), SQL_NTS);
    if (rc == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(rc))
        throwDiagnostic(SQL_HANDLE_STMT, st, "Running the statement");
    return true;
}

// Binds text parameters (or Null) in order. The values must outlive the execution.
void bindParameters(SQLHSTMT st, const std::vector<Value>& values, std::vector<SQLLEN>& lengths)
{
    lengths.assign(values.size(), 0);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Value& v = values[i];
        lengths[i] = v ? static_cast<SQLLEN>(v->size()) : SQL_NULL_DATA;
        const SQLULEN size = v ? std::max<SQLULEN>(v->size(), 1) : 1;
        SQLPOINTER data = v ? const_cast<char*>(v->data()) : nullptr;
        const SQLRETURN rc = SQLBindParameter(st, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                                              SQL_VARCHAR, size, 0, data, v ? lengths[i] : 0, &lengths[i]);
        if (!SQL_SUCCEEDED(rc))
            throwDiagnostic(SQL_HANDLE_STMT, st, "Binding a value");
    }
}

// One column value of the current row, read in pieces of any length.
Value readText(SQLHSTMT st, SQLUSMALLINT column)
{
    std::string out;
    char buffer[1024];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(st, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            throwDiagnostic(SQL_HANDLE_STMT, st, "Reading a value");
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        const bool partial = indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer);
        out.append(buffer, partial ? sizeof buffer - 1 : static_cast<std::size_t>(indicator));
        if (rc == SQL_SUCCESS)
            break;
    }
    return out;
}

// A write runs in a transaction of its own: committed when the statement did
// exactly what was meant, rolled back otherwise (also when an exception
// leaves the scope). The connection returns to autocommit afterwards.
class Transaction {
public:
    explicit Transaction(SQLHDBC dbc) : dbc_(dbc)
    {
        if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, attrValue(SQL_AUTOCOMMIT_OFF), 0)))
            throwDiagnostic(SQL_HANDLE_DBC, dbc_, "Starting a transaction");
    }
    ~Transaction()
    {
        if (!done_)
            SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
        SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, attrValue(SQL_AUTOCOMMIT_ON), 0);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit()
    {
        if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) {
            try {
                throwDiagnostic(SQL_HANDLE_DBC, dbc_, "Committing");
            } catch (...) {
                SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
                done_ = true;
                throw;
            }
        }
        done_ = true;
    }

private:
    SQLHDBC dbc_;
    bool done_ = false;
};

SQLLEN affectedRows(SQLHSTMT st)
{
    SQLLEN n = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(st, &n)))
        return -1;
    return n;
}

} // namespace

// ---------------------------------------------------------------------------
// The client copy of a result: every cell's text back to back in one arena,
// each cell an offset and a length (negative for Null), rows in result order.
// A filter or a deletion only changes the list of visible rows.

struct Recordset::Impl {
    struct Column {
        std::string name;
        std::string baseTable;
        std::string baseColumn;
        SQLLEN octetLength = 0;
    };
    struct Cell {
        std::uint32_t offset = 0;
        std::int32_t length = -1;
    };
    struct Edit {
        bool adding = false;
        std::size_t row = 0;                      // the row being changed (not when adding)
        std::vector<std::optional<Value>> values; // assigned columns only
        long savedPos = 0;                        // where AddNew started from
        bool savedOnDeleted = false;
    };

    std::shared_ptr<ConnectionHandle> conn;
    std::vector<Column> columns;
    std::string table; // the one table every column comes from; empty when there is none
    std::string arena;
    std::vector<Cell> cells;
    std::vector<std::uint8_t> deleted;
    std::vector<std::uint32_t> view; // visible rows in order
    long pos = 0;                    // index into view; -1 is BOF, view.size() is EOF
    bool onDeleted = false;          // the current row was deleted; pos is the row after it
    std::optional<Edit> edit;

    std::size_t rowCount() const { return deleted.size(); }
    long visible() const { return static_cast<long>(view.size()); }
    bool hasCurrentRow() const { return !onDeleted && pos >= 0 && pos < visible(); }

    Value value(std::size_t row, std::size_t column) const
    {
        const Cell& c = cells[row * columns.size() + column];
        if (c.length < 0)
            return std::nullopt;
        return std::string(arena.data() + c.offset, static_cast<std::size_t>(c.length));
    }

    void store(std::size_t row, std::size_t column, const char* data, std::size_t length)
    {
        if (arena.size() + length > std::numeric_limits<std::uint32_t>::max() ||
            length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
            fail(adErrProviderFailed, "The result is too large to be held.");
        Cell& c = cells[row * columns.size() + column];
        c.offset = static_cast<std::uint32_t>(arena.size());
        c.length = static_cast<std::int32_t>(length);
        arena.append(data, length);
    }

    void store(std::size_t row, std::size_t column, const Value& v)
    {
        if (v)
            store(row, column, v->data(), v->size());
        else
            cells[row * columns.size() + column] = Cell{};
    }

    std::size_t appendRow()
    {
        const std::size_t row = rowCount();
        cells.resize(cells.size() + columns.size());
        deleted.push_back(0);
        return row;
    }

    long findColumn(std::string_view name) const
    {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].name.size() == name.size() && detail::equalsIgnoringLatinCase(columns[c].name, name))
                return static_cast<long>(c);
        }
        return -1;
    }

    std::size_t column(std::string_view name) const
    {
        const long c = findColumn(name);
        if (c < 0)
            fail(adErrItemNotFound, kMsgNoSuchField);
        return static_cast<std::size_t>(c);
    }

    void showAll()
    {
        view.clear();
        for (std::size_t r = 0; r < rowCount(); ++r) {
            if (!deleted[r])
                view.push_back(static_cast<std::uint32_t>(r));
        }
    }

    void showMatching(const detail::LikeFilter& f)
    {
        view.clear();
        for (std::size_t r = 0; r < rowCount(); ++r) {
            if (deleted[r])
                continue;
            const Cell& c = cells[r * columns.size() + f.column];
            if (c.length >= 0 &&
                detail::likeMatches(f, std::string_view(arena.data() + c.offset, static_cast<std::size_t>(c.length))))
                view.push_back(static_cast<std::uint32_t>(r));
        }
    }

    void describe(SQLHSTMT st, SQLSMALLINT count)
    {
        columns.resize(static_cast<std::size_t>(count));
        for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
            Column& col = columns[c - 1];
            SQLCHAR name[512] = {};
            SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            if (!SQL_SUCCEEDED(SQLDescribeCol(st, c, name, sizeof name, &length, &type, &size, &digits, &nullable)))
                throwDiagnostic(SQL_HANDLE_STMT, st, "Describing the result");
            col.name = reinterpret_cast<const char*>(name);
            char text[512] = {};
            if (SQL_SUCCEEDED(SQLColAttribute(st, c, SQL_DESC_BASE_TABLE_NAME, text, sizeof text, &length, nullptr)))
                col.baseTable = text;
            text[0] = '\0';
            if (SQL_SUCCEEDED(SQLColAttribute(st, c, SQL_DESC_BASE_COLUMN_NAME, text, sizeof text, &length, nullptr)))
                col.baseColumn = text;
            SQLLEN octets = 0;
            if (SQL_SUCCEEDED(SQLColAttribute(st, c, SQL_DESC_OCTET_LENGTH, nullptr, 0, nullptr, &octets)))
                col.octetLength = octets;
        }
        table.clear();
        bool oneTable = !columns.empty();
        for (const Column& col : columns) {
            if (col.baseTable.empty() || col.baseColumn.empty() || col.baseTable != columns.front().baseTable)
                oneTable = false;
        }
        if (oneTable)
            table = columns.front().baseTable;
    }

    // Reads the whole result with bound columns, a block of rows per fetch.
    // Buffers start at a size fitting the declared length (in UTF-8); a value
    // that does not fit widens its column's buffer and the block is fetched
    // again, so long values arrive whole.
    void load(SQLHSTMT st, const SQLULEN& fetched)
    {
        SQLSMALLINT count = 0;
        SQLNumResultCols(st, &count);
        describe(st, count);
        const std::size_t n = columns.size();

        std::vector<SQLLEN> width(n);
        std::vector<std::unique_ptr<char[]>> buffer(n); // filled by the driver, never read beyond
        std::vector<std::vector<SQLLEN>> indicator(n);
        auto bind = [&](std::size_t c) {
            buffer[c].reset(new char[kBlockRows * static_cast<std::size_t>(width[c])]);
            indicator[c].assign(kBlockRows, 0);
            if (!SQL_SUCCEEDED(SQLBindCol(st, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, buffer[c].get(),
                                          width[c], indicator[c].data())))
                throwDiagnostic(SQL_HANDLE_STMT, st, "Binding a column");
        };
        for (std::size_t c = 0; c < n; ++c) {
            // A declared length counts characters (up to four bytes each in
            // UTF-8); a plain TEXT column declares 65536 and mostly holds short
            // values, so it starts small and widens when a value needs it.
            const SQLLEN declared = columns[c].octetLength;
            width[c] = declared > 0 && declared <= 255 ? std::max<SQLLEN>(declared * 4 + 1, 32) : 256;
            bind(c);
        }

        // Widens every column whose value was cut short in the block just fetched.
        auto widen = [&]() {
            bool widened = false;
            for (std::size_t c = 0; c < n; ++c) {
                SQLLEN needed = 0;
                for (SQLULEN i = 0; i < fetched; ++i) {
                    const SQLLEN ind = indicator[c][i];
                    if (ind == SQL_NO_TOTAL)
                        needed = std::max(needed, width[c] * 2);
                    else if (ind >= width[c])
                        needed = std::max(needed, ind + 1);
                }
                if (needed > width[c]) {
                    width[c] = (needed + 63) / 64 * 64;
                    bind(c);
                    widened = true;
                }
            }
            return widened;
        };

        std::size_t done = 0;
        for (;;) {
            SQLRETURN rc = SQLFetchScroll(st, SQL_FETCH_NEXT, 0);
            if (rc == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(rc))
                throwDiagnostic(SQL_HANDLE_STMT, st, "Reading the result");
            while (rc == SQL_SUCCESS_WITH_INFO && widen()) {
                rc = SQLFetchScroll(st, SQL_FETCH_ABSOLUTE, static_cast<SQLLEN>(done + 1));
                if (!SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
                    throwDiagnostic(SQL_HANDLE_STMT, st, "Reading a long value");
            }
            for (SQLULEN i = 0; i < fetched; ++i) {
                const std::size_t row = appendRow();
                for (std::size_t c = 0; c < n; ++c) {
                    const SQLLEN ind = indicator[c][i];
                    if (ind == SQL_NULL_DATA)
                        continue; // cells start as Null
                    const SQLLEN length = std::min<SQLLEN>(ind < 0 ? 0 : ind, width[c] - 1);
                    store(row, c, buffer[c].get() + static_cast<std::size_t>(width[c]) * i,
                          static_cast<std::size_t>(length));
                }
            }
            done += fetched;
        }
        showAll();
        pos = 0;
        onDeleted = false;
    }

    // The WHERE clause that singles out a row by every value it was read with.
    std::string rowCondition(std::size_t row, std::vector<Value>& params) const
    {
        std::string where;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (c > 0)
                where += " AND ";
            where += quoteIdentifier(columns[c].baseColumn) + " IS ?";
            params.push_back(value(row, c));
        }
        return where;
    }

    void insertRow()
    {
        std::vector<std::size_t> assigned;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (edit->values[c])
                assigned.push_back(c);
        }
        std::string sql = "INSERT INTO " + quoteIdentifier(table);
        std::vector<Value> params;
        if (assigned.empty()) {
            sql += " DEFAULT VALUES";
        } else {
            std::string names, marks;
            for (std::size_t c : assigned) {
                if (!params.empty()) {
                    names += ", ";
                    marks += ", ";
                }
                names += quoteIdentifier(columns[c].baseColumn);
                marks += "?";
                params.push_back(*edit->values[c]);
            }
            sql += " (" + names + ") VALUES (" + marks + ")";
        }

        Transaction tx(conn->dbc);
        std::vector<SQLLEN> lengths;
        {
            Statement st(conn->dbc);
            bindParameters(st.get(), params, lengths);
            execute(st.get(), sql);
            if (affectedRows(st.get()) != 1)
                fail(adErrProviderFailed, "The new record was not stored.");
        }
        // The stored row may differ from what was assigned (column defaults,
        // the column's type); read it back so later writes compare with it.
        std::optional<std::vector<Value>> stored = readInsertedRow();
        tx.commit();

        const std::size_t row = appendRow();
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (stored)
                store(row, c, (*stored)[c]);
            else if (edit->values[c])
                store(row, c, *edit->values[c]);
        }
        view.push_back(static_cast<std::uint32_t>(row));
        pos = visible() - 1;
        onDeleted = false;
        edit.reset();
    }

    std::optional<std::vector<Value>> readInsertedRow() const
    {
        std::string names;
        for (const Column& col : columns)
            names += (names.empty() ? "" : ", ") + quoteIdentifier(col.baseColumn);
        const std::string sql = "SELECT " + names + " FROM " + quoteIdentifier(table) +
                                " WHERE rowid = last_insert_rowid()";
        try {
            Statement st(conn->dbc);
            execute(st.get(), sql);
            if (SQLFetch(st.get()) != SQL_SUCCESS)
                return std::nullopt;
            std::vector<Value> values;
            for (std::size_t c = 0; c < columns.size(); ++c)
                values.push_back(readText(st.get(), static_cast<SQLUSMALLINT>(c + 1)));
            return values;
        } catch (const Error&) {
            return std::nullopt; // a table without rowid: keep what was assigned
        }
    }

    void updateRow()
    {
        std::vector<std::size_t> changed;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (edit->values[c])
                changed.push_back(c);
        }
        if (changed.empty()) {
            edit.reset();
            return;
        }
        std::vector<Value> params;
        std::string set;
        for (std::size_t c : changed) {
            set += (set.empty() ? "" : ", ") + quoteIdentifier(columns[c].baseColumn) + " = ?";
            params.push_back(*edit->values[c]);
        }
        const std::string sql = "UPDATE " + quoteIdentifier(table) + " SET " + set + " WHERE " +
                                rowCondition(edit->row, params);
        writeOneRow(sql, params);
        for (std::size_t c : changed)
            store(edit->row, c, *edit->values[c]);
        edit.reset();
    }

    void deleteRow(std::size_t row)
    {
        std::vector<Value> params;
        const std::string sql = "DELETE FROM " + quoteIdentifier(table) + " WHERE " + rowCondition(row, params);
        writeOneRow(sql, params);
    }

    // Runs an UPDATE or DELETE that must touch exactly one row; anything else
    // (the row changed, vanished, or has a twin with the same values) is rolled
    // back and reported, so no write ever lands on the wrong or on two rows.
    void writeOneRow(const std::string& sql, const std::vector<Value>& params)
    {
        Transaction tx(conn->dbc);
        std::vector<SQLLEN> lengths;
        Statement st(conn->dbc);
        bindParameters(st.get(), params, lengths);
        const bool touched = execute(st.get(), sql);
        if (!touched || affectedRows(st.get()) != 1)
            fail(adErrRowChangedOrMissing, kMsgRowConflict);
        tx.commit();
    }
};

// ---------------------------------------------------------------------------

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(const std::string& connectionString, const std::string& userId, const std::string& password,
                      long /*options*/)
{
    if (handle_)
        fail(adErrObjectOpen, kMsgOpen);
    handle_ = connect(connectionString, userId, password);
}

std::unique_ptr<Recordset> Connection::Execute(const std::string& commandText, long* recordsAffected,
                                               long /*options*/)
{
    if (!handle_)
        fail(adErrObjectClosed, kMsgClosed);
    Statement st(handle_->dbc);
    SQLULEN fetched = 0;
    prepareForRows(st.get(), &fetched);
    const bool touched = execute(st.get(), commandText);
    SQLSMALLINT columns = 0;
    if (touched)
        SQLNumResultCols(st.get(), &columns);
    if (columns > 0) {
        // A result read here can be written back through this connection, as
        // the listing and the report recordsets are.
        auto rs = std::make_unique<Recordset>();
        auto impl = std::make_unique<Recordset::Impl>();
        impl->conn = handle_;
        impl->load(st.get(), fetched);
        rs->d_ = std::move(impl);
        rs->cursorType_ = adOpenStatic;
        rs->lockType_ = adLockOptimistic;
        if (recordsAffected)
            *recordsAffected = -1;
        return rs;
    }
    if (recordsAffected)
        *recordsAffected = touched ? static_cast<long>(affectedRows(st.get())) : 0;
    return nullptr;
}

void Connection::Close()
{
    if (!handle_)
        fail(adErrObjectClosed, kMsgClosed);
    handle_.reset(); // recordsets still holding the handle keep it until they go
}

int Connection::State() const { return handle_ ? adStateOpen : adStateClosed; }

std::string Connection::DatabaseFile() const { return handle_ ? handle_->database : std::string(); }

// ---------------------------------------------------------------------------

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

namespace {

void requireOpen(const void* impl)
{
    if (!impl)
        fail(adErrObjectClosed, kMsgClosed);
}

} // namespace

void Recordset::setCursorType(int type)
{
    if (d_)
        fail(adErrObjectOpen, kMsgOpen);
    cursorType_ = type;
}

void Recordset::setLockType(int type)
{
    if (d_)
        fail(adErrObjectOpen, kMsgOpen);
    lockType_ = type;
}

void Recordset::Open(const std::string& source, const std::string& connectionString, int cursorType, int lockType,
                     long /*options*/)
{
    if (d_)
        fail(adErrObjectOpen, kMsgOpen);
    Connection own;
    own.Open(connectionString);
    Open(source, own, cursorType, lockType);
}

void Recordset::Open(const std::string& source, Connection& activeConnection, int cursorType, int lockType,
                     long /*options*/)
{
    if (d_)
        fail(adErrObjectOpen, kMsgOpen);
    if (activeConnection.State() != adStateOpen)
        fail(adErrObjectClosed, kMsgClosed);
    if (cursorType != adOpenUnspecified)
        cursorType_ = cursorType;
    if (lockType != adLockUnspecified)
        lockType_ = lockType;

    auto impl = std::make_unique<Impl>();
    impl->conn = activeConnection.handle();
    Statement st(impl->conn->dbc);
    SQLULEN fetched = 0;
    prepareForRows(st.get(), &fetched);
    if (!execute(st.get(), source))
        return; // a statement without rows ran; the recordset stays closed
    SQLSMALLINT columns = 0;
    SQLNumResultCols(st.get(), &columns);
    if (columns <= 0)
        return;
    impl->load(st.get(), fetched);
    d_ = std::move(impl);
    filter_.clear();
}

void Recordset::Close()
{
    requireOpen(d_.get());
    d_.reset(); // a pending edit goes unwritten
    filter_.clear();
}

int Recordset::State() const { return d_ ? adStateOpen : adStateClosed; }

void Recordset::setFilter(const std::string& filter)
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    d_->pos = 0;
    d_->onDeleted = false;
    if (filter.empty()) {
        d_->showAll();
        filter_.clear();
        return;
    }
    std::vector<std::string> names;
    for (const auto& c : d_->columns)
        names.push_back(c.name);
    const auto parsed = detail::parseLikeFilter(filter, names);
    if (!parsed) {
        d_->showAll();
        filter_.clear();
        fail(adErrInvalidArgument, kMsgBadArguments);
    }
    d_->showMatching(*parsed);
    filter_ = filter;
}

bool Recordset::Eof() const
{
    requireOpen(d_.get());
    if ((d_->edit && d_->edit->adding) || d_->onDeleted)
        return false;
    return d_->view.empty() || d_->pos >= d_->visible();
}

bool Recordset::Bof() const
{
    requireOpen(d_.get());
    if ((d_->edit && d_->edit->adding) || d_->onDeleted)
        return false;
    return d_->view.empty() || d_->pos < 0;
}

long Recordset::RecordCount() const
{
    requireOpen(d_.get());
    return d_->visible();
}

namespace {

// Positions run from -1 (BOF) to the number of visible rows (EOF); a move may
// land on either end but never beyond, and a failed move changes nothing.
void moveTo(long& pos, bool& onDeleted, long target, long visible)
{
    if (target < -1 || target > visible)
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    pos = target;
    onDeleted = false;
}

} // namespace

void Recordset::MoveFirst()
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    if (d_->view.empty())
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    d_->pos = 0;
    d_->onDeleted = false;
}

void Recordset::MoveNext()
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    moveTo(d_->pos, d_->onDeleted, d_->onDeleted ? d_->pos : d_->pos + 1, d_->visible());
}

void Recordset::MovePrevious()
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    moveTo(d_->pos, d_->onDeleted, d_->pos - 1, d_->visible());
}

void Recordset::Move(long n)
{
    requireOpen(d_.get());
    if (d_->edit)
        Update();
    long target = d_->pos + n;
    if (d_->onDeleted) {
        // pos already stands on the row after the deleted one
        if (n == 0)
            fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
        if (n > 0)
            target = d_->pos + n - 1;
    }
    moveTo(d_->pos, d_->onDeleted, target, d_->visible());
}

int Recordset::FieldCount() const { return d_ ? static_cast<int>(d_->columns.size()) : 0; }

std::string Recordset::FieldName(int index) const
{
    requireOpen(d_.get());
    if (index < 0 || index >= FieldCount())
        fail(adErrItemNotFound, kMsgNoSuchField);
    return d_->columns[static_cast<std::size_t>(index)].name;
}

Value Recordset::Field(const std::string& name) const
{
    requireOpen(d_.get());
    return Field(static_cast<int>(d_->column(name)));
}

Value Recordset::Field(int index) const
{
    requireOpen(d_.get());
    if (index < 0 || index >= FieldCount())
        fail(adErrItemNotFound, kMsgNoSuchField);
    const auto c = static_cast<std::size_t>(index);
    if (d_->edit) {
        if (d_->edit->values[c])
            return *d_->edit->values[c];
        if (d_->edit->adding)
            return std::nullopt;
        return d_->value(d_->edit->row, c);
    }
    if (!d_->hasCurrentRow())
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    return d_->value(d_->view[static_cast<std::size_t>(d_->pos)], c);
}

namespace {

void requireWritable(int lockType, const std::string& table)
{
    if (lockType == adLockReadOnly || lockType == adLockUnspecified)
        fail(adErrFeatureNotAvailable, kMsgReadOnly);
    if (table.empty())
        fail(adErrFeatureNotAvailable, kMsgNotOneTable);
}

} // namespace

void Recordset::setField(const std::string& name, Value v)
{
    requireOpen(d_.get());
    const std::size_t c = d_->column(name);
    requireWritable(lockType_, d_->table);
    if (!d_->edit) {
        if (!d_->hasCurrentRow())
            fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
        Impl::Edit e;
        e.row = d_->view[static_cast<std::size_t>(d_->pos)];
        e.values.resize(d_->columns.size());
        d_->edit = std::move(e);
    }
    d_->edit->values[c] = std::move(v);
}

void Recordset::AddNew()
{
    requireOpen(d_.get());
    requireWritable(lockType_, d_->table);
    if (d_->edit)
        Update();
    Impl::Edit e;
    e.adding = true;
    e.values.resize(d_->columns.size());
    e.savedPos = d_->pos;
    e.savedOnDeleted = d_->onDeleted;
    d_->edit = std::move(e);
}

void Recordset::Update()
{
    requireOpen(d_.get());
    if (!d_->edit)
        return;
    requireWritable(lockType_, d_->table);
    if (d_->edit->adding)
        d_->insertRow();
    else
        d_->updateRow();
}

void Recordset::CancelUpdate()
{
    requireOpen(d_.get());
    if (!d_->edit)
        return;
    if (d_->edit->adding) {
        d_->pos = d_->edit->savedPos;
        d_->onDeleted = d_->edit->savedOnDeleted;
    }
    d_->edit.reset();
}

void Recordset::Delete()
{
    requireOpen(d_.get());
    requireWritable(lockType_, d_->table);
    if (d_->edit && d_->edit->adding) {
        CancelUpdate(); // the new row was never stored: dropping it is its deletion
        return;
    }
    if (!d_->hasCurrentRow())
        fail(adErrNoCurrentRecord, kMsgNoCurrentRecord);
    const auto at = static_cast<std::size_t>(d_->pos);
    const std::size_t row = d_->view[at];
    d_->deleteRow(row);
    d_->edit.reset();
    d_->deleted[row] = 1;
    d_->view.erase(d_->view.begin() + static_cast<std::ptrdiff_t>(at));
    d_->onDeleted = true;
}

bool Recordset::EditPending() const { return d_ && d_->edit.has_value(); }

} // namespace numora::ado
