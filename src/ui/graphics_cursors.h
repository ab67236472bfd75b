// The cursors of the graphics window: the frame cursor built in code, and the cursors of the zoom
// window, the text display and the measuring mode, which are pictures among the program's
// resources.
#pragma once

#include <QCursor>
#include <QString>

#include <optional>

namespace planora {

// The default cursor: a 15 x 15 square outline in the top-left corner of a 32 x 32 cursor with
// its hotspot in the middle of the square (7, 7). Where the window system can invert the screen
// beneath a cursor (Windows) the outline does so; elsewhere (X11 and Wayland cursors have no
// inverting pixels) it is black with a white inner ring, so that it shows on any background.
QCursor makeFrameCursor();

// One of "ZoomWindow" (hotspot 8, 14), "CrossHair" (15, 15) and "MessCursor" (2, 23). Nothing
// when the name is unknown or the picture cannot be loaded.
std::optional<QCursor> loadProgramCursor(const QString& name);

}  // namespace planora
