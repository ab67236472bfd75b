// Per-drawing knowledge the fast render path keeps between paints: a conservative bounding box of
// every element and a uniform grid over them, so that a paint of a small part of a huge drawing
// only looks at the elements near it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "drawing_model.h"
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

class ElementCache {
  public:
    // True while the cache was built for this store (same array, count and geometry sample).
    bool matches(const ElementStore& store) const;
    void build(const ElementStore& store);
    void clear();

    // One box per element, in array order.
    std::span<const ElementBox> boxes() const { return {boxes_.get(), count_}; }

    // Indices, ascending, of the elements whose box meets `query`. Returns false when the
    // query covers so much of the drawing that walking every element is cheaper; `out` is then
    // left empty. The grid is made by the first query, not by build(): the first paint after
    // opening a drawing usually shows all of it and needs no grid.
    bool query(const WorldBox& query, std::vector<std::uint32_t>& out);

    // True when every element's box lies inside `query`.
    bool allInside(const WorldBox& query) const;

    static bool meets(const ElementBox& b, const WorldBox& q) {
        return b.xmax >= q.xmin && b.xmin <= q.xmax && b.ymax >= q.ymin && b.ymin <= q.ymax;
    }

  private:
    static std::uint64_t fingerprint(const ElementStore& store);
    void buildGrid();
    int cellX(double x) const;
    int cellY(double y) const;

    const Element* data_ = nullptr;
    std::size_t count_ = 0;
    std::uint64_t fingerprint_ = 0;
    bool built_ = false;

    // Left uninitialised when made: the threads of build() fill it, each touching its own part
    // first.
    std::unique_ptr<ElementBox[]> boxes_;
    WorldBox extents_{};        // union of the finite boxes
    bool infiniteBox_ = false;  // some element has an infinite box
    bool anyFinite_ = false;    // some element has a finite box (extents_ is set)

    // Grid: gridW_ x gridH_ cells over extents_. Each element is kept in the one cell that
    // holds the centre of its box; a query is widened by the largest half size of such an
    // element (maxHalfW_, maxHalfH_), so it finds every element whose box reaches into it.
    // cellStart_ indexes cellItems_ and cellBoxes_ (the boxes again, in cell order, so that a
    // query reads memory front to back).
    bool gridBuilt_ = false;
    int gridW_ = 0;
    int gridH_ = 0;
    double cellW_ = 1.0;
    double cellH_ = 1.0;
    double maxHalfW_ = 0.0;
    double maxHalfH_ = 0.0;
    std::vector<std::uint32_t> cellStart_;
    std::vector<std::uint32_t> cellItems_;
    std::vector<ElementBox> cellBoxes_;
    std::vector<std::uint32_t> large_;  // elements larger than a few cells, checked one by one
    std::vector<std::uint64_t> found_;  // bit per element, for putting results in order
};

// The conservative box of one element (see ElementBox).
ElementBox elementBox(const ElementStore& store, const Element& e);

}  // namespace planora
