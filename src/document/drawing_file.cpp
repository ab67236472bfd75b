#include "drawing_file.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "byte_reader.h"
#include "load_state.h"

namespace planora {

using detail::LoadState;

bool isAcceptedVersion(int version) {
    switch (version) {
        case 500:
        case 510:
        case 550:
        case 600:
        case 650:
        case 700:
            return true;
        default:
            return version >= 1000 && version <= 2500 && version % 100 == 0;
    }
}

FormatGeneration generationForVersion(int version) {
    if (version < 1000) {
        const bool wideCount = !(version == 500 || version == 510);
        return {36, 10, false, wideCount, 20};
    }
    if (version < 1200) {
        return {64, 10, true, true, 36};
    }
    if (version < 2200) {
        return {64, 100, true, true, 36};
    }
    return {68, 100, true, true, 36};
}

namespace {

const char kTextTooLong24[] = "Datenfehler im Header (mehr als 24 kb Text)";
const char kTextTooLong128[] = "Datenfehler im Header (mehr als 128 kb Text)";
const char kBadTextStart[] = "Datei ist defekt: Startadresse der Texte stimmt nicht";
const char kBadTextCount[] = "Datei ist defekt: Anzahl der Texte stimmt nicht";
const char kNoLayerStart[] = "Datei ist defekt: Folienstart nicht gefunden";

// A two-character version field read as a decimal number: leading blanks and a sign are
// accepted, reading stops at the first non-digit.
int parseVersionField(const std::uint8_t* p) {
    std::size_t i = 0;
    while (i < 2 && std::isspace(p[i])) {
        ++i;
    }
    bool negative = false;
    if (i < 2 && (p[i] == '+' || p[i] == '-')) {
        negative = p[i] == '-';
        ++i;
    }
    int value = 0;
    while (i < 2 && p[i] >= '0' && p[i] <= '9') {
        value = value * 10 + (p[i] - '0');
        ++i;
    }
    return negative ? -value : value;
}

enum class HeaderResult { Ok, Failed };

HeaderResult readHeader(LoadState& state, DrawingModel& model) {
    ByteReader& in = state.in;
    std::uint8_t start[8];
    in.read(start, 8);
    const int version = parseVersionField(start + 3) * 100 + parseVersionField(start + 6);
    if (start[0] != 'K' || start[1] != 'V' || start[2] != 'N' || version < 500 || version > 2500) {
        return HeaderResult::Failed;
    }
    state.version = version;
    model.version = version;
    const bool wide = version >= 1000;
    for (float& value : model.headerValues) {
        value = wide ? static_cast<float>(in.f64()) : in.f32();
    }
    for (std::size_t slot = 0; slot < DrawingInfoTexts::kSlots; ++slot) {
        std::int64_t length = 0;
        if (wide) {
            length = in.i32();
            if (length > 0x20000 || length < 0) {
                model.lastLoadError = kTextTooLong128;
                return HeaderResult::Failed;
            }
        } else {
            length = in.u16();
            if (length > 0x6000) {
                model.lastLoadError = kTextTooLong24;
                return HeaderResult::Failed;
            }
        }
        std::string text(static_cast<std::size_t>(length), '\0');
        in.read(text.data(), text.size());
        // The text is used up to its first zero byte, as a zero-terminated string.
        text.resize(std::min(text.size(), text.find('\0')));
        model.drawingInfo.set(slot, std::move(text));
    }
    if (!isAcceptedVersion(version)) {
        return HeaderResult::Failed;
    }
    state.generation = generationForVersion(version);
    state.elementCount = state.generation.wideElementCount ? in.i32() : in.i16();
    CountBlock& counts = model.countBlock;
    for (std::int16_t& value : counts.values) {
        value = wide ? static_cast<std::int16_t>(in.i32() & 0xFFFF) : in.i16();
    }
    counts.last = in.i32();
    state.textCount = counts.values[0];
    state.elementStart = in.tell();
    state.textStart = state.elementStart + state.elementCount * state.generation.recordSize;
    return HeaderResult::Ok;
}

enum class BoundaryResult { Consistent, Damaged, Rescan };

BoundaryResult checkBlockBoundaries(LoadState& state, DrawingModel& model) {
    ByteReader& in = state.in;
    const std::int64_t resume = in.tell();
    const int recordSize = state.generation.recordSize;
    const bool rescanAllowed = state.version >= 1400;

    std::uint8_t magic[4];
    in.seek(state.textStart - recordSize);
    in.read(magic, 4);
    if (!detail::hasMagic(magic, detail::kElementMagic)) {
        if (rescanAllowed) {
            in.seek(resume);
            return BoundaryResult::Rescan;
        }
        model.lastLoadError = kBadTextStart;
        in.seek(resume);
        return BoundaryResult::Damaged;
    }

    in.seek(state.textStart);
    const int headSize = detail::textHeadSize(state.version);
    std::int64_t texts = 0;
    std::uint8_t head[9];
    for (;;) {
        in.read(head, static_cast<std::size_t>(headSize));
        if (!detail::hasMagic(head, detail::kTextMagic)) {
            break;
        }
        ++texts;
        const std::int64_t length = detail::textHeadLength(head, state.version);
        // A length below 2 has no text data; skipping never goes backwards.
        in.skip(std::max<std::int64_t>(length - 2, 0) + detail::textTrailerSize(state.version));
    }
    if (rescanAllowed && !detail::hasMagic(head, detail::kLayerMagic)) {
        in.seek(resume);
        return BoundaryResult::Rescan;
    }
    BoundaryResult result = BoundaryResult::Consistent;
    if (texts != state.textCount) {
        model.lastLoadError = kBadTextCount;
        result = BoundaryResult::Damaged;
    }
    if (!detail::hasMagic(head, detail::kLayerMagic)) {
        model.lastLoadError = kNoLayerStart;
        result = BoundaryResult::Damaged;
    }
    in.seek(resume);
    return result;
}

// Finds the real text block start of a file whose type 64 records carry inline blocks.
void rescanTextStart(LoadState& state) {
    ByteReader& in = state.in;
    const std::int64_t resume = in.tell();
    const int recordSize = state.generation.recordSize;
    std::uint8_t record[68];
    in.seek(state.elementStart);
    for (;;) {
        in.read(record, static_cast<std::size_t>(recordSize));
        if (!detail::hasMagic(record, detail::kElementMagic)) {
            break;
        }
        if (leU32(record + 4) == 64) {
            detail::skipInlineBlock(in);
        }
    }
    state.textStart = in.tell() - recordSize;
    in.seek(resume);
}

int loadFrom(ByteReader& in, DrawingModel& model, const std::string& path) {
    model.lastLoadError.clear();
    if (!in.ok()) {
        return 0;
    }
    // The drawing is read into a fresh model, which replaces the current one only when the load
    // succeeds: a failed load leaves the previous drawing whole.
    DrawingModel next;
    LoadState state{in};
    if (readHeader(state, next) != HeaderResult::Ok) {
        model.lastLoadError = next.lastLoadError;
        return 0;
    }
    next.scales.reset();
    if (checkBlockBoundaries(state, next) == BoundaryResult::Rescan) {
        rescanTextStart(state);
    }
    detail::buildTextTable(state);
    detail::readElementBlock(state, next);
    if (state.textTable && state.layerStartKnown) {
        in.seek(state.layerStart);
        detail::readLayerBlock(state, next.layers);
        in.skip(4);
    }
    state.textTable.reset();
    next.currentDrawingPath = path;
    next.loaded = true;
    model = std::move(next);
    return 1;
}

}  // namespace

int loadDrawing(DrawingModel& model, const std::string& path) {
    ByteReader in(path);
    return loadFrom(in, model, path);
}

int loadDrawingFromBytes(DrawingModel& model, std::span<const std::uint8_t> bytes,
                         const std::string& path) {
    ByteReader in(bytes);
    return loadFrom(in, model, path);
}

}  // namespace planora
