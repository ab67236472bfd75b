// The measuring markers on a picture and the tooltip window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QVBoxLayout>

#include "measure_overlay.h"
#include "tooltip_window.h"

namespace planora {
namespace {

// A picture with a different colour in every pixel of the area the tests use.
QImage pattern() {
    QImage image(120, 100, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x * 2, y * 2, (x * 7 + y * 3) % 256));
        }
    }
    return image;
}

QRect changedArea(const QImage& a, const QImage& b) {
    QRect area;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

TEST(HitMarker, InvertsAndASecondDrawingRestoresThePicture) {
    const QImage original = pattern();
    QImage image = original;
    {
        QPainter painter(&image);
        drawHitMarker(painter, {60, 50});
    }
    // The centre and the ends of both diagonals are inverted, the ends of the arms' gaps are not.
    EXPECT_EQ(image.pixel(60, 50) & 0xFFFFFF, ~original.pixel(60, 50) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(56, 54) & 0xFFFFFF, ~original.pixel(56, 54) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(64, 46) & 0xFFFFFF, ~original.pixel(64, 46) & 0xFFFFFF);
    EXPECT_EQ(image.pixel(60, 45), original.pixel(60, 45));
    // Everything it touched lies inside the rectangle given for repaints.
    const QRect changed = changedArea(original, image);
    EXPECT_TRUE(markerRect({60, 50}).contains(changed)) << changed.x() << "," << changed.y();
    {
        QPainter painter(&image);
        drawHitMarker(painter, {60, 50});
    }
    EXPECT_EQ(image, original);
}

TEST(AnchorMarker, YellowXOnlyWhileMeasuringWithASetAnchor) {
    ElementStore store;
    View view;
    MeasureSession session;
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QImage black = image;
    const auto paint = [&] {
        QPainter painter(&image);
        paintMeasureOverlay(painter, session, image.size());
    };
    session.startGeometry({0, 0, 300, 200}, view, store);
    paint();  // no anchor yet
    session.leftClick(100, 80, view);
    session.end();
    paint();  // measuring off
    EXPECT_EQ(image, black);

    session.startGeometry({0, 0, 300, 200}, view, store);
    paint();
    EXPECT_EQ(image.pixel(100, 80) & 0xFFFFFF, 0xFFFF00u);
    EXPECT_EQ(image.pixel(104, 76) & 0xFFFFFF, 0xFFFF00u);
    EXPECT_EQ(changedArea(black, image).center(), QPoint(100, 80));

    // Far off the marker is left out, unless the window reaches that far.
    MeasureAnchor far;
    far.set = true;
    far.pixel = {3000, 10};
    QImage wide(3100, 30, QImage::Format_RGB32);
    wide.fill(Qt::black);
    QPainter painter(&wide);
    drawAnchorMarker(painter, far, QSize(2500, 30));
    EXPECT_EQ(wide.pixel(3000, 10) & 0xFFFFFF, 0u);
    drawAnchorMarker(painter, far, wide.size());
    EXPECT_EQ(wide.pixel(3000, 10) & 0xFFFFFF, 0xFFFF00u);
}

TEST(TooltipWindow, ShowsAtThePointSizedToTheTextWithoutTakingTheFocus) {
    QWidget main;
    auto* layout = new QVBoxLayout(&main);
    auto* edit = new QLineEdit(&main);
    layout->addWidget(edit);
    main.show();
    main.activateWindow();
    edit->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), edit);

    TooltipWindow tip(&main);
    EXPECT_TRUE(tip.isWindow());
    EXPECT_TRUE(tip.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(tip.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(tip.windowFlags().testFlag(Qt::WindowTransparentForInput));

    const QString text = QString::fromUtf8("Abstände: 5.000 (x 3.000) (y 4.000) (Wnk -53.130°)");
    tip.showText(text, QPoint(200, 150));
    QApplication::processEvents();
    EXPECT_TRUE(tip.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), edit);
    EXPECT_NE(QApplication::activeWindow(), &tip);
    const QFontMetrics metrics(tip.font());
    EXPECT_EQ(tip.geometry(),
              QRect(200, 150, metrics.horizontalAdvance(text) + 4, metrics.height() + 4));

    // Pale yellow ground with navy letters.
    const QImage shot = tip.grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() - 3, shot.height() / 2), TooltipWindow::kBackground);
    bool navy = false;
    for (int x = 0; x < shot.width() && !navy; ++x) {
        for (int y = 0; y < shot.height() && !navy; ++y) {
            navy = shot.pixelColor(x, y) == TooltipWindow::kTextColour;
        }
    }
    EXPECT_TRUE(navy);

    // An empty text hides the tip; a new one places it anew, sized to that text.
    tip.showText(QString(), QPoint(0, 0));
    EXPECT_FALSE(tip.isVisible());
    tip.showText("Text: [Wand]", QPoint(40, 30));
    QApplication::processEvents();
    EXPECT_TRUE(tip.isVisible());
    EXPECT_EQ(tip.geometry(),
              QRect(40, 30, metrics.horizontalAdvance("Text: [Wand]") + 4, metrics.height() + 4));
    EXPECT_EQ(QApplication::focusWidget(), edit);
}

}  // namespace
}  // namespace planora
