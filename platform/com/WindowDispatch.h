#pragma once
// A top-level window as the controls placed on it see their container,
// through IDispatch: WindowState (0 normal, 1 minimised, 2 maximised) and
// Left, Top, Width and Height in twips, screen coordinates, of the window's
// outer frame.
//
// A window not shown yet is placed as it will be shown: its outer size counts
// the frame the window manager says it will add, and a position given is the
// frame's, 0,0 as much as any other.
//
// Puts take any value that converts to a number (texts in the user's
// locale). Giving a property the value it has changes nothing. A state other
// than 0, 1 and 2 or a negative size fails as an invalid property value; a
// number beyond any screen's coordinates fails as an overflow; a size below
// the window's smallest becomes its smallest, so the window never collapses.

#include "platform/com/Com.h"

class QWidget;

namespace numora::com {

// A new reference. Once the window is gone every access fails.
IDispatch* createWindowDispatch(QWidget* window);

} // namespace numora::com
