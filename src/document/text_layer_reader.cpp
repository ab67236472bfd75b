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

std::int32_t textHeadLength(const std::uint8_t* head, int version) {
    return version < 1000 ? leI16(head + 4) : leI32(head + 4);
}

namespace {

void putFloat(std::vector<std::uint8_t>& body, std::size_t offset, float value) {
    std::memcpy(body.data() + offset, &value, sizeof value);
}

// Text data offsets of the versions from 1000: A, B, F1, F2, frame class, frame shape, string.
struct WideTextLayout {
    std::size_t b, f1, f2, frameClass, frameShape, string;
};

WideTextLayout wideTextLayout(int version) {
    if (version < 1400) {
        return {1, 2, 10, 18, 19, 20};
    }
    if (version < 2000) {
        return {4, 5, 13, 28, 29, 30};
    }
    return {4, 5, 13, 37, 38, 39};
}

// Turns the text data of a record into a body: the 12-byte text header and the zero-terminated
// string. Data shorter than its layout reads as zero bytes.
std::vector<std::uint8_t> makeBody(int version, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> body;
    if (version <= 550) {
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
    if (version < 1000) {
        body.assign(std::max<std::size_t>(data.size(), 12) + 1, 0);
        std::copy(data.begin(), data.end(), body.begin());
        return body;
    }
    const WideTextLayout layout = wideTextLayout(version);
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
    const std::size_t stringLength =
        data.size() > layout.string ? data.size() - layout.string : std::size_t{0};
    body.assign(12 + stringLength + 1, 0);
    body[0] = at(0);
    body[1] = at(layout.b);
    putFloat(body, 2, static_cast<float>(doubleAt(layout.f1)));
    putFloat(body, 6, static_cast<float>(doubleAt(layout.f2)));
    body[10] = at(layout.frameClass);
    body[11] = at(layout.frameShape);
    if (stringLength > 0) {
        std::copy(data.begin() + static_cast<std::ptrdiff_t>(layout.string), data.end(),
                  body.begin() + 12);
    }
    return body;
}

void readTextRecord(LoadState& state, TextEntry& entry) {
    ByteReader& in = state.in;
    const int version = state.version;
    std::uint8_t head[9];
    in.read(head, static_cast<std::size_t>(textHeadSize(version)));
    std::memcpy(entry.magic, head, 4);
    const std::int32_t length = textHeadLength(head, version);
    entry.length = static_cast<std::int16_t>(length & 0xFFFF);
    entry.flag = head[version < 1000 ? 6 : 8];

    // No allocation follows a length that is too short or runs past the end of the file: such
    // records give entries without a body.
    const std::int64_t dataLength = std::max<std::int64_t>(std::int64_t{length} - 2, 0);
    if (length >= 2 && dataLength <= in.remaining()) {
        try {
            std::vector<std::uint8_t> data(static_cast<std::size_t>(dataLength));
            in.read(data.data(), data.size());
            entry.body = makeBody(version, data);
            entry.hasBody = true;
        } catch (const std::bad_alloc&) {
            entry.body.clear();
            entry.hasBody = false;
        }
    }
    if (!entry.hasBody) {
        in.skip(dataLength);
    }
    std::uint8_t trailer[5];
    in.read(trailer, static_cast<std::size_t>(textTrailerSize(version)));
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

std::size_t readLayerBlock(LoadState& state, LayerList& layers) {
    ByteReader& in = state.in;
    const int k = state.version < 1700 ? 3 : 4;
    constexpr std::size_t kMaxLayerText = 255;
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
            state.version < 1000 ? in.i16() : static_cast<std::int16_t>(in.i32() & 0xFFFF);
        const std::int64_t textLength = std::max<std::int32_t>(length, 0);
        // Longer layer texts are read whole and used up to their first 255 bytes.
        std::uint8_t text[kMaxLayerText + 1] = {};
        const std::size_t used = static_cast<std::size_t>(
            std::min<std::int64_t>(textLength, static_cast<std::int64_t>(kMaxLayerText)));
        in.read(text, used);
        in.skip(textLength - static_cast<std::int64_t>(used));
        ++records;
        if (length <= 1) {
            continue;
        }
        LayerEntry entry;
        entry.visible = text[0] == '-' ? 0 : 1;
        // Three characters from offset k - 2, read as a decimal number (leading blanks allowed).
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
        entry.number = negative ? -number : number;
        const std::size_t nameStart = static_cast<std::size_t>(k + 1);
        if (used > nameStart) {
            const auto* name = reinterpret_cast<const char*>(text + nameStart);
            std::string_view view(name, used - nameStart);
            entry.name = std::string(view.substr(0, view.find('\0')));
        }
        try {
            layers.push_back(std::move(entry));
        } catch (const std::bad_alloc&) {
            break;
        }
    }
    return records;
}

}  // namespace planora::detail
