// The meaning of the drawing information slots that the viewer shows, and the remark lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace planora {

enum DrawingInfoSlot : int {
    kInfoProject = 0,       // "Projekt"
    kInfoStructure = 1,     // "Bauwerk"
    kInfoBuildingPart = 2,  // "Bauteil"
    kInfoSavedAs = 3,       // "gespeichert unter"
    kInfoDate = 4,          // "Datum"
    kInfoRemarkFirst = 10,  // "Bemerkungen": slots 10, 11 and 12
    kInfoRemarkLast = 12,
};

// Splits one remark text into its lines: a leading "*" is dropped, lines end at the byte 0x06, or
// at a 0x07 that comes before the next 0x06, and bytes 0x05 at the start of a line are dropped.
std::vector<std::string> splitRemarkLines(std::string_view text);

}  // namespace planora
