#include "platform/controls/FlexGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

#include "platform/controls/FlexGridModel.h"
#include "platform/core/Error.h"

namespace numora::controls {

namespace {

constexpr long kSubscriptOutOfRange = 381;
constexpr long kInvalidPropertyValue = 380;
constexpr double kTwipsPerInch = 1440.0;

[[noreturn]] void subscriptOutOfRange() { throw Error(kSubscriptOutOfRange, "Subscript out of range"); }
[[noreturn]] void invalidPropertyValue() { throw Error(kInvalidPropertyValue, "Invalid property value"); }

int buttonNumber(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

} // namespace

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), model_(new FlexGridModel(this))
{
    setModel(model_);
    // The grid shows its own highlight through cell colours; the view's
    // selection would only paint over it.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    // Fixed row heights keep layout cost flat for lists of tens of thousands.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { onViewCurrentChanged(current); });

    // The grid starts as two rows by two columns with one fixed row.
    setCols(2);
    setRows(2);
}

FlexGrid::~FlexGrid() = default;

// ---- shape ------------------------------------------------------------------

int FlexGrid::Rows() const { return model_->rows(); }

void FlexGrid::setRows(int rows)
{
    if (rows < 0)
        invalidPropertyValue();
    syncing_ = true;
    model_->setRows(rows);
    syncing_ = false;
    if (row_ >= rows)
        row_ = std::max(0, rows - 1);
    syncCurrentToView();
}

int FlexGrid::Cols() const { return model_->cols(); }

void FlexGrid::setCols(int cols)
{
    if (cols < 0)
        invalidPropertyValue();
    syncing_ = true;
    model_->setCols(cols);
    syncing_ = false;
    twips_.resize(static_cast<size_t>(cols), -1);
    if (col_ >= cols)
        col_ = std::max(0, cols - 1);
    if (redraw_)
        for (int c = 0; c < cols; ++c)
            applyColumnWidth(c);
    syncCurrentToView();
}

int FlexGrid::FixedRows() const { return model_->fixedRows(); }

void FlexGrid::setFixedRows(int rows)
{
    if (rows < 0 || rows > 1)
        invalidPropertyValue(); // the heading row is the one fixed row this grid has
    syncing_ = true;
    model_->setFixedRows(rows);
    syncing_ = false;
    horizontalHeader()->setVisible(rows > 0);
    if (redraw_)
        for (int c = 0; c < Cols(); ++c)
            applyColumnWidth(c);
    syncCurrentToView();
}

// ---- the current cell ----------------------------------------------------------

void FlexGrid::checkRow(int row) const
{
    if (row < 0 || row >= Rows())
        subscriptOutOfRange();
}

void FlexGrid::checkCol(int col) const
{
    if (col < 0 || col >= Cols())
        subscriptOutOfRange();
}

int FlexGrid::Row() const { return row_; }

void FlexGrid::setRow(int row)
{
    checkRow(row);
    row_ = row;
    syncCurrentToView();
}

int FlexGrid::Col() const { return col_; }

void FlexGrid::setCol(int col)
{
    checkCol(col);
    col_ = col;
    syncCurrentToView();
}

void FlexGrid::syncCurrentToView()
{
    if (!redraw_)
        return; // brought over once when redraw comes back on
    // Moving the current cell by program never scrolls: the owner moves it
    // about to recolour rows (the old highlight may be far off screen), and a
    // list that jumped under the pointer would let the next click land on
    // another row. Only the user's own keys and clicks scroll the view.
    const bool autoScroll = hasAutoScroll();
    setAutoScroll(false);
    const int fixed = FixedRows();
    syncing_ = true;
    if (row_ >= fixed && row_ < Rows() && col_ < Cols()) {
        const QModelIndex index = model_->index(row_ - fixed, col_);
        if (selectionModel()->currentIndex() != index)
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    } else if (selectionModel()->currentIndex().isValid()) {
        selectionModel()->clearCurrentIndex(); // the heading row has no cell in the view
    }
    syncing_ = false;
    setAutoScroll(autoScroll);
}

void FlexGrid::ShowRow(int row)
{
    checkRow(row);
    if (row >= FixedRows() && redraw_)
        scrollTo(model_->index(row - FixedRows(), std::max(0, std::min(col_, Cols() - 1))));
}

int FlexGrid::VisibleRows() const
{
    const int rowHeight = verticalHeader()->defaultSectionSize();
    return rowHeight > 0 ? std::max(1, viewport()->height() / rowHeight) : 1;
}

void FlexGrid::onViewCurrentChanged(const QModelIndex& current)
{
    if (syncing_ || !current.isValid())
        return;
    row_ = current.row() + FixedRows();
    col_ = current.column();
}

// ---- cells ------------------------------------------------------------------------

void FlexGrid::checkCurrent() const
{
    checkRow(row_);
    checkCol(col_);
}

QString FlexGrid::Text() const
{
    checkCurrent();
    return model_->text(row_, col_);
}

void FlexGrid::setText(const QString& text)
{
    checkCurrent();
    model_->setText(row_, col_, text);
}

QString FlexGrid::TextMatrix(int row, int col) const
{
    checkRow(row);
    checkCol(col);
    return model_->text(row, col);
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text)
{
    checkRow(row);
    checkCol(col);
    model_->setText(row, col, text);
}

QColor FlexGrid::CellForeColor() const
{
    checkCurrent();
    return model_->foreColor(row_, col_);
}

void FlexGrid::setCellForeColor(const QColor& color)
{
    checkCurrent();
    model_->setForeColor(row_, col_, color);
}

QColor FlexGrid::CellBackColor() const
{
    checkCurrent();
    return model_->backColor(row_, col_);
}

void FlexGrid::setCellBackColor(const QColor& color)
{
    checkCurrent();
    model_->setBackColor(row_, col_, color);
}

void FlexGrid::Clear() { model_->clear(); }

void FlexGrid::fillRow(int row, std::span<const std::string_view> texts, const QColor& fore, const QColor& back)
{
    checkRow(row);
    model_->setRow(row, texts, fore, back);
}

// ---- columns ---------------------------------------------------------------------

int FlexGrid::ColWidth(int col) const
{
    checkCol(col);
    const int twips = twips_[static_cast<size_t>(col)];
    if (twips >= 0)
        return twips;
    return static_cast<int>(std::lround(columnWidth(col) * kTwipsPerInch / logicalDpiX()));
}

void FlexGrid::setColWidth(int col, int twips)
{
    checkCol(col);
    if (twips < -1)
        invalidPropertyValue();
    twips_[static_cast<size_t>(col)] = twips;
    if (redraw_)
        applyColumnWidth(col);
}

void FlexGrid::applyColumnWidth(int col)
{
    const int twips = twips_[static_cast<size_t>(col)];
    if (twips < 0 || col >= model_->columnCount())
        return;
    setColumnWidth(col, static_cast<int>(std::lround(twips * logicalDpiX() / kTwipsPerInch)));
}

int FlexGrid::ColAlignment(int col) const
{
    checkCol(col);
    return model_->alignment(col);
}

void FlexGrid::setColAlignment(int col, int alignment)
{
    checkCol(col);
    if (alignment < flexAlignLeftTop || alignment > 9)
        invalidPropertyValue();
    model_->setAlignment(col, alignment);
}

// ---- redraw ----------------------------------------------------------------------------

bool FlexGrid::Redraw() const { return redraw_; }

void FlexGrid::setRedraw(bool on)
{
    if (on == redraw_)
        return;
    if (!on) {
        redraw_ = false;
        model_->freeze();
        return;
    }
    syncing_ = true;
    const bool rebuilt = model_->thaw();
    syncing_ = false;
    redraw_ = true;
    for (int c = 0; c < Cols(); ++c)
        applyColumnWidth(c);
    if (rebuilt)
        scrollToTop(); // a list that was built anew starts at its top
    syncCurrentToView();
}

// ---- events -------------------------------------------------------------------------------

void FlexGrid::mousePressEvent(QMouseEvent* event)
{
    const int button = buttonNumber(event->button());
    const QPoint global = event->globalPosition().toPoint();
    if (event->button() == Qt::RightButton) {
        // The popup of a right press acts on the row chosen before, so the
        // view must not move its current cell here.
        pressedOnCell_ = false;
        event->accept();
        emit MouseDown(button, global);
        return;
    }
    QTableView::mousePressEvent(event);
    pressedOnCell_ = event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid();
    emit MouseDown(button, global);
}

void FlexGrid::mouseReleaseEvent(QMouseEvent* event)
{
    QTableView::mouseReleaseEvent(event);
    const bool click = event->button() == Qt::LeftButton && pressedOnCell_ && !afterDoubleClick_ &&
                       indexAt(event->position().toPoint()).isValid();
    if (event->button() == Qt::LeftButton) {
        pressedOnCell_ = false;
        afterDoubleClick_ = false;
    }
    if (click)
        emit Click();
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event); // a second press of another button, nothing more
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
    if (indexAt(event->position().toPoint()).isValid()) {
        afterDoubleClick_ = true; // the release that ends a double-click is no new click
        emit DblClick();
    }
}

void FlexGrid::keyPressEvent(QKeyEvent* event)
{
    emit KeyDown(event->key(), event->modifiers());
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: event->accept(); return;
    default: break;
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        if (event->key() == Qt::Key_Escape)
            emit KeyPress(27);
    } else {
        for (const QChar ch : text)
            emit KeyPress(ch.unicode());
    }
    QTableView::keyPressEvent(event);
}

void FlexGrid::keyboardSearch(const QString&) {}

void FlexGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    emit FocusChanged(true);
}

void FlexGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    emit FocusChanged(false);
}

void FlexGrid::contextMenuEvent(QContextMenuEvent* event)
{
    // The grid's popup is shown from its right MouseDown; the window behind
    // must not show its own menu as well.
    event->accept();
}

} // namespace numora::controls
