#include "status_line.h"

#include <QFont>
#include <QLabel>
#include <QResizeEvent>

#include "status_texts.h"

namespace planora {

namespace {
constexpr int kGap = 2;  // space between two framed parts
}

StatusLine::StatusLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Statuszeile"));
    setAutoFillBackground(true);
    // The parts have fixed widths (a date needs to fit into 110 pixels): a compact font.
    QFont small = font();
    small.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    small.setPixelSize(11);
    setFont(small);
    for (int i = 0; i < kParts; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("StatusPart%1").arg(i));
        label->setTextFormat(Qt::PlainText);
        label->setContentsMargins(i == StatusMessagePart ? 4 : 1, 0, 1, 0);
        if (i != StatusMessagePart) {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        }
        labels_[static_cast<std::size_t>(i)] = label;
    }
}

void StatusLine::setText(int part, const QString& text) {
    if (part < 0 || part >= kParts) {
        return;
    }
    texts_[static_cast<std::size_t>(part)] = text;
    showText(part);
}

void StatusLine::showText(int part) {
    QLabel* label = labels_[static_cast<std::size_t>(part)];
    const QString& text = texts_[static_cast<std::size_t>(part)];
    if (part != StatusFileNamePart) {
        label->setText(text);
        return;
    }
    const int room = label->contentsRect().width();
    const QString shown =
        room > 0 ? label->fontMetrics().elidedText(text, Qt::ElideRight, room) : text;
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

QString StatusLine::text(int part) const {
    if (part < 0 || part >= kParts) {
        return {};
    }
    return texts_[static_cast<std::size_t>(part)];
}

QRect StatusLine::partRect(int part) const {
    const int left = part == 0 ? 0 : kStatusPartRightEdges[static_cast<std::size_t>(part - 1)];
    const int edge = kStatusPartRightEdges[static_cast<std::size_t>(part)];
    const int right = edge < 0 ? width() : edge;
    // A part that starts beyond a narrow window keeps a width of 0.
    const int w = std::max(0, right - left - (part == kParts - 1 ? 0 : kGap));
    return QRect(left, 2, w, std::max(0, height() - 3));
}

QSize StatusLine::sizeHint() const {
    return QSize(kStatusPartRightEdges[4] + 100, fontMetrics().height() + 8);
}

void StatusLine::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (int i = 0; i < kParts; ++i) {
        labels_[static_cast<std::size_t>(i)]->setGeometry(partRect(i));
        showText(i);
    }
}

}  // namespace planora
