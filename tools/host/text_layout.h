// Text laid out with FreeType into a title the plug-ins can render: one box
// per page, lines broken at newlines, kerning between neighbours, every
// character rendered antialiased into its own picture.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "standin/standin_control.h"
#include "tools/host/picture.h"

namespace zask {

enum class Align { left, centre, right };

struct TextStyle {
    std::string fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    int sizePx = 0;  // 0: a size fitted to the frame height
    Rgb colour{255, 255, 255};
    Align align = Align::centre;
    // Top edge of the box: "top", "middle", "bottom" or a row in pixels.
    std::string position = "middle";
};

// Splits a --text value into lines: a real newline or the two characters
// backslash and n break the line; "\\" is one backslash.
std::vector<std::string> splitLines(const std::string& text);

// Lays out each page (its lines) for a frame of the given size. Errors name
// the font file or the text. Characters the font lacks use its missing-glyph
// picture.
bool layoutText(const std::vector<std::vector<std::string>>& pages, const TextStyle& style, int frameWidth,
                int frameHeight, standin::TitleSpec& title, std::string& error);

// The text height used when none is asked for.
int defaultTextSize(int frameHeight);

}  // namespace zask
