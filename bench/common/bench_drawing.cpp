#include "bench_drawing.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "akt_writer.h"

namespace akt = planora::akt;

namespace planora::bench {
namespace {

constexpr std::int64_t kTexts = 30'000;
constexpr int kLayers = 50;

}  // namespace

// Record mix: 70 % lines, 10 % circles, 10 % arc heads and ends, 10 % texts with frames.
bool writeBenchDrawing(const std::string& path, std::int64_t records, bool spread) {
    akt::FileHeader header;
    header.version = 2200;
    header.info[0] = "Benchmark";
    std::ofstream file(path, std::ios::binary);
    akt::StreamWriter w(file, header, records, kTexts);
    std::mt19937 rng(42);
    // A million records over 10,000 x 10,000 units; spread, the side grows with the square root
    // of the record count.
    const double side =
        spread ? 10000.0 * std::sqrt(static_cast<double>(records) / kBenchRecords) : 10000.0;
    std::uniform_real_distribution<double> pos(0.0, side);
    std::uniform_real_distribution<double> len(-20.0, 20.0);
    std::uniform_int_distribution<int> layer(0, kLayers - 1);
    std::uniform_int_distribution<int> pen(1, 8);
    std::uniform_int_distribution<int> textNumber(1, static_cast<int>(kTexts));
    const int version = header.version;
    // Groups of 20 records: 14 lines, 2 circles, an arc head with its arc end, 2 texts.
    for (std::int64_t i = 0; i < records; ++i) {
        const int slot = static_cast<int>(i % 20);
        const akt::Attributes at{layer(rng), pen(rng), 1, 100};
        const double x = pos(rng);
        const double y = pos(rng);
        if (slot < 14) {
            w.element(akt::lineRecord(version, x, y, x + len(rng), y + len(rng), at));
        } else if (slot < 16) {
            w.element(akt::circleRecord(version, x, y, std::abs(len(rng)) + 0.1, at));
        } else if (slot == 16 && i + 1 < records) {  // the arc's end is a record of its own
            auto [head, end] = akt::arcRecords(version, x, y, 2.0, 10, 200, at);
            w.element(head);
            w.element(end);
            ++i;
        } else {
            akt::TextPlacement p;
            p.layer = at.layer;
            p.pen = at.pen;
            w.element(akt::textElementRecord(version, x, y, textNumber(rng), p));
        }
    }
    const char shapes[] = {'0', '1', '3', '5'};
    for (std::int64_t t = 0; t < kTexts; ++t) {
        akt::TextPlacement p;
        p.frameShape = shapes[t % 4];
        w.text(akt::textRecord("Raum " + std::to_string(t), p));
    }
    for (int l = 0; l < kLayers; ++l) {
        w.layer(akt::LayerRecord{l, "Folie " + std::to_string(l), l % 7 != 0, std::nullopt});
    }
    return w.finish();
}

std::string benchDrawingPath(std::int64_t records, bool spread) {
    const std::string name = "planora-bench-" +
                             (records % 1'000'000 == 0 ? std::to_string(records / 1'000'000) + "m"
                                                       : std::to_string(records)) +
                             (spread ? "-spread" : "") + ".akt";
    const auto path = std::filesystem::temp_directory_path() / name;
    if (!std::filesystem::exists(path)) {
        std::printf("writing %s ...\n", path.c_str());
        if (!writeBenchDrawing(path.string(), records, spread)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::filesystem::remove(path);
            std::exit(1);
        }
    }
    return path.string();
}

}  // namespace planora::bench
