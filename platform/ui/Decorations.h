#pragma once
// The plain pieces windows are drawn with as designed: lines and shapes of one
// colour, and labels placed at a designed spot.

#include <QColor>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

namespace numora::ui {

// A filled rectangle or line drawn in one colour; it takes no mouse input.
QWidget* decoration(QWidget* parent, const QString& name, const QRect& place, const QColor& colour);

// A label whose text starts at its top left corner.
QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& place);

} // namespace numora::ui
