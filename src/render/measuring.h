// Measuring in the graphics window: the mouse snaps to characteristic points of the drawing (line
// end points, circle and arc centres, or text anchors) and the text for the point under the mouse
// gives its distance from the anchor, the x and y components and the direction angle in the chosen
// unit, or the text of a text element.
//
// Plain logic without widgets. The graphics window forwards its events to a MeasureSession and
// carries out what the results ask for (repaint the marker places, show the text, push or pop a
// cursor); the overlay drawing itself is in measure_overlay.h.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "drawing_model.h"
#include "view_transform.h"

namespace planora {

// A client rectangle in pixels; a point is inside when left <= x < right and top <= y < bottom.
struct ClientRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
};

enum class SnapMode : int {
    None = 0,      // nothing is collected
    Geometry = 1,  // line end points, circle and arc centres
    Texts = 2,     // text anchors
};

struct SnapCandidate {
    enum Kind : int { ReferencePoint = 0, StartPoint = 1, EndPoint = 2 };

    int x = 0;  // device pixel, drawing mapping (one extra pixel in x)
    int y = 0;
    std::size_t element = 0;  // index into the element array the list was built from
    int kind = ReferencePoint;
    WorldPoint point;  // the drawing point the pixel was mapped from
    std::string text;  // texts mode: the element's text (Windows-1252 bytes)
};

// The points the mouse can snap to, collected for one view and one client rectangle. It keeps
// copies of what it needs, so a later change of the drawing or the view only shows after a
// rebuild.
class SnapList {
  public:
    static constexpr int kSnapRadius = 50;

    // Collects the candidates of the visible elements in array order, keeping only those whose
    // pixel lies inside `rect`. `mode` replaces the kept mode; std::nullopt keeps it. Returns
    // false (the list then stays empty) when the memory could not be had.
    bool build(const ClientRect& rect, const ViewTransform& view, const ElementStore& store,
               std::optional<SnapMode> mode);
    // Empties the list; the mode is kept for the next build.
    void clear();

    SnapMode mode() const { return mode_; }
    bool empty() const { return candidates_.empty(); }
    const std::vector<SnapCandidate>& candidates() const { return candidates_; }
    const ViewTransform& view() const { return view_; }
    const ClientRect& rect() const { return rect_; }

    // The candidate a mouse at (x, y) snaps to: the one with the smallest distance truncated to
    // whole pixels, below kSnapRadius; on equal distances the earlier one. Null for none.
    const SnapCandidate* findHit(int x, int y) const;

  private:
    std::vector<SnapCandidate> candidates_;
    SnapMode mode_ = SnapMode::None;
    ViewTransform view_;
    ClientRect rect_;
};

// The start point of the measured distances.
struct MeasureAnchor {
    DevicePoint pixel;
    WorldPoint point;  // (0, 0) until the first click
    bool set = false;
};

// Unit, scale and decimals of the measured values.
struct MeasureUnits {
    double unitFactor = 1.0;   // 0.01 [m], 1.0 [cm], 10.0 [mm]
    double scaleFactor = 1.0;  // the scale denominator
    int decimals = 2;          // 0 to 3; any other count gives six decimals
};

// Direction angle in degrees of the vector (dx, dy), counter-clockwise from the positive x axis,
// in (-180, 180]. A vector with |dx| <= 0.0001 takes the plain arcsine, so +90 or -90 by the sign
// of dy; a vector with both components that small gives 0.
double measureAngle(double dx, double dy);

// A number with the given decimals (see MeasureUnits), always with a decimal point.
std::string formatMeasureNumber(double value, int decimals);

// "Abstände: D (x X) (y Y) (Wnk A°)" for the vector from the anchor to a point, in UTF-8.
std::string distanceText(double dx, double dy, const MeasureUnits& units);

// "Text: [" + text + "]" in UTF-8, from a drawing's Windows-1252 text.
std::string textHitText(const std::string& cp1252Text);

// The measuring state of the graphics window: on or off, the snap list with its mode, the
// current hit with its marker, the anchor, and the unit settings.
//
// Starting, ending and rebuilding forget the hit marker. A window that keeps the inverted marker
// in its picture takes it away first with hideHitMarker(), unless it draws the picture anew.
class MeasureSession {
  public:
    enum class CursorAction { None, PushMeasureCursor, PushCrossHairCursor, Pop };

    struct MoveResult {
        // The hit marker moved: repaint where it stood and where it stands now.
        std::optional<DevicePoint> markerErasedAt;
        std::optional<DevicePoint> markerDrawnAt;
        // The new text for the status line's first part and the tooltip (UTF-8; empty hides the
        // tooltip). Not set when the text stays as it was.
        std::optional<std::string> text;
    };

    // Commands "Endpunkt", "Mittelpunkt", "Zentrum", "Schnittpunkt": measuring with the geometric
    // snap points. The cursor action says whether to push the measuring cursor (only when
    // measuring was off).
    CursorAction startGeometry(const ClientRect& rect, const View& view, const ElementStore& store);
    // Command "Texte zeigen": measuring with the text anchors.
    CursorAction startTexts(const ClientRect& rect, const View& view, const ElementStore& store);
    // Command "Meßmodus abschalten": empties the list and ends measuring. Returns Pop when
    // measuring was on (one pop for the one push of the start).
    CursorAction end();

    // After every change of the view, a resize, or a change of colours or layers: the hit marker
    // goes, the list is collected again with the kept mode, and the anchor's pixel follows the
    // view. Works while measuring is off too (the list is then filled but not used).
    void rebuild(const ClientRect& rect, const View& view, const ElementStore& store);

    // The mouse moved to (x, y) while no button or zoom window takes it.
    MoveResult mouseMove(int x, int y);
    // Left click while measuring: the anchor goes to the current hit's point, or to the clicked
    // point when nothing is hit. Returns where the hit marker stood (it is erased by the click).
    std::optional<DevicePoint> leftClick(int x, int y, const View& view);
    // Takes the hit marker away (a right click, a zoom window's click, or before a start, end or
    // rebuild when the marker stands in a picture that is kept). Returns where it stood.
    std::optional<DevicePoint> hideHitMarker();

    void setUnitFactor(double factor) { units_.unitFactor = factor; }
    void setScaleFactor(double denominator) { units_.scaleFactor = denominator; }
    void setDecimals(int decimals) { units_.decimals = decimals; }
    const MeasureUnits& units() const { return units_; }

    bool measuring() const { return measuring_; }
    SnapMode snapMode() const { return list_.mode(); }
    const SnapList& snapList() const { return list_; }
    const SnapCandidate* currentHit() const;
    // Where the hit marker is shown, if it is.
    std::optional<DevicePoint> hitMarker() const { return marker_; }
    const MeasureAnchor& anchor() const { return anchor_; }
    // The last text produced (UTF-8).
    const std::string& measureText() const { return text_; }

  private:
    CursorAction start(SnapMode mode, CursorAction push, const ClientRect& rect, const View& view,
                       const ElementStore& store);
    void refreshAnchorPixel(const View& view);

    SnapList list_;
    bool measuring_ = false;
    std::optional<std::size_t> hit_;  // index into the list's candidates
    std::optional<DevicePoint> marker_;
    MeasureAnchor anchor_;
    MeasureUnits units_;
    std::string text_;
};

}  // namespace planora
