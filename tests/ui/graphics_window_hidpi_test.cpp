// The graphics window on a screen with two device pixels per window pixel (the test run sets
// QT_SCALE_FACTOR=2): the picture is drawn at the device resolution, pixel for pixel what the
// renderer draws at twice the size, and stays so after a pan that moves the pixels.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>

#include <cmath>

#include "graphics_window.h"
#include "open_drawing.h"
#include "render_test_support.h"

namespace planora {
namespace {

using test::at;

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return -1;
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            count += at(a, x, y) != at(b, x, y) ? 1 : 0;
        }
    }
    return count;
}

TEST(HiDpiGraphicsWindow, PictureIsDrawnAtTheDeviceResolution) {
    ViewerState state;
    OpenResult opened = openDrawing(PLANORA_EXAMPLES_DIR "/haus-2500.akt");
    ASSERT_TRUE(opened.ok());
    installDrawing(state, std::move(*opened.model));
    GraphicsWindow window(state);
    window.resize(320, 200);
    window.show();
    const qreal ratio = window.devicePixelRatioF();
    if (ratio != 2.0) {
        GTEST_SKIP() << "runs with QT_SCALE_FACTOR=2 (ratio here " << ratio << ")";
    }
    window.drawingLoaded();

    // What the renderer draws for a window of 640 x 400 pixels at the doubled view.
    auto expected = [&] {
        ViewTransform device = state.view.displayedView();
        device.scale *= 2;
        device.deviceOriginX *= 2;
        device.deviceOriginY *= 2;
        return test::render(state.renderer, state.drawing.store, device, 640, 400);
    };
    auto shown = [&] {
        QImage image = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
        image.setDevicePixelRatio(1.0);
        return image;
    };
    QImage first = shown();
    ASSERT_EQ(first.size(), QSize(640, 400));
    EXPECT_EQ(differingPixels(first, expected()), 0);
    EXPECT_GT(test::countNot(first, qRgb(0, 0, 0)), 2000);

    // A middle-button pan moves the device pixels and draws the uncovered strips at the same
    // resolution.
    auto send = [&](QEvent::Type type, QPoint pos, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(pos), QPointF(window.mapToGlobal(pos)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::MiddleButton, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &event);
    };
    send(QEvent::MouseButtonPress, QPoint(100, 100), Qt::MiddleButton);
    send(QEvent::MouseMove, QPoint(117, 89), Qt::MiddleButton);
    EXPECT_EQ(differingPixels(shown(), expected()), 0);
    send(QEvent::MouseButtonRelease, QPoint(117, 89), Qt::NoButton);
    EXPECT_EQ(differingPixels(shown(), expected()), 0);
}

}  // namespace
}  // namespace planora
