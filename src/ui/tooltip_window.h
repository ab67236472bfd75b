// The tooltip window "Programminformation": one line of text in a small pale yellow popup at the
// mouse position, used by measuring to show the measured value next to the cursor.
//
// It never takes the focus or the mouse: an undecorated, non-activating, always-on-top popup that
// lets pointer input through to the window beneath.
#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

namespace planora {

class TooltipWindow : public QWidget {
  public:
    static constexpr QColor kBackground{255, 255, 192};
    static constexpr QColor kTextColour{0, 0, 128};

    // Created hidden. The parent only owns it; the tip is a window of its own.
    explicit TooltipWindow(QWidget* parent = nullptr);

    // Arial, 16 pixels high, at creation.
    static QFont defaultFont();
    void setTipFont(const QFont& font);

    // Shows the text with the window's top-left corner at `globalPos`, sized to the text plus a
    // two-pixel margin on each side; an empty text hides the window. At the right or bottom edge
    // of the screen the tip goes to the left of or above the point instead, so that it stays on
    // the screen. While the tip is held back the text is only kept.
    void showText(const QString& text, const QPoint& globalPos);
    // The same at the mouse position.
    void showTextAtCursor(const QString& text);

    // Holds the tip back (hidden, its text kept) while the pointer is away from the window it
    // belongs to or that window is minimised or inactive; letting it go shows the kept text at
    // the mouse position again.
    void setHeldBack(bool held);
    bool heldBack() const { return heldBack_; }

    // Where a tip of `size` goes for the point `globalPos` on a screen with the available area
    // `screen`.
    static QPoint placeInside(const QPoint& globalPos, const QSize& size, const QRect& screen);

    const QString& text() const { return text_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    bool heldBack_ = false;
};

}  // namespace planora
