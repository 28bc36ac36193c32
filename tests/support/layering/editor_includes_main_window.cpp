// Built by the layering test only, where it must fail: the record editor
// reaches the main window's headers no more than any window reaches those of
// a window above it.
#include "editor/FrmNewPhn.h"
#include "mainwin/frmVemo.h"
