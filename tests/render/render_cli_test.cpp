// Runs the built planora-cli on the example drawings.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <filesystem>

#include "drawing_export.h"
#include "drawing_file.h"
#include "element_cache.h"
#include "render_test_support.h"

namespace planora {
namespace {

const QString kExample = QStringLiteral(PLANORA_EXAMPLES_DIR "/haus-1800.akt");

struct CliRun {
    int status;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(PLANORA_CLI), QStringList{"render"} + args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class RenderCli : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!QFile::exists(kExample)) {
            GTEST_SKIP() << "example drawing missing: " << kExample.toStdString();
        }
        ASSERT_TRUE(dir_.isValid());
        ASSERT_EQ(loadDrawing(model_, kExample.toStdString()), 1) << model_.lastLoadError;
        applyLayerFlags(model_);
    }

    QTemporaryDir dir_;
    DrawingModel model_;
};

TEST_F(RenderCli, PngHasTheSizeAndThePenColoursOfItsLines) {
    const QString png = dir_.filePath("plan.png");
    const CliRun r = runCli({kExample, "-o", png, "--size", "800x600"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QImage img(png);
    ASSERT_EQ(img.size(), QSize(800, 600));

    // Lines whose middle no later visible element comes near show their pen's colour there.
    const ViewTransform v = wholeDrawingView(model_, 800, 600);
    const auto& elements = model_.store.elements();
    std::vector<QRect> boxes(elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i) {
        ElementBox b = elementBox(model_.store, elements[i]);
        const Element& t = elements[i];
        if (t.kind == ElementKind::Text && t.g[2] == 0.0) {
            // Unrotated text: at most one font height per character, 1.3 heights down.
            const double n = static_cast<double>(model_.store.text(t).size());
            b = ElementBox{static_cast<float>(t.g[0]), static_cast<float>(t.g[1] - 1.3 * t.g[3]),
                           static_cast<float>(t.g[0] + n * t.g[3]), static_cast<float>(t.g[1])};
        }
        const DevicePoint p = drawingToDevice(v, b.xmin, b.ymax);
        const DevicePoint q = drawingToDevice(v, b.xmax, b.ymin);
        boxes[i] = QRect(QPoint(p.x, p.y), QPoint(q.x, q.y)).adjusted(-3, -3, 3, 3);
    }
    Renderer colours;
    int checked = 0;
    for (std::size_t i = 0; i < elements.size() && checked < 12; ++i) {
        const Element& e = elements[i];
        if (e.kind != ElementKind::Line || !e.visible()) {
            continue;
        }
        const DevicePoint a = drawingToDevice(v, e.g[0], e.g[1]);
        const DevicePoint b = drawingToDevice(v, e.g[2], e.g[3]);
        if (a.x != b.x && a.y != b.y) {
            continue;  // axis-parallel lines only: their middle pixel is certain
        }
        if (std::abs(a.x - b.x) + std::abs(a.y - b.y) < 8 || e.lineStyle > 1) {
            continue;
        }
        const QPoint mid((a.x + b.x) / 2, (a.y + b.y) / 2);
        bool alone = QRect(0, 0, 800, 600).contains(mid);
        for (std::size_t j = i + 1; j < elements.size() && alone; ++j) {
            alone = !elements[j].visible() || !boxes[j].contains(mid);
        }
        if (!alone) {
            continue;
        }
        EXPECT_EQ(test::at(img, mid.x(), mid.y()), test::rgbOf(colours.penColour(e.penField)))
            << "line " << i << " pen " << e.penField;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST_F(RenderCli, SvgParsesAndHoldsLines) {
    const QString svg = dir_.filePath("plan.svg");
    const CliRun r = runCli({kExample, "-o", svg});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int lines = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            (xml.name() == QLatin1String("polyline") || xml.name() == QLatin1String("line"))) {
            ++lines;
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    int visibleLines = 0;
    for (const Element& e : model_.store.elements()) {
        visibleLines += e.kind == ElementKind::Line && e.visible();
    }
    EXPECT_GE(lines, 1);
    EXPECT_LE(lines, visibleLines + 4 * static_cast<int>(model_.store.elementCount()));
}

TEST_F(RenderCli, PdfConvertsWithPdftoppm) {
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (pdftoppm.isEmpty()) {
        GTEST_SKIP() << "pdftoppm not installed";
    }
    const QString pdf = dir_.filePath("plan.pdf");
    const CliRun r = runCli({kExample, "-o", pdf, "--size", "1600x1200"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString prefix = dir_.filePath("page");
    ASSERT_EQ(QProcess::execute(pdftoppm, {"-png", "-r", "40", "-singlefile", pdf, prefix}), 0);
    const QImage page(prefix + ".png");
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(static_cast<double>(page.width()) / page.height(), 4.0 / 3.0, 0.02);
    EXPECT_GT(test::countNot(page, 0), 0);
}

TEST_F(RenderCli, BatchGoesOnPastABadFile) {
    const QString bad = dir_.filePath("kaputt.akt");
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("kein Zeichnungsformat");
    }
    const QString out = dir_.filePath("ausgabe");
    const QString second = QStringLiteral(PLANORA_EXAMPLES_DIR "/haus-0510.akt");
    const CliRun r =
        runCli({kExample, bad, second, "-o", out, "--format", "svg", "--size", "200x100"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Einlesefehler")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("kaputt.akt"));
    EXPECT_TRUE(QFile::exists(out + "/haus-1800.svg"));
    EXPECT_EQ(QFile::exists(out + "/haus-0510.svg"), QFile::exists(second));
    EXPECT_FALSE(QFile::exists(out + "/kaputt.svg"));
}

TEST_F(RenderCli, OptionsChangeTheOutputAndWrongUsageIsRefused) {
    // --layer-off of every layer leaves only the background; --black on white shows lines black.
    QStringList off;
    for (const LayerEntry& l : model_.layers) {
        off << "--layer-off" << QString::number(l.number);
    }
    for (const Element& e : model_.store.elements()) {
        off << "--layer-off" << QString::number(e.layer());
    }
    const QString empty = dir_.filePath("leer.png");
    ASSERT_EQ(
        runCli(QStringList{kExample, "-o", empty, "--size", "160x120", "--background", "102030"} +
               off)
            .status,
        0);
    const QImage img(empty);
    EXPECT_EQ(test::countNot(img, qRgb(0x10, 0x20, 0x30)), 0);

    const QString black = dir_.filePath("schwarz.png");
    ASSERT_EQ(runCli({kExample, "-o", black, "--black", "--size", "400x300"}).status, 0);
    const QImage bw(black);
    for (int y = 0; y < bw.height(); ++y) {
        for (int x = 0; x < bw.width(); ++x) {
            const QRgb c = test::at(bw, x, y);
            ASSERT_TRUE(c == 0 || c == 0xFFFFFF || c == (qRgb(255, 0, 128) & 0xFFFFFF))
                << x << "," << y << ": " << std::hex << c;
        }
    }
    EXPECT_GT(test::countNot(bw, qRgb(255, 255, 255)), 0);

    EXPECT_EQ(runCli({kExample}).status, 2);                                // no -o
    EXPECT_EQ(runCli({kExample, "-o", dir_.filePath("a.jpg")}).status, 2);  // format
    EXPECT_EQ(runCli({kExample, "-o", empty, "--size", "0x5"}).status, 2);
    EXPECT_EQ(runCli({kExample, "-o", empty, "--background", "red"}).status, 2);
    const CliRun help = runCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--layer-off"));
}

}  // namespace
}  // namespace planora
