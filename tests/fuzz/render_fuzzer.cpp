// libFuzzer target for the whole way from bytes to pixels: load, then draw the drawing as "zoom
// all" frames it and zoomed far in, with the fast path into a small raster image and through the
// vector path into an SVG surface that only counts what it would write.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "drawing_export.h"
#include "drawing_file.h"
#include "painter_surface.h"
#include "renderer.h"
#include "svg_surface.h"

namespace {

void ensureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "planora_render_fuzzer";
        static char* argv[] = {name, nullptr};
        // Kept for the whole run and deliberately never destroyed: a fuzz target has no end of
        // its own, and destroying the application at exit, after Qt's own statics, crashes.
        static QGuiApplication* const app = std::make_unique<QGuiApplication>(argc, argv).release();
        (void)app;
    }
}

void drawBoth(planora::Renderer& renderer, const planora::DrawingModel& model,
              const planora::ViewTransform& view) {
    constexpr int kW = 96;
    constexpr int kH = 64;
    planora::RenderRequest request;
    request.view = view;
    request.background = 0x00102030u;
    QImage image(kW, kH, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        planora::PainterSurface surface(painter, kW, kH);
        renderer.render(surface, model.store, request);
    }
    planora::SvgSurface svg(nullptr, kW, kH, "fuzz");
    request.blackOutput = true;
    renderer.render(svg, model.store, request);
    svg.finish();
}

}  // namespace

// Fontconfig keeps its caches until the process ends; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    planora::DrawingModel model;
    if (planora::loadDrawingFromBytes(model, std::span<const std::uint8_t>(data, size),
                                      "fuzz.akt") != 1) {
        return 0;
    }
    planora::applyLayerFlags(model);
    planora::Renderer renderer;
    planora::ViewTransform view = planora::wholeDrawingView(model, 96, 64);
    drawBoth(renderer, model, view);
    // Far in, about the first element's first point: extreme device coordinates and culling.
    if (model.store.elementCount() > 0) {
        const planora::Element& first = model.store.elementArray()[0];
        view.scale *= 4096.0;
        view.worldOriginX = first.g[0];
        view.worldOriginY = first.g[1];
        view.deviceOriginY = 32;
        drawBoth(renderer, model, view);
    }
    return 0;
}
