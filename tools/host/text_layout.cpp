#include "tools/host/text_layout.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <memory>

#include "tools/host/options.h"

namespace zask {

namespace {

struct FreeTypeLibrary {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeLibrary() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }
};

// UTF-8 to code points; a malformed byte becomes U+FFFD.
std::vector<char32_t> decodeUtf8(const std::string& text) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t code = extra == 0 ? c : c & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char n = static_cast<unsigned char>(text[i + k]);
            if ((n & 0xC0) != 0x80) ok = false;
            code = (code << 6) | (n & 0x3F);
        }
        out.push_back(ok ? code : 0xFFFD);
        i += ok ? static_cast<size_t>(extra) + 1 : 1;
    }
    return out;
}

struct LaidChar {
    standin::TitleCharacter character;
    int32_t penOrigin = 0;  // 26.6 pen before the character, from the line start
};

struct LaidLine {
    std::vector<LaidChar> chars;
    int32_t width = 0;  // 26.6
};

}  // namespace

int defaultTextSize(int frameHeight) { return std::max(8, frameHeight / 8); }

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            lines.emplace_back();
        } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            lines.emplace_back();
            ++i;
        } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            lines.back() += '\\';
            ++i;
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

bool layoutText(const std::vector<std::vector<std::string>>& pages, const TextStyle& style, int frameWidth,
                int frameHeight, standin::TitleSpec& title, std::string& error) {
    FreeTypeLibrary ft;
    if (FT_Init_FreeType(&ft.library) != 0) {
        error = "cannot start FreeType";
        return false;
    }
    if (FT_New_Face(ft.library, style.fontPath.c_str(), 0, &ft.face) != 0) {
        error = style.fontPath + ": cannot open as a font";
        return false;
    }
    const int size = style.sizePx > 0 ? style.sizePx : defaultTextSize(frameHeight);
    if (FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(size)) != 0) {
        error = style.fontPath + ": no size of " + std::to_string(size) + " pixels";
        return false;
    }
    FT_Face face = ft.face;
    const int32_t ascender = static_cast<int32_t>(face->size->metrics.ascender);   // 26.6
    const int32_t lineHeight = static_cast<int32_t>(face->size->metrics.height);  // 26.6
    const bool kerning = FT_HAS_KERNING(face);
    const YCbCr ink = toYCbCr(style.colour);
    const int32_t margin = std::max(1, frameHeight / 20) * 64;

    title.pages.clear();
    for (const auto& pageLines : pages) {
        std::vector<LaidLine> lines;
        int32_t boxWidth = 0;
        for (const std::string& text : pageLines) {
            LaidLine line;
            int32_t pen = 0;
            FT_UInt previous = 0;
            for (char32_t code : decodeUtf8(text)) {
                FT_UInt glyph = FT_Get_Char_Index(face, code);
                if (kerning && previous != 0 && glyph != 0) {
                    FT_Vector delta;
                    if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &delta) == 0)
                        pen += static_cast<int32_t>(delta.x);
                }
                if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER) != 0) {
                    char name[16];
                    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
                    error = style.fontPath + ": cannot render the character " + name;
                    return false;
                }
                FT_GlyphSlot slot = face->glyph;
                const FT_Bitmap& bitmap = slot->bitmap;
                LaidChar laid;
                laid.penOrigin = pen;
                standin::TitleCharacter& c = laid.character;
                const int32_t baselineRow = ascender / 64;
                int w = static_cast<int>(bitmap.width), h = static_cast<int>(bitmap.rows);
                bool blank = w == 0 || h == 0 || bitmap.pixel_mode != FT_PIXEL_MODE_GRAY;
                if (blank) {
                    // A blank still takes its place in the reading order (and
                    // the stagger): a picture without ink, as wide as its advance.
                    c.width = std::max<int32_t>(1, static_cast<int32_t>(slot->advance.x / 64));
                    c.height = 1;
                    c.pen = pen;
                    c.top = baselineRow;
                } else {
                    c.width = w;
                    c.height = h;
                    c.pen = pen + slot->bitmap_left * 64;
                    c.top = baselineRow - slot->bitmap_top;
                }
                c.pixels.resize(static_cast<size_t>(c.width) * c.height * 4);
                for (int y = 0; y < c.height; ++y)
                    for (int x = 0; x < c.width; ++x) {
                        uint8_t* p = c.pixels.data() + (static_cast<size_t>(y) * c.width + x) * 4;
                        // Unlit edges blend toward the ink, not toward black.
                        p[0] = blank ? 0 : bitmap.buffer[y * bitmap.pitch + x];
                        p[1] = ink.cr;
                        p[2] = ink.cb;
                        p[3] = ink.y;
                    }
                pen += static_cast<int32_t>(slot->advance.x);
                previous = glyph;
                line.chars.push_back(std::move(laid));
            }
            line.width = pen;
            boxWidth = std::max(boxWidth, pen);
            lines.push_back(std::move(line));
        }
        const int32_t boxHeight = static_cast<int32_t>(lines.size()) * lineHeight;
        standin::TitleBoxSpec box;
        const int32_t frameW = frameWidth * 64, frameH = frameHeight * 64;
        switch (style.align) {
        case Align::left: box.x = margin; break;
        case Align::centre: box.x = (frameW - boxWidth) / 2; break;
        case Align::right: box.x = frameW - margin - boxWidth; break;
        }
        if (style.position == "top")
            box.y = margin;
        else if (style.position == "bottom")
            box.y = frameH - margin - boxHeight;
        else if (style.position == "middle")
            box.y = (frameH - boxHeight) / 2;
        else if (auto row = parseInteger(style.position, -32767, 32767))
            box.y = static_cast<int32_t>(*row) * 64;
        else {
            error = "--position " + style.position + ": expected top, middle, bottom or a row in pixels";
            return false;
        }
        box.x &= ~63;  // whole pixels, so pictures are not resampled
        box.y &= ~63;
        for (size_t l = 0; l < lines.size(); ++l) {
            int32_t shift = style.align == Align::left     ? 0
                            : style.align == Align::centre ? (boxWidth - lines[l].width) / 2
                                                           : boxWidth - lines[l].width;
            shift &= ~63;
            const int32_t lineTop = static_cast<int32_t>(l) * lineHeight / 64;
            standin::TitleLineSpec line;
            for (auto& laid : lines[l].chars) {
                laid.character.pen += shift;
                laid.character.top += lineTop;
                line.chars.push_back(std::move(laid.character));
            }
            box.lines.push_back(std::move(line));
        }
        standin::TitlePageSpec page;
        page.boxes.push_back(std::move(box));
        title.pages.push_back(std::move(page));
    }
    return true;
}

}  // namespace zask
