#include "file_types.h"

#include "ascii_text.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace planora {

namespace {

bool endsWithAscii(const QString& path, QStringView suffix) {
    return endsWithAsciiIgnoreCase(path, suffix);
}

char asciiLowerByte(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

// The first bytes of the file, or nothing when it cannot be opened for reading.
std::optional<QByteArray> leadingBytes(const QString& path, qint64 count) {
    if (QFileInfo(path).isDir()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.read(count);
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
