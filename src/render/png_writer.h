// A PNG writer for rendered drawings, much faster than Qt's: line drawings have few colours, so
// a picture with at most 256 of them is written with a colour table (one byte per pixel instead
// of three) and a fast compression level; rows are compressed as they are handed over.
#pragma once

#include <QIODevice>
#include <QImage>

namespace planora {

// Writes `image` (Format_RGB32, the alpha byte ignored) to `out` as a PNG whose decoded pixels
// are the image's. Other formats are handed to Qt's writer. False when writing failed.
bool writePng(QIODevice& out, const QImage& image);

}  // namespace planora
