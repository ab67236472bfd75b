// Reading ".akt" drawing files of every format generation into a DrawingModel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "drawing_model.h"

namespace planora {

// The layout facts of one format generation, the single source for every place that needs them.
struct FormatGeneration {
    int recordSize;         // 36, 64 or 68 bytes
    int layerDivisor;       // layer and pen code = layer * divisor + pen (10 or 100)
    bool wideHeader;        // header numbers float64 and text lengths int32 (from 1000)
    bool wideElementCount;  // element count int32 (all but 500 and 510)
    int countBlockSize;     // 20 or 36 bytes
};

// Versions accepted: 500, 510, 550, 600, 650, 700 and every hundred from 1000 to 2500.
bool isAcceptedVersion(int version);
// The generation of an accepted version; for other versions the generation the number falls in.
FormatGeneration generationForVersion(int version);

// Reads the file into `model`. Returns 1 on success, 0 on failure. On failure the model keeps
// the drawing it had and lastLoadError holds the message (empty when the failure has none). A
// damaged file loads as far as it can be read and keeps its damage text in lastLoadError.
int loadDrawing(DrawingModel& model, const std::string& path);

// The same for a file already in memory; `path` becomes currentDrawingPath.
int loadDrawingFromBytes(DrawingModel& model, std::span<const std::uint8_t> bytes,
                         const std::string& path);

}  // namespace planora
