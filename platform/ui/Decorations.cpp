#include "platform/ui/Decorations.h"

#include <QLabel>
#include <QWidget>

namespace numora::ui {

QWidget* decoration(QWidget* parent, const QString& name, const QRect& place, const QColor& colour)
{
    auto* w = new QWidget(parent);
    w->setObjectName(name);
    w->setGeometry(place);
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& place)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(place);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace numora::ui
