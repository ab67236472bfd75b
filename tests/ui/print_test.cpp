// The page job against PDF printer targets (rasterised with pdftoppm), the print paths with their
// messages, the step log, and the clipboard image.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>
#include <utility>
#include <vector>

#include "clipboard_copy.h"
#include "graphics_window.h"
#include "printing.h"

namespace planora {
namespace {

constexpr int kRasterDpi = 75;
constexpr int kPrinterDpi = 600;

// A drawing of 100 x 75 units: a blue horizontal line through the middle (pen 2), a green
// vertical line at x = 25 (pen 3), and a line on a hidden layer.
void makeDrawing(ViewerState& state) {
    ElementStore& s = state.drawing.store;
    s.createElementStore(16);
    s.addLine(0, 37.5, 100, 37.5, 0, 2, 1);
    s.addLine(25, 0, 25, 75, 0, 3, 1);
    s.addLine(0, 10, 100, 10, 1, 2, 1);
    Element* e = s.mutableElementArray();
    e[2].layerField = -e[2].layerField;
}

// Frames the drawing in an 800 x 600 window: 8 pixels per unit, drawing y 0 at pixel 600.
void frame800x600(ViewerState& state) {
    ASSERT_TRUE(state.view.fitBox(800, 600, WorldBox{0, 0, 100, 75}));
}

std::unique_ptr<QPrinter> pdfPrinter(const QString& file) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(file);
    printer->setResolution(kPrinterDpi);
    printer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                       QMarginsF(10, 12, 10, 12), QPageLayout::Millimeter));
    return printer;
}

// The first page of the PDF at 75 dpi without anti-aliasing; a null image when it cannot be had.
QImage rasterise(const QString& pdf) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (tool.isEmpty()) {
        return {};
    }
    const QString base = pdf + QStringLiteral(".page");
    QProcess p;
    p.start(tool, {"-r", QString::number(kRasterDpi), "-aa", "no", "-aaVector", "no", "-png",
                   "-singlefile", pdf, base});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        return {};
    }
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

int toRaster(double deviceUnits) {
    return static_cast<int>(deviceUnits * kRasterDpi / kPrinterDpi);
}

bool isBlue(QRgb c) {
    return qBlue(c) > 150 && qRed(c) < 100 && qGreen(c) < 100;
}
bool isGreen(QRgb c) {
    return qGreen(c) > 150 && qRed(c) < 100 && qBlue(c) < 100;
}
bool isDark(QRgb c) {
    return qRed(c) < 80 && qGreen(c) < 80 && qBlue(c) < 80;
}
bool isColoured(QRgb c) {
    return std::max({qRed(c), qGreen(c), qBlue(c)}) - std::min({qRed(c), qGreen(c), qBlue(c)}) >
           100;
}

int countIn(const QImage& img, QRect r, bool (*pred)(QRgb)) {
    r = r.intersected(img.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += pred(img.pixel(x, y)) ? 1 : 0;
        }
    }
    return n;
}

// Where the page job has to put a screen pixel on the sheet, in device units.
struct Placement {
    double k;
    double offsetY;
};

Placement expectedPlacement(const QPrinter& printer, int w, int h) {
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const double kx = (paper.width() - 360) / w;
    const double ky = (paper.height() - 480) / h;
    return {std::min(kx, ky), page.top() - paper.top()};
}

class PrintPdfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty()) {
            GTEST_SKIP() << "pdftoppm is not installed";
        }
        ASSERT_TRUE(dir.isValid());
        makeDrawing(state);
        frame800x600(state);
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    ViewerState state;
    std::vector<std::pair<QString, QString>> messages;
    PrintHooks hooks{
        [this](const QString& t, const QString& c) { messages.emplace_back(t, c); }, {}, {}, {}};
};

TEST(PageScale, SmallerFactorWinsAndLeftEdgeLandsAtTheLeftPosition) {
    const PageGeometry a4{QSize(4960, 7016), QPoint(100, 120), QSize(4760, 6776)};
    const auto s = pageScale(a4, 800, 600);
    ASSERT_TRUE(s.has_value());
    EXPECT_DOUBLE_EQ(s->kx, 5.75);
    EXPECT_NEAR(s->ky, 10.8933, 1e-4);
    EXPECT_DOUBLE_EQ(s->k, 5.75);
    EXPECT_EQ(s->deviceOriginX, 140);

    // A tall, narrow window: the height decides.
    const auto tall = pageScale(a4, 200, 1600);
    ASSERT_TRUE(tall.has_value());
    EXPECT_DOUBLE_EQ(tall->k, (7016.0 - 480) / 1600);

    // Nothing to scale from or to.
    EXPECT_FALSE(pageScale(a4, 0, 600).has_value());
    EXPECT_FALSE(pageScale(a4, 800, -1).has_value());
    EXPECT_FALSE(pageScale(PageGeometry{QSize(300, 400), {}, QSize(300, 400)}, 800, 600));
}

TEST_F(PrintPdfTest, NamedPrinterPrintsTheFramedDrawingInColourAndRestoresTheView) {
    const ViewTransform before = state.view.currentView();
    const ViewTransform shownBefore = state.view.displayedView();
    const QString pdf = file("named.pdf");
    QString asked;
    QRectF paper;
    Placement place{};
    hooks.openPrinter = [&](const QString& name) {
        asked = name;
        auto p = pdfPrinter(pdf);
        paper = p->paperRect(QPrinter::DevicePixel);
        place = expectedPlacement(*p, 800, 600);
        return p;
    };
    ASSERT_TRUE(printToNamedPrinter(state, 800, 600, QStringLiteral("Büro 2"), hooks));
    EXPECT_EQ(asked, QStringLiteral("Büro 2"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(state.view.currentView(), before);
    EXPECT_EQ(state.view.displayedView(), shownBefore);
    EXPECT_FALSE(state.renderer.blackOutput());

    const QImage page = rasterise(pdf);
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(page.width(), toRaster(paper.width()), 2);

    // The blue line: screen row 300, columns 0 to 800, scaled by k, its left end at 240 units
    // from the paper's edge.
    const int y = toRaster(place.offsetY + 300 * place.k);
    const int x0 = toRaster(240);
    const int x1 = toRaster(240 + 800 * place.k);
    EXPECT_GT(countIn(page, QRect(x0 + 2, y - 2, x1 - x0 - 4, 5), isBlue), (x1 - x0) * 8 / 10);
    EXPECT_EQ(countIn(page, QRect(0, y - 2, x0 - 2, 5), isBlue), 0);
    EXPECT_EQ(countIn(page, QRect(x1 + 3, y - 2, page.width(), 5), isBlue), 0);
    // The green line: screen column 200 (+1), rows 0 to 600.
    const int gx = toRaster(240 + 201 * place.k);
    const int gy1 = toRaster(place.offsetY + 600 * place.k);
    EXPECT_GT(countIn(page, QRect(gx - 2, toRaster(place.offsetY) + 2, 5, gy1 - 10), isGreen), 0);
    EXPECT_EQ(countIn(page, QRect(gx - 2, gy1 + 4, 5, page.height()), isGreen), 0);
    // The hidden line at drawing y 10 (screen row 520) is not there.
    const int hy = toRaster(place.offsetY + 520 * place.k);
    EXPECT_EQ(countIn(page, QRect(0, hy - 2, page.width(), 5), isBlue), 0);

    // The frame along the printable area (10 mm and 12 mm margins), dark on every side.
    const int left = toRaster(10 / 25.4 * kPrinterDpi);
    const int top = toRaster(place.offsetY);
    const int right = page.width() - 1 - left;
    const int bottom = page.height() - 1 - top;
    const int midX = page.width() / 2;
    const int midY = page.height() / 2;
    EXPECT_GT(countIn(page, QRect(left - 2, midY, 5, 1), isDark), 0);
    EXPECT_GT(countIn(page, QRect(right - 2, midY, 5, 1), isDark), 0);
    EXPECT_GT(countIn(page, QRect(midX, top - 2, 1, 5), isDark), 0);
    EXPECT_GT(countIn(page, QRect(midX, bottom - 2, 1, 5), isDark), 0);
    // Outside the frame the sheet stays blank.
    EXPECT_EQ(countIn(page, QRect(0, 0, left - 3, page.height()), isDark), 0);
}

TEST_F(PrintPdfTest, DialogPrintIsBlackAndLogsItsTenSteps) {
    PrintLog log(file("PrintDbg.txt"));
    log.setEnabled(true);
    const ViewTransform before = state.view.currentView();
    const QString pdf = file("dialog.pdf");
    hooks.defaultPrinterName = [] { return QStringLiteral("Standard"); };
    QRectF paper;
    hooks.runDialog = [&](QPrinter& printer, QWidget*) {
        // What the user picks in the dialog: a PDF file on A4.
        EXPECT_EQ(printer.docName(), QStringLiteral("Planora-Druck"));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(kPrinterDpi);
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                          QMarginsF(10, 12, 10, 12), QPageLayout::Millimeter));
        paper = printer.paperRect(QPrinter::DevicePixel);
        EXPECT_FALSE(state.renderer.blackOutput());
        return true;
    };
    ASSERT_TRUE(printWithDialog(state, 800, 600, nullptr, hooks, log));
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(state.renderer.blackOutput());
    EXPECT_EQ(state.view.currentView(), before);

    const QImage page = rasterise(pdf);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(countIn(page, page.rect(), isColoured), 0);
    const double k = (paper.width() - 360) / 800;
    const int y = toRaster(12 / 25.4 * kPrinterDpi + 300 * k);
    EXPECT_GT(countIn(page, QRect(toRaster(240) + 2, y - 2, toRaster(800 * k) - 4, 5), isDark),
              toRaster(800 * k) * 8 / 10);

    QFile f(log.path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    const QStringList expected = {
        QStringLiteral("-------------"),
        QStringLiteral("Printprotokoll eingeschaltet ...."),
        QStringLiteral("1. Starte printWithDialog"),
        QStringLiteral("2. erster Aufruf PrintDlg"),
        QStringLiteral("3. PrintDlg mit PD_RETURNDEFAULT abgeschlossen"),
        QStringLiteral("4. Besetze DocInfo-Struktur"),
        QStringLiteral("5. Besetze PRINTDLG-Struktur"),
        QStringLiteral("6. Aufruf PrintDlg als Dialog"),
        QStringLiteral("7. Setze PrintDev"),
        QStringLiteral("8. Druck starten"),
        QStringLiteral("9. PrintDev zurücksetzen"),
        QStringLiteral("10. Funktion printWithDialog wird wieder beendet"),
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(PrintPdfTest, PrintToRunLoadsFramesAndPrintsTheExampleInColour) {
    const QString pdf = file("printto.pdf");
    QString asked;
    hooks.defaultPrinterName = [] { return QStringLiteral("Standard"); };
    hooks.openPrinter = [&](const QString& name) {
        asked = name;
        return pdfPrinter(pdf);
    };
    const QString example = QStringLiteral(PLANORA_EXAMPLES_DIR "/haus-1800.akt");
    // A file without a printer name goes to the default printer.
    EXPECT_EQ(runPrintTo(state, {example}, hooks), 0);
    EXPECT_EQ(asked, QStringLiteral("Standard"));
    EXPECT_TRUE(messages.empty());
    // The view is zoom all in a 640 x 480 window.
    View expectedView;
    expectedView.zoomAll(640, 480, state.drawing.store);
    EXPECT_EQ(state.view.currentView(), expectedView.currentView());

    const QImage page = rasterise(pdf);
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(countIn(page, page.rect(), isColoured), 200);

    ASSERT_EQ(runPrintTo(state, {example, QStringLiteral("Zeichner"), "winspool", "LPT1:"}, hooks),
              0);
    EXPECT_EQ(asked, QStringLiteral("Zeichner"));
}

TEST(PrintMessages, FailuresAreReportedWithTheirTexts) {
    ViewerState state;
    makeDrawing(state);
    frame800x600(state);
    std::vector<std::pair<QString, QString>> messages;
    PrintHooks hooks{[&](const QString& t, const QString& c) { messages.emplace_back(t, c); },
                     {},
                     [](const QString&) { return std::unique_ptr<QPrinter>(); },
                     [] { return QString(); }};
    using Msg = std::pair<QString, QString>;
    const Msg cannotStart{QStringLiteral("Druck konnte nicht gestartet werden"),
                          QStringLiteral("!!")};

    EXPECT_FALSE(printToNamedPrinter(state, 800, 600, QStringLiteral("gibtsnicht"), hooks));
    EXPECT_EQ(messages, std::vector<Msg>{cannotStart});

    messages.clear();
    EXPECT_FALSE(printToDefaultPrinter(state, 800, 600, hooks));
    EXPECT_EQ(messages, (std::vector<Msg>{{QStringLiteral("Fehler\nDev.: <> <> <>"),
                                           QStringLiteral("GetProfileString")}}));

    // The real printer lookup knows no printer of that name either.
    messages.clear();
    PrintHooks realLookup = hooks;
    realLookup.openPrinter = nullptr;
    EXPECT_FALSE(printToNamedPrinter(state, 800, 600, QStringLiteral("Planora-kein-Drucker-7f3a"),
                                     realLookup));
    EXPECT_EQ(messages, std::vector<Msg>{cannotStart});

    const Msg install{QStringLiteral("Installationsfehler"), QStringLiteral("Achtung")};
    const Msg unreadable{QStringLiteral("Dateieinlesefehler"), QStringLiteral("Achtung")};
    messages.clear();
    EXPECT_EQ(runPrintTo(state, {}, hooks), 1);
    EXPECT_EQ(runPrintTo(state, {"", "", "", ""}, hooks), 1);
    EXPECT_EQ(messages, (std::vector<Msg>{install, install}));

    messages.clear();
    const ViewTransform before = state.view.currentView();
    EXPECT_EQ(runPrintTo(state, {QStringLiteral("/nicht/da.akt"), QStringLiteral("P")}, hooks), 1);
    EXPECT_EQ(runPrintTo(state, {"", QStringLiteral("P")}, hooks), 1);
    EXPECT_EQ(messages, (std::vector<Msg>{unreadable, unreadable}));
    // Nothing was loaded or framed.
    EXPECT_EQ(state.view.currentView(), before);
    EXPECT_EQ(state.drawing.store.elementCount(), 3u);
}

// The window in front of the print: whatever the print does and however it ends, the window keeps
// its view and shows the drawing in the pen colours, also while a message of the print is up.
TEST(PrintMessages, CancelledPrintLeavesWindowColours) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ViewerState state;
    makeDrawing(state);
    GraphicsWindow window(state);
    window.resize(800, 600);
    frame800x600(state);
    const ViewTransform before = state.view.currentView();
    const ViewTransform shownBefore = state.view.displayedView();
    auto blueInWindow = [&] {
        const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        return countIn(shot, shot.rect(), isBlue);
    };
    const int blueAtStart = blueInWindow();
    ASSERT_GT(blueAtStart, 700);

    std::vector<int> blueWhileMessage;
    std::vector<QString> texts;
    PrintHooks hooks;
    hooks.showMessage = [&](const QString& text, const QString&) {
        texts.push_back(text);
        blueWhileMessage.push_back(blueInWindow());
    };
    hooks.defaultPrinterName = [] { return QStringLiteral("Standard"); };
    // The user picks a PDF file in a folder that does not exist: the page cannot be started.
    hooks.runDialog = [&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("fehlt/seite.pdf")));
        return true;
    };
    PrintLog log(dir.filePath(QStringLiteral("PrintDbg.txt")));
    log.setEnabled(true);
    EXPECT_FALSE(printWithDialog(state, 800, 600, nullptr, hooks, log));
    ASSERT_EQ(texts, std::vector<QString>{QStringLiteral("Druck konnte nicht gestartet werden")});
    EXPECT_EQ(blueWhileMessage, std::vector<int>{blueAtStart});

    // Cancelled in the dialog.
    hooks.runDialog = [&](QPrinter&, QWidget*) {
        blueWhileMessage.push_back(blueInWindow());
        return false;
    };
    EXPECT_FALSE(printWithDialog(state, 800, 600, nullptr, hooks, log));
    EXPECT_EQ(blueWhileMessage, (std::vector<int>{blueAtStart, blueAtStart, blueAtStart}));

    // A named printer that cannot start.
    hooks.openPrinter = [&](const QString&) {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(dir.filePath(QStringLiteral("fehlt/benannt.pdf")));
        return printer;
    };
    EXPECT_FALSE(printToNamedPrinter(state, 800, 600, QStringLiteral("P"), hooks));

    EXPECT_FALSE(state.renderer.blackOutput());
    EXPECT_EQ(state.view.currentView(), before);
    EXPECT_EQ(state.view.displayedView(), shownBefore);
    EXPECT_EQ(blueInWindow(), blueAtStart);
}

TEST(PrintMessages, CancelledDialogIsReportedOnlyWithTheLogOn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ViewerState state;
    makeDrawing(state);
    std::vector<std::pair<QString, QString>> messages;
    PrintHooks hooks{[&](const QString& t, const QString& c) { messages.emplace_back(t, c); },
                     [](QPrinter&, QWidget*) { return false; },
                     {},
                     [] { return QStringLiteral("Standard"); }};
    PrintLog log(dir.filePath(QStringLiteral("PrintDbg.txt")));

    EXPECT_FALSE(printWithDialog(state, 800, 600, nullptr, hooks, log));
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(QFile::exists(log.path()));

    log.setEnabled(true);
    EXPECT_FALSE(printWithDialog(state, 800, 600, nullptr, hooks, log));
    using Msg = std::pair<QString, QString>;
    EXPECT_EQ(messages, (std::vector<Msg>{{QStringLiteral("PrintDlg-Fehler unbekannter Error-Code"),
                                           QStringLiteral("Planora-Fehler")}}));
    QFile f(log.path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[7], QStringLiteral("6. Aufruf PrintDlg als Dialog"));
    EXPECT_EQ(lines[8], QStringLiteral("10. Funktion printWithDialog wird wieder beendet"));
}

class ClipboardImageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ElementStore& s = state.drawing.store;
        s.createElementStore(16);
        // Drawn in pen 2 (blue on screen) and pen 8 (white on screen): both black in the copy.
        s.addLine(0, 50, 150, 50, 0, 2, 1);  // screen row 200 in a 600 x 400 window
        s.addLine(75, 0, 75, 100, 0, 8, 1);  // screen column 300 (+1)
        s.addLine(0, 80, 150, 80, 1, 2, 1);  // hidden
        s.polygonBuilder(ElementStore::PolygonStep::Begin, 4, 0, 0, 2, 1);
        s.polygonBuilder(ElementStore::PolygonStep::Point, 100, 10, 0, 2, 1);
        s.polygonBuilder(ElementStore::PolygonStep::Point, 140, 10, 0, 2, 1);
        s.polygonBuilder(ElementStore::PolygonStep::Point, 140, 40, 0, 2, 1);
        s.polygonBuilder(ElementStore::PolygonStep::Point, 100, 40, 0, 2, 1);
        s.polygonBuilder(ElementStore::PolygonStep::Finish, 0, 0, 0, 2, 1);
        Element* e = s.mutableElementArray();
        e[2].layerField = -e[2].layerField;
        ASSERT_TRUE(state.view.fitBox(600, 400, WorldBox{0, 0, 150, 100}));
    }
    ViewerState state;
};

TEST_F(ClipboardImageTest, OneBitImageFourTimesTheWindowWithBlackLines) {
    const ViewTransform before = state.view.currentView();
    const ViewTransform shownBefore = state.view.displayedView();
    const QImage img = clipboardImage(state, 600, 400);
    ASSERT_EQ(img.size(), QSize(2400, 1600));
    EXPECT_EQ(img.depth(), 1);
    EXPECT_EQ(state.view.currentView(), before);
    EXPECT_EQ(state.view.displayedView(), shownBefore);
    EXPECT_FALSE(state.renderer.blackOutput());

    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    auto black = [](QRgb c) { return (c & 0xFFFFFF) == 0; };
    int blackCount = 0;
    int other = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = rgb.pixel(x, y) & 0xFFFFFF;
            blackCount += c == 0 ? 1 : 0;
            other += (c != 0 && c != 0xFFFFFF) ? 1 : 0;
        }
    }
    EXPECT_EQ(other, 0);
    // The horizontal line at row 800 across the whole width, the vertical one at column 1201.
    for (int x : {5, 600, 1800, 2395}) {
        EXPECT_TRUE(black(rgb.pixel(x, 800))) << x;
        EXPECT_FALSE(black(rgb.pixel(x, 795))) << x;
    }
    for (int y : {5, 400, 1200, 1595}) {
        EXPECT_TRUE(black(rgb.pixel(1201, y))) << y;
        EXPECT_FALSE(black(rgb.pixel(1205, y))) << y;
    }
    // The hidden line (row 320) is not there; the polygon area comes out black.
    EXPECT_FALSE(black(rgb.pixel(100, 320)));
    EXPECT_TRUE(black(rgb.pixel(1920, 1200)));
    EXPECT_GT(blackCount, 2400 + 1600);
    EXPECT_LT(blackCount, 2400 * 1600 / 4);
}

TEST_F(ClipboardImageTest, KeepsTheBlackOutputSwitchAndCutsAtTheWindowEdges) {
    state.renderer.setBlackOutput(true);
    // Zoomed in on the left half: the drawing goes on beyond the window's right edge.
    ASSERT_TRUE(state.view.fitBox(600, 400, WorldBox{0, 25, 75, 75}));
    const QImage img = clipboardImage(state, 600, 400);
    EXPECT_TRUE(state.renderer.blackOutput());
    ASSERT_EQ(img.size(), QSize(2400, 1600));
    // The vertical line at x = 75 lies on the right window edge (column 601): cut away.
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    for (int x = 2380; x < 2400; ++x) {
        EXPECT_NE(rgb.pixel(x, 400) & 0xFFFFFF, 0u) << x;
    }
    EXPECT_TRUE(clipboardImage(state, 0, 400).isNull());
}

}  // namespace
}  // namespace planora
