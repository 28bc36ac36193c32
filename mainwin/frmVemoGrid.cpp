// The grid, the letter tabs and the group selector of the main window, and
// the two developer aids (the Debug item and the edit-buffer demonstration).
//
// Every listing goes through one fill (listGroup below): the refresh after a
// change, the letter tabs and All differ only in the letter filter, in
// whether cells are painted black on white, and in whether a failing step is
// skipped or ends the fill.
#include "mainwin/frmVemo.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QStringList>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "mainwin/Module1.h"
#include "mainwin/TabLetters.h"
#include "platform/controls/FlexGrid.h"
#include "platform/controls/LetterTabStrip.h"
#include "platform/core/Error.h"
#include "platform/odbc/Odbc.h"
#include "platform/ui/MsgBox.h"
#include "store/Listing.h"
#include "store/Server.h"
#include "store/Store.h"

namespace numora {

namespace {

Q_LOGGING_CATEGORY(lcGrid, "numora.grid", QtInfoMsg)

using controls::FlexGrid;

constexpr int kEsc = 27;
constexpr int kEnter = 13;
constexpr int kRightButton = 2;

// Grid columns 0..4: width in twips and alignment.
constexpr std::array<int, store::kGridColumns> kColumnTwips = {1855, 1200, 1400, 1200, 1200};
constexpr std::array<int, store::kGridColumns> kColumnAlignment = {
    controls::flexAlignLeftTop, controls::flexAlignCenterTop, controls::flexAlignCenterTop,
    controls::flexAlignCenterTop, controls::flexAlignCenterTop};

const QString& allLetters()
{
    static const QString all = QStringLiteral("ALL");
    return all;
}

// The demonstration card and its changed name (the last letter once more).
const QString& demoName()
{
    static const QString name = QStringLiteral("ישראל ישראלי");
    return name;
}

using store::fieldText;
using store::trimBlanks;

void enable(QAction* a, bool on)
{
    if (a)
        a->setEnabled(on);
}

void enable(QWidget* w, bool on)
{
    if (w)
        w->setEnabled(on);
}

enum class Paint { GridColours, BlackOnWhite };
enum class OnFailure { SkipStep, Stop };

// Runs one step of a fill: a failing step is skipped (and logged), or ends the fill.
template <class F>
bool step(OnFailure mode, F&& f, const std::source_location& where = std::source_location::current())
{
    if (mode == OnFailure::Stop) {
        f();
        return true;
    }
    return resumeNext(lcGrid(), std::forward<F>(f), where);
}

// Keeps the grid from repainting during a fill, whichever way the fill ends.
class RedrawOff {
public:
    explicit RedrawOff(FlexGrid& grid) : grid_(grid), was_(grid.Redraw()) { grid_.setRedraw(false); }
    ~RedrawOff() { grid_.setRedraw(was_); }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    FlexGrid& grid_;
    bool was_;
};

// Shrinks the grid to the cards a fill listed and the empty row after them
// when the fill ends, early or not.
class ListedRows {
public:
    ListedRows(FlexGrid& grid, const int& listed) : grid_(grid), listed_(listed) {}
    ~ListedRows() { grid_.setRows(std::min(grid_.Rows(), listed_ + 2)); }
    ListedRows(const ListedRows&) = delete;
    ListedRows& operator=(const ListedRows&) = delete;

private:
    FlexGrid& grid_;
    const int& listed_;
};

void showStatus(frmVemo& w)
{
    const Module1State& m = Module1();
    w.setPanelText(1, QStringLiteral(" Total Records ") + QString::number(m.intRowCount));
    if (w.mnuDbg && w.mnuDbg->isChecked())
        w.setPanelText(2, m.strQueryText);
}

// The one listing fill. letter: the filter to apply, or std::nullopt for the
// whole group. After it rsDirectory holds the listed cards in grid order, the
// filter still applied (card k is grid row k); the grid has the headings, one
// row per card and one empty row; the status bar shows the count.
void listGroup(frmVemo& w, const std::optional<QString>& letter, Paint paint, OnFailure mode)
{
    Module1State& m = Module1();
    FlexGrid& grid = *w.MSFlexGrid1;

    if (const store::Table* table = store::tableForGroup(w.cmbGroup->currentText())) {
        // Another program holding the file would hold the window up while
        // the listing waits for it, and then list nothing: a short look
        // first, and the grid keeps what it lists.
        // A group on a server is no business of the file's.
        const bool server = store::onServer(*table);
        const QString file = server ? QString() : store::reachedFile();
        if (!server && (!w.dataFileReady() || store::fileInUse(file))) {
            w.keepListingForLock(file);
            return;
        }
        // The count of writes first: a change made while the cards are read
        // lists them once more, never once less.
        if (server)
            w.noteChangeCount(*table);
        else
            w.noteFileVersion();
        store::Listing listing;
        step(mode, [&] { listing = store::listCards(*table, letter, m.strSortOrder); });
        if (listing.failure && !server && odbc::isLockedByAnother(listing.failure->number())) {
            w.keepListingForLock(file);
            return;
        }
        if (listing.failure && server && store::isServerUnreachable(*listing.failure)) {
            w.keepListingForServer(*table, *listing.failure);
            return;
        }
        w.rememberListing();
        m.intRowCount = 0;
        RedrawOff batch(grid);
        step(mode, [&] { w.SetGridHeadings(); });

        // A new listing for every fill; the old one goes with its rows.
        m.rsDirectory.reset();
        m.strCurrentSql = listing.sql;
        m.strQueryText = listing.queryText;
        m.rsDirectory = std::make_unique<store::Listing>(std::move(listing));
        store::Listing& cards = *m.rsDirectory;
        if (cards.failure) {
            if (mode == OnFailure::Stop)
                throw *cards.failure;
            logSkipped(lcGrid(), std::source_location::current(), *cards.failure);
        }
        // A listing that cannot be opened (file missing, locked, not a
        // database) leaves the headings alone and a count of 0.
        if (cards.isOpen()) {
            // The grid column's field by position, looked up once per listing;
            // a field the listing lacks fails each of its cells.
            std::array<int, store::kGridColumns> fieldIndex{};
            for (int c = 0; c < store::kGridColumns; ++c)
                fieldIndex[static_cast<size_t>(c)] = cards.findColumn(table->columns[static_cast<size_t>(c)].name);
            const auto field = [&](long row, int c) -> std::optional<std::string_view> {
                const auto at = static_cast<size_t>(c);
                return cards.text(row, fieldIndex[at] >= 0 ? fieldIndex[at] : cards.column(table->columns[at].name));
            };

            // The grid is sized once for every card and the empty row after
            // them, then filled a row at a time; however the fill ends, it
            // keeps the rows it listed and the empty one.
            const QColor fore = paint == Paint::BlackOnWhite ? QColor(Qt::black) : QColor();
            const QColor back = paint == Paint::BlackOnWhite ? QColor(Qt::white) : QColor();
            const long count = cards.count();
            step(mode, [&] { grid.setRows(static_cast<int>(count) + 2); });
            const ListedRows listed(grid, m.intRowCount);
            std::array<std::string_view, store::kGridColumns> texts;
            for (long row = 0; row < count; ++row) {
                const int gridRow = m.intRowCount + 1;
                for (int c = 0; c < store::kGridColumns; ++c) {
                    texts[static_cast<size_t>(c)] = {}; // a Null field leaves its cell empty
                    step(mode, [&] { texts[static_cast<size_t>(c)] = trimBlanks(field(row, c).value_or("")); });
                }
                step(mode, [&] { grid.fillRow(gridRow, texts, fore, back); });
                ++m.intRowCount;
            }
            // The current cell ends on the first column of the last card listed.
            if (m.intRowCount > 0) {
                step(mode, [&] { grid.setRow(m.intRowCount); });
                step(mode, [&] { grid.setCol(0); });
            }
        }
        // What the grid shows, for checking a run from outside (off by default).
        if (lcGrid().isDebugEnabled()) {
            const QString first = m.intRowCount > 0 ? grid.TextMatrix(1, 0) : QString();
            const QString last = m.intRowCount > 0 ? grid.TextMatrix(m.intRowCount, 0) : QString();
            qCDebug(lcGrid).noquote() << "listed" << m.intRowCount << "cards of" << table->name
                                      << (letter ? QStringLiteral("under ") + *letter : QStringLiteral("in all"))
                                      << "from" << ("[" + first + "]") << "to" << ("[" + last + "]");
        }
    } else {
        m.intRowCount = 0;
    }
    showStatus(w);
}

// All and a refresh while All is in force: a failure inside the fill ends it
// where it stood, with the status bar telling what is listed; it never ends
// the program.
void showAllGuarded(frmVemo& w)
{
    if (!resumeNext(lcGrid(), [&] { w.ShowAllRecords(); }))
        showStatus(w);
}

} // namespace

// ---- layout and fills ------------------------------------------------------------

void frmVemo::SetGridHeadings()
{
    FlexGrid& grid = *MSFlexGrid1;
    grid.Clear();
    grid.setCols(store::kGridColumns);
    grid.setRows(2);
    grid.setRow(0);

    const store::Table* table = store::tableForGroup(cmbGroup->currentText());
    for (int c = store::kGridColumns - 1; c >= 0; --c) {
        grid.setCol(c);
        grid.setColWidth(c, kColumnTwips[static_cast<size_t>(c)]);
        grid.setColAlignment(c, kColumnAlignment[static_cast<size_t>(c)]);
        // Columns 0 to 3 carry the same headings in both tables; column 4's
        // belongs to the group, and any other group text has none.
        const store::Table* headings = c < store::kGridColumns - 1 ? &store::kPersonalTable : table;
        grid.setText(headings ? QString::fromUtf8(headings->columns[static_cast<size_t>(c)].heading) : QString());
    }

    TxtIndex->clear();
    Module1().intSelectedRow = 0;

    // Edit and Delete wait for a row to be clicked.
    enable(popEdit, false);
    enable(popDel, false);
    enable(mnuEdit, false);
    enable(mnuDel, false);
    enable(btnDelete, false);
    enable(btnEdit, false);
}

void frmVemo::RefreshGrid()
{
    Module1State& m = Module1();
    if (m.strCurrentLetter == allLetters()) {
        showAllGuarded(*this);
        return;
    }
    listGroup(*this, m.strCurrentLetter, Paint::GridColours, OnFailure::SkipStep);
}

void frmVemo::ShowAllRecords()
{
    // The first failure ends the fill; callers decide what then.
    listGroup(*this, std::nullopt, Paint::BlackOnWhite, OnFailure::Stop);
}

// ---- the chosen row ------------------------------------------------------------------

void frmVemo::HighlightRow(int row)
{
    FlexGrid& grid = *MSFlexGrid1;
    Module1State& m = Module1();
    const int savedCol = grid.Col();
    if (m.intSelectedRow > 0) {
        grid.setRow(m.intSelectedRow);
        for (int c = 0; c < grid.Cols(); ++c) {
            grid.setCol(c);
            grid.setCellForeColor(Qt::black);
            grid.setCellBackColor(Qt::white);
        }
    }
    grid.setRow(row);
    const QColor highlight = grid.palette().color(QPalette::Active, QPalette::Highlight);
    for (int c = 0; c < grid.Cols(); ++c) {
        grid.setCol(c);
        grid.setCellForeColor(Qt::white);
        grid.setCellBackColor(highlight);
    }
    grid.setCol(savedCol);
    m.intSelectedRow = row;
}

void frmVemo::ShowRowText(int col)
{
    FlexGrid& grid = *MSFlexGrid1;
    QStringList cells;
    for (int c = 0; c < store::kGridColumns; ++c) {
        grid.setCol(c);
        cells << grid.Text();
    }
    TxtIndex->setText(cells.join(QLatin1Char(' ')));
    grid.setCol(col);
}

// ---- grid events -----------------------------------------------------------------------
// These run from the grid's signals: nothing may leave them by exception.

// A click on a card row or the empty last row. A click on the heading row or
// on the empty area below the last row is no click on a row and does nothing.
void frmVemo::MSFlexGrid1_Click()
{
    Module1().strTypedPrefix.clear();
    resumeNext(lcGrid(), [&] { HighlightRow(MSFlexGrid1->Row()); });
    resumeNext(lcGrid(), [&] { ShowRowText(MSFlexGrid1->Col()); });
    enable(popEdit, true);
    enable(popDel, true);
    enable(mnuEdit, true);
    enable(mnuDel, true);
    enable(btnDelete, true);
    enable(btnEdit, true);
}

void frmVemo::MSFlexGrid1_DblClick()
{
    // The click before it has highlighted the row already.
    resumeNext(lcGrid(), [&] { btnEdit_Click(); });
}

// The keys that move through the list: the card they lead to is chosen just
// as a click on it would choose it. They move among the cards listed, from
// the row chosen last (from before the first when none is).
void frmVemo::MSFlexGrid1_KeyDown(int key)
{
    const Module1State& m = Module1();
    FlexGrid& grid = *MSFlexGrid1;
    const int last = m.intRowCount;
    const int from = m.intSelectedRow;
    const int page = std::max(1, grid.VisibleRows() - 1);
    int to = 0;
    switch (key) {
    case Qt::Key_Up: to = from - 1; break;
    case Qt::Key_Down: to = from + 1; break;
    case Qt::Key_PageUp: to = from - page; break;
    case Qt::Key_PageDown: to = from + page; break;
    case Qt::Key_Home: to = 1; break;
    case Qt::Key_End: to = last; break;
    default: return;
    }
    if (last < 1)
        return;
    // The empty row below the cards is left only upwards.
    to = std::clamp(to, 1, std::max(last, from));
    resumeNext(lcGrid(), [&] {
        grid.setRow(to);
        grid.ShowRow(to);
        MSFlexGrid1_Click();
    });
}

void frmVemo::MSFlexGrid1_KeyPress(int ch)
{
    Module1State& m = Module1();
    if (ch == kEsc) {
        m.strTypedPrefix.clear();
        return;
    }
    // Enter edits the chosen card, as the Edit button does.
    if (ch == kEnter) {
        if (btnEdit && btnEdit->isEnabled())
            resumeNext(lcGrid(), [&] { btnEdit_Click(); });
        return;
    }
    FlexGrid& grid = *MSFlexGrid1;
    // Type-ahead: the first name whose trimmed text begins with everything
    // typed since the last Esc, click or focus change, case and all. Once a
    // character fails to match, the prefix keeps it, so nothing matches until
    // it is cleared.
    m.strTypedPrefix += QChar(static_cast<char16_t>(ch));
    const qsizetype n = m.strTypedPrefix.size();
    resumeNext(lcGrid(), [&] { m.intSelectedRow = grid.Row(); });

    int match = 0;
    for (int i = 1; i < grid.Rows(); ++i) { // the empty last row included
        if (trimBlanks(grid.TextMatrix(i, 0)).left(n) == m.strTypedPrefix) {
            match = i;
            break;
        }
    }
    if (match > 0) {
        resumeNext(lcGrid(), [&] { grid.setRow(match); });
        resumeNext(lcGrid(), [&] { grid.setCol(0); });
        resumeNext(lcGrid(), [&] { HighlightRow(match); });
        // The name typed for is brought into view; highlighting alone never scrolls.
        resumeNext(lcGrid(), [&] { grid.ShowRow(match); });
    } else {
        resumeNext(lcGrid(), [&] { grid.setRow(m.intSelectedRow); });
        resumeNext(lcGrid(), [&] { grid.setCol(m.intSavedCol); });
    }
}

void frmVemo::MSFlexGrid1_MouseDown(int button, const QPoint& pos)
{
    if (button != kRightButton)
        return;
    // The grid keeps its current row, so the popup's commands act on the row
    // chosen before.
    Module1().intSavedCol = MSFlexGrid1->Col();
    if (popFile)
        popFile->popup(pos);
}

void frmVemo::MSFlexGrid1_FocusChanged(bool hasFocus)
{
    // Typing resumes from scratch once the grid has been left.
    if (!hasFocus)
        Module1().strTypedPrefix.clear();
}

// ---- letter tabs, group, All ----------------------------------------------------------------

void frmVemo::TabVemo_Click(int /*previousTab*/)
{
    Module1State& m = Module1();
    const int t = TabVemo ? TabVemo->currentIndex() : -1;
    if (t >= 0 && t < static_cast<int>(kTabLetters.size()))
        m.strCurrentLetter = tabLetter(static_cast<size_t>(t));
    // A tab always lists its letter, even while All was in force before.
    listGroup(*this, m.strCurrentLetter, Paint::BlackOnWhite, OnFailure::SkipStep);
}

void frmVemo::cmbGroup_Click()
{
    RefreshGrid();
    showSyncCards();
}

void frmVemo::btnAll_Click()
{
    Module1().strCurrentLetter = allLetters();
    showAllGuarded(*this);
}

void frmVemo::mnuAll_Click() { btnAll_Click(); }

// ---- developer aids ---------------------------------------------------------------------------

void frmVemo::mnuDbg_Click()
{
    // The entry is a check item: triggering it has flipped the mark already.
    setPanelText(2, mnuDbg->isChecked() ? Module1().strQueryText : QString());
}

void frmVemo::Image2_Click()
{
    // A developer aid: reachable only while Debug is on.
    if (!mnuDbg || !mnuDbg->isChecked())
        return;

    const QString changedName = demoName() + demoName().right(1);
    std::optional<store::NameEdit> card;
    try {
        card = store::NameEdit::open(store::kPersonalTable, demoName());
        if (!card)
            return; // no card of that name: nothing to show, nothing changed
        const QString oldName = fieldText(card->name());
        card->setName(changedName.toStdString());

        const QString cr = QStringLiteral("\r");
        const QString question = QStringLiteral("Edit in progress:") + cr + QStringLiteral("  Original data = ") +
                                 oldName + cr + QStringLiteral("  Data in buffer = ") + fieldText(card->name()) + cr +
                                 cr + QStringLiteral("Use Update to replace the original data with ") +
                                 QStringLiteral("the buffered data in the Recordset?");
        if (ui::MsgBox(question, ui::vbYesNo) == ui::vbYes)
            card->update();
        else
            card->cancelUpdate();

        const store::Text now = card->name();
        ui::MsgBox(QStringLiteral("Data in recordset = ") + fieldText(now), ui::vbOKOnly);
        if (now && fieldText(now) != oldName) {
            // Put the card back as it was.
            card->setName(oldName.toStdString());
            card->update();
        }
        card->close();
    } catch (const Error& e) {
        // Nothing half-done stays behind: a pending change is dropped, and a
        // failed write is reported rather than passed over.
        resumeNext(lcGrid(), [&] {
            if (card && card->editPending())
                card->cancelUpdate();
        });
        ui::MsgBox(QString::fromStdString(e.description()), ui::vbOKOnly | ui::vbExclamation);
    } catch (const std::exception& e) {
        logSkipped(lcGrid(), std::source_location::current(), e);
        resumeNext(lcGrid(), [&] {
            if (card && card->editPending())
                card->cancelUpdate();
        });
    }
}

} // namespace numora
