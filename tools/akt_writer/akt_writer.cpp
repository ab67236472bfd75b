#include "akt_writer.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace planora::akt {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Checks that a value fits a field and names the field when it does not.
template <typename Field, typename Value>
Field checked(Value v, const char* what) {
    if (!std::in_range<Field>(v)) {
        throw std::out_of_range(std::string("akt writer: value out of range for ") + what + ": " +
                                std::to_string(v));
    }
    return static_cast<Field>(v);
}

void putU8(Bytes& b, std::uint8_t v) {
    b.push_back(v);
}

void putU16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putU32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
    }
}

void putU64(Bytes& b, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        b.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
    }
}

void putI16(Bytes& b, std::int16_t v) {
    putU16(b, static_cast<std::uint16_t>(v));
}
void putI32(Bytes& b, std::int32_t v) {
    putU32(b, static_cast<std::uint32_t>(v));
}
void putF32(Bytes& b, double v) {
    putU32(b, std::bit_cast<std::uint32_t>(static_cast<float>(v)));
}
void putF64(Bytes& b, double v) {
    putU64(b, std::bit_cast<std::uint64_t>(v));
}

void putBytes(Bytes& b, std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
}

void putZeros(Bytes& b, std::size_t n) {
    b.insert(b.end(), n, 0);
}

// A length or count field of 2 (signed or not) or 4 bytes, range-checked.
void putLength16(Bytes& b, std::int64_t v, bool isUnsigned, const char* what) {
    if (isUnsigned) {
        putU16(b, checked<std::uint16_t>(v, what));
    } else {
        putI16(b, checked<std::int16_t>(v, what));
    }
}

void putLength(Bytes& b, std::int64_t v, bool wide, const char* what) {
    if (wide) {
        putI32(b, checked<std::int32_t>(v, what));
    } else {
        putLength16(b, v, false, what);
    }
}

void checkVersion(int version) {
    if (version < 0 || version > 9999) {
        throw std::out_of_range("akt writer: version must be 0..9999, got " +
                                std::to_string(version));
    }
}

// The text data of a text record: frame characters, formatting header and string, in the
// layout of the version.
Bytes textData(int version, const TextRecord& t) {
    Bytes d;
    if (t.rawData) {
        putBytes(d, *t.rawData);
        return d;
    }
    const auto cls = static_cast<std::uint8_t>(t.frameClass);
    const auto shape = static_cast<std::uint8_t>(t.frameShape);
    if (version < 600) {
        // The formatting header is not stored; the reader supplies it.
        putU8(d, cls);
        putU8(d, shape);
    } else if (version < 1000) {
        putU8(d, t.attrA);
        putU8(d, t.attrB);
        putF32(d, t.f1);
        putF32(d, t.f2);
        putU8(d, cls);
        putU8(d, shape);
    } else {
        // Offsets of B, F1, frame class and the string in the text data; the bytes between the
        // fields are not used and stay zero.
        const bool v14 = version >= 1400;
        const std::size_t offB = v14 ? 4 : 1;
        const std::size_t offF1 = v14 ? 5 : 2;
        const std::size_t offFrame = version >= 2000 ? 37 : (v14 ? 28 : 18);
        d.assign(offFrame + 2, 0);
        d[0] = t.attrA;
        d[offB] = t.attrB;
        Bytes f;
        putF64(f, t.f1);
        putF64(f, t.f2);
        std::memcpy(d.data() + offF1, f.data(), f.size());
        d[offFrame] = cls;
        d[offFrame + 1] = shape;
    }
    putBytes(d, t.text);
    return d;
}

// The value of an override as the field of the given width stores it (its low bits).
std::int64_t wrapToField(std::int64_t v, bool wide) {
    return wide ? static_cast<std::int64_t>(static_cast<std::int32_t>(v))
                : static_cast<std::int64_t>(static_cast<std::int16_t>(v));
}

}  // namespace

Layout layoutFor(int version) {
    checkVersion(version);
    Layout l{};
    l.wide = version >= 1000;
    l.recordSize = version < 1000 ? 36 : (version < 2200 ? 64 : 68);
    l.layerDivisor = version < 1200 ? 10 : 100;
    l.wideElementCount = version >= 550;
    l.countBlockSize = l.wide ? 36 : 20;
    l.inlineAfterDataBox = version >= 1200;
    l.textHeadSize = l.wide ? 9 : 7;
    l.textTrailerSize = l.wide ? 5 : 3;
    l.layerLengthSize = l.wide ? 4 : 2;
    l.layerNumberEnd = version < 1700 ? 3 : 4;
    return l;
}

std::int32_t layerPenCode(int version, int layer, int pen) {
    const int divisor = layoutFor(version).layerDivisor;
    if (pen < 0 || pen >= divisor) {
        throw std::out_of_range("akt writer: pen " + std::to_string(pen) +
                                " does not fit the layer and pen code of version " +
                                std::to_string(version));
    }
    if (layer < 0) {
        throw std::out_of_range("akt writer: negative layer " + std::to_string(layer));
    }
    const std::int64_t code = static_cast<std::int64_t>(layer) * divisor + pen;
    return checked<std::int32_t>(code, "layer and pen code");
}

std::vector<std::uint8_t> encodeHeader(const FileHeader& h, std::int64_t elementCount,
                                       std::int64_t textCount) {
    const Layout l = layoutFor(h.version);
    Bytes b;
    b.reserve(512);
    const int major = h.version / 100;
    const int minor = h.version % 100;
    const char field[8] = {'K',
                           'V',
                           'N',
                           static_cast<char>('0' + major / 10),
                           static_cast<char>('0' + major % 10),
                           '.',
                           static_cast<char>('0' + minor / 10),
                           static_cast<char>('0' + minor % 10)};
    putBytes(b, std::string_view(field, 8));
    for (double v : h.headerValues) {
        l.wide ? putF64(b, v) : putF32(b, v);
    }
    for (const std::string& text : h.info) {
        const auto size = static_cast<std::int64_t>(text.size());
        if (l.wide) {
            putI32(b, checked<std::int32_t>(size, "drawing information length"));
        } else {
            putU16(b, checked<std::uint16_t>(size, "drawing information length"));
        }
        putBytes(b, text);
    }
    if (l.wideElementCount) {
        putI32(b, checked<std::int32_t>(elementCount, "element count"));
    } else {
        putI16(b, checked<std::int16_t>(elementCount, "element count"));
    }
    // Count block: the text count, seven further fields and a closing int32.
    putLength(b, textCount, l.wide, "text count");
    for (std::int32_t v : h.countFields) {
        putLength(b, v, l.wide, "count block field");
    }
    putI32(b, h.countBlockLast);
    return b;
}

namespace {

// Appends one element record (and its inline block) to b.
void appendElement(Bytes& b, const Layout& l, const ElementRecord& r) {
    const std::size_t start = b.size();
    putBytes(b, "KVNA");
    if (l.recordSize == 36) {
        putU16(b, checked<std::uint16_t>(r.type, "record type"));
        putF32(b, r.a);
        putF32(b, r.b);
        putF32(b, r.c);
        putF32(b, r.d);
        putI16(b, checked<std::int16_t>(r.style, "style"));
        putI16(b, checked<std::int16_t>(r.layerPenCode, "layer and pen code"));
        putI16(b, checked<std::int16_t>(r.extra, "extra field"));
    } else {
        putU32(b, r.type);
        putF64(b, r.a);
        putF64(b, r.b);
        putF64(b, r.c);
        putF64(b, r.d);
        putI32(b, r.style);
        putI32(b, r.layerPenCode);
        putI32(b, r.extra);
    }
    putZeros(b, start + static_cast<std::size_t>(l.recordSize) - b.size());
    if (r.type == type::kDataBox && l.inlineAfterDataBox) {
        const auto n = static_cast<std::int64_t>(r.inlineData.size());
        putI32(b, checked<std::int32_t>(n, "inline block size"));
        b.insert(b.end(), r.inlineData.begin(), r.inlineData.end());
        putI32(b, r.inlineTrailer);
    }
}

}  // namespace

std::vector<std::uint8_t> encodeElement(int version, const ElementRecord& r) {
    Bytes b;
    appendElement(b, layoutFor(version), r);
    return b;
}

std::vector<std::uint8_t> encodeText(int version, const TextRecord& t) {
    const Layout l = layoutFor(version);
    const Bytes data = textData(version, t);
    // The length field counts the text data and two more bytes.
    const auto length = static_cast<std::int64_t>(data.size()) + 2;
    Bytes b;
    b.reserve(data.size() + 16);
    putBytes(b, "KVNT");
    putLength(b, length, l.wide, "text record length");
    putU8(b, t.flag);
    b.insert(b.end(), data.begin(), data.end());
    putU8(b, t.trailerByte);
    putI16(b, t.trailerWord);
    if (l.wide) {
        putZeros(b, 2);
    }
    return b;
}

std::string layerText(int version, const LayerRecord& r) {
    const Layout l = layoutFor(version);
    if (r.rawText) {
        return *r.rawText;
    }
    if (r.number < 0 || r.number > 999) {
        throw std::out_of_range("akt writer: layer number must be 0..999, got " +
                                std::to_string(r.number));
    }
    std::string s(r.visible ? " " : "-");
    if (l.layerNumberEnd == 4) {
        s += ' ';
    }
    char number[8];
    std::snprintf(number, sizeof number, "%3d", r.number);
    s += number;
    s += r.name;
    return s;
}

std::vector<std::uint8_t> encodeLayer(int version, const LayerRecord& r) {
    const Layout l = layoutFor(version);
    const std::string text = layerText(version, r);
    Bytes b;
    b.reserve(text.size() + 8);
    putBytes(b, "KVNF");
    putLength(b, static_cast<std::int64_t>(text.size()), l.wide, "layer record length");
    putBytes(b, text);
    return b;
}

// ---- StreamWriter ----

StreamWriter::StreamWriter(std::ostream& out, const FileHeader& header, std::int64_t elementCount,
                           std::int64_t textCount, CountCheck check)
    : out_(out),
      version_(header.version),
      layout_(layoutFor(header.version)),
      finalBytes_(header.finalBytes),
      elementCount_(elementCount),
      textCount_(textCount),
      check_(check) {
    buffer_ = encodeHeader(header, elementCount, textCount);
}

void StreamWriter::advanceTo(Stage stage) {
    if (stage < stage_) {
        throw std::logic_error("akt writer: records must come as elements, texts, layers");
    }
    stage_ = stage;
}

void StreamWriter::flushIfLarge() {
    if (buffer_.size() >= (1u << 16)) {
        out_.write(reinterpret_cast<const char*>(buffer_.data()),
                   static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }
}

void StreamWriter::element(const ElementRecord& record) {
    advanceTo(Stage::Elements);
    appendElement(buffer_, layout_, record);
    ++elementsWritten_;
    flushIfLarge();
}

void StreamWriter::text(const TextRecord& record) {
    advanceTo(Stage::Texts);
    const Bytes b = encodeText(version_, record);
    buffer_.insert(buffer_.end(), b.begin(), b.end());
    ++textsWritten_;
    flushIfLarge();
}

void StreamWriter::layer(const LayerRecord& record) {
    advanceTo(Stage::Layers);
    const Bytes b = encodeLayer(version_, record);
    buffer_.insert(buffer_.end(), b.begin(), b.end());
    flushIfLarge();
}

bool StreamWriter::finish() {
    advanceTo(Stage::Done);
    if (check_ == CountCheck::Strict &&
        (elementsWritten_ != elementCount_ || textsWritten_ != textCount_)) {
        throw std::logic_error("akt writer: declared " + std::to_string(elementCount_) +
                               " elements and " + std::to_string(textCount_) + " texts, written " +
                               std::to_string(elementsWritten_) + " and " +
                               std::to_string(textsWritten_));
    }
    buffer_.insert(buffer_.end(), finalBytes_.begin(), finalBytes_.end());
    out_.write(reinterpret_cast<const char*>(buffer_.data()),
               static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
    out_.flush();
    return static_cast<bool>(out_);
}

// ---- Whole drawings ----

bool writeDrawingTo(std::ostream& out, const Drawing& d) {
    const Layout l = layoutFor(d.version);
    const auto elementCount = d.elementCountOverride
                                  ? wrapToField(*d.elementCountOverride, l.wideElementCount)
                                  : static_cast<std::int64_t>(d.elements.size());
    const auto textCount = d.textCountOverride ? wrapToField(*d.textCountOverride, l.wide)
                                               : static_cast<std::int64_t>(d.texts.size());
    const bool overridden = d.elementCountOverride || d.textCountOverride;
    StreamWriter w(out, d, elementCount, textCount,
                   overridden ? StreamWriter::CountCheck::None : StreamWriter::CountCheck::Strict);
    for (const ElementRecord& r : d.elements) {
        w.element(r);
    }
    for (const TextRecord& t : d.texts) {
        w.text(t);
    }
    for (const LayerRecord& r : d.layers) {
        w.layer(r);
    }
    return w.finish();
}

std::vector<std::uint8_t> writeDrawing(const Drawing& d) {
    std::ostringstream out(std::ios::binary);
    writeDrawingTo(out, d);
    const std::string s = std::move(out).str();
    return Bytes(s.begin(), s.end());
}

bool writeDrawingFile(const Drawing& d, const std::string& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    if (!writeDrawingTo(out, d)) {
        return false;
    }
    out.close();
    return !out.fail();
}

// ---- Windows-1252 ----

namespace {

// Code points of the bytes 0x80..0x9F; 0 where Windows-1252 leaves the byte unassigned (those
// bytes stand for the C1 control character of the same number).
constexpr char32_t kHighTable[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

int cp1252Byte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<int>(cp);
    }
    for (int i = 0; i < 32; ++i) {
        const char32_t mapped =
            kHighTable[i] != 0 ? kHighTable[i] : static_cast<char32_t>(0x80 + i);
        if (mapped == cp) {
            return 0x80 + i;
        }
    }
    return -1;
}

}  // namespace

std::string cp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            throw std::invalid_argument("cp1252: malformed UTF-8");
        }
        if (i + static_cast<std::size_t>(extra) >= utf8.size()) {
            throw std::invalid_argument("cp1252: truncated UTF-8");
        }
        for (int k = 1; k <= extra; ++k) {
            const auto cont = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((cont & 0xC0) != 0x80) {
                throw std::invalid_argument("cp1252: malformed UTF-8");
            }
            cp = (cp << 6) | (cont & 0x3F);
        }
        constexpr char32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[extra]) {
            throw std::invalid_argument("cp1252: overlong UTF-8");
        }
        const int byte = cp1252Byte(cp);
        if (byte < 0) {
            throw std::invalid_argument("cp1252: character U+" + std::to_string(cp) +
                                        " has no Windows-1252 byte");
        }
        out.push_back(static_cast<char>(byte));
        i += 1 + static_cast<std::size_t>(extra);
    }
    return out;
}

// ---- Convenience records ----

namespace {

std::int32_t scaleField(std::int32_t scale) {
    return checked<std::int32_t>(static_cast<std::int64_t>(scale) * 10, "scale denominator");
}

ElementRecord graphicRecord(int version, std::uint32_t type, const Attributes& at) {
    ElementRecord r;
    r.type = type;
    r.style = at.style;
    r.layerPenCode = layerPenCode(version, at.layer, at.pen);
    r.extra = scaleField(at.scale);
    return r;
}

}  // namespace

ElementRecord lineRecord(int version, double x1, double y1, double x2, double y2,
                         const Attributes& at, std::uint32_t type) {
    ElementRecord r = graphicRecord(version, type, at);
    r.a = x1;
    r.b = y1;
    r.c = x2;
    r.d = y2;
    return r;
}

ElementRecord circleRecord(int version, double cx, double cy, double r, const Attributes& at,
                           std::uint32_t type) {
    ElementRecord rec = graphicRecord(version, type, at);
    rec.a = cx;
    rec.b = cy;
    rec.c = r;
    return rec;
}

std::pair<ElementRecord, ElementRecord> arcRecords(int version, double cx, double cy, double r,
                                                   double start, double end, const Attributes& at,
                                                   std::uint32_t headType) {
    ElementRecord head = circleRecord(version, cx, cy, r, at, headType);
    ElementRecord tail = graphicRecord(version, type::kArcEnd, at);
    tail.a = start;
    tail.b = end;
    return {head, tail};
}

ElementRecord textElementRecord(int version, double x, double y, std::int64_t textNumber,
                                const TextPlacement& p) {
    ElementRecord r;
    r.type = p.type;
    r.a = x;
    r.b = y;
    r.c = static_cast<double>(textNumber);
    r.style = p.sizeCode;
    r.layerPenCode = layerPenCode(version, p.layer, p.pen);
    const long tenths = std::lround(p.angle * 10.0);
    r.extra = checked<std::int32_t>(static_cast<std::int64_t>(tenths), "text angle");
    return r;
}

TextRecord textRecord(std::string text, const TextPlacement& p) {
    TextRecord t;
    t.text = std::move(text);
    t.frameClass = p.frameClass;
    t.frameShape = p.frameShape;
    return t;
}

std::vector<ElementRecord> outlineRecords(int version,
                                          const std::vector<std::pair<double, double>>& points,
                                          const Attributes& at) {
    std::vector<ElementRecord> records;
    records.reserve(points.size() + 2);
    records.push_back(graphicRecord(version, type::kOutlineBegin, at));
    for (const auto& [x, y] : points) {
        ElementRecord p = graphicRecord(version, type::kOutlinePoint, at);
        p.a = x;
        p.b = y;
        records.push_back(p);
    }
    records.push_back(graphicRecord(version, type::kOutlineEnd, at));
    return records;
}

ElementRecord dataBoxRecord(int version, double x1, double y1, double x2, double y2,
                            const Attributes& at, std::vector<std::uint8_t> inlineData) {
    ElementRecord r = lineRecord(version, x1, y1, x2, y2, at, type::kDataBox);
    r.inlineData = std::move(inlineData);
    return r;
}

void addLine(Drawing& d, double x1, double y1, double x2, double y2, const Attributes& at) {
    d.elements.push_back(lineRecord(d.version, x1, y1, x2, y2, at));
}

void addCircle(Drawing& d, double cx, double cy, double r, const Attributes& at) {
    d.elements.push_back(circleRecord(d.version, cx, cy, r, at));
}

void addArc(Drawing& d, double cx, double cy, double r, double start, double end,
            const Attributes& at) {
    auto [head, tail] = arcRecords(d.version, cx, cy, r, start, end, at);
    d.elements.push_back(std::move(head));
    d.elements.push_back(std::move(tail));
}

std::int64_t addText(Drawing& d, double x, double y, std::string text, const TextPlacement& p) {
    const auto number = static_cast<std::int64_t>(d.texts.size()) + 1;
    // Build the element first so that a value out of range leaves the drawing unchanged.
    ElementRecord element = textElementRecord(d.version, x, y, number, p);
    d.texts.push_back(textRecord(std::move(text), p));
    d.elements.push_back(std::move(element));
    return number;
}

void addOutline(Drawing& d, const std::vector<std::pair<double, double>>& points,
                const Attributes& at) {
    std::vector<ElementRecord> records = outlineRecords(d.version, points, at);
    d.elements.insert(d.elements.end(), std::make_move_iterator(records.begin()),
                      std::make_move_iterator(records.end()));
}

void addDataBox(Drawing& d, double x1, double y1, double x2, double y2, const Attributes& at,
                std::vector<std::uint8_t> inlineData) {
    d.elements.push_back(dataBoxRecord(d.version, x1, y1, x2, y2, at, std::move(inlineData)));
}

void addLayer(Drawing& d, int number, std::string name, bool visible) {
    LayerRecord r;
    r.number = number;
    r.name = std::move(name);
    r.visible = visible;
    d.layers.push_back(std::move(r));
}

}  // namespace planora::akt
