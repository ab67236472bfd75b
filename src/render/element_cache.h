// Per-drawing knowledge the fast render path keeps between paints: a conservative bounding box of
// every element and a uniform grid over them, so that a paint of a small part of a huge drawing
// only looks at the elements near it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "drawing_model.h"
#include "large_array.h"
#include "view_transform.h"

namespace planora {

// A box in drawing units that holds everything an element can put on a surface (the culling box
// of element_geometry.h, rounded outwards to floats). An element that draws nothing has an
// inverted box that meets nothing; one whose sizes overflow has an infinite box and is never left
// out.
struct ElementBox {
    float xmin;
    float ymin;
    float xmax;
    float ymax;
};

// Built once for a drawing and read-only afterwards, so that one cache can serve several
// renderers on different threads at once (held as std::shared_ptr<const ElementCache>). The one
// part made later, the grid, is made by the first query under a once-flag.
class ElementCache {
  public:
    ElementCache() = default;
    ElementCache(const ElementCache&) = delete;
    ElementCache& operator=(const ElementCache&) = delete;

    // True while the cache was built for this store (same array, count and geometry sample).
    bool matches(const ElementStore& store) const;
    // Fills a fresh cache; call once, before the cache is shared.
    void build(const ElementStore& store);

    // One box per element, in array order.
    std::span<const ElementBox> boxes() const { return {boxes_.data(), count_}; }

    // Indices, ascending, of the elements whose box meets `query`. Returns false when the
    // query covers so much of the drawing that walking every element is cheaper; `out` is then
    // left empty. The grid is made by the first query, not by build(): the first paint after
    // opening a drawing usually shows all of it and needs no grid. Safe to call from several
    // threads at once.
    bool query(const WorldBox& query, std::vector<std::uint32_t>& out) const;

    // Makes the grid now if no query has made it yet (for a thread with time on its hands).
    // While it is made, queries from other threads return false (walk every element) rather
    // than wait for it.
    void prepareQueries() const;
    bool queriesPrepared() const { return gridReady_.load(std::memory_order_acquire); }

    // True when every element's box lies inside `query`.
    bool allInside(const WorldBox& query) const;

    static bool meets(const ElementBox& b, const WorldBox& q) {
        return b.xmax >= q.xmin && b.xmin <= q.xmax && b.ymax >= q.ymin && b.ymin <= q.ymax;
    }

  private:
    template <typename T>
    using LargeVector = std::vector<T, LargeArrayAllocator<T>>;

    // One grid of the stack: gridW x gridH cells over the area of the grid (area_). Each element
    // is kept in the one cell that holds the centre of its box, on the finest level whose cells
    // are at least half its size; a query is widened by the largest half size of that level's
    // elements (maxHalfW, maxHalfH), so it finds every element whose box reaches into it. Cells
    // index the shared cellItems_ and cellBoxes_ (the boxes again, in cell order, so that a
    // query reads memory front to back).
    struct Level {
        int gridW = 0;
        int gridH = 0;
        double cellW = 1.0;
        double cellH = 1.0;
        double maxHalfW = 0.0;
        double maxHalfH = 0.0;
        std::size_t count = 0;    // elements kept on this level
        std::uint32_t first = 0;  // where its items begin in cellItems_
        LargeVector<std::uint32_t> cellStart;

        int cellX(double x, double originX) const;
        int cellY(double y, double originY) const;
    };

    static std::uint64_t fingerprint(const ElementStore& store);
    void buildGrid() const;
    WorldBox denseArea() const;
    void queryLevel(const Level& level, const WorldBox& q, std::vector<std::uint32_t>& out) const;

    const Element* data_ = nullptr;
    std::size_t count_ = 0;
    std::uint64_t fingerprint_ = 0;
    bool built_ = false;

    // Made without zero-filling: the threads of build() fill it, each touching its own part first.
    LargeVector<ElementBox> boxes_;
    WorldBox extents_{};        // union of the finite boxes
    bool infiniteBox_ = false;  // some element has an infinite box
    bool anyFinite_ = false;    // some element has a finite box (extents_ is set)

    // The grids, finest first, each with cells twice the size of the one before. They cover
    // area_, where the centres of nearly all elements lie; the few far outside it are kept in
    // the border cells, so that one far-away element does not thin out the cells of the rest.
    // Written once under gridMutex_, read-only after gridReady_ is set.
    mutable std::mutex gridMutex_;
    mutable std::atomic<bool> gridReady_{false};
    mutable WorldBox area_{};
    mutable std::vector<Level> levels_;
    mutable LargeVector<std::uint32_t> cellItems_;
    mutable LargeVector<ElementBox> cellBoxes_;
    mutable std::vector<std::uint32_t> large_;  // elements with an infinite box, checked one by one
};

// The conservative box of one element (see ElementBox).
ElementBox elementBox(const ElementStore& store, const Element& e);

}  // namespace planora
