#include "zip_io.h"

#include <fcntl.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <new>
#include <set>
#include <string_view>
#include <utility>

#include "text_encoding.h"

namespace planora {
namespace {

constexpr std::size_t kPackBufferSize = 16384;
constexpr std::size_t kUnpackBufferSize = 8192;

std::string& errorLog() {
    static std::string log;
    return log;
}

// printf-style formatting of one log line.
std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) {
        std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    }
    va_end(again);
    return text;
}

std::string shown(const std::string& name) {
    return printableFileName(name);
}

// A file descriptor that closes itself.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        reset(std::exchange(other.fd_, -1));
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    // Closes and reports whether the close succeeded.
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

  private:
    int fd_;
};

bool isRegularFile(const std::string& path, std::uint64_t* size = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    if (size != nullptr) {
        *size = static_cast<std::uint64_t>(st.st_size);
    }
    return true;
}

bool endsWithNoCase(const std::string& text, const std::string& ending) {
    if (text.size() < ending.size()) {
        return false;
    }
    return std::equal(ending.begin(), ending.end(), text.end() - static_cast<long>(ending.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// ---- packing -------------------------------------------------------------------------------

struct ZipWriterCloser {
    void operator()(void* zip) const {
        if (zip != nullptr) {
            zipClose(zip, nullptr);
        }
    }
};

std::string nameInZip(const std::string& path, bool bareNames) {
    if (!bareNames) {
        return path;
    }
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool validUtf8(const std::string& text);

// Adds one file as an entry; false after an error (logged).
bool addFile(zipFile zip, const std::string& path, const PackOptions& options,
             std::vector<unsigned char>& buffer, Progress& progress) {
    const ProgressFields& f = progress.fields();
    struct stat st {};
    zip_fileinfo info{};
    mode_t permissions = 0644;
    if (::stat(path.c_str(), &st) == 0) {
        info.dosDate = dosDateTimeOf(static_cast<std::int64_t>(st.st_mtime));
        permissions = st.st_mode & 0777;
    }
    // Written on a Unix system, with the file's mode: Debian's unzip reads the names of entries
    // made on a DOS system as code page 437, even when they are flagged as UTF-8.
    info.external_fa = static_cast<uLong>(S_IFREG | permissions) << 16;
    constexpr int kMadeOnUnix = (3 << 8) | 20;
    const std::string name = nameInZip(path, options.bareNames);
    const bool large = static_cast<std::uint64_t>(st.st_size) >= 0xFFFFFFFFull;
    // The flag tells unpackers that a name is UTF-8; a Latin-1 name from an old share is not.
    const unsigned long flags = !isAscii(name) && validUtf8(name) ? (1ul << 11) : 0;
    if (zipOpenNewFileInZip4_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                options.level != 0 ? Z_DEFLATED : 0, options.level, 0, -MAX_WBITS,
                                DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, kMadeOnUnix, flags,
                                large ? 1 : 0) != ZIP_OK) {
        appendZipError(
            format("Fehler beim Öffnen der zipinternen Datei %s\n", shown(name).c_str()));
        return false;
    }
    Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid()) {
        appendZipError(
            format("Fehler beim Öffnen der Datei %s zum Einlesen\n", shown(path).c_str()));
        zipCloseFileInZip(zip);
        return false;
    }
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            appendZipError(format("Fehler beim Lesen von %s\n", shown(path).c_str()));
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        if (zipWriteInFileInZip(zip, buffer.data(), static_cast<unsigned>(got)) < 0) {
            appendZipError(
                format("Fehler beim Schreiben von %s in der Zipdatei\n", shown(name).c_str()));
            ok = false;
            break;
        }
        progress.setProgressBar(f.overallBar, ProgressBarOp::Step, static_cast<std::uint64_t>(got));
        progress.setProgressBar(f.fileBar, ProgressBarOp::Step, static_cast<std::uint64_t>(got));
    }
    in.reset();
    if (zipCloseFileInZip(zip) != ZIP_OK && ok) {
        appendZipError(
            format("Fehler beim Schließen von %s in der Zipdatei\n", shown(name).c_str()));
        ok = false;
    }
    return ok;
}

// ---- unpacking -----------------------------------------------------------------------------

// minizip reading from bytes in memory.
struct MemoryStream {
    std::span<const unsigned char> bytes;
    std::uint64_t position = 0;
};

voidpf ZCALLBACK memoryOpen(voidpf opaque, const void*, int) {
    auto* stream =
        new (std::nothrow) MemoryStream{*static_cast<std::span<const unsigned char>*>(opaque)};
    return stream;
}
uLong ZCALLBACK memoryRead(voidpf, voidpf handle, void* buffer, uLong size) {
    auto* s = static_cast<MemoryStream*>(handle);
    const std::uint64_t left =
        s->bytes.size() - std::min<std::uint64_t>(s->position, s->bytes.size());
    const std::uint64_t n = std::min<std::uint64_t>(left, size);
    if (n > 0) {
        std::memcpy(buffer, s->bytes.data() + s->position, n);
    }
    s->position += n;
    return static_cast<uLong>(n);
}
uLong ZCALLBACK memoryWrite(voidpf, voidpf, const void*, uLong) {
    return 0;
}
ZPOS64_T ZCALLBACK memoryTell(voidpf, voidpf handle) {
    return static_cast<MemoryStream*>(handle)->position;
}
long ZCALLBACK memorySeek(voidpf, voidpf handle, ZPOS64_T offset, int origin) {
    auto* s = static_cast<MemoryStream*>(handle);
    std::uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        base = s->position;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        base = s->bytes.size();
    }
    if (offset > s->bytes.size() || base > s->bytes.size() - offset) {
        return -1;
    }
    s->position = base + offset;
    return 0;
}
int ZCALLBACK memoryClose(voidpf, voidpf handle) {
    delete static_cast<MemoryStream*>(handle);
    return 0;
}
int ZCALLBACK memoryError(voidpf, voidpf) {
    return 0;
}

struct UnzipCloser {
    void operator()(void* zip) const {
        if (zip != nullptr) {
            unzClose(zip);
        }
    }
};
using UnzipPtr = std::unique_ptr<void, UnzipCloser>;

// Whether the bytes are a zip without entries: only the end record, at the very start. minizip
// does not find an end record at offset 0, so such a zip (which packing an empty list writes) is
// recognised here.
bool isEmptyZip(std::span<const unsigned char> head, std::uint64_t size) {
    static const unsigned char kEnd[] = {'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0, 0};
    return size >= 22 && size <= 22 + 65535 && head.size() >= sizeof kEnd &&
           std::equal(std::begin(kEnd), std::end(kEnd), head.begin());
}

bool isEmptyZipSource(const ZipSource& source) {
    if (!source.bytes.empty() || source.path.empty()) {
        return isEmptyZip(source.bytes, source.bytes.size());
    }
    for (const std::string& candidate : {source.path, source.path + ".zip"}) {
        std::uint64_t size = 0;
        if (isRegularFile(candidate, &size)) {
            Fd fd(::open(candidate.c_str(), O_RDONLY | O_CLOEXEC));
            unsigned char head[12] = {};
            return fd.valid() && ::read(fd.get(), head, sizeof head) == sizeof head &&
                   isEmptyZip(head, size);
        }
    }
    return false;
}

// Opens the zip for reading: the path, or the path with ".zip" appended; logged when neither
// can be opened (a zip without entries is not an error: empty is set). Only regular files are
// opened.
UnzipPtr openForReading(const ZipSource& source, std::span<const unsigned char>& memory,
                        bool& empty) {
    empty = isEmptyZipSource(source);
    if (empty) {
        return {};
    }
    if (!source.bytes.empty() || source.path.empty()) {
        memory = source.bytes;
        zlib_filefunc64_def functions{memoryOpen, memoryRead,  memoryWrite, memoryTell,
                                      memorySeek, memoryClose, memoryError, &memory};
        UnzipPtr zip(unzOpen2_64("", &functions));
        if (!zip) {
            appendZipError(format("Cannot open %s or %s.zip\n", shown(source.path).c_str(),
                                  shown(source.path).c_str()));
        }
        return zip;
    }
    for (const std::string& candidate : {source.path, source.path + ".zip"}) {
        if (isRegularFile(candidate)) {
            if (UnzipPtr zip{unzOpen64(candidate.c_str())}) {
                return zip;
            }
        }
    }
    appendZipError(format("Cannot open %s or %s.zip\n", shown(source.path).c_str(),
                          shown(source.path).c_str()));
    return {};
}

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool validUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t more = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            code = c & 0x07u;
        } else {
            return false;
        }
        if (i + more >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3Fu);
        }
        if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (more == 3 && (code < 0x10000 || code > 0x10FFFF))) {
            return false;
        }
        i += more + 1;
    }
    return true;
}

// One entry as planned by the first walk.
struct PlannedEntry {
    std::vector<std::string> parts;  // folders and name below the target
    bool folder = false;
    bool refused = false;
    std::uint64_t size = 0;
    std::uint32_t dosDate = 0;
};

// The folders and name of an entry below the target, or the reason it is refused.
std::optional<std::vector<std::string>> safeParts(std::string name, std::string& why) {
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty()) {
        why = "leerer Name";
        return std::nullopt;
    }
    if (name.front() == '/') {
        why = "absoluter Pfad";
        return std::nullopt;
    }
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
        why = "Laufwerksbuchstabe";
        return std::nullopt;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        const std::string part = name.substr(start, end - start);
        if (part == "..") {
            why = "\"..\" im Pfad";
            return std::nullopt;
        }
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    if (parts.empty()) {
        why = "leerer Name";
        return std::nullopt;
    }
    return parts;
}

std::string joined(const std::vector<std::string>& parts, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += '/';
        }
        text += parts[i];
    }
    return text;
}

// Walks every entry, calling visit(info, name) for each; false after a logged error.
template <typename Visit>
bool walkEntries(unzFile zip, Visit visit) {
    unz_global_info64 global{};
    const int globalError = unzGetGlobalInfo64(zip, &global);
    if (globalError != UNZ_OK) {
        appendZipError(format("error %d with zipfile in unzGetGlobalInfo \n", globalError));
        return false;
    }
    int error = unzGoToFirstFile(zip);
    if (error == UNZ_END_OF_LIST_OF_FILE) {
        return true;
    }
    std::vector<char> name(65536);
    while (error == UNZ_OK) {
        unz_file_info64 info{};
        error =
            unzGetCurrentFileInfo64(zip, &info, name.data(), name.size(), nullptr, 0, nullptr, 0);
        if (error != UNZ_OK) {
            appendZipError(format("error %d with zipfile in unzGetCurrentFileInfo\n", error));
            return false;
        }
        if (!visit(info, std::string(name.data(),
                                     std::min<std::size_t>(info.size_filename, name.size() - 1)))) {
            return false;
        }
        error = unzGoToNextFile(zip);
        if (error == UNZ_END_OF_LIST_OF_FILE) {
            return true;
        }
        if (error != UNZ_OK) {
            appendZipError(format("error %d with zipfile in unzGoToNextFile\n", error));
            return false;
        }
    }
    appendZipError(format("error %d with zipfile in unzGoToFirstFile\n", error));
    return false;
}

// Opens (creating as needed) the folders of parts[0..count) below root without following links.
Fd openFolders(const Fd& root, const std::vector<std::string>& parts, std::size_t count,
               const std::string& target) {
    Fd current(::dup(root.get()));
    for (std::size_t i = 0; i < count && current.valid(); ++i) {
        if (::mkdirat(current.get(), parts[i].c_str(), 0755) != 0 && errno != EEXIST) {
            appendZipError(format("couldn't create directory %s\n",
                                  shown(target + "/" + joined(parts, i + 1)).c_str()));
            return Fd();
        }
        Fd next(::openat(current.get(), parts[i].c_str(),
                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid()) {
            appendZipError(format("couldn't create directory %s\n",
                                  shown(target + "/" + joined(parts, i + 1)).c_str()));
            return Fd();
        }
        current = std::move(next);
    }
    return current;
}

void setFileTime(int folder, const std::string& name, std::uint32_t dosDate) {
    if (dosDate == 0) {
        return;
    }
    std::tm t{};
    t.tm_year = static_cast<int>((dosDate >> 25) & 0x7F) + 80;
    t.tm_mon = static_cast<int>((dosDate >> 21) & 0x0F) - 1;
    t.tm_mday = static_cast<int>((dosDate >> 16) & 0x1F);
    t.tm_hour = static_cast<int>((dosDate >> 11) & 0x1F);
    t.tm_min = static_cast<int>((dosDate >> 5) & 0x3F);
    t.tm_sec = static_cast<int>(dosDate & 0x1F) * 2;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    if (when == static_cast<std::time_t>(-1)) {
        return;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    ::utimensat(folder, name.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

bool isDrawingName(const std::string& name) {
    return endsWithNoCase(name, ".akt");
}

}  // namespace

void appendZipError(const std::string& message) {
    std::string& log = errorLog();
    if (!log.empty() && log.back() != '\n') {
        log += '\n';
    }
    log += message;
}

void clearZipErrorLog() {
    errorLog().clear();
}

const std::string& zipErrorLog() {
    return errorLog();
}

std::string zipTargetName(const std::string& name) {
    if (name.empty() || endsWithNoCase(name, ".zip")) {
        return name;
    }
    return name + ".zip";
}

int countUmlautNames(const std::vector<std::string>& paths) {
    static constexpr const char* kUtf8[] = {"\xC3\xA4", "\xC3\x84", "\xC3\xB6", "\xC3\x96",
                                            "\xC3\xBC", "\xC3\x9C", "\xC3\x9F"};
    static constexpr std::string_view kWindows1252 = "\xE4\xC4\xF6\xD6\xFC\xDC\xDF";
    int count = 0;
    for (const std::string& path : paths) {
        const std::size_t slash = path.rfind('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        bool found = false;
        if (validUtf8(name)) {
            found = std::any_of(std::begin(kUtf8), std::end(kUtf8), [&](const char* umlaut) {
                return name.find(umlaut) != std::string::npos;
            });
        } else {
            found = name.find_first_of(kWindows1252) != std::string::npos;
        }
        count += found ? 1 : 0;
    }
    return count;
}

std::uint32_t dosDateTimeOf(std::int64_t unixSeconds) {
    const auto seconds = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr || local.tm_year < 80 || local.tm_year > 207) {
        return 0;
    }
    const auto date = static_cast<std::uint32_t>(((local.tm_year - 80) << 9) |
                                                 ((local.tm_mon + 1) << 5) | local.tm_mday);
    const auto time = static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                                 (local.tm_sec / 2));
    return (date << 16) | time;
}

int packZip(const std::string& requestedName, const std::vector<std::string>& paths,
            const PackOptions& options, Progress& progress) {
    clearZipErrorLog();
    const std::string zipName = zipTargetName(requestedName);
    if (zipName.empty()) {
        appendZipError("Fehler bei der Anforderung von Speicherblöcken\n");
        return -104;
    }
    std::vector<unsigned char> buffer(kPackBufferSize);
    const ProgressFields& f = progress.fields();

    std::uint64_t total = 0;
    for (const std::string& path : paths) {
        std::uint64_t size = 0;
        if (isRegularFile(path, &size)) {
            total += size;
        }
    }
    progress.setProgressText(f.caption, zipName, 1);
    progress.setProgressText(f.archive, zipName);
    progress.setProgressCounter(0, static_cast<unsigned>(paths.size()));
    progress.setProgressText(f.file, " ");
    progress.setProgressText(f.folder, ".\\");
    progress.setProgressText(f.percent, " ");
    progress.setProgressBar(f.overallBar, ProgressBarOp::Range, total, kPackBufferSize);

    if (options.confirmOverwrite && ::access(zipName.c_str(), F_OK) == 0 &&
        !options.confirmOverwrite(zipName)) {
        return 0;
    }

    // The zip is written beside the target and renamed once it is complete.
    const std::filesystem::path target(zipName);
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    Fd created(::mkstemp(temporary.data()));
    if (!created.valid()) {
        appendZipError(format("Fehler beim Öffnen der Zipdatei %s\n", shown(zipName).c_str()));
        return 0;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(created.get(), 0666 & ~mask);
    created.reset();

    bool failed = false;
    zipFile zip = zipOpen64(temporary.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        appendZipError(format("Fehler beim Öffnen der Zipdatei %s\n", shown(zipName).c_str()));
        failed = true;
    } else {
        for (const std::string& path : paths) {
            if (failed) {
                break;
            }
            std::uint64_t size = 0;
            if (isRegularFile(path, &size) && ::access(path.c_str(), R_OK) == 0) {
                progress.setProgressBar(f.fileBar, ProgressBarOp::Range, size, kPackBufferSize);
                progress.setProgressText(f.file, path);
                failed = !addFile(zip, path, options, buffer, progress);
            } else {
                appendZipError(
                    format("Datei %s fehlte und wurde nicht gezipped!\n", shown(path).c_str()));
            }
            progress.advanceProgressCounter();
        }
        if (zipClose(zip, nullptr) != ZIP_OK) {
            appendZipError(format("Fehler beim Schließen von %s\n", shown(zipName).c_str()));
            failed = true;
        }
    }
    if (!failed) {
        // The data must be on disk before the name points to it.
        Fd written(::open(temporary.c_str(), O_RDONLY | O_CLOEXEC));
        if (!written.valid() || ::fsync(written.get()) != 0 || !written.close()) {
            appendZipError(format("Fehler beim Schließen von %s\n", shown(zipName).c_str()));
            failed = true;
        }
    }
    if (!failed && ::rename(temporary.c_str(), zipName.c_str()) != 0) {
        appendZipError(format("Die Zipdatei %s konnte nicht angelegt werden: %s\n",
                              shown(zipName).c_str(), std::strerror(errno)));
        failed = true;
    }
    if (failed) {
        ::unlink(temporary.c_str());
    }
    return 0;
}

// ---- temporary folders ---------------------------------------------------------------------

ZipTempFolders::~ZipTempFolders() {
    deleteAll();
}

std::optional<std::string> ZipTempFolders::makeZipTempFolder(const std::string& zipPath) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) {
        return std::nullopt;
    }
    std::string folder = (base / "zptXXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        return std::nullopt;
    }
    records_.push_back({folder, zipPath});
    return folder;
}

const ZipTempFolders::Record* ZipTempFolders::recordOf(const std::string& path) const {
    for (const Record& record : records_) {
        if (path.size() > record.folder.size() &&
            path.compare(0, record.folder.size(), record.folder) == 0 &&
            path[record.folder.size()] == '/') {
            return &record;
        }
    }
    return nullptr;
}

bool ZipTempFolders::isInZipTempFolder(const std::string& path) const {
    return recordOf(path) != nullptr;
}

std::optional<std::string> ZipTempFolders::zipOfTempPath(const std::string& path) const {
    const Record* record = recordOf(path);
    return record != nullptr ? std::optional<std::string>(record->zipPath) : std::nullopt;
}

std::vector<std::string> ZipTempFolders::folders() const {
    std::vector<std::string> list;
    for (const Record& record : records_) {
        list.push_back(record.folder);
    }
    return list;
}

void ZipTempFolders::deleteAll() {
    for (const Record& record : records_) {
        std::error_code ec;
        std::filesystem::remove_all(record.folder, ec);
    }
    records_.clear();
}

// ---- unpacking -----------------------------------------------------------------------------

std::optional<std::vector<std::string>> listZipEntries(const ZipSource& source) {
    std::span<const unsigned char> memory;
    bool empty = false;
    UnzipPtr zip = openForReading(source, memory, empty);
    if (!zip) {
        return empty ? std::optional<std::vector<std::string>>(std::vector<std::string>())
                     : std::nullopt;
    }
    std::vector<std::string> names;
    if (!walkEntries(zip.get(), [&](const unz_file_info64&, std::string name) {
            names.push_back(std::move(name));
            return true;
        })) {
        return std::nullopt;
    }
    return names;
}

std::vector<UnpackedDrawing> unpackZip(const ZipSource& source, const std::string& target,
                                       Progress& progress, const UnpackLimits& limits) {
    clearZipErrorLog();
    const ProgressFields& f = progress.fields();
    progress.setProgressText(f.caption, source.path, 0);
    progress.setProgressText(f.archive, source.path);
    progress.setProgressCounter(0, 0);
    progress.setProgressText(f.file, " ");
    progress.setProgressText(f.folder, ".\\");
    progress.setProgressText(f.percent, " ");

    std::span<const unsigned char> memory;
    bool empty = false;
    UnzipPtr zip = openForReading(source, memory, empty);
    if (!zip) {
        return {};
    }

    // First walk: check every name and sum the sizes before anything is written.
    std::vector<PlannedEntry> plan;
    std::set<std::string> files;
    std::set<std::string> folders;
    std::uint64_t total = 0;
    const bool walked = walkEntries(zip.get(), [&](const unz_file_info64& info,
                                                   const std::string& name) {
        progress.tick();
        PlannedEntry entry;
        entry.size = info.uncompressed_size;
        entry.dosDate = static_cast<std::uint32_t>(info.dosDate);
        const std::string printable = shown(name);
        std::string why;
        const bool unixHost = (info.version >> 8) == 3;
        const auto mode = static_cast<mode_t>(info.external_fa >> 16);
        if (!validUtf8(name)) {
            appendZipError(
                format("Eintrag %s: der Name ist kein gültiges UTF-8 und wurde nicht "
                       "ausgepackt\n",
                       printable.c_str()));
            entry.refused = true;
        } else if (auto parts = safeParts(name, why)) {
            entry.parts = std::move(*parts);
            entry.folder = name.back() == '/' || name.back() == '\\';
            const std::string key = joined(entry.parts, entry.parts.size());
            if (unixHost && S_ISLNK(mode)) {
                appendZipError(
                    format("Eintrag %s ist ein symbolischer Link und wurde nicht "
                           "ausgepackt\n",
                           printable.c_str()));
                entry.refused = true;
            } else if ((info.flag & 1u) != 0 && !entry.folder) {
                appendZipError(format("Eintrag %s ist verschlüsselt und wurde nicht ausgepackt\n",
                                      printable.c_str()));
                entry.refused = true;
            } else if (entry.folder) {
                if (files.count(key) != 0) {
                    appendZipError(
                        format("Eintrag %s kommt doppelt vor und wurde nur einmal "
                               "ausgepackt\n",
                               printable.c_str()));
                    entry.refused = true;
                }
                folders.insert(key);
            } else if (files.count(key) != 0 || folders.count(key) != 0) {
                appendZipError(
                    format("Eintrag %s kommt doppelt vor und wurde nur einmal "
                           "ausgepackt\n",
                           printable.c_str()));
                entry.refused = true;
            } else {
                files.insert(key);
                // Saturating: declared zip64 sizes must not wrap the sum below the free space.
                total = entry.size > UINT64_MAX - total ? UINT64_MAX : total + entry.size;
            }
        } else {
            appendZipError(
                format("Eintrag %s führt aus dem Zielordner heraus (%s) und wurde "
                       "nicht ausgepackt\n",
                       printable.c_str(), why.c_str()));
            entry.refused = true;
        }
        plan.push_back(std::move(entry));
        return true;
    });
    if (!walked) {
        return {};
    }

    std::uint64_t freeSpace = 0;
    if (limits.freeSpace) {
        freeSpace = *limits.freeSpace;
    } else {
        struct statvfs fs {};
        if (::statvfs(target.c_str(), &fs) == 0) {
            freeSpace = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
        }
    }
    if (total > freeSpace) {
        appendZipError(
            format("Die Zip-Datei %s wird ausgepackt %llu Bytes groß, im temporären "
                   "Ordner sind aber nur %llu Bytes frei. Es wurde nichts ausgepackt.\n",
                   shown(source.path).c_str(), static_cast<unsigned long long>(total),
                   static_cast<unsigned long long>(freeSpace)));
        return {};
    }
    progress.setProgressCounter(0, static_cast<unsigned>(plan.size()));
    progress.setProgressBar(f.overallBar, ProgressBarOp::Range, total, kUnpackBufferSize);

    Fd root(::open(target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid()) {
        appendZipError(format("couldn't create directory %s\n", shown(target).c_str()));
        return {};
    }

    // Second walk: write what the first one accepted.
    std::vector<UnpackedDrawing> drawings;
    std::vector<unsigned char> buffer(kUnpackBufferSize);
    std::size_t index = 0;
    walkEntries(zip.get(), [&](const unz_file_info64&, const std::string&) {
        if (index >= plan.size()) {
            return false;
        }
        progress.tick();  // also between many small entries
        const PlannedEntry& entry = plan[index++];
        if (entry.refused) {
            return true;
        }
        const std::string entryName = joined(entry.parts, entry.parts.size());
        const std::string outputName = target + "/" + entryName;
        if (entry.folder) {
            progress.setProgressText(f.folder, entryName);
            openFolders(root, entry.parts, entry.parts.size(), target);
            return true;
        }
        Fd folder = openFolders(root, entry.parts, entry.parts.size() - 1, target);
        if (!folder.valid()) {
            return true;
        }
        const std::string& leaf = entry.parts.back();
        Fd out(::openat(folder.get(), leaf.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!out.valid()) {
            appendZipError(format("error opening %s\n", shown(outputName).c_str()));
            return true;
        }
        const int opened = unzOpenCurrentFile(zip.get());
        if (opened != UNZ_OK) {
            appendZipError(format("error %d with zipfile in unzOpenCurrentFile\n", opened));
            out.reset();
            ::unlinkat(folder.get(), leaf.c_str(), 0);
            return true;
        }
        progress.setProgressText(f.file, outputName);
        progress.advanceProgressCounter();
        progress.setProgressBar(f.fileBar, ProgressBarOp::Range, entry.size, kUnpackBufferSize);
        bool failed = false;
        std::uint64_t written = 0;
        for (;;) {
            const int got =
                unzReadCurrentFile(zip.get(), buffer.data(), static_cast<unsigned>(buffer.size()));
            if (got < 0) {
                appendZipError(format("error %d with zipfile in unzReadCurrentFile\n", got));
                failed = true;
                break;
            }
            if (got == 0) {
                break;
            }
            written += static_cast<std::uint64_t>(got);
            if (written > entry.size) {
                appendZipError(
                    format("Eintrag %s enthält mehr Daten als angegeben und wurde "
                           "nicht ausgepackt\n",
                           shown(entryName).c_str()));
                failed = true;
                break;
            }
            progress.setProgressBar(f.overallBar, ProgressBarOp::Step,
                                    static_cast<std::uint64_t>(got));
            progress.setProgressBar(f.fileBar, ProgressBarOp::Step,
                                    static_cast<std::uint64_t>(got));
            if (!writeAll(out.get(), buffer.data(), static_cast<std::size_t>(got))) {
                appendZipError("error in writing extracted file\n");
                failed = true;
                break;
            }
        }
        if (!failed && written != entry.size) {
            appendZipError(format("Eintrag %s enthält weniger Daten als angegeben\n",
                                  shown(entryName).c_str()));
            failed = true;
        }
        if (!out.close() && !failed) {
            appendZipError("error in writing extracted file\n");
            failed = true;
        }
        const int closed = unzCloseCurrentFile(zip.get());
        if (!failed && closed != UNZ_OK) {
            appendZipError(format("error %d with zipfile in unzCloseCurrentFile\n", closed));
            if (closed == UNZ_CRCERROR) {
                appendZipError(format("Prüfsummenfehler in %s\n", shown(entryName).c_str()));
            }
            failed = true;
        }
        if (failed) {
            // A damaged file is not left behind to be opened later.
            ::unlinkat(folder.get(), leaf.c_str(), 0);
            return true;
        }
        setFileTime(folder.get(), leaf, entry.dosDate);
        if (isDrawingName(leaf)) {
            drawings.push_back({outputName, entryName});
        }
        return true;
    });
    return drawings;
}

std::optional<std::vector<UnpackedDrawing>> openZipFile(ZipTempFolders& folders,
                                                        const std::string& zipPath,
                                                        Progress& progress) {
    const std::optional<std::string> folder = folders.makeZipTempFolder(zipPath);
    if (!folder) {
        clearZipErrorLog();
        appendZipError("Zip-Datei konnte nicht ausgepackt werden!");
        return std::nullopt;
    }
    std::vector<UnpackedDrawing> drawings = unpackZip(ZipSource{zipPath}, *folder, progress);
    if (!zipErrorLog().empty()) {
        return std::nullopt;
    }
    return drawings;
}

bool looksLikeZipFile(const std::string& path) {
    if (!endsWithNoCase(path, ".zip") || !isRegularFile(path)) {
        return false;
    }
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    char magic[2] = {};
    return fd.valid() && ::read(fd.get(), magic, 2) == 2 && magic[0] == 'P' && magic[1] == 'K';
}

}  // namespace planora
