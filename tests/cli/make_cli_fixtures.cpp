// Writes the drawings that the command-line tests read: numbers that need every digit, texts
// with umlauts and the diameter sign, a damaged file, and files that are no drawings.
#include <cstdio>
#include <fstream>
#include <string>

#include "akt_writer.h"

namespace akt = planora::akt;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_cli_fixtures FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];

    akt::Drawing d;
    d.version = 2500;
    d.headerValues[0] = 0.1;  // kept as float32
    d.info[0] = akt::cp1252("Küche");
    d.info[1] = "*";
    d.info[10] = "*erste\x06zweite";
    akt::addLine(d, 0.1, 1.0 / 3.0, -0.0, 1e-300, akt::Attributes{3, 7, 2, 100});
    akt::addCircle(d, 123456.789, -2.5e-7, 1.7976931348623157e308, akt::Attributes{4, 1, 1, 50});
    akt::TextPlacement p;
    p.layer = 5;
    p.pen = 2;
    p.frameClass = '1';
    p.frameShape = '4';
    akt::addText(d, 1, 2,
                 std::string("\xF8 20\x11"
                             "C\x04"
                             "rest"),
                 p);
    akt::addOutline(d, {{0.5, 0.25}, {3, 0.25}, {3, 1e10}}, akt::Attributes{6, 3, 0, 100});
    akt::addLayer(d, 3, akt::cp1252("Wände"), true);
    akt::addLayer(d, 4, "Aus", false);
    if (!akt::writeDrawingFile(d, dir + "/tricky.akt")) {
        return 1;
    }

    akt::Drawing damaged = d;
    damaged.version = 1100;
    damaged.elements.resize(2);
    damaged.texts.clear();
    damaged.textCountOverride = 2;
    if (!akt::writeDrawingFile(damaged, dir + "/damaged.akt")) {
        return 1;
    }

    akt::Drawing tooLong;
    tooLong.version = 600;
    tooLong.info[2] = std::string(24577, 'x');
    if (!akt::writeDrawingFile(tooLong, dir + "/toolong.akt")) {
        return 1;
    }

    akt::Drawing future = d;
    future.version = 2600;
    if (!akt::writeDrawingFile(future, dir + "/future.akt")) {
        return 1;
    }
    std::ofstream(dir + "/text.akt") << "Dies ist keine Zeichnung.\n";
    // Hostile files: one long text named by many text records, and an outline ended after each
    // of its points. Copied per record, they would need hundreds of megabytes.
    akt::Drawing shared;
    shared.version = 2500;
    const std::int64_t number =
        akt::addText(shared, 0, 0, std::string(256 * 1024, 'x'), akt::TextPlacement{});
    for (int i = 1; i < 1500; ++i) {
        shared.elements.push_back(
            akt::textElementRecord(shared.version, i, 0, number, akt::TextPlacement{}));
    }
    akt::addLayer(shared, 0, "Texte");
    akt::Drawing outline;
    outline.version = 2500;
    akt::ElementRecord begin;
    begin.type = akt::type::kOutlineBegin;
    outline.elements.push_back(begin);
    for (int i = 0; i < 4000; ++i) {
        akt::ElementRecord point;
        point.type = akt::type::kOutlinePoint;
        point.a = i;
        point.b = i % 7;
        outline.elements.push_back(point);
        akt::ElementRecord end;
        end.type = akt::type::kOutlineEnd;
        outline.elements.push_back(end);
    }
    akt::addLayer(outline, 0, "Flaechen");
    if (!akt::writeDrawingFile(shared, dir + "/shared-text.akt") ||
        !akt::writeDrawingFile(outline, dir + "/outline-ends.akt")) {
        return 1;
    }
    return 0;
}
