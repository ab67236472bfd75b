// libFuzzer target: any bytes given to the drawing loader must load or fail cleanly.
#include <cstddef>
#include <cstdint>
#include <span>

#include "drawing_file.h"
#include "drawing_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    planora::DrawingModel model;
    if (planora::loadDrawingFromBytes(model, std::span<const std::uint8_t>(data, size),
                                      "fuzz.akt") == 1) {
        // Hide the off layers as opening does, then walk everything the viewer reads.
        planora::applyLayerFlags(model);
        volatile std::size_t length = planora::drawingJson(model).size();
        (void)length;
    }
    return 0;
}
