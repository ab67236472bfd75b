// What the renderer hands to a surface, checked on a recording surface: the render request's
// switches, broken (non-finite) elements, large arcs and the drawing order of the batched path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "recording_surface.h"
#include "renderer.h"
#include "view_transform.h"

namespace planora {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

ElementStore store(std::size_t n = 16) {
    ElementStore s;
    s.createElementStore(n);
    return s;
}

std::vector<std::string> record(Renderer& r, const ElementStore& s, const RenderRequest& req,
                                int w = 200, int h = 100) {
    RecordingSurface surface(w, h);
    r.render(surface, s, req);
    return surface.calls();
}

std::vector<std::string> drawn(const std::vector<std::string>& calls) {
    std::vector<std::string> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [](const std::string& c) { return c.rfind("pen ", 0) != 0; });
    return out;
}

std::string penCall(std::uint32_t colour) {
    char text[16];
    std::snprintf(text, sizeof text, "pen %06x", static_cast<unsigned>(colour));
    return text;
}

std::ptrdiff_t indexOf(const std::vector<std::string>& calls, const std::string& prefix) {
    const auto it = std::find_if(calls.begin(), calls.end(),
                                 [&](const std::string& c) { return c.rfind(prefix, 0) == 0; });
    return it == calls.end() ? -1 : it - calls.begin();
}

TEST(RenderRequest, BlackAndBackgroundApplyToTheOneCallAndChangeNothingInTheRenderer) {
    ElementStore s = store();
    s.addLine(10, 10, 50, 10, 0, 2, 1);
    Renderer r;
    const std::uint32_t pen2 = r.penColour(2);
    ASSERT_NE(pen2, 0u);
    RenderRequest req;
    req.view = ViewTransform{1.0, 0.0, 0.0, 100, 0};
    req.blackOutput = true;
    req.background = 0x00123456u;
    for (Renderer::Path path : {Renderer::Path::Fast, Renderer::Path::ElementByElement}) {
        req.path = path;
        const auto calls = record(r, s, req);
        EXPECT_EQ(indexOf(calls, "polygon 123456 4 0 0 200 0 200 100 0 100"), 0);
        EXPECT_NE(indexOf(calls, "pen 000000"), -1);
        EXPECT_EQ(indexOf(calls, penCall(pen2)), -1);
        EXPECT_FALSE(r.blackOutput());
        EXPECT_EQ(r.penColour(2), pen2);
    }
    // The renderer's own switch is not consulted by a request either.
    r.setBlackOutput(true);
    req.blackOutput = false;
    req.background.reset();
    const auto calls = record(r, s, req);
    EXPECT_EQ(indexOf(calls, "polygon"), -1);
    EXPECT_EQ(indexOf(calls, "pen 000000"), -1);
    EXPECT_NE(indexOf(calls, penCall(pen2)), -1);
    EXPECT_TRUE(r.blackOutput());
}

TEST(NonFiniteElements, DrawNothingAndLeaveTheRestAsWithoutThem) {
    auto sound = [](ElementStore& s) {
        s.addLine(0, 0, 100, 50, 0, 1, 1);
        s.addCircle(50, 25, 10, 0, 2, 1);
        s.addRectangle(20, 20, -10, -6, 0, 0, 3, 1);
    };
    ElementStore clean = store();
    sound(clean);
    ElementStore broken = store();
    broken.addLine(kNaN, 0, 5, 5, 0, 1, 1);  // first element
    sound(broken);
    broken.addCircle(kInf, 0, 1, 0, 1, 1);
    broken.addLine(0, -kInf, 5, 5, 0, 1, 1);
    broken.polygonBuilder(ElementStore::PolygonStep::Begin, 3, 0, 0, 1, 1);
    broken.polygonBuilder(ElementStore::PolygonStep::Point, 0, 0, 0, 1, 1);
    broken.polygonBuilder(ElementStore::PolygonStep::Point, kNaN, 10, 0, 1, 1);
    broken.polygonBuilder(ElementStore::PolygonStep::Point, 10, 10, 0, 1, 1);
    broken.polygonBuilder(ElementStore::PolygonStep::Finish, 0, 0, 0, 1, 1);
    broken.addText(kInf, 5, "x", 0, 10, 1, 0, 1, 0);

    WorldBox a, b;
    ASSERT_EQ(drawingExtents(clean, a), 1);
    ASSERT_EQ(drawingExtents(broken, b), 1);
    EXPECT_EQ(a, b);
    View va, vb;
    ASSERT_TRUE(va.zoomAll(200, 100, clean));
    ASSERT_TRUE(vb.zoomAll(200, 100, broken));
    EXPECT_EQ(va.currentView(), vb.currentView());

    Renderer r;
    RenderRequest req;
    req.view = va.currentView();
    for (Renderer::Path path : {Renderer::Path::Fast, Renderer::Path::ElementByElement}) {
        req.path = path;
        EXPECT_EQ(drawn(record(r, broken, req)), drawn(record(r, clean, req)));
    }
}

TEST(LargeArcs, EndsOnOnePixelDrawTheWholeEllipseFromHalfATurnOnTinyArcsNothing) {
    Renderer r;
    RenderRequest req;
    req.view = ViewTransform{1.0, 0.0, 0.0, 100, 0};
    const std::vector<std::string> ellipse = {"ellipse 41 30 81 70"};
    for (auto [start, end] : {std::pair{0.0, 360.0}, {45.0, 405.0}, {10.0, 369.9}, {10.0, 9.9}}) {
        ElementStore s = store();
        s.addArc(60, 50, 20, start, end, 0, 1, 1);
        EXPECT_EQ(drawn(record(r, s, req)), ellipse) << start << " " << end;
    }
    for (auto [start, end] : {std::pair{10.0, 10.0}, {10.0, 10.1}, {370.0, 10.1}}) {
        ElementStore s = store();
        s.addArc(60, 50, 20, start, end, 0, 1, 1);
        EXPECT_TRUE(drawn(record(r, s, req)).empty()) << start << " " << end;
    }
}

TEST(BatchedDrawingOrder, AnElementReachingToInfinityStaysAboveWhatItCovers) {
    // A line far away in pen 1, a polygon, then a line in pen 1 across the polygon whose far end
    // lies beyond the float range of the culling boxes: it must still be drawn after the polygon.
    ElementStore s = store();
    s.addLine(150, 90, 160, 90, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Begin, 4, 0, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 10, 10, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 60, 10, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 60, 60, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 10, 60, 0, 1, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Finish, 0, 0, 0, 1, 1);
    s.addLine(30, 30, 1e300, 30, 0, 1, 1);
    Renderer r;
    RenderRequest req;
    req.view = ViewTransform{1.0, 0.0, 0.0, 100, 0};
    const auto calls = record(r, s, req);
    const auto polygon = indexOf(calls, "polygon");
    const auto across = indexOf(calls, "line 31 70");
    ASSERT_NE(polygon, -1);
    ASSERT_NE(across, -1);
    EXPECT_GT(across, polygon);
}

}  // namespace
}  // namespace planora
