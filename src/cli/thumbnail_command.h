// "planora-cli thumbnail [-s SIZE] DRAWING OUT.png": the preview picture a file manager shows for
// a drawing. Runs unattended on whatever files a folder holds, so a damaged or hostile file ends
// with exit code 1 and no picture, within a bounded time.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Returns the exit code: 0 written, 1 no picture (unreadable drawing, output not writable), 2
// wrong call.
int runThumbnailCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
