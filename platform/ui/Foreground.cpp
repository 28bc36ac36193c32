#include "platform/ui/Foreground.h"

#include <QWidget>

namespace numora::ui {

void SetForegroundWindow(QWidget* window)
{
    if (!window || !window->isVisible())
        return;
    window->raise();
    window->activateWindow();
}

} // namespace numora::ui
