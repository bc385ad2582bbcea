#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "animation/edge_antialiasing.h"
#include "assets/scene.h"
#include "raster/render_context.h"

namespace {

// A spare entry of the scene table, away from the in and out scenes.
constexpr int testSceneIndex = 7;

using Pixel = std::array<uint8_t, 4>;

// Renders a scene built in memory through the real pass. The half-plane scene
// is one untextured triangle with the corners (0, -1000), (0, 1000) and
// (1000, 0) at depth 13.212 (all channels 0 except the scales, 1): the edge
// x = 0 projects onto the supersampled centre column W * d / 2 and the rest of
// the triangle lies to its left, far beyond the window. Flat light of level
// 255 at full strength (fade 1, gain 1, light along the normal) turns every
// covered sample to 255 in bytes 0 to 2 and leaves byte 3 as the background.
struct EdgeAntialiasingTest : testing::Test {
    RenderContext savedContext = renderContext;
    SceneDrawRecord savedRecords[2] = {sceneDrawRecords[0], sceneDrawRecords[1]};
    Scene savedScene = sceneTable[testSceneIndex];

    std::vector<SceneSlot> slots = std::vector<SceneSlot>(sceneSlotCount);
    std::vector<LetterObject> objects = std::vector<LetterObject>(maxUsedSlots);
    std::vector<TextureRecord> textures = std::vector<TextureRecord>(textureSlots);
    std::vector<float> points = {0, -1000, 0, 0, 1000, 0, 1000, 0, 0, -1, -1, -1};
    std::vector<LetterPolygon> polygons = std::vector<LetterPolygon>(2);
    std::vector<double> world = std::vector<double>(3 * pointBufferEntries);
    std::vector<float> projected = std::vector<float>(3 * pointBufferEntries);

    int width = 0, height = 0;
    std::vector<uint8_t> colour, coverage, background, tile;

    void TearDown() override
    {
        renderContext = savedContext;
        sceneDrawRecords[0] = savedRecords[0];
        sceneDrawRecords[1] = savedRecords[1];
        sceneTable[testSceneIndex] = savedScene;
    }

    void useHalfPlaneScene()
    {
        SceneSlot& slot = slots[0];
        std::strcpy(slot.slotName, "half plane");
        for (int k = 0; k < channelsPerSlot; ++k) {
            slot.channels[k].keyCount = 0;   // no keys: the first key's value
            slot.channels[k].keys[0].value = k >= 6 ? 1.0f : 0.0f;
        }
        polygons[0] = LetterPolygon{};
        polygons[0].pointIndex[0] = 0;
        polygons[0].pointIndex[1] = 1;
        polygons[0].pointIndex[2] = 2;
        polygons[0].textureIndex = -1;
        polygons[0].normal[2] = 1.0f;
        polygons[1] = LetterPolygon{};
        polygons[1].pointIndex[0] = -1;
        objects[0].points = points.data();
        objects[0].polygons = polygons.data();
        objects[0].textures = textures.data();
        sceneTable[testSceneIndex] = Scene{slots.data(), objects.data(), 0.0f};
    }

    void useEmptyScene() { sceneTable[testSceneIndex] = Scene{nullptr, nullptr, 0.0f}; }

    // A w x h frame set up the way the field driver leaves it, every pixel
    // `initial`; the tile holds exactly d x d pixels.
    void frame(int w, int h, int d, Pixel initial)
    {
        width = w;
        height = h;
        colour.assign(static_cast<size_t>(w) * h * 4, 0);
        for (size_t i = 0; i < colour.size(); i += 4)
            std::memcpy(&colour[i], initial.data(), 4);
        coverage.assign(static_cast<size_t>(w) * h, 0);
        background.assign(colour.size(), 0);
        tile.assign(static_cast<size_t>(d) * d * 4, 0xEE);

        RenderContext& rc = renderContext;
        rc = RenderContext{};
        rc.colourBuffer = colour.data();
        rc.coverageBuffer = coverage.data();
        rc.backgroundPixels = background.data();
        rc.sampleTile = tile.data();
        rc.worldPoints = world.data();
        rc.projectedPoints = projected.data();
        rc.aaFactor = d;
        rc.bufferStride = w;
        rc.windowWidth = static_cast<float>(w);
        rc.windowHeight = static_cast<float>(h);
        rc.projScaleX = static_cast<float>(w * 0.8);
        rc.projScaleY = static_cast<float>(h);
        rc.screenCentreX = static_cast<float>(w * 0.5);
        rc.screenCentreY = static_cast<float>(h * 0.5);
        rc.letterScaleX = rc.letterScaleY = rc.letterScaleZ = 1.0;
        rc.flatLighting = 1;
        rc.keepTransparent = 1;
        rc.lightLevels[0] = rc.lightLevels[1] = rc.lightLevels[2] = 255.0;
        rc.lightGain = 1.0;
        rc.fadeLevel = 0.5;
        rc.opacity = 1.0f;
        rc.inPreview = 1;

        sceneDrawRecords[0] = SceneDrawRecord{testSceneIndex, 0, 0, {0.0, 0.0, 1.0}};
    }

    void setBackground(int i, int j, Pixel p) { std::memcpy(&background[(i * width + j) * 4], p.data(), 4); }
    void mark(int i, int j) { coverage[i * width + j] = 0xFF; }
    Pixel pixel(int i, int j) const
    {
        Pixel p;
        std::memcpy(p.data(), &colour[(i * width + j) * 4], 4);
        return p;
    }
};

// W 4, H 2, the pixel at row 0, column 1 marked: it and its in-image
// neighbours (0, 0), (0, 2) and (1, 1) are edge pixels. The window of column j
// starts at j * d + d / 2 and the triangle edge lies at 2d:
//   j = 0: window edge at 1.5 d, beyond the window: all d * d samples 255;
//   j = 1: window edge at d / 2: half the samples 255, half background 0,
//          (d * d / 2 * 255) / (d * d) = 127.5 -> 127;
//   j = 2: window edge at -d / 2: the triangle is rejected, the window keeps
//          the background pixel and so does the result.
// Byte 3 is averaged over samples that all hold the background's byte 3.
TEST_F(EdgeAntialiasingTest, EdgePixelsBecomeTheTruncatedAverageOfTheirSamples)
{
    for (int d : {4, 8}) {
        SCOPED_TRACE(d);
        frame(4, 2, d, {9, 9, 9, 9});
        useHalfPlaneScene();
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 4; ++j) {
                const uint8_t colourByte = static_cast<uint8_t>(j < 2 ? 0 : 10 * j);
                setBackground(i, j, {colourByte, static_cast<uint8_t>(2 * colourByte),
                                     static_cast<uint8_t>(3 * colourByte), static_cast<uint8_t>(100 + 10 * i + j)});
            }
        mark(0, 1);
        antialiasEdges(0);

        const Pixel untouched = {9, 9, 9, 9};
        const Pixel expected[2][4] = {
            {{255, 255, 255, 100}, {127, 127, 127, 101}, {20, 40, 60, 102}, untouched},
            {untouched, {127, 127, 127, 111}, untouched, untouched},
        };
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 4; ++j)
                EXPECT_EQ(pixel(i, j), expected[i][j]) << "row " << i << " column " << j;
    }
}

// Only 0xFF marks an edge; without marks no pixel is re-rendered.
TEST_F(EdgeAntialiasingTest, ImageWithoutMarksIsLeftUnchanged)
{
    frame(4, 2, 4, {1, 2, 3, 4});
    useHalfPlaneScene();
    for (size_t k = 0; k < coverage.size(); ++k)
        coverage[k] = static_cast<uint8_t>(k % 2 ? 0xFE : 0x01);
    const std::vector<uint8_t> before = colour;
    antialiasEdges(0);
    EXPECT_EQ(colour, before);
    EXPECT_EQ(tile, std::vector<uint8_t>(tile.size(), 0xEE));
}

// With a scene that draws nothing every edge pixel is exactly its background
// pixel, so the result shows which pixels counted as edge pixels: the
// neighbours of a mark on the border are only those inside the image (no
// wrap to the row before or after, no read outside the buffers).
TEST_F(EdgeAntialiasingTest, MarksOnTheBorderReachOnlyNeighboursInsideTheImage)
{
    using Cell = std::pair<int, int>;
    struct Case {
        Cell marked;
        std::set<Cell> edges;
    };
    const Case cases[] = {
        {{0, 2}, {{0, 2}, {0, 1}, {1, 2}}},           // row 0, last column
        {{2, 0}, {{2, 0}, {1, 0}, {2, 1}}},           // last row, column 0
        {{2, 2}, {{2, 2}, {1, 2}, {2, 1}}},           // last row, last column
        {{0, 0}, {{0, 0}, {0, 1}, {1, 0}}},           // first row, first column
        {{1, 1}, {{1, 1}, {0, 1}, {2, 1}, {1, 0}, {1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.marked.first << "," << c.marked.second);
        frame(3, 3, 4, {7, 7, 7, 7});
        useEmptyScene();
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                setBackground(i, j, {static_cast<uint8_t>(i), static_cast<uint8_t>(j), 50, 60});
        mark(c.marked.first, c.marked.second);
        antialiasEdges(0);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                const bool edge = c.edges.count({i, j}) != 0;
                const Pixel expected = edge ? Pixel{static_cast<uint8_t>(i), static_cast<uint8_t>(j), 50, 60}
                                            : Pixel{7, 7, 7, 7};
                EXPECT_EQ(pixel(i, j), expected) << "row " << i << " column " << j;
            }
    }
}

// An odd width gives a centre with a fractional part (5 * 0.5 = 2.5); the
// pass changes the window, stride, buffer and projection for every edge
// pixel and must put each back exactly.
TEST_F(EdgeAntialiasingTest, RenderContextIsRestoredExactly)
{
    for (int d : {4, 8}) {
        SCOPED_TRACE(d);
        frame(5, 3, d, {0, 0, 0, 0});
        useHalfPlaneScene();
        RenderContext& rc = renderContext;
        rc.windowOriginX = 3;
        rc.windowOriginY = 4;
        mark(1, 2);
        mark(2, 4);
        ASSERT_EQ(rc.screenCentreX, 2.5f);
        ASSERT_EQ(rc.projScaleX, 4.0f);

        antialiasEdges(0);

        EXPECT_EQ(rc.colourBuffer, colour.data());
        EXPECT_EQ(rc.bufferStride, 5);
        EXPECT_EQ(rc.windowWidth, 5.0f);
        EXPECT_EQ(rc.windowHeight, 3.0f);
        EXPECT_EQ(rc.projScaleX, 4.0f);
        EXPECT_EQ(rc.projScaleY, 3.0f);
        EXPECT_EQ(rc.screenCentreX, 2.5f);
        EXPECT_EQ(rc.screenCentreY, 1.5f);
        EXPECT_EQ(rc.windowOriginX, 0);
        EXPECT_EQ(rc.windowOriginY, 0);
        EXPECT_EQ(rc.coverageOff, 0);
        // The re-renders left the marks alone.
        EXPECT_EQ(coverage[1 * 5 + 2], 0xFF);
        EXPECT_EQ(coverage[2 * 5 + 4], 0xFF);
        EXPECT_EQ(coverage[0], 0);
    }
}

// Record 1 is redrawn with its own scene, mirror flags and light; mirrored
// left-right, the half plane lies on the other side of the centre column.
TEST_F(EdgeAntialiasingTest, RecordOneIsRedrawnWithItsOwnMirrorFlags)
{
    frame(4, 2, 4, {9, 9, 9, 9});
    useHalfPlaneScene();
    sceneDrawRecords[0] = SceneDrawRecord{0, 0, 0, {0.0, 0.0, 0.0}};
    sceneDrawRecords[1] = SceneDrawRecord{testSceneIndex, 1, 0, {0.0, 0.0, 1.0}};
    mark(0, 1);
    mark(0, 2);
    antialiasEdges(1);
    // Mirrored, the triangle lies right of the centre column 8: window of
    // column 1 (6 .. 10) half covered, column 2 (10 .. 14) and 3 wholly.
    EXPECT_EQ(pixel(0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(pixel(0, 1), (Pixel{127, 127, 127, 0}));
    EXPECT_EQ(pixel(0, 2), (Pixel{255, 255, 255, 0}));
    EXPECT_EQ(pixel(0, 3), (Pixel{255, 255, 255, 0}));
    EXPECT_EQ(renderContext.mirrorX, 1);
}

}  // namespace
