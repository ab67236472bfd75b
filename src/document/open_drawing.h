// The one way a drawing file is opened, whoever asks for it: the program's window, the
// command-line print, the document list, archives, zip files and planora-cli all come through
// openDrawing().
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "drawing_model.h"

namespace planora {

struct OpenResult {
    // The loaded drawing, its switched-off layers already hidden; none when the load failed.
    std::optional<DrawingModel> model;
    // Why the load failed, in German; may be empty when the reader had no message.
    std::string error;
    // Damage found in a drawing that still loaded ("Datei ist defekt: ..."); empty for a sound
    // file.
    std::string warning;
    // The load was ended through OpenOptions::cancel; no message belongs to it.
    bool cancelled = false;

    bool ok() const { return model.has_value(); }
};

struct OpenOptions {
    // Hide the layers the file marks as switched off (applyLayerFlags), as the viewer shows the
    // drawing; off for a report of the file as it is stored.
    bool hideSwitchedOffLayers = true;
    // For a load on another thread: the share of the file read, 0 to 100 at coarse steps,
    // called on the loading thread; and a flag that ends the load early when set.
    std::function<void(int percent)> progress;
    const std::atomic<bool>* cancel = nullptr;
};

// Reads the drawing at `path` (a local file name in the platform's encoding) into a fresh model.
// Only regular files are opened: a folder, FIFO, device or socket fails at once with its own
// message, as does a load that runs out of memory.
OpenResult openDrawing(const std::string& path, OpenOptions options = {});

}  // namespace planora
