// The drawing the benchmarks use: a version 2200 file of 1,000,000 element records (70 % lines,
// 10 % circles, 10 % arc heads with their ends, 10 % texts sharing 30,000 framed entries) on
// 50 layers, every seventh switched off. Larger variants have more records of the same kinds
// over the same area, or, spread, over an area grown with the record count so that the density
// stays that of a million records.
#pragma once

#include <cstdint>
#include <string>

namespace planora::bench {

inline constexpr std::int64_t kBenchRecords = 1'000'000;

// Writes the drawing with `records` element records to `path`; false when it could not be
// written whole.
[[nodiscard]] bool writeBenchDrawing(const std::string& path, std::int64_t records = kBenchRecords,
                                     bool spread = false);

// The drawing's path in the temp folder (planora-bench-1m.akt for a million records,
// planora-bench-4m.akt for four, planora-bench-4m-spread.akt spread); written first when it does
// not exist yet. Ends the program when it cannot be written.
std::string benchDrawingPath(std::int64_t records = kBenchRecords, bool spread = false);

}  // namespace planora::bench
