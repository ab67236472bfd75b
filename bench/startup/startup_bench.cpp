// Times the program from its start to the first complete picture of a drawing named on the
// command line: the program's own start-up (application, settings, main window, pen colours,
// the commands of the command line) runs as in planora, and the run ends as soon as the graphics
// window has painted the exact picture of the loaded drawing (not a moved or scaled earlier one).
// Prints the milliseconds since the start.
//
//   PLANORA_START_NS=$(date +%s%N) planora_startup_bench [FILE]
//
// PLANORA_START_NS is the start in nanoseconds of the realtime clock, taken by the shell just
// before the program is started, so that loading the program and its libraries counts too;
// without it the start is the process's start time (to 10 ms). PLANORA_BENCH_SETTINGS may name
// a settings file kept between runs (see below). FILE defaults to
// planora-bench-1m.akt in the temp folder. Run it under Xvfb or with QT_QPA_PLATFORM=offscreen;
// bench/startup/startup_bench.sh runs it repeatedly under a private Xvfb and prints the median.
#include <unistd.h>
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>

#include "bench_drawing.h"
#include "command_line.h"
#include "drawing_read.h"
#include "graphics_window.h"
#include "logo_window.h"
#include "main_window.h"
#include "renderer.h"
#include "settings_store.h"
#include "start_up_work.h"

namespace {

double nowNs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// The start of this process on the realtime clock, from /proc (in clock ticks since boot).
double processStartNs() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    std::istringstream fields(close == std::string::npos ? std::string() : text.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) {
            timespec boot{}, real{};
            clock_gettime(CLOCK_BOOTTIME, &boot);
            clock_gettime(CLOCK_REALTIME, &real);
            const double sinceBootNs = std::stod(field) / sysconf(_SC_CLK_TCK) * 1e9;
            const double bootNs = static_cast<double>(real.tv_sec - boot.tv_sec) * 1e9 +
                                  static_cast<double>(real.tv_nsec - boot.tv_nsec);
            return bootNs + sinceBootNs;
        }
    }
    return nowNs();
}

// Ends the run after the first paint of the graphics window that shows a loaded drawing.
class TimedApplication : public QApplication {
  public:
    TimedApplication(int& argc, char** argv, double startNs)
        : QApplication(argc, argv), startNs_(startNs) {}

    void watch(planora::MainWindow* window) { window_ = window; }

    bool notify(QObject* receiver, QEvent* event) override {
        const bool paint = event->type() == QEvent::Paint;
        const bool result = QApplication::notify(receiver, event);
        auto* graphics = paint ? qobject_cast<planora::GraphicsWindow*>(receiver) : nullptr;
        if (graphics != nullptr && window_ &&
            window_->viewerState().drawing.store.elementCount() > 0 && graphics->pictureExact()) {
            const double ms = (nowNs() - startNs_) / 1e6;
            std::printf("start to complete picture: %.1f ms (%zu elements)\n", ms,
                        window_->viewerState().drawing.store.elementCount());
            std::fflush(stdout);
            std::_Exit(0);
        }
        return result;
    }

  private:
    double startNs_;
    QPointer<planora::MainWindow> window_;
};

}  // namespace

int main(int argc, char** argv) {
    const char* given = std::getenv("PLANORA_START_NS");
    const double startNs = given != nullptr ? std::atof(given) : processStartNs();
    const QString drawing = argc > 1 ? QFile::decodeName(argv[1])
                                     : QString::fromStdString(planora::bench::benchDrawingPath());

    std::unique_ptr<planora::DrawingRead> startedRead =
        planora::DrawingRead::startForCommandLine({drawing});
    std::jthread fonts = planora::readFontConfiguration();
    TimedApplication app(argc, argv, startNs);
    const std::jthread stamps = planora::takeProcessStamps();
    const std::jthread sessionBus = planora::connectSessionBus();
    if (fonts.joinable()) {
        fonts.join();
    }
    QApplication::setOrganizationName(QStringLiteral("Quellmark"));
    QApplication::setApplicationName(QStringLiteral("Planora"));
    const planora::CommandLine commandLine = planora::parseCommandLine({drawing});

    // As the program starts: the logo window, the main window with the command line's files,
    // the pen colours, then the commands of the command line once the event loop runs.
    const QScreen* screen = QGuiApplication::primaryScreen();
    std::future<QImage> logoPicture;
    if (screen) {
        logoPicture = std::async(std::launch::async, [depth = screen->depth()] {
            return planora::renderLogoImage(depth);
        });
    }
    // Settings of a program that has run before (pen and colour tables chosen), kept apart
    // from the user's own; a first start would ask about the colours first. A program that has
    // run before only reads them: with PLANORA_BENCH_SETTINGS naming a settings file, a run
    // writes it only when it is missing, so that the runs after the first time no writes.
    const QString settingsFile = qEnvironmentVariable("PLANORA_BENCH_SETTINGS");
    QTemporaryDir settingsFolder;
    planora::SettingsStore settings(settingsFile.isEmpty()
                                        ? settingsFolder.filePath(QStringLiteral("Planora.conf"))
                                        : settingsFile);
    if (settingsFile.isEmpty() || !QFile::exists(settingsFile)) {
        settings.setPenTable({0, 1, 2, 3, 4, 5, 6, 7});
        planora::ColourTable colours{};
        std::copy_n(planora::defaultColourTable().begin(),
                    std::min(colours.size(), planora::defaultColourTable().size()),
                    colours.begin());
        settings.setColourTable(colours);
    }
    planora::MainWindow window(settings);
    QPointer<planora::LogoWindow> logo;
    if (screen) {
        const QImage picture = logoPicture.get();
        logo = new planora::LogoWindow(planora::logoPictureFromImage(picture), screen->geometry());
    }
    app.watch(&window);
    window.setCommandLineFiles(commandLine.arguments);
    window.setStartedRead(std::move(startedRead));
    window.setLogoWindow(logo);
    window.initPenColours();
    for (int command : planora::startupCommands(commandLine)) {
        QTimer::singleShot(0, &window, [&window, command] { window.executeCommand(command); });
    }
    QTimer::singleShot(30000, &app, [] {
        std::fprintf(stderr, "no complete picture within 30 s\n");
        std::_Exit(1);
    });
    return QApplication::exec();
}
