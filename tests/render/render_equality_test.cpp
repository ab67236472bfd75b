// The fast render path must give exactly the pixels of drawing every visible element on its own
// in array order.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "drawing_file.h"
#include "render_test_support.h"
#include "text_encoding.h"

namespace planora {
namespace {

constexpr int kW = 640;
constexpr int kH = 480;

// 20,000 elements of every kind over a 1000 x 800 area, on 12 layers (some hidden), with all
// pens, line style codes from -1 to 12, and some elements far outside the rest.
DrawingModel randomDrawing(unsigned seed) {
    DrawingModel m;
    ElementStore& s = m.store;
    const std::size_t n = 20000;
    s.createElementStore(n);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> px(0, 1000), py(0, 800), d(-30, 30), ang(-400, 400);
    std::uniform_real_distribution<double> unit(0, 1);
    std::uniform_int_distribution<int> layer(0, 11), pen(0, 40), style(-1, 12), kind(0, 99);
    while (s.elementCount() < n) {
        const double x = px(rng), y = py(rng);
        const int k = kind(rng), l = layer(rng), p = pen(rng), st = style(rng);
        if (k < 55) {
            s.addLine(x, y, x + d(rng) * (k < 5 ? 40 : 1), y + d(rng), l, p, st);
        } else if (k < 65) {
            s.addCircle(x, y, std::abs(d(rng)) * unit(rng), l, p, st);
        } else if (k < 75) {
            s.addArc(x, y, std::abs(d(rng)), ang(rng), ang(rng), l, p, st);
        } else if (k < 83) {
            const char* words[] = {"Küche", "W", "Raum 12", "ÄÖÜß &x", "Treppe\tHaus"};
            s.addText(x, y, toCp1252FromUtf8(words[k % 5]), ang(rng), 0.5 + 8 * unit(rng), 1.0, l,
                      p, 0);
        } else if (k < 88) {
            s.addRegularPolygon(x, y, d(rng), ang(rng), 3 + k % 6, l, p, st);
        } else if (k < 95) {
            s.addRectangle(x, y, d(rng), d(rng), ang(rng), l, p, st);
        } else if (k < 97) {
            const int points = 3 + k % 5;
            s.polygonBuilder(ElementStore::PolygonStep::Begin, points, 0, l, p, st);
            for (int i = 0; i < points; ++i) {
                s.polygonBuilder(ElementStore::PolygonStep::Point, x + d(rng), y + d(rng), l, p,
                                 st);
            }
            s.polygonBuilder(ElementStore::PolygonStep::Finish, 0, 0, l, p, st);
        } else {
            // Far away and huge.
            s.addLine(x - 1e6, y, x + 1e5, y + d(rng), l, p, st);
        }
    }
    for (int l : {2, 7}) {
        m.setLayerVisible(l, false);
    }
    return m;
}

// Views of the drawing: whole, a middle part, 1 % of it, a corner partly outside, very close.
std::vector<WorldBox> viewBoxes(const WorldBox& all) {
    const double w = all.xmax - all.xmin, h = all.ymax - all.ymin;
    auto part = [&](double fx, double fy, double fw, double fh) {
        const double x = all.xmin + fx * w, y = all.ymin + fy * h;
        return WorldBox{x, y, x + fw * w, y + fh * h};
    };
    return {all,
            part(0.25, 0.25, 0.5, 0.5),
            part(0.45, 0.4, 0.1, 0.1),
            part(-0.1, 0.8, 0.3, 0.3),
            part(0.5, 0.5, 0.004, 0.004),
            part(-2, -2, 5, 5)};
}

void expectSamePixels(const DrawingModel& m, const std::string& label) {
    WorldBox all;
    ASSERT_EQ(drawingExtents(m.store, all), 1) << label;
    Renderer fast, plain;
    int zoom = 0;
    int showingSomething = 0;
    for (const WorldBox& box : viewBoxes(all)) {
        View view;
        ASSERT_TRUE(view.fitBox(kW, kH, box));
        const QImage a =
            test::render(fast, m.store, view.currentView(), kW, kH, Renderer::Path::Fast);
        const QImage b = test::render(plain, m.store, view.currentView(), kW, kH,
                                      Renderer::Path::ElementByElement);
        int differing = 0;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                differing += a.pixel(x, y) != b.pixel(x, y);
            }
        }
        EXPECT_EQ(differing, 0) << label << ", view " << zoom;
        showingSomething += test::countNot(b, 0) > 0;
        ++zoom;
    }
    EXPECT_GE(showingSomething, 4) << label;
}

TEST(RenderEquality, RandomDrawingAtSeveralZooms) {
    const DrawingModel m = randomDrawing(20240611);
    expectSamePixels(m, "random");
}

TEST(RenderEquality, LayerSwitchAfterAFastPaintIsSeen) {
    DrawingModel m = randomDrawing(7);
    WorldBox all;
    drawingExtents(m.store, all);
    View view;
    view.fitBox(kW, kH, all);
    Renderer fast, plain;
    test::render(fast, m.store, view.currentView(), kW, kH);  // builds the cache
    m.setLayerVisible(2, true);
    m.setLayerVisible(5, false);
    EXPECT_EQ(
        test::render(fast, m.store, view.currentView(), kW, kH),
        test::render(plain, m.store, view.currentView(), kW, kH, Renderer::Path::ElementByElement));
}

TEST(RenderEquality, ExampleDrawings) {
    const std::filesystem::path dir(PLANORA_EXAMPLES_DIR);
    int found = 0;
    for (const char* name :
         {"haus-0510.akt", "haus-0700.akt", "haus-1100.akt", "haus-1800.akt", "haus-2500.akt"}) {
        const auto path = dir / name;
        if (!std::filesystem::exists(path)) {
            continue;
        }
        ++found;
        DrawingModel m;
        ASSERT_EQ(loadDrawing(m, path.string()), 1) << name << ": " << m.lastLoadError;
        applyLayerFlags(m);
        expectSamePixels(m, name);
    }
    if (found == 0) {
        GTEST_SKIP() << "no example drawings in " << dir;
    }
}

}  // namespace
}  // namespace planora
