#include "byte_reader.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace planora {
namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

float leF32(const std::uint8_t* p) {
    return std::bit_cast<float>(leU32(p));
}

double leF64(const std::uint8_t* p) {
    const std::uint64_t lo = leU32(p);
    const std::uint64_t hi = leU32(p + 4);
    return std::bit_cast<double>(lo | (hi << 32));
}

ByteReader::ByteReader(const std::string& path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        return;
    }
    ok_ = true;
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        const long end = std::ftell(file_);
        size_ = end > 0 ? end : 0;
    }
    std::fseek(file_, 0, SEEK_SET);
    buffer_.resize(kBufferSize);
}

ByteReader::ByteReader(std::span<const std::uint8_t> bytes)
    : ok_(true), memory_(bytes), size_(static_cast<std::int64_t>(bytes.size())) {}

ByteReader::~ByteReader() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool ByteReader::fill(std::int64_t pos) {
    bufferStart_ = pos;
    bufferLength_ = 0;
    if (pos < 0 || pos >= size_ || std::fseek(file_, static_cast<long>(pos), SEEK_SET) != 0) {
        return false;
    }
    bufferLength_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    return bufferLength_ > 0;
}

std::size_t ByteReader::read(void* dst, std::size_t n) {
    auto* out = static_cast<std::uint8_t*>(dst);
    if (n > 0 && pos_ + static_cast<std::int64_t>(n) > size_) {
        readPastEnd_ = true;
    }
    std::size_t fromFile = 0;
    std::size_t done = 0;
    while (done < n) {
        const std::int64_t pos = pos_ + static_cast<std::int64_t>(done);
        if (pos < 0) {
            // Bytes before the start of the file read as zero.
            const std::size_t k = static_cast<std::size_t>(std::min<std::int64_t>(-pos, n - done));
            std::memset(out + done, 0, k);
            done += k;
            continue;
        }
        if (pos >= size_) {
            std::memset(out + done, 0, n - done);
            done = n;
            break;
        }
        const std::uint8_t* src = nullptr;
        std::size_t available = 0;
        if (file_ == nullptr) {
            src = memory_.data() + pos;
            available = static_cast<std::size_t>(size_ - pos);
        } else {
            if (pos < bufferStart_ ||
                pos >= bufferStart_ + static_cast<std::int64_t>(bufferLength_)) {
                if (!fill(pos)) {
                    std::memset(out + done, 0, n - done);
                    done = n;
                    break;
                }
            }
            src = buffer_.data() + (pos - bufferStart_);
            available = bufferLength_ - static_cast<std::size_t>(pos - bufferStart_);
        }
        const std::size_t k = std::min(available, n - done);
        std::memcpy(out + done, src, k);
        done += k;
        fromFile += k;
    }
    pos_ += static_cast<std::int64_t>(n);
    return fromFile;
}

std::uint8_t ByteReader::u8() {
    std::uint8_t b[1];
    read(b, 1);
    return b[0];
}
std::int16_t ByteReader::i16() {
    std::uint8_t b[2];
    read(b, 2);
    return leI16(b);
}
std::uint16_t ByteReader::u16() {
    std::uint8_t b[2];
    read(b, 2);
    return leU16(b);
}
std::int32_t ByteReader::i32() {
    std::uint8_t b[4];
    read(b, 4);
    return leI32(b);
}
std::uint32_t ByteReader::u32() {
    std::uint8_t b[4];
    read(b, 4);
    return leU32(b);
}
float ByteReader::f32() {
    std::uint8_t b[4];
    read(b, 4);
    return leF32(b);
}
double ByteReader::f64() {
    std::uint8_t b[8];
    read(b, 8);
    return leF64(b);
}

}  // namespace planora
