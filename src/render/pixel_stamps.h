// The one way each figure of the drawing surface is drawn with QPainter, and "stamps": the pixel
// patterns of small figures, taken once from QPainter itself, so that a huge number of tiny
// figures can be written straight into an image with exactly the pixels QPainter would give.
//
// A figure with integer corner points drawn with a one-pixel aliased pen covers the same pixels
// wherever it is moved by whole pixels, as long as nothing of it is clipped. So one drawing of a
// figure at a fixed place in a scratch image tells which pixels it covers anywhere else.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <array>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "drawing_surface.h"

namespace planora {

// The pen of an element: one device pixel wide whatever the transform, both end pixels of a
// line drawn, the dash pattern restarting with every line.
QPen elementPen(std::uint32_t colour, DashStyle style);

// The ellipse box (corners in any order) as a rectangle of non-negative size.
QRect normalisedBox(int left, int top, int right, int bottom);

// Draws the arc of the ellipse in `box` counter-clockwise from the ray through (xs, ys) to the
// ray through (xe, ye) with the painter's pen.
void paintArc(QPainter& painter, const QRect& box, int xs, int ys, int xe, int ye);

// One pixel of a stamp, relative to the figure's reference point.
struct StampPixel {
    std::int16_t dx;
    std::int16_t dy;
};

class PixelStamps {
  public:
    // Lines with both |dx| and |dy| up to this many pixels have stamps. Those up to
    // kBulkLineSpan are all taken at once when a style is first used, longer ones one by one
    // when they are first met.
    static constexpr int kMaxLineSpan = 64;
    static constexpr int kBulkLineSpan = 16;
    // Circles (square ellipse boxes) and arcs up to these box sizes have stamps.
    static constexpr int kMaxCircleBox = 64;
    static constexpr int kMaxArcBox = 32;
    // Arc ray points may lie this far outside their box.
    static constexpr int kArcPointReach = 32;
    // How far every stamp pixel may lie outside the figure's nominal box (its corner points);
    // a figure is written directly only when this margin around it lies inside the image.
    static constexpr int kMargin = 3;

    // Each gives the pixels of a figure in `out` (valid until the next call) and returns true,
    // or returns false when there is no stamp for it (the caller then draws with QPainter).
    //
    // The line from (0, 0) to (dx, dy).
    bool line(DashStyle style, int dx, int dy, std::span<const StampPixel>& out) {
        if (dx < -kMaxLineSpan || dx > kMaxLineSpan || dy < -kMaxLineSpan || dy > kMaxLineSpan) {
            return false;
        }
        const auto s = static_cast<std::size_t>(style);
        if (lineRanges_[s].empty()) {
            calibrateLines(style);
        }
        Range& r = lineRanges_[s][static_cast<std::size_t>(dy + kMaxLineSpan) * kLineSide +
                                  static_cast<std::size_t>(dx + kMaxLineSpan)];
        if (r.count == kUnknown) {
            calibrateLine(style, dx, dy, r);
        }
        out = {linePixels_[s].data() + r.start, r.count};
        return true;
    }
    // The ellipse outline in the box (0, 0, size, size).
    bool circle(DashStyle style, int size, std::span<const StampPixel>& out);
    // The arc in the box (0, 0, size, size) with the ray points given relative to the box's
    // top-left corner.
    bool arc(DashStyle style, int size, int xs, int ys, int xe, int ye,
             std::span<const StampPixel>& out);

    // Whether every arc in the box of size 0 whose ray points lie within one pixel of the box
    // (as they do for an arc of radius below one pixel) has the pixels of the circle of size 0.
    // Such an arc then needs no ray points at all.
    bool tinyArcsAreDots(DashStyle style);

    // Takes the stamps of the short lines (up to kBulkLineSpan) of every style now.
    void takeShortLines();

  private:
    struct Range {
        std::uint32_t start = 0;
        std::uint32_t count = kUnknown;
    };
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;  // not taken yet
    static constexpr int kLineSide = 2 * kMaxLineSpan + 1;
    static constexpr std::size_t kStyles = 5;

    void calibrateLines(DashStyle style);
    void calibrateLine(DashStyle style, int dx, int dy, Range& range);
    void calibrateCircles(DashStyle style);

    std::array<std::vector<StampPixel>, kStyles> linePixels_;
    std::array<std::vector<Range>, kStyles> lineRanges_;  // kLineSide^2 each once calibrated
    std::array<std::vector<StampPixel>, kStyles> circlePixels_;
    std::array<std::vector<Range>, kStyles> circleRanges_;  // kMaxCircleBox + 1 each
    QImage lineScratch_;                                    // for the lines taken one by one
    std::vector<StampPixel> arcPixels_;
    std::unordered_map<std::uint64_t, Range> arcRanges_;
    std::array<std::int8_t, kStyles> tinyArcsAreDots_{-1, -1, -1, -1, -1};  // -1: not known yet
};

// The stamps of the calling thread (QPainter on images may be used from any thread). Each
// thread's stamps start as a copy of the short-line stamps the process takes once.
PixelStamps& pixelStamps();
// Takes the process's short-line stamps now, on a thread with time on its hands, so that the
// first drawing on any thread does not wait for them. Needs the application object: QPainter
// picks its pixel routines when that is made.
void prepareProcessStamps();

}  // namespace planora
