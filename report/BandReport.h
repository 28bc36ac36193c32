#pragma once
// The directory's banded report, as designed: a report header, a page header
// repeated on every page, one detail band per card, a page footer and a
// report footer, each section with its controls at fixed places in twips.
// At run time the print command changes captions and the fields the text
// boxes show, then hands over the cards; the report lays them out in pages
// and paints any page on any paint device (the preview, a printer, a PDF).

#include <QColor>
#include <QString>

#include <vector>

#include "store/Listing.h"

class QPainter;
class QPrinter;

namespace numora::report {

struct ReportControl {
    QString name;      // lblFax, txtFax, ...
    QString Caption;   // a label's text
    QString DataField; // the column a text box shows
    int left = 0;      // twips from the report's left edge
    int width = 0;
    int height = 0;
    bool alignRight = false; // right-aligned columns read right to left
    double pointSize = 8.25;
    bool bold = false;
    bool underline = false;
    QColor background; // invalid: none
};

struct ReportSection {
    QString name;
    int height = 0; // twips
    std::vector<ReportControl> controls;

    // A control by name; numora::Error when the section has none of that name.
    ReportControl& Controls(const QString& controlName);
};

class BandReport {
public:
    static constexpr int kReportWidth = 8505; // twips
    static constexpr int kMargin = 1440;      // each side of the page
    static constexpr char kFontFamily[] = "Arial";

    BandReport();

    // A section by name (rptHeader, rptPage, rptDetails, Section3, Section5);
    // numora::Error when there is none of that name.
    ReportSection& Sections(const QString& sectionName);
    const ReportSection& Sections(const QString& sectionName) const;

    // Reads the fields of the detail text boxes from every card of the
    // listing, from its first, as the cards of the report. A field the
    // listing lacks fails (item not found) and leaves the cards as they were.
    void setDataSource(const store::Listing& cards);
    int cardCount() const { return static_cast<int>(cards_.size()); }
    // A card's texts, in the order of the detail band's controls.
    const std::vector<QString>& card(int index) const { return cards_[static_cast<size_t>(index)]; }

    // Lays the cards out in pages of the given printable height (twips,
    // inside the margins). Each page holds the page header and footer; the
    // first also the report header, the last the report footer.
    void layout(int pageHeightTwips);
    int pageCount() const { return static_cast<int>(pages_.size()); }

    // Paints one page (counted from 0) with the painter's origin at the top
    // left corner inside the margins, at dotsPerInch of the device.
    void paintPage(QPainter& painter, int page, double dotsPerInchX, double dotsPerInchY) const;

    // Sets the printer's margins, lays the cards out for its page and prints
    // every page (or the range the printer was given). False when the printer
    // could not be started.
    bool print(QPrinter& printer);

private:
    struct Page {
        int firstCard = 0;
        int cards = 0;
        bool reportHeader = false;
        bool reportFooter = false;
    };

    std::vector<ReportSection> sections_;
    std::vector<std::vector<QString>> cards_;
    std::vector<Page> pages_;
};

} // namespace numora::report
