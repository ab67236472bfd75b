// A small stand-in for the desktop program's print and clipboard commands, for the end-to-end
// tests against a real print server and a real X clipboard:
//
//   planora_print_driver /printto DRAWING [PRINTER [DRIVER [PORT]]]   (also --printto)
//       the command-line print; messages go to standard error instead of a message box
//   planora_print_driver clipboard DRAWING WIDTH HEIGHT
//       frames the drawing with zoom all in a WIDTH x HEIGHT window, copies it to the clipboard,
//       says "kopiert" on standard output and keeps the clipboard until it is ended (at most
//       60 seconds)
#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <utility>

#include "clipboard_copy.h"
#include "local_file_names.h"
#include "open_drawing.h"
#include "printing.h"
#include "renderer.h"

namespace {

void message(const QString& text, const QString& caption) {
    std::fprintf(stderr, "Meldung [%s]: %s\n", caption.toUtf8().constData(),
                 text.toUtf8().constData());
}

int usage() {
    std::fprintf(stderr,
                 "Aufruf: planora_print_driver /printto DATEI [DRUCKER [TREIBER [ANSCHLUSS]]]\n"
                 "        planora_print_driver clipboard DATEI BREITE HÖHE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        return usage();
    }
    const QString mode = args.takeFirst();
    planora::ViewerState state;

    if (mode.compare(QStringLiteral("/printto"), Qt::CaseInsensitive) == 0 ||
        mode.compare(QStringLiteral("--printto"), Qt::CaseInsensitive) == 0) {
        planora::PrintHooks hooks;
        hooks.showMessage = message;
        return planora::runPrintTo(state, args, hooks);
    }

    if (mode == QStringLiteral("clipboard") && args.size() == 3) {
        bool okW = false;
        bool okH = false;
        const int width = args[1].toInt(&okW);
        const int height = args[2].toInt(&okH);
        if (!okW || !okH || width <= 0 || height <= 0) {
            return usage();
        }
        planora::OpenResult opened = planora::openDrawing(planora::localFileName(args[0]));
        if (!opened.ok()) {
            message(QStringLiteral("Dateieinlesefehler"), QStringLiteral("Achtung"));
            return 1;
        }
        planora::installDrawing(state, std::move(*opened.model), planora::ZoomOnInstall::All, width,
                                height);
        if (!planora::copyToClipboard(state, width, height)) {
            return 1;
        }
        std::printf("kopiert\n");
        std::fflush(stdout);
        QTimer::singleShot(60000, &app, &QCoreApplication::quit);
        return app.exec();
    }
    return usage();
}
