#include "graphics_cursors.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>

// The resource initialisation must be called from the global namespace.
static void initCursorResources() {
    Q_INIT_RESOURCE(cursors);
}

namespace planora {

namespace {

constexpr int kCursorSize = 32;
constexpr int kFrameSide = 15;

QBitmap emptyBitmap() {
    QBitmap bitmap(kCursorSize, kCursorSize);
    bitmap.fill(Qt::color0);
    return bitmap;
}

// A square outline whose pixels run from `inset` to kFrameSide - 1 - inset on both axes.
void drawSquare(QBitmap& bitmap, int inset) {
    QPainter painter(&bitmap);
    painter.setPen(Qt::color1);
    const int side = kFrameSide - 2 * inset;
    painter.drawRect(inset, inset, side - 1, side - 1);
}

}  // namespace

QCursor makeFrameCursor() {
    QBitmap outline = emptyBitmap();
    drawSquare(outline, 0);
    QBitmap mask = emptyBitmap();
    if (QGuiApplication::platformName() != QLatin1String("windows")) {
        // Opaque: black outline, white ring inside it.
        drawSquare(mask, 0);
        drawSquare(mask, 1);
    }
    // With a clear mask the set bits invert the screen.
    return QCursor(outline, mask, 7, 7);
}

std::optional<QCursor> loadProgramCursor(const QString& name) {
    struct Entry {
        const char* name;
        int hotX;
        int hotY;
    };
    static constexpr Entry kCursors[] = {
        {"ZoomWindow", 8, 14},
        {"CrossHair", 15, 15},
        {"MessCursor", 2, 23},
    };
    static const bool resourcesReady = [] {
        initCursorResources();
        return true;
    }();
    (void)resourcesReady;
    for (const Entry& entry : kCursors) {
        if (name == QLatin1String(entry.name)) {
            const QPixmap picture(QStringLiteral(":/cursors/%1.xpm").arg(name));
            if (picture.isNull()) {
                return std::nullopt;
            }
            return QCursor(picture, entry.hotX, entry.hotY);
        }
    }
    return std::nullopt;
}

}  // namespace planora
