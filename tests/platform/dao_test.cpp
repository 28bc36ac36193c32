// Data-source registration through the real odbcinst, into the test's own
// ODBCINI file, and connections made by name right after it.

#include "platform/ado/Ado.h"
#include "platform/dao/DBEngine.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QTextStream>

#include <cstdlib>
#include <map>
#include <string>

namespace numora::test {
namespace {

constexpr char kDsn[] = "Numora Database";

// The program's own attribute text for a database file.
std::string attributesFor(const QString& file)
{
    return "DBQ=" + file.toStdString() +
           "\rDescription=App Data Source\rDriver=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll\rDriverId=25\r"
           "FIL=MS Access\rSafeTransactions=0\rUID=";
}

// The keys of one section of an ini file, as written on disk.
std::map<std::string, std::string> sectionOf(const QString& iniFile, const QString& section)
{
    std::map<std::string, std::string> keys;
    QFile f(iniFile);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QTextStream in(&f);
    bool inside = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith('[')) {
            inside = line == "[" + section + "]";
            continue;
        }
        const auto eq = line.indexOf('=');
        if (inside && eq > 0)
            keys[line.left(eq).trimmed().toStdString()] = line.mid(eq + 1).trimmed().toStdString();
    }
    return keys;
}

void makeDatabase(const QString& file, const char* name)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    const std::string sql = std::string("CREATE TABLE Vemo (Name TEXT); INSERT INTO Vemo VALUES ('") + name + "');";
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

std::string firstName()
{
    ado::Connection cn;
    cn.Open(std::string("DSN=") + kDsn);
    return cn.Execute("select Name from Vemo")->Field("Name").value_or("(null)");
}

TEST(DBEngine, RegistrationWritesTheDataSourceForTheInstalledDriver)
{
    TestEnv env;
    dao::Engine& engine = dao::DBEngine();
    engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
    EXPECT_TRUE(engine.Errors().empty());

    const auto keys = sectionOf(env.odbcIni(), kDsn);
    const std::map<std::string, std::string> expected{
        {"Driver", "SQLite3"},     {"Database", env.dbPath().toStdString()}, {"Description", "App Data Source"},
        {"DriverId", "25"},        {"FIL", "MS Access"},                     {"SafeTransactions", "0"},
        {"UID", ""},
    };
    EXPECT_EQ(keys, expected);
}

TEST(DBEngine, ReRegistrationReplacesTheEntryAndConnectionsFollowIt)
{
    TestEnv env;
    const QString first = env.dataFolder() + "VEMO.MDB";
    const QString second = env.root() + "/elsewhere.mdb";
    makeDatabase(first, "from first");
    makeDatabase(second, "from second");
    dao::Engine& engine = dao::DBEngine();

    engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(first));
    EXPECT_EQ(firstName(), "from first");

    // Within the same second and process: the new file, and no stale keys.
    engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, "DBQ=" + second.toStdString() + "\rUID=");
    const auto keys = sectionOf(env.odbcIni(), kDsn);
    EXPECT_EQ(keys, (std::map<std::string, std::string>{
                        {"Driver", "SQLite3"}, {"Database", second.toStdString()}, {"UID", ""}}));
    EXPECT_EQ(firstName(), "from second");

    // Back again, as every start does when the data folder moves.
    engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(first));
    EXPECT_EQ(firstName(), "from first");
}

TEST(DBEngine, FailedRegistrationReportsTheInstallerErrorsAndKeepsTheOldEntry)
{
    TestEnv env;
    dao::Engine& engine = dao::DBEngine();
    engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
    const auto before = sectionOf(env.odbcIni(), kDsn);

    // A driver that is not installed.
    try {
        engine.RegisterDatabase(kDsn, "Paradox Driver (*.db)", true, attributesFor(env.dbPath()));
        ADD_FAILURE() << "an unknown driver was accepted";
    } catch (const Error& e) {
        ASSERT_EQ(engine.Errors().size(), 1u);
        EXPECT_EQ(engine.Errors()[0].Number, 7); // invalid driver name
        EXPECT_NE(engine.Errors()[0].Description.find("Paradox Driver (*.db)"), std::string::npos);
        EXPECT_EQ(e.number(), engine.Errors()[0].Number);
    }
    EXPECT_EQ(sectionOf(env.odbcIni(), kDsn), before);

    // An attribute that is not key=value.
    EXPECT_THROW(engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, "DBQ=/x\rnonsense"), Error);
    ASSERT_EQ(engine.Errors().size(), 1u);
    EXPECT_EQ(engine.Errors()[0].Number, 8); // invalid keyword-value pairs
    EXPECT_EQ(sectionOf(env.odbcIni(), kDsn), before);

    // A data-source file that cannot be written (its folder is a file).
    QFile blocker(env.root() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    setenv("ODBCINI", (env.root() + "/blocker/odbc.ini").toUtf8().constData(), 1);
    try {
        engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
        ADD_FAILURE() << "writing into a file's folder was reported as success";
    } catch (const Error& e) {
        ASSERT_FALSE(engine.Errors().empty());
        for (const auto& error : engine.Errors()) {
            EXPECT_NE(error.Number, 0);
            EXPECT_FALSE(error.Description.empty());
        }
        EXPECT_EQ(e.number(), engine.Errors()[0].Number);
        EXPECT_EQ(e.description(), engine.Errors()[0].Description);
    }

    // The next call starts with an empty collection.
    setenv("ODBCINI", env.odbcIni().toUtf8().constData(), 1);
    engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
    EXPECT_TRUE(engine.Errors().empty());
}

} // namespace
} // namespace numora::test
