#include "report/BandReport.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QTextOption>

#include <algorithm>

#include "platform/ado/Ado.h"
#include "platform/core/Error.h"
#include "platform/ui/Fonts.h"

namespace numora::report {
namespace {

constexpr long kErrSubscriptOutOfRange = 9;
constexpr double kSmallestPointSize = 6;
// Between a text and the sides of its box, in twips (1.5 pt).
constexpr int kInnerMargin = 30;
const QColor kLabelGrey(224, 224, 224);

ReportControl label(const char* name, const QString& caption, int left, int width)
{
    ReportControl c;
    c.name = QLatin1String(name);
    c.Caption = caption;
    c.left = left;
    c.width = width;
    c.height = 240;
    c.alignRight = true;
    c.pointSize = 9.75;
    c.bold = true;
    c.underline = true;
    c.background = kLabelGrey;
    return c;
}

ReportControl textBox(const char* name, const char* field, int left, int width)
{
    ReportControl c;
    c.name = QLatin1String(name);
    c.DataField = QLatin1String(field);
    c.left = left;
    c.width = width;
    c.height = 240;
    c.alignRight = true;
    c.pointSize = 9.75;
    return c;
}

// Twips to device pixels.
double dots(int twips, double dotsPerInch) { return twips * dotsPerInch / 1440.0; }

} // namespace

ReportControl& ReportSection::Controls(const QString& controlName)
{
    for (ReportControl& c : controls) {
        if (c.name.compare(controlName, Qt::CaseInsensitive) == 0)
            return c;
    }
    throw Error(kErrSubscriptOutOfRange, "Subscript out of range");
}

BandReport::BandReport()
{
    ui::installFontSubstitutions();

    ReportControl title;
    title.name = QStringLiteral("lblPerson");
    title.Caption = QStringLiteral("Sample Report");
    title.left = 1701;
    title.width = 5670;
    title.height = 570;
    title.pointSize = 14.25;
    title.bold = true;

    ReportControl email = label("lblEmail", QStringLiteral("Email"), 0, 2268);
    email.alignRight = false;
    ReportControl emailBox = textBox("txtEmail", "Email", 0, 2268);
    emailBox.alignRight = false;

    sections_ = {
        {QStringLiteral("rptHeader"), 570, {title}},
        {QStringLiteral("rptPage"),
         240,
         {email, label("lblFax", QString::fromUtf8("פקס"), 2268, 1140),
          label("lblWork", QString::fromUtf8("עבודה"), 3402, 1140),
          label("lblMobil", QString::fromUtf8("פלאפון"), 4535, 1140),
          label("lblPhone", QString::fromUtf8("בית"), 5669, 1155),
          label("lblName", QString::fromUtf8("שם\\חברה"), 6803, 1695)}},
        {QStringLiteral("rptDetails"),
         240,
         {emailBox, textBox("txtFax", "Fax", 2268, 1140), textBox("txtWork", "Line", 3401, 1140),
          textBox("txtMobil", "Mobil", 4535, 1125), textBox("txtPhone", "Phone", 5669, 1140),
          textBox("txtName", "Name", 6803, 1695)}},
        {QStringLiteral("Section3"), 360, {}},
        {QStringLiteral("Section5"), 360, {}},
    };
}

ReportSection& BandReport::Sections(const QString& sectionName)
{
    for (ReportSection& s : sections_) {
        if (s.name.compare(sectionName, Qt::CaseInsensitive) == 0)
            return s;
    }
    throw Error(kErrSubscriptOutOfRange, "Subscript out of range");
}

const ReportSection& BandReport::Sections(const QString& sectionName) const
{
    return const_cast<BandReport*>(this)->Sections(sectionName);
}

void BandReport::setDataSource(const store::Listing& listing)
{
    // Each text box's column, found once by name.
    const ReportSection& details = Sections(QStringLiteral("rptDetails"));
    std::vector<int> columns;
    for (const ReportControl& box : details.controls) {
        const int found = listing.findColumn(box.DataField.toStdString());
        if (found < 0)
            throw Error(ado::adErrItemNotFound,
                        "Item cannot be found in the collection corresponding to the requested name or ordinal.");
        columns.push_back(found);
    }
    const long count = listing.count();
    std::vector<std::vector<QString>> cards;
    cards.reserve(static_cast<size_t>(count));
    for (long row = 0; row < count; ++row) {
        std::vector<QString>& card = cards.emplace_back();
        card.reserve(columns.size());
        for (const int column : columns) {
            const auto value = listing.text(row, column);
            card.push_back(value ? QString::fromUtf8(value->data(), static_cast<qsizetype>(value->size())) : QString());
        }
    }
    cards_ = std::move(cards);
    pages_.clear();
}

void BandReport::layout(int pageHeightTwips)
{
    const int header = Sections(QStringLiteral("rptHeader")).height;
    const int pageHeader = Sections(QStringLiteral("rptPage")).height;
    const int detail = Sections(QStringLiteral("rptDetails")).height;
    const int pageFooter = Sections(QStringLiteral("Section3")).height;
    const int reportFooter = Sections(QStringLiteral("Section5")).height;
    const int total = cardCount();

    pages_.clear();
    int next = 0;
    do {
        Page page;
        page.firstCard = next;
        page.reportHeader = pages_.empty();
        int room = pageHeightTwips - pageHeader - pageFooter - (page.reportHeader ? header : 0);
        // A page too short for even one band still takes one, so the report ends.
        page.cards = std::min(std::max(1, room / detail), total - next);
        next += page.cards;
        room -= page.cards * detail;
        page.reportFooter = next == total && room >= reportFooter;
        pages_.push_back(page);
    } while (next < total);
    if (!pages_.back().reportFooter)
        pages_.push_back(Page{total, 0, false, true});
}

void BandReport::paintPage(QPainter& painter, int page, double dotsPerInchX, double dotsPerInchY) const
{
    if (page < 0 || page >= pageCount())
        return;
    const Page& p = pages_[static_cast<size_t>(page)];
    QFont font{QString::fromLatin1(kFontFamily)};
    // Set a font only when a control asks for another one.
    double fontSize = -1;
    bool fontBold = false, fontUnderline = false;
    QFontMetricsF metrics(font, painter.device());

    int top = 0;
    const auto paintSection = [&](const ReportSection& section, const std::vector<QString>* texts) {
        for (size_t i = 0; i < section.controls.size(); ++i) {
            const ReportControl& c = section.controls[i];
            const QString& given = texts ? (*texts)[i] : c.Caption;
            // A right-to-left mark first makes the line read right to left
            // whatever it starts with: a number before a Hebrew name stands
            // at its right.
            const QString text = c.alignRight && !given.isEmpty() ? QChar(0x200F) + given : given;
            const QRectF rect(dots(c.left, dotsPerInchX), dots(top, dotsPerInchY), dots(c.width, dotsPerInchX),
                              dots(c.height, dotsPerInchY));
            if (c.background.isValid())
                painter.fillRect(rect, c.background);
            if (given.isEmpty())
                continue;
            if (c.pointSize != fontSize || c.bold != fontBold || c.underline != fontUnderline) {
                fontSize = c.pointSize;
                fontBold = c.bold;
                fontUnderline = c.underline;
                font.setPointSizeF(fontSize);
                font.setBold(fontBold);
                font.setUnderline(fontUnderline);
                painter.setFont(font);
                metrics = QFontMetricsF(font, painter.device());
            }
            // The text keeps a small margin inside its box on both sides, so
            // it never runs into its neighbour's.
            const double margin = dots(kInnerMargin, dotsPerInchX);
            QRectF textRect = rect.adjusted(margin, 0, -margin, 0);
            // A text wider than that is set smaller until it fits, down to a
            // floor: a telephone number cut at the box's edge would print
            // wrong digits. It stays on the baseline of its row.
            const double width = metrics.horizontalAdvance(text);
            const bool shrink = width > textRect.width();
            bool clip = false;
            if (shrink) {
                const double fitting = fontSize * textRect.width() / width * 0.98;
                clip = fitting < kSmallestPointSize;
                QFont smaller = font;
                smaller.setPointSizeF(std::max(kSmallestPointSize, fitting));
                painter.setFont(smaller);
                textRect.translate(0, metrics.ascent() - QFontMetricsF(smaller, painter.device()).ascent());
            }
            // Hebrew columns read right to left from their right edge; what
            // is too wide even in the smallest size is cut at the box's edge.
            const Qt::Alignment horizontal = section.name == QLatin1String("rptHeader")
                                                 ? Qt::AlignHCenter
                                                 : (c.alignRight ? Qt::AlignRight : Qt::AlignLeft);
            QTextOption option(Qt::AlignAbsolute | horizontal | Qt::AlignTop);
            option.setTextDirection(c.alignRight ? Qt::RightToLeft : Qt::LeftToRight);
            option.setWrapMode(QTextOption::NoWrap);
            if (clip) {
                painter.save();
                painter.setClipRect(QRectF(textRect.left(), rect.top(), textRect.width(), rect.height()));
            }
            painter.drawText(textRect, text, option);
            if (clip)
                painter.restore();
            if (shrink)
                painter.setFont(font);
        }
        top += section.height;
    };

    painter.save();
    painter.setPen(Qt::black);
    if (p.reportHeader)
        paintSection(Sections(QStringLiteral("rptHeader")), nullptr);
    paintSection(Sections(QStringLiteral("rptPage")), nullptr);
    const ReportSection& details = Sections(QStringLiteral("rptDetails"));
    for (int i = 0; i < p.cards; ++i)
        paintSection(details, &cards_[static_cast<size_t>(p.firstCard + i)]);
    if (p.reportFooter)
        paintSection(Sections(QStringLiteral("Section5")), nullptr);
    painter.restore();
}

bool BandReport::print(QPrinter& printer)
{
    const double inch = kMargin / 1440.0;
    printer.setPageMargins(QMarginsF(inch, inch, inch, inch), QPageLayout::Inch);
    layout(static_cast<int>(printer.pageRect(QPrinter::Inch).height() * 1440.0));

    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const int first = printer.fromPage() > 0 ? printer.fromPage() - 1 : 0;
    const int last = printer.toPage() > 0 ? std::min(printer.toPage(), pageCount()) - 1 : pageCount() - 1;
    for (int page = first; page <= last; ++page) {
        if (page > first)
            printer.newPage();
        paintPage(painter, page, printer.logicalDpiX(), printer.logicalDpiY());
    }
    painter.end();
    return true;
}

} // namespace numora::report
