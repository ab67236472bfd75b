// Times loadDrawing on a version 2200 drawing of 1,000,000 element records against reading the
// same file's bytes into memory, and reports the peak memory of the load.
//
//   planora_load_bench [FILE]   (FILE defaults to planora-bench-1m.akt in the temp folder; it is
//                                written first when it does not exist)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "akt_writer.h"
#include "drawing_file.h"

namespace akt = planora::akt;

namespace {

constexpr std::int64_t kRecords = 1'000'000;
constexpr std::int64_t kTexts = 30'000;
constexpr int kLayers = 50;

// Record mix: 70 % lines, 10 % circles, 10 % arc heads and ends, 10 % texts with frames.
void writeBenchDrawing(const std::string& path) {
    akt::FileHeader header;
    header.version = 2200;
    header.info[0] = "Benchmark";
    std::ofstream file(path, std::ios::binary);
    akt::StreamWriter w(file, header, kRecords, kTexts);
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> pos(0.0, 10000.0);
    std::uniform_real_distribution<double> len(-20.0, 20.0);
    std::uniform_int_distribution<int> layer(0, kLayers - 1);
    std::uniform_int_distribution<int> pen(1, 8);
    std::uniform_int_distribution<int> textNumber(1, static_cast<int>(kTexts));
    const int version = header.version;
    // Groups of 20 records: 14 lines, 2 circles, an arc head with its arc end, 2 texts.
    for (std::int64_t i = 0; i < kRecords; ++i) {
        const int slot = static_cast<int>(i % 20);
        const akt::Attributes at{layer(rng), pen(rng), 1, 100};
        const double x = pos(rng);
        const double y = pos(rng);
        if (slot < 14) {
            w.element(akt::lineRecord(version, x, y, x + len(rng), y + len(rng), at));
        } else if (slot < 16) {
            w.element(akt::circleRecord(version, x, y, std::abs(len(rng)) + 0.1, at));
        } else if (slot == 16) {
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
    w.finish();
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Peak resident memory (VmHWM) in KiB; resetPeak() starts a new measurement.
long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}
long currentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path =
        argc > 1 ? argv[1]
                 : (std::filesystem::temp_directory_path() / "planora-bench-1m.akt").string();
    if (!std::filesystem::exists(path)) {
        std::printf("writing %s ...\n", path.c_str());
        writeBenchDrawing(path);
    }
    const auto fileSize = std::filesystem::file_size(path);
    std::printf("file: %s, %.1f MB\n", path.c_str(), fileSize / 1e6);

    constexpr int kRuns = 5;
    std::vector<double> raw, load;
    for (int run = 0; run < kRuns; ++run) {
        auto start = std::chrono::steady_clock::now();
        {
            std::vector<char> bytes(fileSize);
            std::FILE* f = std::fopen(path.c_str(), "rb");
            const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
            if (n != bytes.size()) {
                std::fprintf(stderr, "short read\n");
                return 1;
            }
        }
        raw.push_back(millisecondsSince(start));

        planora::DrawingModel model;
        start = std::chrono::steady_clock::now();
        if (planora::loadDrawing(model, path) != 1) {
            std::fprintf(stderr, "load failed: %s\n", model.lastLoadError.c_str());
            return 1;
        }
        load.push_back(millisecondsSince(start));
    }

    // Memory of one load, measured on its own.
    const long before = currentKiB();
    resetPeak();
    std::size_t elements = 0, capacity = 0;
    {
        planora::DrawingModel model;
        planora::loadDrawing(model, path);
        elements = model.store.elementCount();
        capacity = model.store.capacity();
    }
    const long peak = peakKiB();

    std::sort(raw.begin(), raw.end());
    std::sort(load.begin(), load.end());
    const double rawMs = raw[kRuns / 2];
    const double loadMs = load[kRuns / 2];
    std::printf("elements loaded: %zu (store capacity %zu, %zu bytes each)\n", elements, capacity,
                sizeof(planora::Element));
    std::printf("raw read:    %8.1f ms (median of %d)\n", rawMs, kRuns);
    std::printf("loadDrawing: %8.1f ms (median of %d)\n", loadMs, kRuns);
    std::printf("ratio load / raw read: %.2f\n", loadMs / rawMs);
    std::printf(
        "peak memory of the load: %.1f MB above the %.1f MB before it "
        "(elements in the store %.1f MB; address space reserved %.1f MB)\n",
        (peak - before) / 1024.0, before / 1024.0, elements * sizeof(planora::Element) / 1048576.0,
        capacity * sizeof(planora::Element) / 1048576.0);
    return 0;
}
