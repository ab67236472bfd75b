#include "printing.h"

#include "message_box_layout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QPen>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include "local_file_names.h"
#include "open_drawing.h"
#include "painter_surface.h"
#include "renderer.h"

namespace planora {

namespace {

const QString kDocumentName = QStringLiteral("Planora-Druck");
const QString kCannotStart = QStringLiteral("Druck konnte nicht gestartet werden");

void showMessage(const PrintHooks& hooks, const QString& text, const QString& caption) {
    if (hooks.showMessage) {
        hooks.showMessage(text, caption);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    keepLineBreaks(box);
    box.exec();
}

bool runDialog(const PrintHooks& hooks, QPrinter& printer, QWidget* parent) {
    if (hooks.runDialog) {
        return hooks.runDialog(printer, parent);
    }
    QPrintDialog dialog(&printer, parent);
    // One page is printed: the range choices mean nothing here.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dialog.exec() == QDialog::Accepted;
}

std::unique_ptr<QPrinter> openPrinter(const PrintHooks& hooks, const QString& name) {
    if (hooks.openPrinter) {
        return hooks.openPrinter(name);
    }
    if (name.isEmpty()) {
        return nullptr;
    }
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull()) {
        return nullptr;
    }
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

QString defaultPrinterName(const PrintHooks& hooks) {
    if (hooks.defaultPrinterName) {
        return hooks.defaultPrinterName();
    }
    return QPrinterInfo::defaultPrinterName();
}

// A failure of the print dialog is only reported while the step log is on.
void reportPrintDialogError(const PrintHooks& hooks, const PrintLog& log, const QString& text) {
    if (log.enabled()) {
        showMessage(hooks, text, QStringLiteral("Planora-Fehler"));
    }
}

}  // namespace

PageGeometry pageGeometry(const QPrinter& printer) {
    const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
    const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
    return PageGeometry{paper.size(), page.topLeft() - paper.topLeft(), page.size()};
}

std::optional<PageScale> pageScale(const PageGeometry& page, int clientWidth, int clientHeight) {
    if (clientWidth <= 0 || clientHeight <= 0) {
        return std::nullopt;
    }
    PageScale s;
    s.kx = static_cast<double>(page.physicalSize.width() - kPrintMarginX) / clientWidth;
    s.ky = static_cast<double>(page.physicalSize.height() - kPrintMarginY) / clientHeight;
    s.k = s.kx < s.ky ? s.kx : s.ky;
    if (!(s.k > 0.0)) {
        return std::nullopt;
    }
    s.deviceOriginX = kPrintLeft - page.printingOffset.x();
    return s;
}

PrintLog::PrintLog(QString path) : path_(std::move(path)) {}

void PrintLog::setEnabled(bool on) {
    enabled_ = on;
    if (on) {
        log(QStringLiteral("-------------\nPrintprotokoll eingeschaltet ...."));
    }
}

QString PrintLog::defaultPath() {
    const QString programDir = QCoreApplication::applicationDirPath();
    const QFileInfo dirInfo(programDir);
    if (!programDir.isEmpty() && dirInfo.isDir() && dirInfo.isWritable()) {
        return QDir(programDir).filePath(QStringLiteral("PrintDbg.txt"));
    }
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dataDir.isEmpty()) {
        return {};
    }
    QDir().mkpath(dataDir);
    return QDir(dataDir).filePath(QStringLiteral("PrintDbg.txt"));
}

QString PrintLog::path() {
    if (path_.isEmpty()) {
        path_ = defaultPath();
    }
    return path_;
}

void PrintLog::log(const QString& text) {
    if (!enabled_) {
        return;
    }
    const QString file = path();
    if (file.isEmpty()) {
        return;
    }
    // Opened and closed for every line, so that the log is complete whatever happens next.
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        return;
    }
    out.write(text.toUtf8());
    out.write("\n");
}

PrintLog& programPrintLog() {
    static PrintLog log;
    return log;
}

bool printPage(ViewerState& state, int clientWidth, int clientHeight, QPrinter& printer,
               bool blackOutput) {
    if (printer.docName().isEmpty()) {
        printer.setDocName(kDocumentName);
    }
    const PageGeometry page = pageGeometry(printer);
    RenderRequest request;
    request.blackOutput = blackOutput;
    request.view = state.view.displayedView();
    if (const std::optional<PageScale> scale = pageScale(page, clientWidth, clientHeight)) {
        // The drawing's left edge, at pixel 0 on the screen, lands at the left position on the
        // paper; the vertical position is the screen position times k.
        request.view = scaledOutputView(state.view, scale->deviceOriginX, scale->k);
    }

    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const int width = page.printableSize.width();
    const int height = page.printableSize.height();
    // A frame along the printable area, filled white.
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::white);
    painter.drawRect(QRect(0, 0, width - 1, height - 1));
    {
        PainterSurface surface(painter, width, height);
        state.renderer.render(surface, state.drawing.store, request);
    }
    return painter.end();
}

bool printWithDialog(ViewerState& state, int clientWidth, int clientHeight, QWidget* parent,
                     const PrintHooks& hooks, PrintLog& log) {
    log.log(QStringLiteral("1. Starte printWithDialog"));
    log.log(QStringLiteral("2. erster Aufruf PrintDlg"));
    if (defaultPrinterName(hooks).isEmpty()) {
        reportPrintDialogError(hooks, log, QStringLiteral("PrintDlg-Fehler PDERR_NODEFAULTPRN"));
    }
    log.log(QStringLiteral("3. PrintDlg mit PD_RETURNDEFAULT abgeschlossen"));

    log.log(QStringLiteral("4. Besetze DocInfo-Struktur"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(kDocumentName);
    log.log(QStringLiteral("5. Besetze PRINTDLG-Struktur"));
    log.log(QStringLiteral("6. Aufruf PrintDlg als Dialog"));
    const bool accepted = runDialog(hooks, printer, parent);

    bool printed = false;
    if (!accepted) {
        reportPrintDialogError(hooks, log,
                               QStringLiteral("PrintDlg-Fehler unbekannter Error-Code"));
    } else {
        log.log(QStringLiteral("7. Setze PrintDev"));
        log.log(QStringLiteral("8. Druck starten"));
        printed = printPage(state, clientWidth, clientHeight, printer, true);
        log.log(QStringLiteral("9. PrintDev zurücksetzen"));
        if (!printed) {
            showMessage(hooks, kCannotStart, QStringLiteral("!!"));
        }
    }
    log.log(QStringLiteral("10. Funktion printWithDialog wird wieder beendet"));
    return printed;
}

bool printToNamedPrinter(ViewerState& state, int clientWidth, int clientHeight,
                         const QString& printerName, const PrintHooks& hooks) {
    std::unique_ptr<QPrinter> printer = openPrinter(hooks, printerName);
    if (!printer) {
        showMessage(hooks, kCannotStart, QStringLiteral("!!"));
        return false;
    }
    printer->setDocName(kDocumentName);
    // This path prints in the pen colours.
    if (!printPage(state, clientWidth, clientHeight, *printer, false)) {
        showMessage(hooks, kCannotStart, QStringLiteral("!!"));
        return false;
    }
    return true;
}

bool printToDefaultPrinter(ViewerState& state, int clientWidth, int clientHeight,
                           const PrintHooks& hooks) {
    const QString name = defaultPrinterName(hooks);
    if (name.isEmpty()) {
        // Device, driver and port are all unknown without a default printer.
        showMessage(hooks, QStringLiteral("Fehler\nDev.: <> <> <>"),
                    QStringLiteral("GetProfileString"));
        return false;
    }
    return printToNamedPrinter(state, clientWidth, clientHeight, name, hooks);
}

int runPrintTo(ViewerState& state, const QStringList& arguments, const PrintHooks& hooks) {
    bool anyGiven = false;
    for (qsizetype i = 0; i < arguments.size() && i < 4; ++i) {
        anyGiven = anyGiven || !arguments[i].isEmpty();
    }
    if (!anyGiven) {
        showMessage(hooks, QStringLiteral("Installationsfehler"), QStringLiteral("Achtung"));
        return 1;
    }
    const QString file = arguments.value(0);
    // A folder, a named pipe or a device is never opened: reading a pipe would block the run.
    if (const auto notRegular = nonRegularFileText(file)) {
        showMessage(hooks, QStringLiteral("Dateieinlesefehler\n") + *notRegular,
                    QStringLiteral("Achtung"));
        return 1;
    }
    OpenResult opened;
    if (!file.isEmpty()) {
        opened = openDrawing(localFileName(file));
    }
    if (!opened.ok()) {
        showMessage(hooks, QStringLiteral("Dateieinlesefehler"), QStringLiteral("Achtung"));
        return 1;
    }
    installDrawing(state, std::move(*opened.model), ZoomOnInstall::All, kPrintToClientWidth,
                   kPrintToClientHeight);

    const QString printer = arguments.value(1);
    const bool printed =
        printer.isEmpty()
            ? printToDefaultPrinter(state, kPrintToClientWidth, kPrintToClientHeight, hooks)
            : printToNamedPrinter(state, kPrintToClientWidth, kPrintToClientHeight, printer, hooks);
    return printed ? 0 : 1;
}

}  // namespace planora
