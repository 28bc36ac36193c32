#pragma once
// The database server the test run started (tests/support/pgserver.sh, a
// ctest fixture), and a place of one test's own on it: a schema the test's
// data source reaches (its search path), dropped when the test ends.
//
// A test that needs the server calls NUMORA_REQUIRE_SERVER(): when the run
// could not start one, the test is skipped and says why.

#include <QString>

#include <optional>
#include <string>

#include "tests/support/TestEnv.h"

namespace numora::test {

struct ServerAddress {
    QString socketFolder;
    QString port;
    QString user;
    QString database;
};

// The server of this run; nullopt, with the reason in whyNot, when there is none.
std::optional<ServerAddress> testServer(std::string* whyNot);

// A server of one test's own, for a test that stops and starts it under a
// running program (the run's server is shared by the tests running beside
// it). Started as the run's is; stopped and removed when the object goes.
class PrivateServer {
public:
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // nullopt, with the reason, when it could not be started.
    std::optional<ServerAddress> address(std::string* whyNot) const;
    void pause() const;  // the server stops, as when it goes away
    void resume() const; // and starts again on the same socket

private:
    QString state_;
};

// A schema of the test's own on the server and a user data source of that
// name in env's ODBCINI reaching it (driver "PostgreSQL Unicode"). With a
// table, the group's table is made there as `numora-dbtool init` makes it.
class ServerSchema {
public:
    ServerSchema(const TestEnv& env, const QString& dataSource);
    // The same on a server of the test's own.
    ServerSchema(const TestEnv& env, const QString& dataSource, const ServerAddress& address);
    ~ServerSchema();
    ServerSchema(const ServerSchema&) = delete;
    ServerSchema& operator=(const ServerSchema&) = delete;

    const QString& dataSource() const { return dataSource_; }
    // An ODBC connection string reaching the schema without the data source.
    std::string connectionString() const;
    // Runs a statement in the schema as an administrator would (psql).
    void execute(const std::string& sql) const;

private:
    ServerAddress address_;
    QString dataSource_;
    std::string schema_;
};

} // namespace numora::test

#define NUMORA_REQUIRE_SERVER()                                                                                        \
    do {                                                                                                               \
        std::string whyNot_;                                                                                           \
        if (!::numora::test::testServer(&whyNot_))                                                                     \
            GTEST_SKIP() << "no database server for this test: " << whyNot_;                                           \
    } while (false)
