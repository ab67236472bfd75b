// planora-cli: looks into drawing files from the command line.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "drawing_report.h"
#include "open_drawing.h"
#include "text_encoding.h"
#include "zip_input.h"

#ifdef PLANORA_HAVE_RENDER
#include "export_command.h"
#include "render_command.h"
#include "thumbnail_command.h"
#endif
#ifdef PLANORA_HAVE_ARCHIVE
#include "archive_command.h"
#endif

namespace {

const char kUsage[] =
    "Aufruf:\n"
    "  planora-cli info ZEICHNUNG.akt     Übersicht: Version, Zeichnungsinformationen, Folien,\n"
    "                                     Maßstäbe und Anzahl der Elemente\n"
    "  planora-cli dump ZEICHNUNG.akt     die eingelesene Zeichnung als JSON\n"
    "                                     (statt ZEICHNUNG.akt auch eine Zip-Datei: jede\n"
    "                                     Zeichnung darin wird ausgepackt und gezeigt)\n"
#ifdef PLANORA_HAVE_RENDER
    "  planora-cli render ZEICHNUNG.akt... -o AUSGABE\n"
    "                                     Zeichnung als PNG, SVG oder PDF ausgeben\n"
    "                                     (planora-cli render --help zeigt die Optionen)\n"
    "  planora-cli export ZEICHNUNG.akt... -o AUSGABE.dxf\n"
    "                                     Zeichnung für andere CAD-Programme ausgeben\n"
    "                                     (planora-cli export --help zeigt die Optionen)\n"
#endif
#ifdef PLANORA_HAVE_ARCHIVE
    "  planora-cli archive ARCHIV.ad      Archivdatei auflisten (planora-cli archive --help)\n"
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

const char kOutOfMemory[] = "Nicht genug Arbeitsspeicher.";

// Whether everything written to standard output so far has reached it.
bool stdoutWritten() {
    std::cout.flush();
    return static_cast<bool>(std::cout) && std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int outputFailed() {
    std::cerr << "planora-cli: Die Ausgabe kann nicht geschrieben werden.\n";
    return 1;
}

int inspect(const std::string& command, const planora::CliDrawing& drawing) {
    const std::string& path = drawing.path;
    const std::string& name = drawing.shownName;
    // The report shows the file as it is stored: switched-off layers are listed, not applied.
    planora::OpenResult opened = planora::openDrawing(path, {.hideSwitchedOffLayers = false});
    if (!opened.ok()) {
        const std::string reason =
            opened.error.empty() ? planora::loadFailureReason(path) : opened.error;
        std::cerr << "Einlesefehler: " << reason << " (" << name << ")\n";
        return 1;
    }
    planora::DrawingModel& model = *opened.model;
    if (drawing.fromZip) {
        model.currentDrawingPath = name;  // not the temporary folder's path
    }
    if (!opened.warning.empty()) {
        std::cerr << "Warnung: " << opened.warning << " (" << name << ")\n";
    }
    const bool written = command == "info"
                             ? static_cast<bool>(std::cout << planora::drawingSummary(model))
                             : planora::writeDrawingJson(std::cout, model);
    if (!written || !stdoutWritten()) {
        return outputFailed();
    }
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
        try {
            // A zip file stands for every drawing inside it; each summary is then headed by
            // its name.
            planora::CliZipInputs zipInputs;
            const auto drawings = zipInputs.expand({args[1]}, std::cerr);
            if (!drawings) {
                return 1;
            }
            int status = 0;
            for (const planora::CliDrawing& drawing : *drawings) {
                if (drawing.fromZip && command == "info") {
                    std::cout << drawing.shownName << ":\n";
                }
                status = std::max(status, inspect(command, drawing));
            }
            return status;
        } catch (const std::bad_alloc&) {
            std::cerr << "planora-cli: " << kOutOfMemory << "\n";
            return 1;
        }
    }
#ifdef PLANORA_HAVE_RENDER
    if (command == "render") {
        return runRenderCommand(std::vector<std::string>(args.begin() + 1, args.end()), std::cout,
                                std::cerr);
    }
    if (command == "export") {
        return runExportCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
    }
    if (command == "thumbnail") {
        return runThumbnailCommand(std::vector<std::string>(args.begin() + 1, args.end()),
                                   std::cout, std::cerr);
    }
#endif
#ifdef PLANORA_HAVE_ARCHIVE
    if (command == "archive") {
        return runArchiveCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
    }
#endif
    return usageError("Unbekannter Befehl \"" + command + "\".");
}
