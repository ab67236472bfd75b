// Times drawing the 1,000,000-element drawing of the loader benchmark (a) whole into 1920 x 1080
// and (b) zoomed so that about 1 % of its area shows, each element by element and with the fast
// path, and prints the milliseconds of each and their ratio.
//
//   planora_render_bench [FILE]   (FILE defaults to planora-bench-1m.akt in the temp folder; it
//                                  is written first when it does not exist)
//   planora_render_bench --repeat a|b N [FILE]
//                                 renders only case (a) or (b) with the fast path N times and
//                                 prints each time, for profiling with perf or callgrind
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_drawing.h"
#include "drawing_file.h"
#include "painter_surface.h"
#include "renderer.h"
#include "view_transform.h"

using namespace planora;

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

double renderMs(Renderer& renderer, const DrawingModel& model, const ViewTransform& view,
                Renderer::Path path, QImage& image) {
    image.fill(Qt::black);
    const auto start = std::chrono::steady_clock::now();
    {
        QPainter painter(&image);
        PainterSurface surface(painter, kW, kH);
        renderer.renderElements(surface, view, model.store, path);
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The median of several runs (after one warm-up run that also builds the fast path's cache).
double medianMs(Renderer& renderer, const DrawingModel& model, const ViewTransform& view,
                Renderer::Path path, int runs, double* firstMs) {
    QImage image(kW, kH, QImage::Format_RGB32);
    const double first = renderMs(renderer, model, view, path, image);
    if (firstMs != nullptr) {
        *firstMs = first;
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        times.push_back(renderMs(renderer, model, view, path, image));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    char repeatCase = 0;
    int repeatCount = 0;
    int argi = 1;
    if (argc > 3 && std::string(argv[1]) == "--repeat") {
        repeatCase = argv[2][0];
        repeatCount = std::max(1, std::atoi(argv[3]));
        argi = 4;
    }
    const std::string path = argc > argi ? argv[argi] : planora::bench::benchDrawingPath();
    DrawingModel model;
    if (loadDrawing(model, path) == 0) {
        std::fprintf(stderr, "Einlesefehler: %s (%s)\n", model.lastLoadError.c_str(), path.c_str());
        return 1;
    }
    applyLayerFlags(model);
    std::printf("%s: %zu elements\n", path.c_str(), model.store.elementCount());

    View view;
    view.zoomAll(kW, kH, model.store);
    const ViewTransform whole = view.currentView();
    // 10 % of the width and height about the middle: 1 % of the area.
    view.zoomToDeviceRect(kW, kH, kW * 45 / 100, kH * 45 / 100, kW * 55 / 100, kH * 55 / 100);
    const ViewTransform detail = view.currentView();

    if (repeatCase != 0) {
        Renderer renderer;
        QImage image(kW, kH, QImage::Format_RGB32);
        for (int i = 0; i < repeatCount; ++i) {
            std::printf("%.2f ms\n", renderMs(renderer, model, repeatCase == 'a' ? whole : detail,
                                              Renderer::Path::Fast, image));
        }
        return 0;
    }

    struct Case {
        const char* name;
        ViewTransform view;
        double goalMs;
    };
    const Case cases[] = {{"(a) whole drawing, 1920x1080", whole, 150.0},
                          {"(b) 1 % of the area, 1920x1080", detail, 8.0}};
    bool allMet = true;
    for (const Case& c : cases) {
        Renderer plain, fast;
        const double plainMs =
            medianMs(plain, model, c.view, Renderer::Path::ElementByElement, 3, nullptr);
        double firstMs = 0.0;
        const double fastMs = medianMs(fast, model, c.view, Renderer::Path::Fast, 9, &firstMs);
        const bool met = fastMs <= c.goalMs;
        allMet = allMet && met;
        std::printf(
            "%s\n  element by element %9.2f ms\n  fast path          %9.2f ms"
            "  (first paint, with building the element cache: %.2f ms)\n"
            "  ratio              %9.2f x   goal <= %.0f ms: %s\n",
            c.name, plainMs, fastMs, firstMs, plainMs / fastMs, c.goalMs, met ? "met" : "NOT met");
    }
    return allMet ? 0 : 3;
}
