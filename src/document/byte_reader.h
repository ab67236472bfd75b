// Buffered little-endian reading of a drawing file, from disk or from memory, with a fixed-size
// buffer. Reading past the end is not an error: the missing bytes read as zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace planora {

class ByteReader {
  public:
    // Opens a file; ok() tells whether that worked.
    explicit ByteReader(const std::string& path);
    // Reads from memory that outlives the reader.
    explicit ByteReader(std::span<const std::uint8_t> bytes);
    ~ByteReader();
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    bool ok() const { return ok_; }
    std::int64_t size() const { return size_; }
    std::int64_t tell() const { return pos_; }
    // Any position is allowed, also before the start or past the end; bytes there read as zero.
    void seek(std::int64_t pos) { pos_ = pos; }
    void skip(std::int64_t n) { pos_ += n; }
    bool atEnd() const { return pos_ >= size_; }
    std::int64_t remaining() const { return pos_ >= size_ ? 0 : size_ - pos_; }

    // Copies n bytes to dst; bytes outside the file are zero. Returns how many came from the file.
    std::size_t read(void* dst, std::size_t n);
    // Whether a read since the last clearReadPastEnd() wanted bytes beyond the end of the file.
    bool readPastEnd() const { return readPastEnd_; }
    void clearReadPastEnd() { readPastEnd_ = false; }

    std::uint8_t u8();
    std::int16_t i16();
    std::uint16_t u16();
    std::int32_t i32();
    std::uint32_t u32();
    float f32();
    double f64();

  private:
    bool fill(std::int64_t pos);

    bool ok_ = false;
    std::FILE* file_ = nullptr;
    std::span<const std::uint8_t> memory_;
    std::int64_t size_ = 0;
    std::int64_t pos_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::int64_t bufferStart_ = 0;
    std::size_t bufferLength_ = 0;
    bool readPastEnd_ = false;
};

// Little-endian field access in a record buffer.
inline std::uint16_t leU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t leI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(leU16(p));
}
inline std::uint32_t leU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t leI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(leU32(p));
}
float leF32(const std::uint8_t* p);
double leF64(const std::uint8_t* p);

}  // namespace planora
