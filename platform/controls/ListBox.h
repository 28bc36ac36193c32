#pragma once
// A list box of plain text entries: a QListView over a model of texts (lists
// reach tens of thousands of entries; no widget item each). Its interface is
// the list-box one the windows are written against: ListCount, ListIndex
// (-1 when nothing is selected), List(i), and Click when an entry is chosen,
// by the mouse or by setting ListIndex.

#include <QListView>
#include <QString>
#include <QStringList>

class QStringListModel;

namespace numora::controls {

class ListBox : public QListView {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    // Replaces every entry at once (the list is cleared first); nothing selected.
    void setItems(QStringList items);
    void Clear();

    int ListCount() const;
    QString List(int index) const; // empty outside the entries
    int ListIndex() const;
    // Selects the entry (-1: none), which sends Click when another entry is
    // chosen; an index outside the entries is ignored.
    void setListIndex(int index);

signals:
    void Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QStringListModel* model_;
    bool clickSent_ = false; // the press being handled chose an entry already
};

} // namespace numora::controls
