#include "export_command.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <new>
#include <optional>
#include <utility>

#include "drawing_export.h"
#include "drawing_report.h"
#include "dxf_export.h"
#include "open_drawing.h"
#include "output_targets.h"
#include "renderer.h"
#include "text_encoding.h"
#include "vector_export.h"

namespace planora {
namespace {

const char* const kUsage =
    "Aufruf: planora-cli export ZEICHNUNG.akt... -o AUSGABE [Optionen]\n"
    "  -o DATEI|ORDNER      Ausgabedatei (.dxf, .pdf, .svg oder .png); bei mehreren\n"
    "                       Zeichnungen ein Ordner, in den je Zeichnung eine Datei kommt\n"
    "  --format dxf|pdf|svg|png  Format der Dateien im Ausgabeordner (Vorgabe dxf)\n"
    "  --background RRGGBB|none  Hintergrund (Vorgabe 000000, mit --black FFFFFF)\n"
    "  --paper A4|A3|A2|A1|A0|BxHmm  PDF auf Papier dieser Größe (sonst so groß wie die\n"
    "                       Zeichnung, 1 Einheit = 1 cm)\n"
    "  --true-scale         mit --paper: 1 Einheit = 1 cm auf dem Papier; größere Zeichnungen\n"
    "                       auf mehrere Blätter mit 1 cm Überlappung und Schnittmarken\n"
    "  --black              alle Linien und Texte schwarz\n"
    "  --layer-off N        Folie N ausschalten (mehrfach möglich)\n";

enum class Target { Dxf, Pdf, Svg, Png };

const char* extensionOf(Target t) {
    switch (t) {
        case Target::Dxf:
            return ".dxf";
        case Target::Pdf:
            return ".pdf";
        case Target::Svg:
            return ".svg";
        case Target::Png:
            return ".png";
    }
    return "";
}

std::optional<Target> targetByName(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == "dxf") {
        return Target::Dxf;
    }
    if (name == "png") {
        return Target::Png;
    }
    if (name == "pdf") {
        return Target::Pdf;
    }
    if (name == "svg") {
        return Target::Svg;
    }
    return std::nullopt;
}

std::optional<Target> targetForPath(const std::string& path) {
    const std::string ext = std::filesystem::path(path).extension().string();
    return ext.size() > 1 ? targetByName(ext.substr(1)) : std::nullopt;
}

struct Options {
    std::vector<std::string> inputs;
    std::string output;
    std::optional<Target> folderFormat;
    bool black = false;
    bool noBackground = false;
    std::optional<std::pair<double, double>> paperMm;
    bool trueScale = false;
    std::optional<std::uint32_t> background;
    std::vector<int> layersOff;
};

// "A4" .. "A0" or "WxHmm" (210x297mm) to width and height in millimetres.
std::optional<std::pair<double, double>> parsePaper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::pair<const char*, std::pair<double, double>> named[] = {{"a4", {210, 297}},
                                                                              {"a3", {297, 420}},
                                                                              {"a2", {420, 594}},
                                                                              {"a1", {594, 841}},
                                                                              {"a0", {841, 1189}}};
    for (const auto& [name, size] : named) {
        if (s == name) {
            return size;
        }
    }
    if (s.size() < 3 || s.substr(s.size() - 2) != "mm") {
        return std::nullopt;
    }
    s.resize(s.size() - 2);
    const auto x = s.find('x');
    if (x == std::string::npos) {
        return std::nullopt;
    }
    double w = 0, h = 0;
    const char* end = s.data() + s.size();
    const auto rw = std::from_chars(s.data(), s.data() + x, w);
    const auto rh = std::from_chars(s.data() + x + 1, end, h);
    // From a label to a plotter roll; the printable area inside 1 cm margins must not vanish.
    if (rw.ec != std::errc() || rw.ptr != s.data() + x || rh.ec != std::errc() || rh.ptr != end ||
        !(w >= 50 && w <= 5000) || !(h >= 50 && h <= 5000)) {
        return std::nullopt;
    }
    return std::pair{w, h};
}

// "RRGGBB" (an optional leading '#') to 0x00BBGGRR.
std::optional<std::uint32_t> parseColour(std::string s) {
    if (!s.empty() && s[0] == '#') {
        s.erase(0, 1);
    }
    std::uint32_t rgb = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), rgb, 16);
    if (s.size() != 6 || ec != std::errc() || ptr != s.data() + s.size()) {
        return std::nullopt;
    }
    return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

std::optional<std::string> parse(const std::vector<std::string>& args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-o" || a == "--output") {
            if (!hasValue) {
                return "Option " + a + " braucht einen Wert.";
            }
            o.output = args[++i];
        } else if (a == "--format") {
            if (!hasValue || !(o.folderFormat = targetByName(args[++i]))) {
                return std::string("Ungültiges Format bei --format (dxf, pdf, svg oder png).");
            }
        } else if (a == "--paper") {
            if (!hasValue || !(o.paperMm = parsePaper(args[++i]))) {
                return std::string(
                    "Ungültiges Papierformat bei --paper (A4, A3, A2, A1, A0 oder z. B. "
                    "500x700mm).");
            }
        } else if (a == "--true-scale") {
            o.trueScale = true;
        } else if (a == "--background") {
            const std::string v = hasValue ? args[++i] : std::string();
            if (v == "none") {
                o.noBackground = true;
            } else if (!(o.background = parseColour(v))) {
                return std::string("Ungültige Farbe bei --background (erwartet RRGGBB oder none).");
            }
        } else if (a == "--black") {
            o.black = true;
        } else if (a == "--layer-off") {
            int layer = -1;
            const std::string v = hasValue ? args[++i] : std::string();
            const auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), layer);
            if (v.empty() || ec != std::errc() || ptr != v.data() + v.size() || layer < 0) {
                return std::string("Ungültige Foliennummer bei --layer-off.");
            }
            o.layersOff.push_back(layer);
        } else if (a.size() > 1 && a[0] == '-') {
            return "Unbekannte Option: " + a;
        } else {
            o.inputs.push_back(a);
        }
    }
    if (o.inputs.empty()) {
        return std::string("Keine Zeichnung angegeben.");
    }
    if (o.output.empty()) {
        return std::string("Keine Ausgabe angegeben (-o).");
    }
    if (o.trueScale && !o.paperMm) {
        return std::string("--true-scale braucht ein Papierformat (--paper).");
    }
    return std::nullopt;
}

}  // namespace
}  // namespace planora

int runExportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    using namespace planora;
    namespace fs = std::filesystem;
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kUsage;
        return 0;
    }
    Options o;
    if (const auto problem = parse(args, o)) {
        err << *problem << "\n" << kUsage;
        return 2;
    }
    std::error_code ec;
    const bool toFolder = o.inputs.size() > 1 || fs::is_directory(o.output, ec);
    std::optional<Target> format =
        toFolder ? o.folderFormat.value_or(Target::Dxf) : targetForPath(o.output);
    if (!format) {
        err << "Unbekanntes Ausgabeformat (erlaubt: .dxf, .pdf, .svg oder .png): "
            << printableFileName(o.output) << "\n"
            << kUsage;
        return 2;
    }
    std::vector<std::string> targets;
    for (const std::string& input : o.inputs) {
        targets.push_back(toFolder ? (fs::path(o.output) / fs::path(input).stem()).string() +
                                         extensionOf(*format)
                                   : o.output);
    }
    if (const auto problem = checkOutputTargets(o.inputs, targets)) {
        err << *problem << "\n";
        return 1;
    }
    if (toFolder && !fs::is_directory(o.output, ec) && !fs::create_directories(o.output, ec)) {
        err << "Ausgabeordner kann nicht angelegt werden: " << printableFileName(o.output) << "\n";
        return 1;
    }
    const auto app = *format == Target::Png ? ensureGuiApplication() : nullptr;

    Renderer renderer;
    renderer.setBlackOutput(o.black);
    renderer.setBackgroundColour(o.background.value_or(o.black ? 0x00FFFFFFu : 0u));
    VectorExportOptions vectorOptions;
    if (!o.noBackground) {
        vectorOptions.background = renderer.backgroundColour();
    }
    if (o.paperMm) {
        vectorOptions.pageWidthMm = o.paperMm->first;
        vectorOptions.pageHeightMm = o.paperMm->second;
        vectorOptions.trueScale = o.trueScale;
    }
    int status = 0;
    for (std::size_t k = 0; k < o.inputs.size(); ++k) {
        const std::string& input = o.inputs[k];
        const std::string& target = targets[k];
        OpenResult opened = openDrawing(input);
        if (!opened.ok()) {
            err << "Einlesefehler: "
                << (opened.error.empty() ? loadFailureReason(input) : opened.error) << " ("
                << printableFileName(input) << ")\n";
            status = 1;
            continue;
        }
        if (!opened.warning.empty()) {
            err << "Warnung: " << opened.warning << " (" << printableFileName(input) << ")\n";
        }
        DrawingModel& model = *opened.model;
        for (int layer : o.layersOff) {
            model.setLayerVisible(layer, false);
        }
        std::string problem;
        std::size_t skipped = 0;
        if (*format != Target::Png) {
            const VectorFormat vector = *format == Target::Dxf   ? VectorFormat::Dxf
                                        : *format == Target::Svg ? VectorFormat::Svg
                                                                 : VectorFormat::Pdf;
            const VectorExportResult result =
                exportVectorFile(vector, model, renderer, vectorOptions, target);
            problem = result.error;
            skipped = result.skipped;
        } else {
            ExportOptions options;
            options.format = ExportFormat::Png;
            problem = exportDrawing(model, renderer, target, options);
        }
        if (!problem.empty()) {
            err << problem << " (" << printableFileName(input) << ")\n";
            status = 1;
            continue;
        }
        if (skipped > 0) {
            err << "Warnung: " << skipped
                << (skipped == 1 ? " Element mit ungültiger Geometrie wurde"
                                 : " Elemente mit ungültiger Geometrie wurden")
                << " nicht exportiert (" << printableFileName(input) << ")\n";
        }
        out << printableFileName(input) << " -> " << printableFileName(target) << "\n";
    }
    return status;
}
