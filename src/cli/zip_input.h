// Zip files named on planora-cli's command line: every drawing inside is unpacked into a
// temporary "zpt" folder and handled as if it had been named itself. The folders are removed
// when the owner ends, and also when the program is stopped by SIGINT, SIGTERM, SIGHUP or
// SIGPIPE.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "zip_io.h"

namespace planora {

struct CliDrawing {
    std::string path;       // the file to read
    std::string shownName;  // for messages: the argument, or "plans.zip[EG/Wand.akt]"
    bool fromZip = false;
};

class CliZipInputs {
  public:
    CliZipInputs();
    CliZipInputs(const CliZipInputs&) = delete;
    CliZipInputs& operator=(const CliZipInputs&) = delete;
    ~CliZipInputs();

    // The drawings of the arguments, zip files replaced by the drawings inside them. A zip file
    // that cannot be unpacked cleanly or holds no drawing writes its problems to err and gives
    // none.
    std::optional<std::vector<CliDrawing>> expand(const std::vector<std::string>& args,
                                                  std::ostream& err);

  private:
    ZipTempFolders folders_;
};

}  // namespace planora
