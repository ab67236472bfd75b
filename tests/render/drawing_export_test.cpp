#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "drawing_export.h"
#include "render_test_support.h"

namespace planora {
namespace {

using test::at;
using test::rgbOf;

// A frame of four lines in pens 1 to 4 around (0, 0) - (200, 100), a diagonal in pen 6 and a
// polygon area.
DrawingModel frameDrawing() {
    DrawingModel m;
    m.store.createElementStore(16);
    m.store.addLine(0, 0, 200, 0, 0, 1, 1);
    m.store.addLine(200, 0, 200, 100, 0, 2, 1);
    m.store.addLine(200, 100, 0, 100, 0, 3, 1);
    m.store.addLine(0, 100, 0, 0, 0, 4, 1);
    m.store.addLine(20, 20, 180, 80, 0, 6, 1);
    m.store.polygonBuilder(ElementStore::PolygonStep::Begin, 3, 0, 0, 1, 1);
    m.store.polygonBuilder(ElementStore::PolygonStep::Point, 150, 10, 0, 1, 1);
    m.store.polygonBuilder(ElementStore::PolygonStep::Point, 190, 10, 0, 1, 1);
    m.store.polygonBuilder(ElementStore::PolygonStep::Point, 190, 50, 0, 1, 1);
    m.store.polygonBuilder(ElementStore::PolygonStep::Finish, 0, 0, 0, 1, 1);
    return m;
}

TEST(DrawingExport, WholeDrawingViewFramesTheExtents) {
    const DrawingModel m = frameDrawing();
    // Every point of the extents lands on a pixel: with the drawing's extra pixel in x the
    // frame runs from column 1 to the last column, and its lowest line stays on the image.
    const ViewTransform v = wholeDrawingView(m, 402, 301);
    EXPECT_DOUBLE_EQ(v.scale, 2.0);
    EXPECT_EQ(drawingToDevice(v, 0, 0), (DevicePoint{1, 250}));
    EXPECT_EQ(drawingToDevice(v, 200, 100), (DevicePoint{401, 50}));
    const ViewTransform tall = wholeDrawingView(m, 500, 101);
    EXPECT_EQ(drawingToDevice(tall, 0, 0).y, 100);
    EXPECT_EQ(drawingToDevice(tall, 0, 100).y, 0);

    // A single horizontal line still gets a view in which it shows.
    DrawingModel flat;
    flat.store.createElementStore(1);
    flat.store.addLine(10, 5, 30, 5, 0, 1, 1);
    const ViewTransform f = wholeDrawingView(flat, 400, 300);
    const DevicePoint a = drawingToDevice(f, 10, 5), b = drawingToDevice(f, 30, 5);
    EXPECT_GE(a.x, 0);
    EXPECT_LE(b.x, 401);
    EXPECT_GT(b.x - a.x, 200);
    EXPECT_GT(a.y, 0);
    EXPECT_LT(a.y, 300);
}

TEST(DrawingExport, PngHasTheSizeAndThePenColours) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const DrawingModel m = frameDrawing();
    Renderer r;
    ExportOptions o;
    o.width = 402;
    o.height = 301;
    const std::string path = dir.filePath("plan.png").toStdString();
    ASSERT_EQ(exportDrawing(m, r, path, o), "");
    QImage img(QString::fromStdString(path));
    ASSERT_EQ(img.size(), QSize(402, 301));

    const ViewTransform v = wholeDrawingView(m, 402, 301);
    auto pixelAt = [&](double x, double y) {
        const DevicePoint p = drawingToDevice(v, x, y);
        return at(img, p.x, p.y);
    };
    const auto& colours = defaultColourTable();
    EXPECT_EQ(pixelAt(100, 0), rgbOf(colours[0]));    // pen 1 -> colour 0
    EXPECT_EQ(pixelAt(100, 100), rgbOf(colours[2]));  // pen 3 -> colour 2
    EXPECT_EQ(pixelAt(0, 50), rgbOf(colours[3]));     // pen 4 -> colour 3
    EXPECT_EQ(pixelAt(100, 50), rgbOf(colours[5]));   // the diagonal, pen 6 -> colour 5
    EXPECT_EQ(pixelAt(180, 20), qRgb(255, 0, 128) & 0xFFFFFF);
    EXPECT_EQ(pixelAt(100, 30), 0u);  // background
}

TEST(DrawingExport, BlackOutputOnAChosenBackground) {
    QTemporaryDir dir;
    const DrawingModel m = frameDrawing();
    Renderer r;
    r.setBlackOutput(true);
    r.setBackgroundColour(0x00FFFFFF);
    ExportOptions o;
    o.width = 400;
    o.height = 300;
    const std::string path = dir.filePath("black.png").toStdString();
    ASSERT_EQ(exportDrawing(m, r, path, o), "");
    const QImage img(QString::fromStdString(path));
    const ViewTransform v = wholeDrawingView(m, 400, 300);
    const DevicePoint line = drawingToDevice(v, 100, 100);
    EXPECT_EQ(at(img, line.x, line.y), 0u);
    EXPECT_EQ(at(img, 100, 100), 0xFFFFFFu & qRgb(255, 255, 255));  // world (50, 75): empty
}

TEST(DrawingExport, SvgParsesAndHoldsTheLines) {
    QTemporaryDir dir;
    const DrawingModel m = frameDrawing();
    Renderer r;
    ExportOptions o;
    o.width = 400;
    o.height = 300;
    o.format = ExportFormat::Svg;
    const QString path = dir.filePath("plan.svg");
    ASSERT_EQ(exportDrawing(m, r, path.toStdString(), o), "");

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList lineElements;
    bool hasRoot = false;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            const QString name = xml.name().toString();
            hasRoot = hasRoot || name == "svg";
            if (name == "polyline" || name == "line" || name == "path") {
                QString text;
                for (const auto& attr : xml.attributes()) {
                    text += attr.name().toString() + "=" + attr.value().toString() + " ";
                }
                lineElements << text;
            }
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(hasRoot);
    // The diagonal from P(20, 20) to P(180, 80) is among the drawn lines.
    const ViewTransform v = wholeDrawingView(m, 400, 300);
    const DevicePoint a = drawingToDevice(v, 20, 20), b = drawingToDevice(v, 180, 80);
    const QString from = QString("%1,%2").arg(a.x).arg(a.y);
    const QString to = QString("%1,%2").arg(b.x).arg(b.y);
    bool diagonal = false;
    for (const QString& e : lineElements) {
        diagonal = diagonal || (e.contains(from) && e.contains(to));
    }
    EXPECT_TRUE(diagonal) << lineElements.join("\n").toStdString();
    EXPECT_GE(lineElements.size(), 2);
}

TEST(DrawingExport, PdfConvertsToAnImageOfTheSameAspect) {
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (pdftoppm.isEmpty()) {
        GTEST_SKIP() << "pdftoppm not installed";
    }
    QTemporaryDir dir;
    const DrawingModel m = frameDrawing();
    Renderer r;
    ExportOptions o;
    o.width = 400;
    o.height = 200;
    o.format = ExportFormat::Pdf;
    const QString path = dir.filePath("plan.pdf");
    ASSERT_EQ(exportDrawing(m, r, path.toStdString(), o), "");

    const QString prefix = dir.filePath("page");
    ASSERT_EQ(QProcess::execute(pdftoppm, {"-png", "-r", "50", "-singlefile", path, prefix}), 0);
    const QImage page(prefix + ".png");
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(static_cast<double>(page.width()) / page.height(), 2.0, 0.02);
    // The background is black and the red-magenta area shows.
    EXPECT_EQ(at(page, 2, page.height() / 2) & 0xFFFFFF, 0u);
    bool area = false;
    for (int y = 0; y < page.height() && !area; ++y) {
        for (int x = 0; x < page.width() && !area; ++x) {
            area = at(page, x, y) == (qRgb(255, 0, 128) & 0xFFFFFF);
        }
    }
    EXPECT_TRUE(area);
}

TEST(DrawingExport, FormatFromExtension) {
    EXPECT_EQ(exportFormatForPath("a/b.PNG"), ExportFormat::Png);
    EXPECT_EQ(exportFormatForPath("x.svg"), ExportFormat::Svg);
    EXPECT_EQ(exportFormatForPath("x.Pdf"), ExportFormat::Pdf);
    EXPECT_EQ(exportFormatForPath("x.jpg"), std::nullopt);
    EXPECT_EQ(exportFormatForPath("dir.png/plan"), std::nullopt);
}

}  // namespace
}  // namespace planora
