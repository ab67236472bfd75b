#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QStringList>
#include <QWheelEvent>

#include <chrono>
#include <string>
#include <thread>

#include "drawing_file.h"
#include "graphics_cursors.h"
#include "graphics_window.h"
#include "open_drawing.h"
#include "render_test_support.h"

namespace planora {
namespace {

using test::at;

// One column and one row more than the test drawing's 200 x 100 units, so that zoom all, which
// keeps every point inside the window, comes out at exactly one pixel per unit.
constexpr int kW = 202;
constexpr int kH = 101;

// A drawing that fills the box (0, 0) to (200, 100) exactly, so that zoom all into a 200 x 100
// window gives scale 1 and whole-numbered origins: every later pan is exact arithmetic. Its
// lines, circle, arc and text cross the window edges in every direction. The dotted line starts
// inside the window through every pan below: the painter starts a dash pattern afresh where a line
// enters the picture, so the dashes of a line that starts outside move with its visible part.
void fillTestDrawing(ElementStore& s) {
    s.createElementStore(32);
    s.addLine(0, 0, 200, 100, 0, 1, 1);
    s.addLine(0, 100, 200, 0, 0, 2, 1);
    s.addLine(3, 50, 197, 50, 0, 3, 1);
    s.addLine(100, 99, 100, 1, 0, 4, 5);
    s.addCircle(20, 20, 19, 0, 5, 1);
    s.addCircle(180, 80, 19, 0, 6, 1);
    s.addArc(170, 25, 22, 30, 250, 0, 7, 1);
    s.addRectangle(60, 70, 30, 16, 15, 0, 8, 1);
    s.addRegularPolygon(140, 60, 15, 10, 6, 0, 2, 1);
    s.addText(5, 85, "Ansicht", 0, 8, 1, 0, 3, 1);
}

// Equal pictures, or where they first differ and in how many pixels.
testing::AssertionResult samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return testing::AssertionFailure() << "sizes differ";
    }
    int count = 0;
    QPoint first;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (at(a, x, y) != at(b, x, y) && count++ == 0) {
                first = QPoint(x, y);
            }
        }
    }
    if (count == 0) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << count << " pixels differ, the first at " << first.x() << "," << first.y() << ": "
           << std::hex << at(a, first.x(), first.y()) << " against " << at(b, first.x(), first.y());
}

struct Fixture {
    ViewerState state;
    GraphicsWindow window{state};
    QStringList statusTexts;
    int focusRequests = 0;
    std::vector<QPoint> menuPositions;

    Fixture() {
        fillTestDrawing(state.drawing.store);
        ++state.drawingGeneration;
        window.resize(kW, kH);
        QObject::connect(&window, &GraphicsWindow::statusTextRequested,
                         [this](int part, const QString& text) {
                             EXPECT_EQ(part, 0);
                             statusTexts << text;
                         });
        QObject::connect(&window, &GraphicsWindow::focusToMainWindowRequested,
                         [this] { ++focusRequests; });
        QObject::connect(&window, &GraphicsWindow::contextMenuRequested,
                         [this](const QPoint& p) { menuPositions.push_back(p); });
        window.drawingLoaded();
    }

    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
        Qt::MouseButtons held = Qt::NoButton;
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseMove) {
            held = button;
        }
        const QPoint global = window.mapToGlobal(pos);
        QMouseEvent event(type, QPointF(pos), QPointF(global),
                          type == QEvent::MouseMove ? Qt::NoButton : button, held, mods);
        QCoreApplication::sendEvent(&window, &event);
    }
    void click(QPoint pos, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
        mouse(QEvent::MouseButtonPress, pos, button, mods);
        mouse(QEvent::MouseButtonRelease, pos, button, mods);
    }
    void hover(QPoint pos) { mouse(QEvent::MouseMove, pos, Qt::NoButton); }
    void wheel(QPoint pos, int delta) {
        QWheelEvent event(QPointF(pos), QPointF(window.mapToGlobal(pos)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&window, &event);
    }

    QImage shown() { return window.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // What the renderer draws at the displayed view, on the renderer's background.
    QImage expected() {
        return test::render(state.renderer, state.drawing.store, state.view.displayedView(), kW, kH,
                            Renderer::Path::Fast,
                            colourFromColorref(state.renderer.backgroundColour()));
    }
    const ViewTransform& view() const { return state.view.currentView(); }
};

// A copy of the view after the window's zoom-all, for computing what an operation must give.
View referenceView(const Fixture& f) {
    return f.state.view;
}

TEST(GraphicsWindow, PaintsTheDrawingAsTheRendererDrawsIt) {
    Fixture f;
    EXPECT_EQ(f.view(), (ViewTransform{1.0, 0.0, 0.0, kH - 1, 0}));
    const QImage shown = f.shown();
    EXPECT_TRUE(samePixels(shown, f.expected()));
    EXPECT_GT(test::countNot(shown, qRgb(0, 0, 0)), 300);
    // The diagonals show in their pens' colours at drawing x 40 (pixel x 41).
    EXPECT_EQ(at(shown, 41, 80), test::rgbOf(f.state.renderer.penColour(1)));
    EXPECT_EQ(at(shown, 41, 20), test::rgbOf(f.state.renderer.penColour(2)));

    // A new background colour and a layer switched off show after drawingChanged.
    f.state.renderer.setBackgroundColour(0x00FFFFFF);
    f.state.drawing.store.mutableElementArray()[0].layerField = -1;
    f.window.drawingChanged();
    const QImage changed = f.shown();
    EXPECT_TRUE(samePixels(changed, f.expected()));
    EXPECT_EQ(at(changed, 41, 80), qRgb(255, 255, 255) & 0xFFFFFF);

    // With the drawing switched off only the background shows.
    f.state.renderer.setDrawingShown(false);
    EXPECT_EQ(test::countNot(f.shown(), qRgb(255, 255, 255)), 0);
}

TEST(GraphicsWindow, PaintsAnExampleDrawing) {
    ViewerState state;
    OpenResult opened = openDrawing(PLANORA_EXAMPLES_DIR "/haus-2500.akt");
    ASSERT_TRUE(opened.ok());
    installDrawing(state, std::move(*opened.model));
    GraphicsWindow window(state);
    window.resize(640, 400);
    window.drawingLoaded();
    const QImage shown = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage expected =
        test::render(state.renderer, state.drawing.store, state.view.displayedView(), 640, 400);
    EXPECT_TRUE(samePixels(shown, expected));
    EXPECT_GT(test::countNot(shown, qRgb(0, 0, 0)), 1000);
}

TEST(GraphicsWindow, ZoomWindowWithCornersInAnyOrder) {
    const std::pair<QPoint, QPoint> corners[] = {
        {{30, 20}, {120, 80}}, {{120, 80}, {30, 20}}, {{120, 20}, {30, 80}}};
    for (const auto& [first, second] : corners) {
        SCOPED_TRACE(testing::Message() << first.x() << "," << first.y());
        Fixture f;
        View reference = referenceView(f);
        ASSERT_TRUE(
            reference.zoomToDeviceRect(kW, kH, first.x(), first.y(), second.x(), second.y()));

        f.window.startZoomWindow();
        EXPECT_TRUE(f.window.zoomWindowActive());
        EXPECT_NE(f.window.cursor(), f.window.frameCursor());
        f.click(first);
        f.hover((first + second) / 2);
        f.hover(second);
        EXPECT_TRUE(f.window.zoomWindowActive());
        f.click(second);

        EXPECT_FALSE(f.window.zoomWindowActive());
        EXPECT_EQ(f.view(), reference.currentView());
        EXPECT_EQ(f.statusTexts,
                  (QStringList{"Fenster zoomen: 1. Punkt", "Fenster zoomen: 2. Punkt", ""}));
        EXPECT_EQ(f.window.cursor(), f.window.frameCursor());
        // The zoom window's clicks are not plain clicks.
        EXPECT_FALSE(f.window.lastClickWorld().has_value());
        EXPECT_TRUE(samePixels(f.shown(), f.expected()));
    }
}

TEST(GraphicsWindow, RubberBandInvertsAndDrawingItAgainErasesIt) {
    Fixture f;
    const QImage before = f.shown();
    auto inverted = [&](int x, int y) { return at(before, x, y) ^ 0xFFFFFF; };

    f.window.startZoomWindow();
    f.click({30, 20});
    f.hover({120, 80});
    QImage band = f.shown();
    // The outline runs from the first corner to one pixel short of the second one.
    EXPECT_EQ(at(band, 30, 20), inverted(30, 20));
    EXPECT_EQ(at(band, 119, 79), inverted(119, 79));
    EXPECT_EQ(at(band, 75, 20), inverted(75, 20));
    EXPECT_EQ(at(band, 30, 50), inverted(30, 50));
    EXPECT_EQ(at(band, 120, 80), at(before, 120, 80));
    EXPECT_EQ(at(band, 75, 50), at(before, 75, 50));

    // Following the mouse erases the old band: only the new one differs from the drawing.
    f.hover({90, 60});
    band = f.shown();
    EXPECT_EQ(at(band, 119, 79), at(before, 119, 79));
    EXPECT_EQ(at(band, 89, 59), inverted(89, 59));
    int changed = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            changed += at(band, x, y) != at(before, x, y);
        }
    }
    EXPECT_EQ(changed, 2 * 60 + 2 * 38);

    // A full redraw keeps the band, and cancelling by starting again erases it exactly.
    f.window.redraw();
    EXPECT_TRUE(samePixels(f.shown(), band));
    f.window.startZoomWindow();
    EXPECT_TRUE(samePixels(f.shown(), before));
    EXPECT_TRUE(f.window.zoomWindowActive());
    EXPECT_EQ(f.statusTexts.last(), "Fenster zoomen: 1. Punkt");
}

TEST(GraphicsWindow, MiddleDragMovesThePixelsWithTheMouse) {
    Fixture f;
    const QImage before = f.shown();

    f.mouse(QEvent::MouseButtonPress, {50, 50}, Qt::MiddleButton);
    // A move that does not move leaves the view and its history alone.
    f.mouse(QEvent::MouseMove, {50, 50}, Qt::MiddleButton);
    EXPECT_EQ(f.state.view.history().cursor(), 1);
    f.mouse(QEvent::MouseMove, {60, 57}, Qt::MiddleButton);
    const QImage moved = f.shown();
    EXPECT_EQ(f.view(), (ViewTransform{1.0, -10.0, 6.0, kH, 0}));
    // A drawing pixel follows the mouse ...
    for (int y = 0; y < kH - 7; ++y) {
        for (int x = 0; x < kW - 10; ++x) {
            ASSERT_EQ(at(moved, x + 10, y + 7), at(before, x, y)) << x << "," << y;
        }
    }
    // ... and the uncovered strips hold what a full drawing at the new view shows.
    EXPECT_TRUE(samePixels(moved, f.expected()));

    // Up and to the left, then straight down.
    f.mouse(QEvent::MouseMove, {35, 52}, Qt::MiddleButton);
    EXPECT_EQ(f.view(), (ViewTransform{1.0, 15.0, 1.0, kH, 0}));
    EXPECT_TRUE(samePixels(f.shown(), f.expected()));
    f.mouse(QEvent::MouseMove, {35, 60}, Qt::MiddleButton);
    EXPECT_EQ(f.view(), (ViewTransform{1.0, 15.0, 9.0, kH, 0}));
    EXPECT_TRUE(samePixels(f.shown(), f.expected()));

    f.mouse(QEvent::MouseButtonRelease, {35, 60}, Qt::MiddleButton);
    EXPECT_TRUE(samePixels(f.shown(), f.expected()));
    // Moving afterwards without the button does not pan.
    f.hover({90, 90});
    EXPECT_EQ(f.view(), (ViewTransform{1.0, 15.0, 9.0, kH, 0}));
}

TEST(GraphicsWindow, WheelZoomsAboutTheMouse) {
    Fixture f;
    View reference = referenceView(f);

    f.wheel({150, 30}, 120);
    ASSERT_TRUE(reference.zoomAtPoint(kW, kH, 150, 30, 1.25));
    EXPECT_EQ(f.view(), reference.currentView());

    f.wheel({20, 70}, -120);
    ASSERT_TRUE(reference.zoomAtPoint(kW, kH, 20, 70, 0.8));
    EXPECT_EQ(f.view(), reference.currentView());

    // Half notches add up to one step.
    f.wheel({100, 50}, 60);
    EXPECT_EQ(f.view(), reference.currentView());
    f.wheel({100, 50}, 60);
    ASSERT_TRUE(reference.zoomAtPoint(kW, kH, 100, 50, 1.25));
    EXPECT_EQ(f.view(), reference.currentView());
    EXPECT_TRUE(samePixels(f.shown(), f.expected()));

    // The main window's way in, with a screen position.
    f.window.zoomAtGlobalPoint(f.window.mapToGlobal(QPoint(40, 40)), 0.8);
    ASSERT_TRUE(reference.zoomAtPoint(kW, kH, 40, 40, 0.8));
    EXPECT_EQ(f.view(), reference.currentView());
}

TEST(GraphicsWindow, ShiftAndCtrlClicks) {
    Fixture f;
    const ViewTransform start = f.view();

    f.click({150, 30}, Qt::LeftButton, Qt::ShiftModifier);
    ViewTransform half = start;
    half.scale = 0.5;
    EXPECT_EQ(f.view(), half);
    EXPECT_EQ(f.state.view.displayedView(), half);
    EXPECT_EQ(f.focusRequests, 1);
    EXPECT_TRUE(f.menuPositions.empty());

    // Shift + right click doubles the scale and still asks for the context menu.
    f.click({150, 30}, Qt::RightButton, Qt::ShiftModifier);
    EXPECT_EQ(f.view(), start);
    ASSERT_EQ(f.menuPositions.size(), 1u);
    EXPECT_EQ(f.menuPositions[0], f.window.mapToGlobal(QPoint(150, 30)));
    f.click({10, 10}, Qt::RightButton);
    EXPECT_EQ(f.view(), start);
    EXPECT_EQ(f.menuPositions.size(), 2u);

    // Ctrl + click in the centre third changes nothing; in the left third it pans.
    const QImage before = f.shown();
    f.click({100, 50}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(f.view(), start);
    EXPECT_TRUE(samePixels(f.shown(), before));
    View reference = referenceView(f);
    ASSERT_TRUE(reference.panStep(kW, kH, 10, 50));
    f.click({10, 50}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(f.view(), reference.currentView());
    EXPECT_TRUE(samePixels(f.shown(), f.expected()));
    EXPECT_FALSE(f.window.lastClickWorld().has_value());
    EXPECT_EQ(f.focusRequests, 3);
}

TEST(GraphicsWindow, PlainClickKeepsTheViewAndRemembersThePoint) {
    Fixture f;
    const ViewTransform start = f.view();
    const QImage before = f.shown();
    f.click({40, 30});
    EXPECT_EQ(f.view(), start);
    EXPECT_TRUE(samePixels(f.shown(), before));
    EXPECT_EQ(f.focusRequests, 1);
    ASSERT_TRUE(f.window.lastClickWorld().has_value());
    EXPECT_DOUBLE_EQ(f.window.lastClickWorld()->x, 40.0);
    EXPECT_DOUBLE_EQ(f.window.lastClickWorld()->y, 70.0);
}

TEST(GraphicsWindow, ZoomCommandsAndHistory) {
    Fixture f;
    const ViewTransform all = f.view();
    f.window.startZoomWindow();
    f.click({0, 0});
    f.click({101, 50});
    const ViewTransform zoomed = f.view();
    EXPECT_EQ(zoomed.scale, 2.0);
    f.window.zoomPrevious();
    EXPECT_EQ(f.view(), all);
    EXPECT_TRUE(samePixels(f.shown(), f.expected()));
    f.window.startZoomWindow();
    f.click({0, 0});
    f.click({100, 50});
    f.window.zoomAll();
    EXPECT_EQ(f.view(), all);

    // A zoom window of no height keeps the view and still ends the mode.
    f.window.startZoomWindow();
    f.click({10, 40});
    f.click({90, 40});
    EXPECT_EQ(f.view(), all);
    EXPECT_FALSE(f.window.zoomWindowActive());
    EXPECT_EQ(f.window.cursor(), f.window.frameCursor());
}

TEST(GraphicsWindow, CursorStack) {
    Fixture f;
    const QCursor frame = f.window.frameCursor();
    EXPECT_EQ(frame.shape(), Qt::BitmapCursor);
    EXPECT_EQ(frame.hotSpot(), QPoint(7, 7));
    EXPECT_EQ(f.window.cursor(), frame);

    const std::optional<QCursor> measuring = loadProgramCursor("MessCursor");
    const std::optional<QCursor> cross = loadProgramCursor("CrossHair");
    ASSERT_TRUE(measuring && cross);
    EXPECT_EQ(measuring->hotSpot(), QPoint(2, 23));
    EXPECT_EQ(cross->hotSpot(), QPoint(15, 15));
    EXPECT_EQ(loadProgramCursor("ZoomWindow")->hotSpot(), QPoint(8, 14));
    EXPECT_FALSE(loadProgramCursor("SNAPCURSOR").has_value());

    f.window.pushCursor(*measuring);
    f.window.pushCursor(*cross);
    EXPECT_EQ(f.window.cursor(), *cross);
    f.window.popCursor();
    EXPECT_EQ(f.window.cursor(), *measuring);
    f.window.popCursor();
    EXPECT_EQ(f.window.cursor(), frame);
    // Popping more than was pushed stays on the frame cursor.
    f.window.popCursor();
    f.window.popCursor();
    EXPECT_EQ(f.window.cursor(), frame);

    // Starting a zoom window while one is in progress does not pile up cursors.
    f.window.startZoomWindow();
    f.window.startZoomWindow();
    f.click({10, 10});
    f.click({60, 60});
    EXPECT_EQ(f.window.cursor(), frame);
}

}  // namespace
}  // namespace planora

namespace planora {
namespace {

// Waits, running the event loop, until the window shows the exact picture.
bool waitForExactPicture(GraphicsWindow& window) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!window.pictureExact() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return window.pictureExact();
}

TEST(GraphicsWindow, LargeDrawingShowsTheMovedPictureAtOnceAndTheExactOneAfterTheWorker) {
    ViewerState state;
    ElementStore& store = state.drawing.store;
    constexpr int kCount = 250'000;
    store.createElementStore(kCount);
    for (int i = 0; i < kCount; ++i) {
        const double x = (i % 500) * 2.0;
        const double y = (i / 500) * 2.0;
        store.addLine(x, y, x + 1.5, y + (i % 3), 0, 1 + i % 8, 1);
    }
    ++state.drawingGeneration;
    GraphicsWindow window(state);
    window.resize(400, 300);
    window.drawingLoaded();
    auto shown = [&] { return window.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    auto expected = [&] {
        return test::render(state.renderer, store, state.view.displayedView(), 400, 300);
    };
    shown();
    ASSERT_TRUE(waitForExactPicture(window));
    const QImage before = shown();
    EXPECT_TRUE(samePixels(before, expected()));

    // A wheel step shows a changed picture at once, before the worker is done.
    auto wheel = [&](int delta) {
        const QPointF at(120, 80);
        QWheelEvent event(at, window.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&window, &event);
    };
    wheel(120);
    const QImage moved = shown();
    EXPECT_FALSE(window.pictureExact());
    EXPECT_FALSE(samePixels(moved, before));
    // A second step before the first picture is done: the one that ends up on screen is the
    // exact picture of the last view.
    wheel(120);
    shown();
    ASSERT_TRUE(waitForExactPicture(window));
    EXPECT_TRUE(samePixels(shown(), expected()));

    // Replacing the drawing waits for the worker; the window then draws the new one.
    window.finishPictures();
    DrawingModel empty;
    empty.store.createElementStore(1);
    installDrawing(state, std::move(empty));
    window.drawingLoaded();
    EXPECT_TRUE(samePixels(shown(), expected()));
}

// The element boxes built for whole pictures are shared with the window's strips, and the
// drawing's extents are kept between fits: after a drawing of the same size replaces the
// previous one, neither may be taken over. The fit must be that of the new drawing, and the
// picture and the strips a pan uncovers must be exactly what a fresh renderer draws.
TEST(GraphicsWindow, ReplacedDrawingIsNeitherFittedNorDrawnWithWhatWasKeptForThePreviousOne) {
    constexpr int kCount = 250'000;
    auto makeDrawing = [](double shift, double size) {
        DrawingModel model;
        model.store.createElementStore(kCount);
        for (int i = 0; i < kCount; ++i) {
            const double x = shift + (i % 500) * size;
            const double y = (i / 500) * size;
            model.store.addLine(x, y, x + 0.75 * size, y + (i % 3), 0, 1 + i % 8, 1);
        }
        return model;
    };
    ViewerState state;
    GraphicsWindow window(state);
    window.resize(400, 300);
    auto shown = [&] { return window.grab().toImage().convertToFormat(QImage::Format_RGB32); };
    auto expected = [&] {
        Renderer fresh;
        return test::render(fresh, state.drawing.store, state.view.displayedView(), 400, 300);
    };
    auto wheel = [&](int delta) {
        const QPointF at(150, 100);
        QWheelEvent event(at, window.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&window, &event);
    };
    auto middle = [&](QEvent::Type type, QPoint pos) {
        QMouseEvent event(type, QPointF(pos), QPointF(window.mapToGlobal(pos)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::MiddleButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MiddleButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &event);
    };

    for (const auto& [shift, size] : {std::pair{0.0, 2.0}, std::pair{-700.0, 5.0}}) {
        window.finishPictures();
        installDrawing(state, makeDrawing(shift, size));
        window.drawingLoaded();
        View fitted;
        ASSERT_TRUE(fitted.zoomAll(400, 300, state.drawing.store));
        EXPECT_EQ(state.view.currentView(), fitted.currentView());
        shown();
        ASSERT_TRUE(waitForExactPicture(window));
        EXPECT_TRUE(samePixels(shown(), expected()));
        // Zoomed in, the worker queries the boxes; the pan then draws strips on the window's
        // thread with the boxes it handed over.
        wheel(120);
        shown();
        ASSERT_TRUE(waitForExactPicture(window));
        middle(QEvent::MouseButtonPress, QPoint(200, 150));
        middle(QEvent::MouseMove, QPoint(231, 137));
        ASSERT_TRUE(window.pictureExact());  // drawn as strips, not asked of the worker
        // The strips the move by (31, -13) uncovered: the columns at the left, the rows at the
        // bottom. (The moved rest keeps the pixels of the previous view.)
        const QImage moved = shown();
        const QImage whole = expected();
        for (const QRect& strip : {QRect(0, 0, 31, 300), QRect(0, 287, 400, 13)}) {
            EXPECT_TRUE(samePixels(moved.copy(strip), whole.copy(strip)))
                << strip.x() << "," << strip.y();
        }
        EXPECT_GT(test::countNot(moved.copy(0, 0, 31, 300), qRgb(0, 0, 0)), 100);
        middle(QEvent::MouseButtonRelease, QPoint(231, 137));
    }
}

}  // namespace
}  // namespace planora
