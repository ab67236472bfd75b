// The texts the main window shows: status line parts, window title, scale menu entries, the
// about box and the messages of the file intake. Pure functions of their inputs, apart from
// statusFieldsForFile, which looks at the file.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

#include "drawing_model.h"

namespace planora {

inline constexpr char kProgramName[] = "KVN-CAD-Betrachter";

// Right edges of the six status line parts in pixels; -1: the last part runs to the edge.
inline constexpr std::array<int, 6> kStatusPartRightEdges = {400, 520, 560, 670, 740, -1};

enum StatusPart : int {
    StatusMessagePart = 0,  // transient texts: prompts, measured values, load warnings
    StatusFileNamePart = 1,
    StatusFormatPart = 2,
    StatusDatePart = 3,
    StatusSizePart = 4,
    StatusLayerPart = 5,
};

// The text after the last "/" (the whole path when there is none).
QString fileNameOfPath(const QString& path);

// The format code: bytes 3 to 7 of the file's first bytes as text, from byte 4 when byte 3 is
// "0", ending early at a NUL byte. Missing bytes count as NUL.
QString formatCodeText(const QByteArray& firstBytes);

// "%02d.%02d.%d %02d:%02d" (day, month, year, hour, minute) of the time in UTC.
QString fileDateText(const QDateTime& lastWrite);

// "9999 b" below 10000 bytes, "10.000 kb" (size / 1000) below 1000000, else "1.000 Mb".
QString fileSizeText(qint64 size);

// "Layer an: %d von %d".
QString layerCountText(int switchedOn, int total);
// The same for the layers of a drawing.
QString layerCountText(const DrawingModel& model);

struct StatusFields {
    QString fileName;
    QString formatCode;
    QString date;
    QString size;
};

// Parts 1 to 4 for a drawing's file; nothing when the file cannot be opened, so that the status
// line keeps what it shows.
std::optional<StatusFields> statusFieldsForFile(const QString& path);

// Where a drawing came from when it was unpacked from a zip file.
struct ZipOrigin {
    bool inZipTempFolder = false;    // the drawing lies in a zip extraction folder
    std::optional<QString> zipPath;  // the zip file's path when it is still known
};

// The window title for a title mode (0 program name, 1 with file name, 2 with full path); any
// other mode shows the program name alone. Nothing without a drawing path: the title then stays
// as it is.
std::optional<QString> windowTitle(int titleMode, const QString& drawingPath,
                                   const ZipOrigin& zip = {});

// Scale menu entry "1:%d" and its caption.
QString scaleMenuText(int denominator);
inline constexpr char kScaleMenuCaption[] = "Maßstab setzen";

// The about box; a version of more than 9 characters shows as "0.00".
inline constexpr char kAboutCaption[] = "Programm Information";
QString aboutText(const QString& version);

// Messages of the file intake.
inline constexpr char kCaptionWarning[] = "Achtung";
inline constexpr char kCaptionInformation[] = "Planora-Information";
QString loadErrorText(const QString& lastLoadError);  // "Einlesefehler:\n%s"
QString rejectedCountText(int count);                 // "… abgelehnt!"
QString rejectedExplanationText(int count);           // "… abgelehnt.\nPrüfen Sie …"

}  // namespace planora
