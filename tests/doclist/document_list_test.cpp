// The document list's data: entries from loaded drawings, thumbnails on their own view, the
// column layout with the gap a deletion leaves, archives of the list, and finding listed
// drawings whose stored path does not exist here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "document_list.h"
#include "drawing_model.h"
#include "open_drawing.h"
#include "renderer.h"

namespace fs = std::filesystem;
using namespace planora;

namespace {

const std::string kExamples = PLANORA_EXAMPLES_DIR;

DrawingModel loadExample(const std::string& name) {
    OpenResult result = openDrawing(kExamples + "/" + name);
    EXPECT_TRUE(result.ok()) << result.error;
    return result.ok() ? std::move(*result.model) : DrawingModel();
}

bool onlyColour(const QImage& image, QRgb colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != colour) {
                return false;
            }
        }
    }
    return true;
}

// Whether some pixel of the column range differs from `colour`.
bool drawnBetween(const QImage& image, int left, int right, QRgb colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = left; x < right; ++x) {
            if (image.pixel(x, y) != colour) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

TEST(DocumentList, EntriesThumbnailsAndTheGapOfADeletedItem) {
    Renderer renderer;
    DocumentList list;
    ASSERT_EQ(list.thumbnailSize(), QSize(122, 97));
    list.setThumbnailBackground(0x00204060);  // 0x00BBGGRR
    const QRgb background = qRgb(0x60, 0x40, 0x20);

    DrawingModel info;
    info.drawingInfo.set(0, "*");
    info.drawingInfo.set(1, "");
    info.drawingInfo.set(2, "Bauteil \xE4");
    info.drawingInfo.set(19, "z");
    const std::vector<std::string> names = {"haus-0510.akt", "haus-1100.akt", "haus-2500.akt"};
    for (const std::string& name : names) {
        const DrawingModel model = loadExample(name);
        list.addDrawing(kExamples + "/" + name, model, renderer);
    }
    list.addDrawing("/nirgends/leer.akt", info, renderer);

    ASSERT_EQ(list.items().size(), 4u);
    const DocumentEntry& empty = list.items()[3].entry;
    EXPECT_EQ(empty.label(), "leer.akt");
    EXPECT_EQ(empty.path(), "/nirgends/leer.akt");
    EXPECT_FALSE(empty.texts[2]);  // "*" gives no text
    EXPECT_FALSE(empty.texts[3]);  // nor does an empty one
    EXPECT_EQ(empty.texts[4], "Bauteil \xE4");
    EXPECT_EQ(empty.texts[21], "z");
    // A drawing without elements is the background alone; a drawing fills its thumbnail.
    EXPECT_TRUE(onlyColour(list.thumbnailOf(list.items()[3]), background));
    const QImage first = list.thumbnailOf(list.items()[0]);
    EXPECT_EQ(first.size(), QSize(122, 97));
    EXPECT_TRUE(drawnBetween(first, 0, 30, background));
    EXPECT_TRUE(drawnBetween(first, 61, 122, background));
    EXPECT_NE(first, list.thumbnailOf(list.items()[2]));

    // One column from (10, 10), rows cy + 25 apart.
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(list.items()[i].x, 10);
        EXPECT_EQ(list.items()[i].y, 10 + 122 * static_cast<int>(i));
    }
    // Deleting leaves the gap and the thumbnails until the list is arranged again.
    ASSERT_TRUE(list.removeItem(1));
    EXPECT_EQ(list.items()[1].y, 10 + 2 * 122);
    EXPECT_EQ(list.items()[1].imageIndex, 2);
    EXPECT_EQ(list.thumbnails().size(), 4u);

    // An archive of the list keeps the order, the thumbnail indexes and the pixels.
    const fs::path dir = fs::temp_directory_path() / "planora-doclist-archive";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string file = (dir / "liste.ad").string();
    ASSERT_EQ(list.saveArchive(file), "");
    DocumentList loaded(QSize(50, 40));
    const DocumentList::LoadResult result = loaded.loadArchive(file);
    ASSERT_TRUE(result.ok) << result.message << " " << result.detail;
    EXPECT_TRUE(result.warnings.empty());
    EXPECT_EQ(loaded.thumbnailSize(), QSize(122, 97));
    ASSERT_EQ(loaded.items().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded.items()[i].entry, list.items()[i].entry);
        EXPECT_EQ(loaded.items()[i].imageIndex, list.items()[i].imageIndex);
        EXPECT_EQ(loaded.thumbnailOf(loaded.items()[i]), list.thumbnailOf(list.items()[i]));
        EXPECT_EQ(loaded.items()[i].y, 10 + 122 * static_cast<int>(i));  // arranged
    }
    EXPECT_EQ(loaded.archiveFolder(), dir.string());

    // A file that is no archive leaves the list as it was.
    std::ofstream(dir / "kaputt.ad") << "kein Archiv";
    const auto failed = loaded.loadArchive((dir / "kaputt.ad").string());
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.message, "Dateiformat zum Einlesen nicht geeignet!");
    EXPECT_EQ(loaded.items().size(), 3u);
    fs::remove_all(dir);
}

TEST(ListedDrawingLookup, MissingStoredPathFoundBesideTheArchive) {
    const fs::path dir = fs::temp_directory_path() / "planora-doclist-lookup";
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "Haus.akt") << "x";
    std::ofstream(dir / "plan.akt") << "x";

    // A stored path that exists is used as it is.
    const std::string here = (dir / "plan.akt").string();
    EXPECT_EQ(locateListedDrawing(here, "/anderswo"), here);
    // Windows paths from another machine: the file name beside the archive, case ignored.
    EXPECT_EQ(locateListedDrawing("C:\\Projekte\\Lindenweg\\plan.akt", dir.string()), here);
    EXPECT_EQ(locateListedDrawing("D:\\HAUS.AKT", dir.string()), (dir / "Haus.akt").string());
    EXPECT_EQ(locateListedDrawing("/home/x/plan.akt", dir.string()), here);
    // Missing, a folder of that name, or no file name at all: none.
    EXPECT_EQ(locateListedDrawing("C:\\fehlt.akt", dir.string()), std::nullopt);
    EXPECT_EQ(locateListedDrawing("C:\\sub", dir.string()), std::nullopt);
    EXPECT_EQ(locateListedDrawing("C:\\Projekte\\", dir.string()), std::nullopt);
    EXPECT_EQ(locateListedDrawing("C:\\..", (dir / "sub").string()), std::nullopt);
    fs::remove_all(dir);
}
