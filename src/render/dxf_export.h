// Writing a drawing as DXF for other CAD programs: every element at the coordinates the file
// holds (drawing units, centimetres on paper), one DXF layer per drawing layer, line styles as
// line types and pen colours as true colour plus the nearest standard colour number.
#pragma once

#include <QIODevice>
#include <cstddef>
#include <cstdint>
#include <string>

#include "drawing_model.h"
#include "renderer.h"

namespace planora {

struct VectorExportResult {
    std::string error;        // empty on success, else a German message
    std::size_t skipped = 0;  // elements left out for non-finite or absurd geometry
};

// Whether an element can be written to a vector file: every value it uses is finite and no
// larger than any drawing holds, a regular polygon has a sensible corner count and a polygon
// area has at least three points. Writers leave the others out and count them.
bool exportableGeometry(const ElementStore& store, const Element& e);

// The standard DXF colour number (1..255) nearest to a colour 0x00BBGGRR.
int nearestDxfColourNumber(std::uint32_t colour);

// Writes the whole drawing, hidden layers included (switched off), as DXF to `out`. Colours come
// from the renderer's pens, or black when it draws black.
VectorExportResult writeDxf(QIODevice& out, const DrawingModel& model, const Renderer& renderer);

}  // namespace planora
