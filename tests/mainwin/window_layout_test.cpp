// The main window as built: its named controls, the group selector, the
// letter tabs and the menus, unshown, so no load step runs; the shown window
// grown beyond its designed size; and the tab strip's own choices.
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
#include "store/Store.h"
#include "tests/mainwin/grid_fixture.h"

namespace numora {
namespace {

QRect inClient(const frmVemo& w, const QWidget* control)
{
    return QRect(control->mapTo(w.centralWidget(), QPoint(0, 0)), control->size());
}

// The window as built, unshown: the controls the other windows, the tests and
// the user find by name and text, the group selector that picks the tables,
// the letter tabs clear of every control that lies over their page, and the
// menus.
TEST(WindowLayout, ControlsGroupsTabsAndMenusAsDesigned)
{
    frmVemo w;
    const std::map<const char*, std::pair<QString, QString>> buttons = {
        {"btnAdd", {"Add", "Add new phone record"}},
        {"btnEdit", {"Edit", ""}},
        {"btnSearch", {"Seach", "Search specific phone record"}},
        {"btnAll", {"All", "Show all phone records"}},
        {"btnDelete", {"Delete", "Delete current phone record"}},
        {"btnQuit", {"Quit ", "Quit program"}},
    };
    for (const auto& [name, texts] : buttons) {
        auto* button = w.findChild<QToolButton*>(QLatin1String(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(std::pair(button->text(), button->toolTip()), texts) << name;
    }
    // One row: from the left Quit alone, then Delete, All, Search, Edit, Add.
    const QToolButton* row[] = {w.btnQuit, w.btnDelete, w.btnAll, w.btnSearch, w.btnEdit, w.btnAdd};
    for (size_t i = 1; i < std::size(row); ++i) {
        EXPECT_EQ(row[i]->y(), row[0]->y());
        EXPECT_GT(row[i]->x(), row[i - 1]->geometry().right());
    }
    EXPECT_GT(w.btnDelete->x() - w.btnQuit->geometry().right(), w.btnQuit->width());
    // The white title stands up and left of the purple one, in front of it.
    ASSERT_EQ(w.findChildren<QLabel*>(QStringLiteral("lblHeader")).size(), 2);
    EXPECT_LT(w.lblHeader[1]->pos().x(), w.lblHeader[0]->pos().x());
    EXPECT_LT(w.lblHeader[1]->pos().y(), w.lblHeader[0]->pos().y());
    const QObjectList& order = w.centralWidget()->children();
    EXPECT_GT(order.indexOf(w.lblHeader[1]), order.indexOf(w.lblHeader[0]));
    // Edges convert as edges: TxtIndex ends where the grid's columns end.
    EXPECT_EQ(inClient(w, w.TxtIndex).right(), inClient(w, w.MSFlexGrid1).right());
    EXPECT_GE(w.centralWidget()->minimumWidth(), ui::twipsToPixelsX(9405));
    EXPECT_GE(w.centralWidget()->minimumHeight(), ui::twipsToPixelsY(5895));

    // Each group the selector offers picks its table, Personal first.
    auto* group = w.findChild<QComboBox*>(QStringLiteral("cmbGroup"));
    ASSERT_NE(group, nullptr);
    ASSERT_EQ(group->count(), 2);
    EXPECT_EQ(group->currentIndex(), 0);
    EXPECT_EQ(store::tableForGroup(group->itemText(0)), &store::kPersonalTable);
    EXPECT_EQ(store::tableForGroup(group->itemText(1)), &store::kWorkTable);
    for (const char* other : {"", "personal", "WORK", "Work ", "Vemo"})
        EXPECT_EQ(store::tableForGroup(QString::fromUtf8(other)), nullptr) << other;

    // 22 letter tabs in three rows, each one row deep (300 twips), inside the
    // strip and clear of the controls that lie over its page, which stand in
    // front of it.
    const char16_t letters[] = u"אבגדהוזחטיכלמנסעפצקרשת";
    auto* tabs = w.findChild<controls::LetterTabStrip*>(QStringLiteral("TabVemo"));
    ASSERT_EQ(tabs, w.TabVemo);
    ASSERT_EQ(tabs->count(), 22);
    EXPECT_EQ(tabs->rows(), 3);
    EXPECT_EQ(tabs->currentIndex(), 0);
    const QWidget* over[] = {w.btnAdd,  w.btnEdit,  w.btnSearch,   w.btnAll,    w.btnDelete,
                             w.btnQuit, w.TxtIndex, w.MSFlexGrid1, w.StatusBar1};
    for (int i = 0; i < 22; ++i) {
        const QString letter(QChar(letters[i]));
        EXPECT_TRUE(tabs->tabCaption(i).startsWith(letter) && tabs->tabCaption(i).endsWith(letter)) << "tab " << i;
        const QRect tab = tabs->tabRect(i);
        EXPECT_EQ(std::min(tab.width(), tab.height()), ui::twipsToPixelsX(300)) << "tab " << i;
        EXPECT_TRUE(tabs->rect().contains(tab)) << "tab " << i;
        const QRect placed = tab.translated(inClient(w, tabs).topLeft());
        for (const QWidget* control : over)
            EXPECT_FALSE(placed.intersects(inClient(w, control)))
                << "tab " << i << " lies under " << control->objectName().toStdString();
    }
    const QRect page = tabs->pageRect().translated(inClient(w, tabs).topLeft());
    for (const QWidget* control : over) {
        EXPECT_TRUE(page.contains(inClient(w, control))) << control->objectName().toStdString();
        EXPECT_GT(order.indexOf(control), order.indexOf(tabs));
    }

    // The menus and popups, entries in order; the popups never show in the bar.
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
    EXPECT_EQ(entries(w.mnuOption),
              QStringList({"mnuImportDB=Import DB...", "mnuExportDB=Export DB...", "mnu9=-",
                           "mnuImportCards=Import Cards...", "mnuExportCards=Export Cards...",
                           "mnuSyncCards=Sync Cards", "mnu7=-", "mnuDialingNum=Dialing Number..."}));
    EXPECT_EQ(entries(w.mnuView), QStringList({"mnuAll=&All", "mnuSearch=&Search...", "mnu2=-", "mnuDbg=&Debug"}));
    EXPECT_EQ(entries(w.mnuHelp), QStringList({"mnuAbout=&About..."}));
    EXPECT_TRUE(w.mnuDbg->isCheckable());
    EXPECT_FALSE(w.mnuDbg->isChecked());

    EXPECT_EQ(w.popFile->title(), QStringLiteral("&File"));
    EXPECT_EQ(entries(w.popFile),
              QStringList({"popAdd=&Add...", "popEdit=&Edit...", "popDel=&Delete", "mnu5=-", "popSearch=&Search...",
                           "popDialing=Di&aling...", "mnu8=-", "popPrint=&Print..."}));
    EXPECT_EQ(w.mPopupSys->title(), QStringLiteral("&SysTray"));
    EXPECT_EQ(entries(w.mPopupSys),
              QStringList({"mPopRestore=&Restore", "mpopSearch=&Search", "mnu=-", "mPopExit=&Exit"}));
    for (const QAction* a : w.menuBar()->actions())
        EXPECT_TRUE(a->menu() != w.popFile && a->menu() != w.mPopupSys);
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
    for (const QWidget* right : std::initializer_list<const QWidget*>{
             main.btnAdd, main.btnEdit, main.btnSearch, main.btnAll, main.btnDelete, main.cmbGroup, main.Label2})
        expectPlace(right, before.at(right).translated(300, 0));
    for (const QWidget* left : std::initializer_list<const QWidget*>{main.btnQuit, main.lblHeader[0], main.lblHeader[1],
                                                                     main.Image2, main.Shape2, main.Shape1[16]})
        expectPlace(left, before.at(left));

    const QWidget* over[] = {main.btnAdd,  main.btnEdit,  main.btnSearch,   main.btnAll,    main.btnDelete,
                             main.btnQuit, main.TxtIndex, main.MSFlexGrid1, main.StatusBar1};
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

} // namespace
} // namespace numora
