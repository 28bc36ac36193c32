#pragma once
// Window geometry is designed in twips (1/1440 inch). On screen it converts at
// the screen's logical DPI: 15 twips per pixel at 96 DPI.

#include <QRect>

namespace numora::ui {

inline constexpr int kTwipsPerInch = 1440;

// Twips per pixel across and down, from the primary screen's logical DPI
// (96 DPI when there is no screen).
double twipsPerPixelX();
double twipsPerPixelY();

// Rounded to the nearest pixel / twip.
int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
double pixelsToTwipsX(int pixels);
double pixelsToTwipsY(int pixels);

// A control's place given as left, top, width and height in twips. The right
// and bottom edges are converted as edges, so controls that meet in twips
// still meet in pixels.
QRect twipsRect(int left, int top, int width, int height);

} // namespace numora::ui
