#include "archive_file.h"

#include <fcntl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>

namespace planora {

namespace {

constexpr std::uint16_t kImageListMagic = 0x4C49;  // "IL"
constexpr std::uint16_t kImageListVersion = 0x0101;
constexpr std::uint16_t kFlagMask = 0x0001;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr char kImagesStream[] = "pstream";
constexpr char kItemsStream[] = "lvItems";

// --- Little-endian fields ---

std::uint16_t get16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t get32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::int32_t getI32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::int32_t>(get32(b, at));
}

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
    }
}

// The text at the start of `bytes` up to its first NUL (all of it when there is none).
std::string textUpToNul(std::span<const std::uint8_t> bytes) {
    const auto nul = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return std::string(bytes.begin(), nul);
}

// A text as it is stored: up to its first NUL, which is where a reader would stop anyway.
std::string_view storedText(const std::string& s) {
    return std::string_view(s.data(), std::min(s.size(), std::strlen(s.c_str())));
}

// --- Bitmaps inside the image-list stream ---

struct Dib {
    std::int64_t width = 0;
    std::int64_t height = 0;  // rows, always positive
    bool topDown = false;
    int bits = 0;
    std::vector<std::uint32_t> palette;  // 0xFFRRGGBB
    std::span<const std::uint8_t> rows;  // stride * height bytes
    std::size_t stride = 0;

    // Pixels x to x + n - 1 of row y (counted from the top) into `out`; see pixel().
    void row(std::int64_t x, std::int64_t y, int n, std::uint32_t* out) const {
        const std::size_t fileRow = static_cast<std::size_t>(topDown ? y : height - 1 - y);
        const std::uint8_t* p = rows.data() + fileRow * stride;
        if (bits == 24) {
            const std::uint8_t* q = p + static_cast<std::size_t>(x) * 3;
            for (int i = 0; i < n; ++i, q += 3) {
                out[i] =
                    0xFF000000u | (std::uint32_t{q[2]} << 16) | (std::uint32_t{q[1]} << 8) | q[0];
            }
        } else if (bits == 32) {
            const std::uint8_t* q = p + static_cast<std::size_t>(x) * 4;
            for (int i = 0; i < n; ++i, q += 4) {
                out[i] = (std::uint32_t{q[3]} << 24) | (std::uint32_t{q[2]} << 16) |
                         (std::uint32_t{q[1]} << 8) | q[0];
            }
        } else {
            for (int i = 0; i < n; ++i) {
                out[i] = pixel(x + i, y);
            }
        }
    }

    // Pixel (x, y), y counted from the top, as 0xAARRGGBB; 32-bit pixels keep their alpha byte.
    std::uint32_t pixel(std::int64_t x, std::int64_t y) const {
        const std::size_t row = static_cast<std::size_t>(topDown ? y : height - 1 - y);
        const std::uint8_t* p = rows.data() + row * stride;
        const auto ux = static_cast<std::size_t>(x);
        switch (bits) {
            case 24: {
                const std::uint8_t* q = p + ux * 3;
                return 0xFF000000u | (std::uint32_t{q[2]} << 16) | (std::uint32_t{q[1]} << 8) |
                       q[0];
            }
            case 32: {
                const std::uint8_t* q = p + ux * 4;
                return (std::uint32_t{q[3]} << 24) | (std::uint32_t{q[2]} << 16) |
                       (std::uint32_t{q[1]} << 8) | q[0];
            }
            default: {
                const std::size_t bit = ux * static_cast<std::size_t>(bits);
                const unsigned shift = static_cast<unsigned>(8 - bits - static_cast<int>(bit % 8));
                const unsigned index = (p[bit / 8] >> shift) & ((1u << bits) - 1u);
                return index < palette.size() ? palette[index] : 0xFF000000u;
            }
        }
    }
};

// Reads one bitmap (file header, info header, palette, rows) at `pos` and advances past it.
std::optional<Dib> readDib(std::span<const std::uint8_t> b, std::size_t& pos, std::string& why) {
    const std::size_t start = pos;
    if (b.size() - start < kFileHeaderSize + kInfoHeaderSize) {
        why = "Bildliste: Bitmap abgeschnitten";
        return std::nullopt;
    }
    if (b[start] != 'B' || b[start + 1] != 'M') {
        why = "Bildliste: keine Bitmap (\"BM\" fehlt)";
        return std::nullopt;
    }
    const std::size_t info = start + kFileHeaderSize;
    const std::uint32_t infoSize = get32(b, info);
    if (infoSize < kInfoHeaderSize || infoSize > 124) {
        why = "Bildliste: unbekannter Bitmap-Kopf";
        return std::nullopt;
    }
    Dib dib;
    const std::int32_t width = getI32(b, info + 4);
    const std::int32_t height = getI32(b, info + 8);
    dib.bits = get16(b, info + 14);
    const std::uint32_t compression = get32(b, info + 16);
    const std::uint32_t coloursUsed = get32(b, info + 32);
    if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min()) {
        why = "Bildliste: ungültige Bitmap-Größe";
        return std::nullopt;
    }
    if (dib.bits != 1 && dib.bits != 4 && dib.bits != 8 && dib.bits != 24 && dib.bits != 32) {
        why = "Bildliste: Farbtiefe " + std::to_string(dib.bits) + " Bit wird nicht unterstützt";
        return std::nullopt;
    }
    if (compression != 0) {
        why = "Bildliste: komprimierte Bitmaps werden nicht unterstützt";
        return std::nullopt;
    }
    dib.width = width;
    dib.height = height < 0 ? -static_cast<std::int64_t>(height) : height;
    dib.topDown = height < 0;
    std::size_t at = info + infoSize;
    if (at > b.size()) {
        why = "Bildliste: Bitmap abgeschnitten";
        return std::nullopt;
    }
    if (dib.bits <= 8) {
        const std::uint32_t full = 1u << dib.bits;
        if (coloursUsed > full) {
            why = "Bildliste: zu viele Palettenfarben";
            return std::nullopt;
        }
        const std::uint32_t n = coloursUsed != 0 ? coloursUsed : full;
        if ((b.size() - at) / 4 < n) {
            why = "Bildliste: Palette abgeschnitten";
            return std::nullopt;
        }
        dib.palette.reserve(n);
        for (std::uint32_t i = 0; i < n; ++i, at += 4) {
            dib.palette.push_back(0xFF000000u | (std::uint32_t{b[at + 2]} << 16) |
                                  (std::uint32_t{b[at + 1]} << 8) | b[at]);
        }
    }
    // Sizes in 64 bits: width and height come from the file and may be anything up to 2^31.
    const std::uint64_t strideBits = static_cast<std::uint64_t>(dib.width) * dib.bits;
    const std::uint64_t stride = (strideBits + 31) / 32 * 4;
    const std::uint64_t available = b.size() - at;
    if (stride > available || static_cast<std::uint64_t>(dib.height) > available / stride) {
        why = "Bildliste: Bitmap abgeschnitten";
        return std::nullopt;
    }
    dib.stride = static_cast<std::size_t>(stride);
    const std::size_t size = dib.stride * static_cast<std::size_t>(dib.height);
    dib.rows = b.subspan(at, size);
    pos = at + size;
    return dib;
}

}  // namespace

const std::string& DocumentEntry::label() const {
    static const std::string none;
    return texts[kLabel] ? *texts[kLabel] : none;
}

const std::string& DocumentEntry::path() const {
    static const std::string none;
    return texts[kPath] ? *texts[kPath] : none;
}

// --- "lvItems" ---

std::vector<std::uint8_t> encodeItems(std::span<const ArchiveItem> items) {
    std::vector<std::uint8_t> out;
    for (const ArchiveItem& item : items) {
        std::array<std::optional<std::string_view>, DocumentEntry::kSlots> texts;
        bool any = false;
        for (std::size_t i = 0; i < DocumentEntry::kSlots; ++i) {
            if (item.entry.texts[i]) {
                texts[i] = storedText(*item.entry.texts[i]);
                any = true;
            }
        }
        // A record of no text at all would have the length 0, which ends the stream for a
        // reader and would lose every item after it; such an entry is stored with an empty label.
        if (!any) {
            texts[DocumentEntry::kLabel] = std::string_view();
        }
        const std::size_t headerAt = out.size();
        out.resize(headerAt + kItemHeaderSize, 0);
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < DocumentEntry::kSlots; ++i) {
            const std::uint64_t length = texts[i] ? texts[i]->size() + 1 : 0;
            total += length;
            if (i < 21) {
                set32(out, headerAt + 4 + 4 * i, static_cast<std::uint32_t>(length));
            }
        }
        set32(out, headerAt, static_cast<std::uint32_t>(total));
        set32(out, headerAt + 88, static_cast<std::uint32_t>(item.imageIndex));
        for (const auto& text : texts) {
            if (text) {
                out.insert(out.end(), text->begin(), text->end());
                out.push_back(0);
            }
        }
    }
    return out;
}

DecodedItems decodeItems(std::span<const std::uint8_t> bytes) {
    DecodedItems result;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t left = bytes.size() - pos;
        if (left < kItemHeaderSize) {
            result.truncated = true;
            break;
        }
        const auto header = bytes.subspan(pos, kItemHeaderSize);
        const std::int32_t total = getI32(header, 0);
        if (total == 0) {
            break;
        }
        if (total < 0) {
            // Nothing tells where the next record starts.
            ++result.skipped;
            break;
        }
        if (static_cast<std::size_t>(total) > left - kItemHeaderSize) {
            result.truncated = true;
            break;
        }
        const auto data = bytes.subspan(pos + kItemHeaderSize, static_cast<std::size_t>(total));
        pos += kItemHeaderSize + static_cast<std::size_t>(total);

        ArchiveItem item;
        std::size_t at = 0;
        bool readable = true;
        for (std::size_t i = 0; i < 21 && readable; ++i) {
            const std::int32_t length = getI32(header, 4 + 4 * i);
            if (length < 0 || static_cast<std::size_t>(length) > data.size() - at) {
                readable = false;
            } else if (length > 0) {
                item.entry.texts[i] =
                    textUpToNul(data.subspan(at, static_cast<std::size_t>(length)));
                at += static_cast<std::size_t>(length);
            }
        }
        if (!readable) {
            ++result.skipped;
            continue;
        }
        if (at < data.size()) {
            item.entry.texts[21] = textUpToNul(data.subspan(at));
        }
        item.imageIndex = getI32(header, 88);
        const std::size_t place = std::clamp<std::int64_t>(
            item.imageIndex, 0, static_cast<std::int64_t>(result.items.size()));
        result.items.insert(result.items.begin() + static_cast<std::ptrdiff_t>(place),
                            std::move(item));
    }
    return result;
}

// --- "pstream" ---

std::optional<std::vector<std::uint8_t>> encodeImageList(const ImageListData& list) {
    const std::size_t count = list.images.size();
    if (list.cx < 1 || list.cy < 1 || list.cx > 0x3FFF || list.cy > 0xFFFF || count > 0xFFF0) {
        return std::nullopt;
    }
    for (const RawImage& image : list.images) {
        if (image.width != list.cx || image.height != list.cy ||
            image.pixels.size() != static_cast<std::size_t>(list.cx) * list.cy) {
            return std::nullopt;
        }
    }
    const std::size_t capacity = std::max<std::size_t>(4, (count + 3) / 4 * 4);
    const std::size_t width = static_cast<std::size_t>(list.cx) * 4;
    const std::size_t height = capacity / 4 * static_cast<std::size_t>(list.cy);
    if (height > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    const std::size_t stride = (width * 3 + 3) / 4 * 4;
    const std::size_t imageSize = stride * height;
    const std::size_t offBits = kFileHeaderSize + kInfoHeaderSize;

    std::vector<std::uint8_t> out;
    out.reserve(kImageListHeaderSize + offBits + imageSize);
    put16(out, kImageListMagic);
    put16(out, kImageListVersion);
    put16(out, static_cast<std::uint32_t>(count));
    put16(out, static_cast<std::uint32_t>(capacity));
    put16(out, 4);  // grow
    put16(out, static_cast<std::uint32_t>(list.cx));
    put16(out, static_cast<std::uint32_t>(list.cy));
    put32(out, 0xFFFFFFFFu);  // no background colour
    put16(out, 0x0018);       // 24-bit colour, no mask
    for (int i = 0; i < 4; ++i) {
        put16(out, 0xFFFF);  // no overlay images
    }

    out.push_back('B');
    out.push_back('M');
    put32(out, static_cast<std::uint32_t>(offBits));  // the size field holds the pixel offset
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(offBits));
    put32(out, kInfoHeaderSize);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));  // positive: rows from the bottom
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);  // BI_RGB
    put32(out, static_cast<std::uint32_t>(imageSize));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);

    const std::size_t pixelsAt = out.size();
    out.resize(pixelsAt + imageSize, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const RawImage& image = list.images[i];
        const std::size_t left = (i % 4) * static_cast<std::size_t>(list.cx);
        const std::size_t top = (i / 4) * static_cast<std::size_t>(list.cy);
        for (int y = 0; y < list.cy; ++y) {
            const std::size_t fileRow = height - 1 - (top + static_cast<std::size_t>(y));
            std::uint8_t* p = out.data() + pixelsAt + fileRow * stride + left * 3;
            const std::uint32_t* src = image.pixels.data() + static_cast<std::size_t>(y) * list.cx;
            for (int x = 0; x < list.cx; ++x, p += 3) {
                p[0] = static_cast<std::uint8_t>(src[x] & 0xFF);
                p[1] = static_cast<std::uint8_t>((src[x] >> 8) & 0xFF);
                p[2] = static_cast<std::uint8_t>((src[x] >> 16) & 0xFF);
            }
        }
    }
    return out;
}

std::optional<ImageListData> decodeImageList(std::span<const std::uint8_t> bytes,
                                             std::string* why) {
    std::string reason;
    auto fail = [&](std::string text) -> std::optional<ImageListData> {
        if (why != nullptr) {
            *why = std::move(text);
        }
        return std::nullopt;
    };
    if (bytes.size() < kImageListHeaderSize) {
        return fail("Bildliste: Kopf abgeschnitten");
    }
    if (get16(bytes, 0) != kImageListMagic || get16(bytes, 2) != kImageListVersion) {
        return fail("Bildliste: unbekannte Kennung oder Version");
    }
    const std::size_t count = get16(bytes, 4);
    const std::size_t capacity = get16(bytes, 6);
    const int cx = get16(bytes, 10);
    const int cy = get16(bytes, 12);
    const std::uint16_t flags = get16(bytes, 18);
    if (cx < 1 || cy < 1) {
        return fail("Bildliste: Bildgröße 0");
    }
    if (count > capacity) {
        return fail("Bildliste: mehr Bilder als Platz");
    }

    std::size_t pos = kImageListHeaderSize;
    const auto colour = readDib(bytes, pos, reason);
    if (!colour) {
        return fail(reason);
    }
    const std::int64_t rowsNeeded = static_cast<std::int64_t>((count + 3) / 4);
    if (colour->width < std::int64_t{4} * cx || colour->height < rowsNeeded * cy) {
        return fail("Bildliste: Bitmap kleiner als die Bilder");
    }
    std::optional<Dib> mask;
    if ((flags & kFlagMask) != 0) {
        mask = readDib(bytes, pos, reason);
        if (!mask) {
            return fail("Maske: " + reason);
        }
        if (mask->bits != 1 || mask->width < std::int64_t{4} * cx ||
            mask->height < rowsNeeded * cy) {
            return fail("Bildliste: Maske passt nicht zu den Bildern");
        }
    }

    ImageListData list;
    list.cx = cx;
    list.cy = cy;
    list.images.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        RawImage image;
        image.width = cx;
        image.height = cy;
        image.pixels.resize(static_cast<std::size_t>(cx) * static_cast<std::size_t>(cy));
        const std::int64_t left = static_cast<std::int64_t>(i % 4) * cx;
        const std::int64_t top = static_cast<std::int64_t>(i / 4) * cy;
        bool anyAlpha = false;
        for (int y = 0; y < cy; ++y) {
            colour->row(left, top + y, cx, image.pixels.data() + static_cast<std::size_t>(y) * cx);
        }
        if (colour->bits == 32) {
            anyAlpha = std::any_of(image.pixels.begin(), image.pixels.end(),
                                   [](std::uint32_t p) { return (p >> 24) != 0; });
        }
        // 32-bit images whose alpha bytes are all zero carry no alpha: they are opaque.
        if (colour->bits == 32 && !anyAlpha) {
            for (std::uint32_t& p : image.pixels) {
                p |= 0xFF000000u;
            }
        }
        if (mask) {
            for (int y = 0; y < cy; ++y) {
                for (int x = 0; x < cx; ++x) {
                    // A set mask bit (the palette's second colour) marks a transparent pixel.
                    const std::uint32_t m = mask->pixel(left + x, top + y);
                    if ((m & 0x00FFFFFFu) != 0) {
                        image.pixels[static_cast<std::size_t>(y) * cx + x] &= 0x00FFFFFFu;
                    }
                }
            }
        }
        list.images.push_back(std::move(image));
    }
    return list;
}

// --- The compound file ---

namespace {

struct GObjectUnref {
    void operator()(void* object) const {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

// The whole of one stream, or nullopt when it cannot be read. A stream can hold no more than the
// container it lives in, which bounds the allocation.
std::optional<std::vector<std::uint8_t>> readWholeStream(GsfInput* input, std::size_t limit) {
    const gsf_off_t size = gsf_input_size(input);
    if (size < 0 || static_cast<std::uint64_t>(size) > limit) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    if (!data.empty() && gsf_input_read(input, data.size(), data.data()) == nullptr) {
        return std::nullopt;
    }
    return data;
}

}  // namespace

ArchiveContents readArchiveStreams(const std::vector<std::uint8_t>* pstream,
                                   const std::vector<std::uint8_t>* lvItems) {
    ArchiveContents result;
    if (pstream == nullptr) {
        result.status = ArchiveLoadStatus::NoImages;
        result.message = kArchiveLoadNoImages;
        return result;
    }
    std::string why;
    auto images = decodeImageList(*pstream, &why);
    if (!images) {
        result.status = ArchiveLoadStatus::BadImages;
        result.message = kArchiveLoadBadImages;
        result.detail = why;
        return result;
    }
    result.thumbnails = std::move(*images);
    if (lvItems == nullptr) {
        result.status = ArchiveLoadStatus::NoItems;
        result.message = kArchiveLoadNoItems;
        return result;
    }
    result.items = decodeItems(*lvItems);
    for (const ArchiveItem& item : result.items.items) {
        if (item.imageIndex < 0 ||
            static_cast<std::size_t>(item.imageIndex) >= result.thumbnails.images.size()) {
            ++result.itemsWithoutThumbnail;
        }
    }
    return result;
}

ArchiveContents readArchiveBytes(std::span<const std::uint8_t> file) {
    ArchiveContents notCompound;
    notCompound.status = ArchiveLoadStatus::NotCompound;
    notCompound.message = kArchiveLoadNotCompound;
    if (file.empty()) {
        notCompound.detail = "leere Datei";
        return notCompound;
    }
    GPtr<GsfInput> source(
        gsf_input_memory_new(file.data(), static_cast<gsf_off_t>(file.size()), FALSE));
    GError* error = nullptr;
    GPtr<GsfInfile> root(source ? gsf_infile_msole_new(source.get(), &error) : nullptr);
    if (error != nullptr) {
        notCompound.detail = error->message != nullptr ? error->message : "";
        g_error_free(error);
    }
    if (!root) {
        return notCompound;
    }
    GPtr<GsfInput> images(gsf_infile_child_by_name(root.get(), kImagesStream));
    GPtr<GsfInput> items(gsf_infile_child_by_name(root.get(), kItemsStream));
    return readArchiveInputs(images.get(), items.get(), file.size());
}

ArchiveContents readArchiveInputs(GsfInput* pstream, GsfInput* lvItems, std::size_t limit) {
    std::optional<std::vector<std::uint8_t>> images;
    std::optional<std::vector<std::uint8_t>> items;
    if (pstream != nullptr) {
        images = readWholeStream(pstream, limit);
        if (!images) {
            ArchiveContents bad;
            bad.status = ArchiveLoadStatus::BadImages;
            bad.message = kArchiveLoadBadImages;
            bad.detail = "Datenstrom \"pstream\" nicht lesbar";
            return bad;
        }
    }
    if (lvItems != nullptr) {
        items = readWholeStream(lvItems, limit);
    }
    return readArchiveStreams(images ? &*images : nullptr, items ? &*items : nullptr);
}

ArchiveContents readArchiveFile(const std::string& path) {
    ArchiveContents failed;
    failed.status = ArchiveLoadStatus::NotCompound;
    failed.message = kArchiveLoadNotCompound;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        failed.detail = "keine lesbare Datei: " + path;
        return failed;
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    if (in) {
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        in.seekg(0, std::ios::beg);
        if (size >= 0) {
            bytes.resize(static_cast<std::size_t>(size));
            in.read(reinterpret_cast<char*>(bytes.data()), size);
        }
    }
    if (!in) {
        failed.detail = "Datei kann nicht gelesen werden: " + path;
        return failed;
    }
    return readArchiveBytes(bytes);
}

std::optional<std::vector<std::uint8_t>> buildArchiveBytes(
    const std::vector<std::uint8_t>* pstream, const std::vector<std::uint8_t>& lvItems) {
    GPtr<GsfOutput> sink(gsf_output_memory_new());
    if (!sink) {
        return std::nullopt;
    }
    bool ok = true;
    {
        GPtr<GsfOutfile> root(gsf_outfile_msole_new(sink.get()));
        if (!root) {
            return std::nullopt;
        }
        auto writeStream = [&](const char* name, const std::vector<std::uint8_t>& data) {
            GPtr<GsfOutput> child(gsf_outfile_new_child(root.get(), name, FALSE));
            if (!child) {
                return false;
            }
            bool written = data.empty() || gsf_output_write(child.get(), data.size(), data.data());
            written = gsf_output_close(child.get()) && written;
            return written;
        };
        if (pstream != nullptr) {
            ok = writeStream(kImagesStream, *pstream);
        }
        ok = writeStream(kItemsStream, lvItems) && ok;
        ok = gsf_output_close(GSF_OUTPUT(root.get())) && ok;
    }
    if (!gsf_output_is_closed(sink.get())) {
        ok = gsf_output_close(sink.get()) && ok;
    }
    if (!ok) {
        return std::nullopt;
    }
    const gsf_off_t size = gsf_output_size(sink.get());
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    if (size <= 0 || data == nullptr) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(data, data + size);
}

std::string writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    namespace fs = std::filesystem;
    const std::string cannot = "Die Datei kann nicht geschrieben werden: " + path;
    std::error_code ec;
    const fs::path target(path);
    if (fs::exists(target, ec) && !fs::is_regular_file(target, ec)) {
        return cannot + " (keine gewöhnliche Datei)";
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        return cannot + " (" + std::strerror(errno) + ")";
    }
    const std::string temp = pattern;
    auto failWith = [&](int err) {
        ::unlink(temp.c_str());
        return cannot + " (" + std::strerror(err) + ")";
    };
    // mkstemp creates the file for the owner only; give it the usual permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int err = errno;
            ::close(fd);
            return failWith(err);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        return failWith(err);
    }
    if (::close(fd) != 0) {
        return failWith(errno);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        return failWith(errno);
    }
    return {};
}

std::string writeArchiveFile(const std::string& path, const ImageListData* thumbnails,
                             std::span<const ArchiveItem> items) {
    std::optional<std::vector<std::uint8_t>> pstream;
    if (thumbnails != nullptr) {
        pstream = encodeImageList(*thumbnails);
        if (!pstream) {
            return std::string(kArchiveSaveFailed) +
                   " Die Vorschaubilder passen nicht in das "
                   "Archiv.";
        }
    }
    const auto file = buildArchiveBytes(pstream ? &*pstream : nullptr, encodeItems(items));
    if (!file) {
        return std::string(kArchiveSaveFailed) + " Die Archivdatei kann nicht aufgebaut werden.";
    }
    const std::string problem = writeFileAtomically(path, *file);
    if (!problem.empty()) {
        return std::string(kArchiveSaveFailed) + " " + problem;
    }
    return {};
}

}  // namespace planora
