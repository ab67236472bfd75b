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

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : planora::bench::benchDrawingPath();
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
