#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "drawing_file.h"
#include "view_transform.h"

namespace planora {
namespace {

ElementStore storeWithCapacity(std::size_t n) {
    ElementStore s;
    s.createElementStore(n);
    return s;
}

TEST(ViewMapping, FitBoxIntoSquareClient) {
    View view;
    ASSERT_TRUE(view.fitBox(400, 400, WorldBox{0, 0, 100, 50}));
    const ViewTransform& v = view.currentView();
    EXPECT_DOUBLE_EQ(v.scale, 4.0);
    EXPECT_EQ(v.deviceOriginY, 300);
    EXPECT_EQ(v.deviceOriginX, 0);
    EXPECT_EQ(worldToDevice(v, 0, 0), (DevicePoint{0, 300}));
    EXPECT_EQ(worldToDevice(v, 100, 50), (DevicePoint{400, 100}));
    // The drawing mapping adds one pixel in x only.
    EXPECT_EQ(drawingToDevice(v, 100, 50), (DevicePoint{401, 100}));
    EXPECT_EQ(view.displayedView(), v);
}

TEST(ViewMapping, TruncatesTowardsZeroAndInvertsUpToTruncation) {
    ViewTransform v{2.0, 10.0, 20.0, 100, 5};
    // x: (9.6 - 10) * 2 + 5 = 4.2 -> 4; a value of -0.7 gives 0, not -1.
    EXPECT_EQ(worldToDevice(v, 9.6, 20.0).x, 4);
    EXPECT_EQ(worldToDevice(v, 7.15, 20.0).x, 0);    // -0.7
    EXPECT_EQ(drawingToDevice(v, 6.65, 20.0).x, 0);  // -0.7 with the extra pixel
    EXPECT_EQ(worldToDevice(v, 10.0, 70.35).y, 0);   // 100 - 100.7 = -0.7
    EXPECT_EQ(worldToDevice(v, 10.0, 70.9).y, -1);   // -1.8

    for (int px : {-37, 0, 5, 311}) {
        for (int py : {-3, 0, 100, 777}) {
            const WorldPoint w = deviceToWorld(v, px, py);
            EXPECT_EQ(worldToDevice(v, w.x, w.y), (DevicePoint{px, py}));
        }
    }
}

TEST(ViewExtents, KindsContributeTheirBoxesButPolygonsDoNot) {
    ElementStore s = storeWithCapacity(10);
    WorldBox box;
    EXPECT_EQ(drawingExtents(s, box), 0);
    EXPECT_EQ(box, WorldBox{});

    s.addLine(0, 0, 10, 5, 0, 1, 1);
    s.addArc(20, 0, 3, 0, 90, 0, 1, 1);        // counts as its full circle
    s.addRectangle(-10, 0, 4, 2, 0, 0, 1, 1);  // larger side taken whole: -14 .. -6
    s.polygonBuilder(ElementStore::PolygonStep::Begin, 2, 0, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 500, 500, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 600, -600, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Finish, 0, 0, 0, 1, 1);
    ASSERT_EQ(drawingExtents(s, box), 1);
    EXPECT_EQ(box, (WorldBox{-14, -4, 23, 5}));

    // Zoom all therefore frames the other elements and leaves the polygon out.
    View view;
    ASSERT_TRUE(view.zoomAll(370, 90, s));
    const DevicePoint far = worldToDevice(view.currentView(), 500, 500);
    EXPECT_FALSE(far.x >= 0 && far.x <= 370 && far.y >= 0 && far.y <= 90);
}

TEST(ViewExtents, BoxesWithNegativeSizesCountWithTheirAbsoluteSizes) {
    // A data box drawn from its upper-right corner keeps negative width and height.
    ElementStore s = storeWithCapacity(2);
    s.addRectangle(100, 50, -8, -20, 0, 0, 1, 1);
    WorldBox box;
    ASSERT_EQ(drawingExtents(s, box), 1);
    EXPECT_EQ(box, (WorldBox{80, 30, 120, 70}));
    s.addCircle(0, 0, -5, 0, 1, 1);
    ASSERT_EQ(drawingExtents(s, box), 1);
    EXPECT_EQ(box, (WorldBox{-5, -5, 120, 70}));
}

TEST(ViewZoom, ZoomAllPutsEveryPointOfTheExtentsOnAPixelAndGoingBackKeepsIt) {
    for (auto [w, h] : {std::pair{800, 600}, {1600, 1200}, {3000, 2000}, {7, 5}, {500, 80}}) {
        for (const WorldBox& extents : {WorldBox{0, 0, 400, 300}, WorldBox{-3.5, 7, 996.5, 20},
                                        WorldBox{1e6, 1e6, 1e6 + 1, 1e6 + 3}}) {
            ElementStore s = storeWithCapacity(1);
            s.addLine(extents.xmin, extents.ymin, extents.xmax, extents.ymax, 0, 1, 1);
            View view;
            ASSERT_TRUE(view.zoomAll(w, h, s));
            for (double x : {extents.xmin, extents.xmax}) {
                for (double y : {extents.ymin, extents.ymax}) {
                    const DevicePoint p = drawingToDevice(view.currentView(), x, y);
                    EXPECT_TRUE(p.x >= 0 && p.x < w && p.y >= 0 && p.y < h)
                        << w << "x" << h << " (" << x << ", " << y << ") -> " << p.x << "," << p.y;
                }
            }
            const ViewTransform fitted = view.currentView();
            view.zoomToDeviceRect(w, h, 0, 0, w / 2, h / 2);
            ASSERT_TRUE(view.zoomPrevious(w, h));
            EXPECT_EQ(view.currentView(), fitted);
        }
    }
}

TEST(ViewExtents, TextBoxRunsAlongItsAngle) {
    ElementStore s = storeWithCapacity(1);
    // Base point (0, 0), letter height 1: anchor 1.2 above, font height 1/0.75.
    s.addText(0, 0, "abcde", 90, 1.0, 1.0, 0, 1, 0);
    const Element& t = s.elements()[0];
    WorldBox box;
    ASSERT_EQ(drawingExtents(s, box), 1);
    const double h = t.g[3];
    const double len = 5 * 0.4 * h;
    EXPECT_NEAR(box.xmin, t.g[0], 1e-9);
    EXPECT_NEAR(box.xmax, t.g[0] + h, 1e-9);
    EXPECT_NEAR(box.ymin, t.g[1], 1e-9);
    EXPECT_NEAR(box.ymax, t.g[1] + len, 1e-9);
}

// The extents the store keeps as elements are added must be exactly those of a pass over every
// element, for sound, cut and broken drawings, large ones (whose pass runs in two halves) too,
// and must start afresh with every drawing loaded into the same model.
TEST(ViewExtents, KeptExtentsEqualAFullPassOverTheElements) {
    auto expectSame = [](const ElementStore& s, const std::string& label) {
        WorldBox kept, measured;
        const int keptFound = drawingExtents(s, kept);
        EXPECT_EQ(keptFound, measureDrawingExtents(s, measured)) << label;
        EXPECT_EQ(kept, measured) << label;
        return keptFound;
    };
    const std::filesystem::path dir(PLANORA_EXAMPLES_DIR);
    DrawingModel model;
    int drawings = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".akt") {
            continue;
        }
        const std::string name = entry.path().filename().string();
        ASSERT_EQ(loadDrawing(model, entry.path().string()), 1) << name << model.lastLoadError;
        EXPECT_EQ(expectSame(model.store, name), 1) << name;
        ++drawings;
        // Cut at two thirds: the elements read so far.
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        bytes.resize(bytes.size() * 2 / 3);
        DrawingModel cut;
        if (loadDrawingFromBytes(cut, bytes, "cut.akt") == 1) {
            expectSame(cut.store, name + " cut");
        }
    }
    EXPECT_GE(drawings, 3);

    // Broken records (not a number, infinite sizes) take no part, also as the first element; a
    // polygon alone gives none.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    ElementStore s = storeWithCapacity(300000);
    s.polygonBuilder(ElementStore::PolygonStep::Begin, 1, 0, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 5, 5, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Finish, 0, 0, 0, 1, 1);
    EXPECT_EQ(expectSame(s, "polygon"), 0);
    s.addLine(nan, 0, 1, 1, 0, 1, 1);
    s.addCircle(0, 0, inf, 0, 1, 1);
    s.addText(1e308, 0, "breit", 0, 1e308, 1.0, 0, 1, 0);
    EXPECT_EQ(expectSame(s, "broken"), 0);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pos(-5000.0, 5000.0);
    for (int i = 0; i < 200000; ++i) {
        const double x = pos(rng), y = pos(rng);
        switch (i % 5) {
            case 0:
                s.addLine(x, y, x + pos(rng) / 100, y - pos(rng) / 100, 0, 1, 1);
                break;
            case 1:
                s.addArc(x, y, pos(rng) / 50, 10, 200, 0, 1, 1);
                break;
            case 2:
                s.addText(x, y, "Raum", pos(rng) / 20, 0.35, 1.0, 0, 1, 0);
                break;
            case 3:
                s.addRectangle(x, y, pos(rng) / 40, pos(rng) / 40, 30, 0, 1, 1);
                break;
            default:
                s.addRegularPolygon(x, y, pos(rng) / 40, 0, 6, 0, 1, 1);
        }
    }
    s.addLine(-0.0, 0.0, 6000, 6000, 0, 1, 1);
    s.addLine(nan, nan, nan, nan, 0, 1, 1);
    EXPECT_EQ(expectSame(s, "large"), 1);

    // A smaller drawing loaded into the same model after a larger one.
    ElementStore small = storeWithCapacity(1);
    small.addLine(1, 2, 3, 4, 0, 1, 1);
    s = std::move(small);
    WorldBox box;
    ASSERT_EQ(drawingExtents(s, box), 1);
    EXPECT_EQ(box, (WorldBox{1, 2, 3, 4}));
    s.createElementStore(4);
    EXPECT_EQ(drawingExtents(s, box), 0);
}

TEST(ViewZoom, ZoomWindowCornerOrderDoesNotMatter) {
    View a, b;
    a.fitBox(800, 600, WorldBox{0, 0, 1000, 500});
    b.fitBox(800, 600, WorldBox{0, 0, 1000, 500});
    ASSERT_TRUE(a.zoomToDeviceRect(800, 600, 100, 50, 300, 250));
    ASSERT_TRUE(b.zoomToDeviceRect(800, 600, 300, 250, 100, 50));
    EXPECT_EQ(a.currentView(), b.currentView());
    // The window's lower-left corner becomes the world origin.
    View original;
    original.fitBox(800, 600, WorldBox{0, 0, 1000, 500});
    const WorldPoint corner = deviceToWorld(original.currentView(), 100, 250);
    EXPECT_DOUBLE_EQ(a.currentView().worldOriginX, corner.x);
    EXPECT_DOUBLE_EQ(a.currentView().worldOriginY, corner.y);
}

TEST(ViewZoom, DegenerateBoxesAndEmptyDrawingsKeepTheView) {
    View view;
    view.fitBox(400, 300, WorldBox{0, 0, 40, 30});
    const ViewTransform before = view.currentView();
    const int cursor = view.history().cursor();
    EXPECT_FALSE(view.fitBox(400, 300, WorldBox{5, 5, 5, 9}));
    EXPECT_FALSE(view.zoomToDeviceRect(400, 300, 10, 10, 10, 200));  // one pixel wide
    EXPECT_FALSE(view.fitBox(0, 300, WorldBox{0, 0, 1, 1}));
    ElementStore empty = storeWithCapacity(0);
    EXPECT_FALSE(view.zoomAll(400, 300, empty));
    ElementStore point = storeWithCapacity(1);
    point.addLine(3, 3, 3, 3, 0, 1, 1);
    EXPECT_FALSE(view.zoomAll(400, 300, point));
    EXPECT_EQ(view.currentView(), before);
    EXPECT_EQ(view.history().cursor(), cursor);
}

TEST(ViewZoom, HistoryWrapsAfterElevenZooms) {
    View view;
    auto boxFor = [](int i) { return WorldBox{0, 0, 10.0 * i, 5.0 * i}; };
    for (int i = 1; i <= 11; ++i) {
        ASSERT_TRUE(view.fitBox(200, 100, boxFor(i)));
    }
    // Back from view 11: views 10 down to 2 (nine earlier views), then it wraps to 10 again.
    for (int i = 10; i >= 2; --i) {
        ASSERT_TRUE(view.zoomPrevious(200, 100));
        EXPECT_DOUBLE_EQ(view.currentView().scale, 20.0 / i) << "step to view " << i;
    }
    ASSERT_TRUE(view.zoomPrevious(200, 100));
    EXPECT_DOUBLE_EQ(view.currentView().scale, 20.0 / 10);
}

TEST(ViewZoom, PreviousRightAfterTheFirstZoomKeepsTheView) {
    View view;
    view.fitBox(200, 100, WorldBox{0, 0, 10, 5});
    const ViewTransform first = view.currentView();
    EXPECT_FALSE(view.zoomPrevious(200, 100));  // the never-written all-zero entry
    EXPECT_EQ(view.currentView(), first);
    // The next step back walks on around the ring to the first zoom.
    for (int i = 0; i < 8; ++i) {
        view.zoomPrevious(200, 100);
    }
    EXPECT_TRUE(view.zoomPrevious(200, 100));
    EXPECT_EQ(view.currentView(), first);
}

TEST(ViewZoom, WheelZoomAboutTheCentreShowsTheMiddleEightyPercent) {
    View view;
    view.fitBox(500, 500, WorldBox{0, 0, 100, 100});
    ASSERT_TRUE(view.zoomAtPoint(500, 500, 250, 250, 1.25));
    EXPECT_DOUBLE_EQ(view.currentView().scale, 5.0 * 1.25);
    EXPECT_DOUBLE_EQ(view.currentView().worldOriginX, 10.0);
    // Towards the mouse: at the right edge the window shifts by its whole margin.
    View shifted;
    shifted.fitBox(500, 500, WorldBox{0, 0, 100, 100});
    ASSERT_TRUE(shifted.zoomAtPoint(500, 500, 500, 250, 1.25));
    EXPECT_DOUBLE_EQ(shifted.currentView().worldOriginX, 20.0);
    // Zooming out shows 125 %.
    View out;
    out.fitBox(500, 500, WorldBox{0, 0, 100, 100});
    ASSERT_TRUE(out.zoomAtPoint(500, 500, 250, 250, 0.8));
    EXPECT_NEAR(out.currentView().scale, 5.0 * 500.0 / 624.0, 1e-12);  // trunc(-62.5) = -62
}

TEST(ViewZoom, PanDragKeepsTheScaleAndFollowsTheMouse) {
    View view;
    view.fitBox(400, 400, WorldBox{0, 0, 100, 100});
    const WorldPoint under = deviceToWorld(view.currentView(), 200, 200);
    view.panDragPress(200, 200);
    const DevicePoint scroll = view.panDragMove(400, 400, 230, 190);
    EXPECT_EQ(scroll, (DevicePoint{30, -10}));
    EXPECT_DOUBLE_EQ(view.currentView().scale, 4.0);
    EXPECT_EQ(worldToDevice(view.currentView(), under.x, under.y), (DevicePoint{230, 190}));
}

TEST(ViewZoom, PanStepMovesByAQuarterFromTheOuterThirdsOnly) {
    View view;
    view.fitBox(300, 300, WorldBox{0, 0, 30, 30});  // scale 10
    const ViewTransform before = view.currentView();
    EXPECT_FALSE(view.panStep(300, 300, 150, 150));
    EXPECT_EQ(view.currentView(), before);

    ASSERT_TRUE(view.panStep(300, 300, 10, 290));  // left and bottom thirds
    EXPECT_DOUBLE_EQ(view.currentView().worldOriginX, before.worldOriginX + 7.5);
    EXPECT_DOUBLE_EQ(view.currentView().worldOriginY, before.worldOriginY + 7.5);
    EXPECT_EQ(view.displayedView(), view.currentView());
    ASSERT_TRUE(view.panStep(300, 300, 290, 10));  // right and top thirds: back again
    EXPECT_EQ(view.currentView(), before);
}

TEST(ViewZoom, OutputRescalingIsUndoneByRestore) {
    View view;
    view.fitBox(400, 400, WorldBox{0, 0, 100, 50});
    const ViewTransform screen = view.currentView();
    view.saveViewForOutput(17);
    EXPECT_EQ(view.displayedView(), screen);  // saving does not publish
    view.scaleView(2.5);
    EXPECT_DOUBLE_EQ(view.displayedView().scale, 10.0);
    EXPECT_EQ(view.displayedView().deviceOriginY, 750);
    EXPECT_EQ(view.displayedView().deviceOriginX, 17);
    view.restoreViewAfterOutput();
    EXPECT_EQ(view.displayedView(), screen);

    view.scaleStep(0.5);
    EXPECT_DOUBLE_EQ(view.currentScale(), 2.0);
    EXPECT_EQ(view.currentView().deviceOriginY, screen.deviceOriginY);
}

TEST(ViewZoomWindowTool, TwoClicksZoomAndMovesDrawTheBand) {
    using Tool = ZoomWindowTool;
    View view;
    view.fitBox(400, 400, WorldBox{0, 0, 100, 100});
    Tool tool;
    Tool::Actions a = tool.command();
    EXPECT_TRUE(a.pushCursor);
    EXPECT_FALSE(a.popCursor);
    EXPECT_EQ(a.statusText, "Fenster zoomen: 1. Punkt");

    a = tool.handle(Tool::Event::Move, 5, 5, view, 400, 400);
    EXPECT_FALSE(a.drawBand.has_value());  // no band before the first point
    a = tool.handle(Tool::Event::Button, 100, 300, view, 400, 400);
    EXPECT_EQ(a.statusText, "Fenster zoomen: 2. Punkt");
    a = tool.handle(Tool::Event::Move, 150, 250, view, 400, 400);
    EXPECT_EQ(a.eraseBand, (Tool::Rect{100, 300, 100, 300}));
    EXPECT_EQ(a.drawBand, (Tool::Rect{100, 250, 150, 300}));

    View expected = view;
    expected.zoomToDeviceRect(400, 400, 100, 300, 300, 100);
    a = tool.handle(Tool::Event::Button, 300, 100, view, 400, 400);
    EXPECT_TRUE(a.zoomed);
    EXPECT_TRUE(a.popCursor);
    EXPECT_EQ(a.eraseBand, (Tool::Rect{100, 250, 150, 300}));
    EXPECT_EQ(a.statusText, "");
    EXPECT_FALSE(tool.active());
    EXPECT_EQ(view.currentView(), expected.currentView());

    // A new command while waiting for the second point erases the band and restores the
    // cursor before starting over.
    tool.command();
    tool.handle(Tool::Event::Button, 10, 10, view, 400, 400);
    tool.handle(Tool::Event::Move, 20, 30, view, 400, 400);
    a = tool.command();
    EXPECT_TRUE(a.popCursor);
    EXPECT_TRUE(a.pushCursor);
    EXPECT_EQ(a.eraseBand, (Tool::Rect{10, 10, 20, 30}));
    EXPECT_EQ(tool.state(), Tool::State::FirstPoint);
}

}  // namespace
}  // namespace planora
