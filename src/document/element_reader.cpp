// The element block: lines, circles, arcs, texts (with their frames), data boxes and filled
// outlines, read with the record layout of the file's generation.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "load_state.h"
#include "text_frames.h"

namespace planora::detail {
namespace {

// One element record, whatever its layout.
struct Record {
    std::uint32_t type = 0;
    double a = 0, b = 0, c = 0, d = 0;
    std::int32_t style = 0;
    std::int32_t code = 0;  // layer and pen code
    std::int32_t extra = 0;
};

Record decode(const std::uint8_t* r, RecordLayout layout) {
    Record rec;
    if (layout == RecordLayout::Dos36) {
        rec.type = leU16(r + 4);
        rec.a = leF32(r + 6);
        rec.b = leF32(r + 10);
        rec.c = leF32(r + 14);
        rec.d = leF32(r + 18);
        rec.style = leI16(r + 22);
        rec.code = leI16(r + 24);
        rec.extra = leI16(r + 26);
    } else {
        rec.type = leU32(r + 4);
        rec.a = leF64(r + 8);
        rec.b = leF64(r + 16);
        rec.c = leF64(r + 24);
        rec.d = leF64(r + 32);
        rec.style = leI32(r + 40);
        rec.code = leI32(r + 44);
        rec.extra = leI32(r + 48);
    }
    return rec;
}

// What a record type means to the reader.
enum class Kind : std::uint8_t {
    None,  // read and skipped
    Line,
    Circle,
    ArcHead,
    ArcEnd,
    Text,
    DataBox,
    OutlineBegin,
    OutlinePoint,
    OutlineEnd
};

// The record type codes and the layouts that know them.
struct TypeRange {
    std::uint32_t first;
    std::uint32_t last;
    Kind kind;
    bool dos36, v10, v12;
};

constexpr TypeRange kTypeCodes[] = {
    {10, 19, Kind::Line, true, true, true},
    {50, 51, Kind::Line, true, true, true},
    {55, 55, Kind::Line, true, true, true},
    {58, 58, Kind::Line, true, true, true},
    {214, 214, Kind::Line, false, true, false},
    {60, 63, Kind::Line, false, false, true},
    {65, 69, Kind::Line, false, false, true},
    {20, 21, Kind::Circle, true, true, true},
    {23, 24, Kind::Circle, true, true, true},
    {28, 28, Kind::Circle, true, true, true},
    {234, 234, Kind::Circle, false, true, true},
    {30, 32, Kind::ArcHead, true, true, true},
    {34, 34, Kind::ArcHead, true, true, true},
    {38, 38, Kind::ArcHead, true, true, true},
    {130, 130, Kind::ArcEnd, true, true, true},
    {40, 49, Kind::Text, true, true, true},
    {70, 71, Kind::Text, true, true, true},
    {80, 89, Kind::Text, false, false, true},
    {kDataBoxType, kDataBoxType, Kind::DataBox, false, false, true},
    {118, 118, Kind::OutlineBegin, false, false, true},
    {92, 92, Kind::OutlinePoint, false, false, true},
    {119, 119, Kind::OutlineEnd, false, false, true},
};

// Every known code is below this; higher codes are skipped.
constexpr std::uint32_t kTypeTableSize = 256;
using TypeTable = std::array<Kind, kTypeTableSize>;

constexpr TypeTable makeTypeTable(RecordLayout layout) {
    TypeTable table{};
    for (const TypeRange& range : kTypeCodes) {
        const bool known = layout == RecordLayout::Dos36 ? range.dos36
                           : layout == RecordLayout::V10 ? range.v10
                                                         : range.v12;
        for (std::uint32_t code = range.first; known && code <= range.last; ++code) {
            table[code] = range.kind;
        }
    }
    return table;
}

constexpr TypeTable kDos36Types = makeTypeTable(RecordLayout::Dos36);
constexpr TypeTable kV10Types = makeTypeTable(RecordLayout::V10);
constexpr TypeTable kV12Types = makeTypeTable(RecordLayout::V12);

const TypeTable& typeTableFor(RecordLayout layout) {
    switch (layout) {
        case RecordLayout::Dos36:
            return kDos36Types;
        case RecordLayout::V10:
            return kV10Types;
        case RecordLayout::V12:
            break;
    }
    return kV12Types;
}

struct LayerPen {
    int layer;
    int pen;
};

LayerPen splitCode(std::int32_t code, const FormatGeneration& g) {
    if (g.layerDivisor == 100) {
        const std::int64_t magnitude = std::llabs(static_cast<long long>(code));
        return {static_cast<int>(magnitude / 100), static_cast<int>(magnitude % 100)};
    }
    // Truncating division: the remainder keeps the sign of the code.
    return {code / g.layerDivisor, code % g.layerDivisor};
}

struct ArcHead {
    double cx, cy, r;
    LayerPen layerPen;
};

// Reads one element block into the model's store. The reader state (the arc head and the
// outline under construction) lives for one block.
class ElementBlockReader {
  public:
    ElementBlockReader(LoadState& state, DrawingModel& model)
        : state_(state),
          in_(state.in),
          g_(state.generation),
          types_(typeTableFor(state.generation.recordLayout)),
          model_(model),
          store_(model.store) {}

    void run() {
        createStore();
        in_.seek(state_.elementStart);
        std::uint8_t raw[68];
        for (index_ = 0; index_ < state_.elementCount; ++index_) {
            // Coarse steps keep the check out of the per-record cost.
            if ((index_ & 0x3FFF) == 0) {
                state_.step(index_, state_.elementCount);
            }
            // The end of the file ends the element block; a record cut by it reads its missing
            // fields as zero.
            if (in_.atEnd()) {
                // Records the header announces are missing: the file was cut.
                in_.read(raw, 1);
                break;
            }
            in_.read(raw, static_cast<std::size_t>(g_.recordSize));
            handle(decode(raw, g_.recordLayout));
        }
    }

  private:
    // The capacity: the records the file can hold (a header may announce far more than there
    // are) plus the elements that text frames may add, one frame per text entry. Text records
    // may share an entry, so room for a frame at every record is reserved when it can be had:
    // the pages of the array that are never written take no memory.
    void createStore() {
        std::size_t frameEstimate = 0;
        std::size_t largestFrame = 0;
        if (state_.textTable) {
            for (const TextEntry& entry : *state_.textTable) {
                if (entry.hasBody) {
                    const std::size_t frame =
                        frameElementEstimate(entry.frameClass(), entry.frameShape());
                    frameEstimate += frame;
                    largestFrame = std::max(largestFrame, frame);
                }
            }
            prepared_.assign(state_.textTable->size(), std::nullopt);
        }
        const int recordSize = g_.recordSize;
        const std::int64_t bytesForRecords =
            std::max<std::int64_t>(in_.size() - state_.elementStart, 0);
        const std::int64_t recordsThatFit = (bytesForRecords + recordSize - 1) / recordSize;
        records_ = std::clamp<std::int64_t>(state_.elementCount, 0, recordsThatFit);
        const auto recordCount = static_cast<std::size_t>(records_);
        const std::size_t estimate = recordCount + frameEstimate;
        const std::size_t worstCase = recordCount * (1 + largestFrame);
        if (worstCase <= estimate || store_.createElementStore(worstCase) == 0) {
            if (store_.createElementStore(estimate) == 0 && estimate > 0) {
                // No room for the drawing: the load fails instead of showing it empty.
                throw std::bad_alloc();
            }
        }
    }

    // Should the room reserved above not have been available, the store grows rather than drop
    // the rest of the drawing when texts sharing a framed entry use up the estimate.
    void ensureRoom(std::size_t needed) {
        if (store_.capacity() - store_.elementCount() < needed && store_.capacity() > 0) {
            const auto left =
                static_cast<std::size_t>(std::max<std::int64_t>(records_ - index_, 0));
            store_.growCapacity(store_.elementCount() + left + needed + store_.capacity() / 8);
        }
    }

    void recordScale(const Record& rec) { model_.scales.recordScale(rec.extra / 10); }

    void handle(const Record& rec) {
        const Kind kind = rec.type < kTypeTableSize ? types_[rec.type] : Kind::None;
        const LayerPen lp = splitCode(rec.code, g_);
        switch (kind) {
            case Kind::None:
                break;
            case Kind::Line:
                ensureRoom(1);
                store_.addLine(rec.a, rec.b, rec.c, rec.d, lp.layer, lp.pen, rec.style);
                recordScale(rec);
                break;
            case Kind::Circle:
                ensureRoom(1);
                store_.addCircle(rec.a, rec.b, rec.c, lp.layer, lp.pen, rec.style);
                recordScale(rec);
                break;
            case Kind::ArcHead:
                arcHead_ = ArcHead{rec.a, rec.b, rec.c, lp};
                recordScale(rec);
                break;
            case Kind::ArcEnd:
                addArc(rec);
                break;
            case Kind::Text:
                addText(rec, lp);
                break;
            case Kind::DataBox:
                addDataBox(rec, lp);
                break;
            case Kind::OutlineBegin:
                // Drops any outline under construction; its points stay unused in the pool.
                store_.beginPointRun();
                outline_ = lp;
                break;
            case Kind::OutlinePoint:
                if (outline_) {
                    store_.addRunPoint(rec.a, rec.b);
                }
                break;
            case Kind::OutlineEnd:
                // The outline stays under construction: a later point extends it and a later end
                // adds it again with all points so far.
                if (outline_) {
                    ensureRoom(1);
                    store_.addPolygonOfRun(outline_->layer, outline_->pen, 0);
                }
                break;
        }
    }

    void addArc(const Record& rec) {
        // An arc end without an arc head before it in the block has no arc to end.
        if (arcHead_) {
            ensureRoom(1);
            store_.addArc(arcHead_->cx, arcHead_->cy, arcHead_->r, rec.a, rec.b,
                          arcHead_->layerPen.layer, arcHead_->layerPen.pen, rec.style);
        }
    }

    // The text entry a text record names (1-based in c), or none.
    TextEntry* textEntryOf(const Record& rec) {
        if (!state_.textTable) {
            return nullptr;
        }
        std::vector<TextEntry>& table = *state_.textTable;
        if (!(rec.c >= 1.0 && rec.c < static_cast<double>(table.size()) + 1.0)) {
            return nullptr;
        }
        TextEntry& entry = table[static_cast<std::size_t>(rec.c) - 1];
        return entry.hasBody ? &entry : nullptr;
    }

    // Cuts the string of an entry in place at the generation's end byte and maps the byte that
    // stands for "ø".
    void cutText(TextEntry& entry) const {
        auto* text = entry.body.data() + 12;
        const std::size_t length = entry.string().size();
        for (std::size_t k = 0; k < length; ++k) {
            if (text[k] == g_.textEndByte) {
                text[k] = 0;
                break;
            }
            if (g_.degreeSignByte && text[k] == 0x11) {
                text[k] = 0xF8;
            }
        }
    }

    // What a text entry gives every record that names it, made when the first one does: the
    // text (cut, and stored once in the element store) and its frame counts. Records then cost
    // the same whatever the length of their text.
    struct PreparedText {
        ElementStore::TextId id = 0;
        FrameCounts counts;
    };

    const PreparedText& prepare(TextEntry& entry) {
        const auto index = static_cast<std::size_t>(&entry - state_.textTable->data());
        std::optional<PreparedText>& prepared = prepared_[index];
        if (!prepared) {
            cutText(entry);
            const std::string_view string = entry.string();
            const auto id = store_.keepText(string);
            if (!id) {
                // A text that cannot be kept fails the load rather than vanish from it.
                throw std::bad_alloc();
            }
            prepared = PreparedText{*id, frameCounts(string)};
        }
        return *prepared;
    }

    void addText(const Record& rec, const LayerPen& lp) {
        TextEntry* entry = textEntryOf(rec);
        if (entry == nullptr) {
            return;
        }
        const PreparedText& text = prepare(*entry);
        ensureRoom(1 + frameElementEstimate(entry->frameClass(), entry->frameShape()));
        const std::int32_t sizeCode =
            g_.absoluteSizeCode ? static_cast<std::int32_t>(std::min<std::int64_t>(
                                      std::llabs(static_cast<long long>(rec.style)), 0x7FFFFFFF))
                                : rec.style;
        const double height = letterHeightForSizeCode(sizeCode);
        const double angle = rec.extra * 0.1;
        store_.addSharedText(rec.a, rec.b, text.id, angle, height, 1.0, lp.layer, lp.pen, 0);
        addTextFrame(store_, rec.a, rec.b, angle, height, lp.layer, entry->frameClass(),
                     entry->frameShape(), text.counts);
    }

    void addDataBox(const Record& rec, const LayerPen& lp) {
        skipInlineBlock(in_);
        ensureRoom(1);
        store_.addRectangle(rec.a + (rec.c - rec.a) * 0.5, rec.b + (rec.d - rec.b) * 0.5,
                            rec.c - rec.a, rec.d - rec.b, 0.0, lp.layer, 0, 0);
    }

    LoadState& state_;
    ByteReader& in_;
    const FormatGeneration& g_;
    const TypeTable& types_;
    DrawingModel& model_;
    ElementStore& store_;
    std::int64_t records_ = 0;
    std::int64_t index_ = 0;
    std::optional<ArcHead> arcHead_;
    std::optional<LayerPen> outline_;
    // Per text entry, once a record has named it.
    std::vector<std::optional<PreparedText>> prepared_;
};

}  // namespace

void skipInlineBlock(ByteReader& in) {
    const std::int32_t n = in.i32();
    // A negative length skips nothing, so that reading never goes backwards.
    in.skip(std::max<std::int32_t>(n, 0));
    in.skip(4);
}

void readElementBlock(LoadState& state, DrawingModel& model) {
    ElementBlockReader(state, model).run();
}

}  // namespace planora::detail
