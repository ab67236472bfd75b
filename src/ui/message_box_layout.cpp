#include "message_box_layout.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>

#include <algorithm>

namespace planora {

void keepLineBreaks(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label) {
        return;
    }
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : box.text().split(QLatin1Char('\n'))) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    // The label's own margins and a few pixels for rounding of the text layout.
    const QMargins margins = label->contentsMargins();
    int wanted = widest + margins.left() + margins.right() + 2 * label->margin() + 4;
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    if (screen) {
        // Leave room for the icon and the frame; the box itself must stay on the screen.
        wanted = std::min(wanted, screen->availableGeometry().width() - 120);
    }
    // The box's size calculation takes the label's minimum width as a lower bound.
    label->setMinimumWidth(std::max(0, wanted));
}

}  // namespace planora
