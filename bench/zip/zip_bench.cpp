// Drives packing and unpacking for zip_bench.sh:
//   planora_zip_bench pack ZIP FILE...     packs the files with bare names at zlib's default level
//   planora_zip_bench unpack ZIP FOLDER    unpacks into an existing folder
// Prints the zip error log and exits 1 when it is not empty.
#include <cstdio>
#include <string>
#include <vector>

#include "zip_io.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2 || (args[0] != "pack" && args[0] != "unpack") ||
        (args[0] == "unpack" && args.size() != 3)) {
        std::fputs("Aufruf: planora_zip_bench pack ZIP DATEI... | unpack ZIP ORDNER\n", stderr);
        return 2;
    }
    planora::Progress progress;
    if (args[0] == "pack") {
        planora::packZip(args[1], {args.begin() + 2, args.end()}, {}, progress);
    } else {
        planora::unpackZip(planora::ZipSource{args[1]}, args[2], progress);
    }
    if (!planora::zipErrorLog().empty()) {
        std::fputs(planora::zipErrorLog().c_str(), stderr);
        return 1;
    }
    return 0;
}
