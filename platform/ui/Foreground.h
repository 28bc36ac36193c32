#pragma once
// SetForegroundWindow: raises the window above the others and gives it the
// input focus, as far as the window manager allows. A hidden window is left
// as it is (showing it brings it to the front).

class QWidget;

namespace numora::ui {

void SetForegroundWindow(QWidget* window);

} // namespace numora::ui
