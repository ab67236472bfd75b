#include "buffered_output.h"

#include <charconv>
#include <cmath>

namespace planora {

BufferedOutput::BufferedOutput(QIODevice* out, std::size_t blockSize)
    : out_(out), blockSize_(blockSize) {
    buffer_.reserve(blockSize_ + 4096);
}

BufferedOutput& BufferedOutput::integer(long long v) {
    char text[24];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return *this << std::string_view(text, static_cast<std::size_t>(r.ptr - text));
}

BufferedOutput& BufferedOutput::number(double v, bool fixed) {
    if (!std::isfinite(v)) {
        return *this << '0';
    }
    char text[400];  // a fixed double needs up to 309 digits before the point
    const auto r = fixed ? std::to_chars(text, text + sizeof text, v, std::chars_format::fixed)
                         : std::to_chars(text, text + sizeof text, v);
    if (r.ec != std::errc()) {
        return *this << '0';
    }
    return *this << std::string_view(text, static_cast<std::size_t>(r.ptr - text));
}

bool BufferedOutput::flush() {
    if (!buffer_.empty() && out_ != nullptr && !failed_ &&
        out_->write(buffer_.data(), static_cast<qint64>(buffer_.size())) !=
            static_cast<qint64>(buffer_.size())) {
        failed_ = true;
    }
    written_ += buffer_.size();
    buffer_.clear();
    return !failed_;
}

}  // namespace planora
