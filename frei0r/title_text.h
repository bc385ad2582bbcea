// The title parameter laid out into a title document, with the host
// program's FreeType layout.
#pragma once

#include <string>
#include <vector>

#include "frei0r/filter_params.h"
#include "host/host_services.h"

namespace zask::frei0r {

// Pages of lines. "\p" (backslash p) or a form feed starts a new page, since
// ffmpeg keeps '|' for itself; within a page the line breaks of the host
// program's --text apply (a newline or \n; \\ is a backslash). A text
// without a page break is one page.
std::vector<std::vector<std::string>> splitPages(const std::string& text);

// What the layout depends on, to tell whether a title must be laid out again.
std::string titleKey(const FilterValues& values);

// Lays the text out for a frame of width x height and builds the document
// (free it with standin::freeTitle). On failure returns null with the reason.
TitleDocument* buildTitleDocument(const FilterValues& values, int width, int height, std::string& error);

}  // namespace zask::frei0r
