#pragma once
// The directory grid control: a QTableView over a table model of plain texts
// and cell colours (never one widget item per cell; lists reach tens of
// thousands of cards). Its interface is the flex-grid one the main window is
// written against: a current cell (Row, Col) that the cell properties act on,
// Rows/Cols to size it, TextMatrix for direct access, one fixed heading row.

#include <QColor>
#include <QString>
#include <QTableView>

#include <span>
#include <string_view>
#include <vector>

namespace numora::controls {

class FlexGridModel;

// Column alignments (grid constants).
enum FlexAlignment : int {
    flexAlignLeftTop = 0,
    flexAlignLeftCenter = 1,
    flexAlignLeftBottom = 2,
    flexAlignCenterTop = 3,
    flexAlignCenterCenter = 4,
    flexAlignCenterBottom = 5,
    flexAlignRightTop = 6,
    flexAlignRightCenter = 7,
    flexAlignRightBottom = 8,
};

class FlexGrid : public QTableView {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);
    ~FlexGrid() override;

    int Rows() const;
    void setRows(int rows); // growing adds empty rows; shrinking drops rows at the end
    int Cols() const;
    void setCols(int cols);
    int FixedRows() const; // 1: row 0 holds the headings
    void setFixedRows(int rows);

    // The current cell. Moving it never scrolls the view.
    int Row() const;
    void setRow(int row); // fails (numora::Error 381) outside 0..Rows()-1
    int Col() const;
    void setCol(int col); // fails (numora::Error 381) outside 0..Cols()-1

    QString Text() const; // of the current cell
    void setText(const QString& text);
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    int ColWidth(int col) const; // twips
    void setColWidth(int col, int twips);
    int ColAlignment(int col) const;
    void setColAlignment(int col, int alignment);

    QColor CellForeColor() const; // of the current cell; invalid = the grid's own colour
    void setCellForeColor(const QColor& color);
    QColor CellBackColor() const;
    void setCellBackColor(const QColor& color);

    void Clear(); // every cell's text and colours

    // Bulk fill: a whole row in one step, without moving the current cell:
    // the texts (UTF-8) of its first cells and, where valid, the fore and
    // back colour of all of them. A list is filled by sizing the grid once
    // (setRows) and filling its rows with redraw off.
    void fillRow(int row, std::span<const std::string_view> texts, const QColor& fore = QColor(),
                 const QColor& back = QColor());

    // Scrolls as little as needed to bring a row into view.
    void ShowRow(int row);
    // The rows the view shows whole at its present height (at least 1): a
    // page for Page Up and Page Down.
    int VisibleRows() const;

    // While redraw is off, changes are gathered and the view repaints once
    // when it is turned on again (a fill of many rows costs one repaint).
    bool Redraw() const;
    void setRedraw(bool on);

signals:
    void Click();
    void DblClick();
    // A key pressed (a Qt::Key), before its character. Up, Down, Page Up,
    // Page Down, Home and End move no cell of the grid's own: which row they
    // lead to is the owner's to say, on this signal.
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void KeyPress(int ch); // the character typed (Esc = 27); not consumed
    // button: 1 left, 2 right, 4 middle; pos: the mouse in screen coordinates.
    // A right press leaves the current cell where it was.
    void MouseDown(int button, const QPoint& pos);
    void FocusChanged(bool hasFocus);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

public:
    // The view's own search by typed text is off: type-ahead is the owner's.
    void keyboardSearch(const QString& search) override;

private:
    void checkRow(int row) const;
    void checkCol(int col) const;
    void checkCurrent() const;
    void syncCurrentToView();
    void applyColumnWidth(int col);
    void onViewCurrentChanged(const QModelIndex& current);

    FlexGridModel* model_;
    int row_ = 1; // the current cell, in grid rows (row 0 = headings)
    int col_ = 0;
    std::vector<int> twips_; // per column; -1 = the view's default width
    bool redraw_ = true;
    bool syncing_ = false; // the current index is being moved by the grid itself
    bool pressedOnCell_ = false;
    bool afterDoubleClick_ = false;
};

} // namespace numora::controls
