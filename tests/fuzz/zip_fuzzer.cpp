// Fuzz target of zip unpacking: the input is a zip file in memory, listed and unpacked into a
// temporary folder of its own. Whatever the input, no file may appear outside that folder and
// the reported drawings must lie inside it. The free space is given as 64 MB, so that declared
// sizes beyond it are refused before anything is written.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "zip_io.h"

namespace fs = std::filesystem;

namespace {

// A private parent holding only the unpacking folder, so that anything written beside the
// folder is seen.
struct Parent {
    fs::path path;
    Parent() {
        std::string name = (fs::temp_directory_path() / "planora-zipfuzzXXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) {
            std::abort();
        }
        path = name;
    }
    ~Parent() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

const fs::path& parent() {
    static const Parent folder;
    return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path target = parent() / "unpacked";
    fs::create_directory(target);
    const planora::ZipSource source{"fuzz.zip", std::span<const unsigned char>(data, size)};
    planora::listZipEntries(source);
    planora::Progress progress;
    const auto drawings =
        planora::unpackZip(source, target.string(), progress, {.freeSpace = 64u << 20});
    for (const planora::UnpackedDrawing& drawing : drawings) {
        if (drawing.path.compare(0, target.string().size() + 1, target.string() + "/") != 0) {
            std::abort();
        }
        // ".." may be part of a name ("..ch.akt"), never a whole folder or name.
        for (const auto& part : fs::path(drawing.entryName)) {
            if (part == "..") {
                std::abort();
            }
        }
    }
    for (const auto& entry : fs::directory_iterator(parent())) {
        if (entry.path() != target) {
            std::abort();  // written outside the folder
        }
    }
    fs::remove_all(target);
    return 0;
}
