#pragma once
// The driver manager's environment and one connection, shared by the
// Connection that opened it and every recordset read through it, so that
// closing the Connection never pulls the handle from under a recordset.

#include <sql.h>

#include <chrono>
#include <memory>
#include <string>

namespace numora::ado {

// The database engine a connection reached, as its driver names it.
enum class Engine {
    Sqlite,   // a directory file
    Postgres, // a database server
};

struct ConnectionHandle {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    std::string database;       // the file connected to, as the data source or string named it
    bool inTransaction = false; // a transaction Connection::BeginTrans opened is in progress
    Engine engine = Engine::Sqlite;
    std::string connectedWith; // the full connection string, to connect again to a server
    std::string dataSource;    // the data source (or driver) of a server connection, as messages name it
    // When the server last answered; a server connection idle for longer is
    // looked at before its next statement, and made again when it was lost.
    mutable std::chrono::steady_clock::time_point answeredAt{};
    // A lost connection that could not be made again (the server was still
    // away): the handle holds none, and the next statement connects at once.
    mutable bool lost = false;

    ConnectionHandle() = default;
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;
    ~ConnectionHandle();
};

namespace detail {

// Connects by an ODBC connection string ("DSN=name", other keywords passed on).
std::shared_ptr<ConnectionHandle> connect(const std::string& connectionString, const std::string& userId,
                                          const std::string& password);

// Whether the connection's engine is a database server.
inline bool onServer(const ConnectionHandle& h) { return h.engine == Engine::Postgres; }

// Before a statement on a server connection outside a transaction: a
// connection idle for a while is looked at with a trivial query, and one the
// server dropped (it was restarted, or went away and came back) is made
// again on the same handle, so that what was read through it stays usable.
// Error (the server's SQLSTATE 08...) when it cannot be reached.
void reconnectIfLost(const ConnectionHandle& h);

// Gives back the engine's cache of the file's pages once a result has been
// read whole into the recordset. A listing keeps its connection for writing
// a card back, and a new listing is read while the one it replaces still
// stands, so each kept cache would add to the program's peak memory.
void releaseCache(ConnectionHandle& h);

} // namespace detail
} // namespace numora::ado
