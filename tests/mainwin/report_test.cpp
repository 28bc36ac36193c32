// The Print command through the main window: the report window it opens, and
// the report as it comes out of it, read back from the PDF it saves, band by
// band and column by column at the places the report was designed with.

#include <QAction>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include "report/DataReport1.h"
#include "tests/mainwin/grid_fixture.h"
#include "tests/support/FakeFileDialogs.h"

namespace numora::test {
namespace {

// The six columns from the page's left edge, in twips inside the margin.
constexpr int kColumnLeft[6] = {0, 2268, 3402, 4535, 5669, 6803};
constexpr int kColumnWidth[6] = {2268, 1140, 1140, 1140, 1155, 1695};
constexpr int kMargin = 1440;
constexpr int kTitleHeight = 570, kBandHeight = 240;

class PrintedReport : public GridWindowTest {
protected:
    void SetUp() override
    {
        GridWindowTest::SetUp();
        insertCards(path(), store::kPersonalTable, personalCards());
        insertCards(path(), store::kWorkTable, workCards());
        pdf_ = env.root() + QStringLiteral("/report.pdf");
    }

    void TearDown() override
    {
        if (DataReport1* report = DataReport1::existingInstance())
            report->close();
        GridWindowTest::TearDown();
    }

    // Prints and saves the report through its window's Save as PDF.
    DataReport1& print()
    {
        w->mnuPrint->trigger();
        DataReport1& report = DataReport1::instance();
        EXPECT_TRUE(report.isVisible());
        QFile::remove(pdf_);
        dialogs.choose(pdf_);
        report.mnuSavePdf->trigger();
        return report;
    }

    // The text the PDF shows inside a box given in twips from the top left
    // corner inside the margins of a page (from 1), without direction marks.
    QString textAt(int page, int left, int top, int width, int height) const
    {
        // In points, 2 points inside each edge: neighbouring boxes meet or
        // overlap by a few twips.
        const auto points = [](int twips) { return QString::number((kMargin + twips + 19) / 20 + 2); };
        const auto inset = [](int twips) { return QString::number(twips / 20 - 4); };
        QProcess pdftotext;
        pdftotext.start(QStringLiteral("pdftotext"),
                        {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page),
                         QStringLiteral("-x"), points(left), QStringLiteral("-y"), points(top),
                         QStringLiteral("-W"), inset(width), QStringLiteral("-H"), inset(height), pdf_,
                         QStringLiteral("-")});
        EXPECT_TRUE(pdftotext.waitForFinished(30000));
        QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        text.remove(QRegularExpression(QStringLiteral("[\\x{200E}\\x{200F}\\x{202A}-\\x{202E}\\f]")));
        return text.simplified();
    }

    // The six cells of the band whose top is at top (twips).
    QStringList band(int page, int top) const
    {
        QStringList cells;
        for (int c = 0; c < 6; ++c)
            cells << textAt(page, kColumnLeft[c], top, kColumnWidth[c], kBandHeight);
        return cells;
    }

    QString title() const { return textAt(1, 1701, 0, 5670, kTitleHeight); }

    FakeFileDialogs dialogs;
    QString pdf_;
};

// Work under lamed: the department under its heading in the second column,
// the work telephone in the third, the home one in the fifth; one band per
// card in name order, an empty field left empty. Then the whole group, and
// the title again.
TEST_F(PrintedReport, ColumnsFieldsAndLetterFollowTheGroup)
{
    start();
    chooseGroup(QStringLiteral("Work"));
    chooseTab(11);
    w->setPanelText(2, QStringLiteral("before"));
    print();
    EXPECT_EQ(w->panelText(2), QString());
    EXPECT_TRUE(boxes.asked.empty());
    EXPECT_EQ(title(), QStringLiteral("Numora Report"));
    EXPECT_EQ(band(1, kTitleHeight), (QStringList{QStringLiteral("Email"), heb("מחלקה"), heb("עבודה"), heb("פלאפון"),
                                                   heb("בית"), heb("שם\\חברה")}));
    EXPECT_EQ(band(1, kTitleHeight + kBandHeight),
              (QStringList{QString(), heb("פיתוח"), QStringLiteral("03-5551002"), QStringLiteral("050-5551001"),
                           QStringLiteral("03-5551001"), heb("לנדאו שירה")}));
    EXPECT_EQ(band(1, kTitleHeight + 2 * kBandHeight),
              (QStringList{QString(), heb("שיווק"), QStringLiteral("03-5551022"), QString(), QStringLiteral("03-5551021"),
                           heb("לרנר תמר")}));
    EXPECT_EQ(band(1, kTitleHeight + 3 * kBandHeight).join(QString()), QString());

    // Personal, every card: the fax under its heading, Line and Phone.
    chooseGroup(QStringLiteral("Personal"));
    w->btnAll->click();
    const DataReport1& report = print();
    EXPECT_EQ(title(), QStringLiteral("Numora Report"));
    EXPECT_EQ(report.layout().cardCount(), 11);
    EXPECT_EQ(band(1, kTitleHeight).at(1), heb("פקס"));
    // The tenth card in name order (blanks and digits sort first).
    EXPECT_EQ(band(1, kTitleHeight + 10 * kBandHeight),
              (QStringList{QString(), QStringLiteral("09-5550043"), QStringLiteral("09-5550042"),
                           QStringLiteral("054-5550041"), QStringLiteral("09-5550041"), heb("לביא רונית")}));
}

// A letter with more cards than a page holds: every page starts with the
// page header, the title stands on the first page alone, and the cards run
// on in name order across the break. Printing again gives the same report.
TEST_F(PrintedReport, PageHeaderOnEveryPageAndTheSameReportTwice)
{
    std::vector<Card> many;
    for (int i = 0; i < 60; ++i)
        many.push_back({"א" + std::to_string(1000 + i), "03-" + std::to_string(5000000 + i), std::nullopt,
                        std::nullopt, std::nullopt});
    insertCards(path(), store::kPersonalTable, many);
    start();
    const QStringList headings{QStringLiteral("Email"), heb("פקס"), heb("עבודה"), heb("פלאפון"), heb("בית"),
                               heb("שם\\חברה")};

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const DataReport1& report = print();
        ASSERT_EQ(report.layout().cardCount(), 63);
        const int pages = report.layout().pageCount();
        ASSERT_EQ(pages, 2);
        EXPECT_EQ(title(), QStringLiteral("Numora Report"));
        EXPECT_EQ(band(1, kTitleHeight), headings);
        EXPECT_EQ(band(1, kTitleHeight + kBandHeight).at(5), heb("א1000"));
        for (int page = 2; page <= pages; ++page) {
            SCOPED_TRACE(page);
            EXPECT_EQ(band(page, 0), headings);
        }
        // The second page goes on with the card after the first page's last.
        const QStringList firstPageNames = textAt(1, kColumnLeft[5], kTitleHeight + kBandHeight, kColumnWidth[5],
                                                  20000)
                                               .split(QLatin1Char(' '));
        ASSERT_FALSE(firstPageNames.isEmpty());
        EXPECT_EQ(firstPageNames.last(), heb("א") + QString::number(1000 + firstPageNames.size() - 1));
        EXPECT_EQ(textAt(2, kColumnLeft[5], kBandHeight, kColumnWidth[5], kBandHeight),
                  heb("א") + QString::number(1000 + firstPageNames.size()));
    }
}

// A report that cannot read its cards still opens, and says why once; the
// preparing message goes either way, and the Debug panel shows the query.
TEST_F(PrintedReport, AFailureEndsInOneBoxAndTheDebugPanelShowsTheQuery)
{
    start();
    w->mnuDbg->trigger();
    Module1().cnDirectory->Close();
    w->mnuPrint->trigger();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].style, ui::vbOKOnly | ui::vbExclamation);
    EXPECT_EQ(boxes.asked[0].title, QStringLiteral("Numora"));
    EXPECT_FALSE(boxes.asked[0].text.isEmpty());
    EXPECT_TRUE(DataReport1::instance().isVisible());
    EXPECT_EQ(w->panelText(2), QStringLiteral("select * from Vemo order by Name  ASC"));
}

} // namespace
} // namespace numora::test
