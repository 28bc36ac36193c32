#pragma once
// A strip of many small tabs in several rows around one page, as used for the
// letter index of the directory. The page holds no widgets of its own: the
// window lays its controls over the page area, and they stay in place for
// every tab; choosing a tab only tells the window which one is current.
//
// The rows run along one edge of the strip (the top, or the right side when
// the controls over the page leave no room above them). Row 0 lies next to
// the page; tab i sits in row i / tabsPerRow. Every row is divided into
// tabsPerRow equal places, so the tabs of a short last row keep their size.

#include <QStringList>
#include <QWidget>

namespace numora::controls {

class LetterTabStrip : public QWidget {
    Q_OBJECT
public:
    enum class Edge { Top, Right };

    explicit LetterTabStrip(QWidget* parent = nullptr);

    void setTabs(const QStringList& captions); // the current tab becomes 0
    int count() const { return static_cast<int>(captions_.size()); }
    QString tabCaption(int index) const;

    void setTabsPerRow(int n); // at least 1
    int tabsPerRow() const { return tabsPerRow_; }
    int rows() const;

    void setTabDepth(int pixels); // the height of one row of tabs
    int tabDepth() const { return tabDepth_; }

    void setEdge(Edge edge);
    Edge edge() const { return edge_; }

    int currentIndex() const { return current_; }
    // Makes a tab current without a Click; an index outside the tabs is ignored.
    void setCurrentIndex(int index);

    QRect tabRect(int index) const;     // in the strip's coordinates; empty outside the tabs
    QRect pageRect() const;             // the area the tab rows leave free
    int tabAt(const QPoint& pos) const; // -1 where there is no tab

    QSize sizeHint() const override;

signals:
    // The user chose another tab (mouse or keyboard); carries the tab that was
    // current before. Choosing the current tab again sends nothing.
    void Click(int previousTab);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void choose(int index);
    QRect bandRect() const;

    QStringList captions_;
    int tabsPerRow_ = 8;
    int tabDepth_ = 20;
    Edge edge_ = Edge::Top;
    int current_ = 0;
};

} // namespace numora::controls
