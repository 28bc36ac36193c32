// Filling the directory grid: start-up, letter tabs, group changes, All, a
// listing that cannot be opened, and a group too big for 16-bit counters.
#include "tests/mainwin/grid_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QToolButton>

#include <functional>

#include "tests/support/Peer.h"

namespace numora::test {
namespace {

const QString kTotal = QStringLiteral(" Total Records ");

TEST_F(GridWindowTest, StartUpListsPersonalFirstLetterInGridAndRecordsetOrder)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    start();
    const Module1State& m = Module1();
    EXPECT_EQ(m.strCurrentLetter, heb("א"));
    EXPECT_EQ(w->TabVemo->currentIndex(), 0);

    EXPECT_EQ(grid().TextMatrix(0, 0), heb("שם/חברה"));
    EXPECT_EQ(grid().TextMatrix(0, 4), heb("פקס"));

    // Trimmed names in name order, one empty row after them, Null shown empty.
    EXPECT_EQ(listedNames(), QStringList({heb("אלון דוד"), heb("ארבל מיכל"), heb("אשכול נועה")}));
    EXPECT_EQ(grid().Rows(), 5);
    EXPECT_EQ(grid().TextMatrix(1, 4), QString());
    EXPECT_EQ(grid().TextMatrix(3, 2), QString());
    EXPECT_EQ(grid().TextMatrix(3, 1), QStringLiteral("03-5550001"));
    EXPECT_EQ(grid().TextMatrix(4, 0), QString());
    EXPECT_EQ(w->panelText(1), kTotal + "3");

    // Card k of the listing is grid row k.
    EXPECT_EQ(recordsetNames(), QStringList({heb("אלון דוד  "), heb("ארבל מיכל"), heb("אשכול נועה")}));

    EXPECT_EQ(grid().Row(), 3);
    EXPECT_FALSE(w->btnEdit->isEnabled());

    // The tab fill paints its cells black on white; a refresh leaves the grid's own colours.
    grid().setRow(2);
    grid().setCol(3);
    EXPECT_EQ(grid().CellBackColor(), QColor(Qt::white));
    EXPECT_EQ(grid().CellForeColor(), QColor(Qt::black));
    w->RefreshGrid();
    grid().setRow(2);
    EXPECT_FALSE(grid().CellBackColor().isValid());
    EXPECT_EQ(listedNames().size(), 3);
}

using GridOnBothEngines = OnBothEngines<GridWindowTest>;

TEST_P(GridOnBothEngines, LettersAndGroupsNarrowTheList)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    insertCards(path(), store::kWorkTable, workCards());
    start();

    chooseTab(2); // gimel: nobody
    EXPECT_EQ(grid().Rows(), 2);
    EXPECT_EQ(grid().TextMatrix(0, 0), heb("שם/חברה"));
    EXPECT_EQ(w->panelText(1), kTotal + "0");
    EXPECT_EQ(grid().Row(), 0);

    chooseGroup(QStringLiteral("Work"));
    chooseTab(11); // lamed
    EXPECT_EQ(listedNames(), QStringList({heb("לנדאו שירה"), heb("לרנר תמר")}));
    EXPECT_EQ(grid().TextMatrix(0, 4), heb("מחלקה"));
    EXPECT_EQ(grid().TextMatrix(1, 4), heb("פיתוח"));
    EXPECT_EQ(grid().TextMatrix(1, 1), QStringLiteral("03-5551001")) << "Home in column 1";

    chooseGroup(QStringLiteral("Personal"));
    EXPECT_EQ(listedNames(), QStringList({heb("לביא רונית"), heb("לוי אבי")}));
    EXPECT_EQ(grid().TextMatrix(0, 4), heb("פקס"));

    // Names starting with a final letter, a Latin letter or a digit are under no tab.
    QStringList underTabs;
    for (int t = 0; t < 22; ++t) {
        chooseTab(t);
        underTabs << listedNames();
    }
    for (const char* name : {"ךרמון גדי", "Orion Tech", "orbit", "144 מודיעין"})
        EXPECT_FALSE(underTabs.contains(heb(name))) << name;

    // All lists the whole group and stays in force across a group change.
    QTest::mouseClick(w->btnAll, Qt::LeftButton);
    EXPECT_EQ(Module1().strCurrentLetter, QStringLiteral("ALL"));
    EXPECT_EQ(grid().Rows(), 13);
    EXPECT_EQ(w->panelText(1), kTotal + "11");
    for (const char* name : {"ךרמון גדי", "Orion Tech", "144 מודיעין", "בלום עדי"})
        EXPECT_TRUE(listedNames().contains(heb(name))) << name;
    EXPECT_EQ(recordsetNames().size(), 11);
    chooseGroup(QStringLiteral("Work"));
    EXPECT_EQ(listedNames(), QStringList({heb("אורן עמרי"), heb("לנדאו שירה"), heb("לרנר תמר")}));
    EXPECT_EQ(w->panelText(1), kTotal + "3");
    EXPECT_EQ(w->TabVemo->currentIndex(), 21) << "the tab strip keeps the tab last chosen";
}

INSTANTIATE_TEST_SUITE_P(Engines, GridOnBothEngines, ::testing::Values(Engine::File, Engine::Server), engineName);

TEST_F(GridWindowTest, ListingThatCannotBeOpenedEndsWithHeadingsAndNoCount)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    start();
    ASSERT_EQ(w->panelText(1), kTotal + "3");

    QFile f(env.dbPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(4096, 'x')); // not a database
    f.close();

    w->RefreshGrid();
    EXPECT_EQ(grid().Rows(), 2);
    EXPECT_EQ(grid().TextMatrix(0, 1), heb("טל' בבית"));
    EXPECT_EQ(w->panelText(1), kTotal + "0");

    // All has no failure handling of its own; it must still not end the program.
    EXPECT_NO_THROW(w->btnAll_Click());
    EXPECT_EQ(grid().Rows(), 2);
    EXPECT_EQ(w->panelText(1), kTotal + "0");
    EXPECT_NO_THROW(chooseGroup(QStringLiteral("Work")));
    EXPECT_EQ(w->panelText(1), kTotal + "0");

    QFile::remove(env.dbPath());
    chooseTab(0);
    EXPECT_EQ(grid().Rows(), 2);
    EXPECT_EQ(w->panelText(1), kTotal + "0");
}

// Another program, in a process of its own, holds the file while the user
// picks a letter, a group and All: the window answers at once, the grid keeps
// the cards it lists (still the ones Edit and Delete reach) and its count,
// the tab, group and letter go back to them, and the lock is named. Once the
// lock goes, the letter is listed.
TEST_F(GridWindowTest, AFillMeetingAnotherProgramsLockKeepsTheListAndSaysSo)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    insertCards(path(), store::kWorkTable, workCards());
    start();
    const QStringList listed = listedNames();
    ASSERT_EQ(listed.size(), 3);
    Peer other;
    other.must("open " + path());
    other.must("sql BEGIN EXCLUSIVE");

    const QString said = "The directory file " + env.dbPath() +
                         " is in use by another program; the list stays as it was. Try again when that program "
                         "has finished with it.";
    const std::function<void()> tries[] = {[&] { chooseTab(1); }, [&] { chooseGroup(QStringLiteral("Work")); },
                                           [&] { w->btnAll->click(); }};
    for (const auto& attempt : tries) {
        boxes.asked.clear();
        QElapsedTimer clock;
        clock.start();
        attempt();
        EXPECT_LT(clock.elapsed(), 1000) << "the window waited for the lock";
        ASSERT_EQ(boxes.asked.size(), 1u);
        EXPECT_EQ(boxes.asked[0].text, said);
        EXPECT_EQ(boxes.asked[0].style, ui::vbExclamation);
        EXPECT_EQ(listedNames(), listed);
        EXPECT_EQ(recordsetNames().size(), 3);
        EXPECT_EQ(w->panelText(1), kTotal + "3");
        EXPECT_EQ(w->TabVemo->currentIndex(), 0);
        EXPECT_EQ(w->cmbGroup->currentText(), QStringLiteral("Personal"));
        EXPECT_EQ(Module1().strCurrentLetter, heb("א"));
    }

    other.must("sql ROLLBACK");
    boxes.asked.clear();
    chooseTab(1);
    EXPECT_EQ(listedNames(), QStringList{heb("ברק יוסי")});
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(GridWindowTest, GroupBeyond16BitCountersListsAndCountsEveryCard)
{
    const int cards = 32800;
    std::vector<Card> many;
    many.reserve(cards);
    for (int i = 0; i < cards; ++i)
        many.push_back({"א" + std::to_string(100000 + i), "03-555", std::nullopt, std::nullopt, "fax"});
    insertCards(path(), store::kPersonalTable, many);
    start();
    EXPECT_EQ(grid().Rows(), cards + 2);
    EXPECT_EQ(w->panelText(1), kTotal + QString::number(cards));
    EXPECT_EQ(grid().TextMatrix(cards, 0), heb("א") + QString::number(100000 + cards - 1));
    EXPECT_EQ(grid().Row(), cards);

    w->btnAll_Click();
    EXPECT_EQ(Module1().intRowCount, cards);
    EXPECT_EQ(Module1().rsDirectory->count(), cards);

    // A row beyond 32,767 is reached and highlighted by type-ahead.
    type(heb("א") + QString::number(100000 + cards - 2));
    EXPECT_EQ(grid().Row(), cards - 1);
    EXPECT_EQ(Module1().intSelectedRow, cards - 1);
}

} // namespace
} // namespace numora::test
