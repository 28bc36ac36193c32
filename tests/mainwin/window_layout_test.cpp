// The main window as built: its named controls, the letter tabs, the menus
// and popups, unshown, so no load step runs; and the shown window grown
// beyond its designed size.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <map>

#include "mainwin/frmVemo.h"
#include "platform/controls/FlexGrid.h"
#include "platform/controls/LetterTabStrip.h"
#include "platform/ui/Twips.h"
#include "tests/mainwin/grid_fixture.h"

namespace numora {
namespace {

QRect inClient(const frmVemo& w, const QWidget* control)
{
    return QRect(control->mapTo(w.centralWidget(), QPoint(0, 0)), control->size());
}

TEST(WindowLayout, ButtonsLabelsAndBoxesCarryTheirNamesCaptionsAndTips)
{
    frmVemo w;
    struct Button {
        const char* name;
        QString caption;
        QString tip;
    };
    const Button buttons[] = {
        {"btnAdd", "Add", "Add new phone record"},
        {"btnEdit", "Edit", ""},
        {"btnSearch", "Seach", "Search specific phone record"},
        {"btnAll", "All", "Show all phone records"},
        {"btnDelete", "Delete", "Delete current phone record"},
        {"btnQuit", "Quit ", "Quit program"},
    };
    for (const Button& b : buttons) {
        auto* button = w.findChild<QToolButton*>(QLatin1String(b.name));
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), b.caption) << b.name;
        EXPECT_EQ(button->toolTip(), b.tip) << b.name;
        EXPECT_TRUE(button->autoRaise()) << b.name;
        EXPECT_FALSE(button->icon().isNull()) << b.name;
    }
    // One row: from the left Quit alone, then Delete, All, Search, Edit, Add.
    const QToolButton* row[] = {w.btnQuit, w.btnDelete, w.btnAll, w.btnSearch, w.btnEdit, w.btnAdd};
    for (size_t i = 1; i < std::size(row); ++i) {
        EXPECT_EQ(row[i]->y(), row[0]->y());
        EXPECT_GT(row[i]->x(), row[i - 1]->geometry().right());
    }
    EXPECT_GT(w.btnDelete->x() - w.btnQuit->geometry().right(), w.btnQuit->width());

    const auto headers = w.findChildren<QLabel*>(QStringLiteral("lblHeader"));
    ASSERT_EQ(headers.size(), 2);
    EXPECT_EQ(w.lblHeader[0]->text(), QStringLiteral("Numora"));
    EXPECT_EQ(w.lblHeader[1]->text(), QStringLiteral("Numora"));
    EXPECT_EQ(w.lblHeader[0]->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    EXPECT_EQ(w.lblHeader[1]->palette().color(QPalette::WindowText), QColor(Qt::white));
    // The white title stands up and left of the purple one, in front of it.
    EXPECT_LT(w.lblHeader[1]->x(), w.lblHeader[0]->x());
    EXPECT_LT(w.lblHeader[1]->y(), w.lblHeader[0]->y());
    const QObjectList& siblings = w.centralWidget()->children();
    EXPECT_GT(siblings.indexOf(w.lblHeader[1]), siblings.indexOf(w.lblHeader[0]));

    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("Group Selection"));
    auto* group = w.findChild<QComboBox*>(QStringLiteral("cmbGroup"));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->count(), 2);
    EXPECT_EQ(group->itemText(0), QStringLiteral("Personal"));
    EXPECT_EQ(group->itemText(1), QStringLiteral("Work"));
    EXPECT_EQ(group->currentText(), QStringLiteral("Personal"));
    EXPECT_EQ(group->toolTip(), QStringLiteral("Select group of records"));

    auto* index = w.findChild<QLineEdit*>(QStringLiteral("TxtIndex"));
    ASSERT_NE(index, nullptr);
    EXPECT_TRUE(index->text().isEmpty());
    EXPECT_EQ(index->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(index->palette().color(QPalette::Text), QColor(0, 0, 128));
    EXPECT_EQ(index->palette().color(QPalette::Base), QColor(255, 224, 192));

    EXPECT_NE(w.findChild<controls::FlexGrid*>(QStringLiteral("MSFlexGrid1")), nullptr);
    EXPECT_NE(w.findChild<QStatusBar*>(QStringLiteral("StatusBar1")), nullptr);
    const auto* image = w.findChild<QLabel*>(QStringLiteral("Image2"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(w.findChildren<QWidget*>(QStringLiteral("Shape1")).size(), 34);
    EXPECT_EQ(w.findChildren<QWidget*>(QStringLiteral("Line1")).size(), 2);
    EXPECT_NE(w.findChild<QWidget*>(QStringLiteral("Shape2")), nullptr);

    // The two status panels keep their texts apart.
    w.setPanelText(1, QStringLiteral(" Total Records 12"));
    w.setPanelText(2, QStringLiteral("select"));
    EXPECT_EQ(w.panelText(1), QStringLiteral(" Total Records 12"));
    EXPECT_EQ(w.panelText(2), QStringLiteral("select"));
    EXPECT_EQ(w.panelText(3), QString());
}

TEST(WindowLayout, PlacesConvertFromTwipsAtTheScreenDpi)
{
    frmVemo w;
    const double perPixel = ui::twipsPerPixelX();
    EXPECT_EQ(ui::twipsToPixelsX(1440), qRound(1440 / perPixel));
    EXPECT_EQ(inClient(w, w.btnAdd), ui::twipsRect(7080, 960, 855, 735));
    EXPECT_EQ(inClient(w, w.MSFlexGrid1), ui::twipsRect(840, 2160, 7095, 2895));
    // Edges convert as edges: TxtIndex ends where the grid's columns end.
    EXPECT_EQ(inClient(w, w.TxtIndex).right(), inClient(w, w.MSFlexGrid1).right());
    EXPECT_GE(w.centralWidget()->minimumWidth(), ui::twipsToPixelsX(9405));
    EXPECT_GE(w.centralWidget()->minimumHeight(), ui::twipsToPixelsY(5895));
}

TEST(WindowLayout, TwentyTwoLetterTabsInThreeRowsClearOfTheControls)
{
    frmVemo w;
    const char16_t letters[] = u"אבגדהוזחטיכלמנסעפצקרשת";
    const int spaces[] = {10, 9, 10, 9, 9, 11, 10, 11, 9, 10, 9, 9, 9, 10, 9, 10, 9, 9, 9, 9, 8, 11};
    auto* tabs = w.findChild<controls::LetterTabStrip*>(QStringLiteral("TabVemo"));
    ASSERT_EQ(tabs, w.TabVemo);
    ASSERT_EQ(tabs->count(), 22);
    for (int i = 0; i < 22; ++i) {
        const QString letter(QChar(letters[i]));
        EXPECT_EQ(tabs->tabCaption(i), letter + QString(spaces[i], QLatin1Char(' ')) + letter) << "tab " << i;
    }
    EXPECT_EQ(tabs->tabsPerRow(), 8);
    EXPECT_EQ(tabs->rows(), 3);
    EXPECT_EQ(tabs->currentIndex(), 0);

    // Every tab is one row deep (300 twips), inside the strip, and clear of
    // the controls that lie over the strip's page.
    const QWidget* over[] = {w.btnAdd, w.btnEdit, w.btnSearch, w.btnAll, w.btnDelete, w.btnQuit,
                             w.TxtIndex, w.MSFlexGrid1, w.StatusBar1};
    for (int i = 0; i < 22; ++i) {
        const QRect tab = tabs->tabRect(i);
        EXPECT_EQ(std::min(tab.width(), tab.height()), ui::twipsToPixelsX(300)) << "tab " << i;
        EXPECT_TRUE(tabs->rect().contains(tab)) << "tab " << i;
        const QRect placed = tab.translated(inClient(w, tabs).topLeft());
        for (const QWidget* control : over)
            EXPECT_FALSE(placed.intersects(inClient(w, control)))
                << "tab " << i << " lies under " << control->objectName().toStdString();
    }
    // The controls lie within the strip's page and in front of it.
    const QRect page = tabs->pageRect().translated(inClient(w, tabs).topLeft());
    const QObjectList& order = w.centralWidget()->children();
    for (const QWidget* control : over) {
        EXPECT_TRUE(page.contains(inClient(w, control))) << control->objectName().toStdString();
        EXPECT_GT(order.indexOf(control), order.indexOf(tabs));
    }
}

// A larger window gives its room to the tab strip and the grid; the other
// controls keep to the edges they sit on, the tabs stay clear of them, and
// the window is never smaller than designed.
class ShownWindowLayout : public test::GridWindowTest {};

TEST_F(ShownWindowLayout, AGrownWindowGivesItsRoomToTheGridAndTheTabs)
{
    start();
    frmVemo& main = *w;
    const QSize designed = main.centralWidget()->size();
    std::map<const QWidget*, QRect> before;
    for (const QWidget* control : main.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        before[control] = inClient(main, control);
    main.resize(main.size() + QSize(300, 200));
    ASSERT_EQ(main.centralWidget()->size(), designed + QSize(300, 200));

    const auto expectPlace = [&](const QWidget* control, const QRect& place) {
        EXPECT_EQ(inClient(main, control), place) << control->objectName().toStdString();
    };
    expectPlace(main.MSFlexGrid1, before[main.MSFlexGrid1].adjusted(0, 0, 300, 200));
    expectPlace(main.TabVemo, before[main.TabVemo].adjusted(0, 0, 300, 200));
    expectPlace(main.TxtIndex, before[main.TxtIndex].adjusted(0, 0, 300, 0));
    expectPlace(main.Line1[0], before[main.Line1[0]].adjusted(0, 0, 300, 0));
    expectPlace(main.StatusBar1, before[main.StatusBar1].translated(0, 200).adjusted(0, 0, 300, 0));
    for (const QWidget* right : std::initializer_list<const QWidget*>{main.btnAdd, main.btnEdit, main.btnSearch, main.btnAll,
                                                                      main.btnDelete, main.cmbGroup, main.Label2})
        expectPlace(right, before.at(right).translated(300, 0));
    for (const QWidget* left : std::initializer_list<const QWidget*>{main.btnQuit, main.lblHeader[0], main.lblHeader[1],
                                                                     main.Image2, main.Shape2, main.Shape1[16]})
        expectPlace(left, before.at(left));

    const QWidget* over[] = {main.btnAdd, main.btnEdit, main.btnSearch, main.btnAll, main.btnDelete, main.btnQuit,
                             main.TxtIndex, main.MSFlexGrid1, main.StatusBar1};
    for (int i = 0; i < main.TabVemo->count(); ++i) {
        const QRect placed = main.TabVemo->tabRect(i).translated(inClient(main, main.TabVemo).topLeft());
        for (const QWidget* control : over)
            EXPECT_FALSE(placed.intersects(inClient(main, control)))
                << "tab " << i << " lies under " << control->objectName().toStdString();
    }

    main.resize(100, 100);
    EXPECT_EQ(main.centralWidget()->size(), designed);
    expectPlace(main.MSFlexGrid1, before[main.MSFlexGrid1]);
}

TEST(WindowLayout, TabStripReportsTheUsersChoiceWithThePreviousTab)
{
    controls::LetterTabStrip strip;
    strip.setEdge(controls::LetterTabStrip::Edge::Right);
    strip.setTabsPerRow(8);
    strip.setTabDepth(20);
    QStringList captions;
    for (int i = 0; i < 22; ++i)
        captions << QString::number(i);
    strip.setTabs(captions);
    strip.resize(300, 330);
    QSignalSpy chosen(&strip, &controls::LetterTabStrip::Click);

    QTest::mouseClick(&strip, Qt::LeftButton, {}, strip.tabRect(11).center());
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.takeFirst().at(0).toInt(), 0);
    EXPECT_EQ(strip.currentIndex(), 11);

    // The current tab again, the page, and a set from code send nothing.
    QTest::mouseClick(&strip, Qt::LeftButton, {}, strip.tabRect(11).center());
    QTest::mouseClick(&strip, Qt::LeftButton, {}, strip.pageRect().center());
    strip.setCurrentIndex(21);
    strip.setCurrentIndex(40);
    EXPECT_EQ(chosen.size(), 0);
    EXPECT_EQ(strip.currentIndex(), 21);

    // Keys: down the row, across to the next row, and no step past the ends.
    QTest::keyClick(&strip, Qt::Key_Down);
    EXPECT_EQ(strip.currentIndex(), 21);
    QTest::keyClick(&strip, Qt::Key_Home);
    QTest::keyClick(&strip, Qt::Key_Down);
    QTest::keyClick(&strip, Qt::Key_Right);
    EXPECT_EQ(strip.currentIndex(), 9);
    ASSERT_EQ(chosen.size(), 3);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 21);
    EXPECT_EQ(chosen.at(2).at(0).toInt(), 1);
    EXPECT_EQ(strip.tabAt(strip.pageRect().center()), -1);
}

TEST(WindowLayout, MenusAndPopupsListTheirEntriesInOrder)
{
    frmVemo w;
    // A separator is written "-".
    auto entries = [](const QMenu* menu) {
        QStringList list;
        for (const QAction* a : menu->actions())
            list << a->objectName() + QLatin1Char('=') + (a->isSeparator() ? QStringLiteral("-") : a->text());
        return list;
    };
    QStringList bar;
    for (const QAction* a : w.menuBar()->actions())
        bar << a->menu()->objectName() + QLatin1Char('=') + a->text();
    EXPECT_EQ(bar, QStringList({"mnuFile=&File", "mnuOption=&Option", "mnuView=&View", "mnuHelp=&Help"}));

    EXPECT_EQ(entries(w.mnuFile), QStringList({"mnuAdd=&Add...", "mnuEdit=&Edit...", "mnuDel=&Delete", "mnu3=-",
                                               "mnuPrint=&Print...", "mnu1=-", "mnuExit=E&xit"}));
    EXPECT_EQ(entries(w.mnuOption), QStringList({"mnuImportDB=Import DB...", "mnuExportDB=Export DB...", "mnu7=-",
                                                 "mnuDialingNum=Dialing Number..."}));
    EXPECT_EQ(entries(w.mnuView),
              QStringList({"mnuAll=&All", "mnuSearch=&Search...", "mnu2=-", "mnuDbg=&Debug"}));
    EXPECT_EQ(entries(w.mnuHelp), QStringList({"mnuAbout=&About..."}));
    EXPECT_TRUE(w.mnuDbg->isCheckable());
    EXPECT_FALSE(w.mnuDbg->isChecked());

    EXPECT_EQ(w.popFile->title(), QStringLiteral("&File"));
    EXPECT_EQ(entries(w.popFile), QStringList({"popAdd=&Add...", "popEdit=&Edit...", "popDel=&Delete", "mnu5=-",
                                               "popSearch=&Search...", "popDialing=Di&aling...", "mnu8=-",
                                               "popPrint=&Print..."}));
    EXPECT_EQ(w.mPopupSys->title(), QStringLiteral("&SysTray"));
    EXPECT_EQ(entries(w.mPopupSys),
              QStringList({"mPopRestore=&Restore", "mpopSearch=&Search", "mnu=-", "mPopExit=&Exit"}));
    // The popups never show in the bar.
    for (const QAction* a : w.menuBar()->actions())
        EXPECT_TRUE(a->menu() != w.popFile && a->menu() != w.mPopupSys);
}

} // namespace
} // namespace numora
