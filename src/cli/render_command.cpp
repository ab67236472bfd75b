#include "render_command.h"

#include <sys/stat.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "drawing_export.h"
#include "drawing_file.h"
#include "drawing_model.h"
#include "drawing_report.h"
#include "open_drawing.h"
#include "output_targets.h"
#include "renderer.h"
#include "text_encoding.h"
#include "zip_input.h"

namespace planora {

namespace {

const char* const kUsage =
    "Aufruf: planora-cli render ZEICHNUNG.akt... -o AUSGABE [Optionen]\n"
    "  -o DATEI|ORDNER      Ausgabedatei (.png, .svg oder .pdf); bei mehreren Zeichnungen\n"
    "                       ein Ordner, in den je Zeichnung eine Datei geschrieben wird\n"
    "  --format png|svg|pdf Format der Dateien im Ausgabeordner (Vorgabe png)\n"
    "  --size BxH           Größe in Pixeln (Vorgabe 1600x1200); PDF behält das Seitenverhältnis\n"
    "  --background RRGGBB  Hintergrundfarbe (Vorgabe 000000, mit --black FFFFFF)\n"
    "  --black              alle Linien und Texte schwarz, wie beim Drucken\n"
    "  --layer-off N        Folie N vor dem Zeichnen ausschalten (mehrfach möglich)\n";

struct Options {
    std::vector<std::string> inputs;
    std::string output;
    std::optional<ExportFormat> folderFormat;
    int width = 1600;
    int height = 1200;
    std::optional<std::uint32_t> background;
    bool black = false;
    std::vector<int> layersOff;
};

std::optional<int> parseInt(const std::string& s) {
    int value = 0;
    const char* end = s.data() + s.size();
    const auto [ptr, ec] = std::from_chars(s.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

bool parseSize(const std::string& s, int& w, int& h) {
    const auto x = s.find_first_of("xX");
    if (x == std::string::npos) {
        return false;
    }
    const auto pw = parseInt(s.substr(0, x));
    const auto ph = parseInt(s.substr(x + 1));
    // Bounded so that an image always fits in memory.
    if (!pw || !ph || *pw < 1 || *ph < 1 || *pw > 20000 || *ph > 20000) {
        return false;
    }
    w = *pw;
    h = *ph;
    return true;
}

// "RRGGBB" (an optional leading '#') to 0x00BBGGRR.
std::optional<std::uint32_t> parseColour(std::string s) {
    if (!s.empty() && s[0] == '#') {
        s.erase(0, 1);
    }
    if (s.size() != 6) {
        return std::nullopt;
    }
    std::uint32_t rgb = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), rgb, 16);
    if (ec != std::errc() || ptr != s.data() + s.size()) {
        return std::nullopt;
    }
    const std::uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return r | (g << 8) | (b << 16);
}

// The export formats by name ("png, svg oder pdf") or extension (".png, .svg oder .pdf").
std::string formatList(bool extensions) {
    std::string list;
    const auto formats = exportFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0) {
            list += i + 1 == formats.size() ? " oder " : ", ";
        }
        list += extensions ? formats[i].extension : formats[i].name;
    }
    return list;
}

// Parses the arguments; on a usage error returns the message.
std::optional<std::string> parse(const std::vector<std::string>& args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "-o" || a == "--output") {
            if (!value(o.output)) {
                return "Option " + a + " braucht einen Wert.";
            }
        } else if (a == "--size") {
            if (!value(v) || !parseSize(v, o.width, o.height)) {
                return "Ungültige Größe bei --size (erwartet z. B. 1600x1200).";
            }
        } else if (a == "--background") {
            if (!value(v) || !(o.background = parseColour(v))) {
                return "Ungültige Farbe bei --background (erwartet RRGGBB).";
            }
        } else if (a == "--black") {
            o.black = true;
        } else if (a == "--layer-off") {
            std::optional<int> layer;
            if (!value(v) || !(layer = parseInt(v)) || *layer < 0) {
                return "Ungültige Foliennummer bei --layer-off.";
            }
            o.layersOff.push_back(*layer);
        } else if (a == "--format") {
            if (!value(v) || !(o.folderFormat = exportFormatByName(v))) {
                return "Ungültiges Format bei --format (" + formatList(false) + ").";
            }
        } else if (a.size() > 1 && a[0] == '-') {
            return "Unbekannte Option: " + a;
        } else {
            o.inputs.push_back(a);
        }
    }
    if (o.inputs.empty()) {
        return "Keine Zeichnung angegeben.";
    }
    if (o.output.empty()) {
        return "Keine Ausgabe angegeben (-o).";
    }
    return std::nullopt;
}

}  // namespace
}  // namespace planora

int runRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    using namespace planora;
    namespace fs = std::filesystem;
    Options o;
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kUsage;
        return 0;
    }
    if (const auto problem = parse(args, o)) {
        err << *problem << "\n" << kUsage;
        return 2;
    }

    // Zip files stand for the drawings inside them, unpacked until the command ends.
    CliZipInputs zipInputs;
    const auto drawings = zipInputs.expand(o.inputs, err);
    if (!drawings) {
        return 1;
    }
    std::vector<std::string> shownNames;
    o.inputs.clear();
    for (const CliDrawing& drawing : *drawings) {
        o.inputs.push_back(drawing.path);
        shownNames.push_back(drawing.shownName);
    }

    std::error_code ec;
    const bool toFolder = o.inputs.size() > 1 || fs::is_directory(o.output, ec);
    std::optional<ExportFormat> singleFormat;
    if (!toFolder) {
        singleFormat = exportFormatForPath(o.output);
        if (!singleFormat) {
            err << "Unbekanntes Ausgabeformat (erlaubt: " << formatList(true)
                << "): " << printableFileName(o.output) << "\n"
                << kUsage;
            return 2;
        }
    }
    const ExportFormat format =
        toFolder ? o.folderFormat.value_or(ExportFormat::Png) : *singleFormat;
    std::vector<std::string> targets;
    for (const std::string& input : o.inputs) {
        targets.push_back(toFolder ? (fs::path(o.output) / fs::path(input).stem()).string() +
                                         std::string(exportFormatInfo(format).extension)
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

    const auto app = ensureGuiApplication();

    Renderer renderer;
    renderer.setBlackOutput(o.black);
    renderer.setBackgroundColour(o.background.value_or(o.black ? 0x00FFFFFFu : 0u));

    int status = 0;
    for (std::size_t k = 0; k < o.inputs.size(); ++k) {
        const std::string& input = o.inputs[k];
        const std::string& target = targets[k];
        OpenResult opened = openDrawing(input);
        if (!opened.ok()) {
            err << "Einlesefehler: "
                << (opened.error.empty() ? loadFailureReason(input) : opened.error) << " ("
                << shownNames[k] << ")\n";
            status = 1;
            continue;
        }
        if (!opened.warning.empty()) {
            err << "Warnung: " << opened.warning << " (" << shownNames[k] << ")\n";
        }
        DrawingModel& model = *opened.model;
        for (int layer : o.layersOff) {
            model.setLayerVisible(layer, false);
        }

        ExportOptions options;
        options.width = o.width;
        options.height = o.height;
        options.format = format;
        renderer.invalidateElementCache();
        const std::string problem = exportDrawing(model, renderer, target, options);
        renderer.invalidateElementCache();
        if (!problem.empty()) {
            err << problem << " (" << shownNames[k] << ")\n";
            status = 1;
            continue;
        }
        out << shownNames[k] << " -> " << printableFileName(target) << "\n";
    }
    return status;
}
