// Zip files: packing drawings into one zip file and unpacking a zip file into a temporary folder
// of its own, over minizip. Standard library and minizip only, so that the command line tool,
// the sanitizer and the fuzzing builds use the same code as the program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "progress.h"

namespace planora {

// The zip error log, one text for the whole program: packing and unpacking clear it when they
// start, the callers read it afterwards.
void appendZipError(const std::string& message);
void clearZipErrorLog();
const std::string& zipErrorLog();

// The name a zip file is written under: ".zip" is appended unless the name already ends in
// ".zip" (in any case).
std::string zipTargetName(const std::string& name);

// DOS date (high 16 bits) and time (low 16 bits) of a time in local time; 0 for times the DOS
// format cannot hold.
std::uint32_t dosDateTimeOf(std::int64_t unixSeconds);

struct PackOptions {
    int level = -1;         // zlib level; 0 stores the entries
    bool bareNames = true;  // the file name part only, otherwise the path as given
    // Asked when the zip file exists already; empty replaces it without asking.
    std::function<bool(const std::string& zipName)> confirmOverwrite;
};

// Packs the files into zipName (after zipTargetName). Missing files are logged and skipped; the
// first file that fails stops the run. The zip is written beside the target under a temporary
// name and takes the target's name only when it was closed without an error, so a failed run
// leaves an existing zip untouched. Returns 0, or -104 when the zip name is empty. Everything
// that went wrong is in the zip error log.
int packZip(const std::string& zipName, const std::vector<std::string>& paths,
            const PackOptions& options, Progress& progress);

// How many of the files' names (the part after the last "/") hold a German umlaut or "ß", which
// other zip programs may not read back correctly. Names are UTF-8; a name that is not valid
// UTF-8 is taken as Windows-1252 (a file from an old Windows share).
int countUmlautNames(const std::vector<std::string>& paths);

// One drawing found in an unpacked zip file.
struct UnpackedDrawing {
    std::string path;       // the unpacked file
    std::string entryName;  // its name inside the zip, with "/" between folders
};

// The temporary folders zip files were unpacked into. Each folder is deleted with its whole tree
// when the owner ends (or deleteAll is called).
class ZipTempFolders {
  public:
    ZipTempFolders() = default;
    ZipTempFolders(const ZipTempFolders&) = delete;
    ZipTempFolders& operator=(const ZipTempFolders&) = delete;
    ~ZipTempFolders();

    // A new, empty, unique folder "zpt…" below the system's temporary folder; none when it
    // cannot be made.
    std::optional<std::string> makeZipTempFolder(const std::string& zipPath);
    bool isInZipTempFolder(const std::string& path) const;
    std::optional<std::string> zipOfTempPath(const std::string& path) const;
    std::vector<std::string> folders() const;
    void deleteAll();

  private:
    struct Record {
        std::string folder;
        std::string zipPath;
    };
    const Record* recordOf(const std::string& path) const;
    std::vector<Record> records_;
};

// Where unpacking reads the zip file from: a path, or bytes in memory.
struct ZipSource {
    std::string path;                           // shown in messages; read when bytes is empty
    std::span<const unsigned char> bytes = {};  // when set, read from here instead
};

struct UnpackLimits {
    // Free bytes of the target folder's file system; empty asks the file system.
    std::optional<std::uint64_t> freeSpace;
};

// Unpacks every entry of the zip file into the existing folder target, with the entries'
// folders. Names that would leave the folder (absolute, "..", drive letters, backslashes used as
// separators), symbolic links, encrypted entries, duplicate names and names that are not valid
// UTF-8 are refused; a zip whose entries would not fit into the free space is refused as a
// whole; entries with more data than declared or a wrong checksum are reported and their files
// removed. Returns the drawings (".akt") unpacked without error, in zip order; every problem is
// in the zip error log.
std::vector<UnpackedDrawing> unpackZip(const ZipSource& source, const std::string& target,
                                       Progress& progress, const UnpackLimits& limits = {});

// The names inside a zip file ("/" between folders); none when it cannot be read.
std::optional<std::vector<std::string>> listZipEntries(const ZipSource& source);

// Unpacks zipPath into a new temporary folder of folders. Returns the drawings, or none when the
// zip error log is not empty afterwards (or no folder could be made: the log says so).
std::optional<std::vector<UnpackedDrawing>> openZipFile(ZipTempFolders& folders,
                                                        const std::string& zipPath,
                                                        Progress& progress);

// Whether path names a zip file: ending ".zip" in any case and beginning with "PK".
bool looksLikeZipFile(const std::string& path);

}  // namespace planora
