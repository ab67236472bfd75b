#include "dxf_export.h"

#include <dxflib/dl_dxf.h>
#include <dxflib/dl_writer_ascii.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>
#include <vector>

#include "buffered_output.h"
#include "element_geometry.h"

namespace planora {

namespace {

constexpr double kDegree = 3.141592653589793 / 180.0;
// Coordinates beyond this (ten million kilometres in centimetres) come only from broken records.
constexpr double kLargestCoordinate = 1e15;
constexpr double kMostCorners = 100000.0;

// dxflib's writer with the group codes going to a device and every real number written in the
// shortest form that reads back as the same double (dxflib's own writer keeps 16 decimals).
class DeviceDxfWriter final : public DL_WriterA {
  public:
    explicit DeviceDxfWriter(QIODevice& out) : DL_WriterA("", DL_Codes::AC1015), out_(&out) {}

    void dxfReal(int gc, double value) const override {
        char buffer[40];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
        std::string text(buffer, ec == std::errc() ? end : buffer);
        if (text.find_first_of(".eE") == std::string::npos) {
            text += ".0";
        }
        line(gc, text);
    }
    void dxfInt(int gc, int value) const override { line(gc, std::to_string(value)); }
    void dxfHex(int gc, int value) const override {
        char buffer[16];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
        std::string text(buffer, end);
        std::transform(text.begin(), text.end(), text.begin(), ::toupper);
        line(gc, text);
    }
    void dxfString(int gc, const char* value) const override { line(gc, value); }
    void dxfString(int gc, const std::string& value) const override { line(gc, value); }

    // Hands the buffered text to the device; false when any write failed.
    bool flush() const { return out_.flush(); }
    bool failed() const { return out_.failed(); }

  private:
    void line(int gc, std::string_view value) const {
        if (gc < 10) {
            out_ << "  ";
        } else if (gc < 100) {
            out_ << ' ';
        }
        out_.integer(gc) << '\n' << value << '\n';
    }

    mutable BufferedOutput out_;
};

// A text as a DXF of this version holds it: in the file's code page (1252, the drawing's own),
// with control characters, which would break the line structure of the file, as blanks.
std::string dxfText(std::string_view cp1252) {
    std::string out(cp1252);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20) {
            c = ' ';
        }
    }
    return out;
}

// A layer name as DXF allows it: the characters that table names cannot hold become '_'.
std::string layerName(int number, std::string_view cp1252Name) {
    std::string name = std::to_string(number);
    if (!cp1252Name.empty()) {
        name += ' ';
        name += dxfText(cp1252Name);
    }
    for (char& c : name) {
        if (std::string_view("<>/\":;?*|=`,").find(c) != std::string_view::npos) {
            c = '_';
        }
    }
    return name;
}

// 0x00BBGGRR to 0x00RRGGBB.
int trueColour(std::uint32_t colour) {
    const std::uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return static_cast<int>((r << 16) | (g << 8) | b);
}

// The colours of the standard DXF colour numbers 1..255 as 0x00BBGGRR: seven pure colours, two
// greys, 24 hues in five brightnesses at full and half saturation, and six greys.
const std::array<std::uint32_t, 256>& standardColours() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        auto rgb = [](double r, double g, double b) {
            auto v = [](double x) { return static_cast<std::uint32_t>(std::lround(x * 255.0)); };
            return v(r) | (v(g) << 8) | (v(b) << 16);
        };
        t[1] = rgb(1, 0, 0);
        t[2] = rgb(1, 1, 0);
        t[3] = rgb(0, 1, 0);
        t[4] = rgb(0, 1, 1);
        t[5] = rgb(0, 0, 1);
        t[6] = rgb(1, 0, 1);
        t[7] = rgb(1, 1, 1);
        t[8] = rgb(0.5, 0.5, 0.5);
        t[9] = rgb(0.75, 0.75, 0.75);
        const std::array<double, 5> brightness = {1.0, 0.65, 0.5, 0.3, 0.15};
        for (int i = 10; i < 250; ++i) {
            const double hue = (i - 10) / 10 * 15.0;
            const int shade = (i - 10) % 10;
            const double v = brightness[static_cast<std::size_t>(shade / 2)];
            const double s = shade % 2 == 0 ? 1.0 : 0.5;
            auto channel = [&](double offset) {
                // Full within 60 degrees of the channel's own hue, none beyond 120.
                const double d = std::abs(std::fmod(hue - offset + 540.0, 360.0) - 180.0);
                const double full = std::clamp(2.0 - d / 60.0, 0.0, 1.0);
                return v * (1.0 - s + s * full);
            };
            t[static_cast<std::size_t>(i)] = rgb(channel(0), channel(120), channel(240));
        }
        const std::array<double, 6> greys = {0.2, 0.31, 0.41, 0.51, 0.68, 1.0};
        for (int i = 250; i < 256; ++i) {
            const double g = greys[static_cast<std::size_t>(i - 250)];
            t[static_cast<std::size_t>(i)] = rgb(g, g, g);
        }
        return t;
    }();
    return table;
}

struct DxfLinetype {
    const char* name;
    const char* description;
    std::vector<double> pattern;  // dash lengths in drawing units, negative for gaps
};

// Line types by dash style; index 0 (solid) is the predefined CONTINUOUS.
const std::array<DxfLinetype, 5>& linetypes() {
    static const std::array<DxfLinetype, 5> table = {{
        {"CONTINUOUS", "Solid line", {}},
        {"STRICH", "Strich __ __ __", {0.5, -0.25}},
        {"PUNKT", "Punkt . . . .", {0.0, -0.2}},
        {"STRICHPUNKT", "Strichpunkt __ . __ .", {0.5, -0.2, 0.0, -0.2}},
        {"STRICHPUNKTPUNKT", "Strichpunktpunkt __ . . __", {0.5, -0.2, 0.0, -0.2, 0.0, -0.2}},
    }};
    return table;
}

const char* linetypeName(std::int32_t styleCode) {
    return linetypes()[static_cast<std::size_t>(dashStyleForCode(styleCode))].name;
}

void writeClosedPolyline(DL_Dxf& dxf, DeviceDxfWriter& dw, const std::vector<GeometryPoint>& pts,
                         const DL_Attributes& attributes) {
    dxf.writePolyline(dw, DL_PolylineData(static_cast<int>(pts.size()), 0, 0, 1), attributes);
    for (const GeometryPoint& p : pts) {
        dxf.writeVertex(dw, DL_VertexData(p.x, p.y, 0.0, 0.0));
    }
    dxf.writePolylineEnd(dw);
}

bool withinRange(double v) {
    return std::isfinite(v) && std::abs(v) <= kLargestCoordinate;
}

}  // namespace

bool exportableGeometry(const ElementStore& store, const Element& e) {
    if (e.kind == ElementKind::Polygon) {
        const PolygonPoints points = store.polygon(e);
        if (points.size() < 3) {
            return false;
        }
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (!withinRange(points.x[i]) || !withinRange(points.y[i])) {
                return false;
            }
        }
        return true;
    }
    const int n = usedGeometryFields(e.kind);
    if (n == 0) {
        return false;  // an unknown kind draws nothing
    }
    for (int i = 0; i < n; ++i) {
        if (!withinRange(e.g[i])) {
            return false;
        }
    }
    if (e.kind == ElementKind::RegularPolygon) {
        const double corners = std::trunc(e.g[4]);
        return corners >= 1.0 && corners <= kMostCorners;
    }
    return true;
}

int nearestDxfColourNumber(std::uint32_t colour) {
    const auto& table = standardColours();
    auto channel = [](std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); };
    int best = 7;
    long bestDistance = -1;
    for (int i = 1; i < 256; ++i) {
        long d = 0;
        for (int shift : {0, 8, 16}) {
            const long delta =
                channel(colour, shift) - channel(table[static_cast<std::size_t>(i)], shift);
            d += delta * delta;
        }
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

VectorExportResult writeDxf(QIODevice& out, const DrawingModel& model, const Renderer& renderer) {
    VectorExportResult result;
    const ElementStore& store = model.store;
    const bool black = renderer.blackOutput();

    // Layers: every number of the layer list and of the elements, in ascending order. A layer is
    // off when its elements are hidden, or, without elements, when every entry is off.
    struct LayerState {
        std::string name;
        bool hasName = false;
        bool anyEntryOn = false;
        bool hasEntry = false;
        bool hasElements = false;
        bool elementsHidden = false;
    };
    std::map<int, LayerState> layers;
    for (const LayerEntry& entry : model.layers) {
        LayerState& state = layers[entry.number];
        if (!state.hasName) {
            state.name = entry.name;
            state.hasName = true;
        }
        state.hasEntry = true;
        state.anyEntryOn = state.anyEntryOn || entry.visible != 0;
    }
    for (const Element& e : store.elements()) {
        LayerState& state = layers[e.layer()];
        if (!state.hasElements) {
            state.hasElements = true;
            state.elementsHidden = !e.visible();
        }
    }
    std::map<int, std::string> names;
    for (const auto& [number, state] : layers) {
        names[number] = layerName(number, state.name);
    }

    DL_Dxf dxf;
    DeviceDxfWriter dw(out);

    // The head: the drawing's most used scale as a comment, then the header variables.
    const ScaleStatistics::Entry* mostUsed = nullptr;
    for (const auto& entry : model.scales.entries()) {
        if (mostUsed == nullptr || entry.count > mostUsed->count) {
            mostUsed = &entry;
        }
    }
    if (mostUsed != nullptr && mostUsed->denominator > 0) {
        dw.dxfString(999, "Massstab 1:" + std::to_string(mostUsed->denominator));
    }
    dxf.writeHeader(dw);
    dw.dxfString(9, "$INSUNITS");
    dw.dxfInt(70, 5);  // centimetres
    dw.dxfString(9, "$DWGCODEPAGE");
    dw.dxfString(3, "ANSI_1252");
    dw.sectionEnd();

    dw.sectionTables();
    dxf.writeVPort(dw);
    dw.tableLinetypes(static_cast<int>(linetypes().size()) + 2);
    dxf.writeLinetype(dw, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
    for (const DxfLinetype& type : linetypes()) {
        std::vector<double> pattern = type.pattern;
        double length = 0.0;
        for (double d : pattern) {
            length += std::abs(d);
        }
        dxf.writeLinetype(
            dw, DL_LinetypeData(type.name, type.description, 0, static_cast<int>(pattern.size()),
                                length, pattern.empty() ? nullptr : pattern.data()));
    }
    dw.tableEnd();

    dw.tableLayers(static_cast<int>(layers.size()) + 1);
    dxf.writeLayer(dw, DL_LayerData("0", 0), DL_Attributes("", 7, -1, -3, "CONTINUOUS"));
    for (const auto& [number, state] : layers) {
        const bool on =
            state.hasElements ? !state.elementsHidden : (!state.hasEntry || state.anyEntryOn);
        // A negative colour number switches a layer off.
        dxf.writeLayer(dw, DL_LayerData(names[number], 0),
                       DL_Attributes("", on ? 7 : -7, -1, -3, "CONTINUOUS"));
    }
    dw.tableEnd();

    dw.tableStyle(1);
    dxf.writeStyle(
        dw, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, 1.0, "LiberationSans-Regular.ttf", ""));
    dw.tableEnd();
    dxf.writeView(dw);
    dxf.writeUcs(dw);
    dw.tableAppid(1);
    dxf.writeAppid(dw, "ACAD");
    dw.tableEnd();
    dxf.writeDimStyle(dw, 1.0, 1.0, 1.0, 1.0, 1.0);
    dxf.writeBlockRecord(dw);
    dw.tableEnd();
    dw.sectionEnd();

    dw.sectionBlocks();
    for (const char* block : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
        dxf.writeBlock(dw, DL_BlockData(block, 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(dw, block);
    }
    dw.sectionEnd();

    dw.sectionEntities();
    std::vector<GeometryPoint> points;
    // Drawings use a handful of colours; the search over the standard colours is done once each.
    std::map<std::uint32_t, int> colourNumbers;
    for (const Element& e : store.elements()) {
        if (!exportableGeometry(store, e)) {
            ++result.skipped;
            continue;
        }
        const std::uint32_t colour = e.kind == ElementKind::Polygon
                                         ? 0x008000FFu
                                         : (black ? 0u : renderer.penColour(e.penField));
        auto [known, fresh] = colourNumbers.try_emplace(colour, 0);
        if (fresh) {
            known->second = nearestDxfColourNumber(colour);
        }
        const DL_Attributes attributes(names[e.layer()], known->second, trueColour(colour), -1,
                                       linetypeName(e.lineStyle));
        const double* g = e.g;
        switch (e.kind) {
            case ElementKind::Line:
                dxf.writeLine(dw, DL_LineData(g[0], g[1], 0.0, g[2], g[3], 0.0), attributes);
                break;
            case ElementKind::Circle:
                dxf.writeCircle(dw, DL_CircleData(g[0], g[1], 0.0, std::abs(g[2])), attributes);
                break;
            case ElementKind::Arc:
                dxf.writeArc(dw, DL_ArcData(g[0], g[1], 0.0, std::abs(g[2]), g[3], g[4]),
                             attributes);
                break;
            case ElementKind::Text: {
                // The element keeps the top of the text cell, 1.2 letter heights above the base
                // line; DXF places a text by its base line and letter height.
                const double letter = g[3] * 0.75;
                const double a = g[2] * kDegree;
                const double bx = g[0] + std::sin(a) * 1.2 * letter;
                const double by = g[1] - std::cos(a) * 1.2 * letter;
                const double width = g[4] > 0.0 && std::isfinite(g[4]) ? g[4] : 1.0;
                dxf.writeText(dw,
                              DL_TextData(bx, by, 0.0, bx, by, 0.0, letter, width, 0, 0, 0,
                                          dxfText(store.text(e)), "Standard", a),
                              attributes);
                break;
            }
            case ElementKind::RegularPolygon: {
                const int corners = static_cast<int>(g[4]);
                points.clear();
                double angle = g[3];
                for (int k = 0; k < corners; ++k) {
                    points.push_back({g[0] + g[2] * std::cos(angle * kDegree),
                                      g[1] + g[2] * std::sin(angle * kDegree)});
                    angle += 360.0 / corners;
                }
                writeClosedPolyline(dxf, dw, points, attributes);
                break;
            }
            case ElementKind::Rectangle: {
                const double c = std::cos(g[4] * kDegree), s = std::sin(g[4] * kDegree);
                const double hw = g[2] / 2, hh = g[3] / 2;
                points = {{g[0] - hw * c - hh * s, g[1] - hw * s + hh * c},
                          {g[0] + hw * c - hh * s, g[1] + hw * s + hh * c},
                          {g[0] + hw * c + hh * s, g[1] + hw * s - hh * c},
                          {g[0] - hw * c + hh * s, g[1] - hw * s - hh * c}};
                writeClosedPolyline(dxf, dw, points, attributes);
                break;
            }
            case ElementKind::Polygon: {
                const PolygonPoints p = store.polygon(e);
                const std::size_t n = p.size();
                dxf.writeHatch1(dw, DL_HatchData(1, true, 1.0, 0.0, "SOLID"), attributes);
                dxf.writeHatchLoop1(dw, DL_HatchLoopData(static_cast<int>(n)));
                for (std::size_t k = 0; k < n; ++k) {
                    const std::size_t next = (k + 1) % n;
                    dxf.writeHatchEdge(dw, DL_HatchEdgeData(p.x[k], p.y[k], p.x[next], p.y[next]));
                }
                dxf.writeHatchLoop2(dw, DL_HatchLoopData(static_cast<int>(n)));
                dxf.writeHatch2(dw, DL_HatchData(1, true, 1.0, 0.0, "SOLID"), attributes);
                break;
            }
        }
        if (dw.failed()) {
            break;
        }
    }
    dw.sectionEnd();
    dxf.writeObjects(dw);
    dxf.writeObjectsEnd(dw);
    dw.dxfEOF();
    if (!dw.flush()) {
        result.error = "Ausgabedatei kann nicht geschrieben werden.";
    }
    return result;
}

}  // namespace planora
