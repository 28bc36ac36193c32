#include "platform/ui/Twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace numora::ui {
namespace {

double dpi(bool horizontal)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96.0;
    const double d = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return d > 0 ? d : 96.0;
}

int toPixels(double twips, double perPixel) { return static_cast<int>(std::lround(twips / perPixel)); }

} // namespace

double twipsPerPixelX() { return kTwipsPerInch / dpi(true); }
double twipsPerPixelY() { return kTwipsPerInch / dpi(false); }

int twipsToPixelsX(double twips) { return toPixels(twips, twipsPerPixelX()); }
int twipsToPixelsY(double twips) { return toPixels(twips, twipsPerPixelY()); }
double pixelsToTwipsX(int pixels) { return pixels * twipsPerPixelX(); }
double pixelsToTwipsY(int pixels) { return pixels * twipsPerPixelY(); }

QRect twipsRect(int left, int top, int width, int height)
{
    const int x = twipsToPixelsX(left);
    const int y = twipsToPixelsY(top);
    const int right = twipsToPixelsX(left + width);
    const int bottom = twipsToPixelsY(top + height);
    return QRect(x, y, right - x, bottom - y);
}

} // namespace numora::ui
