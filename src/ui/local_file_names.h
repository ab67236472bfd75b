// File names as the system spells them (bytes) and as the program holds them (QString).
//
// Linux file names are bytes. Names that are not valid UTF-8 (Latin-1 names from old Windows
// shares, "Grundri\xdf.akt") would lose those bytes in Qt's own conversion and could then not be
// opened again. Here every byte that is not part of valid UTF-8 is kept as a lone surrogate
// U+DC80..U+DCFF in the QString, and turned back into the same byte on the way out, so that any
// name the system gives opens again.
//
// File checks work on the bytes (stat, never open), so that a named pipe or a device never
// blocks the program.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace planora {

// The name for the bytes of a local file name.
QString fileNameFromLocal(const QByteArray& bytes);
// The bytes of the local file name that `name` stands for.
std::string localFileName(const QString& name);

// A name as text for the settings store, which keeps only valid Unicode: unchanged when it is
// one, else a "file:///" address with the name's bytes percent-encoded (stored names are
// absolute, so no stored name starts that way on its own). fileNameFromStored() reverses it.
QString storableFileName(const QString& name);
QString fileNameFromStored(const QString& stored);

// A name handed over by a file dialog or a drop, which may have replaced undecodable bytes by
// U+FFFD: when no file of that name exists, the folder entries are looked up for the one that
// reads the same, and its real name is returned. Otherwise the name comes back unchanged.
QString resolveLossyFileName(const QString& name);

// What a stat (following links) tells of a file, without opening it.
struct LocalFileStatus {
    bool regular = false;  // a regular file
    bool directory = false;
    std::int64_t size = 0;
    std::int64_t lastWriteMs = 0;  // milliseconds since 1970, UTC
    bool readable = false;
};
std::optional<LocalFileStatus> localFileStatus(const QString& name);

// "<name> ist keine reguläre Datei" when the name exists and is not a regular file (a folder, a
// named pipe, a device), else nothing. Such files are never opened.
std::optional<QString> nonRegularFileText(const QString& name);

}  // namespace planora
