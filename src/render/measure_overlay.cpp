#include "measure_overlay.h"

#include <QPaintEngine>
#include <QPainterPath>

#include <algorithm>

namespace planora {

namespace {

constexpr int kArm = 5;       // pixels from the centre to each end of the X
constexpr int kPenWidth = 3;  // pen width of both markers

QPainterPath crossPath(DevicePoint at) {
    // Through the pixel centres, so that the X lies symmetric about its pixel.
    const double x = at.x + 0.5;
    const double y = at.y + 0.5;
    QPainterPath path;
    path.moveTo(x - kArm, y - kArm);
    path.lineTo(x + kArm, y + kArm);
    path.moveTo(x - kArm, y + kArm);
    path.lineTo(x + kArm, y - kArm);
    return path;
}

// Both strokes as one outline, so that the crossing is inverted once, not twice.
void strokeCross(QPainter& painter, DevicePoint at, const QColor& colour) {
    QPen pen(colour, kPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    QPainterPathStroker stroker(pen);
    painter.fillPath(stroker.createStroke(crossPath(at)).simplified(), colour);
}

}  // namespace

void drawHitMarker(QPainter& painter, DevicePoint at) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QPaintEngine* engine = painter.paintEngine();
    if (engine != nullptr && engine->hasFeature(QPaintEngine::RasterOpModes)) {
        // The colour does not matter: the operation inverts the destination.
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    }
    // A surface without raster operations gets a plain white X.
    strokeCross(painter, at, Qt::white);
    painter.restore();
}

QRect markerRect(DevicePoint at) {
    const int reach = kArm + kPenWidth;
    return QRect(at.x - reach, at.y - reach, 2 * reach + 1, 2 * reach + 1);
}

void drawAnchorMarker(QPainter& painter, const MeasureAnchor& anchor, QSize client) {
    if (!anchor.set) {
        return;
    }
    // Far-off pixels are not drawn; the limits grow with the window so that the marker shows
    // anywhere in a large one.
    const int maxX = std::max(2400, client.width());
    const int maxY = std::max(2000, client.height());
    if (anchor.pixel.x < 0 || anchor.pixel.x > maxX || anchor.pixel.y < 0 ||
        anchor.pixel.y > maxY) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    strokeCross(painter, anchor.pixel, QColor(255, 255, 0));
    painter.restore();
}

void paintMeasureOverlay(QPainter& painter, const MeasureSession& session, QSize client) {
    if (session.measuring()) {
        drawAnchorMarker(painter, session.anchor(), client);
    }
}

void applyHitMarker(QImage& picture, const MeasureSession& session) {
    if (const auto marker = session.hitMarker()) {
        QPainter painter(&picture);
        drawHitMarker(painter, *marker);
    }
}

}  // namespace planora
