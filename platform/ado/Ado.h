#pragma once
// Connection and Recordset over the ODBC C API (unixODBC; the SQLite3 driver
// for directory files, the PostgreSQL driver for a database server).
//
// A recordset reads its whole result when it opens (a client cursor) and then
// behaves as a keyset: it moves both ways, filters on the client, and writes
// changes back one row at a time with optimistic locking. A write must touch
// exactly the row that was read, found by the engine's row id (read with the
// rows, never one of the fields; on a server, the table's key column
// "rowid") and the values it was read with; when it
// would touch none or several, nothing is written and numora::Error is thrown.
//
// The layer's parts: Connection.cpp (connection string and handles),
// Statements (statements and transactions), ClientResult (the client copy of
// a result), BlockReader (reading it), RowWriter (writing rows back),
// Recordset.cpp (moving, fields, the edit buffer), Filter.
//
// Values are text (UTF-8) or Null. Every failure throws numora::Error with a
// number and a description.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/Error.h"

namespace numora::ado {

using Value = std::optional<std::string>; // std::nullopt is Null

enum CursorTypeEnum : int {
    adOpenUnspecified = -1,
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3,
};

enum LockTypeEnum : int {
    adLockUnspecified = -1,
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4,
};

enum CommandTypeEnum : long {
    adCmdUnspecified = -1,
    adCmdText = 1,
};

enum ObjectStateEnum : int {
    adStateClosed = 0,
    adStateOpen = 1,
};

// Error numbers raised by the layer itself (database errors carry the
// engine's native error and "[SQLSTATE] message" as description).
enum ErrorNumber : long {
    adErrProviderFailed = -2147467259,      // generic database failure
    adErrNoCurrentRecord = 3021,            // BOF or EOF, or the record was deleted
    adErrInvalidArgument = 3001,            // e.g. a filter that cannot be parsed
    adErrItemNotFound = 3265,               // no field of that name
    adErrFeatureNotAvailable = 3251,        // a write on a read-only recordset or result
    adErrObjectClosed = 3704,               // operation on a closed object
    adErrObjectOpen = 3705,                 // Open on an object that is open
    adErrRowChangedOrMissing = -2147217864, // optimistic conflict: row changed, gone or not unique
};

class Recordset;
struct ConnectionHandle; // the ODBC environment and connection, shared with recordsets

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // "DSN=name" (other keywords of an ODBC connection string are passed on).
    // Fails when the data source or its database file does not exist, and when
    // the connection is open already. A data source may reach a directory
    // file (the SQLite driver) or a PostgreSQL server; a server that does not
    // keep strings standard-conforming is refused, since texts are quoted
    // into query text by doubling quotes alone.
    void Open(const std::string& connectionString, const std::string& userId = {}, const std::string& password = {},
              long options = -1);

    // Runs one statement. A statement that returns rows gives an open
    // recordset standing on its first row (or at EOF when nothing matched);
    // any other statement gives nullptr. recordsAffected, when given, receives
    // the rows an UPDATE/DELETE/INSERT touched.
    std::unique_ptr<Recordset> Execute(const std::string& commandText, long* recordsAffected = nullptr,
                                       long options = -1);

    void Close();      // fails when the connection is not open
    int State() const; // adStateClosed or adStateOpen

    // A transaction of the caller's. On a directory file it takes the
    // file's write lock as it begins (waiting for another program's write as
    // every write does, then failing), so what is read in it stays true
    // until it ends: a check and the write that depends on it cannot be
    // split by another writer. On a server it begins with the next statement
    // and reads what others committed before each statement. Writes
    // made meanwhile over this connection, recordsets read over it included,
    // join it. CommitTrans keeps them; RollbackTrans, or the connection's
    // end, drops them. Transactions do not nest.
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    // The database file the open connection reached; empty when closed or
    // on a database server.
    std::string DatabaseFile() const;
    // Whether the open connection reached a database server rather than a
    // directory file; false when closed.
    bool OnServer() const;

    // Where a bulk insert takes each value: by row (from 0) and by column
    // (an index into the columns named); nullopt is Null. The text must stay
    // valid until the insert returns.
    using RowValue = std::function<std::optional<std::string_view>(std::size_t row, std::size_t column)>;
    // Inserts count rows into table, each row's values going to the columns
    // named, handing the driver many rows a call (parameter arrays) rather
    // than one statement a row. All of them or none: in a transaction of its
    // own, or in the caller's (BeginTrans), which it joins. Returns the rows
    // stored.
    std::size_t InsertRows(const std::string& table, const std::vector<std::string>& columns, std::size_t count,
                           const RowValue& value);

    std::shared_ptr<ConnectionHandle> handle() const { return handle_; }

private:
    std::shared_ptr<ConnectionHandle> handle_;

    friend class Recordset;
};

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    int CursorType() const { return cursorType_; }
    void setCursorType(int type);
    int LockType() const { return lockType_; }
    void setLockType(int type);

    // Runs source (SQL text) over a connection of its own to the data source
    // named by connectionString ("DSN=..."), or over an open Connection.
    // cursorType/lockType -1 keep the values set before. Reads every row.
    void Open(const std::string& source, const std::string& connectionString, int cursorType = -1, int lockType = -1,
              long options = -1);
    void Open(const std::string& source, Connection& activeConnection, int cursorType = -1, int lockType = -1,
              long options = -1);
    void Close(); // fails when not open
    int State() const;

    // Client-side filter. Accepts "" (no filter) and "<Field> like '<text>*'"
    // (the text may hold doubled quotes; '%' works as '*'). Anything else is
    // refused with adErrInvalidArgument and the rows stay unfiltered. Setting
    // a filter moves to the first visible row.
    void setFilter(const std::string& filter);
    const std::string& Filter() const { return filter_; }

    bool Eof() const;
    bool Bof() const;
    long RecordCount() const; // visible rows

    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void Move(long n); // relative to the current row; may land on EOF, not beyond

    int FieldCount() const;
    std::string FieldName(int index) const;
    // Fields("name").Value; fails for an unknown name or with no current row.
    Value Field(const std::string& name) const;
    Value Field(int index) const;
    // Field(index) without copying the text, for reading many rows: valid
    // until the recordset is next changed or closed.
    std::optional<std::string_view> FieldView(int index) const;
    // The same for the visible row at position row (from 0) instead of the
    // current one, which stays where it is; fails for a row not visible.
    std::optional<std::string_view> FieldViewAt(long row, int index) const;
    // Fields("name").Value = v; starts an edit of the current row when none is pending.
    void setField(const std::string& name, Value v);
    // The Collect property: the same value access as Field/setField.
    Value Collect(const std::string& name) const { return Field(name); }
    void setCollect(const std::string& name, Value v) { setField(name, std::move(v)); }

    // Writes go to the one table all fields come from; a result over several
    // tables (or over expressions) and a read-only lock type refuse them.
    // Moving, filtering or AddNew with an edit pending writes that edit first;
    // when the write fails the recordset stays where it was and the edit stays
    // pending (CancelUpdate drops it). Close drops a pending edit unwritten.
    void AddNew();       // starts a new row in the edit buffer; it becomes current
    void Update();       // writes the edit buffer (insert or optimistic update)
    void CancelUpdate(); // drops the edit buffer
    void Delete();       // deletes the current row only (optimistic), in the table and the view
    bool EditPending() const;

    // A recordset of its own holding the current row alone, as it was read
    // (an edit pending here is not part of it), over the same connection and
    // with the same cursor and lock types. It writes back to that same row,
    // found as every write finds its row, and stays usable when this
    // recordset moves on, is closed or is replaced: a window keeps hold of a
    // card with it. Fails when there is no current row.
    std::unique_ptr<Recordset> CopyCurrentRow() const;

    // The connection the recordset reads and writes through, shared with it:
    // a transaction begun there takes in the recordset's writes. Fails when
    // the recordset is closed.
    std::unique_ptr<Connection> ActiveConnection() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    int cursorType_ = adOpenForwardOnly;
    int lockType_ = adLockReadOnly;
    std::string filter_;

    friend class Connection;
};

} // namespace numora::ado
