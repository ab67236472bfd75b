#include "element_geometry.h"

#include <algorithm>

namespace planora {

namespace {

constexpr double kPi = 3.141592653589793;

GeometryBox around(double x, double y, double r) {
    return {x - r, y - r, x + r, y + r};
}

bool finite(const GeometryBox& b) {
    return std::isfinite(b.xmin) && std::isfinite(b.ymin) && std::isfinite(b.xmax) &&
           std::isfinite(b.ymax);
}

template <typename Points>
std::optional<GeometryBox> pointsBox(const Points& p) {
    const std::size_t n = std::min(p.x.size(), p.y.size());
    if (n == 0) {
        return std::nullopt;
    }
    GeometryBox b{p.x[0], p.y[0], p.x[0], p.y[0]};
    for (std::size_t i = 1; i < n; ++i) {
        b.xmin = std::min(b.xmin, p.x[i]);
        b.xmax = std::max(b.xmax, p.x[i]);
        b.ymin = std::min(b.ymin, p.y[i]);
        b.ymax = std::max(b.ymax, p.y[i]);
    }
    return b;
}

}  // namespace

bool hasFiniteGeometry(const ElementStore& store, const Element& e) {
    if (!hasFiniteFields(e)) {
        return false;
    }
    if (e.kind != ElementKind::Polygon) {
        return true;
    }
    const auto& p = store.polygon(e);
    const std::size_t n = std::min(p.x.size(), p.y.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(p.x[i]) || !std::isfinite(p.y[i])) {
            return false;
        }
    }
    return true;
}

TextDirection textDirection(double angle) {
    const double a = angle * kPi / 180.0;
    return {std::cos(a), std::sin(a)};
}

std::array<GeometryPoint, 4> textOutlineCorners(const TextGeometry& t, std::size_t byteCount,
                                                const TextDirection& direction) {
    const double h = t.fontHeight;
    const double len = static_cast<double>(byteCount) * 0.4 * h;
    const double c = direction.cos;
    const double s = direction.sin;
    const GeometryPoint below{t.anchorX + h * s, t.anchorY - h * c};
    return {GeometryPoint{t.anchorX, t.anchorY},
            GeometryPoint{t.anchorX + len * c, t.anchorY + len * s}, below,
            GeometryPoint{below.x + len * c, below.y + len * s}};
}

std::array<GeometryPoint, 4> textOutlineCorners(const TextGeometry& t, std::size_t byteCount) {
    return textOutlineCorners(t, byteCount, textDirection(t.angle));
}

std::optional<GeometryBox> textExtentsBox(const ElementStore& store, const Element& e,
                                          const TextDirection& direction) {
    const auto corners = textOutlineCorners(textGeometry(e), store.text(e).size(), direction);
    GeometryBox box{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
    for (const GeometryPoint& p : corners) {
        box.xmin = std::min(box.xmin, p.x);
        box.ymin = std::min(box.ymin, p.y);
        box.xmax = std::max(box.xmax, p.x);
        box.ymax = std::max(box.ymax, p.y);
    }
    if (!finite(box)) {
        return std::nullopt;
    }
    return box;
}

std::optional<GeometryBox> textExtentsBox(const ElementStore& store, const Element& e) {
    return textExtentsBox(store, e, textDirection(e.g[2]));
}

std::optional<GeometryBox> textCullingBox(const ElementStore& store, const Element& e) {
    // Any rotation, any glyph: two font heights per byte plus two for the line height cover
    // what a text line can reach from its anchor.
    const TextGeometry t = textGeometry(e);
    const double n = static_cast<double>(store.text(e).size());
    return around(t.anchorX, t.anchorY, (2.0 * n + 2.0) * std::abs(t.fontHeight));
}

std::optional<GeometryBox> polygonCullingBox(const ElementStore& store, const Element& e) {
    const auto box = pointsBox(store.polygon(e));
    if (box && !finite(*box)) {
        return std::nullopt;  // a non-finite point: the polygon draws nothing
    }
    return box;
}

SnapPoints geometrySnapPoints(const Element& e) {
    SnapPoints out;
    if (!hasFiniteFields(e)) {
        return out;
    }
    if (e.kind == ElementKind::Line) {
        const LineGeometry l = lineGeometry(e);
        out.points[0] = {{l.x1, l.y1}, SnapPointKind::Start};
        out.points[1] = {{l.x2, l.y2}, SnapPointKind::End};
        out.count = 2;
    } else if (e.kind == ElementKind::Circle || e.kind == ElementKind::Arc) {
        out.points[0] = {{e.g[0], e.g[1]}, SnapPointKind::Reference};
        out.count = 1;
    }
    return out;
}

SnapPoints textSnapPoints(const Element& e) {
    SnapPoints out;
    if (e.kind == ElementKind::Text && hasFiniteFields(e)) {
        const TextGeometry t = textGeometry(e);
        out.points[0] = {{t.anchorX, t.anchorY}, SnapPointKind::Reference};
        out.count = 1;
    }
    return out;
}

}  // namespace planora
