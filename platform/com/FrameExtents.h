#pragma once
// The frame a window manager will put around a top-level window, known before
// the window is first shown. Placing a window by its outer size needs it: a
// window given an outer size as its client size would open larger by the
// frame, and grow by a frame at every start whose size it stores.

#include <QMargins>

#include <optional>

class QWidget;

namespace numora::com {

// Asks the window manager for the frame it will give window (which is created
// natively for that, not shown) and waits briefly for the answer. nullopt
// where the frame cannot be known before showing: no X11 display, or a
// window manager that does not answer such a request (in time).
std::optional<QMargins> frameBeforeShowing(QWidget& window);

} // namespace numora::com
