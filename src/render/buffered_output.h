// Text going out to a device in large blocks: the one buffer every exporter writes through (DXF,
// SVG, PDF and the streamed SVG surface). Every block's write is checked; after the first
// failure nothing more is handed out, and failed() says so.
#pragma once

#include <QIODevice>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace planora {

class BufferedOutput {
  public:
    // Writes to `out` (open for writing); with nullptr the text is only counted.
    explicit BufferedOutput(QIODevice* out, std::size_t blockSize = std::size_t{1} << 16);
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;

    BufferedOutput& operator<<(std::string_view s) {
        buffer_.append(s);
        if (buffer_.size() >= blockSize_) {
            flush();
        }
        return *this;
    }
    BufferedOutput& operator<<(char c) {
        buffer_.push_back(c);
        return *this;
    }
    void write(const char* data, std::size_t size) { *this << std::string_view(data, size); }
    BufferedOutput& integer(long long v);
    // The shortest text that reads back as the same double, never "nan" or "inf" (0 instead);
    // `fixed` avoids exponents (PDF has none).
    BufferedOutput& number(double v, bool fixed = false);

    // Hands out what is buffered; false when this or any earlier write failed.
    bool flush();
    // Bytes written so far, the buffered ones included.
    std::uint64_t offset() const { return written_ + buffer_.size(); }
    bool failed() const { return failed_; }

  private:
    QIODevice* out_;
    std::size_t blockSize_;
    std::string buffer_;
    std::uint64_t written_ = 0;
    bool failed_ = false;
};

}  // namespace planora
