// Many rows into one table through parameter arrays.
//
// The SQLite driver compiles its statement afresh for every set of values it
// is handed, so a statement of one row per set would spend most of its time
// compiling. Each set therefore carries a block of rows (one INSERT with
// that many VALUES lists), and one call hands the driver every set of a
// chunk; the few rows left over go in one statement of their own.

#include <sqlext.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "platform/ado/Ado.h"
#include "platform/ado/ConnectionHandle.h"
#include "platform/ado/Messages.h"
#include "platform/ado/Statements.h"
#include "platform/odbc/Odbc.h"

namespace numora::ado {
namespace {

using odbc::attrValue;
using odbc::throwDiagnostic;

// The engine takes at most 999 values a statement in its oldest builds. Of
// the block sizes measured (4 to 128 rows of seven fields), 32 stored a group
// of 32,766 cards fastest: fewer sets to compile, and each compiled
// statement small.
constexpr std::size_t kMostValues = 999;
constexpr std::size_t kMostRowsPerSet = 32;
// The bound values of one chunk take about this much at most (a chunk holds
// at least one set, whatever its values' lengths).
constexpr std::size_t kChunkBytes = std::size_t{8} << 20;

// A name as the engine holds it: a server folds the unquoted names its
// tables were made with to lower case.
std::string heldName(const std::string& name, bool server)
{
    if (!server)
        return name;
    std::string out = name;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string insertSql(const std::string& table, const std::vector<std::string>& columns, std::size_t rows, bool server)
{
    std::string names, marks;
    for (const std::string& column : columns) {
        names += (names.empty() ? "" : ", ") + detail::quoteIdentifier(heldName(column, server));
        marks += marks.empty() ? "?" : ", ?";
    }
    std::string sql = "INSERT INTO " + detail::quoteIdentifier(heldName(table, server)) + " (" + names + ") VALUES ";
    for (std::size_t r = 0; r < rows; ++r)
        sql += (r ? ", (" : "(") + marks + ")";
    return sql;
}

// The values of `sets` sets of `perSet` rows each, from row `first` on, bound
// column-wise: parameter p of set s is row first + s * perSet + p / width,
// column p % width.
class ParameterArrays {
public:
    ParameterArrays(const Connection::RowValue& value, std::size_t first, std::size_t sets, std::size_t perSet,
                    const std::vector<SQLLEN>& widths)
        : sets_(sets), widths_(widths), data_(widths.size() * perSet), lengths_(widths.size() * perSet)
    {
        const std::size_t columns = widths.size();
        for (std::size_t p = 0; p < data_.size(); ++p) {
            const std::size_t c = p % columns;
            const auto width = static_cast<std::size_t>(widths[c]);
            data_[p].reset(new char[sets * width]);
            lengths_[p].resize(sets);
            for (std::size_t s = 0; s < sets; ++s) {
                const std::optional<std::string_view> v = value(first + s * perSet + p / columns, c);
                lengths_[p][s] = v ? static_cast<SQLLEN>(v->size()) : SQL_NULL_DATA;
                if (v && !v->empty())
                    std::copy(v->begin(), v->end(), data_[p].get() + s * width);
            }
        }
    }

    void bind(SQLHSTMT st) const
    {
        for (std::size_t p = 0; p < data_.size(); ++p) {
            const SQLLEN width = widths_[p % widths_.size()];
            if (!SQL_SUCCEEDED(SQLBindParameter(st, static_cast<SQLUSMALLINT>(p + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                                                SQL_VARCHAR, static_cast<SQLULEN>(width), 0, data_[p].get(), width,
                                                const_cast<SQLLEN*>(lengths_[p].data()))))
                throwDiagnostic(SQL_HANDLE_STMT, st, "Binding a value");
        }
    }

    std::size_t sets() const { return sets_; }

private:
    std::size_t sets_;
    const std::vector<SQLLEN>& widths_;
    std::vector<std::unique_ptr<char[]>> data_;
    std::vector<std::vector<SQLLEN>> lengths_;
};

void setAttribute(SQLHSTMT st, SQLINTEGER attribute, SQLPOINTER value)
{
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(st, attribute, value, 0)))
        throwDiagnostic(SQL_HANDLE_STMT, st, "Setting up the values of many rows");
}

// Runs one INSERT of perSet rows for every set of the arrays; returns the rows it stored.
std::size_t insertSets(SQLHDBC dbc, const std::string& sql, const ParameterArrays& arrays, std::size_t perSet,
                       bool server)
{
    odbc::Statement statement(dbc);
    const SQLHSTMT st = statement.get();
    SQLULEN processed = 0;
    std::vector<SQLUSMALLINT> status(arrays.sets(), SQL_PARAM_UNUSED);
    setAttribute(st, SQL_ATTR_PARAM_BIND_TYPE, attrValue(SQL_PARAM_BIND_BY_COLUMN));
    setAttribute(st, SQL_ATTR_PARAMSET_SIZE, attrValue(arrays.sets()));
    setAttribute(st, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed);
    if (server)
        setAttribute(st, SQL_ATTR_PARAM_STATUS_PTR, status.data());
    if (!SQL_SUCCEEDED(SQLPrepare(st, odbc::sqlText(sql), SQL_NTS)))
        throwDiagnostic(SQL_HANDLE_STMT, st, "Preparing the rows");
    arrays.bind(st);
    if (!SQL_SUCCEEDED(SQLExecute(st)))
        throwDiagnostic(SQL_HANDLE_STMT, st, "Storing the rows");
    // A driver that took the array for one set would store a fraction of the
    // rows. The server's driver counts the rows of the last set only, and
    // tells each set's outcome instead.
    bool whole = processed == arrays.sets();
    if (server) {
        for (const SQLUSMALLINT s : status)
            whole = whole && (s == SQL_PARAM_SUCCESS || s == SQL_PARAM_SUCCESS_WITH_INFO);
        whole = whole && detail::affectedRows(st) == static_cast<SQLLEN>(perSet);
    } else {
        whole = whole && detail::affectedRows(st) == static_cast<SQLLEN>(arrays.sets() * perSet);
    }
    if (!whole)
        detail::fail(adErrProviderFailed, "Not every row was stored.");
    return arrays.sets() * perSet;
}

} // namespace

std::size_t Connection::InsertRows(const std::string& table, const std::vector<std::string>& columns, std::size_t count,
                                   const RowValue& value)
{
    if (!handle_)
        detail::fail(adErrObjectClosed, detail::kMsgClosed);
    if (columns.empty() || count == 0)
        return 0;
    const std::size_t perSet = std::max<std::size_t>(1, std::min(kMostRowsPerSet, kMostValues / columns.size()));

    const bool server = detail::onServer(*handle_);
    detail::Transaction tx(*handle_);
    std::size_t stored = 0;
    std::size_t first = 0;
    while (first < count) {
        // A chunk grows while its values fit the budget at the widths they need.
        std::vector<SQLLEN> widths(columns.size(), 1);
        std::size_t end = first;
        for (; end < count; ++end) {
            std::vector<SQLLEN> wider = widths;
            for (std::size_t c = 0; c < columns.size(); ++c) {
                if (const auto v = value(end, c))
                    wider[c] = std::max<SQLLEN>(wider[c], static_cast<SQLLEN>(v->size()) + 1);
            }
            const auto rowBytes = static_cast<std::size_t>(std::accumulate(wider.begin(), wider.end(), SQLLEN{0}));
            if (end - first >= perSet && (end - first + 1) * rowBytes > kChunkBytes)
                break;
            widths = std::move(wider);
        }
        const std::size_t rows = end - first;
        if (const std::size_t sets = rows / perSet; sets > 0)
            stored += insertSets(handle_->dbc, insertSql(table, columns, perSet, server),
                                 ParameterArrays(value, first, sets, perSet, widths), perSet, server);
        if (const std::size_t rest = rows % perSet; rest > 0)
            stored += insertSets(handle_->dbc, insertSql(table, columns, rest, server),
                                 ParameterArrays(value, end - rest, 1, rest, widths), rest, server);
        first = end;
    }
    tx.commit();
    return stored;
}

} // namespace numora::ado
