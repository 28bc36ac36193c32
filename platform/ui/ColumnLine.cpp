#include "platform/ui/ColumnLine.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace numora::ui {

ColumnLine::ColumnLine(QWidget* parent) : QLabel(parent) {}

void ColumnLine::setColumns(std::vector<int> widths)
{
    widths_ = std::move(widths);
    update();
}

void ColumnLine::setLineLength(int characters)
{
    lineLength_ = characters;
    update();
}

void ColumnLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));

    const QRectF area = contentsRect();
    // One character's width: the font is fixed-width, digits and letters alike.
    const qreal advance = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0'));
    if (advance <= 0)
        return;
    const qreal scale = lineLength_ > 0 ? std::min<qreal>(1.0, area.width() / (lineLength_ * advance)) : 1.0;
    painter.translate(area.left(), 0);
    painter.scale(scale, 1.0);
    const qreal right = area.width() / scale;
    const int vertical = static_cast<int>(alignment() & Qt::AlignVertical_Mask);

    const QString line = text();
    qsizetype start = 0;
    for (std::size_t c = 0; c <= widths_.size() && start < line.size(); ++c) {
        const qsizetype width = c < widths_.size() ? widths_[c] : line.size() - start;
        const QString column = line.mid(start, width);
        qsizetype first = 0;
        while (first < column.size() && column.at(first) == QLatin1Char(' '))
            ++first;
        qsizetype end = column.size();
        while (end > first && column.at(end - 1) == QLatin1Char(' '))
            --end;
        if (end > first) {
            // The value's own direction, by its first letter; its place is
            // where its first character stands in the line.
            const QString value = column.mid(first, end - first);
            const int direction = value.isRightToLeft() ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight;
            const qreal x = static_cast<qreal>(start + first) * advance;
            painter.drawText(QRectF(x, area.top(), std::max<qreal>(0, right - x), area.height()),
                             Qt::AlignLeft | Qt::AlignAbsolute | vertical | direction, value);
        }
        start += width;
    }
}

} // namespace numora::ui
