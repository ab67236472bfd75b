#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

namespace planora {

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::begin() {
    namespace fs = std::filesystem;
    // A link to an existing file: that file is replaced, and the link stays.
    std::error_code ec;
    if (fs::is_symlink(target_, ec)) {
        const fs::path real = fs::canonical(target_, ec);
        if (!ec) {
            target_ = real.string();
        }
    }
    const fs::path target(target_);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
        return false;
    }
    temporary_ = name.data();
    // mkstemp makes the file for the owner only; an export is an ordinary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    return open(QIODevice::WriteOnly);
}

qint64 OutputFile::readData(char*, qint64) {
    return -1;
}

qint64 OutputFile::writeData(const char* data, qint64 size) {
    if (fd_ < 0 || failed_) {
        failed_ = true;
        return -1;
    }
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, static_cast<std::size_t>(size - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            failed_ = true;
            return -1;
        }
        done += n;
    }
    return done;
}

bool OutputFile::commit() {
    if (fd_ < 0) {
        return false;
    }
    QIODevice::close();
    const int fd = fd_;
    fd_ = -1;
    const bool closed = ::close(fd) == 0;
    if (failed_ || !closed || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        failed_ = true;
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::discard() {
    if (isOpen()) {
        QIODevice::close();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace planora
