// Times the export of the 1,000,000-element benchmark drawing to DXF, SVG or PDF and prints the
// milliseconds of loading and of the export, the file size and the peak memory of the process.
// Run once per format, so that each peak is its own:
//
//   planora_export_bench dxf|svg|pdf [FILE]   (FILE defaults to planora-bench-1m.akt in the temp
//                                              folder; it is written first when it is missing)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench_drawing.h"
#include "open_drawing.h"
#include "renderer.h"
#include "vector_export.h"

using namespace planora;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: planora_export_bench dxf|svg|pdf [FILE]\n");
        return 2;
    }
    const std::string name = argv[1];
    const VectorFormat format = name == "svg"   ? VectorFormat::Svg
                                : name == "pdf" ? VectorFormat::Pdf
                                                : VectorFormat::Dxf;
    const std::string input = argc > 2 ? argv[2] : bench::benchDrawingPath();
    auto now = [] { return std::chrono::steady_clock::now(); };
    auto ms = [](auto a, auto b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };

    const auto t0 = now();
    OpenResult opened = openDrawing(input);
    if (!opened.ok()) {
        std::fprintf(stderr, "cannot load %s: %s\n", input.c_str(), opened.error.c_str());
        return 1;
    }
    const auto t1 = now();
    const std::string output =
        (std::filesystem::temp_directory_path() / ("planora-export-bench." + name)).string();
    Renderer renderer;
    VectorExportOptions options;
    options.background = 0x00FFFFFFu;
    const VectorExportResult result =
        exportVectorFile(format, *opened.model, renderer, options, output);
    const auto t2 = now();
    if (!result.error.empty()) {
        std::fprintf(stderr, "%s\n", result.error.c_str());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::error_code ec;
    std::printf("%s: %zu elements, load %.0f ms, export %.0f ms, %.1f MB written, peak %.0f MB\n",
                name.c_str(), opened.model->store.elementCount(), ms(t0, t1), ms(t1, t2),
                static_cast<double>(std::filesystem::file_size(output, ec)) / 1e6,
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    std::filesystem::remove(output, ec);
    return 0;
}
