// A contact sheet: rows of small frames, each labelled with its frame number
// in a tiny built-in pixel font, written as one PNG.
#pragma once

#include <string>
#include <vector>

#include "tools/host/picture.h"

namespace zask {

struct SheetCell {
    long long frame = 0;
    RgbPicture picture;  // full size; scaled down on the sheet
};

struct SheetRow {
    std::string label;  // drawn before the row when not empty (digits, letters A-Z, space, -)
    std::vector<SheetCell> cells;
};

// Frame numbers to sample: up to count of them, evenly spread over [first, last).
std::vector<long long> sampleFrames(long long first, long long last, int count);

// Draws text in the tiny font (5x7 cells at the given scale) with its top left at x, y.
void drawLabel(RgbPicture& picture, int x, int y, const std::string& text, int scale, Rgb colour);

RgbPicture composeSheet(const std::vector<SheetRow>& rows, int thumbnailWidth);

}  // namespace zask
