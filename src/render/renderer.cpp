#include "renderer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

#include "element_cache.h"
#include "element_geometry.h"
#include "pixel_stamps.h"
#include "text_encoding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace planora {

namespace {

constexpr double kPi = 3.141592653589793;
// Device coordinates beyond this many pixels from the origin are clipped before they are turned
// into integers, so that extreme zoom levels cannot overflow the pixel type.
constexpr double kDeviceLimit = 16777216.0;
// Regular polygons with more corners than this are drawn with no corners (a damaged count would
// otherwise keep the painter busy for minutes).
constexpr int kMaxCorners = 65536;
// Text taller than this many pixels is not drawn.
constexpr int kMaxTextPixels = 32768;
// Pixels around the surface within which elements are still drawn by the fast path: a mapped
// point can move by the extra pixel in x and by truncation.
constexpr double kCullMargin = 4.0;

double radians(double degrees) {
    return degrees * kPi / 180.0;
}

struct DeviceXY {
    double x;
    double y;
};

DeviceXY mapExact(const ViewTransform& v, double x, double y) {
    return {(x - v.worldOriginX) * v.scale + v.deviceOriginX + 1,
            v.deviceOriginY - (y - v.worldOriginY) * v.scale};
}

// Clips the segment a-b to the square within kDeviceLimit (Liang-Barsky). False when nothing of
// it remains.
bool clipToLimit(DeviceXY& a, DeviceXY& b) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x + kDeviceLimit, kDeviceLimit - a.x, a.y + kDeviceLimit,
                         kDeviceLimit - a.y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
        } else {
            const double t = q[i] / p[i];
            if (p[i] < 0.0) {
                t0 = std::max(t0, t);
            } else {
                t1 = std::min(t1, t);
            }
        }
    }
    if (t0 > t1) {
        return false;
    }
    const DeviceXY a0 = a;
    a = {a0.x + t0 * dx, a0.y + t0 * dy};
    b = {a0.x + t1 * dx, a0.y + t1 * dy};
    return true;
}

// A float not above / not below a drawing coordinate (beyond the float range: the infinity on
// that side). Not a number gives the widest value, so that nothing is left out by it.
float floatBelowOf(double v) {
    const float f = static_cast<float>(v);
    if (std::isnan(v)) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<double>(f) <= v ? f
                                       : std::nextafter(f, -std::numeric_limits<float>::infinity());
}

float floatAboveOf(double v) {
    const float f = static_cast<float>(v);
    if (std::isnan(v)) {
        return std::numeric_limits<float>::infinity();
    }
    return static_cast<double>(f) >= v ? f
                                       : std::nextafter(f, std::numeric_limits<float>::infinity());
}

bool withinLimit(const DeviceXY& p) {
    return std::abs(p.x) <= kDeviceLimit && std::abs(p.y) <= kDeviceLimit;
}

// The drawing mapping of the segment (x1, y1)-(x2, y2). False when it lies wholly beyond the
// device limit (or is not a number).
bool mapSegment(const ViewTransform& v, double x1, double y1, double x2, double y2,
                DeviceLine& out) {
    DeviceXY a = mapExact(v, x1, y1);
    DeviceXY b = mapExact(v, x2, y2);
    if (withinLimit(a) && withinLimit(b)) {
        // Within the limit (which also rules out NaN) truncToPixel is the plain conversion.
        out = {static_cast<int>(a.x), static_cast<int>(a.y), static_cast<int>(b.x),
               static_cast<int>(b.y)};
        return true;
    }
    if (std::isnan(a.x) || std::isnan(a.y) || std::isnan(b.x) || std::isnan(b.y) ||
        !clipToLimit(a, b)) {
        return false;
    }
    out = {truncToPixel(a.x), truncToPixel(a.y), truncToPixel(b.x), truncToPixel(b.y)};
    return true;
}

// The counter-clockwise angle from `start` to `end` in degrees, in (0, 360]; 0 only when both
// are equal. A whole number of turns between them is a full turn.
double arcSpan(double start, double end) {
    const double d = end - start;
    if (d == 0.0) {
        return 0.0;
    }
    double m = std::fmod(d, 360.0);
    if (m < 0.0) {
        m += 360.0;
    }
    return m == 0.0 ? 360.0 : m;
}

// Receives the figures of an element for a surface whose pen is already set: segments either
// straight to the surface as move/line pairs, or into a batch of lines with one pen.
class SegmentSink {
  public:
    SegmentSink(DrawingSurface& surface, bool batch) : surface_(surface), batch_(batch) {}

    void line(const DeviceLine& line) {
        if (batch_) {
            lines_.push_back(line);
        } else {
            surface_.moveTo(line.x1, line.y1);
            surface_.lineTo(line.x2, line.y2);
        }
    }
    void ellipse(int left, int top, int right, int bottom) {
        surface_.drawEllipse(left, top, right, bottom);
    }
    void arc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
        surface_.drawArc(left, top, right, bottom, xs, ys, xe, ye);
    }
    void text(int x, int y, std::string_view utf8, int pixelHeight, int escapement) {
        surface_.drawText(x, y, utf8, pixelHeight, escapement);
    }
    void fill(std::span<const DevicePoint> points, std::uint32_t colour) {
        surface_.fillPolygon(points, colour);
    }

    void flush() {
        if (!lines_.empty()) {
            surface_.drawLines(lines_);
            lines_.clear();
        }
    }

  private:
    DrawingSurface& surface_;
    bool batch_;
    std::vector<DeviceLine> lines_;
};

// Receives the figures of an element for a raster surface: lines, circles and arcs that lie
// wholly inside the writable pixels and have a stamp are written straight into them (a figure
// that shrinks to one pixel as that pixel), which gives the pixels the surface itself gives them
// (the surface takes the same stamps); everything else goes to the surface, whose pen is set
// only then. The stamps of short lines and of circles are turned into offsets in this raster's
// rows once per style, so that writing one is a lookup and a few stores.
class DirectSink {
  public:
    DirectSink(DrawingSurface& surface, const DirectRaster& raster)
        : surface_(surface),
          raster_(raster),
          stamps_(*raster.stamps),
          fitLeft_(raster.left + PixelStamps::kMargin),
          fitTop_(raster.top + PixelStamps::kMargin),
          fitRight_(raster.right - PixelStamps::kMargin),
          fitBottom_(raster.bottom - PixelStamps::kMargin),
          // Offsets are kept in 32 bits: a stamp reaches less than kMaxCircleBox + 2 * kMargin
          // rows from its reference point.
          offsetsUsable_(raster.stride > 0 && raster.stride <= (std::ptrdiff_t{1} << 24)) {
        for (std::size_t s = 0; s < dotIsOnePixel_.size(); ++s) {
            std::span<const StampPixel> pixels;
            dotIsOnePixel_[s] = stamps_.line(static_cast<DashStyle>(s), 0, 0, pixels) &&
                                pixels.size() == 1 && pixels[0].dx == 0 && pixels[0].dy == 0;
        }
    }

    // The pen of the next element: its colour and that colour as a raster pixel.
    [[gnu::always_inline]] void setPen(std::uint32_t colour, std::uint32_t pixel, DashStyle style) {
        colour_ = colour;
        style_ = style;
        pixel_ = pixel;
        penSet_ = false;
    }

    // The common case inline: a short line whose stamp lies inside the writable pixels.
    [[gnu::always_inline]] void line(const DeviceLine& l) {
        const int dx = l.x2 - l.x1;
        const int dy = l.y2 - l.y1;
        constexpr int span = PixelStamps::kBulkLineSpan;
        if (static_cast<unsigned>(dx + span) <= 2u * span &&
            static_cast<unsigned>(dy + span) <= 2u * span && offsetsUsable_ && endsFit(l)) {
            plotOffsets(lineOffsets(static_cast<std::size_t>(style_)),
                        static_cast<std::size_t>(dy + span) * (2 * span + 1) +
                            static_cast<std::size_t>(dx + span),
                        l.x1, l.y1);
            return;
        }
        anyLine(l);
    }

    [[gnu::noinline]] void anyLine(const DeviceLine& l) {
        const int dx = l.x2 - l.x1;
        const int dy = l.y2 - l.y1;
        if ((dx | dy) == 0 && dotIsOnePixel_[static_cast<std::size_t>(style_)]) {
            // A line within one pixel: that pixel, unless it lies outside the writable pixels,
            // where the surface would clip it away.
            if (l.x1 >= raster_.left && l.x1 < raster_.right && l.y1 >= raster_.top &&
                l.y1 < raster_.bottom) {
                raster_.pixels[l.y1 * raster_.stride + l.x1] = pixel_;
            }
            return;
        }
        const int left = std::min(l.x1, l.x2), top = std::min(l.y1, l.y2);
        const int right = std::max(l.x1, l.x2), bottom = std::max(l.y1, l.y2);
        if (missesRaster(left, top, right, bottom)) {
            return;
        }
        if (fitsImage(left, top, right, bottom)) {
            std::span<const StampPixel> pixels;
            if (stamps_.line(style_, dx, dy, pixels)) {
                plotClipped(l.x1, l.y1, pixels, fits(left, top, right, bottom));
                return;
            }
        }
        applyPen();
        surface_.moveTo(l.x1, l.y1);
        surface_.lineTo(l.x2, l.y2);
    }

    [[gnu::always_inline]] void ellipse(int left, int top, int right, int bottom) {
        const int l = std::min(left, right);
        const int t = std::min(top, bottom);
        const int size = std::max(left, right) - l;
        if (size == std::max(top, bottom) - t && size <= PixelStamps::kMaxCircleBox &&
            offsetsUsable_ && fits(l, t, l + size, t + size)) {
            plotOffsets(circleOffsets(static_cast<std::size_t>(style_)),
                        static_cast<std::size_t>(size), l, t);
            return;
        }
        anyEllipse(left, top, right, bottom);
    }

    [[gnu::noinline]] void anyEllipse(int left, int top, int right, int bottom) {
        const int l = std::min(left, right);
        const int t = std::min(top, bottom);
        const int r = std::max(left, right);
        const int b = std::max(top, bottom);
        if (missesRaster(l, t, r, b)) {
            return;
        }
        std::span<const StampPixel> pixels;
        if (r - l == b - t && fitsImage(l, t, r, b) && stamps_.circle(style_, r - l, pixels)) {
            plotClipped(l, t, pixels, fits(l, t, r, b));
            return;
        }
        applyPen();
        surface_.drawEllipse(left, top, right, bottom);
    }

    void arc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
        const int l = std::min(left, right);
        const int t = std::min(top, bottom);
        const int size = std::max(left, right) - l;
        if (missesRaster(l, t, std::max(left, right), std::max(top, bottom))) {
            return;
        }
        if (size == std::max(top, bottom) - t && fitsImage(l, t, l + size, t + size)) {
            std::span<const StampPixel> pixels;
            if (stamps_.arc(style_, size, xs - l, ys - t, xe - l, ye - t, pixels)) {
                plotClipped(l, t, pixels, fits(l, t, l + size, t + size));
                return;
            }
        }
        applyPen();
        surface_.drawArc(left, top, right, bottom, xs, ys, xe, ye);
    }

    // An arc of radius below one pixel about (cx, cy) that spans half a turn or more. Where both
    // its ends fall on one pixel it is the circle of size 0, else the arc of size 0 between
    // them; when every such arc has the circle's pixels and that stamp lies inside the image,
    // it is written without working out the ends. False when the arc needs its ends.
    bool tinyArc(int cx, int cy) {
        std::int8_t& dots = tinyArcsAreDots_[static_cast<std::size_t>(style_)];
        if (dots < 0) {
            dots = stamps_.tinyArcsAreDots(style_) ? 1 : 0;
        }
        if (dots == 0 || !fitsImage(cx, cy, cx, cy)) {
            return false;
        }
        ellipse(cx, cy, cx, cy);
        return true;
    }

    void text(int x, int y, std::string_view utf8, int pixelHeight, int escapement) {
        applyPen();
        surface_.drawText(x, y, utf8, pixelHeight, escapement);
    }

    void fill(std::span<const DevicePoint> points, std::uint32_t colour) {
        applyPen();
        surface_.fillPolygon(points, colour);
    }

  private:
    // Stamps as offsets in the raster, relative to their reference pixel. Most stamps of short
    // figures have at most kShort pixels: their offsets are kept with the stamp, the unused
    // places repeating the last (writing a pixel twice changes nothing), so that they are
    // written without a loop. Every stamp's offsets are also kept in `offsets`, from `start`.
    static constexpr std::uint32_t kShort = 4;
    struct OffsetStamp {
        std::array<std::int32_t, kShort> first;
        std::uint32_t start;
        std::uint32_t count;
    };
    struct OffsetStamps {
        std::vector<OffsetStamp> stamps;
        std::vector<std::int32_t> offsets;
    };

    void applyPen() {
        if (!penSet_) {
            surface_.setPen(colour_, style_);
            penSet_ = true;
        }
    }

    // Whether the box, with the margin every stamp keeps within, lies inside the writable
    // pixels (the test the surface makes before it writes a stamp).
    bool fits(int left, int top, int right, int bottom) const {
        return left >= fitLeft_ && top >= fitTop_ && right < fitRight_ && bottom < fitBottom_;
    }

    // fits() of the line's box: both ends inside the writable pixels less the margin.
    [[gnu::always_inline]] bool endsFit(const DeviceLine& l) const {
#if defined(__SSE2__)
        // Each coordinate less the first fitting one, compared without sign (by flipping the
        // sign bits) with the number of fitting ones.
        const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&l));
        const __m128i shifted = _mm_xor_si128(_mm_sub_epi32(ends, fitFirst_), signBits_);
        return _mm_movemask_epi8(_mm_cmplt_epi32(shifted, fitCount_)) == 0xFFFF;
#else
        return fits(std::min(l.x1, l.x2), std::min(l.y1, l.y2), std::max(l.x1, l.x2),
                    std::max(l.y1, l.y2));
#endif
    }

    // Whether the box, with that margin, lies inside the image: the stamp then gives every pixel
    // the figure has on the whole picture, of which only those inside the writable pixels are
    // written (the others belong to another band, or to the part of a window kept as it is).
    bool fitsImage(int left, int top, int right, int bottom) const {
        constexpr int m = PixelStamps::kMargin;
        return left - m >= 0 && top - m >= 0 && right + m < raster_.imageWidth &&
               bottom + m < raster_.imageHeight;
    }

    // Whether the box, with that margin, lies wholly outside the writable pixels: the figure
    // then leaves them as they are. Lets a paint without culling pass over far-away figures.
    bool missesRaster(int left, int top, int right, int bottom) const {
        constexpr int m = PixelStamps::kMargin;
        return right + m < raster_.left || bottom + m < raster_.top || left - m >= raster_.right ||
               top - m >= raster_.bottom;
    }

    void plot(int x, int y, std::span<const StampPixel> pixels) const {
        std::uint32_t* origin = raster_.pixels + y * raster_.stride + x;
        for (const StampPixel& p : pixels) {
            origin[p.dy * raster_.stride + p.dx] = pixel_;
        }
    }

    // The stamp's pixels inside the writable pixels (all of them when `inside`).
    void plotClipped(int x, int y, std::span<const StampPixel> pixels, bool inside) const {
        if (inside) {
            plot(x, y, pixels);
            return;
        }
        for (const StampPixel& p : pixels) {
            const int px = x + p.dx, py = y + p.dy;
            if (px >= raster_.left && px < raster_.right && py >= raster_.top &&
                py < raster_.bottom) {
                raster_.pixels[py * raster_.stride + px] = pixel_;
            }
        }
    }

    [[gnu::always_inline]] void plotOffsets(const OffsetStamps& table, std::size_t k, int x,
                                            int y) const {
        std::uint32_t* origin = raster_.pixels + y * raster_.stride + x;
        const OffsetStamp& stamp = table.stamps[k];
        if (stamp.count - 1u < kShort) {
            origin[stamp.first[0]] = pixel_;
            origin[stamp.first[1]] = pixel_;
            origin[stamp.first[2]] = pixel_;
            origin[stamp.first[3]] = pixel_;
            return;
        }
        const std::int32_t* offsets = table.offsets.data() + stamp.start;
        for (std::uint32_t i = 0; i < stamp.count; ++i) {
            origin[offsets[i]] = pixel_;
        }
    }

    void addOffsets(OffsetStamps& table, std::span<const StampPixel> pixels) const {
        OffsetStamp stamp{};
        stamp.start = static_cast<std::uint32_t>(table.offsets.size());
        stamp.count = static_cast<std::uint32_t>(pixels.size());
        for (const StampPixel& p : pixels) {
            table.offsets.push_back(static_cast<std::int32_t>(p.dy * raster_.stride + p.dx));
        }
        for (std::uint32_t i = 0; i < kShort && stamp.count > 0; ++i) {
            stamp.first[i] = table.offsets[stamp.start + std::min(i, stamp.count - 1)];
        }
        table.stamps.push_back(stamp);
    }

    // The short lines of a style, by (dy + span) * (2 * span + 1) + dx + span.
    [[gnu::always_inline]] const OffsetStamps& lineOffsets(std::size_t style) {
        OffsetStamps& table = lineOffsets_[style];
        if (table.stamps.empty()) [[unlikely]] {
            makeLineOffsets(style, table);
        }
        return table;
    }

    [[gnu::noinline]] void makeLineOffsets(std::size_t style, OffsetStamps& table) {
        constexpr int span = PixelStamps::kBulkLineSpan;
        for (int dy = -span; dy <= span; ++dy) {
            for (int dx = -span; dx <= span; ++dx) {
                std::span<const StampPixel> pixels;
                stamps_.line(static_cast<DashStyle>(style), dx, dy, pixels);
                addOffsets(table, pixels);
            }
        }
    }

    // The circles of a style, by box size.
    [[gnu::always_inline]] const OffsetStamps& circleOffsets(std::size_t style) {
        OffsetStamps& table = circleOffsets_[style];
        if (table.stamps.empty()) [[unlikely]] {
            makeCircleOffsets(style, table);
        }
        return table;
    }

    [[gnu::noinline]] void makeCircleOffsets(std::size_t style, OffsetStamps& table) {
        for (int size = 0; size <= PixelStamps::kMaxCircleBox; ++size) {
            std::span<const StampPixel> pixels;
            stamps_.circle(static_cast<DashStyle>(style), size, pixels);
            addOffsets(table, pixels);
        }
    }

    DrawingSurface& surface_;
    const DirectRaster& raster_;
    PixelStamps& stamps_;
    const int fitLeft_;
    const int fitTop_;
    const int fitRight_;
    const int fitBottom_;
    const bool offsetsUsable_;
#if defined(__SSE2__)
    const __m128i signBits_ = _mm_set1_epi32(std::numeric_limits<std::int32_t>::min());
    const __m128i fitFirst_ = _mm_setr_epi32(fitLeft_, fitTop_, fitLeft_, fitTop_);
    const __m128i fitCount_ = _mm_xor_si128(
        _mm_setr_epi32(std::max(fitRight_ - fitLeft_, 0), std::max(fitBottom_ - fitTop_, 0),
                       std::max(fitRight_ - fitLeft_, 0), std::max(fitBottom_ - fitTop_, 0)),
        signBits_);
#endif
    std::array<bool, 5> dotIsOnePixel_{};
    std::array<std::int8_t, 5> tinyArcsAreDots_{-1, -1, -1, -1, -1};  // -1: not asked yet
    std::array<OffsetStamps, 5> lineOffsets_;
    std::array<OffsetStamps, 5> circleOffsets_;
    std::uint32_t colour_ = 0;
    DashStyle style_ = DashStyle::Solid;
    std::uint32_t pixel_ = 0;
    bool penSet_ = false;
};

// Draws one visible element into `out` (a SegmentSink or a DirectSink with the element's pen).
template <typename Out>
void drawElement(Out& out, const ViewTransform& v, const ElementStore& store, const Element& e,
                 std::vector<DevicePoint>& points) {
    // A broken record (NaN or infinity in a field the kind uses) draws nothing; the rest of the
    // drawing is unaffected.
    if (!hasFiniteFields(e)) {
        return;
    }
    const double s = v.scale;
    auto segment = [&](double x1, double y1, double x2, double y2) {
        DeviceLine line;
        if (mapSegment(v, x1, y1, x2, y2, line)) {
            out.line(line);
        }
    };

    switch (e.kind) {
        case ElementKind::Line: {
            const LineGeometry l = lineGeometry(e);
            segment(l.x1, l.y1, l.x2, l.y2);
            return;
        }

        case ElementKind::Rectangle: {
            const RectangleGeometry rect = rectangleGeometry(e);
            // An unturned rectangle, the usual case, needs no cosine and sine: they are 1 and
            // (a zero of the angle's sign) 0 exactly.
            const double angle = radians(rect.angle);
            const bool unturned = angle == 0.0;
            const double c = unturned ? 1.0 : std::cos(angle);
            const double sn = unturned ? angle : std::sin(angle);
            const double hw = rect.width / 2.0, hh = rect.height / 2.0;
            const double ax = rect.centreX - hw * c, ay = rect.centreY - hw * sn;
            const double bx = rect.centreX + hw * c, by = rect.centreY + hw * sn;
            const double nx = -sn * hh, ny = c * hh;
            const double k[4][2] = {
                {ax + nx, ay + ny}, {bx + nx, by + ny}, {bx - nx, by - ny}, {ax - nx, ay - ny}};
            for (int i = 0; i < 4; ++i) {
                const int j = (i + 1) % 4;
                segment(k[i][0], k[i][1], k[j][0], k[j][1]);
            }
            return;
        }

        case ElementKind::RegularPolygon: {
            const RegularPolygonGeometry rp = regularPolygonGeometry(e);
            const double corners = std::trunc(rp.cornerCount);
            if (!(corners >= 1.0) || corners > kMaxCorners) {
                return;
            }
            const int n = static_cast<int>(corners);
            const double step = 360.0 / n;
            double a = rp.firstCornerAngle;
            const double x0 = rp.centreX + rp.radius * std::cos(radians(a));
            const double y0 = rp.centreY + rp.radius * std::sin(radians(a));
            double px = x0, py = y0;
            for (int i = 1; i < n; ++i) {
                a += step;
                if (a > 360.0) {
                    a -= 360.0;
                }
                const double qx = rp.centreX + rp.radius * std::cos(radians(a));
                const double qy = rp.centreY + rp.radius * std::sin(radians(a));
                segment(px, py, qx, qy);
                px = qx;
                py = qy;
            }
            segment(px, py, x0, y0);
            return;
        }

        case ElementKind::Circle:
        case ElementKind::Arc: {
            // A circle's fields are the first three of an arc's.
            const ArcGeometry arc = arcGeometry(e);
            const DeviceXY c = mapExact(v, arc.centreX, arc.centreY);
            const double rr = arc.radius * s;
            if (!withinLimit(c) || !(std::abs(rr) <= kDeviceLimit)) {
                return;
            }
            const int cx = truncToPixel(c.x);
            const int cy = truncToPixel(c.y);
            const int r = truncToPixel(rr);
            if (e.kind == ElementKind::Circle) {
                out.ellipse(cx - r, cy - r, cx + r, cy + r);
                return;
            }
            const double a1 = radians(arc.startAngle);
            const double a2 = radians(arc.endAngle);
            const int xs = truncToPixel(cx + std::cos(a1) * arc.radius * s);
            const int ys = truncToPixel(cy - std::sin(a1) * arc.radius * s);
            const int xe = truncToPixel(cx + std::cos(a2) * arc.radius * s);
            const int ye = truncToPixel(cy - std::sin(a2) * arc.radius * s);
            if (xs == xe && ys == ye) {
                // Both ends on one pixel: a tiny arc draws nothing, a large one (half a turn or
                // more) is the whole ellipse at this zoom.
                if (arcSpan(arc.startAngle, arc.endAngle) >= 180.0) {
                    out.ellipse(cx - r, cy - r, cx + r, cy + r);
                }
                return;
            }
            out.arc(cx - r, cy - r, cx + r, cy + r, xs, ys, xe, ye);
            return;
        }

        case ElementKind::Text: {
            const TextGeometry t = textGeometry(e);
            const int height = truncToPixel(-s * t.fontHeight);
            if (height == 0 || std::abs(static_cast<long>(height)) > kMaxTextPixels) {
                return;
            }
            const DeviceXY anchor = mapExact(v, t.anchorX, t.anchorY);
            if (!withinLimit(anchor)) {
                return;
            }
            const std::string utf8 = toUtf8FromCp1252(store.text(e));
            out.text(truncToPixel(anchor.x), truncToPixel(anchor.y), utf8, std::abs(height),
                     truncToPixel(t.angle * 10.0));
            return;
        }

        case ElementKind::Polygon: {
            const PolygonPoints& p = store.polygon(e);
            const std::size_t n = std::min(p.x.size(), p.y.size());
            if (n == 0) {
                return;
            }
            points.resize(n);
            for (std::size_t i = 0; i < n; ++i) {
                if (!std::isfinite(p.x[i]) || !std::isfinite(p.y[i])) {
                    return;  // a broken point: the polygon draws nothing
                }
                DeviceXY d = mapExact(v, p.x[i], p.y[i]);
                d.x = std::clamp(d.x, -kDeviceLimit, kDeviceLimit);
                d.y = std::clamp(d.y, -kDeviceLimit, kDeviceLimit);
                points[i] = {truncToPixel(d.x), truncToPixel(d.y)};
            }
            out.fill(points, Renderer::kPolygonFill);
            return;
        }
    }
    // Unknown kinds draw nothing.
}

// Draws visible elements one by one in the pen of each, straight into the pixels where the
// surface lets the renderer write them. What depends only on the pen (its colour as a raster
// pixel) or the line style code (its dash style) is looked up in tables made once per paint.
class ElementDrawer {
  public:
    ElementDrawer(DrawingSurface& surface, const ViewTransform& view, const ElementStore& store,
                  const std::array<std::uint32_t, Renderer::kPenCount + 1>& colours)
        : surface_(surface),
          view_(view),
          store_(store),
          colours_(colours),
          raster_(surface.directRaster()),
          sink_(surface, false) {
        for (std::size_t pen = 0; pen < colours_.size(); ++pen) {
            pixels_[pen] = rasterPixel(colours_[pen]);
        }
        for (std::size_t code = 0; code < styles_.size(); ++code) {
            styles_[code] = dashStyleForCode(static_cast<std::int32_t>(code));
        }
        if (raster_) {
            direct_.emplace(surface, *raster_);
        }
    }

    [[gnu::always_inline]] void draw(const Element& e) {
        // Pens outside the table take the last entry.
        const std::size_t pen =
            std::min<std::uint32_t>(static_cast<std::uint32_t>(e.penField), Renderer::kPenCount);
        const DashStyle style = styleOf(e.lineStyle);
        if (!direct_) [[unlikely]] {
            surface_.setPen(colours_[pen], style);
            drawElement(sink_, view_, store_, e, points_);
            return;
        }
        direct_->setPen(colours_[pen], pixels_[pen], style);
        // By how common each kind is; tested one after another, which costs less than a jump
        // through a table whose target changes from element to element.
        if (e.kind == ElementKind::Line) [[likely]] {
            // A line whose ends map within the device limit (so both are finite numbers),
            // mapped as drawElement maps it, without its general steps.
            DeviceLine line;
            if (mapLineWithinLimit(e, line)) [[likely]] {
                direct_->line(line);
                return;
            }
        } else if (e.kind == ElementKind::Circle) {
            // drawElement's circle: the centre within the device limit and a radius no larger
            // (which also rules out non-finite fields), else nothing.
            const DeviceXY c = mapExact(view_, e.g[0], e.g[1]);
            const double rr = e.g[2] * view_.scale;
            if (withinLimit(c) && std::abs(rr) <= kDeviceLimit) {
                const int cx = static_cast<int>(c.x);
                const int cy = static_cast<int>(c.y);
                const int r = static_cast<int>(rr);
                direct_->ellipse(cx - r, cy - r, cx + r, cy + r);
            }
            return;
        } else if (e.kind == ElementKind::Text) {
            // drawElement's text height: a text less than a pixel high draws nothing (nor does
            // one with a field that is not a number, which gives 0 here too).
            if (truncToPixel(-view_.scale * textGeometry(e).fontHeight) == 0) {
                return;
            }
        } else if (e.kind == ElementKind::Arc) {
            drawArc(e);
            return;
        } else if (e.kind == ElementKind::Rectangle || e.kind == ElementKind::RegularPolygon) {
            drawOutline(e);
            return;
        }
        drawGeneral(e);
    }

    DashStyle styleOf(std::int32_t code) const {
        const auto c = static_cast<std::uint32_t>(code);
        return c < styles_.size() ? styles_[c] : DashStyle::Solid;
    }

  private:
    // mapExact of both ends of a line, converted to pixels; false when an end lies beyond the
    // device limit or is not a number. With SSE2 both coordinates of an end are mapped at once:
    // y is mapped as (y - originY) * -scale + deviceOriginY + 0, which is
    // deviceOriginY - (y - originY) * scale to the last bit (a negated product is the product of
    // the negated factor, adding a negated value is subtracting it, and adding 0 only turns a
    // -0 into +0).
    [[gnu::always_inline]] bool mapLineWithinLimit(const Element& e, DeviceLine& out) const {
#if defined(__SSE2__)
        static_assert(sizeof(DeviceLine) == 4 * sizeof(std::int32_t) &&
                      offsetof(DeviceLine, y2) == 3 * sizeof(std::int32_t));
        const __m128d a =
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(e.g), worldOrigin_), scale_),
                                  deviceOrigin_),
                       oneAndZero_);
        const __m128d b = _mm_add_pd(
            _mm_add_pd(_mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(e.g + 2), worldOrigin_), scale_),
                       deviceOrigin_),
            oneAndZero_);
        const __m128d within = _mm_and_pd(_mm_cmple_pd(_mm_and_pd(a, magnitude_), limit_),
                                          _mm_cmple_pd(_mm_and_pd(b, magnitude_), limit_));
        if (_mm_movemask_pd(within) != 3) {
            return false;
        }
        const __m128i ends = _mm_unpacklo_epi64(_mm_cvttpd_epi32(a), _mm_cvttpd_epi32(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&out), ends);
        return true;
#else
        const DeviceXY a = mapExact(view_, e.g[0], e.g[1]);
        const DeviceXY b = mapExact(view_, e.g[2], e.g[3]);
        if (!withinLimit(a) || !withinLimit(b)) {
            return false;
        }
        out = DeviceLine{static_cast<int>(a.x), static_cast<int>(a.y), static_cast<int>(b.x),
                         static_cast<int>(b.y)};
        return true;
#endif
    }

    [[gnu::noinline]] void drawArc(const Element& e) {
        // drawElement's arc with a radius below one pixel (r = 0) and a span of half a turn or
        // more, when its ends are not needed. The span is end - start when that lies below a
        // full turn; it is a number only when both angles are, as the centre within the limit
        // and the radius below a pixel are only for finite fields.
        const ArcGeometry arc = arcGeometry(e);
        const DeviceXY c = mapExact(view_, arc.centreX, arc.centreY);
        const double rr = arc.radius * view_.scale;
        const double turn = arc.endAngle - arc.startAngle;
        if (withinLimit(c) && std::abs(rr) < 1.0 &&
            ((turn >= 180.0 && turn < 360.0) || arcSpan(arc.startAngle, arc.endAngle) >= 180.0) &&
            direct_->tinyArc(static_cast<int>(c.x), static_cast<int>(c.y))) {
            return;
        }
        drawElement(*direct_, view_, store_, e, points_);
    }

    // Rectangles and regular polygons: every corner lies within the element's box, and the
    // mapping to the device keeps the order of coordinates, so when the box maps into one pixel,
    // every side is a line within that pixel, and all of them together that one dot.
    [[gnu::noinline]] void drawOutline(const Element& e) {
        bool drawsSides = true;
        if (e.kind == ElementKind::RegularPolygon) {
            const double corners = std::trunc(regularPolygonGeometry(e).cornerCount);
            drawsSides = corners >= 1.0 && corners <= kMaxCorners;
        }
        if (drawsSides) {
            // The corners carry a rounding of a few units in the last place of the figure's
            // coordinates, which the box (rounded outwards to floats by a part of its own
            // size) may not cover where it lies near 0: it is widened by far more than that.
            const ElementBox b = elementBox(store_, e);
            const double slack = (std::abs(static_cast<double>(b.xmin)) + std::abs(b.xmax) +
                                  std::abs(b.ymin) + std::abs(b.ymax)) *
                                 0x1p-40;
            const DeviceXY low = mapExact(view_, b.xmin - slack, b.ymax + slack);
            const DeviceXY high = mapExact(view_, b.xmax + slack, b.ymin - slack);
            // Within the limit rules out the boxes of elements that draw nothing (inverted or
            // infinite) and makes the conversion the one drawElement's sides take.
            if (withinLimit(low) && withinLimit(high)) {
                const int x = static_cast<int>(low.x);
                const int y = static_cast<int>(low.y);
                if (x == static_cast<int>(high.x) && y == static_cast<int>(high.y)) {
                    direct_->line(DeviceLine{x, y, x, y});
                    return;
                }
            }
        }
        drawElement(*direct_, view_, store_, e, points_);
    }

    // Every other figure, through the general steps.
    [[gnu::noinline]] void drawGeneral(const Element& e) {
        drawElement(*direct_, view_, store_, e, points_);
    }

    DrawingSurface& surface_;
    const ViewTransform view_;  // a copy: kept in registers across the pixel stores
    const ElementStore& store_;
    const std::array<std::uint32_t, Renderer::kPenCount + 1> colours_;
    std::array<std::uint32_t, Renderer::kPenCount + 1> pixels_{};
    std::array<DashStyle, 16> styles_{};
#if defined(__SSE2__)
    const __m128d worldOrigin_ = _mm_set_pd(view_.worldOriginY, view_.worldOriginX);
    const __m128d scale_ = _mm_set_pd(-view_.scale, view_.scale);
    const __m128d deviceOrigin_ = _mm_set_pd(view_.deviceOriginY, view_.deviceOriginX);
    const __m128d oneAndZero_ = _mm_set_pd(0.0, 1.0);
    const __m128d magnitude_ = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m128d limit_ = _mm_set1_pd(kDeviceLimit);
#endif
    const std::optional<DirectRaster> raster_;
    SegmentSink sink_;
    std::optional<DirectSink> direct_;
    std::vector<DevicePoint> points_;
};

bool isSegmentKind(ElementKind k) {
    return k == ElementKind::Line || k == ElementKind::Rectangle ||
           k == ElementKind::RegularPolygon;
}

}  // namespace

const std::array<std::uint32_t, 16>& defaultColourTable() {
    auto rgb = [](std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        return r | (g << 8) | (b << 16);
    };
    static const std::array<std::uint32_t, 16> table = {
        rgb(192, 192, 192), rgb(0, 0, 255),   rgb(0, 255, 0),   rgb(0, 255, 255),
        rgb(255, 0, 0),     rgb(0, 0, 255),   rgb(255, 255, 0), rgb(255, 255, 255),
        rgb(80, 80, 192),   rgb(0, 0, 192),   rgb(0, 192, 0),   rgb(0, 192, 192),
        rgb(192, 0, 0),     rgb(192, 0, 192), rgb(192, 192, 0), rgb(128, 128, 128)};
    return table;
}

// A second thread kept for the life of a renderer: what a thread prepares for drawing (the
// pixel stamps are made once per thread) then stays ready between paints.
class BandWorker {
  public:
    BandWorker() : thread_([this] { loop(); }) {}
    ~BandWorker() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    BandWorker(const BandWorker&) = delete;
    BandWorker& operator=(const BandWorker&) = delete;

    void start(std::function<void()> job) {
        {
            std::lock_guard lock(mutex_);
            job_ = std::move(job);
            done_ = false;
            failure_ = nullptr;
        }
        wake_.notify_all();
    }

    // Waits for the job; a failure in it is passed on here.
    void wait() {
        std::unique_lock lock(mutex_);
        finished_.wait(lock, [this] { return done_; });
        if (failure_) {
            std::rethrow_exception(std::exchange(failure_, nullptr));
        }
    }

  private:
    void loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || job_; });
            if (stop_) {
                return;
            }
            std::function<void()> job = std::move(job_);
            job_ = nullptr;
            lock.unlock();
            std::exception_ptr failure;
            try {
                job();
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            failure_ = failure;
            done_ = true;
            finished_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::function<void()> job_;
    bool done_ = true;
    bool stop_ = false;
    std::exception_ptr failure_;
    std::thread thread_;  // last: starts when everything above is ready
};

namespace {

// Draws elements of a small raster (a thumbnail) in array order with the pixels an ElementDrawer
// gives them. Where a whole large drawing fits into a few thousand pixels nearly every line,
// circle and arc shrinks to a pixel or a few and nearly every text to nothing; those figures are
// worked out here as drawElement and DirectSink work them out, without their general steps, and
// written from the same stamps. Everything else goes through the ElementDrawer.
class SmallRasterDrawer {
  public:
    SmallRasterDrawer(DrawingSurface& surface, const ViewTransform& view, const ElementStore& store,
                      const std::array<std::uint32_t, Renderer::kPenCount + 1>& colours,
                      const DirectRaster& raster)
        : view_(view),
          elements_(store.elementArray()),
          raster_(raster),
          stamps_(*raster.stamps),
          drawer_(surface, view, store, colours) {
        for (std::size_t pen = 0; pen < colours.size(); ++pen) {
            penPixels_[pen] = rasterPixel(colours[pen]);
        }
        for (std::size_t s = 0; s < dotIsOnePixel_.size(); ++s) {
            std::span<const StampPixel> pixels;
            dotIsOnePixel_[s] = stamps_.line(static_cast<DashStyle>(s), 0, 0, pixels) &&
                                pixels.size() == 1 && pixels[0].dx == 0 && pixels[0].dy == 0;
        }
        for (std::size_t code = 0; code < kStyleCodes; ++code) {
            styleForCode_[code] = dashStyleForCode(static_cast<std::int32_t>(code));
        }
        styleForCode_[kStyleCodes] = DashStyle::Solid;  // every other code
        for (std::size_t code = 0; code <= kStyleCodes; ++code) {
            dotForCode_[code] = dotIsOnePixel_[static_cast<std::size_t>(styleForCode_[code])];
        }
    }

    // Draws elements [from, to).
    void draw(std::size_t from, std::size_t to) {
        // The mapping of mapExact with every value in a local: a pixel written through a pointer
        // could otherwise be taken to change the view between elements.
        const double s = view_.scale;
        const double wox = view_.worldOriginX, woy = view_.worldOriginY;
        const double dox = view_.deviceOriginX, doy = view_.deviceOriginY;
        const int left = raster_.left, top = raster_.top;
        const int right = raster_.right, bottom = raster_.bottom;
        std::uint32_t* const pixels = raster_.pixels;
        const std::ptrdiff_t stride = raster_.stride;
        const Element* const elements = elements_;
        for (std::size_t i = from; i < to; ++i) {
            const Element& e = elements[i];
            if (e.layerField < 1) {
                continue;
            }
            if (e.kind == ElementKind::Line) {
                // Most elements: a line that starts and ends on one pixel is that pixel.
                const DeviceXY a{(e.g[0] - wox) * s + dox + 1, doy - (e.g[1] - woy) * s};
                const DeviceXY b{(e.g[2] - wox) * s + dox + 1, doy - (e.g[3] - woy) * s};
                if (withinLimit(a) && withinLimit(b)) {
                    const int x = static_cast<int>(a.x), y = static_cast<int>(a.y);
                    const int x2 = static_cast<int>(b.x), y2 = static_cast<int>(b.y);
                    if (x == x2 && y == y2 && dotForCode_[styleCode(e)]) {
                        if (x >= left && x < right && y >= top && y < bottom) {
                            pixels[y * stride + x] = penPixel(e);
                        }
                    } else {
                        drawSegment(e, x, y, x2, y2);
                    }
                    continue;
                }
            } else if (e.kind == ElementKind::Text && std::abs(s * e.g[3]) < 1.0) {
                continue;  // a font height below one pixel draws nothing (nor a broken record)
            }
            drawOne(e);
        }
    }

  private:
    static std::size_t styleCode(const Element& e) {
        return std::min(static_cast<std::uint32_t>(e.lineStyle),
                        static_cast<std::uint32_t>(kStyleCodes));
    }
    std::uint32_t penPixel(const Element& e) const {
        return penPixels_[std::min(static_cast<std::uint32_t>(e.penField),
                                   static_cast<std::uint32_t>(Renderer::kPenCount))];
    }

    // Kept out of the loop above, so that the loop's values stay in registers.
    [[gnu::noinline]] void drawSegment(const Element& e, int x1, int y1, int x2, int y2) {
        style_ = styleForCode_[styleCode(e)];
        pixel_ = penPixel(e);
        if (!segment(x1, y1, x2, y2)) {
            drawer_.draw(e);
        }
    }

    [[gnu::noinline]] void drawOne(const Element& e) {
        style_ = styleForCode_[styleCode(e)];
        pixel_ = penPixel(e);
        bool done = false;
        switch (e.kind) {
            case ElementKind::Line:
                done = line(e);
                break;
            case ElementKind::Circle:
                done = circle(e);
                break;
            case ElementKind::Arc:
                done = arc(e);
                break;
            case ElementKind::Rectangle:
                done = rectangle(e);
                break;
            case ElementKind::Text:
                // A font height below one pixel draws nothing (as does a broken record).
                done = std::abs(view_.scale * e.g[3]) < 1.0;
                break;
            default:
                break;
        }
        if (!done) {
            // Anything drawn of the element so far is drawn again in the same colour.
            drawer_.draw(e);
        }
    }

    // Each returns true when it has drawn the element (or found that it draws nothing), false
    // when the element is left to the ElementDrawer.
    bool line(const Element& e) {
        const DeviceXY a = mapExact(view_, e.g[0], e.g[1]);
        const DeviceXY b = mapExact(view_, e.g[2], e.g[3]);
        if (!withinLimit(a) || !withinLimit(b)) {
            return false;
        }
        return segment(static_cast<int>(a.x), static_cast<int>(a.y), static_cast<int>(b.x),
                       static_cast<int>(b.y));
    }

    // As drawElement draws a rectangle: its four sides as segments.
    bool rectangle(const Element& e) {
        if (!hasFiniteFields(e)) {
            return true;  // draws nothing
        }
        const RectangleGeometry rect = rectangleGeometry(e);
        const auto angleBits = std::bit_cast<std::uint64_t>(rect.angle);
        if (!rectangleAngleKnown_ || rectangleAngleBits_ != angleBits) {
            rectangleCos_ = std::cos(radians(rect.angle));
            rectangleSin_ = std::sin(radians(rect.angle));
            rectangleAngleBits_ = angleBits;
            rectangleAngleKnown_ = true;
        }
        const double c = rectangleCos_;
        const double sn = rectangleSin_;
        const double hw = rect.width / 2.0, hh = rect.height / 2.0;
        const double ax = rect.centreX - hw * c, ay = rect.centreY - hw * sn;
        const double bx = rect.centreX + hw * c, by = rect.centreY + hw * sn;
        const double nx = -sn * hh, ny = c * hh;
        const double k[4][2] = {
            {ax + nx, ay + ny}, {bx + nx, by + ny}, {bx - nx, by - ny}, {ax - nx, ay - ny}};
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            const DeviceXY a = mapExact(view_, k[i][0], k[i][1]);
            const DeviceXY b = mapExact(view_, k[j][0], k[j][1]);
            if (!withinLimit(a) || !withinLimit(b) ||
                !segment(static_cast<int>(a.x), static_cast<int>(a.y), static_cast<int>(b.x),
                         static_cast<int>(b.y))) {
                return false;
            }
        }
        return true;
    }

    // A mapped segment as DirectSink draws it.
    bool segment(int x1, int y1, int x2, int y2) {
        const DirectRaster& r = raster_;
        if (x1 == x2 && y1 == y2 && dotIsOnePixel_[static_cast<std::size_t>(style_)]) {
            if (x1 >= r.left && x1 < r.right && y1 >= r.top && y1 < r.bottom) {
                r.pixels[y1 * r.stride + x1] = pixel_;
            }
            return true;
        }
        const int left = std::min(x1, x2), top = std::min(y1, y2);
        const int right = std::max(x1, x2), bottom = std::max(y1, y2);
        const bool inside = fits(left, top, right, bottom);
        if (!inside && missesRaster(left, top, right, bottom)) {
            return true;
        }
        if (inside || (right - left <= kClippedLineSpan && bottom - top <= kClippedLineSpan)) {
            std::span<const StampPixel> pixels;
            if (stamps_.line(style_, x2 - x1, y2 - y1, pixels)) {
                plot(x1, y1, pixels, inside);
                return true;
            }
        }
        return false;
    }

    // The centre and radius in pixels of a circle or an arc, or false.
    bool centreAndRadius(const Element& e, int& cx, int& cy, int& r) const {
        const DeviceXY c = mapExact(view_, e.g[0], e.g[1]);
        const double rr = e.g[2] * view_.scale;
        if (!withinLimit(c) || !(std::abs(rr) <= kDeviceLimit)) {
            return false;
        }
        // Within the limit truncToPixel is the plain conversion.
        cx = static_cast<int>(c.x);
        cy = static_cast<int>(c.y);
        r = static_cast<int>(rr);
        return true;
    }

    bool circle(const Element& e) {
        int cx, cy, r;
        return centreAndRadius(e, cx, cy, r) && ellipse(cx - r, cy - r, cx + r, cy + r);
    }

    bool ellipse(int left, int top, int right, int bottom) {
        const int l = std::min(left, right);
        const int t = std::min(top, bottom);
        const int size = std::max(left, right) - l;
        if (size != std::max(top, bottom) - t) {
            return false;
        }
        const bool inside = fits(l, t, l + size, t + size);
        if (!inside && missesRaster(l, t, l + size, t + size)) {
            return true;
        }
        if (inside || size <= kClippedCircleSize) {
            if (size < kKeptCircleSizes) {
                // The stamps of the smallest circles, kept here.
                KeptStamp& kept =
                    keptCircles_[static_cast<std::size_t>(style_)][static_cast<std::size_t>(size)];
                if (!kept.known) {
                    std::span<const StampPixel> pixels;
                    kept.exists = stamps_.circle(style_, size, pixels);
                    kept.pixels.assign(pixels.begin(), pixels.end());
                    kept.known = true;
                }
                if (kept.exists) {
                    plot(l, t, kept.pixels, inside);
                    return true;
                }
                return false;
            }
            std::span<const StampPixel> pixels;
            if (stamps_.circle(style_, size, pixels)) {
                plot(l, t, pixels, inside);
                return true;
            }
        }
        return false;
    }

    bool arc(const Element& e) {
        if (!std::isfinite(e.g[3]) || !std::isfinite(e.g[4])) {
            return false;
        }
        int cx, cy, r;
        if (!centreAndRadius(e, cx, cy, r)) {
            return false;
        }
        const ArcEnds& ends = arcEnds(e.g[3], e.g[4]);
        const double radius = e.g[2];
        const double s = view_.scale;
        // Centre and radius within the limit keep these within twice of it: plain conversions.
        const int xs = static_cast<int>(cx + ends.cosStart * radius * s);
        const int ys = static_cast<int>(cy - ends.sinStart * radius * s);
        const int xe = static_cast<int>(cx + ends.cosEnd * radius * s);
        const int ye = static_cast<int>(cy - ends.sinEnd * radius * s);
        if (xs == xe && ys == ye) {
            return !ends.halfTurnOrMore || ellipse(cx - r, cy - r, cx + r, cy + r);
        }
        // The box of the arc's ellipse, a square of side 2 |r|.
        const int half = std::abs(r);
        const int l = cx - half, t = cy - half, size = 2 * half;
        const bool inside = fits(l, t, l + size, t + size);
        if (!inside && missesRaster(l, t, l + size, t + size)) {
            return true;
        }
        if (inside || size == 0) {
            if (const std::span<const StampPixel>* pixels =
                    arcStamp(size, xs - l, ys - t, xe - l, ye - t)) {
                plot(l, t, *pixels, inside);
                return true;
            }
        }
        return false;
    }

    // The arc stamp, through a small table of the stamps met last (arcs in a thumbnail come in
    // few shapes); null when there is none.
    const std::span<const StampPixel>* arcStamp(int size, int xs, int ys, int xe, int ye) {
        constexpr int kReach = 64;  // beyond this no stamp is kept here
        if (size > PixelStamps::kMaxArcBox ||
            std::max({std::abs(xs), std::abs(ys), std::abs(xe), std::abs(ye)}) > kReach) {
            std::span<const StampPixel>& pixels = uncachedArc_;
            return stamps_.arc(style_, size, xs, ys, xe, ye, pixels) ? &pixels : nullptr;
        }
        auto field = [](int v) { return static_cast<std::uint64_t>(v + kReach); };
        const std::uint64_t key = (static_cast<std::uint64_t>(style_) << 56) |
                                  (static_cast<std::uint64_t>(size) << 32) | (field(xs) << 24) |
                                  (field(ys) << 16) | (field(xe) << 8) | field(ye);
        ArcStamp& slot = arcStamps_[static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 56)];
        if (slot.key != key) {
            std::span<const StampPixel> pixels;
            slot.key = key;
            slot.exists = stamps_.arc(style_, size, xs, ys, xe, ye, pixels);
            // The stamp's pixels move when the stamps grow: a copy is kept.
            slot.pixels.assign(pixels.begin(), pixels.end());
        }
        slot.view = slot.pixels;
        return slot.exists ? &slot.view : nullptr;
    }

    // The cosine and sine of an arc's start and end angles, kept for the angles met last: the
    // arcs of a drawing mostly share a few pairs of angles.
    struct ArcEnds {
        std::uint64_t startBits = 0;
        std::uint64_t endBits = 0;
        bool known = false;
        bool halfTurnOrMore = false;
        double cosStart = 0, sinStart = 0, cosEnd = 0, sinEnd = 0;
    };

    const ArcEnds& arcEnds(double start, double end) {
        const auto startBits = std::bit_cast<std::uint64_t>(start);
        const auto endBits = std::bit_cast<std::uint64_t>(end);
        const std::uint64_t mixed =
            (startBits ^ (endBits * 0x9E3779B97F4A7C15ull)) * 0xFF51AFD7ED558CCDull;
        ArcEnds& slot = arcEnds_[static_cast<std::size_t>(mixed >> 58)];
        if (!slot.known || slot.startBits != startBits || slot.endBits != endBits) {
            const double a1 = radians(start);
            const double a2 = radians(end);
            slot = ArcEnds{startBits,    endBits,      true,         arcSpan(start, end) >= 180.0,
                           std::cos(a1), std::sin(a1), std::cos(a2), std::sin(a2)};
        }
        return slot;
    }

    // As DirectSink: the box with the stamp margin inside the writable pixels, or wholly outside.
    bool fits(int left, int top, int right, int bottom) const {
        constexpr int m = PixelStamps::kMargin;
        return left - m >= raster_.left && top - m >= raster_.top && right + m < raster_.right &&
               bottom + m < raster_.bottom;
    }
    bool missesRaster(int left, int top, int right, int bottom) const {
        constexpr int m = PixelStamps::kMargin;
        return right + m < raster_.left || bottom + m < raster_.top || left - m >= raster_.right ||
               top - m >= raster_.bottom;
    }

    // Writes the stamp at (x, y); `inside`: wholly inside the writable pixels, else only its
    // pixels that are. Stamps of figures this small are cut at the raster's edges exactly as
    // the surface cuts the figures themselves (a test checks every position across every edge);
    // larger ones are not, and are left to the surface there.
    void plot(int x, int y, std::span<const StampPixel> pixels, bool inside) const {
        const DirectRaster& r = raster_;
        if (inside) {
            std::uint32_t* origin = r.pixels + y * r.stride + x;
            for (const StampPixel& p : pixels) {
                origin[p.dy * r.stride + p.dx] = pixel_;
            }
            return;
        }
        for (const StampPixel& p : pixels) {
            const int px = x + p.dx, py = y + p.dy;
            if (px >= r.left && px < r.right && py >= r.top && py < r.bottom) {
                r.pixels[py * r.stride + px] = pixel_;
            }
        }
    }

    // The largest figures whose stamps are cut at the raster's edges: lines spanning this many
    // pixels either way, circles of this box size, and arcs of box size 0.
    static constexpr int kClippedLineSpan = 2;
    static constexpr int kClippedCircleSize = 2;

    struct KeptStamp {
        bool known = false;
        bool exists = false;
        std::vector<StampPixel> pixels;
    };
    static constexpr int kKeptCircleSizes = 8;

    struct ArcStamp {
        std::uint64_t key = ~std::uint64_t{0};
        bool exists = false;
        std::vector<StampPixel> pixels;
        std::span<const StampPixel> view;
    };

    // Line style codes 0 to kStyleCodes - 1 have an entry of their own, every other code the
    // last one.
    static constexpr std::size_t kStyleCodes = 16;

    const ViewTransform& view_;
    const Element* elements_;
    const DirectRaster raster_;
    PixelStamps& stamps_;
    ElementDrawer drawer_;
    std::array<std::uint32_t, Renderer::kPenCount + 1> penPixels_{};
    std::array<bool, 5> dotIsOnePixel_{};
    std::array<DashStyle, kStyleCodes + 1> styleForCode_{};
    std::array<bool, kStyleCodes + 1> dotForCode_{};  // dotIsOnePixel_ of the code's style
    // The cosine and sine of the last rectangle angle.
    std::uint64_t rectangleAngleBits_ = 0;
    bool rectangleAngleKnown_ = false;
    double rectangleCos_ = 1.0;
    double rectangleSin_ = 0.0;
    std::array<ArcEnds, 64> arcEnds_{};
    std::array<ArcStamp, 256> arcStamps_{};
    std::array<std::array<KeptStamp, kKeptCircleSizes>, 5> keptCircles_{};
    std::span<const StampPixel> uncachedArc_;
    // The pen of the element being drawn.
    DashStyle style_ = DashStyle::Solid;
    std::uint32_t pixel_ = 0;
};

}  // namespace

namespace {

// The second thread small rasters are split onto: one for the whole program, kept so that what
// it prepares for drawing (its pixel stamps) is made once, whichever renderer draws a thumbnail.
struct SmallRasterHelper {
    std::mutex inUse;
    BandWorker worker;
};

SmallRasterHelper& smallRasterHelper() {
    static SmallRasterHelper helper;
    return helper;
}

}  // namespace

std::array<std::int32_t, 33> initialPenTable() {
    std::array<std::int32_t, 33> table{};
    for (int pen = 2; pen <= 8; ++pen) {
        table[static_cast<std::size_t>(pen)] = pen - 1;
    }
    return table;
}

DashStyle dashStyleForCode(std::int32_t code) {
    switch (code) {
        case 2:
        case 3:
        case 4:
        case 8:
        case 9:
            return DashStyle::Dash;
        case 5:
            return DashStyle::Dot;
        case 6:
        case 7:
            return DashStyle::DashDot;
        case 10:
            return DashStyle::DashDotDot;
        default:
            return DashStyle::Solid;
    }
}

Renderer::Renderer()
    : penTable_(initialPenTable()),
      palette_(defaultColourTable().begin(), defaultColourTable().end()) {}

Renderer::~Renderer() = default;

void Renderer::setPenTable(std::span<const std::int32_t> colourNumbers) {
    const std::size_t n = std::min<std::size_t>(colourNumbers.size(), kPenCount - 1);
    for (std::size_t i = 0; i < n; ++i) {
        penTable_[i + 1] = std::max(colourNumbers[i], 0);
    }
}

void Renderer::setColourPalette(std::span<const std::uint32_t> colours) {
    if (colours.empty()) {
        palette_.assign(defaultColourTable().begin(), defaultColourTable().end());
    } else {
        palette_.assign(colours.begin(), colours.end());
    }
    for (std::uint32_t& c : palette_) {
        c &= 0x00FFFFFF;
    }
}

bool Renderer::setDrawingShown(bool shown) {
    const bool previous = drawingShown_;
    drawingShown_ = shown;
    return previous;
}

std::uint32_t Renderer::penColour(std::int32_t penNumber) const {
    return colourFor(penNumber, blackOutput_);
}

std::uint32_t Renderer::colourFor(std::int32_t penNumber, bool black) const {
    if (black) {
        return 0x000000;
    }
    // Pen numbers outside the table use colour number 0.
    std::int32_t c = 0;
    if (penNumber >= 0 && penNumber < static_cast<std::int32_t>(kPenCount)) {
        c = penTable_[static_cast<std::size_t>(penNumber)];
    }
    c %= 32;  // the stored numbers are never negative
    // Colour numbers without a palette entry take entry 0.
    const std::size_t index = static_cast<std::size_t>(c) < palette_.size() ? c : 0;
    return palette_[index];
}

std::array<std::uint32_t, Renderer::kPenCount + 1> Renderer::penColours(bool black) const {
    std::array<std::uint32_t, kPenCount + 1> colours{};
    for (std::size_t pen = 0; pen < kPenCount; ++pen) {
        colours[pen] = colourFor(static_cast<std::int32_t>(pen), black);
    }
    colours[kPenCount] = colourFor(-1, black);  // every pen outside the table
    return colours;
}

void Renderer::invalidateElementCache() {
    cache_.reset();
}

int Renderer::renderDrawing(DrawingSurface& surface, const View& view, const DrawingModel& model,
                            Path path) {
    return renderElements(surface, view.displayedView(), model.store, path);
}

int Renderer::render(DrawingSurface& surface, const ElementStore& store,
                     const RenderRequest& request) {
    if (request.background) {
        const int w = surface.width();
        const int h = surface.height();
        if (w > 0 && h > 0) {
            const std::array<DevicePoint, 4> area{{{0, 0}, {w, 0}, {w, h}, {0, h}}};
            surface.fillPolygon(area, *request.background & 0x00FFFFFF);
        }
    }
    draw(surface, request.view, store, request.path, request.blackOutput, request.clip);
    return -1;
}

int Renderer::renderElements(DrawingSurface& surface, const ViewTransform& view,
                             const ElementStore& store, Path path) {
    draw(surface, view, store, path, blackOutput_, std::nullopt);
    return -1;
}

void Renderer::draw(DrawingSurface& surface, const ViewTransform& view, const ElementStore& store,
                    Path path, bool black, const std::optional<DeviceArea>& clip) {
    if (path == Path::ElementByElement) {
        renderOneByOne(surface, view, store, black);
    } else {
        renderFast(surface, view, store, black, clip);
    }
}

void Renderer::renderOneByOne(DrawingSurface& surface, const ViewTransform& view,
                              const ElementStore& store, bool black) {
    SegmentSink sink(surface, false);
    std::vector<DevicePoint> points;
    for (const Element& e : store.elements()) {
        if (e.layerField < 1) {
            continue;
        }
        surface.setPen(colourFor(e.penField, black), dashStyleForCode(e.lineStyle));
        drawElement(sink, view, store, e, points);
    }
}

void Renderer::renderFast(DrawingSurface& surface, const ViewTransform& view,
                          const ElementStore& store, bool black,
                          const std::optional<DeviceArea>& clip) {
    const std::size_t n = store.elementCount();
    const int width = surface.width();
    const int height = surface.height();
    if (n == 0 || !(view.scale > 0.0) || !std::isfinite(view.scale) || width <= 0 || height <= 0 ||
        n > 0xFFFFFFFFu) {
        renderOneByOne(surface, view, store, black);
        return;
    }
    if (!cache_ || !cache_->matches(store)) {
        // A small raster (a thumbnail) is drawn without the element boxes: building them costs
        // more than drawing every element into a few thousand pixels, where nearly every figure
        // is a dot. The boxes are built by the first larger paint.
        if (static_cast<long>(width) * height <= kSmallRasterPixels &&
            surface.beginDirectPixels()) {
            drawSmallRaster(surface, view, store, black);
            surface.endDirectPixels();
            return;
        }
        auto fresh = std::make_shared<ElementCache>();
        fresh->build(store);
        cache_ = std::move(fresh);
    }
    // The area that can show anything: the surface, narrowed to the clip area when there is one.
    DeviceArea area{0, 0, width, height};
    if (clip) {
        area.left = std::max(area.left, clip->left);
        area.top = std::max(area.top, clip->top);
        area.right = std::min(area.right, clip->right);
        area.bottom = std::min(area.bottom, clip->bottom);
        if (area.left >= area.right || area.top >= area.bottom) {
            return;  // nothing of the surface is wanted
        }
    }
    const bool everything = collectCandidates(view, area, n);

    // On a raster image the surface writes small figures straight into the pixels, which costs
    // far less than a call per figure elsewhere; then the elements are simply drawn in array
    // order, and only the culling above is gained on top.
    if (surface.beginDirectPixels()) {
        if (everything && static_cast<long>(width) * height <= kSmallRasterPixels) {
            drawSmallRaster(surface, view, store, black);
        } else if (!drawInBands(surface, view, store, everything, black, area)) {
            drawInArrayOrder(surface, view, store, everything, black);
        }
        surface.endDirectPixels();
        return;
    }
    if (everything) {
        candidates_.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            candidates_[i] = static_cast<std::uint32_t>(i);
        }
    }
    const GroupCounts groups = assignDrawingLevels(view, width, height, store, black);
    sortByLevelAndPen(groups);
    drawSortedRuns(surface, view, store, black);
}

void Renderer::drawSmallRaster(DrawingSurface& surface, const ViewTransform& view,
                               const ElementStore& store, bool black) {
    const std::optional<DirectRaster> raster = surface.directRaster();
    if (!raster) {
        drawInArrayOrder(surface, view, store, true, black);
        return;
    }
    const std::size_t n = store.elementCount();
    const auto colours = penColours(black);
    SmallRasterDrawer drawer(surface, view, store, colours, *raster);
    std::unique_ptr<DrawingSurface> copy;
    if (n >= kSmallRasterSplitElements && std::thread::hardware_concurrency() >= 2) {
        copy = surface.blankCopy();
    }
    if (!copy || !copy->beginDirectPixels()) {
        drawer.draw(0, n);
        return;
    }
    // Both halves of the element array at once: the later half on the second thread onto a
    // blank copy of the surface, whose pixels that it set are then taken over. Every figure
    // writes opaque pixels whatever lies below, and no drawn pixel is 0, so this gives the
    // pixels of drawing the halves one after the other.
    SmallRasterHelper& helper = smallRasterHelper();
    std::unique_lock<std::mutex> helping(helper.inUse, std::try_to_lock);
    if (!helping) {
        drawer.draw(0, n);  // another thumbnail is being drawn on another thread
        return;
    }
    const std::size_t middle = n / 2;
    helper.worker.start([&] {
        // The raster is asked for on this thread, which takes its own pixel stamps.
        const std::optional<DirectRaster> copyRaster = copy->directRaster();
        SmallRasterDrawer later(*copy, view, store, colours, *copyRaster);
        later.draw(middle, n);
    });
    try {
        drawer.draw(0, middle);
    } catch (...) {
        helper.worker.wait();
        throw;
    }
    helper.worker.wait();
    const std::optional<DirectRaster> drawn = copy->directRaster();
    for (int y = raster->top; y < raster->bottom; ++y) {
        const std::uint32_t* from = drawn->pixels + y * drawn->stride;
        std::uint32_t* to = raster->pixels + y * raster->stride;
        for (int x = raster->left; x < raster->right; ++x) {
            if (from[x] != 0) {
                to[x] = from[x];
            }
        }
    }
    copy->endDirectPixels();
}

bool Renderer::collectCandidates(const ViewTransform& view, const DeviceArea& area, std::size_t n) {
    // The elements near the area: the area widened by a margin, in drawing units.
    const WorldPoint lowerLeft =
        deviceToWorld(view, area.left - kCullMargin, area.bottom + kCullMargin);
    const WorldPoint upperRight =
        deviceToWorld(view, area.right + kCullMargin, area.top - kCullMargin);
    const WorldBox visible{lowerLeft.x, lowerLeft.y, upperRight.x, upperRight.y};
    const std::span<const ElementBox> boxes = cache_->boxes();
    candidates_.clear();
    const bool everything = cache_->allInside(visible);
    if (!everything && !cache_->query(visible, candidates_)) {
        for (std::size_t i = 0; i < n; ++i) {
            if (ElementCache::meets(boxes[i], visible)) {
                candidates_.push_back(static_cast<std::uint32_t>(i));
            }
        }
    }
    return everything;
}

void Renderer::drawInArrayOrder(DrawingSurface& surface, const ViewTransform& view,
                                const ElementStore& store, bool everything, bool black) {
    const Element* elements = store.elementArray();
    const std::size_t n = store.elementCount();
    ElementDrawer drawer(surface, view, store, penColours(black));
    // Every candidate's box meets the visible area, so only the layer is looked at here
    // (reading the box again would cost a cache miss per element).
    auto draw = [&](std::size_t i) {
        const Element& e = elements[i];
        if (e.layerField < 1) {
            return;
        }
        drawer.draw(e);
    };
    if (everything) {
        for (std::size_t i = 0; i < n; ++i) {
            draw(i);
        }
        return;
    }
    // The candidates lie scattered over the element array; asking for an element a few steps
    // ahead hides most of the wait for memory.
    constexpr std::size_t kAhead = 8;
    const std::size_t count = candidates_.size();
    for (std::size_t k = 0; k < count; ++k) {
        if (k + kAhead < count) {
            __builtin_prefetch(elements + candidates_[k + kAhead]);
        }
        draw(candidates_[k]);
    }
}

bool Renderer::drawInBands(DrawingSurface& surface, const ViewTransform& view,
                           const ElementStore& store, bool everything, bool black,
                           const DeviceArea& area) {
    const std::size_t work = everything ? store.elementCount() : candidates_.size();
    const int rows = area.bottom - area.top;
    // A small raster (a thumbnail) stays on the calling thread: each band would still look at
    // every box, and the other core is left to the window.
    const long pixels = static_cast<long>(area.right - area.left) * rows;
    if (work < kBandMinElements || rows < 64 || pixels <= kSmallRasterPixels ||
        std::thread::hardware_concurrency() < 2) {
        return false;
    }
    const int middle = area.top + rows / 2;
    std::unique_ptr<DrawingSurface> upper = surface.bandSurface(area.top, middle);
    std::unique_ptr<DrawingSurface> lower = surface.bandSurface(middle, area.bottom);
    if (!upper || !lower || !upper->beginDirectPixels() || !lower->beginDirectPixels()) {
        return false;  // nothing is drawn on a band before both are ready
    }
    if (!bandWorker_) {
        bandWorker_ = std::make_unique<BandWorker>();
    }
    bandWorker_->start([&] {
        drawRows(*lower, view, store, everything, black, middle, area.bottom);
        lower->endDirectPixels();
    });
    try {
        drawRows(*upper, view, store, everything, black, area.top, middle);
    } catch (...) {
        bandWorker_->wait();
        throw;
    }
    upper->endDirectPixels();
    bandWorker_->wait();
    return true;
}

namespace {

#if defined(__SSE2__)
// For each set of four boxes picked (bit k: box k), the positions of the picked ones packed
// to the front, and how many there are.
struct PickedLanes {
    __m128i lanes[16];
    std::array<std::uint8_t, 16> count;
};

const PickedLanes kPickedLanes = [] {
    PickedLanes table{};
    for (unsigned bits = 0; bits < 16; ++bits) {
        std::array<std::int32_t, 4> lanes{};
        unsigned n = 0;
        for (int k = 0; k < 4; ++k) {
            if ((bits >> k) & 1u) {
                lanes[n++] = k;
            }
        }
        table.lanes[bits] = _mm_setr_epi32(lanes[0], lanes[1], lanes[2], lanes[3]);
        table.count[bits] = static_cast<std::uint8_t>(n);
    }
    return table;
}();
#endif

}  // namespace

void Renderer::drawRows(DrawingSurface& surface, const ViewTransform& view,
                        const ElementStore& store, bool everything, bool black, int top,
                        int bottom) const {
    const Element* elements = store.elementArray();
    const std::span<const ElementBox> boxes = cache_->boxes();
    ElementDrawer drawer(surface, view, store, penColours(black));
    // An element belongs to the band when its box reaches into the band's rows widened by the
    // margin, taken back to drawing units (and widened by one row more against the rounding of
    // that; an element drawn on both bands is clipped to each). The box is looked at first, so
    // that the elements of the other band are not read at all.
    const double s = view.scale;
    const float worldLow =
        floatBelowOf(view.worldOriginY + (view.deviceOriginY - (bottom + kCullMargin + 1.0)) / s);
    const float worldHigh =
        floatAboveOf(view.worldOriginY + (view.deviceOriginY - (top - kCullMargin - 1.0)) / s);
    // In chunks: first the elements of the chunk that belong to the band are picked without a
    // branch (which would be a coin toss per element where both bands are full), then they are
    // drawn, each element asked for from memory some way ahead.
    constexpr std::size_t kChunk = 2048;
    constexpr std::size_t kAhead = 28;
    // Room behind the picked elements for the four indices written at once and for the
    // elements asked for ahead of the last (the last one again).
    std::array<std::uint32_t, kChunk + kAhead> picked;
    auto drawPicked = [&](std::size_t count) {
        if (count == 0) {
            return;
        }
        std::fill_n(picked.begin() + static_cast<std::ptrdiff_t>(count), kAhead, picked[count - 1]);
        for (std::size_t k = 0; k < count; ++k) {
            __builtin_prefetch(elements + picked[k + kAhead]);
            const Element& e = elements[picked[k]];
            if (e.layerField >= 1) {
                drawer.draw(e);
            }
        }
    };
    auto pick = [&](std::uint32_t i, std::size_t& count) {
        const ElementBox& b = boxes[i];
        picked[count] = i;
        count += static_cast<std::size_t>(b.ymax >= worldLow) &
                 static_cast<std::size_t>(b.ymin <= worldHigh);
    };
    const std::size_t total = everything ? store.elementCount() : candidates_.size();
    for (std::size_t start = 0; start < total; start += kChunk) {
        const std::size_t end = std::min(total, start + kChunk);
        std::size_t count = 0;
        if (everything) {
            std::size_t i = start;
#if defined(__SSE2__)
            // Four boxes at a time: their lower and upper edges gathered into one vector each,
            // compared at once, and the indices kept by the bits of the result.
            static_assert(sizeof(ElementBox) == 4 * sizeof(float) &&
                          offsetof(ElementBox, ymax) == 3 * sizeof(float));
            const __m128 low = _mm_set1_ps(worldLow);
            const __m128 high = _mm_set1_ps(worldHigh);
            for (; i + 4 <= end; i += 4) {
                const auto* b = reinterpret_cast<const float*>(boxes.data() + i);
                const __m128 b01 =
                    _mm_shuffle_ps(_mm_loadu_ps(b), _mm_loadu_ps(b + 4), _MM_SHUFFLE(3, 1, 3, 1));
                const __m128 b23 = _mm_shuffle_ps(_mm_loadu_ps(b + 8), _mm_loadu_ps(b + 12),
                                                  _MM_SHUFFLE(3, 1, 3, 1));
                const __m128 ymin = _mm_shuffle_ps(b01, b23, _MM_SHUFFLE(2, 0, 2, 0));
                const __m128 ymax = _mm_shuffle_ps(b01, b23, _MM_SHUFFLE(3, 1, 3, 1));
                const auto bits = static_cast<unsigned>(
                    _mm_movemask_ps(_mm_and_ps(_mm_cmpge_ps(ymax, low), _mm_cmple_ps(ymin, high))));
                const __m128i index =
                    _mm_add_epi32(_mm_set1_epi32(static_cast<int>(i)), kPickedLanes.lanes[bits]);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(picked.data() + count), index);
                count += kPickedLanes.count[bits];
            }
#endif
            for (; i < end; ++i) {
                pick(static_cast<std::uint32_t>(i), count);
            }
        } else {
            // The candidates lie scattered over the boxes as well.
            constexpr std::size_t kBoxesAhead = 16;
            for (std::size_t k = start; k < end; ++k) {
                if (k + kBoxesAhead < total) {
                    __builtin_prefetch(&boxes[candidates_[k + kBoxesAhead]]);
                }
                pick(candidates_[k], count);
            }
        }
        drawPicked(count);
    }
}

namespace {

constexpr int kCell = 16;  // side of a cell of the coarse surface grid, in pixels

// The grid cell of a device coordinate along an axis of `count` cells, clamped to the grid. The
// clamp comes before the conversion to int, so infinite and far-away values are safe.
int cellOf(double v, int count) {
    if (!(v >= 0.0)) {
        return 0;
    }
    const double c = v / kCell;
    return c < static_cast<double>(count - 1) ? static_cast<int>(c) : count - 1;
}

}  // namespace

Renderer::GroupCounts Renderer::assignDrawingLevels(const ViewTransform& view, int width,
                                                    int height, const ElementStore& store,
                                                    bool black) {
    // Drawing order: the pixels are opaque and aliased, so a pixel ends up in the colour of the
    // last element in array order that touches it. Only elements of different colours whose
    // areas meet need to keep their order; everything else may be drawn in runs of one pen. Each
    // element gets a level one above the highest level of an earlier element of another colour
    // in the same cells of a coarse grid over the surface; drawing by level, and within a level
    // by colour and dash style, then gives the pixels of the array order.
    const int cellsX = (width + kCell - 1) / kCell;
    const int cellsY = (height + kCell - 1) / kCell;
    cells_.assign(static_cast<std::size_t>(cellsX) * cellsY, CellTop{});
    CellTop* cellTops = cells_.data();

    std::vector<std::uint32_t>& colourOf = colourIds_;  // colour id -> 0x00BBGGRR
    colourOf.clear();
    auto colourId = [&](std::uint32_t colour) {
        for (std::size_t k = 0; k < colourOf.size(); ++k) {
            if (colourOf[k] == colour) {
                return static_cast<std::uint16_t>(k);
            }
        }
        colourOf.push_back(colour);
        return static_cast<std::uint16_t>(colourOf.size() - 1);
    };

    const Element* elements = store.elementArray();
    const std::span<const ElementBox> boxes = cache_->boxes();
    order_.clear();
    std::int32_t maxLevel = 0;
    const double s = view.scale;
    for (std::uint32_t i : candidates_) {
        const Element& e = elements[i];
        if (e.layerField < 1) {
            continue;
        }
        const ElementBox& b = boxes[i];
        // The element's pixels lie within its box mapped to the device, plus a margin.
        const double fx0 = (b.xmin - view.worldOriginX) * s + view.deviceOriginX + 1 - 2;
        const double fx1 = (b.xmax - view.worldOriginX) * s + view.deviceOriginX + 1 + 2;
        const double fy0 = view.deviceOriginY - (b.ymax - view.worldOriginY) * s - 2;
        const double fy1 = view.deviceOriginY - (b.ymin - view.worldOriginY) * s + 2;
        if (!(fx1 >= 0.0) || !(fx0 < width) || !(fy1 >= 0.0) || !(fy0 < height)) {
            if (!(std::isnan(fx0) || std::isnan(fx1) || std::isnan(fy0) || std::isnan(fy1))) {
                continue;  // wholly outside the surface
            }
        }
        const int cx0 = std::isnan(fx0) ? 0 : cellOf(fx0, cellsX);
        const int cx1 = std::isnan(fx1) ? cellsX - 1 : cellOf(fx1, cellsX);
        const int cy0 = std::isnan(fy0) ? 0 : cellOf(fy0, cellsY);
        const int cy1 = std::isnan(fy1) ? cellsY - 1 : cellOf(fy1, cellsY);

        const std::uint32_t colour =
            e.kind == ElementKind::Polygon ? kPolygonFill : colourFor(e.penField, black);
        const std::uint16_t id = colourId(colour);
        std::int32_t level = 0;
        for (int cy = cy0; cy <= cy1; ++cy) {
            const CellTop* row = cellTops + static_cast<std::size_t>(cy) * cellsX;
            for (int cx = cx0; cx <= cx1; ++cx) {
                const CellTop& c = row[cx];
                const std::int32_t other = c.colour1 != id ? c.level1 : c.level2;
                level = std::max(level, other + 1);
            }
        }
        for (int cy = cy0; cy <= cy1; ++cy) {
            CellTop* row = cellTops + static_cast<std::size_t>(cy) * cellsX;
            for (int cx = cx0; cx <= cx1; ++cx) {
                CellTop& c = row[cx];
                if (c.colour1 == id) {
                    c.level1 = std::max(c.level1, level);
                } else if (level >= c.level1) {
                    c.level2 = c.level1;
                    c.level1 = level;
                    c.colour1 = id;
                } else {
                    c.level2 = std::max(c.level2, level);
                }
            }
        }
        maxLevel = std::max(maxLevel, level);
        const auto style = static_cast<std::uint32_t>(dashStyleForCode(e.lineStyle));
        order_.push_back({i, level, (static_cast<std::uint32_t>(id) << kDashStyleBits) | style});
    }
    return GroupCounts{maxLevel, colourOf.size() << kDashStyleBits};
}

void Renderer::sortByLevelAndPen(const GroupCounts& groups) {
    // Sort by (level, colour, style), keeping the array order within each group: a counting
    // sort where the keys are few, else a stable sort.
    const std::size_t groupsPerLevel = groups.perLevel;
    const std::size_t keyCount = (static_cast<std::size_t>(groups.maxLevel) + 1) * groupsPerLevel;
    sorted_.resize(order_.size());
    if (keyCount <= 4 * order_.size() + 4096) {
        std::vector<std::uint32_t>& start = bucketStart_;
        start.assign(keyCount + 1, 0);
        for (const OrderItem& o : order_) {
            ++start[static_cast<std::size_t>(o.level) * groupsPerLevel + o.group + 1];
        }
        for (std::size_t k = 0; k < keyCount; ++k) {
            start[k + 1] += start[k];
        }
        for (const OrderItem& o : order_) {
            sorted_[start[static_cast<std::size_t>(o.level) * groupsPerLevel + o.group]++] =
                o.index;
        }
        return;
    }
    std::stable_sort(order_.begin(), order_.end(), [](const OrderItem& a, const OrderItem& b) {
        return a.level != b.level ? a.level < b.level : a.group < b.group;
    });
    for (std::size_t k = 0; k < order_.size(); ++k) {
        sorted_[k] = order_[k].index;
    }
}

void Renderer::drawSortedRuns(DrawingSurface& surface, const ViewTransform& view,
                              const ElementStore& store, bool black) {
    // Runs of segments with one pen are handed over together.
    const Element* elements = store.elementArray();
    SegmentSink sink(surface, true);
    std::vector<DevicePoint> points;
    bool penSet = false;
    std::uint32_t penColourNow = 0;
    DashStyle penStyleNow = DashStyle::Solid;
    for (std::uint32_t i : sorted_) {
        const Element& e = elements[i];
        const std::uint32_t colour = colourFor(e.penField, black);
        const DashStyle style = dashStyleForCode(e.lineStyle);
        const bool samePen = penSet && colour == penColourNow && style == penStyleNow;
        if (!samePen || !isSegmentKind(e.kind)) {
            sink.flush();
        }
        if (!samePen) {
            surface.setPen(colour, style);
            penSet = true;
            penColourNow = colour;
            penStyleNow = style;
        }
        drawElement(sink, view, store, e, points);
    }
    sink.flush();
}

}  // namespace planora
