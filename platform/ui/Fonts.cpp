#include "platform/ui/Fonts.h"

#include <QStringList>

namespace numora::ui {

void installFontSubstitutions()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Frank Ruehl and David are the Culmus faces closest in shape to the
    // Hebrew serif the title and the row line were drawn in.
    QFont::insertSubstitutions(QStringLiteral("Narkisim"),
                               {QStringLiteral("Frank Ruehl CLM"), QStringLiteral("David CLM"),
                                QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
    // One monospaced face for Hebrew and digits alike, so that lines laid
    // out in columns of characters stay in columns.
    QFont::insertSubstitutions(
        QStringLiteral("Courier New"),
        {QStringLiteral("Miriam Mono CLM"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    // The report's face; Liberation Sans has its metrics and Hebrew letters.
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

QFont designFont(const QString& family, double pointSize, bool bold)
{
    installFontSubstitutions();
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace numora::ui
