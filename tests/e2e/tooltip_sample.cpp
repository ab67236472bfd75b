// Draws the measuring tooltip with a given text into a PNG file, on the same display and with the
// same window class as the program, so that an end-to-end test can compare the program's tooltip
// on the screen with the one the expected text gives.
//
//   planora_tooltip_sample TEXT OUTPUT.png
#include <QApplication>
#include <QPixmap>

#include <cstdio>

#include "tooltip_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: planora_tooltip_sample TEXT OUTPUT.png\n", stderr);
        return 2;
    }
    planora::TooltipWindow tip;
    tip.showText(QString::fromUtf8(argv[1]), QPoint(0, 0));
    const QPixmap picture = tip.grab();
    tip.hide();
    return picture.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
