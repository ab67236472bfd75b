// The mapping between drawing units and the integer pixels of a window or an output surface, and
// every operation that changes it: fit a box, zoom all, zoom window, zoom back, wheel zoom,
// panning, scale steps and the temporary rescaling for printing and the clipboard copy.
//
// Plain logic without widgets: operations that depend on the window take its client size.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "drawing_model.h"

namespace planora {

struct ViewTransform {
    double scale = 1.0;         // pixels per drawing unit
    double worldOriginX = 0.0;  // drawing x that maps to deviceOriginX
    double worldOriginY = 0.0;  // drawing y that maps to deviceOriginY
    std::int32_t deviceOriginY = 0;
    std::int32_t deviceOriginX = 0;

    bool operator==(const ViewTransform&) const = default;
};

struct WorldBox {
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = 0.0;
    double ymax = 0.0;

    bool operator==(const WorldBox&) const = default;
};

struct DevicePoint {
    int x = 0;
    int y = 0;

    bool operator==(const DevicePoint&) const = default;
};

struct WorldPoint {
    double x = 0.0;
    double y = 0.0;
};

// Conversion of a pixel value to an integer, towards zero. Values beyond the int range (and NaN)
// saturate instead of being undefined.
inline int truncToPixel(double v) {
    // Values within the int range truncate towards zero; beyond it they saturate.
    constexpr double kMax = static_cast<double>(std::numeric_limits<int>::max());
    constexpr double kMin = static_cast<double>(std::numeric_limits<int>::min());
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= kMax) {
        return std::numeric_limits<int>::max();
    }
    if (v <= kMin) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(v);
}

WorldPoint deviceToWorld(const ViewTransform& view, double px, double py);
DevicePoint worldToDevice(const ViewTransform& view, double x, double y);
// The mapping that drawing uses: like worldToDevice with one extra pixel in x.
DevicePoint drawingToDevice(const ViewTransform& view, double x, double y);

// The estimated box of a text element: its four corners (anchor, end of the line, and the two
// points one font height below them). `byteCount` is the length of the text in bytes.
std::array<WorldPoint, 4> textBoxCorners(const Element& text, std::size_t byteCount);

// The box around every element except polygon areas and elements with non-finite geometry,
// visible or not (see extentsBox). Returns 0 (and the zero box) when no element contributes,
// else 1. Costs nothing: the store keeps it as elements are added.
int drawingExtents(const ElementStore& store, WorldBox& extents);
// The same box worked out by a pass over every element in array order (what the kept box is
// checked against).
int measureDrawingExtents(const ElementStore& store, WorldBox& extents);

// A ring of the last ten fitted boxes with a cursor. It starts on an all-zero box.
class ZoomHistory {
  public:
    static constexpr int kEntries = 10;

    void forward() { cursor_ = (cursor_ + 1) % kEntries; }
    void back() { cursor_ = (cursor_ + kEntries - 1) % kEntries; }
    const WorldBox& current() const { return boxes_[static_cast<std::size_t>(cursor_)]; }
    // Whether the current box was fitted with every point inside (zoom all) rather than edge
    // to edge; going back fits it the same way again.
    bool currentFitsInside() const { return inside_[static_cast<std::size_t>(cursor_)]; }
    void store(const WorldBox& box, bool fitsInside = false) {
        boxes_[static_cast<std::size_t>(cursor_)] = box;
        inside_[static_cast<std::size_t>(cursor_)] = fitsInside;
    }
    int cursor() const { return cursor_; }

  private:
    std::array<WorldBox, kEntries> boxes_{};
    std::array<bool, kEntries> inside_{};
    int cursor_ = 0;
};

// The program-wide view: the working transform changed by every operation, the copy that painting
// uses, the backup kept while output is rescaled, and the zoom history.
class View {
  public:
    View() { resetView(); }

    const ViewTransform& currentView() const { return current_; }
    const ViewTransform& displayedView() const { return displayed_; }
    const ViewTransform& outputBackupView() const { return backup_; }
    const ZoomHistory& history() const { return history_; }
    double currentScale() const { return current_.scale; }

    // Scale 1, zero origins, published.
    void resetView();
    // Copies the working transform into the displayed one.
    void publishView();
    // Sets the working transform directly (e.g. a thumbnail's own fit) and publishes it.
    void setCurrentView(const ViewTransform& view);

    // Fits the box into a client area of width x height pixels: left edge, centred vertically.
    // Adds a history entry. A box without width or height, or an empty client area, keeps the
    // previous view and adds nothing; the result is then false.
    bool fitBox(int width, int height, const WorldBox& box);
    // Like fitBox, but every point of the box lands on a pixel inside the area, with the extra
    // pixel of the drawing mapping in x: what "zoom all" and every whole-drawing output use.
    bool fitInside(int width, int height, const WorldBox& box);
    // Zooms to the window between two pixel corners given in any order.
    bool zoomToDeviceRect(int width, int height, int x1, int y1, int x2, int y2);
    // Fits the drawing's extents; false (nothing changed) for a drawing without elements.
    bool zoomAll(int width, int height, const ElementStore& store);
    // Steps one entry back in the history and shows that box.
    bool zoomPrevious(int width, int height);
    // Wheel zoom about the mouse position (client coordinates): factor 1.25 shows the central
    // 80 % of the window shifted towards the mouse, 0.8 shows 125 %.
    bool zoomAtPoint(int width, int height, int mouseX, int mouseY, double factor);

    // Middle-button panning. press and release store the position; move returns the scroll
    // offset (dx, dy) by which the window's pixels are to be moved and zooms to the shifted rect.
    void panDragPress(int x, int y);
    DevicePoint panDragMove(int width, int height, int x, int y);
    void panDragRelease(int x, int y);

    // Ctrl + click: a click in an outer third moves the drawing a quarter window towards that
    // side. Returns true (and publishes) when the view changed.
    bool panStep(int width, int height, int x, int y);
    // Multiplies the scale; the origins stay. No history entry.
    void scaleStep(double factor);

    // Rescaling for printing and the clipboard copy, called in the order save, scale, render,
    // restore.
    void saveViewForOutput(int deviceOriginX);
    void scaleView(double k);
    void restoreViewAfterOutput();

  private:
    enum class FitRule { Edges, Inside };
    bool fit(int width, int height, const WorldBox& box, FitRule rule);

    ViewTransform current_;
    ViewTransform displayed_;
    ViewTransform backup_;
    ZoomHistory history_;
    DevicePoint panLast_;
};

// The zoom-window interaction. The graphics window turns commands and mouse events into calls and
// carries out what the returned actions ask for.
class ZoomWindowTool {
  public:
    enum class Event { Start = 0, Button = 1, Move = 2, Cancel = 3 };
    enum class State { Off, FirstPoint, SecondPoint };

    struct Rect {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        bool operator==(const Rect&) const = default;
    };

    struct Actions {
        std::optional<std::string> statusText;  // UTF-8; set when the status line changes
        bool pushCursor = false;                // push the "ZoomWindow" cursor
        bool popCursor = false;                 // restore the cursor in use before
        std::optional<Rect> eraseBand;          // inverting rubber band to erase first
        std::optional<Rect> drawBand;           // then to draw
        bool zoomed = false;                    // the view changed: repaint the whole window
    };

    State state() const { return state_; }
    bool active() const { return state_ != State::Off; }

    // Command "Fenster": cancels a zoom window in progress, then starts a new one.
    Actions command();
    Actions handle(Event event, int x, int y, View& view, int width, int height);

  private:
    Rect band() const;

    State state_ = State::Off;
    DevicePoint first_;
    DevicePoint second_;
};

}  // namespace planora
