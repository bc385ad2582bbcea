#include "frei0r/title_text.h"

#include <cmath>

#include "standin/standin_control.h"
#include "tools/host/options.h"
#include "tools/host/text_layout.h"

namespace zask::frei0r {

std::vector<std::vector<std::string>> splitPages(const std::string& text) {
    std::vector<std::string> pageTexts(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            pageTexts.back() += "\\\\";  // an escaped backslash, left for splitLines
            ++i;
        } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'p') {
            pageTexts.emplace_back();
            ++i;
        } else if (text[i] == '\f') {
            pageTexts.emplace_back();
        } else {
            pageTexts.back() += text[i];
        }
    }
    std::vector<std::vector<std::string>> pages;
    for (const std::string& page : pageTexts) pages.push_back(splitLines(page));
    return pages;
}

std::string titleKey(const FilterValues& v) {
    return v.text + '\0' + v.font + '\0' + std::to_string(v.size) + '\0' + std::to_string(v.colour.r) + ',' +
           std::to_string(v.colour.g) + ',' + std::to_string(v.colour.b) + '\0' + v.align + '\0' + v.position;
}

TitleDocument* buildTitleDocument(const FilterValues& values, int width, int height, std::string& error) {
    TextStyle style;
    if (!values.font.empty()) style.fontPath = values.font;
    if (!(values.size == 0.0 || (values.size >= 4.0 && values.size <= 4096.0))) {
        error = "size " + std::to_string(values.size) + ": expected 0 (automatic) or 4 to 4096 pixels";
        return nullptr;
    }
    style.sizePx = static_cast<int>(std::lround(values.size));
    style.colour = Rgb{unitToByte(values.colour.r), unitToByte(values.colour.g), unitToByte(values.colour.b)};
    if (values.align == "left") style.align = Align::left;
    else if (values.align == "centre" || values.align == "center") style.align = Align::centre;
    else if (values.align == "right") style.align = Align::right;
    else {
        error = "align '" + values.align + "': expected left, centre or right";
        return nullptr;
    }
    style.position = values.position;
    if (style.position != "top" && style.position != "middle" && style.position != "bottom" &&
        !parseInteger(style.position, -32767, 32767)) {
        error = "position '" + values.position + "': expected top, middle, bottom or a row in pixels";
        return nullptr;
    }
    standin::TitleSpec spec;
    if (!layoutText(splitPages(values.text), style, width, height, spec, error)) return nullptr;
    TitleDocument* title = standin::buildTitle(spec, error);
    if (title == nullptr) error = "the laid-out title: " + error;
    return title;
}

}  // namespace zask::frei0r
