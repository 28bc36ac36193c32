// Export DB and Import DB through the main window's Option menu: the dialogs,
// the questions and messages, the backup, the grid after an import, and the
// files left whole when anything goes wrong.

#include <QDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include "mainwin/frmVemo.h"
#include "platform/core/Files.h"
#include "tests/mainwin/grid_fixture.h"
#include "tests/support/FakeFileDialogs.h"

namespace numora::test {
namespace {

class ImportExport : public GridWindowTest {
protected:
    void SetUp() override
    {
        GridWindowTest::SetUp();
        savedFolder_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(env.dataFolder()));
        insertCards(path(), store::kPersonalTable, personalCards());
        QDir(env.root()).mkpath(QStringLiteral("elsewhere"));
        start();
        boxes.asked.clear();
    }

    void TearDown() override
    {
        GridWindowTest::TearDown();
        QDir::setCurrent(savedFolder_);
    }

    QString elsewhere(const char* name) const { return env.root() + QStringLiteral("/elsewhere/") + name; }
    QString backup() const { return env.dataFolder() + QStringLiteral("Vemo.old"); }

    // A directory file with one Personal card under alef.
    QString otherDirectory(const char* name) const
    {
        const QString file = elsewhere(name);
        dbfile::createEmpty(file.toStdString());
        insertCards(file.toStdString(), store::kPersonalTable, {{"אורנים יעל", "04-5559999", std::nullopt, std::nullopt, std::nullopt}});
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

    FakeFileDialogs dialogs;
    QString savedFolder_;
};

TEST_F(ImportExport, ExportToANewFileThenOverAnExistingOneAsksFirst)
{
    const std::string data = fileBytes(env.dbPath());
    const QString target = elsewhere("Copy.mdb");

    dialogs.choose(target);
    w->mnuExportDB->trigger();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].kind, ui::FileDialogRequest::Save);
    EXPECT_EQ(dialogs.asked[0].fileName, QStringLiteral("Vemo.mdb"));
    EXPECT_EQ(dialogs.asked[0].filter, QStringLiteral("Microsoft Database (*.mdb)|*.mdb"));
    EXPECT_EQ(texts(), QStringList{QStringLiteral("Export DB to ") + target + QStringLiteral(" has succeeded!")});
    EXPECT_TRUE(fileBytes(target) == data);

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
    EXPECT_TRUE(fileBytes(target) == data);

    // Cancelled: nothing copied, nothing said; the offered name is no choice.
    boxes.asked.clear();
    dialogs.cancel();
    w->mnuExportDB->trigger();
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(dataFolderEntries(), QStringList{QStringLiteral("VEMO.MDB")});
}

// The data file is VEMO.MDB here while the commands name Vemo.mdb: the import
// replaces that one file, keeps it as the backup, and the grid lists the
// imported cards at once; importing the backup then restores it and leaves
// the backup alone.
TEST_F(ImportExport, ImportReplacesTheDataFileKeepsABackupAndTheBackupRestores)
{
    const std::string before = fileBytes(env.dbPath());
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
    EXPECT_TRUE(fileBytes(env.dbPath()) == fileBytes(imported));
    EXPECT_TRUE(fileBytes(backup()) == before);
    EXPECT_EQ(listedNames(), QStringList{heb("אורנים יעל")});
    EXPECT_EQ(w->panelText(1), QStringLiteral(" Total Records 1"));

    // The shared connection was opened again, on the imported file.
    const auto shared = Module1().cnDirectory->Execute("select Name from Vemo");
    EXPECT_EQ(shared->Field(0), std::optional<std::string>("אורנים יעל"));

    boxes.asked.clear();
    dialogs.choose(backup());
    w->mnuImportDB->trigger();
    EXPECT_EQ(texts().last(), QStringLiteral("Import DB from ") + backup() + QStringLiteral(" has succeeded!"));
    EXPECT_TRUE(fileBytes(env.dbPath()) == before);
    EXPECT_TRUE(fileBytes(backup()) == before);
    EXPECT_EQ(listedNames().size(), 3);
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

// A copy that breaks off halfway leaves the data file whole, the backup
// made just before it in place, and the grid on the data file.
TEST_F(ImportExport, ACopyThatFailsLeavesTheDataFileAndTheBackupWhole)
{
    struct FailSecondCopy : files::ReplaceSteps {
        int halves = 0;
        void reached(files::ReplaceStep step) override
        {
            if (step == files::ReplaceStep::HalfWritten && ++halves == 2)
                throw Error(28, "No space left on device");
        }
    } failing;
    const auto installed = files::replaceSteps().install(failing);
    const std::string before = fileBytes(env.dbPath());
    const QString imported = otherDirectory("Other.mdb");

    dialogs.choose(imported);
    w->mnuImportDB->trigger();
    EXPECT_EQ(texts().last(), QStringLiteral("Failed to import database! The file ") + env.dbPath() +
                                  QStringLiteral(" could not be written: No space left on device."));
    EXPECT_TRUE(fileBytes(env.dbPath()) == before);
    EXPECT_TRUE(fileBytes(backup()) == before);
    EXPECT_EQ(dataFolderEntries(), (QStringList{QStringLiteral("VEMO.MDB"), QStringLiteral("Vemo.old")}));
    EXPECT_EQ(listedNames().size(), 3);
}

TEST_F(ImportExport, ImportIsRefusedWhileTheEditorHoldsACard)
{
    clickCell(1, 0);
    w->btnEdit->click();
    ASSERT_TRUE(FrmNewPhn::instance().holdsCard());
    boxes.asked.clear();
    dialogs.choose(otherDirectory("Other.mdb"));
    w->mnuImportDB->trigger();
    EXPECT_EQ(texts(), QStringList{QStringLiteral(
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
