#include "painter_surface.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <QPolygon>
#include <QTransform>
#include <QVector>
#include <algorithm>
#include <cmath>

namespace planora {

namespace {

constexpr double kPi = 3.141592653589793;

// Dash patterns of a one-pixel pen, in pixels: on, off, on, off ...
QList<qreal> dashPattern(DashStyle style) {
    switch (style) {
        case DashStyle::Dash:
            return {18, 6};
        case DashStyle::Dot:
            return {3, 3};
        case DashStyle::DashDot:
            return {9, 6, 3, 6};
        case DashStyle::DashDotDot:
            return {9, 3, 3, 3, 3, 3};
        case DashStyle::Solid:
            break;
    }
    return {};
}

// The direction of the ray from (cx, cy) through (x, y) in degrees, counter-clockwise with y
// downwards on the device.
double rayAngle(double cx, double cy, int x, int y) {
    return std::atan2(-(y - cy), x - cx) * 180.0 / kPi;
}

// The ellipse box (GDI style corners, any order) as a rectangle of non-negative size.
QRect normalisedBox(int left, int top, int right, int bottom) {
    const int l = std::min(left, right);
    const int t = std::min(top, bottom);
    return QRect(l, t, std::max(left, right) - l, std::max(top, bottom) - t);
}

}  // namespace

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
    lineBuffer_.reserve(1);
}

PainterSurface::~PainterSurface() {
    painter_.restore();
}

void PainterSurface::setPen(std::uint32_t colour, DashStyle style) {
    if (penSelected_ && colour == penColour_ && style == penStyle_) {
        return;
    }
    QPen pen(colourFromColorref(colour));
    pen.setWidth(0);  // cosmetic: one device pixel whatever the transform
    pen.setCosmetic(true);
    // Both end pixels of a line are drawn, whatever its direction, so closed figures have all
    // their corners.
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    if (style != DashStyle::Solid) {
        pen.setDashPattern(dashPattern(style));
    }
    painter_.setPen(pen);
    pen_ = pen;
    penColour_ = colour;
    penStyle_ = style;
    penSelected_ = true;
}

void PainterSurface::moveTo(int x, int y) {
    current_ = QPoint(x, y);
}

void PainterSurface::lineTo(int x, int y) {
    const QPoint to(x, y);
    painter_.drawLine(current_, to);
    current_ = to;
}

void PainterSurface::drawLines(std::span<const DeviceLine> lines) {
    if (lines.empty()) {
        return;
    }
    // Each line of the call starts its dash pattern afresh, as a line of its own would.
    lineBuffer_.resize(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lineBuffer_[i] = QLine(lines[i].x1, lines[i].y1, lines[i].x2, lines[i].y2);
    }
    painter_.drawLines(lineBuffer_.data(), static_cast<int>(lineBuffer_.size()));
    current_ = QPoint(lines.back().x2, lines.back().y2);
}

void PainterSurface::drawEllipse(int left, int top, int right, int bottom) {
    painter_.drawEllipse(normalisedBox(left, top, right, bottom));
}

void PainterSurface::drawArc(int left, int top, int right, int bottom, int xs, int ys, int xe,
                             int ye) {
    const QRect box = normalisedBox(left, top, right, bottom);
    const double cx = box.left() + box.width() / 2.0;
    const double cy = box.top() + box.height() / 2.0;
    const double start = rayAngle(cx, cy, xs, ys);
    double span = rayAngle(cx, cy, xe, ye) - start;
    while (span <= 0.0) {
        span += 360.0;
    }
    while (span > 360.0) {
        span -= 360.0;
    }
    QPainterPath path;
    path.arcMoveTo(QRectF(box), start);
    path.arcTo(QRectF(box), start, span);
    painter_.drawPath(path);
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
    const int height = std::abs(pixelHeight);
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
    t.rotate(-escapement / 10.0);
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
    painter_.setPen(pen_);
}

}  // namespace planora
