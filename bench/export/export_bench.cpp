// Times the export of the benchmark drawing to DXF, SVG and PDF and measures the peak memory of
// each, at 1,000,000 records and at 4,000,000 (to show that memory grows in step with the
// drawing). Every export runs in a child process of its own, so that each peak is its own.
// Prints, per format and size: the wall time and processor time of the export, the file size and
// the peak memory. Beside them: the limit of the machine for an exact text export (one pass over
// the element records writing every stored number as its shortest text to a file) and the ratio
// to it, and the goals (3 s and 400 MB at the 1,000,000-record size) with the ratio to them; at
// the larger size, the ratio of its peak to the smaller one's.
//
//   planora_export_bench [--formats dxf,svg,pdf] [--large-records N] [FILE]
//     FILE defaults to planora-bench-1m.akt in the temp folder (written first when missing);
//     the larger drawing is written into the temp folder once. --large-records 0 leaves it out.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_drawing.h"
#include "buffered_output.h"
#include "open_drawing.h"
#include "output_file.h"
#include "renderer.h"
#include "vector_export.h"

using namespace planora;

namespace {

constexpr double kTimeLimitMs = 3000.0;
constexpr double kMemoryLimitMb = 400.0;

struct Outcome {
    bool ok = false;
    std::size_t elements = 0;
    double loadMs = 0;
    double exportMs = 0;
    double exportCpuMs = 0;
    double writtenMb = 0;
    double peakMb = 0;
};

double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// In the child: load, export, report through `fd`.
int exportInChild(const std::string& input, const std::string& name, int fd) {
    const VectorFormat format = name == "svg"   ? VectorFormat::Svg
                                : name == "pdf" ? VectorFormat::Pdf
                                                : VectorFormat::Dxf;
    auto now = [] { return std::chrono::steady_clock::now(); };
    auto ms = [](auto a, auto b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    Outcome outcome;
    const auto t0 = now();
    OpenResult opened = openDrawing(input);
    if (!opened.ok()) {
        std::fprintf(stderr, "cannot load %s: %s\n", input.c_str(), opened.error.c_str());
        return 1;
    }
    const auto t1 = now();
    const double cpu0 = cpuMs();
    const std::string output =
        (std::filesystem::temp_directory_path() / ("planora-export-bench." + name)).string();
    if (name == "limit") {
        // Every element's five stored numbers, shortest text, one line per element.
        OutputFile file(output);
        bool ok = file.begin();
        if (ok) {
            BufferedOutput out(&file);
            for (const Element& e : opened.model->store.elements()) {
                for (double v : e.g) {
                    out.number(v) << ' ';
                }
                out << '\n';
            }
            ok = out.flush() && file.commit();
        }
        if (!ok) {
            std::fprintf(stderr, "cannot write %s\n", output.c_str());
            return 1;
        }
    } else {
        Renderer renderer;
        VectorExportOptions options;
        options.background = 0x00FFFFFFu;
        const VectorExportResult result =
            exportVectorFile(format, *opened.model, renderer, options, output);
        if (!result.error.empty()) {
            std::fprintf(stderr, "%s\n", result.error.c_str());
            return 1;
        }
    }
    const auto t2 = now();
    outcome.ok = true;
    outcome.elements = opened.model->store.elementCount();
    outcome.loadMs = ms(t0, t1);
    outcome.exportMs = ms(t1, t2);
    outcome.exportCpuMs = cpuMs() - cpu0;
    std::error_code ec;
    outcome.writtenMb = static_cast<double>(std::filesystem::file_size(output, ec)) / 1e6;
    std::filesystem::remove(output, ec);
    return ::write(fd, &outcome, sizeof outcome) == static_cast<ssize_t>(sizeof outcome) ? 0 : 1;
}

Outcome runExport(const std::string& input, const std::string& name) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return {};
    }
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        ::_exit(exportInChild(input, name, fds[1]));
    }
    ::close(fds[1]);
    Outcome outcome;
    const bool got =
        ::read(fds[0], &outcome, sizeof outcome) == static_cast<ssize_t>(sizeof outcome);
    ::close(fds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return {};
    }
    outcome.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> formats = {"dxf", "svg", "pdf"};
    long long largeRecords = 4'000'000;
    std::string input;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--formats" && i + 1 < argc) {
            formats.clear();
            std::string list = argv[++i];
            for (std::size_t pos = 0; pos <= list.size();) {
                const std::size_t comma = std::min(list.find(',', pos), list.size());
                formats.push_back(list.substr(pos, comma - pos));
                pos = comma + 1;
            }
        } else if (a == "--large-records" && i + 1 < argc) {
            largeRecords = std::atoll(argv[++i]);
        } else if (a == "dxf" || a == "svg" || a == "pdf") {
            formats = {a};
        } else {
            input = a;
        }
    }
    if (input.empty()) {
        input = bench::benchDrawingPath();
    }
    std::vector<std::string> inputs = {input};
    if (largeRecords > 0) {
        inputs.push_back(bench::benchDrawingPath(largeRecords));
    }

    std::vector<Outcome> limits;
    for (const std::string& in : inputs) {
        limits.push_back(runExport(in, "limit"));
    }
    std::printf("%-5s %9s %8s %9s %8s %8s %6s %6s %7s %6s %7s %9s\n", "", "elements", "load ms",
                "export ms", "cpu ms", "limit ms", "xlimit", "xgoal", "peak MB", "xgoal", "xpeak1",
                "written");
    for (const Outcome& l : limits) {
        std::printf("%-5s %9zu %8.0f %9.0f %8.0f %8s %6s %6s %7.0f %6s %7s %7.1fMB\n", "limit",
                    l.elements, l.loadMs, l.exportMs, l.exportCpuMs, "", "", "", l.peakMb, "", "",
                    l.writtenMb);
    }
    bool allMet = true;
    for (const std::string& name : formats) {
        double firstPeak = 0;
        std::size_t firstElements = 0;
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            const Outcome o = runExport(inputs[k], name);
            if (!o.ok) {
                std::printf("%-5s export of %s failed\n", name.c_str(), inputs[k].c_str());
                allMet = false;
                continue;
            }
            const double limitMs = limits[k].ok ? limits[k].exportMs : 0.0;
            if (k == 0) {
                firstPeak = o.peakMb;
                firstElements = o.elements;
                const bool met = o.exportMs <= kTimeLimitMs && o.peakMb <= kMemoryLimitMb;
                allMet = allMet && met;
                std::printf(
                    "%-5s %9zu %8.0f %9.0f %8.0f %8.0f %5.2fx %5.2fx %7.0f %5.2fx %7s "
                    "%7.1fMB  goals %s\n",
                    name.c_str(), o.elements, o.loadMs, o.exportMs, o.exportCpuMs, limitMs,
                    o.exportMs / limitMs, o.exportMs / kTimeLimitMs, o.peakMb,
                    o.peakMb / kMemoryLimitMb, "", o.writtenMb, met ? "met" : "NOT met");
            } else {
                // Linear: the peak grows no faster than the element count.
                const double growth = o.peakMb / firstPeak;
                const double elementsGrowth =
                    static_cast<double>(o.elements) / static_cast<double>(firstElements);
                const bool linear = growth <= elementsGrowth * 1.1;
                allMet = allMet && linear;
                std::printf(
                    "%-5s %9zu %8.0f %9.0f %8.0f %8.0f %5.2fx %6s %7.0f %6s %6.2fx "
                    "%7.1fMB  memory %s (elements x%.2f)\n",
                    name.c_str(), o.elements, o.loadMs, o.exportMs, o.exportCpuMs, limitMs,
                    o.exportMs / limitMs, "", o.peakMb, "", growth, o.writtenMb,
                    linear ? "linear" : "NOT linear", elementsGrowth);
            }
        }
    }
    std::printf(
        "limit: one pass writing every stored number as shortest text; goals: export <= "
        "%.0f ms and peak <= %.0f MB at the first size, peak growing no faster than the "
        "elements\n",
        kTimeLimitMs, kMemoryLimitMb);
    return allMet ? 0 : 1;
}
