#include "thumbnail_command.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QString>
#include <algorithm>
#include <charconv>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "open_drawing.h"
#include "painter_surface.h"
#include "renderer.h"
#include "view_transform.h"

namespace {

constexpr int kDefaultSize = 256;
constexpr int kMaxSize = 4096;
constexpr int kMargin = 2;  // pixels kept free around the drawing
// A preview that takes longer than this is given up: the file manager would wait for it.
constexpr unsigned kTimeLimitSeconds = 30;

const char kThumbnailUsage[] =
    "Aufruf: planora-cli thumbnail [-s GRÖSSE] ZEICHNUNG.akt AUSGABE.png\n"
    "  Vorschaubild der ganzen Zeichnung, quadratisch GRÖSSE x GRÖSSE Pixel (Vorgabe 256,\n"
    "  höchstens 4096), schwarz auf weiß.\n";

extern "C" void giveUp(int) {
    _exit(1);
}

std::optional<int> parseSize(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 1 || value > kMaxSize) {
        return std::nullopt;
    }
    return value;
}

// The whole drawing fitted into the square and centred in both directions.
planora::ViewTransform thumbnailView(const planora::ElementStore& store, int size) {
    planora::View view;
    planora::WorldBox box;
    if (planora::drawingExtents(store, box) == 0) {
        return view.currentView();
    }
    double w = box.xmax - box.xmin;
    double h = box.ymax - box.ymin;
    if (!(w > 0.0) || !(h > 0.0)) {
        // A point or one axis-parallel line: framed by a square around its middle.
        const double side = std::max({w, h, 1.0});
        const double cx = (box.xmin + box.xmax) / 2.0;
        const double cy = (box.ymin + box.ymax) / 2.0;
        box = planora::WorldBox{cx - side / 2.0, cy - side / 2.0, cx + side / 2.0, cy + side / 2.0};
        w = h = side;
    }
    const int inner = std::max(1, size - 2 * kMargin);
    if (!view.fitBox(inner, inner, box)) {
        return view.currentView();
    }
    planora::ViewTransform t = view.currentView();
    const int wp = planora::truncToPixel(w * t.scale);
    t.deviceOriginX = kMargin + std::max(0, (inner - wp) / 2);
    t.deviceOriginY += kMargin;
    return t;
}

}  // namespace

int runThumbnailCommand(const std::vector<std::string>& args, std::ostream& out,
                        std::ostream& err) {
    int size = kDefaultSize;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            out << kThumbnailUsage;
            return 0;
        }
        if (args[i] == "-s" || args[i] == "--size") {
            const auto parsed = i + 1 < args.size() ? parseSize(args[i + 1]) : std::nullopt;
            if (!parsed) {
                err << "planora-cli: Ungültige Größe (1 bis " << kMaxSize << " Pixel).\n\n"
                    << kThumbnailUsage;
                return 2;
            }
            size = *parsed;
            ++i;
            continue;
        }
        files.push_back(args[i]);
    }
    if (files.size() != 2) {
        err << "planora-cli: Der Befehl \"thumbnail\" erwartet eine Zeichnung und eine "
               "Ausgabedatei.\n\n"
            << kThumbnailUsage;
        return 2;
    }
    const std::string& input = files[0];
    const std::string& output = files[1];

    std::signal(SIGALRM, giveUp);
    alarm(kTimeLimitSeconds);

    std::error_code ec;
    // Only regular files are read: a pipe or device would block or never end.
    if (!std::filesystem::is_regular_file(input, ec)) {
        err << "Einlesefehler: keine normale Datei (" << input << ")\n";
        return 1;
    }
    if (std::filesystem::equivalent(input, output, ec)) {
        err << "planora-cli: Die Ausgabe darf nicht die Zeichnung selbst sein (" << output << ")\n";
        return 1;
    }
    const planora::OpenResult opened = planora::openDrawing(input);
    if (!opened.ok()) {
        err << "Einlesefehler: " << (opened.error.empty() ? "unbekannter Fehler" : opened.error)
            << " (" << input << ")\n";
        return 1;
    }
    // A drawing that loaded only in part gets no preview: a file manager would keep showing the
    // incomplete picture as if it were the drawing.
    if (!opened.warning.empty()) {
        err << opened.warning << " (" << input << ")\n";
        return 1;
    }

    // Previews are made without a screen, also where one exists: the file manager runs them
    // in the background.
    std::unique_ptr<QGuiApplication> app;
    if (QCoreApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        static int argc = 1;
        static char name[] = "planora-cli";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QGuiApplication>(argc, argv);
    }

    QImage image(size, size, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        planora::PainterSurface surface(painter, size, size);
        surface.setDirectPixels(true);
        planora::Renderer renderer;
        renderer.render(
            surface, opened.model->store,
            planora::RenderRequest{thumbnailView(opened.model->store, size), true, 0x00FFFFFFu});
    }

    // Written under a temporary name in the target folder and renamed when complete, so that
    // no half-written preview is ever seen.
    QSaveFile file(QString::fromLocal8Bit(output.c_str()));
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        err << "planora-cli: Ausgabedatei kann nicht geschrieben werden: " << output << "\n";
        return 1;
    }
    alarm(0);
    return 0;
}
