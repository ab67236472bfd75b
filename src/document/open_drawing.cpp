#include "open_drawing.h"

#include <utility>

#include "drawing_file.h"

namespace planora {

OpenResult openDrawing(const std::string& path, OpenOptions options) {
    OpenResult result;
    DrawingModel model;
    const LoadHooks hooks{options.progress, options.cancel};
    if (loadDrawing(model, path, hooks) == 0) {
        if (options.cancel != nullptr && options.cancel->load()) {
            result.cancelled = true;
            return result;
        }
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
