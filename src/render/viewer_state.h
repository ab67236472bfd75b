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

}  // namespace planora
