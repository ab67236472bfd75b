// Times the program's window (offscreen, graphics window 1920 x 1080) on a large drawing:
//   (a) the synchronous path: openDrawing, then the first paint of the whole view on the
//       window's thread;
//   (b) opening through MainWindow::openFile, which reads a long load on another thread: the
//       time to the first complete picture and the longest gap in the window's event handling
//       during the load (a 5 ms timer stands for input);
//   (c) a wheel step: from the wheel event to the first changed picture on screen and to the
//       exact picture, and the longest gap in event handling meanwhile.
//
//   planora_window_bench [FILE]          (FILE defaults to the 1,000,000-element benchmark
//                                         drawing in the temp folder, written when missing)
//   planora_window_bench --write N FILE  writes a drawing of N element records with the same
//                                         mix, for the end-to-end runs
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_drawing.h"
#include "graphics_window.h"
#include "main_window.h"
#include "open_drawing.h"
#include "settings_store.h"

using namespace planora;

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The longest time between two ticks of a 5 ms timer while `work` runs the event loop.
struct GapMeter {
    QTimer timer;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    double longest = 0;
    GapMeter() {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const auto now = std::chrono::steady_clock::now();
            longest =
                std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        });
        timer.start();
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--write") {
        const std::int64_t records = std::atoll(argv[2]);
        if (records <= 0 || !bench::writeBenchDrawing(argv[3], records)) {
            std::fprintf(stderr, "cannot write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    const std::string path = argc > 1 ? argv[1] : bench::benchDrawingPath();

    SettingsStore settings(config.filePath(QStringLiteral("Planora.conf")));
    MainWindow window(settings);
    window.setMessageHandler([](const MessageRequest& r) {
        std::fprintf(stderr, "message: %s\n", r.text.toStdString().c_str());
    });
    window.show();
    GraphicsWindow* graphics = window.graphicsWindow();
    window.resize(window.size() + QSize(kW, kH) - graphics->size());
    QApplication::processEvents();
    std::printf("graphics window %d x %d\n", graphics->width(), graphics->height());

    // (a) the synchronous path.
    auto start = std::chrono::steady_clock::now();
    OpenResult opened = openDrawing(path);
    const double loadMs = msSince(start);
    if (!opened.ok()) {
        std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), opened.error.c_str());
        return 1;
    }
    ViewerState state;
    installDrawing(state, std::move(*opened.model));
    GraphicsWindow bare(state);
    bare.resize(kW, kH);
    bare.setPictureWorkerEnabled(false);  // today's path: the picture on the window's thread
    bare.drawingLoaded();
    start = std::chrono::steady_clock::now();
    bare.grab();
    const double paintMs = msSince(start);
    std::printf("(a) synchronous: load %.0f ms + first paint %.0f ms = %.0f ms\n", loadMs, paintMs,
                loadMs + paintMs);

    // (b) through the window's intake.
    {
        GapMeter gaps;
        start = std::chrono::steady_clock::now();
        window.openFile(QString::fromStdString(path), false, false);
        graphics->repaint();
        while (!graphics->pictureExact()) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        graphics->repaint();
        const double total = msSince(start);
        std::printf(
            "(b) openFile to first complete picture %.0f ms (%.2f x synchronous); "
            "longest gap in event handling during the load %.0f ms\n",
            total, total / (loadMs + paintMs), gaps.longest);
    }

    // (c) wheel steps at the centre.
    for (int i = 0; i < 5; ++i) {
        graphics->repaint();
        while (!graphics->pictureExact()) {  // the picture is current
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            graphics->repaint();
        }
        const QPointF at(kW / 2.0, kH / 2.0);
        QWheelEvent wheel(at, graphics->mapToGlobal(at), QPoint(), QPoint(0, i % 2 ? -120 : 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        start = std::chrono::steady_clock::now();
        QApplication::sendEvent(graphics, &wheel);
        graphics->repaint();
        const double firstMs = msSince(start);
        GapMeter gaps;
        while (!graphics->pictureExact()) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            if (graphics->pictureExact()) {
                graphics->repaint();
            }
        }
        const double exactMs = msSince(start);
        std::printf(
            "(c) wheel step %d: first changed picture %.0f ms, exact picture %.0f ms; "
            "longest gap in event handling meanwhile %.0f ms\n",
            i + 1, firstMs, exactMs, std::max(gaps.longest, firstMs));
    }
    return 0;
}
