#include "platform/ado/Statements.h"

#include <sqlext.h>

#include <algorithm>

#include "platform/odbc/Odbc.h"

namespace numora::ado::detail {

using odbc::attrValue;
using odbc::throwDiagnostic;

bool execute(SQLHSTMT st, const std::string& sql)
{
    const SQLRETURN rc = SQLExecDirect(st, odbc::sqlText(sql), SQL_NTS);
    if (rc == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(rc))
        throwDiagnostic(SQL_HANDLE_STMT, st, "Running the statement");
    return true;
}

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

SQLLEN affectedRows(SQLHSTMT st)
{
    SQLLEN n = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(st, &n)))
        return -1;
    return n;
}

Transaction::Transaction(const ConnectionHandle& conn) : dbc_(conn.dbc), joined_(conn.inTransaction)
{
    if (joined_)
        return; // the caller's transaction holds the write
    reconnectIfLost(conn);
    if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, attrValue(SQL_AUTOCOMMIT_OFF), 0)))
        throwDiagnostic(SQL_HANDLE_DBC, dbc_, "Starting a transaction");
}

Transaction::~Transaction()
{
    using odbc::checkedOnTheWayOut;
    if (!joined_ && !done_)
        checkedOnTheWayOut(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_,
                           "Rolling back a write");
    // Left without autocommit, every later statement on the connection would
    // run in a transaction that nobody ends.
    if (!joined_)
        checkedOnTheWayOut(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, attrValue(SQL_AUTOCOMMIT_ON), 0),
                           SQL_HANDLE_DBC, dbc_, "Returning the connection to autocommit");
}

void Transaction::commit()
{
    if (joined_)
        return;
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) {
        try {
            throwDiagnostic(SQL_HANDLE_DBC, dbc_, "Committing"); // read before the rollback replaces it
        } catch (const Error&) {
            odbc::checkedOnTheWayOut(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc_,
                                     "Rolling back a failed commit");
            done_ = true;
            throw;
        }
    }
    done_ = true;
}

void setAutocommit(SQLHDBC dbc, bool on)
{
    if (!SQL_SUCCEEDED(
            SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, attrValue(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0)))
        throwDiagnostic(SQL_HANDLE_DBC, dbc, on ? "Ending a transaction" : "Starting a transaction");
}

void endTransaction(SQLHDBC dbc, bool commit)
{
    if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc, commit ? SQL_COMMIT : SQL_ROLLBACK))) {
        try {
            throwDiagnostic(SQL_HANDLE_DBC, dbc, commit ? "Committing" : "Rolling back");
        } catch (const Error&) {
            if (commit)
                odbc::checkedOnTheWayOut(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc,
                                         "Rolling back a failed commit");
            odbc::checkedOnTheWayOut(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, attrValue(SQL_AUTOCOMMIT_ON), 0),
                                     SQL_HANDLE_DBC, dbc, "Returning the connection to autocommit");
            throw;
        }
    }
    setAutocommit(dbc, true);
}

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

void executeDirect(SQLHDBC dbc, const std::string& sql)
{
    odbc::Statement st(dbc);
    execute(st.get(), sql);
}

} // namespace numora::ado::detail
