// Reading ".akt" drawing files of every format generation into a DrawingModel.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "drawing_model.h"

namespace planora {

// How the element records of a generation are laid out.
enum class RecordLayout {
    Dos36,  // 36 bytes: uint16 type, float32 numbers, int16 fields (500 to 700)
    V10,    // 64 bytes: uint32 type, float64 numbers, int32 fields, layer * 10 + pen
    V12,    // 64 or 68 bytes, layer * 100 + pen, data boxes and outlines
};

// How the 12-byte text header of a text body is obtained.
enum class TextHeaderSource {
    Supplied,  // not stored in the file: A = 1, B = "-", F1 = 1.0, F2 = 0.0 (500 to 550)
    Stored,    // the 12 bytes stand at the start of the text data (600 to 700)
    Wide,      // fields at the offsets of WideTextLayout, float64 numbers (from 1000)
};

// Offsets of the text data fields from version 1000: A is at 0.
struct WideTextLayout {
    int b = 0, f1 = 0, f2 = 0, frameClass = 0, frameShape = 0, string = 0;
};

// The layout facts of one format generation, the single source for every place that needs them.
struct FormatGeneration {
    int recordSize;         // 36, 64 or 68 bytes
    int layerDivisor;       // layer and pen code = layer * divisor + pen (10 or 100)
    bool wideHeader;        // header numbers float64 and text lengths int32 (from 1000)
    bool wideElementCount;  // element count int32 (all but 500 and 510)
    int countBlockSize;     // 20 or 36 bytes
    RecordLayout recordLayout = RecordLayout::Dos36;
    // Data boxes (type 64) are followed by an inline block that the record size does not count.
    bool inlineBlocks = false;
    // A text block that does not start where the header places it is searched for by walking
    // the element records (the writer of these versions does not count the inline blocks).
    bool rescanTextStart = false;
    std::int64_t headerTextLimit = 0;  // longest drawing information text accepted
    int textHeadSize = 7;              // magic, length field, flag
    int textTrailerSize = 3;
    TextHeaderSource textHeader = TextHeaderSource::Supplied;
    WideTextLayout wideText{};
    std::uint8_t textEndByte = 0xFF;  // a text ends at this byte
    bool degreeSignByte = false;      // the byte 0x11 in a text stands for 0xF8 ("ø")
    bool absoluteSizeCode = false;    // the size code of a text counts without its sign
    int layerNumberEnd = 3;           // the layer number stands at offsets k - 2 to k
};

// Versions accepted: 500, 510, 550, 600, 650, 700 and every hundred from 1000 to 2500.
bool isAcceptedVersion(int version);
// The generation of an accepted version; for other versions the generation the number falls in.
FormatGeneration generationForVersion(int version);

// Reads the file into `model`. Returns 1 on success, 0 on failure. On failure the model keeps
// the drawing it had and lastLoadError holds the message (empty when the failure has none). A
// damaged file loads as far as it can be read and keeps its damage text in lastLoadError.
int loadDrawing(DrawingModel& model, const std::string& path);

// What a caller on another thread sees of a load: the share of the element records read so far,
// reported at coarse steps, and a flag that ends the load early. A cancelled load fails like any
// other (the model keeps its drawing) with an empty lastLoadError.
struct LoadHooks {
    std::function<void(int percent)> progress;  // 0 to 100; called on the loading thread
    const std::atomic<bool>* cancel = nullptr;
};
int loadDrawing(DrawingModel& model, const std::string& path, const LoadHooks& hooks);

// The same for a file already in memory; `path` becomes currentDrawingPath.
int loadDrawingFromBytes(DrawingModel& model, std::span<const std::uint8_t> bytes,
                         const std::string& path);

}  // namespace planora
