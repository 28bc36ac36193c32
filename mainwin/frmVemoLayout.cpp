// The main window as designed: its controls, menus and popups, and which
// handler each of their events reaches.
#include "mainwin/frmVemo.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>

#include "mainwin/Module1.h"
#include "mainwin/TabLetters.h"
#include "platform/com/ControlHost.h"
#include "platform/controls/FlexGrid.h"
#include "platform/controls/LetterTabStrip.h"
#include "platform/ui/Anchors.h"
#include "platform/ui/Decorations.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Icons.h"
#include "platform/ui/Twips.h"

namespace numora {
namespace {

// The designed client area.
constexpr int kClientWidthTwips = 9405;
constexpr int kClientHeightTwips = 5895;

// The main window's buttons are narrow: the caption goes under the picture.
QToolButton* flatButton(QWidget* parent, const char* name, const char* caption, const char* tip, ui::Picture picture,
                        const QRect& place)
{
    return ui::flatButton(parent, name, caption, tip, picture, place, Qt::ToolButtonTextUnderIcon);
}

QAction* entry(QMenu* menu, const char* name, const char* caption)
{
    QAction* a = menu->addAction(QLatin1String(caption));
    a->setObjectName(QLatin1String(name));
    return a;
}

void separator(QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(QLatin1String(name)); }

} // namespace

frmVemo::frmVemo(QWidget* parent) : Form(parent)
{
    setObjectName(QStringLiteral("frmVemo"));
    setWindowTitle(QLatin1String(kProgramName));
    setWindowIcon(ui::icon(ui::Picture::AppIcon));
    ui::installFontSubstitutions();

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("frmVemoClient"));
    const QSize clientSize = ui::twipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size();
    client->setMinimumSize(clientSize);
    setCentralWidget(client);
    buildControls(client);
    anchorControls(client, clientSize);
    buildMenus();
    connectControls();
    resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height());
}

frmVemo::~frmVemo()
{
    // Released while loaded (the program's end): it shows no group any more.
    if (isLoaded())
        Module1().groupNoLongerShown();
    // The base class closes the window after this, and a control that held
    // the focus then tells it lost: nothing a control says may reach the
    // handlers of a window already taken down.
    for (QObject* control : findChildren<QObject*>())
        control->disconnect(this);
}

void frmVemo::buildControls(QWidget* client)
{
    using ui::decoration;
    using ui::label;
    using ui::twipsRect;

    // The tab strip lies underneath everything else inside its area. Its rows
    // run down the right side: the buttons fill the top of its area and the
    // grid and status bar its middle, so the only free band wide enough for
    // three rows of tabs is the one right of the grid.
    TabVemo = new controls::LetterTabStrip(client);
    TabVemo->setObjectName(QStringLiteral("TabVemo"));
    TabVemo->setEdge(controls::LetterTabStrip::Edge::Right);
    TabVemo->setTabsPerRow(8);
    TabVemo->setTabDepth(ui::twipsToPixelsX(300));
    QStringList captions;
    for (std::size_t t = 0; t < kTabLetters.size(); ++t)
        captions << tabCaption(t);
    TabVemo->setTabs(captions);
    TabVemo->setGeometry(twipsRect(360, 840, 8895, 4935));

    // Lines across the top edge.
    Line1[0] = decoration(client, QStringLiteral("Line1"), twipsRect(0, 0, 9360, 15), QColor(128, 128, 128));
    Line1[1] = decoration(client, QStringLiteral("Line1"), twipsRect(0, 20, 9360, 15), Qt::white);
    Line1[0]->setProperty("index", 0);
    Line1[1]->setProperty("index", 1);

    // The ladder down the left edge: each purple bar has a white twin just
    // above and left of it, which shows as a highlight.
    for (int k = 0; k < 17; ++k) {
        const int top = 960 + 240 * k;
        Shape1[17 + k] = decoration(client, QStringLiteral("Shape1"), twipsRect(105, top - 15, 375, 135), Qt::white);
        Shape1[17 + k]->setProperty("index", 17 + k);
    }
    for (int k = 0; k < 17; ++k) {
        const int top = 960 + 240 * k;
        Shape1[k] = decoration(client, QStringLiteral("Shape1"), twipsRect(120, top, 375, 135), QColor(128, 0, 128));
        Shape1[k]->setProperty("index", k);
    }

    // The title: the purple text behind, the white one 30 twips up and left in
    // front of it, so the purple shows as its shadow.
    const QFont titleFont = ui::designFont(QStringLiteral("Narkisim"), 22, true);
    lblHeader[0] = label(client, "lblHeader", QLatin1String(kProgramName), twipsRect(720, 120, 4335, 495));
    lblHeader[1] = label(client, "lblHeader", QLatin1String(kProgramName), twipsRect(690, 90, 4335, 615));
    for (int i = 0; i < 2; ++i) {
        lblHeader[i]->setProperty("index", i);
        lblHeader[i]->setFont(titleFont);
        QPalette pal = lblHeader[i]->palette();
        pal.setColor(QPalette::WindowText, i == 0 ? QColor(128, 0, 128) : QColor(Qt::white));
        lblHeader[i]->setPalette(pal);
    }
    lblHeader[1]->raise();

    Shape2 = decoration(client, QStringLiteral("Shape2"), twipsRect(240, 600, 6615, 135), QColor(128, 0, 128));

    Image2 = label(client, "Image2", QString(), twipsRect(5040, 120, 480, 480));
    Image2->setPixmap(ui::icon(ui::Picture::AppIcon).pixmap(32, 32));
    Image2->installEventFilter(this);

    Label2 = label(client, "Label2", QStringLiteral("Group Selection"), twipsRect(5520, 240, 1335, 375));
    Label2->setFont(ui::designFont(QStringLiteral("Times New Roman"), 9.75));

    cmbGroup = new QComboBox(client);
    cmbGroup->setObjectName(QStringLiteral("cmbGroup"));
    cmbGroup->addItems({QStringLiteral("Personal"), QStringLiteral("Work")});
    cmbGroup->setCurrentIndex(0);
    cmbGroup->setToolTip(QStringLiteral("Select group of records"));
    cmbGroup->setGeometry(twipsRect(7080, 240, 2175, 345));

    // One row of buttons, from the right: Add, Edit, Search, All, Delete; Quit
    // alone at the left end.
    btnAdd =
        flatButton(client, "btnAdd", "Add", "Add new phone record", ui::Picture::Add, twipsRect(7080, 960, 855, 735));
    btnEdit = flatButton(client, "btnEdit", "Edit", nullptr, ui::Picture::Edit, twipsRect(6120, 960, 855, 735));
    btnSearch = flatButton(client, "btnSearch", "Seach", "Search specific phone record", ui::Picture::Search,
                           twipsRect(5160, 960, 855, 735));
    btnAll =
        flatButton(client, "btnAll", "All", "Show all phone records", ui::Picture::All, twipsRect(4200, 960, 855, 735));
    btnDelete = flatButton(client, "btnDelete", "Delete", "Delete current phone record", ui::Picture::Delete,
                           twipsRect(3240, 960, 855, 735));
    btnQuit = flatButton(client, "btnQuit", "Quit ", "Quit program", ui::Picture::Quit, twipsRect(840, 960, 855, 735));

    TxtIndex = new QLineEdit(client);
    TxtIndex->setObjectName(QStringLiteral("TxtIndex"));
    TxtIndex->setLayoutDirection(Qt::RightToLeft);
    TxtIndex->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TxtIndex->setFont(ui::designFont(QStringLiteral("Narkisim"), 12));
    {
        QPalette pal = TxtIndex->palette();
        pal.setColor(QPalette::Text, QColor(0, 0, 128));
        pal.setColor(QPalette::Base, QColor(255, 224, 192));
        TxtIndex->setPalette(pal);
    }
    TxtIndex->setGeometry(twipsRect(840, 1800, 7095, 405));

    MSFlexGrid1 = new controls::FlexGrid(client);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setGeometry(twipsRect(840, 2160, 7095, 2895));
    // A file of cards can be dropped on the grid (gridDropEvent).
    MSFlexGrid1->setAcceptDrops(true);
    MSFlexGrid1->viewport()->setAcceptDrops(true);
    MSFlexGrid1->viewport()->installEventFilter(this);

    // The status bar sits in its own place in the window, not along the
    // window's bottom edge: panel 1 narrow on the left, panel 2 the rest.
    StatusBar1 = new QStatusBar(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        panels_[i] = new QLabel(StatusBar1);
        panels_[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i + 1));
        panels_[i]->setFrameShape(QFrame::Panel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        panels_[i]->setContentsMargins(2, 0, 2, 0);
    }
    panels_[0]->setMinimumWidth(panels_[0]->fontMetrics().horizontalAdvance(QStringLiteral(" Total Records 32766 ")) +
                                8);
    StatusBar1->addWidget(panels_[0]);
    StatusBar1->addWidget(panels_[1], 1);
    StatusBar1->setGeometry(twipsRect(840, 5040, 7095, 255));
    StatusBar1->raise(); // the grid's last pixel row lies under it, as designed
}

void frmVemo::anchorControls(QWidget* client, const QSize& designed)
{
    // A larger window gives its room to the tab strip and the grid; the
    // title stays at the top left, the group selector and the row of
    // buttons from Add to Delete keep to the right edge, Quit to the left,
    // the lines along the top run across and the status bar stays under
    // the grid.
    auto* anchors = new ui::Anchors(client, designed);
    const Qt::Edges across = Qt::LeftEdge | Qt::RightEdge | Qt::TopEdge;
    const Qt::Edges topRight = Qt::TopEdge | Qt::RightEdge;
    for (QWidget* line : Line1)
        anchors->anchor(line, across);
    anchors->anchor(TabVemo, across | Qt::BottomEdge);
    anchors->anchor(MSFlexGrid1, across | Qt::BottomEdge);
    anchors->anchor(TxtIndex, across);
    anchors->anchor(StatusBar1, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    for (QWidget* control :
         std::initializer_list<QWidget*>{Label2, cmbGroup, btnAdd, btnEdit, btnSearch, btnAll, btnDelete})
        anchors->anchor(control, topRight);
}

void frmVemo::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("frmVemoMenuBar"));

    mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuAdd = entry(mnuFile, "mnuAdd", "&Add...");
    mnuEdit = entry(mnuFile, "mnuEdit", "&Edit...");
    mnuDel = entry(mnuFile, "mnuDel", "&Delete");
    separator(mnuFile, "mnu3");
    mnuPrint = entry(mnuFile, "mnuPrint", "&Print...");
    separator(mnuFile, "mnu1");
    mnuExit = entry(mnuFile, "mnuExit", "E&xit");

    mnuOption = bar->addMenu(QStringLiteral("&Option"));
    mnuOption->setObjectName(QStringLiteral("mnuOption"));
    mnuImportDB = entry(mnuOption, "mnuImportDB", "Import DB...");
    mnuExportDB = entry(mnuOption, "mnuExportDB", "Export DB...");
    separator(mnuOption, "mnu9");
    mnuImportCards = entry(mnuOption, "mnuImportCards", "Import Cards...");
    mnuExportCards = entry(mnuOption, "mnuExportCards", "Export Cards...");
    mnuSyncCards = entry(mnuOption, "mnuSyncCards", "Sync Cards");
    separator(mnuOption, "mnu7");
    mnuDialingNum = entry(mnuOption, "mnuDialingNum", "Dialing Number...");

    mnuView = bar->addMenu(QStringLiteral("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuAll = entry(mnuView, "mnuAll", "&All");
    mnuSearch = entry(mnuView, "mnuSearch", "&Search...");
    separator(mnuView, "mnu2");
    mnuDbg = entry(mnuView, "mnuDbg", "&Debug");
    mnuDbg->setCheckable(true);
    mnuDbg->setChecked(false);

    mnuHelp = bar->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuAbout = entry(mnuHelp, "mnuAbout", "&About...");

    // Menus that never show in the bar, only as popups.
    popFile = new QMenu(QStringLiteral("&File"), this);
    popFile->setObjectName(QStringLiteral("popFile"));
    popAdd = entry(popFile, "popAdd", "&Add...");
    popEdit = entry(popFile, "popEdit", "&Edit...");
    popDel = entry(popFile, "popDel", "&Delete");
    separator(popFile, "mnu5");
    popSearch = entry(popFile, "popSearch", "&Search...");
    popDialing = entry(popFile, "popDialing", "Di&aling...");
    separator(popFile, "mnu8");
    popPrint = entry(popFile, "popPrint", "&Print...");

    mPopupSys = new QMenu(QStringLiteral("&SysTray"), this);
    mPopupSys->setObjectName(QStringLiteral("mPopupSys"));
    mPopRestore = entry(mPopupSys, "mPopRestore", "&Restore");
    mpopSearch = entry(mPopupSys, "mpopSearch", "&Search");
    separator(mPopupSys, "mnu");
    mPopExit = entry(mPopupSys, "mPopExit", "&Exit");
}

void frmVemo::connectControls()
{
    connect(TabVemo, &controls::LetterTabStrip::Click, this, &frmVemo::TabVemo_Click);
    connect(cmbGroup, &QComboBox::activated, this, [this](int) { cmbGroup_Click(); });
    // The other windows act on the group shown here, and have it list its
    // cards again when they change them.
    connect(cmbGroup, &QComboBox::currentTextChanged, this, [this](const QString& group) {
        if (isLoaded())
            Module1().showGroup(group);
    });
    connect(&Module1(), &DirectoryState::cardsChanged, this, [this] {
        if (isLoaded())
            RefreshGrid();
    });

    connect(MSFlexGrid1, &controls::FlexGrid::Click, this, &frmVemo::MSFlexGrid1_Click);
    connect(MSFlexGrid1, &controls::FlexGrid::DblClick, this, &frmVemo::MSFlexGrid1_DblClick);
    connect(MSFlexGrid1, &controls::FlexGrid::KeyDown, this, [this](int key) { MSFlexGrid1_KeyDown(key); });
    connect(MSFlexGrid1, &controls::FlexGrid::KeyPress, this, &frmVemo::MSFlexGrid1_KeyPress);
    connect(MSFlexGrid1, &controls::FlexGrid::MouseDown, this, &frmVemo::MSFlexGrid1_MouseDown);
    connect(MSFlexGrid1, &controls::FlexGrid::FocusChanged, this, &frmVemo::MSFlexGrid1_FocusChanged);

    connect(btnAdd, &QToolButton::clicked, this, &frmVemo::btnAdd_Click);
    connect(btnEdit, &QToolButton::clicked, this, &frmVemo::btnEdit_Click);
    connect(btnSearch, &QToolButton::clicked, this, &frmVemo::btnSearch_Click);
    connect(btnAll, &QToolButton::clicked, this, &frmVemo::btnAll_Click);
    connect(btnDelete, &QToolButton::clicked, this, &frmVemo::btnDelete_Click);
    connect(btnQuit, &QToolButton::clicked, this, &frmVemo::btnQuit_Click);

    connect(mnuAdd, &QAction::triggered, this, &frmVemo::btnAdd_Click);
    connect(mnuEdit, &QAction::triggered, this, &frmVemo::btnEdit_Click);
    connect(mnuDel, &QAction::triggered, this, &frmVemo::btnDelete_Click);
    connect(mnuPrint, &QAction::triggered, this, &frmVemo::mnuPrint_Click);
    connect(mnuExit, &QAction::triggered, this, &frmVemo::mnuExit_Click);
    connect(mnuImportDB, &QAction::triggered, this, &frmVemo::mnuImportDB_Click);
    connect(mnuExportDB, &QAction::triggered, this, &frmVemo::mnuExportDB_Click);
    connect(mnuImportCards, &QAction::triggered, this, &frmVemo::mnuImportCards_Click);
    connect(mnuExportCards, &QAction::triggered, this, &frmVemo::mnuExportCards_Click);
    connect(mnuSyncCards, &QAction::triggered, this, &frmVemo::mnuSyncCards_Click);
    connect(mnuOption, &QMenu::aboutToShow, this, &frmVemo::showSyncCards);
    showSyncCards();
    connect(mnuDialingNum, &QAction::triggered, this, &frmVemo::mnuDialingNum_Click);
    connect(mnuAll, &QAction::triggered, this, &frmVemo::mnuAll_Click);
    connect(mnuSearch, &QAction::triggered, this, &frmVemo::btnSearch_Click);
    // The Debug entry flips its own check mark before mnuDbg_Click runs.
    connect(mnuDbg, &QAction::triggered, this, &frmVemo::mnuDbg_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmVemo::mnuAbout_Click);

    connect(popAdd, &QAction::triggered, this, &frmVemo::btnAdd_Click);
    connect(popEdit, &QAction::triggered, this, &frmVemo::btnEdit_Click);
    connect(popDel, &QAction::triggered, this, &frmVemo::btnDelete_Click);
    connect(popSearch, &QAction::triggered, this, &frmVemo::btnSearch_Click);
    connect(popDialing, &QAction::triggered, this, &frmVemo::popDialing_Click);
    connect(popPrint, &QAction::triggered, this, &frmVemo::popPrint_Click);

    connect(mPopRestore, &QAction::triggered, this, &frmVemo::mPopRestore_Click);
    connect(mpopSearch, &QAction::triggered, this, &frmVemo::mpopSearch_Click);
    connect(mPopExit, &QAction::triggered, this, &frmVemo::mPopExit_Click);
}

QString frmVemo::panelText(int panel) const
{
    return panel >= 1 && panel <= 2 ? panels_[panel - 1]->text() : QString();
}

void frmVemo::setPanelText(int panel, const QString& text)
{
    if (panel >= 1 && panel <= 2)
        panels_[panel - 1]->setText(text);
}

} // namespace numora
