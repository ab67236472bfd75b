// Drawing the elements of a drawing onto a DrawingSurface through a ViewTransform, with the pen
// table, the palette, the background colour and the black-output switch.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "drawing_model.h"
#include "drawing_surface.h"
#include "view_transform.h"

namespace planora {

// The 16 built-in colours, 0x00BBGGRR, by colour number.
const std::array<std::uint32_t, 16>& defaultColourTable();

// Colour numbers of pens 0 to 32 before any configuration: pen 1 uses 0, pens 2 to 8 use 1 to
// 7, the rest 0.
std::array<std::int32_t, 33> initialPenTable();

// The dash style of a line style code.
DashStyle dashStyleForCode(std::int32_t code);

class ElementCache;
class BandWorker;
struct RenderRequest;

// A rectangle of device pixels: columns left to right - 1, rows top to bottom - 1.
struct DeviceArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class Renderer {
  public:
    static constexpr std::size_t kPenCount = 33;
    static constexpr std::uint32_t kPolygonFill = 0x008000FF;  // red 255, green 0, blue 128

    // How the elements reach the surface. Both give the same pixels; ElementByElement draws
    // every visible element on its own in array order. Fast leaves out what lies outside the
    // surface; on a raster image it writes small figures straight into the pixels, on other
    // surfaces (SVG, PDF, printer) it hands runs of elements with the same pen over together.
    enum class Path { Fast, ElementByElement };

    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Copies min(n, 32) colour numbers into the entries of pens 1 onwards; a negative value is
    // stored as 0.
    void setPenTable(std::span<const std::int32_t> colourNumbers);
    // The palette of colour numbers; an empty one goes back to the built-in colours.
    void setColourPalette(std::span<const std::uint32_t> colours);
    void setBackgroundColour(std::uint32_t colour) { backgroundColour_ = colour; }
    void setBlackOutput(bool on) { blackOutput_ = on; }
    // Whether the graphics window paints the drawing at all (on at start). Returns the previous
    // value.
    bool setDrawingShown(bool shown);

    const std::array<std::int32_t, kPenCount>& penTable() const { return penTable_; }
    const std::vector<std::uint32_t>& palette() const { return palette_; }
    std::uint32_t backgroundColour() const { return backgroundColour_; }
    bool blackOutput() const { return blackOutput_; }
    bool drawingShown() const { return drawingShown_; }

    // The colour an element with this pen number is drawn in.
    std::uint32_t penColour(std::int32_t penNumber) const;

    // Draws the visible elements of the store as one output asks for them (see RenderRequest).
    // The call changes nothing in the renderer: the request's black switch is used for this call
    // only, and the renderer's own blackOutput() is neither read nor written.
    // Returns -1.
    int render(DrawingSurface& surface, const ElementStore& store, const RenderRequest& request);

    // Draws the visible elements of the store through `view`. Returns -1.
    int renderElements(DrawingSurface& surface, const ViewTransform& view,
                       const ElementStore& store, Path path = Path::Fast);
    // Draws the drawing with the view's displayed transform.
    int renderDrawing(DrawingSurface& surface, const View& view, const DrawingModel& model,
                      Path path = Path::Fast);

    // Forgets what was worked out about the element geometry; to be called after a drawing is
    // loaded. (A changed element array or count is also noticed without it.)
    void invalidateElementCache();
    // The element boxes worked out for the last drawing painted (null before the first larger
    // paint). Read-only, so another renderer, also on another thread, may take them over
    // instead of building them again; a cache that does not match the store it is asked to
    // draw is replaced by a fresh one.
    std::shared_ptr<const ElementCache> elementCache() const { return cache_; }

    void adoptElementCache(std::shared_ptr<const ElementCache> cache) { cache_ = std::move(cache); }

    // The drawing order of the fast path packs the dash style into this many low bits of the
    // sort key, above them the colour id.
    static constexpr unsigned kDashStyleBits = 3;
    // Paints of at least this many elements on a raster image are split into bands drawn on
    // two threads.
    static constexpr std::size_t kBandMinElements = 8192;
    // Raster images of at most this many pixels are drawn on one thread, and without culling
    // unless the element boxes are there already.
    static constexpr long kSmallRasterPixels = 256 * 256;
    // Small rasters with at least this many elements are drawn on two threads.
    static constexpr std::size_t kSmallRasterSplitElements = 32768;
    static_assert(static_cast<unsigned>(DashStyle::DashDotDot) < (1u << kDashStyleBits),
                  "every dash style must fit into the sort key's style bits");

  private:
    struct GroupCounts {
        std::int32_t maxLevel;
        std::size_t perLevel;  // sort keys per level: colours times dash styles
    };

    // The colour of a pen, or black when `black` is set.
    std::uint32_t colourFor(std::int32_t penNumber, bool black) const;
    // colourFor of pens 0 to kPenCount - 1, then the colour of every other pen.
    std::array<std::uint32_t, kPenCount + 1> penColours(bool black) const;
    void draw(DrawingSurface& surface, const ViewTransform& view, const ElementStore& store,
              Path path, bool black, const std::optional<DeviceArea>& clip);
    void renderOneByOne(DrawingSurface& surface, const ViewTransform& view,
                        const ElementStore& store, bool black);
    void renderFast(DrawingSurface& surface, const ViewTransform& view, const ElementStore& store,
                    bool black, const std::optional<DeviceArea>& clip);
    // The steps of the fast path. Fills candidates_ with the elements near the surface (in array
    // order); returns true when every element lies inside it (candidates_ is then left empty).
    // Only elements that can reach into `area` (device pixels) are candidates.
    bool collectCandidates(const ViewTransform& view, const DeviceArea& area, std::size_t n);
    // Surfaces that write pixels directly: every candidate in array order.
    void drawInArrayOrder(DrawingSurface& surface, const ViewTransform& view,
                          const ElementStore& store, bool everything, bool black);
    // The same, split into two bands of rows of `area` drawn at once on two threads, each
    // clipped to its rows. False (nothing drawn) when the surface, the machine or the amount of
    // work does not call for it.
    bool drawInBands(DrawingSurface& surface, const ViewTransform& view, const ElementStore& store,
                     bool everything, bool black, const DeviceArea& area);
    // Every element of a small raster in array order, the two halves of the array at once
    // where there are many.
    void drawSmallRaster(DrawingSurface& surface, const ViewTransform& view,
                         const ElementStore& store, bool black);
    // Draws, in array order, the elements (all, or the candidates) whose box reaches into rows
    // top to bottom - 1.
    void drawRows(DrawingSurface& surface, const ViewTransform& view, const ElementStore& store,
                  bool everything, bool black, int top, int bottom) const;
    // Other surfaces: gives each candidate a level so that drawing by level and pen keeps the
    // pixels of the array order (order_), then sorts them (sorted_) and draws them in runs.
    GroupCounts assignDrawingLevels(const ViewTransform& view, int width, int height,
                                    const ElementStore& store, bool black);
    void sortByLevelAndPen(const GroupCounts& groups);
    void drawSortedRuns(DrawingSurface& surface, const ViewTransform& view,
                        const ElementStore& store, bool black);

    std::array<std::int32_t, kPenCount> penTable_;
    std::vector<std::uint32_t> palette_;
    std::uint32_t backgroundColour_ = 0;
    bool blackOutput_ = false;
    bool drawingShown_ = true;
    std::shared_ptr<const ElementCache> cache_;
    std::unique_ptr<BandWorker> bandWorker_;

    // Working memory of the fast path, kept between paints.
    struct OrderItem {
        std::uint32_t index;
        std::int32_t level;
        std::uint32_t group;
    };
    // Per cell of the coarse surface grid: the highest level with its colour id, and the
    // highest level of any other colour (-1: none).
    struct CellTop {
        std::int32_t level1 = -1;
        std::uint16_t colour1 = 0;
        std::int32_t level2 = -1;
    };
    std::vector<std::uint32_t> candidates_;
    std::vector<CellTop> cells_;
    std::vector<std::uint32_t> colourIds_;
    std::vector<OrderItem> order_;
    std::vector<std::uint32_t> sorted_;
    std::vector<std::uint32_t> bucketStart_;
};

// What one output (window, printer, clipboard, thumbnail, export) needs drawn: everything that
// differs between outputs travels here, so that no output has to change and restore the shared
// view or colours. The pen table and palette come from the renderer.
struct RenderRequest {
    ViewTransform view;
    // Every element in black (printing, clipboard) instead of its pen colour.
    bool blackOutput = false;
    // When set, the whole surface is filled with this colour (0x00BBGGRR) first.
    std::optional<std::uint32_t> background;
    Renderer::Path path = Renderer::Path::Fast;
    // When set, only the pixels inside this area are wanted (the caller clips the rest away, as
    // the window does for the strip a pan uncovers); the fast path then leaves out every element
    // that cannot reach into it. The pixels inside are those of a whole drawing.
    std::optional<DeviceArea> clip = std::nullopt;
};

}  // namespace planora
