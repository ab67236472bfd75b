// The element block: lines, circles, arcs, texts (with their frames), data boxes and filled
// outlines, read with the record layout of the file's generation.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "load_state.h"
#include "text_frames.h"

namespace planora::detail {
namespace {

enum class Reader { Dos36, V10, V12 };

// One element record, whatever its layout.
struct Record {
    std::uint32_t type = 0;
    double a = 0, b = 0, c = 0, d = 0;
    std::int32_t style = 0;
    std::int32_t code = 0;  // layer and pen code
    std::int32_t extra = 0;
};

Record decode(const std::uint8_t* r, Reader reader) {
    Record rec;
    if (reader == Reader::Dos36) {
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

enum class Kind {
    None,
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

Kind classify(std::uint32_t type, Reader reader) {
    if ((type >= 10 && type <= 19) || type == 50 || type == 51 || type == 55 || type == 58) {
        return Kind::Line;
    }
    if (type == 20 || type == 21 || type == 23 || type == 24 || type == 28) {
        return Kind::Circle;
    }
    if (type == 30 || type == 31 || type == 32 || type == 34 || type == 38) {
        return Kind::ArcHead;
    }
    if (type == 130) {
        return Kind::ArcEnd;
    }
    if ((type >= 40 && type <= 49) || type == 70 || type == 71) {
        return Kind::Text;
    }
    switch (reader) {
        case Reader::Dos36:
            return Kind::None;
        case Reader::V10:
            if (type == 214) {
                return Kind::Line;
            }
            if (type == 234) {
                return Kind::Circle;
            }
            return Kind::None;
        case Reader::V12:
            break;
    }
    if ((type >= 60 && type <= 63) || (type >= 65 && type <= 69)) {
        return Kind::Line;
    }
    if (type == 234) {
        return Kind::Circle;
    }
    if (type >= 80 && type <= 89) {
        return Kind::Text;
    }
    switch (type) {
        case 64:
            return Kind::DataBox;
        case 118:
            return Kind::OutlineBegin;
        case 92:
            return Kind::OutlinePoint;
        case 119:
            return Kind::OutlineEnd;
        default:
            return Kind::None;
    }
}

struct LayerPen {
    int layer;
    int pen;
};

LayerPen splitCode(std::int32_t code, Reader reader) {
    if (reader == Reader::V12) {
        const std::int64_t magnitude = std::llabs(static_cast<long long>(code));
        return {static_cast<int>(magnitude / 100), static_cast<int>(magnitude % 100)};
    }
    // Truncating division: the remainder keeps the sign of the code.
    return {code / 10, code % 10};
}

struct ArcHead {
    double cx, cy, r;
    LayerPen layerPen;
};

struct Outline {
    LayerPen layerPen;
    std::vector<double> x, y;
};

}  // namespace

void skipInlineBlock(ByteReader& in) {
    const std::int32_t n = in.i32();
    // A negative length skips nothing, so that reading never goes backwards.
    in.skip(std::max<std::int32_t>(n, 0));
    in.skip(4);
}

void readElementBlock(LoadState& state, DrawingModel& model) {
    ByteReader& in = state.in;
    const int version = state.version;
    const Reader reader = version < 1000   ? Reader::Dos36
                          : version < 1200 ? Reader::V10
                                           : Reader::V12;
    const int recordSize = state.generation.recordSize;

    // The capacity: the records the file can hold (a header may announce far more than there
    // are) plus the elements that text frames may add, one frame per text entry. Text records
    // may share an entry, so room for a frame at every record is reserved when it can be had:
    // the pages of the array that are never written take no memory.
    std::size_t frameEstimate = 0;
    std::size_t largestFrame = 0;
    if (state.textTable) {
        for (const TextEntry& entry : *state.textTable) {
            if (entry.hasBody) {
                const std::size_t frame =
                    frameElementEstimate(entry.frameClass(), entry.frameShape());
                frameEstimate += frame;
                largestFrame = std::max(largestFrame, frame);
            }
        }
    }
    const std::int64_t bytesForRecords = std::max<std::int64_t>(in.size() - state.elementStart, 0);
    const std::int64_t recordsThatFit = (bytesForRecords + recordSize - 1) / recordSize;
    const std::int64_t records = std::clamp<std::int64_t>(state.elementCount, 0, recordsThatFit);
    const auto recordCount = static_cast<std::size_t>(records);
    ElementStore& store = model.store;
    const std::size_t estimate = recordCount + frameEstimate;
    const std::size_t worstCase = recordCount * (1 + largestFrame);
    if (worstCase <= estimate || store.createElementStore(worstCase) == 0) {
        store.createElementStore(estimate);
    }

    // Should the room reserved above not have been available, the store grows rather than drop
    // the rest of the drawing when texts sharing a framed entry use up the estimate.
    std::int64_t i = 0;
    auto ensureRoom = [&](std::size_t needed) {
        if (store.capacity() - store.elementCount() < needed && store.capacity() > 0) {
            const auto left = static_cast<std::size_t>(std::max<std::int64_t>(records - i, 0));
            store.growCapacity(store.elementCount() + left + needed + store.capacity() / 8);
        }
    };

    std::optional<ArcHead> arcHead;
    std::optional<Outline> outline;
    std::uint8_t raw[68];
    in.seek(state.elementStart);
    for (; i < state.elementCount; ++i) {
        // The end of the file ends the element block; a record cut by it reads its missing
        // fields as zero.
        if (in.atEnd()) {
            break;
        }
        in.read(raw, static_cast<std::size_t>(recordSize));
        const Record rec = decode(raw, reader);
        const Kind kind = classify(rec.type, reader);
        const LayerPen lp = splitCode(rec.code, reader);
        if (kind == Kind::Line || kind == Kind::Circle || kind == Kind::ArcEnd ||
            kind == Kind::DataBox || kind == Kind::OutlineEnd) {
            ensureRoom(1);
        }
        switch (kind) {
            case Kind::None:
                break;
            case Kind::Line:
                store.addLine(rec.a, rec.b, rec.c, rec.d, lp.layer, lp.pen, rec.style);
                model.scales.recordScale(rec.extra / 10);
                break;
            case Kind::Circle:
                store.addCircle(rec.a, rec.b, rec.c, lp.layer, lp.pen, rec.style);
                model.scales.recordScale(rec.extra / 10);
                break;
            case Kind::ArcHead:
                arcHead = ArcHead{rec.a, rec.b, rec.c, lp};
                model.scales.recordScale(rec.extra / 10);
                break;
            case Kind::ArcEnd:
                // An arc end without an arc head before it in the block has no arc to end.
                if (arcHead) {
                    store.addArc(arcHead->cx, arcHead->cy, arcHead->r, rec.a, rec.b,
                                 arcHead->layerPen.layer, arcHead->layerPen.pen, rec.style);
                }
                break;
            case Kind::Text: {
                if (!state.textTable) {
                    break;
                }
                std::vector<TextEntry>& table = *state.textTable;
                if (!(rec.c >= 1.0 && rec.c < static_cast<double>(table.size()) + 1.0)) {
                    break;
                }
                TextEntry& entry = table[static_cast<std::size_t>(rec.c) - 1];
                if (!entry.hasBody) {
                    break;
                }
                // Cut the string in place: at 0xFF before version 1700, at 0x04 from 1700, where
                // the byte 0x11 also stands for 0xF8 ("ø").
                auto* text = entry.body.data() + 12;
                const std::size_t length = entry.string().size();
                const std::uint8_t cut = version < 1700 ? 0xFF : 0x04;
                for (std::size_t k = 0; k < length; ++k) {
                    if (text[k] == cut) {
                        text[k] = 0;
                        break;
                    }
                    if (version >= 1700 && text[k] == 0x11) {
                        text[k] = 0xF8;
                    }
                }
                ensureRoom(1 + frameElementEstimate(entry.frameClass(), entry.frameShape()));
                const std::string_view string = entry.string();
                const std::int32_t sizeCode =
                    reader == Reader::Dos36
                        ? rec.style
                        : static_cast<std::int32_t>(std::min<std::int64_t>(
                              std::llabs(static_cast<long long>(rec.style)), 0x7FFFFFFF));
                const double height = letterHeightForSizeCode(sizeCode);
                const double angle = rec.extra * 0.1;
                store.addText(rec.a, rec.b, string, angle, height, 1.0, lp.layer, lp.pen, 0);
                addTextFrame(store, rec.a, rec.b, angle, height, lp.layer, entry.frameClass(),
                             entry.frameShape(), string);
                break;
            }
            case Kind::DataBox:
                skipInlineBlock(in);
                store.addRectangle(rec.a + (rec.c - rec.a) * 0.5, rec.b + (rec.d - rec.b) * 0.5,
                                   rec.c - rec.a, rec.d - rec.b, 0.0, lp.layer, 0, 0);
                break;
            case Kind::OutlineBegin:
                outline = Outline{lp, {}, {}};
                break;
            case Kind::OutlinePoint:
                if (outline) {
                    outline->x.push_back(rec.a);
                    outline->y.push_back(rec.b);
                }
                break;
            case Kind::OutlineEnd:
                if (outline) {
                    using Step = ElementStore::PolygonStep;
                    const int layer = outline->layerPen.layer;
                    const int pen = outline->layerPen.pen;
                    store.polygonBuilder(Step::Begin, static_cast<double>(outline->x.size()), 0,
                                         layer, pen, 0);
                    for (std::size_t k = 0; k < outline->x.size(); ++k) {
                        store.polygonBuilder(Step::Point, outline->x[k], outline->y[k], layer, pen,
                                             0);
                    }
                    store.polygonBuilder(Step::Finish, 0, 0, layer, pen, 0);
                }
                break;
        }
    }
}

}  // namespace planora::detail
