#include "clipboard_copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>

#include "painter_surface.h"
#include "renderer.h"

namespace planora {

QImage clipboardImage(ViewerState& state, int clientWidth, int clientHeight) {
    if (clientWidth <= 0 || clientHeight <= 0) {
        return {};
    }
    const double k = static_cast<double>(kClipboardImageWidth) / clientWidth;
    const int width = truncToPixel(clientWidth * k);
    const int height = truncToPixel(clientHeight * k);

    // Drawn in grey levels first (a painter cannot draw on one-bit images), then reduced to one
    // bit by threshold, the way a monochrome bitmap takes colours: polygon areas come out black
    // or white by their brightness.
    QImage grey(width, height, QImage::Format_RGB32);
    if (grey.isNull()) {
        return {};
    }
    grey.fill(Qt::white);

    // The image has a view of its own, k times the window's, and draws in black: the window's
    // view and colours are not touched.
    RenderRequest request;
    request.view = scaledOutputView(state.view, 0, k);
    request.blackOutput = true;
    {
        QPainter painter(&grey);
        PainterSurface surface(painter, width, height);
        state.renderer.render(surface, state.drawing.store, request);
    }

    QImage mono = grey.convertToFormat(QImage::Format_Mono,
                                       Qt::MonoOnly | Qt::ThresholdDither | Qt::AvoidDither);
    return mono;
}

bool copyToClipboard(ViewerState& state, int clientWidth, int clientHeight) {
    const QImage image = clipboardImage(state, clientWidth, clientHeight);
    if (image.isNull()) {
        return false;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setImage(image);
    return true;
}

}  // namespace planora
