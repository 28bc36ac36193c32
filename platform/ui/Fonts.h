#pragma once
// The windows name the fonts they were designed with. Those that Linux lacks
// are mapped once to installed faces of the same kind: "Narkisim" to a Culmus
// Hebrew serif, "Times New Roman" and "Arial" to metric-compatible faces,
// "Courier New" to a monospaced face that has Hebrew too.

#include <QFont>
#include <QString>

namespace numora::ui {

// Registers the font substitutions with Qt. Safe to call more than once.
void installFontSubstitutions();

// A font of the named family and point size, substitutions installed first.
QFont designFont(const QString& family, double pointSize, bool bold = false);

} // namespace numora::ui
