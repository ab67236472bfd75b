// "planora-cli export": writes drawings for other programs: DXF, SVG and PDF in drawing
// coordinates, or PNG.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// `args` are the words after "export". Returns 0 when every drawing was written, 1 when one or
// more failed, 2 for wrong usage.
int runExportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
