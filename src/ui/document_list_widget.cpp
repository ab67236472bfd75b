#include "document_list_widget.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPixmap>

#include "local_file_names.h"

namespace planora {

DocumentListWidget::DocumentListWidget(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("ImListWin"));
    setViewMode(QListView::IconMode);
    // Free movement keeps the places given to the items; dragging them is not offered.
    setMovement(QListView::Free);
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setResizeMode(QListView::Fixed);
    setWrapping(false);
    setFlow(QListView::TopToBottom);
    setSpacing(0);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setIconSize(list_.thumbnailSize());
    setTextElideMode(Qt::ElideRight);
    QPalette p = palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    setPalette(p);
    // The current item follows the selection only; clicks elsewhere do not clear it.
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!rebuilding_ && row >= 0) {
            current_ = row;
        }
    });
}

const DocumentEntry* DocumentListWidget::currentEntry() const {
    if (current_ < 0 || static_cast<std::size_t>(current_) >= list_.items().size()) {
        return nullptr;
    }
    return &list_.items()[static_cast<std::size_t>(current_)].entry;
}

QListWidgetItem* DocumentListWidget::makeItem(const DocumentList::Item& item) const {
    auto* widgetItem = new QListWidgetItem;
    widgetItem->setText(fileNameFromLocal(QByteArray::fromStdString(item.entry.label())).left(63));
    widgetItem->setToolTip(fileNameFromLocal(QByteArray::fromStdString(item.entry.path())));
    const QImage image = list_.thumbnailOf(item);
    if (!image.isNull()) {
        widgetItem->setIcon(QIcon(QPixmap::fromImage(image)));
    }
    widgetItem->setSizeHint(
        QSize(list_.thumbnailSize().width() + 10, list_.thumbnailSize().height() + 25));
    return widgetItem;
}

void DocumentListWidget::rebuild() {
    rebuilding_ = true;
    setUpdatesEnabled(false);
    clear();
    current_ = -1;
    setIconSize(list_.thumbnailSize());
    for (const DocumentList::Item& item : list_.items()) {
        addItem(makeItem(item));  // the list takes the item
    }
    setUpdatesEnabled(true);
    rebuilding_ = false;
    applyPositions();
}

void DocumentListWidget::itemAdded(int index) {
    const auto& items = list_.items();
    if (index < 0 || static_cast<std::size_t>(index) >= items.size() || index > count() ||
        items.size() != static_cast<std::size_t>(count()) + 1) {
        rebuild();
        return;
    }
    rebuilding_ = true;
    insertItem(index, makeItem(items[static_cast<std::size_t>(index)]));
    rebuilding_ = false;
    if (current_ >= index) {
        ++current_;  // the current item moved down by one
    }
    applyPositions();
}

void DocumentListWidget::updateThumbnail(int index) {
    if (index < 0 || index >= count() || static_cast<std::size_t>(index) >= list_.items().size()) {
        return;
    }
    const QImage image = list_.thumbnailOf(list_.items()[static_cast<std::size_t>(index)]);
    item(index)->setIcon(image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image)));
}

bool DocumentListWidget::removeCurrent() {
    const int index = current_;
    if (index < 0 || !list_.removeItem(index)) {
        return false;
    }
    rebuilding_ = true;
    delete takeItem(index);
    clearSelection();
    rebuilding_ = false;
    current_ = -1;
    applyPositions();
    return true;
}

void DocumentListWidget::doItemsLayout() {
    QListWidget::doItemsLayout();
    applyPositions();
}

void DocumentListWidget::applyPositions() {
    // The list decides where each item goes (one column from (10, 10), a gap where an item was
    // deleted until the list is arranged again); the view only follows.
    const auto& items = list_.items();
    const int n = std::min<int>(count(), static_cast<int>(items.size()));
    for (int i = 0; i < n; ++i) {
        const auto& item = items[static_cast<std::size_t>(i)];
        setPositionForIndex(QPoint(item.x, item.y), model()->index(i, 0));
    }
}

void DocumentListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && current_ >= 0) {
        emit showRequested(current_);
    }
}

void DocumentListWidget::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (current_ >= 0) {
        emit menuRequested(event->globalPos());
    }
}

}  // namespace planora
