#include "png_writer.h"

#include <png.h>

#include <zlib.h>
#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdint>
#include <vector>

namespace planora {

namespace {

// The colours of the image in order of first appearance, or none when it has more than 256.
// `indices` receives the colour number of every pixel, row by row.
bool colourTable(const QImage& image, std::vector<std::uint32_t>& colours,
                 std::vector<std::uint8_t>& indices) {
    const int w = image.width();
    const int h = image.height();
    indices.resize(static_cast<std::size_t>(w) * h);
    colours.clear();
    // A small open-addressing table from colour to index; the previous pixel's colour is
    // tried first, which answers most pixels of a line drawing.
    constexpr std::size_t kSlots = 1024;
    std::array<std::uint32_t, kSlots> keys{};
    std::array<std::int16_t, kSlots> values;
    values.fill(-1);
    std::uint32_t last = 0;
    std::uint8_t lastIndex = 0;
    bool haveLast = false;
    std::uint8_t* out = indices.data();
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = row[x] & 0x00FFFFFFu;
            if (haveLast && c == last) {
                *out++ = lastIndex;
                continue;
            }
            std::size_t slot = (c * 2654435761u) >> 22;  // 10 bits
            while (values[slot] >= 0 && keys[slot] != c) {
                slot = (slot + 1) % kSlots;
            }
            if (values[slot] < 0) {
                if (colours.size() == 256) {
                    return false;
                }
                keys[slot] = c;
                values[slot] = static_cast<std::int16_t>(colours.size());
                colours.push_back(c);
            }
            last = c;
            lastIndex = static_cast<std::uint8_t>(values[slot]);
            haveLast = true;
            *out++ = lastIndex;
        }
    }
    return true;
}

void writeData(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<QIODevice*>(png_get_io_ptr(png));
    if (out->write(reinterpret_cast<const char*>(data), static_cast<qint64>(length)) !=
        static_cast<qint64>(length)) {
        png_error(png, "write failed");
    }
}

void flushData(png_structp) {}

// A failure is reported by the return value of writePng; libpng's own text goes nowhere.
[[noreturn]] void failQuietly(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void warnQuietly(png_structp, png_const_charp) {}

// The libpng part, with nothing in this frame that a failure jumping back here would skip:
// every buffer is owned by the caller. `rows` points at each row of pixel data to write.
bool encode(png_structp png, png_infop info, QIODevice& out, int width, int height,
            const std::vector<std::uint32_t>* palette, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, &out, &writeData, &flushData);
    // Level 1 with the filters that suit each kind of row: none for colour numbers (a filter
    // rarely helps indices), "up" and "sub" for true colour, where rows repeat each other.
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    if (palette != nullptr) {
        const int count = static_cast<int>(palette->size());
        const int depth = count <= 2 ? 1 : count <= 4 ? 2 : count <= 16 ? 4 : 8;
        png_set_IHDR(png, info, width, height, depth, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        std::array<png_color, 256> entries{};
        for (int i = 0; i < count; ++i) {
            const std::uint32_t c = (*palette)[static_cast<std::size_t>(i)];
            entries[static_cast<std::size_t>(i)] =
                png_color{static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                          static_cast<png_byte>(c)};
        }
        png_set_PLTE(png, info, entries.data(), count);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_write_info(png, info);
        if (depth < 8) {
            png_set_packing(png);  // one index per byte in, packed in the file
        }
    } else {
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP | PNG_FILTER_SUB);
        png_write_info(png, info);
        // 0xAARRGGBB in memory order on a little-endian machine: B, G, R, A.
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

}  // namespace

bool writePng(QIODevice& out, const QImage& image) {
    if (image.format() != QImage::Format_RGB32 || image.isNull() ||
        QSysInfo::ByteOrder != QSysInfo::LittleEndian) {
        return image.save(&out, "PNG");
    }
    const int w = image.width();
    const int h = image.height();
    std::vector<std::uint32_t> colours;
    std::vector<std::uint8_t> indices;
    const bool indexed = colourTable(image, colours, indices);
    std::vector<png_bytep> rows(static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        rows[static_cast<std::size_t>(y)] = indexed
                                                ? indices.data() + static_cast<std::size_t>(y) * w
                                                : const_cast<png_bytep>(image.constScanLine(y));
    }
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &failQuietly, &warnQuietly);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    const bool ok = encode(png, info, out, w, h, indexed ? &colours : nullptr, rows.data());
    png_destroy_write_struct(&png, &info);
    return ok;
}

}  // namespace planora
