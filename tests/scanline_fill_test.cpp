// Row fill, bilinear sampling and per-pixel light, driven directly with a
// prepared triangle record on an 8 x 8 window.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "raster/render_context.h"
#include "raster/scanline_fill.h"
#include "raster/triangle_setup.h"

namespace {

constexpr int kStride = 8;
constexpr int kRows = 10;               // two guard rows below the 8 x 8 window
constexpr uint8_t kUntouched = 0x55;    // coverage byte no pixel step has written
constexpr uint8_t kBackground = 100;
constexpr uint8_t kFourth = 0x77;       // colour byte 3, never written by the fill

struct Colour {
    int b, g, r;
    bool operator==(const Colour&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Colour& c)
{
    return os << "(" << c.b << ", " << c.g << ", " << c.r << ")";
}

class ScanlineFillTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = renderContext;
        colour_ = new uint8_t[kStride * kRows * 4];
        coverage_ = new uint8_t[kStride * kRows];
        for (int i = 0; i < kStride * kRows; ++i) {
            colour_[4 * i] = colour_[4 * i + 1] = colour_[4 * i + 2] = kBackground;
            colour_[4 * i + 3] = kFourth;
            coverage_[i] = kUntouched;
        }
        RenderContext& rc = renderContext;
        rc = RenderContext{};
        rc.colourBuffer = colour_;
        rc.coverageBuffer = coverage_;
        rc.bufferStride = kStride;
        rc.windowWidth = 8.0f;
        rc.windowHeight = 8.0f;
        rc.projScaleX = 6.4f;
        rc.projScaleY = 8.0f;
        rc.screenCentreX = 3.0f;   // pixel (3, 3) un-projects onto the optical axis
        rc.screenCentreY = 3.0f;
        rc.letterScaleX = rc.letterScaleY = rc.letterScaleZ = 1.0;
        rc.lightVector[2] = -5.0;
        rc.lightGain = 1.0;
        rc.opacity = 1.0f;
        rc.keepTransparent = 1;

        // An untextured span at depth 1 facing the camera, both slopes 0.
        TriangleSetup& ts = triangleSetup;
        ts = TriangleSetup{};
        ts.faceNormal[2] = -1.0;
        ts.lightFade = 1.0;
        ts.untextured = 1;
        ts.leftInvZ = 1.0;
    }

    void TearDown() override
    {
        renderContext = saved_;
        delete[] colour_;
        delete[] coverage_;
    }

    void span(double leftX, double rightX, double leftSlope = 0.0, double rightSlope = 0.0)
    {
        triangleSetup.leftX = leftX;
        triangleSetup.rightX = rightX;
        triangleSetup.leftSlope = leftSlope;
        triangleSetup.rightSlope = rightSlope;
    }

    void useTexture(int width, int height, std::vector<uint8_t> texels)
    {
        texels_ = std::move(texels);
        triangleSetup.untextured = 0;
        triangleSetup.texturePixels = texels_.data();
        triangleSetup.textureWidth = static_cast<uint16_t>(width);
        triangleSetup.textureHeight = static_cast<uint16_t>(height);
    }

    // A row of texels whose byte 0 is 10t + 5 (t the column), bytes 1 and 2 0, opaque.
    void useRampTexture()
    {
        std::vector<uint8_t> texels;
        for (int t = 0; t < 8; ++t)
            texels.insert(texels.end(), {static_cast<uint8_t>(10 * t + 5), 0, 0, 255});
        useTexture(8, 1, texels);
    }

    void setPixel(int c, int r, Colour value)
    {
        uint8_t* p = colour_ + (r * kStride + c) * 4;
        p[0] = static_cast<uint8_t>(value.b);
        p[1] = static_cast<uint8_t>(value.g);
        p[2] = static_cast<uint8_t>(value.r);
    }
    Colour colourAt(int c, int r) const
    {
        const uint8_t* p = colour_ + (r * kStride + c) * 4;
        return {p[0], p[1], p[2]};
    }
    uint8_t coverageAt(int c, int r) const { return coverage_[r * kStride + c]; }

    // 'M' edge mark, '.' drawn unmarked, ' ' untouched.
    std::string coverageRow(int r) const
    {
        std::string row;
        for (int c = 0; c < kStride; ++c) {
            const uint8_t v = coverageAt(c, r);
            row += v == 0xFF ? 'M' : v == 0 ? '.' : v == kUntouched ? ' ' : '?';
        }
        return row;
    }
    std::vector<std::string> coverageRows() const
    {
        std::vector<std::string> rows;
        for (int r = 0; r < kRows; ++r)
            rows.push_back(coverageRow(r));
        return rows;
    }
    bool fourthBytesIntact() const
    {
        for (int i = 0; i < kStride * kRows; ++i)
            if (colour_[4 * i + 3] != kFourth)
                return false;
        return true;
    }

    uint8_t* colour_ = nullptr;
    uint8_t* coverage_ = nullptr;
    std::vector<uint8_t> texels_;
    RenderContext saved_{};
};

std::vector<std::string> padRows(std::vector<std::string> rows)
{
    rows.resize(kRows, std::string(kStride, ' '));
    return rows;
}

// ---------------------------------------------------------------- edge marks

struct MarkCase {
    const char* name;
    double leftX, rightX, leftSlope, rightSlope;
    int32_t restrictMarks, longOnRight, bottomMarkWidth;
    int32_t endRow;
    std::vector<std::string> rows;
};

class EdgeMarkTest : public ScanlineFillTest, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(EdgeMarkTest, MarksFollowTheRestrictionAndTheLastRow)
{
    const MarkCase& c = GetParam();
    span(c.leftX, c.rightX, c.leftSlope, c.rightSlope);
    triangleSetup.restrictMarks = c.restrictMarks;
    triangleSetup.longOnRight = c.longOnRight;
    triangleSetup.bottomMarkWidth = c.bottomMarkWidth;
    fillRows(0.0, c.endRow);
    EXPECT_EQ(coverageRows(), padRows(c.rows));
    EXPECT_EQ(colourAt(3, 0), (Colour{kBackground, kBackground, kBackground}));
    EXPECT_TRUE(fourthBytesIntact());
}

// Span 0..8 (n = 8): with slopes 0 the left rule marks i ≤ 1.5 and the right rule
// m − 1 ≤ 1.5 (m = 8 − i). L-ok: restrict 0 or longOnRight; R-ok: restrict 0 or not.
// The last row adds i < |b| or m < |b|.
INSTANTIATE_TEST_SUITE_P(
    Spans, EdgeMarkTest,
    ::testing::Values(
        MarkCase{"UnrestrictedMarksTwoAtEachEnd", 0, 8, 0, 0, 0, 0, 0, 2, {"MM....MM", "MM....MM"}},
        MarkCase{"LongEdgeOnRightMarksOnlyTheLeft", 0, 8, 0, 0, 1, 1, 0, 2, {"MM......", "MM......"}},
        MarkCase{"LongEdgeOnLeftMarksOnlyTheRight", 0, 8, 0, 0, 1, 0, 0, 2, {"......MM", "......MM"}},
        // b = 3: i < 3 → columns 0–2, m < 3 → columns 6, 7.
        MarkCase{"BottomMarkWidthOnTheLastRow", 0, 8, 0, 0, 1, 1, 3, 2, {"MM......", "MMM...MM"}},
        MarkCase{"NegativeBottomMarkWidthCountsItsSize", 0, 8, 0, 0, 1, 1, -3, 2, {"MM......", "MMM...MM"}},
        // |INT_MIN| = 2^31 in 64 bits: the whole last row.
        MarkCase{"MostNegativeBottomMarkWidthMarksTheRow", 0, 8, 0, 0, 1, 1, INT_MIN, 2, {"MM......", "MMMMMMMM"}},
        // |−2| + 1.5 = 3.5 ≥ i: columns 0–3.
        MarkCase{"SteepLeftEdgeMarksMore", 0, 8, -2, 0, 0, 0, 0, 1, {"MMMM..MM"}},
        // 1 + 1.5 = 2.5 ≥ m − 1: m ≤ 3, columns 5–7.
        MarkCase{"SteepRightEdgeMarksMore", 0, 8, 0, 1, 1, 0, 0, 1, {".....MMM"}},
        MarkCase{"OnePixelSpanLongOnRight", 3, 4, 0, 0, 1, 1, 0, 1, {"   M    "}},
        MarkCase{"OnePixelSpanLongOnLeft", 3, 4, 0, 0, 1, 0, 0, 1, {"   M    "}},
        MarkCase{"EmptySpan", 3, 3.7, 0, 0, 0, 0, 0, 1, {"        "}},
        // xr = 12 is lowered to the window width 8.
        MarkCase{"SpanClippedAtTheRight", 4, 12, 0, 0, 0, 0, 0, 1, {"    MMMM"}},
        MarkCase{"SpanRightOfTheWindow", 9, 12, 0, 0, 0, 0, 0, 1, {"        "}},
        // Rows 0 and 1 draw nothing (xl 9 > 8, then xl 8 = xr 8); the edges still
        // advance, so row 2 draws column 7.
        MarkCase{"EdgesAdvanceOnEmptyRows", 9, 12, -1, 0, 0, 0, 0, 3, {"        ", "        ", "       M"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScanlineFillTest, CoverageOffLeavesCoverageAlone)
{
    useTexture(1, 1, {10, 20, 30, 255});
    renderContext.coverageOff = 1;
    span(0, 8);
    fillRows(0.0, 2);
    EXPECT_EQ(coverageRows(), padRows({}));
    EXPECT_EQ(colourAt(0, 0), (Colour{10, 20, 30}));
    EXPECT_EQ(colourAt(7, 1), (Colour{10, 20, 30}));
}

// ---------------------------------------------------------------- rows

struct RowsCase {
    const char* name;
    float windowHeight;
    double startY;
    int32_t endRow;
    std::vector<int> drawnRows;
};

class RowRangeTest : public ScanlineFillTest, public ::testing::WithParamInterface<RowsCase> {};

// Span 0..6 (stays 0..6 for the at most three processed rows), long edge on the
// right: rows show "MM....", and bottomMarkWidth INT_MIN marks all of the last
// processed row, which tells which row the fill took as its last.
TEST_P(RowRangeTest, DrawsOnlyRowsInsideTheWindow)
{
    const RowsCase& c = GetParam();
    renderContext.windowHeight = c.windowHeight;
    span(0, 6, 0.25, 0.25);
    triangleSetup.leftInvZStep = 0.125;
    triangleSetup.leftUStep = 1.0;
    triangleSetup.leftVStep = 2.0;
    triangleSetup.restrictMarks = 1;
    triangleSetup.longOnRight = 1;
    triangleSetup.bottomMarkWidth = INT_MIN;
    fillRows(c.startY, c.endRow);

    std::vector<std::string> expected(kRows, std::string(kStride, ' '));
    for (int r : c.drawnRows)
        expected[r] = r == c.drawnRows.back() ? "MMMMMM  " : "MM....  ";
    EXPECT_EQ(coverageRows(), expected);

    const double k = static_cast<double>(c.drawnRows.size());
    EXPECT_EQ(triangleSetup.leftX, 0.25 * k);
    EXPECT_EQ(triangleSetup.rightX, 6.0 + 0.25 * k);
    EXPECT_EQ(triangleSetup.leftInvZ, 1.0 + 0.125 * k);
    EXPECT_EQ(triangleSetup.leftU, k);
    EXPECT_EQ(triangleSetup.leftV, 2.0 * k);
}

INSTANTIATE_TEST_SUITE_P(
    Halves, RowRangeTest,
    ::testing::Values(RowsCase{"InsideTheWindow", 8.0f, 2.0, 5, {2, 3, 4}},
                      RowsCase{"EndRowLoweredToTheWindow", 8.0f, 6.0, 10, {6, 7}},
                      RowsCase{"StartingAtTheWindowHeight", 8.0f, 8.0, 10, {}},
                      RowsCase{"StartingInsideTheLastRow", 8.0f, 7.9, 9, {7}},
                      RowsCase{"StartingAboveTheWindow", 8.0f, -2.5, 2, {0, 1}},
                      RowsCase{"FractionalWindowHeight", 7.5f, 5.0, 9, {5, 6}},
                      RowsCase{"EmptyHalf", 8.0f, 3.0, 3, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- texel coordinates

// Depth 1 across the span: w = 1 + 0.5 · q ... here invZDx = 0.5 and leftInvZ = 0.5,
// uDx = 2 and leftU = 2, leftX = 0 (q = 1):
//   pixel 0: w = 1, U = 4, u = U / w = 4;            next u = z0 · U1 = 1 · 6 = 6
//   pixel 1: samples 6 (its U times pixel 0's depth 1, not 6 / 1.5 = 4);
//            z1 = 1 / 1.5, next u = 8 / 1.5 = 5.333
// On the ramp (byte 0 = 10t + 5): 4 → u′ 3.0000033 → 35; 6 → 55;
// 5.333 → u′ 4.3333366, 45 + 10 · 0.3333366 = 48.33 → 48.
TEST_F(ScanlineFillTest, PixelOneUsesTheDepthOfPixelZero)
{
    useRampTexture();
    span(0, 3);
    triangleSetup.leftInvZ = 0.5;
    triangleSetup.invZDx = 0.5;
    triangleSetup.leftU = 2.0;
    triangleSetup.uDx = 2.0;
    fillRows(0.0, 1);
    EXPECT_EQ(colourAt(0, 0), (Colour{35, 0, 0}));
    EXPECT_EQ(colourAt(1, 0), (Colour{55, 0, 0}));
    EXPECT_EQ(colourAt(2, 0), (Colour{48, 0, 0}));
}

// xl = trunc(−2.5) = −2 is raised to clipLeft 0; q = 1 − (−2.5 − 0) = 3.5, so with
// uDx = 1 pixel 0 samples U = 3.5 (x = 1): u′ = 2.5000033, 25 + 10 · 0.5000033 → 30.
TEST_F(ScanlineFillTest, SpanClippedAtTheLeftSamplesAtColumnOne)
{
    useRampTexture();
    span(-2.5, 2);
    triangleSetup.uDx = 1.0;
    fillRows(0.0, 1);
    EXPECT_EQ(colourAt(0, 0), (Colour{30, 0, 0}));
    EXPECT_EQ(coverageRow(0), "MM      ");
}

struct TexelCase {
    const char* name;
    double u, v;
    int byte0;
};

class TexelCoordinateTest : public ScanlineFillTest, public ::testing::WithParamInterface<TexelCase> {};

TEST_P(TexelCoordinateTest, CoordinatesAreMirroredAndClampedIntoTheTexture)
{
    useRampTexture();
    span(2, 3);
    triangleSetup.leftU = GetParam().u;
    triangleSetup.leftV = GetParam().v;
    fillRows(0.0, 1);
    EXPECT_EQ(colourAt(2, 0), (Colour{GetParam().byte0, 0, 0}));
}

// Ramp byte 0 = 10t + 5, texture 8 x 1.
//   ±3.2 → 3.2: u′ 2.2000033 → 25 + 10 · 0.2000033 = 27.00003 → 27
//   13 (width + 5) → 7 (width − 1): u′ 6.0000033 → 65 + 10 · 0.0000033 → 65
//   NaN → 0: u′ −0.9999967, x0 0, fx 0.9999967 → 5 + 9.999967 → 14
INSTANTIATE_TEST_SUITE_P(
    Coordinates, TexelCoordinateTest,
    ::testing::Values(TexelCase{"Positive", 3.2, 0, 27}, TexelCase{"NegativeMirrorsAtZero", -3.2, 0, 27},
                      TexelCase{"BeyondTheWidthClampsToTheLastColumn", 13.0, 0, 65},
                      TexelCase{"UNotANumberReadsFromZero", std::numeric_limits<double>::quiet_NaN(), 0, 14},
                      TexelCase{"VNotANumberReadsFromZero", 3.2, std::numeric_limits<double>::quiet_NaN(), 27}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- transparency and light

enum class Light { none, flat, pixel };
enum class Surface { transparentTexel, opaqueTexel, untextured };

struct TransparencyCase {
    const char* name;
    Surface surface;
    int keepTransparent;
    Light light;
    float opacity;
    Colour colour;
    char coverage;
};

class TransparencyTest : public ScanlineFillTest, public ::testing::WithParamInterface<TransparencyCase> {};

// One pixel at (3, 3) over background 100. Texel colour (9, 9, 9).
// Flat add (5, 6, 7). Per pixel: the optical axis at depth 1 with light (0, 0, −5):
// L = (0, 0, −6) → (0, 0, −1), d = 1, I = 1.5 · 1 · 1 · 1, levels (10, 20, 30) → 15, 30, 45.
TEST_P(TransparencyTest, DecidesWhetherThePixelIsBlendedMarkedAndLit)
{
    const TransparencyCase& c = GetParam();
    if (c.surface != Surface::untextured)
        useTexture(1, 1, {9, 9, 9, static_cast<uint8_t>(c.surface == Surface::opaqueTexel ? 255 : 0)});
    renderContext.keepTransparent = c.keepTransparent;
    renderContext.flatLighting = c.light == Light::flat;
    renderContext.pixelLighting = c.light == Light::pixel;
    renderContext.opacity = c.opacity;
    renderContext.lightGain = 1.5;
    renderContext.lightLevels[0] = 10;
    renderContext.lightLevels[1] = 20;
    renderContext.lightLevels[2] = 30;
    triangleSetup.flatAdd[0] = 5;
    triangleSetup.flatAdd[1] = 6;
    triangleSetup.flatAdd[2] = 7;
    span(3, 4);
    fillRows(3.0, 4);
    EXPECT_EQ(colourAt(3, 3), c.colour);
    EXPECT_EQ(coverageRow(3)[3], c.coverage);
}

INSTANTIATE_TEST_SUITE_P(
    Pixels, TransparencyTest,
    ::testing::Values(
        TransparencyCase{"TransparentSkippedWithoutKeep", Surface::transparentTexel, 0, Light::flat, 1.0f, {100, 100, 100}, ' '},
        TransparencyCase{"TransparentLitWithKeep", Surface::transparentTexel, 1, Light::flat, 1.0f, {105, 106, 107}, 'M'},
        TransparencyCase{"TransparentPixelLitWithKeep", Surface::transparentTexel, 1, Light::pixel, 1.0f, {115, 130, 145}, 'M'},
        // The transparency test also runs when both lights are off.
        TransparencyCase{"TransparentSkippedWhenUnlit", Surface::transparentTexel, 1, Light::none, 1.0f, {100, 100, 100}, ' '},
        TransparencyCase{"UntexturedSkippedWithoutKeep", Surface::untextured, 0, Light::flat, 1.0f, {100, 100, 100}, ' '},
        TransparencyCase{"UntexturedMarkedWithKeep", Surface::untextured, 1, Light::none, 1.0f, {100, 100, 100}, 'M'},
        TransparencyCase{"UntexturedLitWithKeep", Surface::untextured, 1, Light::flat, 1.0f, {105, 106, 107}, 'M'},
        // Alpha 255 replaces the pixel: (9 · 255 + 100 · 0) / 255 = 9, then + (5, 6, 7).
        TransparencyCase{"OpaqueBlendedAndLit", Surface::opaqueTexel, 0, Light::flat, 1.0f, {14, 15, 16}, 'M'},
        // Opacity 0: a = 0, (9 · 0 + 100 · 255) / 255 = 100; the light is still added.
        TransparencyCase{"OpacityZeroFlatLight", Surface::opaqueTexel, 0, Light::flat, 0.0f, {105, 106, 107}, 'M'},
        TransparencyCase{"OpacityZeroPixelLight", Surface::opaqueTexel, 0, Light::pixel, 0.0f, {115, 130, 145}, 'M'}),
    [](const auto& info) { return std::string(info.param.name); });

// 250 + 10 saturates at 255; 100 + 10 = 110; 5 − 10 = −5 keeps its low 8 bits, 251.
TEST_F(ScanlineFillTest, FlatLightSaturatesAtTheTop)
{
    renderContext.flatLighting = 1;
    triangleSetup.flatAdd[0] = 10;
    triangleSetup.flatAdd[1] = 10;
    triangleSetup.flatAdd[2] = -10;
    setPixel(2, 0, {250, 100, 5});
    span(2, 3);
    fillRows(0.0, 1);
    EXPECT_EQ(colourAt(2, 0), (Colour{255, 110, 251}));
}

// ---------------------------------------------------------------- bilinear sample

struct BilinearCase {
    const char* name;
    double u, v;
    Colour expected;
};

class BilinearTest : public ScanlineFillTest, public ::testing::WithParamInterface<BilinearCase> {};

// 2 x 2 texture, all alpha 255 (so the pixel becomes the sample), bytes by corner:
//        T00  T10  T01  T11
// byte 0   0  100  200   60
// byte 1 255    0    0  255
// byte 2  10   20   30   40
TEST_P(BilinearTest, WeightsFollowTheOffsetOrigin)
{
    useTexture(2, 2, {0, 255, 10, 255, 100, 0, 20, 255, 200, 0, 30, 255, 60, 255, 40, 255});
    uint8_t pixel[4] = {1, 2, 3, kFourth};
    sampleBilinear(pixel, GetParam().u, GetParam().v);
    EXPECT_EQ((Colour{pixel[0], pixel[1], pixel[2]}), GetParam().expected);
    EXPECT_EQ(pixel[3], kFourth);
}

// (1.5, 1.25): fx 0.5000033, fy 0.2500033.
//   b0: top 50.00033, bottom 200 − 140 · 0.5000033 = 129.99954, 50.00033 + 79.99921 · 0.2500033 = 70.0004 → 70
//   b1: top 127.49916, bottom 127.50084, + 0.00168 · 0.25 → 127.4996 → 127
//   b2: top 15.000033, bottom 35.000033, 15.000033 + 20 · 0.2500033 = 20.0001 → 20
// (0.25, 1.5), first column: u′ = −0.7499967, x0 0, fx 0.7499967; fy 0.5000033.
//   b0: top 74.99967, bottom 95.00046, 74.99967 + 20.00079 · 0.5000033 = 85.0001 → 85
//   b1: top 63.75084, bottom 191.24916, → 127.5004 → 127
//   b2: top 17.499967, bottom 37.499967, → 27.50003 → 27
// (0, 0): fx = fy = 0.9999967, almost T11 from below:
//   b0: top 99.99967, bottom 60.00046, 99.99967 − 39.99921 · 0.9999967 = 60.0006 → 60
//   b1: top 0.00084, bottom 254.99916, 0.00084 + 254.99832 · 0.9999967 = 254.9983 → 254
//   b2: top 19.999967, bottom 39.999967, → 39.99990 → 39
// (1, 1), the last texel: fx = fy = 0.0000033, almost T00:
//   b0: 0.00033 + 199.99921 · 0.0000033 → 0;  b1: 254.99916 − 254.99832 · 0.0000033 → 254;
//   b2: 10.000033 + 20 · 0.0000033 → 10
INSTANTIATE_TEST_SUITE_P(
    Coordinates, BilinearTest,
    ::testing::Values(BilinearCase{"Inside", 1.5, 1.25, {70, 127, 20}},
                      BilinearCase{"FirstColumn", 0.25, 1.5, {85, 127, 27}},
                      BilinearCase{"Origin", 0.0, 0.0, {60, 254, 39}},
                      BilinearCase{"LastTexel", 1.0, 1.0, {0, 254, 10}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BlendCase {
    const char* name;
    uint8_t sample, alpha;
    float opacity;
    uint8_t pixel;
    int expected;
};

class BlendTest : public ScanlineFillTest, public ::testing::WithParamInterface<BlendCase> {};

// A 1 x 1 texture samples to its texel exactly; a = trunc(alpha · opacity) in
// single precision; pixel = (s · a + p · (255 − a)) / 255 truncated.
TEST_P(BlendTest, IntegerBlendOfSampleAndPixel)
{
    const BlendCase& c = GetParam();
    useTexture(1, 1, {c.sample, c.sample, c.sample, c.alpha});
    renderContext.opacity = c.opacity;
    uint8_t pixel[4] = {c.pixel, c.pixel, c.pixel, kFourth};
    sampleBilinear(pixel, 0.0, 0.0);
    EXPECT_EQ((Colour{pixel[0], pixel[1], pixel[2]}), (Colour{c.expected, c.expected, c.expected}));
    EXPECT_EQ(pixel[3], kFourth);
}

INSTANTIATE_TEST_SUITE_P(
    Blends, BlendTest,
    ::testing::Values(
        BlendCase{"Opaque", 200, 255, 1.0f, 17, 200},
        // (100 · 128 + 200 · 127) / 255 = 38200 / 255 = 149.8 → 149
        BlendCase{"HalfAlpha", 100, 128, 1.0f, 200, 149},
        // (255 · 1 + 0) / 255 = 1
        BlendCase{"AlphaOne", 255, 1, 1.0f, 0, 1},
        // (0 + 255 · 1) / 255 = 1
        BlendCase{"AlphaTwoFiftyFour", 0, 254, 1.0f, 255, 1},
        // a = trunc(255 · 0.5) = 127: (200 · 127 + 100 · 128) / 255 = 38200 / 255 → 149
        BlendCase{"HalfOpacity", 200, 255, 0.5f, 100, 149},
        // a = trunc(float(255 · 0.3f) = 76.5) = 76: (10 · 76 + 250 · 179) / 255 = 45510 / 255 → 178
        BlendCase{"OpacityPointThree", 10, 255, 0.3f, 250, 178},
        BlendCase{"TransparentKeepsThePixel", 10, 0, 1.0f, 250, 250}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- per-pixel light

struct ShadeCase {
    const char* name;
    std::array<double, 3> point, light, normal;
    double scaleX, scaleY;
    int mirrorX, mirrorY;
    std::array<double, 3> levels;
    double gain, fade;
    Colour before, after;
};

class ShadePixelTest : public ScanlineFillTest, public ::testing::WithParamInterface<ShadeCase> {};

TEST_P(ShadePixelTest, AddsTheCubedLightTowardsTheLight)
{
    const ShadeCase& c = GetParam();
    RenderContext& rc = renderContext;
    for (int k = 0; k < 3; ++k) {
        rc.lightVector[k] = c.light[k];
        rc.lightLevels[k] = c.levels[k];
        triangleSetup.faceNormal[k] = c.normal[k];
    }
    rc.letterScaleX = c.scaleX;
    rc.letterScaleY = c.scaleY;
    rc.mirrorX = c.mirrorX;
    rc.mirrorY = c.mirrorY;
    rc.lightGain = c.gain;
    triangleSetup.lightFade = c.fade;
    uint8_t pixel[4] = {static_cast<uint8_t>(c.before.b), static_cast<uint8_t>(c.before.g),
                        static_cast<uint8_t>(c.before.r), kFourth};
    shadePixel(pixel, c.point[0], c.point[1], c.point[2]);
    EXPECT_EQ((Colour{pixel[0], pixel[1], pixel[2]}), c.after);
    EXPECT_EQ(pixel[3], kFourth);
}

// Levels (100, 50, 10) over 100 unless stated.
// L = (3, 0, −4) / 5 · (0, 0, −1) = 0.8, I = 0.512: +51, +25, +5.
// L = (−0.6, 0, −0.8) · (0.6, 0, −0.8) = 0.28, I = 0.021952: +2, +1, +0; mirrored L.x:
// (0.6, 0, −0.8) · n = 1: +100, +50, +10. Fade 0.5, gain 2: I = 2 · 0.125 = 0.25: +25, +12, +2.
// L = 0 becomes (1, 1, 1): · (0, 0, −1) = −1 → 1.
INSTANTIATE_TEST_SUITE_P(
    Points, ShadePixelTest,
    ::testing::Values(
        ShadeCase{"Oblique", {0, 0, 4}, {3, 0, 0}, {0, 0, -1}, 1, 1, 0, 0, {100, 50, 10}, 1, 1, {100, 100, 100}, {151, 125, 105}},
        // x / letterScaleX = 1.5 / 0.5 = 3: L = (6 − 3, 0, −4).
        ShadeCase{"DividedByLetterScaleX", {1.5, 0, 4}, {6, 0, 0}, {0, 0, -1}, 0.5, 1, 0, 0, {100, 50, 10}, 1, 1, {100, 100, 100}, {151, 125, 105}},
        ShadeCase{"DividedByLetterScaleY", {0, 1.5, 4}, {0, 6, 0}, {0, 0, -1}, 1, 0.5, 0, 0, {100, 50, 10}, 1, 1, {100, 100, 100}, {151, 125, 105}},
        ShadeCase{"Unmirrored", {0, 0, 4}, {-3, 0, 0}, {0.6, 0, -0.8}, 1, 1, 0, 0, {100, 50, 10}, 1, 1, {100, 100, 100}, {102, 101, 100}},
        ShadeCase{"MirrorXNegatesLx", {0, 0, 4}, {-3, 0, 0}, {0.6, 0, -0.8}, 1, 1, 1, 0, {100, 50, 10}, 1, 1, {100, 100, 100}, {200, 150, 110}},
        ShadeCase{"MirrorYNegatesLy", {0, 0, 4}, {0, -3, 0}, {0, 0.6, -0.8}, 1, 1, 0, 1, {100, 50, 10}, 1, 1, {100, 100, 100}, {200, 150, 110}},
        ShadeCase{"FadeCubedTimesGain", {0, 0, 1}, {0, 0, -5}, {0, 0, -1}, 1, 1, 0, 0, {100, 50, 10}, 2, 0.5, {100, 100, 100}, {125, 112, 102}},
        ShadeCase{"ClampedToTheByteRange", {0, 0, 1}, {0, 0, -5}, {0, 0, -1}, 1, 1, 0, 0, {10, -200, 0}, 1, 1, {250, 100, 7}, {255, 0, 7}},
        ShadeCase{"ZeroVectorBecomesOnes", {0, 0, 4}, {0, 0, 4}, {0, 0, -1}, 1, 1, 0, 0, {100, 50, 10}, 1, 1, {100, 100, 100}, {200, 150, 110}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
