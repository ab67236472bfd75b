#include "command_ids.h"

#include <cstring>

namespace planora {

namespace {

using K = MenuItem::Kind;

constexpr MenuItem cmd(int id, const char* text) {
    return {K::Command, id, text};
}
constexpr MenuItem greyedCmd(int id, const char* text) {
    return {K::Command, id, text, true};
}
constexpr MenuItem radioCmd(int id, const char* text) {
    return {K::Command, id, text, false, true};
}
constexpr MenuItem separator() {
    return {K::Separator};
}
constexpr MenuItem submenu(const char* text, std::span<const MenuItem> items) {
    return {K::Submenu, 0, text, false, false, items};
}

constexpr MenuItem kFileItems[] = {
    cmd(CmdNew, "&Neu"),
    cmd(CmdOpen, "&Öffnen"),
    cmd(CmdSave, "&Speichern"),
    cmd(CmdPrintDialog, "&Drucken"),
    cmd(CmdExport, "&Exportieren ..."),
    separator(),
    cmd(CmdInfo, "&Info"),
    cmd(CmdExit, "E&xit"),
};

constexpr MenuItem kZoomItems[] = {
    cmd(CmdZoomAll, "&Alles"),
    cmd(CmdZoomWindow, "&Fenster"),
    cmd(CmdZoomPrevious, "&Vorher"),
};

constexpr MenuItem kEditItems[] = {
    cmd(CmdEditWithDrawingProgram, "&Bearbeiten mit Zeichenprogramm"),
    cmd(CmdCopyToClipboard, "&Kopieren in Zwischenablage"),
    separator(),
    cmd(CmdSetMeasureMode, "Setze Meßmodus"),
};

constexpr MenuItem kOptionItems[] = {
    cmd(CmdPenColours, "&Stiftfarben"),      cmd(CmdBackgroundColour, "&Hintergrundfarbe"),
    cmd(CmdLayers, "&Folien Layer"),         separator(),
    cmd(CmdGeneralOptions, "Allgemein ..."),
};

constexpr MenuItem kUnitItems[] = {
    radioCmd(CmdUnitMetre, "[m]  Meter "),
    radioCmd(CmdUnitCentimetre, "[cm] Zentimeter"),
    radioCmd(CmdUnitMillimetre, "[mm] Millimeter"),
};

constexpr MenuItem kDecimalItems[] = {
    radioCmd(CmdDecimals3, "(3)   .000 "),
    radioCmd(CmdDecimals2, "(2)   .00"),
    radioCmd(CmdDecimals1, "(1)   .0"),
    radioCmd(CmdDecimals0, "keine"),
};

constexpr MenuItem kMeasureItems[] = {
    greyedCmd(CmdMeasureOff, "Meßmodus abschalten"),
    separator(),
    cmd(CmdSnapEndPoint, "Endpunkt"),
    cmd(CmdSnapMidPoint, "Mittelpunkt"),
    cmd(CmdSnapCentre, "Zentrum"),
    cmd(CmdSnapIntersection, "Schnittpunkt"),
    separator(),
    submenu("&Einheiten", kUnitItems),
    submenu("&Nachkommastellen", kDecimalItems),
    cmd(CmdShowTexts, "Texte zeigen"),
};

constexpr Menu kMainMenu[] = {
    {"&Datei", kFileItems},      {"&Zoom", kZoomItems},      {"&Bearbeiten", kEditItems},
    {"&Optionen", kOptionItems}, {"&Messen", kMeasureItems},
};

constexpr MenuItem kListPopupItems[] = {
    cmd(CmdListDelete, "&Löschen"),           cmd(CmdListRefresh, "&Aktualisieren"), separator(),
    cmd(CmdListInformation, "&Information"),  cmd(CmdListShow, "&Anzeigen"),         separator(),
    cmd(CmdListUnzip, "Zip-Datei entpacken"),
};

constexpr MenuItem kSecondPopupItems[] = {
    cmd(CmdNew, "&Neu"),
    cmd(CmdOpen, "&Öffnen"),
    cmd(CmdCompactThumbnails, "AktForm"),
    separator(),
    cmd(CmdPrintDefault, "&Drucken"),
    cmd(CmdPrintDialog, "Dr&ucken"),
    cmd(CmdInfo, "&Info"),
    separator(),
    cmd(CmdExit, "E&xit"),
};

constexpr MenuItem kGraphicsPopupItems[] = {
    cmd(CmdZoomWindow, "&Fenster zoomen"),
    cmd(CmdZoomPrevious, "&Vorher zoomen"),
    cmd(CmdZoomAll, "&Alles zoomen"),
    separator(),
    cmd(CmdRedraw, "&Bild neuzeichnen"),
    separator(),
    cmd(CmdEditWithDrawingProgram, "&starte Zeichenprogramm"),
    cmd(CmdCopyToClipboard, "&in die Zwischenablage"),
};

constexpr Menu kContextMenus[] = {
    {"erstes", kListPopupItems},
    {"zweites", kSecondPopupItems},
    {"drittes", kGraphicsPopupItems},
};

}  // namespace

std::span<const Menu> mainMenu() {
    return kMainMenu;
}

std::span<const Menu> contextMenus() {
    return kContextMenus;
}

const Menu* contextMenu(const char* title) {
    for (const Menu& m : kContextMenus) {
        if (std::strcmp(m.title, title) == 0) {
            return &m;
        }
    }
    return nullptr;
}

QList<QKeyCombination> commandShortcuts(int id) {
    switch (id) {
        case CmdOpen:
            return {QKeyCombination(Qt::ControlModifier, Qt::Key_O)};
        case CmdPrintDialog:
            return {QKeyCombination(Qt::ControlModifier, Qt::Key_P)};
        case CmdCopyToClipboard:
            return {QKeyCombination(Qt::ControlModifier, Qt::Key_C)};
        case CmdExit:
            return {QKeyCombination(Qt::ControlModifier, Qt::Key_Q)};
        case CmdZoomAll:
            return {QKeyCombination(Qt::Key_Home), QKeyCombination(Qt::ControlModifier, Qt::Key_0)};
        case CmdZoomPrevious:
            return {QKeyCombination(Qt::Key_Backspace)};
        default:
            return {};
    }
}

std::optional<Feature> commandFeature(int id) {
    switch (id) {
        case CmdOpenCommandLineFiles:
        case CmdOpen:
        case CmdInfo:
        case CmdExit:
        case CmdZoomAll:
        case CmdZoomWindow:
        case CmdZoomPrevious:
        case CmdRedraw:
        case CmdShowMainWindow:
            return Feature::Shell;
        case CmdPrintFromCommandLine:
        case CmdPrintDefault:
        case CmdPrintDialog:
        case CmdTogglePrintLog:
        case CmdExport:
            return Feature::Printing;
        case CmdNew:
        case CmdCompactThumbnails:
        case CmdSaveArchiveUnnamed:
        case CmdLoadArchiveUnnamed:
        case CmdSave:
        case CmdListDelete:
        case CmdListInformation:
        case CmdListShow:
        case CmdListRefresh:
            return Feature::DocumentList;
        case CmdListUnzip:
            return Feature::Zip;
        case CmdDiagnostic1:
        case CmdDiagnostic2:
        case CmdCopyToClipboard:
            return Feature::Clipboard;
        case CmdEditWithDrawingProgram:
            return Feature::DrawingProgram;
        case CmdPenColours:
        case CmdBackgroundColour:
            return Feature::Colours;
        case CmdLayers:
            return Feature::Layers;
        case CmdGeneralOptions:
            return Feature::Options;
        case CmdSetMeasureMode:
        case CmdMeasureOff:
        case CmdSnapEndPoint:
        case CmdSnapMidPoint:
        case CmdSnapCentre:
        case CmdSnapIntersection:
        case CmdShowTexts:
        case CmdUnitMetre:
        case CmdUnitCentimetre:
        case CmdUnitMillimetre:
        case CmdDecimals3:
        case CmdDecimals2:
        case CmdDecimals1:
        case CmdDecimals0:
            return Feature::Measuring;
        default:
            break;
    }
    if (id >= CmdRecentFirst && id <= CmdRecentLast) {
        return Feature::Shell;
    }
    if (id >= CmdScaleFirst && id <= CmdScaleLast) {
        return Feature::Measuring;
    }
    return std::nullopt;
}

int radioGroupFirst(int id) {
    if (id >= CmdUnitMetre && id <= CmdUnitMillimetre) {
        return CmdUnitMetre;
    }
    if (id >= CmdDecimals3 && id <= CmdDecimals0) {
        return CmdDecimals3;
    }
    if (id >= CmdScaleFirst && id <= CmdScaleLast) {
        return CmdScaleFirst;
    }
    return 0;
}

}  // namespace planora

namespace planora {

void MeasureModeMarks::mark(int command) {
    if (command == CmdMeasureOff) {
        checked = 0;
        offEnabled = false;
    } else if (command >= CmdSnapEndPoint && command <= CmdShowTexts) {
        checked = command;
        offEnabled = true;
    }
}

}  // namespace planora
