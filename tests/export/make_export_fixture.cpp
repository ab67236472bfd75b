// Writes the drawing the export tests read: every element kind and line style on several layers
// (one switched off), coordinates that need every digit, a text with umlauts, and two elements
// with geometry no export may write (a NaN and an absurdly large coordinate); or one line; or
// many lines.
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "akt_writer.h"

namespace akt = planora::akt;

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--one-line") {
        // One solid line 20 units long, for measuring the printed scale.
        akt::Drawing line;
        line.version = 2500;
        akt::addLine(line, 0, 0, 20, 0, akt::Attributes{1, 1, 1, 100});
        return akt::writeDrawingFile(line, argv[2]) ? 0 : 1;
    }
    if (argc == 4 && std::string(argv[1]) == "--many-lines") {
        // Many lines on one layer whose coordinates follow from their place in the file, for
        // checking that long outputs arrive whole and in order.
        akt::Drawing many;
        many.version = 2500;
        const long count = std::stol(argv[2]);
        for (long k = 0; k < count; ++k) {
            akt::addLine(many, k * 0.5 + 1.0 / 3.0, k / 7.0, k * 0.5 + 0.25, k / 7.0 + 1.0,
                         akt::Attributes{1, 1 + static_cast<int>(k % 8), 1, 100});
        }
        akt::addLayer(many, 1, "Linien", true);
        return akt::writeDrawingFile(many, argv[3]) ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_export_fixture [--one-line | --many-lines N] FILE\n");
        return 2;
    }
    akt::Drawing d;
    d.version = 2500;
    for (int style = 0; style <= 11; ++style) {
        akt::addLine(d, 12.3456, 0.1 * style + 1.0 / 3.0, 20.000000000123, 0.1 * style,
                     akt::Attributes{1, 1 + style % 8, style, 100});
    }
    akt::addLine(d, 0, 0, 20, 0, akt::Attributes{1, 2, 1, 50});
    akt::addCircle(d, 5.5, -7.25, 3.0000001, akt::Attributes{2, 3, 5, 100});
    akt::addArc(d, -4.125, 9.5, 2.5, 30.5, 300.25, akt::Attributes{2, 4, 6, 100});
    akt::addOutline(d, {{0.5, 0.25}, {3.75, 0.25}, {3.75, 4.0625}, {1.1, 2.2}},
                    akt::Attributes{3, 5, 1, 100});
    akt::addDataBox(d, 1.5, 2.5, 8.125, 6.75, akt::Attributes{3, 6, 8, 100}, {});
    const char* frames[] = {"04", "13", "14", "16", "25"};
    double y = 20;
    for (const char* f : frames) {
        akt::TextPlacement p;
        p.layer = 4;
        p.pen = 2;
        p.angle = 30.0;
        p.frameClass = f[0];
        p.frameShape = f[1];
        akt::addText(d, 2.5, y, akt::cp1252("Maß Wände 12.3456"), p);
        y += 3;
    }
    // Geometry that only broken records give: left out of every export.
    akt::addLine(d, std::numeric_limits<double>::quiet_NaN(), 0, 1, 1,
                 akt::Attributes{1, 1, 1, 100});
    akt::addCircle(d, 1e300, 0, 1, akt::Attributes{1, 1, 1, 100});
    akt::addLayer(d, 1, akt::cp1252("Wände"), true);
    akt::addLayer(d, 2, "Kreise", true);
    akt::addLayer(d, 3, "Aus", false);
    akt::addLayer(d, 4, "Texte: <neu>", true);
    return akt::writeDrawingFile(d, argv[1]) ? 0 : 1;
}
