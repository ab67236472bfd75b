// The fast render path must give exactly the pixels of drawing every visible element on its own
// in array order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "drawing_file.h"
#include "pixel_stamps.h"
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

// Image formats the fast path meets: 32-bit images get small figures written straight into
// their pixels, a 24-bit one is drawn through QPainter only (with runs of one pen).
const QImage::Format kFormats[] = {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied,
                                   QImage::Format_RGB888};

// The number of pixels that differ between two images of one size and format.
int differingPixels(const QImage& a, const QImage& b) {
    EXPECT_EQ(a.size(), b.size());
    EXPECT_EQ(a.format(), b.format());
    const int bytes = a.depth() / 8;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* ra = a.constScanLine(y);
        const uchar* rb = b.constScanLine(y);
        if (std::memcmp(ra, rb, static_cast<std::size_t>(a.width()) * bytes) == 0) {
            continue;
        }
        for (int x = 0; x < a.width(); ++x) {
            differing += std::memcmp(ra + x * bytes, rb + x * bytes, bytes) != 0;
        }
    }
    return differing;
}

// Draws `m` through each view with both paths, in every image format, and expects the same
// pixels. Returns how many views showed anything.
int expectSamePixelsInViews(const DrawingModel& m, const std::vector<ViewTransform>& views,
                            int width, int height, const std::string& label) {
    int showingSomething = 0;
    for (QImage::Format format : kFormats) {
        // One renderer for all views, as in the window: its cache is reused between paints.
        Renderer fast, plain;
        for (std::size_t v = 0; v < views.size(); ++v) {
            const QImage a = test::render(fast, m.store, views[v], width, height,
                                          Renderer::Path::Fast, Qt::black, format);
            const QImage b = test::render(plain, m.store, views[v], width, height,
                                          Renderer::Path::ElementByElement, Qt::black, format);
            EXPECT_EQ(differingPixels(a, b), 0)
                << label << ", view " << v << ", image format " << format;
            showingSomething += format == kFormats[0] && test::countNot(b, 0) > 0;
        }
    }
    return showingSomething;
}

void expectSamePixels(const DrawingModel& m, const std::string& label) {
    WorldBox all;
    ASSERT_EQ(drawingExtents(m.store, all), 1) << label;
    std::vector<ViewTransform> views;
    for (const WorldBox& box : viewBoxes(all)) {
        View view;
        ASSERT_TRUE(view.fitBox(kW, kH, box));
        views.push_back(view.currentView());
    }
    EXPECT_GE(expectSamePixelsInViews(m, views, kW, kH, label), 4) << label;
}

TEST(RenderEquality, RandomDrawingAtSeveralZooms) {
    const DrawingModel m = randomDrawing(20240611);
    expectSamePixels(m, "random");
}

// 12,000 small elements in a 100 x 100 area: lines from zero to a few units, circles and arcs of
// every size down to nothing (arcs whose ends meet, full turns), texts, rectangles, regular
// polygons and polygons, with every pen number 0 to 40, every line style code -1 to 12 and 12
// layers, two of them hidden.
DrawingModel smallElementDrawing(unsigned seed, std::size_t n = 12000) {
    DrawingModel m;
    ElementStore& s = m.store;
    s.createElementStore(n);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pos(0, 100), unit(0, 1), ang(-400, 400);
    std::uniform_int_distribution<int> layer(0, 11), pen(0, 40), style(-1, 12), kind(0, 99);
    std::uniform_int_distribution<int> step(-2, 2);
    while (s.elementCount() < n) {
        const double x = pos(rng), y = pos(rng);
        const double size = std::pow(unit(rng), 3) * 4.0;  // mostly tiny
        const int k = kind(rng), l = layer(rng), p = pen(rng), st = style(rng);
        if (k < 50) {
            s.addLine(x, y, x + size * (unit(rng) - 0.5), y + size * (unit(rng) - 0.5), l, p, st);
        } else if (k < 55) {
            // Axis-parallel and diagonal steps of whole units.
            s.addLine(x, y, x + step(rng), y + step(rng), l, p, st);
        } else if (k < 68) {
            s.addCircle(x, y, size, l, p, st);
        } else if (k < 82) {
            const double a = ang(rng);
            s.addArc(x, y, size, a, k < 72 ? a + 360.0 : ang(rng), l, p, st);
        } else if (k < 88) {
            s.addText(x, y, "Bad 3", ang(rng), size, 1.0, l, p, 0);
        } else if (k < 93) {
            s.addRectangle(x, y, size, size * unit(rng), ang(rng), l, p, st);
        } else if (k < 98) {
            s.addRegularPolygon(x, y, size, ang(rng), 3 + k % 5, l, p, st);
        } else {
            s.polygonBuilder(ElementStore::PolygonStep::Begin, 3, 0, l, p, st);
            for (int i = 0; i < 3; ++i) {
                s.polygonBuilder(ElementStore::PolygonStep::Point, x + size * unit(rng),
                                 y + size * unit(rng), l, p, st);
            }
            s.polygonBuilder(ElementStore::PolygonStep::Finish, 0, 0, l, p, st);
        }
    }
    m.setLayerVisible(3, false);
    m.setLayerVisible(8, false);
    return m;
}

// A pan draws only the strip it uncovers, into a clipped painter over stale pixels: inside the
// strip the pixels must be those of the whole picture (an element culled against the strip that
// still reaches into it would leave a gap), outside it nothing may change (a figure written
// straight into the pixels past the clip would smear the kept picture).
TEST(RenderEquality, StripDrawnAloneMatchesTheWholePictureAndKeepsTheRest) {
    const DrawingModel m = smallElementDrawing(31);
    auto centredOn = [](double scale, double x, double y) {
        return ViewTransform{scale, x - 0.5 * kW / scale, y - 0.5 * kH / scale, kH, 0};
    };
    // The last two views make every element a dot or a short line, with the drawing across the
    // left and the bottom edge, so that single pixels are written right at a strip's border.
    const ViewTransform views[] = {centredOn(4.5, 50, 50), centredOn(11, 30, 60),
                                   centredOn(60, 50, 50), centredOn(0.7, 420, 50),
                                   centredOn(2.0, 50, 150)};
    const ViewTransform stale = centredOn(3.0, 40, 45);
    const DeviceArea strips[] = {
        {0, 0, kW, 7},        {0, kH - 9, kW, kH},      {0, 0, 13, kH},         {kW - 5, 0, kW, kH},
        {200, 150, 263, 151}, {kW - 40, 7, kW, kH - 9}, {-20, -20, kW + 20, 3}, {301, 0, 302, kH}};
    for (QImage::Format format : kFormats) {
        Renderer fast, plain;
        for (std::size_t v = 0; v < std::size(views); ++v) {
            const ViewTransform& t = views[v];
            const QImage whole = test::render(plain, m.store, t, kW, kH,
                                              Renderer::Path::ElementByElement, Qt::black, format);
            for (const DeviceArea& a : strips) {
                // Stale pixels: another view of the drawing on another background.
                QImage image = test::render(fast, m.store, stale, kW, kH, Renderer::Path::Fast,
                                            QColor(0, 0, 90), format);
                const QImage before = image;
                const QRect rect = QRect(QPoint(a.left, a.top), QPoint(a.right - 1, a.bottom - 1))
                                       .intersected(image.rect());
                {
                    QPainter painter(&image);
                    painter.setClipRect(rect);
                    painter.fillRect(rect, Qt::black);
                    PainterSurface surface(painter, kW, kH);
                    RenderRequest request;
                    request.view = t;
                    request.clip = a;
                    fast.render(surface, m.store, request);
                }
                QImage expected = before;
                {
                    QPainter painter(&expected);
                    painter.drawImage(rect.topLeft(), whole, rect);
                }
                EXPECT_EQ(differingPixels(image, expected), 0)
                    << "view " << v << ", strip " << a.left << "," << a.top << "-" << a.right << ","
                    << a.bottom << ", format " << format;
            }
        }
    }
}

TEST(RenderEquality, SmallElementsAtManyZooms) {
    const DrawingModel m = smallElementDrawing(99);
    // From a few pixels per unit (everything a dot) to 60 (the largest figures exceed what is
    // written directly), about points inside and at the edge of the drawing; an odd image size.
    constexpr int w = 331, h = 247;
    std::vector<ViewTransform> views;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> centre(-5, 105);
    for (double scale : {2.5, 3.3, 5.0, 7.7, 11.0, 16.0, 23.0, 35.0, 60.0}) {
        const double cx = centre(rng), cy = centre(rng);
        views.push_back(ViewTransform{scale, cx - 0.5 * w / scale, cy - 0.5 * h / scale, h, 0});
    }
    // The whole drawing, large enough to be drawn in two bands of rows on two threads: every
    // element near the row where the bands meet must reach both of them. At the smaller scales
    // nearly every element shrinks to a dot, as in a thumbnail, also across the image's edges.
    for (double scale : {2.2, 2.45, 0.9, 0.35}) {
        views.push_back(ViewTransform{scale, 50 - 0.5 * w / scale, 50 - 0.5 * h / scale, h, 0});
    }
    views.push_back(ViewTransform{0.9, 80, 90, h, 0});
    EXPECT_GE(expectSamePixelsInViews(m, views, w, h, "small elements"), 13);
}

// 12,000 figures of about one pixel at the scales below, a third of them within a few rows of
// where two bands meet: arcs with a radius of 0 and on both sides of a pixel and spans below, at
// and above half a turn (also given as negative or more than a full turn, and with angles that are
// not numbers), rectangles turned or not (also by -0), regular polygons with corner counts that
// draw and that do not, texts on both sides of a pixel high, lines and circles.
DrawingModel tinyFigureDrawing(unsigned seed) {
    DrawingModel m;
    ElementStore& s = m.store;
    const std::size_t n = 12000;
    s.createElementStore(n);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pos(0, 100), nearMiddle(48.5, 51.5), unit(0, 1),
        any(-400, 400);
    std::uniform_int_distribution<int> layer(0, 11), pen(0, 40), style(-1, 12), kind(0, 99);
    const double angles[] = {0.0,   10.0, 90.0, 179.99, 180.0, 190.0, 270.0,        359.99,
                             360.0, -180, -90,  540.0,  720.0, -0.0,  std::nan(""), 1e300};
    const double corners[] = {0.0, 0.5, 1.0, 1.5, 3.0, 5.0, 70000.0, std::nan("")};
    std::uniform_int_distribution<int> angle(0, std::size(angles) - 1);
    std::uniform_int_distribution<int> corner(0, std::size(corners) - 1);
    while (s.elementCount() < n) {
        const double x = pos(rng), y = s.elementCount() % 3 == 0 ? nearMiddle(rng) : pos(rng);
        const double size = 0.6 * unit(rng);
        const int k = kind(rng), l = layer(rng), p = pen(rng), st = style(rng);
        if (k < 30) {
            // Angles from the list, or any: both ends then often fall on one pixel.
            const double start = k < 20 ? angles[angle(rng)] : any(rng);
            const double end = k < 10 ? start + angles[angle(rng)] : any(rng);
            // Also of radius 0, where both ends always fall on the centre's pixel.
            s.addArc(x, y, k % 5 == 0 ? 0.0 : k % 4 == 0 ? -size : size, start, end, l, p, st);
        } else if (k < 50) {
            s.addRectangle(x, y, size, size * unit(rng), k < 40 ? angles[angle(rng)] : 0.0, l, p,
                           st);
        } else if (k < 65) {
            s.addRegularPolygon(x, y, size, angles[angle(rng)], corners[corner(rng)], l, p, st);
        } else if (k < 75) {
            s.addText(x, y, "Flur", angles[angle(rng)], size, 1.0, l, p, 0);
        } else if (k < 90) {
            s.addLine(x, y, x + size * (unit(rng) - 0.5), y + size * (unit(rng) - 0.5), l, p, st);
        } else {
            s.addCircle(x, y, size, l, p, st);
        }
    }
    m.setLayerVisible(4, false);
    return m;
}

// Figures written without their general steps (dots, tiny arcs, outlines within a pixel, the
// part of a stamp on one band) must keep the pixels those steps give.
TEST(RenderEquality, FiguresWithinAPixelAndAcrossTheBandEdge) {
    const DrawingModel m = tinyFigureDrawing(17);
    // Large enough for two bands; the drawing's middle row where they meet, and its corner
    // across the image's top-left edges. The smallest scale makes every figure a dot.
    constexpr int w = 331, h = 247;
    std::vector<ViewTransform> views;
    for (double scale : {0.35, 1.7, 2.2, 2.45, 3.1, 6.0}) {
        views.push_back(ViewTransform{scale, 50 - 0.5 * w / scale, 50 - 0.5 * h / scale, h, 0});
    }
    views.push_back(ViewTransform{2.45, -5, 95 - h / 2.45, h, 0});
    EXPECT_GE(expectSamePixelsInViews(m, views, w, h, "tiny figures"), 7);

    // An unturned rectangle (angle 0 or -0) is the four lines through its corners, in order.
    DrawingModel rectangles, lines;
    rectangles.store.createElementStore(40);
    lines.store.createElementStore(160);
    for (int i = 0; i < 40; ++i) {
        const double cx = 4.25 + 2.5 * (i % 8), cy = 3.5 + 4.75 * (i / 8);
        const double hw = 0.125 * (i % 7 + 1), hh = 0.25 * (i % 5 + 1);
        rectangles.store.addRectangle(cx, cy, 2 * hw, 2 * hh, i % 2 == 0 ? 0.0 : -0.0, 0, 1 + i % 8,
                                      1);
        const double k[4][2] = {
            {cx - hw, cy + hh}, {cx + hw, cy + hh}, {cx + hw, cy - hh}, {cx - hw, cy - hh}};
        for (int j = 0; j < 4; ++j) {
            lines.store.addLine(k[j][0], k[j][1], k[(j + 1) % 4][0], k[(j + 1) % 4][1], 0,
                                1 + i % 8, 1);
        }
    }
    for (double scale : {2.0, 7.5, 31.0}) {
        const ViewTransform view{scale, 0, 0, h, 0};
        Renderer a, b;
        const QImage fromRectangles =
            test::render(a, rectangles.store, view, w, h, Renderer::Path::ElementByElement);
        EXPECT_GT(test::countNot(fromRectangles, 0), 0);
        EXPECT_EQ(differingPixels(fromRectangles, test::render(b, lines.store, view, w, h,
                                                               Renderer::Path::ElementByElement)),
                  0)
            << "scale " << scale;
    }
}

// The element grid covers the area where nearly all elements lie; elements far outside it are
// kept in its border cells and must still be found by a view of them alone, and the elements of
// every size must be found from the finest level of cells to the coarsest.
TEST(RenderEquality, ElementsFarFromTheDenseAreaAndOfEverySize) {
    DrawingModel m;
    ElementStore& s = m.store;
    s.createElementStore(12000);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> pos(0, 100), unit(0, 1);
    std::uniform_int_distribution<int> pen(1, 8);
    // A dense cluster with sizes from a hundredth of a unit to the whole cluster.
    while (s.elementCount() < 10000) {
        const double x = pos(rng), y = pos(rng), size = std::pow(10.0, -2.0 + 4.0 * unit(rng));
        if (s.elementCount() % 3 == 0) {
            s.addCircle(x, y, 0.5 * size, 0, pen(rng), 1);
        } else {
            s.addLine(x, y, x + size * (unit(rng) - 0.5), y + size * (unit(rng) - 0.5), 0, pen(rng),
                      1);
        }
    }
    // Small elements far away on every side, and corners of a huge square around everything.
    std::vector<WorldBox> farViews;
    for (int i = 0; i < 40; ++i) {
        const double angle = i * 0.157, reach = 1e3 * (1 + i % 7) * (i % 2 ? 1 : 100);
        const double x = 50 + reach * std::cos(angle), y = 50 + reach * std::sin(angle);
        s.addLine(x, y, x + 0.3, y + 0.2, 0, 1 + i % 8, 1);
        s.addCircle(x + 0.1, y - 0.1, 0.15, 0, 1 + (i + 3) % 8, 1);
        farViews.push_back(WorldBox{x - 0.5, y - 0.5, x + 0.8, y + 0.6});
    }
    s.addRectangle(50, 50, 4e5, 4e5, 0, 0, 2, 1);
    std::vector<ViewTransform> views;
    for (const WorldBox& box : farViews) {
        View view;
        ASSERT_TRUE(view.fitBox(kW, kH, box));
        views.push_back(view.currentView());
    }
    for (const WorldBox& box : {WorldBox{40, 40, 45, 44}, WorldBox{-1, -1, 3, 2},
                                WorldBox{97, 96, 101, 103}, WorldBox{10, 10, 90, 90}}) {
        View view;
        ASSERT_TRUE(view.fitBox(kW, kH, box));
        views.push_back(view.currentView());
    }
    EXPECT_GE(expectSamePixelsInViews(m, views, kW, kH, "far and dense"), 40);
}

// A thumbnail-sized raster is drawn without building the element boxes, so every element of
// the drawing comes to the surface, also those far outside it: the pixels must still be those of
// drawing element by element, whatever part of the drawing the view shows.
TEST(RenderEquality, SmallRasterDrawnWithoutElementBoxes) {
    constexpr int w = 122, h = 97;
    const DrawingModel dense = smallElementDrawing(7);
    const DrawingModel mixed = randomDrawing(11);
    const DrawingModel tiny = tinyFigureDrawing(5);
    for (const DrawingModel* m : {&dense, &mixed, &tiny}) {
        WorldBox all;
        ASSERT_EQ(drawingExtents(m->store, all), 1);
        int showing = 0;
        for (const WorldBox& box : viewBoxes(all)) {
            View view;
            ASSERT_TRUE(view.fitBox(w, h, box));
            for (QImage::Format format : kFormats) {
                Renderer fresh, plain;  // fresh: no element boxes yet
                const QImage a = test::render(fresh, m->store, view.currentView(), w, h,
                                              Renderer::Path::Fast, Qt::black, format);
                const QImage b = test::render(plain, m->store, view.currentView(), w, h,
                                              Renderer::Path::ElementByElement, Qt::black, format);
                EXPECT_EQ(differingPixels(a, b), 0)
                    << "view " << box.xmin << "," << box.ymin << ", format " << format;
                showing += format == kFormats[0] && test::countNot(b, 0) > 0;
            }
        }
        EXPECT_GE(showing, 4);
    }
}

// A thumbnail of a large drawing is drawn in two halves of the element array at once, the later
// half onto a blank copy of the image whose drawn pixels are then taken over. Where elements of
// both halves meet on a pixel the later one must win, also for what the copy gets from the
// painter (texts, polygons, long lines, figures cut by the image's edges), and pixels the later
// half leaves alone must keep the earlier half's colours; with and without element boxes.
TEST(RenderEquality, SmallRasterDrawnInTwoHalvesKeepsTheArrayOrder) {
    constexpr int w = 122, h = 97;
    // About eight elements on every pixel of the whole view.
    const DrawingModel m = smallElementDrawing(5, 2 * Renderer::kSmallRasterSplitElements + 1001);
    WorldBox all;
    ASSERT_EQ(drawingExtents(m.store, all), 1);
    std::vector<ViewTransform> views;
    View inside;
    ASSERT_TRUE(inside.fitInside(w, h, all));  // as a thumbnail is fitted
    views.push_back(inside.currentView());
    for (const WorldBox& box : viewBoxes(all)) {
        View view;
        ASSERT_TRUE(view.fitBox(w, h, box));
        views.push_back(view.currentView());
    }
    for (QImage::Format format : kFormats) {
        // `painted` has built the element boxes in a large paint before.
        Renderer fresh, painted, plain;
        test::render(painted, m.store, views[0], kW, kH, Renderer::Path::Fast, Qt::black, format);
        for (std::size_t v = 0; v < views.size(); ++v) {
            const QImage expected =
                test::render(plain, m.store, views[v], w, h, Renderer::Path::ElementByElement,
                             Qt::black, format);
            for (Renderer* r : {&fresh, &painted}) {
                const QImage a = test::render(*r, m.store, views[v], w, h, Renderer::Path::Fast,
                                              Qt::black, format);
                EXPECT_EQ(differingPixels(a, expected), 0)
                    << "view " << v << ", format " << format << (r == &fresh ? ", fresh" : "");
            }
        }
    }
}

// Draws figures with a PainterSurface whose direct pixel writing is switched on or off; the
// figures get varied colours so that a figure drawn in the wrong order or place shows.
template <typename DrawFigures>
QImage surfaceImage(int width, int height, bool direct, QImage::Format format,
                    DrawFigures&& drawFigures) {
    QImage image(width, height, format);
    image.fill(QColor(20, 40, 60));
    QPainter painter(&image);
    {
        PainterSurface surface(painter, width, height);
        EXPECT_EQ(surface.setDirectPixels(direct), direct);
        drawFigures(surface);
    }
    painter.end();
    return image;
}

std::uint32_t figureColour(int i) {
    return 0x00102030u * static_cast<std::uint32_t>(i % 7 + 1) ^ 0x00C0A080u;
}

constexpr DashStyle kStyles[] = {DashStyle::Solid, DashStyle::Dash, DashStyle::Dot,
                                 DashStyle::DashDot, DashStyle::DashDotDot};

TEST(DirectPixels, EveryShortLineCircleAndArcAsQPainterDrawsIt) {
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        for (DashStyle style : kStyles) {
            // Each line from -18 to 18 pixels in both directions (the longer ones go through
            // QPainter) in a cell of its own, through lineTo and through drawLines.
            constexpr int cell = 40, span = 18, side = (2 * span + 1) * cell;
            auto lines = [&](DrawingSurface& surface) {
                int i = 0;
                for (int dy = -span; dy <= span; ++dy) {
                    for (int dx = -span; dx <= span; ++dx, ++i) {
                        const int x = (dx + span) * cell + cell / 2;
                        const int y = (dy + span) * cell + cell / 2;
                        surface.setPen(figureColour(i), style);
                        if (i % 2 == 0) {
                            surface.moveTo(x, y);
                            surface.lineTo(x + dx, y + dy);
                        } else {
                            const DeviceLine line{x, y, x + dx, y + dy};
                            surface.drawLines(std::span(&line, 1));
                        }
                    }
                }
            };
            EXPECT_EQ(differingPixels(surfaceImage(side, side, true, format, lines),
                                      surfaceImage(side, side, false, format, lines)),
                      0)
                << "lines, style " << static_cast<int>(style) << ", format " << format;

            // Random lines up to 70 pixels long in each direction, crossing each other.
            auto longLines = [&](DrawingSurface& surface) {
                std::mt19937 rng(static_cast<unsigned>(style) + 7);
                std::uniform_int_distribution<int> pos(0, 500), d(-70, 70);
                for (int i = 0; i < 1500; ++i) {
                    surface.setPen(figureColour(i), style);
                    const int x = pos(rng), y = pos(rng);
                    surface.moveTo(x, y);
                    surface.lineTo(x + d(rng), y + d(rng));
                }
            };
            EXPECT_EQ(differingPixels(surfaceImage(520, 520, true, format, longLines),
                                      surfaceImage(520, 520, false, format, longLines)),
                      0)
                << "long lines, style " << static_cast<int>(style) << ", format " << format;

            // Circles of every box size from 0 to 70, and arcs of random sizes and rays.
            auto curves = [&](DrawingSurface& surface) {
                for (int size = 0; size <= 70; ++size) {
                    surface.setPen(figureColour(size), style);
                    const int x = 4 + (size % 10) * 80, y = 4 + (size / 10) * 80;
                    surface.drawEllipse(x, y, x + size, y + size);
                }
                std::mt19937 rng(static_cast<unsigned>(style) + 11);
                std::uniform_int_distribution<int> box(0, 40), ray(-50, 90), smallBox(0, 8),
                    smallRay(-3, 11);
                for (int i = 0; i < 400; ++i) {
                    surface.setPen(figureColour(i), style);
                    // An arc stays within its box, whatever its rays.
                    const int x = 4 + (i % 20) * 50, y = 660 + (i / 20) * 50;
                    if (i % 2 == 0) {
                        // Small arcs from a few rays, so that the same shapes come again.
                        const int size = smallBox(rng);
                        surface.drawArc(x, y, x + size, y + size, x + smallRay(rng),
                                        y + smallRay(rng), x + smallRay(rng), y + smallRay(rng));
                        continue;
                    }
                    const int size = box(rng);
                    surface.drawArc(x, y, x + size, y + size, x + ray(rng), y + ray(rng),
                                    x + ray(rng), y + ray(rng));
                }
            };
            EXPECT_EQ(differingPixels(surfaceImage(1000, 1660, true, format, curves),
                                      surfaceImage(1000, 1660, false, format, curves)),
                      0)
                << "curves, style " << static_cast<int>(style) << ", format " << format;
        }
    }
}

TEST(DirectPixels, FiguresAtAndBeyondTheImageEdges) {
    // Small figures partly or wholly outside a small image, and touching its edges.
    constexpr int w = 37, h = 29;
    for (DashStyle style : kStyles) {
        std::mt19937 rng(static_cast<unsigned>(style) + 3);
        std::uniform_int_distribution<int> px(-12, w + 12), py(-12, h + 12), d(-9, 9), size(0, 12);
        auto figures = [&](DrawingSurface& surface) {
            for (int i = 0; i < 600; ++i) {
                surface.setPen(figureColour(i), style);
                const int x = px(rng), y = py(rng), s = size(rng);
                switch (i % 3) {
                    case 0:
                        surface.moveTo(x, y);
                        surface.lineTo(x + d(rng), y + d(rng));
                        break;
                    case 1:
                        surface.drawEllipse(x, y, x + s, y + s);
                        break;
                    default:
                        surface.drawArc(x, y, x + s, y + s, x + d(rng), y + d(rng), x + d(rng),
                                        y + d(rng));
                        break;
                }
            }
        };
        const std::mt19937 start = rng;
        const QImage direct = surfaceImage(w, h, true, QImage::Format_RGB32, figures);
        rng = start;
        const QImage plain = surfaceImage(w, h, false, QImage::Format_RGB32, figures);
        EXPECT_EQ(differingPixels(direct, plain), 0) << "style " << static_cast<int>(style);
    }
}

// A small raster takes the stamps of the tiniest figures also where the edges of its writable
// pixels cut them, keeping the stamp's pixels inside: lines spanning up to two pixels either way,
// circles of box size up to 2 and arcs of box size 0. That must be what the painter draws of the
// figure there, at every position across every edge and corner, in every style, at the edges of
// the image and at those of a rectangle the painter is clipped to.
TEST(DirectPixels, TinyFigureStampsCutAtTheEdgesAsThePainterCutsThem) {
    struct Figure {
        int kind;  // 0 line, 1 circle, 2 arc
        int a, b, c, d, e;
    };
    std::vector<Figure> figures;
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            figures.push_back({0, dx, dy, 0, 0, 0});
        }
    }
    for (int size = 0; size <= 2; ++size) {
        figures.push_back({1, size, 0, 0, 0, 0});
    }
    for (int ray = 0; ray < 81; ++ray) {
        figures.push_back({2, 0, ray % 3 - 1, ray / 3 % 3 - 1, ray / 9 % 3 - 1, ray / 27 - 1});
    }
    // The whole of a 12 x 10 image, and a 12 x 10 rectangle a painter on a larger image is
    // clipped to.
    const QRect whole(0, 0, 12, 10), clipped(5, 3, 12, 10);
    int compared = 0;
    for (const QRect& area : {whole, clipped}) {
        const bool clip = area != whole;
        const QSize size = clip ? QSize(22, 17) : area.size();
        auto paint = [&](auto&& figure) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(QColor(20, 40, 60));
            QPainter painter(&image);
            if (clip) {
                painter.setClipRect(area);
            }
            {
                PainterSurface surface(painter, size.width(), size.height());
                figure(surface);
            }
            painter.end();
            return image;
        };
        for (DashStyle style : kStyles) {
            for (const Figure& f : figures) {
                std::span<const StampPixel> stamp;
                PixelStamps& stamps = pixelStamps();
                const bool known = f.kind == 0 ? stamps.line(style, f.a, f.b, stamp)
                                   : f.kind == 1
                                       ? stamps.circle(style, f.a, stamp)
                                       : stamps.arc(style, f.a, f.b, f.c, f.d, f.e, stamp);
                ASSERT_TRUE(known);
                const std::vector<StampPixel> pixels(stamp.begin(), stamp.end());
                for (int x = area.left() - 4; x <= area.right() + 4; ++x) {
                    for (int y = area.top() - 4; y <= area.bottom() + 4; ++y) {
                        const QImage painted = paint([&](DrawingSurface& s) {
                            s.setPen(0x00FFFFFF, style);
                            if (f.kind == 0) {
                                s.moveTo(x, y);
                                s.lineTo(x + f.a, y + f.b);
                            } else if (f.kind == 1) {
                                s.drawEllipse(x, y, x + f.a, y + f.a);
                            } else {
                                s.drawArc(x, y, x, y, x + f.b, y + f.c, x + f.d, y + f.e);
                            }
                        });
                        QImage cut = paint([](DrawingSurface&) {});
                        for (const StampPixel& p : pixels) {
                            if (area.contains(x + p.dx, y + p.dy)) {
                                cut.setPixel(x + p.dx, y + p.dy, 0xFFFFFFFF);
                            }
                        }
                        ASSERT_EQ(differingPixels(painted, cut), 0)
                            << (clip ? "clipped, " : "") << "style " << static_cast<int>(style)
                            << ", figure " << f.kind << " " << f.a << " " << f.b << " " << f.c
                            << " " << f.d << " " << f.e << " at " << x << "," << y;
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 200000);
}

TEST(DirectPixels, OnlyOnUntransformedUnclippedRasterImages) {
    QImage rgb16(40, 30, QImage::Format_RGB16);
    QImage rgb32(40, 30, QImage::Format_RGB32);
    {
        QPainter painter(&rgb16);
        EXPECT_FALSE(PainterSurface(painter, 40, 30).setDirectPixels(true));
    }
    {
        QPainter painter(&rgb32);
        EXPECT_TRUE(PainterSurface(painter, 40, 30).setDirectPixels(true));
        painter.translate(2, 0);
        EXPECT_FALSE(PainterSurface(painter, 40, 30).setDirectPixels(true));
        painter.resetTransform();
        // One clip rectangle keeps direct writing (within it); any other clip shape does not.
        painter.setClipRect(0, 0, 10, 10);
        EXPECT_TRUE(PainterSurface(painter, 40, 30).setDirectPixels(true));
        painter.setClipRegion(QRegion(0, 0, 10, 10) + QRegion(20, 20, 5, 5));
        EXPECT_FALSE(PainterSurface(painter, 40, 30).setDirectPixels(true));
        painter.setClipping(false);
        painter.setOpacity(0.5);
        EXPECT_FALSE(PainterSurface(painter, 40, 30).setDirectPixels(true));
    }
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

// Every thread's stamps start as a copy of those the process takes once, possibly on another
// thread: on a new thread each line stamp, short ones from the copy and longer ones taken there
// one by one, has the pixels of a stamp taken afresh on that thread.
TEST(RenderEquality, StampsCopiedFromTheProcessMatchStampsTakenOnTheThread) {
    std::thread taker([] { prepareProcessStamps(); });
    taker.join();
    std::thread([] {
        PixelStamps fresh;
        for (int style = 0; style < 5; ++style) {
            const auto dash = static_cast<DashStyle>(style);
            for (int dy = -20; dy <= 20; ++dy) {
                for (int dx = -20; dx <= 20; ++dx) {
                    std::span<const StampPixel> copied, taken;
                    ASSERT_TRUE(pixelStamps().line(dash, dx, dy, copied));
                    ASSERT_TRUE(fresh.line(dash, dx, dy, taken));
                    ASSERT_EQ(copied.size(), taken.size()) << style << " " << dx << " " << dy;
                    for (std::size_t i = 0; i < copied.size(); ++i) {
                        ASSERT_EQ(copied[i].dx, taken[i].dx);
                        ASSERT_EQ(copied[i].dy, taken[i].dy);
                    }
                }
            }
        }
    }).join();
}

}  // namespace
}  // namespace planora
