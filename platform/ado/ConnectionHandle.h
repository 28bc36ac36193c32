#pragma once
// The driver manager's environment and one connection, shared by the
// Connection that opened it and every recordset read through it, so that
// closing the Connection never pulls the handle from under a recordset.

#include <sql.h>

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

// Gives back the engine's cache of the file's pages once a result has been
// read whole into the recordset. A listing keeps its connection for writing
// a card back, and a new listing is read while the one it replaces still
// stands, so each kept cache would add to the program's peak memory.
void releaseCache(ConnectionHandle& h);

} // namespace detail
} // namespace numora::ado
