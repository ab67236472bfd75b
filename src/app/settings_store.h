// The program's persistent settings: one QSettings store with the organisation "Quellmark" and
// the application "Planora" (on Linux ~/.config/Quellmark/Planora.conf, or under
// $XDG_CONFIG_HOME when it is set; on Windows the registry key Software\Quellmark\Planora).
//
// Binary values hold little-endian bytes so that they mean the same on every platform. A value
// that is missing, of the wrong kind or shorter than its reader expects counts as missing; write
// failures are not reported.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class QSettings;

namespace planora {

// Value names in the store.
inline constexpr char kTitleModeValue[] = "Titelzeile";
inline constexpr char kWindowPositionValue[] = "WindowPosition";
inline constexpr char kPenTableValue[] = "Pentable";
inline constexpr char kColourTableValue[] = "Colortable";
inline constexpr char kBackgroundColourValue[] = "BGColor";
inline constexpr char kLastOpenedExtensionValue[] = "lastOpenedExtension";
inline constexpr char kLastSavedExtensionValue[] = "lastSavedExtension";

// What the window title shows.
enum TitleMode : int {
    TitleProgramOnly = 0,
    TitleWithFileName = 1,
    TitleWithFullPath = 2,
};

// A window rectangle in screen coordinates, as stored in "WindowPosition" (16 bytes: left, top,
// right, bottom, each a signed 32-bit little-endian integer).
struct WindowRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// Position and size of the main window as the window wants them.
struct WindowGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

using PenTable = std::array<std::uint32_t, 8>;      // colour numbers of pens 1 to 8
using ColourTable = std::array<std::uint32_t, 16>;  // colours 0x00BBGGRR

class SettingsStore {
  public:
    // The program's own store at its usual place.
    SettingsStore();
    // A store kept in the given file (INI format); used for tests and portable setups.
    explicit SettingsStore(const QString& fileName);
    ~SettingsStore();

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The file (or on Windows the registry path) that holds the settings.
    QString location() const;

    // Raw access. A binary value is only returned when it is stored as bytes and holds at least
    // `minimumSize` of them; a string value only when it is stored as text.
    std::optional<QByteArray> readBinarySetting(const QString& name,
                                                qsizetype minimumSize = 0) const;
    std::optional<QString> readStringSetting(const QString& name) const;
    void writeBinarySetting(const QString& name, const QByteArray& data);
    void writeStringSetting(const QString& name, const QString& text);
    void removeSetting(const QString& name);
    // Writes pending changes to the file now (every write does this already).
    void sync();

    // Title mode, read from "Titelzeile" when the store is made; 0 when missing or not a number.
    int titleMode() const { return titleMode_; }
    void setTitleMode(int mode);

    // "WindowPosition". Loading gives nothing (the system's choice of place and size) when the
    // value is missing, too short or describes an empty rectangle.
    std::optional<WindowGeometry> loadWindowPosition() const;
    // Stores the rectangle; a minimized window leaves the stored value as it is.
    void saveWindowPosition(const WindowRect& rect, bool minimized = false);

    // Pen colours ("Pentable", 32 bytes; "Colortable", 64 bytes) and background colour
    // ("BGColor", 4 bytes, black when missing).
    std::optional<PenTable> penTable() const;
    void setPenTable(const PenTable& pens);
    std::optional<ColourTable> colourTable() const;
    void setColourTable(const ColourTable& colours);
    std::uint32_t backgroundColour() const;
    void setBackgroundColour(std::uint32_t colour);

  private:
    std::unique_ptr<QSettings> settings_;
    int titleMode_ = TitleProgramOnly;
};

// Decimal reading of "Titelzeile": optional leading blanks and sign, then digits; text that does
// not start with a number gives 0.
int parseTitleMode(const QString& text);

// Little-endian packing of 32-bit values as stored in the binary values.
QByteArray packLittleEndian(const std::uint32_t* values, std::size_t count);
void unpackLittleEndian(const QByteArray& bytes, std::uint32_t* values, std::size_t count);

}  // namespace planora
