// The row converters against the per-pixel definitions, over every value a
// channel can take.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "field/field_conversion.h"

namespace {

TEST(FieldConversionTest, HostRowsConvertLikeSinglePixels)
{
    // Every (Cr, Cb) pair with Y stepping through all 256 values, and a row
    // length that leaves a tail for the per-pixel path.
    const int32_t count = 256 * 256 + 3;
    std::vector<uint8_t> host(static_cast<size_t>(count) * 4);
    for (int32_t i = 0; i < count; ++i) {
        host[i * 4 + 0] = static_cast<uint8_t>(i * 7);   // alpha, not read
        host[i * 4 + 1] = static_cast<uint8_t>(i);
        host[i * 4 + 2] = static_cast<uint8_t>(i >> 8);
        host[i * 4 + 3] = static_cast<uint8_t>(i * 13 + (i >> 8));
    }
    std::vector<uint8_t> row(host.size(), 0xAB);
    convertHostRowToColour(host.data(), row.data(), count);
    for (int32_t i = 0; i < count; ++i) {
        uint8_t b, g, r;
        hostPixelToColour(&host[i * 4], &b, &g, &r);
        ASSERT_EQ(row[i * 4 + 0], b) << i;
        ASSERT_EQ(row[i * 4 + 1], g) << i;
        ASSERT_EQ(row[i * 4 + 2], r) << i;
        ASSERT_EQ(row[i * 4 + 3], 0) << i;
    }
}

TEST(FieldConversionTest, ColourRowsConvertLikeSinglePixels)
{
    const int32_t count = 256 * 256 + 2;
    std::vector<uint8_t> colour(static_cast<size_t>(count) * 4);
    for (int32_t i = 0; i < count; ++i) {
        colour[i * 4 + 0] = static_cast<uint8_t>(i);
        colour[i * 4 + 1] = static_cast<uint8_t>(i >> 8);
        colour[i * 4 + 2] = static_cast<uint8_t>(i * 31 + (i >> 8));
        colour[i * 4 + 3] = static_cast<uint8_t>(i * 5);  // not read
    }
    std::vector<uint8_t> row(colour.size(), 0xCD);
    convertColourRowToHost(colour.data(), row.data(), count);
    for (int32_t i = 0; i < count; ++i) {
        uint8_t expected[4];
        colourToHostPixel(&colour[i * 4], expected);
        for (int k = 0; k < 4; ++k)
            ASSERT_EQ(row[i * 4 + k], expected[k]) << i << " byte " << k;
    }
}

}  // namespace
