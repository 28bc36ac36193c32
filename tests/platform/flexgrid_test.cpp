// The directory grid control: shape and current cell, columns and colours,
// batching, and the events the main window relies on.
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

TEST(FlexGrid, HeadingRowCurrentCellAndSubscripts)
{
    FlexGrid g;
    fill(g, 3);
    EXPECT_EQ(g.model()->rowCount(), 3) << "row 0 is the header, not a model row";
    EXPECT_TRUE(g.verticalHeader()->isHidden());
    g.setRow(0);
    g.setCol(2);
    g.setText(QStringLiteral("heading"));
    EXPECT_EQ(g.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("heading"));

    g.setRow(3);
    g.setCol(4);
    EXPECT_EQ(g.Text(), QStringLiteral("r3c4"));
    EXPECT_EQ(g.currentIndex(), g.model()->index(2, 4)) << "the current cell is the view's current index";

    EXPECT_EQ(errorNumberOf([&] { g.setRow(4); }), 381);
    EXPECT_EQ(errorNumberOf([&] { g.setCol(-1); }), 381);
    EXPECT_EQ(errorNumberOf([&] { (void)g.TextMatrix(0, 5); }), 381);
    EXPECT_EQ(g.Row(), 3);
    EXPECT_EQ(g.Col(), 4);

    // Shrinking pulls the current cell back inside; rows added again are empty.
    g.setRows(2);
    EXPECT_EQ(g.Row(), 1);
    g.setRows(4);
    EXPECT_EQ(g.TextMatrix(3, 4), QString());
    g.setCols(2);
    EXPECT_EQ(g.TextMatrix(1, 1), QStringLiteral("r1c1")) << "the remaining columns keep their texts";
}

TEST(FlexGrid, ColumnsInTwipsAlignmentsAndCellColours)
{
    FlexGrid g;
    fill(g, 2);
    g.setColWidth(0, 1855);
    EXPECT_EQ(g.ColWidth(0), 1855);
    EXPECT_EQ(g.columnWidth(0), qRound(1855 * g.logicalDpiX() / 1440.0));
    g.setColAlignment(1, numora::controls::flexAlignCenterTop);
    g.setColAlignment(2, numora::controls::flexAlignRightBottom);
    const auto align = [&](int c) {
        return g.model()->data(g.model()->index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
    };
    EXPECT_EQ(align(1), Qt::AlignHCenter | Qt::AlignTop);
    EXPECT_EQ(align(2), Qt::AlignRight | Qt::AlignBottom);
    EXPECT_EQ(errorNumberOf([&] { g.setColAlignment(0, 10); }), 380);

    g.setRow(2);
    g.setCol(1);
    EXPECT_FALSE(g.CellBackColor().isValid()) << "no colour of its own: the grid's";
    g.setCellBackColor(QColor(1, 2, 3));
    g.setCellForeColor(Qt::white);
    EXPECT_EQ(g.model()->data(g.model()->index(1, 1), Qt::BackgroundRole).value<QBrush>().color(), QColor(1, 2, 3));
    EXPECT_FALSE(g.model()->data(g.model()->index(1, 2), Qt::BackgroundRole).isValid());
    g.Clear();
    EXPECT_EQ(g.Rows(), 3) << "Clear keeps the shape";
    EXPECT_EQ(g.TextMatrix(2, 1), QString());
    EXPECT_FALSE(g.CellForeColor().isValid());
}

TEST(FlexGrid, RedrawOffGathersAFillIntoOneUpdate)
{
    FlexGrid g;
    fill(g, 50); // a previous list the view shows
    QSignalSpy inserted(g.model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(g.model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(g.model(), &QAbstractItemModel::dataChanged);

    // A fill as the window does it: headings and one empty row, then the
    // grid sized once for the cards and filled a row at a time. Widths set
    // meanwhile arrive with the redraw.
    const int cards = 32766;
    const auto start = std::chrono::steady_clock::now();
    g.setRedraw(false);
    g.Clear();
    g.setRows(2);
    g.setRows(cards + 2);
    g.setColWidth(4, 1200);
    const std::string_view texts[] = {"card", "card", "card", "card", "card"};
    for (int k = 1; k <= cards; ++k)
        g.fillRow(k, texts, QColor(), Qt::white);
    g.setRow(cards);
    g.setCol(0);
    EXPECT_EQ(inserted.count() + removed.count() + changed.count(), 0) << "no signal while redraw is off";
    EXPECT_EQ(g.model()->rowCount(), 50) << "the view still sees the old shape";
    g.setRedraw(true);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(g.model()->rowCount(), cards + 1);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(g.model()->data(g.model()->index(cards, 0)).toString(), QString()) << "the empty last row";
    EXPECT_EQ(g.currentIndex(), g.model()->index(cards - 1, 0)) << "current cell brought over to the view";
    EXPECT_EQ(g.columnWidth(4), qRound(1200 * g.logicalDpiX() / 1440.0));
    EXPECT_LT(ms, 1500) << "a fill of " << cards << " rows took " << ms << " ms";
    g.setRow(cards);
    g.setCol(4);
    EXPECT_EQ(g.CellBackColor(), QColor(Qt::white));
    EXPECT_FALSE(g.CellForeColor().isValid()) << "an invalid colour leaves the grid's own";
}

TEST(FlexGrid, CellsKeepTheirTextsThroughRewritesAndDroppedRows)
{
    FlexGrid g;
    fill(g, 3);
    const std::string_view row[] = {"דנה כהן", "03-1234567"}; // the cells after them keep their texts
    g.fillRow(2, row);
    // Rewritten often enough that the old texts are cleared out along the way.
    for (int i = 0; i < 40000; ++i)
        g.setTextMatrix(1, 0, QStringLiteral("rewrite %1 of a cell, forty bytes long..").arg(i));
    EXPECT_EQ(g.TextMatrix(1, 0), QStringLiteral("rewrite 39999 of a cell, forty bytes long.."));
    EXPECT_EQ(g.TextMatrix(1, 4), QStringLiteral("r1c4"));
    EXPECT_EQ(g.TextMatrix(2, 0), QStringLiteral("דנה כהן"));
    EXPECT_EQ(g.TextMatrix(2, 1), QStringLiteral("03-1234567"));
    EXPECT_EQ(g.TextMatrix(2, 2), QStringLiteral("r2c2"));
    EXPECT_EQ(g.TextMatrix(3, 3), QStringLiteral("r3c3"));
    // Rows dropped and added again come back empty; fewer columns keep theirs.
    g.setRows(2);
    g.setRows(4);
    g.setCols(3);
    EXPECT_EQ(g.TextMatrix(3, 0), QString());
    EXPECT_EQ(g.TextMatrix(1, 2), QStringLiteral("r1c2"));
    EXPECT_EQ(g.model()->data(g.model()->index(0, 0)).toString(), g.TextMatrix(1, 0));
}

TEST(FlexGrid, MouseKeyAndFocusEvents)
{
    FlexGrid g;
    fill(g, 5);
    g.resize(500, 300);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    const auto centre = [&](int row, int col) { return g.visualRect(g.model()->index(row - 1, col)).center(); };
    QSignalSpy click(&g, &FlexGrid::Click);
    QSignalSpy down(&g, &FlexGrid::MouseDown);
    QSignalSpy dbl(&g, &FlexGrid::DblClick);
    QSignalSpy keys(&g, &FlexGrid::KeyPress);
    QSignalSpy focus(&g, &FlexGrid::FocusChanged);
    int rowAtClick = -1;
    QObject::connect(&g, &FlexGrid::Click, &g, [&] { rowAtClick = g.Row(); });

    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, centre(3, 2));
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(rowAtClick, 3) << "Click comes after the current cell moved";
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down.at(0).at(0).toInt(), 1);

    QTest::mouseClick(g.viewport(), Qt::RightButton, {}, centre(5, 4));
    EXPECT_EQ(click.count(), 1) << "a right click is no Click";
    ASSERT_EQ(down.count(), 2);
    EXPECT_EQ(down.at(1).at(0).toInt(), 2);
    EXPECT_EQ(down.at(1).at(1).toPoint(), g.viewport()->mapToGlobal(centre(5, 4)));
    EXPECT_EQ(g.Row(), 3) << "the right button leaves the current cell";
    EXPECT_EQ(g.Col(), 2);

    QTest::mouseDClick(g.viewport(), Qt::LeftButton, {}, centre(4, 0));
    EXPECT_EQ(dbl.count(), 1);
    EXPECT_LE(click.count(), 3) << "one double-click is at most two clicks";

    // Typed text is reported per character and does not move the view by
    // its own keyboard search. The keys that move through the rows are left
    // to the owner; Left and Right still move the current column.
    g.setRow(1);
    QTest::sendKeyEvent(QTest::Click, &g, Qt::Key_unknown, QStringLiteral("r5"), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Click, &g, Qt::Key_unknown, QString(QChar(0x05D0)), Qt::NoModifier);
    QTest::keyClick(&g, Qt::Key_Escape);
    ASSERT_EQ(keys.count(), 4);
    EXPECT_EQ(keys.at(1).at(0).toInt(), '5');
    EXPECT_EQ(keys.at(2).at(0).toInt(), 0x05D0);
    EXPECT_EQ(keys.at(3).at(0).toInt(), 27);
    EXPECT_EQ(g.Row(), 1);
    QSignalSpy keyDown(&g, &FlexGrid::KeyDown);
    const int col = g.Col();
    for (const Qt::Key k : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up, Qt::Key_Home, Qt::Key_Right}) {
        QTest::keyClick(&g, k);
        ASSERT_FALSE(keyDown.isEmpty());
        EXPECT_EQ(keyDown.takeLast().at(0).toInt(), k);
        EXPECT_EQ(g.Row(), 1);
    }
    EXPECT_EQ(g.Col(), col + 1);

    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(&g, &out);
    ASSERT_EQ(focus.count(), 1);
    EXPECT_FALSE(focus.at(0).at(0).toBool());
}
