// The program-wide state of the viewer: the one current drawing, the one view and the renderer
// with its colours. Owned by the main window; tests make fresh ones.
#pragma once

#include <cstdint>

#include "drawing_model.h"
#include "renderer.h"
#include "view_transform.h"

namespace planora {

struct ViewerState {
    DrawingModel drawing;
    View view;
    Renderer renderer;
    // Raised with every successful load, so that whatever was worked out for the previous
    // drawing (element caches, snap lists) can tell it is stale.
    std::uint64_t drawingGeneration = 0;
};

// Whether installing a drawing also fits the view to it.
enum class ZoomOnInstall { None, All };

// Makes a freshly opened drawing (see openDrawing) the current one: replaces the model, drops
// what the renderer worked out for the previous drawing and raises the generation. With
// ZoomOnInstall::All the view is fitted to the drawing in a client area of width x height pixels.
// Every way a drawing reaches the viewer goes through here.
void installDrawing(ViewerState& state, DrawingModel&& model,
                    ZoomOnInstall zoom = ZoomOnInstall::None, int width = 0, int height = 0);

// The transform an output of its own (a printed page, the clipboard image) draws with: the
// shown view with the device origin x set to `deviceOriginX` and the scale multiplied by k, the
// vertical position scaled with it. The shown view itself is not touched.
ViewTransform scaledOutputView(const View& shown, int deviceOriginX, double k);

}  // namespace planora
