// Copying the view, as the graphics window frames it, to the clipboard as a black-and-white
// image about 2400 pixels wide.
#pragma once

#include <QImage>

#include "viewer_state.h"

namespace planora {

inline constexpr int kClipboardImageWidth = 2400;

// The drawing as framed in a client area of clientWidth x clientHeight pixels, drawn at
// k = 2400 / clientWidth times the scale into a one-bit image of trunc(W * k) x trunc(H * k)
// pixels: black lines and texts on white. The window's view and colours are not touched. A null
// image for an empty client area.
QImage clipboardImage(ViewerState& state, int clientWidth, int clientHeight);

// Puts clipboardImage() on the system clipboard. False when there was nothing to put there.
bool copyToClipboard(ViewerState& state, int clientWidth, int clientHeight);

}  // namespace planora
