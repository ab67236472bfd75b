// The document list's data without widgets: its entries, their thumbnails and positions, adding
// a loaded drawing, deleting, arranging, saving to and loading from archive files, and finding a
// listed drawing whose stored path does not exist here.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive_file.h"

namespace planora {

class DrawingModel;
class Renderer;

// Thumbnail size for a list of width `listWidth` with a vertical scroll bar of `scrollBarWidth`:
// the width less 20 pixels and the scroll bar, the height four fifths of that.
QSize thumbnailSizeForListWidth(int listWidth, int scrollBarWidth);

// The list's default thumbnail size (a list 158 pixels wide, 16-pixel scroll bar): 122 x 97.
QSize defaultThumbnailSize();

// Renders the drawing's thumbnail at `size` on `background` (0x00BBGGRR), fitted to the image
// with its own view; nothing shared is changed. A drawing without elements gives the background.
QImage renderThumbnail(const DrawingModel& model, Renderer& renderer, QSize size,
                       std::uint32_t background);

// The entry for a drawing that has just been loaded: label = file name, path, and its 20 drawing
// information texts (a text that is empty or just "*" gives an absent slot).
DocumentEntry makeDocumentEntry(const std::string& path, const DrawingModel& model);

// The file-name part of a path written with "/" or "\\".
std::string fileNamePart(const std::string& path);

// Where to find a listed drawing: its stored path when that is a file here, otherwise a file of
// the same name (ASCII case ignored when there is no exact match) in `archiveFolder`. None when
// neither exists.
std::optional<std::string> locateListedDrawing(const std::string& storedPath,
                                               const std::string& archiveFolder);

// The message when a listed drawing cannot be found.
std::string listedDrawingMissingMessage(const std::string& storedPath);

class DocumentList {
  public:
    struct Item {
        DocumentEntry entry;
        int imageIndex = -1;
        int x = 0;
        int y = 0;
    };

    explicit DocumentList(QSize thumbnailSize = defaultThumbnailSize());

    QSize thumbnailSize() const { return thumbnailSize_; }
    const std::vector<Item>& items() const { return items_; }
    const std::vector<QImage>& thumbnails() const { return thumbnails_; }
    // The thumbnail of an item, or a null image when its index names none.
    QImage thumbnailOf(const Item& item) const;

    // The colour thumbnails are rendered on (0x00BBGGRR); black until set.
    void setThumbnailBackground(std::uint32_t colour) { background_ = colour; }
    std::uint32_t thumbnailBackground() const { return background_; }

    // Adds the drawing just loaded from `path`: renders its thumbnail, appends it and the item,
    // and arranges the items. Returns the new item's index.
    int addDrawing(const std::string& path, const DrawingModel& model, Renderer& renderer,
                   int perRow = 1);
    // Renders the item's thumbnail anew from `model`. False for an index that names no item.
    bool refreshThumbnail(int index, const DrawingModel& model, Renderer& renderer);
    // Removes the item; its thumbnail stays and the other items keep their places until the
    // list is arranged again.
    bool removeItem(int index);
    // Places the items from (10, 10), perRow to a row, rows cy + 25 pixels apart.
    void arrangeItems(int perRow = 1);
    // Drops the thumbnails no item uses any more: item i gets thumbnail i, in list order, and
    // the items are arranged again.
    void compactThumbnails();
    // Empties the list and its thumbnails; the thumbnail size goes back to the list's own.
    void clear();
    // The paths of all items in list order, leaving out empty ones.
    std::vector<std::string> collectPaths() const;

    // Writes the list to an archive. Empty on success, else the message (German).
    std::string saveArchive(const std::string& path) const;

    struct LoadResult {
        bool ok = false;
        // The message of a failed load (the archive format's own texts); empty when it loaded.
        std::string message;
        std::string detail;
        // Notes about a load that succeeded with damage (items left out, thumbnails missing).
        std::vector<std::string> warnings;
    };
    // Replaces the list with the archive's thumbnails and items. When the file or its thumbnails
    // cannot be read the list stays as it was; when the items are missing the list has the
    // archive's thumbnails and no items. From here on the thumbnails have the size stored in the
    // archive. The archive's folder is remembered for locateListedDrawing.
    LoadResult loadArchive(const std::string& path);

    // The folder of the archive loaded last (empty when none was).
    const std::string& archiveFolder() const { return archiveFolder_; }

  private:
    QSize listThumbnailSize_;
    QSize thumbnailSize_;
    std::uint32_t background_ = 0;
    std::vector<QImage> thumbnails_;
    std::vector<Item> items_;
    std::string archiveFolder_;
};

// Thumbnail pixels between the archive form and images.
RawImage rawImageFromQImage(const QImage& image);
QImage qImageFromRawImage(const RawImage& raw);

}  // namespace planora
