// Data-source registration through the real odbcinst, into the test's own
// ODBCINI file, and connections made by name right after it.

#include "platform/ado/Ado.h"
#include "platform/core/Files.h"
#include "platform/dao/DBEngine.h"
#include "tests/support/SqliteFile.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
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

// A database file whose table Vemo holds one card of that name.
void makeDatabase(const QString& file, const std::string& name)
{
    SqliteFile(file.toStdString()).exec("CREATE TABLE Vemo (Name TEXT); INSERT INTO Vemo VALUES ('" + name + "');");
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
    // Other programs' entries and comments, and a stale entry of ours with a
    // key the program never writes.
    const std::string head = "# shared by several programs\n[Reports]\nDriver = SQLite3\nDatabase=/srv/r.db\n\n";
    const std::string tail = "\n; kept\n[Zeta]\nDriver=SQLite3";
    ASSERT_TRUE(writeFileBytes(env.odbcIni(), head + "[numora database]\nDriver=SQLite3\nLoadExt=/tmp/x.so\n" + tail));

    dao::Engine& engine = dao::DBEngine();
    engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
    EXPECT_TRUE(engine.Errors().empty());
    const std::string text = fileBytes(env.odbcIni());
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.find("LoadExt"), std::string::npos);

    // Said once, the entry is not written again: not even the file is replaced.
    const ino_t written = inodeOf(env.odbcIni());
    engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
    EXPECT_EQ(inodeOf(env.odbcIni()), written);
    EXPECT_EQ(fileBytes(env.odbcIni()), text);

    const auto keys = env.dataSourceEntry(kDsn);
    const std::map<std::string, std::string> expected{
        {"Driver", "SQLite3"},
        {"Database", env.dbPath().toStdString()},
        {"Description", "App Data Source"},
        {"DriverId", "25"},
        {"FIL", "MS Access"},
        {"SafeTransactions", "0"},
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
    const auto keys = env.dataSourceEntry(kDsn);
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
    const auto before = env.dataSourceEntry(kDsn);

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
    EXPECT_EQ(env.dataSourceEntry(kDsn), before);

    // An attribute that is not key=value.
    EXPECT_THROW(engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, "DBQ=/x\rnonsense"), Error);
    ASSERT_EQ(engine.Errors().size(), 1u);
    EXPECT_EQ(engine.Errors()[0].Number, 8); // invalid keyword-value pairs
    EXPECT_EQ(env.dataSourceEntry(kDsn), before);

    // A value holding a line break would start an entry line of its own.
    EXPECT_THROW(
        engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, "DBQ=/x/VEMO.MDB\n[Evil]\nDriver=SQLite3\rUID="),
        Error);
    EXPECT_EQ(engine.Errors().at(0).Number, 8);
    EXPECT_EQ(env.dataSourceEntry(kDsn), before);
    EXPECT_EQ(fileBytes(env.odbcIni()).find("Evil"), std::string::npos);

    // A data-source file that cannot be read (its folder is a file) or
    // written (its folder is missing): the box names the file and the reason.
    QFile blocker(env.root() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const struct {
        QString file;
        std::string says;
    } unusable[] = {
        {env.root() + "/blocker/odbc.ini", "could not be read: Not a directory"},
        {env.root() + "/missing/odbc.ini",
         "could not be written to " + env.root().toStdString() + "/missing/odbc.ini: No such file or directory"},
    };
    for (const auto& u : unusable) {
        setenv("ODBCINI", u.file.toUtf8().constData(), 1);
        try {
            engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
            ADD_FAILURE() << "an unusable data-source file was reported as written";
        } catch (const Error& e) {
            ASSERT_EQ(engine.Errors().size(), 1u);
            EXPECT_EQ(e.number(), 11); // request failed
            EXPECT_NE(e.description().find(u.file.toStdString()), std::string::npos) << e.description();
            EXPECT_NE(e.description().find(u.says), std::string::npos) << e.description();
            EXPECT_EQ(e.description(), engine.Errors()[0].Description);
        }
    }

    // The next call starts with an empty collection.
    setenv("ODBCINI", env.odbcIni().toUtf8().constData(), 1);
    engine.RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
    EXPECT_TRUE(engine.Errors().empty());
}

// Stops the process, dead, at one step of a registration.
struct KillAt : files::ReplaceSteps {
    explicit KillAt(files::ReplaceStep step) : at(step) {}
    void reached(files::ReplaceStep step) override
    {
        if (step == at)
            raise(SIGKILL);
    }
    files::ReplaceStep at;
};

TEST(DBEngineDeathTest, AKillAtAnyMomentLeavesTheOldFileOrTheNewOneWhole)
{
    TestEnv env;
    const std::string head = "[Reports]\nDriver=SQLite3\nDatabase=/srv/r.db\n\n; ours below\n";
    const std::string tail = "\n[Zeta]\nDriver=SQLite3\n";
    const std::string before = head + "[Numora Database]\nDriver=SQLite3\nDatabase=/old/VEMO.MDB\n" + tail;
    const std::string after = head + "[Numora Database]\nDriver=SQLite3\nDatabase=/new/VEMO.MDB\nUID=\n" + tail;

    using files::ReplaceStep;
    for (const ReplaceStep step : {ReplaceStep::Created, ReplaceStep::HalfWritten, ReplaceStep::Written,
                                   ReplaceStep::Synced, ReplaceStep::Renamed}) {
        SCOPED_TRACE(static_cast<int>(step));
        ASSERT_TRUE(writeFileBytes(env.odbcIni(), before));
        EXPECT_EXIT(
            {
                KillAt killer(step);
                const auto installed = files::replaceSteps().install(killer);
                dao::DBEngine().RegisterDatabase(kDsn, dao::kAccessDriverName, true, "DBQ=/new/VEMO.MDB\rUID=");
                std::_Exit(0);
            },
            ::testing::KilledBySignal(SIGKILL), "");
        EXPECT_EQ(fileBytes(env.odbcIni()), step == ReplaceStep::Renamed ? after : before);
    }
}

TEST(DBEngine, TwoInstancesStartedAtOnceBothReachTheCards)
{
    TestEnv env;
    makeDatabase(env.dbPath(), "shared");
    const std::string others = "[Reports]\nDriver=SQLite3\nDatabase=/srv/r.db\n";
    for (int round = 0; round < 10; ++round) {
        // A stale entry each time, so both instances find something to write.
        ASSERT_TRUE(
            writeFileBytes(env.odbcIni(), others + "\n[Numora Database]\nDriver=SQLite3\nDatabase=/gone/VEMO.MDB\n"));
        int gate[2];
        ASSERT_EQ(pipe(gate), 0);
        pid_t instances[2];
        for (pid_t& pid : instances) {
            pid = fork();
            if (pid == 0) {
                close(gate[1]);
                char c;
                while (read(gate[0], &c, 1) < 0 && errno == EINTR) {}
                try {
                    dao::DBEngine().RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
                    std::_Exit(firstName() == "shared" ? 0 : 1);
                } catch (const std::exception&) {
                    std::_Exit(2);
                }
            }
        }
        close(gate[0]);
        close(gate[1]); // both go
        for (const pid_t pid : instances) {
            int status = 0;
            ASSERT_EQ(waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round << ", status " << status;
        }
        EXPECT_EQ(fileBytes(env.odbcIni()).substr(0, others.size()), others);
        EXPECT_EQ(env.dataSourceEntry(kDsn).at("Database"), env.dbPath().toStdString());
    }
}

TEST(DBEngineDeathTest, AMissingSqliteDriverIsNamedWithItsPackage)
{
    // The driver list's place is fixed once per process: a fresh one is needed.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TestEnv env;
    QDir().mkpath(env.root() + "/system");
    ASSERT_TRUE(writeFileBytes(env.root() + "/system/odbcinst.ini", "[PostgreSQL]\nDriver=psqlodbcw.so\n"));
    EXPECT_EXIT(
        {
            setenv("ODBCSYSINI", (env.root() + "/system").toUtf8().constData(), 1);
            try {
                dao::DBEngine().RegisterDatabase(kDsn, dao::kAccessDriverName, true, attributesFor(env.dbPath()));
            } catch (const Error& e) {
                std::fprintf(stderr, "%ld %s\n", e.number(), e.description().c_str());
            }
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "7 The SQLite3 ODBC driver is not installed.*package libsqliteodbc");
    EXPECT_FALSE(QFile::exists(env.odbcIni()));
}

} // namespace
} // namespace numora::test
