// Frames around texts (circles, rectangles, rounded oblongs, regular polygons), built from the two
// frame characters of a text header and the text's base point, angle and letter height.
#pragma once

#include <cstddef>
#include <string_view>

#include "drawing_model.h"

namespace planora {

// Number of characters before the first 0xFF byte (or the whole string).
std::size_t frameCharacterCount(std::string_view text);
// Number of characters of the first word: before the first blank or 0xFF byte.
std::size_t frameFirstWordCount(std::string_view text);

// The two character counts a frame is measured by.
struct FrameCounts {
    std::size_t whole = 0;      // frameCharacterCount
    std::size_t firstWord = 0;  // frameFirstWordCount
};
FrameCounts frameCounts(std::string_view text);

// Adds the frame given by frameClass/frameShape (if any) for a text with base point (x, y),
// angle in degrees and letter height h.
void addTextFrame(ElementStore& store, double x, double y, double angle, double h, int layer,
                  char frameClass, char frameShape, std::string_view text);
// The same with the counts of the text measured beforehand (texts named by many records).
void addTextFrame(ElementStore& store, double x, double y, double angle, double h, int layer,
                  char frameClass, char frameShape, const FrameCounts& counts);

// How many elements the frame of a text header needs at most, for the store capacity.
std::size_t frameElementEstimate(char frameClass, char frameShape);

}  // namespace planora
