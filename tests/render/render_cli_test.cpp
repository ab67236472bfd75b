// Runs the built planora-cli on the example drawings.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <filesystem>
#include <utility>

#include "akt_writer.h"
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
        // Stroked straight segments: "M x,y L x,y" pieces of unfilled paths.
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("path") && !xml.attributes().hasAttribute("fill")) {
            const QString d = xml.attributes().value("d").toString();
            if (!d.contains('A')) {
                lines += static_cast<int>(d.count('L'));
            }
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

// Runs a shell script (for limits set with ulimit) with PLANORA_CLI in $CLI.
CliRun runShell(const QString& script) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CLI", QStringLiteral(PLANORA_CLI));
    p.setProcessEnvironment(env);
    p.start("/bin/sh", {"-c", script});
    p.waitForFinished(300000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(RenderCli, OutputsThatWouldLoseDataAreRefusedBeforeAnythingIsWritten) {
    // Two drawings of the same name in different folders would give one output name.
    QDir(dir_.path()).mkpath("a");
    QDir(dir_.path()).mkpath("b");
    const QString a = dir_.filePath("a/plan.akt"), b = dir_.filePath("b/plan.akt");
    ASSERT_TRUE(QFile::copy(kExample, a));
    ASSERT_TRUE(QFile::copy(kExample, b));
    const QString out = dir_.filePath("aus");
    CliRun r = runCli({a, b, "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("dieselbe Ausgabedatei")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(out + "/plan.png"));

    // An output that is an input, under its own or another name, is never overwritten.
    const QByteArray drawing = contents(a);
    const QString alias = dir_.filePath("alias.png");
    ASSERT_TRUE(QFile::link(a, alias));
    const QString same = dir_.filePath("same.svg");
    ASSERT_TRUE(QFile::copy(a, same));
    for (const auto& [input, output] : {std::pair{a, alias}, {same, same}}) {
        r = runCli({input, "-o", output});
        EXPECT_EQ(r.status, 1) << output.toStdString();
        EXPECT_TRUE(r.err.contains("zugleich eine Eingabedatei")) << r.err.toStdString();
        EXPECT_EQ(contents(input), drawing);
    }

    // A device behind a link is not written to.
    const QString full = dir_.filePath("voll.svg");
    ASSERT_TRUE(QFile::link("/dev/full", full));
    r = runCli({kExample, "-o", full});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("keine reguläre Datei")) << r.err.toStdString();
}

TEST_F(RenderCli, FailedWritesAreReportedAndLeaveNoHalfFileAndTheOldOneIntact) {
    // Writes beyond 8 KiB fail (the signal for it ignored, so write() returns an error).
    for (const QString name : {"alt.svg", "alt.pdf", "alt.png", "neu.svg"}) {
        const QString path = dir_.filePath(name);
        if (name.startsWith("alt")) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("alt");
        }
        const CliRun r = runShell(QString("trap '' XFSZ; ulimit -f 8; exec \"$CLI\" render '%1' "
                                          "-o '%2'")
                                      .arg(kExample, path));
        EXPECT_EQ(r.status, 1) << name.toStdString();
        EXPECT_TRUE(r.err.contains("Ausgabedatei kann nicht geschrieben werden"))
            << r.err.toStdString();
        EXPECT_EQ(contents(path), name.startsWith("alt") ? QByteArray("alt") : QByteArray());
    }
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(RenderCli, MemoryRunningOutHasItsOwnMessage) {
    const CliRun r =
        runShell(QString("ulimit -v 1048576; exec \"$CLI\" render '%1' -o '%2' --size 20000x20000")
                     .arg(kExample, dir_.filePath("riesig.png")));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("Nicht genug Arbeitsspeicher")) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("kann nicht geschrieben werden"));
}

TEST_F(RenderCli, SvgOfAMillionElementsIsWrittenWithinHalfAGigabyte) {
    // The SVG is streamed: the file grows, the memory does not.
    akt::Drawing d;
    d.version = 2500;
    akt::Attributes at;
    for (int i = 0; i < 1000000; ++i) {
        at.pen = 1 + i % 8;
        const double x = i % 1000, y = i / 1000;
        if (i % 3 == 0) {
            akt::addCircle(d, x, y, 0.4, at);
        } else {
            akt::addLine(d, x, y, x + 0.8, y + 0.5, at);
        }
    }
    akt::addLayer(d, 0, "A");
    const QString drawing = dir_.filePath("million.akt");
    ASSERT_TRUE(akt::writeDrawingFile(d, drawing.toStdString()));
    d = {};
    const QString svg = dir_.filePath("million.svg");
    const CliRun r =
        runShell(QString("ulimit -v 524288; exec \"$CLI\" render '%1' -o '%2' --size 1600x1200")
                     .arg(drawing, svg));
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_GT(QFileInfo(svg).size(), 20'000'000);
}

}  // namespace
}  // namespace planora
