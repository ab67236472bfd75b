// A drawing read on a thread of its own. The main window reads every drawing this way, so that
// it answers input during a long load; the program also starts reading a drawing named on its
// command line before any window exists, and the window takes that read over when it opens the
// file.
#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "open_drawing.h"

namespace planora {

class ElementCache;

// What a read gives: the load's result and, for a loaded drawing, the element boxes of its
// store, built on the reading thread so that the first picture does not wait for them.
struct DrawingReadResult {
    OpenResult open;
    std::shared_ptr<const ElementCache> boxes;
};

class DrawingRead {
  public:
    // Starts reading the local file `path` at once.
    explicit DrawingRead(std::string path);
    // A read still running is cancelled and waited for: the thread reads nothing after this.
    ~DrawingRead();
    DrawingRead(const DrawingRead&) = delete;
    DrawingRead& operator=(const DrawingRead&) = delete;

    // The read of the program's start: the first of `files` when it is a regular drawing file
    // (what the window's file intake would read), else nothing.
    static std::unique_ptr<DrawingRead> startForCommandLine(const QStringList& files);

    const std::string& path() const { return path_; }
    // Whether the read has ended, waiting at most `wait` for it.
    bool finished(std::chrono::milliseconds wait = std::chrono::milliseconds(0)) const;
    // The share of the file read so far, 0 to 100.
    int percent() const { return percent_.load(); }
    void cancel() { cancel_.store(true); }
    bool cancelled() const { return cancel_.load(); }
    // Waits for the end of the read and hands its result over; call once.
    DrawingReadResult take();

  private:
    std::string path_;
    std::atomic<bool> cancel_{false};
    std::atomic<int> percent_{0};
    // Declared last: destroyed first, its destructor waits for the thread that uses the members
    // above.
    std::future<DrawingReadResult> result_;
};

}  // namespace planora
