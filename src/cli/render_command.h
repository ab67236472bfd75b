// "planora-cli render": draws drawings into PNG, SVG or PDF files.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// `args` are the words after "render". Returns 0 when every drawing was written, 1 when one or
// more failed, 2 for wrong usage.
int runRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
