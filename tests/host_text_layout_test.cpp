// Text layout of the host program against FreeType itself, and the title
// document the stand-in builds from it.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

#include "standin/standin_control.h"
#include "tools/host/text_layout.h"

namespace {

using zask::Align;
using zask::TextStyle;

const char* const fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int frameWidth = 640, frameHeight = 360, textSize = 48;

// The same face at the same size, to compare with.
struct Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    Face() {
        FT_Init_FreeType(&library);
        FT_New_Face(library, fontPath, 0, &face);
        FT_Set_Pixel_Sizes(face, 0, textSize);
    }
    ~Face() {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }
    FT_UInt glyph(char c) { return FT_Get_Char_Index(face, static_cast<FT_ULong>(c)); }
    long advance(char c) {
        FT_Load_Glyph(face, glyph(c), FT_LOAD_RENDER);
        return face->glyph->advance.x;
    }
    int bitmapLeft(char c) {
        FT_Load_Glyph(face, glyph(c), FT_LOAD_RENDER);
        return face->glyph->bitmap_left;
    }
    long kerning(char a, char b) {
        FT_Vector delta{};
        FT_Get_Kerning(face, glyph(a), glyph(b), FT_KERNING_DEFAULT, &delta);
        return delta.x;
    }
};

standin::TitleSpec layout(const std::vector<std::vector<std::string>>& pages, TextStyle style = {}) {
    style.fontPath = fontPath;
    style.sizePx = textSize;
    standin::TitleSpec spec;
    std::string error;
    EXPECT_TRUE(zask::layoutText(pages, style, frameWidth, frameHeight, spec, error)) << error;
    return spec;
}

TEST(HostTextLayout, KerningPullsAvCloserThanTheAdvanceAlone) {
    Face ft;
    ASSERT_NE(ft.face, nullptr) << "fonts-dejavu-core is needed";
    ASSERT_LT(ft.kerning('A', 'V'), 0);
    auto av = layout({{"AV"}}).pages.at(0).boxes.at(0).lines.at(0).chars;
    auto aa = layout({{"AA"}}).pages.at(0).boxes.at(0).lines.at(0).chars;
    ASSERT_EQ(av.size(), 2u);
    const long avOrigin = av[1].pen - av[0].pen - 64L * (ft.bitmapLeft('V') - ft.bitmapLeft('A'));
    const long aaOrigin = aa[1].pen - aa[0].pen;
    EXPECT_EQ(avOrigin, ft.advance('A') + ft.kerning('A', 'V'));
    EXPECT_EQ(aaOrigin, ft.advance('A') + ft.kerning('A', 'A'));
    EXPECT_LT(avOrigin, aaOrigin);
}

TEST(HostTextLayout, PenPositionsFollowFreeTypeAdvancesAndKerning) {
    Face ft;
    for (const std::string text : {"Hello", "AVATAR", "To Wave", "1234"}) {
        SCOPED_TRACE(text);
        auto chars = layout({{text}}, {.align = Align::left}).pages.at(0).boxes.at(0).lines.at(0).chars;
        ASSERT_EQ(chars.size(), text.size());
        long origin = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (i > 0) origin += ft.kerning(text[i - 1], text[i]);
            if (text[i] != ' ') {
                EXPECT_EQ(chars[i].pen, origin + 64L * ft.bitmapLeft(text[i])) << "character " << i;
            }
            origin += ft.advance(text[i]);
        }
    }
}

TEST(HostTextLayout, PicturesCarryTheAntialiasedCoverageAsAlphaAndTheColour) {
    Face ft;
    TextStyle style;
    style.colour = {255, 255, 255};
    auto c = layout({{"O"}}, style).pages.at(0).boxes.at(0).lines.at(0).chars.at(0);
    FT_Load_Glyph(ft.face, ft.glyph('O'), FT_LOAD_RENDER);
    const FT_Bitmap& bitmap = ft.face->glyph->bitmap;
    ASSERT_EQ(c.width, static_cast<int32_t>(bitmap.width));
    ASSERT_EQ(c.height, static_cast<int32_t>(bitmap.rows));
    bool partial = false;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            const uint8_t* p = &c.pixels[(static_cast<size_t>(y) * c.width + x) * 4];
            ASSERT_EQ(p[0], bitmap.buffer[y * bitmap.pitch + x]);
            ASSERT_EQ(p[1], 128);  // Cr of white
            ASSERT_EQ(p[2], 128);  // Cb
            ASSERT_EQ(p[3], 255);  // Y
            partial = partial || (p[0] > 0 && p[0] < 255);
        }
    EXPECT_TRUE(partial) << "the edges are antialiased";
    // The picture's top edge sits bitmap_top rows above the baseline.
    EXPECT_EQ(c.top, ft.face->size->metrics.ascender / 64 - ft.face->glyph->bitmap_top);
}

TEST(HostTextLayout, BlanksArePicturesWithoutInkThatKeepTheirPlace) {
    auto chars = layout({{"A B"}}).pages.at(0).boxes.at(0).lines.at(0).chars;
    ASSERT_EQ(chars.size(), 3u);
    ASSERT_GT(chars[1].width, 0);
    for (size_t i = 0; i < chars[1].pixels.size(); i += 4) EXPECT_EQ(chars[1].pixels[i], 0);
    EXPECT_LT(chars[0].pen, chars[1].pen);
    EXPECT_LT(chars[1].pen, chars[2].pen);
}

TEST(HostTextLayout, NewlinesMakeLinesAndEachTextAPage) {
    Face ft;
    auto spec = layout({{"AB", "CD"}, {"E"}});
    ASSERT_EQ(spec.pages.size(), 2u);
    const auto& lines = spec.pages[0].boxes.at(0).lines;
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_EQ(lines[1].chars.size(), 2u);
    const long lineHeight = ft.face->size->metrics.height / 64;
    // C and A have the same top edge (both reach the cap height) one line apart.
    EXPECT_NEAR(lines[1].chars[0].top - lines[0].chars[0].top, lineHeight, 1);
    EXPECT_EQ(spec.pages[1].boxes.at(0).lines.at(0).chars.size(), 1u);
}

TEST(HostTextLayout, SplitLinesTable) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"ONE", {"ONE"}},
        {"ONE\nTWO", {"ONE", "TWO"}},
        {"ONE\\nTWO", {"ONE", "TWO"}},
        {"A\\\\nB", {"A\\nB"}},
        {"\\n", {"", ""}},
        {"back\\slash", {"back\\slash"}},
    };
    for (const auto& c : cases) EXPECT_EQ(zask::splitLines(c.text), c.lines) << c.text;
}

TEST(HostTextLayout, AlignmentAndPositionPlaceTheBox) {
    struct Case {
        Align align;
        std::string position;
        int expectLeft;  // -1 centre, 0 margin, 1 right margin
        int expectTop;   // -1 middle, 0 top margin, 1 bottom margin, else the row
    };
    const Case cases[] = {
        {Align::left, "top", 0, 0}, {Align::centre, "middle", -1, -1}, {Align::right, "bottom", 1, 1},
        {Align::centre, "100", -1, 100},
    };
    const int margin = frameHeight / 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        TextStyle style;
        style.align = c.align;
        style.position = c.position;
        auto spec = layout({{"WIDE LINE", "ab"}}, style);
        const auto& box = spec.pages.at(0).boxes.at(0);
        const auto& last = box.lines.at(0).chars.back();
        const int right = (box.x + last.pen) / 64 + last.width;
        if (c.expectLeft == 0) {
            EXPECT_EQ(box.x / 64, margin);
        }
        if (c.expectLeft == -1) {
            EXPECT_NEAR(box.x / 64, frameWidth - right, 8);
        }
        if (c.expectLeft == 1) {
            EXPECT_NEAR(right, frameWidth - margin, 8);
        }
        if (c.expectTop == 0) {
            EXPECT_EQ(box.y / 64, margin);
        }
        if (c.expectTop == 100) {
            EXPECT_EQ(box.y / 64, 100);
        }
        if (c.expectTop == 1) {
            EXPECT_GT(box.y / 64, frameHeight / 2);
        }
        if (c.expectTop == -1) {
            EXPECT_NEAR(box.y / 64, frameHeight / 2 - 60, 20);
        }
    }
}

TEST(HostTextLayout, AMissingFontIsNamedInTheError) {
    TextStyle style;
    style.fontPath = "/nonexistent/font.ttf";
    standin::TitleSpec spec;
    std::string error;
    EXPECT_FALSE(zask::layoutText({{"A"}}, style, frameWidth, frameHeight, spec, error));
    EXPECT_NE(error.find("/nonexistent/font.ttf"), std::string::npos) << error;
}

TEST(StandinTitleBuilder, TheBuiltDocumentAnswersTheTitleCallsAsLaidOut) {
    auto spec = layout({{"AV", "X"}, {"Q"}});
    std::string error;
    TitleDocument* title = standin::buildTitle(spec, error);
    ASSERT_NE(title, nullptr) << error;
    EXPECT_EQ(title->pageCount, 2u);
    TitlePage* page = mtNextPage(title, nullptr);
    TitleBox* box = mtNextBox(page, nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->left, spec.pages[0].boxes[0].x);
    EXPECT_EQ(box->top, spec.pages[0].boxes[0].y);
    TitleLine* line = mtNextLine(box, nullptr);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->charCount, 2);
    int32_t pen = 0;
    ASSERT_EQ(mtPenPosition(line, &pen, 1), 0);
    EXPECT_EQ(pen, spec.pages[0].boxes[0].lines[0].chars[1].pen);
    HostImage* image = mtCreateLineImage(line, 1, 1, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, spec.pages[0].boxes[0].lines[0].chars[1].width);
    EXPECT_EQ(image->top, spec.pages[0].boxes[0].lines[0].chars[1].top);
    mtFreeLineImage(image);
    TitleLine* second = mtNextLine(box, line);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->charCount, 1);
    EXPECT_EQ(mtNextLine(box, second), nullptr);
    standin::freeTitle(title);
    standin::resetImages();  // the registry keeps released buffers for reuse
}

TEST(StandinTitleBuilder, InconsistentPicturesAreRefusedWithTheirPlace) {
    struct Case {
        int32_t width, height;
        size_t bytes;
        std::string expect;
    };
    const Case cases[] = {
        {2, 2, 15, "pages[0].boxes[0].lines[0].chars[0]: 15 picture bytes, the size needs 16"},
        {-1, 2, 0, "outside 0 to 32767"},
        {40000, 1, 0, "outside 0 to 32767"},
    };
    for (const auto& c : cases) {
        standin::TitleSpec spec;
        spec.pages.resize(1);
        spec.pages[0].boxes.resize(1);
        spec.pages[0].boxes[0].lines.resize(1);
        standin::TitleCharacter ch;
        ch.width = c.width;
        ch.height = c.height;
        ch.pixels.resize(c.bytes);
        spec.pages[0].boxes[0].lines[0].chars.push_back(ch);
        std::string error;
        EXPECT_EQ(standin::buildTitle(spec, error), nullptr);
        EXPECT_NE(error.find(c.expect), std::string::npos) << error;
    }
}

}  // namespace
