// The start-up logo: its placement, its picture and how it goes away.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSvgRenderer>

#include <thread>

#include "logo_window.h"

using namespace planora;

namespace {

// Runs the event loop until the window is gone or `limitMs` passed; returns the time taken.
qint64 waitUntilClosed(const QPointer<LogoWindow>& logo, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (logo && logo->isVisible() && clock.elapsed() < limitMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return clock.elapsed();
}

}  // namespace

TEST(LogoWindow, PlacementWithAndWithoutPicture) {
    EXPECT_EQ(logoWindowRect(QSize(1600, 1000), std::nullopt), QRect(40, 20, 420, 320));
    // Centred when the part left of the picture is not too wide for the part above it.
    EXPECT_EQ(logoWindowRect(QSize(1000, 1000), QSize(400, 400)), QRect(300, 300, 400, 400));
    // Otherwise x becomes y * 1.25, truncated: here x = 600, y = 375 gives 1.6 > 1.5.
    EXPECT_EQ(logoWindowRect(QSize(1600, 1000), QSize(400, 250)), QRect(468, 375, 400, 250));
    // A picture as large as the screen: the quotient divides by the picture's height.
    EXPECT_EQ(logoWindowRect(QSize(800, 600), QSize(800, 600)), QRect(0, 0, 800, 600));
}

TEST(LogoWindow, PictureForBothColourDepths) {
    const QPixmap few = loadLogoPicture(8);
    const QPixmap many = loadLogoPicture(24);
    ASSERT_FALSE(few.isNull());
    ASSERT_FALSE(many.isNull());
    EXPECT_EQ(few.size(), many.size());
    EXPECT_NE(few.toImage(), many.toImage()) << "the 16-colour picture is its own";
}

// The start draws the logo into an image on a thread of its own: the pixmap made from it has the
// pixels and the format of one drawn straight into a pixmap on the window's thread, text
// included.
TEST(LogoWindow, PictureDrawnOnAnotherThreadEqualsOneDrawnIntoAPixmap) {
    for (int depth : {8, 24}) {
        QImage drawn;
        std::thread([&] { drawn = renderLogoImage(depth); }).join();
        ASSERT_FALSE(drawn.isNull());
        QSvgRenderer svg(depth <= 8 ? QStringLiteral(":/logo/LogoBild16.svg")
                                    : QStringLiteral(":/logo/LogoBild256.svg"));
        ASSERT_TRUE(svg.isValid());
        QPixmap direct(svg.defaultSize());
        direct.fill(Qt::transparent);
        {
            QPainter painter(&direct);
            svg.render(&painter);
        }
        EXPECT_EQ(logoPictureFromImage(drawn).toImage(), direct.toImage()) << depth;
    }
}

TEST(LogoWindow, ClosedByAClickOrAfterTwentyTwoTicks) {
    const QRect screen(0, 0, 1600, 1000);
    QPointer<LogoWindow> clicked = new LogoWindow(loadLogoPicture(24), screen);
    clicked->showLogo();
    ASSERT_TRUE(clicked->isVisible());
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(clicked, &press);
    QApplication::processEvents();
    EXPECT_TRUE(!clicked || !clicked->isVisible());
    const int ticksAfterClick = LogoWindow::ticks();
    EXPECT_EQ(ticksAfterClick, 0) << "closed before the first tick";

    QPointer<LogoWindow> timed = new LogoWindow(QPixmap(), screen);
    EXPECT_EQ(timed->geometry(), QRect(40, 20, 420, 320));
    timed->showLogo();
    const qint64 took = waitUntilClosed(timed, 5000);
    EXPECT_TRUE(!timed || !timed->isVisible());
    EXPECT_GE(took, 900);
    EXPECT_LT(took, 4000);
    EXPECT_EQ(LogoWindow::ticks(), ticksAfterClick + 22);
}
