#include "local_file_names.h"

#include <QStringList>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace planora {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at bytes[i], or 0 when it is not one.
int utf8SequenceLength(const QByteArray& bytes, qsizetype i, char32_t& codePoint) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char b0 = at(i);
    int length = 0;
    char32_t cp = 0;
    if (b0 < 0x80) {
        codePoint = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char b = at(i + k);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, encoded surrogates and values beyond Unicode are not valid.
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    codePoint = cp;
    return length;
}

std::string statBytes(const QString& name) {
    return localFileName(name);
}

}  // namespace

QString fileNameFromLocal(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const int length = utf8SequenceLength(bytes, i, cp);
        if (length == 0) {
            name.append(QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i]))));
            ++i;
            continue;
        }
        name.append(QString::fromUcs4(&cp, 1));
        i += length;
    }
    return name;
}

std::string localFileName(const QString& name) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(name.size()));
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() &&
            QChar::isLowSurrogate(name[i + 1].unicode())) {
            bytes += QString(name.mid(i, 2)).toStdString();
            ++i;
            continue;
        }
        if (c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF) {
            bytes += static_cast<char>(c - kEscapeBase);  // a byte kept from the system's name
            continue;
        }
        bytes += QString(name[i]).toStdString();
    }
    return bytes;
}

namespace {

const QString kStoredAddressPrefix = QStringLiteral("file://");

bool holdsEscapedBytes(const QString& name) {
    for (const QChar c : name) {
        if (c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF) {
            return true;
        }
    }
    return false;
}

}  // namespace

QString storableFileName(const QString& name) {
    if (!holdsEscapedBytes(name)) {
        return name;
    }
    const std::string bytes = localFileName(name);
    return kStoredAddressPrefix +
           QString::fromLatin1(QByteArray::fromStdString(bytes).toPercentEncoding("/"));
}

QString fileNameFromStored(const QString& stored) {
    if (!stored.startsWith(kStoredAddressPrefix + u'/')) {
        return stored;
    }
    return fileNameFromLocal(
        QByteArray::fromPercentEncoding(stored.mid(kStoredAddressPrefix.size()).toLatin1()));
}

std::optional<LocalFileStatus> localFileStatus(const QString& name) {
    if (name.isEmpty()) {
        return std::nullopt;
    }
    const std::string bytes = statBytes(name);
    struct stat info {};
    if (::stat(bytes.c_str(), &info) != 0) {
        return std::nullopt;
    }
    LocalFileStatus status;
    status.regular = S_ISREG(info.st_mode);
    status.directory = S_ISDIR(info.st_mode);
    status.size = static_cast<std::int64_t>(info.st_size);
    status.lastWriteMs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000 +
                         static_cast<std::int64_t>(info.st_mtim.tv_nsec / 1000000);
    status.readable = ::access(bytes.c_str(), R_OK) == 0;
    return status;
}

std::optional<QString> nonRegularFileText(const QString& name) {
    const auto status = localFileStatus(name);
    if (!status || status->regular) {
        return std::nullopt;
    }
    return QStringLiteral("%1 ist keine reguläre Datei").arg(name);
}

QString resolveLossyFileName(const QString& name) {
    if (!name.contains(QChar::ReplacementCharacter) || localFileStatus(name)) {
        return name;
    }
    // Walk the folders from the root, replacing each part that lost bytes by the one entry of
    // its folder that reads the same.
    const QStringList parts = name.split(u'/');
    QString resolved;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        const QString folder =
            i == 0 ? QString() : (resolved.isEmpty() ? QStringLiteral("/") : resolved);
        QString chosen = part;
        if (part.contains(QChar::ReplacementCharacter)) {
            const std::string folderBytes =
                localFileName(folder.isEmpty() ? QStringLiteral(".") : folder);
            std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folderBytes.c_str()), ::closedir);
            int matches = 0;
            if (dir) {
                while (const dirent* entry = ::readdir(dir.get())) {
                    const QByteArray entryName(entry->d_name);
                    if (QString::fromLocal8Bit(entryName) == part) {
                        chosen = fileNameFromLocal(entryName);
                        ++matches;
                    }
                }
            }
            if (matches != 1) {
                return name;  // not found, or not told apart: leave it as given
            }
        }
        resolved = i == 0 ? chosen : resolved + u'/' + chosen;
    }
    return resolved;
}

}  // namespace planora
