#include "drawing_export.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>

#include "painter_surface.h"

namespace planora {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

void drawInto(QPainter& painter, const DrawingModel& model, Renderer& renderer, int width,
              int height) {
    painter.fillRect(QRect(0, 0, width, height), colourFromColorref(renderer.backgroundColour()));
    View view;
    view.setCurrentView(wholeDrawingView(model, width, height));
    PainterSurface surface(painter, width, height);
    renderer.renderDrawing(surface, view, model);
}

}  // namespace

std::optional<ExportFormat> exportFormatForPath(const std::string& path) {
    const auto dot = path.find_last_of('.');
    const auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::nullopt;
    }
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == "png") {
        return ExportFormat::Png;
    }
    if (ext == "svg") {
        return ExportFormat::Svg;
    }
    if (ext == "pdf") {
        return ExportFormat::Pdf;
    }
    return std::nullopt;
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
    view.fitBox(width, height, box);
    return view.currentView();
}

QImage renderWholeDrawing(const DrawingModel& model, Renderer& renderer, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    drawInto(painter, model, renderer, width, height);
    painter.end();
    return image;
}

std::string exportDrawing(const DrawingModel& model, Renderer& renderer, const std::string& path,
                          const ExportOptions& options) {
    const int w = options.width;
    const int h = options.height;
    const std::string cannotWrite = "Ausgabedatei kann nicht geschrieben werden: " + path;
    switch (options.format) {
        case ExportFormat::Png: {
            const QImage image = renderWholeDrawing(model, renderer, w, h);
            return image.save(qs(path), "PNG") ? std::string() : cannotWrite;
        }
        case ExportFormat::Svg: {
            QSvgGenerator generator;
            generator.setFileName(qs(path));
            generator.setSize(QSize(w, h));
            generator.setViewBox(QRect(0, 0, w, h));
            generator.setTitle(qs(model.currentDrawingPath));
            QPainter painter;
            if (!painter.begin(&generator)) {
                return cannotWrite;
            }
            drawInto(painter, model, renderer, w, h);
            return painter.end() ? std::string() : cannotWrite;
        }
        case ExportFormat::Pdf: {
            // The long side of the page is 297 mm; the other keeps the aspect of w x h.
            const double longSide = 297.0;
            const QSizeF pageMm =
                w >= h ? QSizeF(longSide, longSide * h / w) : QSizeF(longSide * w / h, longSide);
            QPdfWriter writer(qs(path));
            writer.setPageSize(QPageSize(pageMm, QPageSize::Millimeter));
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            writer.setResolution(1200);
            writer.setTitle(qs(model.currentDrawingPath));
            writer.setCreator(QStringLiteral("Planora"));
            QPainter painter;
            if (!painter.begin(&writer)) {
                return cannotWrite;
            }
            painter.setWindow(QRect(0, 0, w, h));
            drawInto(painter, model, renderer, w, h);
            return painter.end() ? std::string() : cannotWrite;
        }
    }
    return cannotWrite;
}

}  // namespace planora
