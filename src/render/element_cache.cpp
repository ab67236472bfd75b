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

// The next float below / above a finite float, by stepping its bit pattern (what nextafter
// does, without the library call; this runs four times per element when a drawing is opened).
float stepDown(float f) {
    if (f == 0.0f) {
        return -std::numeric_limits<float>::denorm_min();
    }
    const auto bits = std::bit_cast<std::uint32_t>(f);
    return std::bit_cast<float>(f > 0.0f ? bits - 1 : bits + 1);
}

float stepUp(float f) {
    return -stepDown(-f);
}

// The largest float not above v and the smallest not below it (v finite). Values beyond the
// float range become infinite, which keeps the box conservative.
float floatBelow(double v) {
    const float f = static_cast<float>(v);
    if (static_cast<double>(f) <= v) {
        return f;
    }
    return f == kInf ? std::numeric_limits<float>::max() : stepDown(f);
}

float floatAbove(double v) {
    const float f = static_cast<float>(v);
    if (static_cast<double>(f) >= v) {
        return f;
    }
    return f == -kInf ? -std::numeric_limits<float>::max() : stepUp(f);
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

ElementBox elementBox(const ElementStore& store, const Element& e) {
    const std::optional<GeometryBox> b = cullingBox(store, e);
    if (!b) {
        return ElementBox{kInf, kInf, -kInf, -kInf};  // meets nothing: draws nothing
    }
    return boxOf(b->xmin, b->ymin, b->xmax, b->ymax);
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

void ElementCache::clear() {
    built_ = false;
    data_ = nullptr;
    count_ = 0;
    boxes_.reset();
    cellStart_ = {};
    cellItems_ = {};
    cellBoxes_ = {};
    large_ = {};
    found_ = {};
    infiniteBox_ = false;
    anyFinite_ = false;
    gridBuilt_ = false;
    gridW_ = gridH_ = 0;
    maxHalfW_ = maxHalfH_ = 0.0;
}

// The column or row of a coordinate, clamped to the grid. The clamp comes before the
// conversion to int (which then truncates a non-negative value, the same as floor), so far-away
// and not-a-number coordinates are safe.
int ElementCache::cellX(double x) const {
    const double c = (x - extents_.xmin) / cellW_;
    return static_cast<int>(c >= 0.0 ? std::min(c, static_cast<double>(gridW_ - 1)) : 0.0);
}

int ElementCache::cellY(double y) const {
    const double c = (y - extents_.ymin) / cellH_;
    return static_cast<int>(c >= 0.0 ? std::min(c, static_cast<double>(gridH_ - 1)) : 0.0);
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
        const ElementBox b = elementBox(store, a[i]);
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
    clear();
    const std::size_t n = store.elementCount();
    const Element* a = store.elementArray();
    boxes_ = std::make_unique_for_overwrite<ElementBox[]>(n);

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
                results[p] = computeBoxes(store, n * p / parts, n * (p + 1) / parts, boxes_.get());
            });
        }
        results[0] = computeBoxes(store, 0, n / parts, boxes_.get());
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

void ElementCache::buildGrid() {
    gridBuilt_ = true;
    const std::size_t n = count_;
    // A grid pays only for larger drawings; about two elements per cell.
    if (anyFinite_ && n >= 4096) {
        const double w = std::max(extents_.xmax - extents_.xmin, 1e-9);
        const double h = std::max(extents_.ymax - extents_.ymin, 1e-9);
        const double cells = std::clamp(static_cast<double>(n) / 2.0, 16.0, 4.0e6);
        const double side = std::sqrt(cells);
        const double aspect = std::clamp(w / h, 1.0 / side, side);
        gridW_ = std::clamp(static_cast<int>(side * std::sqrt(aspect)), 1, 4096);
        gridH_ = std::clamp(static_cast<int>(side / std::sqrt(aspect)), 1, 4096);
        cellW_ = w / gridW_;
        cellH_ = h / gridH_;
        const double maxW = kMaxCellsPerElement * cellW_;
        const double maxH = kMaxCellsPerElement * cellH_;

        // The cell of each element (or a mark for "none" and "too large"), counted per cell.
        constexpr std::uint32_t kNone = 0xFFFFFFFFu;
        constexpr std::uint32_t kLarge = 0xFFFFFFFEu;
        const std::size_t cellCount = static_cast<std::size_t>(gridW_) * gridH_;
        std::vector<std::uint32_t> cellOf(n);
        cellStart_.assign(cellCount + 1, 0);
        for (std::size_t i = 0; i < n; ++i) {
            const ElementBox& b = boxes_[i];
            if (b.xmin > b.xmax) {
                cellOf[i] = kNone;  // draws nothing
                continue;
            }
            const double bw = static_cast<double>(b.xmax) - b.xmin;
            const double bh = static_cast<double>(b.ymax) - b.ymin;
            if (isInfinite(b) || bw > maxW || bh > maxH) {
                cellOf[i] = kLarge;
                large_.push_back(static_cast<std::uint32_t>(i));
                continue;
            }
            maxHalfW_ = std::max(maxHalfW_, 0.5 * bw);
            maxHalfH_ = std::max(maxHalfH_, 0.5 * bh);
            const double mx = 0.5 * (static_cast<double>(b.xmin) + b.xmax);
            const double my = 0.5 * (static_cast<double>(b.ymin) + b.ymax);
            const auto cell = static_cast<std::uint32_t>(cellY(my)) * gridW_ + cellX(mx);
            cellOf[i] = cell;
            ++cellStart_[cell + 1];
        }
        for (std::size_t c = 0; c < cellCount; ++c) {
            cellStart_[c + 1] += cellStart_[c];
        }
        cellItems_.resize(cellStart_[cellCount]);
        cellBoxes_.resize(cellStart_[cellCount]);
        std::vector<std::uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t cell = cellOf[i];
            if (cell < kLarge) {
                const std::uint32_t k = fill[cell]++;
                cellItems_[k] = static_cast<std::uint32_t>(i);
                cellBoxes_[k] = boxes_[i];
            }
        }
        // A little slack against the rounding of centres and half sizes.
        maxHalfW_ += 0.01 * cellW_;
        maxHalfH_ += 0.01 * cellH_;
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

bool ElementCache::query(const WorldBox& q, std::vector<std::uint32_t>& out) {
    out.clear();
    if (!gridBuilt_) {
        buildGrid();
    }
    if (gridW_ == 0) {
        return false;
    }
    // Elements are filed under the cell of their centre: widen the query by the largest half
    // size so that the centre of every element reaching into it lies in the widened area.
    const WorldBox wide{q.xmin - maxHalfW_, q.ymin - maxHalfH_, q.xmax + maxHalfW_,
                        q.ymax + maxHalfH_};
    if (wide.xmax < extents_.xmin || wide.xmin > extents_.xmax || wide.ymax < extents_.ymin ||
        wide.ymin > extents_.ymax) {
        // Only the elements kept outside the cells can show.
    } else {
        const int qx0 = cellX(wide.xmin), qx1 = cellX(wide.xmax);
        const int qy0 = cellY(wide.ymin), qy1 = cellY(wide.ymax);
        const long cells = static_cast<long>(qx1 - qx0 + 1) * (qy1 - qy0 + 1);
        if (cells * 4 > static_cast<long>(gridW_) * gridH_) {
            return false;
        }
        for (int cy = qy0; cy <= qy1; ++cy) {
            const std::size_t row = static_cast<std::size_t>(cy) * gridW_;
            // The cells of one row follow each other in cellItems_.
            const std::uint32_t from = cellStart_[row + qx0];
            const std::uint32_t to = cellStart_[row + qx1 + 1];
            for (std::uint32_t k = from; k < to; ++k) {
                if (meets(cellBoxes_[k], q)) {
                    out.push_back(cellItems_[k]);
                }
            }
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
    found_.assign((count_ + 63) / 64, 0);
    for (std::uint32_t i : out) {
        found_[i / 64] |= std::uint64_t{1} << (i % 64);
    }
    out.clear();
    for (std::size_t w = 0; w < found_.size(); ++w) {
        for (std::uint64_t bits = found_[w]; bits != 0; bits &= bits - 1) {
            out.push_back(static_cast<std::uint32_t>(w * 64 + std::countr_zero(bits)));
        }
    }
    return true;
}

}  // namespace planora
