#include "platform/ui/Foreground.h"

#include <QWidget>
#include <QWindow>

namespace numora::ui {

void SetForegroundWindow(QWidget* window)
{
    if (!window || !window->isVisible())
        return;
    window->raise();
    window->activateWindow();
}

void keepPlace(QWidget* window)
{
    QWindow* handle = window && window->isWindow() && !window->isVisible() ? window->windowHandle() : nullptr;
    if (!handle)
        return;
    // Given its own place, the window counts as placed rather than left to
    // the window manager...
    handle->setGeometry(handle->geometry());
    // ... and the window manager must learn so before the window is mapped
    // again, which leaving the minimised state does at once. A change of a
    // size hint is what sends the hints, the place among them.
    const QSize base = handle->baseSize();
    handle->setBaseSize(base + QSize(1, 1));
    handle->setBaseSize(base);
}

} // namespace numora::ui
