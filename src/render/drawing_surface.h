// The small set of drawing primitives the renderer needs. Coordinates are integer pixels with y
// downwards; colours are 0x00BBGGRR (red in the low byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "view_transform.h"

namespace planora {

enum class DashStyle { Solid, Dash, Dot, DashDot, DashDotDot };

class PixelStamps;

// The 32-bit pixel (0xAARRGGBB, opaque) of a colour 0x00BBGGRR.
inline std::uint32_t rasterPixel(std::uint32_t colour) {
    return 0xFF000000u | ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

// The pixels of a raster surface, which the renderer may write small figures into itself while
// direct pixel writing is on: 32-bit pixels 0xAARRGGBB, `stride` pixels from one row to the
// next, writable in columns left to right - 1 and rows top to bottom - 1. `stamps` gives the
// pixels the surface would give a small figure (see pixel_stamps.h), for the calling thread.
struct DirectRaster {
    std::uint32_t* pixels = nullptr;
    std::ptrdiff_t stride = 0;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    // The size of the whole image: a figure whose stamp lies inside it has the stamp's pixels on
    // the whole picture, also where only a part of them is writable.
    int imageWidth = 0;
    int imageHeight = 0;
    PixelStamps* stamps = nullptr;
};

struct DeviceLine {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

class DrawingSurface {
  public:
    virtual ~DrawingSurface() = default;

    // The size of the area that can show anything; drawing outside it is clipped away.
    virtual int width() const = 0;
    virtual int height() const = 0;

    // The pen of lines, outlines and arcs (one pixel wide) and the colour of texts.
    virtual void setPen(std::uint32_t colour, DashStyle style) = 0;

    // A line from the current position to (x, y), which becomes the current position. Lines
    // cover both their end pixels.
    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    // Separate lines with the current pen, each drawn as moveTo(x1, y1), lineTo(x2, y2).
    virtual void drawLines(std::span<const DeviceLine> lines) = 0;

    // The outline of the ellipse in the box (left, top) to (right, bottom); nothing is filled.
    virtual void drawEllipse(int left, int top, int right, int bottom) = 0;
    // An arc of the ellipse in the box, counter-clockwise from where the ray from the centre
    // through (xs, ys) meets the ellipse to where the ray through (xe, ye) does. Both rays the
    // same: the whole ellipse.
    virtual void drawArc(int left, int top, int right, int bottom, int xs, int ys, int xe,
                         int ye) = 0;

    // One line of text (UTF-8) whose cell's top-left corner is at (x, y) before rotation, with a
    // character height of `pixelHeight` pixels and rotated counter-clockwise about (x, y) by
    // `escapement` tenths of a degree. Drawn in the pen colour, never clipped to a box.
    virtual void drawText(int x, int y, std::string_view utf8, int pixelHeight, int escapement) = 0;

    // Whether the surface writes small figures straight into raster pixels, where a call per
    // figure costs little. When begin returns true the renderer draws element by element in
    // array order until end; otherwise it hands runs of figures with one pen over together.
    virtual bool beginDirectPixels() { return false; }
    virtual void endDirectPixels() {}
    // While direct pixel writing is on: the raster, where the surface lets the renderer write
    // figures itself (none where it does not).
    virtual std::optional<DirectRaster> directRaster() { return std::nullopt; }

    // A surface of its own for rows top to bottom - 1 of this one (same size and coordinates,
    // drawing clipped to those rows), which another thread may draw on while this thread draws
    // another band; or none when the surface cannot be split. The band is drawn on and destroyed
    // while this surface's direct pixel writing is on.
    virtual std::unique_ptr<DrawingSurface> bandSurface(int /*top*/, int /*bottom*/) {
        return nullptr;
    }

    // A blank surface of its own with this one's size, coordinates and kind of pixels, every
    // pixel 0 (which no figure draws), that another thread may draw on while this surface's
    // direct pixel writing is on; or none when the surface cannot give one. With direct pixel
    // writing on, its raster tells which pixels were drawn.
    virtual std::unique_ptr<DrawingSurface> blankCopy() { return nullptr; }

    // The area inside the closed figure through the points (even-odd rule) in `colour`, with no
    // outline.
    virtual void fillPolygon(std::span<const DevicePoint> points, std::uint32_t colour) = 0;
};

}  // namespace planora
