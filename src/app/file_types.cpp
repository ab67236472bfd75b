#include "file_types.h"

#include "ascii_text.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <optional>

#include "local_file_names.h"

namespace planora {

namespace {

bool endsWithAscii(const QString& path, QStringView suffix) {
    return endsWithAsciiIgnoreCase(path, suffix);
}

char asciiLowerByte(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

// The first bytes of the file, or nothing when it is not a regular file or cannot be opened for
// reading. Nothing else is opened: a named pipe would block until someone writes to it.
std::optional<QByteArray> leadingBytes(const QString& path, qint64 count) {
    const auto status = localFileStatus(path);
    if (!status || !status->regular) {
        return std::nullopt;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(localFileName(path).c_str(), "rb"), std::fclose);
    if (!file) {
        return std::nullopt;
    }
    QByteArray bytes(count, '\0');
    const std::size_t got =
        std::fread(bytes.data(), 1, static_cast<std::size_t>(count), file.get());
    bytes.resize(static_cast<qsizetype>(got));
    return bytes;
}

bool startsWithAscii(const QByteArray& bytes, const char* prefix) {
    for (qsizetype i = 0; prefix[i] != '\0'; ++i) {
        if (i >= bytes.size() || asciiLowerByte(bytes[i]) != asciiLowerByte(prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool isDrawingFile(const QString& path) {
    if (!endsWithAscii(path, u".akt")) {
        return false;
    }
    const auto head = leadingBytes(path, 3);
    return head && startsWithAscii(*head, "kvn");
}

bool isZipFile(const QString& path, bool checkContent) {
    if (!endsWithAscii(path, u".zip")) {
        return false;
    }
    if (!checkContent) {
        return true;
    }
    const auto head = leadingBytes(path, 2);
    return !head || startsWithAscii(*head, "pk");
}

bool isArchiveFile(const QString& path) {
    return endsWithAscii(path, u".ad");
}

FileKind classifyFile(const QString& path) {
    if (isDrawingFile(path)) {
        return FileKind::Drawing;
    }
    if (isZipFile(path, true)) {
        return FileKind::Zip;
    }
    if (isArchiveFile(path)) {
        return FileKind::Archive;
    }
    return FileKind::Other;
}

}  // namespace planora
