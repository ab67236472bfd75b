// A drawing surface that draws nothing and lists the calls it receives, one line of text per
// call, so that tests can check what the renderer hands to a surface without looking at pixels.
#pragma once

#include <string>
#include <vector>

#include "drawing_surface.h"

namespace planora {

class RecordingSurface final : public DrawingSurface {
  public:
    RecordingSurface(int width, int height) : width_(width), height_(height) {}

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

    // The calls so far, e.g. "pen 0000ff solid", "line 1 2 3 4" (drawLines gives one line entry
    // per line, as does moveTo followed by lineTo), "ellipse 0 0 10 10",
    // "arc 0 0 10 10 10 5 0 5", "text 3 4 12 900 Hallo", "polygon 8000ff 3 0 0 1 0 1 1".
    const std::vector<std::string>& calls() const { return calls_; }
    void clear() { calls_.clear(); }

  private:
    int width_;
    int height_;
    int currentX_ = 0;
    int currentY_ = 0;
    std::vector<std::string> calls_;
};

}  // namespace planora
