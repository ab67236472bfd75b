#include "tooltip_window.h"

#include <QCursor>
#include <QFontMetrics>
#include <QPainter>

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

void TooltipWindow::showText(const QString& text, const QPoint& globalPos) {
    if (text.isEmpty()) {
        text_.clear();
        hide();
        return;
    }
    text_ = text;
    const QFontMetrics metrics(font());
    // One pixel of border and one of space around the text on every side.
    setGeometry(globalPos.x(), globalPos.y(), metrics.horizontalAdvance(text_) + 4,
                metrics.height() + 4);
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
