#pragma once
// The table model behind FlexGrid: a rows x cols matrix of texts with an
// optional fore and back colour per cell. Row 0 of the grid (the fixed row)
// is served as the horizontal header; model row r is grid row r + fixedRows.
//
// Colours are kept as small indexes into a palette of the colours in use, so
// a grid of tens of thousands of coloured cells costs four bytes of colour
// per cell.
//
// While frozen (redraw off) the model changes its cells without a single
// signal and keeps telling the view the shape it had when frozen; thawing
// replays the change of shape once and repaints everything in one go.

#include <QAbstractTableModel>
#include <QColor>
#include <QString>

#include <cstdint>
#include <vector>

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
    const QString& text(int row, int col) const { return cell(row, col).text; }
    void setText(int row, int col, const QString& text);
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
        QString text;
        std::uint16_t fore = 0; // palette index; 0 = the grid's own colour
        std::uint16_t back = 0;
    };

    const Cell& cell(int row, int col) const { return cells_[static_cast<size_t>(row) * cols_ + col]; }
    Cell& cell(int row, int col) { return cells_[static_cast<size_t>(row) * cols_ + col]; }
    std::uint16_t colorIndex(const QColor& color);
    QColor colorAt(std::uint16_t index) const;
    void setColor(int row, int col, const QColor& color, std::uint16_t Cell::*which);
    void cellChanged(int row, int col);
    int viewRows() const; // model rows the view knows of
    int viewCols() const;

    std::vector<Cell> cells_;
    std::vector<int> alignments_;
    std::vector<QRgb> palette_; // palette_[i - 1] is colour index i
    int rows_ = 0;
    int cols_ = 0;
    int fixedRows_ = 1;

    bool frozen_ = false;
    int shownRows_ = 0;   // grid rows and cols the view was last told of
    int shownCols_ = 0;
    int minRowsWhileFrozen_ = 0;
    int minColsWhileFrozen_ = 0;
};

} // namespace numora::controls
