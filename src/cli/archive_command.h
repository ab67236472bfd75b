// "planora-cli archive": lists archive files (".ad"), writes their thumbnails as PNG and makes
// archives from drawings.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// `args` are the words after "archive". Returns 0 on success, 1 when a file could not be read or
// written, 2 for wrong usage.
int runArchiveCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
