#include "tooltip_window.h"

#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace planora {

TooltipWindow::TooltipWindow(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput) {
    setWindowTitle(QStringLiteral("Programminformation"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFont(defaultFont());
    setGeometry(0, 0, 1, 1);
}

QFont TooltipWindow::defaultFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void TooltipWindow::setTipFont(const QFont& font) {
    setFont(font);
}

QPoint TooltipWindow::placeInside(const QPoint& globalPos, const QSize& size, const QRect& screen) {
    QPoint at = globalPos;
    if (screen.isEmpty()) {
        return at;
    }
    if (at.x() + size.width() > screen.right() + 1) {
        at.setX(globalPos.x() - size.width());  // to the left of the cursor
    }
    if (at.y() + size.height() > screen.bottom() + 1) {
        at.setY(globalPos.y() - size.height());  // above the cursor
    }
    // A tip wider or higher than the screen starts at its left or top edge.
    at.setX(std::max(at.x(), screen.left()));
    at.setY(std::max(at.y(), screen.top()));
    return at;
}

void TooltipWindow::setHeldBack(bool held) {
    if (held == heldBack_) {
        return;
    }
    heldBack_ = held;
    if (held) {
        hide();
    } else if (!text_.isEmpty()) {
        showText(text_, QCursor::pos());
    }
}

void TooltipWindow::showText(const QString& text, const QPoint& globalPos) {
    if (text.isEmpty()) {
        text_.clear();
        hide();
        return;
    }
    text_ = text;
    if (heldBack_) {
        return;
    }
    const QFontMetrics metrics(font());
    // One pixel of border and one of space around the text on every side.
    const QSize size(metrics.horizontalAdvance(text_) + 4, metrics.height() + 4);
    QScreen* screen = QGuiApplication::screenAt(globalPos);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
    setGeometry(QRect(placeInside(globalPos, size, area), size));
    if (!isVisible()) {
        show();
    }
    raise();
    update();
}

void TooltipWindow::showTextAtCursor(const QString& text) {
    showText(text, QCursor::pos());
}

void TooltipWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!text_.isEmpty()) {
        painter.setFont(font());
        painter.setPen(kTextColour);
        painter.drawText(QRect(2, 2, width() - 4, height() - 4),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text_);
    }
}

}  // namespace planora
