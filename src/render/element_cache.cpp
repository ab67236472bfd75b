#include "element_cache.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>

#include "element_geometry.h"

namespace planora {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr ElementBox kEverywhere{-kInf, -kInf, kInf, kInf};
// Elements whose box is more than this many cells wide or high are kept in a list of their own,
// so that one large element does not widen every query.
constexpr double kMaxCellsPerElement = 2.0;

// A float not above v and one not below it (v finite), a little outside v: the value is moved
// out by more than the rounding to float can move it back (half a float step, relative 2^-24,
// or the smallest step near zero) before it is rounded. Without a branch on the direction of the
// rounding, which is a coin toss per value and ran four times per element when a drawing was
// opened. Values beyond the float range become infinite on the outer side, which keeps the box
// conservative, and the largest float on the inner side.
float floatBelow(double v) {
    const float f = static_cast<float>(v - (std::abs(v) * 0x1p-22 + 0x1p-140));
    return f != kInf ? f : std::numeric_limits<float>::max();
}

float floatAbove(double v) {
    const float f = static_cast<float>(v + (std::abs(v) * 0x1p-22 + 0x1p-140));
    return f != -kInf ? f : -std::numeric_limits<float>::max();
}

ElementBox boxOf(double xmin, double ymin, double xmax, double ymax) {
    if (!std::isfinite(xmin) || !std::isfinite(ymin) || !std::isfinite(xmax) ||
        !std::isfinite(ymax)) {
        return kEverywhere;
    }
    return ElementBox{floatBelow(xmin), floatBelow(ymin), floatAbove(xmax), floatAbove(ymax)};
}

bool isInfinite(const ElementBox& b) {
    return std::isinf(b.xmin) || std::isinf(b.ymin) || std::isinf(b.xmax) || std::isinf(b.ymax);
}

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h;
}

}  // namespace

namespace {

// elementBox, inlined into the loop that builds the boxes of a whole drawing.
[[gnu::always_inline]] inline ElementBox boxOfElement(const ElementStore& store, const Element& e) {
    const std::optional<GeometryBox> b = cullingBox(store, e);
    if (!b) {
        return ElementBox{kInf, kInf, -kInf, -kInf};  // meets nothing: draws nothing
    }
    return boxOf(b->xmin, b->ymin, b->xmax, b->ymax);
}

}  // namespace

ElementBox elementBox(const ElementStore& store, const Element& e) {
    return boxOfElement(store, e);
}

std::uint64_t ElementCache::fingerprint(const ElementStore& store) {
    // A sample of the geometry (not the layer fields, which layer switching changes).
    const std::size_t n = store.elementCount();
    const Element* a = store.elementArray();
    std::uint64_t h = n;
    const std::size_t samples = std::min<std::size_t>(n, 97);
    for (std::size_t k = 0; k < samples; ++k) {
        const std::size_t i = samples > 1 ? k * (n - 1) / (samples - 1) : 0;
        const Element& e = a[i];
        h = mix(h, static_cast<std::uint64_t>(e.kind));
        h = mix(h, e.data);
        for (double v : e.g) {
            std::uint64_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            h = mix(h, bits);
        }
    }
    return h;
}

bool ElementCache::matches(const ElementStore& store) const {
    return built_ && data_ == store.elementArray() && count_ == store.elementCount() &&
           fingerprint_ == fingerprint(store);
}

// The column or row of a coordinate, clamped to the grid. The clamp comes before the
// conversion to int (which then truncates a non-negative value, the same as floor), so far-away
// and not-a-number coordinates are safe, and a coordinate outside the grid's area falls into a
// border cell.
int ElementCache::Level::cellX(double x, double originX) const {
    const double c = (x - originX) / cellW;
    return static_cast<int>(c >= 0.0 ? std::min(c, static_cast<double>(gridW - 1)) : 0.0);
}

int ElementCache::Level::cellY(double y, double originY) const {
    const double c = (y - originY) / cellH;
    return static_cast<int>(c >= 0.0 ? std::min(c, static_cast<double>(gridH - 1)) : 0.0);
}

namespace {

// The boxes of elements [from, to) and what they add up to.
struct BoxesPart {
    WorldBox extents{};
    bool anyFinite = false;
    bool infinite = false;
};

BoxesPart computeBoxes(const ElementStore& store, std::size_t from, std::size_t to,
                       ElementBox* out) {
    const Element* a = store.elementArray();
    BoxesPart part;
    // Kept in locals during the loop (members would be written back on every element).
    double xmin = 0.0, ymin = 0.0, xmax = 0.0, ymax = 0.0;
    bool any = false;
    bool infinite = false;
    for (std::size_t i = from; i < to; ++i) {
        const ElementBox b = boxOfElement(store, a[i]);
        out[i] = b;
        if (isInfinite(b)) {
            infinite = infinite || b.xmin <= b.xmax;
            continue;
        }
        if (!any) {
            xmin = b.xmin;
            ymin = b.ymin;
            xmax = b.xmax;
            ymax = b.ymax;
            any = true;
        } else {
            xmin = std::min<double>(xmin, b.xmin);
            ymin = std::min<double>(ymin, b.ymin);
            xmax = std::max<double>(xmax, b.xmax);
            ymax = std::max<double>(ymax, b.ymax);
        }
    }
    part.extents = WorldBox{xmin, ymin, xmax, ymax};
    part.anyFinite = any;
    part.infinite = infinite;
    return part;
}

// Below this many elements a second thread costs more than it saves.
constexpr std::size_t kElementsPerThread = 65536;

}  // namespace

void ElementCache::build(const ElementStore& store) {
    const std::size_t n = store.elementCount();
    const Element* a = store.elementArray();
    boxes_.resize(n);  // not zero-filled (see LargeArrayAllocator)

    // The boxes are independent of each other: large drawings are split into one contiguous
    // part per core, each with its own extents, joined in order afterwards.
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t parts =
        std::clamp<std::size_t>(n / kElementsPerThread, 1, std::min<std::size_t>(cores, 8));
    std::vector<BoxesPart> results(parts);
    {
        std::vector<std::jthread> helpers;
        for (std::size_t p = 1; p < parts; ++p) {
            helpers.emplace_back([&, p] {
                results[p] = computeBoxes(store, n * p / parts, n * (p + 1) / parts, boxes_.data());
            });
        }
        results[0] = computeBoxes(store, 0, n / parts, boxes_.data());
    }  // the helpers are joined here

    bool any = false;
    for (const BoxesPart& part : results) {
        infiniteBox_ = infiniteBox_ || part.infinite;
        if (!part.anyFinite) {
            continue;
        }
        if (!any) {
            extents_ = part.extents;
            any = true;
        } else {
            extents_.xmin = std::min(extents_.xmin, part.extents.xmin);
            extents_.ymin = std::min(extents_.ymin, part.extents.ymin);
            extents_.xmax = std::max(extents_.xmax, part.extents.xmax);
            extents_.ymax = std::max(extents_.ymax, part.extents.ymax);
        }
    }

    anyFinite_ = any;
    data_ = a;
    count_ = n;
    fingerprint_ = fingerprint(store);
    built_ = true;
}

WorldBox ElementCache::denseArea() const {
    // The centres of a sample of the elements; the area leaves out the few outermost of them
    // on each side, so that a handful of far-away elements do not spread the cells thin.
    constexpr std::size_t kSamples = 4096;
    constexpr std::size_t kLeftOut = 8;  // per side and axis, of kSamples
    std::vector<double> xs, ys;
    xs.reserve(kSamples);
    ys.reserve(kSamples);
    const std::size_t stride = std::max<std::size_t>(1, count_ / kSamples);
    for (std::size_t i = 0; i < count_; i += stride) {
        const ElementBox& b = boxes_[i];
        if (b.xmin > b.xmax || isInfinite(b)) {
            continue;
        }
        xs.push_back(0.5 * (static_cast<double>(b.xmin) + b.xmax));
        ys.push_back(0.5 * (static_cast<double>(b.ymin) + b.ymax));
    }
    if (xs.size() < 4 * kLeftOut) {
        return extents_;
    }
    std::sort(xs.begin(), xs.end());
    std::sort(ys.begin(), ys.end());
    const std::size_t last = xs.size() - 1;
    WorldBox area{xs[kLeftOut], ys[kLeftOut], xs[last - kLeftOut], ys[last - kLeftOut]};
    if (!(area.xmax > area.xmin) || !(area.ymax > area.ymin)) {
        return extents_;
    }
    return area;
}

void ElementCache::buildGrid() const {
    const std::size_t n = count_;
    // A grid pays only for larger drawings; about two elements per cell of the finest level.
    if (!anyFinite_ || n < 4096) {
        return;
    }
    area_ = denseArea();
    const double w = std::max(area_.xmax - area_.xmin, 1e-9);
    const double h = std::max(area_.ymax - area_.ymin, 1e-9);
    const double cells = std::clamp(static_cast<double>(n) / 2.0, 16.0, 4.0e6);
    const double side = std::sqrt(cells);
    const double aspect = std::clamp(w / h, 1.0 / side, side);
    int gridW = std::clamp(static_cast<int>(side * std::sqrt(aspect)), 1, 4096);
    int gridH = std::clamp(static_cast<int>(side / std::sqrt(aspect)), 1, 4096);
    double cellW = w / gridW;
    double cellH = h / gridH;
    // Coarser levels up to one cell over the whole area, which takes every element too large
    // for the others.
    for (;;) {
        Level level;
        level.gridW = gridW;
        level.gridH = gridH;
        level.cellW = cellW;
        level.cellH = cellH;
        levels_.push_back(std::move(level));
        if (gridW == 1 && gridH == 1) {
            break;
        }
        gridW = (gridW + 1) / 2;
        gridH = (gridH + 1) / 2;
        cellW *= 2.0;
        cellH *= 2.0;
    }
    const std::size_t top = levels_.size() - 1;

    // The level and cell of each element (or a mark for "none" and "infinite"), counted per
    // cell.
    constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    LargeVector<std::uint32_t> cellOf(n);
    LargeVector<std::uint8_t> levelOf(n);
    for (std::size_t i = 0; i < n; ++i) {
        const ElementBox& b = boxes_[i];
        if (b.xmin > b.xmax) {
            cellOf[i] = kNone;  // draws nothing
            continue;
        }
        if (isInfinite(b)) {
            cellOf[i] = kNone;
            large_.push_back(static_cast<std::uint32_t>(i));
            continue;
        }
        const double bw = static_cast<double>(b.xmax) - b.xmin;
        const double bh = static_cast<double>(b.ymax) - b.ymin;
        std::size_t k = 0;
        while (k < top && (bw > kMaxCellsPerElement * levels_[k].cellW ||
                           bh > kMaxCellsPerElement * levels_[k].cellH)) {
            ++k;
        }
        Level& level = levels_[k];
        level.maxHalfW = std::max(level.maxHalfW, 0.5 * bw);
        level.maxHalfH = std::max(level.maxHalfH, 0.5 * bh);
        ++level.count;
        const double mx = 0.5 * (static_cast<double>(b.xmin) + b.xmax);
        const double my = 0.5 * (static_cast<double>(b.ymin) + b.ymax);
        cellOf[i] = static_cast<std::uint32_t>(level.cellY(my, area_.ymin)) *
                        static_cast<std::uint32_t>(level.gridW) +
                    static_cast<std::uint32_t>(level.cellX(mx, area_.xmin));
        levelOf[i] = static_cast<std::uint8_t>(k);
    }

    // Per level, the items of each cell in one run; the levels one after another.
    std::uint32_t filled = 0;
    for (Level& level : levels_) {
        if (level.count == 0) {
            continue;
        }
        const std::size_t cellCount = static_cast<std::size_t>(level.gridW) * level.gridH;
        level.cellStart.assign(cellCount + 1, 0);
        // A little slack against the rounding of centres and half sizes.
        level.maxHalfW += 0.01 * level.cellW;
        level.maxHalfH += 0.01 * level.cellH;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (cellOf[i] != kNone) {
            ++levels_[levelOf[i]].cellStart[cellOf[i]];
        }
    }
    for (Level& level : levels_) {
        if (level.count == 0) {
            continue;
        }
        // Counts into the first index of each cell.
        const std::size_t cellCount = level.cellStart.size() - 1;
        level.first = filled;
        for (std::size_t c = 0; c < cellCount; ++c) {
            const std::uint32_t k = level.cellStart[c];
            level.cellStart[c] = filled;
            filled += k;
        }
        level.cellStart[cellCount] = filled;
    }
    cellItems_.resize(filled);
    cellBoxes_.resize(filled);
    for (std::size_t i = 0; i < n; ++i) {
        if (cellOf[i] != kNone) {
            // Each cell's first index moves on while it is filled ...
            const std::uint32_t k = levels_[levelOf[i]].cellStart[cellOf[i]]++;
            cellItems_[k] = static_cast<std::uint32_t>(i);
            cellBoxes_[k] = boxes_[i];
        }
    }
    for (Level& level : levels_) {
        if (level.count == 0) {
            continue;
        }
        // ... and stands at the next cell's first index afterwards: shifted back by one cell.
        for (std::size_t c = level.cellStart.size() - 1; c > 0; --c) {
            level.cellStart[c] = level.cellStart[c - 1];
        }
        level.cellStart[0] = level.first;
    }
}

bool ElementCache::allInside(const WorldBox& q) const {
    if (infiniteBox_) {
        return false;
    }
    if (count_ == 0) {
        return true;
    }
    return extents_.xmin >= q.xmin && extents_.xmax <= q.xmax && extents_.ymin >= q.ymin &&
           extents_.ymax <= q.ymax;
}

void ElementCache::queryLevel(const Level& level, const WorldBox& q,
                              std::vector<std::uint32_t>& out) const {
    // Elements are filed under the cell of their centre: widen the query by the largest half
    // size so that the centre of every element reaching into it lies in the widened area.
    const int qx0 = level.cellX(q.xmin - level.maxHalfW, area_.xmin);
    const int qx1 = level.cellX(q.xmax + level.maxHalfW, area_.xmin);
    const int qy0 = level.cellY(q.ymin - level.maxHalfH, area_.ymin);
    const int qy1 = level.cellY(q.ymax + level.maxHalfH, area_.ymin);
    for (int cy = qy0; cy <= qy1; ++cy) {
        const std::size_t row = static_cast<std::size_t>(cy) * level.gridW;
        // The cells of one row follow each other in cellItems_.
        const std::uint32_t from = level.cellStart[row + qx0];
        const std::uint32_t to = level.cellStart[row + qx1 + 1];
        for (std::uint32_t k = from; k < to; ++k) {
            if (meets(cellBoxes_[k], q)) {
                out.push_back(cellItems_[k]);
            }
        }
    }
}

void ElementCache::prepareQueries() const {
    if (gridReady_.load(std::memory_order_acquire)) {
        return;
    }
    std::lock_guard lock(gridMutex_);
    if (!gridReady_.load(std::memory_order_relaxed)) {
        buildGrid();
        gridReady_.store(true, std::memory_order_release);
    }
}

bool ElementCache::query(const WorldBox& q, std::vector<std::uint32_t>& out) const {
    out.clear();
    if (!gridReady_.load(std::memory_order_acquire)) {
        // Another thread making the grid: a walk over every element gives the same picture
        // without waiting for it.
        std::unique_lock lock(gridMutex_, std::try_to_lock);
        if (!lock.owns_lock()) {
            return false;
        }
        if (!gridReady_.load(std::memory_order_relaxed)) {
            buildGrid();
            gridReady_.store(true, std::memory_order_release);
        }
    }
    if (levels_.empty()) {
        return false;
    }
    // A query over a large part of the finest grid is left to a walk over every element.
    const Level& fine = levels_.front();
    const long cols = fine.cellX(q.xmax + fine.maxHalfW, area_.xmin) -
                      fine.cellX(q.xmin - fine.maxHalfW, area_.xmin) + 1;
    const long rows = fine.cellY(q.ymax + fine.maxHalfH, area_.ymin) -
                      fine.cellY(q.ymin - fine.maxHalfH, area_.ymin) + 1;
    if (cols * rows * 4 > static_cast<long>(fine.gridW) * fine.gridH) {
        return false;
    }
    for (const Level& level : levels_) {
        if (level.count > 0) {
            queryLevel(level, q, out);
        }
    }
    for (std::uint32_t i : large_) {
        if (meets(boxes_[i], q)) {
            out.push_back(i);
        }
    }

    // Into array order: a few are sorted; many are put in order through one bit per element,
    // which costs a pass over count/64 words instead of a sort.
    if (out.size() < count_ / 512 + 64) {
        std::sort(out.begin(), out.end());
        return true;
    }
    std::vector<std::uint64_t> found((count_ + 63) / 64, 0);
    for (std::uint32_t i : out) {
        found[i / 64] |= std::uint64_t{1} << (i % 64);
    }
    out.clear();
    for (std::size_t w = 0; w < found.size(); ++w) {
        for (std::uint64_t bits = found[w]; bits != 0; bits &= bits - 1) {
            out.push_back(static_cast<std::uint32_t>(w * 64 + std::countr_zero(bits)));
        }
    }
    return true;
}

}  // namespace planora
