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
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "akt_writer.h"
#include "graphics_window.h"
#include "main_window.h"
#include "open_drawing.h"
#include "settings_store.h"

using namespace planora;
namespace akt = planora::akt;

namespace {

constexpr int kW = 1920;
constexpr int kH = 1080;

// 70 % lines, 10 % circles, 10 % arcs (head and end), 10 % texts on 30,000 framed entries,
// 50 layers.
bool writeDrawing(const std::string& path, std::int64_t records) {
    constexpr std::int64_t kTexts = 30'000;
    constexpr int kLayers = 50;
    akt::FileHeader header;
    header.version = 2200;
    header.info[0] = "Benchmark";
    std::ofstream file(path, std::ios::binary);
    akt::StreamWriter w(file, header, records, kTexts);
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> pos(0.0, 10000.0);
    std::uniform_real_distribution<double> len(-20.0, 20.0);
    std::uniform_int_distribution<int> layer(0, kLayers - 1);
    std::uniform_int_distribution<int> pen(1, 8);
    std::uniform_int_distribution<int> textNumber(1, static_cast<int>(kTexts));
    for (std::int64_t i = 0; i < records; ++i) {
        const int slot = static_cast<int>(i % 20);
        const akt::Attributes at{layer(rng), pen(rng), 1, 100};
        const double x = pos(rng);
        const double y = pos(rng);
        if (slot < 14) {
            w.element(akt::lineRecord(2200, x, y, x + len(rng), y + len(rng), at));
        } else if (slot < 16) {
            w.element(akt::circleRecord(2200, x, y, std::abs(len(rng)) + 0.1, at));
        } else if (slot == 16 && i + 1 < records) {
            auto [head, end] = akt::arcRecords(2200, x, y, 2.0, 10, 200, at);
            w.element(head);
            w.element(end);
            ++i;
        } else {
            akt::TextPlacement p;
            p.layer = at.layer;
            p.pen = at.pen;
            w.element(akt::textElementRecord(2200, x, y, textNumber(rng), p));
        }
    }
    for (std::int64_t t = 0; t < kTexts; ++t) {
        akt::TextPlacement p;
        p.frameShape = "0135"[t % 4];
        w.text(akt::textRecord("Raum " + std::to_string(t), p));
    }
    for (int l = 0; l < kLayers; ++l) {
        w.layer(akt::LayerRecord{l, "Folie " + std::to_string(l), l % 7 != 0, std::nullopt});
    }
    return w.finish();
}

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
        if (records <= 0 || !writeDrawing(argv[3], records)) {
            std::fprintf(stderr, "cannot write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    std::string path = argc > 1 ? argv[1] : "";
    if (path.empty()) {
        path = (std::filesystem::temp_directory_path() / "planora-bench-1m.akt").string();
        if (!std::filesystem::exists(path)) {
            std::printf("writing %s ...\n", path.c_str());
            writeDrawing(path, 1'000'000);
        }
    }

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
