// The drawing surface on a QPainter: the window, thumbnails, printer pages, the clipboard image
// and PNG, SVG and PDF export all draw through it.
#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPen>
#include <QString>
#include <vector>

#include "drawing_surface.h"

namespace planora {

QColor colourFromColorref(std::uint32_t colour);

class PainterSurface final : public DrawingSurface {
  public:
    // Draws on `painter` (which must be active) within an area of width x height units. The
    // painter's state is saved here and restored by the destructor.
    PainterSurface(QPainter& painter, int width, int height);
    ~PainterSurface() override;
    PainterSurface(const PainterSurface&) = delete;
    PainterSurface& operator=(const PainterSurface&) = delete;

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
    const QFont& fontForHeight(int pixelHeight);

    QPainter& painter_;
    int width_;
    int height_;
    QPen pen_;
    bool penSelected_ = false;
    std::uint32_t penColour_ = 0;
    DashStyle penStyle_ = DashStyle::Solid;
    QPoint current_;
    std::vector<QLine> lineBuffer_;
    QHash<int, QFont> fonts_;
    int selectedFontHeight_ = 0;
};

}  // namespace planora
