// Export DB and Import DB: the whole data file copied out to a file the user
// names, or a chosen file copied in over it, keeping the data file it
// replaces as the backup Vemo.old. Both copy through the database engine
// (store::copyDataFile, store::replaceDataFile), under its locks.
#include "mainwin/frmVemo.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <optional>

#include "editor/FrmNewPhn.h"
#include "mainwin/Module1.h"
#include "platform/core/Error.h"
#include "platform/core/Files.h"
#include "platform/ui/MsgBox.h"
#include "store/Server.h"
#include "store/Store.h"

namespace numora {
namespace {

Q_LOGGING_CATEGORY(lcFiles, "numora.importexport", QtInfoMsg)

constexpr char kOfferedName[] = "Vemo.mdb";
constexpr long kErrFileAlreadyExists = 58;

void copyFile(const QString& from, const QString& to, bool failIfExists)
{
    files::CopyFileA(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), failIfExists);
}

void showFailure(const char* what, const QString& description)
{
    ui::MsgBox(QLatin1String(what) + description, ui::vbOKOnly | ui::vbExclamation);
}

QString descriptionOf(const std::exception& e) { return QString::fromUtf8(e.what()); }

// Shows the file dialog offering "Vemo.mdb" with the filter's first pair
// chosen. The chosen path; none when the user cancelled (the offered name
// would otherwise be taken as the choice) or the dialog could not be shown,
// which is then said.
std::optional<QString> chooseFile(ui::CommonDialog& dialog, ui::FileDialogRequest::Kind kind, const QString& filter)
{
    dialog.FileName = QLatin1String(kOfferedName);
    dialog.Filter = filter;
    dialog.FilterIndex = 1;
    try {
        if (kind == ui::FileDialogRequest::Save ? dialog.ShowSave() : dialog.ShowOpen())
            return dialog.FileName;
    } catch (const std::exception& e) {
        ui::MsgBox(descriptionOf(e), ui::vbOKOnly | ui::vbExclamation);
    }
    return std::nullopt;
}

// Whether the group shown lives on a database server, where there is no
// file to copy; says so when it does.
bool refusedOnServer(const QString& group, const char* command)
{
    const store::Table* table = store::tableForGroup(group);
    if (!table || !store::onServer(*table))
        return false;
    ui::MsgBox(QStringLiteral("The %1 group lives on a database server (data source \"%2\"), not in a directory "
                              "file, so %3 copies nothing. Cards come in and go out through the card commands "
                              "(Import Cards, Export Cards) and numora-dbtool.")
                   .arg(QLatin1String(table->group), store::groupDataSource(*table), QLatin1String(command)),
               ui::vbOKOnly | ui::vbExclamation);
    return true;
}

} // namespace

void frmVemo::mnuExportDB_Click()
{
    Module1State& m = Module1();
    if (refusedOnServer(cmbGroup->currentText(), "Export DB"))
        return;
    // The file the data source names, in whatever case its name has here.
    const QString source = store::dataFilePath(m.strDataFolder);
    const std::optional<QString> chosen =
        chooseFile(CommonDialog1, ui::FileDialogRequest::Save, QStringLiteral("Microsoft Database (*.mdb)|*.mdb"));
    if (!chosen)
        return;
    const QString& path = *chosen;
    // The data file itself, reached by any name: the one offered is its name
    // in another case, and in the data folder a copy under it would be a
    // second directory file beside the first.
    if (store::namesDataFile(path, m.strDataFolder)) {
        showFailure("Failed to export database! ",
                    QStringLiteral("%1 is the directory file itself; nothing was copied. Choose another folder or "
                                   "name for the copy.")
                        .arg(path));
        return;
    }
    try {
        // Copied as the engine reads it, so a write another program commits
        // meanwhile is in the copy whole or not at all.
        try {
            store::copyDataFile(source, path, true);
        } catch (const Error& e) {
            // Only a file that is there already is worth the question; any
            // other failure is the export's.
            if (e.number() != EEXIST)
                throw;
            if (ui::MsgBox(QStringLiteral("Do you want to overwrite ") + path + QLatin1Char('?'),
                           ui::vbYesNo | ui::vbQuestion | ui::vbDefaultButton1) != ui::vbYes)
                throw Error(kErrFileAlreadyExists, "File already exists");
            store::copyDataFile(source, path, false);
        }
    } catch (const std::exception& e) {
        resumeNext(lcFiles(), [&] { QDir::setCurrent(m.strDataFolder); });
        showFailure("Failed to export database! ", descriptionOf(e));
        return;
    }
    resumeNext(lcFiles(), [&] { QDir::setCurrent(m.strDataFolder); });
    ui::MsgBox(QStringLiteral("Export DB to ") + path + QStringLiteral(" has succeeded!"), ui::vbOKOnly);
}

void frmVemo::mnuImportDB_Click()
{
    Module1State& m = Module1();
    if (refusedOnServer(cmbGroup->currentText(), "Import DB"))
        return;
    // An editor updating a card keeps that card, and a connection to the
    // file it came from, until it closes; the card's Update must not go to a
    // file the import has replaced.
    if (const FrmNewPhn* editor = FrmNewPhn::existingInstance(); editor && editor->isLoaded() && editor->holdsCard()) {
        ui::MsgBox(QStringLiteral("The record editor is open with a card of this directory. "
                                  "Close it before importing a database."),
                   ui::vbOKOnly | ui::vbExclamation);
        return;
    }
    if (ui::MsgBox(QStringLiteral("This will import an external database") + m.strNewLine +
                       QStringLiteral("into Numora, continue?"),
                   ui::vbYesNo | ui::vbQuestion | ui::vbDefaultButton1, QStringLiteral("System Warning")) != ui::vbYes)
        return;
    const QString target = store::dataFilePath(m.strDataFolder);
    const std::optional<QString> chosen =
        chooseFile(CommonDialog1, ui::FileDialogRequest::Open,
                   QStringLiteral("Microsoft Database (*.mdb)|*.mdb|Backup Database (*.old)|*.old"));
    if (!chosen)
        return;
    const QString& path = *chosen;
    resumeNext(lcFiles(), [&] { QDir::setCurrent(m.strDataFolder); });

    // A file that is no directory database never takes the data file's place.
    if (const QString problem = store::databaseFileProblem(path); !problem.isEmpty()) {
        showFailure("Failed to import database! ", problem);
        return;
    }
    // A database file coming in keeps the one it replaces as the backup; a
    // backup coming in (Vemo.old) leaves the backup as it is. The search
    // window's last look-up belongs to the content that goes.
    const bool keepBackup = path.toUpper().endsWith(QLatin1String("MDB"));
    m.rsLookup.reset();
    QString failure;
    if (QFileInfo::exists(target)) {
        // Written into the data file itself, under the engine's lock: every
        // connection open on it, here and in any other program, goes on with
        // the new content, and a write another program has under way keeps
        // the file (the import is refused then).
        failure = store::replaceDataFile(
            path, target,
            keepBackup ? store::fileInFolder(m.strDataFolder, QLatin1String(store::kBackupFileName)) : QString());
    } else {
        // No data file to write into, and so none to keep.
        try {
            copyFile(path, target, true);
        } catch (const std::exception& e) {
            failure = descriptionOf(e);
        }
    }
    if (!failure.isEmpty()) {
        showFailure("Failed to import database! ", failure);
        return;
    }

    if (!m.cnDirectory)
        m.cnDirectory = std::make_unique<ado::Connection>();
    // Checked as at start-up: a file that cannot be used is named, never
    // shown as an empty directory. Another program that took the file the
    // moment the import let it go leaves the import done; the grid says so.
    bool inUse = false;
    const QString unusable = store::ServeDataFile(*m.cnDirectory, m.strDataFolder, &inUse);
    RefreshGrid();
    if (!unusable.isEmpty() && !inUse)
        showFailure("Failed to import database! ", unusable);
    else
        ui::MsgBox(QStringLiteral("Import DB from ") + path + QStringLiteral(" has succeeded!"), ui::vbOKOnly);
}

} // namespace numora
