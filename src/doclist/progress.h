// Progress of packing and unpacking: a caption, five text fields and two bars, addressed by
// control id (0 = the field is absent). The module keeps the field texts and the bar arithmetic;
// whoever shows them (the main window, a test) receives the changes through a sink.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace planora {

// The control ids of the fields; 0 leaves a field out.
struct ProgressFields {
    int caption = 0;
    int archive = 0;
    int fileBar = 0;
    int overallBar = 0;
    int folder = 0;
    int file = 0;
    int percent = 0;
    int counter = 0;
};

// The main window's fields: the caption (its title) and the bar in place of the status line.
inline constexpr int kMainProgressBarId = 5001;
inline constexpr ProgressFields kMainWindowProgressFields{.caption = 1,
                                                          .overallBar = kMainProgressBarId};

// Where the progress is shown. Every member may be left empty.
struct ProgressSink {
    std::function<void(const std::string& title)> setTitle;
    std::function<void(int id, const std::string& text)> setText;
    std::function<void(int id, int steps)> setBarRange;  // range 0..steps, position 0
    std::function<void(int id)> stepBar;                 // one step forward
    // Called at least every kKeepAliveInterval of work, so that a window can repaint.
    std::function<void()> keepAlive;
};

enum class ProgressBarOp { Range, Step };

class Progress {
  public:
    static constexpr std::chrono::milliseconds kKeepAliveInterval{50};

    // Registers the field ids; clears the texts and the bars.
    void initProgress(const ProgressFields& fields);
    // Makes sink the progress window; false when it has nothing to show into.
    bool attachProgress(ProgressSink sink);

    // Updates a text field by the kind that id is registered for. For the caption flag non-zero
    // means packing ("Komprimiere - "), 0 unpacking ("Entkomprimiere - "). A file value is split
    // into the folder and file fields.
    void setProgressText(int id, const std::string& value, int flag = 0);
    // The counter: "done/total", or the shown done count plus one (a text without "/" stays).
    void setProgressCounter(unsigned done, unsigned total);
    void advanceProgressCounter();
    // Range: a = total bytes, b = step size. Step: a = bytes just processed.
    void setProgressBar(int id, ProgressBarOp op, std::uint64_t a, std::uint64_t b = 0);

    // Calls the sink's keepAlive when the interval has passed since the last call.
    void tick();

    const ProgressFields& fields() const { return fields_; }
    // The current text of a field (the title for the caption); empty when it has none.
    std::string text(int id) const;
    int barSteps(int id) const;     // the bar's range end
    int barPosition(int id) const;  // steps shown

  private:
    struct Bar {
        int range = 0;
        int shown = 0;
        std::uint64_t total = 0;
        std::uint64_t stepSize = 1;
        std::uint64_t done = 0;
    };
    void put(int id, const std::string& text);
    Bar* bar(int id);

    ProgressFields fields_;
    ProgressSink sink_;
    bool attached_ = false;
    std::map<int, std::string> texts_;
    Bar fileBar_;
    Bar overallBar_;
    std::chrono::steady_clock::time_point lastTick_ = std::chrono::steady_clock::now();
};

}  // namespace planora
