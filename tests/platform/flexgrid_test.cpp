// The directory grid control: shape and current cell, batching, colours,
// columns and the events the main window relies on.
#include <QApplication>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/controls/FlexGrid.h"
#include "platform/core/Error.h"

using numora::controls::FlexGrid;

namespace {

long errorNumberOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const numora::Error& e) {
        return e.number();
    }
    return 0;
}

void fill(FlexGrid& g, int rows)
{
    g.setCols(5);
    g.setRows(rows + 1);
    for (int r = 1; r <= rows; ++r)
        for (int c = 0; c < 5; ++c)
            g.setTextMatrix(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
}

} // namespace

TEST(FlexGrid, ShapeCurrentCellAndHeadingRow)
{
    FlexGrid g;
    EXPECT_EQ(g.Rows(), 2);
    EXPECT_EQ(g.FixedRows(), 1);
    g.setCols(5);
    g.setRows(4);
    EXPECT_EQ(g.model()->rowCount(), 3) << "row 0 is the header, not a model row";
    EXPECT_EQ(g.model()->columnCount(), 5);
    EXPECT_TRUE(g.verticalHeader()->isHidden());

    g.setRow(0);
    g.setCol(2);
    g.setText(QStringLiteral("heading"));
    EXPECT_EQ(g.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("heading"));
    EXPECT_EQ(g.TextMatrix(0, 2), QStringLiteral("heading"));

    g.setTextMatrix(3, 4, QStringLiteral("last"));
    g.setRow(3);
    g.setCol(4);
    EXPECT_EQ(g.Text(), QStringLiteral("last"));
    EXPECT_EQ(g.currentIndex(), g.model()->index(2, 4)) << "the current cell is the view's current index";
    EXPECT_EQ(g.model()->data(g.model()->index(2, 4)).toString(), QStringLiteral("last"));

    // Out of range: error 381, and the current cell stays.
    EXPECT_EQ(errorNumberOf([&] { g.setRow(4); }), 381);
    EXPECT_EQ(errorNumberOf([&] { g.setRow(-1); }), 381);
    EXPECT_EQ(errorNumberOf([&] { g.setCol(5); }), 381);
    EXPECT_EQ(errorNumberOf([&] { (void)g.TextMatrix(0, 5); }), 381);
    EXPECT_EQ(errorNumberOf([&] { g.setTextMatrix(9, 0, QString()); }), 381);
    EXPECT_EQ(g.Row(), 3);
    EXPECT_EQ(g.Col(), 4);

    // Shrinking drops rows at the end and pulls the current cell back inside.
    g.setRows(2);
    EXPECT_EQ(g.Row(), 1);
    EXPECT_EQ(g.model()->rowCount(), 1);
    g.setRows(4);
    EXPECT_EQ(g.TextMatrix(3, 4), QString()) << "rows added again start empty";

    // Fewer columns keep the texts of the columns that remain.
    g.setTextMatrix(1, 1, QStringLiteral("kept"));
    g.setCols(2);
    EXPECT_EQ(g.TextMatrix(1, 1), QStringLiteral("kept"));
    EXPECT_EQ(g.TextMatrix(0, 1), QString());
    EXPECT_EQ(errorNumberOf([&] { g.setFixedRows(2); }), 380);
}

TEST(FlexGrid, ColoursAndClear)
{
    FlexGrid g;
    fill(g, 3);
    g.setRow(2);
    g.setCol(1);
    EXPECT_FALSE(g.CellForeColor().isValid()) << "no colour of its own: the grid's";
    g.setCellBackColor(Qt::white);
    g.setCellForeColor(Qt::black);
    g.setCol(2);
    g.setCellBackColor(QColor(1, 2, 3));
    g.setCol(1);
    EXPECT_EQ(g.CellBackColor(), QColor(Qt::white));
    EXPECT_EQ(g.CellForeColor(), QColor(Qt::black));
    const QModelIndex i = g.model()->index(1, 2);
    EXPECT_EQ(g.model()->data(i, Qt::BackgroundRole).value<QBrush>().color(), QColor(1, 2, 3));
    EXPECT_FALSE(g.model()->data(i, Qt::ForegroundRole).isValid());

    g.Clear();
    EXPECT_EQ(g.Rows(), 4) << "Clear keeps the shape";
    EXPECT_EQ(g.TextMatrix(2, 1), QString());
    EXPECT_FALSE(g.CellBackColor().isValid());
    EXPECT_FALSE(g.model()->data(i, Qt::BackgroundRole).isValid());
}

TEST(FlexGrid, ColumnWidthsInTwipsAndAlignments)
{
    FlexGrid g;
    g.setCols(5);
    g.setColWidth(0, 1855);
    g.setColWidth(2, 1400);
    EXPECT_EQ(g.ColWidth(0), 1855);
    const double dpi = g.logicalDpiX();
    EXPECT_EQ(g.columnWidth(0), qRound(1855 * dpi / 1440.0));
    EXPECT_EQ(g.columnWidth(2), qRound(1400 * dpi / 1440.0));

    g.setColAlignment(0, numora::controls::flexAlignLeftTop);
    g.setColAlignment(1, numora::controls::flexAlignCenterTop);
    g.setColAlignment(2, numora::controls::flexAlignRightBottom);
    EXPECT_EQ(g.ColAlignment(1), 3);
    const auto align = [&](int c) {
        return g.model()->data(g.model()->index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
    };
    EXPECT_EQ(align(0), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(align(1), Qt::AlignHCenter | Qt::AlignTop);
    EXPECT_EQ(align(2), Qt::AlignRight | Qt::AlignBottom);
    EXPECT_EQ(errorNumberOf([&] { g.setColAlignment(0, 10); }), 380);
    EXPECT_EQ(errorNumberOf([&] { g.setColWidth(5, 100); }), 381);

    // Widths set while redraw is off, for columns the view does not have yet,
    // arrive when it comes back on.
    FlexGrid h;
    h.setRedraw(false);
    h.setCols(5);
    h.setColWidth(4, 1200);
    h.setRedraw(true);
    EXPECT_EQ(h.columnWidth(4), qRound(1200 * dpi / 1440.0));
}

TEST(FlexGrid, RedrawOffGathersAFillIntoOneUpdate)
{
    FlexGrid g;
    fill(g, 50); // a previous list the view shows
    g.resize(400, 300);
    QSignalSpy inserted(g.model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(g.model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(g.model(), &QAbstractItemModel::dataChanged);

    // A fill as the window does it: back to headings and one empty row, then
    // one row added per card.
    const int cards = 32766;
    const auto start = std::chrono::steady_clock::now();
    g.setRedraw(false);
    g.Clear();
    g.setCols(5);
    g.setRows(2);
    g.setRow(0);
    for (int k = 1; k <= cards; ++k) {
        g.setRow(k);
        for (int c = 4; c >= 0; --c) {
            g.setCol(c);
            g.setCellBackColor(Qt::white);
            g.setCellForeColor(Qt::black);
            g.setText(QStringLiteral("card %1").arg(k));
        }
        g.setRows(g.Rows() + 1);
    }
    EXPECT_EQ(inserted.count() + removed.count() + changed.count(), 0) << "no signal while redraw is off";
    EXPECT_EQ(g.model()->rowCount(), 50) << "the view still sees the old shape";
    g.setRedraw(true);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(g.Rows(), cards + 2);
    EXPECT_EQ(g.model()->rowCount(), cards + 1);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(g.model()->data(g.model()->index(cards - 1, 3)).toString(), QStringLiteral("card %1").arg(cards));
    EXPECT_EQ(g.model()->data(g.model()->index(cards, 0)).toString(), QString()) << "the empty last row";
    EXPECT_EQ(g.currentIndex(), g.model()->index(cards - 1, 0)) << "current cell brought over to the view";
    EXPECT_LT(ms, 1500) << "a fill of " << cards << " rows took " << ms << " ms";
}

class FlexGridEvents : public ::testing::Test {
protected:
    void SetUp() override
    {
        fill(g, 5);
        g.resize(500, 300);
        g.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    }
    QPoint cellCentre(int gridRow, int col) const
    {
        return g.visualRect(g.model()->index(gridRow - 1, col)).center();
    }
    void typeText(const QString& text, Qt::Key key = Qt::Key_unknown)
    {
        QTest::sendKeyEvent(QTest::Press, &g, key, text, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, &g, key, text, Qt::NoModifier);
    }
    FlexGrid g;
};

TEST_F(FlexGridEvents, LeftClickMovesThenClicksRightPressLeavesTheCurrentCell)
{
    QSignalSpy click(&g, &FlexGrid::Click);
    QSignalSpy down(&g, &FlexGrid::MouseDown);
    int rowAtClick = -1;
    QObject::connect(&g, &FlexGrid::Click, &g, [&] { rowAtClick = g.Row(); });

    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cellCentre(3, 2));
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(rowAtClick, 3) << "Click comes after the current cell moved";
    EXPECT_EQ(g.Col(), 2);
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down.at(0).at(0).toInt(), 1);

    QTest::mouseClick(g.viewport(), Qt::RightButton, {}, cellCentre(5, 4));
    EXPECT_EQ(click.count(), 1) << "a right click is no Click";
    ASSERT_EQ(down.count(), 2);
    EXPECT_EQ(down.at(1).at(0).toInt(), 2);
    EXPECT_EQ(down.at(1).at(1).toPoint(), g.viewport()->mapToGlobal(cellCentre(5, 4)));
    EXPECT_EQ(g.Row(), 3) << "the popup acts on the row chosen before";
    EXPECT_EQ(g.Col(), 2);

    QSignalSpy dbl(&g, &FlexGrid::DblClick);
    QTest::mouseDClick(g.viewport(), Qt::LeftButton, {}, cellCentre(4, 0));
    EXPECT_EQ(dbl.count(), 1);
    EXPECT_EQ(g.Row(), 4);
    EXPECT_LE(click.count(), 3) << "one double-click is at most two clicks";
}

TEST_F(FlexGridEvents, KeysAreReportedAndStillReachTheView)
{
    QSignalSpy keys(&g, &FlexGrid::KeyPress);
    g.setRow(1);
    g.setCol(0);
    typeText(QStringLiteral("r5"));      // would move the view by its own keyboard search
    typeText(QString(QChar(0x05D0)));    // Hebrew alef
    QTest::keyClick(&g, Qt::Key_Escape);
    ASSERT_EQ(keys.count(), 4);
    EXPECT_EQ(keys.at(0).at(0).toInt(), 'r');
    EXPECT_EQ(keys.at(1).at(0).toInt(), '5');
    EXPECT_EQ(keys.at(2).at(0).toInt(), 0x05D0);
    EXPECT_EQ(keys.at(3).at(0).toInt(), 27);
    EXPECT_EQ(g.Row(), 1) << "typed text does not move the current cell by itself";

    QTest::keyClick(&g, Qt::Key_Down);
    EXPECT_EQ(g.Row(), 2) << "navigation keys still reach the view";
    EXPECT_EQ(keys.count(), 4);

    QSignalSpy focus(&g, &FlexGrid::FocusChanged);
    QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
    QApplication::sendEvent(&g, &in);
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(&g, &out);
    ASSERT_EQ(focus.count(), 2);
    EXPECT_TRUE(focus.at(0).at(0).toBool());
    EXPECT_FALSE(focus.at(1).at(0).toBool());
}
