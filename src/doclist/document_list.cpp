#include "document_list.h"

#include <QPainter>
#include <algorithm>
#include <filesystem>

#include "drawing_model.h"
#include "painter_surface.h"
#include "renderer.h"
#include "text_encoding.h"
#include "view_transform.h"

namespace planora {

namespace {

constexpr int kListLeft = 10;
constexpr int kListTop = 10;
constexpr int kRowGap = 25;
constexpr int kColumnGap = 10;

bool equalIgnoringAsciiCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char p, char q) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(p) == lower(q);
           });
}

bool isRegularFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec);
}

}  // namespace

QSize thumbnailSizeForListWidth(int listWidth, int scrollBarWidth) {
    const int width = std::max(1, listWidth - 20 - scrollBarWidth);
    return QSize(width, std::max(1, width * 4 / 5));
}

QSize defaultThumbnailSize() {
    return thumbnailSizeForListWidth(158, 16);
}

QImage renderThumbnail(const DrawingModel& model, Renderer& renderer, QSize size,
                       std::uint32_t background) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colourFromColorref(background));
    // The drawing's extents were worked out as it was loaded (the element store keeps them).
    View view;
    WorldBox extents;
    if (drawingExtents(model.store, extents) == 0 ||
        !view.fitInside(size.width(), size.height(), extents)) {
        return image;  // no elements: the background alone
    }
    RenderRequest request;
    request.view = view.currentView();
    request.background = background;
    request.path = Renderer::Path::Fast;
    QPainter painter(&image);
    {
        PainterSurface surface(painter, size.width(), size.height());
        renderer.render(surface, model.store, request);
    }
    painter.end();
    return image;
}

std::string fileNamePart(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

DocumentEntry makeDocumentEntry(const std::string& path, const DrawingModel& model) {
    DocumentEntry entry;
    entry.texts[DocumentEntry::kLabel] = fileNamePart(path);
    entry.texts[DocumentEntry::kPath] = path;
    const auto info = model.drawingInfo.copyAll();
    for (std::size_t i = 0; i < info.size(); ++i) {
        entry.texts[DocumentEntry::kFirstInfo + i] = info[i];
    }
    return entry;
}

std::optional<std::string> locateListedDrawing(const std::string& storedPath,
                                               const std::string& archiveFolder) {
    namespace fs = std::filesystem;
    if (!storedPath.empty() && isRegularFile(storedPath)) {
        return storedPath;
    }
    const std::string name = fileNamePart(storedPath);
    if (name.empty() || name == "." || name == ".." || archiveFolder.empty()) {
        return std::nullopt;
    }
    const fs::path beside = fs::path(archiveFolder) / name;
    if (isRegularFile(beside)) {
        return beside.string();
    }
    // Drawings copied from Windows may differ in the case of their names.
    std::error_code ec;
    for (fs::directory_iterator it(archiveFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (equalIgnoringAsciiCase(it->path().filename().string(), name) &&
            isRegularFile(it->path())) {
            return it->path().string();
        }
    }
    return std::nullopt;
}

std::string listedDrawingMissingMessage(const std::string& storedPath) {
    return "Die Zeichnung \"" + printableFileName(storedPath) +
           "\" wurde nicht gefunden, auch nicht neben der Archivdatei.";
}

RawImage rawImageFromQImage(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    RawImage raw;
    raw.width = argb.width();
    raw.height = argb.height();
    raw.pixels.resize(static_cast<std::size_t>(raw.width) * static_cast<std::size_t>(raw.height));
    for (int y = 0; y < raw.height; ++y) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(argb.constScanLine(y));
        std::copy(line, line + raw.width, raw.pixels.begin() + std::ptrdiff_t(y) * raw.width);
    }
    return raw;
}

QImage qImageFromRawImage(const RawImage& raw) {
    const bool opaque = std::all_of(raw.pixels.begin(), raw.pixels.end(),
                                    [](std::uint32_t p) { return (p >> 24) == 0xFF; });
    QImage image(raw.width, raw.height, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    for (int y = 0; y < raw.height; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        std::copy_n(raw.pixels.begin() + std::ptrdiff_t(y) * raw.width, raw.width, line);
    }
    return image;
}

DocumentList::DocumentList(QSize thumbnailSize)
    : listThumbnailSize_(thumbnailSize), thumbnailSize_(thumbnailSize) {}

QImage DocumentList::thumbnailOf(const Item& item) const {
    if (item.imageIndex < 0 || static_cast<std::size_t>(item.imageIndex) >= thumbnails_.size()) {
        return {};
    }
    return thumbnails_[static_cast<std::size_t>(item.imageIndex)];
}

int DocumentList::addDrawing(const std::string& path, const DrawingModel& model, Renderer& renderer,
                             int perRow) {
    thumbnails_.push_back(renderThumbnail(model, renderer, thumbnailSize_, background_));
    Item item;
    item.entry = makeDocumentEntry(path, model);
    item.imageIndex = static_cast<int>(thumbnails_.size()) - 1;
    // The item goes to the place its thumbnail has, or to the end when items were deleted.
    const auto place =
        std::min<std::size_t>(static_cast<std::size_t>(item.imageIndex), items_.size());
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(place), std::move(item));
    arrangeItems(perRow);
    return static_cast<int>(place);
}

bool DocumentList::refreshThumbnail(int index, const DrawingModel& model, Renderer& renderer) {
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
        return false;
    }
    const int image = items_[static_cast<std::size_t>(index)].imageIndex;
    if (image < 0 || static_cast<std::size_t>(image) >= thumbnails_.size()) {
        return false;
    }
    thumbnails_[static_cast<std::size_t>(image)] =
        renderThumbnail(model, renderer, thumbnailSize_, background_);
    return true;
}

bool DocumentList::removeItem(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
        return false;
    }
    items_.erase(items_.begin() + index);
    return true;
}

void DocumentList::arrangeItems(int perRow) {
    perRow = std::max(1, perRow);
    int x = kListLeft;
    int y = kListTop;
    int column = 0;
    for (Item& item : items_) {
        if (column == perRow) {
            x = kListLeft;
            y += thumbnailSize_.height() + kRowGap;
            column = 0;
        }
        item.x = x;
        item.y = y;
        x += thumbnailSize_.width() + kColumnGap;
        ++column;
    }
}

void DocumentList::compactThumbnails() {
    std::vector<QImage> kept;
    kept.reserve(items_.size());
    for (Item& item : items_) {
        QImage image = thumbnailOf(item);
        if (image.isNull()) {
            // An item that had no thumbnail gets an empty one, so that every thumbnail of the
            // list has the same size again.
            image = QImage(thumbnailSize_, QImage::Format_RGB32);
            image.fill(
                QColor(background_ & 0xFF, (background_ >> 8) & 0xFF, (background_ >> 16) & 0xFF));
        }
        kept.push_back(std::move(image));
        item.imageIndex = static_cast<int>(kept.size()) - 1;
    }
    thumbnails_ = std::move(kept);
    arrangeItems(1);
}

void DocumentList::clear() {
    items_.clear();
    thumbnails_.clear();
    thumbnailSize_ = listThumbnailSize_;
}

std::vector<std::string> DocumentList::collectPaths() const {
    std::vector<std::string> paths;
    for (const Item& item : items_) {
        if (!item.entry.path().empty()) {
            paths.push_back(item.entry.path());
        }
    }
    return paths;
}

std::string DocumentList::saveArchive(const std::string& path) const {
    ImageListData images;
    images.cx = thumbnailSize_.width();
    images.cy = thumbnailSize_.height();
    images.images.reserve(thumbnails_.size());
    for (const QImage& thumbnail : thumbnails_) {
        // Every thumbnail has the list's size; one that does not is scaled to it.
        images.images.push_back(
            rawImageFromQImage(thumbnail.size() == thumbnailSize_
                                   ? thumbnail
                                   : thumbnail.scaled(thumbnailSize_, Qt::IgnoreAspectRatio,
                                                      Qt::SmoothTransformation)));
    }
    std::vector<ArchiveItem> records;
    records.reserve(items_.size());
    for (const Item& item : items_) {
        records.push_back(ArchiveItem{item.entry, item.imageIndex});
    }
    return writeArchiveFile(path, &images, records);
}

DocumentList::LoadResult DocumentList::loadArchive(const std::string& path) {
    LoadResult result;
    ArchiveContents contents = readArchiveFile(path);
    result.message = contents.message;
    result.detail = contents.detail;
    if (contents.status == ArchiveLoadStatus::NotCompound ||
        contents.status == ArchiveLoadStatus::NoImages ||
        contents.status == ArchiveLoadStatus::BadImages) {
        return result;
    }
    items_.clear();
    thumbnails_.clear();
    thumbnails_.reserve(contents.thumbnails.images.size());
    for (const RawImage& raw : contents.thumbnails.images) {
        thumbnails_.push_back(qImageFromRawImage(raw));
    }
    thumbnailSize_ = QSize(contents.thumbnails.cx, contents.thumbnails.cy);
    std::error_code ec;
    archiveFolder_ = std::filesystem::absolute(path, ec).parent_path().string();
    if (contents.status == ArchiveLoadStatus::NoItems) {
        return result;
    }
    items_.reserve(contents.items.items.size());
    for (ArchiveItem& record : contents.items.items) {
        items_.push_back(Item{std::move(record.entry), record.imageIndex, 0, 0});
    }
    arrangeItems(1);
    result.ok = true;
    if (contents.items.skipped > 0) {
        result.warnings.push_back(std::to_string(contents.items.skipped) +
                                  " Einträge des Archivs sind nicht lesbar und wurden übergangen.");
    }
    if (contents.items.truncated) {
        result.warnings.push_back("Das Archiv ist abgeschnitten; der letzte Eintrag fehlt.");
    }
    if (contents.itemsWithoutThumbnail > 0) {
        result.warnings.push_back(std::to_string(contents.itemsWithoutThumbnail) +
                                  " Einträge verweisen auf kein Vorschaubild.");
    }
    return result;
}

}  // namespace planora
