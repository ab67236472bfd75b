// Faults of the reader where data disappeared or damage went unreported: large text counts,
// cut files, cut texts, data boxes in the older V12 versions, the warning after a failed load,
// layers listed twice, and texts and outlines that were copied per record.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "akt_writer.h"
#include "drawing_file.h"
#include "open_drawing.h"

using namespace planora;
namespace akt = planora::akt;

namespace {

std::vector<std::uint8_t> readExample(const std::string& name) {
    std::ifstream file(std::string(PLANORA_EXAMPLES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::size_t countKind(const DrawingModel& m, ElementKind kind) {
    std::size_t n = 0;
    for (const Element& e : m.store.elements()) {
        n += e.kind == kind ? 1 : 0;
    }
    return n;
}

akt::Drawing drawingWithTexts(int version, int texts) {
    akt::Drawing d;
    d.version = version;
    for (int i = 0; i < texts; ++i) {
        akt::addText(d, i, 0, "T" + std::to_string(i), akt::TextPlacement{});
    }
    akt::addLayer(d, 0, "Texte");
    return d;
}

}  // namespace

TEST(LoadFaults, MoreThan32767TextsAllLoad) {
    for (const int version : {1100, 2500}) {
        for (const int texts : {32767, 32768, 65540}) {
            const auto bytes = akt::writeDrawing(drawingWithTexts(version, texts));
            DrawingModel m;
            ASSERT_EQ(loadDrawingFromBytes(m, bytes, "texte.akt"), 1) << version << " " << texts;
            EXPECT_EQ(countKind(m, ElementKind::Text), static_cast<std::size_t>(texts))
                << version << " " << texts;
            const Element& last = m.store.elements().back();
            EXPECT_EQ(m.store.text(last), "T" + std::to_string(texts - 1));
            EXPECT_EQ(m.layers.size(), 1u) << version << " " << texts;
            EXPECT_EQ(m.loadWarning(), "") << version << " " << texts;
        }
    }
    // A count whose high bits the records do not confirm is read by its low 16 bits, as always.
    akt::Drawing d = drawingWithTexts(2500, 3);
    d.textCountOverride = 0x10000 + 3;
    DrawingModel m;
    ASSERT_EQ(loadDrawingFromBytes(m, akt::writeDrawing(d), "texte.akt"), 1);
    EXPECT_EQ(countKind(m, ElementKind::Text), 3u);
    EXPECT_EQ(m.layers.size(), 1u);
    EXPECT_EQ(m.loadWarning(), "");
}

TEST(LoadFaults, TruncatedFilesAreReportedDamaged) {
    for (const char* name :
         {"haus-1800.akt", "haus-2500.akt", "haus-1100.akt", "haus-0700.akt", "haus-0510.akt"}) {
        const auto bytes = readExample(name);
        ASSERT_GT(bytes.size(), 1000u) << name;
        DrawingModel whole;
        ASSERT_EQ(loadDrawingFromBytes(whole, bytes, name), 1);
        ASSERT_EQ(whole.loadWarning(), "") << name;
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            DrawingModel m;
            const std::span<const std::uint8_t> part(bytes.data(), cut);
            if (loadDrawingFromBytes(m, part, name) == 1) {
                EXPECT_EQ(m.loadWarning().rfind("Datei ist defekt: ", 0), 0u)
                    << name << " cut at " << cut << ": \"" << m.loadWarning() << "\"";
            }
        }
    }
    // Only the beginning of a header: no element block at all.
    const std::string start = "KVN25.00";
    DrawingModel m;
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(start.data()),
                                              start.size());
    ASSERT_EQ(loadDrawingFromBytes(m, bytes, "kurz.akt"), 1);
    EXPECT_NE(m.loadWarning(), "");
}

TEST(LoadFaults, TextCutByTheEndOfTheFileKeepsItsReadablePart) {
    for (const int version : {700, 1300, 2500}) {
        akt::Drawing d;
        d.version = version;
        akt::addText(d, 0, 0, "Erdgeschoss", akt::TextPlacement{});
        auto bytes = akt::writeDrawing(d);
        const std::string text = "Erdgeschoss";
        const auto at = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
        ASSERT_NE(at, bytes.end());
        bytes.erase(at + 4, bytes.end());  // "Erdg" is left
        DrawingModel m;
        ASSERT_EQ(loadDrawingFromBytes(m, bytes, "cut.akt"), 1) << version;
        ASSERT_EQ(countKind(m, ElementKind::Text), 1u) << version;
        EXPECT_EQ(m.store.text(m.store.elements()[0]), "Erdg") << version;
        EXPECT_EQ(m.loadWarning().rfind("Datei ist defekt: ", 0), 0u) << version;
    }
}

TEST(LoadFaults, DataBoxesIn1200And1300KeepTextsAndLayers) {
    for (const int version : {1200, 1300}) {
        akt::Drawing d;
        d.version = version;
        akt::addLine(d, 0, 0, 1, 1, akt::Attributes{});
        akt::addDataBox(d, 0, 0, 4, 2, akt::Attributes{2, 0, 0, 100}, {1, 2, 3, 4, 5});
        akt::addText(d, 1, 1, "Raum", akt::TextPlacement{});
        akt::addLayer(d, 2, "Daten");
        DrawingModel m;
        ASSERT_EQ(loadDrawingFromBytes(m, akt::writeDrawing(d), "box.akt"), 1);
        EXPECT_EQ(m.loadWarning(), "") << version;
        EXPECT_EQ(countKind(m, ElementKind::Rectangle), 1u) << version;
        ASSERT_EQ(countKind(m, ElementKind::Text), 1u) << version;
        EXPECT_EQ(m.layers.size(), 1u) << version;

        // Without a data box a wrong element count is damage, as it always was.
        akt::Drawing plain = d;
        plain.elements.erase(plain.elements.begin() + 1);
        plain.elementCountOverride = 3;
        DrawingModel p;
        ASSERT_EQ(loadDrawingFromBytes(p, akt::writeDrawing(plain), "plain.akt"), 1);
        EXPECT_EQ(p.loadWarning(), "Datei ist defekt: Startadresse der Texte stimmt nicht");
    }
}

TEST(LoadFaults, FailedLoadLeavesTheShownDrawingsWarning) {
    akt::Drawing d = drawingWithTexts(1100, 2);
    d.textCountOverride = 3;
    DrawingModel m;
    ASSERT_EQ(loadDrawingFromBytes(m, akt::writeDrawing(d), "damaged.akt"), 1);
    const std::string damage = m.loadWarning();
    ASSERT_EQ(damage, "Datei ist defekt: Anzahl der Texte stimmt nicht");

    const std::string notADrawing = "no drawing";
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(notADrawing.data()), notADrawing.size());
    akt::Drawing bad = drawingWithTexts(1100, 1);
    bad.info[3] = std::string(0x20001, 'x');
    ASSERT_EQ(loadDrawingFromBytes(m, akt::writeDrawing(bad), "bad.akt"), 0);
    EXPECT_EQ(m.lastLoadError, "Datenfehler im Header (mehr als 128 kb Text)");
    EXPECT_EQ(m.loadWarning(), damage);
    ASSERT_EQ(loadDrawingFromBytes(m, bytes, "bad.akt"), 0);
    EXPECT_EQ(m.loadWarning(), damage);
    EXPECT_EQ(m.currentDrawingPath, "damaged.akt");
}

TEST(LoadFaults, DuplicateLayerNumbersHideOnlyWhenEveryEntryIsOff) {
    akt::Drawing d;
    d.version = 2500;
    for (int layer = 1; layer <= 4; ++layer) {
        akt::addLine(d, 0, 0, layer, 1, akt::Attributes{layer, 1, 1, 100});
    }
    akt::addLayer(d, 1, "an", true);
    akt::addLayer(d, 1, "aus", false);
    akt::addLayer(d, 2, "aus", false);
    akt::addLayer(d, 2, "auch aus", false);
    akt::addLayer(d, 3, "aus", false);
    akt::addLayer(d, 4, "aus", false);
    akt::addLayer(d, 4, "an", true);
    DrawingModel m;
    ASSERT_EQ(loadDrawingFromBytes(m, akt::writeDrawing(d), "folien.akt"), 1);
    applyLayerFlags(m);
    const auto& e = m.store.elements();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_TRUE(e[0].visible()) << "layer 1 has an entry that is on";
    EXPECT_FALSE(e[1].visible());
    EXPECT_FALSE(e[2].visible());
    EXPECT_TRUE(e[3].visible()) << "layer 4 has an entry that is on";
    EXPECT_EQ(e[1].layerField, -3);
    // The entries keep the flags the file gives them.
    EXPECT_EQ(m.layers[0].visible, 1);
    EXPECT_EQ(m.layers[1].visible, 0);
}

TEST(LoadFaults, SharedTextsAndOutlinesAreStoredOnce) {
    // One long text named by many records, and an outline ended after every point.
    akt::Drawing d;
    d.version = 2500;
    const std::string longText(100000, 'x');
    const std::int64_t number = akt::addText(d, 0, 0, longText, akt::TextPlacement{});
    for (int i = 1; i < 50; ++i) {
        d.elements.push_back(akt::textElementRecord(2500, i, 0, number, akt::TextPlacement{}));
    }
    akt::ElementRecord begin;
    begin.type = akt::type::kOutlineBegin;
    d.elements.push_back(begin);
    for (int i = 0; i < 200; ++i) {
        akt::ElementRecord point;
        point.type = akt::type::kOutlinePoint;
        point.a = i;
        point.b = -i;
        d.elements.push_back(point);
        akt::ElementRecord end;
        end.type = akt::type::kOutlineEnd;
        d.elements.push_back(end);
    }
    DrawingModel m;
    ASSERT_EQ(loadDrawingFromBytes(m, akt::writeDrawing(d), "geteilt.akt"), 1);
    ASSERT_EQ(countKind(m, ElementKind::Text), 50u);
    ASSERT_EQ(countKind(m, ElementKind::Polygon), 200u);
    const auto& e = m.store.elements();
    EXPECT_EQ(m.store.text(e[0]).data(), m.store.text(e[49]).data()) << "one stored copy";
    EXPECT_EQ(m.store.text(e[49]), longText);
    const PolygonPoints first = m.store.polygon(e[50]);
    const PolygonPoints last = m.store.polygon(e[249]);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(last.size(), 200u);
    EXPECT_EQ(first.x.data(), last.x.data()) << "one stored run of points";
    EXPECT_EQ(last.x[199], 199);
    EXPECT_EQ(last.y[199], -199);
}

TEST(LoadFaults, OnlyRegularFilesAreOpened) {
    const auto folder = std::filesystem::temp_directory_path() / "planora-ordner.akt";
    std::filesystem::create_directories(folder);
    const OpenResult dir = openDrawing(folder.string());
    EXPECT_FALSE(dir.ok());
    EXPECT_EQ(dir.error, folder.string() + " ist ein Ordner, keine Zeichnung.");
    std::filesystem::remove(folder);

    const OpenResult device = openDrawing("/dev/zero");
    EXPECT_FALSE(device.ok());
    EXPECT_EQ(device.error, "/dev/zero ist keine reguläre Datei.");
}
