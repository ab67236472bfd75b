#include "drawing_export.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <algorithm>
#include <array>
#include <cctype>
#include <new>

#include "output_file.h"
#include "painter_surface.h"
#include "png_writer.h"
#include "svg_surface.h"

namespace planora {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

std::string cannotWrite(const std::string& target) {
    return "Ausgabedatei kann nicht geschrieben werden: " + target;
}

// What every export asks the renderer for: the whole drawing in the renderer's own colours.
RenderRequest wholeDrawingRequest(const DrawingModel& model, const Renderer& renderer, int width,
                                  int height) {
    RenderRequest request;
    request.view = wholeDrawingView(model, width, height);
    request.blackOutput = renderer.blackOutput();
    return request;
}

void drawInto(QPainter& painter, const DrawingModel& model, Renderer& renderer, int width,
              int height) {
    painter.fillRect(QRect(0, 0, width, height), colourFromColorref(renderer.backgroundColour()));
    PainterSurface surface(painter, width, height);
    renderer.render(surface, model.store, wholeDrawingRequest(model, renderer, width, height));
}

std::string writePng(QIODevice& out, const DrawingModel& model, Renderer& renderer,
                     const ExportOptions& options, const std::string& target) {
    const QImage image = renderWholeDrawing(model, renderer, options.width, options.height);
    if (image.isNull()) {
        return outOfMemoryMessage(target);
    }
    return planora::writePng(out, image) ? std::string() : cannotWrite(target);
}

// SVG is written as it is drawn (Qt's own SVG writer keeps the whole document in memory).
std::string writeSvg(QIODevice& out, const DrawingModel& model, Renderer& renderer,
                     const ExportOptions& options, const std::string& target) {
    const int w = options.width;
    const int h = options.height;
    SvgSurface surface(&out, w, h, model.currentDrawingPath);
    RenderRequest request = wholeDrawingRequest(model, renderer, w, h);
    request.background = renderer.backgroundColour();
    renderer.render(surface, model.store, request);
    return surface.finish() ? std::string() : cannotWrite(target);
}

std::string writePdf(QIODevice& out, const DrawingModel& model, Renderer& renderer,
                     const ExportOptions& options, const std::string& target) {
    const int w = options.width;
    const int h = options.height;
    // The long side of the page is 297 mm; the other keeps the aspect of w x h.
    const double longSide = 297.0;
    const QSizeF pageMm =
        w >= h ? QSizeF(longSide, longSide * h / w) : QSizeF(longSide * w / h, longSide);
    QPdfWriter writer(&out);
    writer.setPageSize(QPageSize(pageMm, QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(1200);
    writer.setTitle(qs(model.currentDrawingPath));
    writer.setCreator(QStringLiteral("Planora"));
    QPainter painter;
    if (!painter.begin(&writer)) {
        return cannotWrite(target);
    }
    painter.setWindow(QRect(0, 0, w, h));
    drawInto(painter, model, renderer, w, h);
    return painter.end() ? std::string() : cannotWrite(target);
}

constexpr std::array<ExportFormatInfo, 3> kFormats{{
    {ExportFormat::Png, "png", ".png", &writePng},
    {ExportFormat::Svg, "svg", ".svg", &writeSvg},
    {ExportFormat::Pdf, "pdf", ".pdf", &writePdf},
}};

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

}  // namespace

std::span<const ExportFormatInfo> exportFormats() {
    return kFormats;
}

const ExportFormatInfo& exportFormatInfo(ExportFormat format) {
    for (const ExportFormatInfo& f : kFormats) {
        if (f.format == format) {
            return f;
        }
    }
    return kFormats[0];
}

std::optional<ExportFormat> exportFormatByName(std::string_view name) {
    const std::string wanted = lowered(name);
    for (const ExportFormatInfo& f : kFormats) {
        if (f.name == wanted) {
            return f.format;
        }
    }
    return std::nullopt;
}

std::optional<ExportFormat> exportFormatForPath(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::nullopt;
    }
    return exportFormatByName(std::string_view(path).substr(dot + 1));
}

ViewTransform wholeDrawingView(const DrawingModel& model, int width, int height) {
    View view;
    WorldBox box;
    if (drawingExtents(model.store, box) == 0) {
        return view.currentView();
    }
    const double w = box.xmax - box.xmin;
    const double h = box.ymax - box.ymin;
    if (!(w > 0.0) || !(h > 0.0)) {
        // Frame a degenerate drawing by a square around its middle.
        const double side = std::max({w, h, 1.0});
        const double cx = (box.xmin + box.xmax) / 2.0;
        const double cy = (box.ymin + box.ymax) / 2.0;
        box = WorldBox{cx - side / 2.0, cy - side / 2.0, cx + side / 2.0, cy + side / 2.0};
    }
    view.fitInside(width, height, box);
    return view.currentView();
}

QImage renderWholeDrawing(const DrawingModel& model, Renderer& renderer, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    QPainter painter(&image);
    drawInto(painter, model, renderer, width, height);
    painter.end();
    return image;
}

std::string outOfMemoryMessage(const std::string& target) {
    return "Nicht genug Arbeitsspeicher für die Ausgabe: " + target;
}

std::string exportDrawing(const DrawingModel& model, Renderer& renderer, const std::string& path,
                          const ExportOptions& options) {
    const ExportFormatInfo& format = exportFormatInfo(options.format);
    OutputFile file(path);
    if (!file.begin()) {
        return cannotWrite(path);
    }
    std::string problem;
    try {
        problem = format.writer(file, model, renderer, options, path);
    } catch (const std::bad_alloc&) {
        problem = outOfMemoryMessage(path);
    }
    if (!problem.empty()) {
        file.discard();
        return problem;
    }
    return file.commit() ? std::string() : cannotWrite(path);
}

}  // namespace planora
