// Export DB and Import DB through the main window's Option menu: the dialogs,
// the questions and messages, the backup, the grid after an import, and the
// files left whole when anything goes wrong.

#include <QDir>
#include <QFile>
#include <QToolButton>

#include <gtest/gtest.h>

#include "mainwin/frmVemo.h"
#include "platform/core/Files.h"
#include "platform/core/LockWait.h"
#include "tests/mainwin/grid_fixture.h"
#include "tests/support/FakeFileDialogs.h"
#include "tests/support/Peer.h"

namespace numora::test {
namespace {

class ImportExport : public GridWindowTest {
protected:
    void SetUp() override
    {
        GridWindowTest::SetUp();
        insertCards(path(), store::kPersonalTable, personalCards());
        QDir(env.root()).mkpath(QStringLiteral("elsewhere"));
        start();
        boxes.asked.clear();
    }

    QString elsewhere(const char* name) const { return env.root() + QStringLiteral("/elsewhere/") + name; }
    QString backup() const { return env.dataFolder() + QStringLiteral("Vemo.old"); }

    // A directory file with one Personal card under alef.
    QString otherDirectory(const char* name) const
    {
        const QString file = elsewhere(name);
        dbfile::createEmpty(file.toStdString());
        insertCards(file.toStdString(), store::kPersonalTable,
                    {{"אורנים יעל", "04-5559999", std::nullopt, std::nullopt, std::nullopt}});
        return file;
    }

    QStringList texts() const
    {
        QStringList out;
        for (const ui::MessageRequest& r : boxes.asked)
            out << r.text;
        return out;
    }

    QStringList dataFolderEntries() const { return QDir(env.dataFolder()).entryList(QDir::Files | QDir::Hidden); }

    // Every card of both groups, as stored.
    static std::vector<Row> contents(const QString& file)
    {
        SqliteFile db(file.toStdString());
        std::vector<Row> rows = db.rows("select * from Vemo order by rowid");
        for (Row& row : db.rows("select * from Work order by rowid"))
            rows.push_back(std::move(row));
        return rows;
    }

    void importFile(const QString& file)
    {
        boxes.asked.clear();
        dialogs.choose(file);
        w->mnuImportDB->trigger();
    }

    FakeFileDialogs dialogs;
};

TEST_F(ImportExport, ExportToANewFileThenOverAnExistingOneAsksFirst)
{
    const std::vector<Row> data = contents(env.dbPath());
    const QString target = elsewhere("Copy.mdb");

    dialogs.choose(target);
    w->mnuExportDB->trigger();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].kind, ui::FileDialogRequest::Save);
    EXPECT_EQ(dialogs.asked[0].fileName, QStringLiteral("Vemo.mdb"));
    EXPECT_EQ(dialogs.asked[0].filter, QStringLiteral("Microsoft Database (*.mdb)|*.mdb"));
    EXPECT_EQ(texts(), QStringList{QStringLiteral("Export DB to ") + target + QStringLiteral(" has succeeded!")});
    EXPECT_EQ(contents(target), data);

    // No: the file stays as it was and the export failed.
    writeFileBytes(target, "older copy");
    boxes.asked.clear();
    dialogs.choose(target);
    boxes.answer(ui::vbNo);
    w->mnuExportDB->trigger();
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].text, QStringLiteral("Do you want to overwrite ") + target + QLatin1Char('?'));
    EXPECT_EQ(boxes.asked[0].style, ui::vbYesNo | ui::vbQuestion);
    EXPECT_EQ(boxes.asked[1].text, QStringLiteral("Failed to export database! File already exists"));
    EXPECT_EQ(boxes.asked[1].style, ui::vbOKOnly | ui::vbExclamation);
    EXPECT_TRUE(fileBytes(target) == "older copy");

    // Yes: copied over it.
    boxes.asked.clear();
    dialogs.choose(target);
    w->mnuExportDB->trigger();
    EXPECT_EQ(texts().last(), QStringLiteral("Export DB to ") + target + QStringLiteral(" has succeeded!"));
    EXPECT_EQ(contents(target), data);

    // Cancelled: nothing copied, nothing said; the offered name is no choice.
    boxes.asked.clear();
    dialogs.cancel();
    w->mnuExportDB->trigger();
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(dataFolderEntries(), QStringList{QStringLiteral("VEMO.MDB")});
}

// Another program's write under way never reaches a copy: once the writer
// has begun to put its change into the file, the export waits for it and,
// when the wait is over, copies nothing; what is committed is copied whole.
TEST_F(ImportExport, ExportCopiesWhatIsCommittedNeverAWriteUnderWay)
{
    const locks::BusyTimeout shortWait(300);
    const std::vector<Row> committed = contents(env.dbPath());
    const std::string before = fileBytes(env.dbPath());
    Peer other;
    other.must("open " + path());
    // A change larger than the writer's cache goes into the file before it commits.
    other.must("sql PRAGMA cache_size = 1; BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
               "WHERE i < 2000) INSERT INTO Vemo (Name, Phone) SELECT 'zz' || i, hex(randomblob(60)) FROM n");
    ASSERT_NE(fileBytes(env.dbPath()), before) << "the write under way is not in the file yet";

    const QString target = elsewhere("Copy.mdb");
    dialogs.choose(target);
    w->mnuExportDB->trigger();
    ASSERT_EQ(texts().size(), 1);
    EXPECT_TRUE(texts()[0].startsWith(QStringLiteral("Failed to export database! The directory file ")) &&
                texts()[0].contains(QStringLiteral("in use by another program")))
        << texts()[0].toStdString();
    EXPECT_FALSE(QFile::exists(target));

    other.must("sql ROLLBACK");
    boxes.asked.clear();
    dialogs.choose(target);
    w->mnuExportDB->trigger();
    EXPECT_EQ(texts(), QStringList{QStringLiteral("Export DB to ") + target + QStringLiteral(" has succeeded!")});
    EXPECT_EQ(contents(target), committed);
}

// The name the dialog offers is the data file's in another case; saved in the
// data folder (where the dialog opens) it would be a second directory file
// beside VEMO.MDB. The data file reached any way at all is refused, and
// nothing is copied.
TEST_F(ImportExport, ExportOntoTheDataFileItselfCopiesNothing)
{
    const std::vector<Row> before = contents(env.dbPath());
    ASSERT_TRUE(QFile::link(env.dbPath(), elsewhere("link.mdb")));
    ASSERT_TRUE(QFile::link(env.dataFolder(), elsewhere("folder")));
    const QString targets[] = {QStringLiteral("Vemo.mdb"), env.dataFolder() + "Vemo.mdb", env.dbPath(),
                               elsewhere("link.mdb"), elsewhere("folder") + "/vemo.MDB"};
    for (const QString& target : targets) {
        SCOPED_TRACE(target.toStdString());
        boxes.asked.clear();
        dialogs.choose(target);
        w->mnuExportDB->trigger();
        EXPECT_EQ(texts(), QStringList{"Failed to export database! " + target +
                                       " is the directory file itself; nothing was copied. Choose another folder or "
                                       "name for the copy."});
        EXPECT_EQ(boxes.asked.back().style, ui::vbOKOnly | ui::vbExclamation);
        EXPECT_EQ(dataFolderEntries(), QStringList{QStringLiteral("VEMO.MDB")});
        EXPECT_EQ(contents(env.dbPath()), before);
    }
}

// The data file is VEMO.MDB here while the commands name Vemo.mdb: the import
// replaces that one file, keeps it as the backup, and the grid lists the
// imported cards at once; importing the backup then restores it and leaves
// the backup alone.
TEST_F(ImportExport, ImportReplacesTheDataFileKeepsABackupAndTheBackupRestores)
{
    const std::vector<Row> before = contents(env.dbPath());
    const ino_t file = inodeOf(env.dbPath()); // written into, never renamed over
    ASSERT_EQ(listedNames().size(), 3);
    const QString imported = otherDirectory("Other.MDB");

    dialogs.choose(imported);
    w->mnuImportDB->trigger();
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].text, QStringLiteral("This will import an external database\r\ninto Numora, continue?"));
    EXPECT_EQ(boxes.asked[0].title, QStringLiteral("System Warning"));
    EXPECT_EQ(boxes.asked[0].style, ui::vbYesNo | ui::vbQuestion);
    EXPECT_EQ(dialogs.asked[0].kind, ui::FileDialogRequest::Open);
    EXPECT_EQ(dialogs.asked[0].fileName, QStringLiteral("Vemo.mdb"));
    EXPECT_EQ(dialogs.asked[0].filter,
              QStringLiteral("Microsoft Database (*.mdb)|*.mdb|Backup Database (*.old)|*.old"));
    EXPECT_EQ(boxes.asked[1].text, QStringLiteral("Import DB from ") + imported + QStringLiteral(" has succeeded!"));
    EXPECT_EQ(boxes.asked[1].style, ui::vbOKOnly);

    EXPECT_EQ(dataFolderEntries(), (QStringList{QStringLiteral("VEMO.MDB"), QStringLiteral("Vemo.old")}));
    EXPECT_EQ(contents(env.dbPath()), contents(imported));
    EXPECT_EQ(inodeOf(env.dbPath()), file);
    EXPECT_EQ(contents(backup()), before);
    EXPECT_EQ(listedNames(), QStringList{heb("אורנים יעל")});
    EXPECT_EQ(w->panelText(1), QStringLiteral(" Total Records 1"));

    // The shared connection was opened again, on the imported file.
    const auto shared = Module1().cnDirectory->Execute("select Name from Vemo");
    EXPECT_EQ(shared->Field(0), std::optional<std::string>("אורנים יעל"));

    boxes.asked.clear();
    dialogs.choose(backup());
    w->mnuImportDB->trigger();
    EXPECT_EQ(texts().last(), QStringLiteral("Import DB from ") + backup() + QStringLiteral(" has succeeded!"));
    EXPECT_EQ(contents(env.dbPath()), before);
    EXPECT_EQ(contents(backup()), before);
    EXPECT_EQ(listedNames().size(), 3);

    // The data file itself is nothing to import.
    importFile(env.dbPath());
    EXPECT_EQ(texts().last(), "Failed to import database! The file " + env.dbPath() +
                                  " is the directory file itself; there is nothing to import.");
    EXPECT_EQ(contents(env.dbPath()), before);
}

TEST_F(ImportExport, DecliningOrCancellingChangesNothing)
{
    const std::string before = fileBytes(env.dbPath());
    boxes.answer(ui::vbNo);
    w->mnuImportDB->trigger();
    EXPECT_EQ(boxes.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked.empty());

    boxes.asked.clear();
    dialogs.cancel();
    w->mnuImportDB->trigger();
    EXPECT_EQ(boxes.asked.size(), 1u); // the warning alone
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(fileBytes(env.dbPath()) == before);
    EXPECT_EQ(dataFolderEntries(), QStringList{QStringLiteral("VEMO.MDB")});
    EXPECT_EQ(listedNames().size(), 3);
}

// Files that are no directory database are refused before anything is
// copied: the data file and an earlier backup stay as they were.
TEST_F(ImportExport, AFileThatIsNoDirectoryDatabaseIsRefused)
{
    writeFileBytes(backup(), "the backup");
    const std::string before = fileBytes(env.dbPath());

    const QString text = elsewhere("notes.mdb");
    writeFileBytes(text, "name,phone\nDan,555\n");
    const QString cut = elsewhere("cut.mdb");
    writeFileBytes(cut, before.substr(0, before.size() / 2));
    const QString noWork = elsewhere("nowork.mdb");
    SqliteFile(noWork.toStdString()).exec("CREATE TABLE Vemo (Name TEXT, Phone TEXT, Mobil TEXT, Line TEXT, Fax TEXT)");
    const QString missing = elsewhere("missing.mdb");

    for (const QString& file : {text, cut, noWork, missing}) {
        SCOPED_TRACE(file.toStdString());
        boxes.asked.clear();
        dialogs.choose(file);
        w->mnuImportDB->trigger();
        ASSERT_EQ(boxes.asked.size(), 2u);
        EXPECT_TRUE(boxes.asked[1].text.startsWith(QStringLiteral("Failed to import database! The directory file ") +
                                                   file + QStringLiteral(" cannot be used: ")))
            << boxes.asked[1].text.toStdString();
        EXPECT_TRUE(fileBytes(env.dbPath()) == before);
        EXPECT_TRUE(fileBytes(backup()) == "the backup");
    }
    EXPECT_EQ(listedNames().size(), 3);
}

// A backup that cannot be made ends the import before anything is replaced:
// the data file and the earlier backup stay as they were, and no part of the
// new backup stays behind.
TEST_F(ImportExport, ABackupThatCannotBeMadeLeavesEverythingAsItWas)
{
    struct FullDisk : files::ReplaceSteps {
        void reached(files::ReplaceStep step) override
        {
            if (step == files::ReplaceStep::Written)
                throw Error(28, "No space left on device");
        }
    } failing;
    writeFileBytes(backup(), "the backup");
    const std::vector<Row> before = contents(env.dbPath());
    const QString imported = otherDirectory("Other.mdb");
    const auto installed = files::replaceSteps().install(failing);

    importFile(imported);
    EXPECT_EQ(texts().last(), "Failed to import database! The file " + backup() +
                                  " could not be written: No space left on device. Nothing was imported.");
    EXPECT_EQ(contents(env.dbPath()), before);
    EXPECT_TRUE(fileBytes(backup()) == "the backup");
    EXPECT_EQ(dataFolderEntries(), (QStringList{QStringLiteral("VEMO.MDB"), QStringLiteral("Vemo.old")}));
    EXPECT_EQ(listedNames().size(), 3);
}

// Another program, in a process of its own, writing to the data file: the
// import waits for it no longer than any statement does, is refused, and
// changes nothing, so the other program's cards land whole in the file the
// user keeps. Both an open write transaction and a large one that has spilled
// into the file beside its journal.
TEST_F(ImportExport, ImportIsRefusedWhileAnotherProgramWritesAndItsWorkIsKept)
{
    const locks::BusyTimeout shortWait(300);
    writeFileBytes(backup(), fileBytes(otherDirectory("Older.mdb")));
    const std::vector<Row> backupBefore = contents(backup());
    const QString imported = otherDirectory("Other.mdb");
    const QString refused = "Failed to import database! The directory file " + env.dbPath() +
                            " is in use by another program; nothing was imported. Try again when that program has "
                            "finished with it.";
    Peer other;
    other.must("open " + path());

    other.must("sql BEGIN EXCLUSIVE");
    other.must("sql INSERT INTO Vemo (Name, Phone) VALUES ('writer', '1')");
    importFile(imported);
    EXPECT_EQ(texts().last(), refused);
    other.must("sql COMMIT");
    EXPECT_EQ(SqliteFile(path()).count("select count(*) from Vemo"), 12);

    other.must("sql PRAGMA cache_size = 2");
    other.must("sql BEGIN");
    other.must("sql WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 3000) "
               "INSERT INTO Vemo (Name, Phone) SELECT 'spilled ' || x, hex(randomblob(100)) FROM n");
    ASSERT_TRUE(QFile::exists(env.dbPath() + "-journal"));
    importFile(imported);
    EXPECT_EQ(texts().last(), refused);
    other.must("sql COMMIT");

    SqliteFile data(path());
    EXPECT_EQ(data.one("PRAGMA integrity_check"), Value("ok"));
    EXPECT_EQ(data.count("select count(*) from Vemo"), 12 + 3000);
    EXPECT_EQ(contents(backup()), backupBefore);
    EXPECT_EQ(dataFolderEntries(), (QStringList{QStringLiteral("VEMO.MDB"), QStringLiteral("Vemo.old")}));
}

// Another running instance of the program, in a process of its own with its
// connection open on the data source: after the import it reads the imported
// cards and its own card goes into the file the user keeps. What imports cut
// short left in the data folder is removed; nothing else is.
TEST_F(ImportExport, AnotherRunningInstanceGoesOnWithTheImportedFile)
{
    const QStringList leftovers{env.dataFolder() + ".VEMO.MDB.a1B2c3", env.dataFolder() + ".vemo.OLD.Zz9Zz9"};
    for (const QString& file : leftovers)
        writeFileBytes(file, "half a copy");
    const QString notOurs = env.dataFolder() + ".VEMO.MDB.kept";
    writeFileBytes(notOurs, "someone's");
    Peer instance;
    instance.must("odbc DSN=Numora Database");
    EXPECT_EQ(instance.ask("oexec select count(*) from Vemo"), "11");

    importFile(otherDirectory("Other.mdb"));
    EXPECT_TRUE(texts().last().endsWith(QStringLiteral(" has succeeded!"))) << texts().last().toStdString();
    EXPECT_EQ(instance.ask("oexec select Name from Vemo"), "אורנים יעל");
    instance.must("oexec INSERT INTO Vemo (Name, Phone) VALUES ('אחר מהמופע השני', '2')");
    EXPECT_EQ(SqliteFile(path()).count("select count(*) from Vemo"), 2);
    chooseTab(0);
    EXPECT_EQ(listedNames(), QStringList({heb("אורנים יעל"), heb("אחר מהמופע השני")}));
    for (const QString& file : leftovers)
        EXPECT_FALSE(QFile::exists(file)) << file.toStdString();
    EXPECT_TRUE(QFile::exists(notOurs));
}

TEST_F(ImportExport, ImportIsRefusedWhileTheEditorHoldsACard)
{
    clickCell(1, 0);
    w->btnEdit->click();
    ASSERT_TRUE(FrmNewPhn::instance().holdsCard());
    boxes.asked.clear();
    dialogs.choose(otherDirectory("Other.mdb"));
    w->mnuImportDB->trigger();
    EXPECT_EQ(texts(),
              QStringList{QStringLiteral(
                  "The record editor is open with a card of this directory. Close it before importing a database.")});
    EXPECT_TRUE(dialogs.asked.empty());

    // Closed, the import goes ahead and the grid lists the imported card.
    FrmNewPhn::instance().close();
    boxes.asked.clear();
    w->mnuImportDB->trigger();
    EXPECT_EQ(listedNames(), QStringList{heb("אורנים יעל")});
}

} // namespace
} // namespace numora::test
