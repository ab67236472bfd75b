// Text forms of a loaded drawing for the command line: a readable summary and a JSON dump.
#pragma once

#include <iosfwd>
#include <string>

#include "drawing_model.h"

namespace planora {

// A readable German summary (UTF-8): version, drawing information, layers, scales and element
// counts, and the damage warning of a damaged file.
std::string drawingSummary(const DrawingModel& model);

// The loaded model as JSON (UTF-8). Numbers are written so that they read back to the same
// double; values that JSON cannot hold (infinities, NaN) are written as null.
std::string drawingJson(const DrawingModel& model);
// The same JSON written to a stream as it is made, so that memory stays bounded however large
// the output is. Returns false as soon as a write fails.
bool writeDrawingJson(std::ostream& out, const DrawingModel& model);

// The German name of an element kind in the JSON ("Line", "Circle", ...).
const char* elementKindName(ElementKind kind);

// Why a file gave no drawing, for a load that left no message of its own.
std::string loadFailureReason(const std::string& path);

}  // namespace planora
