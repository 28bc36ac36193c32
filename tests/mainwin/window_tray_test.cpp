// The main window's tray icon and its menu through the real windows: the
// icon's events, minimising and restoring, the menu on the free client area,
// Search while the main window is hidden, and the program's end with the
// search window left open.
#include "tests/mainwin/grid_fixture.h"

#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

#include "forms/Form.h"
#include "platform/controls/ListBox.h"
#include "search/SearchFrm.h"
#include "tests/support/FakeTray.h"
#include "tests/support/ProgramRun.h"

namespace numora::test {
namespace {

class TrayTest : public GridWindowTest {
protected:
    void SetUp() override
    {
        GridWindowTest::SetUp();
        insertCards(path(), store::kPersonalTable, personalCards());
    }

    void TearDown() override
    {
        if (w)
            w->mPopupSys->close();
        if (SearchFrm* s = SearchFrm::existingInstance())
            s->close();
        GridWindowTest::TearDown();
    }

    void minimise()
    {
        w->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!w->isVisible());
    }

    // Minimised, and the window's own answer to that (queued behind the
    // state change) has run: what it did not do by then, it does not do.
    void minimiseAndSettle()
    {
        w->setWindowState(Qt::WindowMinimized);
        bool settled = false;
        QTimer::singleShot(0, w.get(), [&] { settled = true; });
        QTRY_VERIFY(settled);
    }

    QStringList menuShown() const
    {
        QStringList items;
        if (w->mPopupSys->isVisible())
            for (const QAction* a : w->mPopupSys->actions())
                items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return items;
    }

    FakeTray tray;
};

TEST_F(TrayTest, OnlyTheIconsDoubleClickAndRightClickActNeverAMouseMoveOverTheWindow)
{
    start();
    ASSERT_TRUE(tray.hasIcon(w.get(), 1));
    EXPECT_EQ(tray.icons[0].tip(), QStringLiteral("Numora"));
    EXPECT_TRUE(w->trayIconShown());

    // A mouse moving over the window at the columns that were once the
    // icon's codes is only a mouse move.
    for (const int x : {515, 517}) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 40), w->mapToGlobal(QPointF(x, 40)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w.get(), &move);
    }
    EXPECT_TRUE(menuShown().isEmpty());

    minimise();
    for (const int code : {512, 513, 514, 516, 520}) // movement, presses, a single click
        ASSERT_TRUE(tray.click(w.get(), 1, code));
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(menuShown().isEmpty());

    ASSERT_TRUE(tray.click(w.get(), 1, 515));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowState(), Qt::WindowNoState);

    ASSERT_TRUE(tray.click(w.get(), 1, 517));
    EXPECT_EQ(menuShown(), (QStringList{"&Restore", "&Search", "-", "&Exit"}));
    w->mPopupSys->close();

    // The same menu on the window's free client area, for the right button only.
    QWidget* client = w->centralWidget();
    QTest::mouseClick(client, Qt::LeftButton, {}, QPoint(5, client->height() - 5));
    EXPECT_TRUE(menuShown().isEmpty());
    QTest::mousePress(client, Qt::RightButton, {}, QPoint(5, client->height() - 5));
    EXPECT_EQ(menuShown().size(), 4);
    w->mPopupSys->close();
    // The lines and shapes drawn on it are part of it.
    QTest::mousePress(client, Qt::RightButton, {}, w->Shape1[0]->geometry().center());
    EXPECT_EQ(menuShown().size(), 4);
    w->mPopupSys->close();
    // The labels, the status bar and the tab strip around its tabs are not,
    // though they leave the press to the window.
    QPoint besideTabs;
    for (int y = 0; y < w->TabVemo->height() && besideTabs.isNull(); y += 4)
        for (int x = 0; x < w->TabVemo->width() && besideTabs.isNull(); x += 4)
            if (w->TabVemo->tabAt({x, y}) < 0 && client->childAt(w->TabVemo->mapTo(client, QPoint(x, y))) == w->TabVemo)
                besideTabs = {x, y};
    ASSERT_FALSE(besideTabs.isNull());
    const std::pair<QWidget*, QPoint> controls[] = {{w->lblHeader[1], w->lblHeader[1]->rect().center()},
                                                    {w->Label2, w->Label2->rect().center()},
                                                    {w->StatusBar1, QPoint(w->StatusBar1->width() - 3, 3)},
                                                    {w->TabVemo, besideTabs}};
    for (const auto& [control, at] : controls) {
        QTest::mousePress(control, Qt::RightButton, {}, at);
        EXPECT_TRUE(menuShown().isEmpty()) << control->objectName().toStdString();
        QTest::mouseRelease(control, Qt::RightButton, {}, at);
        w->mPopupSys->close();
    }

    // Restore from the menu brings a minimised window back as the icon does.
    minimise();
    w->mPopRestore->trigger();
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isMinimized());
}

TEST_F(TrayTest, WithoutATrayMinimisingLeavesTheWindowReachableUntilATrayAppearsAgain)
{
    tray.available = false;
    start();
    EXPECT_FALSE(w->trayIconShown());
    EXPECT_TRUE(tray.icons.empty());
    minimiseAndSettle();
    EXPECT_TRUE(w->isVisible()) << "minimised with no icon to bring it back";
    w->setWindowState(Qt::WindowNoState);

    tray.available = true; // a panel with a tray starts
    QTRY_VERIFY_WITH_TIMEOUT(tray.hasIcon(w.get(), 1), 3 * frmVemo::kTrayRetryMs);
    EXPECT_TRUE(w->trayIconShown());
    minimise();
    w->mPopRestore->trigger();

    // The panel ends, and its tray with it: minimised, the window stays
    // reachable again until the next tray.
    tray.available = false;
    minimiseAndSettle();
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->trayIconShown());
    w->setWindowState(Qt::WindowNoState);
    tray.available = true;
    QTRY_VERIFY_WITH_TIMEOUT(tray.hasIcon(w.get(), 1), 3 * frmVemo::kTrayRetryMs);
    minimise();
}

TEST_F(TrayTest, SearchFromTheTrayLeavesTheMainWindowHiddenAndTheProgramEndsWithTheLastWindow)
{
    // The program-wide main window, released as soon as it unloads.
    frmVemo& main = frmVemo::instance();
    main.show();
    ASSERT_TRUE(tray.hasIcon(&main, 1));
    main.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!main.isVisible());

    bool ended = false;
    QTimer::singleShot(0, qApp, [&] {
        // Search from the icon's menu: the search window in front, the main window still hidden.
        ASSERT_TRUE(tray.click(&main, 1, 517));
        main.mpopSearch->trigger();
        main.mPopupSys->close();
        SearchFrm* search = SearchFrm::existingInstance();
        ASSERT_TRUE(search && search->isVisible());
        EXPECT_FALSE(main.isVisible());
        QTest::keyClicks(search->TxtStr, "O");
        EXPECT_EQ(search->LstSearch->ListCount(), 1);

        // Closing it leaves the hidden main window, and the program, running.
        search->close();
        QTimer::singleShot(0, qApp, [&] {
            EXPECT_FALSE(ended);
            EXPECT_EQ(forms::loadedCount(), 1);
            ASSERT_TRUE(tray.click(&main, 1, 517));
            main.mpopSearch->trigger();
            // Exit from the menu while the search window is open: the main
            // window goes, the icon stays with the search window.
            main.mPopExit->trigger();
            main.mPopupSys->close();
            QTimer::singleShot(50, qApp, [&] {
                EXPECT_EQ(frmVemo::existingInstance(), nullptr) << "the main window was not released";
                EXPECT_FALSE(ended);
                EXPECT_EQ(tray.icons.size(), 1u);
                SearchFrm* still = SearchFrm::existingInstance();
                ASSERT_TRUE(still && still->isVisible());
                // It keeps searching the group it searched before.
                still->TxtStr->clear();
                QTest::keyClicks(still->TxtStr, "o");
                EXPECT_EQ(still->LstSearch->ListCount(), 1);
                still->close();
            });
        });
    });
    EXPECT_TRUE(runProgram(ended));
    EXPECT_TRUE(ended);
    // The end step removed the icon of the window that is gone.
    EXPECT_TRUE(tray.icons.empty());
    EXPECT_EQ(tray.calls.back().message, tray::NIM_DELETE);
}

} // namespace
} // namespace numora::test
