// The Print command through the main window: the report window it opens, and
// the report as it comes out of it, read back from the PDF it saves, band by
// band and column by column at the places the report was designed with.

#include <QAction>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "forms/Form.h"
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
                         QStringLiteral("-x"), points(left), QStringLiteral("-y"), points(top), QStringLiteral("-W"),
                         inset(width), QStringLiteral("-H"), inset(height), pdf_, QStringLiteral("-")});
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
using PrintedReportOnBothEngines = OnBothEngines<PrintedReport>;

TEST_P(PrintedReportOnBothEngines, ColumnsFieldsAndLetterFollowTheGroup)
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
              (QStringList{QString(), heb("שיווק"), QStringLiteral("03-5551022"), QString(),
                           QStringLiteral("03-5551021"), heb("לרנר תמר")}));
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

INSTANTIATE_TEST_SUITE_P(Engines, PrintedReportOnBothEngines, ::testing::Values(Engine::File, Engine::Server),
                         engineName);

// A letter with more cards than a page holds: every page starts with the
// page header, the title stands on the first page alone, and the cards run
// on in name order across the break. Printing again gives the same report.
TEST_F(PrintedReport, PageHeaderOnEveryPageAndTheSameReportTwice)
{
    std::vector<Card> many;
    for (int i = 0; i < 60; ++i)
        many.push_back({"א" + std::to_string(1000 + i), "03-" + std::to_string(5000000 + i), std::nullopt, std::nullopt,
                        std::nullopt});
    insertCards(path(), store::kPersonalTable, many);
    start();
    const QStringList headings{QStringLiteral("Email"), heb("פקס"), heb("עבודה"),
                               heb("פלאפון"),           heb("בית"), heb("שם\\חברה")};

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
        const QStringList firstPageNames =
            textAt(1, kColumnLeft[5], kTitleHeight + kBandHeight, kColumnWidth[5], 20000).split(QLatin1Char(' '));
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

// Save as PDF over a file that is there asks first, as Export does: No
// leaves the file, Yes replaces it with the report.
TEST_F(PrintedReport, SaveAsPdfAsksBeforeReplacingAFile)
{
    start();
    w->mnuPrint->trigger();
    DataReport1& report = DataReport1::instance();
    ASSERT_TRUE(writeFileBytes(pdf_, "an older report"));
    dialogs.choose(pdf_);
    boxes.answer(ui::vbNo);
    report.mnuSavePdf->trigger();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, QStringLiteral("Do you want to overwrite ") + pdf_ + QLatin1Char('?'));
    EXPECT_EQ(boxes.asked[0].style, ui::vbYesNo | ui::vbQuestion);
    EXPECT_TRUE(fileBytes(pdf_) == "an older report");

    dialogs.choose(pdf_);
    report.mnuSavePdf->trigger();
    EXPECT_EQ(boxes.asked.size(), 2u);
    EXPECT_EQ(title(), QStringLiteral("Numora Report"));
}

// However the report window is closed, it unloads: File > Exit then ends the
// program instead of leaving it running with no window.
TEST_F(PrintedReport, EveryWayOfClosingTheReportUnloadsItSoExitEndsTheProgram)
{
    const auto printButton = [](DataReport1& report) -> QAction* {
        for (QAction* action : report.findChildren<QAction*>())
            if (action->text() == QLatin1String("Print"))
                return action;
        return nullptr;
    };
    const std::pair<const char*, std::function<void(DataReport1&)>> ways[] = {
        {"Esc", [](DataReport1& report) { QTest::keyClick(&report, Qt::Key_Escape); }},
        {"its Print button",
         [&](DataReport1& report) {
             report.printer()->setOutputFileName(pdf_);
             QTimer::singleShot(0, [] {
                 if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()))
                     dialog->accept();
             });
             ASSERT_NE(printButton(report), nullptr);
             printButton(report)->trigger();
             EXPECT_TRUE(QFileInfo(pdf_).size() > 0) << "nothing was printed";
         }},
        {"its close button", [](DataReport1& report) { report.close(); }},
    };
    for (const auto& [way, closeReport] : ways) {
        SCOPED_TRACE(way);
        QFile::remove(pdf_);
        start();
        w->mnuPrint->trigger();
        closeReport(DataReport1::instance());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(DataReport1::existingInstance(), nullptr) << "the closed report was not released";
        w->mnuExit->trigger();
        EXPECT_EQ(forms::loadedCount(), 0) << "a window is still loaded after Exit";
        frmVemo::Form_Terminate();
        w.reset();
    }
}

// Where a page's texts are drawn, at 1440 dots to the inch, so one dot is
// one twip: each run of text with its baseline and left and right ends.
class TextRuns final : public QPaintDevice {
public:
    struct Run {
        QString text;
        double baseline, left, right;
    };
    std::vector<Run> runs;

    QPaintEngine* paintEngine() const override { return &engine_; }

    // The runs inside a box of the band whose top is at top, joined.
    Run cell(int top, int left, int width) const
    {
        Run joined{QString(), 0, 1e9, -1e9};
        for (const Run& r : runs) {
            const double middle = (r.left + r.right) / 2;
            if (r.baseline > top && r.baseline < top + kBandHeight && middle > left && middle < left + width) {
                joined.text += r.text;
                joined.baseline = r.baseline;
                joined.left = std::min(joined.left, r.left);
                joined.right = std::max(joined.right, r.right);
            }
        }
        joined.text.remove(QChar(0x200F));
        return joined;
    }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
        case PdmWidthMM: return 8505;
        case PdmHeight:
        case PdmHeightMM: return 14000;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 1440;
        case PdmDepth: return 32;
        case PdmNumColors: return 1 << 24;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        default: return 1;
        }
    }

private:
    class Engine final : public QPaintEngine {
    public:
        explicit Engine(std::vector<Run>& runs) : runs_(runs) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        Type type() const override { return User; }
        void drawTextItem(const QPointF& p, const QTextItem& item) override
        {
            runs_.push_back({item.text(), p.y(), p.x(), p.x() + item.width()});
        }

    private:
        std::vector<Run>& runs_;
    };
    mutable Engine engine_{runs};
};

// A number wider than its box is set smaller, on the baseline of its row
// and clear of its neighbour; the other cells keep their size and place.
TEST_F(PrintedReport, ATextSetSmallerKeepsItsRowsBaselineAndClearsItsNeighbour)
{
    insertCards(path(), store::kPersonalTable, {{"אביב רון", "03-5550101", "050-2000022", "03-5550102", "03-5550103"}});
    start();
    const DataReport1& report = print();
    TextRuns page;
    QPainter painter(&page);
    report.layout().paintPage(painter, 0, 1440, 1440);
    painter.end();

    int top = -1;
    for (int band = 1; band <= 4 && top < 0; ++band) {
        if (page.cell(kTitleHeight + band * kBandHeight, kColumnLeft[5], kColumnWidth[5]).text == heb("אביב רון"))
            top = kTitleHeight + band * kBandHeight;
    }
    ASSERT_GE(top, 0) << "the card is not on the first page";
    const TextRuns::Run mobile = page.cell(top, kColumnLeft[3], kColumnWidth[3]);
    const TextRuns::Run work = page.cell(top, kColumnLeft[2], kColumnWidth[2]);
    EXPECT_EQ(mobile.text, QStringLiteral("050-2000022"));
    EXPECT_EQ(work.text, QStringLiteral("03-5550102"));
    for (int c = 0; c < 6; ++c) {
        SCOPED_TRACE(c);
        const TextRuns::Run cell = page.cell(top, kColumnLeft[c], kColumnWidth[c]);
        if (!cell.text.isEmpty()) {
            EXPECT_NEAR(cell.baseline, work.baseline, 0.5);
        }
    }
    // In twips: at least 1 pt inside its box, 2 pt from the number beside it.
    EXPECT_GE(mobile.left, 4535 + 20);
    EXPECT_LE(mobile.right, 4535 + 1125 - 20);
    EXPECT_GE(mobile.left - work.right, 40);
}

} // namespace
} // namespace numora::test
