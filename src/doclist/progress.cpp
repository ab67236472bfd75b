#include "progress.h"

#include <cstdio>
#include <cstdlib>

namespace planora {

void Progress::initProgress(const ProgressFields& fields) {
    fields_ = fields;
    texts_.clear();
    fileBar_ = {};
    overallBar_ = {};
}

bool Progress::attachProgress(ProgressSink sink) {
    sink_ = std::move(sink);
    attached_ = static_cast<bool>(sink_.setTitle) || static_cast<bool>(sink_.setText) ||
                static_cast<bool>(sink_.setBarRange) || static_cast<bool>(sink_.stepBar) ||
                static_cast<bool>(sink_.keepAlive);
    lastTick_ = std::chrono::steady_clock::now();
    return attached_;
}

void Progress::put(int id, const std::string& text) {
    if (id == 0) {
        return;
    }
    texts_[id] = text;
    if (!attached_) {
        return;
    }
    if (id == fields_.caption) {
        if (sink_.setTitle) {
            sink_.setTitle(text);
        }
    } else if (sink_.setText) {
        sink_.setText(id, text);
    }
}

std::string Progress::text(int id) const {
    const auto it = texts_.find(id);
    return it == texts_.end() ? std::string() : it->second;
}

void Progress::setProgressText(int id, const std::string& value, int flag) {
    if (id == 0) {
        return;
    }
    if (id == fields_.caption) {
        put(id, (flag != 0 ? "Komprimiere - " : "Entkomprimiere - ") + value);
    } else if (id == fields_.file) {
        std::size_t cut = value.rfind('\\');
        if (cut == std::string::npos) {
            cut = value.rfind('/');
        }
        if (cut == std::string::npos) {
            put(fields_.folder, ".\\");
            put(fields_.file, value);
        } else {
            put(fields_.folder, value.substr(0, cut));
            put(fields_.file, value.substr(cut + 1));
        }
    } else if (id == fields_.archive || id == fields_.folder || id == fields_.percent ||
               id == fields_.counter) {
        put(id, value);
    }
}

void Progress::setProgressCounter(unsigned done, unsigned total) {
    put(fields_.counter, std::to_string(done) + "/" + std::to_string(total));
}

void Progress::advanceProgressCounter() {
    if (fields_.counter == 0) {
        return;
    }
    const std::string shown = text(fields_.counter);
    const std::size_t slash = shown.find('/');
    if (slash == std::string::npos) {
        return;
    }
    const long done = std::strtol(shown.substr(0, slash).c_str(), nullptr, 10);
    const long total = std::strtol(shown.substr(slash + 1).c_str(), nullptr, 10);
    put(fields_.counter, std::to_string(done + 1) + "/" + std::to_string(total));
}

Progress::Bar* Progress::bar(int id) {
    if (id == 0) {
        return nullptr;
    }
    if (id == fields_.fileBar) {
        return &fileBar_;
    }
    if (id == fields_.overallBar) {
        return &overallBar_;
    }
    return nullptr;
}

void Progress::setProgressBar(int id, ProgressBarOp op, std::uint64_t a, std::uint64_t b) {
    if (op == ProgressBarOp::Step) {
        tick();  // also when the window shows no bar: it still repaints
    }
    Bar* state = bar(id);
    if (state == nullptr) {
        return;
    }
    if (op == ProgressBarOp::Range) {
        const std::uint64_t step = b == 0 ? 1 : b;
        *state = Bar{.range = static_cast<int>(a / step + 1), .total = a, .stepSize = step};
        if (attached_ && sink_.setBarRange) {
            sink_.setBarRange(id, state->range);
        }
        return;
    }
    state->done += a;
    if (static_cast<std::uint64_t>(state->shown) * state->stepSize < state->done) {
        ++state->shown;
        if (attached_ && sink_.stepBar) {
            sink_.stepBar(id);
        }
        if (state == &fileBar_ && fields_.percent != 0 && state->total != 0) {
            char buffer[64];
            std::snprintf(
                buffer, sizeof buffer, "%.0lf%%",
                static_cast<double>(state->done) * 100.0 / static_cast<double>(state->total));
            put(fields_.percent, buffer);
        }
    }
}

int Progress::barSteps(int id) const {
    return id != 0 && id == fields_.fileBar      ? fileBar_.range
           : id != 0 && id == fields_.overallBar ? overallBar_.range
                                                 : 0;
}

int Progress::barPosition(int id) const {
    return id != 0 && id == fields_.fileBar      ? fileBar_.shown
           : id != 0 && id == fields_.overallBar ? overallBar_.shown
                                                 : 0;
}

void Progress::tick() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastTick_ >= kKeepAliveInterval) {
        lastTick_ = now;
        if (attached_ && sink_.keepAlive) {
            sink_.keepAlive();
        }
    }
}

}  // namespace planora
