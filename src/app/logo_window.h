// The logo window shown at start-up: the program's logo centred on the screen, grey around it,
// closed after 22 ticks of 50 ms (about 1.1 s) or by a click.
#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <optional>

// Makes the program's pictures (logo, icon) available; may be called more than once.
void initProgramResources();

namespace planora {

// Where the logo window goes on a screen of the given size: without a picture 420 × 320 at
// (40, 20); with one, its size centred, moved to x = y × 1.25 when the centred place would be
// too wide for its height.
QRect logoWindowRect(const QSize& screen, const std::optional<QSize>& picture);

// The logo picture "LogoBild" for a screen of the given colour depth: "LogoBild16" for 8 bits
// per pixel or fewer, else "LogoBild256". An empty pixmap when it cannot be had.
QPixmap loadLogoPicture(int screenDepth);
// The same picture as an image, drawn on any thread once the application object exists: the
// program's start draws it while the main window is made.
QImage renderLogoImage(int screenDepth);
// The pixmap of the logo window from such an image.
QPixmap logoPictureFromImage(const QImage& image);

class LogoWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 50;
    static constexpr int kLastTick = 20;  // closed on the tick after the counter passed this

    // Created hidden, placed on `screenGeometry`.
    LogoWindow(const QPixmap& picture, const QRect& screenGeometry);

    // Starts the ticks and shows the window.
    void showLogo();
    // Ticks counted so far in this run.
    static int ticks() { return ticks_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QPixmap picture_;
    QBasicTimer timer_;
    // Counted for the whole run: the logo is shown once.
    static int ticks_;
};

}  // namespace planora
