#include "logo_window.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QTimerEvent>

void initProgramResources() {
    // The pictures live in a static library; naming the resource keeps the linker from leaving
    // them out.
    static const bool done = [] {
        Q_INIT_RESOURCE(planora);
        return true;
    }();
    Q_UNUSED(done);
}

namespace planora {

int LogoWindow::ticks_ = 0;

QRect logoWindowRect(const QSize& screen, const std::optional<QSize>& picture) {
    if (!picture || picture->isEmpty()) {
        return QRect(40, 20, 420, 320);
    }
    const int w = picture->width();
    const int h = picture->height();
    int x = (screen.width() - w) / 2;
    const int y = (screen.height() - h) / 2;
    // Floating-point quotient: a zero divisor gives an infinity (or NaN), never a trap.
    const double ratio = static_cast<double>(w - x) / static_cast<double>(h - y);
    if (ratio > 1.5) {
        x = static_cast<int>(y * 1.25);
    }
    return QRect(x, y, w, h);
}

QImage renderLogoImage(int screenDepth) {
    initProgramResources();
    const QString name = screenDepth <= 8 ? QStringLiteral(":/logo/LogoBild16.svg")
                                          : QStringLiteral(":/logo/LogoBild256.svg");
    QSvgRenderer svg(name);
    if (!svg.isValid()) {
        return {};
    }
    // The format a pixmap filled with a transparent colour takes, so that the pixmap made from
    // it has the pixels of one drawn straight into.
    QImage image(svg.defaultSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    return image;
}

QPixmap logoPictureFromImage(const QImage& image) {
    if (image.isNull()) {
        return {};
    }
    // Kept with its alpha channel, as a pixmap drawn into directly, although the picture covers
    // every pixel.
    return QPixmap::fromImage(image, Qt::NoOpaqueDetection);
}

QPixmap loadLogoPicture(int screenDepth) {
    return logoPictureFromImage(renderLogoImage(screenDepth));
}

LogoWindow::LogoWindow(const QPixmap& picture, const QRect& screenGeometry)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(picture) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Programminformation"));
    std::optional<QSize> size;
    if (!picture_.isNull()) {
        size = picture_.size() / picture_.devicePixelRatio();
    }
    const QRect r = logoWindowRect(screenGeometry.size(), size);
    setGeometry(r.translated(screenGeometry.topLeft()));
}

void LogoWindow::showLogo() {
    timer_.start(kTickMs, this);
    show();
    raise();
}

void LogoWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(128, 128, 128));
    if (!picture_.isNull()) {
        painter.drawPixmap(0, 0, picture_);
    }
    // A thin border, as the window has no frame of its own.
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void LogoWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        close();
    }
}

void LogoWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() != timer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    const bool done = ticks_ > kLastTick;
    ++ticks_;
    if (done) {
        close();
    }
}

void LogoWindow::closeEvent(QCloseEvent* event) {
    timer_.stop();
    QWidget::closeEvent(event);
}

}  // namespace planora
