// The grid's events on the main window: choosing a row, type-ahead, the
// right button, and the Debug item with the edit-buffer demonstration.
#include "tests/mainwin/grid_fixture.h"

#include <QMenu>
#include <QScrollBar>
#include <QToolButton>

#include "tests/support/SqliteFile.h"

namespace numora::test {
namespace {

bool highlighted(const controls::FlexGrid& g, int row)
{
    auto& grid = const_cast<controls::FlexGrid&>(g);
    const int r = grid.Row(), c = grid.Col();
    grid.setRow(row);
    grid.setCol(2);
    const bool on = grid.CellForeColor() == QColor(Qt::white) &&
                    grid.CellBackColor() == grid.palette().color(QPalette::Active, QPalette::Highlight);
    grid.setRow(r);
    grid.setCol(c);
    return on;
}

TEST_F(GridWindowTest, ClickingARowHighlightsItShowsItsTextAndEnablesEditAndDelete)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    start();
    clickCell(1, 3);
    EXPECT_EQ(grid().Row(), 1);
    EXPECT_EQ(grid().Col(), 3) << "the clicked column is current again after the row text";
    EXPECT_TRUE(highlighted(grid(), 1));
    EXPECT_EQ(w->TxtIndex->text(), heb("אלון דוד 03-5550011 050-5550011 03-5550012 "));
    for (QWidget* b : {static_cast<QWidget*>(w->btnEdit), static_cast<QWidget*>(w->btnDelete)})
        EXPECT_TRUE(b->isEnabled());
    for (QAction* a : {w->mnuEdit, w->mnuDel, w->popEdit, w->popDel})
        EXPECT_TRUE(a->isEnabled());

    // The empty last row can be chosen too: four spaces between five empty cells.
    clickCell(4, 0);
    EXPECT_TRUE(highlighted(grid(), 4));
    EXPECT_FALSE(highlighted(grid(), 1));
    grid().setRow(1);
    EXPECT_EQ(grid().CellBackColor(), QColor(Qt::white)) << "the row left behind is black on white";
    EXPECT_EQ(w->TxtIndex->text(), QStringLiteral("    "));
    EXPECT_EQ(Module1().intSelectedRow, 4);
    EXPECT_TRUE(w->btnEdit->isEnabled());

    // The next fill clears the choice.
    w->RefreshGrid();
    EXPECT_TRUE(w->TxtIndex->text().isEmpty());
    EXPECT_FALSE(w->btnEdit->isEnabled());
    EXPECT_EQ(Module1().intSelectedRow, 0);
}

TEST_F(GridWindowTest, AClickWithTheOldHighlightOffScreenLeavesTheListWhereItIs)
{
    std::vector<Card> many;
    for (int i = 0; i < 80; ++i)
        many.push_back({"א" + std::to_string(100 + i), "03-555" + std::to_string(1000 + i), {}, {}, {}});
    insertCards(path(), store::kPersonalTable, many);
    start();
    clickCell(1, 0);
    ASSERT_TRUE(highlighted(grid(), 1));

    QScrollBar& bar = *grid().verticalScrollBar();
    bar.setValue(bar.maximum());
    const int scrolled = bar.value();
    ASSERT_GT(scrolled, 0);
    const QPoint pointer = grid().viewport()->rect().center();
    const int under = grid().indexAt(pointer).row() + 1;

    QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, pointer);
    EXPECT_EQ(bar.value(), scrolled) << "the click scrolled the list";
    EXPECT_EQ(grid().Row(), under);
    EXPECT_TRUE(highlighted(grid(), under));
    EXPECT_FALSE(highlighted(grid(), 1));
    EXPECT_TRUE(w->TxtIndex->text().startsWith(grid().TextMatrix(under, 0)));

    // Both presses of a double-click land on the same row.
    QTest::mouseDClick(grid().viewport(), Qt::LeftButton, {}, pointer);
    EXPECT_EQ(bar.value(), scrolled);
    EXPECT_EQ(grid().Row(), under);
    EXPECT_TRUE(highlighted(grid(), under));
}

TEST_F(GridWindowTest, TheListKeysChooseACardAsAClickDoesAndEnterEditsIt)
{
    std::vector<Card> many;
    for (int i = 0; i < 80; ++i)
        many.push_back({"א" + std::to_string(100 + i), "03-555" + std::to_string(1000 + i), "", "", ""});
    insertCards(path(), store::kPersonalTable, many);
    start();
    const auto key = [&](Qt::Key k) { QTest::keyClick(&grid(), k); };
    // The card chosen: highlighted alone, in view, its text shown, Edit and Delete on.
    const auto chosen = [&](int row) {
        EXPECT_EQ(grid().Row(), row);
        EXPECT_EQ(Module1().intSelectedRow, row);
        EXPECT_TRUE(highlighted(grid(), row)) << row;
        EXPECT_TRUE(grid().viewport()->rect().contains(cellCentre(row, 0))) << row << " is out of view";
        EXPECT_TRUE(w->TxtIndex->text().startsWith(QString::fromUtf8("א%1 03-555%2").arg(99 + row).arg(999 + row)));
        EXPECT_TRUE(w->btnEdit->isEnabled() && w->btnDelete->isEnabled() && w->popEdit->isEnabled());
    };
    key(Qt::Key_Down); // nothing chosen yet: the first card
    chosen(1);
    key(Qt::Key_Down);
    chosen(2);
    EXPECT_FALSE(highlighted(grid(), 1));
    key(Qt::Key_End);
    chosen(80);
    key(Qt::Key_Down); // the empty row below is no card
    chosen(80);
    const int page = grid().VisibleRows() - 1;
    ASSERT_GT(page, 1);
    key(Qt::Key_PageUp);
    chosen(80 - page);
    key(Qt::Key_Home);
    chosen(1);
    key(Qt::Key_PageDown);
    chosen(1 + page);
    key(Qt::Key_Up);
    chosen(page);
    EXPECT_FALSE(highlighted(grid(), 1 + page));

    // Enter edits the card chosen, asking first as Edit does.
    key(Qt::Key_Return);
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, QStringLiteral("Do you want updating this record?"));
    FrmNewPhn* editor = FrmNewPhn::existingInstance();
    ASSERT_TRUE(editor && editor->isVisible());
    EXPECT_EQ(editor->TxtName->text(), QString::fromUtf8("א%1").arg(99 + page));
    EXPECT_EQ(Module1().intCurrentRow, page);
}

TEST_F(GridWindowTest, TypeAheadStopsMatchingUntilTheTypedPrefixIsCleared)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    start(); // אלון דוד, ארבל מיכל, אשכול נועה
    type(heb("א"));
    EXPECT_EQ(grid().Row(), 1);
    EXPECT_TRUE(highlighted(grid(), 1));
    EXPECT_TRUE(w->TxtIndex->text().isEmpty()) << "type-ahead leaves the row text alone";

    type(heb("ב")); // nobody begins with אב: back to the row before
    EXPECT_EQ(grid().Row(), 1);
    type(heb("ל")); // אל would match, but the prefix is אבל now
    EXPECT_EQ(grid().Row(), 1);
    EXPECT_EQ(Module1().strTypedPrefix, heb("אבל"));

    QTest::keyClick(&grid(), Qt::Key_Escape);
    EXPECT_TRUE(Module1().strTypedPrefix.isEmpty());
    type(heb("אש"));
    EXPECT_EQ(grid().Row(), 3);
    EXPECT_TRUE(highlighted(grid(), 3));
    EXPECT_FALSE(highlighted(grid(), 1));

    // A click and a focus loss also start the prefix afresh.
    clickCell(2, 0);
    EXPECT_TRUE(Module1().strTypedPrefix.isEmpty());
    type(heb("x"));
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    QApplication::sendEvent(&grid(), &out);
    EXPECT_TRUE(Module1().strTypedPrefix.isEmpty());
}

TEST_F(GridWindowTest, TypeAheadIsCaseSensitiveAnchoredAndComparesTrimmedNames)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    start();
    w->btnAll_Click(); // בלום עדי (blanks around), 144 מודיעין, Orion Tech, orbit, ...
    type(QStringLiteral("o"));
    EXPECT_EQ(grid().TextMatrix(grid().Row(), 0), QStringLiteral("orbit"));
    QTest::keyClick(&grid(), Qt::Key_Escape);
    type(QStringLiteral("T")); // "Tech" is not at the start of any name
    EXPECT_EQ(grid().TextMatrix(grid().Row(), 0), QStringLiteral("orbit"));
    QTest::keyClick(&grid(), Qt::Key_Escape);
    type(heb("ב"));
    EXPECT_EQ(grid().Row(), 1) << "the stored name begins with blanks; its trimmed text with bet";
}

TEST_F(GridWindowTest, RightButtonKeepsTheRowSavesTheColumnAndShowsThePopup)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    start();
    clickCell(1, 2);
    grid().scrollTo(grid().model()->index(2, 4));
    QTest::mousePress(grid().viewport(), Qt::RightButton, {}, cellCentre(3, 4));
    EXPECT_EQ(grid().Row(), 1) << "the popup acts on the row chosen before";
    EXPECT_EQ(Module1().intSavedCol, 2);
    EXPECT_TRUE(w->popFile->isVisible());
    w->popFile->close();

    // A key that matches nothing returns to the saved column.
    grid().setCol(4);
    type(QStringLiteral("?"));
    EXPECT_EQ(grid().Row(), 1);
    EXPECT_EQ(grid().Col(), 2);
}

TEST_F(GridWindowTest, DebugPanelShowsTheLatestQueryWhileChecked)
{
    insertCards(path(), store::kWorkTable, workCards());
    start();
    w->setPanelText(2, QStringLiteral("before"));
    chooseTab(1);
    EXPECT_EQ(w->panelText(2), QStringLiteral("before")) << "unchecked: the panel is left alone";

    w->mnuDbg->trigger();
    EXPECT_TRUE(w->mnuDbg->isChecked());
    EXPECT_EQ(w->panelText(2),
              QStringLiteral("select * from Vemo order by Name  ASC \\\\ Name like '") + heb("ב") + "*'");
    chooseGroup(QStringLiteral("Work"));
    chooseTab(0);
    EXPECT_EQ(w->panelText(2),
              QStringLiteral("select * from Work order by Name  ASC \\\\ Name like '") + heb("א") + "*'");
    w->mnuAll->trigger();
    EXPECT_EQ(w->panelText(2), QStringLiteral("select * from Work order by Name  ASC"));

    w->mnuDbg->trigger();
    EXPECT_EQ(w->panelText(2), QString());
    chooseTab(11);
    EXPECT_EQ(w->panelText(2), QString());
    w->mnuDbg->trigger();
    EXPECT_EQ(w->panelText(2),
              QStringLiteral("select * from Work order by Name  ASC \\\\ Name like '") + heb("ל") + "*'");
}

TEST_F(GridWindowTest, EditBufferDemonstrationShowsTheBufferAndPutsTheNameBack)
{
    const std::string demo = "ישראל ישראלי";
    insertCards(path(), store::kPersonalTable, {{demo, "03-5550000", std::nullopt, std::nullopt, std::nullopt}});
    const auto names = [&] { return SqliteFile(path()).rows("SELECT Name FROM Vemo"); };
    start();

    w->Image2_Click();
    EXPECT_TRUE(boxes.asked.empty()) << "reachable only while Debug is checked";
    w->mnuDbg->trigger();

    boxes.answer(ui::vbYes);
    w->Image2_Click();
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[0].text,
              heb("Edit in progress:\r  Original data = ישראל ישראלי\r"
                  "  Data in buffer = ישראל ישראליי\r\r"
                  "Use Update to replace the original data with the buffered data in the Recordset?"));
    EXPECT_EQ(boxes.asked[0].style, ui::vbYesNo);
    EXPECT_EQ(boxes.asked[0].title, QStringLiteral("Numora"));
    EXPECT_EQ(boxes.asked[1].text, heb("Data in recordset = ישראל ישראליי"));
    EXPECT_EQ(names(), std::vector<Row>({{demo}})) << "the old name is put back";

    boxes.asked.clear();
    boxes.answer(ui::vbNo);
    w->Image2_Click();
    ASSERT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(boxes.asked[1].text, heb("Data in recordset = ישראל ישראלי"));
    EXPECT_EQ(names(), std::vector<Row>({{demo}}));

    // Without the card it ends quietly and changes nothing.
    SqliteFile(path()).exec("UPDATE Vemo SET Name = 'someone else'");
    boxes.asked.clear();
    w->Image2_Click();
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(names(), std::vector<Row>({{std::string("someone else")}}));
}

} // namespace
} // namespace numora::test
