// Archive files: round trips through a real file, saving that must not destroy an earlier
// archive, image lists of other colour depths, and hostile archives.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "archive_file.h"

namespace fs = std::filesystem;
using namespace planora;

namespace {

fs::path tempFolder(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("planora-archive-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ImageListData thumbnails(std::size_t count, int cx, int cy) {
    ImageListData list;
    list.cx = cx;
    list.cy = cy;
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < count; ++i) {
        RawImage image;
        image.width = cx;
        image.height = cy;
        for (int p = 0; p < cx * cy; ++p) {
            seed = seed * 1103515245u + 12345u;
            image.pixels.push_back(0xFF000000u | (seed >> 8));
        }
        list.images.push_back(std::move(image));
    }
    return list;
}

// Items as a list has them after the item with thumbnail 1 was deleted: absent, empty and
// present texts, slot 21 present, empty and absent.
std::vector<ArchiveItem> sampleItems() {
    std::vector<ArchiveItem> items(3);
    items[0].entry.texts[0] = "haus.akt";
    items[0].entry.texts[1] = "/home/plan/haus.akt";
    items[0].entry.texts[2] = "Einfamilienhaus";
    items[0].entry.texts[12] =
        "A\x06\x05"
        "B\xE4\xF6\xFC";  // remark lines, Windows-1252 umlauts
    items[0].entry.texts[21] = "letzter Text";
    items[0].imageIndex = 0;
    items[1].entry.texts[0] = "leer.akt";
    items[1].entry.texts[1] = "C:\\Projekte\\leer.akt";
    items[1].entry.texts[3] = "";
    items[1].entry.texts[20] = "";
    items[1].entry.texts[21] = "";
    items[1].imageIndex = 2;
    items[2].entry.texts[0] = "ohne.akt";
    items[2].entry.texts[1] = "";
    items[2].imageIndex = 3;
    return items;
}

void appendRecord(std::vector<std::uint8_t>& out, std::int32_t total,
                  const std::vector<std::int32_t>& lengths, std::int32_t image,
                  const std::string& data) {
    std::vector<std::int32_t> header(32, 0);
    header[0] = total;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        header[1 + i] = lengths[i];
    }
    header[22] = image;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(header.data());
    out.insert(out.end(), bytes, bytes + 128);
    out.insert(out.end(), data.begin(), data.end());
}

// A hand-made image-list stream of one bitmap form, independent of the code under test.
struct BitmapLayout {
    int width = 0;
    int height = 0;  // negative: rows from the top
    int bits = 0;
    std::vector<std::uint32_t> palette;            // 0x00RRGGBB
    std::vector<std::vector<std::uint32_t>> rows;  // values from the top: index or 0xAARRGGBB
};

void appendBitmap(std::vector<std::uint8_t>& out, const BitmapLayout& layout) {
    auto put = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    };
    const int rows = std::abs(layout.height);
    const int stride = (layout.width * layout.bits + 31) / 32 * 4;
    const std::uint32_t off = 54 + static_cast<std::uint32_t>(layout.palette.size()) * 4;
    out.push_back('B');
    out.push_back('M');
    put(off, 4);
    put(0, 4);
    put(off, 4);
    put(40, 4);
    put(static_cast<std::uint32_t>(layout.width), 4);
    put(static_cast<std::uint32_t>(layout.height), 4);
    put(1, 2);
    put(static_cast<std::uint32_t>(layout.bits), 2);
    put(0, 4);
    put(static_cast<std::uint32_t>(stride * rows), 4);
    put(0, 16);
    for (std::uint32_t c : layout.palette) {
        put(c, 4);
    }
    for (int r = 0; r < rows; ++r) {
        const auto& row =
            layout.rows[static_cast<std::size_t>(layout.height < 0 ? r : rows - 1 - r)];
        std::vector<std::uint8_t> line(static_cast<std::size_t>(stride), 0);
        for (int x = 0; x < layout.width; ++x) {
            const std::uint32_t v = row[static_cast<std::size_t>(x)];
            if (layout.bits == 32) {
                std::memcpy(&line[static_cast<std::size_t>(x) * 4], &v, 4);
            } else {
                const int bit = x * layout.bits;
                line[static_cast<std::size_t>(bit / 8)] |=
                    static_cast<std::uint8_t>(v << (8 - layout.bits - bit % 8));
            }
        }
        out.insert(out.end(), line.begin(), line.end());
    }
}

std::vector<std::uint8_t> imageListHeader(int count, int capacity, int cx, int cy, int flags) {
    const std::uint16_t words[] = {0x4C49,
                                   0x0101,
                                   static_cast<std::uint16_t>(count),
                                   static_cast<std::uint16_t>(capacity),
                                   4,
                                   static_cast<std::uint16_t>(cx),
                                   static_cast<std::uint16_t>(cy),
                                   0xFFFF,
                                   0xFFFF,
                                   static_cast<std::uint16_t>(flags),
                                   0xFFFF,
                                   0xFFFF,
                                   0xFFFF,
                                   0xFFFF};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(words);
    return std::vector<std::uint8_t>(bytes, bytes + sizeof words);
}

}  // namespace

TEST(ArchiveRoundTrip, TextsDeletedItemsAndThumbnailsComeBackExactly) {
    const fs::path dir = tempFolder("roundtrip");
    for (std::size_t count : {0u, 1u, 5u, 13u}) {
        SCOPED_TRACE(count);
        const ImageListData images = thumbnails(count, 122, 97);
        const std::vector<ArchiveItem> items = sampleItems();
        const fs::path file = dir / ("list" + std::to_string(count) + ".ad");
        ASSERT_EQ(writeArchiveFile(file.string(), &images, items), "");

        const ArchiveContents back = readArchiveFile(file.string());
        ASSERT_EQ(back.status, ArchiveLoadStatus::Ok) << back.detail;
        EXPECT_EQ(back.items.items, items);
        EXPECT_EQ(back.items.skipped, 0u);
        EXPECT_FALSE(back.items.truncated);
        EXPECT_EQ(back.thumbnails.cx, 122);
        EXPECT_EQ(back.thumbnails.cy, 97);
        ASSERT_EQ(back.thumbnails.images.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_TRUE(back.thumbnails.images[i] == images.images[i]) << "thumbnail " << i;
        }
    }
    fs::remove_all(dir);
}

TEST(ArchiveSave, FailedWriteLeavesThePreviousArchiveIntact) {
    const fs::path dir = tempFolder("failed-save");
    const fs::path file = dir / "liste.ad";
    const ImageListData small = thumbnails(1, 8, 6);
    ASSERT_EQ(writeArchiveFile(file.string(), &small, sampleItems()), "");
    const std::vector<std::uint8_t> before = readBytes(file);

    // A file size limit below the new archive's size makes the write itself fail (also for
    // root, who ignores permissions).
    const ImageListData large = thumbnails(13, 122, 97);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = before.size() + 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::string problem = writeArchiveFile(file.string(), &large, sampleItems());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(problem.rfind("Speichern fehl!", 0), 0u) << problem;
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "the temporary file was left behind";

    // A folder that does not exist: a message, nothing written.
    EXPECT_EQ(writeArchiveFile((dir / "fehlt" / "x.ad").string(), &small, sampleItems())
                  .rfind("Speichern fehl!", 0),
              0u);
    fs::remove_all(dir);
}

TEST(ImageListRead, PalettedMaskedTopDownAndAlphaFreeImagesDecode) {
    // 4-bit, bottom-up, two images of 2 x 2 with a mask: palette nibbles in the high half first.
    {
        std::vector<std::uint8_t> s = imageListHeader(2, 4, 2, 2, 0x0004 | 0x0001);
        BitmapLayout colour{8, 2, 4, {}, {{1, 2, 3, 4, 0, 0, 0, 0}, {5, 6, 7, 8, 0, 0, 0, 0}}};
        for (std::uint32_t i = 0; i < 16; ++i) {
            colour.palette.push_back(i * 0x00110000u + i);
        }
        appendBitmap(s, colour);
        appendBitmap(
            s, BitmapLayout{
                   8, 2, 1, {0, 0xFFFFFF}, {{0, 1, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 1, 0, 0, 0, 0}}});
        const auto list = decodeImageList(s);
        ASSERT_TRUE(list);
        ASSERT_EQ(list->images.size(), 2u);
        const auto& a = list->images[0].pixels;
        const auto& b = list->images[1].pixels;
        EXPECT_EQ(a[0], 0xFF110001u);
        EXPECT_EQ(a[1], 0x00220002u);  // masked: transparent
        EXPECT_EQ(a[2], 0xFF550005u);
        EXPECT_EQ(b[0], 0xFF330003u);
        EXPECT_EQ(b[3], 0x00880008u);
    }
    // 8-bit, rows from the top, the fifth image in the second row of the tiling.
    {
        std::vector<std::uint8_t> s = imageListHeader(5, 8, 1, 1, 0x0008);
        BitmapLayout colour{4, -2, 8, {}, {{0, 0, 0, 0}, {9, 0, 0, 0}}};
        colour.palette.assign(256, 0);
        colour.palette[9] = 0x00123456;
        appendBitmap(s, colour);
        const auto list = decodeImageList(s);
        ASSERT_TRUE(list);
        ASSERT_EQ(list->images.size(), 5u);
        EXPECT_EQ(list->images[4].pixels[0], 0xFF123456u);
        EXPECT_EQ(list->images[0].pixels[0], 0xFF000000u);
    }
    // 32-bit whose alpha bytes are all zero is opaque; with alpha, alpha is kept.
    {
        std::vector<std::uint8_t> s = imageListHeader(2, 4, 1, 1, 0x0020);
        appendBitmap(s, BitmapLayout{4, 1, 32, {}, {{0x00ABCDEF, 0x80102030, 0, 0}}});
        const auto list = decodeImageList(s);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->images[0].pixels[0], 0xFFABCDEFu);
        EXPECT_EQ(list->images[1].pixels[0], 0x80102030u);
    }
}

TEST(ArchiveLoad, HostileArchivesGiveMessagesNeverCrash) {
    const ImageListData images = thumbnails(2, 4, 3);
    const std::vector<std::uint8_t> pstream = *encodeImageList(images);
    const std::vector<std::uint8_t> goodItems = encodeItems(sampleItems());

    // Not a compound file; a compound file without "pstream"; one without "lvItems".
    const std::string text = "kein Archiv";
    EXPECT_EQ(
        readArchiveBytes(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))
            .message,
        "Dateiformat zum Einlesen nicht geeignet!");
    EXPECT_EQ(readArchiveBytes(*buildArchiveBytes(nullptr, goodItems)).message,
              "Dateiinhalt zum Einlesen nicht geeignet (Bilder)!");
    const ArchiveContents noItems = readArchiveStreams(&pstream, nullptr);
    EXPECT_EQ(noItems.message, "Dateiinhalt zum Einlesen nicht geeignet (Items)!");
    EXPECT_EQ(noItems.thumbnails.images.size(), 2u);

    // Image lists that do not fit their stream: truncated bitmap, missing mask, more images than
    // room, a bitmap narrower than four images, and huge sizes declared in a tiny stream.
    auto badImages = [&](std::vector<std::uint8_t> s) {
        const ArchiveContents c = readArchiveStreams(&s, &goodItems);
        EXPECT_EQ(c.status, ArchiveLoadStatus::BadImages);
        EXPECT_EQ(c.message, "Laden fehl!");
        EXPECT_TRUE(c.items.items.empty());
    };
    badImages(std::vector<std::uint8_t>(pstream.begin(), pstream.end() - 1));
    std::vector<std::uint8_t> masked = pstream;
    masked[18] |= 1;
    badImages(masked);
    std::vector<std::uint8_t> overfull = pstream;
    overfull[4] = 9;  // count 9, capacity 4
    badImages(overfull);
    std::vector<std::uint8_t> wide = pstream;
    wide[10] = 5;  // cx 5 in a bitmap 16 pixels wide
    badImages(wide);
    std::vector<std::uint8_t> huge = imageListHeader(4000, 4000, 0xFFFF, 0xFFFF, 0x18);
    appendBitmap(huge, BitmapLayout{4, 1, 24, {}, {{0, 0, 0, 0}}});
    const std::size_t hugeHeader = huge.size() - 12 - 40;
    std::memcpy(&huge[hugeHeader + 4], "\xFC\xFF\x03\x00\xFF\xFF\xFF\x7F", 8);  // w, h
    badImages(huge);

    // Records: a negative length (skipped, the next one read), lengths beyond T (skipped), a
    // thumbnail index out of range (kept, no thumbnail), then T beyond the stream.
    std::vector<std::uint8_t> items;
    appendRecord(items, 6, {-1, 7}, 0, std::string("a\0b\0c\0", 6));
    appendRecord(items, 4, {2, 9}, 0, std::string("a\0b\0", 4));
    appendRecord(items, 4, {2, 2}, 99, std::string("x\0y\0", 4));
    appendRecord(items, 4, {2, 2}, -7, std::string("u\0v\0", 4));
    appendRecord(items, 1000, {2}, 0, std::string("z\0", 2));
    const ArchiveContents hostile = readArchiveStreams(&pstream, &items);
    EXPECT_EQ(hostile.status, ArchiveLoadStatus::Ok);
    EXPECT_EQ(hostile.items.skipped, 2u);
    EXPECT_TRUE(hostile.items.truncated);
    ASSERT_EQ(hostile.items.items.size(), 2u);
    EXPECT_EQ(hostile.items.items[0].entry.label(), "u");  // inserted at 0, as the list does
    EXPECT_EQ(hostile.items.items[1].entry.label(), "x");
    EXPECT_EQ(hostile.itemsWithoutThumbnail, 2u);

    // A negative T: nothing tells where the next record starts.
    std::vector<std::uint8_t> negative;
    appendRecord(negative, -4, {}, 0, "");
    appendRecord(negative, 2, {2}, 0, std::string("a\0", 2));
    EXPECT_TRUE(decodeItems(negative).items.empty());
    EXPECT_EQ(decodeItems(negative).skipped, 1u);

    // A stream that ends inside a header keeps what came before.
    std::vector<std::uint8_t> cut = goodItems;
    cut.resize(cut.size() + 40, 0xAB);
    const DecodedItems partial = decodeItems(cut);
    EXPECT_EQ(partial.items.size(), 3u);
    EXPECT_TRUE(partial.truncated);
}
