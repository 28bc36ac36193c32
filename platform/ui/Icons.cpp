#include "platform/ui/Icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace numora::ui {
namespace {

// Every picture is drawn on a 32 x 32 canvas and scaled by the painter.
void drawAppIcon(QPainter& p)
{
    QLinearGradient bg(0, 0, 32, 32);
    bg.setColorAt(0, QColor(150, 40, 150));
    bg.setColorAt(1, QColor(90, 0, 110));
    p.setPen(QPen(QColor(60, 0, 70), 1));
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 6, 6);

    // The open book.
    p.setPen(QPen(QColor(80, 80, 80), 0.8));
    p.setBrush(QColor(255, 250, 235));
    QPainterPath left;
    left.moveTo(16, 25);
    left.cubicTo(12, 22.5, 8, 22.5, 5, 24);
    left.lineTo(5, 14);
    left.cubicTo(8, 12.5, 12, 12.5, 16, 15);
    left.closeSubpath();
    QPainterPath right;
    right.moveTo(16, 25);
    right.cubicTo(20, 22.5, 24, 22.5, 27, 24);
    right.lineTo(27, 14);
    right.cubicTo(24, 12.5, 20, 12.5, 16, 15);
    right.closeSubpath();
    p.drawPath(left);
    p.drawPath(right);
    p.setPen(QPen(QColor(150, 150, 150), 0.8));
    for (double y : {17.5, 20.0}) {
        p.drawLine(QPointF(7.5, y), QPointF(13.5, y + 0.8));
        p.drawLine(QPointF(18.5, y + 0.8), QPointF(24.5, y));
    }

    // The handset above it.
    QPainterPath handset;
    handset.moveTo(6, 11);
    handset.cubicTo(6, 3.5, 26, 3.5, 26, 11);
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(handset);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(3.5, 9, 6.5, 3.5), 1.5, 1.5);
    p.drawRoundedRect(QRectF(22, 9, 6.5, 3.5), 1.5, 1.5);
}

void drawAdd(QPainter& p)
{
    QRadialGradient g(QPointF(13, 12), 16);
    g.setColorAt(0, QColor(120, 220, 120));
    g.setColorAt(1, QColor(20, 130, 30));
    p.setPen(QPen(QColor(10, 90, 20), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
    p.setPen(QPen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16, 9), QPointF(16, 23));
    p.drawLine(QPointF(9, 16), QPointF(23, 16));
}

void drawEdit(QPainter& p)
{
    p.translate(16, 16);
    p.rotate(45);
    // Body, ferrule and eraser along the y axis, the point downwards.
    p.setPen(QPen(QColor(120, 80, 0), 1));
    p.setBrush(QColor(250, 200, 40));
    p.drawRect(QRectF(-4, -12, 8, 17));
    p.setBrush(QColor(190, 190, 200));
    p.drawRect(QRectF(-4, -14.5, 8, 2.5));
    p.setBrush(QColor(235, 120, 130));
    p.drawRoundedRect(QRectF(-4, -18, 8, 3.5), 1.5, 1.5);
    QPainterPath tip;
    tip.moveTo(-4, 5);
    tip.lineTo(4, 5);
    tip.lineTo(0, 13);
    tip.closeSubpath();
    p.setBrush(QColor(240, 210, 170));
    p.drawPath(tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    QPainterPath lead;
    lead.moveTo(-1.5, 10);
    lead.lineTo(1.5, 10);
    lead.lineTo(0, 13);
    lead.closeSubpath();
    p.drawPath(lead);
}

void drawSearch(QPainter& p)
{
    p.setPen(QPen(QColor(90, 60, 30), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19.5, 19.5), QPointF(28, 28));
    QRadialGradient glass(QPointF(10, 10), 12);
    glass.setColorAt(0, QColor(235, 245, 255));
    glass.setColorAt(1, QColor(150, 190, 230));
    p.setPen(QPen(QColor(40, 60, 100), 2.5));
    p.setBrush(glass);
    p.drawEllipse(QPointF(13, 13), 9.5, 9.5);
}

void drawAll(QPainter& p)
{
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 2.5, 25, 27));
    for (int i = 0; i < 4; ++i) {
        const double y = 8 + i * 6;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 80, 170));
        p.drawEllipse(QPointF(8.5, y), 1.8, 1.8);
        p.setPen(QPen(QColor(60, 60, 60), 2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(12, y), QPointF(25, y));
    }
}

void drawDelete(QPainter& p)
{
    p.setPen(QPen(QColor(120, 0, 0), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 7), QPointF(25, 25));
    p.drawLine(QPointF(25, 7), QPointF(7, 25));
    p.setPen(QPen(QColor(225, 30, 30), 4.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 7), QPointF(25, 25));
    p.drawLine(QPointF(25, 7), QPointF(7, 25));
}

void drawQuit(QPainter& p)
{
    // Door frame and the open door.
    p.setPen(QPen(QColor(70, 50, 30), 1.5));
    p.setBrush(QColor(60, 60, 70));
    p.drawRect(QRectF(4.5, 3.5, 14, 25));
    QPainterPath door;
    door.moveTo(4.5, 3.5);
    door.lineTo(13, 6);
    door.lineTo(13, 31);
    door.lineTo(4.5, 28.5);
    door.closeSubpath();
    p.setBrush(QColor(170, 110, 50));
    p.drawPath(door);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 220, 90));
    p.drawEllipse(QPointF(11, 18), 1.2, 1.2);
    // The arrow leaving through it.
    p.setPen(QPen(QColor(200, 30, 30), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(16, 16), QPointF(28, 16));
    p.drawLine(QPointF(23.5, 11.5), QPointF(28, 16));
    p.drawLine(QPointF(23.5, 20.5), QPointF(28, 16));
}

void drawUpdate(QPainter& p)
{
    QPainterPath tick;
    tick.moveTo(5, 17);
    tick.lineTo(13, 25);
    tick.lineTo(27, 8);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(10, 90, 20), 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    p.setPen(QPen(QColor(60, 180, 60), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void drawClear(QPainter& p)
{
    p.translate(16, 16);
    p.rotate(-35);
    // The eraser: a pink rubber end in a blue sleeve, lying on a slant.
    p.setPen(QPen(QColor(70, 70, 90), 1));
    p.setBrush(QColor(240, 140, 150));
    p.drawRoundedRect(QRectF(-13, -6, 10, 12), 2, 2);
    p.setBrush(QColor(60, 110, 200));
    p.drawRoundedRect(QRectF(-4, -6, 17, 12), 2, 2);
    p.resetTransform();
    // What it leaves behind: a few crumbs.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 150, 150));
    for (const QPointF& at : {QPointF(6, 28), QPointF(10, 29.5), QPointF(14, 28.5)})
        p.drawEllipse(at, 1.1, 1.1);
}

void drawUndo(QPainter& p)
{
    QPainterPath turn;
    turn.moveTo(9, 12);
    turn.lineTo(19, 12);
    turn.cubicTo(30, 12, 30, 27, 19, 27);
    turn.lineTo(11, 27);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(20, 60, 140), 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(turn);
    QPainterPath head;
    head.moveTo(3, 12);
    head.lineTo(12, 4.5);
    head.lineTo(12, 19.5);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 60, 140));
    p.drawPath(head);
}

QPixmap render(Picture picture, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    switch (picture) {
    case Picture::AppIcon: drawAppIcon(p); break;
    case Picture::Add: drawAdd(p); break;
    case Picture::Edit: drawEdit(p); break;
    case Picture::Search: drawSearch(p); break;
    case Picture::All: drawAll(p); break;
    case Picture::Delete: drawDelete(p); break;
    case Picture::Quit: drawQuit(p); break;
    case Picture::Update: drawUpdate(p); break;
    case Picture::Clear: drawClear(p); break;
    case Picture::Undo: drawUndo(p); break;
    }
    return pm;
}

} // namespace

QIcon icon(Picture picture)
{
    QIcon result;
    for (int size : {16, 24, 32, 48})
        result.addPixmap(render(picture, size));
    return result;
}

} // namespace numora::ui
