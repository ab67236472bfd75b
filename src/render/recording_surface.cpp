#include "recording_surface.h"

#include <cstdio>

namespace planora {

namespace {

const char* styleName(DashStyle style) {
    switch (style) {
        case DashStyle::Solid:
            return "solid";
        case DashStyle::Dash:
            return "dash";
        case DashStyle::Dot:
            return "dot";
        case DashStyle::DashDot:
            return "dashdot";
        case DashStyle::DashDotDot:
            return "dashdotdot";
    }
    return "?";
}

std::string numbers(std::initializer_list<long long> values) {
    std::string out;
    for (long long v : values) {
        out += ' ';
        out += std::to_string(v);
    }
    return out;
}

std::string hex(std::uint32_t colour) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%06x", static_cast<unsigned>(colour & 0xFFFFFF));
    return buffer;
}

}  // namespace

void RecordingSurface::setPen(std::uint32_t colour, DashStyle style) {
    calls_.push_back("pen " + hex(colour) + " " + styleName(style));
}

void RecordingSurface::moveTo(int x, int y) {
    currentX_ = x;
    currentY_ = y;
}

void RecordingSurface::lineTo(int x, int y) {
    calls_.push_back("line" + numbers({currentX_, currentY_, x, y}));
    currentX_ = x;
    currentY_ = y;
}

void RecordingSurface::drawLines(std::span<const DeviceLine> lines) {
    for (const DeviceLine& l : lines) {
        moveTo(l.x1, l.y1);
        lineTo(l.x2, l.y2);
    }
}

void RecordingSurface::drawEllipse(int left, int top, int right, int bottom) {
    calls_.push_back("ellipse" + numbers({left, top, right, bottom}));
}

void RecordingSurface::drawArc(int left, int top, int right, int bottom, int xs, int ys, int xe,
                               int ye) {
    calls_.push_back("arc" + numbers({left, top, right, bottom, xs, ys, xe, ye}));
}

void RecordingSurface::drawText(int x, int y, std::string_view utf8, int pixelHeight,
                                int escapement) {
    calls_.push_back("text" + numbers({x, y, pixelHeight, escapement}) + " " + std::string(utf8));
}

void RecordingSurface::fillPolygon(std::span<const DevicePoint> points, std::uint32_t colour) {
    std::string call = "polygon " + hex(colour) + numbers({static_cast<long long>(points.size())});
    for (const DevicePoint& p : points) {
        call += numbers({p.x, p.y});
    }
    calls_.push_back(std::move(call));
}

}  // namespace planora
