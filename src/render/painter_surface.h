// The drawing surface on a QPainter: the window, thumbnails, printer pages, the clipboard image
// and PNG, SVG and PDF export all draw through it.
#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QString>
#include <vector>

#include "drawing_surface.h"
#include "pixel_stamps.h"

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

    // Lets small lines, circles and arcs be written straight into the image's pixels, with the
    // pixels QPainter would give them. Only possible when the painter draws on a 32-bit raster
    // image without transform, transparency or blending, clipped to one rectangle at most;
    // returns whether it is on now. Off at the start.
    bool setDirectPixels(bool on);

    bool beginDirectPixels() override { return setDirectPixels(true); }
    void endDirectPixels() override { setDirectPixels(false); }
    std::optional<DirectRaster> directRaster() override;
    // Bands are possible where direct writing is, on an image the painter does not clip.
    std::unique_ptr<DrawingSurface> bandSurface(int top, int bottom) override;
    // A blank copy is an image of the same size and format, where bands are possible.
    std::unique_ptr<DrawingSurface> blankCopy() override;

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
    // Puts the chosen pen on the painter before it draws; setPen only notes the choice, since
    // figures written directly need no QPen.
    void applyPen();
    // Whether the box (with the stamp margin around it) lies inside the image.
    bool directFits(int left, int top, int right, int bottom) const;
    void plot(int x, int y, std::span<const StampPixel> pixels);
    void drawOneLine(int x1, int y1, int x2, int y2);

    QPainter& painter_;
    int width_;
    int height_;
    std::uint32_t penColour_ = 0;
    DashStyle penStyle_ = DashStyle::Solid;
    bool penApplied_ = false;  // the painter's pen is elementPen(penColour_, penStyle_)
    QPen pen_;

    // Direct writing: the image's first scan line, its length in bytes, the pixels that may be
    // written (columns directLeft_ to directRight_ - 1, rows likewise) and the pixel value of the
    // pen colour.
    bool directPossible_ = false;
    bool direct_ = false;
    uchar* bits_ = nullptr;
    qsizetype bytesPerLine_ = 0;
    int directLeft_ = 0;
    int directTop_ = 0;
    int directRight_ = 0;
    int directBottom_ = 0;
    // The image itself, for bands: its size, format and whether the painter clips it.
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    QImage::Format imageFormat_ = QImage::Format_Invalid;
    bool clipped_ = false;
    std::uint32_t penPixel_ = 0xFF000000;
    QPoint current_;
    std::vector<QLine> lineBuffer_;
    QHash<int, QFont> fonts_;
    int selectedFontHeight_ = 0;
};

}  // namespace planora
