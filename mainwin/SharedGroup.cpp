// The main window and a group on a database server: colleagues' changes
// appear without a restart, and a server that went away leaves the grid as
// it was and is told.
#include "mainwin/frmVemo.h"

#include <QComboBox>
#include <QLoggingCategory>
#include <QTimer>

#include "mainwin/Module1.h"
#include "platform/ado/Ado.h"
#include "platform/ui/MsgBox.h"
#include "store/Server.h"
#include "store/Store.h"

namespace numora {
namespace {

Q_LOGGING_CATEGORY(lcShared, "numora.server", QtInfoMsg)

// The group shown, when it lives on a server.
const store::Table* serverGroupShown(const frmVemo& w)
{
    const store::Table* table = store::tableForGroup(w.cmbGroup->currentText());
    return table && store::onServer(*table) ? table : nullptr;
}

// The server's count of writes to the group; nullopt when the table has no
// counter or the server cannot be reached (logged; the kept connection is
// dropped, so the next look connects afresh).
std::optional<std::string> countOf(const store::Table& table)
{
    Module1State& m = Module1();
    std::optional<std::string> count;
    std::optional<Error> failure;
    if (!resumeNext(lcShared(), failure, [&] {
            if (ado::Connection* cn = m.connectionFor(table))
                count = store::changeCount(*cn, table);
        })) {
        m.dropServerConnection(table);
        return std::nullopt;
    }
    return count;
}

// The engine's count of commits to the directory file by other connections
// than the program's own (its sync, a tool); nullopt without an answer.
std::optional<std::string> fileVersion()
{
    Module1State& m = Module1();
    std::optional<std::string> version;
    if (!m.cnDirectory || m.cnDirectory->State() != ado::adStateOpen)
        return version;
    resumeNext(lcShared(), [&] {
        if (const auto rs = m.cnDirectory->Execute("PRAGMA data_version"); rs && !rs->Eof())
            version = rs->Field(0);
    });
    return version;
}

} // namespace

void frmVemo::noteFileVersion() { listedVersion_ = fileVersion(); }

void frmVemo::noteChangeCount(const store::Table& table)
{
    listedCount_ = countOf(table);
    if (!changeCheck_) {
        changeCheck_ = new QTimer(this);
        changeCheck_->setInterval(kChangeCheckMs);
        connect(changeCheck_, &QTimer::timeout, this, &frmVemo::checkColleaguesChanges);
    }
    if (!changeCheck_->isActive())
        changeCheck_->start();
}

void frmVemo::checkColleaguesChanges()
{
    if (!isLoaded())
        return;
    const store::Table* table = serverGroupShown(*this);
    if (!table) {
        if (changeCheck_)
            changeCheck_->stop(); // a group in the file: asked only on coming back to the window
        // A sync or a tool may have written the file meanwhile.
        if (const std::optional<std::string> now = fileVersion(); listedVersion_ && now && now != listedVersion_) {
            qCDebug(lcShared) << "the directory file was changed by another program; listing it again";
            RefreshGrid();
        }
        return;
    }
    // Without a count (no counter on that table, or no answer), nothing is
    // known to have changed; tabs, groups and the card commands list afresh.
    const std::optional<std::string> now = countOf(*table);
    if (now && now != listedCount_) {
        qCDebug(lcShared) << "the" << table->group << "group changed on its server; listing it again";
        RefreshGrid();
    }
}

namespace {
constexpr char kListKept[] = "\r\nThe list stays as it was; Numora connects again at the next action.";
} // namespace

void frmVemo::keepListingForServer(const store::Table& table, const Error& failure)
{
    const std::optional<QString> gone = Module1().serverGoneText(table, failure);
    goBackToListed();
    if (serverDownTold_) {
        serverDownTold_ = false;
        return;
    }
    ui::MsgBox(gone.value_or(QString::fromStdString(failure.description())) + QLatin1String(kListKept),
               ui::vbExclamation);
}

QString frmVemo::failureText(const store::Table* table, const std::exception& e)
{
    if (const std::optional<QString> gone = table ? Module1().serverGoneText(*table, e) : std::nullopt)
        return *gone + QLatin1String(kListKept);
    return QString::fromUtf8(e.what());
}

} // namespace numora
