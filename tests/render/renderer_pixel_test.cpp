#include <gtest/gtest.h>

#include <cmath>

#include "render_test_support.h"

namespace planora {
namespace {

using test::at;
using test::countNot;
using test::render;
using test::rgbOf;

constexpr int kW = 120;
constexpr int kH = 100;
const QRgb kBlack = qRgb(0, 0, 0) & 0xFFFFFF;

// Scale 1, drawing origin at the bottom-left corner of the image.
ViewTransform unitView() {
    return ViewTransform{1.0, 0.0, 0.0, kH, 0};
}

ElementStore store(std::size_t n = 16) {
    ElementStore s;
    s.createElementStore(n);
    return s;
}

// True when some pixel in the inclusive rectangle differs from black.
bool anyLit(const QImage& img, int x0, int y0, int x1, int y1) {
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if (at(img, x, y) != kBlack) {
                return true;
            }
        }
    }
    return false;
}

QImage draw(const ElementStore& s, const ViewTransform& v = unitView()) {
    Renderer r;
    return render(r, s, v, kW, kH);
}

TEST(RendererPixels, LineEndsFollowTheExtraPixelAndTruncation) {
    ElementStore s = store();
    s.addLine(10.0, 30.5, 30.9, 30.5, 0, 1, 1);  // x 11 .. 31, y trunc(69.5) = 69
    const QImage img = draw(s);
    const QRgb c = rgbOf(Renderer().penColour(1));
    EXPECT_EQ(at(img, 10, 69), kBlack);
    EXPECT_EQ(at(img, 11, 69), c);
    EXPECT_EQ(at(img, 31, 69), c);
    EXPECT_EQ(at(img, 32, 69), kBlack);
    EXPECT_EQ(at(img, 20, 68), kBlack);
    EXPECT_EQ(at(img, 20, 70), kBlack);
    EXPECT_EQ(countNot(img, kBlack), 21);
}

TEST(RendererPixels, NegativeIntermediateValuesTruncateTowardsZero) {
    ElementStore s = store();
    // x: -1.7 + 1 = -0.7 -> column 0 (floor would give -1, off the image).
    s.addLine(-1.7, 20, -1.7, 60, 0, 1, 1);
    // y: 100 - 100.6 = -0.6 -> row 0.
    s.addLine(40, 100.6, 80, 100.6, 0, 1, 1);
    const QImage img = draw(s);
    for (int y = 40; y <= 80; ++y) {
        EXPECT_NE(at(img, 0, y), kBlack) << y;
    }
    EXPECT_EQ(at(img, 0, 39), kBlack);
    EXPECT_EQ(at(img, 0, 81), kBlack);
    for (int x = 41; x <= 81; ++x) {
        EXPECT_NE(at(img, x, 0), kBlack) << x;
    }
}

TEST(RendererPixels, CircleRadiusIsTheTruncatedScaledRadius) {
    ElementStore s = store();
    const ViewTransform v{1.5, 0.0, 0.0, kH, 0};
    s.addCircle(40, 30, 7, 0, 1, 1);  // r = trunc(10.5) = 10
    const QImage img = draw(s, v);
    const int cx = static_cast<int>(40 * 1.5 + 1), cy = static_cast<int>(kH - 30 * 1.5);
    EXPECT_NE(at(img, cx - 10, cy), kBlack);
    EXPECT_NE(at(img, cx + 10, cy), kBlack);
    EXPECT_NE(at(img, cx, cy - 10), kBlack);
    EXPECT_NE(at(img, cx, cy + 10), kBlack);
    EXPECT_EQ(at(img, cx - 11, cy), kBlack);
    EXPECT_EQ(at(img, cx + 11, cy), kBlack);
    EXPECT_EQ(at(img, cx - 9, cy), kBlack);  // outline only
    EXPECT_EQ(at(img, cx, cy), kBlack);
}

TEST(RendererPixels, ArcsRunCounterClockwiseAndAFullTurnIsTheWholeCircle) {
    const int cx = 61, cy = 50;  // centre (60, 50)
    {
        ElementStore s = store();
        s.addArc(60, 50, 20, 0, 90, 0, 1, 1);
        const QImage img = draw(s);
        int lit = 0;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                if (at(img, x, y) != kBlack) {
                    ++lit;
                    EXPECT_GE(x, cx - 1) << x << "," << y;
                    EXPECT_LE(y, cy + 1) << x << "," << y;
                }
            }
        }
        EXPECT_GT(lit, 25);
        EXPECT_TRUE(anyLit(img, cx + 18, cy - 5, cx + 20, cy - 5));  // near the start
        EXPECT_TRUE(anyLit(img, cx + 5, cy - 20, cx + 5, cy - 18));  // near the end, at the top
    }
    {
        // From 90 to 0 is the other three quarters.
        ElementStore s = store();
        s.addArc(60, 50, 20, 90, 0, 0, 1, 1);
        const QImage img = draw(s);
        EXPECT_EQ(at(img, cx + 14, cy - 14), kBlack);
        EXPECT_TRUE(anyLit(img, cx - 20, cy, cx - 19, cy));
        EXPECT_TRUE(anyLit(img, cx, cy + 19, cx, cy + 20));
    }
    // Ends on one pixel: a full turn is the whole circle, a tiny arc nothing.
    ElementStore circle = store();
    circle.addCircle(60, 50, 20, 0, 1, 1);
    const QImage whole = draw(circle);
    EXPECT_GT(countNot(whole, kBlack), 100);
    ElementStore full = store();
    full.addArc(60, 50, 20, 0, 360, 0, 1, 1);
    EXPECT_EQ(draw(full), whole);
    ElementStore tiny = store();
    tiny.addArc(60, 50, 20, 10, 10.1, 0, 1, 1);
    EXPECT_EQ(countNot(draw(tiny), kBlack), 0);
}

TEST(RendererPixels, StyleCodesZeroAndElevenAreSolidAndOthersDashed) {
    auto pixelsOfStyle = [](int style) {
        ElementStore s = store();
        s.addLine(0, 50, 110, 50, 0, 1, style);
        return countNot(draw(s), kBlack);
    };
    const int solid = pixelsOfStyle(1);
    EXPECT_EQ(solid, 111);
    EXPECT_EQ(pixelsOfStyle(0), solid);
    EXPECT_EQ(pixelsOfStyle(11), solid);
    for (int dashed : {2, 5, 6, 10}) {
        const int n = pixelsOfStyle(dashed);
        EXPECT_LT(n, solid) << dashed;
        EXPECT_GT(n, 0) << dashed;
    }
}

TEST(RendererPixels, HiddenLayersAreNotDrawn) {
    DrawingModel model;
    model.store.createElementStore(4);
    model.store.addLine(0, 20, 100, 20, 3, 1, 1);
    model.store.addLine(0, 40, 100, 40, 4, 2, 1);
    model.setLayerVisible(3, false);
    const QImage img = draw(model.store);
    EXPECT_EQ(at(img, 50, kH - 20), kBlack);
    EXPECT_NE(at(img, 50, kH - 40), kBlack);
    model.setLayerVisible(3, true);
    EXPECT_NE(at(draw(model.store), 50, kH - 20), kBlack);
}

TEST(RendererPixels, LayerFlagsOfTheFileHideTheirLayers) {
    DrawingModel model;
    model.store.createElementStore(4);
    model.store.addLine(0, 20, 100, 20, 3, 1, 1);
    model.store.addLine(0, 40, 100, 40, 5, 1, 1);
    model.layers = {LayerEntry{3, 0, "aus"}, LayerEntry{5, 1, "an"}};
    applyLayerFlags(model);
    const QImage img = draw(model.store);
    EXPECT_EQ(at(img, 50, kH - 20), kBlack);
    EXPECT_NE(at(img, 50, kH - 40), kBlack);
}

TEST(RendererPixels, BlackOutputKeepsPolygonAreasRedMagenta) {
    ElementStore s = store();
    s.addLine(5, 90, 100, 90, 0, 3, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Begin, 4, 0, 0, 2, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 20, 20, 0, 2, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 60, 20, 0, 2, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 60, 60, 0, 2, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Point, 20, 60, 0, 2, 1);
    s.polygonBuilder(ElementStore::PolygonStep::Finish, 0, 0, 0, 2, 1);
    Renderer r;
    const QRgb white = qRgb(255, 255, 255) & 0xFFFFFF;
    const QRgb magenta = qRgb(255, 0, 128) & 0xFFFFFF;

    QImage img = render(r, s, unitView(), kW, kH, Renderer::Path::Fast, Qt::white);
    EXPECT_EQ(at(img, 50, 10), rgbOf(r.penColour(3)));
    EXPECT_EQ(at(img, 40, kH - 40), magenta);

    r.setBlackOutput(true);
    img = render(r, s, unitView(), kW, kH, Renderer::Path::Fast, Qt::white);
    EXPECT_EQ(at(img, 50, 10), kBlack);
    EXPECT_EQ(at(img, 40, kH - 40), magenta);
    // No outline around the area: just outside its left edge stays white.
    EXPECT_EQ(at(img, 19, kH - 40), white);
}

TEST(RendererPixels, TextBelowOnePixelIsSkippedAndTextHangsFromItsAnchor) {
    auto textImage = [](double scale, double angle) {
        ElementStore s = store();
        s.addText(0, 0, "HHH", angle, 10.0, 1.0, 0, 1, 0);
        const Element& t = s.elements()[0];
        // Anchor in the middle of the image.
        const ViewTransform v{scale, t.g[0], t.g[1], kH / 2, kW / 2 - 1};
        Renderer r;
        return render(r, s, v, kW, kH);
    };
    // Font height 10 / 0.75 units: at scale 0.07 the pixel height is trunc(0.93) = 0.
    EXPECT_EQ(countNot(textImage(0.07, 0), kBlack), 0);

    const QImage flat = textImage(1.5, 0);
    int lit = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            if (at(flat, x, y) != kBlack) {
                ++lit;
                EXPECT_GE(x, kW / 2 - 1);
                EXPECT_GE(y, kH / 2);
            }
        }
    }
    EXPECT_GT(lit, 20);

    // At 90 degrees the line runs upwards and its letters stand to the right of the anchor.
    const QImage up = textImage(1.5, 90);
    int litUp = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            if (at(up, x, y) != kBlack) {
                ++litUp;
                EXPECT_GE(x, kW / 2 - 1);
                EXPECT_LE(y, kH / 2 + 1);
            }
        }
    }
    EXPECT_GT(litUp, 20);
}

TEST(RendererPixels, RegularPolygonAtFortyFiveDegreesIsAClosedSquare) {
    ElementStore s = store();
    // Centre in the middle of a pixel: (61, 49) after mapping.
    s.addRegularPolygon(60.5, 50.5, 30 * std::sqrt(2.0), 45, 4, 0, 1, 1);
    const QImage img = draw(s);
    const int cx = 61, cy = 49;
    // Corners at (+-30, +-30): the four sides are axis-parallel at distance 30, including the
    // closing right side from the last corner (315 degrees) back to the first (45 degrees).
    for (int d = -25; d <= 25; d += 5) {
        EXPECT_NE(at(img, cx + 30, cy + d), kBlack) << "right " << d;
        EXPECT_NE(at(img, cx - 30, cy + d), kBlack) << "left " << d;
        EXPECT_NE(at(img, cx + d, cy - 30), kBlack) << "top " << d;
        EXPECT_NE(at(img, cx + d, cy + 30), kBlack) << "bottom " << d;
    }
    EXPECT_EQ(at(img, cx + 35, cy), kBlack);
    EXPECT_EQ(at(img, cx, cy), kBlack);
}

TEST(RendererPixels, RectangleCornersFollowItsRotation) {
    ElementStore s = store();
    s.addRectangle(60.5, 50.5, 40, 20, 90, 0, 1, 1);  // standing: 20 wide, 40 high
    const QImage img = draw(s);
    const int cx = 61, cy = 49;
    EXPECT_NE(at(img, cx - 10, cy), kBlack);
    EXPECT_NE(at(img, cx + 10, cy + 5), kBlack);
    EXPECT_NE(at(img, cx, cy - 20), kBlack);
    EXPECT_NE(at(img, cx + 5, cy + 20), kBlack);
    EXPECT_EQ(at(img, cx + 20, cy), kBlack);
}

TEST(RendererColours, PenTableAndPaletteGiveTheColour) {
    Renderer r;
    const auto& table = defaultColourTable();
    EXPECT_EQ(r.penColour(3), table[2]);
    EXPECT_EQ(r.penColour(1), table[0]);
    EXPECT_EQ(r.penColour(40), table[0]);  // beyond the pen table
    EXPECT_EQ(r.penColour(-2), table[0]);

    const std::int32_t pens[] = {33, -4, 70, 5};
    r.setPenTable(pens);
    EXPECT_EQ(r.penTable()[1], 33);
    EXPECT_EQ(r.penTable()[2], 0);        // negative values are stored as 0
    EXPECT_EQ(r.penTable()[5], 4);        // untouched
    EXPECT_EQ(r.penColour(1), table[1]);  // 33 - 32
    EXPECT_EQ(r.penColour(2), table[0]);
    EXPECT_EQ(r.penColour(3), table[6]);  // 70 - 64
    EXPECT_EQ(r.penColour(4), table[5]);

    const std::uint32_t palette[] = {0x000011, 0x002200, 0x330000};
    r.setColourPalette(palette);
    EXPECT_EQ(r.penColour(4), 0x000011u);  // colour 5 has no entry in a palette of 3
    EXPECT_EQ(r.penColour(1), 0x002200u);
    r.setBlackOutput(true);
    EXPECT_EQ(r.penColour(1), 0u);

    // The colours really reach the pixels.
    Renderer fresh;
    ElementStore s = store();
    s.addLine(0, 50, 100, 50, 0, 5, 1);
    s.addLine(0, 30, 100, 30, 0, 8, 1);
    const QImage img = render(fresh, s, unitView(), kW, kH);
    EXPECT_EQ(at(img, 50, 50), rgbOf(table[4]));
    EXPECT_EQ(at(img, 50, 70), rgbOf(table[7]));
}

}  // namespace
}  // namespace planora
