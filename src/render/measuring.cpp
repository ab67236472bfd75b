#include "measuring.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <new>

#include "element_geometry.h"
#include "text_encoding.h"

namespace planora {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTiny = 0.0001;

}  // namespace

bool SnapList::build(const ClientRect& rect, const ViewTransform& view, const ElementStore& store,
                     std::optional<SnapMode> mode) {
    candidates_.clear();
    try {
        candidates_.reserve(2 * store.elementCount());
    } catch (const std::bad_alloc&) {
        candidates_ = {};
        return false;
    }
    view_ = view;
    if (mode) {
        mode_ = *mode;
    }
    rect_ = rect;

    const auto add = [&](std::size_t index, int kind, double x, double y, std::string text) {
        const DevicePoint p = drawingToDevice(view_, x, y);
        if (rect_.contains(p.x, p.y)) {
            candidates_.push_back({p.x, p.y, index, kind, {x, y}, std::move(text)});
        }
    };

    const ElementArray& elements = store.elements();
    try {
        for (std::size_t i = 0; i < elements.size(); ++i) {
            const Element& e = elements[i];
            if (e.layerField <= 0) {
                continue;
            }
            if (mode_ == SnapMode::Geometry) {
                const SnapPoints points = geometrySnapPoints(e);
                for (int k = 0; k < points.count; ++k) {
                    const SnapPoint& p = points.points[static_cast<std::size_t>(k)];
                    add(i, static_cast<int>(p.kind), p.at.x, p.at.y, {});
                }
            } else if (mode_ == SnapMode::Texts) {
                const SnapPoints points = textSnapPoints(e);
                if (points.count > 0) {
                    add(i, SnapCandidate::ReferencePoint, points.points[0].at.x,
                        points.points[0].at.y, std::string(store.text(e)));
                }
            }
        }
    } catch (const std::bad_alloc&) {
        candidates_ = {};
        return false;
    }
    return true;
}

void SnapList::clear() {
    candidates_.clear();
}

const SnapCandidate* SnapList::findHit(int x, int y) const {
    const SnapCandidate* hit = nullptr;
    // Long arithmetic: candidates and the mouse may lie anywhere in the int range.
    long long best = kSnapRadius;
    for (const SnapCandidate& c : candidates_) {
        const long long dx = static_cast<long long>(x) - c.x;
        const long long dy = static_cast<long long>(y) - c.y;
        // Only the square around the mouse, its right and bottom edges excluded.
        if (dx > kSnapRadius || dx <= -kSnapRadius || dy > kSnapRadius || dy <= -kSnapRadius) {
            continue;
        }
        const auto d = static_cast<long long>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
        if (d < best) {
            best = d;
            hit = &c;
        }
    }
    return hit;
}

double measureAngle(double dx, double dy) {
    const double dist = std::hypot(dx, dy);
    if (std::fabs(dx) > kTiny) {
        // Rounding may put the ratio a hair beyond 1, where acos has no value.
        const double a = std::acos(std::clamp(dx / dist, -1.0, 1.0)) * 180.0 / kPi;
        return dy < 0.0 ? -a : a;
    }
    if (std::fabs(dy) > kTiny) {
        return std::asin(std::clamp(dy / dist, -1.0, 1.0)) * 180.0 / kPi;
    }
    return 0.0;
}

std::string formatMeasureNumber(double value, int decimals) {
    const int precision = decimals >= 0 && decimals <= 3 ? decimals : 6;
    // Room for the longest fixed form of a double (309 digits, sign, point, six decimals).
    std::array<char, 400> buffer{};
    // Formatted without the process locale, so the decimal separator is always a point.
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, precision);
    if (result.ec != std::errc()) {
        return "?";
    }
    return std::string(buffer.data(), result.ptr);
}

std::string distanceText(double dx, double dy, const MeasureUnits& units) {
    const double factor = units.unitFactor * units.scaleFactor;
    const double distance = std::hypot(dx, dy) * factor;
    const double x = std::fabs(dx) * factor;
    const double y = std::fabs(dy) * factor;
    const double angle = measureAngle(dx, dy);
    const int n = units.decimals;
    return "Abstände: " + formatMeasureNumber(distance, n) + " (x " + formatMeasureNumber(x, n) +
           ") (y " + formatMeasureNumber(y, n) + ") (Wnk " + formatMeasureNumber(angle, n) + "°)";
}

std::string textHitText(const std::string& cp1252Text) {
    return "Text: [" + toUtf8FromCp1252(cp1252Text) + "]";
}

MeasureSession::CursorAction MeasureSession::start(SnapMode mode, CursorAction push,
                                                   const ClientRect& rect, const View& view,
                                                   const ElementStore& store) {
    const CursorAction action = measuring_ ? CursorAction::None : push;
    hit_.reset();
    marker_.reset();
    list_.build(rect, view.displayedView(), store, mode);
    refreshAnchorPixel(view);
    measuring_ = true;
    return action;
}

MeasureSession::CursorAction MeasureSession::startGeometry(const ClientRect& rect, const View& view,
                                                           const ElementStore& store) {
    return start(SnapMode::Geometry, CursorAction::PushMeasureCursor, rect, view, store);
}

MeasureSession::CursorAction MeasureSession::startTexts(const ClientRect& rect, const View& view,
                                                        const ElementStore& store) {
    return start(SnapMode::Texts, CursorAction::PushCrossHairCursor, rect, view, store);
}

MeasureSession::CursorAction MeasureSession::end() {
    const CursorAction action = measuring_ ? CursorAction::Pop : CursorAction::None;
    list_.clear();
    hit_.reset();
    marker_.reset();
    text_.clear();
    measuring_ = false;
    return action;
}

void MeasureSession::rebuild(const ClientRect& rect, const View& view, const ElementStore& store) {
    hit_.reset();
    marker_.reset();
    list_.build(rect, view.displayedView(), store, std::nullopt);
    refreshAnchorPixel(view);
}

void MeasureSession::refreshAnchorPixel(const View& view) {
    anchor_.pixel = worldToDevice(view.currentView(), anchor_.point.x, anchor_.point.y);
}

const SnapCandidate* MeasureSession::currentHit() const {
    return hit_ ? &list_.candidates()[*hit_] : nullptr;
}

MeasureSession::MoveResult MeasureSession::mouseMove(int x, int y) {
    MoveResult result;
    if (!measuring_ || list_.empty()) {
        return result;
    }
    const SnapCandidate* hit = list_.findHit(x, y);
    if (hit == nullptr) {
        hit_.reset();
        if (marker_) {
            result.markerErasedAt = marker_;
            marker_.reset();
        }
        text_.clear();
        result.text = text_;
        return result;
    }
    hit_ = static_cast<std::size_t>(hit - list_.candidates().data());
    const DevicePoint at{hit->x, hit->y};
    if (marker_ == at) {
        // The marker already stands there: the text stays as it is.
        return result;
    }
    result.markerErasedAt = marker_;
    marker_ = at;
    result.markerDrawnAt = at;

    if (list_.mode() == SnapMode::Texts) {
        text_ = textHitText(hit->text);
    } else {
        text_ =
            distanceText(hit->point.x - anchor_.point.x, hit->point.y - anchor_.point.y, units_);
    }
    result.text = text_;
    return result;
}

std::optional<DevicePoint> MeasureSession::leftClick(int x, int y, const View& view) {
    const std::optional<DevicePoint> erased = marker_;
    marker_.reset();
    if (const SnapCandidate* hit = currentHit()) {
        anchor_.point = hit->point;
        anchor_.pixel = worldToDevice(view.currentView(), hit->point.x, hit->point.y);
    } else {
        anchor_.point = deviceToWorld(view.currentView(), x, y);
        anchor_.pixel = {x, y};
    }
    anchor_.set = true;
    return erased;
}

std::optional<DevicePoint> MeasureSession::hideHitMarker() {
    const std::optional<DevicePoint> erased = marker_;
    marker_.reset();
    return erased;
}

}  // namespace planora
