#include "text_frames.h"

#include <cmath>

namespace planora {
namespace {

constexpr double kDegree = 3.141592653589793 / 180.0;

struct Point {
    double x;
    double y;
};

Point textCentre(double x, double y, double angle, double h, std::size_t n) {
    const double length = static_cast<double>(n) * h;
    const double c = std::cos(angle * kDegree);
    const double s = std::sin(angle * kDegree);
    return {x + 0.4 * length * c - 0.5 * h * s, y + 0.4 * length * s + 0.5 * h * c};
}

}  // namespace

std::size_t frameCharacterCount(std::string_view text) {
    const std::size_t ff = text.find('\xFF');
    return ff == std::string_view::npos ? text.size() : ff;
}

std::size_t frameFirstWordCount(std::string_view text) {
    const std::size_t end = text.find_first_of(std::string_view(" \xFF", 2));
    return end == std::string_view::npos ? text.size() : end;
}

std::size_t frameElementEstimate(char frameClass, char frameShape) {
    std::size_t n = 0;
    if (frameShape != '0') {
        n += 1;
        if (frameShape == '5' && frameClass == '0') {
            n += 3;
        }
    }
    return n;
}

FrameCounts frameCounts(std::string_view text) {
    return {frameCharacterCount(text), frameFirstWordCount(text)};
}

void addTextFrame(ElementStore& store, double x, double y, double angle, double h, int layer,
                  char frameClass, char frameShape, std::string_view text) {
    addTextFrame(store, x, y, angle, h, layer, frameClass, frameShape, frameCounts(text));
}

void addTextFrame(ElementStore& store, double x, double y, double angle, double h, int layer,
                  char frameClass, char frameShape, const FrameCounts& counts) {
    if (frameClass == '0') {
        switch (frameShape) {
            case '1':
            case '2': {
                const std::size_t n = frameShape == '1' ? counts.whole : counts.firstWord;
                const double length = static_cast<double>(n) * h;
                const double r = length > 0 ? 0.5 * length + 0.5 * h : 1.5 * h;
                const Point centre = textCentre(x, y, angle, h, n);
                store.addCircle(centre.x, centre.y, r, layer, 1, 1);
                break;
            }
            case '3':
            case '4': {
                const std::size_t n = frameShape == '3' ? counts.whole : counts.firstWord;
                const double length = static_cast<double>(n) * h;
                const double width = length + (frameShape == '3' ? 0.4 : 0.1) * h;
                const Point centre = textCentre(x, y, angle, h, n);
                store.addRectangle(centre.x, centre.y, width, 1.5 * h, angle, layer, 1, 1);
                break;
            }
            case '5': {
                const std::size_t n = counts.whole;
                const double length = static_cast<double>(n) * h;
                const Point centre = textCentre(x, y, angle, h, n);
                const double c = std::cos(angle * kDegree);
                const double s = std::sin(angle * kDegree);
                const double p = 0.8 * length;
                const double q = 1.5 * h;
                const Point a{centre.x - 0.5 * p * c, centre.y - 0.5 * p * s};
                const Point b{centre.x + 0.5 * p * c, centre.y + 0.5 * p * s};
                const Point up{-0.5 * q * s, 0.5 * q * c};
                const Point p0{a.x + up.x, a.y + up.y};
                const Point p1{b.x + up.x, b.y + up.y};
                const Point p2{b.x - up.x, b.y - up.y};
                const Point p3{a.x - up.x, a.y - up.y};
                store.addLine(p0.x, p0.y, p1.x, p1.y, layer, 0, 0);
                store.addLine(p2.x, p2.y, p3.x, p3.y, layer, 0, 0);
                store.addArc(a.x, a.y, 0.75 * h, angle + 90, angle + 270, layer, 0, 0);
                store.addArc(b.x, b.y, 0.75 * h, angle + 270, angle + 90, layer, 0, 0);
                break;
            }
            default:
                break;
        }
        return;
    }
    if ((frameClass == '1' || frameClass == '2') && frameShape >= '3' && frameShape <= '9') {
        const std::size_t n = counts.whole;
        const double length = static_cast<double>(n) * h;
        const Point centre = textCentre(x, y, angle, h, n);
        store.addRegularPolygon(centre.x, centre.y, length, frameClass == '1' ? 90.0 : 270.0,
                                frameShape - '0', layer, 0, 0);
    }
}

}  // namespace planora
