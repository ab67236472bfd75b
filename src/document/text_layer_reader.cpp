// The text block (into the text table) and the layer block (into the layer list).
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "load_state.h"

namespace planora::detail {

std::string_view TextEntry::string() const {
    if (!hasBody || body.size() <= 12) {
        return {};
    }
    const auto* begin = reinterpret_cast<const char*>(body.data() + 12);
    const std::size_t room = body.size() - 12;
    const void* zero = std::memchr(begin, 0, room);
    return {begin, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - begin) : room};
}

std::int32_t textHeadLength(const std::uint8_t* head, const FormatGeneration& generation) {
    return generation.wideHeader ? leI32(head + 4) : leI16(head + 4);
}

namespace {

void putFloat(std::vector<std::uint8_t>& body, std::size_t offset, float value) {
    std::memcpy(body.data() + offset, &value, sizeof value);
}

// Turns the text data of a record into a body: the 12-byte text header and the zero-terminated
// string. Data shorter than its layout reads as zero bytes.
std::vector<std::uint8_t> makeBody(const FormatGeneration& generation,
                                   const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> body;
    if (generation.textHeader == TextHeaderSource::Supplied) {
        // The header is not stored: A = 1, B = "-", F1 = 1.0, F2 = 0.0.
        body.assign(10 + data.size() + 1, 0);
        body[0] = 1;
        body[1] = '-';
        putFloat(body, 2, 1.0f);
        putFloat(body, 6, 0.0f);
        std::copy(data.begin(), data.end(), body.begin() + 10);
        body.resize(std::max<std::size_t>(body.size(), 13), 0);
        return body;
    }
    if (generation.textHeader == TextHeaderSource::Stored) {
        body.assign(std::max<std::size_t>(data.size(), 12) + 1, 0);
        std::copy(data.begin(), data.end(), body.begin());
        return body;
    }
    const WideTextLayout& layout = generation.wideText;
    auto at = [&data](std::size_t offset) -> std::uint8_t {
        return offset < data.size() ? data[offset] : 0;
    };
    auto doubleAt = [&data](std::size_t offset) -> double {
        std::uint8_t bytes[8] = {};
        for (std::size_t i = 0; i < 8; ++i) {
            bytes[i] = offset + i < data.size() ? data[offset + i] : 0;
        }
        return leF64(bytes);
    };
    const auto stringOffset = static_cast<std::size_t>(layout.string);
    const std::size_t stringLength =
        data.size() > stringOffset ? data.size() - stringOffset : std::size_t{0};
    body.assign(12 + stringLength + 1, 0);
    body[0] = at(0);
    body[1] = at(layout.b);
    putFloat(body, 2, static_cast<float>(doubleAt(layout.f1)));
    putFloat(body, 6, static_cast<float>(doubleAt(layout.f2)));
    body[10] = at(layout.frameClass);
    body[11] = at(layout.frameShape);
    if (stringLength > 0) {
        std::copy(data.begin() + static_cast<std::ptrdiff_t>(stringOffset), data.end(),
                  body.begin() + 12);
    }
    return body;
}

void readTextRecord(LoadState& state, TextEntry& entry) {
    ByteReader& in = state.in;
    const FormatGeneration& g = state.generation;
    std::uint8_t head[9];
    in.read(head, static_cast<std::size_t>(g.textHeadSize));
    std::memcpy(entry.magic, head, 4);
    const std::int32_t length = textHeadLength(head, g);
    entry.length = static_cast<std::int16_t>(length & 0xFFFF);
    entry.flag = head[g.textHeadSize - 1];

    // A text cut by the end of the file keeps the part that is there (the missing bytes read as
    // zero and end the string); nothing is allocated beyond the bytes the file holds. A length
    // below 2 gives an entry without a body.
    const std::int64_t dataLength = std::max<std::int64_t>(std::int64_t{length} - 2, 0);
    const std::int64_t available = std::min(dataLength, in.remaining());
    // The allocation is bounded by the file; should it fail all the same, the load fails.
    if (length >= 2) {
        std::vector<std::uint8_t> data(static_cast<std::size_t>(available));
        in.read(data.data(), data.size());
        entry.body = makeBody(g, data);
        entry.hasBody = true;
        in.skip(dataLength - available);
    }
    std::uint8_t trailer[5];
    in.read(trailer, static_cast<std::size_t>(g.textTrailerSize));
    entry.trailerByte = trailer[0];
    entry.trailerWord = leI16(trailer + 1);
}

}  // namespace

void buildTextTable(LoadState& state) {
    if (state.textCount < 0) {
        // The table cannot be made: texts are skipped and no layers are read.
        state.textTable.reset();
        state.layerStartKnown = false;
        return;
    }
    ByteReader& in = state.in;
    const std::int64_t resume = in.tell();
    std::vector<TextEntry> table(static_cast<std::size_t>(state.textCount));
    in.seek(state.textStart);
    for (TextEntry& entry : table) {
        readTextRecord(state, entry);
    }
    state.layerStart = in.tell();
    state.layerStartKnown = true;
    state.textTable = std::move(table);
    in.seek(resume);
}

namespace {

constexpr std::size_t kMaxLayerText = 255;

// Three characters from offset k - 2, read as a decimal number (leading blanks and a sign
// allowed, reading stops at the first non-digit).
int parseLayerNumber(const std::uint8_t* text, int k) {
    std::size_t i = static_cast<std::size_t>(k - 2);
    const std::size_t end = i + 3;
    while (i < end && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int number = 0;
    while (i < end && text[i] >= '0' && text[i] <= '9') {
        number = number * 10 + (text[i] - '0');
        ++i;
    }
    return negative ? -number : number;
}

// A layer entry from the first `used` bytes of a layer text.
LayerEntry parseLayerEntry(const std::uint8_t* text, std::size_t used, int k) {
    LayerEntry entry;
    entry.visible = text[0] == '-' ? 0 : 1;
    entry.number = parseLayerNumber(text, k);
    const std::size_t nameStart = static_cast<std::size_t>(k + 1);
    if (used > nameStart) {
        const std::string_view name(reinterpret_cast<const char*>(text + nameStart),
                                    used - nameStart);
        entry.name = std::string(name.substr(0, name.find('\0')));
    }
    return entry;
}

}  // namespace

std::size_t readLayerBlock(LoadState& state, LayerList& layers) {
    ByteReader& in = state.in;
    const int k = state.generation.layerNumberEnd;
    layers.clear();
    std::size_t records = 0;
    for (;;) {
        std::uint8_t magic[4];
        in.read(magic, 4);
        if (!hasMagic(magic, kLayerMagic)) {
            in.skip(-4);
            break;
        }
        const std::int32_t length =
            state.generation.wideHeader ? static_cast<std::int16_t>(in.i32() & 0xFFFF) : in.i16();
        const std::int64_t textLength = std::max<std::int32_t>(length, 0);
        // Longer layer texts are read whole and used up to their first 255 bytes.
        std::uint8_t text[kMaxLayerText + 1] = {};
        const std::size_t used = static_cast<std::size_t>(
            std::min<std::int64_t>(textLength, static_cast<std::int64_t>(kMaxLayerText)));
        in.read(text, used);
        in.skip(textLength - static_cast<std::int64_t>(used));
        ++records;
        // Records with a length of 0 or 1 count but add no entry. Should memory for an entry
        // run out, the load fails rather than show a shortened layer list.
        if (length > 1) {
            layers.push_back(parseLayerEntry(text, used, k));
        }
    }
    return records;
}

}  // namespace planora::detail
