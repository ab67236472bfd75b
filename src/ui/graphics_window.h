// The graphics window: shows the current drawing through the renderer and turns mouse input into
// view operations (zoom window with its rubber band, wheel zoom about the cursor, panning with
// the middle button, Shift and Ctrl clicks). The main window carries out its menu commands on it.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

#include "measuring.h"
#include "viewer_state.h"

namespace planora {

class GraphicsWindow : public QWidget {
    Q_OBJECT
  public:
    explicit GraphicsWindow(ViewerState& state, QWidget* parent = nullptr);
    ~GraphicsWindow() override;

    // Commands of the main window.
    void zoomAll();          // "&Alles"
    void startZoomWindow();  // "&Fenster": cancels a zoom window in progress, then starts one
    void zoomPrevious();     // "&Vorher"
    void redraw();           // "&Bild neuzeichnen": repaint everything
    // Wheel zoom about a point given in global (screen) coordinates; factor 0.8 or 1.25.
    void zoomAtGlobalPoint(const QPoint& globalPos, double factor);
    // Keyboard zoom: the factor of a wheel step (1.25 or 0.8) about the window's centre.
    void zoomAtCentre(double factor);
    // Keyboard pan: the step of a Ctrl + click at the middle of the edge the arrow points to.
    void panTowards(Qt::ArrowType edge);
    // Esc: ends a zoom window in progress; false when there was none.
    bool cancelZoomWindow();
    // After a successful load: forget what belonged to the previous drawing and zoom to all.
    void drawingLoaded();
    // After colours or layers changed: repaint with the new state.
    void drawingChanged();

    // Whole pictures of large drawings are drawn on a worker thread; meanwhile the previous
    // picture shows moved and scaled to the new view. finishPictures() waits until the worker
    // no longer reads the drawing: call it before the drawing is changed or replaced.
    void finishPictures();
    // Whether the picture on screen is the exact one for the current view.
    bool pictureExact() const;
    // On by default; off draws every picture on the window's thread.
    void setPictureWorkerEnabled(bool enabled);

    bool zoomWindowActive() const;
    // The drawing point of the last plain left click (nothing before the first).
    std::optional<WorldPoint> lastClickWorld() const;

    // Measuring commands of the main window: "Endpunkt" to "Schnittpunkt", "Texte zeigen",
    // "Meßmodus abschalten"; the refresh of the snap list after colour or layer changes.
    void startMeasuring();
    void startShowingTexts();
    void endMeasuring();
    void refreshSnapList();
    // Units, decimals and scale of the measured values, the anchor and the current hit.
    MeasureSession& measureSession();

    // The cursor stack of ten saved cursors.
    void pushCursor(const QCursor& cursor);
    void popCursor();
    // The default cursor, at the bottom of the stack.
    const QCursor& frameCursor() const;

  signals:
    // A text for a part of the main window's status line ("Fenster zoomen: 1. Punkt", ...).
    void statusTextRequested(int part, const QString& text);
    // A right click: the main window shows the context menu "drittes" there and routes its
    // commands.
    void contextMenuRequested(const QPoint& globalPos);
    // A left click hands the keyboard focus to the main window.
    void focusToMainWindowRequested();
    // The measured text for the tooltip next to the cursor (empty: hide the tooltip).
    void measureTextChanged(const QString& text);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

}  // namespace planora
