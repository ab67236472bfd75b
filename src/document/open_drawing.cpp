#include "open_drawing.h"

#include <utility>

#include "drawing_file.h"

namespace planora {

OpenResult openDrawing(const std::string& path, OpenOptions options) {
    OpenResult result;
    DrawingModel model;
    if (loadDrawing(model, path) == 0) {
        result.error = model.lastLoadError;
        return result;
    }
    if (options.hideSwitchedOffLayers) {
        applyLayerFlags(model);
    }
    result.warning = model.loadWarning();
    result.model = std::move(model);
    return result;
}

}  // namespace planora
