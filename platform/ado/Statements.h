#pragma once
// Running statements on a connection: text parameters, the rows a write
// touched, and the transaction every write runs in.

#include <sql.h>

#include <string>
#include <vector>

#include "platform/ado/Ado.h"
#include "platform/ado/ConnectionHandle.h"

namespace numora::ado::detail {

// Runs a statement; a searched UPDATE or DELETE that touches no row answers
// SQL_NO_DATA, which is not a failure: false then.
bool execute(SQLHSTMT st, const std::string& sql);

// Binds text parameters (or Null) in order. The values must outlive the execution.
void bindParameters(SQLHSTMT st, const std::vector<Value>& values, std::vector<SQLLEN>& lengths);

// One column value of the current row, read in pieces of any length.
Value readText(SQLHSTMT st, SQLUSMALLINT column);

// The rows the last UPDATE, DELETE or INSERT touched; -1 when unknown.
SQLLEN affectedRows(SQLHSTMT st);

// A write runs in a transaction of its own: committed when the statement did
// exactly what was meant, rolled back otherwise (also when an exception
// leaves the scope). The connection returns to autocommit afterwards. Inside
// a transaction the caller opened (Connection::BeginTrans) the write joins
// that one instead: the caller commits it or rolls it back.
class Transaction {
public:
    explicit Transaction(const ConnectionHandle& conn);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    SQLHDBC dbc_;
    bool joined_;
    bool done_ = false;
};

// Turns the connection's autocommit off (a transaction begins with the next
// statement) or back on.
void setAutocommit(SQLHDBC dbc, bool on);
// Ends the connection's transaction, keeping (commit) or dropping its
// writes, and returns the connection to autocommit.
void endTransaction(SQLHDBC dbc, bool commit);

// A table or column name as SQL takes it whatever it holds: in double
// quotes, a double quote inside doubled.
std::string quoteIdentifier(const std::string& name);

// Runs a statement that returns no rows straight on the connection.
void executeDirect(SQLHDBC dbc, const std::string& sql);

} // namespace numora::ado::detail
