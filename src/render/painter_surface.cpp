#include "painter_surface.h"

#include <QFontMetrics>
#include <QImage>
#include <QPaintEngine>
#include <QPolygon>
#include <QTransform>
#include <QVector>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

namespace planora {

QColor colourFromColorref(std::uint32_t colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

PainterSurface::PainterSurface(QPainter& painter, int width, int height)
    : painter_(painter), width_(width), height_(height) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
    painter_.setBrush(Qt::NoBrush);
    painter_.setBackgroundMode(Qt::TransparentMode);
    // Until the first element pen: solid black, one pixel.
    setPen(0x000000, DashStyle::Solid);
    applyPen();
    lineBuffer_.reserve(1);

    // Pixels can be written directly only where QPainter itself would write an opaque pen
    // colour unchanged into a 32-bit pixel at the same device position.
    QPaintDevice* device = painter_.device();
    if (device != nullptr && device->devType() == QInternal::Image &&
        painter_.paintEngine() != nullptr &&
        painter_.paintEngine()->type() == QPaintEngine::Raster) {
        auto* image = static_cast<QImage*>(device);
        const QImage::Format f = image->format();
        if ((f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
             f == QImage::Format_ARGB32_Premultiplied) &&
            painter_.deviceTransform().isIdentity() &&
            painter_.compositionMode() == QPainter::CompositionMode_SourceOver &&
            painter_.opacity() == 1.0) {
            // Pixels may be written where the painter could write them: the image, or the one
            // rectangle it is clipped to (a window strip drawn anew). Other clips are left to
            // QPainter.
            QRect limit = image->rect();
            bool clipUsable = true;
            clipped_ = painter_.hasClipping();
            if (clipped_) {
                const QRegion clip = painter_.clipRegion();
                clipUsable = clip.rectCount() == 1;
                limit = limit.intersected(clip.boundingRect());
            }
            // The painter writes into this very buffer (it is not detached while painted).
            bits_ = const_cast<uchar*>(static_cast<const QImage*>(image)->constBits());
            bytesPerLine_ = image->bytesPerLine();
            imageWidth_ = image->width();
            imageHeight_ = image->height();
            imageFormat_ = f;
            directLeft_ = limit.left();
            directTop_ = limit.top();
            directRight_ = limit.right() + 1;
            directBottom_ = limit.bottom() + 1;
            directPossible_ = bits_ != nullptr && clipUsable && !limit.isEmpty();
        }
    }
}

PainterSurface::~PainterSurface() {
    painter_.restore();
}

namespace {

// One band of a PainterSurface's image: a second image over the same pixel memory with a
// painter of its own, clipped to the band's rows, so that two threads can draw on the picture
// at once without either writing into the other's rows. Or a blank image of its own of the
// same size and format, for a part of the elements drawn on another thread.
class PainterBand final : public DrawingSurface {
  public:
    PainterBand(uchar* bits, int imageWidth, int imageHeight, qsizetype bytesPerLine,
                QImage::Format format, const QRect& rows, int width, int height)
        : image_(bits, imageWidth, imageHeight, bytesPerLine, format), painter_(&image_) {
        painter_.setClipRect(rows);
        surface_ = std::make_unique<PainterSurface>(painter_, width, height);
    }
    PainterBand(QImage blank, int width, int height) : image_(std::move(blank)), painter_(&image_) {
        surface_ = std::make_unique<PainterSurface>(painter_, width, height);
    }

    int width() const override { return surface_->width(); }
    int height() const override { return surface_->height(); }
    void setPen(std::uint32_t colour, DashStyle style) override { surface_->setPen(colour, style); }
    void moveTo(int x, int y) override { surface_->moveTo(x, y); }
    void lineTo(int x, int y) override { surface_->lineTo(x, y); }
    void drawLines(std::span<const DeviceLine> lines) override { surface_->drawLines(lines); }
    void drawEllipse(int left, int top, int right, int bottom) override {
        surface_->drawEllipse(left, top, right, bottom);
    }
    void drawArc(int left, int top, int right, int bottom, int xs, int ys, int xe,
                 int ye) override {
        surface_->drawArc(left, top, right, bottom, xs, ys, xe, ye);
    }
    void drawText(int x, int y, std::string_view utf8, int pixelHeight, int escapement) override {
        surface_->drawText(x, y, utf8, pixelHeight, escapement);
    }
    void fillPolygon(std::span<const DevicePoint> points, std::uint32_t colour) override {
        surface_->fillPolygon(points, colour);
    }
    bool beginDirectPixels() override { return surface_->beginDirectPixels(); }
    void endDirectPixels() override { surface_->endDirectPixels(); }
    std::optional<DirectRaster> directRaster() override { return surface_->directRaster(); }

  private:
    QImage image_;
    QPainter painter_;
    std::unique_ptr<PainterSurface> surface_;  // destroyed first: it restores the painter
};

}  // namespace

std::unique_ptr<DrawingSurface> PainterSurface::bandSurface(int top, int bottom) {
    if (!directPossible_ || clipped_ || top < 0 || bottom > imageHeight_ || top >= bottom) {
        return nullptr;
    }
    return std::make_unique<PainterBand>(bits_, imageWidth_, imageHeight_, bytesPerLine_,
                                         imageFormat_, QRect(0, top, imageWidth_, bottom - top),
                                         width_, height_);
}

std::unique_ptr<DrawingSurface> PainterSurface::blankCopy() {
    if (!directPossible_ || clipped_) {
        return nullptr;
    }
    QImage blank(imageWidth_, imageHeight_, imageFormat_);
    if (blank.isNull()) {
        return nullptr;
    }
    // Every byte 0: fill() would make the pixels of an RGB32 image opaque black.
    std::memset(blank.bits(), 0, static_cast<std::size_t>(blank.sizeInBytes()));
    return std::make_unique<PainterBand>(std::move(blank), width_, height_);
}

bool PainterSurface::setDirectPixels(bool on) {
    direct_ = on && directPossible_;
    return direct_;
}

std::optional<DirectRaster> PainterSurface::directRaster() {
    if (!direct_) {
        return std::nullopt;
    }
    DirectRaster raster;
    raster.pixels = reinterpret_cast<std::uint32_t*>(bits_);
    raster.stride = static_cast<std::ptrdiff_t>(bytesPerLine_ / 4);
    raster.left = directLeft_;
    raster.top = directTop_;
    raster.right = directRight_;
    raster.bottom = directBottom_;
    raster.imageWidth = imageWidth_;
    raster.imageHeight = imageHeight_;
    raster.stamps = &pixelStamps();
    return raster;
}

void PainterSurface::setPen(std::uint32_t colour, DashStyle style) {
    if (colour == penColour_ && style == penStyle_) {
        return;
    }
    penColour_ = colour;
    penStyle_ = style;
    penApplied_ = false;
    penPixel_ = rasterPixel(colour);
}

void PainterSurface::applyPen() {
    if (!penApplied_) {
        pen_ = elementPen(penColour_, penStyle_);
        painter_.setPen(pen_);
        penApplied_ = true;
    }
}

bool PainterSurface::directFits(int left, int top, int right, int bottom) const {
    constexpr int m = PixelStamps::kMargin;
    return left - m >= directLeft_ && top - m >= directTop_ && right + m < directRight_ &&
           bottom + m < directBottom_;
}

void PainterSurface::plot(int x, int y, std::span<const StampPixel> pixels) {
    const std::uint32_t value = penPixel_;
    for (const StampPixel& p : pixels) {
        auto* row = reinterpret_cast<std::uint32_t*>(bits_ + (y + p.dy) * bytesPerLine_);
        row[x + p.dx] = value;
    }
}

void PainterSurface::drawOneLine(int x1, int y1, int x2, int y2) {
    if (direct_ &&
        directFits(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2))) {
        std::span<const StampPixel> pixels;
        if (pixelStamps().line(penStyle_, x2 - x1, y2 - y1, pixels)) {
            plot(x1, y1, pixels);
            return;
        }
    }
    applyPen();
    painter_.drawLine(x1, y1, x2, y2);
}

void PainterSurface::moveTo(int x, int y) {
    current_ = QPoint(x, y);
}

void PainterSurface::lineTo(int x, int y) {
    drawOneLine(current_.x(), current_.y(), x, y);
    current_ = QPoint(x, y);
}

void PainterSurface::drawLines(std::span<const DeviceLine> lines) {
    if (lines.empty()) {
        return;
    }
    if (direct_) {
        for (const DeviceLine& l : lines) {
            drawOneLine(l.x1, l.y1, l.x2, l.y2);
        }
    } else {
        // Each line of the call starts its dash pattern afresh, as a line of its own would.
        lineBuffer_.resize(lines.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            lineBuffer_[i] = QLine(lines[i].x1, lines[i].y1, lines[i].x2, lines[i].y2);
        }
        applyPen();
        painter_.drawLines(lineBuffer_.data(), static_cast<int>(lineBuffer_.size()));
    }
    current_ = QPoint(lines.back().x2, lines.back().y2);
}

void PainterSurface::drawEllipse(int left, int top, int right, int bottom) {
    const QRect box = normalisedBox(left, top, right, bottom);
    if (direct_ && box.width() == box.height() &&
        directFits(box.left(), box.top(), box.left() + box.width(), box.top() + box.height())) {
        std::span<const StampPixel> pixels;
        if (pixelStamps().circle(penStyle_, box.width(), pixels)) {
            plot(box.left(), box.top(), pixels);
            return;
        }
    }
    applyPen();
    painter_.drawEllipse(box);
}

void PainterSurface::drawArc(int left, int top, int right, int bottom, int xs, int ys, int xe,
                             int ye) {
    const QRect box = normalisedBox(left, top, right, bottom);
    if (direct_ && box.width() == box.height() &&
        directFits(box.left(), box.top(), box.left() + box.width(), box.top() + box.height())) {
        std::span<const StampPixel> pixels;
        if (pixelStamps().arc(penStyle_, box.width(), xs - box.left(), ys - box.top(),
                              xe - box.left(), ye - box.top(), pixels)) {
            plot(box.left(), box.top(), pixels);
            return;
        }
    }
    applyPen();
    paintArc(painter_, box, xs, ys, xe, ye);
}

const QFont& PainterSurface::fontForHeight(int pixelHeight) {
    auto it = fonts_.find(pixelHeight);
    if (it == fonts_.end()) {
        // Variable pitch, Swiss family, default weight: "Arial" or a metric twin of it.
        QFont font(QStringLiteral("Arial"));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(pixelHeight);
        font.setKerning(false);
        font.setStyleStrategy(QFont::NoAntialias);
        it = fonts_.insert(pixelHeight, font);
    }
    return it.value();
}

void PainterSurface::drawText(int x, int y, std::string_view utf8, int pixelHeight,
                              int escapement) {
    if (pixelHeight == 0 || utf8.empty()) {
        return;
    }
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    // One line as it stands: control characters (tabs, line breaks) show as blanks.
    for (QChar& ch : text) {
        if (ch.unicode() < 0x20) {
            ch = QLatin1Char(' ');
        }
    }
    applyPen();
    // Through long: the absolute value of INT_MIN does not fit an int.
    const int height = static_cast<int>(
        std::min(std::abs(static_cast<long long>(pixelHeight)), static_cast<long long>(INT_MAX)));
    if (height != selectedFontHeight_) {
        painter_.setFont(fontForHeight(height));
        selectedFontHeight_ = height;
    }
    const int ascent = painter_.fontMetrics().ascent();
    if (escapement % 3600 == 0) {
        painter_.drawText(QPoint(x, y + ascent), text);
        return;
    }
    const QTransform base = painter_.worldTransform();
    QTransform t = base;
    t.translate(x, y);
    t.rotate(-(escapement / 10.0));  // negating the int would overflow for INT_MIN
    painter_.setWorldTransform(t);
    painter_.drawText(QPoint(0, ascent), text);
    painter_.setWorldTransform(base);
}

void PainterSurface::fillPolygon(std::span<const DevicePoint> points, std::uint32_t colour) {
    if (points.empty()) {
        return;
    }
    QPolygon polygon(static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        polygon[static_cast<int>(i)] = QPoint(points[i].x, points[i].y);
    }
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(colourFromColorref(colour));
    painter_.drawPolygon(polygon, Qt::OddEvenFill);
    painter_.setBrush(Qt::NoBrush);
    penApplied_ = false;
}

}  // namespace planora
