#include "tests/support/TestServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTextStream>

#include <stdexcept>

#include "platform/ado/Ado.h"

namespace numora::test {
namespace {

// The shell assignments pgserver.sh left, unquoted as the shell quotes
// plain paths.
std::map<QString, QString> readState(const QString& file)
{
    std::map<QString, QString> keys;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const auto eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            keys[line.left(eq)] = line.mid(eq + 1);
    }
    return keys;
}

std::string driverString(const ServerAddress& a)
{
    return QStringLiteral("Driver=PostgreSQL Unicode;Servername=%1;Port=%2;Database=%3;Username=%4")
        .arg(a.socketFolder, a.port, a.database, a.user)
        .toStdString();
}

// The server a state file of pgserver.sh describes.
std::optional<ServerAddress> serverOf(const QString& stateFile, std::string* whyNot)
{
    if (!QFile::exists(stateFile)) {
        if (whyNot)
            *whyNot = "no server was started (the tests that need one start it when run through ctest)";
        return std::nullopt;
    }
    auto keys = readState(stateFile);
    if (keys.count(QStringLiteral("PG_UNAVAILABLE"))) {
        if (whyNot)
            *whyNot = keys[QStringLiteral("PG_UNAVAILABLE")].toStdString();
        return std::nullopt;
    }
    if (!keys.count(QStringLiteral("PG_SOCKET"))) {
        if (whyNot)
            *whyNot = "the server fixture left no state in " + stateFile.toStdString();
        return std::nullopt;
    }
    return ServerAddress{keys[QStringLiteral("PG_SOCKET")], keys[QStringLiteral("PG_PORT")],
                         keys[QStringLiteral("PG_USER")], keys[QStringLiteral("PG_DATABASE")]};
}

void runScript(const QString& action, const QString& state)
{
    QProcess script;
    script.start(QStringLiteral("bash"), {QStringLiteral(NUMORA_PGSERVER_SCRIPT), action, state});
    if (!script.waitForFinished(120000) || script.exitCode() != 0)
        throw std::runtime_error("pgserver.sh " + action.toStdString() + " failed");
}

} // namespace

std::optional<ServerAddress> testServer(std::string* whyNot)
{
    // The build tree's fixture leaves its state here; NUMORA_TEST_PG_STATE
    // names another.
    QString stateFile = qEnvironmentVariable("NUMORA_TEST_PG_STATE");
    if (stateFile.isEmpty())
        stateFile = QStringLiteral(NUMORA_PG_STATE);
    return serverOf(stateFile, whyNot);
}

PrivateServer::PrivateServer()
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/numora-pgstate.XXXXXX"));
    file.setAutoRemove(false);
    if (file.open())
        state_ = file.fileName();
    runScript(QStringLiteral("start"), state_);
}

PrivateServer::~PrivateServer()
{
    try {
        runScript(QStringLiteral("stop"), state_);
    } catch (const std::exception&) {
        // Nothing more to do: its folder is a temporary one.
    }
    QFile::remove(state_);
}

std::optional<ServerAddress> PrivateServer::address(std::string* whyNot) const { return serverOf(state_, whyNot); }
void PrivateServer::pause() const { runScript(QStringLiteral("pause"), state_); }
void PrivateServer::resume() const { runScript(QStringLiteral("resume"), state_); }

namespace {

ServerAddress runServer()
{
    std::string whyNot;
    const auto address = testServer(&whyNot);
    if (!address)
        throw std::runtime_error("no test server: " + whyNot);
    return *address;
}

} // namespace

ServerSchema::ServerSchema(const TestEnv& env, const QString& dataSource) : ServerSchema(env, dataSource, runServer())
{
}

ServerSchema::ServerSchema(const TestEnv& env, const QString& dataSource, const ServerAddress& address)
    : address_(address), dataSource_(dataSource)
{
    schema_ = "t" + std::to_string(QRandomGenerator::global()->generate64());
    ado::Connection cn;
    cn.Open(driverString(address_));
    cn.Execute("CREATE SCHEMA " + schema_);

    QFile f(env.odbcIni());
    if (!f.open(QIODevice::Append | QIODevice::Text))
        throw std::runtime_error("the test's ODBCINI cannot be written");
    const QString text =
        QStringLiteral("[%1]\nDriver=PostgreSQL Unicode\nServername=%2\nPort=%3\nDatabase=%4\nUsername=%5\n"
                       "ConnSettings=SET search_path TO %6\n\n")
            .arg(dataSource, address_.socketFolder, address_.port, address_.database, address_.user,
                 QString::fromStdString(schema_));
    f.write(text.toUtf8());
}

ServerSchema::~ServerSchema()
{
    try {
        ado::Connection cn;
        cn.Open(driverString(address_));
        cn.Execute("DROP SCHEMA " + schema_ + " CASCADE");
    } catch (const std::exception&) {
        // The server goes at the end of the run, and the schema with it.
    }
}

std::string ServerSchema::connectionString() const
{
    return driverString(address_) + ";ConnSettings={SET search_path TO " + schema_ + "}";
}

void ServerSchema::execute(const std::string& sql) const
{
    ado::Connection cn;
    cn.Open(connectionString());
    cn.Execute(sql);
}

} // namespace numora::test
