// Drawing a whole drawing into an image or a PNG, SVG or PDF file, framed as "zoom all" frames it.
#pragma once

#include <QImage>
#include <cstdint>
#include <optional>
#include <string>

#include "drawing_model.h"
#include "renderer.h"
#include "view_transform.h"

namespace planora {

enum class ExportFormat { Png, Svg, Pdf };

// The format named by the file's extension (case does not matter), none for others.
std::optional<ExportFormat> exportFormatForPath(const std::string& path);

struct ExportOptions {
    int width = 1600;  // pixels; for PDF the page keeps this aspect
    int height = 1200;
    ExportFormat format = ExportFormat::Png;
};

// The view that shows the whole drawing in width x height pixels: the drawing's extents fitted.
// A drawing whose extents have no width or no height (a single point, one axis-parallel line) is
// framed by a square around it; an empty drawing keeps the initial view.
ViewTransform wholeDrawingView(const DrawingModel& model, int width, int height);

// The whole drawing on the renderer's background colour, drawn with the screen's raster path.
QImage renderWholeDrawing(const DrawingModel& model, Renderer& renderer, int width, int height);

// Writes the whole drawing to `path`. Returns an empty string on success, else a German message.
std::string exportDrawing(const DrawingModel& model, Renderer& renderer, const std::string& path,
                          const ExportOptions& options);

}  // namespace planora
