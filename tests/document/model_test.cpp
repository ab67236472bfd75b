#include <gtest/gtest.h>

#include <cstdint>

#include "drawing_info.h"
#include "drawing_model.h"
#include "text_encoding.h"

using namespace planora;

TEST(ElementStore, RefusesAddsBeyondItsCapacity) {
    ElementStore store;
    ASSERT_EQ(store.createElementStore(3), 3u);
    EXPECT_EQ(store.addLine(0, 0, 1, 1, 0, 1, 1), 1u);
    EXPECT_EQ(store.addCircle(0, 0, 1, 0, 1, 1), 2u);
    EXPECT_EQ(store.addText(0, 0, "abc", 0, 0.25, 1.0, 0, 1, 0), 3u);
    EXPECT_EQ(store.addArc(0, 0, 1, 0, 90, 0, 1, 1), 3u);
    EXPECT_EQ(store.addText(0, 0, "x", 0, 0.25, 1.0, 0, 1, 0), 3u);
    EXPECT_EQ(store.polygonBuilder(ElementStore::PolygonStep::Begin, 3, 0, 0, 1, 0), 3u);
    EXPECT_EQ(store.elementCount(), 3u);
    EXPECT_EQ(store.text(store.elementArray()[2]), "abc");

    ElementStore empty;
    empty.createElementStore(0);
    EXPECT_EQ(empty.addLine(0, 0, 1, 1, 0, 1, 1), 0u);
}

TEST(ElementStore, StoresLayerPlusOneAndTextAnchorAboveTheBasePoint) {
    ElementStore store;
    store.createElementStore(4);
    store.addLine(1, 2, 3, 4, 5, 3, 2);
    const Element& line = store.elementArray()[0];
    EXPECT_EQ(line.layerField, 6);
    EXPECT_EQ(line.penField, 3);
    EXPECT_EQ(line.lineStyle, 2);

    store.addText(10, 20, "T", 90, 0.5, 1.0, 0, 1, 0);
    const Element& text = store.elementArray()[1];
    EXPECT_NEAR(text.g[0], 10 - 1.2 * 0.5, 1e-12);  // at 90 degrees "above" is towards -x
    EXPECT_NEAR(text.g[1], 20, 1e-12);
    EXPECT_DOUBLE_EQ(text.g[3], 0.5 / 0.75);
    EXPECT_DOUBLE_EQ(text.g[4], 1.0);

    store.addRegularPolygon(0, 0, 1, 45, 5.9, 0, 0, 0);
    EXPECT_EQ(store.elementArray()[2].g[4], 5);
}

TEST(ElementStore, PolygonKeepsOnlyThePointsItWasBegunFor) {
    using Step = ElementStore::PolygonStep;
    ElementStore store;
    store.createElementStore(2);
    store.polygonBuilder(Step::Begin, 3, 0, 2, 4, 0);
    EXPECT_EQ(store.elementCount(), 0u) << "the count is raised only when the polygon finishes";
    for (int i = 0; i < 5; ++i) {
        store.polygonBuilder(Step::Point, i, 10 + i, 2, 4, 0);
    }
    store.polygonBuilder(Step::Finish, 0, 0, 2, 4, 0);
    ASSERT_EQ(store.elementCount(), 1u);
    const Element& e = store.elementArray()[0];
    EXPECT_EQ(e.kind, ElementKind::Polygon);
    EXPECT_EQ(e.layerField, 3);
    const PolygonPoints& p = store.polygon(e);
    EXPECT_EQ(p.x, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(p.y, (std::vector<double>{10, 11, 12}));
    EXPECT_EQ(e.g[2], 3);
    // A point or finish without a begun polygon does nothing.
    store.polygonBuilder(Step::Finish, 0, 0, 2, 4, 0);
    EXPECT_EQ(store.elementCount(), 1u);
}

// Arrays of a few megabytes and more live in blocks of huge pages: growing a store from a small
// block into one and from one to a larger one must keep every element, and a block must be
// aligned to a huge page and writable to its last byte.
TEST(ElementStore, KeepsItsElementsWhenGrowingIntoHugePageBlocks) {
    ElementStore s;
    ASSERT_EQ(s.createElementStore(1000), 1000u);
    auto add = [&](std::size_t upTo) {
        while (s.elementCount() < upTo) {
            const double i = static_cast<double>(s.elementCount());
            s.addLine(i, -i, i + 0.5, i * 3, static_cast<int>(s.elementCount() % 50), 2, 1);
        }
    };
    add(1000);
    const std::size_t large = 2 * kLargeBlockMinBytes / sizeof(Element);
    for (std::size_t capacity : {large, 3 * large}) {
        ASSERT_TRUE(s.growCapacity(capacity));
        add(capacity);
        ASSERT_EQ(s.elementCount(), capacity);
    }
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(s.elementArray()) % (std::size_t{2} << 20), 0u);
    for (std::size_t k = 0; k < s.elementCount(); ++k) {
        const Element& e = s.elementArray()[k];
        const double i = static_cast<double>(k);
        ASSERT_TRUE(e.kind == ElementKind::Line && e.g[0] == i && e.g[1] == -i &&
                    e.g[2] == i + 0.5 && e.g[3] == i * 3 &&
                    e.layerField == static_cast<int>(k % 50) + 1 && e.penField == 2)
            << "element " << k;
    }
    s.releaseElementStore();
    EXPECT_EQ(s.elementCount(), 0u);

    LargeArrayAllocator<std::uint8_t> allocator;
    const std::size_t bytes = kLargeBlockMinBytes + 12345;
    std::uint8_t* block = allocator.allocate(bytes);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % (std::size_t{2} << 20), 0u);
    block[0] = 1;
    block[bytes - 1] = 2;
    EXPECT_EQ(block[0] + block[bytes - 1], 3);
    allocator.deallocate(block, bytes);
}

TEST(DrawingModel, SwitchesEveryElementAndEntryOfALayer) {
    DrawingModel model;
    model.store.createElementStore(4);
    model.store.addLine(0, 0, 1, 1, 3, 1, 1);
    model.store.addCircle(0, 0, 1, 2, 1, 1);
    model.store.addLine(0, 0, 2, 2, 3, 1, 1);
    model.layers = {{3, 1, "a"}, {2, 1, "b"}, {3, 1, "c"}};

    model.setLayerVisible(3, false);
    const Element* e = model.store.elementArray();
    EXPECT_EQ(e[0].layerField, -4);
    EXPECT_EQ(e[1].layerField, 3);
    EXPECT_EQ(e[2].layerField, -4);
    EXPECT_FALSE(e[0].visible());
    EXPECT_EQ(e[0].layer(), 3);
    EXPECT_EQ(model.layers[0].visible, 0);
    EXPECT_EQ(model.layers[1].visible, 1);
    EXPECT_EQ(model.layers[2].visible, 0);
    EXPECT_EQ(model.visibleLayerCount(), 1u);

    model.setLayerVisible(3, true);
    EXPECT_EQ(e[0].layerField, 4);
    EXPECT_EQ(e[2].layerField, 4);
    EXPECT_EQ(model.visibleLayerCount(), 3u);

    std::vector<std::string> names;
    for (const LayerEntry* l = model.nextLayer(true); l; l = model.nextLayer(false)) {
        names.push_back(l->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
}

TEST(ScaleStatistics, KeepsTheFirstFifteenKeysInOrder) {
    ScaleStatistics scales;
    for (int key = 1; key <= 16; ++key) {
        scales.recordScale(key * 10);
    }
    scales.recordScale(10);
    scales.recordScale(160);  // dropped: the table is full
    EXPECT_EQ(scales.listScales(nullptr, 0), 15u);
    std::int32_t keys[4] = {};
    EXPECT_EQ(scales.listScales(keys, 4), 4u);
    EXPECT_EQ(keys[0], 10);
    EXPECT_EQ(keys[3], 40);
    EXPECT_EQ(scales.entries()[0].count, 2);
    EXPECT_EQ(scales.entries().back().denominator, 150);
}

TEST(DrawingInfo, StarAndEmptySlotsAreHandedOutAsNone) {
    DrawingInfoTexts info;
    info.set(0, "*");
    info.set(1, "Haus");
    info.set(2, "");
    const auto copy = info.copyAll();
    EXPECT_FALSE(copy[0]);
    EXPECT_EQ(copy[1], "Haus");
    EXPECT_FALSE(copy[2]);
    EXPECT_FALSE(copy[19]);
}

TEST(DrawingInfo, SplitsRemarkLinesAtTheirSeparators) {
    EXPECT_EQ(splitRemarkLines("*A\x06\x05"
                               "B"),
              (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(splitRemarkLines("A\x07"
                               "B\x06"
                               "C"),
              (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(splitRemarkLines("A\x07"
                               "B"),
              (std::vector<std::string>{"A\x07"
                                        "B"}));
    EXPECT_EQ(splitRemarkLines("A\x06"), (std::vector<std::string>{"A", ""}));
}

TEST(SizeCodes, TableCodesThousandthsAndCodesWithoutEntry) {
    EXPECT_DOUBLE_EQ(letterHeightForSizeCode(1), 0.1);
    EXPECT_DOUBLE_EQ(letterHeightForSizeCode(7), 1.0);
    EXPECT_DOUBLE_EQ(letterHeightForSizeCode(8), 0.008);
    EXPECT_DOUBLE_EQ(letterHeightForSizeCode(350), 0.35);
    EXPECT_DOUBLE_EQ(letterHeightForSizeCode(0), 0.1);
    EXPECT_DOUBLE_EQ(letterHeightForSizeCode(-5), 0.1);
}

TEST(TextEncoding, ConvertsWindows1252BothWays) {
    EXPECT_EQ(toUtf8FromCp1252("K\xFC"
                               "che \xF8 \x80 \x9F"),
              "Küche ø € Ÿ");
    EXPECT_EQ(toCp1252FromUtf8("Wände ø €"), "W\xE4nde \xF8 \x80");
    EXPECT_EQ(toCp1252FromUtf8("日"), "?");
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(toCp1252FromUtf8(toUtf8FromCp1252(one)), one) << b;
    }
}

TEST(TextEncoding, PrintableFileNameSendsNoEscapeSequenceAndKeepsValidUtf8) {
    EXPECT_EQ(printableFileName("ctl\x1b[31mred\x07.akt"), "ctl\\x1B[31mred\\x07.akt");
    EXPECT_EQ(printableFileName("Grundri\xdf.akt"), "Grundri\\xDF.akt");
    EXPECT_EQ(printableFileName("Grundriß.akt"), "Grundriß.akt");
    EXPECT_EQ(printableFileName("\xc2\x9b"
                                "x"),
              "\\xC2\\x9Bx");                                         // C1 CSI
    EXPECT_EQ(printableFileName("\xe2\x82"), "\\xE2\\x82");           // cut sequence
    EXPECT_EQ(printableFileName("\xc0\xaf"), "\\xC0\\xAF");           // overlong "/"
    EXPECT_EQ(printableFileName("\xed\xa0\x80"), "\\xED\\xA0\\x80");  // surrogate
}
