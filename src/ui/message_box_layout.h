// Message boxes that show their text with the line breaks it was written with.
#pragma once

class QMessageBox;

namespace planora {

// Makes the box wide enough for its longest line, so that Qt's own wrapping (which starts at
// about half the screen width) does not break the lines a second time. A line wider than the
// screen still wraps. Call before showing the box.
void keepLineBreaks(QMessageBox& box);

}  // namespace planora
