// Printing the drawing as the graphics window frames it on one printer page: with the print
// dialog (black), straight to the default printer and to a named printer (both in the pen
// colours), the command-line print run, and the optional step log "PrintDbg.txt".
//
// Printers are reached through Qt's print support (CUPS on Linux). Every message box goes through
// a replaceable function and the print dialog through another, so that tests run without
// blocking and can send the output to a PDF file.
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

#include "viewer_state.h"

class QPrinter;
class QWidget;

namespace planora {

// Page geometry in the printer's device units.
inline constexpr int kPrintMarginX = 360;  // horizontal margins together
inline constexpr int kPrintMarginY = 480;  // vertical margins together
inline constexpr int kPrintLeft = 240;     // left edge of the drawing from the paper's left edge

// The size of the client area the command-line print frames the drawing in.
inline constexpr int kPrintToClientWidth = 640;
inline constexpr int kPrintToClientHeight = 480;

struct PageGeometry {
    QSize physicalSize;     // the whole sheet
    QPoint printingOffset;  // top-left corner of the printable area on the sheet
    QSize printableSize;    // the printable area, where the painter's (0, 0) is its corner
};

// The geometry of the printer's current paper and page.
PageGeometry pageGeometry(const QPrinter& printer);

// How a client area of width x height pixels is put on the page.
struct PageScale {
    double kx = 0.0;
    double ky = 0.0;
    double k = 0.0;         // the smaller of kx and ky
    int deviceOriginX = 0;  // left position minus the printing offset
};

// The scale for the page; none for an empty client area or a sheet too small for the margins,
// in which case the page is printed with the view as it is.
std::optional<PageScale> pageScale(const PageGeometry& page, int clientWidth, int clientHeight);

// The step log of the dialog print. Lines are appended to the file one at a time, only while it
// is switched on; a file that cannot be written is skipped silently.
class PrintLog {
  public:
    // An empty path means the default location, worked out on first use.
    explicit PrintLog(QString path = {});

    // Switching on writes "-------------\nPrintprotokoll eingeschaltet ....".
    void setEnabled(bool on);
    bool enabled() const { return enabled_; }
    void log(const QString& text);
    QString path();

    // "PrintDbg.txt" beside the program when that folder is writable, else in the program's data
    // folder.
    static QString defaultPath();

  private:
    QString path_;
    bool enabled_ = false;
};

// The program's one step log (command 950 switches it).
PrintLog& programPrintLog();

// The replaceable parts of the print paths. Empty members use the real thing.
struct PrintHooks {
    // A message box without owner and with an OK button.
    std::function<void(const QString& text, const QString& caption)> showMessage;
    // Shows the print dialog for `printer`; true when the user accepted it.
    std::function<bool(QPrinter& printer, QWidget* parent)> runDialog;
    // The printer of that name, ready to print; null when there is none.
    std::function<std::unique_ptr<QPrinter>(const QString& name)> openPrinter;
    // The name of the default printer; empty when there is none.
    std::function<QString()> defaultPrinterName;
};

// The page job: the drawing as framed in a client area of clientWidth x clientHeight pixels,
// scaled to fill the page less the margins, inside a frame along the printable area, in the
// pen colours or, with `blackOutput`, in black. The page has a view of its own: the window's view
// and colours are not touched. False when the printer could not start or finish the document.
bool printPage(ViewerState& state, int clientWidth, int clientHeight, QPrinter& printer,
               bool blackOutput);

// Command 106: asks for the printer with the print dialog and prints in black. Steps are written
// to `log` while it is on. True when a page was printed.
bool printWithDialog(ViewerState& state, int clientWidth, int clientHeight, QWidget* parent,
                     const PrintHooks& hooks = {}, PrintLog& log = programPrintLog());

// Command 105: prints on the default printer in the pen colours.
bool printToDefaultPrinter(ViewerState& state, int clientWidth, int clientHeight,
                           const PrintHooks& hooks = {});

// Prints on the named printer in the pen colours; "Druck konnte nicht gestartet werden" when it
// does not exist or cannot start the document.
bool printToNamedPrinter(ViewerState& state, int clientWidth, int clientHeight,
                         const QString& printerName, const PrintHooks& hooks = {});

// The command-line print (command 98): `arguments` are the file arguments (drawing, printer,
// driver, port; the driver and port are not needed with CUPS). Loads the drawing into `state`,
// frames it with zoom all in a 640 x 480 client area and prints it to the named printer, or to
// the default printer when no printer name is given. Reports "Installationsfehler" without a
// drawing and "Dateieinlesefehler" when it cannot be read. Returns the exit code: 0 when printed,
// 1 otherwise.
int runPrintTo(ViewerState& state, const QStringList& arguments, const PrintHooks& hooks = {});

}  // namespace planora
