// Helpers shared by the render tests: drawing a store into an image.
#pragma once

#include <QImage>
#include <QPainter>

#include "painter_surface.h"
#include "renderer.h"

namespace planora::test {

inline QImage render(Renderer& renderer, const ElementStore& store, const ViewTransform& view,
                     int width, int height, Renderer::Path path = Renderer::Path::Fast,
                     QColor background = Qt::black, QImage::Format format = QImage::Format_RGB32) {
    QImage image(width, height, format);
    image.fill(background);
    QPainter painter(&image);
    {
        PainterSurface surface(painter, width, height);
        renderer.renderElements(surface, view, store, path);
    }
    painter.end();
    return image;
}

inline QRgb rgbOf(std::uint32_t colorref) {
    return qRgb(static_cast<int>(colorref & 0xFF), static_cast<int>((colorref >> 8) & 0xFF),
                static_cast<int>((colorref >> 16) & 0xFF)) &
           0xFFFFFF;
}

// The pixel, without its alpha byte.
inline QRgb at(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

inline int countNot(const QImage& image, QRgb background) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += at(image, x, y) != (background & 0xFFFFFF);
        }
    }
    return n;
}

}  // namespace planora::test
