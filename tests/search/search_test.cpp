// The search window driven through the real windows over a real directory
// file: opened from the main window, the list rebuilt as the text changes,
// the chosen card's line, the "2" key, and the window's life beside the main
// window.
#include "tests/mainwin/grid_fixture.h"

#include <QLabel>
#include <QToolButton>

#include "platform/controls/ListBox.h"
#include "search/SearchFrm.h"
#include "tests/support/FakeTray.h"

namespace numora::test {
namespace {

QString pad(const QString& s, int width) { return s.leftJustified(width, QLatin1Char(' ')); }

// The headings stand where their columns start, left to right.
QString header(const char* fifth)
{
    return " " + pad(heb(fifth), 11) + pad(heb("טל' בעבודה"), 12) + pad(heb("פלאפון"), 12) + pad(heb("טל' בבית"), 11) +
           heb("שם/חברה").rightJustified(17);
}
const QString kPersonalHeader = header("פקס");
const QString kWorkHeader = header("מחלקה");

// Where a label's text is drawn: the spans of pixel columns holding ink, told
// apart by gaps wider than minGap pixels.
std::vector<std::pair<int, int>> inkSpans(QWidget* label, bool (*ink)(QRgb), double minGap)
{
    const QImage image = label->grab().toImage();
    std::vector<std::pair<int, int>> spans;
    int lastInk = -1000;
    for (int x = 0; x < image.width(); ++x) {
        bool any = false;
        for (int y = 0; y < image.height() && !any; ++y)
            any = ink(image.pixel(x, y));
        if (!any)
            continue;
        if (x - lastInk > minGap)
            spans.push_back({x, x + 1});
        spans.back().second = x + 1;
        lastInk = x;
    }
    return spans;
}
QString entry(const QString& name) { return name.rightJustified(22, QLatin1Char(' ')); }

class SearchTest : public GridWindowTest {
protected:
    void TearDown() override
    {
        if (SearchFrm* s = SearchFrm::existingInstance())
            s->close();
        GridWindowTest::TearDown();
    }

    SearchFrm& open()
    {
        QTest::mouseClick(w->btnSearch, Qt::LeftButton);
        SearchFrm* s = SearchFrm::existingInstance();
        EXPECT_TRUE(s && s->isVisible());
        return *s;
    }

    static QStringList entries(const SearchFrm& s)
    {
        QStringList list;
        for (int i = 0; i < s.LstSearch->ListCount(); ++i)
            list << s.LstSearch->List(i);
        return list;
    }

    // Keys typed into the text box, Hebrew letters too.
    static void typeKeys(SearchFrm& s, const QString& text)
    {
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, s.TxtStr, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }

    static void retype(SearchFrm& s, const QString& text)
    {
        s.TxtStr->clear();
        typeKeys(s, text);
    }

    static void clickEntry(SearchFrm& s, int index)
    {
        const QRect at = s.LstSearch->visualRect(s.LstSearch->model()->index(index, 0));
        QTest::mouseClick(s.LstSearch->viewport(), Qt::LeftButton, {}, at.center());
    }

    FakeTray tray;
};

using SearchOnBothEngines = OnBothEngines<SearchTest>;

TEST_P(SearchOnBothEngines, ListsExactPrefixesOfTheChosenGroupRightAlignedInNameOrder)
{
    std::vector<Card> cards = personalCards();
    cards.push_back({"צ'רלי כהן", "03-5550101", std::nullopt, std::nullopt, std::nullopt});
    cards.push_back({"שם ארוך מאוד של עשרים ושלוש", "03-5550102", std::nullopt, std::nullopt, std::nullopt});
    cards.push_back({"50% הנחה", "03-5550103", std::nullopt, std::nullopt, std::nullopt});
    cards.push_back({"C:\\תיקייה", "03-5550104", std::nullopt, std::nullopt, std::nullopt});
    cards.push_back({"טאב\tשם", "03-5550105", std::nullopt, std::nullopt, std::nullopt});
    insertCards(path(), store::kPersonalTable, cards);
    insertCards(path(), store::kWorkTable, workCards());
    // Every name of the group in the listing's order, trimmed and
    // right-aligned; a name of more than 22 characters has no room.
    QStringList everyName;
    for (const Row& row : SqliteFile(path()).rows("select Name from Vemo order by Name"))
        if (const QString trimmed = QString::fromStdString(*row[0]).trimmed(); trimmed.size() <= 22)
            everyName << entry(trimmed);
    EXPECT_EQ(everyName.size(), static_cast<qsizetype>(cards.size()) - 1);
    start();
    SearchFrm& s = open();
    EXPECT_EQ(s.windowTitle(), QStringLiteral("Record Searching..."));
    EXPECT_TRUE(s.TxtStr->text().isEmpty());
    EXPECT_EQ(s.LstSearch->ListCount(), 0);
    EXPECT_TRUE(s.LblHdr->text().isEmpty());

    // Exact, case and all, at the start of the trimmed name only.
    retype(s, "o");
    EXPECT_EQ(entries(s), QStringList{entry("orbit")});
    retype(s, "Or");
    EXPECT_EQ(entries(s), QStringList{entry("Orion Tech")});
    retype(s, heb("לו"));
    EXPECT_EQ(entries(s), QStringList{entry(heb("לוי אבי"))});
    EXPECT_EQ(Module1().strLookupSql, QStringLiteral("select * from Vemo order by Name  ASC"));

    // A quote, a percent sign or a backslash in the text is no wildcard and
    // breaks nothing.
    retype(s, heb("50%"));
    EXPECT_EQ(entries(s), QStringList{entry(heb("50% הנחה"))});
    retype(s, heb("%"));
    EXPECT_EQ(entries(s), QStringList{});
    retype(s, heb("C:\\"));
    EXPECT_EQ(entries(s), QStringList{entry(heb("C:\\תיקייה"))});
    retype(s, heb("\\"));
    EXPECT_EQ(entries(s), QStringList{});
    s.TxtStr->setText(heb("טאב\t")); // a control character comes pasted, not typed
    EXPECT_EQ(entries(s), QStringList{entry(heb("טאב\tשם"))});
    retype(s, heb("צ'"));
    EXPECT_EQ(entries(s), QStringList{entry(heb("צ'רלי כהן"))});
    s.LstSearch->setListIndex(0);
    EXPECT_TRUE(s.LblSel->text().endsWith(heb("צ'רלי כהן"))) << s.LblSel->text().toStdString();

    // A name stored with blanks around it is found as it is shown.
    retype(s, heb("בל"));
    EXPECT_EQ(entries(s), QStringList{entry(heb("בלום עדי"))});
    clickEntry(s, 0);
    EXPECT_EQ(s.LblSel->text(),
              " " + QString(11 + 12 + 12, ' ') + pad("04-5550031", 11) + heb("בלום עדי").rightJustified(17));

    // Deleting the text lists every name of the group.
    s.TxtStr->clear();
    EXPECT_EQ(entries(s), everyName);

    // The group is read at every change of the text.
    chooseGroup(QStringLiteral("Work"));
    retype(s, heb("ל"));
    EXPECT_EQ(entries(s), (QStringList{entry(heb("לנדאו שירה")), entry(heb("לרנר תמר"))}));
}

INSTANTIATE_TEST_SUITE_P(Engines, SearchOnBothEngines, ::testing::Values(Engine::File, Engine::Server), engineName);

TEST_F(SearchTest, AClickShowsTheGroupsHeaderAndTheCardsFixedWidthLine)
{
    std::vector<Card> cards = personalCards();
    cards.push_back({"ריק", std::nullopt, std::nullopt, std::nullopt, "03-1"});
    cards.push_back({"רוזנבלום-אלמוג דניאל", "03-5550201", "050-55502019999", std::nullopt, std::nullopt});
    insertCards(path(), store::kPersonalTable, cards);
    insertCards(path(), store::kWorkTable, workCards());
    start();
    SearchFrm& s = open();

    retype(s, heb("אש"));
    clickEntry(s, 0);
    EXPECT_EQ(s.LblHdr->text(), kPersonalHeader);
    const QString line = s.LblSel->text();
    EXPECT_EQ(line, " " + pad("03-5550003", 11) + pad("03-5550002", 12) + pad("", 12) + pad("03-5550001", 11) +
                        heb("אשכול נועה").rightJustified(17));
    EXPECT_EQ(line.size(), 64);

    // Empty numbers are only spaces; the name still ends at 64.
    retype(s, heb("ריק"));
    clickEntry(s, 0);
    EXPECT_EQ(s.LblSel->text(), " " + pad("03-1", 11) + QString(12 + 12 + 11 + 14, ' ') + heb("ריק"));

    // A name longer than its column is shown whole at the line's end; a
    // number longer than its column is cut so the columns stay in place.
    retype(s, heb("רוז"));
    clickEntry(s, 0);
    EXPECT_EQ(s.LblSel->text(), " " + pad("", 11) + pad("", 12) + heb("050-555020…") + QLatin1Char(' ') +
                                    pad("03-5550201", 11) + heb("רוזנבלום-אלמוג דניאל"));

    // Work: the department heads the first column.
    chooseGroup(QStringLiteral("Work"));
    retype(s, heb("לנ"));
    clickEntry(s, 0);
    EXPECT_EQ(s.LblHdr->text(), kWorkHeader);
    EXPECT_TRUE(s.LblSel->text().startsWith(" " + pad(heb("פיתוח"), 11) + pad("03-5551002", 12)))
        << s.LblSel->text().toStdString();

    // A card gone since it was listed, and a list of the other group, show
    // nothing rather than the card shown before.
    SqliteFile(path()).exec("DELETE FROM Work");
    clickEntry(s, 0);
    EXPECT_TRUE(s.LblHdr->text().isEmpty());
    EXPECT_TRUE(s.LblSel->text().isEmpty());
    EXPECT_EQ(entries(s), QStringList{entry(heb("לנדאו שירה"))});
    EXPECT_TRUE(boxes.asked.empty());
}

TEST_F(SearchTest, BothLinesReadLeftToRightEachValueUnderItsHeadingAndALongNameWhole)
{
    insertCards(path(), store::kWorkTable, {{"רוזנבלום-אלמוג דניאל", "03-1", "050-2", "03-3", "מחלקה 0"}});
    start();
    chooseGroup(QStringLiteral("Work"));
    SearchFrm& s = open();
    retype(s, heb("רוז"));
    clickEntry(s, 0);
    EXPECT_EQ(s.LblHdr->text(), kWorkHeader);
    EXPECT_EQ(s.LblSel->text(), " " + pad(heb("מחלקה 0"), 11) + pad("03-3", 12) + pad("050-2", 12) + pad("03-1", 11) +
                                    heb("רוזנבלום-אלמוג דניאל"));

    // As drawn: the values in their stored order, the department first and
    // the name last, each where its column starts, and the line whole.
    // Columns are told apart by gaps of more than two and a half characters.
    const double gap = 2.5 * QFontMetricsF(s.LblSel->font()).horizontalAdvance(QLatin1Char('0'));
    const auto values = inkSpans(
        s.LblSel, [](QRgb p) { return qRed(p) > 100; }, gap);
    ASSERT_EQ(values.size(), 5u);
    const double cell = (values[3].first - values[0].first) / 35.0; // home starts 35 characters after the department
    const auto at = [&](int character) { return character * cell; };
    EXPECT_NEAR(values[0].first, at(1), cell / 2);
    EXPECT_NEAR(values[0].second, at(8), cell / 2) << "the department, 7 characters";
    EXPECT_NEAR(values[1].first, at(12), cell / 2);
    EXPECT_NEAR(values[2].first, at(24), cell / 2);
    EXPECT_NEAR(values[4].first, at(47), cell / 2);
    EXPECT_NEAR(values[4].second, at(67), cell / 2) << "the name, 20 characters";
    EXPECT_LT(values[4].second, s.LblSel->contentsRect().right());

    // The headings over them, the department's over the department.
    const auto headings = inkSpans(
        s.LblHdr, [](QRgb p) { return qBlue(p) < 170; }, gap);
    ASSERT_FALSE(headings.empty());
    EXPECT_NEAR(headings.front().first, values[0].first, cell / 2);
    EXPECT_NEAR(headings.back().second, at(64), cell / 2);
}

TEST_F(SearchTest, TheKeyTwoChoosesTheFirstOrNextEntryAndIsStillTyped)
{
    insertCards(path(), store::kPersonalTable,
                {{"2 אבי", "03-1", std::nullopt, std::nullopt, std::nullopt},
                 {"22 בני", "03-2", std::nullopt, std::nullopt, std::nullopt},
                 {"222 גדי", "03-3", std::nullopt, std::nullopt, std::nullopt}});
    start();
    SearchFrm& s = open();

    // Nothing selected: the first entry is chosen and shown, then the 2 is typed.
    retype(s, "2");
    ASSERT_EQ(s.LstSearch->ListCount(), 3);
    ASSERT_EQ(s.LstSearch->ListIndex(), -1);
    typeKeys(s, "2");
    EXPECT_TRUE(s.LblSel->text().endsWith(heb(" 2 אבי")));
    EXPECT_EQ(s.TxtStr->text(), QStringLiteral("22"));
    EXPECT_EQ(entries(s), (QStringList{entry(heb("22 בני")), entry(heb("222 גדי"))}));

    // On an entry before the last: the next one.
    s.LstSearch->setListIndex(0);
    typeKeys(s, "2");
    EXPECT_TRUE(s.LblSel->text().endsWith(heb(" 222 גדי")));

    // On the last entry nothing moves; the 2 is typed all the same.
    retype(s, "22");
    s.LstSearch->setListIndex(1);
    const QString shown = s.LblSel->text();
    typeKeys(s, "2");
    EXPECT_EQ(s.LblSel->text(), shown);
    EXPECT_EQ(s.TxtStr->text(), QStringLiteral("222"));
    EXPECT_EQ(entries(s), QStringList{entry(heb("222 גדי"))});

    // Any other key only types.
    typeKeys(s, "3");
    EXPECT_EQ(s.LblSel->text(), shown);
    EXPECT_EQ(s.LstSearch->ListCount(), 0);
}

TEST_F(SearchTest, MinimisingHidesTheWindowWithItsTextSearchBringsItBackCancelEmptiesIt)
{
    insertCards(path(), store::kPersonalTable, personalCards());
    start();
    SearchFrm& s = open();
    retype(s, "O");
    s.LstSearch->setListIndex(0);
    const QString line = s.LblSel->text();

    s.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!s.isVisible());
    EXPECT_TRUE(s.isLoaded());

    w->mnuSearch->trigger();
    ASSERT_EQ(SearchFrm::existingInstance(), &s);
    EXPECT_TRUE(s.isVisible());
    EXPECT_FALSE(s.isMinimized());
    EXPECT_EQ(s.TxtStr->text(), QStringLiteral("O"));
    EXPECT_EQ(entries(s), QStringList{entry("Orion Tech")});
    EXPECT_EQ(s.LblSel->text(), line);

    QTest::mouseClick(s.btnCancel, Qt::LeftButton);
    EXPECT_FALSE(s.isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(SearchFrm::existingInstance(), nullptr);
    w->popSearch->trigger();
    SearchFrm* again = SearchFrm::existingInstance();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->TxtStr->text().isEmpty());
    EXPECT_EQ(again->LstSearch->ListCount(), 0);
    EXPECT_TRUE(again->LblSel->text().isEmpty());
}

} // namespace
} // namespace numora::test
