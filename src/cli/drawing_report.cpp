#include "drawing_report.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "drawing_info.h"
#include "text_encoding.h"

namespace planora {
namespace {

void appendNumber(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    if (v == 0 && std::signbit(v)) {
        out += "-0.0";  // "-0" would read back as the integer 0
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, result.ptr);
}

void appendUtf8String(std::string& out, std::string_view utf8) {
    out.push_back('"');
    std::size_t plain = 0;  // start of the run of bytes that need no escape
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            continue;
        }
        out.append(utf8.substr(plain, i - plain));
        plain = i + 1;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            }
        }
    }
    out.append(utf8.substr(plain));
    out.push_back('"');
}

void appendString(std::string& out, std::string_view cp1252) {
    appendUtf8String(out, toUtf8FromCp1252(cp1252));
}

// Control characters of drawing texts made visible for a terminal.
std::string printable(std::string_view cp1252) {
    std::string out;
    for (unsigned char c : toUtf8FromCp1252(cp1252)) {
        if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

}  // namespace

const char* elementKindName(ElementKind kind) {
    switch (kind) {
        case ElementKind::Line:
            return "Line";
        case ElementKind::Circle:
            return "Circle";
        case ElementKind::Arc:
            return "Arc";
        case ElementKind::Text:
            return "Text";
        case ElementKind::RegularPolygon:
            return "RegularPolygon";
        case ElementKind::Rectangle:
            return "Rectangle";
        case ElementKind::Polygon:
            return "Polygon";
    }
    return "Unknown";
}

namespace {

// Collects the JSON in a small buffer and hands it to the stream in pieces, so that memory
// stays bounded however large the output grows; stops at the first failed write.
class JsonWriter {
  public:
    explicit JsonWriter(std::ostream& out) : out_(out) { buffer_.reserve(kChunk + 4096); }

    std::string& buffer() { return buffer_; }

    bool flushIfLarge() { return buffer_.size() < kChunk || flush(); }

    bool flush() {
        if (!buffer_.empty()) {
            out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
            buffer_.clear();
        }
        return static_cast<bool>(out_);
    }

  private:
    static constexpr std::size_t kChunk = 64 * 1024;
    std::ostream& out_;
    std::string buffer_;
};

void appendHead(std::string& out, const DrawingModel& model) {
    out += "{\"version\": ";
    out += std::to_string(model.version);
    out += ",\n \"headerValues\": [";
    for (std::size_t i = 0; i < model.headerValues.size(); ++i) {
        if (i > 0) {
            out += ", ";
        }
        appendNumber(out, model.headerValues[i]);
    }
    out += "],\n \"drawingInfo\": [";
    const auto info = model.drawingInfo.copyAll();
    for (std::size_t i = 0; i < info.size(); ++i) {
        if (i > 0) {
            out += ", ";
        }
        if (info[i]) {
            appendString(out, *info[i]);
        } else {
            out += "null";
        }
    }
}

void appendLayer(std::string& out, const LayerEntry& layer, bool first) {
    out += first ? "\n  " : ",\n  ";
    out += "{\"number\": " + std::to_string(layer.number) + ", \"name\": ";
    appendString(out, layer.name);
    out += layer.visible ? ", \"visible\": true}" : ", \"visible\": false}";
}

void appendScales(std::string& out, const ScaleStatistics& statistics) {
    const auto& scales = statistics.entries();
    for (std::size_t i = 0; i < scales.size(); ++i) {
        out += i > 0 ? ", " : "";
        out += "{\"denominator\": " + std::to_string(scales[i].denominator) +
               ", \"count\": " + std::to_string(scales[i].count) + "}";
    }
}

void appendElement(std::string& out, const ElementStore& store, const Element& e, bool first) {
    out += first ? "\n  " : ",\n  ";
    out += "{\"kind\": \"";
    out += elementKindName(e.kind);
    out += "\", \"layerField\": " + std::to_string(e.layerField) +
           ", \"penField\": " + std::to_string(e.penField) +
           ", \"lineStyle\": " + std::to_string(e.lineStyle);
    if (e.kind == ElementKind::Polygon) {
        const PolygonPoints points = store.polygon(e);
        for (const PointColumn* axis : {&points.x, &points.y}) {
            out += axis == &points.x ? ", \"x\": [" : ", \"y\": [";
            for (std::size_t k = 0; k < axis->size(); ++k) {
                if (k > 0) {
                    out += ", ";
                }
                appendNumber(out, (*axis)[k]);
            }
            out += "]";
        }
    } else {
        out += ", \"g\": [";
        for (int k = 0; k < 5; ++k) {
            if (k > 0) {
                out += ", ";
            }
            appendNumber(out, e.g[k]);
        }
        out += "]";
    }
    if (e.kind == ElementKind::Text) {
        out += ", \"text\": ";
        appendString(out, store.text(e));
    }
    out += "}";
}

}  // namespace

bool writeDrawingJson(std::ostream& stream, const DrawingModel& model) {
    JsonWriter writer(stream);
    std::string& out = writer.buffer();
    appendHead(out, model);
    out += "],\n \"layers\": [";
    for (std::size_t i = 0; i < model.layers.size(); ++i) {
        appendLayer(out, model.layers[i], i == 0);
        if (!writer.flushIfLarge()) {
            return false;
        }
    }
    out += "],\n \"scales\": [";
    appendScales(out, model.scales);
    out += "],\n \"elements\": [";
    const ElementStore& store = model.store;
    for (std::size_t i = 0; i < store.elementCount(); ++i) {
        appendElement(out, store, store.elementArray()[i], i == 0);
        if (!writer.flushIfLarge()) {
            return false;
        }
    }
    out += "],\n \"warning\": ";
    if (model.loadWarning().empty()) {
        out += "null";
    } else {
        appendUtf8String(out, model.loadWarning());
    }
    out += "}\n";
    return writer.flush();
}

std::string drawingJson(const DrawingModel& model) {
    std::ostringstream out;
    writeDrawingJson(out, model);
    return std::move(out).str();
}

std::string drawingSummary(const DrawingModel& model) {
    std::string out;
    out += "Datei: " + printableFileName(model.currentDrawingPath) + "\n";
    out += "Format: Version " + std::to_string(model.version) + "\n";
    static const std::array<std::pair<int, const char*>, 5> shown = {{
        {kInfoProject, "Projekt"},
        {kInfoStructure, "Bauwerk"},
        {kInfoBuildingPart, "Bauteil"},
        {kInfoSavedAs, "gespeichert unter"},
        {kInfoDate, "Datum"},
    }};
    for (const auto& [slot, label] : shown) {
        const auto text = model.drawingInfo.text(static_cast<std::size_t>(slot));
        out += std::string(label) + ": " + (text ? printable(*text) : std::string()) + "\n";
    }
    out += "Bemerkungen:\n";
    for (int slot = kInfoRemarkFirst; slot <= kInfoRemarkLast; ++slot) {
        if (const auto text = model.drawingInfo.text(static_cast<std::size_t>(slot))) {
            for (const std::string& line : splitRemarkLines(*text)) {
                out += "  " + printable(line) + "\n";
            }
        }
    }

    out += "Folien: " + std::to_string(model.layers.size()) +
           " (an: " + std::to_string(model.visibleLayerCount()) + ")\n";
    for (const LayerEntry& layer : model.layers) {
        char number[16];
        std::snprintf(number, sizeof number, "%5d", layer.number);
        out += std::string("  ") + number + (layer.visible ? "  an   " : "  aus  ") +
               printable(layer.name) + "\n";
    }

    out += "Maßstäbe:";
    for (const auto& scale : model.scales.entries()) {
        out += " 1:" + std::to_string(scale.denominator) + " (" + std::to_string(scale.count) + ")";
    }
    out += "\n";

    static const std::array<const char*, 7> kindLabels = {
        "Linien", "Kreise", "Bögen", "Texte", "Vielecke", "Rechtecke", "Flächen"};
    std::array<std::size_t, 7> counts{};
    for (const Element& e : model.store.elements()) {
        const auto k = static_cast<std::size_t>(e.kind);
        if (k < counts.size()) {
            ++counts[k];
        }
    }
    out += "Elemente: " + std::to_string(model.store.elementCount()) + "\n";
    for (std::size_t k = 0; k < counts.size(); ++k) {
        out += std::string("  ") + kindLabels[k] + ": " + std::to_string(counts[k]) + "\n";
    }
    if (!model.loadWarning().empty()) {
        out += "Warnung: " + model.loadWarning() + "\n";
    }
    return out;
}

std::string loadFailureReason(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return "Die Datei kann nicht geöffnet werden.";
    }
    char magic[3] = {};
    file.read(magic, 3);
    if (file.gcount() < 3 || magic[0] != 'K' || magic[1] != 'V' || magic[2] != 'N') {
        return "Die Datei ist keine kvn-cad-Zeichnung.";
    }
    return "Die Version der Zeichnungsdatei wird nicht unterstützt.";
}

}  // namespace planora
