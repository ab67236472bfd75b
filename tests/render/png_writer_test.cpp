// The PNG writer picks a colour table and its bit depth from the picture's colours; whichever it
// picks, reading the file back must give every pixel unchanged, and a device that refuses the
// bytes must be reported.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <random>

#include "png_writer.h"

namespace planora {
namespace {

// A w x h picture of `colours` different colours in random runs, the alpha byte varying (it
// must not matter).
QImage picture(int w, int h, int colours, unsigned seed) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, colours - 1), run(1, 40);
    std::uniform_int_distribution<std::uint32_t> alpha(0, 255);
    int left = 0;
    std::uint32_t c = 0;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            if (left-- <= 0) {
                const auto k = static_cast<std::uint32_t>(pick(rng));
                c = (k * 0x00010307u + 0x00203040u) & 0x00FFFFFFu;  // distinct for k < 4096
                left = run(rng);
            }
            row[x] = (alpha(rng) << 24) | c;
        }
    }
    return image;
}

TEST(PngWriter, EveryColourCountReadsBackPixelForPixel) {
    // 1, 2, 4, 16 and 256 colours fill each table depth; 3, 5, 17 and 257 just pass a boundary
    // (257 needs true colour). Odd widths leave a partly filled last byte of packed rows.
    for (int colours : {1, 2, 3, 4, 5, 16, 17, 256, 257, 5000}) {
        for (int w : {1, 7, 333}) {
            const QImage image = picture(w, 61, colours, static_cast<unsigned>(colours * 31 + w));
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            ASSERT_TRUE(writePng(buffer, image)) << colours << " colours, width " << w;
            QImage back;
            ASSERT_TRUE(back.loadFromData(buffer.data(), "PNG"));
            back = back.convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(back.size(), image.size());
            int differing = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < w; ++x) {
                    differing += (back.pixel(x, y) & 0xFFFFFF) != (image.pixel(x, y) & 0xFFFFFF);
                }
            }
            EXPECT_EQ(differing, 0) << colours << " colours, width " << w;
        }
    }
}

TEST(PngWriter, RefusedWriteIsAFailure) {
    for (int colours : {3, 5000}) {
        QBuffer buffer;
        buffer.open(QIODevice::ReadOnly);  // every write fails
        EXPECT_FALSE(writePng(buffer, picture(50, 50, colours, 1))) << colours << " colours";
    }
}

}  // namespace
}  // namespace planora
