#include "platform/ui/Decorations.h"

#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QWidget>

namespace numora::ui {
namespace {

class LeftToRightLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextForceLeftToRight, text());
    }
};

QLabel* place(QLabel* l, const char* name, const QRect& at)
{
    l->setObjectName(QLatin1String(name));
    l->setGeometry(at);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace

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

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& at)
{
    return place(new QLabel(text, parent), name, at);
}

QLabel* leftToRightLabel(QWidget* parent, const char* name, const QString& text, const QRect& at)
{
    return place(new LeftToRightLabel(text, parent), name, at);
}

QToolButton* flatButton(QWidget* parent, const char* name, const char* caption, const char* tip, Picture picture,
                        const QRect& place, Qt::ToolButtonStyle style)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(QLatin1String(caption));
    if (tip)
        b->setToolTip(QLatin1String(tip));
    b->setIcon(icon(picture));
    b->setIconSize(QSize(24, 24));
    b->setToolButtonStyle(style);
    b->setAutoRaise(true);
    b->setGeometry(place);
    return b;
}

} // namespace numora::ui
