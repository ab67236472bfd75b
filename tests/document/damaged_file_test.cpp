// Damaged, cut and hostile drawing files: they load as far as they can be read, never crash,
// hang or allocate what the file cannot hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "akt_writer.h"
#include "drawing_file.h"

using namespace planora;
namespace akt = planora::akt;

namespace {

akt::Drawing smallDrawing(int version) {
    akt::Drawing d;
    d.version = version;
    d.info[0] = "Projekt";
    akt::addLine(d, 0, 0, 1, 1, akt::Attributes{1, 2, 1, 100});
    akt::addCircle(d, 0, 0, 1, akt::Attributes{1, 2, 1, 100});
    akt::addArc(d, 0, 0, 1, 0, 90, akt::Attributes{1, 2, 1, 100});
    akt::TextPlacement p;
    p.frameShape = '5';
    akt::addText(d, 0, 0, "Text", p);
    if (version >= 1200) {
        akt::addDataBox(d, 0, 0, 2, 2, akt::Attributes{}, {9, 9, 9});
        akt::addOutline(d, {{0, 0}, {1, 0}, {0, 1}}, akt::Attributes{});
    }
    akt::addLayer(d, 1, "eins");
    akt::addLayer(d, 2, "zwei", false);
    return d;
}

// Offset of the first occurrence of a 4-byte magic at or after `from`.
std::size_t findMagic(const std::vector<std::uint8_t>& bytes, const char* magic,
                      std::size_t from = 0) {
    const auto it = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                                magic, magic + 4);
    return static_cast<std::size_t>(it - bytes.begin());
}

void putI32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(u >> (8 * i));
    }
}

int load(const std::vector<std::uint8_t>& bytes, DrawingModel& model) {
    return loadDrawingFromBytes(model, bytes, "damaged.akt");
}

}  // namespace

TEST(DamagedFiles, WrongTextCountLoadsWithItsWarning) {
    akt::Drawing d = smallDrawing(1100);
    d.textCountOverride = 3;
    DrawingModel model;
    ASSERT_EQ(load(akt::writeDrawing(d), model), 1);
    EXPECT_EQ(model.loadWarning(), "Datei ist defekt: Anzahl der Texte stimmt nicht");
    EXPECT_EQ(model.store.elementArray()[0].kind, ElementKind::Line);
    EXPECT_EQ(model.layers.size(), 0u) << "the layer block is looked for after three texts";
}

TEST(DamagedFiles, WrongElementCountBefore1400GivesTheTextStartWarning) {
    akt::Drawing d = smallDrawing(1100);
    d.elementCountOverride = 7;
    DrawingModel model;
    ASSERT_EQ(load(akt::writeDrawing(d), model), 1);
    EXPECT_EQ(model.loadWarning(), "Datei ist defekt: Startadresse der Texte stimmt nicht");
    EXPECT_GE(model.store.elementCount(), 3u);
}

TEST(DamagedFiles, MissingLayerBlockBefore1400) {
    akt::Drawing d = smallDrawing(700);
    d.layers.clear();
    DrawingModel model;
    ASSERT_EQ(load(akt::writeDrawing(d), model), 1);
    EXPECT_EQ(model.loadWarning(), "Datei ist defekt: Folienstart nicht gefunden");
    EXPECT_TRUE(model.layers.empty());
}

TEST(DamagedFiles, RescanFindsTheTextsBehindInlineBlocks) {
    // The header places the text block N records after the element start; the inline block of
    // the data box moves it further. From 1400 the reader looks for the real start.
    akt::Drawing d = smallDrawing(1800);
    DrawingModel model;
    ASSERT_EQ(load(akt::writeDrawing(d), model), 1);
    EXPECT_TRUE(model.loadWarning().empty()) << model.loadWarning();
    ASSERT_EQ(model.layers.size(), 2u);
    EXPECT_EQ(model.layers[1].name, "zwei");
    bool sawText = false;
    for (const Element& e : model.store.elements()) {
        sawText |= e.kind == ElementKind::Text && model.store.text(e) == "Text";
    }
    EXPECT_TRUE(sawText);

    // Version 1300 rescans only when it meets an inline block, and then finds the texts too.
    d.version = 1300;
    ASSERT_EQ(load(akt::writeDrawing(d), model), 1);
    EXPECT_EQ(model.loadWarning(), "");
    EXPECT_EQ(model.layers.size(), 2u);
}

TEST(DamagedFiles, HugeAnnouncedElementCountIsBoundedByTheFile) {
    for (int version : {510, 700, 1100, 2200}) {
        akt::Drawing d = smallDrawing(version);
        d.elementCountOverride = version == 510 ? 32767 : 2000000000;
        const auto bytes = akt::writeDrawing(d);
        DrawingModel model;
        ASSERT_EQ(load(bytes, model), 1) << version;
        EXPECT_LE(model.store.capacity(), bytes.size()) << version;
        EXPECT_GE(model.store.elementCount(), 3u) << version;
    }
}

TEST(DamagedFiles, NegativeCountsReadNothingOfTheirBlock) {
    akt::Drawing d = smallDrawing(1500);
    d.elementCountOverride = -5;
    DrawingModel model;
    ASSERT_EQ(load(akt::writeDrawing(d), model), 1);
    EXPECT_EQ(model.store.elementCount(), 0u);

    akt::Drawing noTable = smallDrawing(1500);
    noTable.textCountOverride = -1;
    ASSERT_EQ(load(akt::writeDrawing(noTable), model), 1);
    EXPECT_TRUE(std::none_of(model.store.elements().begin(), model.store.elements().end(),
                             [](const Element& e) { return e.kind == ElementKind::Text; }));
    EXPECT_TRUE(model.layers.empty());
}

// Lengths below 2 give no text; a length past the end of the file keeps the readable part of the
// text and reports the damage.
TEST(DamagedFiles, TextRecordLengthsThatCannotBeTrustedGiveNoBody) {
    for (int version : {600, 1200}) {
        SCOPED_TRACE(version);
        for (std::int32_t length : {-100000, -3, 0, 1, 0x7FFF, 0x7FFFFFFF}) {
            if (version < 1000 && (length < -32768 || length > 32767)) {
                continue;
            }
            auto bytes = akt::writeDrawing(smallDrawing(version));
            const std::size_t at = findMagic(bytes, "KVNT");
            ASSERT_LT(at, bytes.size());
            if (version < 1000) {
                bytes[at + 4] = static_cast<std::uint8_t>(length & 0xFF);
                bytes[at + 5] = static_cast<std::uint8_t>((length >> 8) & 0xFF);
            } else {
                putI32(bytes, at + 4, length);
            }
            DrawingModel model;
            EXPECT_EQ(load(bytes, model), 1) << length;
            const bool pastTheEnd = length > 2;
            std::size_t texts = 0;
            for (const Element& e : model.store.elements()) {
                if (e.kind == ElementKind::Text) {
                    ++texts;
                    EXPECT_EQ(model.store.text(e).substr(0, 4), "Text") << length;
                }
            }
            EXPECT_EQ(texts, pastTheEnd ? 1u : 0u) << length;
            if (pastTheEnd) {
                EXPECT_NE(model.loadWarning(), "") << length;
            }
        }
    }
}

TEST(DamagedFiles, NegativeInlineBlockLengthDoesNotReadBackwards) {
    auto bytes = akt::writeDrawing(smallDrawing(2500));
    // The inline block follows the first record of type 64.
    std::size_t at = findMagic(bytes, "KVNA");
    while (at < bytes.size() && !(bytes[at + 4] == 64 && bytes[at + 5] == 0)) {
        at = findMagic(bytes, "KVNA", at + 4);
    }
    ASSERT_LT(at, bytes.size());
    putI32(bytes, at + 68, -68 * 3);
    DrawingModel model;
    EXPECT_EQ(load(bytes, model), 1);
}

TEST(DamagedFiles, EveryPrefixOfAFileLoadsOrFailsCleanly) {
    std::vector<std::vector<std::uint8_t>> files;
    for (int version : {510, 700, 1100, 1800, 2500}) {
        files.push_back(akt::writeDrawing(smallDrawing(version)));
    }
    for (const char* name :
         {"haus-0510.akt", "haus-0700.akt", "haus-1100.akt", "haus-1800.akt", "haus-2500.akt"}) {
        std::ifstream in(std::filesystem::path(PLANORA_EXAMPLES_DIR) / name, std::ios::binary);
        if (in) {
            files.emplace_back(std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>());
        }
    }
    for (const auto& file : files) {
        // Long files are cut at every byte of their first 4 KiB and then in coarser steps.
        for (std::size_t n = 0; n <= file.size(); n += n < 4096 ? 1 : 97) {
            DrawingModel model;
            const std::vector<std::uint8_t> prefix(file.begin(),
                                                   file.begin() + static_cast<std::ptrdiff_t>(n));
            const int result = load(prefix, model);
            if (result == 1) {
                EXPECT_LE(model.store.elementCount(), model.store.capacity());
            }
        }
    }
}
