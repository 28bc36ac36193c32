// The search window as designed, its list of names and the chosen card's line.
#include "search/SearchFrm.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QToolButton>

#include <optional>
#include <utility>

#include "platform/controls/ListBox.h"
#include "platform/core/Error.h"
#include "platform/ui/ColumnLine.h"
#include "platform/ui/Decorations.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Icons.h"
#include "platform/ui/MsgBox.h"
#include "platform/ui/Twips.h"
#include "state/DirectoryState.h"
#include "store/Listing.h"
#include "store/Store.h"

namespace numora {
namespace {

// Failures the search passes over (a listing that could not be read, a card
// no longer there) are logged here.
Q_LOGGING_CATEGORY(lcSearch, "numora.search", QtInfoMsg)

constexpr int kClientWidthTwips = 6870;
constexpr int kClientHeightTwips = 3690;
constexpr qsizetype kEntryWidth = 22;

const QColor kLightYellow(255, 255, 192);
const QColor kDarkCyan(0, 128, 128);
const QColor kShadow(64, 64, 64);

// The lines' columns after their leading blank: the grid's columns 4 to 1,
// each left-aligned in its width; then the name, right-aligned in 17 or
// running on when longer. Headings and values alike.
constexpr struct {
    int field;
    qsizetype width;
} kDetailColumns[] = {{4, 11}, {3, 12}, {2, 12}, {1, 11}};
constexpr qsizetype kNameWidth = 17;
// The longest line: a name as long as a listed one.
constexpr int kLongestLine = 1 + 11 + 12 + 12 + 11 + static_cast<int>(kEntryWidth);

// A label for one of the two lines: its columns stay under one another
// whatever letters they hold, and the longest line fits.
ui::ColumnLine* lineLabel(QWidget* parent, const char* name, const QRect& place)
{
    auto* line = new ui::ColumnLine(parent);
    line->setObjectName(QLatin1String(name));
    line->setGeometry(place);
    std::vector<int> widths{1};
    for (const auto& column : kDetailColumns)
        widths.push_back(static_cast<int>(column.width));
    line->setColumns(std::move(widths));
    line->setLineLength(kLongestLine);
    // Both lines in one fixed-width face, so that a heading's column and its values' are one.
    line->setFont(ui::designFont(QStringLiteral("Courier New"), 8.25));
    return line;
}

void colours(QWidget* w, const QColor& text, const QColor& back = QColor())
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::ButtonText, text);
    if (back.isValid()) {
        w->setAutoFillBackground(true);
        pal.setColor(QPalette::Window, back);
        pal.setColor(QPalette::Button, back);
    }
    w->setPalette(pal);
}

// The table searched: that of the group the main window shows, or showed as
// it closed when this window stayed open.
const store::Table* searchedTable() { return store::tableForGroup(directoryState().groupLastShown()); }

} // namespace

SearchFrm::SearchFrm() : Form(nullptr)
{
    setObjectName(QStringLiteral("SearchFrm"));
    setWindowTitle(QStringLiteral("Record Searching..."));
    setWindowIcon(ui::icon(ui::Picture::AppIcon));
    ui::installFontSubstitutions();
    setFixedSize(ui::twipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kLightYellow);
    setPalette(pal);
    buildControls();
}

SearchFrm::~SearchFrm() = default;

void SearchFrm::buildControls()
{
    using ui::twipsRect;
    LblHdr = lineLabel(this, "LblHdr", twipsRect(240, 120, 6495, 375));
    LblHdr->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    colours(LblHdr, QColor(128, 128, 128));
    LblSel = lineLabel(this, "LblSel", twipsRect(240, 480, 6495, 495));
    LblSel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    colours(LblSel, Qt::white, kDarkCyan);

    Shape1[0] = ui::decoration(this, QStringLiteral("Shape1"), twipsRect(720, 1320, 2655, 255), kShadow);
    Shape1[1] = ui::decoration(this, QStringLiteral("Shape1"), twipsRect(720, 1920, 2655, 1335), kShadow);
    Shape1[0]->setProperty("index", 0);
    Shape1[1]->setProperty("index", 1);

    TxtStr = new QLineEdit(this);
    TxtStr->setObjectName(QStringLiteral("TxtStr"));
    TxtStr->setLayoutDirection(Qt::RightToLeft);
    TxtStr->setGeometry(twipsRect(600, 1200, 2655, 285));
    TxtStr->installEventFilter(this);

    LstSearch = new controls::ListBox(this);
    LstSearch->setObjectName(QStringLiteral("LstSearch"));
    LstSearch->setFont(ui::designFont(QStringLiteral("Courier New"), 8.25));
    LstSearch->setGeometry(twipsRect(600, 1800, 2655, 1110));

    Label1 = ui::label(this, "Label1", QStringLiteral("Searching Againt according to Names"),
                       twipsRect(4200, 1440, 2535, 1095));
    Label1->setFont(ui::designFont(QStringLiteral("Times New Roman"), 9, true));
    Label1->setWordWrap(true);
    colours(Label1, QColor(0, 128, 0));

    Image1 = ui::label(this, "Image1", QString(), twipsRect(3600, 1440, 480, 480));
    Image1->setPixmap(ui::icon(ui::Picture::AppIcon).pixmap(32, 32));

    btnCancel = ui::flatButton(this, "btnCancel", "Cancel", "Cancel searching process", ui::Picture::Quit,
                               twipsRect(5040, 2280, 885, 810), Qt::ToolButtonTextUnderIcon);
    btnCancel->setFont(ui::designFont(QStringLiteral("MS Sans Serif"), 8.25));
    colours(btnCancel, Qt::black, kLightYellow);

    setTabOrder(TxtStr, LstSearch);
    setTabOrder(LstSearch, btnCancel);
    TxtStr->setFocus();

    connect(TxtStr, &QLineEdit::textChanged, this, &SearchFrm::TxtStr_Change);
    connect(LstSearch, &controls::ListBox::Click, this, &SearchFrm::LstSearch_Click);
    connect(btnCancel, &QToolButton::clicked, this, &SearchFrm::btnCancel_Click);
}

// ---- texts ------------------------------------------------------------------------

QString SearchFrm::listEntry(const QString& name)
{
    return name.size() > kEntryWidth ? QString() : QString(kEntryWidth - name.size(), QLatin1Char(' ')) + name;
}

QString SearchFrm::headerLine(const store::Table& table)
{
    const auto heading = [&](int field) {
        return QString::fromUtf8(table.columns[static_cast<size_t>(field)].heading);
    };
    QString line = QStringLiteral(" ");
    for (const auto& column : kDetailColumns)
        line += heading(column.field).leftJustified(column.width, QLatin1Char(' '));
    return line + heading(0).rightJustified(kNameWidth, QLatin1Char(' '));
}

QString SearchFrm::detailLine(const store::Card& card, const store::Table& table)
{
    QString line = QStringLiteral(" ");
    for (const auto& column : kDetailColumns) {
        QString value = card.text(table, column.field);
        if (value.size() > column.width)
            value = value.left(column.width - 2) + QChar(0x2026); // and a space before the next column
        line += value.leftJustified(column.width, QLatin1Char(' '));
    }
    return line + card.text(table, 0).rightJustified(kNameWidth, QLatin1Char(' '));
}

// ---- events -------------------------------------------------------------------------

void SearchFrm::TxtStr_Change()
{
    const QString typed = TxtStr->text(); // as typed, blanks and all
    QStringList entries;
    const store::Table* table = searchedTable();
    if (!table) {
        qCDebug(lcSearch) << "no group to search in; the list stays empty";
        LstSearch->Clear();
        return;
    }
    // The group's whole listing, as the grid reads it (over a connection of
    // its own, which reads a long listing faster than the shared one). Every
    // name is compared below as the user sees it, without the blanks around
    // it: no filter on the stored names narrows the listing first, since one
    // stored with a blank before it would never pass.
    const store::Listing listing = directoryState().listForSearch(*table);
    if (!listing.failure) {
        serverGoneTold_ = false;
    } else if (const std::optional<QString> gone = directoryState().serverGoneText(*table, *listing.failure)) {
        if (!std::exchange(serverGoneTold_, true))
            ui::MsgBox(*gone, ui::vbOKOnly | ui::vbExclamation);
        else
            logSkipped(lcSearch(), std::source_location::current(), *listing.failure);
    } else {
        logSkipped(lcSearch(), std::source_location::current(), *listing.failure);
    }
    resumeNext(lcSearch(), [&] {
        const long count = listing.count();
        if (count == 0)
            return;
        const int nameColumn = listing.column("Name");
        const QByteArray prefix = typed.toUtf8();
        const std::string_view wanted(prefix.constData(), static_cast<size_t>(prefix.size()));
        entries.reserve(count);
        for (long row = 0; row < count; ++row) {
            const std::optional<std::string_view> stored = listing.text(row, nameColumn);
            if (!stored)
                continue;
            // Whole characters compare equal exactly when their bytes do.
            const std::string_view name = store::trimBlanks(*stored);
            if (!name.starts_with(wanted))
                continue;
            if (QString entry = listEntry(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
                !entry.isEmpty())
                entries.push_back(std::move(entry));
        }
    });
    LstSearch->setItems(std::move(entries));
}

void SearchFrm::TxtStr_KeyPress(int ch)
{
    if (ch != '2')
        return;
    const int count = LstSearch->ListCount();
    const int index = LstSearch->ListIndex();
    if (count > 0 && index < 0)
        LstSearch->setListIndex(0);
    else if (index >= 0 && index < count - 1)
        LstSearch->setListIndex(index + 1);
}

void SearchFrm::LstSearch_Click()
{
    const store::Table* table = searchedTable();
    QString header;
    QString detail;
    if (table) {
        const QString name = store::trimBlanks(LstSearch->List(LstSearch->ListIndex()));
        // A card gone or renamed since it was listed, or one of another group
        // chosen meanwhile, shows nothing rather than the card shown before.
        resumeNext(lcSearch(), [&] {
            // Found as it was listed: by its name without the blanks around it.
            const std::optional<store::Card> card = directoryState().lookUpName(*table, name);
            if (!card) {
                qCDebug(lcSearch) << "no card named" << name;
                return;
            }
            detail = detailLine(*card, *table);
            header = headerLine(*table);
            qCDebug(lcSearch) << "showing the numbers of" << name;
        });
    }
    LblHdr->setText(header);
    LblSel->setText(detail);
}

void SearchFrm::btnCancel_Click() { close(); }

void SearchFrm::changeEvent(QEvent* event)
{
    hideWhenMinimised(event);
    QWidget::changeEvent(event);
}

bool SearchFrm::eventFilter(QObject* watched, QEvent* event)
{
    // The key goes on to the text box after its own handling.
    if (watched == TxtStr && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1)
            TxtStr_KeyPress(text.at(0).unicode());
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace numora
