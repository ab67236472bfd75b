// Byte layout of the files the writer produces, checked against offsets worked out by hand for
// each format generation.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "akt_writer.h"

namespace akt = planora::akt;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::int64_t le(const Bytes& b, std::size_t at, int size, bool isSigned = true) {
    std::uint64_t v = 0;
    for (int i = size - 1; i >= 0; --i) {
        v = (v << 8) | b.at(at + static_cast<std::size_t>(i));
    }
    if (isSigned && size < 8 && (v >> (8 * size - 1)) != 0) {
        v |= ~std::uint64_t{0} << (8 * size);
    }
    return static_cast<std::int64_t>(v);
}

float f32(const Bytes& b, std::size_t at) {
    float f;
    std::memcpy(&f, b.data() + at, 4);
    return f;
}

double f64(const Bytes& b, std::size_t at) {
    double d;
    std::memcpy(&d, b.data() + at, 8);
    return d;
}

std::string str(const Bytes& b, std::size_t at, std::size_t n) {
    return std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                       b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

akt::Drawing emptyDrawing(int version) {
    akt::Drawing d;
    d.version = version;
    return d;
}

// Element block start of a drawing without drawing information texts: 8 bytes of version,
// the header numbers, 20 empty length fields, the element count and the count block.
std::size_t elementStart(int version) {
    if (version < 550) {
        return 8 + 80 + 40 + 2 + 20;
    }
    if (version < 1000) {
        return 8 + 80 + 40 + 4 + 20;
    }
    return 8 + 160 + 80 + 4 + 36;
}

}  // namespace

TEST(AktWriterHeader, VersionFieldAndSizesPerGeneration) {
    struct Case {
        int version;
        const char* field;
        std::size_t size;
    };
    // Empty drawing: header, no records, 4 final bytes.
    const Case cases[] = {{500, "KVN05.00", 150 + 4},  {510, "KVN05.10", 150 + 4},
                          {550, "KVN05.50", 152 + 4},  {700, "KVN07.00", 152 + 4},
                          {1000, "KVN10.00", 288 + 4}, {2500, "KVN25.00", 288 + 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        const Bytes b = akt::writeDrawing(emptyDrawing(c.version));
        EXPECT_EQ(str(b, 0, 8), c.field);
        EXPECT_EQ(b.size(), c.size);
        EXPECT_EQ(elementStart(c.version) + 4, c.size);
    }
}

TEST(AktWriterHeader, NumbersTextsAndCountsNarrow) {
    akt::Drawing d = emptyDrawing(510);
    d.headerValues[0] = 1.5;
    d.headerValues[19] = -2.25;
    d.info[0] = "Haus";
    d.info[19] = "xy";
    d.countFields[6] = 77;
    d.countBlockLast = 0x01020304;
    d.finalBytes = {9, 8, 7, 6};
    akt::addText(d, 0, 0, "T", {});
    const Bytes b = akt::writeDrawing(d);

    EXPECT_FLOAT_EQ(f32(b, 8), 1.5f);
    EXPECT_FLOAT_EQ(f32(b, 8 + 19 * 4), -2.25f);
    // Info texts from 88: uint16 length then the bytes.
    EXPECT_EQ(le(b, 88, 2), 4);
    EXPECT_EQ(str(b, 90, 4), "Haus");
    const std::size_t last = 94 + 18 * 2;  // 18 empty slots follow slot 0
    EXPECT_EQ(le(b, last, 2), 2);
    EXPECT_EQ(str(b, last + 2, 2), "xy");
    const std::size_t count = last + 4;
    EXPECT_EQ(le(b, count, 2), 1);      // element count, int16
    EXPECT_EQ(le(b, count + 2, 2), 1);  // text count, first int16 of the count block
    EXPECT_EQ(le(b, count + 2 + 14, 2), 77);
    EXPECT_EQ(le(b, count + 2 + 16, 4), 0x01020304);
    EXPECT_EQ(str(b, count + 22, 4), "KVNA");
    EXPECT_EQ(std::vector<std::uint8_t>(b.end() - 4, b.end()), (Bytes{9, 8, 7, 6}));
}

TEST(AktWriterHeader, NumbersTextsAndCountsWide) {
    akt::Drawing d = emptyDrawing(1100);
    d.headerValues[1] = 0.1;  // not exact in float32: must be stored as float64
    d.info[2] = "Bauteil";
    d.countFields[0] = -5;
    d.countBlockLast = -1;
    akt::addLine(d, 0, 0, 1, 1, {});
    akt::addText(d, 0, 0, "T", {});
    akt::addText(d, 0, 0, "U", {});
    const Bytes b = akt::writeDrawing(d);

    EXPECT_EQ(f64(b, 16), 0.1);
    EXPECT_EQ(le(b, 168, 4), 0);
    EXPECT_EQ(le(b, 176, 4), 7);  // slot 2 after two empty int32 lengths
    EXPECT_EQ(str(b, 180, 7), "Bauteil");
    const std::size_t count = 187 + 17 * 4;
    EXPECT_EQ(le(b, count, 4), 3);      // element count
    EXPECT_EQ(le(b, count + 4, 4), 2);  // text count, int32
    EXPECT_EQ(le(b, count + 8, 4), -5);
    EXPECT_EQ(le(b, count + 36, 4), -1);
    EXPECT_EQ(str(b, count + 40, 4), "KVNA");
}

TEST(AktWriterHeader, ElementCountWidthFollowsVersion) {
    for (int version : {500, 510, 550, 600}) {
        SCOPED_TRACE(version);
        akt::Drawing d = emptyDrawing(version);
        d.elementCountOverride = 0x12345;
        const Bytes b = akt::writeDrawing(d);
        // int16 keeps the low bits, int32 the whole value.
        EXPECT_EQ(le(b, 128, version < 550 ? 2 : 4), version < 550 ? 0x2345 : 0x12345);
    }
}

TEST(AktWriterElements, ThirtySixByteRecordFields) {
    akt::Drawing d = emptyDrawing(700);
    akt::ElementRecord r;
    r.type = 130;
    r.a = 0.5;
    r.b = -2;
    r.c = 3.25;
    r.d = 1e6;
    r.style = -3;
    r.layerPenCode = 53;
    r.extra = 1000;
    d.elements = {r, r};
    const Bytes b = akt::writeDrawing(d);
    const std::size_t e = elementStart(700);
    ASSERT_EQ(b.size(), e + 2 * 36 + 4);
    EXPECT_EQ(str(b, e, 4), "KVNA");
    EXPECT_EQ(le(b, e + 4, 2, false), 130);
    EXPECT_FLOAT_EQ(f32(b, e + 6), 0.5f);
    EXPECT_FLOAT_EQ(f32(b, e + 10), -2.0f);
    EXPECT_FLOAT_EQ(f32(b, e + 14), 3.25f);
    EXPECT_FLOAT_EQ(f32(b, e + 18), 1e6f);
    EXPECT_EQ(le(b, e + 22, 2), -3);
    EXPECT_EQ(le(b, e + 24, 2), 53);
    EXPECT_EQ(le(b, e + 26, 2), 1000);
    for (std::size_t i = 28; i < 36; ++i) {
        EXPECT_EQ(b[e + i], 0) << i;
    }
    EXPECT_EQ(str(b, e + 36, 4), "KVNA");
}

TEST(AktWriterElements, WideRecordFieldsAndSizes) {
    for (int version : {1000, 2100, 2200, 2500}) {
        SCOPED_TRACE(version);
        const int size = version < 2200 ? 64 : 68;
        akt::ElementRecord r;
        r.type = 70000;  // too big for the 36-byte layout, fine here
        r.a = 0.1;
        r.d = -7.5;
        r.style = -70000;
        r.layerPenCode = -1207;
        r.extra = 123456;
        const Bytes b = akt::encodeElement(version, r);
        ASSERT_EQ(b.size(), static_cast<std::size_t>(size));
        EXPECT_EQ(str(b, 0, 4), "KVNA");
        EXPECT_EQ(le(b, 4, 4, false), 70000);
        EXPECT_EQ(f64(b, 8), 0.1);
        EXPECT_EQ(f64(b, 16), 0.0);
        EXPECT_EQ(f64(b, 32), -7.5);
        EXPECT_EQ(le(b, 40, 4), -70000);
        EXPECT_EQ(le(b, 44, 4), -1207);
        EXPECT_EQ(le(b, 48, 4), 123456);
        for (std::size_t i = 52; i < b.size(); ++i) {
            EXPECT_EQ(b[i], 0) << i;
        }
    }
}

TEST(AktWriterElements, InlineBlockOnlyAfterDataBoxFromV12) {
    akt::ElementRecord box;
    box.type = 64;
    box.inlineData = {0xAA, 0xBB, 0xCC};
    box.inlineTrailer = 42;
    // 1100 has no inline blocks; the record stays 64 bytes.
    EXPECT_EQ(akt::encodeElement(1100, box).size(), 64u);

    akt::Drawing d = emptyDrawing(1800);
    d.elements = {box};
    akt::addLine(d, 0, 0, 1, 0, {});
    const Bytes b = akt::writeDrawing(d);
    const std::size_t e = elementStart(1800);
    EXPECT_EQ(le(b, e - 40, 4), 2);  // the inline block is not counted as a record
    EXPECT_EQ(le(b, e + 64, 4), 3);
    EXPECT_EQ(str(b, e + 68, 3), "\xAA\xBB\xCC");
    EXPECT_EQ(le(b, e + 71, 4), 42);
    EXPECT_EQ(str(b, e + 75, 4), "KVNA");
    EXPECT_EQ(b.size(), e + 64 + 4 + 3 + 4 + 64 + 4);

    // Other types carry no inline block even with data.
    akt::ElementRecord line = box;
    line.type = 10;
    EXPECT_EQ(akt::encodeElement(2500, line).size(), 68u);
    EXPECT_EQ(akt::encodeElement(2500, box).size(), 68u + 4 + 3 + 4);
}

TEST(AktWriterElements, LayerPenCodeDivisor) {
    EXPECT_EQ(akt::layerPenCode(510, 5, 3), 53);
    EXPECT_EQ(akt::layerPenCode(1100, 12, 7), 127);
    EXPECT_EQ(akt::layerPenCode(1200, 12, 7), 1207);
    EXPECT_EQ(akt::layerPenCode(2500, 3, 42), 342);
    EXPECT_THROW(akt::layerPenCode(1100, 1, 10), std::out_of_range);
    EXPECT_THROW(akt::layerPenCode(1200, 1, 100), std::out_of_range);
    EXPECT_THROW(akt::layerPenCode(1200, -1, 1), std::out_of_range);
}

TEST(AktWriterElements, ValuesThatDoNotFitAreRefused) {
    akt::ElementRecord r;
    r.extra = 50000;  // scale 1:5000 does not fit an int16 extra field
    EXPECT_THROW(akt::encodeElement(700, r), std::out_of_range);
    EXPECT_NO_THROW(akt::encodeElement(1000, r));
    r.extra = 0;
    r.type = 65536;
    EXPECT_THROW(akt::encodeElement(510, r), std::out_of_range);

    akt::Drawing d = emptyDrawing(510);
    d.elements.resize(32768);
    EXPECT_THROW(akt::writeDrawing(d), std::out_of_range);
    d.version = 550;
    EXPECT_NO_THROW(akt::writeDrawing(d));

    akt::Drawing info = emptyDrawing(600);
    info.info[3] = std::string(65535, 'x');
    EXPECT_NO_THROW(akt::writeDrawing(info));
    info.info[3].push_back('x');
    EXPECT_THROW(akt::writeDrawing(info), std::out_of_range);
    EXPECT_THROW(akt::writeDrawing(emptyDrawing(10000)), std::out_of_range);
}

TEST(AktWriterElements, ConvenienceRecords) {
    akt::Drawing d = emptyDrawing(1800);
    akt::addArc(d, 1, 2, 3, 0, 90, {4, 5, 2, 50});
    akt::TextPlacement p;
    p.layer = 2;
    p.pen = 6;
    p.sizeCode = 5;
    p.angle = 33.33;
    EXPECT_EQ(akt::addText(d, 7, 8, "A", p), 1);
    EXPECT_EQ(akt::addText(d, 7, 8, "B", p), 2);
    akt::addOutline(d, {{0, 0}, {1, 0}, {1, 1}}, {8, 8, 1, 100});

    ASSERT_EQ(d.elements.size(), 2u + 2u + 5u);
    const akt::ElementRecord& head = d.elements[0];
    EXPECT_EQ(head.type, 30u);
    EXPECT_EQ(head.c, 3);
    EXPECT_EQ(head.layerPenCode, 405);
    EXPECT_EQ(head.extra, 500);
    const akt::ElementRecord& tail = d.elements[1];
    EXPECT_EQ(tail.type, 130u);
    EXPECT_EQ(tail.a, 0);
    EXPECT_EQ(tail.b, 90);
    EXPECT_EQ(tail.style, 2);
    const akt::ElementRecord& text = d.elements[3];
    EXPECT_EQ(text.c, 2);  // the 1-based number of its text record
    EXPECT_EQ(text.style, 5);
    EXPECT_EQ(text.extra, 333);
    EXPECT_EQ(text.layerPenCode, 206);
    EXPECT_EQ(d.texts[1].text, "B");
    EXPECT_EQ(d.elements[4].type, 118u);
    EXPECT_EQ(d.elements[6].type, 92u);
    EXPECT_EQ(d.elements[6].a, 1);
    EXPECT_EQ(d.elements[8].type, 119u);
}

TEST(AktWriterTexts, EarlyDosLayoutStoresFrameCharactersOnly) {
    akt::TextRecord t;
    t.text = "Bad";
    t.frameClass = '0';
    t.frameShape = '3';
    t.flag = 0x5A;
    t.trailerByte = 0x11;
    t.trailerWord = -2;
    for (int version : {500, 510, 550}) {
        const Bytes b = akt::encodeText(version, t);
        ASSERT_EQ(b.size(), 15u);  // L + 8 with L = 3 + 4
        EXPECT_EQ(str(b, 0, 4), "KVNT");
        EXPECT_EQ(le(b, 4, 2), 7);
        EXPECT_EQ(b[6], 0x5A);
        EXPECT_EQ(str(b, 7, 5), "03Bad");
        EXPECT_EQ(b[12], 0x11);
        EXPECT_EQ(le(b, 13, 2), -2);
    }
}

TEST(AktWriterTexts, DosHeaderLayout) {
    akt::TextRecord t;
    t.text = "abc";
    t.attrA = 3;
    t.attrB = 'x';
    t.f1 = 0.75;
    t.f2 = 15;
    t.frameClass = '1';
    t.frameShape = '6';
    const Bytes b = akt::encodeText(650, t);
    ASSERT_EQ(b.size(), 25u);  // L = 3 + 14
    EXPECT_EQ(le(b, 4, 2), 17);
    EXPECT_EQ(b[7], 3);
    EXPECT_EQ(b[8], 'x');
    EXPECT_FLOAT_EQ(f32(b, 9), 0.75f);
    EXPECT_FLOAT_EQ(f32(b, 13), 15.0f);
    EXPECT_EQ(str(b, 17, 5), "16abc");
    EXPECT_EQ(str(b, 22, 3), std::string(3, '\0'));
}

TEST(AktWriterTexts, OffsetTableOfTheWideGenerations) {
    struct Case {
        int version;
        std::size_t b, f1, frame, length;
    };
    // Offsets within the text data, which starts at byte 9 of the record.
    const Case cases[] = {{1000, 1, 2, 18, 25}, {1300, 1, 2, 18, 25}, {1400, 4, 5, 28, 35},
                          {1900, 4, 5, 28, 35}, {2000, 4, 5, 37, 44}, {2500, 4, 5, 37, 44}};
    akt::TextRecord t;
    t.text = "abc";
    t.attrA = 7;
    t.attrB = 'B';
    t.f1 = 0.1;
    t.f2 = -0.2;
    t.frameClass = '2';
    t.frameShape = '5';
    t.trailerByte = 0xEE;
    t.trailerWord = 0x1234;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        const Bytes b = akt::encodeText(c.version, t);
        ASSERT_EQ(b.size(), c.length + 12);
        EXPECT_EQ(le(b, 4, 4), static_cast<std::int64_t>(c.length));
        const std::size_t data = 9;
        EXPECT_EQ(b[data], 7);
        EXPECT_EQ(b[data + c.b], 'B');
        EXPECT_EQ(f64(b, data + c.f1), 0.1);
        EXPECT_EQ(f64(b, data + c.f1 + 8), -0.2);
        EXPECT_EQ(str(b, data + c.frame, 5), "25abc");
        // Trailer at 7 + L: byte, int16, two unused bytes.
        EXPECT_EQ(b[7 + c.length], 0xEE);
        EXPECT_EQ(le(b, 8 + c.length, 2), 0x1234);
        EXPECT_EQ(le(b, 10 + c.length, 2), 0);
        // Unused bytes of the text data are zero.
        for (std::size_t i = data + c.f1 + 16; i < data + c.frame; ++i) {
            EXPECT_EQ(b[i], 0) << i;
        }
    }
}

TEST(AktWriterTexts, BytesAreWrittenAsGivenAndRawDataReplacesTheLayout) {
    akt::TextRecord t;
    t.text =
        "20\x11"
        "C\x04xyz\xFF";
    const Bytes b = akt::encodeText(1800, t);
    ASSERT_EQ(b.size(), 9u + 30 + 9 + 5);
    EXPECT_EQ(str(b, 9 + 30, 9), t.text);

    akt::TextRecord raw;
    raw.rawData = std::string("Q");
    const Bytes r = akt::encodeText(700, raw);
    ASSERT_EQ(r.size(), 7u + 1 + 3);  // head, one byte of data, trailer
    EXPECT_EQ(le(r, 4, 2), 3);
    EXPECT_EQ(r[7], 'Q');

    akt::TextRecord tooLong;
    tooLong.text = std::string(32767 - 14, 'x');  // L = 32767
    EXPECT_NO_THROW(akt::encodeText(700, tooLong));
    tooLong.text.push_back('x');
    EXPECT_THROW(akt::encodeText(700, tooLong), std::out_of_range);
}

TEST(AktWriterLayers, LayerTextLayout) {
    const akt::LayerRecord off{12, "Name", false, std::nullopt};
    const akt::LayerRecord on{7, "Wand", true, std::nullopt};
    EXPECT_EQ(akt::layerText(1600, off), "- 12Name");
    EXPECT_EQ(akt::layerText(1700, off), "-  12Name");
    EXPECT_EQ(akt::layerText(510, on), "   7Wand");
    EXPECT_EQ(akt::layerText(2500, on), "    7Wand");
    EXPECT_EQ(akt::layerText(2500, {999, "", true, std::nullopt}), "  999");
    EXPECT_THROW(akt::layerText(1800, {1000, "x", true, std::nullopt}), std::out_of_range);
    EXPECT_THROW(akt::layerText(1800, {-1, "x", true, std::nullopt}), std::out_of_range);

    const Bytes narrow = akt::encodeLayer(700, off);
    ASSERT_EQ(narrow.size(), 4u + 2 + 8);
    EXPECT_EQ(str(narrow, 0, 4), "KVNF");
    EXPECT_EQ(le(narrow, 4, 2), 8);
    EXPECT_EQ(str(narrow, 6, 8), "- 12Name");

    const Bytes wide = akt::encodeLayer(1800, off);
    ASSERT_EQ(wide.size(), 4u + 4 + 9);
    EXPECT_EQ(le(wide, 4, 4), 9);
    EXPECT_EQ(str(wide, 8, 9), "-  12Name");

    const Bytes single = akt::encodeLayer(1800, {1, "ignored", true, std::string("-")});
    ASSERT_EQ(single.size(), 9u);
    EXPECT_EQ(le(single, 4, 4), 1);
    EXPECT_EQ(single[8], '-');
}

TEST(AktWriterLayout, BlocksFollowEachOtherInOrder) {
    akt::Drawing d = emptyDrawing(510);
    akt::addLine(d, 0, 0, 1, 1, {1, 2, 1, 100});
    akt::addText(d, 0, 0, "ab", {});
    akt::addLayer(d, 1, "W");
    akt::addLayer(d, 2, "X", false);
    const Bytes b = akt::writeDrawing(d);
    const std::size_t e = elementStart(510);
    const std::size_t s = e + 2 * 36;       // text block start
    const std::size_t f = s + (2 + 4) + 8;  // layer block start: L + 8
    EXPECT_EQ(str(b, e + 36, 4), "KVNA");   // the text's element record
    EXPECT_EQ(str(b, s, 4), "KVNT");
    EXPECT_EQ(str(b, f, 4), "KVNF");
    EXPECT_EQ(str(b, f + 6, 5), "   1W");
    EXPECT_EQ(str(b, f + 11, 4), "KVNF");
    EXPECT_EQ(str(b, f + 17, 5), "-  2X");
    EXPECT_EQ(b.size(), f + 22 + 4);
}

TEST(AktWriterStream, MatchesWholeDrawingAndChecksCounts) {
    akt::Drawing d = emptyDrawing(2500);
    d.info[0] = "P";
    akt::addCircle(d, 1, 1, 1, {});
    akt::addDataBox(d, 0, 0, 4, 2, {}, {1, 2, 3});
    akt::addText(d, 0, 0, "t", {});
    akt::addLayer(d, 3, "L");

    std::ostringstream out;
    akt::StreamWriter w(out, d, 3, 1);
    for (const auto& r : d.elements) {
        w.element(r);
    }
    w.text(d.texts[0]);
    w.layer(d.layers[0]);
    EXPECT_THROW(w.text(d.texts[0]), std::logic_error);  // texts after layers
    ASSERT_TRUE(w.finish());
    const std::string s = out.str();
    EXPECT_EQ(Bytes(s.begin(), s.end()), akt::writeDrawing(d));

    std::ostringstream out2;
    akt::StreamWriter shortOne(out2, d, 4, 1);
    shortOne.element(d.elements[0]);
    EXPECT_THROW(shortOne.finish(), std::logic_error);

    std::ostringstream out3;
    akt::StreamWriter unchecked(out3, d, 4, 1, akt::StreamWriter::CountCheck::None);
    unchecked.element(d.elements[0]);
    EXPECT_TRUE(unchecked.finish());
}

TEST(AktWriterStream, CountOverridesWriteInconsistentFiles) {
    akt::Drawing d = emptyDrawing(1100);
    akt::addLine(d, 0, 0, 1, 1, {});
    akt::addText(d, 0, 0, "t", {});
    d.elementCountOverride = 5;
    d.textCountOverride = 0;
    const Bytes b = akt::writeDrawing(d);
    const std::size_t e = elementStart(1100);
    EXPECT_EQ(le(b, e - 40, 4), 5);
    EXPECT_EQ(le(b, e - 36, 4), 0);
    EXPECT_EQ(b.size(), e + 2 * 64 + (1 + 22 + 12) + 4);
}

TEST(AktWriterFile, WritesFileAndReportsFailure) {
    akt::Drawing d = emptyDrawing(700);
    akt::addLine(d, 0, 0, 1, 1, {});
    const std::string path = ::testing::TempDir() + "akt_writer_test.akt";
    ASSERT_TRUE(akt::writeDrawingFile(d, path));
    std::ifstream in(path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    const Bytes expected = akt::writeDrawing(d);
    EXPECT_EQ(Bytes(content.begin(), content.end()), expected);
    EXPECT_FALSE(akt::writeDrawingFile(d, ::testing::TempDir() + "no/such/folder/x.akt"));
}

TEST(AktWriterEncoding, Cp1252FromUtf8) {
    EXPECT_EQ(akt::cp1252("Küche"),
              "K\xFC"
              "che");
    EXPECT_EQ(akt::cp1252("Bemaßung ø €"),
              "Bema\xDF"
              "ung \xF8 \x80");
    EXPECT_EQ(akt::cp1252("\xC2\x81"), "\x81");  // unassigned byte as its C1 character
    EXPECT_EQ(akt::cp1252(std::string("a\x04\x11", 3)), std::string("a\x04\x11", 3));
    EXPECT_THROW(akt::cp1252("\xE2\x86\x92"), std::invalid_argument);  // arrow
    EXPECT_THROW(akt::cp1252("\xC3"), std::invalid_argument);          // truncated
    EXPECT_THROW(akt::cp1252("\xC0\x80"), std::invalid_argument);      // overlong
    EXPECT_THROW(akt::cp1252("\xFC"), std::invalid_argument);          // not UTF-8
}
