#include "text_encoding.h"

#include <cstdint>

namespace planora {
namespace {

// Unicode code points of the bytes 0x80..0x9F.
constexpr char32_t kHighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::string toUtf8FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char ch : bytes) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b < 0x80) {
            out.push_back(ch);
        } else if (b < 0xA0) {
            appendUtf8(out, kHighTable[b - 0x80]);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

std::string toCp1252FromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b = static_cast<std::uint8_t>(utf8[i]);
        char32_t c = 0;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            c = ((b & 0x1F) << 6) | (static_cast<std::uint8_t>(utf8[i + 1]) & 0x3F);
            len = 2;
        } else if ((b & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
            c = ((b & 0x0F) << 12) | ((static_cast<std::uint8_t>(utf8[i + 1]) & 0x3F) << 6) |
                (static_cast<std::uint8_t>(utf8[i + 2]) & 0x3F);
            len = 3;
        } else if ((b & 0xF8) == 0xF0 && i + 3 < utf8.size()) {
            c = 0x110000;  // outside the Basic Multilingual Plane: no Windows-1252 byte
            len = 4;
        } else {
            c = 0x110000;
        }
        i += len;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k) {
            if (kHighTable[k] == c) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out.push_back(mapped);
    }
    return out;
}

}  // namespace planora
