// The program's commands: one table of identifiers with their menu texts and the menus that
// hold them. The main window builds its menus from these tables and routes every command by its
// identifier.
#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <span>

namespace planora {

enum CommandId : int {
    CmdPrintFromCommandLine = 98,  // posted at start-up in print mode
    CmdOpenCommandLineFiles = 99,  // posted at start-up with file arguments
    CmdNew = 101,
    CmdOpen = 102,
    CmdInfo = 103,
    CmdExit = 104,
    CmdPrintDefault = 105,
    CmdPrintDialog = 106,
    CmdCompactThumbnails = 107,
    CmdSaveArchiveUnnamed = 108,
    CmdLoadArchiveUnnamed = 109,
    CmdSave = 110,
    CmdExport = 111,
    CmdRecentFirst = 150,  // 150 to 153
    CmdRecentLast = 153,
    CmdRecentSeparatorBefore = 154,
    CmdRecentSeparatorAfter = 155,
    CmdZoomAll = 201,
    CmdZoomWindow = 202,
    CmdZoomPrevious = 203,
    CmdRedraw = 204,
    CmdDiagnostic1 = 205,
    CmdDiagnostic2 = 206,
    CmdCopyToClipboard = 301,
    CmdEditWithDrawingProgram = 302,
    CmdSetMeasureMode = 303,  // has a menu item but does nothing
    CmdPenColours = 401,
    CmdLayers = 402,
    CmdGeneralOptions = 403,
    CmdBackgroundColour = 404,
    CmdMeasureOff = 501,
    CmdSnapEndPoint = 502,
    CmdSnapMidPoint = 503,
    CmdSnapCentre = 504,
    CmdSnapIntersection = 505,
    CmdShowTexts = 506,
    CmdScaleSubmenu = 507,
    CmdUnitMetre = 510,
    CmdUnitCentimetre = 511,
    CmdUnitMillimetre = 512,
    CmdDecimals3 = 514,
    CmdDecimals2 = 515,
    CmdDecimals1 = 516,
    CmdDecimals0 = 517,
    CmdScaleSeparator = 519,
    CmdScaleFirst = 520,  // one entry per scale of the drawing, up to 15
    CmdScaleLast = 534,
    CmdListDelete = 801,
    CmdListInformation = 802,
    CmdListShow = 803,
    CmdListRefresh = 804,
    CmdListUnzip = 805,
    CmdTogglePrintLog = 950,
    CmdShowMainWindow = 999,  // posted at start-up
};

// The area of the program that carries out a command. The main window enables the menu items
// of the areas that are built and greys the others.
enum class Feature {
    Shell,  // files, zoom, about, exit
    Printing,
    Clipboard,
    Layers,
    Colours,
    Measuring,
    DocumentList,
    Zip,
    Options,
    DrawingProgram,
};

struct MenuItem {
    enum class Kind { Command, Separator, Submenu };
    Kind kind = Kind::Command;
    int id = 0;                  // command (or submenu) identifier; 0 for unnamed separators
    const char* text = nullptr;  // UTF-8, with "&" marking the accelerator
    bool greyed = false;         // greyed when the menu is built
    bool radio = false;          // shown with the radio-check look
    std::span<const MenuItem> submenu{};
};

struct Menu {
    const char* title;  // UTF-8; the context menus are named "erstes", "zweites", "drittes"
    std::span<const MenuItem> items;
};

// The main menu: "&Datei", "&Zoom", "&Bearbeiten", "&Optionen", "&Messen".
std::span<const Menu> mainMenu();
// The context menus: "erstes" (document list), "zweites" and "drittes" (graphics window).
std::span<const Menu> contextMenus();
const Menu* contextMenu(const char* title);

// The area that carries out the command; nothing for identifiers that are not commands.
std::optional<Feature> commandFeature(int id);

// First identifiers of the radio groups (units, decimals, scales); 0 when the command is in
// none.
int radioGroupFirst(int id);

// The keys that choose a command of the main menu besides its menu item: Ctrl+O, Ctrl+P,
// Ctrl+C, Ctrl+Q, Home and Ctrl+0 for "&Alles", Backspace for "&Vorher". Empty for the others.
QList<QKeyCombination> commandShortcuts(int id);

// The item text as a QString.
inline QString menuText(const MenuItem& item) {
    return QString::fromUtf8(item.text);
}

}  // namespace planora

namespace planora {

// Check marks of the measuring menu's mode items (502 to 506) and whether "Meßmodus abschalten"
// (501) can be chosen.
struct MeasureModeMarks {
    int checked = 0;          // the checked mode command, 0 for none
    bool offEnabled = false;  // 501 starts greyed

    // After one of the commands 501 to 506: 501 clears every mark and greys itself, any other
    // checks that command alone and enables 501. Other identifiers change nothing.
    void mark(int command);
    bool isChecked(int command) const { return command != 0 && command == checked; }
};

}  // namespace planora
