#include "pixel_stamps.h"

#include <QImage>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace planora {

namespace {

constexpr double kPi = 3.141592653589793;

// Dash patterns of a one-pixel pen, in pixels: on, off, on, off ...
QList<qreal> dashPattern(DashStyle style) {
    switch (style) {
        case DashStyle::Dash:
            return {18, 6};
        case DashStyle::Dot:
            return {3, 3};
        case DashStyle::DashDot:
            return {9, 6, 3, 6};
        case DashStyle::DashDotDot:
            return {9, 3, 3, 3, 3, 3};
        case DashStyle::Solid:
            break;
    }
    return {};
}

// The direction of the ray from (cx, cy) through (x, y) in degrees, counter-clockwise with y
// downwards on the device.
double rayAngle(double cx, double cy, int x, int y) {
    return std::atan2(-(y - cy), x - cx) * 180.0 / kPi;
}

std::size_t styleIndex(DashStyle style) {
    return static_cast<std::size_t>(style);
}

// A scratch image on which figures are drawn the way PainterSurface draws them: aliased, white.
QImage scratchImage(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    return image;
}

void preparePainter(QPainter& painter, DashStyle style) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(elementPen(0xFFFFFF, style));
}

// Appends the set pixels of `area` as offsets from (ox, oy) and clears them.
void collect(QImage& image, const QRect& area, int ox, int oy, std::vector<StampPixel>& out) {
    const QRect a = area.intersected(image.rect());
    for (int y = a.top(); y <= a.bottom(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = a.left(); x <= a.right(); ++x) {
            if (row[x] != 0) {
                out.push_back(
                    {static_cast<std::int16_t>(x - ox), static_cast<std::int16_t>(y - oy)});
                row[x] = 0;
            }
        }
    }
}

}  // namespace

QPen elementPen(std::uint32_t colour, DashStyle style) {
    QPen pen(QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                    static_cast<int>((colour >> 16) & 0xFF)));
    pen.setWidth(0);  // cosmetic: one device pixel whatever the transform
    pen.setCosmetic(true);
    // Both end pixels of a line are drawn, whatever its direction, so closed figures have all
    // their corners.
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    if (style != DashStyle::Solid) {
        pen.setDashPattern(dashPattern(style));
    }
    return pen;
}

QRect normalisedBox(int left, int top, int right, int bottom) {
    const int l = std::min(left, right);
    const int t = std::min(top, bottom);
    return QRect(l, t, std::max(left, right) - l, std::max(top, bottom) - t);
}

void paintArc(QPainter& painter, const QRect& box, int xs, int ys, int xe, int ye) {
    const double cx = box.left() + box.width() / 2.0;
    const double cy = box.top() + box.height() / 2.0;
    const double start = rayAngle(cx, cy, xs, ys);
    double span = rayAngle(cx, cy, xe, ye) - start;
    while (span <= 0.0) {
        span += 360.0;
    }
    while (span > 360.0) {
        span -= 360.0;
    }
    QPainterPath path;
    path.arcMoveTo(QRectF(box), start);
    path.arcTo(QRectF(box), start, span);
    painter.drawPath(path);
}

void PixelStamps::calibrateLines(DashStyle style) {
    // Every short line in a cell of its own. The lines of one dy are drawn at once into a strip
    // of cells and read back, a strip after the other: a scratch image for all of them at once
    // would be 8 MB, whose filling and first touch cost more than the drawing.
    constexpr int bulkSide = 2 * kBulkLineSpan + 1;
    constexpr int cell = bulkSide + 2 * (kMargin + 2);
    constexpr int side = bulkSide * cell;
    constexpr int oy = cell / 2;
    QImage image = scratchImage(side, cell);
    std::vector<StampPixel>& pixels = linePixels_[styleIndex(style)];
    std::vector<Range>& ranges = lineRanges_[styleIndex(style)];
    ranges.assign(static_cast<std::size_t>(kLineSide) * kLineSide, Range{});
    for (int dy = -kBulkLineSpan; dy <= kBulkLineSpan; ++dy) {
        if (dy > -kBulkLineSpan) {
            image.fill(0);
        }
        {
            QPainter painter(&image);
            preparePainter(painter, style);
            for (int dx = -kBulkLineSpan; dx <= kBulkLineSpan; ++dx) {
                const int ox = (dx + kBulkLineSpan) * cell + cell / 2;
                painter.drawLine(QPoint(ox, oy), QPoint(ox + dx, oy + dy));
            }
        }
        for (int dx = -kBulkLineSpan; dx <= kBulkLineSpan; ++dx) {
            const int ox = (dx + kBulkLineSpan) * cell + cell / 2;
            Range& r = ranges[static_cast<std::size_t>(dy + kMaxLineSpan) * kLineSide +
                              static_cast<std::size_t>(dx + kMaxLineSpan)];
            r.start = static_cast<std::uint32_t>(pixels.size());
            collect(image,
                    QRect(QPoint(ox + std::min(dx, 0) - kMargin, oy + std::min(dy, 0) - kMargin),
                          QPoint(ox + std::max(dx, 0) + kMargin, oy + std::max(dy, 0) + kMargin)),
                    ox, oy, pixels);
            r.count = static_cast<std::uint32_t>(pixels.size()) - r.start;
        }
    }
}

void PixelStamps::calibrateLine(DashStyle style, int dx, int dy, Range& range) {
    constexpr int origin = kMaxLineSpan + kMargin + 2;
    if (lineScratch_.isNull()) {
        lineScratch_ = scratchImage(2 * origin + 1, 2 * origin + 1);
    }
    {
        QPainter painter(&lineScratch_);
        preparePainter(painter, style);
        painter.drawLine(QPoint(origin, origin), QPoint(origin + dx, origin + dy));
    }
    std::vector<StampPixel>& pixels = linePixels_[styleIndex(style)];
    range.start = static_cast<std::uint32_t>(pixels.size());
    collect(lineScratch_,
            QRect(QPoint(origin + std::min(dx, 0) - kMargin, origin + std::min(dy, 0) - kMargin),
                  QPoint(origin + std::max(dx, 0) + kMargin, origin + std::max(dy, 0) + kMargin)),
            origin, origin, pixels);
    range.count = static_cast<std::uint32_t>(pixels.size()) - range.start;
}

void PixelStamps::calibrateCircles(DashStyle style) {
    constexpr int cell = kMaxCircleBox + 1 + 2 * (kMargin + 2);
    constexpr int count = kMaxCircleBox + 1;
    QImage image = scratchImage(count * cell, cell);
    {
        QPainter painter(&image);
        preparePainter(painter, style);
        for (int size = 0; size < count; ++size) {
            painter.drawEllipse(QRect(size * cell + kMargin + 2, kMargin + 2, size, size));
        }
    }
    std::vector<StampPixel>& pixels = circlePixels_[styleIndex(style)];
    std::vector<Range>& ranges = circleRanges_[styleIndex(style)];
    ranges.assign(count, Range{});
    for (int size = 0; size < count; ++size) {
        const int ox = size * cell + kMargin + 2;
        const int oy = kMargin + 2;
        ranges[static_cast<std::size_t>(size)].start = static_cast<std::uint32_t>(pixels.size());
        collect(image,
                QRect(QPoint(ox - kMargin, oy - kMargin),
                      QPoint(ox + size + kMargin, oy + size + kMargin)),
                ox, oy, pixels);
        ranges[static_cast<std::size_t>(size)].count = static_cast<std::uint32_t>(pixels.size()) -
                                                       ranges[static_cast<std::size_t>(size)].start;
    }
}

bool PixelStamps::circle(DashStyle style, int size, std::span<const StampPixel>& out) {
    if (size < 0 || size > kMaxCircleBox) {
        return false;
    }
    const std::size_t s = styleIndex(style);
    if (circleRanges_[s].empty()) {
        calibrateCircles(style);
    }
    const Range r = circleRanges_[s][static_cast<std::size_t>(size)];
    out = {circlePixels_[s].data() + r.start, r.count};
    return true;
}

bool PixelStamps::arc(DashStyle style, int size, int xs, int ys, int xe, int ye,
                      std::span<const StampPixel>& out) {
    constexpr int lo = -kArcPointReach;
    constexpr int hi = kMaxArcBox + kArcPointReach;
    if (size < 0 || size > kMaxArcBox) {
        return false;
    }
    for (int v : {xs, ys, xe, ye}) {
        if (v < lo || v > hi) {
            return false;
        }
    }
    // Every value fits in 7 bits after the shift by -lo.
    static_assert(hi - lo < 128);
    std::uint64_t key = static_cast<std::uint64_t>(style);
    for (int v : {size, xs - lo, ys - lo, xe - lo, ye - lo}) {
        key = (key << 7) | static_cast<std::uint64_t>(v);
    }
    auto it = arcRanges_.find(key);
    if (it == arcRanges_.end()) {
        // Drawn one by one as they are met; the table is started afresh when it grows large,
        // since a drawing can hold arcs of every size and angle.
        if (arcRanges_.size() >= 65536) {
            arcRanges_.clear();
            arcPixels_.clear();
        }
        constexpr int origin = kArcPointReach + kMargin + 2;
        QImage image = scratchImage(2 * origin + kMaxArcBox + 1, 2 * origin + kMaxArcBox + 1);
        {
            QPainter painter(&image);
            preparePainter(painter, style);
            paintArc(painter, QRect(origin, origin, size, size), origin + xs, origin + ys,
                     origin + xe, origin + ye);
        }
        Range r;
        r.start = static_cast<std::uint32_t>(arcPixels_.size());
        collect(image,
                QRect(QPoint(origin - kMargin, origin - kMargin),
                      QPoint(origin + size + kMargin, origin + size + kMargin)),
                origin, origin, arcPixels_);
        r.count = static_cast<std::uint32_t>(arcPixels_.size()) - r.start;
        it = arcRanges_.emplace(key, r).first;
    }
    out = {arcPixels_.data() + it->second.start, it->second.count};
    return true;
}

bool PixelStamps::tinyArcsAreDots(DashStyle style) {
    std::int8_t& known = tinyArcsAreDots_[styleIndex(style)];
    if (known < 0) {
        std::span<const StampPixel> dot;
        circle(style, 0, dot);
        const std::vector<StampPixel> circlePixels(dot.begin(), dot.end());
        auto same = [&](std::span<const StampPixel> pixels) {
            return std::equal(pixels.begin(), pixels.end(), circlePixels.begin(),
                              circlePixels.end(), [](const StampPixel& a, const StampPixel& b) {
                                  return a.dx == b.dx && a.dy == b.dy;
                              });
        };
        bool all = true;
        for (int k = 0; k < 81 && all; ++k) {
            std::span<const StampPixel> pixels;
            all = arc(style, 0, k % 3 - 1, k / 3 % 3 - 1, k / 9 % 3 - 1, k / 27 - 1, pixels) &&
                  same(pixels);
        }
        known = all ? 1 : 0;
    }
    return known == 1;
}

namespace {

// The stamps every thread starts from: the short lines of every style, which the first drawing
// on any thread needs, taken once for the process.
const PixelStamps& processStamps() {
    static const PixelStamps stamps = [] {
        PixelStamps taken;
        taken.takeShortLines();
        return taken;
    }();
    return stamps;
}

}  // namespace

void PixelStamps::takeShortLines() {
    for (std::size_t s = 0; s < kStyles; ++s) {
        if (lineRanges_[s].empty()) {
            calibrateLines(static_cast<DashStyle>(s));
        }
    }
}

void prepareProcessStamps() {
    processStamps();
}

PixelStamps& pixelStamps() {
    thread_local PixelStamps stamps = processStamps();
    return stamps;
}

}  // namespace planora
