#include "viewer_state.h"

#include <utility>

namespace planora {

void installDrawing(ViewerState& state, DrawingModel&& model, ZoomOnInstall zoom, int width,
                    int height) {
    state.drawing = std::move(model);
    state.renderer.invalidateElementCache();
    ++state.drawingGeneration;
    if (zoom == ZoomOnInstall::All) {
        WorldBox extents;
        if (drawingExtents(state.drawing.store, extents) != 0) {
            state.view.fitInside(width, height, extents);
        }
    }
}

ViewTransform scaledOutputView(const View& shown, int deviceOriginX, double k) {
    // The same steps the view takes for an output, on a copy.
    View output = shown;
    output.saveViewForOutput(deviceOriginX);
    output.scaleView(k);
    return output.displayedView();
}

}  // namespace planora
