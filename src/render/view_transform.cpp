#include "view_transform.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "element_geometry.h"

namespace planora {

WorldPoint deviceToWorld(const ViewTransform& view, double px, double py) {
    return {(px - view.deviceOriginX) / view.scale + view.worldOriginX,
            (view.deviceOriginY - py) / view.scale + view.worldOriginY};
}

DevicePoint worldToDevice(const ViewTransform& view, double x, double y) {
    return {truncToPixel((x - view.worldOriginX) * view.scale + view.deviceOriginX),
            truncToPixel(view.deviceOriginY - (y - view.worldOriginY) * view.scale)};
}

DevicePoint drawingToDevice(const ViewTransform& view, double x, double y) {
    return {truncToPixel((x - view.worldOriginX) * view.scale + view.deviceOriginX + 1),
            truncToPixel(view.deviceOriginY - (y - view.worldOriginY) * view.scale)};
}

std::array<WorldPoint, 4> textBoxCorners(const Element& text, std::size_t byteCount) {
    const auto c = textOutlineCorners(textGeometry(text), byteCount);
    return {WorldPoint{c[0].x, c[0].y}, WorldPoint{c[1].x, c[1].y}, WorldPoint{c[2].x, c[2].y},
            WorldPoint{c[3].x, c[3].y}};
}

namespace {

int result(const std::optional<GeometryBox>& box, WorldBox& extents) {
    if (!box) {
        extents = WorldBox{};
        return 0;
    }
    extents = WorldBox{box->xmin, box->ymin, box->xmax, box->ymax};
    return 1;
}

}  // namespace

int drawingExtents(const ElementStore& store, WorldBox& extents) {
    return result(store.extents(), extents);
}

int measureDrawingExtents(const ElementStore& store, WorldBox& extents) {
    std::optional<GeometryBox> box;
    for (const Element& e : store.elements()) {
        if (const auto b = extentsBox(store, e)) {
            widenExtents(box, *b);
        }
    }
    return result(box, extents);
}

// ---- View ----

void View::resetView() {
    current_ = ViewTransform{};
    publishView();
}

void View::publishView() {
    displayed_ = current_;
}

void View::setCurrentView(const ViewTransform& view) {
    current_ = view;
    publishView();
}

bool View::fitBox(int width, int height, const WorldBox& box) {
    return fit(width, height, box, FitRule::Edges);
}

bool View::fitInside(int width, int height, const WorldBox& box) {
    return fit(width, height, box, FitRule::Inside);
}

bool View::fit(int width, int height, const WorldBox& box, FitRule rule) {
    const double w = box.xmax - box.xmin;
    const double h = box.ymax - box.ymin;
    // A box without area (or an inverted or non-finite one) and an empty client area would make
    // the scale zero or infinite: the previous view stays.
    if (!(w > 0.0) || !(h > 0.0) || width <= 0 || height <= 0) {
        return false;
    }
    // Edges: the box's edges on the client area's edges, so that a window rectangle keeps its
    // pixels (panning and zoom window rely on it). Inside: every point of the box on a pixel of
    // the area. The drawing maps x one pixel to the right, so the right edge may reach column
    // width - 1 from column 1, and the lowest point must stay on row height - 1.
    const int room = rule == FitRule::Inside ? std::max(height - 1, 1) : height;
    const double sx = (rule == FitRule::Inside ? std::max(width - 2, 1) : width) / w;
    const double sy = room / h;
    const double scale = sx < sy ? sx : sy;
    if (!std::isfinite(scale) || !(scale > 0.0)) {
        return false;
    }
    current_.scale = scale;
    const int hp = truncToPixel(h * scale);
    current_.deviceOriginY = truncToPixel(static_cast<double>(hp) + (room - hp) / 2);
    current_.deviceOriginX = 0;
    current_.worldOriginX = box.xmin;
    current_.worldOriginY = box.ymin;
    history_.forward();
    history_.store(box, rule == FitRule::Inside);
    publishView();
    return true;
}

bool View::zoomToDeviceRect(int width, int height, int x1, int y1, int x2, int y2) {
    const int left = std::min(x1, x2);
    const int right = std::max(x1, x2);
    const int top = std::min(y1, y2);
    const int bottom = std::max(y1, y2);
    const WorldPoint lowerLeft = deviceToWorld(current_, left, bottom);
    const WorldPoint upperRight = deviceToWorld(current_, right, top);
    return fitBox(width, height, WorldBox{lowerLeft.x, lowerLeft.y, upperRight.x, upperRight.y});
}

bool View::zoomAll(int width, int height, const ElementStore& store) {
    WorldBox extents;
    if (drawingExtents(store, extents) == 0) {
        return false;
    }
    return fitInside(width, height, extents);
}

bool View::zoomPrevious(int width, int height) {
    history_.back();
    const WorldBox box = history_.current();
    const FitRule rule = history_.currentFitsInside() ? FitRule::Inside : FitRule::Edges;
    // A successful fit moves the cursor forwards again (and stores the box there); step back so
    // that the next call goes on from here. A refused box leaves the cursor where it is.
    if (fit(width, height, box, rule)) {
        history_.back();
        return true;
    }
    return false;
}

bool View::zoomAtPoint(int width, int height, int mouseX, int mouseY, double factor) {
    if (!(factor > 0.0) || width <= 0 || height <= 0) {
        return false;
    }
    const double dx = std::trunc((width - width / factor) * 0.5);
    const double dy = std::trunc((height - height / factor) * 0.5);
    const double sx = (mouseX - 0.5 * width) / width * 2.0 * dx;
    const double sy = (mouseY - 0.5 * height) / height * 2.0 * dy;
    return zoomToDeviceRect(width, height, truncToPixel(dx + sx), truncToPixel(dy + sy),
                            truncToPixel(width - dx + sx), truncToPixel(height - dy + sy));
}

void View::panDragPress(int x, int y) {
    panLast_ = {x, y};
}

DevicePoint View::panDragMove(int width, int height, int x, int y) {
    const int dx = x - panLast_.x;
    const int dy = y - panLast_.y;
    zoomToDeviceRect(width, height, -dx, -dy, width - dx, height - dy);
    panLast_ = {x, y};
    return {dx, dy};
}

void View::panDragRelease(int x, int y) {
    panLast_ = {x, y};
}

bool View::panStep(int width, int height, int x, int y) {
    const double ux = 0.25 * width / current_.scale;
    const double uy = 0.25 * height / current_.scale;
    const ViewTransform before = current_;
    if (x < width / 3) {
        current_.worldOriginX += ux;
    }
    if (x > 2 * width / 3) {
        current_.worldOriginX -= ux;
    }
    if (y < height / 3) {
        current_.worldOriginY -= uy;
    }
    if (y > 2 * height / 3) {
        current_.worldOriginY += uy;
    }
    if (current_ == before) {
        return false;
    }
    publishView();
    return true;
}

void View::scaleStep(double factor) {
    current_.scale *= factor;
    publishView();
}

void View::saveViewForOutput(int deviceOriginX) {
    backup_ = current_;
    current_.deviceOriginX = deviceOriginX;
}

void View::scaleView(double k) {
    current_.scale *= k;
    current_.deviceOriginY = truncToPixel(current_.deviceOriginY * k);
    publishView();
}

void View::restoreViewAfterOutput() {
    current_.scale = backup_.scale;
    current_.worldOriginX = backup_.worldOriginX;
    current_.worldOriginY = backup_.worldOriginY;
    current_.deviceOriginY = backup_.deviceOriginY;
    current_.deviceOriginX = 0;
    publishView();
}

// ---- Zoom window ----

ZoomWindowTool::Rect ZoomWindowTool::band() const {
    return Rect{std::min(first_.x, second_.x), std::min(first_.y, second_.y),
                std::max(first_.x, second_.x), std::max(first_.y, second_.y)};
}

ZoomWindowTool::Actions ZoomWindowTool::command() {
    View unused;
    Actions cancel = handle(Event::Cancel, 0, 0, unused, 0, 0);
    Actions start = handle(Event::Start, 0, 0, unused, 0, 0);
    // The cancel's cursor pop and band erase come first, then the new start.
    start.popCursor = cancel.popCursor;
    start.eraseBand = cancel.eraseBand;
    return start;
}

ZoomWindowTool::Actions ZoomWindowTool::handle(Event event, int x, int y, View& view, int width,
                                               int height) {
    Actions actions;
    switch (event) {
        case Event::Start:
            state_ = State::FirstPoint;
            actions.pushCursor = true;
            actions.statusText = "Fenster zoomen: 1. Punkt";
            break;
        case Event::Button:
            if (state_ == State::FirstPoint) {
                first_ = second_ = {x, y};
                state_ = State::SecondPoint;
                actions.statusText = "Fenster zoomen: 2. Punkt";
            } else if (state_ == State::SecondPoint) {
                actions.eraseBand = band();
                second_ = {x, y};
                state_ = State::Off;
                actions.zoomed =
                    view.zoomToDeviceRect(width, height, first_.x, first_.y, second_.x, second_.y);
                actions.popCursor = true;
                actions.statusText = "";
            }
            break;
        case Event::Move:
            if (state_ == State::SecondPoint) {
                actions.eraseBand = band();
                second_ = {x, y};
                actions.drawBand = band();
            }
            break;
        case Event::Cancel:
            if (state_ == State::SecondPoint) {
                actions.eraseBand = band();
            }
            if (state_ != State::Off) {
                actions.popCursor = true;
            }
            state_ = State::Off;
            break;
    }
    return actions;
}

}  // namespace planora
