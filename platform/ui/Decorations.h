#pragma once
// The plain pieces windows are drawn with as designed: lines and shapes of one
// colour, labels placed at a designed spot, and flat picture buttons.

#include <QColor>
#include <QRect>
#include <QString>
#include <Qt>

#include "platform/ui/Icons.h"

class QLabel;
class QToolButton;
class QWidget;

namespace numora::ui {

// A filled rectangle or line drawn in one colour; it takes no mouse input.
QWidget* decoration(QWidget* parent, const QString& name, const QRect& place, const QColor& colour);

// A label whose text starts at its top left corner.
QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& place);

// The same, its text laid out left to right whatever it holds: a line that
// starts with digits and ends in a Hebrew word reads in its stored order,
// and a caption starting with a colon keeps the colon at its left.
QLabel* leftToRightLabel(QWidget* parent, const char* name, const QString& text, const QRect& place);

// A flat button: raised only under the mouse, with its picture and its
// caption laid out as style says (beside it or under it). No tip when tip is null.
QToolButton* flatButton(QWidget* parent, const char* name, const char* caption, const char* tip, Picture picture,
                        const QRect& place, Qt::ToolButtonStyle style);

} // namespace numora::ui
