// Polygon setup and drawing order: small triangles drawn into an 8 x 8 window,
// plus one shipped letter object drawn into a 64 x 48 picture.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <deque>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "animation/scene_evaluation.h"
#include "assets/letter_object.h"
#include "png_writer.h"
#include "raster/render_context.h"
#include "raster/triangle_setup.h"
#include "standin/standin_control.h"

namespace {

constexpr int kStride = 8;
constexpr int kRows = 10;               // two guard rows below the 8 x 8 window
constexpr uint8_t kUntouched = 0x55;    // coverage byte no pixel step has written
constexpr uint8_t kBackground = 100;    // colour bytes 0 to 2 before drawing
constexpr uint8_t kFourth = 0x77;       // colour byte 3, never written by the fill

struct Colour {
    int b, g, r;
    bool operator==(const Colour&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Colour& c)
{
    return os << "(" << c.b << ", " << c.g << ", " << c.r << ")";
}

std::vector<uint8_t> solidTexels(int width, int height, Colour c, uint8_t alpha)
{
    std::vector<uint8_t> texels;
    for (int i = 0; i < width * height; ++i)
        texels.insert(texels.end(), {static_cast<uint8_t>(c.b), static_cast<uint8_t>(c.g),
                                     static_cast<uint8_t>(c.r), alpha});
    return texels;
}

LetterPolygon makePolygon(std::array<int16_t, 3> indices, int16_t texture,
                          std::array<float, 6> uv = {}, std::array<float, 3> normal = {0, 0, -1})
{
    LetterPolygon p{};
    std::memcpy(p.pointIndex, indices.data(), sizeof p.pointIndex);
    p.textureIndex = texture;
    std::memcpy(p.normal, normal.data(), sizeof p.normal);
    std::memcpy(p.uv, uv.data(), sizeof p.uv);
    return p;
}

class TriangleSetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = renderContext;
        colour_ = new uint8_t[kStride * kRows * 4];
        coverage_ = new uint8_t[kStride * kRows];
        world_ = new double[pointBufferEntries * 3]();
        projected_ = new float[pointBufferEntries * 3]();
        resetBuffers();

        RenderContext& rc = renderContext;
        rc = RenderContext{};
        rc.colourBuffer = colour_;
        rc.coverageBuffer = coverage_;
        rc.bufferStride = kStride;
        rc.worldPoints = world_;
        rc.projectedPoints = projected_;
        rc.windowWidth = 8.0f;
        rc.windowHeight = 8.0f;
        rc.projScaleX = 6.4f;
        rc.projScaleY = 8.0f;
        rc.screenCentreX = 3.0f;   // pixel (3, 3) un-projects onto the optical axis
        rc.screenCentreY = 3.0f;
        rc.letterScaleX = rc.letterScaleY = rc.letterScaleZ = 1.0;
        rc.lightVector[2] = -5.0;
        rc.lightLevels[0] = 85;
        rc.lightLevels[1] = 21;
        rc.lightLevels[2] = 99;
        rc.lightGain = 1.0;
        rc.opacity = 1.0f;
        rc.fadeLevel = 0.5;
        rc.keepTransparent = 1;

        textures_.assign(textureSlots, TextureRecord{});
        textureSource_.textures = textures_.data();
        standin::resetCounters();
    }

    void TearDown() override
    {
        renderContext = saved_;
        delete[] colour_;
        delete[] coverage_;
        delete[] world_;
        delete[] projected_;
    }

    void resetBuffers()
    {
        for (int i = 0; i < kStride * kRows; ++i) {
            colour_[4 * i] = colour_[4 * i + 1] = colour_[4 * i + 2] = kBackground;
            colour_[4 * i + 3] = kFourth;
            coverage_[i] = kUntouched;
        }
    }

    // Projected and camera-space point alike; camera z > 0 puts the
    // default normal (0, 0, -1) towards the camera.
    void setPoint(int index, double x, double y, double z = 1.0)
    {
        projected_[3 * index] = static_cast<float>(x);
        projected_[3 * index + 1] = static_cast<float>(y);
        projected_[3 * index + 2] = static_cast<float>(z);
        world_[3 * index] = x;
        world_[3 * index + 1] = y;
        world_[3 * index + 2] = z;
    }

    void setTexture(int slot, int32_t width, int32_t height, std::vector<uint8_t> texels)
    {
        texels_.push_back(std::move(texels));
        textures_[slot].pixels = texels_.back().data();
        textures_[slot].width = width;
        textures_[slot].height = height;
    }

    void draw(std::vector<LetterPolygon> list)
    {
        list.push_back(makePolygon({-1, -1, -1}, -1));
        drawObject(list.data(), &textureSource_);
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
    bool nothingWritten() const
    {
        for (int i = 0; i < kStride * kRows; ++i)
            if (coverage_[i] != kUntouched || colour_[4 * i] != kBackground ||
                colour_[4 * i + 1] != kBackground || colour_[4 * i + 2] != kBackground ||
                colour_[4 * i + 3] != kFourth)
                return false;
        return true;
    }

    uint8_t* colour_ = nullptr;
    uint8_t* coverage_ = nullptr;
    double* world_ = nullptr;
    float* projected_ = nullptr;
    std::vector<TextureRecord> textures_;
    std::deque<std::vector<uint8_t>> texels_;
    LetterObject textureSource_{};
    RenderContext saved_{};
};

const std::vector<std::string> kBlankRows(kRows, std::string(kStride, ' '));

TEST_F(TriangleSetupTest, EmptyPolygonListDrawsNothingAndPollsNoAbort)
{
    setPoint(0, 1, 1);
    draw({});
    EXPECT_EQ(standin::abortChecks(), 0u);
    EXPECT_TRUE(nothingWritten());
}

// ---------------------------------------------------------------- abort polling

struct AbortCase {
    const char* name;
    std::array<int16_t, 3> indices;
    int inPreview;
    uint64_t checks;
    bool draws;
};

class AbortPollingTest : public TriangleSetupTest, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(AbortPollingTest, OneCheckPerPolygonWithThreePointsOutsidePreview)
{
    setPoint(0, 1, 1);   // inside the window
    setPoint(1, 6, 1);
    setPoint(2, 1, 6);
    setPoint(3, -3, 1);  // wholly left of the window
    setPoint(4, -2, 1);
    setPoint(5, -3, 6);
    setPoint(6, 1, 1);   // on one line: det 0
    setPoint(7, 3, 3);
    setPoint(8, 5, 5);
    renderContext.inPreview = GetParam().inPreview;
    draw({makePolygon(GetParam().indices, -1)});
    EXPECT_EQ(standin::abortChecks(), GetParam().checks);
    EXPECT_EQ(!nothingWritten(), GetParam().draws);
}

INSTANTIATE_TEST_SUITE_P(
    Polygons, AbortPollingTest,
    ::testing::Values(AbortCase{"Drawn", {0, 1, 2}, 0, 1, true},
                      AbortCase{"RejectedLeftOfWindow", {3, 4, 5}, 0, 1, false},
                      AbortCase{"Degenerate", {6, 7, 8}, 0, 1, false},
                      AbortCase{"SecondIndexMinusOne", {0, -1, 2}, 0, 0, false},
                      AbortCase{"ThirdIndexMinusOne", {0, 1, -1}, 0, 0, false},
                      AbortCase{"BothMinusOne", {0, -1, -1}, 0, 0, false},
                      AbortCase{"DrawnInPreview", {0, 1, 2}, 1, 0, true},
                      AbortCase{"RejectedInPreview", {3, 4, 5}, 1, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TriangleSetupTest, MixedListPollsOncePerPolygonWithThreePoints)
{
    setPoint(0, 1, 1);
    setPoint(1, 6, 1);
    setPoint(2, 1, 6);
    setPoint(3, -3, 1);
    setPoint(4, -2, 1);
    setPoint(5, -3, 6);
    // Drawn, skipped (-1), rejected, degenerate, across both drawing passes.
    draw({makePolygon({0, 1, 2}, 1), makePolygon({0, -1, 2}, 2), makePolygon({3, 4, 5}, -1),
          makePolygon({0, 0, 0}, 0)});
    EXPECT_EQ(standin::abortChecks(), 3u);
}

// ---------------------------------------------------------------- rejection and snapping

struct RejectCase {
    const char* name;
    std::array<double, 3> x, y;
    bool rejected;
};

class RejectionTest : public TriangleSetupTest, public ::testing::WithParamInterface<RejectCase> {};

// A rejected triangle returns before the face normal is written.
TEST_P(RejectionTest, SnapsXBeforeTheTestAndYAfterIt)
{
    for (int i = 0; i < 3; ++i)
        setPoint(i, GetParam().x[i], GetParam().y[i]);
    triangleSetup.faceNormal[0] = triangleSetup.faceNormal[1] = triangleSetup.faceNormal[2] = 7.0;
    triangleSetup.bottomMarkWidth = 77;
    setupTriangle(makePolygon({0, 1, 2}, -1), &textureSource_);

    EXPECT_EQ(standin::abortChecks(), 1u);
    const std::array<double, 3> normal = {triangleSetup.faceNormal[0], triangleSetup.faceNormal[1],
                                          triangleSetup.faceNormal[2]};
    if (GetParam().rejected) {
        EXPECT_EQ(normal, (std::array<double, 3>{7.0, 7.0, 7.0}));
        EXPECT_EQ(triangleSetup.bottomMarkWidth, 0);
    } else {
        EXPECT_EQ(normal, (std::array<double, 3>{0.0, 0.0, -1.0}));
    }
    // Nothing of these lies in a drawable row and column; the guard rows stay clean too.
    EXPECT_EQ(coverageRows(), kBlankRows);
}

INSTANTIATE_TEST_SUITE_P(
    Vertices, RejectionTest,
    ::testing::Values(
        RejectCase{"ThreeXJustLeftOfZeroAreSnappedAndKept", {-0.05, -0.09, -0.01}, {1, 2, 5}, false},
        RejectCase{"ThreeYJustAboveZeroAreRejected", {1, 2, 5}, {-0.05, -0.09, -0.01}, true},
        RejectCase{"XOfMinusOneTenthIsNotSnapped", {-0.1, -0.2, -0.3}, {1, 2, 5}, true},
        RejectCase{"OneSnappedXKeepsTheTriangle", {-0.05, -0.2, -0.3}, {1, 2, 5}, false},
        RejectCase{"AllYBelowTheWindow", {1, 2, 5}, {8.5, 9, 10}, true},
        RejectCase{"YOnTheWindowHeightIsKept", {1, 2, 5}, {8, 9, 10}, false},
        RejectCase{"AllXRightOfTheWindow", {8.01, 9, 10}, {1, 2, 5}, true},
        RejectCase{"XOnTheWindowWidthIsKept", {8, 9, 10}, {1, 2, 5}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- drawing order

struct OrderCase {
    const char* name;
    int16_t firstTexture;
    bool firstNear;
    int16_t secondTexture;
    int16_t onTop;
};

class DrawingOrderTest : public TriangleSetupTest, public ::testing::WithParamInterface<OrderCase> {};

Colour slotColour(int slot)
{
    return {20 + 30 * slot, 200 - 20 * slot, 7 * slot};
}

// Two triangles on the same pixels, one at depth 1 and one at depth 5. A 1 x 1
// opaque texture samples to its texel exactly, and alpha 255 replaces the pixel:
// (s * 255 + p * 0) / 255 = s. So every drawn pixel shows the polygon drawn last.
TEST_P(DrawingOrderTest, TexturesOneAndTwoGoFirstWhateverTheDepth)
{
    for (int slot = 0; slot < 6; ++slot)
        setTexture(slot, 1, 1, solidTexels(1, 1, slotColour(slot), 255));
    setPoint(0, 0, 0, 1.0);
    setPoint(1, 16, 0, 1.0);
    setPoint(2, 0, 16, 1.0);
    setPoint(3, 0, 0, 5.0);
    setPoint(4, 16, 0, 5.0);
    setPoint(5, 0, 16, 5.0);
    const std::array<int16_t, 3> near = {0, 1, 2}, far = {3, 4, 5};
    const OrderCase& c = GetParam();
    draw({makePolygon(c.firstNear ? near : far, c.firstTexture),
          makePolygon(c.firstNear ? far : near, c.secondTexture)});

    int drawn = 0;
    for (int r = 0; r < 8; ++r)
        for (int col = 0; col < 8; ++col)
            if (coverageAt(col, r) != kUntouched) {
                ++drawn;
                EXPECT_EQ(colourAt(col, r), slotColour(c.onTop)) << "pixel " << col << ", " << r;
            }
    EXPECT_GT(drawn, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, DrawingOrderTest,
    ::testing::Values(OrderCase{"FaceNearListedFirst", 1, true, 0, 0},
                      OrderCase{"FaceNearListedSecond", 0, false, 1, 0},
                      OrderCase{"TopSideUnderSideThree", 2, true, 3, 3},
                      OrderCase{"SideFourListedBeforeTopSide", 4, false, 2, 4},
                      OrderCase{"BothInFirstPassKeepListOrder", 2, true, 1, 1},
                      OrderCase{"BothInSecondPassKeepListOrder", 3, false, 5, 5}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- face normal

TEST_F(TriangleSetupTest, BackFacingPolygonDrawnLikeFrontFacing)
{
    setTexture(1, 1, 1, solidTexels(1, 1, {30, 60, 90}, 255));
    renderContext.flatLighting = 1;
    renderContext.lightVector[0] = 1.0;
    renderContext.lightVector[1] = 2.0;
    setPoint(0, 0, 0);
    setPoint(1, 16, 0);
    setPoint(2, 0, 16);

    draw({makePolygon({0, 1, 2}, 1, {}, {0, 0, -1})});
    const std::vector<uint8_t> frontColour(colour_, colour_ + kStride * kRows * 4);
    const std::vector<std::string> frontCoverage = coverageRows();
    EXPECT_EQ(triangleSetup.faceNormal[2], -1.0);

    resetBuffers();
    // Camera-space first vertex (0, 0, 1) · (0, 0, 1) > 0: the normal is reversed.
    draw({makePolygon({0, 1, 2}, 1, {}, {0, 0, 1})});
    EXPECT_EQ((std::array<double, 3>{triangleSetup.faceNormal[0], triangleSetup.faceNormal[1],
                                     triangleSetup.faceNormal[2]}),
              (std::array<double, 3>{0.0, 0.0, -1.0}));
    EXPECT_EQ(std::vector<uint8_t>(colour_, colour_ + kStride * kRows * 4), frontColour);
    EXPECT_EQ(coverageRows(), frontCoverage);
    EXPECT_NE(coverageRow(0), kBlankRows[0]);
}

struct NormalCase {
    const char* name;
    std::array<float, 3> normal;
    double rotY, rotZ, rotX;
    std::array<double, 3> firstVertexCamera;
    std::array<double, 3> expected;
};

class FaceNormalTest : public TriangleSetupTest, public ::testing::WithParamInterface<NormalCase> {};

TEST_P(FaceNormalTest, RotatedYThenZThenXAndTurnedTowardsTheCamera)
{
    const NormalCase& c = GetParam();
    setPoint(0, 1, 1);
    setPoint(1, 6, 1);
    setPoint(2, 1, 6);
    std::memcpy(world_, c.firstVertexCamera.data(), sizeof(double) * 3);
    renderContext.objectRotY = c.rotY;
    renderContext.objectRotZ = c.rotZ;
    renderContext.objectRotX = c.rotX;
    setupTriangle(makePolygon({0, 1, 2}, -1, {}, c.normal), &textureSource_);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(triangleSetup.faceNormal[k], c.expected[k], 1e-6) << "component " << k;
}

// With c = cos 90° ≈ 0 and s = sin 90° ≈ 1:
// (0,1,0) about Y: (0,1,0); about Z: (-s, c, 0) ≈ (-1,0,0); P·n < 0 for P = (1,0,1): kept.
//   (Z before Y would give (0,0,1), reversed to (0,0,-1).)
// (1,0,0) about Z: (c, s, 0) ≈ (0,1,0); about X: (0, c, s) ≈ (0,0,1); P = (0,0,1): reversed.
//   (X before Z would give (0,1,0), kept.)
INSTANTIATE_TEST_SUITE_P(
    Rotations, FaceNormalTest,
    ::testing::Values(NormalCase{"Unrotated", {0, 0, -1}, 0, 0, 0, {1, 1, 1}, {0, 0, -1}},
                      NormalCase{"FacingAwayIsReversed", {0, 0, 1}, 0, 0, 0, {1, 1, 1}, {0, 0, -1}},
                      NormalCase{"YBeforeZ", {0, 1, 0}, 90, 90, 0, {1, 0, 1}, {-1, 0, 0}},
                      NormalCase{"ZBeforeX", {1, 0, 0}, 0, 90, 90, {0, 0, 1}, {0, 0, -1}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- light fade

struct FadeCase {
    const char* name;
    double fadeLevel;
    double lightFade;
    std::array<int, 3> flatAdd;
    std::array<int, 3> pixelAdd;
};

class LightFadeTest : public TriangleSetupTest, public ::testing::WithParamInterface<FadeCase> {};

// Light levels (85, 21, 99), gain 1, light (0, 0, -5), face normal (0, 0, -1).
// Flat: L = (0, 0, -1), I = 1 · fade. Per pixel at (3, 3), the optical axis at
// depth 1: X = Y = 0, L = (0, 0, -6) → (0, 0, -1), I = fade³.
TEST_P(LightFadeTest, FlatLightScalesWithFadeAndPixelLightWithItsCube)
{
    const FadeCase& c = GetParam();
    renderContext.fadeLevel = c.fadeLevel;
    setPoint(0, 0, 0);
    setPoint(1, 16, 0);
    setPoint(2, 0, 16);

    renderContext.flatLighting = 1;
    draw({makePolygon({0, 1, 2}, -1)});
    EXPECT_DOUBLE_EQ(triangleSetup.lightFade, c.lightFade);
    EXPECT_EQ((std::array<int, 3>{triangleSetup.flatAdd[0], triangleSetup.flatAdd[1],
                                  triangleSetup.flatAdd[2]}),
              c.flatAdd);
    EXPECT_EQ(colourAt(3, 3), (Colour{100 + c.flatAdd[0], 100 + c.flatAdd[1], 100 + c.flatAdd[2]}));

    resetBuffers();
    renderContext.flatLighting = 0;
    renderContext.pixelLighting = 1;
    draw({makePolygon({0, 1, 2}, -1)});
    EXPECT_EQ(colourAt(3, 3), (Colour{100 + c.pixelAdd[0], 100 + c.pixelAdd[1], 100 + c.pixelAdd[2]}));
}

// 0.025 / 0.05000000074505806 = 0.49999999254941940: flat 85 → 42.49 → 42, 21 → 10.49 → 10,
// 99 → 49.49 → 49; cubed 0.12499999441: 85 → 10.62 → 10, 21 → 2.62 → 2, 99 → 12.37 → 12.
// 0.975: 1 − (0.975 − 0.949999988079071) / 0.05000000074505806 = 0.49999976903: same bytes.
INSTANTIATE_TEST_SUITE_P(
    Levels, LightFadeTest,
    ::testing::Values(FadeCase{"Zero", 0.0, 0.0, {0, 0, 0}, {0, 0, 0}},
                      FadeCase{"HalfOfTheLowLimit", 0.025, 0.025 / 0.05000000074505806, {42, 10, 49},
                               {10, 2, 12}},
                      FadeCase{"Unfaded", 0.5, 1.0, {85, 21, 99}, {85, 21, 99}},
                      FadeCase{"AboveTheHighLimit", 0.975,
                               1.0 - (0.975 - 0.949999988079071) / 0.05000000074505806, {42, 10, 49},
                               {10, 2, 12}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- degenerate triangles

struct DeterminantCase {
    const char* name;
    float bottomY;
    bool draws;
};

class DeterminantTest : public TriangleSetupTest, public ::testing::WithParamInterface<DeterminantCase> {};

// A sliver across x = 2: P = (2 − 2^-21, 0), Q = (2 + 2^-21, 5), R = (xP, yR).
// det = (xR − xP)(yQ − yP) − (xQ − xP)(yR − yP) = −2^-20 · yR:
// yR = 10.4f (10.39999962) gives 9.918e-6 < 1e-5; yR = 10.5 gives 1.0014e-5.
// When drawn, rows whose right edge has passed 2 draw the single column 1.
TEST_P(DeterminantTest, DrawsNothingBelowTheLimit)
{
    const float xP = 2.0f - std::ldexp(1.0f, -21);
    const float xQ = 2.0f + std::ldexp(1.0f, -21);
    setPoint(0, xP, 0);
    setPoint(1, xQ, 5);
    setPoint(2, xP, GetParam().bottomY);
    draw({makePolygon({0, 1, 2}, -1)});
    EXPECT_EQ(standin::abortChecks(), 1u);
    int drawn = 0;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kStride; ++c)
            if (coverageAt(c, r) != kUntouched) {
                ++drawn;
                EXPECT_EQ(c, 1);
            }
    EXPECT_EQ(drawn > 0, GetParam().draws);
}

INSTANTIATE_TEST_SUITE_P(Slivers, DeterminantTest,
                         ::testing::Values(DeterminantCase{"JustBelowTheLimit", 10.4f, false},
                                           DeterminantCase{"JustAboveTheLimit", 10.5f, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- halves and marks

struct HalfCase {
    const char* name;
    std::array<std::array<double, 2>, 3> points;
    std::vector<std::string> rows;
};

class HalvesTest : public TriangleSetupTest, public ::testing::WithParamInterface<HalfCase> {};

// Untextured with keepTransparent 1: colour unchanged, coverage shows every
// pixel step ('M' marked, '.' unmarked, ' ' not drawn).
TEST_P(HalvesTest, DrawsTheExpectedPixelsAndMarks)
{
    for (int i = 0; i < 3; ++i)
        setPoint(i, GetParam().points[i][0], GetParam().points[i][1]);
    draw({makePolygon({0, 1, 2}, -1)});
    EXPECT_EQ(coverageRows(), GetParam().rows);
    EXPECT_EQ(colourAt(1, 5), (Colour{kBackground, kBackground, kBackground}));
}

// Flat top (1,1),(7,1),(1,7): rP = rQ, no upper half. Lower half: left x = 1,
// right edge from Q, slope −1, prestep 1: 6 − (r − 1) on row r. QR is the longest
// edge and lies right of P (x_QR(1) = 7 > 1): only left marks, i ≤ 0 + 1.5.
// Flat bottom (1,1),(1,7),(7,7): Q on the left (xR > xQ), upper half only, right
// x = 2 + (r − 1). PR longest, x_PR(7) = 7 > xQ: long edge on the right, left marks.
// Both halves (2,0),(8,4),(2,6): Q on the right; right x = 3.5, 5, 6.5, 8 on rows 0–3,
// then from Q with slope −3: 5, 2. PQ (7.21) is longest and right of PR: upper half
// marks only on the left; bottomMarkWidth = |−3 · 1| + 1 = 4 marks i < 4 and m < 4 on
// row 3. The lower half is unrestricted: row 4 (cols 2–4) is all edge.
INSTANTIATE_TEST_SUITE_P(
    Triangles, HalvesTest,
    ::testing::Values(
        HalfCase{"FlatTopHasNoUpperHalf",
                 {{{1, 1}, {7, 1}, {1, 7}}},
                 {"        ", " MM...  ", " MM..   ", " MM.    ", " MM     ", " M      ", "        ",
                  "        ", "        ", "        "}},
        HalfCase{"FlatBottomHasNoLowerHalf",
                 {{{1, 1}, {1, 7}, {7, 7}}},
                 {"        ", " M      ", " MM     ", " MM.    ", " MM..   ", " MM...  ", " MM.... ",
                  "        ", "        ", "        "}},
        HalfCase{"BothHalvesWithBottomMarks",
                 {{{2, 0}, {8, 4}, {2, 6}}},
                 {"  M     ", "  MM.   ", "  MM..  ", "  MMMMMM", "  MMM   ", "        ", "        ",
                  "        ", "        ", "        "}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BottomMarkCase {
    const char* name;
    std::array<std::array<double, 2>, 3> points;
    int32_t bottomMarkWidth;
};

class BottomMarkWidthTest : public TriangleSetupTest, public ::testing::WithParamInterface<BottomMarkCase> {};

TEST_P(BottomMarkWidthTest, SetOnlyWhenQIsOnTheRight)
{
    for (int i = 0; i < 3; ++i)
        setPoint(i, GetParam().points[i][0], GetParam().points[i][1]);
    draw({makePolygon({0, 1, 2}, -1)});
    EXPECT_EQ(triangleSetup.bottomMarkWidth, GetParam().bottomMarkWidth);
}

// |sQR · p′| + 1, truncated: sQR = −6 / 2 = −3; p′ = 1 − (yQ − rQ) = 1 or 0.5 → 4 or 2.5 → 2.
INSTANTIATE_TEST_SUITE_P(
    Triangles, BottomMarkWidthTest,
    ::testing::Values(BottomMarkCase{"QRightOnARow", {{{2, 0}, {8, 4}, {2, 6}}}, 4},
                      BottomMarkCase{"QRightBetweenRows", {{{2, 0}, {8, 4.5}, {2, 6.5}}}, 2},
                      BottomMarkCase{"QLeft", {{{6, 0}, {0, 4}, {6, 6}}}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- texturing

struct MirrorCase {
    const char* name;
    bool mirroredGeometry;
    int mirrorX;
    bool leftShowsFirstHalf;
};

class MirrorTest : public TriangleSetupTest, public ::testing::WithParamInterface<MirrorCase> {};

// Texture 8 x 1: texels 0–3 colour A, 4–7 colour B. With depth 1 everywhere, pixel c
// of row 0 samples at texel coordinate c + 1 (u = x / 8 with x = c + 1), or 7 − c
// when the geometry is mirrored and u is not. Coordinates 1–3 blend two A texels,
// 6–7 two B texels (7 is the last column: 6 and 7 blended).
TEST_P(MirrorTest, MirroredUShowsTheTextureUnmirrored)
{
    const Colour a{200, 10, 10}, b{10, 10, 200};
    std::vector<uint8_t> texels = solidTexels(4, 1, a, 255);
    const std::vector<uint8_t> right = solidTexels(4, 1, b, 255);
    texels.insert(texels.end(), right.begin(), right.end());
    setTexture(1, 8, 1, texels);
    const MirrorCase& c = GetParam();
    const double flip = c.mirroredGeometry ? -1.0 : 1.0, shift = c.mirroredGeometry ? 8.0 : 0.0;
    setPoint(0, shift + flip * 0, 0);
    setPoint(1, shift + flip * 8, 0);
    setPoint(2, shift + flip * 0, 16);
    renderContext.mirrorX = c.mirrorX;
    draw({makePolygon({0, 1, 2}, 1, {0, 0, 1, 0, 0, 0})});

    const Colour left = c.leftShowsFirstHalf ? a : b, rightSide = c.leftShowsFirstHalf ? b : a;
    for (int col : {0, 1, 2})
        EXPECT_EQ(colourAt(col, 0), left) << "column " << col;
    for (int col : {5, 6})
        EXPECT_EQ(colourAt(col, 0), rightSide) << "column " << col;
}

INSTANTIATE_TEST_SUITE_P(Orientations, MirrorTest,
                         ::testing::Values(MirrorCase{"Plain", false, 0, true},
                                           MirrorCase{"MirroredWithFlag", true, 1, true},
                                           MirrorCase{"MirroredGeometryOnly", true, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Flat top P (0,−4), Q (8,−4), R (0,12), v = 0, 0, 1 on a 1 x 16 texture whose row t
// is grey 10t. V = 16v = y + 4, so ∂V/∂y = 1. rP and rQ clamp to 0, prestep
// 1 − (−4 − 0) = 5: row 0 samples at y = 1 (V = 5), row r at V = 5 + r, which
// blends rows 4 + r and 5 + r with weight 0.0000033: grey 10(r + 4).
// Right edge from Q: 8 − 0.5 · 5 = 5.5 on row 0, then −0.5 per row.
TEST_F(TriangleSetupTest, HalfStartingAboveTheWindowDrawnFromRowZero)
{
    std::vector<uint8_t> texels;
    for (int t = 0; t < 16; ++t) {
        const uint8_t grey = static_cast<uint8_t>(10 * t);
        texels.insert(texels.end(), {grey, grey, grey, 255});
    }
    setTexture(1, 1, 16, texels);
    setPoint(0, 0, -4);
    setPoint(1, 8, -4);
    setPoint(2, 0, 12);
    draw({makePolygon({0, 1, 2}, 1, {0, 0, 0, 0, 0, 1})});

    const int rightEnd[8] = {5, 5, 4, 4, 3, 3, 2, 2};
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < kStride; ++c) {
            if (c < rightEnd[r]) {
                const int grey = 10 * (r + 4);
                EXPECT_EQ(colourAt(c, r), (Colour{grey, grey, grey})) << "pixel " << c << ", " << r;
            } else {
                EXPECT_EQ(coverageAt(c, r), kUntouched) << "pixel " << c << ", " << r;
            }
        }
    EXPECT_EQ(coverageRow(8), kBlankRows[8]);
    EXPECT_EQ(coverageRow(9), kBlankRows[9]);
}

enum class Pixels { texels, null, endMarker };

struct TextureChoiceCase {
    const char* name;
    int16_t textureIndex;
    Pixels pixels;
    int32_t width, height;
    bool untextured;
    uint16_t width16, height16;
};

class TextureChoiceTest : public TriangleSetupTest, public ::testing::WithParamInterface<TextureChoiceCase> {};

// keepTransparent 0: an untextured polygon is skipped pixel by pixel, a textured
// opaque one replaces the pixel with its colour.
TEST_P(TextureChoiceTest, UnusableTexturesDrawUntextured)
{
    const TextureChoiceCase& c = GetParam();
    const Colour texel{40, 50, 60};
    setTexture(3, c.width, c.height, solidTexels(4, 4, texel, 255));
    if (c.pixels == Pixels::null)
        textures_[3].pixels = nullptr;
    if (c.pixels == Pixels::endMarker)
        textures_[3].pixels = textureEndMarker;
    renderContext.keepTransparent = 0;
    setPoint(0, 0, 0);
    setPoint(1, 16, 0);
    setPoint(2, 0, 16);
    draw({makePolygon({0, 1, 2}, c.textureIndex)});

    EXPECT_EQ(triangleSetup.untextured != 0, c.untextured);
    if (c.untextured) {
        EXPECT_TRUE(nothingWritten());
    } else {
        EXPECT_EQ(triangleSetup.textureWidth, c.width16);
        EXPECT_EQ(triangleSetup.textureHeight, c.height16);
        EXPECT_EQ(colourAt(1, 1), texel);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Textures, TextureChoiceTest,
    ::testing::Values(TextureChoiceCase{"NegativeIndex", -1, Pixels::texels, 4, 4, true, 0, 0},
                      TextureChoiceCase{"NullPixels", 3, Pixels::null, 4, 4, true, 0, 0},
                      TextureChoiceCase{"EndMarker", 3, Pixels::endMarker, 4, 4, true, 0, 0},
                      TextureChoiceCase{"ZeroWidth", 3, Pixels::texels, 0, 4, true, 0, 0},
                      TextureChoiceCase{"ZeroHeight", 3, Pixels::texels, 4, 0, true, 0, 0},
                      TextureChoiceCase{"WidthWithZeroLow16Bits", 3, Pixels::texels, 65536, 4, true, 0, 0},
                      TextureChoiceCase{"WidthTakesLow16Bits", 3, Pixels::texels, 65537, 1, false, 1, 1},
                      TextureChoiceCase{"Usable", 3, Pixels::texels, 4, 4, false, 4, 4}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the shipped letter object

TEST(PngWriterTest, ChecksumsMatchKnownValues)
{
    const std::string iend = "IEND", wikipedia = "Wikipedia";
    EXPECT_EQ(pngtest::crc32(reinterpret_cast<const uint8_t*>(iend.data()), iend.size()), 0xAE426082u);
    EXPECT_EQ(pngtest::adler32(reinterpret_cast<const uint8_t*>(wikipedia.data()), wikipedia.size()),
              0x11E60398u);
}

class LetterPictureTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 64, kHeight = 48;

    void SetUp() override
    {
        saved_ = renderContext;
        colour_.assign(kWidth * kHeight * 4, 0);
        for (size_t i = 0; i < colour_.size(); i += 4)
            colour_[i] = colour_[i + 1] = colour_[i + 2] = kPictureBackground;
        coverage_.assign(kWidth * kHeight, 0);
        world_.assign(pointBufferEntries * 3, 0.0);
        projected_.assign(pointBufferEntries * 3, 0.0f);

        RenderContext& rc = renderContext;
        rc = RenderContext{};
        rc.colourBuffer = colour_.data();
        rc.coverageBuffer = coverage_.data();
        rc.bufferStride = kWidth;
        rc.worldPoints = world_.data();
        rc.projectedPoints = projected_.data();
        rc.windowWidth = kWidth;
        rc.windowHeight = kHeight;
        rc.projScaleX = static_cast<float>(kWidth * 0.8);
        rc.projScaleY = kHeight;
        rc.screenCentreX = kWidth / 2;
        rc.screenCentreY = kHeight / 2;
        rc.letterScaleX = rc.letterScaleY = rc.letterScaleZ = 1.0;
        rc.lightVector[2] = -5.0;
        rc.lightLevels[0] = rc.lightLevels[1] = rc.lightLevels[2] = 30.0;
        rc.lightGain = 1.0;
        rc.pixelLighting = 1;
        rc.opacity = 1.0f;
        rc.fadeLevel = 0.5;
        rc.keepTransparent = 0;
    }
    void TearDown() override { renderContext = saved_; }

    static constexpr uint8_t kPictureBackground = 16;
    std::vector<uint8_t> colour_, coverage_;
    std::vector<double> world_;
    std::vector<float> projected_;
    RenderContext saved_{};
};

void writePicture(const std::string& name, int width, int height, const std::vector<uint8_t>& bgrx,
                  int enlarge)
{
    std::vector<uint8_t> rgb;
    for (int y = 0; y < height * enlarge; ++y)
        for (int x = 0; x < width * enlarge; ++x) {
            const uint8_t* p = &bgrx[((y / enlarge) * width + x / enlarge) * 4];
            rgb.insert(rgb.end(), {p[2], p[1], p[0]});
        }
    const std::filesystem::path dir = ZASK_TEST_OUTPUT_DIR;
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(pngtest::writeFile((dir / name).string(),
                                   pngtest::encodeRgb(width * enlarge, height * enlarge, rgb)));
}

// The slab 7.2 x 5.76 x 0.8 pushed to depth 15: its front (texture 1, normal
// (0, 0, -1), uv 0..1 across the face) at z = 14.6 projects to
// x = 32 ∓ 51.2 · 3.6 · 1.4007 / 14.6 = 14.32 .. 49.68, y = 24 ∓ 48 · 2.88 · 1.4007 / 14.6 = 10.74 .. 37.26,
// so columns 14–48 and rows 10–36 are drawn. Back and sides carry alpha-0 textures and
// keepTransparent is 0, so they leave no pixel.
TEST_F(LetterPictureTest, ShippedLetterShowsItsCheckerboardFace)
{
    std::string path = std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a/programs/zask/objects/buchstabe.lwo.clw";
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    LetterObject object{};
    ASSERT_EQ(loadLetterObject(name.data(), &object), 1);

    // 16 x 16 texels in 4 x 4 cells; cell (i, j) is blue when i + j is even, orange otherwise.
    const Colour blue{200, 60, 40}, orange{40, 160, 220};
    std::vector<uint8_t> checker;
    for (int t = 0; t < 16; ++t)
        for (int s = 0; s < 16; ++s) {
            const Colour c = ((s / 4 + t / 4) % 2 == 0) ? blue : orange;
            checker.insert(checker.end(), {static_cast<uint8_t>(c.b), static_cast<uint8_t>(c.g),
                                           static_cast<uint8_t>(c.r), 255});
        }
    std::vector<uint8_t> blank(32 * 32 * 4, 0);
    for (int slot = 0; slot < 6; ++slot) {
        TextureRecord& t = object.textures[slot];
        t.pixels = slot == 1 ? checker.data() : blank.data();
        t.width = t.height = slot == 1 ? 16 : 32;
    }

    scalePoints(object.points, 1.0, 1.0, 1.0);
    for (double* p = world_.data(); !(p[0] == -1.0 && p[1] == -1.0 && p[2] == -1.0); p += 3)
        p[2] += 15.0;
    projectPoints();
    drawObject(object.polygons, &object);
    releaseLetterObject(&object);

    writePicture("letter_object.png", kWidth, kHeight, colour_, 1);
    writePicture("letter_object_x8.png", kWidth, kHeight, colour_, 8);
    std::vector<uint8_t> marks(kWidth * kHeight * 4, 0);
    for (int i = 0; i < kWidth * kHeight; ++i)
        marks[4 * i] = marks[4 * i + 1] = marks[4 * i + 2] = coverage_[i];
    writePicture("letter_object_marks_x8.png", kWidth, kHeight, marks, 8);

    auto at = [&](int x, int y) { return &colour_[(y * kWidth + x) * 4]; };
    auto cover = [&](int x, int y) { return coverage_[y * kWidth + x]; };

    // Outside columns 13–49 and rows 9–37 the background and its coverage are untouched.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (x >= 13 && x <= 49 && y >= 9 && y <= 37)
                continue;
            const uint8_t* p = at(x, y);
            EXPECT_TRUE(p[0] == kPictureBackground && p[1] == kPictureBackground &&
                        p[2] == kPictureBackground && p[3] == 0 && cover(x, y) == 0)
                << "pixel " << x << ", " << y;
        }

    // Cell (i, j) blends only its own texels for coordinates 4i + 1 .. 4i + 4;
    // its middle, 4i + 2.5, lies at x = 14.32 + (4i + 2.5) · 35.37 / 16 and is sampled by
    // the pixel one to the left and above (samples are taken at c + 1, r + 1).
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) {
            const int x = static_cast<int>(14.32 + (4 * i + 2.5) * 35.37 / 16) - 1;
            const int y = static_cast<int>(10.74 + (4 * j + 2.5) * 26.52 / 16) - 1;
            const uint8_t* p = at(x, y);
            if ((i + j) % 2 == 0)
                EXPECT_GT(p[0], p[2] + 100) << "blue cell " << i << ", " << j;
            else
                EXPECT_GT(p[2], p[0] + 100) << "orange cell " << i << ", " << j;
        }

    // The left and right outline edges are never the longest edge of their
    // triangle: the first and last pixel of every inner row is marked...
    for (int y = 11; y <= 35; ++y) {
        EXPECT_EQ(cover(14, y), 0xFF) << "left outline, row " << y;
        if (y != 23) {
            EXPECT_EQ(cover(48, y), 0xFF) << "right outline, row " << y;
        }
    }
    // ...except where a later triangle's diagonal reaches the outline on the last row
    // of its half. Triangle (32, 10.74), (49.68, 24), (32, 24), drawn after its
    // neighbour, samples row 23 at y = 24, where its diagonal is at 49.68: it redraws
    // column 48. The diagonal is its longest edge, on the right of its spans, and its
    // bottomMarkWidth is |0 · p′| + 1 = 1 (only i = 0): column 48 becomes 0. Likewise
    // (32, 24), (49.68, 37.26), (32, 37.26) on row 36 (diagonal at y = 37: 49.33).
    EXPECT_EQ(cover(48, 23), 0);
    EXPECT_EQ(cover(48, 36), 0);
    // Well inside a triangle, away from every edge: drawn, unmarked.
    EXPECT_EQ(cover(20, 20), 0);
    EXPECT_EQ(cover(43, 30), 0);
}

}  // namespace
