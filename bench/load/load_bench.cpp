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
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "akt_writer.h"
#include "bench_drawing.h"
#include "drawing_file.h"

namespace {

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

// A drawing of 2,000 lines on 1,000 layers whose layer block lists `layers` switched-off
// layer records; loading it and hiding its off layers must grow linearly with the records.
std::vector<std::uint8_t> offLayersDrawing(int layers) {
    namespace akt = planora::akt;
    akt::Drawing d;
    d.version = 2200;
    for (int i = 0; i < 2000; ++i) {
        akt::addLine(d, i, 0, i, 1, akt::Attributes{i % 1000, 1, 1, 100});
    }
    for (int i = 0; i < layers; ++i) {
        akt::addLayer(d, i % 1000, "Folie", false);
    }
    return akt::writeDrawing(d);
}

struct OffLayerTimes {
    double loadMs;
    double hideMs;
};

OffLayerTimes openWithOffLayers(const std::vector<std::uint8_t>& bytes) {
    std::vector<double> load, hide;
    // The fastest of several runs: these are milliseconds, and a shared machine only adds.
    for (int run = 0; run < 9; ++run) {
        planora::DrawingModel model;
        auto start = std::chrono::steady_clock::now();
        planora::loadDrawingFromBytes(model, bytes, "folien.akt");
        load.push_back(millisecondsSince(start));
        start = std::chrono::steady_clock::now();
        planora::applyLayerFlags(model);
        hide.push_back(millisecondsSince(start));
    }
    return {*std::min_element(load.begin(), load.end()),
            *std::min_element(hide.begin(), hide.end())};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : planora::bench::benchDrawingPath();
    const auto fileSize = std::filesystem::file_size(path);
    std::printf("file: %s, %.1f MB\n", path.c_str(), fileSize / 1e6);

    constexpr int kRuns = 5;
    std::vector<double> raw, load, warmRead, freshTouch;
    // The limits of a load: reading the bytes into a buffer whose pages exist already, and the
    // first touch of fresh memory of the element store's size (page faults, nothing else).
    std::vector<char> warm(fileSize, 1);
    std::size_t storeBytes = 0;
    {
        planora::DrawingModel model;
        planora::loadDrawing(model, path);
        storeBytes = model.store.elementCount() * sizeof(planora::Element);
    }
    for (int run = 0; run < kRuns; ++run) {
        {
            const auto start = std::chrono::steady_clock::now();
            std::FILE* f = std::fopen(path.c_str(), "rb");
            const std::size_t n = std::fread(warm.data(), 1, warm.size(), f);
            std::fclose(f);
            warmRead.push_back(millisecondsSince(start));
            if (n != warm.size()) {
                std::fprintf(stderr, "short read\n");
                return 1;
            }
        }
        {
            const auto start = std::chrono::steady_clock::now();
            auto fresh = std::make_unique_for_overwrite<char[]>(storeBytes);
            for (std::size_t i = 0; i < storeBytes; i += 4096) {
                fresh[i] = 1;
            }
            freshTouch.push_back(millisecondsSince(start));
            volatile char keep = fresh[storeBytes / 2];
            (void)keep;
        }
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
    std::sort(warmRead.begin(), warmRead.end());
    std::sort(freshTouch.begin(), freshTouch.end());
    const double warmMs = warmRead[kRuns / 2];
    const double touchMs = freshTouch[kRuns / 2];
    std::printf("limit: read into a touched buffer %8.1f ms, ratio load / it %.2f\n", warmMs,
                loadMs / warmMs);
    std::printf("limit: first touch of %.1f MB fresh memory %8.1f ms, ratio load / it %.2f\n",
                storeBytes / 1e6, touchMs, loadMs / touchMs);
    std::printf(
        "peak memory of the load: %.1f MB above the %.1f MB before it "
        "(elements in the store %.1f MB; address space reserved %.1f MB)\n",
        (peak - before) / 1024.0, before / 1024.0, elements * sizeof(planora::Element) / 1048576.0,
        capacity * sizeof(planora::Element) / 1048576.0);

    const OffLayerTimes few = openWithOffLayers(offLayersDrawing(50000));
    const OffLayerTimes many = openWithOffLayers(offLayersDrawing(200000));
    std::printf(
        "off layers 50,000 -> 200,000: load %.1f -> %.1f ms, hiding %.2f -> %.2f ms, "
        "ratio of the sums %.2f (4 = linear)\n",
        few.loadMs, many.loadMs, few.hideMs, many.hideMs,
        (many.loadMs + many.hideMs) / (few.loadMs + few.hideMs));
    return 0;
}
