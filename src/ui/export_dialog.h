// "Exportieren ...": writes the current drawing, with the view's layers and colours, as DXF, PDF,
// SVG or PNG to a file the user picks.
#pragma once

class QWidget;

namespace planora {

struct ViewerState;

// Asks for the file (and, for PDF, the paper and whether to print at true scale) and writes it.
// Failures are shown in a message box. Returns true when a file was written.
bool exportWithDialog(ViewerState& state, QWidget* parent);

}  // namespace planora
