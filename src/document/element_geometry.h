// The geometry of each element kind in one place: named access to the five geometry fields, the
// box an element adds to the drawing's extents, the box outside which it can put nothing on a
// surface, and the points the measuring mode snaps to.
//
// The two boxes differ on purpose:
//  - The extents box is what "zoom all" fits. It follows the drawing's own outline estimate: a
//    text counts as a rectangle of 0.4 letter heights per byte by one font height, a rectangle
//    as the square around its centre with the larger absolute side as half size, and polygon
//    areas take no part. It may be smaller than what is drawn (a long glyph, a polygon) and is
//    never widened, so the fitted view shows what the drawing program shows.
//  - The culling box holds every pixel the element can produce, whatever the font or rotation:
//    a text reaches at most two font heights per byte plus two from its anchor, a rectangle at
//    most half its width plus half its height. Renderers leave out elements whose culling box
//    misses the output, so this box must never be too small; being generous only costs time.
// Both use absolute sizes: a negative width, height or radius describes the same figure.
//
// An element with a non-finite value in a field its kind uses (NaN, +-infinity) draws nothing and
// takes no part in the extents: one broken record must not take the rest of the drawing with it.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>

#include "drawing_model.h"

namespace planora {

struct GeometryPoint {
    double x = 0.0;
    double y = 0.0;
};

struct LineGeometry {
    double x1, y1, x2, y2;
};
struct CircleGeometry {
    double centreX, centreY, radius;
};
struct ArcGeometry {
    double centreX, centreY, radius, startAngle, endAngle;  // degrees, counter-clockwise
};
struct TextGeometry {
    double anchorX, anchorY, angle, fontHeight, widthFactor;
};
struct RegularPolygonGeometry {
    double centreX, centreY, radius, firstCornerAngle, cornerCount;
};
struct RectangleGeometry {
    double centreX, centreY, width, height, angle;
};

inline LineGeometry lineGeometry(const Element& e) {
    return {e.g[0], e.g[1], e.g[2], e.g[3]};
}
inline CircleGeometry circleGeometry(const Element& e) {
    return {e.g[0], e.g[1], e.g[2]};
}
inline ArcGeometry arcGeometry(const Element& e) {
    return {e.g[0], e.g[1], e.g[2], e.g[3], e.g[4]};
}
inline TextGeometry textGeometry(const Element& e) {
    return {e.g[0], e.g[1], e.g[2], e.g[3], e.g[4]};
}
inline RegularPolygonGeometry regularPolygonGeometry(const Element& e) {
    return {e.g[0], e.g[1], e.g[2], e.g[3], e.g[4]};
}
inline RectangleGeometry rectangleGeometry(const Element& e) {
    return {e.g[0], e.g[1], e.g[2], e.g[3], e.g[4]};
}

// How many of the geometry fields g0, g1, ... the kind uses (the width factor of a text is not
// drawn and so not counted; polygon points are held outside the fields).
inline int usedGeometryFields(ElementKind kind) {
    switch (kind) {
        case ElementKind::Line:
            return 4;
        case ElementKind::Circle:
            return 3;
        case ElementKind::Arc:
        case ElementKind::RegularPolygon:
        case ElementKind::Rectangle:
            return 5;
        case ElementKind::Text:
            return 4;
        case ElementKind::Polygon:
            return 0;
    }
    return 0;
}

// Whether every geometry field the kind uses is a finite number (cheap: no polygon points).
inline bool hasFiniteFields(const Element& e) {
    const int n = usedGeometryFields(e.kind);
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(e.g[i])) {
            return false;
        }
    }
    return true;
}

// hasFiniteFields, and for polygons every point finite.
bool hasFiniteGeometry(const ElementStore& store, const Element& e);

// The four corners of the estimated text box: the anchor, the end of the line (0.4 font heights
// per byte along the angle), and the two points one font height below them.
std::array<GeometryPoint, 4> textOutlineCorners(const TextGeometry& t, std::size_t byteCount);

// The cosine and sine of a text's angle (degrees) as the text box takes them; the text box with
// them given.
TextDirection textDirection(double angle);
std::array<GeometryPoint, 4> textOutlineCorners(const TextGeometry& t, std::size_t byteCount,
                                                const TextDirection& direction);

// The extents boxes of lines and of circles, arcs and regular polygons (centre and radius).
inline GeometryBox lineExtentsBox(double x1, double y1, double x2, double y2) {
    return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}
inline GeometryBox roundExtentsBox(double cx, double cy, double radius) {
    const double r = std::abs(radius);
    return {cx - r, cy - r, cx + r, cy + r};
}
inline bool isFiniteBox(const GeometryBox& b) {
    return std::isfinite(b.xmin) && std::isfinite(b.ymin) && std::isfinite(b.xmax) &&
           std::isfinite(b.ymax);
}

// The extents box of a text (finite fields), which looks into the store; the second form with
// the textDirection of its angle given.
std::optional<GeometryBox> textExtentsBox(const ElementStore& store, const Element& e);
std::optional<GeometryBox> textExtentsBox(const ElementStore& store, const Element& e,
                                          const TextDirection& direction);

// The box the element adds to the drawing's extents; none for polygon areas, unknown kinds and
// elements whose box is not finite. Inline: the store widens its extents by it for every element
// it takes in.
inline std::optional<GeometryBox> extentsBox(const ElementStore& store, const Element& e) {
    if (!hasFiniteFields(e)) {
        return std::nullopt;
    }
    GeometryBox box;
    switch (e.kind) {
        case ElementKind::Line: {
            const LineGeometry l = lineGeometry(e);
            box = lineExtentsBox(l.x1, l.y1, l.x2, l.y2);
            break;
        }
        case ElementKind::Circle:
        case ElementKind::Arc:
        case ElementKind::RegularPolygon:
            // Centre and radius are the first three fields of all three kinds.
            box = roundExtentsBox(e.g[0], e.g[1], e.g[2]);
            break;
        case ElementKind::Rectangle: {
            // The larger side is taken whole as the half extent: generous, never too small.
            const RectangleGeometry rect = rectangleGeometry(e);
            const double r = std::max(std::abs(rect.width), std::abs(rect.height));
            box = {rect.centreX - r, rect.centreY - r, rect.centreX + r, rect.centreY + r};
            break;
        }
        case ElementKind::Text:
            return textExtentsBox(store, e);
        case ElementKind::Polygon:
        default:
            return std::nullopt;
    }
    if (!isFiniteBox(box)) {
        return std::nullopt;
    }
    return box;
}

// The culling boxes of texts and polygons (finite fields), which look into the store.
std::optional<GeometryBox> textCullingBox(const ElementStore& store, const Element& e);
std::optional<GeometryBox> polygonCullingBox(const ElementStore& store, const Element& e);

// A box that holds everything the element can draw; none when it draws nothing (non-finite
// geometry, an empty polygon, an unknown kind). Finite input can still give an infinite box when
// the sizes overflow. Inline: it runs for every element when a drawing is first drawn.
inline std::optional<GeometryBox> cullingBox(const ElementStore& store, const Element& e) {
    if (!hasFiniteFields(e)) {
        return std::nullopt;
    }
    switch (e.kind) {
        case ElementKind::Line: {
            const LineGeometry l = lineGeometry(e);
            return GeometryBox{std::min(l.x1, l.x2), std::min(l.y1, l.y2), std::max(l.x1, l.x2),
                               std::max(l.y1, l.y2)};
        }
        case ElementKind::Circle:
        case ElementKind::Arc:
        case ElementKind::RegularPolygon: {
            const double r = std::abs(e.g[2]);
            return GeometryBox{e.g[0] - r, e.g[1] - r, e.g[0] + r, e.g[1] + r};
        }
        case ElementKind::Rectangle: {
            // Each corner is at most half the width plus half the height from the centre.
            const RectangleGeometry rect = rectangleGeometry(e);
            const double r = 0.5 * (std::abs(rect.width) + std::abs(rect.height));
            return GeometryBox{rect.centreX - r, rect.centreY - r, rect.centreX + r,
                               rect.centreY + r};
        }
        case ElementKind::Text:
            return textCullingBox(store, e);
        case ElementKind::Polygon:
            return polygonCullingBox(store, e);
    }
    return std::nullopt;
}

// The points of an element the measuring mode offers, with what they are.
enum class SnapPointKind { Reference = 0, Start = 1, End = 2 };
struct SnapPoint {
    GeometryPoint at;
    SnapPointKind kind;
};
struct SnapPoints {
    std::array<SnapPoint, 2> points{};
    int count = 0;
};
// Geometry snapping: a line's two ends, the centre of a circle or an arc.
SnapPoints geometrySnapPoints(const Element& e);
// Text snapping: the anchor of a text.
SnapPoints textSnapPoints(const Element& e);

}  // namespace planora
