#pragma once
// SetForegroundWindow: raises the window above the others and gives it the
// input focus, as far as the window manager allows. A hidden window is left
// as it is (showing it brings it to the front).
//
// keepPlace: makes the place a hidden window last had its own, so that it
// comes back there when shown again, even where the window manager chose
// that place at its first showing and would otherwise place it anew.

class QWidget;

namespace numora::ui {

void SetForegroundWindow(QWidget* window);

void keepPlace(QWidget* window);

} // namespace numora::ui
