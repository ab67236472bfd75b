// The drawing both benchmarks use: a version 2200 file of 1,000,000 element records (70 % lines,
// 10 % circles, 10 % arc heads with their ends, 10 % texts sharing 30,000 framed entries) on
// 50 layers, every seventh switched off.
#pragma once

#include <string>

namespace planora::bench {

// Writes the drawing to `path`.
void writeBenchDrawing(const std::string& path);

// The drawing's path in the temp folder; written first when it does not exist yet.
std::string benchDrawingPath();

}  // namespace planora::bench
