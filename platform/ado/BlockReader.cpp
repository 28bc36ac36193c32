#include "platform/ado/BlockReader.h"

#include <sqlext.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/ado/Statements.h"
#include "platform/odbc/Odbc.h"
#include "platform/odbc/Text.h"

namespace numora::ado::detail {
namespace {

using odbc::attrValue;
using odbc::sqlText;
using odbc::throwDiagnostic;

// Rows per block fetch. Larger blocks gained nothing measurable with the
// SQLite driver; the bound buffers stay well under a megabyte per column.
constexpr SQLULEN kBlockRows = 512;

constexpr std::string_view kRowId = "rowid";

// Whether the statement is a query of rows, which can be run again without
// changing anything.
bool isQuery(const std::string& sql)
{
    const std::string_view s = odbc::trimmed(sql);
    return s.size() > 6 && odbc::equalsIgnoringLatinCase(s.substr(0, 6), "select") &&
           (s[6] == ' ' || s[6] == '\t' || s[6] == '\r' || s[6] == '\n');
}

// The query with the row id of its table in front of the columns it names.
std::string withRowId(const std::string& sql)
{
    const std::size_t afterSelect = sql.find_first_not_of(" \t\r\n") + 6;
    return sql.substr(0, afterSelect) + " " + std::string(kRowId) + "," + sql.substr(afterSelect);
}

Column describeColumn(SQLHSTMT st, SQLUSMALLINT c)
{
    Column col;
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
    return col;
}

// Where the result's row ids are: before its columns (asked for on a
// directory file), among them (a server table's key column), or nowhere.
enum class RowIds { None, Leading, KeyColumn };

// Describes the result's columns; the row id (a leading one that was asked
// for, or a server table's key column) is not one of them. The result is
// writable when every column comes from one table, and its rows carry their
// ids when the row id comes from that table too. Returns the result column
// of each field, and sets idColumn to the row id's (0 when there is none).
std::vector<SQLUSMALLINT> describe(SQLHSTMT st, RowIds ids, ClientResult& into, SQLUSMALLINT& idColumn)
{
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(st, &count)))
        throwDiagnostic(SQL_HANDLE_STMT, st, "Describing the result");
    std::vector<SQLUSMALLINT> fields;
    into.columns.clear();
    idColumn = ids == RowIds::Leading ? 1 : 0;
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
        if (c == idColumn)
            continue;
        Column col = describeColumn(st, c);
        if (ids == RowIds::KeyColumn && idColumn == 0 && odbc::equalsIgnoringLatinCase(col.name, kRowId)) {
            idColumn = c;
            continue;
        }
        into.columns.push_back(std::move(col));
        fields.push_back(c);
    }

    into.table.clear();
    bool oneTable = !into.columns.empty();
    for (const Column& col : into.columns) {
        if (col.baseTable.empty() || col.baseColumn.empty() || col.baseTable != into.columns.front().baseTable)
            oneTable = false;
    }
    if (oneTable)
        into.table = into.columns.front().baseTable;
    into.rowIds = false;
    if (idColumn != 0 && oneTable) {
        const Column idCol = describeColumn(st, idColumn);
        into.rowIds = idCol.baseTable == into.table && odbc::equalsIgnoringLatinCase(idCol.baseColumn, kRowId);
    }
    return fields;
}

// The column buffers of one block fetch. A buffer starts at a size fitting
// its column's declared length (in UTF-8) and widens when a value needs it.
class Block {
public:
    Block(SQLHSTMT st, const ClientResult& result, std::vector<SQLUSMALLINT> fields, SQLUSMALLINT idColumn)
        : st_(st), fields_(std::move(fields)), width_(result.columns.size()), buffer_(result.columns.size()),
          indicator_(result.columns.size())
    {
        for (std::size_t c = 0; c < width_.size(); ++c) {
            // A declared length counts characters (up to four bytes each in
            // UTF-8); a plain TEXT column declares 65536 and mostly holds
            // short values, so it starts small and widens when a value needs it.
            const SQLLEN declared = result.columns[c].octetLength;
            width_[c] = declared > 0 && declared <= 255 ? std::max<SQLLEN>(declared * 4 + 1, 32) : 256;
            bind(c);
        }
        if (idColumn != 0) {
            ids_.resize(kBlockRows);
            idIndicator_.resize(kBlockRows);
            if (!SQL_SUCCEEDED(
                    SQLBindCol(st_, idColumn, SQL_C_SBIGINT, ids_.data(), sizeof(std::int64_t), idIndicator_.data())))
                throwDiagnostic(SQL_HANDLE_STMT, st_, "Binding the row id");
        }
    }

    // Widens every column whose value was cut short among the rows just
    // fetched, at least to twice its width, so that a result whose values
    // grow longer and longer is read again only a few times; returns
    // whether any column was widened.
    bool widen(SQLULEN fetched)
    {
        bool widened = false;
        for (std::size_t c = 0; c < width_.size(); ++c) {
            SQLLEN needed = 0;
            for (SQLULEN i = 0; i < fetched; ++i) {
                const SQLLEN ind = indicator_[c][i];
                if (ind == SQL_NO_TOTAL)
                    needed = std::max(needed, width_[c] * 2);
                else if (ind >= width_[c])
                    needed = std::max(needed, ind + 1);
            }
            if (needed > width_[c]) {
                width_[c] = (std::max(needed, width_[c] * 2) + 63) / 64 * 64;
                bind(c);
                widened = true;
            }
        }
        return widened;
    }

    // Appends the rows just fetched to the result.
    void store(SQLULEN fetched, ClientResult& into) const
    {
        const std::size_t first = into.appendRows(fetched);
        for (SQLULEN i = 0; i < fetched; ++i) {
            const std::size_t row = first + i;
            for (std::size_t c = 0; c < width_.size(); ++c) {
                const SQLLEN ind = indicator_[c][i];
                if (ind == SQL_NULL_DATA)
                    continue; // cells start as Null
                const SQLLEN length = std::min<SQLLEN>(ind < 0 ? 0 : ind, width_[c] - 1);
                into.setText(row, c,
                             std::string_view(buffer_[c].get() + static_cast<std::size_t>(width_[c]) * i,
                                              static_cast<std::size_t>(length)));
            }
            if (!ids_.empty())
                into.setRowId(row, idIndicator_[i] == SQL_NULL_DATA ? 0 : ids_[i]);
        }
    }

private:
    void bind(std::size_t c)
    {
        buffer_[c].reset(new char[kBlockRows * static_cast<std::size_t>(width_[c])]); // filled by the driver
        indicator_[c].assign(kBlockRows, 0);
        if (!SQL_SUCCEEDED(SQLBindCol(st_, fields_[c], SQL_C_CHAR, buffer_[c].get(), width_[c], indicator_[c].data())))
            throwDiagnostic(SQL_HANDLE_STMT, st_, "Binding a column");
    }

    SQLHSTMT st_;
    std::vector<SQLUSMALLINT> fields_; // the result column of each field
    std::vector<SQLLEN> width_;
    std::vector<std::unique_ptr<char[]>> buffer_;
    std::vector<std::vector<SQLLEN>> indicator_;
    std::vector<std::int64_t> ids_;
    std::vector<SQLLEN> idIndicator_;
};

} // namespace

bool readResult(const ConnectionHandle& conn, const std::string& sql, ClientResult& into, long* affected, bool writable)
{
    odbc::Statement statement(conn.dbc);
    const SQLHSTMT st = statement.get();
    SQLULEN fetched = 0;
    // A query is read with a forward cursor, so the driver hands its rows
    // over as it steps through them instead of copying the whole result
    // first; on the rare value longer than its buffer, the query is run again
    // with wider buffers. Any other statement runs once only: a static cursor
    // lets the block with the long value be fetched again instead.
    const bool query = isQuery(sql);
    // A refused setting would read every block wrong, or (without the count
    // of rows fetched) read every result as empty.
    const auto set = [st](SQLINTEGER attribute, SQLPOINTER value) {
        if (!SQL_SUCCEEDED(SQLSetStmtAttr(st, attribute, value, 0)))
            throwDiagnostic(SQL_HANDLE_STMT, st, "Setting up the reading of rows");
    };
    if (!query)
        set(SQL_ATTR_CURSOR_TYPE, attrValue(SQL_CURSOR_STATIC));
    set(SQL_ATTR_ROW_BIND_TYPE, attrValue(SQL_BIND_BY_COLUMN));
    set(SQL_ATTR_ROW_ARRAY_SIZE, attrValue(kBlockRows));
    set(SQL_ATTR_ROWS_FETCHED_PTR, &fetched);

    // A query whose table has no row id (a view, a join, a table without
    // one) does not compile with it and is read as it is. A server table
    // carries its key among its columns, under the same name.
    const bool server = onServer(conn);
    const bool leadingRowId =
        !server && query && writable && SQL_SUCCEEDED(SQLPrepare(st, sqlText(withRowId(sql)), SQL_NTS));
    if (!leadingRowId && !SQL_SUCCEEDED(SQLPrepare(st, sqlText(sql), SQL_NTS)))
        throwDiagnostic(SQL_HANDLE_STMT, st, "Running the statement");
    const auto run = [st] {
        const SQLRETURN rc = SQLExecute(st);
        if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc))
            throwDiagnostic(SQL_HANDLE_STMT, st, "Running the statement");
        return rc != SQL_NO_DATA;
    };
    const bool ran = run();
    SQLSMALLINT columns = 0;
    if (ran && !SQL_SUCCEEDED(SQLNumResultCols(st, &columns)))
        throwDiagnostic(SQL_HANDLE_STMT, st, "Describing the result");
    if (columns <= 0) {
        if (affected)
            *affected = ran ? static_cast<long>(affectedRows(st)) : 0;
        return false;
    }

    SQLUSMALLINT idColumn = 0;
    std::vector<SQLUSMALLINT> fields =
        describe(st, leadingRowId ? RowIds::Leading : (server ? RowIds::KeyColumn : RowIds::None), into, idColumn);
    Block block(st, into, std::move(fields), idColumn);
    for (;;) {
        SQLRETURN rc = SQLFetchScroll(st, SQL_FETCH_NEXT, 0);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            throwDiagnostic(SQL_HANDLE_STMT, st, "Reading the result");
        if (rc == SQL_SUCCESS_WITH_INFO && block.widen(fetched)) {
            if (query) {
                if (!SQL_SUCCEEDED(SQLCloseCursor(st)))
                    throwDiagnostic(SQL_HANDLE_STMT, st, "Reading the result again");
                into.clearRows();
                run();
                continue;
            }
            do {
                rc = SQLFetchScroll(st, SQL_FETCH_ABSOLUTE, static_cast<SQLLEN>(into.rowCount() + 1));
                if (!SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA)
                    throwDiagnostic(SQL_HANDLE_STMT, st, "Reading a long value");
            } while (rc == SQL_SUCCESS_WITH_INFO && block.widen(fetched));
        }
        block.store(fetched, into);
    }
    return true;
}

} // namespace numora::ado::detail
