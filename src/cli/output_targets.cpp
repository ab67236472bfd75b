#include "output_targets.h"

#include <sys/stat.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <filesystem>
#include <map>
#include <utility>

#include "drawing_report.h"
#include "text_encoding.h"

namespace planora {

namespace {

struct FileIdentity {
    dev_t device;
    ino_t inode;
};

// The device and inode of the file a path names (symbolic links followed); none when it does not
// exist.
std::optional<FileIdentity> identityOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileIdentity{st.st_dev, st.st_ino};
}

}  // namespace

// Checks the outputs of the whole batch before anything is written: every drawing needs an
// output of its own, no output may be one of the inputs (not even under another name), and an
// existing output must be a regular file (a device or a pipe is never replaced). Returns the
// problem, or nothing.
std::optional<std::string> checkOutputTargets(const std::vector<std::string>& inputs,
                                              const std::vector<std::string>& targets) {
    namespace fs = std::filesystem;
    std::map<std::string, std::size_t> seen;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const std::string key = fs::path(targets[i]).lexically_normal().string();
        const auto [it, fresh] = seen.emplace(key, i);
        if (!fresh) {
            return "Zwei Zeichnungen ergäben dieselbe Ausgabedatei " +
                   printableFileName(targets[i]) + ": " + printableFileName(inputs[it->second]) +
                   " und " + printableFileName(inputs[i]) + ". Es wurde nichts geschrieben.";
        }
    }
    // Different names for one existing file (links) clash as well.
    std::vector<std::pair<FileIdentity, std::size_t>> targetIds;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const auto id = identityOf(targets[i]);
        if (!id) {
            continue;
        }
        for (const auto& [other, j] : targetIds) {
            if (other.device == id->device && other.inode == id->inode) {
                return "Zwei Zeichnungen ergäben dieselbe Ausgabedatei " +
                       printableFileName(targets[i]) + ": " + printableFileName(inputs[j]) +
                       " und " + printableFileName(inputs[i]) + ". Es wurde nichts geschrieben.";
            }
        }
        targetIds.emplace_back(*id, i);
    }
    std::vector<FileIdentity> inputIds;
    for (const std::string& input : inputs) {
        if (const auto id = identityOf(input)) {
            inputIds.push_back(*id);
        }
    }
    for (const std::string& target : targets) {
        struct stat st {};
        if (::stat(target.c_str(), &st) != 0) {
            continue;  // a new file
        }
        for (const FileIdentity& id : inputIds) {
            if (id.device == st.st_dev && id.inode == st.st_ino) {
                return "Ausgabedatei ist zugleich eine Eingabedatei: " + printableFileName(target) +
                       ". Es wurde nichts geschrieben.";
            }
        }
        if (!S_ISREG(st.st_mode)) {
            return "Ausgabedatei ist keine reguläre Datei: " + printableFileName(target) +
                   ". Es wurde nichts geschrieben.";
        }
    }
    return std::nullopt;
}

// Makes sure a Qt GUI application exists for fonts and painting; without a display the
// offscreen platform is used.
std::unique_ptr<QGuiApplication> ensureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return nullptr;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "planora-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace planora
