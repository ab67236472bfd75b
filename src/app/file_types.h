// Telling the files the program accepts apart: drawings, zip files and archives.
#pragma once

#include <QString>

namespace planora {

// Ends in ".akt" (ASCII case ignored) and its first 3 bytes are "kvn" (ASCII case ignored).
bool isDrawingFile(const QString& path);

// Ends in ".zip" (case ignored). With the content check a file that can be opened counts only
// when it begins with "PK" (case ignored); one that cannot be opened still counts, so that the
// zip extraction reports it.
bool isZipFile(const QString& path, bool checkContent);

// Ends in ".ad" (case ignored); the content is not looked at.
bool isArchiveFile(const QString& path);

enum class FileKind { Drawing, Zip, Archive, Other };

// The tests above in the order the file intake applies them (the zip test with its content
// check).
FileKind classifyFile(const QString& path);

}  // namespace planora
