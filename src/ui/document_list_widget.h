// The column of thumbnails at the left of the main window: one icon per list item with its file
// name, at the places the document list gives them. The widget shows a DocumentList; it keeps
// its own current item, which only a selection changes, and leaves every action to its owner.
#pragma once

#include <QListWidget>

#include "document_list.h"

namespace planora {

class DocumentListWidget : public QListWidget {
    Q_OBJECT
  public:
    explicit DocumentListWidget(QWidget* parent = nullptr);

    DocumentList& list() { return list_; }
    const DocumentList& list() const { return list_; }

    // Shows the list's items anew (after adding, loading, clearing, compacting).
    void rebuild();
    // Shows the item the list has just added at `index` and places the items anew.
    void itemAdded(int index);
    // Replaces the shown thumbnail of item `index` after it was rendered again.
    void updateThumbnail(int index);
    // Removes the current item from the list and the view; the other items keep their places.
    // The current item is none afterwards.
    bool removeCurrent();

    // The item the commands act on: the last one selected, -1 when there is none.
    int currentEntryIndex() const { return current_; }
    const DocumentEntry* currentEntry() const;

    void doItemsLayout() override;

  signals:
    // A double click while there is a current item: show it.
    void showRequested(int index);
    // A right click while there is a current item: the popup menu at a screen position.
    void menuRequested(const QPoint& globalPos);

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    QListWidgetItem* makeItem(const DocumentList::Item& item) const;
    void applyPositions();

    DocumentList list_;
    int current_ = -1;
    bool rebuilding_ = false;
};

}  // namespace planora
