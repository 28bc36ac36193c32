#include "platform/controls/FlexGrid.h"

namespace numora::controls {

class FlexGridModel {};

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), model_(nullptr) {}
FlexGrid::~FlexGrid() = default;
int FlexGrid::Rows() const { return 0; }
void FlexGrid::setRows(int) {}
int FlexGrid::Cols() const { return 0; }
void FlexGrid::setCols(int) {}
int FlexGrid::FixedRows() const { return 1; }
void FlexGrid::setFixedRows(int) {}
int FlexGrid::Row() const { return 0; }
void FlexGrid::setRow(int) {}
int FlexGrid::Col() const { return 0; }
void FlexGrid::setCol(int) {}
QString FlexGrid::Text() const { return {}; }
void FlexGrid::setText(const QString&) {}
QString FlexGrid::TextMatrix(int, int) const { return {}; }
void FlexGrid::setTextMatrix(int, int, const QString&) {}
int FlexGrid::ColWidth(int) const { return 0; }
void FlexGrid::setColWidth(int, int) {}
int FlexGrid::ColAlignment(int) const { return 0; }
void FlexGrid::setColAlignment(int, int) {}
QColor FlexGrid::CellForeColor() const { return {}; }
void FlexGrid::setCellForeColor(const QColor&) {}
QColor FlexGrid::CellBackColor() const { return {}; }
void FlexGrid::setCellBackColor(const QColor&) {}
void FlexGrid::Clear() {}
bool FlexGrid::Redraw() const { return true; }
void FlexGrid::setRedraw(bool) {}

} // namespace numora::controls
