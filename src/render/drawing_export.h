// Drawing a whole drawing into an image or a PNG, SVG or PDF file, framed as "zoom all" frames it.
// The export formats come from one table (exportFormats()): adding a format means one writer and
// one row.
#pragma once

#include <QIODevice>
#include <QImage>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "drawing_model.h"
#include "renderer.h"
#include "view_transform.h"

namespace planora {

enum class ExportFormat { Png, Svg, Pdf };

struct ExportOptions {
    int width = 1600;  // pixels; for PDF the page keeps this aspect
    int height = 1200;
    ExportFormat format = ExportFormat::Png;
};

// Writes the whole drawing to an open device. Returns an empty string on success, else a German
// message (`target` names the file in it).
using ExportWriter = std::string (*)(QIODevice& out, const DrawingModel& model, Renderer& renderer,
                                     const ExportOptions& options, const std::string& target);

struct ExportFormatInfo {
    ExportFormat format;
    std::string_view name;       // as given to --format: "png"
    std::string_view extension;  // with the dot: ".png"
    ExportWriter writer;
};

// Every export format, in the order they are offered.
std::span<const ExportFormatInfo> exportFormats();
const ExportFormatInfo& exportFormatInfo(ExportFormat format);
// The format of this name ("png", any case); none for others.
std::optional<ExportFormat> exportFormatByName(std::string_view name);
// The format named by the file's extension (case does not matter), none for others.
std::optional<ExportFormat> exportFormatForPath(const std::string& path);

// The view that shows the whole drawing in width x height pixels: the drawing's extents fitted so
// that every point of them lies inside. A drawing whose extents have no width or no height (a
// single point, one axis-parallel line) is framed by a square around it; an empty drawing keeps
// the initial view.
ViewTransform wholeDrawingView(const DrawingModel& model, int width, int height);

// The whole drawing on the renderer's background colour, drawn with the screen's raster path.
// A null image when its memory cannot be had.
QImage renderWholeDrawing(const DrawingModel& model, Renderer& renderer, int width, int height);

// Writes the whole drawing to `path`: into a temporary file in the same folder, which replaces
// `path` only after everything was written and closed, so a failed export leaves no half file and
// keeps an existing one. Returns an empty string on success, else a German message.
std::string exportDrawing(const DrawingModel& model, Renderer& renderer, const std::string& path,
                          const ExportOptions& options);

// The message for an export that ran out of memory.
std::string outOfMemoryMessage(const std::string& target);

}  // namespace planora
