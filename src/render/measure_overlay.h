// What measuring draws over the drawing in the graphics window: the hit marker on the point the
// mouse snaps to (an X that inverts what lies beneath, so drawing it a second time in the same
// place restores the pixels) and the yellow anchor marker.
//
// The hit marker belongs to the window's cached picture like the zoom window's rubber band: it is
// inverted into the picture when it appears and inverted again when it goes. The anchor marker is
// drawn over the picture at the end of every paint.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>

#include "measuring.h"

namespace planora {

// The inverting X on a hit: two diagonals 5 pixels each way from (x, y), pen 3 pixels wide.
void drawHitMarker(QPainter& painter, DevicePoint at);

// The pixels a marker at `at` can touch, for a partial repaint.
QRect markerRect(DevicePoint at);

// The anchor marker, the same X in yellow, drawn only when the anchor is set and its pixel lies
// within 0..2400 x 0..2000 or within the client area, whichever is larger.
void drawAnchorMarker(QPainter& painter, const MeasureAnchor& anchor, QSize client);

// For the end of the paint: the anchor marker while measuring.
void paintMeasureOverlay(QPainter& painter, const MeasureSession& session, QSize client);

// For a freshly rendered picture: inverts the hit marker into it when one is shown.
void applyHitMarker(QImage& picture, const MeasureSession& session);

}  // namespace planora
