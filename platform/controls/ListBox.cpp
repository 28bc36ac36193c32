#include "platform/controls/ListBox.h"

#include <QStringListModel>

namespace numora::controls {

ListBox::ListBox(QWidget* parent) : QListView(parent), model_(new QStringListModel(this))
{
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Every entry is one line of one font: the view need not measure each.
    setUniformItemSizes(true);
    // An entry chosen by the mouse, the keyboard or ListIndex is one Click;
    // a click on the entry already chosen is one as well.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (ListIndex() >= 0) {
            clickSent_ = true;
            emit Click();
        }
    });
    connect(this, &QListView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && !clickSent_)
            emit Click();
    });
}

void ListBox::mousePressEvent(QMouseEvent* event)
{
    clickSent_ = false;
    QListView::mousePressEvent(event);
}

void ListBox::setItems(QStringList items) { model_->setStringList(std::move(items)); }

void ListBox::Clear() { model_->setStringList({}); }

int ListBox::ListCount() const { return static_cast<int>(model_->rowCount()); }

QString ListBox::List(int index) const
{
    return index >= 0 && index < ListCount() ? model_->index(index).data().toString() : QString();
}

int ListBox::ListIndex() const
{
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

void ListBox::setListIndex(int index)
{
    if (index < -1 || index >= ListCount())
        return;
    if (index < 0) {
        selectionModel()->clearSelection();
        selectionModel()->clearCurrentIndex();
        return;
    }
    const QModelIndex at = model_->index(index);
    scrollTo(at);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
}

} // namespace numora::controls
