#include "drawing_model.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "element_geometry.h"

namespace planora {

std::size_t ElementStore::createElementStore(std::size_t capacity) {
    releaseElementStore();
    try {
        elements_.reserve(capacity);
        capacity_ = capacity;
    } catch (const std::bad_alloc&) {
        elements_ = {};
        capacity_ = 0;
    } catch (const std::length_error&) {
        elements_ = {};
        capacity_ = 0;
    }
    return capacity_;
}

bool ElementStore::growCapacity(std::size_t capacity) {
    if (capacity <= capacity_) {
        return true;
    }
    try {
        elements_.reserve(capacity);
    } catch (const std::exception&) {
        return false;
    }
    capacity_ = capacity;
    return true;
}

void ElementStore::releaseElementStore() {
    elements_ = {};
    texts_ = {};
    polygons_ = {};
    pointX_ = {};
    pointY_ = {};
    runStart_ = 0;
    runOpen_ = false;
    polygonUnderConstruction_.reset();
    polygonRoom_ = 0;
    capacity_ = 0;
    extents_.reset();
}

Element& ElementStore::append(ElementKind kind, int layer, int pen, int lineStyle) {
    Element& e = elements_.emplace_back();
    e.kind = kind;
    e.layerField = layer + 1;
    e.penField = pen;
    e.lineStyle = lineStyle;
    return e;
}

void ElementStore::noteExtents(const Element& e) {
    if (const std::optional<GeometryBox> box = extentsBox(*this, e)) {
        widenExtents(extents_, *box);
    }
}

void ElementStore::noteTextExtents(const Element& e) {
    if (!hasFiniteFields(e)) {
        return;
    }
    // Texts mostly share a few angles: the direction of the last one is kept.
    const auto angleBits = std::bit_cast<std::uint64_t>(e.g[2]);
    if (!lastTextDirection_ || lastTextAngleBits_ != angleBits) {
        lastTextDirection_ = textDirection(e.g[2]);
        lastTextAngleBits_ = angleBits;
    }
    if (const std::optional<GeometryBox> box = textExtentsBox(*this, e, *lastTextDirection_)) {
        widenExtents(extents_, *box);
    }
}

// The kinds that make up most drawings take the steps of extentsBox for their kind alone.
void ElementStore::noteLineExtents(double x1, double y1, double x2, double y2) {
    // x - x is 0 for every finite x and not a number otherwise: one test for all four.
    if ((x1 - x1) + (y1 - y1) + (x2 - x2) + (y2 - y2) == 0.0) {
        widenExtents(extents_, lineExtentsBox(x1, y1, x2, y2));
    }
}

void ElementStore::noteRoundExtents(double cx, double cy, double r) {
    const GeometryBox box = roundExtentsBox(cx, cy, r);
    // A field that is not finite never gives a finite box; finite fields still may not.
    if (isFiniteBox(box)) {
        widenExtents(extents_, box);
    }
}

std::size_t ElementStore::addLine(double x1, double y1, double x2, double y2, int layer, int pen,
                                  int lineStyle) {
    if (!full()) {
        Element& e = append(ElementKind::Line, layer, pen, lineStyle);
        e.g[0] = x1;
        e.g[1] = y1;
        e.g[2] = x2;
        e.g[3] = y2;
        noteLineExtents(x1, y1, x2, y2);
    }
    return elements_.size();
}

std::size_t ElementStore::addCircle(double cx, double cy, double r, int layer, int pen,
                                    int lineStyle) {
    if (!full()) {
        Element& e = append(ElementKind::Circle, layer, pen, lineStyle);
        e.g[0] = cx;
        e.g[1] = cy;
        e.g[2] = r;
        noteRoundExtents(cx, cy, r);
    }
    return elements_.size();
}

std::size_t ElementStore::addArc(double cx, double cy, double r, double start, double end,
                                 int layer, int pen, int lineStyle) {
    if (!full()) {
        Element& e = append(ElementKind::Arc, layer, pen, lineStyle);
        e.g[0] = cx;
        e.g[1] = cy;
        e.g[2] = r;
        e.g[3] = start;
        e.g[4] = end;
        if (std::isfinite(start) && std::isfinite(end)) {
            noteRoundExtents(cx, cy, r);
        }
    }
    return elements_.size();
}

std::size_t ElementStore::addRectangle(double cx, double cy, double w, double h, double angle,
                                       int layer, int pen, int lineStyle) {
    if (!full()) {
        Element& e = append(ElementKind::Rectangle, layer, pen, lineStyle);
        e.g[0] = cx;
        e.g[1] = cy;
        e.g[2] = w;
        e.g[3] = h;
        e.g[4] = angle;
        noteExtents(e);
    }
    return elements_.size();
}

namespace {

// Truncation towards zero of a double into int32 without undefined behaviour for values out of
// range (they are clamped) or NaN (0).
std::int32_t truncToInt32(double v) {
    if (!(v == v)) {
        return 0;
    }
    if (v >= 2147483647.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (v <= -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::size_t ElementStore::addRegularPolygon(double cx, double cy, double r, double angle,
                                            double corners, int layer, int pen, int lineStyle) {
    if (!full()) {
        Element& e = append(ElementKind::RegularPolygon, layer, pen, lineStyle);
        e.g[0] = cx;
        e.g[1] = cy;
        e.g[2] = r;
        e.g[3] = angle;
        e.g[4] = truncToInt32(corners);
        noteExtents(e);
    }
    return elements_.size();
}

std::optional<ElementStore::TextId> ElementStore::keepText(std::string_view text) {
    if (texts_.size() >= std::numeric_limits<TextId>::max()) {
        return std::nullopt;
    }
    try {
        texts_.emplace_back(text);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return static_cast<TextId>(texts_.size() - 1);
}

std::size_t ElementStore::addSharedText(double x, double y, TextId text, double angle,
                                        double height, double widthFactor, int layer, int pen,
                                        int lineStyle) {
    if (full() || text >= texts_.size()) {
        return elements_.size();
    }
    constexpr double kDegree = 3.141592653589793 / 180.0;
    Element& e = append(ElementKind::Text, layer, pen, lineStyle);
    e.g[0] = x - std::sin(angle * kDegree) * 1.2 * height;
    e.g[1] = y + std::cos(angle * kDegree) * 1.2 * height;
    e.g[2] = angle;
    e.g[3] = height / 0.75;
    e.g[4] = widthFactor;
    e.data = text;
    noteTextExtents(e);
    return elements_.size();
}

std::size_t ElementStore::addText(double x, double y, std::string_view text, double angle,
                                  double height, double widthFactor, int layer, int pen,
                                  int lineStyle) {
    if (full()) {
        return elements_.size();
    }
    const std::optional<TextId> id = keepText(text);
    if (!id) {
        return elements_.size();
    }
    return addSharedText(x, y, *id, angle, height, widthFactor, layer, pen, lineStyle);
}

void ElementStore::beginPointRun() {
    runStart_ = pointX_.size();
    runOpen_ = true;
}

void ElementStore::addRunPoint(double x, double y) {
    if (!runOpen_) {
        return;
    }
    pointX_.push_back(x);
    pointY_.push_back(y);
}

std::size_t ElementStore::addPolygonOfRun(int layer, int pen, int lineStyle) {
    if (full() || !runOpen_ || polygons_.size() >= std::numeric_limits<std::uint32_t>::max()) {
        return elements_.size();
    }
    polygons_.push_back({runStart_, runLength()});
    Element& e = append(ElementKind::Polygon, layer, pen, lineStyle);
    e.g[2] = static_cast<double>(runLength());
    e.data = static_cast<std::uint32_t>(polygons_.size() - 1);
    return elements_.size();
}

std::size_t ElementStore::polygonBuilder(PolygonStep step, double countOrX, double y, int layer,
                                         int pen, int lineStyle) {
    if (full()) {
        return elements_.size();
    }
    switch (step) {
        case PolygonStep::Begin: {
            Element e;
            e.kind = ElementKind::Polygon;
            e.layerField = layer + 1;
            e.penField = pen;
            e.lineStyle = lineStyle;
            polygonRoom_ =
                static_cast<std::size_t>(std::max<std::int32_t>(0, truncToInt32(countOrX)));
            polygonUnderConstruction_ = e;
            beginPointRun();
            break;
        }
        case PolygonStep::Point:
            if (polygonUnderConstruction_ && runLength() < polygonRoom_) {
                addRunPoint(countOrX, y);
            }
            break;
        case PolygonStep::Finish:
            if (polygonUnderConstruction_) {
                const Element& e = *polygonUnderConstruction_;
                addPolygonOfRun(e.layerField - 1, e.penField, e.lineStyle);
                polygonUnderConstruction_.reset();
                runOpen_ = false;
            }
            break;
    }
    return elements_.size();
}

std::string_view ElementStore::text(const Element& e) const {
    if (e.kind != ElementKind::Text || e.data >= texts_.size()) {
        return {};
    }
    return texts_[e.data];
}

PolygonPoints ElementStore::polygon(const Element& e) const {
    if (e.kind != ElementKind::Polygon || e.data >= polygons_.size()) {
        return {};
    }
    const PolygonSpan& span = polygons_[e.data];
    return {PointColumn(pointX_.data() + span.offset, span.count),
            PointColumn(pointY_.data() + span.offset, span.count)};
}

void DrawingInfoTexts::clear() {
    for (auto& s : slots_) {
        s.clear();
    }
}

void DrawingInfoTexts::set(std::size_t slot, std::string text) {
    if (slot < kSlots) {
        slots_[slot] = std::move(text);
    }
}

std::optional<std::string> DrawingInfoTexts::text(std::size_t slot) const {
    if (slot >= kSlots) {
        return std::nullopt;
    }
    const std::string& s = slots_[slot];
    if (s.empty() || s == "*") {
        return std::nullopt;
    }
    return s;
}

std::array<std::optional<std::string>, DrawingInfoTexts::kSlots> DrawingInfoTexts::copyAll() const {
    std::array<std::optional<std::string>, kSlots> out;
    for (std::size_t i = 0; i < kSlots; ++i) {
        out[i] = text(i);
    }
    return out;
}

void ScaleStatistics::recordScale(std::int32_t key) {
    for (Entry& e : entries_) {
        if (e.denominator == key) {
            ++e.count;
            return;
        }
    }
    if (entries_.size() < kMaxEntries) {
        entries_.push_back({key, 1});
    }
}

std::size_t ScaleStatistics::listScales(std::int32_t* out, std::size_t max) const {
    if (out == nullptr) {
        return entries_.size();
    }
    const std::size_t n = std::min(max, entries_.size());
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = entries_[i].denominator;
    }
    return n;
}

double letterHeightForSizeCode(std::int32_t code) {
    static constexpr double kTable[7] = {0.1, 0.18, 0.25, 0.35, 0.5, 0.7, 1.0};
    if (code >= 8) {
        return code * 0.001;
    }
    if (code >= 1) {
        return kTable[code - 1];
    }
    return kTable[0];
}

void DrawingModel::setLayerVisible(int layer, bool on) {
    const std::int64_t field = static_cast<std::int64_t>(layer) + 1;
    Element* elements = store.mutableElementArray();
    const std::size_t n = store.elementCount();
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t f = elements[i].layerField;
        if ((f < 0 ? -f : f) == field) {
            elements[i].layerField = static_cast<std::int32_t>(on ? field : -field);
        }
    }
    for (LayerEntry& entry : layers) {
        if (entry.number == layer) {
            entry.visible = on ? 1 : 0;
        }
    }
}

const LayerEntry* DrawingModel::nextLayer(bool restart) {
    if (restart) {
        layerCursor_ = 0;
    }
    if (layerCursor_ >= layers.size()) {
        return nullptr;
    }
    return &layers[layerCursor_++];
}

std::size_t DrawingModel::visibleLayerCount() const {
    return static_cast<std::size_t>(
        std::count_if(layers.begin(), layers.end(), [](const LayerEntry& l) { return l.visible; }));
}

void applyLayerFlags(DrawingModel& model) {
    // One pass over the layers: a number is hidden when no entry with it is on.
    std::unordered_map<std::int64_t, bool> anyOn;
    for (const LayerEntry& entry : model.layers) {
        bool& on = anyOn[entry.number];
        on = on || entry.visible != 0;
    }
    // Elements carry layer number + 1; numbers below 0 have no elements that could be hidden.
    // Layer numbers have three digits in the file, so a table serves; a set takes the rest.
    constexpr std::int64_t kTableSize = 4096;
    std::vector<char> hiddenSmall(kTableSize, 0);
    std::unordered_set<std::int64_t> hiddenLarge;
    bool anyHidden = false;
    for (const auto& [number, on] : anyOn) {
        if (!on && number >= 0) {
            anyHidden = true;
            if (number + 1 < kTableSize) {
                hiddenSmall[static_cast<std::size_t>(number + 1)] = 1;
            } else {
                hiddenLarge.insert(number + 1);
            }
        }
    }
    if (!anyHidden) {
        return;
    }
    // One pass over the elements.
    Element* elements = model.store.mutableElementArray();
    const std::size_t n = model.store.elementCount();
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t f = elements[i].layerField;
        const std::int64_t field = f < 0 ? -f : f;
        const bool hide = field < kTableSize ? hiddenSmall[static_cast<std::size_t>(field)] != 0
                                             : hiddenLarge.count(field) != 0;
        if (hide) {
            elements[i].layerField = static_cast<std::int32_t>(-field);
        }
    }
}

}  // namespace planora
