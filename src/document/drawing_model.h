// The in-memory form of the drawing that is currently open: its drawable elements, its layers
// ("Folien"), the drawing information texts and header numbers, and the scale statistics.
//
// Uses the C++ standard library only. Texts are kept as the file's Windows-1252 bytes; convert
// them with toUtf8FromCp1252() (text_encoding.h) for display.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "large_array.h"

namespace planora {

enum class ElementKind : std::int32_t {
    Line = 0,
    Circle = 1,
    Arc = 2,
    Text = 3,
    RegularPolygon = 4,
    Rectangle = 5,
    Polygon = 6,
};

// One drawable element. The geometry fields g[0..4] mean, by kind:
//   Line            x1, y1, x2, y2, -
//   Circle          centre x, centre y, radius, -, -
//   Arc             centre x, centre y, radius, start angle, end angle (counter-clockwise)
//   Text            anchor x, anchor y, angle, font height, width factor
//   RegularPolygon  centre x, centre y, radius (centre to corner), first corner angle, corners
//   Rectangle       centre x, centre y, width, height, rotation angle
//   Polygon         -, -, point count, -, - (the points are in ElementStore::polygon())
// Angles are degrees, counter-clockwise from the positive x axis.
struct Element {
    ElementKind kind = ElementKind::Line;
    // Layer number + 1 while the layer is visible, -(layer number + 1) while it is hidden.
    // Elements with a value below 1 are not drawn.
    std::int32_t layerField = 0;
    std::int32_t penField = 0;
    std::int32_t lineStyle = 0;
    double g[5] = {0, 0, 0, 0, 0};
    // Text: index into the store's texts; Polygon: index into the store's polygons.
    std::uint32_t data = 0;

    bool visible() const { return layerField >= 1; }
    int layer() const { return (layerField < 0 ? -layerField : layerField) - 1; }
};

// A box in drawing units.
struct GeometryBox {
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = 0.0;
    double ymax = 0.0;
};

// The cosine and sine of an angle (see textDirection in element_geometry.h).
struct TextDirection {
    double cos = 1.0;
    double sin = 0.0;
};

// Widens `extents` by `box`, or starts it with `box` when it is empty. The drawing's extents are
// built up this way, element by element in array order (so that every way of working them out
// gives the same bits).
inline void widenExtents(std::optional<GeometryBox>& extents, const GeometryBox& box) {
    if (!extents) {
        extents = box;
        return;
    }
    GeometryBox& e = *extents;
    e.xmin = std::min(e.xmin, box.xmin);
    e.ymin = std::min(e.ymin, box.ymin);
    e.xmax = std::max(e.xmax, box.xmin);
    e.ymax = std::max(e.ymax, box.ymin);
    e.xmin = std::min(e.xmin, box.xmax);
    e.ymin = std::min(e.ymin, box.ymax);
    e.xmax = std::max(e.xmax, box.xmax);
    e.ymax = std::max(e.ymax, box.ymax);
}

// One coordinate of the points of a polygon, viewed in the store's point pool.
class PointColumn {
  public:
    using value_type = double;
    using const_iterator = const double*;
    using iterator = const double*;

    PointColumn() = default;
    PointColumn(const double* data, std::size_t size) : data_(data), size_(size) {}

    double operator[](std::size_t i) const { return data_[i]; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const double* data() const { return data_; }
    const double* begin() const { return data_; }
    const double* end() const { return data_ + size_; }

    friend bool operator==(const PointColumn& a, const PointColumn& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator==(const PointColumn& a, const std::vector<double>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

  private:
    const double* data_ = nullptr;
    std::size_t size_ = 0;
};

// The points of one polygon. Valid until the store changes.
struct PolygonPoints {
    PointColumn x;
    PointColumn y;

    std::size_t size() const { return x.size(); }
};

// The element array: large ones take huge pages (see large_array.h).
using ElementArray = std::vector<Element, LargeArrayAllocator<Element>>;

// The elements of one drawing: one array with a capacity fixed when it is created, so that adding
// is a plain append. Adds beyond the capacity are refused and return the unchanged count.
class ElementStore {
  public:
    enum class PolygonStep { Begin = 0, Finish = 1, Point = 2 };

    ElementStore() = default;
    ElementStore(ElementStore&&) noexcept = default;
    ElementStore& operator=(ElementStore&&) noexcept = default;
    ElementStore(const ElementStore&) = delete;
    ElementStore& operator=(const ElementStore&) = delete;

    // Releases the previous contents and makes room for `capacity` elements. Returns the
    // capacity obtained (0 when the memory could not be had).
    std::size_t createElementStore(std::size_t capacity);
    void releaseElementStore();
    // Raises the capacity to at least `capacity`, keeping the elements. Returns false when the
    // memory cannot be had (the store is then unchanged).
    bool growCapacity(std::size_t capacity);

    std::size_t elementCount() const { return elements_.size(); }
    std::size_t capacity() const { return capacity_; }
    const Element* elementArray() const { return elements_.data(); }
    const ElementArray& elements() const { return elements_; }
    // Write access for layer switching; the count cannot change through it, and the geometry
    // must not (the kept extents below rely on it).
    Element* mutableElementArray() { return elements_.data(); }

    // The box around the extents boxes (element_geometry.h) of every element, widened as each
    // element is added; none when no element has one. Kept so that fitting a freshly loaded
    // drawing costs no pass over its elements.
    const std::optional<GeometryBox>& extents() const { return extents_; }

    // Each add appends one element with layerField = layer + 1 and returns the new count.
    std::size_t addLine(double x1, double y1, double x2, double y2, int layer, int pen,
                        int lineStyle);
    std::size_t addCircle(double cx, double cy, double r, int layer, int pen, int lineStyle);
    std::size_t addArc(double cx, double cy, double r, double start, double end, int layer, int pen,
                       int lineStyle);
    std::size_t addRectangle(double cx, double cy, double w, double h, double angle, int layer,
                             int pen, int lineStyle);
    std::size_t addRegularPolygon(double cx, double cy, double r, double angle, double corners,
                                  int layer, int pen, int lineStyle);
    // (x, y) is the base point of the text line and height its letter height; the element keeps
    // the anchor 1.2 letter heights above the base point and the font height height / 0.75.
    std::size_t addText(double x, double y, std::string_view text, double angle, double height,
                        double widthFactor, int layer, int pen, int lineStyle);

    // Begin (pointCount in countOrX), Point (x in countOrX, y) and Finish. Only one polygon is
    // built at a time; a polygon keeps at most the point count it was begun with.
    std::size_t polygonBuilder(PolygonStep step, double countOrX, double y, int layer, int pen,
                               int lineStyle);

    // Texts shared by many elements: keepText() stores a text once and returns its id (none when
    // the memory cannot be had); addSharedText() adds a text element that refers to it.
    using TextId = std::uint32_t;
    std::optional<TextId> keepText(std::string_view text);
    std::size_t addSharedText(double x, double y, TextId text, double angle, double height,
                              double widthFactor, int layer, int pen, int lineStyle);

    // A run of points that grows while polygons are taken from it: every polygon added with
    // addPolygonOfRun() has the points appended so far, stored once for all of them. Beginning a
    // run ends the previous one.
    void beginPointRun();
    void addRunPoint(double x, double y);
    std::size_t addPolygonOfRun(int layer, int pen, int lineStyle);

    std::string_view text(const Element& e) const;
    PolygonPoints polygon(const Element& e) const;

  private:
    struct PolygonSpan {
        std::size_t offset = 0;
        std::size_t count = 0;
    };

    bool full() const { return elements_.size() >= capacity_; }
    Element& append(ElementKind kind, int layer, int pen, int lineStyle);
    // Widen the kept extents by the element just added.
    void noteExtents(const Element& e);
    void noteLineExtents(double x1, double y1, double x2, double y2);
    void noteRoundExtents(double cx, double cy, double r);
    void noteTextExtents(const Element& e);
    std::size_t runLength() const { return pointX_.size() - runStart_; }

    ElementArray elements_;
    std::size_t capacity_ = 0;
    std::optional<GeometryBox> extents_;
    // The direction of the text angle met last (see noteTextExtents).
    std::optional<TextDirection> lastTextDirection_;
    std::uint64_t lastTextAngleBits_ = 0;
    std::vector<std::string> texts_;
    std::vector<PolygonSpan> polygons_;
    // Every polygon point of the drawing, in runs; a polygon is a prefix of its run.
    std::vector<double> pointX_;
    std::vector<double> pointY_;
    std::size_t runStart_ = 0;
    bool runOpen_ = false;
    // The polygon begun through polygonBuilder: its element and the point count it takes.
    std::optional<Element> polygonUnderConstruction_;
    std::size_t polygonRoom_ = 0;
};

struct LayerEntry {
    std::int32_t number = 0;
    std::int32_t visible = 1;  // 1 = on, 0 = off
    std::string name;          // Windows-1252 bytes
};

// The layers in file order. Numbers are not unique; operations act on every entry with a number.
using LayerList = std::vector<LayerEntry>;

// The 20 drawing information texts of the file header (Windows-1252 bytes).
class DrawingInfoTexts {
  public:
    static constexpr std::size_t kSlots = 20;

    void clear();
    void set(std::size_t slot, std::string text);
    const std::string& raw(std::size_t slot) const { return slots_.at(slot); }
    // The text of a slot as handed out: none for an empty slot or the text "*".
    std::optional<std::string> text(std::size_t slot) const;
    std::array<std::optional<std::string>, kSlots> copyAll() const;

  private:
    std::array<std::string, kSlots> slots_;
};

using HeaderValues = std::array<float, 20>;

// Scale denominators of the drawing in the order first seen, at most 15.
class ScaleStatistics {
  public:
    struct Entry {
        std::int32_t denominator = 0;
        std::int32_t count = 0;
    };
    static constexpr std::size_t kMaxEntries = 15;

    void reset() { entries_.clear(); }
    void recordScale(std::int32_t key);
    // With no output returns the number of entries; else copies the first min(max, entries) keys
    // in table order and returns how many it copied.
    std::size_t listScales(std::int32_t* out, std::size_t max) const;
    const std::vector<Entry>& entries() const { return entries_; }

  private:
    std::vector<Entry> entries_;
};

// Letter height of a text size code: 1..7 from the table, 8 and above code * 0.001. A code of 0
// or below has no table entry and takes the height of code 1.
double letterHeightForSizeCode(std::int32_t code);

struct CountBlock {
    std::array<std::int16_t, 8> values{};  // values[0] is the text count
    std::int32_t last = 0;
};

class DrawingModel {
  public:
    DrawingModel() = default;
    DrawingModel(DrawingModel&&) noexcept = default;
    DrawingModel& operator=(DrawingModel&&) noexcept = default;

    int version = 0;
    HeaderValues headerValues{};
    DrawingInfoTexts drawingInfo;
    CountBlock countBlock;
    ElementStore store;
    LayerList layers;
    ScaleStatistics scales;
    std::string currentDrawingPath;
    // The message of the last failed load; after a successful load of a damaged file, the
    // damage ("Datei ist defekt: ..."). A failed load sets it and leaves the rest of the model,
    // its loadWarning() included, as it was.
    std::string lastLoadError;
    bool loaded = false;

    // The damage found in the drawing this model holds; empty for a sound file.
    const std::string& loadWarning() const { return warning_; }
    void setLoadWarning(std::string warning) { warning_ = std::move(warning); }

    // Shows or hides every element of the layer and marks every layer entry with that number.
    void setLayerVisible(int layer, bool on);

    // Layer iteration: restart = true starts at the first entry. Returns the entry under the
    // cursor and advances, or nullptr at the end of the list.
    const LayerEntry* nextLayer(bool restart);

    // Layers that are switched on, counted over the layer list.
    std::size_t visibleLayerCount() const;

  private:
    std::size_t layerCursor_ = 0;
    std::string warning_;
};

// Hides the layers that the file marks as switched off; done when a drawing is opened. A layer
// number is hidden only when every entry with that number is off, so that an element any entry
// shows stays visible. Linear in layers and elements.
void applyLayerFlags(DrawingModel& model);

}  // namespace planora
