#include "platform/com/ScreenTwips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace numora::com {
namespace {

double twipsPerPixel(bool across)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? (across ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY()) : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int pixels(double twips, double perPixel) { return static_cast<int>(std::lround(twips / perPixel)); }

} // namespace

double twipsPerPixelX() { return twipsPerPixel(true); }
double twipsPerPixelY() { return twipsPerPixel(false); }

QRect twipsToPixels(int left, int top, int width, int height)
{
    const double x = twipsPerPixelX();
    const double y = twipsPerPixelY();
    const QPoint topLeft(pixels(left, x), pixels(top, y));
    const QPoint pastEnd(pixels(left + width, x), pixels(top + height, y));
    return QRect(topLeft, QSize(pastEnd.x() - topLeft.x(), pastEnd.y() - topLeft.y()));
}

} // namespace numora::com
