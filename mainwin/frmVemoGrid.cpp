// The grid, the letter tabs and the group selector of the main window.
#include "mainwin/frmVemo.h"

namespace numora {

void frmVemo::SetGridHeadings() {}
void frmVemo::RefreshGrid() {}
void frmVemo::ShowAllRecords() {}
void frmVemo::HighlightRow(int) {}
void frmVemo::ShowRowText(int) {}
void frmVemo::MSFlexGrid1_Click() {}
void frmVemo::MSFlexGrid1_DblClick() {}
void frmVemo::MSFlexGrid1_KeyPress(int) {}
void frmVemo::MSFlexGrid1_MouseDown(int, const QPoint&) {}
void frmVemo::MSFlexGrid1_FocusChanged(bool) {}
void frmVemo::TabVemo_Click(int) {}
void frmVemo::cmbGroup_Click() {}
void frmVemo::btnAll_Click() {}
void frmVemo::mnuAll_Click() {}
void frmVemo::mnuDbg_Click() {}
void frmVemo::Image2_Click() {}

} // namespace numora
