#pragma once
// The main window: the directory grid narrowed by letter tabs and group, the
// record commands, the menus, and the program's start-up and end.

#include <QMainWindow>
#include <QPoint>
#include <QString>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QToolButton;

namespace numora::controls { class FlexGrid; }

namespace numora {

class LetterTabStrip;

class frmVemo : public QMainWindow {
    Q_OBJECT
public:
    explicit frmVemo(QWidget* parent = nullptr);
    ~frmVemo() override;

    // ---- controls (object names as the members) --------------------------
    QLabel* lblHeader[2] = {nullptr, nullptr};
    QLabel* Image2 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cmbGroup = nullptr;
    LetterTabStrip* TabVemo = nullptr;
    QToolButton* btnAdd = nullptr;
    QToolButton* btnEdit = nullptr;
    QToolButton* btnSearch = nullptr;
    QToolButton* btnAll = nullptr;
    QToolButton* btnDelete = nullptr;
    QToolButton* btnQuit = nullptr;
    QLineEdit* TxtIndex = nullptr;
    controls::FlexGrid* MSFlexGrid1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    // Menu bar and popup entries.
    QMenu* mnuFile = nullptr;
    QAction *mnuAdd = nullptr, *mnuEdit = nullptr, *mnuDel = nullptr, *mnuPrint = nullptr, *mnuExit = nullptr;
    QMenu* mnuOption = nullptr;
    QAction *mnuImportDB = nullptr, *mnuExportDB = nullptr, *mnuDialingNum = nullptr;
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
    void Form_Load();
    void Form_Terminate();
    void btnQuit_Click();
    void mnuExit_Click();

    // ---- grid, tabs and group (mainwin/frmVemoGrid.cpp) ----------------------
    void SetGridHeadings();
    void RefreshGrid();
    void ShowAllRecords();
    void HighlightRow(int row);
    void ShowRowText(int col);
    void MSFlexGrid1_Click();
    void MSFlexGrid1_DblClick();
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
};

} // namespace numora
