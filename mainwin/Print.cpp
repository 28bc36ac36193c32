#include "mainwin/frmVemo.h"

namespace numora {

void frmVemo::mnuPrint_Click() {}

void frmVemo::popPrint_Click() { mnuPrint_Click(); }

} // namespace numora
