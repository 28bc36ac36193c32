#include "platform/ui/Anchors.h"

#include <QEvent>
#include <QWidget>

namespace numora::ui {

Anchors::Anchors(QWidget* parent, const QSize& designed) : QObject(parent), parent_(parent), designed_(designed)
{
    parent->installEventFilter(this);
}

void Anchors::anchor(QWidget* control, Qt::Edges edges)
{
    anchored_.push_back({control, control->geometry(), edges});
    place(anchored_.back(), (parent_->size() - designed_).expandedTo(QSize(0, 0)));
}

bool Anchors::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent_ && event->type() == QEvent::Resize) {
        const QSize grown = (parent_->size() - designed_).expandedTo(QSize(0, 0));
        for (const Anchored& a : anchored_)
            place(a, grown);
    }
    return false;
}

void Anchors::place(const Anchored& a, const QSize& grown) const
{
    QRect r = a.designed;
    if (a.edges & Qt::RightEdge) {
        if (a.edges & Qt::LeftEdge)
            r.setWidth(r.width() + grown.width());
        else
            r.translate(grown.width(), 0);
    }
    if (a.edges & Qt::BottomEdge) {
        if (a.edges & Qt::TopEdge)
            r.setHeight(r.height() + grown.height());
        else
            r.translate(0, grown.height());
    }
    a.control->setGeometry(r);
}

} // namespace numora::ui
