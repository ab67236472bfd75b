// Times (a) loading an archive of 500 entries with their thumbnails into the document list, and
// (b) the thumbnail of the 1,000,000-element drawing against the time the drawing takes to load,
// and prints both with the thumbnail's share of the load.
//
//   planora_archive_bench [FILE]   (FILE defaults to planora-bench-1m.akt in the temp folder; it
//                                  is written first when it does not exist)
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive_file.h"
#include "bench_drawing.h"
#include "document_list.h"
#include "open_drawing.h"
#include "painter_surface.h"
#include "renderer.h"
#include "view_transform.h"

using namespace planora;
namespace fs = std::filesystem;

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// An archive of `count` entries, each with a 122 x 97 thumbnail of its own and the texts a
// drawing typically carries.
void writeLargeArchive(const std::string& path, int count) {
    ImageListData images;
    images.cx = 122;
    images.cy = 97;
    std::vector<ArchiveItem> items;
    std::uint32_t seed = 1;
    for (int i = 0; i < count; ++i) {
        RawImage image;
        image.width = 122;
        image.height = 97;
        image.pixels.resize(122 * 97);
        for (std::uint32_t& p : image.pixels) {
            seed = seed * 1664525u + 1013904223u;
            p = 0xFF000000u | ((seed >> 8) & 0x00FFFFFFu);
        }
        images.images.push_back(std::move(image));
        ArchiveItem item;
        const std::string name = "zeichnung-" + std::to_string(i) + ".akt";
        item.entry.texts[0] = name;
        item.entry.texts[1] = "C:\\Projekte\\Lindenweg\\" + name;
        item.entry.texts[2] = "Einfamilienhaus Lindenweg 7";
        item.entry.texts[3] = "Wohnhaus M\xFCller";
        item.entry.texts[4] = "Erdgeschoss";
        item.entry.texts[6] = "14.03.1994";
        item.entry.texts[12] =
            "*Grundriss Erdgeschoss, Entwurf\x06Au\xDF"
            "enw\xE4nde Mauerwerk 30 cm";
        item.imageIndex = i;
        items.push_back(std::move(item));
    }
    const std::string problem = writeArchiveFile(path, &images, items);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const std::string drawing = argc > 1 ? argv[1] : bench::benchDrawingPath();

    // (a) Loading a 500-entry archive, the median of five runs.
    const std::string archive = (fs::temp_directory_path() / "planora-bench-500.ad").string();
    writeLargeArchive(archive, 500);
    std::vector<double> loads;
    std::size_t entries = 0;
    for (int run = 0; run < 5; ++run) {
        DocumentList list;
        const auto start = std::chrono::steady_clock::now();
        const DocumentList::LoadResult result = list.loadArchive(archive);
        loads.push_back(millisecondsSince(start));
        if (!result.ok) {
            std::fprintf(stderr, "%s %s\n", result.message.c_str(), result.detail.c_str());
            return 1;
        }
        entries = list.items().size();
    }
    std::sort(loads.begin(), loads.end());
    std::printf(
        "archive of %zu entries with thumbnails (%.1f MB): load %.1f ms (median of 5, "
        "goal <= 300 ms)\n",
        entries, static_cast<double>(fs::file_size(archive)) / 1e6, loads[2]);
    fs::remove(archive);

    // (b) The thumbnail of the large drawing against its load.
    // The load: median of five.
    std::vector<double> loadTimes;
    OpenResult opened;
    auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < 5; ++run) {
        opened = OpenResult{};  // the previous drawing is released outside the timing
        start = std::chrono::steady_clock::now();
        opened = openDrawing(drawing);
        loadTimes.push_back(millisecondsSince(start));
    }
    std::sort(loadTimes.begin(), loadTimes.end());
    const double loadMs = loadTimes[2];
    if (!opened.ok()) {
        std::fprintf(stderr, "Einlesefehler: %s\n", opened.error.c_str());
        return 1;
    }
    // Adding the drawing to the list renders its thumbnail with the window's renderer, which
    // has not drawn this drawing yet (its element boxes are not built): a fresh renderer each
    // time. Then the same with a renderer that has drawn the drawing in a window before.
    std::vector<double> adding;
    QImage thumbnail;
    for (int run = 0; run < 5; ++run) {
        Renderer fresh;
        start = std::chrono::steady_clock::now();
        thumbnail =
            renderThumbnail(*opened.model, fresh, defaultThumbnailSize(), fresh.backgroundColour());
        adding.push_back(millisecondsSince(start));
    }
    std::sort(adding.begin(), adding.end());
    Renderer painted;
    {
        QImage window(1920, 1080, QImage::Format_RGB32);
        QPainter painter(&window);
        PainterSurface surface(painter, window.width(), window.height());
        // Fitted as the window fits a loaded drawing: with the extents the store keeps.
        View view;
        WorldBox extents;
        drawingExtents(opened.model->store, extents);
        view.fitInside(window.width(), window.height(), extents);
        RenderRequest request;
        request.view = view.currentView();
        painted.render(surface, opened.model->store, request);
    }
    std::vector<double> again;
    for (int run = 0; run < 5; ++run) {
        start = std::chrono::steady_clock::now();
        renderThumbnail(*opened.model, painted, defaultThumbnailSize(), painted.backgroundColour());
        again.push_back(millisecondsSince(start));
    }
    std::sort(again.begin(), again.end());
    std::printf("drawing %s (%zu elements): load %.1f ms (median of 5)\n", drawing.c_str(),
                opened.model->store.elementCount(), loadMs);
    std::printf(
        "thumbnail %d x %d when the drawing is added to the list: %.1f ms = %.1f %% of the load "
        "(median of 5; goal <= 10 %%)\n",
        thumbnail.width(), thumbnail.height(), adding[2], 100.0 * adding[2] / loadMs);
    std::printf(
        "thumbnail %d x %d after the window drew the drawing: %.1f ms = %.1f %% of the load "
        "(median of 5)\n",
        thumbnail.width(), thumbnail.height(), again[2], 100.0 * again[2] / loadMs);
    return 0;
}
