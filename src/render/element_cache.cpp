#include "element_cache.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace planora {

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr ElementBox kEverywhere{-kInf, -kInf, kInf, kInf};
// Elements covering more cells than this are kept in a list of their own.
constexpr long kMaxCellsPerElement = 16;

float floatBelow(double v) {
    float f = static_cast<float>(v);
    if (static_cast<double>(f) > v) {
        f = std::nextafter(f, -kInf);
    }
    return f;
}

float floatAbove(double v) {
    float f = static_cast<float>(v);
    if (static_cast<double>(f) < v) {
        f = std::nextafter(f, kInf);
    }
    return f;
}

ElementBox boxOf(double xmin, double ymin, double xmax, double ymax) {
    if (!std::isfinite(xmin) || !std::isfinite(ymin) || !std::isfinite(xmax) ||
        !std::isfinite(ymax)) {
        return kEverywhere;
    }
    return ElementBox{floatBelow(xmin), floatBelow(ymin), floatAbove(xmax), floatAbove(ymax)};
}

ElementBox aroundPoint(double x, double y, double r) {
    return boxOf(x - r, y - r, x + r, y + r);
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
    const double* g = e.g;
    switch (e.kind) {
        case ElementKind::Line:
            return boxOf(std::min(g[0], g[2]), std::min(g[1], g[3]), std::max(g[0], g[2]),
                         std::max(g[1], g[3]));
        case ElementKind::Circle:
        case ElementKind::Arc:
        case ElementKind::RegularPolygon:
            return aroundPoint(g[0], g[1], std::abs(g[2]));
        case ElementKind::Rectangle:
            // Each corner is at most half the width plus half the height from the centre.
            return aroundPoint(g[0], g[1], 0.5 * (std::abs(g[2]) + std::abs(g[3])));
        case ElementKind::Text: {
            // Any rotation, any glyph: two font heights per character plus two for the line
            // height cover what a text line can reach from its anchor.
            const double n = static_cast<double>(store.text(e).size());
            return aroundPoint(g[0], g[1], (2.0 * n + 2.0) * std::abs(g[3]));
        }
        case ElementKind::Polygon: {
            const PolygonPoints& p = store.polygon(e);
            if (p.x.empty()) {
                return ElementBox{kInf, kInf, -kInf, -kInf};  // meets nothing
            }
            double xmin = p.x[0], xmax = p.x[0], ymin = p.y[0], ymax = p.y[0];
            for (std::size_t i = 1; i < p.x.size() && i < p.y.size(); ++i) {
                xmin = std::min(xmin, p.x[i]);
                xmax = std::max(xmax, p.x[i]);
                ymin = std::min(ymin, p.y[i]);
                ymax = std::max(ymax, p.y[i]);
            }
            return boxOf(xmin, ymin, xmax, ymax);
        }
    }
    return ElementBox{kInf, kInf, -kInf, -kInf};  // unknown kinds draw nothing
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
    boxes_ = {};
    cellStart_ = {};
    cellItems_ = {};
    large_ = {};
    gridW_ = gridH_ = 0;
}

int ElementCache::cellX(double x) const {
    const double c = std::floor((x - extents_.xmin) / cellW_);
    return static_cast<int>(std::clamp(c, 0.0, static_cast<double>(gridW_ - 1)));
}

int ElementCache::cellY(double y) const {
    const double c = std::floor((y - extents_.ymin) / cellH_);
    return static_cast<int>(std::clamp(c, 0.0, static_cast<double>(gridH_ - 1)));
}

void ElementCache::build(const ElementStore& store) {
    clear();
    const std::size_t n = store.elementCount();
    const Element* a = store.elementArray();
    boxes_.resize(n);
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
        const ElementBox b = elementBox(store, a[i]);
        boxes_[i] = b;
        if (isInfinite(b)) {
            infiniteBox_ = infiniteBox_ || b.xmin <= b.xmax;
            continue;
        }
        if (!any) {
            extents_ = WorldBox{b.xmin, b.ymin, b.xmax, b.ymax};
            any = true;
        } else {
            extents_.xmin = std::min<double>(extents_.xmin, b.xmin);
            extents_.ymin = std::min<double>(extents_.ymin, b.ymin);
            extents_.xmax = std::max<double>(extents_.xmax, b.xmax);
            extents_.ymax = std::max<double>(extents_.ymax, b.ymax);
        }
    }

    // A grid pays only for larger drawings; about four elements per cell.
    if (any && n >= 4096) {
        const double w = std::max(extents_.xmax - extents_.xmin, 1e-9);
        const double h = std::max(extents_.ymax - extents_.ymin, 1e-9);
        const double cells = std::clamp(static_cast<double>(n) / 4.0, 16.0, 4.0e6);
        const double side = std::sqrt(cells);
        const double aspect = std::clamp(w / h, 1.0 / side, side);
        gridW_ = std::clamp(static_cast<int>(side * std::sqrt(aspect)), 1, 4096);
        gridH_ = std::clamp(static_cast<int>(side / std::sqrt(aspect)), 1, 4096);
        cellW_ = w / gridW_;
        cellH_ = h / gridH_;

        const std::size_t cellCount = static_cast<std::size_t>(gridW_) * gridH_;
        cellStart_.assign(cellCount + 1, 0);
        auto forEachCell = [&](auto&& visit) {
            for (std::size_t i = 0; i < n; ++i) {
                const ElementBox& b = boxes_[i];
                if (b.xmin > b.xmax) {
                    continue;  // draws nothing
                }
                if (isInfinite(b)) {
                    visit(i, -1);
                    continue;
                }
                const int x0 = cellX(b.xmin), x1 = cellX(b.xmax);
                const int y0 = cellY(b.ymin), y1 = cellY(b.ymax);
                if (static_cast<long>(x1 - x0 + 1) * (y1 - y0 + 1) > kMaxCellsPerElement) {
                    visit(i, -1);
                    continue;
                }
                for (int cy = y0; cy <= y1; ++cy) {
                    for (int cx = x0; cx <= x1; ++cx) {
                        visit(i, static_cast<long>(cy) * gridW_ + cx);
                    }
                }
            }
        };
        forEachCell([&](std::size_t, long cell) {
            if (cell >= 0) {
                ++cellStart_[static_cast<std::size_t>(cell) + 1];
            }
        });
        for (std::size_t c = 0; c < cellCount; ++c) {
            cellStart_[c + 1] += cellStart_[c];
        }
        cellItems_.resize(cellStart_[cellCount]);
        std::vector<std::uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
        forEachCell([&](std::size_t i, long cell) {
            if (cell >= 0) {
                cellItems_[fill[static_cast<std::size_t>(cell)]++] = static_cast<std::uint32_t>(i);
            } else {
                large_.push_back(static_cast<std::uint32_t>(i));
            }
        });
    }

    data_ = a;
    count_ = n;
    fingerprint_ = fingerprint(store);
    built_ = true;
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

bool ElementCache::query(const WorldBox& q, std::vector<std::uint32_t>& out) const {
    out.clear();
    if (gridW_ == 0) {
        return false;
    }
    if (q.xmax < extents_.xmin || q.xmin > extents_.xmax || q.ymax < extents_.ymin ||
        q.ymin > extents_.ymax) {
        // Only the elements kept outside the cells can show.
    } else {
        const int qx0 = cellX(q.xmin), qx1 = cellX(q.xmax);
        const int qy0 = cellY(q.ymin), qy1 = cellY(q.ymax);
        const long cells = static_cast<long>(qx1 - qx0 + 1) * (qy1 - qy0 + 1);
        if (cells * 4 > static_cast<long>(gridW_) * gridH_) {
            return false;
        }
        for (int cy = qy0; cy <= qy1; ++cy) {
            for (int cx = qx0; cx <= qx1; ++cx) {
                const std::size_t cell = static_cast<std::size_t>(cy) * gridW_ + cx;
                for (std::uint32_t k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
                    const std::uint32_t i = cellItems_[k];
                    const ElementBox& b = boxes_[i];
                    // An element in several cells is taken from the first of them that lies
                    // in the query, so it is taken once.
                    if (std::max(cellX(b.xmin), qx0) != cx || std::max(cellY(b.ymin), qy0) != cy) {
                        continue;
                    }
                    if (meets(b, q)) {
                        out.push_back(i);
                    }
                }
            }
        }
    }
    for (std::uint32_t i : large_) {
        if (meets(boxes_[i], q)) {
            out.push_back(i);
        }
    }
    std::sort(out.begin(), out.end());
    return true;
}

}  // namespace planora
