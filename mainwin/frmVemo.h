#pragma once
// The main window: the directory grid narrowed by letter tabs and group, the
// record commands, the menus, and the program's start-up and end.
//
// Its controls and menus are built in frmVemoLayout.cpp; its load step, end
// step and commands are in frmVemo.cpp; the grid, the letter tabs and the
// group selector in frmVemoGrid.cpp.

#include <QMainWindow>
#include <QPoint>
#include <QString>

#include <memory>
#include <optional>
#include <string>

#include "forms/Form.h"
#include "platform/core/Error.h"
#include "platform/ui/CommonDialog.h"
#include "store/Tables.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QTimer;
class QToolButton;

namespace numora::controls {
class FlexGrid;
class LetterTabStrip;
} // namespace numora::controls
namespace numora::com {
class HostedControl;
}
namespace numora::store {
struct Table;
}

namespace numora {

class frmVemo : public forms::Form<frmVemo, QMainWindow> {
    Q_OBJECT
public:
    explicit frmVemo(QWidget* parent = nullptr);
    ~frmVemo() override;

    // The program's name: the window's caption as designed, and the
    // application title the load step sets.
    static constexpr char kProgramName[] = "Numora";

    // ---- controls (object names as the members) --------------------------
    QLabel* lblHeader[2] = {nullptr, nullptr};
    QLabel* Image2 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cmbGroup = nullptr;
    controls::LetterTabStrip* TabVemo = nullptr;
    QToolButton* btnAdd = nullptr;
    QToolButton* btnEdit = nullptr;
    QToolButton* btnSearch = nullptr;
    QToolButton* btnAll = nullptr;
    QToolButton* btnDelete = nullptr;
    QToolButton* btnQuit = nullptr;
    QLineEdit* TxtIndex = nullptr;
    controls::FlexGrid* MSFlexGrid1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    ui::CommonDialog CommonDialog1{this}; // the file dialog of Import DB and Export DB
    QWidget* Line1[2] = {nullptr, nullptr};
    QWidget* Shape2 = nullptr;
    QWidget* Shape1[34] = {};
    // The placement control; null while its library is not registered.
    std::unique_ptr<com::HostedControl> Ravelle1;

    // Menu bar and popup entries.
    QMenu* mnuFile = nullptr;
    QAction *mnuAdd = nullptr, *mnuEdit = nullptr, *mnuDel = nullptr, *mnuPrint = nullptr, *mnuExit = nullptr;
    QMenu* mnuOption = nullptr;
    QAction *mnuImportDB = nullptr, *mnuExportDB = nullptr, *mnuDialingNum = nullptr;
    QAction *mnuImportCards = nullptr, *mnuExportCards = nullptr, *mnuSyncCards = nullptr;
    QMenu* mnuView = nullptr;
    QAction *mnuAll = nullptr, *mnuSearch = nullptr, *mnuDbg = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* popFile = nullptr;
    QAction *popAdd = nullptr, *popEdit = nullptr, *popDel = nullptr, *popSearch = nullptr, *popDialing = nullptr,
            *popPrint = nullptr;
    QMenu* mPopupSys = nullptr;
    QAction *mPopRestore = nullptr, *mpopSearch = nullptr, *mPopExit = nullptr;

    // Status bar panels, counted from 1 as the program names them.
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);

    // ---- start-up and end ---------------------------------------------------
    // The window is the program-wide instance (forms::Form): its first showing
    // runs the load step before it appears, and closing it unloads it.

    // The end step: closes the shared connection, lets the grid's listing go
    // and removes the tray icon. It belongs to the program's end (forms::run),
    // not to the main window's: a window left open after Quit keeps the
    // connection.
    static void Form_Terminate();
    void btnQuit_Click();
    void mnuExit_Click();

    // The data folder for a current folder: '/' appended when missing, and
    // "My app/Numora/" appended when the folder ends in "VB/" or "VB98/"
    // compared in upper case.
    static QString dataFolderFor(const QString& currentFolder);

    // ---- grid, tabs and group (mainwin/frmVemoGrid.cpp) ----------------------
    void SetGridHeadings();
    void RefreshGrid();
    void ShowAllRecords();
    void HighlightRow(int row);
    void ShowRowText(int col);
    void MSFlexGrid1_Click();
    void MSFlexGrid1_DblClick();
    void MSFlexGrid1_KeyDown(int key);
    void MSFlexGrid1_KeyPress(int ch);
    void MSFlexGrid1_MouseDown(int button, const QPoint& pos);
    void MSFlexGrid1_FocusChanged(bool hasFocus);
    void TabVemo_Click(int previousTab);
    void cmbGroup_Click();
    void btnAll_Click();
    void mnuAll_Click();
    void mnuDbg_Click();
    void Image2_Click();

    // ---- record commands and the rest (later) --------------------------------
    void btnAdd_Click();
    void btnEdit_Click();
    void btnDelete_Click();
    void btnSearch_Click();
    void mnuPrint_Click(); // mainwin/Print.cpp
    void popPrint_Click();
    void mnuImportDB_Click(); // mainwin/ImportExport.cpp
    void mnuExportDB_Click();
    // The cards of the group shown from and to vCard and CSV files
    // (mainwin/CardExchange.cpp); a file of cards dropped on the grid is
    // imported into that group after a question.
    void mnuImportCards_Click();
    void mnuExportCards_Click();
    // The group shown kept in step with its sync folder (the settings key
    // PersonalSyncFolder or WorkSyncFolder); the entry shows only when the
    // group shown has one.
    void mnuSyncCards_Click();
    void showSyncCards();
    void mnuDialingNum_Click();
    void mnuAbout_Click();
    void popDialing_Click();
    void mPopRestore_Click();
    void mpopSearch_Click();
    void mPopExit_Click();
    // A mouse event on the tray icon, by its code (515 double-click, 517 right
    // button released; any other does nothing).
    void nidTray_Callback(int code);
    // A mouse button pressed on the free client area (2: the right one, which
    // opens the tray menu there).
    void Form_MouseDown(int button, const QPoint& globalPos);
    // Whether the icon is in the tray. Without a tray the window does not
    // hide when minimised (nothing would bring it back); the icon is added as
    // soon as a tray appears.
    bool trayIconShown() const { return trayIconShown_; }
    // How often the window looks for a tray that appeared after start-up.
    static constexpr int kTrayRetryMs = 1000;

    // ---- a data file missing or held by another program (mainwin/DataFileUse.cpp)
    // Offers to make an empty directory file in a data folder without one.
    // False when the user declines or it cannot be made (said): start-up then
    // ends, as nothing could be stored anywhere.
    static bool offerDataFile(const QString& dataFolder);
    // While another program holds the data file at start-up, the window is up
    // at once and says so; every so often it looks again, and lists the cards
    // as soon as the file can be read.
    bool awaitingDataFile() const;
    static constexpr int kFileRetryMs = 500;
    // Before a fill: ends the wait when the file has become free. False while
    // it is still held.
    bool dataFileReady();
    // A fill that met another program's lock changes nothing: the grid keeps
    // the cards it lists, the tab, group and letter go back to them, and the
    // user is told (once only while start-up waits).
    void keepListingForLock(const QString& file);
    // What the grid lists now, for keepListingForLock.
    void rememberListing();

    // ---- a group on a database server (mainwin/SharedGroup.cpp) --------------
    // How often the window asks the server of the group it shows whether
    // colleagues changed its cards.
    static constexpr int kChangeCheckMs = 3000;
    // Asks whether the group shown (on a server) was changed since it was
    // listed, and lists it again when it was. Quiet when the server cannot
    // be reached: the next action says so.
    void checkColleaguesChanges();
    // Before a fill of a group on a server: how many writes the server has
    // counted for it, which the fill then lists.
    void noteChangeCount(const store::Table& table);
    // Before a fill of a group in the directory file: how many commits other
    // programs made to the file, which coming back to the window compares.
    void noteFileVersion();
    // A fill that could not reach the group's server changes nothing: the
    // grid keeps what it lists, the tab, group and letter go back to it, and
    // the user is told.
    void keepListingForServer(const store::Table& table, const Error& failure);
    // The words a command's failure on table's cards is told with: a server
    // that cannot be reached is said so as a fill says it (and connected to
    // afresh by the next action); any other failure in its own words.
    QString failureText(const store::Table* table, const std::exception& e);
    // Start-up has told that the server cannot be reached; the first fill
    // then says nothing more.
    void serverDownTold() { serverDownTold_ = true; }

protected:
    // The load step. False when start-up refused to go on (a data folder the
    // program cannot use, or one left without a directory file, after saying
    // why): the window is then not shown.
    bool Form_Load() override;
    // Unloading: the placement control goes with the window and stores its
    // placement as it is destroyed.
    void Form_Unload() override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void buildControls(QWidget* client);
    // Which edges each control keeps to as the window grows beyond its design.
    void anchorControls(QWidget* client, const QSize& designed);
    void buildMenus();
    void connectControls();
    // Puts the icon of nidTray in the tray; false while the desktop has none.
    bool addTrayIcon();
    void waitForTray();
    void awaitDataFile();
    void importCards(const QString& path, const store::Table& table);
    // A file of cards dragged over or dropped on the grid; false for any
    // other event, which the grid then has as usual.
    bool gridDropEvent(QEvent* event);

    QLabel* panels_[2] = {nullptr, nullptr};
    bool trayIconShown_ = false;
    QTimer* trayRetry_ = nullptr; // runs while the icon waits for a tray
    QTimer* fileRetry_ = nullptr; // runs while start-up waits for the data file
    struct Listed {
        QString group, letter;
        int tab = 0;
    };
    std::optional<Listed> listed_; // what the grid lists; none before the first fill
    // Goes back to what the grid lists; false when it lists nothing yet.
    bool goBackToListed();
    QTimer* changeCheck_ = nullptr;            // asks the server of the group shown for changes
    std::optional<std::string> listedCount_;   // the change count the grid's listing was read at
    std::optional<std::string> listedVersion_; // the directory file's commit count the listing was read at
    bool serverDownTold_ = false;
};

} // namespace numora
