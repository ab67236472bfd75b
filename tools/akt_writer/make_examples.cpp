// Writes the example drawings: the ground floor plan of a small house (10 m x 8 m, drawing units
// metres) in one file per format generation group.
//
//   make_examples <folder>
//
// The output is deterministic: the same program writes the same bytes on every run.
#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "akt_writer.h"

namespace {

using planora::akt::Attributes;
using planora::akt::cp1252;
using planora::akt::Drawing;
using planora::akt::TextPlacement;
namespace type = planora::akt::type;

using Range = std::pair<double, double>;
using Ranges = std::vector<Range>;
using Points = std::vector<std::pair<double, double>>;

// Layers of the plan.
enum Layer : int {
    kWalls = 1,
    kDoors = 2,
    kWindows = 3,
    kColumns = 4,
    kLabels = 5,
    kDimensions = 6,
    kFurniture = 7,
    kAreas = 8,
};

// Line style codes.
constexpr int kSolid = 1;
constexpr int kDashed = 2;
constexpr int kDashDot = 6;

constexpr double kOuterWall = 0.30;
constexpr double kInnerWall = 0.115;

class HousePlan {
  public:
    explicit HousePlan(int version) : v12_(version >= 1200), v17_(version >= 1700) {
        d_.version = version;
    }

    Drawing build(const std::string& fileName, const std::string& date) {
        info(fileName, date);
        layers();
        outerWalls();
        innerWalls();
        doors();
        windows();
        terrace();
        furniture();
        labels();
        dimensions();
        titleBlock();
        return std::move(d_);
    }

  private:
    // Pieces of [a, b] outside the gaps (gaps sorted, inside [a, b]).
    static Ranges pieces(double a, double b, const Ranges& gaps) {
        Ranges out;
        double from = a;
        for (const auto& [g0, g1] : gaps) {
            if (g0 > from) {
                out.emplace_back(from, g0);
            }
            from = g1;
        }
        if (b > from) {
            out.emplace_back(from, b);
        }
        return out;
    }

    void line(double x1, double y1, double x2, double y2, const Attributes& at,
              std::uint32_t t = type::kLine) {
        d_.elements.push_back(planora::akt::lineRecord(d_.version, x1, y1, x2, y2, at, t));
    }

    // A horizontal wall between the faces y0 and y1; face y0 spans face0, face y1 spans face1.
    // Each gap leaves an opening closed by two jamb lines.
    void wallH(double y0, double y1, Range face0, Range face1, const Ranges& gaps,
               const Attributes& at) {
        for (const auto& [a, b] : pieces(face0.first, face0.second, gaps)) {
            line(a, y0, b, y0, at);
        }
        for (const auto& [a, b] : pieces(face1.first, face1.second, gaps)) {
            line(a, y1, b, y1, at);
        }
        for (const auto& [g0, g1] : gaps) {
            line(g0, y0, g0, y1, at);
            line(g1, y0, g1, y1, at);
        }
    }

    void wallV(double x0, double x1, Range face0, Range face1, const Ranges& gaps,
               const Attributes& at) {
        for (const auto& [a, b] : pieces(face0.first, face0.second, gaps)) {
            line(x0, a, x0, b, at);
        }
        for (const auto& [a, b] : pieces(face1.first, face1.second, gaps)) {
            line(x1, a, x1, b, at);
        }
        for (const auto& [g0, g1] : gaps) {
            line(x0, g0, x1, g0, at);
            line(x0, g1, x1, g1, at);
        }
    }

    // A door leaf from the hinge in the direction leafAngle, and its swing as an arc.
    void door(double hx, double hy, double width, double leafAngle, double arcStart,
              double arcEnd) {
        const Attributes at{kDoors, 1, kSolid, 50};
        const double rad = leafAngle * 3.14159265358979323846 / 180.0;
        // Leaf directions are multiples of 90 degrees; round away the floating-point noise.
        const double dx = static_cast<double>(static_cast<int>(std::round(std::cos(rad))));
        const double dy = static_cast<double>(static_cast<int>(std::round(std::sin(rad))));
        line(hx, hy, hx + width * dx, hy + width * dy, at, 11);
        auto [head, tail] =
            planora::akt::arcRecords(d_.version, hx, hy, width, arcStart, arcEnd, at);
        d_.elements.push_back(head);
        d_.elements.push_back(tail);
    }

    // Glass of a window in an outer wall: two lines along the middle of the wall.
    void windowH(double x0, double x1, double wallY0) {
        const Attributes at{kWindows, 4, kSolid, 100};
        const double mid = wallY0 + kOuterWall / 2;
        line(x0, mid - 0.025, x1, mid - 0.025, at, 12);
        line(x0, mid + 0.025, x1, mid + 0.025, at, 12);
    }

    void windowV(double y0, double y1, double wallX0) {
        const Attributes at{kWindows, 4, kSolid, 100};
        const double mid = wallX0 + kOuterWall / 2;
        line(mid - 0.025, y0, mid - 0.025, y1, at, 12);
        line(mid + 0.025, y0, mid + 0.025, y1, at, 12);
    }

    void text(double x, double y, const std::string& utf8, TextPlacement p) {
        planora::akt::addText(d_, x, y, cp1252(utf8), p);
    }

    void rawText(double x, double y, std::string bytes, TextPlacement p) {
        planora::akt::addText(d_, x, y, std::move(bytes), p);
    }

    void info(const std::string& fileName, const std::string& date) {
        for (auto& slot : d_.info) {
            slot.assign(1, '*');  // "*" marks an unused slot
        }
        d_.info[0] = cp1252("Einfamilienhaus Lindenweg 7");
        d_.info[1] = cp1252("Wohnhaus Müller");
        d_.info[2] = cp1252("Erdgeschoss");
        d_.info[3] = "C:\\KVNCAD\\PROJEKTE\\LINDENWEG\\" + fileName;
        d_.info[4] = date;
        // Remarks: lines separated by 0x06 (and 0x07 when a 0x06 follows), 0x05 at a line start.
        d_.info[10] = cp1252(
            "*Grundriss Erdgeschoss, Entwurf\x06"
            "Außenwände Mauerwerk 30 cm, Innenwände 11,5 cm\x06\x05"
            "Maße in Metern");
        d_.info[11] = cp1252(
            "Möblierung auf Folie 7 (ausgeschaltet)\x07"
            "Terrasse mit drei Stützen ø 30 cm\x06"
            "Stand: Vorentwurf");
        d_.info[12] = cp1252("Plan-Nr. EG-01");
        // The extent of the drawing and its main scale; kept by the viewer, not used.
        d_.headerValues[0] = -2.5;
        d_.headerValues[1] = -5.5;
        d_.headerValues[2] = 16.5;
        d_.headerValues[3] = 10.0;
        d_.headerValues[4] = 100.0;
    }

    void layers() {
        planora::akt::addLayer(d_, kWalls, cp1252("Wände"));
        planora::akt::addLayer(d_, kDoors, cp1252("Türen"));
        planora::akt::addLayer(d_, kWindows, cp1252("Fenster"));
        planora::akt::addLayer(d_, kColumns, cp1252("Stützen"));
        planora::akt::addLayer(d_, kLabels, cp1252("Beschriftung"));
        planora::akt::addLayer(d_, kDimensions, cp1252("Bemaßung"));
        planora::akt::addLayer(d_, kFurniture, cp1252("Möblierung"), false);
        planora::akt::addLayer(d_, kAreas, cp1252("Flächen"));
    }

    void outerWalls() {
        const Attributes at{kWalls, 3, kSolid, 100};
        const double t = kOuterWall;
        wallH(0, t, {0, 10}, {t, 10 - t}, {{1.5, 3.5}, {7.2, 8.7}}, at);
        wallH(8 - t, 8, {t, 10 - t}, {0, 10}, {{1.0, 2.5}, {4.2, 5.2}, {6.8, 7.8}}, at);
        wallV(0, t, {0, 8}, {t, 8 - t}, {{1.5, 3.5}, {5.5, 6.8}}, at);
        wallV(10 - t, 10, {t, 8 - t}, {0, 8}, {{1.5, 3.0}, {5.8, 6.6}}, at);
    }

    void innerWalls() {
        const Attributes at{kWalls, 2, kSolid, 100};
        const double t = kInnerWall;
        const double top = 4.5 + t;
        // Between the day rooms (south) and the night rooms (north).
        wallH(4.5, top, {0.3, 9.7}, {0.3, 9.7}, {{4.5, 5.385}}, at);
        // Wohnen | Küche.
        wallV(6.0, 6.0 + t, {0.3, 4.5}, {0.3, 4.5}, {{1.5, 2.385}}, at);
        // Schlafen | Flur, Flur | Bad, Bad | WC.
        wallV(3.5, 3.5 + t, {top, 7.7}, {top, 7.7}, {{5.0, 5.885}}, at);
        wallV(6.0, 6.0 + t, {top, 7.7}, {top, 7.7}, {{5.0, 5.885}}, at);
        wallV(8.2, 8.2 + t, {top, 7.7}, {top, 7.7}, {{6.5, 7.235}}, at);
    }

    void doors() {
        door(4.2, 7.7, 1.0, 270, 270, 360);    // front door into Flur
        door(4.5, 4.5, 0.885, 270, 270, 360);  // Flur -> Wohnen
        door(3.5, 5.0, 0.885, 180, 90, 180);   // Flur -> Schlafen
        door(6.115, 5.0, 0.885, 0, 0, 90);     // Flur -> Bad
        door(8.315, 6.5, 0.735, 0, 0, 90);     // Bad -> WC
        door(6.0, 1.5, 0.885, 180, 90, 180);   // Küche -> Wohnen
        door(1.5, 0.3, 1.0, 90, 0, 90);        // terrace door, left leaf
        door(3.5, 0.3, 1.0, 90, 90, 180);      // terrace door, right leaf
    }

    void windows() {
        windowH(7.2, 8.7, 0);
        windowH(1.0, 2.5, 8 - kOuterWall);
        windowH(6.8, 7.8, 8 - kOuterWall);
        windowV(1.5, 3.5, 0);
        windowV(5.5, 6.8, 0);
        windowV(1.5, 3.0, 10 - kOuterWall);
        windowV(5.8, 6.6, 10 - kOuterWall);
    }

    void terrace() {
        // Roof edge above the terrace (hidden, dashed) and the axis of the columns.
        const Attributes hidden{kWalls, 1, kDashed, 100};
        line(0, -2.8, 10, -2.8, hidden);
        line(0, 0, 0, -2.8, hidden);
        line(10, 0, 10, -2.8, hidden);
        line(-0.5, -2.5, 10.5, -2.5, Attributes{kColumns, 1, kDashDot, 100}, 50);
        // Columns of 30 cm diameter.
        const Attributes column{kColumns, 5, kSolid, 20};
        for (double x : {0.5, 5.0, 9.5}) {
            d_.elements.push_back(planora::akt::circleRecord(d_.version, x, -2.5, 0.15, column));
        }
        if (v12_) {
            planora::akt::addOutline(d_, Points{{0, 0}, {10, 0}, {10, -2.8}, {0, -2.8}},
                                     Attributes{kAreas, 8, kSolid, 100});
        }
    }

    void furniture() {
        const Attributes at{kFurniture, 8, kSolid, 50};
        // Older generations have no extra line codes; 1000/1100 know 214, from 1200 60..69.
        const std::uint32_t lineType = v12_ ? 60 : (d_.version >= 1000 ? 214 : type::kLine);
        auto box = [&](double x0, double y0, double x1, double y1) {
            line(x0, y0, x1, y0, at, lineType);
            line(x1, y0, x1, y1, at, lineType);
            line(x1, y1, x0, y1, at, lineType);
            line(x0, y1, x0, y0, at, lineType);
        };
        box(0.8, 5.6, 2.6, 7.6);  // bed
        line(0.8, 7.1, 2.6, 7.1, at, lineType);
        box(0.6, 3.4, 3.0, 4.2);  // sofa
        d_.elements.push_back(planora::akt::circleRecord(d_.version, 4.2, 2.0, 0.6, at,
                                                         d_.version >= 1000 ? 234 : type::kCircle));
        // Kitchen counter along the east wall.
        const Points counter{{9.1, 0.3}, {9.7, 0.3}, {9.7, 4.5},
                             {7.5, 4.5}, {7.5, 3.9}, {9.1, 3.9}};
        if (v12_) {
            planora::akt::addOutline(d_, counter, Attributes{kFurniture, 8, kSolid, 50});
        }
        for (std::size_t i = 0; i < counter.size(); ++i) {
            const auto& [x0, y0] = counter[i];
            const auto& [x1, y1] = counter[(i + 1) % counter.size()];
            line(x0, y0, x1, y1, at, lineType);
        }
    }

    void labels() {
        auto room = [](char cls, char shape) {
            TextPlacement p;
            p.layer = kLabels;
            p.pen = 6;
            p.sizeCode = 4;
            p.frameClass = cls;
            p.frameShape = shape;
            return p;
        };
        text(2.0, 3.0, "Wohnen", room('0', '1'));
        text(7.0, 3.2, "Küche", room('0', '2'));
        text(6.6, 6.3, "Bad", room('0', '3'));
        text(4.3, 5.6, "Flur", room('0', '4'));
        text(0.7, 6.2, "Schlafen", room('0', '5'));
        text(8.6, 5.2, "WC", room('2', '3'));
        TextPlacement entrance = room('1', '6');
        entrance.sizeCode = 2;
        text(4.0, 9.3, "Eingang", entrance);
        TextPlacement plain = room('0', '0');
        text(4.0, -1.5, "Terrasse", plain);
        plain.sizeCode = 2;
        plain.type = 41;
        text(2.0, 2.5, "23,94 m²", plain);
        text(7.0, 2.7, "15,06 m²", plain);
    }

    void dimensions() {
        const Attributes at{kDimensions, 7, kSolid, 100};
        auto tick = [&](double x, double y) { line(x - 0.1, y - 0.1, x + 0.1, y + 0.1, at, 51); };
        TextPlacement label;
        label.layer = kDimensions;
        label.pen = 7;
        label.sizeCode = 2;
        label.type = 42;
        // Overall width and the chain of the south side.
        line(0, -4.0, 10, -4.0, at, 50);
        line(0, -3.4, 10, -3.4, at, 50);
        for (double x : {0.0, 6.0, 10.0}) {
            line(x, -3.1, x, -4.2, at, 50);
            tick(x, -3.4);
        }
        tick(0, -4.0);
        tick(10, -4.0);
        text(4.55, -3.85, "10,00", label);
        text(2.75, -3.25, "6,00", label);
        text(7.8, -3.25, "4,00", label);
        // Overall depth on the west side, text turned by 90 degrees.
        line(-1.5, 0, -1.5, 8, at, 50);
        line(-1.2, 0, -1.7, 0, at, 50);
        line(-1.2, 8, -1.7, 8, at, 50);
        tick(-1.5, 0);
        tick(-1.5, 8);
        TextPlacement turned = label;
        turned.angle = 90.0;
        text(-1.65, 3.65, "8,00", turned);
        // Column diameter: from 1700 the diameter sign is written as 0x11 and the text ends at
        // the byte 0x04; older generations carry the Windows-1252 byte of the sign.
        TextPlacement small = label;
        small.sizeCode = 1;
        rawText(9.75, -2.25,
                v17_ ? std::string("\x11"
                                   "30\x04",
                                   4)
                     : cp1252("ø30"),
                small);
    }

    void titleBlock() {
        const Attributes at{kLabels, 6, kSolid, 100};
        if (v12_) {
            const std::string data = cp1252("Plan=Grundriss Erdgeschoss\nMaßstab=1:100\n");
            planora::akt::addDataBox(d_, 11.0, -5.0, 16.0, -3.0, at,
                                     std::vector<std::uint8_t>(data.begin(), data.end()));
        } else {
            line(11.0, -5.0, 16.0, -5.0, at);
            line(16.0, -5.0, 16.0, -3.0, at);
            line(16.0, -3.0, 11.0, -3.0, at);
            line(11.0, -3.0, 11.0, -5.0, at);
        }
        TextPlacement title;
        title.layer = kLabels;
        title.pen = 6;
        title.sizeCode = 3;
        title.type = v12_ ? 80 : 43;
        text(11.2, -3.6, "Grundriss Erdgeschoss", title);
        title.sizeCode = 2;
        text(11.2, -4.2, "M 1:100", title);
        text(11.2, -4.7, "Einfamilienhaus Lindenweg 7", title);
    }

    Drawing d_;
    bool v12_;
    bool v17_;
};

struct Example {
    int version;
    const char* fileName;
    const char* date;
};

constexpr Example kExamples[] = {
    {510, "haus-0510.akt", "14.03.1994"},  {700, "haus-0700.akt", "02.11.1997"},
    {1100, "haus-1100.akt", "21.06.2001"}, {1800, "haus-1800.akt", "09.09.2008"},
    {2500, "haus-2500.akt", "17.05.2015"},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_examples <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    try {
        for (const Example& e : kExamples) {
            const Drawing d = HousePlan(e.version).build(e.fileName, e.date);
            const std::string path = folder + "/" + e.fileName;
            if (!planora::akt::writeDrawingFile(d, path)) {
                std::fprintf(stderr, "make_examples: cannot write %s\n", path.c_str());
                return 1;
            }
        }
    } catch (const std::exception& ex) {
        std::fprintf(stderr, "make_examples: %s\n", ex.what());
        return 1;
    }
    return 0;
}
