#include "platform/controls/LetterTabStrip.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace numora::controls {

LetterTabStrip::LetterTabStrip(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void LetterTabStrip::setTabs(const QStringList& captions)
{
    captions_ = captions;
    current_ = 0;
    updateGeometry();
    update();
}

QString LetterTabStrip::tabCaption(int index) const
{
    return index >= 0 && index < count() ? captions_[index] : QString();
}

void LetterTabStrip::setTabsPerRow(int n)
{
    tabsPerRow_ = std::max(1, n);
    updateGeometry();
    update();
}

int LetterTabStrip::rows() const { return count() == 0 ? 0 : (count() + tabsPerRow_ - 1) / tabsPerRow_; }

void LetterTabStrip::setTabDepth(int pixels)
{
    tabDepth_ = std::max(1, pixels);
    updateGeometry();
    update();
}

void LetterTabStrip::setEdge(Edge edge)
{
    edge_ = edge;
    updateGeometry();
    update();
}

void LetterTabStrip::setCurrentIndex(int index)
{
    if (index < 0 || index >= count() || index == current_)
        return;
    current_ = index;
    update();
}

QRect LetterTabStrip::bandRect() const
{
    const int depth = rows() * tabDepth_;
    if (edge_ == Edge::Top)
        return QRect(0, 0, width(), std::min(depth, height()));
    const int w = std::min(depth, width());
    return QRect(width() - w, 0, w, height());
}

QRect LetterTabStrip::pageRect() const
{
    const QRect band = bandRect();
    if (edge_ == Edge::Top)
        return QRect(0, band.height(), width(), height() - band.height());
    return QRect(0, 0, width() - band.width(), height());
}

QRect LetterTabStrip::tabRect(int index) const
{
    if (index < 0 || index >= count())
        return {};
    const int row = index / tabsPerRow_;
    const int place = index % tabsPerRow_;
    const QRect band = bandRect();
    if (edge_ == Edge::Top) {
        // Row 0 lies on the page; later rows stack upwards.
        const int y = band.bottom() + 1 - (row + 1) * tabDepth_;
        const int x0 = band.width() * place / tabsPerRow_;
        const int x1 = band.width() * (place + 1) / tabsPerRow_;
        return QRect(x0, y, x1 - x0, tabDepth_);
    }
    // Row 0 lies against the page's right side; later rows stack outwards.
    const int x = band.left() + row * tabDepth_;
    const int y0 = band.height() * place / tabsPerRow_;
    const int y1 = band.height() * (place + 1) / tabsPerRow_;
    return QRect(x, y0, tabDepth_, y1 - y0);
}

int LetterTabStrip::tabAt(const QPoint& pos) const
{
    for (int i = 0; i < count(); ++i)
        if (tabRect(i).contains(pos))
            return i;
    return -1;
}

QSize LetterTabStrip::sizeHint() const
{
    const int depth = rows() * tabDepth_;
    return edge_ == Edge::Top ? QSize(tabsPerRow_ * 60, depth + 200) : QSize(400 + depth, tabsPerRow_ * 40);
}

void LetterTabStrip::choose(int index)
{
    if (index < 0 || index >= count() || index == current_)
        return;
    const int previous = current_;
    current_ = index;
    update();
    emit Click(previous);
}

void LetterTabStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int index = tabAt(event->position().toPoint());
        if (index >= 0) {
            choose(index);
            event->accept();
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void LetterTabStrip::keyPressEvent(QKeyEvent* event)
{
    // Arrows along a row step to the neighbouring tab, arrows across the rows
    // step a whole row; Home and End go to the first and last tab.
    const bool top = edge_ == Edge::Top;
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Left: target = top ? current_ - 1 : current_ - tabsPerRow_; break;
    case Qt::Key_Right: target = top ? current_ + 1 : current_ + tabsPerRow_; break;
    case Qt::Key_Up: target = top ? current_ + tabsPerRow_ : current_ - 1; break;
    case Qt::Key_Down: target = top ? current_ - tabsPerRow_ : current_ + 1; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = count() - 1; break;
    default: QWidget::keyPressEvent(event); return;
    }
    if (target >= 0 && target < count())
        choose(target);
    event->accept();
}

void LetterTabStrip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    const QColor light = pal.color(QPalette::Light);
    const QColor dark = pal.color(QPalette::Dark);
    const QColor shadow = pal.color(QPalette::Shadow);
    const QColor face = pal.color(QPalette::Window);
    const QColor backTab = face.darker(112);

    // The page: a raised panel.
    const QRect page = pageRect().adjusted(0, 0, -1, -1);
    p.fillRect(page, face);
    p.setPen(light);
    p.drawLine(page.topLeft(), page.topRight());
    p.drawLine(page.topLeft(), page.bottomLeft());
    p.setPen(shadow);
    p.drawLine(page.bottomLeft(), page.bottomRight());
    p.drawLine(page.topRight(), page.bottomRight());
    p.setPen(dark);
    p.drawLine(page.bottomLeft() + QPoint(1, -1), page.bottomRight() + QPoint(-1, -1));
    p.drawLine(page.topRight() + QPoint(-1, 1), page.bottomRight() + QPoint(-1, -1));

    const bool top = edge_ == Edge::Top;
    for (int i = 0; i < count(); ++i) {
        const bool current = i == current_;
        QRect r = tabRect(i).adjusted(0, 0, -1, -1);
        // The current tab is drawn in the page's colour, the others a shade
        // darker and a little shorter; in the row next to the page the
        // current tab covers the page's edge, so the two read as one.
        const bool joinsPage = current && i < tabsPerRow_;
        if (top)
            r.adjust(1, current ? 0 : 2, -1, joinsPage ? 1 : 0);
        else
            r.adjust(joinsPage ? -2 : 0, 1, current ? 0 : -2, -1);
        p.fillRect(r, current ? face : backTab);
        p.setPen(light);
        if (top) {
            p.drawLine(r.bottomLeft(), r.topLeft() + QPoint(0, 2));
            p.drawLine(r.topLeft() + QPoint(2, 0), r.topRight() + QPoint(-2, 0));
            p.setPen(shadow);
            p.drawLine(r.topRight() + QPoint(0, 2), r.bottomRight());
            p.setPen(dark);
            p.drawLine(r.topRight() + QPoint(-1, 1), r.bottomRight() + QPoint(-1, 0));
        } else {
            p.drawLine(r.topLeft(), r.topRight() + QPoint(-2, 0));
            p.setPen(shadow);
            p.drawLine(r.topRight() + QPoint(0, 2), r.bottomRight() + QPoint(0, -2));
            p.drawLine(r.bottomLeft(), r.bottomRight() + QPoint(-2, 0));
            p.setPen(dark);
            p.drawLine(r.bottomLeft() + QPoint(0, -1), r.bottomRight() + QPoint(-2, -1));
        }

        QFont f = font();
        f.setBold(current);
        p.setFont(f);
        p.setPen(pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        const QString caption = captions_[i];
        if (top) {
            p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, caption);
        } else {
            // Down the side the words of a caption are set upright, evenly
            // apart; the spaces between them become the gap.
            const QStringList words = caption.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const int n = static_cast<int>(words.size());
            for (int k = 0; k < n; ++k) {
                const int y0 = r.top() + r.height() * k / n;
                const int y1 = r.top() + r.height() * (k + 1) / n;
                p.drawText(QRect(r.left(), y0, r.width(), y1 - y0), Qt::AlignCenter | Qt::TextSingleLine, words[k]);
            }
        }
        if (current && hasFocus()) {
            p.setPen(QPen(pal.color(QPalette::WindowText), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(3, 3, -3, -3));
        }
    }
}

} // namespace numora::controls
