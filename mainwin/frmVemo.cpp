// The main window's life: the program's start-up (the load step of the first
// showing), Quit, the end step when the program ends, and the commands.
#include "mainwin/frmVemo.h"

#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>

#include "about/frmAbout.h"
#include "editor/FrmNewPhn.h"
#include "mainwin/Dialing.h"
#include "mainwin/Module1.h"
#include "platform/com/ControlHost.h"
#include "platform/controls/FlexGrid.h"
#include "platform/controls/LetterTabStrip.h"
#include "platform/core/Error.h"
#include "platform/dao/DBEngine.h"
#include "platform/keyboard/KeyboardLayout.h"
#include "platform/tray/Tray.h"
#include "platform/ui/Foreground.h"
#include "platform/ui/MsgBox.h"
#include "platform/win/WindowsFolder.h"
#include "search/SearchFrm.h"
#include "store/Server.h"
#include "store/Store.h"

namespace numora {
namespace {

// Start-up and end steps that fail are passed over and logged here.
Q_LOGGING_CATEGORY(lcMainWindow, "numora.mainwin", QtInfoMsg)
// The tray icon's comings and goings.
Q_LOGGING_CATEGORY(lcTray, "numora.tray", QtInfoMsg)

constexpr char kPlacementProgId[] = "Kwendo.Ravelle";
constexpr char kPlacementSection[] = "Setting";
constexpr com::DISPID kDispIdInitReg = 0x60030000;

} // namespace

// ---- start-up -----------------------------------------------------------------

QString frmVemo::dataFolderFor(const QString& currentFolder)
{
    QString folder = currentFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString upper = folder.toUpper();
    if (upper.endsWith(QLatin1String("VB/")) || upper.endsWith(QLatin1String("VB98/")))
        folder += QLatin1String("My app/Numora/");
    return folder;
}

bool frmVemo::Form_Load()
{
    Module1State& m = Module1();
    // The group it shows is the other windows' from now on.
    m.showGroup(cmbGroup->currentText());
    // The placement control comes with the window, before its load step.
    if (!Ravelle1)
        Ravelle1 = com::createControl(kPlacementProgId, this);

    // Every step ignores its own failure and the next one runs.
    resumeNext(lcMainWindow(), [&] { m.strNewLine = QStringLiteral("\r\n"); });
    // Restores the window's placement as the user left it.
    if (Ravelle1) {
        resumeNext(lcMainWindow(), [&] {
            Ravelle1->Invoke(kDispIdInitReg, {QLatin1String(kProgramName), QLatin1String(kPlacementSection)});
        });
    } else {
        qCDebug(lcMainWindow) << "no placement control: the window opens at its designed place";
    }
    resumeNext(lcMainWindow(), [&] { m.strDataFolder = dataFolderFor(QDir::currentPath()); });
    // A folder whose name holds a control character could rewrite the data
    // source entry at will; the program will not work in it.
    if (const QString refused = store::dataFolderProblem(m.strDataFolder); !refused.isEmpty()) {
        ui::MsgBox(refused, ui::vbCritical, QLatin1String(kProgramName));
        return false;
    }
    // Without a directory file every command would fail later; one is made
    // here, or the program ends.
    if (!offerDataFile(m.strDataFolder))
        return false;
    resumeNext(lcMainWindow(), [&] {
        m.cnDirectory = std::make_unique<ado::Connection>();
        // A file another program holds would keep the open waiting; the
        // preparation finds it again and says so.
        if (!store::fileInUse(store::reachedFile()))
            m.cnDirectory->Open(store::connectionString(), "", "", -1);
    });
    resumeNext(lcMainWindow(), [&] { m.rsDirectory = std::make_unique<store::Listing>(); });
    store::Preparation prepared;
    if (m.cnDirectory)
        resumeNext(lcMainWindow(), [&] { prepared = store::PrepareDatabase(*m.cnDirectory, m.strDataFolder); });
    else
        qCDebug(lcMainWindow) << "no connection: the database is not prepared";
    // A registration the engine refused: one box per error it reported, then
    // start-up goes on with whatever data source was registered before.
    for (const dao::EngineError& error : prepared.registrationErrors) {
        resumeNext(lcMainWindow(), [&] {
            ui::MsgBox(QStringLiteral("Error number: ") + QString::number(error.Number) + QLatin1Char('\r') +
                           QString::fromStdString(error.Description),
                       ui::vbOKOnly);
        });
    }
    resumeNext(lcMainWindow(), [&] {
        ui::setAppTitle(QLatin1String(kProgramName));
        setWindowTitle(ui::appTitle());
    });
    resumeNext(lcMainWindow(), [&] {
        lblHeader[0]->setText(ui::appTitle());
        lblHeader[1]->setText(ui::appTitle());
    });
    resumeNext(lcMainWindow(), [&] { m.strSortOrder = QStringLiteral(" ASC"); });
    // An empty list alone would pass for an empty directory; this is told
    // once the program is named.
    if (prepared.inUse)
        awaitDataFile();
    else if (!prepared.unusable.isEmpty())
        resumeNext(lcMainWindow(), [&] { ui::MsgBox(prepared.unusable, ui::vbExclamation); });
    // A group on a database server: its table is made ready there (the
    // columns it lacks), or the user is told why it cannot be used.
    for (const store::Table* table : store::kTables) {
        if (!store::onServer(*table))
            continue;
        resumeNext(lcMainWindow(), [&] {
            ado::Connection cn;
            if (const QString problem = store::prepareServerGroup(cn, *table); !problem.isEmpty()) {
                ui::MsgBox(problem, ui::vbExclamation);
                // The first listing of that group, a moment later, would
                // only say it again.
                if (cn.State() != ado::adStateOpen)
                    serverDownTold();
            }
        });
    }
    resumeNext(lcMainWindow(), [&] {
        TabVemo->setCurrentIndex(0);
        TabVemo_Click(0);
    });
    serverDownTold_ = false; // only the first listing, just now, went without its own box
    resumeNext(lcMainWindow(), [&] { keyboard::ActivateKeyboardLayout(keyboard::kHebrewLayout, 0); });
    resumeNext(lcMainWindow(), [&] { m.strWindowsFolder = win::windowsFolder(); });
    resumeNext(lcMainWindow(), [&] {
        tray::NotifyIconData& nid = m.nidTray;
        nid = tray::NotifyIconData{};
        nid.cbSize = tray::kNotifyIconDataSize;
        nid.hWnd = this;
        nid.uID = 1;
        nid.uFlags = tray::NIF_MESSAGE | tray::NIF_ICON | tray::NIF_TIP;
        nid.uCallbackMessage = tray::WM_MOUSEMOVE;
        nid.hIcon = windowIcon();
        nid.setTip(QLatin1String(kProgramName));
        if (!addTrayIcon())
            waitForTray();
    });
    return true;
}

// ---- Quit and the end ------------------------------------------------------

void frmVemo::btnQuit_Click()
{
    // Only this window unloads; an editor or search window left open goes on.
    close();
}

void frmVemo::mnuExit_Click() { btnQuit_Click(); }

void frmVemo::Form_Unload()
{
    if (trayRetry_)
        trayRetry_->stop();
    Module1().showGroup(cmbGroup->currentText());
    Module1().groupNoLongerShown();
    Ravelle1.reset();
}

void frmVemo::Form_Terminate()
{
    Module1State& m = Module1();
    if (m.cnDirectory)
        resumeNext(lcMainWindow(), [&] { m.cnDirectory->Close(); });
    m.rsDirectory.reset(); // the grid's listing goes with its rows
    resumeNext(lcMainWindow(), [&] { tray::Shell_NotifyIconA(tray::NIM_DELETE, m.nidTray); });
}

// ---- events -------------------------------------------------------------------

bool frmVemo::event(QEvent* event)
{
    if (event->type() == tray::TrayCallbackEvent::eventType()) {
        nidTray_Callback(static_cast<tray::TrayCallbackEvent*>(event)->code());
        return true;
    }
    // Coming back to the window shows what colleagues changed meanwhile.
    if (event->type() == QEvent::WindowActivate)
        checkColleaguesChanges();
    return QMainWindow::event(event);
}

void frmVemo::changeEvent(QEvent* event)
{
    // Minimised, the window leaves the screen and the task bar for the tray,
    // when its icon is there to bring it back. A tray that went away (its
    // panel ended) took the icon with it: the window then stays on the task
    // bar, and the icon returns with the next tray.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && trayIconShown_ &&
        !tray::Shell_NotifyIconA(tray::NIM_MODIFY, Module1().nidTray)) {
        tray::Shell_NotifyIconA(tray::NIM_DELETE, Module1().nidTray);
        trayIconShown_ = false;
        waitForTray();
    }
    if (trayIconShown_)
        hideWhenMinimised(event);
    QMainWindow::changeEvent(event);
}

void frmVemo::mousePressEvent(QMouseEvent* event)
{
    // Presses that controls leave alone (labels, the status bar, the tab
    // strip around its tabs) come on to the window too; only those on the
    // client area itself, or on the lines and shapes drawn on it, are on its
    // free client area.
    if (childAt(event->position().toPoint()) == centralWidget()) {
        const int button = event->button() == Qt::RightButton ? 2 : event->button() == Qt::LeftButton ? 1 : 4;
        Form_MouseDown(button, event->globalPosition().toPoint());
    }
    QMainWindow::mousePressEvent(event);
}

bool frmVemo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image2 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && Image2->rect().contains(mouse->position().toPoint())) {
            Image2_Click();
            return true;
        }
    }
    if (MSFlexGrid1 && watched == MSFlexGrid1->viewport() && gridDropEvent(event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// ---- record commands ------------------------------------------------------------

namespace {

// The card of the grid's current row: the last 20 characters of its name
// column, trimmed, and the row.
void chooseCurrentRow(controls::FlexGrid& grid)
{
    Module1State& m = Module1();
    grid.setCol(0);
    m.strCurrentName = store::trimBlanks(grid.Text().right(20));
    m.intCurrentRow = grid.Row();
}

// Opens the editor; one that is open already only comes to the front, in
// the mode and with the card it was opened with.
void openEditor() { FrmNewPhn::instance().show(); }

} // namespace

void frmVemo::btnAdd_Click()
{
    Module1State& m = Module1();
    // Nothing could be stored while another program holds the file.
    if (awaitingDataFile()) {
        ui::MsgBox(QStringLiteral("The directory file %1 is in use by another program; a card can be added when "
                                  "that program has finished with it.")
                       .arg(store::reachedFile()),
                   ui::vbExclamation);
        return;
    }
    m.strCurrentName.clear();
    m.blnEditMode = false;
    openEditor();
}

void frmVemo::btnEdit_Click()
{
    if (ui::MsgBox(QStringLiteral("Do you want updating this record?"),
                   ui::vbOKCancel | ui::vbQuestion | ui::vbDefaultButton1,
                   QStringLiteral("System Message")) != ui::vbOK)
        return;
    chooseCurrentRow(*MSFlexGrid1);
    Module1().blnEditMode = true;
    openEditor();
}

void frmVemo::btnDelete_Click()
{
    Module1State& m = Module1();
    // A failure ends the command with its text; the row stays chosen and the
    // list as it was.
    const auto refused = [](const QString& text) {
        ui::MsgBox(text, ui::vbOKOnly | ui::vbExclamation, ui::appTitle());
    };
    try {
        chooseCurrentRow(*MSFlexGrid1);
        if (!m.rsDirectory) {
            refused(QStringLiteral("Object variable or With block variable not set")); // no list to delete from
            return;
        }
        // The card at the row's place must carry the name shown, as stored:
        // a name cut short or with blanks around it in the file is no match.
        store::Card card = m.rsDirectory->card(m.intCurrentRow);
        const store::Text stored = card.field("Name");
        if (stored && QString::fromStdString(*stored) == m.strCurrentName) {
            if (ui::MsgBox(QStringLiteral("Do you want delete '") + m.strCurrentName + QStringLiteral("' from record?"),
                           ui::vbOKCancel | ui::vbQuestion | ui::vbDefaultButton1,
                           QStringLiteral("System Message")) != ui::vbOK)
                return;
            // That card alone, found by its row identity: a twin with the
            // same values stays.
            store::deleteCard(card);
            ui::MsgBox(QStringLiteral("The record has been deleted"), ui::vbOKOnly, ui::appTitle());
        } else {
            ui::MsgBox(QStringLiteral("There is no record to delete"), ui::vbOKOnly, ui::appTitle());
        }
    } catch (const std::exception& e) {
        refused(failureText(store::tableForGroup(cmbGroup->currentText()), e));
        return;
    }
    TxtIndex->clear();
    m.announceCardsChanged();
}

// ---- the search window -----------------------------------------------------------

void frmVemo::btnSearch_Click()
{
    // A search window hidden or minimised comes back as it was left.
    SearchFrm& search = SearchFrm::instance();
    ui::keepPlace(&search); // else the window manager places it anew on its return
    search.setWindowState(Qt::WindowNoState);
    ui::SetForegroundWindow(&search);
    search.show();
}

// ---- the tray icon and its menu ----------------------------------------------------

bool frmVemo::addTrayIcon()
{
    trayIconShown_ = tray::Shell_NotifyIconA(tray::NIM_ADD, Module1().nidTray);
    return trayIconShown_;
}

void frmVemo::waitForTray()
{
    // No tray on this desktop (yet): the window stays on the task bar when
    // minimised, and looks for a tray now and then.
    qCDebug(lcTray) << "no system tray: the icon is added when one appears";
    if (!trayRetry_) {
        trayRetry_ = new QTimer(this);
        trayRetry_->setInterval(kTrayRetryMs);
        connect(trayRetry_, &QTimer::timeout, this, [this] {
            if (addTrayIcon()) {
                trayRetry_->stop();
                qCDebug(lcTray) << "a system tray appeared; the icon is in it";
            }
        });
    }
    trayRetry_->start();
}

void frmVemo::nidTray_Callback(int code)
{
    switch (code) {
    case tray::WM_LBUTTONDBLCLK: mPopRestore_Click(); break;
    case tray::WM_RBUTTONUP:
        ui::SetForegroundWindow(this);
        mPopupSys->popup(QCursor::pos());
        break;
    default: // a single click, a press, a movement over the icon
        break;
    }
}

void frmVemo::Form_MouseDown(int button, const QPoint& globalPos)
{
    if (button == 2)
        mPopupSys->popup(globalPos);
}

void frmVemo::mPopRestore_Click()
{
    // Back where it was, not where the window manager would place it anew
    // (leaving the minimised state shows it at once).
    ui::keepPlace(this);
    setWindowState(Qt::WindowNoState);
    ui::SetForegroundWindow(this);
    show();
}

// The main window stays as it is, hidden in the tray or not.
void frmVemo::mpopSearch_Click() { btnSearch_Click(); }

void frmVemo::mPopExit_Click() { btnQuit_Click(); }

// ---- dialing and the about box ---------------------------------------------------

void frmVemo::popDialing_Click()
{
    const Module1State& m = Module1();
    dialing::Dial(*MSFlexGrid1, m.intSavedCol, m.strWindowsFolder);
}

void frmVemo::mnuDialingNum_Click()
{
    // The menu dials the grid's current cell.
    Module1().intSavedCol = MSFlexGrid1->Col();
    popDialing_Click();
}

void frmVemo::mnuAbout_Click() { frmAbout::instance().show(); }

} // namespace numora
