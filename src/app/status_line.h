// The status line at the bottom of the main window: six parts whose right edges lie at fixed
// pixel positions (400, 520, 560, 670, 740 and the window's edge). Part 0 has no border.
#pragma once

#include <QString>
#include <QWidget>

#include <array>

class QLabel;

namespace planora {

class StatusLine : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kParts = 6;

    explicit StatusLine(QWidget* parent = nullptr);

    // The file name part shows a name too long for it cut with "…" and the whole name as its
    // tooltip; text() gives the whole text of every part.
    void setText(int part, const QString& text);
    QString text(int part) const;
    // The rectangle of one part inside the status line.
    QRect partRect(int part) const;

    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showText(int part);

    std::array<QLabel*, kParts> labels_{};
    std::array<QString, kParts> texts_{};
};

}  // namespace planora
