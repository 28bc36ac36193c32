#pragma once
// Controls placed at fixed places in a window that can grow beyond its
// designed size: each control keeps its designed distance to the edges of
// its parent it is anchored to. Anchored to both opposite edges, it grows
// with the parent; to the right (or bottom) edge only, it moves with it; to
// the left and top edges, it stays where it was designed. A parent smaller
// than designed counts as designed.

#include <QObject>
#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

namespace numora::ui {

class Anchors final : public QObject {
public:
    // The parent's designed size; controls are placed as designed for it.
    Anchors(QWidget* parent, const QSize& designed);

    // Anchors a control of the parent, at its present (designed) place.
    void anchor(QWidget* control, Qt::Edges edges);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Anchored {
        QWidget* control;
        QRect designed;
        Qt::Edges edges;
    };
    void place(const Anchored& a, const QSize& grown) const;

    QWidget* parent_;
    QSize designed_;
    std::vector<Anchored> anchored_;
};

} // namespace numora::ui
