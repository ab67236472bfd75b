// A drawing surface that writes SVG as it is drawn on: each call becomes an element at once and
// goes out through a small buffer, so memory does not grow with the drawing (a million elements
// make a file of hundreds of megabytes, which must not be held in memory).
#pragma once

#include <QIODevice>
#include <cstdint>
#include <string>

#include "buffered_output.h"
#include "drawing_surface.h"

namespace planora {

class SvgSurface final : public DrawingSurface {
  public:
    // Writes to `out` (which must be open for writing); with nullptr the text is only counted.
    // The header is written here; finish() writes the end.
    SvgSurface(QIODevice* out, int width, int height, const std::string& title);
    ~SvgSurface() override = default;
    SvgSurface(const SvgSurface&) = delete;
    SvgSurface& operator=(const SvgSurface&) = delete;

    // Closes the document and hands out what is buffered. False when any write failed.
    bool finish();
    bool failed() const { return out_.failed(); }
    std::uint64_t bytesWritten() const { return out_.offset(); }

    int width() const override { return width_; }
    int height() const override { return height_; }

    void setPen(std::uint32_t colour, DashStyle style) override;
    void moveTo(int x, int y) override;
    void lineTo(int x, int y) override;
    void drawLines(std::span<const DeviceLine> lines) override;
    void drawEllipse(int left, int top, int right, int bottom) override;
    void drawArc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) override;
    void drawText(int x, int y, std::string_view utf8, int pixelHeight, int escapement) override;
    void fillPolygon(std::span<const DevicePoint> points, std::uint32_t colour) override;

  private:
    void put(std::string_view s);
    void putInt(long long v);
    void putNumber(double v);
    // The pen's group is opened before the first figure drawn with it.
    void openPenGroup();
    void closePenGroup();
    void endPath();
    void addSegment(int x1, int y1, int x2, int y2);

    BufferedOutput out_;
    int width_;
    int height_;
    bool finished_ = false;

    std::uint32_t penColour_ = 0;
    DashStyle penStyle_ = DashStyle::Solid;
    bool groupOpen_ = false;
    bool pathOpen_ = false;  // a <path> of lines is being written
    int pathSegments_ = 0;
    int currentX_ = 0;
    int currentY_ = 0;
};

}  // namespace planora
