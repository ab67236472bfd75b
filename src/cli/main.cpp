// planora-cli: looks into drawing files from the command line.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "drawing_file.h"
#include "drawing_report.h"

#ifdef PLANORA_HAVE_RENDER
#include "render_command.h"
#include "thumbnail_command.h"
#endif

namespace {

const char kUsage[] =
    "Aufruf:\n"
    "  planora-cli info ZEICHNUNG.akt     Übersicht: Version, Zeichnungsinformationen, Folien,\n"
    "                                     Maßstäbe und Anzahl der Elemente\n"
    "  planora-cli dump ZEICHNUNG.akt     die eingelesene Zeichnung als JSON\n"
#ifdef PLANORA_HAVE_RENDER
    "  planora-cli render ZEICHNUNG.akt... -o AUSGABE\n"
    "                                     Zeichnung als PNG, SVG oder PDF ausgeben\n"
    "                                     (planora-cli render --help zeigt die Optionen)\n"
#endif
#ifdef PLANORA_HAVE_RENDER
    "  planora-cli thumbnail [-s GRÖSSE] ZEICHNUNG.akt AUSGABE.png\n"
    "                                     Vorschaubild für Dateimanager\n"
#endif
    "  planora-cli --help                 diese Hilfe\n"
    "  planora-cli --version              Versionsnummer\n"
    "\n"
    "Rückgabewert: 0 bei Erfolg, 1 wenn eine Datei nicht eingelesen werden konnte,\n"
    "2 bei falschem Aufruf.\n";

int usageError(const std::string& why) {
    std::cerr << "planora-cli: " << why << "\n\n" << kUsage;
    return 2;
}

int inspect(const std::string& command, const std::string& path) {
    planora::DrawingModel model;
    if (planora::loadDrawing(model, path) == 0) {
        const std::string reason =
            model.lastLoadError.empty() ? planora::loadFailureReason(path) : model.lastLoadError;
        std::cerr << "Einlesefehler: " << reason << " (" << path << ")\n";
        return 1;
    }
    if (!model.loadWarning().empty()) {
        std::cerr << "Warnung: " << model.loadWarning() << " (" << path << ")\n";
    }
    std::cout << (command == "info" ? planora::drawingSummary(model) : planora::drawingJson(model));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return usageError("Es fehlt ein Befehl.");
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "--version") {
        std::cout << "planora-cli Version " << PLANORA_VERSION << "\n";
        return 0;
    }
    if (command == "info" || command == "dump") {
        if (args.size() == 2 && args[1] == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (args.size() != 2) {
            return usageError("Der Befehl \"" + command + "\" erwartet genau eine Datei.");
        }
        return inspect(command, args[1]);
    }
#ifdef PLANORA_HAVE_RENDER
    if (command == "render") {
        return runRenderCommand(std::vector<std::string>(args.begin() + 1, args.end()), std::cout,
                                std::cerr);
    }
    if (command == "thumbnail") {
        return runThumbnailCommand(std::vector<std::string>(args.begin() + 1, args.end()),
                                   std::cout, std::cerr);
    }
#endif
    return usageError("Unbekannter Befehl \"" + command + "\".");
}
