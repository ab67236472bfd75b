// How Planora ties itself into a freedesktop desktop: archive files (".ad") open with it, drawings
// can be printed from the file manager's "open with" menu, a launcher on the desktop, and the
// kvn-cad drawing program started on the current drawing.
//
// Everything is written for the current user only: desktop entries and the MIME package go to
// $XDG_DATA_HOME (default ~/.local/share), the launcher to the desktop folder named in
// $XDG_CONFIG_HOME/user-dirs.dirs (default ~/Desktop).
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace planora {

// MIME type of archive files and of drawings as Planora's own package names them.
inline constexpr char kArchiveMimeType[] = "application/x-planora-archive";
inline constexpr char kDrawingMimeType[] = "application/x-kvn-cad-drawing";

// The folders the shell integration reads and writes, taken from the environment.
struct XdgPlaces {
    QString home;
    QString dataHome;      // $XDG_DATA_HOME or ~/.local/share
    QStringList dataDirs;  // $XDG_DATA_DIRS or /usr/local/share:/usr/share
    QString configHome;    // $XDG_CONFIG_HOME or ~/.config
    QString desktopDir;    // XDG_DESKTOP_DIR of user-dirs.dirs or ~/Desktop
    QString documentsDir;  // XDG_DOCUMENTS_DIR of user-dirs.dirs or the home folder

    static XdgPlaces fromEnvironment();
    // dataHome first, then dataDirs: the order in which the desktop looks things up.
    QStringList allDataDirs() const;
};

// The MIME type the desktop's MIME database gives a file name by its extension ("*.ad"), from
// the compiled glob lists mime/globs2 of every data folder; nothing for unknown extensions.
std::optional<QString> mimeTypeForExtension(const XdgPlaces& places, const QString& extension);

// The command line that runs this program: "planora" when that name on the PATH is this
// program, else its full path (quoted for a desktop entry's Exec key when needed).
QString programExecName();

// Quotes one argument for a desktop entry's Exec key when it needs quoting.
QString quoteExecArgument(const QString& argument);
// Splits an Exec value into program and arguments by the desktop entry quoting rules; a quote
// left open runs to the end of the line.
QStringList splitExecLine(const QString& line);

// ---- Archive files ----

// Whether "*.ad" already has a type of its own (any program's).
bool isArchiveTypeRegistered(const XdgPlaces& places);
// When "*.ad" has no type yet: writes the MIME package, the icon and "planora.desktop" and
// updates the user's MIME and desktop databases. Failures are not reported.
void registerArchiveType(const XdgPlaces& places, const QString& execName);

// ---- Printing drawings from the file manager ----

// The type the system gives "*.akt", or nothing.
std::optional<QString> drawingTypeName(const XdgPlaces& places);
// Whether a desktop entry "planora-print.desktop" for the drawing type exists.
bool isPrintToRegistered(const XdgPlaces& places);

enum class PrintToResult {
    NoDrawingType,  // nothing written, nothing to show
    Written,
    WriteFailed,
};
// Writes "planora-print.desktop" ("Mit Planora drucken", prints on the default printer).
PrintToResult registerPrintTo(const XdgPlaces& places, const QString& execName);

// The message shown after registerPrintTo() wrote (or tried to write) the entry.
QString printToRegisteredText();
inline constexpr char kPrintToCaption[] = "Planora - Info";
// The message shown instead when the entry could not be written.
QString printToFailedText(const XdgPlaces& places);
inline constexpr char kPrintToFailedCaption[] = "Planora - Achtung";

// ---- Desktop launcher ----

// Writes "Planora.desktop" into the desktop folder, executable and marked trusted where the
// desktop supports it. Returns whether the launcher was written.
bool createDesktopShortcut(const XdgPlaces& places, const QString& execName);
QString desktopShortcutText();
inline constexpr char kShortcutCaption[] = "Planora-Info";

// ---- The drawing program ----

// The program and arguments that start the drawing program on `drawingPath`: the open command
// cut at its first "%", with the path appended directly. The path always stays one argument,
// also when it holds blanks or quotes. Empty when the command names no program.
QStringList drawingProgramCommandLine(const QString& openCommand, const QString& drawingPath);

// Starts the drawing program's open command (see drawingProgramOpenCommand()) detached on the
// drawing. Does nothing without a drawing or without a command; the start is not checked.
void startDrawingProgram(const std::optional<QString>& openCommand, const QString& drawingPath);

// Writes `contents` to `path` through a temporary file in the same folder renamed when complete.
bool writeFileAtomically(const QString& path, const QByteArray& contents);

}  // namespace planora
