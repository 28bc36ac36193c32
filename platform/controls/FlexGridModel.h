#pragma once
// The table model behind FlexGrid: a rows x cols matrix of texts with an
// optional fore and back colour per cell. Row 0 of the grid (the fixed row)
// is served as the horizontal header; model row r is grid row r + fixedRows.
//
// Each text is kept once, in UTF-8, back to back with the others in a text
// store, and colours as small indexes into a palette of the colours in use:
// a cell costs twelve bytes and its text, and a list of tens of thousands
// of cards is built in bulk, a row at a time, without a string per cell. A
// text is made a QString only when the view asks for it.
//
// While frozen (redraw off) the model changes its cells without a single
// signal and keeps telling the view the shape it had when frozen; thawing
// replays the change of shape once and repaints everything in one go.

#include <QAbstractTableModel>
#include <QColor>
#include <QString>

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "platform/core/TextStore.h"

namespace numora::controls {

class FlexGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FlexGridModel(QObject* parent = nullptr);

    // ---- grid geometry (grid rows, counting the fixed row) ----------------
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    int fixedRows() const { return fixedRows_; }
    void setRows(int rows);
    void setCols(int cols);
    void setFixedRows(int fixed);

    // ---- cells (grid coordinates; callers check the range) -----------------
    QString text(int row, int col) const;
    void setText(int row, int col, const QString& text);
    // The texts (UTF-8) of a row's first cells, and when valid the fore and
    // back colour of all its cells, in one step.
    void setRow(int row, std::span<const std::string_view> texts, const QColor& fore, const QColor& back);
    QColor foreColor(int row, int col) const { return colorAt(cell(row, col).fore); }
    QColor backColor(int row, int col) const { return colorAt(cell(row, col).back); }
    void setForeColor(int row, int col, const QColor& color);
    void setBackColor(int row, int col, const QColor& color);
    void clear(); // every text and colour; the shape stays

    // 0..8 as the flex alignment constants, 9 general.
    int alignment(int col) const;
    void setAlignment(int col, int alignment);

    // ---- batching -----------------------------------------------------------
    bool frozen() const { return frozen_; }
    void freeze();
    // Returns whether rows were dropped while frozen (the list was rebuilt).
    bool thaw();

    // ---- QAbstractTableModel ------------------------------------------------
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static Qt::Alignment qtAlignment(int flexAlignment);

private:
    struct Cell {
        std::uint32_t at = 0;     // the text's position in texts_
        std::uint32_t length = 0; // its bytes; 0 for an empty cell
        std::uint16_t fore = 0;   // palette index; 0 = the grid's own colour
        std::uint16_t back = 0;
    };

    const Cell& cell(int row, int col) const { return cells_[static_cast<size_t>(row) * cols_ + col]; }
    Cell& cell(int row, int col) { return cells_[static_cast<size_t>(row) * cols_ + col]; }
    std::uint16_t colorIndex(const QColor& color);
    QColor colorAt(std::uint16_t index) const;
    std::string_view textOf(const Cell& c) const
    {
        return c.length ? std::string_view(texts_.at(c.at), c.length) : std::string_view();
    }
    void store(Cell& c, std::string_view text);
    void compactIfWasteful();
    void forget(const Cell& c) { liveBytes_ -= c.length; }
    void setColor(int row, int col, const QColor& color, std::uint16_t Cell::*which);
    void cellChanged(int row, int col);
    int viewRows() const; // model rows the view knows of
    int viewCols() const;

    std::vector<Cell> cells_;
    TextStore texts_;
    std::size_t storedBytes_ = 0; // in texts_, replaced texts included
    std::size_t liveBytes_ = 0;   // of the texts cells show
    std::vector<int> alignments_;
    std::vector<QRgb> palette_; // palette_[i - 1] is colour index i
    int rows_ = 0;
    int cols_ = 0;
    int fixedRows_ = 1;

    bool frozen_ = false;
    int shownRows_ = 0; // grid rows and cols the view was last told of
    int shownCols_ = 0;
    int minRowsWhileFrozen_ = 0;
    int minColsWhileFrozen_ = 0;
};

} // namespace numora::controls
