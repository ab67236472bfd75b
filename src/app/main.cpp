// The program entry of the desktop viewer: command line, logo window, main window, then the
// command-line files.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <future>
#include <memory>
#include <thread>

#include "command_line.h"
#include "drawing_read.h"
#include "local_file_names.h"
#include "logo_window.h"
#include "main_window.h"
#include "pen_colours.h"
#include "printing.h"
#include "renderer.h"
#include "settings_store.h"
#include "shell_integration.h"
#include "start_up_work.h"
#include "text_encoding.h"
#include "viewer_state.h"

namespace {

// A message for the error stream: file names in it may hold control characters or bytes that are
// not UTF-8, which must not reach the terminal as they are.
QString printableText(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        line = QString::fromStdString(planora::printableFileName(planora::localFileName(line)));
    }
    return lines.join(QLatin1Char('\n'));
}

void printText(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// The pen colours of a print run: those of the settings, else the built-in configuration. A
// print run has no one to answer the first-start question, so it neither asks nor stores.
void loadPrintColours(planora::ViewerState& state, const planora::SettingsStore& settings) {
    const auto pens = settings.penTable();
    const auto colours = settings.colourTable();
    if (pens && colours) {
        planora::applyColourTable(state.renderer, *colours);
        planora::applyPenTable(state.renderer, planora::penNumbersFromStore(*pens));
        return;
    }
    planora::ColourTable table{};
    const auto& builtIn = planora::defaultColourTable();
    std::copy(builtIn.begin(), builtIn.end(), table.begin());
    planora::applyColourTable(state.renderer, table);
    planora::applyPenTable(state.renderer, planora::PenNumbers{1, 2, 3, 4, 5, 6, 7, 8});
}

// Whether a person can see windows on the platform the program runs on.
bool windowsCanBeSeen() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// Command 98: prints the command-line drawing and ends without showing a window. Its reports
// go to the error stream as well, for print runs started by other programs; where no one can
// see a window they go there only, and the run ends at once.
int printFromCommandLine(const planora::CommandLine& commandLine) {
    const planora::SettingsStore settings;
    auto state = std::make_unique<planora::ViewerState>();
    loadPrintColours(*state, settings);
    planora::PrintHooks hooks;
    const bool showBoxes = windowsCanBeSeen();
    hooks.showMessage = [showBoxes](const QString& text, const QString& caption) {
        printText(stderr, QStringLiteral("planora: ") + printableText(text) + QLatin1Char('\n'));
        if (showBoxes) {
            planora::showMessageBox({QMessageBox::NoIcon, caption, text});
        }
    };
    return planora::runPrintTo(*state, commandLine.arguments, hooks);
}

// Termination signals end the program through its event loop, so that the main window is
// destroyed and takes the folders of unpacked zip files with it. The handler only writes a byte;
// the loop reads it.
int gSignalSocket[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(gSignalSocket[1], &byte, 1);
}

void quitOnTerminationSignals(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalSocket) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(gSignalSocket[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(gSignalSocket[0], &byte, 1);
        // Unlike quit(), not held up by a window that refuses to close during zip work: the
        // work finishes, then the loop ends.
        QApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The command line is looked at before any window exists; "--help" and "--version" do not
    // even need a display.
    // Arguments are local file names: every byte is kept, also where they are not UTF-8.
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << planora::fileNameFromLocal(QByteArray(argv[i]));
    }
    const planora::CommandLine commandLine = planora::parseCommandLine(args);
    switch (planora::startAction(commandLine)) {
        case planora::StartAction::ShowHelp:
            printText(stdout, planora::helpText());
            return 0;
        case planora::StartAction::ShowVersion:
            printText(stdout, planora::versionText());
            return 0;
        case planora::StartAction::Run:
            break;
    }

    // A print run started where there is no display (a print service, a script) draws nowhere
    // but on the printer: it runs on the offscreen platform instead of aborting.
    if (commandLine.printMode() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The drawing named first on the command line is read while the windows are made, and so
    // is the font configuration.
    std::unique_ptr<planora::DrawingRead> startedRead;
    if (!commandLine.printMode()) {
        startedRead = planora::DrawingRead::startForCommandLine(commandLine.arguments);
    }
    std::jthread fonts = planora::readFontConfiguration();
    QApplication app(argc, argv);
    const std::jthread stamps = planora::takeProcessStamps();
    const std::jthread sessionBus = planora::connectSessionBus();
    QApplication::setOrganizationName(QStringLiteral("Quellmark"));
    QApplication::setApplicationName(QStringLiteral("Planora"));
    QApplication::setApplicationVersion(planora::programVersion());
    // The program speaks German; the standard dialogs do too when Qt's translations are there.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtTexts);
    }

    if (fonts.joinable()) {
        fonts.join();  // texts follow
    }
    if (commandLine.hasSwitch(QStringLiteral("showpar"))) {
        for (const QString& argument : commandLine.arguments) {
            planora::showMessageBox({QMessageBox::NoIcon, QStringLiteral("Info"), argument});
        }
    }

    if (commandLine.printMode()) {
        return printFromCommandLine(commandLine);
    }

    // The logo picture is drawn on a thread of its own while the main window is made; the logo
    // window is made hidden and shown once the main window is on screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    std::future<QImage> logoPicture;
    if (screen) {
        logoPicture = std::async(std::launch::async, [depth = screen->depth()] {
            return planora::renderLogoImage(depth);
        });
    }

    quitOnTerminationSignals(app);
    planora::SettingsStore settings;
    planora::MainWindow window(settings);
    QPointer<planora::LogoWindow> logo;
    if (screen) {
        const QImage picture = logoPicture.get();
        logo = new planora::LogoWindow(planora::logoPictureFromImage(picture),
                                       screen->geometry());  // deletes itself on close
    }
    window.setCommandLineFiles(commandLine.arguments);
    window.setStartedRead(std::move(startedRead));
    window.setLogoWindow(logo);
    window.initPenColours();
    // Archive files open with Planora from the file manager, unless a program claims them.
    planora::registerArchiveType(planora::XdgPlaces::fromEnvironment(), planora::programExecName());
    for (int command : planora::startupCommands(commandLine)) {
        QTimer::singleShot(0, &window, [&window, command] { window.executeCommand(command); });
    }
    const int code = QApplication::exec();
    if (logo) {
        delete logo.data();
    }
    return code;
}
