#include "archive_command.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "archive_file.h"
#include "document_list.h"
#include "drawing_info.h"
#include "open_drawing.h"
#include "output_targets.h"
#include "renderer.h"
#include "text_encoding.h"

namespace planora {

namespace {

const char* const kUsage =
    "Aufruf:\n"
    "  planora-cli archive [--json] ARCHIV.ad\n"
    "                       Einträge, Pfade, Zeichnungsinformationen und Vorschaubilder auflisten\n"
    "  planora-cli archive --thumbnails ORDNER ARCHIV.ad\n"
    "                       die Vorschaubilder als PNG-Dateien in ORDNER schreiben\n"
    "  planora-cli archive --create AUSGABE.ad ZEICHNUNG.akt...\n"
    "                       ein Archiv aus Zeichnungen anlegen\n";

// The names of the drawing information texts that the program shows.
const char* infoName(std::size_t slot) {
    switch (slot) {
        case kInfoProject:
            return "Projekt";
        case kInfoStructure:
            return "Bauwerk";
        case kInfoBuildingPart:
            return "Bauteil";
        case kInfoSavedAs:
            return "gespeichert unter";
        case kInfoDate:
            return "Datum";
        case 10:
        case 11:
        case 12:
            return "Bemerkungen";
        default:
            return nullptr;
    }
}

// Control characters of a drawing information text made visible.
std::string printableInfo(const std::string& cp1252) {
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

void appendJsonString(std::string& out, std::string_view utf8) {
    out.push_back('"');
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('"');
}

void appendJsonOptional(std::string& out, const std::optional<std::string>& text, bool fileName) {
    if (!text) {
        out += "null";
    } else {
        appendJsonString(out, fileName ? printableFileName(*text) : toUtf8FromCp1252(*text));
    }
}

std::string listingText(const std::string& path, const ArchiveContents& archive) {
    std::string out = "Archiv: " + printableFileName(path) + "\n";
    out += "Vorschaubilder: " + std::to_string(archive.thumbnails.images.size()) + " (" +
           std::to_string(archive.thumbnails.cx) + " × " + std::to_string(archive.thumbnails.cy) +
           " Pixel)\n";
    out += "Einträge: " + std::to_string(archive.items.items.size()) + "\n";
    std::size_t number = 0;
    for (const ArchiveItem& item : archive.items.items) {
        const DocumentEntry& e = item.entry;
        out += "\n[" + std::to_string(++number) + "] ";
        out += e.texts[DocumentEntry::kLabel] ? printableFileName(e.label()) : "(ohne Namen)";
        out += "\n    Pfad: " + (e.texts[DocumentEntry::kPath] ? printableFileName(e.path()) : "");
        out += "\n    Vorschaubild: " + std::to_string(item.imageIndex) + "\n";
        for (std::size_t i = 0; i < 20; ++i) {
            const auto& text = e.texts[DocumentEntry::kFirstInfo + i];
            if (!text) {
                continue;
            }
            const char* name = infoName(i);
            out += "    " + (name != nullptr ? std::string(name) : "Text " + std::to_string(i));
            out += " (" + std::to_string(i) + "): " + printableInfo(*text) + "\n";
        }
    }
    return out;
}

std::string listingJson(const std::string& path, const ArchiveContents& archive) {
    std::string out = "{\n  \"file\": ";
    appendJsonString(out, printableFileName(path));
    out += ",\n  \"thumbnails\": {\"count\": " + std::to_string(archive.thumbnails.images.size()) +
           ", \"width\": " + std::to_string(archive.thumbnails.cx) +
           ", \"height\": " + std::to_string(archive.thumbnails.cy) + "},\n";
    out += "  \"skippedItems\": " + std::to_string(archive.items.skipped) + ",\n";
    out += "  \"truncated\": " + std::string(archive.items.truncated ? "true" : "false") + ",\n";
    out += "  \"items\": [";
    bool first = true;
    for (const ArchiveItem& item : archive.items.items) {
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\"label\": ";
        appendJsonOptional(out, item.entry.texts[DocumentEntry::kLabel], true);
        out += ", \"path\": ";
        appendJsonOptional(out, item.entry.texts[DocumentEntry::kPath], true);
        out += ", \"thumbnail\": " + std::to_string(item.imageIndex) + ", \"info\": [";
        for (std::size_t i = 0; i < 20; ++i) {
            out += i == 0 ? "" : ", ";
            appendJsonOptional(out, item.entry.texts[DocumentEntry::kFirstInfo + i], false);
        }
        out += "]}";
    }
    out += first ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

// Reads the archive; reports a failure or damage on `err`. Nullopt when it could not be read.
std::optional<ArchiveContents> readForCommand(const std::string& path, std::ostream& err) {
    ArchiveContents archive = readArchiveFile(path);
    if (archive.status != ArchiveLoadStatus::Ok) {
        err << archive.message;
        if (!archive.detail.empty()) {
            err << " (" << archive.detail << ")";
        }
        err << " (" << printableFileName(path) << ")\n";
        return std::nullopt;
    }
    if (archive.items.skipped > 0) {
        err << "Warnung: " << archive.items.skipped
            << " Einträge sind nicht lesbar und wurden übergangen (" << printableFileName(path)
            << ")\n";
    }
    if (archive.items.truncated) {
        err << "Warnung: das Archiv ist abgeschnitten (" << printableFileName(path) << ")\n";
    }
    if (archive.itemsWithoutThumbnail > 0) {
        err << "Warnung: " << archive.itemsWithoutThumbnail
            << " Einträge verweisen auf kein Vorschaubild (" << printableFileName(path) << ")\n";
    }
    return archive;
}

int writeThumbnails(const std::string& folder, const std::string& path, std::ostream& out,
                    std::ostream& err) {
    namespace fs = std::filesystem;
    const auto archive = readForCommand(path, err);
    if (!archive) {
        return 1;
    }
    std::error_code ec;
    if (!fs::is_directory(folder, ec) && !fs::create_directories(folder, ec)) {
        err << "Ausgabeordner kann nicht angelegt werden: " << printableFileName(folder) << "\n";
        return 1;
    }
    const std::string stem = fs::path(path).stem().string();
    int status = 0;
    for (std::size_t i = 0; i < archive->thumbnails.images.size(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "-%03zu.png", i);
        const std::string target = (fs::path(folder) / (stem + number)).string();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        const QImage image = qImageFromRawImage(archive->thumbnails.images[i]);
        std::string problem;
        if (!image.save(&buffer, "PNG")) {
            problem = "PNG kann nicht erzeugt werden: " + printableFileName(target);
        } else {
            problem = writeFileAtomically(
                target, std::span(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                  static_cast<std::size_t>(png.size())));
        }
        if (!problem.empty()) {
            err << problem << "\n";
            status = 1;
            continue;
        }
        out << printableFileName(target) << "\n";
    }
    return status;
}

int createArchive(const std::string& output, const std::vector<std::string>& drawings,
                  std::ostream& out, std::ostream& err) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const std::string& input : drawings) {
        if (fs::exists(output, ec) && fs::equivalent(output, input, ec)) {
            err << "Die Ausgabe darf keine der Zeichnungen überschreiben: "
                << printableFileName(output) << "\n";
            return 2;
        }
    }
    const auto app = ensureGuiApplication();
    Renderer renderer;
    DocumentList list;
    list.setThumbnailBackground(renderer.backgroundColour());
    int status = 0;
    for (const std::string& input : drawings) {
        const OpenResult opened = openDrawing(input);
        if (!opened.ok()) {
            err << "Einlesefehler: " << (opened.error.empty() ? "unbekannter Fehler" : opened.error)
                << " (" << printableFileName(input) << ")\n";
            status = 1;
            continue;
        }
        if (!opened.warning.empty()) {
            err << "Warnung: " << opened.warning << " (" << printableFileName(input) << ")\n";
        }
        const std::string full = fs::absolute(input, ec).lexically_normal().string();
        renderer.invalidateElementCache();
        list.addDrawing(ec ? input : full, *opened.model, renderer);
    }
    if (list.items().empty()) {
        err << "Keine der Zeichnungen konnte eingelesen werden; es wurde kein Archiv angelegt.\n";
        return 1;
    }
    const std::string problem = list.saveArchive(output);
    if (!problem.empty()) {
        err << problem << "\n";
        return 1;
    }
    out << printableFileName(output) << ": " << list.items().size() << " Zeichnungen\n";
    return status;
}

}  // namespace
}  // namespace planora

int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    using namespace planora;
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kUsage;
        return 0;
    }
    auto usage = [&](const std::string& why) {
        err << why << "\n" << kUsage;
        return 2;
    };
    if (!args.empty() && args[0] == "--create") {
        if (args.size() < 3) {
            return usage("--create erwartet eine Ausgabedatei und mindestens eine Zeichnung.");
        }
        return createArchive(args[1], std::vector<std::string>(args.begin() + 2, args.end()), out,
                             err);
    }
    if (!args.empty() && args[0] == "--thumbnails") {
        if (args.size() != 3) {
            return usage("--thumbnails erwartet einen Ordner und genau ein Archiv.");
        }
        const auto app = ensureGuiApplication();
        return writeThumbnails(args[1], args[2], out, err);
    }
    bool json = false;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--json") {
            json = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("Unbekannte Option: " + a);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 1) {
        return usage("Der Befehl \"archive\" erwartet genau ein Archiv.");
    }
    const auto archive = readForCommand(files[0], err);
    if (!archive) {
        return 1;
    }
    out << (json ? listingJson(files[0], *archive) : listingText(files[0], *archive));
    return 0;
}
