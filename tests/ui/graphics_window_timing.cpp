// Times the graphics window on the example drawings and, when present, the 1,000,000-element
// drawing of the loader benchmark: a full repaint after a view change, a repaint from the cached
// picture, one middle-drag step each way and one rubber-band move. Prints milliseconds; asserts
// nothing.
//
//   planora_graphics_window_timing [WIDTH HEIGHT [FILE...]]
#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "drawing_file.h"
#include "graphics_window.h"
#include "open_drawing.h"

using namespace planora;

namespace {

template <typename F>
double millis(int repeats, F&& f) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i) {
        f();
    }
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / repeats;
}

void send(GraphicsWindow& w, QEvent::Type type, QPoint p, Qt::MouseButton button,
          Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(p), QPointF(w.mapToGlobal(p)), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

void timeFile(const std::string& path, int width, int height) {
    ViewerState state;
    OpenResult opened = openDrawing(path);
    if (!opened.ok()) {
        std::printf("%s: cannot be loaded\n", path.c_str());
        return;
    }
    installDrawing(state, std::move(*opened.model));
    GraphicsWindow window(state);
    window.resize(width, height);
    window.show();
    for (int i = 0; i < 100 && !(window.windowHandle() && window.windowHandle()->isExposed());
         ++i) {
        QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    window.drawingLoaded();
    const double first = millis(1, [&] { window.repaint(); });
    const double full = millis(5, [&] {
        window.redraw();
        window.repaint();
    });
    const double cached = millis(5, [&] {
        window.update();
        window.repaint();
    });
    send(window, QEvent::MouseButtonPress, {width / 2, height / 2}, Qt::MiddleButton,
         Qt::MiddleButton);
    int step = 0;
    const double pan = millis(10, [&] {
        ++step;
        send(window, QEvent::MouseMove, {width / 2 + 3 * step, height / 2 + 2 * step}, Qt::NoButton,
             Qt::MiddleButton);
        window.repaint();
    });
    // The other way round uncovers the right and bottom edges.
    const QPoint turn(width / 2 + 3 * step, height / 2 + 2 * step);
    step = 0;
    const double panBack = millis(10, [&] {
        ++step;
        send(window, QEvent::MouseMove, turn - QPoint(3 * step, 2 * step), Qt::NoButton,
             Qt::MiddleButton);
        window.repaint();
    });
    send(window, QEvent::MouseButtonRelease, turn - QPoint(3 * step, 2 * step), Qt::MiddleButton,
         Qt::NoButton);
    window.repaint();
    window.startZoomWindow();
    send(window, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    send(window, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton);
    step = 0;
    const double band = millis(10, [&] {
        ++step;
        send(window, QEvent::MouseMove, {100 + 5 * step, 80 + 3 * step}, Qt::NoButton,
             Qt::NoButton);
        window.repaint();
    });
    std::printf(
        "%s (%zu elements) at %dx%d: first paint %.1f ms, full repaint %.1f ms, cached repaint "
        "%.2f ms, pan step %.1f ms (up-left %.1f ms), rubber band move %.2f ms\n",
        std::filesystem::path(path).filename().c_str(), state.drawing.store.elementCount(), width,
        height, first, full, cached, pan, panBack, band);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int width = 1200;
    int height = 800;
    std::vector<std::string> files;
    if (argc >= 3) {
        width = std::atoi(argv[1]);
        height = std::atoi(argv[2]);
        for (int i = 3; i < argc; ++i) {
            files.emplace_back(argv[i]);
        }
    }
    if (files.empty()) {
        for (const char* name : {"haus-0510.akt", "haus-0700.akt", "haus-1100.akt", "haus-1800.akt",
                                 "haus-2500.akt"}) {
            files.push_back(std::string(PLANORA_EXAMPLES_DIR) + "/" + name);
        }
        const auto big = std::filesystem::temp_directory_path() / "planora-bench-1m.akt";
        if (std::filesystem::exists(big)) {
            files.push_back(big.string());
        }
    }
    for (const std::string& file : files) {
        timeFile(file, width, height);
    }
    return 0;
}
