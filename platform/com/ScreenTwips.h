#pragma once
// Twips (1/1440 inch) and pixels for the places controls and their
// containers exchange: at the primary screen's logical DPI, 96 DPI where
// there is no screen, so 15 twips to the pixel on a common desktop.

#include <QRect>

namespace numora::com {

double twipsPerPixelX();
double twipsPerPixelY();
// left, top, width and height in twips to pixels, edges rounded as edges.
QRect twipsToPixels(int left, int top, int width, int height);

} // namespace numora::com
