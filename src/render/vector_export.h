// Writing a drawing as SVG or PDF in drawing coordinates: every coordinate as the file holds it
// (no rounding to pixels), one group per layer, texts as real text, dash patterns as dash arrays.
// Both are written as they go, so memory stays small whatever the size of the drawing.
#pragma once

#include <QIODevice>
#include <cstdint>
#include <optional>
#include <string>

#include "drawing_model.h"
#include "dxf_export.h"
#include "renderer.h"

namespace planora {

struct VectorExportOptions {
    // The colour behind the drawing (0x00BBGGRR); none leaves it transparent (white on paper).
    std::optional<std::uint32_t> background;
    // PDF paper in millimetres (either orientation); none makes the page the drawing's size at
    // 1 unit = 1 cm. On paper the drawing is fitted into 1 cm margins, or with `trueScale` drawn
    // at 1 unit = 1 cm and, when larger than the paper, split into pages that overlap by 1 cm,
    // with crop marks and a page key.
    std::optional<double> pageWidthMm;
    std::optional<double> pageHeightMm;
    bool trueScale = false;
};

// The SVG's size is the drawing's in centimetres (1 drawing unit = 1 cm), its y axis the
// drawing's turned downwards (y is written negated, which loses no digit).
VectorExportResult writeSvgDrawing(QIODevice& out, const DrawingModel& model,
                                   const Renderer& renderer, const VectorExportOptions& options);

// The drawing centred on the page in portrait or landscape, whichever suits it; layers are
// optional content groups, off where the drawing has them off.
VectorExportResult writePdfDrawing(QIODevice& out, const DrawingModel& model,
                                   const Renderer& renderer, const VectorExportOptions& options);

enum class VectorFormat { Dxf, Svg, Pdf };

// Writes the drawing to `path` through a temporary file in the same folder that replaces `path`
// only when all of it was written and closed. The error names the file.
VectorExportResult exportVectorFile(VectorFormat format, const DrawingModel& model,
                                    const Renderer& renderer, const VectorExportOptions& options,
                                    const std::string& path);

}  // namespace planora
