// Drawing files written with the writer tool and read back, in every format generation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "akt_writer.h"
#include "drawing_file.h"

using namespace planora;
namespace akt = planora::akt;

namespace {

const int kAcceptedVersions[] = {500,  510,  550,  600,  650,  700,  1000, 1100, 1200, 1300, 1400,
                                 1500, 1600, 1700, 1800, 1900, 2000, 2100, 2200, 2300, 2400, 2500};

DrawingModel load(const akt::Drawing& d) {
    DrawingModel model;
    const auto bytes = akt::writeDrawing(d);
    EXPECT_EQ(loadDrawingFromBytes(model, bytes, "test.akt"), 1) << model.lastLoadError;
    return model;
}

int loadResult(const std::vector<std::uint8_t>& bytes, DrawingModel& model) {
    return loadDrawingFromBytes(model, bytes, "test.akt");
}

// A small drawing with every kind of record the version can hold.
akt::Drawing sampleDrawing(int version) {
    akt::Drawing d;
    d.version = version;
    for (int i = 0; i < 20; ++i) {
        d.headerValues[static_cast<std::size_t>(i)] = i * 0.5;
    }
    d.info[0] = "Projekt M\xFCller";
    d.info[1] = "Bauwerk";
    d.info[4] = "08.12.2026";
    d.info[5] = "*";
    d.info[10] = "*Zeile 1\x06Zeile 2";
    akt::Attributes walls{2, 3, 2, 100};
    akt::addLine(d, 0, 0, 10.5, 0, walls);
    akt::addCircle(d, 5, 4, 0.25, akt::Attributes{3, 5, 1, 50});
    akt::addArc(d, 1, 2, 3, 0, 90, akt::Attributes{4, 2, 1, 100});
    akt::TextPlacement label;
    label.layer = 5;
    label.pen = 4;
    label.sizeCode = 3;
    label.angle = 30;
    label.frameClass = '0';
    label.frameShape = '3';
    akt::addText(d, 2, 3,
                 "K\xFC"
                 "che",
                 label);
    if (version >= 1200) {
        akt::addOutline(d, {{0, 0}, {4, 0}, {4, 2}}, akt::Attributes{6, 7, 0, 100});
        // Data boxes with their inline blocks occur from 1400 on, where the reader looks for
        // the text block behind them.
        if (version >= 1400) {
            akt::addDataBox(d, 0, 0, 4, 2, akt::Attributes{7, 1, 0, 100}, {1, 2, 3, 4, 5});
        }
        akt::addLine(d, 1, 1, 2, 2, akt::Attributes{2, 3, 1, 20});
    }
    akt::addLayer(d, 2, "W\xE4nde", true);
    akt::addLayer(d, 12, "Bema\xDFung", false);
    akt::addLayer(d, 5, "Beschriftung", true);
    return d;
}

}  // namespace

TEST(Reader, EveryGenerationReadsBackWhatWasWritten) {
    for (int version : kAcceptedVersions) {
        SCOPED_TRACE(version);
        const DrawingModel m = load(sampleDrawing(version));
        EXPECT_EQ(m.version, version);
        EXPECT_TRUE(m.loadWarning().empty()) << m.loadWarning();
        EXPECT_EQ(m.currentDrawingPath, "test.akt");
        EXPECT_FLOAT_EQ(m.headerValues[3], 1.5f);
        EXPECT_EQ(m.drawingInfo.text(0), "Projekt M\xFCller");
        EXPECT_EQ(m.drawingInfo.text(4), "08.12.2026");
        EXPECT_FALSE(m.drawingInfo.text(5));
        EXPECT_FALSE(m.drawingInfo.text(2));

        const bool v12 = version >= 1200;
        const bool dataBox = version >= 1400;
        // line, circle, arc, text + rectangle frame; from V12 also polygon, data box and line.
        ASSERT_EQ(m.store.elementCount(), v12 ? (dataBox ? 8u : 7u) : 5u);
        const Element* e = m.store.elementArray();
        EXPECT_EQ(e[0].kind, ElementKind::Line);
        EXPECT_EQ(e[0].layerField, 3);
        EXPECT_EQ(e[0].penField, 3);
        EXPECT_EQ(e[0].lineStyle, 2);
        EXPECT_DOUBLE_EQ(e[0].g[2], 10.5);

        EXPECT_EQ(e[1].kind, ElementKind::Circle);
        EXPECT_EQ(e[1].penField, 5);
        EXPECT_DOUBLE_EQ(e[1].g[2], 0.25);

        EXPECT_EQ(e[2].kind, ElementKind::Arc);
        EXPECT_EQ(e[2].layerField, 5);
        EXPECT_DOUBLE_EQ(e[2].g[0], 1);
        EXPECT_DOUBLE_EQ(e[2].g[2], 3);
        EXPECT_DOUBLE_EQ(e[2].g[4], 90);

        EXPECT_EQ(e[3].kind, ElementKind::Text);
        EXPECT_EQ(m.store.text(e[3]),
                  "K\xFC"
                  "che");
        EXPECT_EQ(e[3].layerField, 6);
        EXPECT_EQ(e[3].penField, 4);
        EXPECT_EQ(e[3].lineStyle, 0);
        EXPECT_NEAR(e[3].g[2], 30, 1e-9);
        EXPECT_DOUBLE_EQ(e[3].g[3], 0.25 / 0.75);

        EXPECT_EQ(e[4].kind, ElementKind::Rectangle);
        EXPECT_NEAR(e[4].g[2], 5 * 0.25 + 0.4 * 0.25, 1e-9);  // five characters
        EXPECT_EQ(e[4].penField, 1);
        EXPECT_EQ(e[4].lineStyle, 1);

        if (v12) {
            EXPECT_EQ(e[5].kind, ElementKind::Polygon);
            EXPECT_EQ(m.store.polygon(e[5]).x, (std::vector<double>{0, 4, 4}));
            EXPECT_EQ(e[5].penField, 7);
            if (dataBox) {
                EXPECT_EQ(e[6].kind, ElementKind::Rectangle);
                EXPECT_DOUBLE_EQ(e[6].g[0], 2);
                EXPECT_DOUBLE_EQ(e[6].g[1], 1);
                EXPECT_EQ(e[6].penField, 0);
            }
            EXPECT_EQ(e[dataBox ? 7 : 6].kind, ElementKind::Line) << "after an inline block";
        }

        ASSERT_EQ(m.layers.size(), 3u);
        EXPECT_EQ(m.layers[0].number, 2);
        EXPECT_EQ(m.layers[0].name, "W\xE4nde");
        EXPECT_EQ(m.layers[1].number, 12);
        EXPECT_EQ(m.layers[1].visible, 0);
        EXPECT_EQ(m.layers[2].visible, 1);

        const auto& scales = m.scales.entries();
        ASSERT_GE(scales.size(), 2u);
        EXPECT_EQ(scales[0].denominator, 100);
        EXPECT_EQ(scales[0].count, 2);  // the line and the arc head
        EXPECT_EQ(scales[1].denominator, 50);
        if (v12) {
            EXPECT_EQ(scales.size(), 3u);
            EXPECT_EQ(scales[2].denominator, 20);
        }
    }
}

TEST(Reader, LoadsFromDiskAndFailsWithoutMessageForMissingFiles) {
    const auto path = std::filesystem::temp_directory_path() / "planora-reader-test.akt";
    ASSERT_TRUE(akt::writeDrawingFile(sampleDrawing(1800), path.string()));
    DrawingModel model;
    EXPECT_EQ(loadDrawing(model, path.string()), 1);
    EXPECT_EQ(model.currentDrawingPath, path.string());
    EXPECT_EQ(model.store.elementCount(), 8u);
    std::filesystem::remove(path);

    model.lastLoadError = "alt";
    EXPECT_EQ(loadDrawing(model, path.string()), 0);
    EXPECT_EQ(model.lastLoadError, "");
    EXPECT_EQ(model.store.elementCount(), 8u) << "a failed load keeps the previous drawing";
}

TEST(Reader, VersionDigitsSelectTheHeaderLayout) {
    // 05/00 and 05/10 have an int16 element count, 05/50 an int32 one: the writer lays them
    // out so, and the reader must find the elements.
    for (int version : {500, 510, 550}) {
        akt::Drawing d = sampleDrawing(version);
        EXPECT_EQ(load(d).store.elementCount(), 5u) << version;
    }
    for (int version : {499, 2150, 800, 2600, 0}) {
        DrawingModel model;
        akt::Drawing d = sampleDrawing(1000);
        d.version = version;
        EXPECT_EQ(loadResult(akt::writeDrawing(d), model), 0) << version;
        EXPECT_EQ(model.lastLoadError, "") << version;
    }
}

TEST(Reader, VersionFieldsAcceptBlanksAndStopAtNonDigits) {
    auto bytes = akt::writeDrawing(sampleDrawing(510));
    bytes[3] = ' ';
    bytes[4] = '5';  // " 5" . "10"
    DrawingModel model;
    EXPECT_EQ(loadResult(bytes, model), 1);
    EXPECT_EQ(model.version, 510);

    bytes[3] = 'x';  // "x5" reads as 0: version 10
    EXPECT_EQ(loadResult(bytes, model), 0);

    auto wrongMagic = akt::writeDrawing(sampleDrawing(1800));
    wrongMagic[0] = 'k';
    EXPECT_EQ(loadResult(wrongMagic, model), 0);
    EXPECT_EQ(model.lastLoadError, "");
}

TEST(Reader, HeaderTextLimits) {
    akt::Drawing d = sampleDrawing(600);
    d.info[3] = std::string(24576, 'a');
    DrawingModel model;
    EXPECT_EQ(loadResult(akt::writeDrawing(d), model), 1);
    EXPECT_EQ(model.drawingInfo.raw(3).size(), 24576u);

    d.info[3] = std::string(24577, 'a');
    EXPECT_EQ(loadResult(akt::writeDrawing(d), model), 0);
    EXPECT_EQ(model.lastLoadError, "Datenfehler im Header (mehr als 24 kb Text)");

    akt::Drawing wide = sampleDrawing(1300);
    wide.info[19] = std::string(131072, 'b');
    EXPECT_EQ(loadResult(akt::writeDrawing(wide), model), 1);
    wide.info[19] = std::string(131073, 'b');
    EXPECT_EQ(loadResult(akt::writeDrawing(wide), model), 0);
    EXPECT_EQ(model.lastLoadError, "Datenfehler im Header (mehr als 128 kb Text)");
}

TEST(Reader, NegativeHeaderTextLengthIsRejectedLikeAnOverlongOne) {
    akt::Drawing d = sampleDrawing(1300);
    d.info[0] = "abcd";
    auto bytes = akt::writeDrawing(d);
    // The first info length field follows the 8 version bytes and 160 bytes of numbers.
    const std::size_t at = 8 + 160;
    ASSERT_EQ(bytes[at], 4);
    bytes[at] = 0xFC;
    bytes[at + 1] = bytes[at + 2] = bytes[at + 3] = 0xFF;  // -4
    DrawingModel model;
    EXPECT_EQ(loadResult(bytes, model), 0);
    EXPECT_EQ(model.lastLoadError, "Datenfehler im Header (mehr als 128 kb Text)");
}

TEST(Reader, LayerAndPenCodesByGeneration) {
    {
        akt::Drawing d;
        d.version = 700;
        akt::ElementRecord r;
        r.type = 12;
        r.c = 1;
        r.layerPenCode = 53;
        d.elements.push_back(r);
        const DrawingModel m = load(d);
        ASSERT_EQ(m.store.elementCount(), 1u);
        EXPECT_EQ(m.store.elementArray()[0].layerField, 6);
        EXPECT_EQ(m.store.elementArray()[0].penField, 3);
    }
    {
        akt::Drawing d;
        d.version = 1500;
        akt::ElementRecord line;
        line.type = 11;
        line.layerPenCode = -1207;
        akt::ElementRecord circle;
        circle.type = 234;
        circle.c = 2;
        circle.layerPenCode = 305;
        d.elements = {line, circle};
        const DrawingModel m = load(d);
        ASSERT_EQ(m.store.elementCount(), 2u);
        EXPECT_EQ(m.store.elementArray()[0].layerField, 13);
        EXPECT_EQ(m.store.elementArray()[0].penField, 7);
        EXPECT_EQ(m.store.elementArray()[1].kind, ElementKind::Circle);
        EXPECT_EQ(m.store.elementArray()[1].layerField, 4);
        EXPECT_EQ(m.store.elementArray()[1].penField, 5);
    }
}

TEST(Reader, TypeCodesBelongToTheirReaders) {
    auto countOf = [](int version, std::uint32_t type) {
        akt::Drawing d;
        d.version = version;
        akt::ElementRecord r;
        r.type = type;
        r.layerPenCode = 11;
        d.elements.push_back(r);
        return load(d).store.elementCount();
    };
    EXPECT_EQ(countOf(1100, 214), 1u);
    EXPECT_EQ(countOf(1200, 214), 0u);
    EXPECT_EQ(countOf(700, 214), 0u);
    EXPECT_EQ(countOf(1100, 234), 1u);
    EXPECT_EQ(countOf(700, 234), 0u);
    EXPECT_EQ(countOf(2200, 65), 1u);
    EXPECT_EQ(countOf(1100, 65), 0u);
    EXPECT_EQ(countOf(2500, 64), 1u);
    EXPECT_EQ(countOf(1100, 64), 0u);
    EXPECT_EQ(countOf(2500, 7), 0u);
    EXPECT_EQ(countOf(2500, 130), 0u) << "an arc end with no arc head before it is skipped";
}

TEST(Reader, ArcEndUsesTheLastArcHead) {
    akt::Drawing d;
    d.version = 1800;
    auto [head, end] = akt::arcRecords(1800, 1, 2, 3, 0, 90, akt::Attributes{4, 6, 1, 100});
    end.style = 5;
    d.elements = {head, end};
    auto [head2, end2] = akt::arcRecords(1800, 7, 8, 9, 180, 270, akt::Attributes{1, 2, 1, 100});
    akt::ElementRecord between = akt::lineRecord(1800, 0, 0, 1, 1, akt::Attributes{});
    d.elements.push_back(head2);
    d.elements.push_back(between);
    d.elements.push_back(end2);
    d.elements.push_back(end2);
    const DrawingModel m = load(d);
    ASSERT_EQ(m.store.elementCount(), 4u);
    const Element& arc = m.store.elementArray()[0];
    EXPECT_EQ(arc.kind, ElementKind::Arc);
    EXPECT_DOUBLE_EQ(arc.g[0], 1);
    EXPECT_DOUBLE_EQ(arc.g[1], 2);
    EXPECT_DOUBLE_EQ(arc.g[2], 3);
    EXPECT_DOUBLE_EQ(arc.g[3], 0);
    EXPECT_DOUBLE_EQ(arc.g[4], 90);
    EXPECT_EQ(arc.layerField, 5);
    EXPECT_EQ(arc.penField, 6);
    EXPECT_EQ(arc.lineStyle, 5) << "the style comes from the arc end record";
    EXPECT_DOUBLE_EQ(m.store.elementArray()[2].g[0], 7);
    EXPECT_DOUBLE_EQ(m.store.elementArray()[3].g[3], 180) << "the arc head stays remembered";
}

TEST(Reader, TextNumbersOutsideTheTableAreSkipped) {
    akt::Drawing d;
    d.version = 2000;
    akt::TextPlacement p;
    akt::addText(d, 0, 0, "eins", p);
    for (double number : {0.0, 2.0, -1.0, 1e300, std::nan("")}) {
        akt::ElementRecord r = akt::textElementRecord(2000, 0, 0, 1, p);
        r.c = number;
        d.elements.push_back(r);
    }
    akt::ElementRecord r = akt::textElementRecord(2000, 0, 0, 1, p);
    r.c = 1.9;  // truncates to 1
    d.elements.push_back(r);
    const DrawingModel m = load(d);
    ASSERT_EQ(m.store.elementCount(), 2u);
    EXPECT_EQ(m.store.text(m.store.elementArray()[1]), "eins");
}

TEST(Reader, TextTerminatorsAndTheDiameterSignDependOnTheVersion) {
    const std::string raw = std::string(
        "20\x11"
        "C\x04"
        "xy");
    for (int version : {1600, 1800}) {
        akt::Drawing d;
        d.version = version;
        akt::addText(d, 0, 0, raw, akt::TextPlacement{});
        const DrawingModel m = load(d);
        ASSERT_EQ(m.store.elementCount(), 1u);
        const std::string_view text = m.store.text(m.store.elementArray()[0]);
        if (version == 1800) {
            EXPECT_EQ(text,
                      "20\xF8"
                      "C");
        } else {
            EXPECT_EQ(text, raw);
        }
    }
    akt::Drawing old;
    old.version = 1600;
    akt::addText(old, 0, 0,
                 std::string("ab\xFF"
                             "cd"),
                 akt::TextPlacement{});
    const DrawingModel m = load(old);
    EXPECT_EQ(m.store.text(m.store.elementArray()[0]), "ab");
}

TEST(Reader, TextSizeCodesAndAngles) {
    for (int version : {600, 1100, 2300}) {
        SCOPED_TRACE(version);
        akt::Drawing d;
        d.version = version;
        akt::TextPlacement p;
        p.sizeCode = 5;
        p.angle = 90;
        akt::addText(d, 0, 0, "a", p);
        p.sizeCode = -5;  // the readers from 1000 take the absolute value
        akt::addText(d, 0, 0, "b", p);
        p.sizeCode = 250;
        akt::addText(d, 0, 0, "c", p);
        const DrawingModel m = load(d);
        ASSERT_EQ(m.store.elementCount(), 3u);
        const Element* e = m.store.elementArray();
        EXPECT_DOUBLE_EQ(e[0].g[3], 0.5 / 0.75);
        EXPECT_NEAR(e[0].g[2], 90, 1e-9);
        EXPECT_NEAR(e[0].g[0], -1.2 * 0.5, 1e-9);
        EXPECT_DOUBLE_EQ(e[1].g[3], (version < 1000 ? 0.1 : 0.5) / 0.75);
        EXPECT_DOUBLE_EQ(e[2].g[3], 0.25 / 0.75);
    }
}

TEST(Reader, OutlinesAreEmittedAtEveryEnd) {
    akt::Drawing d;
    d.version = 2100;
    akt::addOutline(d, {{0, 0}, {1, 0}, {1, 1}}, akt::Attributes{3, 2, 0, 100});
    d.elements.push_back(d.elements.back());  // a second outline end
    akt::ElementRecord point;
    point.type = akt::type::kOutlinePoint;
    point.a = 5;
    point.b = 6;
    d.elements.push_back(point);
    d.elements.push_back(d.elements[4]);  // an end after one more point
    const DrawingModel m = load(d);
    ASSERT_EQ(m.store.elementCount(), 3u);
    const auto& first = m.store.polygon(m.store.elementArray()[0]);
    const auto& second = m.store.polygon(m.store.elementArray()[1]);
    const auto& third = m.store.polygon(m.store.elementArray()[2]);
    EXPECT_EQ(first.x, second.x);
    EXPECT_EQ(first.y, second.y);
    EXPECT_EQ(third.x, (std::vector<double>{0, 1, 1, 5}));
    EXPECT_EQ(m.store.elementArray()[0].layerField, 4);
    EXPECT_EQ(m.store.elementArray()[0].penField, 2);

    akt::Drawing lonely;
    lonely.version = 2100;
    lonely.elements = {point, d.elements[4]};
    EXPECT_EQ(load(lonely).store.elementCount(), 0u) << "points and ends without a begin";
}

TEST(Reader, DataBoxBecomesARectangleAndItsInlineBlockIsSkipped) {
    akt::Drawing d;
    d.version = 1800;
    akt::addDataBox(d, 0, 0, 4, 2, akt::Attributes{9, 5, 3, 100},
                    std::vector<std::uint8_t>(77, 'K'));
    akt::addDataBox(d, 4, 2, 0, 0, akt::Attributes{9, 5, 3, 100}, {});
    akt::addLine(d, 0, 0, 1, 1, akt::Attributes{});
    akt::addText(d, 0, 0, "nach dem Block", akt::TextPlacement{});
    akt::addLayer(d, 9, "Daten");
    const DrawingModel m = load(d);
    EXPECT_TRUE(m.loadWarning().empty()) << m.loadWarning();
    ASSERT_EQ(m.store.elementCount(), 4u);
    const Element& box = m.store.elementArray()[0];
    EXPECT_EQ(box.kind, ElementKind::Rectangle);
    EXPECT_DOUBLE_EQ(box.g[0], 2);
    EXPECT_DOUBLE_EQ(box.g[1], 1);
    EXPECT_DOUBLE_EQ(box.g[2], 4);
    EXPECT_DOUBLE_EQ(box.g[3], 2);
    EXPECT_DOUBLE_EQ(box.g[4], 0);
    EXPECT_EQ(box.penField, 0);
    EXPECT_EQ(box.lineStyle, 0);
    EXPECT_EQ(box.layerField, 10);
    EXPECT_DOUBLE_EQ(m.store.elementArray()[1].g[2], -4) << "width keeps its sign";
    EXPECT_EQ(m.store.text(m.store.elementArray()[3]), "nach dem Block");
    ASSERT_EQ(m.layers.size(), 1u);
    EXPECT_EQ(m.layers[0].name, "Daten");
}

TEST(Reader, LayerTextLayoutsBeforeAndFrom1700) {
    for (int version : {1600, 1800}) {
        akt::Drawing d;
        d.version = version;
        akt::LayerRecord off;
        off.rawText = version < 1700 ? "-012Mauern" : "-x012Mauern";
        akt::LayerRecord on;
        on.rawText = version < 1700 ? "+  7Keller" : "++  7Keller";
        akt::LayerRecord tiny;
        tiny.rawText = "-";  // M = 1: counted, no entry
        akt::LayerRecord empty;
        empty.rawText = "";
        d.layers = {off, tiny, on, empty, off};
        const DrawingModel m = load(d);
        SCOPED_TRACE(version);
        ASSERT_EQ(m.layers.size(), 3u);
        EXPECT_EQ(m.layers[0].number, 12);
        EXPECT_EQ(m.layers[0].visible, 0);
        EXPECT_EQ(m.layers[0].name, "Mauern");
        EXPECT_EQ(m.layers[1].number, 7);
        EXPECT_EQ(m.layers[1].visible, 1);
        EXPECT_EQ(m.layers[1].name, "Keller");
        EXPECT_EQ(m.layers[2].number, 12);
    }
}

TEST(Reader, OverlongLayerTextsKeepTheirFirst255Bytes) {
    akt::Drawing d;
    d.version = 2500;
    akt::LayerRecord longOne;
    longOne.rawText = "  100" + std::string(600, 'n');
    d.layers = {longOne};
    akt::addLayer(d, 4, "danach");
    const DrawingModel m = load(d);
    ASSERT_EQ(m.layers.size(), 2u);
    EXPECT_EQ(m.layers[0].number, 100);
    EXPECT_EQ(m.layers[0].name.size(), 255u - 5u);
    EXPECT_EQ(m.layers[1].name, "danach");
}

TEST(Reader, TextRecordsOfTheShortGenerations) {
    akt::Drawing d;
    d.version = 550;
    akt::TextRecord t;
    t.rawData = "01ab";  // frame class 0, frame shape 1, string "ab": L = 6
    d.texts.push_back(t);
    akt::TextPlacement p;
    d.elements.push_back(akt::textElementRecord(550, 0, 0, 1, p));
    const DrawingModel m = load(d);
    ASSERT_EQ(m.store.elementCount(), 2u);
    EXPECT_EQ(m.store.text(m.store.elementArray()[0]), "ab");
    EXPECT_EQ(m.store.elementArray()[1].kind, ElementKind::Circle) << "frame 0/1 is a circle";

    akt::Drawing v12;
    v12.version = 1200;
    akt::TextRecord t12;
    t12.rawData = std::string(20, '\0') + "xyz";  // 23 bytes of text data, L = 25
    t12.rawData->at(18) = '0';
    t12.rawData->at(19) = '0';
    v12.texts.push_back(t12);
    v12.elements.push_back(akt::textElementRecord(1200, 0, 0, 1, p));
    const DrawingModel m12 = load(v12);
    ASSERT_EQ(m12.store.elementCount(), 1u);
    EXPECT_EQ(m12.store.text(m12.store.elementArray()[0]), "xyz");
}

TEST(Reader, TextsSharingAFramedEntryLoseNoElements) {
    // Three text records name the same entry with a four-part frame: the capacity estimate
    // counts that frame once, yet every text, every frame and the line after them are read.
    akt::Drawing d;
    d.version = 2200;
    akt::TextPlacement p;
    p.frameShape = '5';
    akt::addText(d, 0, 0, "Raum", p);
    d.elements.push_back(d.elements.back());
    d.elements.push_back(d.elements.back());
    akt::addLine(d, 0, 0, 9, 9, akt::Attributes{});
    const DrawingModel m = load(d);
    ASSERT_EQ(m.store.elementCount(), 3u * 5u + 1u);
    EXPECT_EQ(m.store.elementArray()[15].kind, ElementKind::Line);
    EXPECT_DOUBLE_EQ(m.store.elementArray()[15].g[2], 9);
}
