#include "drawing_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "byte_reader.h"
#include "load_state.h"
#include "text_encoding.h"

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
    FormatGeneration g{};
    if (version < 1000) {
        g = {36, 10, false, !(version == 500 || version == 510), 20};
        g.recordLayout = RecordLayout::Dos36;
        g.headerTextLimit = 0x6000;
        g.textHeadSize = 7;
        g.textTrailerSize = 3;
        g.textHeader = version <= 550 ? TextHeaderSource::Supplied : TextHeaderSource::Stored;
    } else {
        g = {version < 2200 ? 64 : 68, version < 1200 ? 10 : 100, true, true, 36};
        g.recordLayout = version < 1200 ? RecordLayout::V10 : RecordLayout::V12;
        g.inlineBlocks = version >= 1200;
        g.headerTextLimit = 0x20000;
        g.textHeadSize = 9;
        g.textTrailerSize = 5;
        g.textHeader = TextHeaderSource::Wide;
        g.absoluteSizeCode = true;
        if (version < 1400) {
            g.wideText = {1, 2, 10, 18, 19, 20};
        } else if (version < 2000) {
            g.wideText = {4, 5, 13, 28, 29, 30};
        } else {
            g.wideText = {4, 5, 13, 37, 38, 39};
        }
    }
    g.rescanTextStart = version >= 1400;
    const bool from1700 = version >= 1700;
    g.textEndByte = from1700 ? 0x04 : 0xFF;
    g.degreeSignByte = from1700;
    g.layerNumberEnd = from1700 ? 4 : 3;
    return g;
}

namespace {

const char kTextTooLong24[] = "Datenfehler im Header (mehr als 24 kb Text)";
const char kTextTooLong128[] = "Datenfehler im Header (mehr als 128 kb Text)";
const char kBadTextStart[] = "Datei ist defekt: Startadresse der Texte stimmt nicht";
const char kBadTextCount[] = "Datei ist defekt: Anzahl der Texte stimmt nicht";
const char kNoLayerStart[] = "Datei ist defekt: Folienstart nicht gefunden";
const char kEndsEarly[] = "Datei ist defekt: Datei endet vorzeitig";
const char kOutOfMemory[] = "Nicht genug Arbeitsspeicher, um die Zeichnung einzulesen.";

constexpr int kOldestVersion = 500;
constexpr int kNewestVersion = 2500;

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
    if (start[0] != 'K' || start[1] != 'V' || start[2] != 'N' || version < kOldestVersion ||
        version > kNewestVersion) {
        return HeaderResult::Failed;
    }
    state.version = version;
    model.version = version;
    // The layout of the header follows the range the number falls in, also for a number that
    // is not accepted; that is decided after the drawing information.
    const FormatGeneration generation = generationForVersion(version);
    const bool wide = generation.wideHeader;
    for (float& value : model.headerValues) {
        value = wide ? static_cast<float>(in.f64()) : in.f32();
    }
    for (std::size_t slot = 0; slot < DrawingInfoTexts::kSlots; ++slot) {
        const std::int64_t length = wide ? std::int64_t{in.i32()} : std::int64_t{in.u16()};
        if (length > generation.headerTextLimit || length < 0) {
            model.lastLoadError = wide ? kTextTooLong128 : kTextTooLong24;
            return HeaderResult::Failed;
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
    state.generation = generation;
    state.elementCount = generation.wideElementCount ? in.i32() : in.i16();
    CountBlock& counts = model.countBlock;
    for (std::size_t i = 0; i < counts.values.size(); ++i) {
        const std::int32_t value = wide ? in.i32() : in.i16();
        counts.values[i] = static_cast<std::int16_t>(value & 0xFFFF);
        if (i == 0) {
            state.textCountField = value;
        }
    }
    counts.last = in.i32();
    state.textCount = counts.values[0];
    state.elementStart = in.tell();
    state.textStart = state.elementStart + state.elementCount * generation.recordSize;
    return HeaderResult::Ok;
}

enum class BoundaryResult { Consistent, Damaged, Rescan };

// Whether the element record that the header places last before the text block is one.
bool lastElementRecordInPlace(LoadState& state) {
    std::uint8_t magic[4];
    state.in.seek(state.textStart - state.generation.recordSize);
    state.in.read(magic, 4);
    return detail::hasMagic(magic, detail::kElementMagic);
}

struct TextBlockWalk {
    std::int64_t texts = 0;  // records with the text magic
    bool endsAtLayers = false;
    bool endsAtAnyBlock = false;  // at the layer magic or the text magic
};

// Walks the text block from S over the text records, as far as they carry their magic.
TextBlockWalk walkTextBlock(LoadState& state) {
    ByteReader& in = state.in;
    const FormatGeneration& g = state.generation;
    in.seek(state.textStart);
    TextBlockWalk walk;
    std::uint8_t head[9];
    for (;;) {
        in.read(head, static_cast<std::size_t>(g.textHeadSize));
        if (!detail::hasMagic(head, detail::kTextMagic)) {
            break;
        }
        ++walk.texts;
        const std::int64_t length = detail::textHeadLength(head, g);
        // A length below 2 has no text data; skipping never goes backwards.
        in.skip(std::max<std::int64_t>(length - 2, 0) + g.textTrailerSize);
    }
    walk.endsAtLayers = detail::hasMagic(head, detail::kLayerMagic);
    return walk;
}

// Takes the full text count when the text records confirm it (more than 32,767 texts); else
// the low 16 bits stay, as every file has been read.
void confirmTextCount(LoadState& state, std::int64_t textsFound) {
    if (textsFound != state.textCount && textsFound == state.textCountField &&
        state.textCountField <= std::numeric_limits<std::int32_t>::max()) {
        state.textCount = static_cast<std::int32_t>(state.textCountField);
    }
}

// Checks the text block at S. `firstLook` allows the answer Rescan for the generations that
// need it; after a rescan the result is final.
BoundaryResult checkTextBlock(LoadState& state, bool firstLook) {
    const TextBlockWalk walk = walkTextBlock(state);
    if (firstLook && state.generation.rescanTextStart && !walk.endsAtLayers) {
        return BoundaryResult::Rescan;
    }
    confirmTextCount(state, walk.texts);
    BoundaryResult result = BoundaryResult::Consistent;
    if (walk.texts != state.textCount) {
        state.damage = kBadTextCount;
        result = BoundaryResult::Damaged;
    }
    if (!walk.endsAtLayers) {
        state.damage = kNoLayerStart;
        result = BoundaryResult::Damaged;
    }
    return result;
}

struct RescanResult {
    std::int64_t textStart = 0;
    std::int64_t inlineBlocks = 0;  // inline blocks skipped on the way
};

// Finds the real text block start of a file whose type 64 records carry inline blocks: the
// element records are walked from E as long as they carry their magic.
RescanResult rescanTextStart(LoadState& state) {
    ByteReader& in = state.in;
    const int recordSize = state.generation.recordSize;
    std::uint8_t record[68];
    RescanResult result;
    in.seek(state.elementStart);
    for (;;) {
        in.read(record, static_cast<std::size_t>(recordSize));
        if (!detail::hasMagic(record, detail::kElementMagic)) {
            break;
        }
        if (leU32(record + 4) == detail::kDataBoxType) {
            detail::skipInlineBlock(in);
            ++result.inlineBlocks;
        }
    }
    result.textStart = in.tell() - recordSize;
    return result;
}

// The block boundary check: finds S (by a rescan where the generation's writer does not count
// the inline blocks, or where an inline block was skipped) and records any damage in
// state.damage. The file position is kept.
void checkBlockBoundaries(LoadState& state) {
    ByteReader& in = state.in;
    const std::int64_t resume = in.tell();
    const FormatGeneration& g = state.generation;
    BoundaryResult result = BoundaryResult::Rescan;
    if (lastElementRecordInPlace(state)) {
        result = checkTextBlock(state, true);
    } else if (!g.rescanTextStart) {
        result = BoundaryResult::Damaged;
        // Versions whose element reader skips inline blocks: a rescan that meets one finds the
        // text block behind them; without inline blocks the file is damaged as it always was.
        if (g.inlineBlocks) {
            const RescanResult rescan = rescanTextStart(state);
            if (rescan.inlineBlocks > 0) {
                state.textStart = rescan.textStart;
                checkTextBlock(state, false);
                result = BoundaryResult::Consistent;
            }
        }
        if (result == BoundaryResult::Damaged) {
            state.damage = kBadTextStart;
        }
    }
    if (result == BoundaryResult::Rescan) {
        state.textStart = rescanTextStart(state).textStart;
        checkTextBlock(state, false);
    }
    in.seek(resume);
}

// Reads the text, element and layer blocks into `next`; the boundary check has run.
void readBlocks(LoadState& state, DrawingModel& next) {
    ByteReader& in = state.in;
    in.clearReadPastEnd();
    detail::buildTextTable(state);
    detail::readElementBlock(state, next);
    if (state.textTable && state.layerStartKnown) {
        in.seek(state.layerStart);
        detail::readLayerBlock(state, next.layers);
        // The 4 bytes after the layer block, which the layer reader has read as its end mark.
        in.skip(4);
    }
    state.textTable.reset();
    // Blocks that run past the end of the file: a truncated file.
    if (in.readPastEnd() && state.damage.empty()) {
        state.damage = kEndsEarly;
    }
}

int loadFrom(ByteReader& in, DrawingModel& model, const std::string& path,
             const LoadHooks* hooks = nullptr) {
    model.lastLoadError.clear();
    if (!in.ok()) {
        return 0;
    }
    // The drawing is read into a fresh model, which replaces the current one only when the load
    // succeeds: a failed load leaves the previous drawing whole.
    try {
        DrawingModel next;
        LoadState state{in};
        state.hooks = hooks;
        if (readHeader(state, next) != HeaderResult::Ok) {
            model.lastLoadError = next.lastLoadError;
            return 0;
        }
        next.scales.reset();
        checkBlockBoundaries(state);
        readBlocks(state, next);
        next.currentDrawingPath = path;
        next.lastLoadError = state.damage;
        next.setLoadWarning(std::move(state.damage));
        next.loaded = true;
        state.step(1, 1);  // a cancel that came in after the last records still counts
        model = std::move(next);
        return 1;
    } catch (const detail::LoadCancelled&) {
        return 0;
    } catch (const std::bad_alloc&) {
        model.lastLoadError = kOutOfMemory;
    } catch (const std::length_error&) {
        model.lastLoadError = kOutOfMemory;
    }
    return 0;
}

// A path that names something other than a regular file gets its own message before anything
// is opened: a FIFO or a device would block the reader, a folder is no drawing.
std::optional<std::string> notARegularFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        return std::nullopt;  // the open fails and says so
    }
    if (std::filesystem::is_directory(status)) {
        return printableFileName(path) + " ist ein Ordner, keine Zeichnung.";
    }
    if (!std::filesystem::is_regular_file(status)) {
        return printableFileName(path) + " ist keine reguläre Datei.";
    }
    return std::nullopt;
}

}  // namespace

int loadDrawing(DrawingModel& model, const std::string& path) {
    if (auto message = notARegularFile(path)) {
        model.lastLoadError = std::move(*message);
        return 0;
    }
    ByteReader in(path);
    return loadFrom(in, model, path);
}

int loadDrawing(DrawingModel& model, const std::string& path, const LoadHooks& hooks) {
    if (auto message = notARegularFile(path)) {
        model.lastLoadError = std::move(*message);
        return 0;
    }
    ByteReader in(path);
    return loadFrom(in, model, path, &hooks);
}

int loadDrawingFromBytes(DrawingModel& model, std::span<const std::uint8_t> bytes,
                         const std::string& path) {
    ByteReader in(bytes);
    return loadFrom(in, model, path);
}

}  // namespace planora
