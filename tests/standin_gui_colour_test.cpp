// Palette colours between the toolkit's 0xYYCbCrAA words and the RGB of a
// colour chooser.
#include <gtest/gtest.h>

#include "standin/gui_control.h"

namespace {

TEST(StandinGuiColour, WordsBecomeRgb) {
    const struct {
        uint32_t word;
        uint8_t r, g, b;
    } cases[] = {
        {0xFF808000, 255, 255, 255},
        {0x00808000, 0, 0, 0},
        {0x80808077, 128, 128, 128},   // the alpha byte plays no part
        {0x4C55FF00, 254, 0, 0},       // red, as far as the rounding of Y, Cb and Cr allows
        {0xFF00FF00, 255, 208, 28},    // outside the RGB cube: red clamped
        {0x7A8080FF, 122, 122, 122},
    };
    for (const auto& c : cases) {
        const standin::Rgb rgb = standin::colourWordToRgb(c.word);
        EXPECT_EQ(rgb.r, c.r) << std::hex << c.word;
        EXPECT_EQ(rgb.g, c.g) << std::hex << c.word;
        EXPECT_EQ(rgb.b, c.b) << std::hex << c.word;
    }
}

TEST(StandinGuiColour, RgbBecomesWordsKeepingTheAlphaByte) {
    const struct {
        standin::Rgb rgb;
        uint8_t alpha;
        uint32_t word;
    } cases[] = {
        {{255, 255, 255}, 0x00, 0xFF808000},
        {{0, 0, 0}, 0xFF, 0x008080FF},
        {{255, 0, 0}, 0x12, 0x4C55FF12},
        {{0, 0, 255}, 0x00, 0x1DFF6B00},
        {{96, 112, 128}, 0x00, 0x6D8B7700},
    };
    for (const auto& c : cases) EXPECT_EQ(standin::rgbToColourWord(c.rgb, c.alpha), c.word) << std::hex << c.word;
}

TEST(StandinGuiColour, GreysGoThereAndBackUnchanged) {
    for (uint32_t y = 0; y < 256; ++y) {
        const uint32_t word = y << 24 | 0x808000 | (y ^ 0x5a);
        EXPECT_EQ(standin::rgbToColourWord(standin::colourWordToRgb(word), static_cast<uint8_t>(y ^ 0x5a)), word) << y;
    }
}

}  // namespace
