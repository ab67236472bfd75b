// The drawing both benchmarks use: a version 2200 file of 1,000,000 element records (70 % lines,
// 10 % circles, 10 % arc heads with their ends, 10 % texts sharing 30,000 framed entries) on
// 50 layers, every seventh switched off.
#pragma once

#include <cstdint>
#include <string>

namespace planora::bench {

// Writes the drawing to `path`; `records` other than 1,000,000 give the same mix at another size.
void writeBenchDrawing(const std::string& path, std::int64_t records = 1'000'000);

// The drawing's path in the temp folder; written first when it does not exist yet.
std::string benchDrawingPath();

}  // namespace planora::bench
