#include "platform/ado/RowWriter.h"

#include <sqlext.h>

#include <QLoggingCategory>

#include <string>

#include "platform/ado/Messages.h"
#include "platform/ado/Statements.h"
#include "platform/odbc/Odbc.h"

namespace numora::ado::detail {
namespace {

Q_LOGGING_CATEGORY(lcAdo, "numora.ado", QtInfoMsg)

// The WHERE clause that singles out a row: its row id where the result has
// them, and every value it was read with (Null matching Null).
std::string rowCondition(const ConnectionHandle& conn, const ClientResult& result, std::size_t row,
                         std::vector<Value>& params)
{
    // Values travel as text; the server compares its key with a number, and
    // spells the Null-safe comparison out.
    const bool server = onServer(conn);
    std::string where;
    if (result.rowIds) {
        where = server ? "rowid = CAST(? AS bigint)" : "rowid = ?";
        params.push_back(std::to_string(result.rowId(row)));
    }
    for (std::size_t c = 0; c < result.columns.size(); ++c) {
        if (!where.empty())
            where += " AND ";
        where += quoteIdentifier(result.columns[c].baseColumn) + (server ? " IS NOT DISTINCT FROM ?" : " IS ?");
        params.push_back(result.value(row, c));
    }
    return where;
}

// The columns of the result, each quoted, with the row id in front.
std::string rowIdAndColumns(const ClientResult& result)
{
    std::string names = "rowid";
    for (const Column& col : result.columns)
        names += ", " + quoteIdentifier(col.baseColumn);
    return names;
}

// The row a statement returned: its row id, then the result's columns.
std::optional<std::vector<Value>> fetchRow(SQLHSTMT st, const ClientResult& result)
{
    if (SQLFetch(st) != SQL_SUCCESS)
        return std::nullopt;
    std::vector<Value> values;
    for (std::size_t c = 0; c <= result.columns.size(); ++c)
        values.push_back(readText(st, static_cast<SQLUSMALLINT>(c + 1)));
    return values;
}

// Runs an UPDATE or DELETE that must touch exactly one row; anything else
// (the row changed, vanished, or has a twin with the same values where there
// is no row id) is rolled back and reported, so no write ever lands on the
// wrong row or on two.
void writeOneRow(const ConnectionHandle& conn, const std::string& sql, const std::vector<Value>& params)
{
    Transaction tx(conn);
    std::vector<SQLLEN> lengths;
    odbc::Statement st(conn.dbc);
    bindParameters(st.get(), params, lengths);
    const bool touched = execute(st.get(), sql);
    if (!touched || affectedRows(st.get()) != 1)
        fail(adErrRowChangedOrMissing, kMsgRowConflict);
    tx.commit();
}

// The row just inserted as the table stored it (column defaults, the
// column's type), with its row id first; nullopt when it cannot be read back.
std::optional<std::vector<Value>> readInsertedRow(SQLHDBC dbc, const ClientResult& result)
{
    const std::string sql = "SELECT " + rowIdAndColumns(result) + " FROM " + quoteIdentifier(result.table) +
                            " WHERE rowid = last_insert_rowid()";
    try {
        odbc::Statement st(dbc);
        execute(st.get(), sql);
        return fetchRow(st.get(), result);
    } catch (const Error& e) {
        // A table without row ids: the new row keeps the values assigned.
        logSkipped(lcAdo(), std::source_location::current(), e);
        return std::nullopt;
    }
}

} // namespace

std::size_t insertRow(const ConnectionHandle& conn, ClientResult& result, const Assigned& values)
{
    std::string sql = "INSERT INTO " + quoteIdentifier(result.table);
    std::vector<Value> params;
    std::string names, marks;
    for (std::size_t c = 0; c < result.columns.size(); ++c) {
        if (!values[c])
            continue;
        if (!params.empty()) {
            names += ", ";
            marks += ", ";
        }
        names += quoteIdentifier(result.columns[c].baseColumn);
        marks += "?";
        params.push_back(*values[c]);
    }
    sql += params.empty() ? std::string(" DEFAULT VALUES") : " (" + names + ") VALUES (" + marks + ")";

    // A server hands the row back as it stored it, its key included.
    const bool server = onServer(conn);
    if (server)
        sql += " RETURNING " + rowIdAndColumns(result);

    Transaction tx(conn);
    std::vector<SQLLEN> lengths;
    std::optional<std::vector<Value>> stored;
    {
        odbc::Statement st(conn.dbc);
        bindParameters(st.get(), params, lengths);
        execute(st.get(), sql);
        if (server)
            stored = fetchRow(st.get(), result);
        else if (affectedRows(st.get()) != 1)
            fail(adErrProviderFailed, "The new record was not stored.");
    }
    if (server && !stored)
        fail(adErrProviderFailed, "The new record was not stored.");
    if (!server)
        stored = readInsertedRow(conn.dbc, result);
    tx.commit();

    const std::size_t row = result.appendRows(1);
    for (std::size_t c = 0; c < result.columns.size(); ++c) {
        if (stored)
            result.setValue(row, c, (*stored)[c + 1]);
        else if (values[c])
            result.setValue(row, c, *values[c]);
    }
    if (stored && (*stored)[0])
        result.setRowId(row, std::stoll(*(*stored)[0]));
    return row;
}

void updateRow(const ConnectionHandle& conn, ClientResult& result, std::size_t row, const Assigned& values)
{
    std::vector<Value> params;
    std::string set;
    for (std::size_t c = 0; c < result.columns.size(); ++c) {
        if (!values[c])
            continue;
        set += (set.empty() ? "" : ", ") + quoteIdentifier(result.columns[c].baseColumn) + " = ?";
        params.push_back(*values[c]);
    }
    if (set.empty())
        return;
    const std::string sql =
        "UPDATE " + quoteIdentifier(result.table) + " SET " + set + " WHERE " + rowCondition(conn, result, row, params);
    writeOneRow(conn, sql, params);
    for (std::size_t c = 0; c < result.columns.size(); ++c) {
        if (values[c])
            result.setValue(row, c, *values[c]);
    }
}

void deleteRow(const ConnectionHandle& conn, const ClientResult& result, std::size_t row)
{
    std::vector<Value> params;
    const std::string sql =
        "DELETE FROM " + quoteIdentifier(result.table) + " WHERE " + rowCondition(conn, result, row, params);
    writeOneRow(conn, sql, params);
}

} // namespace numora::ado::detail
