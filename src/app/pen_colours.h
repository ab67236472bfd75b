// The pen colour configuration: which colour number each of the pens 1 to 8 uses, the 16
// colours of the colour numbers and the background colour. They are kept in the settings
// ("Pentable" 32 bytes, "Colortable" 64 bytes, "BGColor" 4 bytes, little-endian) and handed to
// the renderer. They can be taken over from the "sydat" file of a kvn-cad installation.
//
// Everything that would show a window (questions, messages, the colour dialog) goes through
// PenColourHooks, so that the logic runs without widgets; colour_dialog.h supplies the real ones.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "settings_store.h"
#include "viewer_state.h"

namespace planora {

// Colour numbers of pens 1 to 8 as they come from the settings or a "sydat" file; not range
// checked, see colourIndex().
using PenNumbers = std::array<std::int32_t, 8>;

// The colour-table entry a colour number stands for: negative numbers take entry 0, numbers of
// 16 and above are reduced modulo 16.
std::size_t colourIndex(std::int32_t colourNumber);

// The program's texts.
extern const char kFirstStartCaption[];     // "Bitte wählen Sie ..."
extern const char kFirstStartQuestion[];    // "Es sind noch keine Stifte ..."
extern const char kDuplicatePensMessage[];  // "Mehrere Stifte haben die gleiche Farbnummer. ..."
extern const char kInstallationNotFound[];  // "Installation von -kvn cad- nicht gefunden!"
extern const char kColourDialogTitle[];     // "FarbDialog"

enum class MessageIcon { Information, Exclamation };

struct PenColourHooks {
    // The first-start question (Yes/No); true for Yes.
    std::function<bool(const QString& caption, const QString& text)> askYesNo;
    // A message box with an OK button.
    std::function<void(MessageIcon icon, const QString& caption, const QString& text)> message;
    // Takes over the colours of the installation whose "sydat" file is given into the dialog's
    // colours; true on success (the colours were applied and stored).
    using TakeOver = std::function<bool(const QString& sydatPath, std::span<std::uint32_t>)>;
    // The colour dialog: edits `colours` (8 pens or 1 background colour) in place and returns
    // true when the user confirmed. `takeOver` is what its "Übernehmen" button runs.
    std::function<bool(const QString& title, std::span<std::uint32_t> colours,
                       const TakeOver& takeOver)>
        colourDialog;
    // Optional: the document list's thumbnail background.
    std::function<void(std::uint32_t colour)> thumbnailBackground;
};

// Hands the pen numbers (reduced into the table) and the colours to the renderer.
void applyPenTable(Renderer& renderer, const PenNumbers& pens);
void applyColourTable(Renderer& renderer, const ColourTable& colours);

PenNumbers penNumbersFromStore(const PenTable& stored);
PenTable penTableForStore(const PenNumbers& pens);

// At start: the background colour, then the pen and colour tables from the settings; when
// either is missing the first-start question, and with "Nein" the built-in configuration
// (pens 1 to 8 on the colours 1 to 8 of the built-in table), stored at once.
void initPenColours(ViewerState& state, SettingsStore& settings, const PenColourHooks& hooks);

// "&Stiftfarben": edits the colours of pens 1 to 8. Returns whether colours changed (the main
// window then repaints and refreshes the snap list).
bool editPenColours(ViewerState& state, SettingsStore& settings, const PenColourHooks& hooks);

// "&Hintergrundfarbe": edits the background colour. Returns whether it changed.
bool editBackgroundColour(ViewerState& state, SettingsStore& settings, const PenColourHooks& hooks);

// Whether two of the pens use the same colour number.
bool hasDuplicatePens(const PenNumbers& pens);

// The installation's tables as read from its "sydat" file.
struct InstallationColours {
    PenNumbers pens{};
    ColourTable colours{};
};

// Reads lines 76 to 83 (colour numbers of pens 1 to 8) and 351 to 366 (colours 0 to 15, low
// three bytes) of a "sydat" file. A line is at most 127 characters up to and including its line
// break. A file that cannot be opened gives the message "Installation von -kvn cad- nicht
// gefunden!"; a file that ends before line 366 fails silently.
std::optional<InstallationColours> readInstallationColours(const QString& sydatPath,
                                                           const PenColourHooks& hooks);

// Reads the installation's tables, applies and stores them and fills dialogColours[i] with the
// colour of pen i + 1. Returns whether it succeeded; on failure nothing changes.
bool takeOverInstallationColours(const QString& sydatPath, std::span<std::uint32_t> dialogColours,
                                 ViewerState& state, SettingsStore& settings,
                                 const PenColourHooks& hooks);

// The registered open command of the drawing program, or nothing. On Linux the Exec line of
// the desktop entry "ruraze.zeiprog.desktop" in the XDG applications folders ($XDG_DATA_HOME,
// then $XDG_DATA_DIRS); this is the one place that knows where the command is registered.
std::optional<QString> drawingProgramOpenCommand();

// The folder of the executable that an open command starts, or nothing when it names none.
std::optional<QString> installationFolderFromOpenCommand(const QString& command);

// The "sydat" file of the installed drawing program, or nothing when none is registered.
std::optional<QString> locateInstallationSettings();

}  // namespace planora
