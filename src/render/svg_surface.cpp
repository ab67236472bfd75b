#include "svg_surface.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "xml_text.h"

namespace planora {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
// Segments per <path> element, so that no single element grows without bound.
constexpr int kSegmentsPerPath = 4096;
constexpr double kPi = 3.141592653589793;
// The ascent of the text font (Arial and its metric twins) in font heights: the renderer places
// the top of the text cell at the given point, SVG places the base line.
constexpr double kAscent = 0.905;

const char* dashArray(DashStyle style) {
    switch (style) {
        case DashStyle::Dash:
            return "18,6";
        case DashStyle::Dot:
            return "3,3";
        case DashStyle::DashDot:
            return "9,6,3,6";
        case DashStyle::DashDotDot:
            return "9,3,3,3,3,3";
        case DashStyle::Solid:
            break;
    }
    return nullptr;
}

}  // namespace

SvgSurface::SvgSurface(QIODevice* out, int width, int height, const std::string& title)
    : out_(out, kBufferSize), width_(width), height_(height) {
    put("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<svg width=\"");
    putInt(width);
    put("\" height=\"");
    putInt(height);
    put("\" viewBox=\"0 0 ");
    putInt(width);
    put(" ");
    putInt(height);
    put("\" xmlns=\"http://www.w3.org/2000/svg\" version=\"1.2\" baseProfile=\"tiny\">\n<title>");
    put(xmlEscaped(title));
    put("</title>\n<desc>Planora</desc>\n");
}

void SvgSurface::put(std::string_view s) {
    out_ << s;
}

void SvgSurface::putInt(long long v) {
    out_.integer(v);
}

void SvgSurface::putNumber(double v) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%.6g", std::isfinite(v) ? v : 0.0);
    put(std::string_view(text, static_cast<std::size_t>(std::max(n, 0))));
}

bool SvgSurface::finish() {
    if (!finished_) {
        closePenGroup();
        put("</svg>\n");
        finished_ = true;
    }
    return out_.flush();
}

void SvgSurface::setPen(std::uint32_t colour, DashStyle style) {
    if (groupOpen_ && colour == penColour_ && style == penStyle_) {
        return;
    }
    closePenGroup();
    penColour_ = colour;
    penStyle_ = style;
}

void SvgSurface::openPenGroup() {
    if (groupOpen_) {
        return;
    }
    put("<g fill=\"none\" stroke=\"");
    put(svgColour(penColour_));
    put("\" stroke-width=\"1\" stroke-linecap=\"square\" stroke-linejoin=\"miter\"");
    if (const char* dashes = dashArray(penStyle_)) {
        put(" stroke-dasharray=\"");
        put(dashes);
        put("\"");
    }
    put(" shape-rendering=\"crispEdges\">\n");
    groupOpen_ = true;
}

void SvgSurface::closePenGroup() {
    endPath();
    if (groupOpen_) {
        put("</g>\n");
        groupOpen_ = false;
    }
}

void SvgSurface::endPath() {
    if (pathOpen_) {
        put("\"/>\n");
        pathOpen_ = false;
        pathSegments_ = 0;
    }
}

void SvgSurface::addSegment(int x1, int y1, int x2, int y2) {
    openPenGroup();
    if (pathOpen_ && pathSegments_ >= kSegmentsPerPath) {
        endPath();
    }
    if (!pathOpen_) {
        put("<path d=\"");
        pathOpen_ = true;
    }
    // Each segment is a figure of its own, so that its dash pattern starts afresh.
    put("M");
    putInt(x1);
    put(",");
    putInt(y1);
    put("L");
    putInt(x2);
    put(",");
    putInt(y2);
    ++pathSegments_;
}

void SvgSurface::moveTo(int x, int y) {
    currentX_ = x;
    currentY_ = y;
}

void SvgSurface::lineTo(int x, int y) {
    addSegment(currentX_, currentY_, x, y);
    currentX_ = x;
    currentY_ = y;
}

void SvgSurface::drawLines(std::span<const DeviceLine> lines) {
    for (const DeviceLine& l : lines) {
        addSegment(l.x1, l.y1, l.x2, l.y2);
    }
    if (!lines.empty()) {
        currentX_ = lines.back().x2;
        currentY_ = lines.back().y2;
    }
}

void SvgSurface::drawEllipse(int left, int top, int right, int bottom) {
    openPenGroup();
    endPath();
    put("<ellipse cx=\"");
    putNumber((static_cast<double>(left) + right) / 2.0);
    put("\" cy=\"");
    putNumber((static_cast<double>(top) + bottom) / 2.0);
    put("\" rx=\"");
    putNumber(std::abs(static_cast<double>(right) - left) / 2.0);
    put("\" ry=\"");
    putNumber(std::abs(static_cast<double>(bottom) - top) / 2.0);
    put("\"/>\n");
}

void SvgSurface::drawArc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
    const double l = std::min(left, right), r = std::max(left, right);
    const double t = std::min(top, bottom), b = std::max(top, bottom);
    const double cx = (l + r) / 2.0, cy = (t + b) / 2.0;
    const double rx = (r - l) / 2.0, ry = (b - t) / 2.0;
    auto angleOf = [&](int x, int y) { return std::atan2(-(y - cy), x - cx); };
    const double start = angleOf(xs, ys);
    double span = angleOf(xe, ye) - start;
    while (span <= 0.0) {
        span += 2.0 * kPi;
    }
    while (span > 2.0 * kPi) {
        span -= 2.0 * kPi;
    }
    auto pointAt = [&](double a) {
        return std::pair{cx + rx * std::cos(a), cy - ry * std::sin(a)};
    };
    openPenGroup();
    endPath();
    put("<path d=\"M");
    auto [sx, sy] = pointAt(start);
    putNumber(sx);
    put(" ");
    putNumber(sy);
    // Counter-clockwise on the screen is SVG's negative sweep; a full turn in two halves.
    const int pieces = span > kPi * 1.999 ? 2 : 1;
    for (int k = 1; k <= pieces; ++k) {
        const double a = start + span * k / pieces;
        auto [px, py] = pointAt(a);
        put("A");
        putNumber(rx);
        put(" ");
        putNumber(ry);
        put(pieces == 1 && span > kPi ? " 0 1 0 " : " 0 0 0 ");
        putNumber(px);
        put(" ");
        putNumber(py);
    }
    put("\"/>\n");
}

void SvgSurface::drawText(int x, int y, std::string_view utf8, int pixelHeight, int escapement) {
    if (pixelHeight == 0 || utf8.empty()) {
        return;
    }
    const double height = std::abs(static_cast<double>(pixelHeight));
    openPenGroup();
    endPath();
    put("<text x=\"");
    putInt(x);
    put("\" y=\"");
    putNumber(y + kAscent * height);
    put("\" fill=\"");
    put(svgColour(penColour_));
    put("\" stroke=\"none\" font-family=\"Arial, sans-serif\" font-size=\"");
    putNumber(height);
    put("\" xml:space=\"preserve\"");
    if (escapement % 3600 != 0) {
        put(" transform=\"rotate(");
        putNumber(-(escapement / 10.0));
        put(" ");
        putInt(x);
        put(" ");
        putInt(y);
        put(")\"");
    }
    put(">");
    put(xmlEscaped(utf8));
    put("</text>\n");
}

void SvgSurface::fillPolygon(std::span<const DevicePoint> points, std::uint32_t colour) {
    if (points.empty()) {
        return;
    }
    closePenGroup();
    put("<path fill=\"");
    put(svgColour(colour));
    put("\" fill-rule=\"evenodd\" stroke=\"none\" d=\"M");
    bool first = true;
    for (const DevicePoint& p : points) {
        if (!first) {
            put("L");
        }
        first = false;
        putInt(p.x);
        put(",");
        putInt(p.y);
    }
    put("Z\"/>\n");
}

}  // namespace planora
