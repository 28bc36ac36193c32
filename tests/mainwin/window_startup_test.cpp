// The program's start-up (the main window's first showing), Quit and the end
// step, over a real data source and database file in a private test world.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>

#include "editor/FrmNewPhn.h"
#include "forms/Form.h"
#include "mainwin/Module1.h"
#include "mainwin/frmVemo.h"
#include "platform/ado/Ado.h"
#include "platform/controls/FlexGrid.h"
#include "platform/controls/LetterTabStrip.h"
#include "platform/ui/MsgBox.h"
#include "store/Store.h"
#include "tests/support/FakeControlHost.h"
#include "tests/support/FakeDBEngine.h"
#include "tests/support/FakeKeyboardLayouts.h"
#include "tests/support/FakeMessageBoxes.h"
#include "tests/support/FakeTray.h"
#include "tests/support/Peer.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/SqliteFile.h"
#include "tests/support/TestEnv.h"
#include "tools/DbFile.h"

namespace numora {
namespace {

class WindowStartup : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetModule1();
        ui::setAppTitle(QStringLiteral("vemo1"));
        savedFolder_ = QDir::currentPath();
        dbfile::createSample(env.dbPath().toStdString(), 40);
        ASSERT_TRUE(QDir::setCurrent(env.dataFolder()));
    }

    void TearDown() override
    {
        QDir::setCurrent(savedFolder_);
        resetModule1();
        ui::setAppTitle(QStringLiteral("vemo1"));
    }

    // The database file the user data-source file names for the program's
    // data source; empty when there is no such data source.
    QString registeredDatabase() const
    {
        const auto keys = env.dataSourceEntry(QStringLiteral("Numora Database"));
        const auto database = keys.find("Database");
        return database == keys.end() ? QString() : QString::fromStdString(database->second);
    }

    // Column 0 of every card row of the window's grid.
    static QStringList listedNames(const frmVemo& w)
    {
        QStringList names;
        for (int r = 1; r < w.MSFlexGrid1->Rows() - 1; ++r)
            names << w.MSFlexGrid1->TextMatrix(r, 0);
        return names;
    }

    test::TestEnv env;
    test::FakeMessageBoxes boxes;
    test::FakeTray tray;
    test::FakeKeyboardLayouts keyboard;
    test::FakeControlHost controls;

private:
    QString savedFolder_;
};

TEST_F(WindowStartup, FirstStartInAFreshHomeListsAndUpgradesTheOldFileAsTheSecondStartDoes)
{
    ASSERT_TRUE(registeredDatabase().isEmpty());
    ASSERT_TRUE(QFile::remove(env.dbPath()));
    dbfile::createOldSample(env.dbPath().toStdString(), 40);

    frmVemo w;
    w.show();
    const Module1State& m = Module1();

    // The opens before the registration failed without a word; the data
    // source exists afterwards, and the connection serves its file.
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(registeredDatabase(), env.dbPath());
    EXPECT_EQ(m.strDataFolder, env.dataFolder());
    ASSERT_NE(m.cnDirectory, nullptr);
    ASSERT_EQ(m.cnDirectory->State(), ado::adStateOpen);
    EXPECT_EQ(QString::fromStdString(m.cnDirectory->DatabaseFile()), env.dbPath());
    ASSERT_NE(m.rsDirectory, nullptr);
    for (const char* table : {"Vemo", "Work"}) {
        const auto columns = test::SqliteFile(env.dbPath().toStdString()).columns(table);
        EXPECT_EQ(std::vector<std::string>(columns.begin() + 5, columns.end()),
                  (std::vector<std::string>{"Address", "Email"}))
            << table;
    }
    const QStringList firstListing = listedNames(w);
    EXPECT_FALSE(firstListing.isEmpty());
    for (const QString& name : firstListing)
        EXPECT_TRUE(name.startsWith(QChar(u'\u05D0'))) << name.toStdString();
    EXPECT_EQ(w.panelText(1), QStringLiteral(" Total Records %1").arg(firstListing.size()));

    // The second start lists the same, and finds nothing to write.
    const ino_t written = test::inodeOf(env.odbcIni()); // a rewrite would be a new file
    const std::string entry = test::fileBytes(env.odbcIni());
    frmVemo::Form_Terminate();
    w.close();
    resetModule1();
    {
        frmVemo second;
        second.show();
        EXPECT_EQ(listedNames(second), firstListing);
        EXPECT_EQ(Module1().cnDirectory->State(), ado::adStateOpen);
        EXPECT_EQ(test::inodeOf(env.odbcIni()), written);
        EXPECT_EQ(test::fileBytes(env.odbcIni()), entry);
        EXPECT_TRUE(boxes.asked.empty());
        frmVemo::Form_Terminate();
    }
}

TEST_F(WindowStartup, StartupStepsSetTheSharedStateAndAddTheIcon)
{
    env.writeDataSource(QStringLiteral("Numora Database"), env.dbPath());
    frmVemo w;
    // The window is shown once, as start-up ends, and never hidden on the way.
    struct ShowingLog : QObject {
        QStringList log;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Show || e->type() == QEvent::Hide)
                log << (e->type() == QEvent::Show ? QStringLiteral("shown") : QStringLiteral("hidden"));
            return false;
        }
    } showing;
    w.installEventFilter(&showing);
    w.show();
    EXPECT_EQ(showing.log, QStringList{QStringLiteral("shown")});
    const Module1State& m = Module1();
    EXPECT_EQ(m.strNewLine, QStringLiteral("\r\n"));
    EXPECT_EQ(m.strSortOrder, QStringLiteral(" ASC"));
    EXPECT_EQ(m.strWindowsFolder, env.root() + QStringLiteral("/windows"));
    EXPECT_EQ(ui::appTitle(), QStringLiteral("Numora"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Numora"));
    EXPECT_EQ(w.lblHeader[0]->text(), QStringLiteral("Numora"));
    EXPECT_EQ(w.TabVemo->currentIndex(), 0);
    EXPECT_EQ(m.strCurrentLetter, QString(QChar(u'\u05D0')));

    // The placement library is not registered: asked for once, then skipped.
    EXPECT_EQ(controls.created, std::vector<std::string>{"Kwendo.Ravelle"});
    EXPECT_TRUE(controls.invoked.empty());
    EXPECT_EQ(w.Ravelle1, nullptr);

    ASSERT_EQ(keyboard.calls.size(), 1u);
    EXPECT_EQ(keyboard.calls[0].first, 0x040D040Du);
    EXPECT_EQ(keyboard.calls[0].second, 0u);

    // The icon went in during start-up, before the window's one showing.
    ASSERT_EQ(tray.calls.size(), 1u);
    EXPECT_EQ(tray.calls[0].message, tray::NIM_ADD);
    EXPECT_FALSE(tray.calls[0].windowVisible);
    EXPECT_TRUE(w.isVisible());
    const tray::NotifyIconData& nid = m.nidTray;
    EXPECT_TRUE(tray.hasIcon(&w, 1));
    EXPECT_EQ(nid.cbSize, 88u);
    EXPECT_EQ(nid.uFlags, 7u);
    EXPECT_EQ(nid.uCallbackMessage, 512u);
    EXPECT_FALSE(nid.hIcon.isNull());
    EXPECT_EQ(nid.tip(), QStringLiteral("Numora"));
    EXPECT_EQ(nid.szTip[6], '\0');
    EXPECT_EQ(std::string(nid.szTip.begin() + 7, nid.szTip.end()), std::string(57, ' '));

    // Showing a loaded window again does not load it again.
    w.show();
    EXPECT_EQ(tray.calls.size(), 1u);
    EXPECT_EQ(controls.created.size(), 1u);
    frmVemo::Form_Terminate();
}

TEST_F(WindowStartup, LaterStartOpensTheConnectionAndNamesThePlacementSettings)
{
    env.writeDataSource(QStringLiteral("Numora Database"), env.dbPath());
    controls.registered = {"Kwendo.Ravelle"};
    controls.failCalls = true; // a failing control does not stop the start

    frmVemo w;
    w.show();
    ASSERT_NE(Module1().cnDirectory, nullptr);
    EXPECT_EQ(Module1().cnDirectory->State(), ado::adStateOpen);
    ASSERT_EQ(controls.invoked.size(), 1u);
    EXPECT_EQ(controls.invoked[0].dispId, 0x60030000);
    EXPECT_EQ(controls.invoked[0].args, (std::vector<QString>{"Numora", "Setting"}));
    EXPECT_EQ(ui::appTitle(), QStringLiteral("Numora"));
    EXPECT_TRUE(tray.hasIcon(&w, 1));
    EXPECT_TRUE(boxes.asked.empty());
    frmVemo::Form_Terminate();
}

TEST_F(WindowStartup, RegistrationFailuresAreToldUnderTheOldTitleEvenWithoutTheEnginesErrors)
{
    test::FakeDBEngine engine;
    engine.failWith = {{3146, "ODBC--call failed."}, {7, "General installer error"}};

    frmVemo w;
    w.show();
    ASSERT_EQ(boxes.asked.size(), 2u);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(boxes.asked[i].title, QStringLiteral("vemo1"));
    EXPECT_TRUE(boxes.asked[0].text.startsWith(QStringLiteral("Error number: 3146")));
    EXPECT_TRUE(boxes.asked[1].text.startsWith(QStringLiteral("Error number: 7")));
    // Without a data source the program reaches its file directly, and lists it.
    EXPECT_EQ(store::connectionString(), "Driver=SQLite3;Database=" + env.dbPath().toStdString());
    EXPECT_FALSE(listedNames(w).isEmpty());
    EXPECT_EQ(Module1().cnDirectory->State(), ado::adStateOpen);

    // The failed registration did not stop the start.
    EXPECT_TRUE(tray.hasIcon(&w, 1));
    EXPECT_EQ(Module1().strSortOrder, QStringLiteral(" ASC"));
    ui::MsgBox(QStringLiteral("A new record has been added"));
    EXPECT_EQ(boxes.asked.back().title, QStringLiteral("Numora"));
    EXPECT_EQ(engine.registrations.size(), 1u); // nothing is retried
    frmVemo::Form_Terminate();
    w.close();

    // A registration that fails without the engine's errors, or with a
    // failure not the engine's own, is told as one error all the same.
    const std::pair<std::function<void()>, QString> faults[] = {
        {[] { throw Error(3146, "ODBC--call failed."); }, QStringLiteral("Error number: 3146\rODBC--call failed.")},
        {[] { throw std::runtime_error("No space left on device"); },
         QStringLiteral("Error number: 1\rNo space left on device")},
    };
    for (const auto& [fault, told] : faults) {
        resetModule1();
        ui::setAppTitle(QStringLiteral("vemo1"));
        boxes.asked.clear();
        engine.failWith.clear();
        engine.fault = fault;
        frmVemo again;
        again.show();
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].text, told);
        frmVemo::Form_Terminate();
    }
}

TEST_F(WindowStartup, AFolderNameWithACarriageReturnIsRefusedAndRegistersNothing)
{
    // The name would split into a DBQ of its own and a LoadExt naming a
    // library of the folder-maker's choice.
    const QString folder = env.root() + "/phones\rLoadExt=" + env.root() + "/evil";
    ASSERT_TRUE(QDir().mkpath(folder));
    dbfile::createSample((folder + "/VEMO.MDB").toStdString(), 5);
    const std::string others = "[Reports]\nDriver=SQLite3\nDatabase=/srv/r.db\n";
    ASSERT_TRUE(test::writeFileBytes(env.odbcIni(), others));
    ASSERT_TRUE(QDir::setCurrent(folder));

    frmVemo w;
    w.show();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, "The data folder \"" + env.root() + "/phones\\rLoadExt=" + env.root() +
                                       "/evil/\" cannot be used: its name holds a carriage return. Start Numora "
                                       "from a folder whose name has no control characters.");
    EXPECT_EQ(boxes.asked[0].style, ui::vbCritical);
    EXPECT_EQ(test::fileBytes(env.odbcIni()), others);
    EXPECT_FALSE(w.isVisible());
    // An escape sequence and a turn of direction in the name are shown as
    // characters, never acted on.
    {
        const QString odd = env.root() + QStringLiteral("/\x1b[2Jcalls\u202Eevil");
        ASSERT_TRUE(QDir().mkpath(odd));
        ASSERT_TRUE(QDir::setCurrent(odd));
        boxes.asked.clear();
        frmVemo refused;
        refused.show();
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].text, "The data folder \"" + env.root() +
                                           "/\\x1b[2Jcalls\\u202eevil/\" cannot be "
                                           "used: its name holds the control character U+001B. Start Numora from a "
                                           "folder whose name has no control characters.");
        EXPECT_FALSE(refused.isLoaded());
        ASSERT_TRUE(QDir::setCurrent(folder));
    }
    EXPECT_FALSE(w.isLoaded());
    EXPECT_EQ(Module1().cnDirectory, nullptr);
    EXPECT_TRUE(tray.calls.empty());

    // An entry such a folder made before it was refused is never connected
    // through, and the next start anywhere writes it afresh.
    {
        QFile f(env.odbcIni());
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("\n[Numora Database]\nDriver=SQLite3\nDatabase=" + env.dbPath().toUtf8() +
                "\nLoadExt=" + env.root().toUtf8() + "/evil.so\n");
    }
    ado::Connection byName;
    try {
        byName.Open("DSN=Numora Database");
        ADD_FAILURE() << "connected through an entry that loads a library";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("/evil.so"), std::string::npos) << e.description();
    }
    ASSERT_TRUE(QDir::setCurrent(env.dataFolder()));
    frmVemo next;
    next.show();
    EXPECT_EQ(Module1().cnDirectory->State(), ado::adStateOpen);
    EXPECT_EQ(test::fileBytes(env.odbcIni()).find("LoadExt"), std::string::npos);
    EXPECT_EQ(test::fileBytes(env.odbcIni()).rfind(others, 0), 0u);
    frmVemo::Form_Terminate();
}

// A folder without a directory file: an empty one is offered. Declined, the
// program ends there (its entry then returns 1); made, the commands work on it.
TEST_F(WindowStartup, AFolderWithoutADirectoryFileOffersAnEmptyOneOrEnds)
{
    ASSERT_TRUE(QFile::remove(env.dbPath()));
    const QString asked = "The directory file " + env.dbPath() + " does not exist. Make an empty directory file there?";
    boxes.answer(ui::vbNo);
    {
        frmVemo declined;
        declined.show();
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].text, asked);
        EXPECT_EQ(boxes.asked[0].style, ui::vbYesNo | ui::vbQuestion);
        EXPECT_EQ(boxes.asked[0].title, QStringLiteral("Numora"));
        EXPECT_FALSE(declined.isLoaded());
        EXPECT_FALSE(declined.isVisible());
        EXPECT_TRUE(tray.calls.empty());
        EXPECT_TRUE(QDir(env.dataFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    boxes.asked.clear();
    frmVemo w;
    w.show();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, asked);
    EXPECT_EQ(QDir(env.dataFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("VEMO.MDB")});
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.panelText(1), QStringLiteral(" Total Records 0"));

    // Add stores a card in it and the grid lists it.
    w.btnAdd->click();
    FrmNewPhn* editor = FrmNewPhn::existingInstance();
    ASSERT_NE(editor, nullptr);
    editor->setBoxText(0, QString::fromUtf8("אבי"));
    editor->setBoxText(1, QStringLiteral("03-1"));
    editor->btnAdd->click();
    EXPECT_EQ(boxes.asked.back().text, QStringLiteral("A new record has been added"));
    EXPECT_EQ(test::SqliteFile(env.dbPath().toStdString()).count("select count(*) from Vemo"), 1);
    EXPECT_EQ(listedNames(w), QStringList{QString::fromUtf8("אבי")});
    frmVemo::Form_Terminate();
}

TEST_F(WindowStartup, AnUnusableDataFileIsNamedOnceAndListsNothing)
{
    const std::string db = env.dbPath().toStdString();
    const auto truncate = [&](qint64 by) {
        QFile f(env.dbPath());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(f.size() - by));
    };
    const struct {
        const char* kind;
        std::function<void()> make;
        QString says;
        int listed = 0; // the cards still readable under the first tab
    } cases[] = {
        {"empty",
         [&] {
             QFile f(env.dbPath());
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
         },
         "it is empty."},
        {"not a database",
         [&] {
             QFile f(env.dbPath());
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray("Name,Phone\n").repeated(400));
         },
         "it is not a directory database (file is not a database)."},
        {"truncated",
         [&] {
             dbfile::createSample(db, 300);
             truncate(110592 / 2);
         },
         "it is damaged (database disk image is malformed)."},
        {"cut inside its last page",
         [&] {
             dbfile::createSample(db, 300);
             truncate(100);
         },
         "it is damaged (it ends after 110492 of its 110592 bytes).", 14},
        {"without the group's table",
         [&] {
             dbfile::createSample(db, 5);
             test::SqliteFile(db).exec("DROP TABLE Vemo");
         },
         "it has no table Vemo."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        QFile::remove(env.dbPath());
        c.make();
        boxes.asked.clear();
        frmVemo w;
        w.show();
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].text, "The directory file " + env.dbPath() + " cannot be used: " + c.says);
        EXPECT_EQ(boxes.asked[0].style, ui::vbExclamation);
        EXPECT_EQ(boxes.asked[0].title, QStringLiteral("Numora"));
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.panelText(1), QStringLiteral(" Total Records %1").arg(c.listed));
        EXPECT_EQ(QDir(env.dataFolder()).entryList(QDir::Files).size(), 1) << "no file was made beside it";
        frmVemo::Form_Terminate();
        w.close();
        resetModule1();
    }
}

// Another program, in a process of its own, holds the file across the start:
// the window is up at once and says so once; a tab chosen meanwhile answers
// at once; the cards are listed the moment the lock goes, the other
// program's last card among them. With the ordinary busy wait, as the user
// meets it.
TEST_F(WindowStartup, ALockHeldAcrossTheStartIsSaidAtOnceAndTheCardsFollowWhenItGoes)
{
    env.writeDataSource(QStringLiteral("Numora Database"), env.dbPath());
    const std::string db = env.dbPath().toStdString();
    // What an import cut short by a kill left: removed once the file is free.
    const QString leftover = env.dataFolder() + QStringLiteral(".Vemo.old.k1ll3d");
    ASSERT_TRUE(test::writeFileBytes(leftover, "half a copy"));
    test::Peer other;
    other.must("open " + db);
    other.must("sql BEGIN EXCLUSIVE");

    QElapsedTimer clock;
    clock.start();
    frmVemo w;
    w.show();
    const qint64 upAfter = clock.elapsed();
    EXPECT_LT(upAfter, 3000) << "the window waited for the other program";
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.panelText(1), QStringLiteral(" File in use")); // no count that would claim an empty letter
    QTRY_VERIFY(!boxes.asked.empty());
    const QString said = "The directory file " + env.dbPath() +
                         " is in use by another program. Numora lists its cards as soon as that program has "
                         "finished with it.";
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, said);
    EXPECT_EQ(boxes.asked[0].title, QStringLiteral("Numora"));
    EXPECT_TRUE(QFile::exists(leftover)) << "a copy was removed while another program held the file";

    // Another letter meanwhile: chosen at once, nothing said again.
    clock.restart();
    w.TabVemo->setCurrentIndex(1);
    w.TabVemo_Click(0);
    EXPECT_LT(clock.elapsed(), 1000);
    // Two more looks at the file, each after the window's own.
    int looks = 0;
    for (QTimer* timer : w.findChildren<QTimer*>())
        if (timer->isActive() && timer->interval() == frmVemo::kFileRetryMs)
            QObject::connect(timer, &QTimer::timeout, &w, [&] { ++looks; });
    QTRY_VERIFY_WITH_TIMEOUT(looks >= 2, 20 * frmVemo::kFileRetryMs);
    EXPECT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(w.panelText(1), QStringLiteral(" File in use"));
    EXPECT_EQ(listedNames(w), QStringList());

    other.must("sql INSERT INTO Vemo (Name, Phone) VALUES ('" + std::string("בארי אחרון") + "', '1')");
    other.must("sql COMMIT");
    QTRY_VERIFY_WITH_TIMEOUT(w.panelText(1) != QStringLiteral(" File in use"), 10000);
    const QStringList listed = listedNames(w);
    EXPECT_TRUE(listed.contains(QString::fromUtf8("בארי אחרון"))) << listed.join(',').toStdString();
    for (const QString& name : listed)
        EXPECT_TRUE(name.startsWith(QChar(u'\u05D1'))) << name.toStdString();
    EXPECT_EQ(w.panelText(1), QStringLiteral(" Total Records %1").arg(listed.size()));
    EXPECT_EQ(Module1().cnDirectory->State(), ado::adStateOpen);
    EXPECT_FALSE(QFile::exists(leftover));
    EXPECT_EQ(boxes.asked.size(), 1u);
    frmVemo::Form_Terminate();
}

// A writer at work on a file of the old format: the cards are listed (reading
// goes on beside a writer), the columns it lacks are said to be missing, at
// once, and nothing is half-added.
TEST_F(WindowStartup, AWriterAtWorkOnAnOldFileLetsTheCardsBeListed)
{
    const std::string db = env.dbPath().toStdString();
    QFile::remove(env.dbPath());
    dbfile::createOldSample(db, 40);
    env.writeDataSource(QStringLiteral("Numora Database"), env.dbPath());
    const auto schema = test::SqliteFile(db).rows("select sql from sqlite_master order by name");
    test::Peer other;
    other.must("open " + db);
    other.must("sql BEGIN IMMEDIATE");

    QElapsedTimer clock;
    clock.start();
    frmVemo w;
    w.show();
    EXPECT_LT(clock.elapsed(), 3000);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, "The directory file " + env.dbPath() +
                                       " is in use by another program, so the columns Address and Email could not "
                                       "be added to it. Close that program and start Numora again.");
    EXPECT_NE(w.panelText(1), QStringLiteral(" Total Records 0"));
    EXPECT_FALSE(listedNames(w).isEmpty());
    other.must("sql ROLLBACK");
    EXPECT_EQ(test::SqliteFile(db).rows("select sql from sqlite_master order by name"), schema);
    frmVemo::Form_Terminate();
}

// Runs the rest of a scope as the unprivileged account nobody, its real id
// too (the ODBC installer finds the home of the real user), where the tests
// run as root, for whom file modes would not stop a write; back to root
// after. Elsewhere the modes bind the user running the tests already.
class AsNobody {
public:
    AsNobody()
    {
        const passwd* pw = ::getpwnam("nobody");
        if (::geteuid() != 0 || !pw)
            return;
        active_ = ::setresgid(pw->pw_gid, pw->pw_gid, 0) == 0 && ::setresuid(pw->pw_uid, pw->pw_uid, 0) == 0;
    }
    ~AsNobody()
    {
        if (active_ && (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0))
            std::abort(); // the rest of the tests would run unprivileged
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;
    bool active() const { return active_; }

private:
    bool active_ = false;
};

// The ODBC file cannot be written: its folder is the user's to read only; it
// is read-only and names another file; it is read-only and names the data
// file; the home has no room for one. The message is kept (none where the
// entry already names the data file), and the cards are listed all the same,
// the program reaching its file itself.
TEST_F(WindowStartup, AnOdbcFileThatCannotBeWrittenStillListsTheCards)
{
    const passwd* nobody = ::getpwnam("nobody");
    const bool root = ::geteuid() == 0 && nobody;
    // The test's folder is open to the unprivileged account, the data folder its own.
    ASSERT_EQ(::chmod(QFile::encodeName(env.root()).constData(), 0755), 0);
    if (root) {
        for (const QString& path : {env.dataFolder(), env.dbPath()})
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    const QString folder = env.root() + QStringLiteral("/readonly");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString otherFile = env.root() + QStringLiteral("/other.mdb");
    dbfile::createSample(otherFile.toStdString(), 3);
    const auto readOnlyOdbcFile = [&](const QString& name, const QString& database) {
        const QString file = env.root() + QLatin1Char('/') + name;
        test::writeFileBytes(file, "[ODBC Data Sources]\nNumora Database=SQLite3\n\n[Numora Database]\nDriver=SQLite3\n"
                                   "Database=" +
                                       database.toStdString() + "\n");
        ::chmod(QFile::encodeName(file).constData(), 0444);
        if (root)
            ::chown(QFile::encodeName(file).constData(), nobody->pw_uid, nobody->pw_gid);
        return file;
    };
    const long underAlef = test::SqliteFile(env.dbPath().toStdString())
                               .count("select count(*) from Vemo where Name like '" + std::string("א") + "%'");
    ASSERT_GT(underAlef, 0);

    const struct {
        const char* kind;
        std::optional<QString> odbcIni; // nullopt: none set, the home's
        QString says;                   // empty: nothing
    } cases[] = {
        {"a folder the user cannot write", folder + "/odbc.ini",
         "could not be written to " + folder + "/odbc.ini: Permission denied."},
        {"read-only, naming another file", readOnlyOdbcFile("other.ini", otherFile),
         "could not be written to " + env.root() + "/other.ini: Permission denied."},
        {"read-only, naming the data file", readOnlyOdbcFile("right.ini", env.dbPath()), {}},
        {"a home without room for it", std::nullopt,
         "could not be written to /nonexistent/.odbc.ini: No such file or directory."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        if (!c.odbcIni && !root)
            continue; // the user's own home is never touched
        if (c.odbcIni)
            qputenv("ODBCINI", QFile::encodeName(*c.odbcIni));
        else
            qunsetenv("ODBCINI");
        const std::string odbcFile = c.odbcIni ? test::fileBytes(*c.odbcIni) : std::string();
        boxes.asked.clear();
        {
            const AsNobody unprivileged;
            ASSERT_EQ(unprivileged.active(), root);
            frmVemo w;
            w.show();
            if (c.says.isEmpty()) {
                EXPECT_TRUE(boxes.asked.empty()) << boxes.asked[0].text.toStdString();
            } else {
                ASSERT_EQ(boxes.asked.size(), 1u);
                EXPECT_TRUE(boxes.asked[0].text.endsWith(c.says)) << boxes.asked[0].text.toStdString();
            }
            EXPECT_EQ(w.panelText(1), QStringLiteral(" Total Records %1").arg(underAlef));
            EXPECT_EQ(Module1().cnDirectory->State(), ado::adStateOpen);
            EXPECT_EQ(QString::fromStdString(Module1().cnDirectory->DatabaseFile()), env.dbPath());
            frmVemo::Form_Terminate();
            w.close();
        }
        resetModule1();
        if (c.odbcIni) {
            EXPECT_TRUE(test::fileBytes(*c.odbcIni) == odbcFile);
        }
    }
    qputenv("ODBCINI", QFile::encodeName(env.odbcIni()));
}

TEST(WindowDataFolder, TrailingSeparatorAndTheDevelopmentFolderRule)
{
    const QString appended = QStringLiteral("My app/Numora/");
    struct Case {
        QString current, expected;
    };
    const Case cases[] = {
        {"/", "/"},
        {"/home/dana/phones", "/home/dana/phones/"},
        {"/home/dana/phones/", "/home/dana/phones/"},
        {"/opt/vb98/", "/opt/vb98/" + appended},
        {"/opt/Vb98", "/opt/Vb98/" + appended},
        {"/opt/VB", "/opt/VB/" + appended},
        {"/opt/MyVB", "/opt/MyVB/" + appended}, // only the trailing letters count
        {"/opt/xvB98/", "/opt/xvB98/" + appended},
        {"/opt/VB9", "/opt/VB9/"},
        {"/opt/VBA", "/opt/VBA/"},
        {"/opt/B98", "/opt/B98/"},
        {"/VB/My app/Numora", "/VB/My app/Numora/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(frmVemo::dataFolderFor(c.current), c.expected) << c.current.toStdString();
}

// Another window of the program (as the search window will be): loaded at
// its first showing, unloaded and released when it closes.
class OtherWindow : public forms::Form<OtherWindow, QWidget> {
protected:
    bool Form_Load() override { return true; }
};

TEST_F(WindowStartup, TheProgramEndsWhenNoWindowRemainsLoadedNotWhenNoneIsVisible)
{
    env.writeDataSource(QStringLiteral("Numora Database"), env.dbPath());
    controls.registered = {"Kwendo.Ravelle"};
    frmVemo w;
    w.show();
    ASSERT_EQ(Module1().cnDirectory->State(), ado::adStateOpen);

    int steps = 0;
    bool ended = false;
    const auto then = [&](auto&& step) {
        QTimer::singleShot(0, qApp, [&, step] {
            ++steps;
            step();
        });
    };
    then([&] {
        // The main window hidden in the tray, the other window the only one
        // on screen; closing it leaves the main window loaded.
        OtherWindow::instance().show();
        w.hide();
        OtherWindow::instance().close();
        then([&] {
            EXPECT_FALSE(ended);
            EXPECT_TRUE(w.isLoaded());
            EXPECT_EQ(OtherWindow::existingInstance(), nullptr) << "the closed window was not released";
            // Quit while the other window is open: the main window unloads with
            // its placement control; the program, its connection and its icon stay.
            OtherWindow::instance().show();
            w.show();
            QTest::mouseClick(w.btnQuit, Qt::LeftButton);
            EXPECT_FALSE(w.isVisible());
            EXPECT_FALSE(w.isLoaded());
            EXPECT_EQ(controls.destroyed, std::vector<std::string>{"Kwendo.Ravelle"});
            then([&] {
                EXPECT_FALSE(ended);
                EXPECT_EQ(Module1().cnDirectory->State(), ado::adStateOpen);
                EXPECT_NE(Module1().rsDirectory, nullptr);
                EXPECT_TRUE(tray.hasIcon(&w, 1));
                OtherWindow::instance().close(); // the last loaded window
            });
        });
    });
    const bool endedByItself = test::runProgram(ended);

    EXPECT_EQ(steps, 3);
    EXPECT_TRUE(endedByItself) << "the program did not end when its last loaded window closed";
    EXPECT_EQ(Module1().cnDirectory->State(), ado::adStateClosed);
    EXPECT_EQ(Module1().rsDirectory, nullptr);
    EXPECT_FALSE(tray.hasIcon(&w, 1));
    EXPECT_EQ(tray.calls.back().message, tray::NIM_DELETE);
    EXPECT_TRUE(boxes.asked.empty()); // no question anywhere
}

TEST_F(WindowStartup, ExitFromTheFileMenuUnloadsOnlyTheMainWindow)
{
    env.writeDataSource(QStringLiteral("Numora Database"), env.dbPath());
    frmVemo w;
    w.show();
    w.mnuExit->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.isLoaded());
    EXPECT_EQ(Module1().cnDirectory->State(), ado::adStateOpen);
    EXPECT_TRUE(tray.hasIcon(&w, 1));
    EXPECT_TRUE(boxes.asked.empty());
    frmVemo::Form_Terminate();
    EXPECT_FALSE(tray.hasIcon(&w, 1));
}

} // namespace
} // namespace numora
