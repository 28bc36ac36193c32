#pragma once
// A label that shows one line of text cut into columns of characters, left to
// right: each column's text stands where its characters stand in the line and
// reads in its own direction (a Hebrew value right to left), so that no value
// can move another across the line, whatever letters the values hold. The
// text is the line as stored; the columns are given by their widths.

#include <QLabel>

#include <vector>

namespace numora::ui {

class ColumnLine : public QLabel {
public:
    explicit ColumnLine(QWidget* parent = nullptr);

    // The columns' widths in characters, from the left; the last column takes
    // the rest of the line.
    void setColumns(std::vector<int> widths);
    // The longest line shown whole, in characters: when that many do not fit
    // the label at the font's width, every character is set that much
    // narrower. Lines given the same length and columns stand in the same
    // places in labels of one width.
    void setLineLength(int characters);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> widths_;
    int lineLength_ = 0;
};

} // namespace numora::ui
