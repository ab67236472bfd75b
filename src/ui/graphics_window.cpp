#include "graphics_window.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "element_cache.h"
#include "graphics_cursors.h"
#include "measure_overlay.h"
#include "painter_surface.h"

namespace planora {

namespace {

constexpr int kCursorStackSize = 10;
// From this many elements a whole picture is drawn on the worker thread while the window shows
// the previous one moved and scaled to the new view.
constexpr std::size_t kWorkerMinElements = 200'000;
// One notch of a mouse wheel.
constexpr int kWheelStep = 120;

// Moves the pixels of a 32-bit image by (dx, dy). What the move uncovers keeps stale pixels; the
// caller draws it anew.
void scrollImage(QImage& image, int dx, int dy) {
    const int w = image.width();
    const int h = image.height();
    if (std::abs(dx) >= w || std::abs(dy) >= h) {
        return;
    }
    const int srcX = dx >= 0 ? 0 : -dx;
    const int dstX = dx >= 0 ? dx : 0;
    const std::size_t rowBytes = static_cast<std::size_t>(w - std::abs(dx)) * 4;
    auto copyRow = [&](int y) {
        std::memmove(image.scanLine(y) + dstX * 4, image.constScanLine(y - dy) + srcX * 4,
                     rowBytes);
    };
    if (dy > 0) {
        for (int y = h - 1; y >= dy; --y) {
            copyRow(y);
        }
    } else {
        for (int y = 0; y < h + dy; ++y) {
            copyRow(y);
        }
    }
}

// The strips of a w x h area that a move by (dx, dy) uncovers, without overlap: a band of rows
// at the top or the bottom and, beside it, a band of columns at the left or the right.
std::vector<QRect> uncoveredByScroll(int w, int h, int dx, int dy) {
    std::vector<QRect> strips;
    const int rows = std::abs(dy);
    const int columns = std::abs(dx);
    if (rows > 0) {
        strips.emplace_back(0, dy > 0 ? 0 : h - rows, w, rows);
    }
    if (columns > 0) {
        strips.emplace_back(dx > 0 ? 0 : w - columns, dy > 0 ? rows : 0, columns, h - rows);
    }
    return strips;
}

QRect toQRect(const ZoomWindowTool::Rect& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

// The view of a picture with `ratio` device pixels per window pixel: the same drawing area, the
// scale and the device origin multiplied.
ViewTransform deviceView(const ViewTransform& view, qreal ratio) {
    if (ratio == 1.0) {
        return view;
    }
    ViewTransform device = view;
    device.scale *= ratio;
    device.deviceOriginX = static_cast<std::int32_t>(std::lround(view.deviceOriginX * ratio));
    device.deviceOriginY = static_cast<std::int32_t>(std::lround(view.deviceOriginY * ratio));
    return device;
}

// The device pixels that cover the window pixels of `area`.
QRect deviceRect(const QRect& area, qreal ratio) {
    if (ratio == 1.0) {
        return area;
    }
    const int left = static_cast<int>(std::floor(area.left() * ratio));
    const int top = static_cast<int>(std::floor(area.top() * ratio));
    const int right = static_cast<int>(std::ceil((area.right() + 1) * ratio));
    const int bottom = static_cast<int>(std::ceil((area.bottom() + 1) * ratio));
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace

struct GraphicsWindow::Private {
    // What the cached picture was drawn from; a paint re-renders when any of it changed.
    struct CacheKey {
        ViewTransform view;
        std::uint64_t generation = 0;
        const Element* elements = nullptr;
        std::size_t count = 0;
        std::uint32_t background = 0;
        QSize size;
        qreal ratio = 1.0;

        bool operator==(const CacheKey&) const = default;
    };

    Private(GraphicsWindow& window, ViewerState& viewerState) : q(window), state(viewerState) {}

    CacheKey currentKey() const {
        return CacheKey{state.view.displayedView(),
                        state.drawingGeneration,
                        state.drawing.store.elementArray(),
                        state.drawing.store.elementCount(),
                        state.renderer.backgroundColour(),
                        q.size(),
                        ratio()};
    }
    bool cacheCurrent() const { return cacheKey && *cacheKey == currentKey(); }

    // Device pixels per window pixel: the picture is drawn at the screen's resolution, so that
    // a line is one device pixel wide and nothing is stretched.
    qreal ratio() const { return q.devicePixelRatioF(); }
    QSize deviceSize() const {
        const qreal r = ratio();
        return QSize(static_cast<int>(std::ceil(q.width() * r)),
                     static_cast<int>(std::ceil(q.height() * r)));
    }

    // The window shows the displayed view in the pen colours, at the device resolution.
    RenderRequest windowRequest() const {
        RenderRequest request;
        request.view = deviceView(state.view.displayedView(), ratio());
        request.blackOutput = false;
        return request;
    }

    // Draws the whole drawing into the cache.
    void render() {
        cache.fill(colourFromColorref(state.renderer.backgroundColour()));
        QPainter painter(&cache);
        PainterSurface surface(painter, cache.width(), cache.height());
        state.renderer.render(surface, state.drawing.store, windowRequest());
    }

    // Draws one rectangle of the cache anew, with the pixels a whole drawing gives there. The
    // renderer leaves out every element that cannot reach into the rectangle; the painter's clip
    // keeps the rest of the cache as it is.
    void render(const QRect& windowArea) {
        const QRect area = deviceRect(windowArea, ratio()).intersected(cache.rect());
        QPainter painter(&cache);
        painter.setClipRect(area);
        painter.fillRect(area, colourFromColorref(state.renderer.backgroundColour()));
        PainterSurface surface(painter, cache.width(), cache.height());
        RenderRequest request = windowRequest();
        request.clip = DeviceArea{area.left(), area.top(), area.right() + 1, area.bottom() + 1};
        state.renderer.render(surface, state.drawing.store, request);
    }

    void ensureCache() {
        if (cacheCurrent()) {
            return;
        }
        if (state.drawing.store.elementCount() >= kWorkerMinElements && workerWanted) {
            requestPicture();
            return;
        }
        const QSize size = deviceSize();
        if (cache.size() != size) {
            cache = QImage(size, QImage::Format_RGB32);
        }
        if (!cache.isNull()) {
            render();
            applyMarks();
        }
        cacheKey = currentKey();
        shownKey = cacheKey;
    }

    void invalidate() {
        cacheKey.reset();
        q.update();
    }

    // Inverts the outline of a rectangle whose pixels run from (left, top) to (right - 1,
    // bottom - 1), every pixel once, so that doing it twice restores the picture. An inverting
    // operation ignores the colour of the pen it is drawn with.
    void invertOutline(const ZoomWindowTool::Rect& r) {
        const qreal k = ratio();
        const QRect outline = k == 1.0 ? toQRect(r)
                                       : QRect(QPoint(int(r.left * k), int(r.top * k)),
                                               QPoint(int(r.right * k) - 1, int(r.bottom * k) - 1));
        if (outline.isEmpty()) {
            return;
        }
        const QRect bounds = cache.rect();
        auto invert = [&](int x, int y) {
            if (bounds.contains(x, y)) {
                auto* line = reinterpret_cast<QRgb*>(cache.scanLine(y));
                line[x] ^= 0x00FFFFFF;
            }
        };
        for (int x = outline.left(); x <= outline.right(); ++x) {
            invert(x, outline.top());
            if (outline.bottom() != outline.top()) {
                invert(x, outline.bottom());
            }
        }
        for (int y = outline.top() + 1; y < outline.bottom(); ++y) {
            invert(outline.left(), y);
            if (outline.right() != outline.left()) {
                invert(outline.right(), y);
            }
        }
    }

    // The inverting marks that stand on the picture: the rubber band and the measuring mode's
    // hit marker. A fresh rendering gets them again.
    void applyMarks() {
        if (band) {
            invertOutline(*band);
        }
        if (const auto at = measure.hitMarker()) {
            invertHitMarkerAt(*at);
        }
    }

    ClientRect client() const { return {0, 0, q.width(), q.height()}; }

    // Inverts the hit marker at `at` in the picture; a second call restores the pixels.
    void invertHitMarkerAt(DevicePoint at) {
        QPainter painter(&cache);
        painter.scale(ratio(), ratio());
        drawHitMarker(painter, at);
    }

    // Takes the hit marker out of the picture.
    void dropHitMarker() {
        const auto at = measure.hideHitMarker();
        if (at && cacheCurrent()) {
            invertHitMarkerAt(*at);
            q.update(markerRect(*at));
        }
    }

    // The snap list for the window as it is now: after view changes and resizes.
    void rebuildSnapList() {
        dropHitMarker();
        measure.rebuild(client(), state.view, state.drawing.store);
    }

    void measureMove(int x, int y) {
        const bool current = cacheCurrent();
        const MeasureSession::MoveResult r = measure.mouseMove(x, y);
        for (const auto& at : {r.markerErasedAt, r.markerDrawnAt}) {
            if (at && current) {
                invertHitMarkerAt(*at);
                q.update(markerRect(*at));
            }
        }
        if (!current) {
            q.update();  // a fresh picture gets the marker from applyMarks
        }
        if (r.text) {
            const QString text = QString::fromStdString(*r.text);
            emit q.statusTextRequested(0, text);
            emit q.measureTextChanged(text);
        }
    }

    void applyCursor(MeasureSession::CursorAction action) {
        switch (action) {
            case MeasureSession::CursorAction::PushMeasureCursor:
                q.pushCursor(measureCursor ? *measureCursor : q.cursor());
                break;
            case MeasureSession::CursorAction::PushCrossHairCursor:
                q.pushCursor(crossHairCursor ? *crossHairCursor : q.cursor());
                break;
            case MeasureSession::CursorAction::Pop:
                q.popCursor();
                break;
            case MeasureSession::CursorAction::None:
                break;
        }
    }

    void drawBand(const ZoomWindowTool::Rect& r) {
        ensureCache();
        invertOutline(r);
        band = r;
        q.update(toQRect(r));
    }

    void eraseBand() {
        if (!band) {
            return;
        }
        // A stale picture is drawn anew without the band anyway.
        if (cacheCurrent()) {
            invertOutline(*band);
            q.update(toQRect(*band));
        }
        band.reset();
    }

    void apply(const ZoomWindowTool::Actions& actions) {
        if (actions.popCursor) {
            q.popCursor();
        }
        if (actions.eraseBand) {
            eraseBand();
        }
        if (actions.drawBand) {
            drawBand(*actions.drawBand);
        }
        if (actions.pushCursor) {
            q.pushCursor(zoomCursor ? *zoomCursor : q.cursor());
        }
        if (actions.statusText) {
            emit q.statusTextRequested(0, QString::fromStdString(*actions.statusText));
        }
        if (actions.zoomed) {
            viewChanged();
        }
    }

    // Every change of the view ends here: the window is painted anew, and while measuring the
    // snap list and the anchor's pixel follow the new view.
    void viewChanged() {
        invalidate();
        if (measure.measuring()) {
            rebuildSnapList();
        }
    }

    void panMove(int x, int y) {
        const int w = q.width();
        const int h = q.height();
        const bool wasCurrent = cacheCurrent();
        const DevicePoint d = state.view.panDragMove(w, h, x, y);
        // The renderer draws a strip at any edge on its own; a move by the whole window or more
        // leaves nothing to keep.
        // At a fractional ratio a window pixel is no whole number of device pixels: the picture
        // is drawn anew.
        const qreal k = ratio();
        const int step = static_cast<int>(k);
        if (!wasCurrent || std::abs(d.x) >= w || std::abs(d.y) >= h || step != k) {
            viewChanged();
            return;
        }
        // Move the pixels with the mouse and draw only what the move uncovers; the marks stay
        // where they stand in the window.
        if (band) {
            invertOutline(*band);
        }
        if (const auto at = measure.hitMarker()) {
            invertHitMarkerAt(*at);
        }
        scrollImage(cache, d.x * step, d.y * step);
        for (const QRect& strip : uncoveredByScroll(w, h, d.x, d.y)) {
            render(strip);
        }
        applyMarks();
        cacheKey = currentKey();
        shownKey = cacheKey;
        if (band || measure.hitMarker()) {
            q.update();
        } else {
            q.scroll(d.x, d.y);
        }
    }

    // ---- The worker thread for whole pictures of large drawings ----

    struct Job {
        CacheKey key;
        RenderRequest request;
        QSize size;
        std::uint32_t background = 0;
        std::array<std::int32_t, Renderer::kPenCount - 1> pens{};
        std::vector<std::uint32_t> palette;
        // The element boxes of the window's renderer, when it has them: the worker draws with
        // them instead of building its own.
        std::shared_ptr<const ElementCache> boxes;
    };

    // The cache at once shows the previous picture moved and scaled to the new view; the exact
    // picture is asked of the worker and replaces it when it is done.
    void requestPicture() {
        const CacheKey key = currentKey();
        if (requestedKey && *requestedKey == key) {
            return;  // the worker is at it
        }
        const QSize size = deviceSize();
        QImage preview(size, QImage::Format_RGB32);
        preview.fill(colourFromColorref(state.renderer.backgroundColour()));
        if (shownKey && !cache.isNull() && shownKey->generation == key.generation &&
            shownKey->elements == key.elements) {
            QPainter painter(&preview);
            painter.setTransform(
                previewTransform(shownKey->view, key.view, shownKey->ratio, key.ratio));
            painter.drawImage(QPointF(0, 0), cache);
        }
        cache = std::move(preview);
        cacheKey.reset();
        shownKey = key;  // the preview's pixels stand where this view puts them

        Job job;
        job.key = key;
        job.request = windowRequest();
        job.size = size;
        job.background = state.renderer.backgroundColour();
        const auto& pens = state.renderer.penTable();
        std::copy(pens.begin() + 1, pens.end(), job.pens.begin());
        job.palette = state.renderer.palette();
        job.boxes = state.renderer.elementCache();
        {
            std::lock_guard lock(workerMutex);
            pending = std::move(job);  // a newer request replaces one not yet started
        }
        requestedKey = key;
        startWorker();
        workerWake.notify_one();
    }

    // Window pixels of the old view to window pixels of the new one.
    static QTransform previewTransform(const ViewTransform& from, const ViewTransform& to,
                                       qreal fromRatio, qreal toRatio) {
        const double k = to.scale / from.scale;
        // x' = (x - ox) * k + (wx - wx') * s' + ox'; likewise y with the axis upside down.
        const double dx = (from.worldOriginX - to.worldOriginX) * to.scale;
        const double dy = (to.worldOriginY - from.worldOriginY) * to.scale;
        QTransform t;
        t.scale(toRatio, toRatio);
        t.translate(to.deviceOriginX + dx, to.deviceOriginY - dy);
        t.scale(k, k);
        t.translate(-from.deviceOriginX, -from.deviceOriginY);
        t.scale(1 / fromRatio, 1 / fromRatio);
        return t;
    }

    void startWorker() {
        if (worker.joinable()) {
            return;
        }
        worker = std::thread([this] { workerLoop(); });
    }

    void workerLoop() {
        // A renderer of its own, so that the window's stays free for strips; the element boxes
        // (read-only once built) are shared between the two and built only once per drawing.
        Renderer renderer;
        std::uint64_t generation = 0;
        for (;;) {
            Job job;
            {
                std::unique_lock lock(workerMutex);
                workerWake.wait(lock, [this] { return stopping || pending.has_value(); });
                if (stopping) {
                    return;
                }
                job = std::move(*pending);
                pending.reset();
                busy = true;
            }
            if (job.key.generation != generation) {
                // What was worked out for the previous drawing does not hold for this one.
                renderer.invalidateElementCache();
                generation = job.key.generation;
            }
            if (job.boxes) {
                renderer.adoptElementCache(std::move(job.boxes));
            }
            renderer.setPenTable(job.pens);
            renderer.setColourPalette(job.palette);
            renderer.setBackgroundColour(job.background);
            QImage picture(job.size, QImage::Format_RGB32);
            picture.fill(colourFromColorref(job.background));
            {
                QPainter painter(&picture);
                PainterSurface surface(painter, picture.width(), picture.height());
                renderer.render(surface, state.drawing.store, job.request);
            }
            QMetaObject::invokeMethod(
                &q,
                [this, key = job.key, picture = std::move(picture),
                 boxes = renderer.elementCache()]() mutable {
                    pictureDone(key, std::move(picture), std::move(boxes));
                },
                Qt::QueuedConnection);
            {
                std::lock_guard lock(workerMutex);
                busy = false;
            }
            workerIdle.notify_all();
            // The first picture after a load shows the whole drawing and needs no grid over the
            // element boxes; the next zoom or pan does. It is made now on a thread of its own,
            // so that a wheel step right away is drawn without waiting for it: it reads only
            // the cache's own boxes, not the drawing, and keeps them alive while it does.
            std::shared_ptr<const ElementCache> boxes = renderer.elementCache();
            if (boxes && !boxes->queriesPrepared()) {
                gridMaker = std::jthread([boxes = std::move(boxes)] { boxes->prepareQueries(); });
            }
        }
    }

    void pictureDone(const CacheKey& key, QImage picture,
                     std::shared_ptr<const ElementCache> boxes) {
        // The boxes the worker built serve the window's strips too, as long as the drawing is
        // the same; the renderer checks them against the store before it uses them.
        if (boxes && key.generation == state.drawingGeneration) {
            const std::shared_ptr<const ElementCache> own = state.renderer.elementCache();
            if (!own || !own->matches(state.drawing.store)) {
                state.renderer.adoptElementCache(std::move(boxes));
            }
        }
        if (!(key == currentKey()) || cacheCurrent()) {
            return;  // the view moved on; its own picture is on the way
        }
        cache = std::move(picture);
        applyMarks();
        cacheKey = key;
        shownKey = key;
        requestedKey.reset();
        q.update();
    }

    // Waits until the worker no longer reads the drawing; a waiting job is dropped.
    void finishPictures() {
        std::unique_lock lock(workerMutex);
        pending.reset();
        workerIdle.wait(lock, [this] { return !busy; });
        requestedKey.reset();
    }

    void stopWorker() {
        {
            std::lock_guard lock(workerMutex);
            stopping = true;
            pending.reset();
        }
        workerWake.notify_all();
        if (worker.joinable()) {
            worker.join();
        }
    }

    GraphicsWindow& q;
    ViewerState& state;
    ZoomWindowTool zoomTool;
    MeasureSession measure;

    QImage cache;
    std::optional<CacheKey> cacheKey;
    std::optional<ZoomWindowTool::Rect> band;

    QCursor frame;
    std::optional<QCursor> zoomCursor;
    std::optional<QCursor> measureCursor;
    std::optional<QCursor> crossHairCursor;
    std::array<QCursor, kCursorStackSize> cursorStack;
    int cursorIndex = 0;

    bool panning = false;
    QPoint panLast;
    int wheelRemainder = 0;
    std::optional<WorldPoint> lastClick;

    bool workerWanted = true;
    std::optional<CacheKey> shownKey;      // the view the cache's pixels are drawn for
    std::optional<CacheKey> requestedKey;  // the picture asked of the worker
    std::thread worker;
    std::jthread gridMaker;  // used by the worker only; joined before it is replaced
    std::mutex workerMutex;
    std::condition_variable workerWake;
    std::condition_variable workerIdle;
    std::optional<Job> pending;
    bool busy = false;
    bool stopping = false;
};

GraphicsWindow::GraphicsWindow(ViewerState& state, QWidget* parent)
    : QWidget(parent), d(std::make_unique<Private>(*this, state)) {
    // The cached picture covers every pixel.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Mouse moves without a button pressed drive the zoom window's second corner.
    setMouseTracking(true);
    // The main window keeps the keyboard.
    setFocusPolicy(Qt::NoFocus);
    // Right clicks arrive as plain button presses; the main window shows the menu.
    setContextMenuPolicy(Qt::PreventContextMenu);

    d->state.view.resetView();
    d->frame = makeFrameCursor();
    d->zoomCursor = loadProgramCursor(QStringLiteral("ZoomWindow"));
    d->measureCursor = loadProgramCursor(QStringLiteral("MessCursor"));
    d->crossHairCursor = loadProgramCursor(QStringLiteral("CrossHair"));
    setCursor(d->frame);
    pushCursor(d->frame);
}

GraphicsWindow::~GraphicsWindow() {
    d->stopWorker();
}

void GraphicsWindow::finishPictures() {
    d->finishPictures();
}

bool GraphicsWindow::pictureExact() const {
    return d->cacheCurrent();
}

void GraphicsWindow::setPictureWorkerEnabled(bool enabled) {
    d->finishPictures();
    d->workerWanted = enabled;
    d->invalidate();
}

void GraphicsWindow::zoomAll() {
    // The extents the renderer keeps for the drawing (worked out by the first of the window,
    // the thumbnail or the load that needs them).
    WorldBox extents;
    if (drawingExtents(d->state.drawing.store, extents) != 0) {
        d->state.view.fitInside(width(), height(), extents);
    }
    d->viewChanged();
}

void GraphicsWindow::startZoomWindow() {
    d->apply(d->zoomTool.command());
}

void GraphicsWindow::zoomPrevious() {
    d->state.view.zoomPrevious(width(), height());
    d->viewChanged();
}

void GraphicsWindow::redraw() {
    d->invalidate();
}

void GraphicsWindow::zoomAtGlobalPoint(const QPoint& globalPos, double factor) {
    const QPoint p = mapFromGlobal(globalPos);
    d->state.view.zoomAtPoint(width(), height(), p.x(), p.y(), factor);
    d->viewChanged();
}

void GraphicsWindow::zoomAtCentre(double factor) {
    d->state.view.zoomAtPoint(width(), height(), width() / 2, height() / 2, factor);
    d->viewChanged();
}

void GraphicsWindow::panTowards(Qt::ArrowType edge) {
    const int w = width();
    const int h = height();
    int x = w / 2;
    int y = h / 2;
    switch (edge) {
        case Qt::LeftArrow:
            x = 0;
            break;
        case Qt::RightArrow:
            x = w - 1;
            break;
        case Qt::UpArrow:
            y = 0;
            break;
        case Qt::DownArrow:
            y = h - 1;
            break;
        case Qt::NoArrow:
            return;
    }
    if (d->state.view.panStep(w, h, x, y)) {
        d->viewChanged();
    }
}

bool GraphicsWindow::cancelZoomWindow() {
    if (!d->zoomTool.active()) {
        return false;
    }
    d->apply(
        d->zoomTool.handle(ZoomWindowTool::Event::Cancel, 0, 0, d->state.view, width(), height()));
    emit statusTextRequested(0, QString());  // "Fenster zoomen: ..." no longer applies
    return true;
}

void GraphicsWindow::drawingLoaded() {
    d->cacheKey.reset();
    zoomAll();
    // A large drawing's picture is asked of the worker now rather than at the next paint, so
    // that the caller's thread can go on with other work (the document list's thumbnail)
    // while it is drawn; the paint then finds it under way.
    if (isVisible() && !size().isEmpty() && d->state.renderer.drawingShown() && d->workerWanted &&
        d->state.drawing.store.elementCount() >= kWorkerMinElements) {
        d->ensureCache();
    }
}

void GraphicsWindow::drawingChanged() {
    d->invalidate();
    refreshSnapList();
}

void GraphicsWindow::startMeasuring() {
    d->dropHitMarker();
    d->applyCursor(d->measure.startGeometry(d->client(), d->state.view, d->state.drawing.store));
    update();
}

void GraphicsWindow::startShowingTexts() {
    d->dropHitMarker();
    d->applyCursor(d->measure.startTexts(d->client(), d->state.view, d->state.drawing.store));
    update();
}

void GraphicsWindow::endMeasuring() {
    d->dropHitMarker();
    d->applyCursor(d->measure.end());
    emit measureTextChanged(QString());
    update();
}

void GraphicsWindow::refreshSnapList() {
    d->rebuildSnapList();
}

MeasureSession& GraphicsWindow::measureSession() {
    return d->measure;
}

bool GraphicsWindow::zoomWindowActive() const {
    return d->zoomTool.active();
}

std::optional<WorldPoint> GraphicsWindow::lastClickWorld() const {
    return d->lastClick;
}

void GraphicsWindow::pushCursor(const QCursor& cursor) {
    d->cursorStack[static_cast<std::size_t>(d->cursorIndex)] = this->cursor();
    d->cursorIndex = (d->cursorIndex + 1) % kCursorStackSize;
    setCursor(cursor);
}

void GraphicsWindow::popCursor() {
    if (d->cursorIndex > 0) {
        --d->cursorIndex;
    }
    setCursor(d->cursorStack[static_cast<std::size_t>(d->cursorIndex)]);
}

const QCursor& GraphicsWindow::frameCursor() const {
    return d->frame;
}

void GraphicsWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!d->state.renderer.drawingShown()) {
        painter.fillRect(event->rect(), colourFromColorref(d->state.renderer.backgroundColour()));
        return;
    }
    d->ensureCache();
    painter.drawImage(QRectF(event->rect()), d->cache,
                      QRectF(deviceRect(event->rect(), d->ratio())));
    paintMeasureOverlay(painter, d->measure, size());
}

void GraphicsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The cached picture belongs to one size; a new size draws it anew. The snap list belongs
    // to the old client rectangle.
    update();
    if (d->measure.measuring()) {
        d->rebuildSnapList();
    }
}

void GraphicsWindow::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const Qt::KeyboardModifiers mods = event->modifiers();
    View& view = d->state.view;
    switch (event->button()) {
        case Qt::LeftButton:
            emit focusToMainWindowRequested();
            if (mods & Qt::ShiftModifier) {
                view.scaleStep(0.5);
                d->viewChanged();
            } else if (mods & Qt::ControlModifier) {
                if (view.panStep(width(), height(), p.x(), p.y())) {
                    d->viewChanged();
                }
            } else if (d->zoomTool.active()) {
                d->dropHitMarker();
                d->apply(d->zoomTool.handle(ZoomWindowTool::Event::Button, p.x(), p.y(), view,
                                            width(), height()));
            } else if (d->measure.measuring()) {
                d->dropHitMarker();
                d->measure.leftClick(p.x(), p.y(), view);
                update();  // the anchor marker moves
            } else {
                d->lastClick = deviceToWorld(view.currentView(), p.x(), p.y());
            }
            break;
        case Qt::RightButton:
            if (d->measure.measuring()) {
                d->dropHitMarker();
                emit measureTextChanged(QString());
            }
            if (mods & Qt::ShiftModifier) {
                view.scaleStep(2.0);
                d->viewChanged();
            }
            emit contextMenuRequested(event->globalPosition().toPoint());
            break;
        case Qt::MiddleButton:
            view.panDragPress(p.x(), p.y());
            d->panning = true;
            d->panLast = p;
            break;
        default:
            event->ignore();
            return;
    }
    event->accept();
}

void GraphicsWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (d->panning && (event->buttons() & Qt::MiddleButton)) {
        // A move to where the mouse already was would only add a history entry.
        if (p != d->panLast) {
            d->panLast = p;
            d->panMove(p.x(), p.y());
        }
    } else if (d->zoomTool.active()) {
        d->apply(d->zoomTool.handle(ZoomWindowTool::Event::Move, p.x(), p.y(), d->state.view,
                                    width(), height()));
    } else if (d->measure.measuring()) {
        d->measureMove(p.x(), p.y());
    }
    event->accept();
}

void GraphicsWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && d->panning) {
        const QPoint p = event->position().toPoint();
        d->state.view.panDragRelease(p.x(), p.y());
        d->panning = false;
        // The strips were drawn piecewise: draw the whole window once more.
        d->viewChanged();
    }
    event->accept();
}

void GraphicsWindow::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    // Fine-grained wheels and touchpads send parts of a notch: one zoom step per whole notch.
    if ((delta > 0) != (d->wheelRemainder > 0)) {
        d->wheelRemainder = 0;
    }
    d->wheelRemainder += delta;
    const QPoint p = event->position().toPoint();
    while (std::abs(d->wheelRemainder) >= kWheelStep) {
        const bool away = d->wheelRemainder > 0;
        d->wheelRemainder -= away ? kWheelStep : -kWheelStep;
        d->state.view.zoomAtPoint(width(), height(), p.x(), p.y(), away ? 1.25 : 0.8);
        d->viewChanged();
    }
    event->accept();
}

}  // namespace planora
