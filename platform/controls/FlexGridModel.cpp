#include "platform/controls/FlexGridModel.h"

#include <QBrush>

#include <algorithm>

namespace numora::controls {

namespace {
constexpr int kGeneralAlignment = 9;
constexpr size_t kMaxPalette = 0xFFFF;
// Replaced texts stay in the store until they outweigh the texts in use by
// this much; then the texts in use are copied into a fresh store.
constexpr size_t kSlackBytes = size_t{1} << 20;

std::string_view utf8(const QByteArray& bytes)
{
    return std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()));
}
} // namespace

FlexGridModel::FlexGridModel(QObject* parent) : QAbstractTableModel(parent) {}

// ---- geometry ---------------------------------------------------------------

int FlexGridModel::viewRows() const { return std::max(0, (frozen_ ? shownRows_ : rows_) - fixedRows_); }
int FlexGridModel::viewCols() const { return frozen_ ? shownCols_ : cols_; }

void FlexGridModel::setRows(int rows)
{
    rows = std::max(0, rows);
    if (rows == rows_)
        return;
    for (size_t i = static_cast<size_t>(rows) * cols_; i < cells_.size(); ++i)
        forget(cells_[i]);
    if (frozen_) {
        cells_.resize(static_cast<size_t>(rows) * cols_);
        rows_ = rows;
        minRowsWhileFrozen_ = std::min(minRowsWhileFrozen_, rows);
        return;
    }
    const int oldModel = viewRows();
    const int newModel = std::max(0, rows - fixedRows_);
    const bool headerAppears = (rows_ == 0) != (rows == 0) && fixedRows_ > 0;
    if (newModel < oldModel)
        beginRemoveRows(QModelIndex(), newModel, oldModel - 1);
    else if (newModel > oldModel)
        beginInsertRows(QModelIndex(), oldModel, newModel - 1);
    cells_.resize(static_cast<size_t>(rows) * cols_);
    rows_ = rows;
    shownRows_ = rows;
    if (newModel < oldModel)
        endRemoveRows();
    else if (newModel > oldModel)
        endInsertRows();
    if (headerAppears && cols_ > 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
}

void FlexGridModel::setCols(int cols)
{
    cols = std::max(0, cols);
    if (cols == cols_)
        return;
    const bool live = !frozen_;
    const int oldView = viewCols();
    if (live) {
        if (cols < oldView)
            beginRemoveColumns(QModelIndex(), cols, oldView - 1);
        else
            beginInsertColumns(QModelIndex(), oldView, cols - 1);
    }
    std::vector<Cell> reshaped(static_cast<size_t>(rows_) * cols);
    const int keep = std::min(cols, cols_);
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < cols_; ++c) {
            if (c < keep)
                reshaped[static_cast<size_t>(r) * cols + c] = cell(r, c);
            else
                forget(cell(r, c));
        }
    }
    cells_ = std::move(reshaped);
    alignments_.resize(static_cast<size_t>(cols), kGeneralAlignment);
    cols_ = cols;
    if (live) {
        shownCols_ = cols;
        if (cols < oldView)
            endRemoveColumns();
        else
            endInsertColumns();
    } else {
        minColsWhileFrozen_ = std::min(minColsWhileFrozen_, cols);
    }
}

void FlexGridModel::setFixedRows(int fixed)
{
    fixed = std::clamp(fixed, 0, 1);
    if (fixed == fixedRows_)
        return;
    beginResetModel();
    fixedRows_ = fixed;
    if (frozen_) {
        // The view starts over from the present shape.
        shownRows_ = minRowsWhileFrozen_ = rows_;
        shownCols_ = minColsWhileFrozen_ = cols_;
    }
    endResetModel();
}

// ---- cells ---------------------------------------------------------------------

void FlexGridModel::cellChanged(int row, int col)
{
    if (frozen_)
        return;
    if (row < fixedRows_) {
        emit headerDataChanged(Qt::Horizontal, col, col);
    } else {
        const QModelIndex i = index(row - fixedRows_, col);
        emit dataChanged(i, i);
    }
}

QString FlexGridModel::text(int row, int col) const
{
    const std::string_view t = textOf(cell(row, col));
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

void FlexGridModel::store(Cell& c, std::string_view text)
{
    forget(c);
    c.at = text.empty() ? 0 : texts_.put(text);
    c.length = static_cast<std::uint32_t>(text.size());
    storedBytes_ += text.size();
    liveBytes_ += text.size();
    compactIfWasteful();
}

void FlexGridModel::compactIfWasteful()
{
    if (storedBytes_ > 2 * liveBytes_ + kSlackBytes) {
        TextStore fresh;
        for (Cell& kept : cells_) {
            if (kept.length)
                kept.at = fresh.put(textOf(kept));
        }
        texts_ = std::move(fresh);
        storedBytes_ = liveBytes_;
    }
}

void FlexGridModel::setText(int row, int col, const QString& text)
{
    Cell& c = cell(row, col);
    const QByteArray bytes = text.toUtf8();
    if (textOf(c) == utf8(bytes))
        return;
    store(c, utf8(bytes));
    cellChanged(row, col);
}

void FlexGridModel::setRow(int row, std::span<const std::string_view> texts, const QColor& fore, const QColor& back)
{
    Cell* const first = &cell(row, 0);
    const size_t n = std::min(texts.size(), static_cast<size_t>(cols_));
    for (size_t col = 0; col < n; ++col) {
        Cell& c = first[col];
        const std::string_view text = texts[col];
        liveBytes_ += text.size() - c.length;
        storedBytes_ += text.size();
        c.at = text.empty() ? 0 : texts_.put(text);
        c.length = static_cast<std::uint32_t>(text.size());
    }
    compactIfWasteful();
    if (fore.isValid() || back.isValid()) {
        const std::uint16_t foreIndex = colorIndex(fore);
        const std::uint16_t backIndex = colorIndex(back);
        for (int col = 0; col < cols_; ++col) {
            if (fore.isValid())
                first[col].fore = foreIndex;
            if (back.isValid())
                first[col].back = backIndex;
        }
    }
    if (!frozen_ && cols_ > 0) {
        if (row < fixedRows_)
            emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
        else
            emit dataChanged(index(row - fixedRows_, 0), index(row - fixedRows_, cols_ - 1));
    }
}

std::uint16_t FlexGridModel::colorIndex(const QColor& color)
{
    if (!color.isValid())
        return 0;
    const QRgb rgb = color.rgba();
    const auto it = std::find(palette_.begin(), palette_.end(), rgb);
    if (it != palette_.end())
        return static_cast<std::uint16_t>(it - palette_.begin() + 1);
    if (palette_.size() >= kMaxPalette)
        return 0; // more distinct colours than any grid uses: fall back to the grid's own
    palette_.push_back(rgb);
    return static_cast<std::uint16_t>(palette_.size());
}

QColor FlexGridModel::colorAt(std::uint16_t index) const
{
    if (index == 0 || index > palette_.size())
        return QColor();
    return QColor::fromRgba(palette_[index - 1]);
}

void FlexGridModel::setColor(int row, int col, const QColor& color, std::uint16_t Cell::*which)
{
    const std::uint16_t i = colorIndex(color);
    Cell& c = cell(row, col);
    if (c.*which == i)
        return;
    c.*which = i;
    cellChanged(row, col);
}

void FlexGridModel::setForeColor(int row, int col, const QColor& color) { setColor(row, col, color, &Cell::fore); }

void FlexGridModel::setBackColor(int row, int col, const QColor& color) { setColor(row, col, color, &Cell::back); }

void FlexGridModel::clear()
{
    for (Cell& c : cells_)
        c = Cell{};
    texts_.clear();
    storedBytes_ = liveBytes_ = 0;
    palette_.clear();
    if (frozen_)
        return;
    if (viewRows() > 0 && cols_ > 0)
        emit dataChanged(index(0, 0), index(viewRows() - 1, cols_ - 1));
    if (cols_ > 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
}

int FlexGridModel::alignment(int col) const { return alignments_[static_cast<size_t>(col)]; }

void FlexGridModel::setAlignment(int col, int alignment)
{
    alignments_[static_cast<size_t>(col)] = alignment;
    if (!frozen_ && viewRows() > 0)
        emit dataChanged(index(0, col), index(viewRows() - 1, col), {Qt::TextAlignmentRole});
}

Qt::Alignment FlexGridModel::qtAlignment(int flexAlignment)
{
    static constexpr Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static constexpr Qt::Alignment vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    if (flexAlignment < 0 || flexAlignment > 8)
        return Qt::AlignLeft | Qt::AlignVCenter; // general
    return horizontal[flexAlignment / 3] | vertical[flexAlignment % 3];
}

// ---- batching -------------------------------------------------------------------

void FlexGridModel::freeze()
{
    if (frozen_)
        return;
    frozen_ = true;
    shownRows_ = minRowsWhileFrozen_ = rows_;
    shownCols_ = minColsWhileFrozen_ = cols_;
}

bool FlexGridModel::thaw()
{
    if (!frozen_)
        return false;
    const bool rowsDropped = minRowsWhileFrozen_ < shownRows_;
    const auto modelRows = [this](int gridRows) { return std::max(0, gridRows - fixedRows_); };

    // Replay the change of shape as one removal and one insertion each way.
    if (minColsWhileFrozen_ < shownCols_) {
        beginRemoveColumns(QModelIndex(), minColsWhileFrozen_, shownCols_ - 1);
        shownCols_ = minColsWhileFrozen_;
        endRemoveColumns();
    }
    if (cols_ > shownCols_) {
        beginInsertColumns(QModelIndex(), shownCols_, cols_ - 1);
        shownCols_ = cols_;
        endInsertColumns();
    }
    if (modelRows(minRowsWhileFrozen_) < modelRows(shownRows_)) {
        beginRemoveRows(QModelIndex(), modelRows(minRowsWhileFrozen_), modelRows(shownRows_) - 1);
        shownRows_ = minRowsWhileFrozen_;
        endRemoveRows();
    }
    if (modelRows(rows_) > modelRows(shownRows_)) {
        beginInsertRows(QModelIndex(), modelRows(shownRows_), modelRows(rows_) - 1);
        shownRows_ = rows_;
        endInsertRows();
    }
    shownRows_ = rows_;
    frozen_ = false;

    if (viewRows() > 0 && cols_ > 0)
        emit dataChanged(index(0, 0), index(viewRows() - 1, cols_ - 1));
    if (cols_ > 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
    return rowsDropped;
}

// ---- QAbstractTableModel -----------------------------------------------------------

int FlexGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : viewRows(); }

int FlexGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : viewCols(); }

QVariant FlexGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + fixedRows_;
    const int col = index.column();
    if (row >= rows_ || col >= cols_)
        return {}; // only while frozen: the view still knows the old shape
    const Cell& c = cell(row, col);
    switch (role) {
    case Qt::DisplayRole: return text(row, col);
    case Qt::TextAlignmentRole: return QVariant::fromValue(qtAlignment(alignment(col)));
    case Qt::ForegroundRole: return c.fore ? QVariant(QBrush(colorAt(c.fore))) : QVariant();
    case Qt::BackgroundRole: return c.back ? QVariant(QBrush(colorAt(c.back))) : QVariant();
    default: return {};
    }
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || fixedRows_ == 0 || rows_ == 0 || section < 0 || section >= cols_)
        return {};
    if (role == Qt::DisplayRole)
        return text(0, section);
    return {};
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace numora::controls
