// Scene evaluation: scaling, rotations and their snap, translation, projection
// and whole-scene rendering, on scenes built in memory and on a shipped scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "animation/scene_evaluation.h"
#include "assets/letter_object.h"
#include "assets/scene.h"
#include "raster/render_context.h"

namespace {

// A table entry that the field renderer and the preview never use.
constexpr int testScene = 57;

constexpr double untouchedWorld = 7.0;
constexpr float untouchedProjected = 7.0f;

// The frame of the conformance clips, 96 x 72: scales 96·0.8 and 72, centre (48, 36).
const float frameScaleX = static_cast<float>(96 * 0.8);
constexpr float frameScaleY = 72.0f;
constexpr double centreX = 48.0;
constexpr double centreY = 36.0;

// Radians per degree and degrees per radian as the engine forms them.
constexpr double radPerDeg = 3.1415927410125732 / 180.0;
constexpr double degPerRad = 57.2957763671875;

// The projection of one world point, step by step: X rounded to float, then
// X + shift rounded to float.
struct Projected {
    float x, y, depth;
};

Projected project(double x, double y, double z, float scaleX, float scaleY, double shiftX,
                  double shiftY)
{
    const double d = z > 0.009999999776482582 ? z : 0.009999999776482582;
    const double f = 1.4007 / d;
    const float px = static_cast<float>(-(static_cast<double>(scaleX) * x) * f + centreX);
    const float py = static_cast<float>(-(static_cast<double>(scaleY) * y) * f + centreY);
    return {static_cast<float>(px + shiftX), static_cast<float>(py + shiftY), static_cast<float>(d)};
}

// Five slot records and four objects in memory; every used slot starts at the
// identity pose (scale channels 1, all other channels 0, one key each) and its
// polygon list holds only the terminator, so drawing it draws nothing.
class InMemoryScene {
public:
    InMemoryScene() : slots_(sceneSlotCount), objects_(maxUsedSlots), points_(maxUsedSlots)
    {
        terminator_.pointIndex[0] = -1;
    }

    void useSlot(int slot, std::vector<float> modelPoints)
    {
        slots_[slot].slotName[0] = 'S';
        for (int c = 0; c < channelsPerSlot; ++c)
            setChannel(slot, c, c >= 6 ? 1.0f : 0.0f);
        modelPoints.insert(modelPoints.end(), {-1.0f, -1.0f, -1.0f});
        points_[slot] = std::move(modelPoints);
        objects_[slot].points = points_[slot].data();
        objects_[slot].polygons = &terminator_;
    }

    void setChannel(int slot, int channel, float value)
    {
        MotionChannel& ch = slots_[slot].channels[channel];
        ch.keyCount = 1;
        ch.keys[0] = MotionKey{};
        ch.keys[0].value = value;
        ch.keys[0].shape = 3;
    }

    Scene scene(float time) { return Scene{slots_.data(), objects_.data(), time}; }

private:
    std::vector<SceneSlot> slots_;
    std::vector<LetterObject> objects_;
    std::vector<std::vector<float>> points_;
    LetterPolygon terminator_{};
};

class SceneEvaluationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedContext_ = renderContext;
        savedScene_ = sceneTable[testScene];
        sceneTable[testScene] = Scene{};
        worldBuffer_ = std::make_unique<double[]>(3 * pointBufferEntries);
        projectedBuffer_ = std::make_unique<float[]>(3 * pointBufferEntries);
        std::fill_n(worldBuffer_.get(), 3 * pointBufferEntries, untouchedWorld);
        std::fill_n(projectedBuffer_.get(), 3 * pointBufferEntries, untouchedProjected);

        RenderContext& rc = renderContext;
        rc.worldPoints = worldBuffer_.get();
        rc.projectedPoints = projectedBuffer_.get();
        rc.letterScaleX = rc.letterScaleY = rc.letterScaleZ = 1.0;
        rc.baseRotX = rc.baseRotY = rc.baseRotZ = 0.0;
        rc.cameraX = rc.cameraY = rc.cameraZ = 0.0;
        rc.projScaleX = frameScaleX;
        rc.projScaleY = frameScaleY;
        rc.screenCentreX = static_cast<float>(centreX);
        rc.screenCentreY = static_cast<float>(centreY);
        rc.mirrorX = rc.mirrorY = 0;
        rc.inPreview = 1;
    }

    void TearDown() override
    {
        releaseScene(&sceneTable[testScene]);   // only a scene loaded from a file is left there
        sceneTable[testScene] = savedScene_;
        renderContext = savedContext_;
    }

    double* world() { return worldBuffer_.get(); }
    float* projected() { return projectedBuffer_.get(); }

    void setWorld(const std::vector<double>& points)
    {
        std::copy(points.begin(), points.end(), world());
        double* end = world() + points.size();
        end[0] = end[1] = end[2] = -1.0;
    }

    void expectEndsAt(int count)
    {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(world()[3 * count + i], -1.0) << "world end point, coordinate " << i;
        EXPECT_EQ(projected()[3 * count], -1.0f);
        EXPECT_EQ(projected()[3 * count + 1], -1.0f);
    }

    // Places an in-memory scene in the table without handing it ownership.
    void install(InMemoryScene& s, float time)
    {
        sceneTable[testScene] = s.scene(time);
        inMemory_ = true;
    }

    void uninstall()
    {
        if (inMemory_)
            sceneTable[testScene] = Scene{};
        inMemory_ = false;
    }

private:
    RenderContext savedContext_{};
    Scene savedScene_{};
    std::unique_ptr<double[]> worldBuffer_;
    std::unique_ptr<float[]> projectedBuffer_;
    bool inMemory_ = false;
};

// Removes the in-memory scene from the table before the fixture's TearDown
// could release it.
class InMemorySceneTest : public SceneEvaluationTest {
protected:
    void TearDown() override
    {
        uninstall();
        SceneEvaluationTest::TearDown();
    }
};

TEST_F(InMemorySceneTest, IdentityPoseMovesPointsBackByTheDepthOffsetAndProjectsThem)
{
    // Scale 1, all else 0, camera 0: (x, y, z) -> (x, y, z + (0 - (0 - 13.212)))
    // = (x, y, z + 13.212), projected to centre - scale·x·1.4007/(z + 13.212).
    const std::vector<float> model = {1.25f, -0.5f, 0.75f, -2.5f, 2.0f, -1.5f,
                                      0.1f,  0.2f,  0.3f,  3.0f, -2.0f, 4.0f};
    InMemoryScene s;
    s.useSlot(0, model);
    install(s, 0.0f);
    evaluateSlot(testScene, 0);
    projectPoints();

    const int count = static_cast<int>(model.size() / 3);
    for (int i = 0; i < count; ++i) {
        const double x = model[3 * i], y = model[3 * i + 1], z = model[3 * i + 2] + 13.212;
        EXPECT_EQ(world()[3 * i], x) << i;
        EXPECT_EQ(world()[3 * i + 1], y) << i;
        EXPECT_EQ(world()[3 * i + 2], z) << i;
        const Projected p = project(x, y, z, frameScaleX, frameScaleY, 0.0, 0.0);
        EXPECT_EQ(projected()[3 * i], p.x) << i;
        EXPECT_EQ(projected()[3 * i + 1], p.y) << i;
        EXPECT_EQ(projected()[3 * i + 2], p.depth) << i;
        EXPECT_NEAR(projected()[3 * i], centreX - frameScaleX * x * 1.4007 / z, 1e-4) << i;
        EXPECT_NEAR(projected()[3 * i + 1], centreY - frameScaleY * y * 1.4007 / z, 1e-4) << i;
    }
    expectEndsAt(count);
    EXPECT_EQ(renderContext.objectRotX, 0.0);
    EXPECT_EQ(renderContext.objectRotY, 0.0);
    EXPECT_EQ(renderContext.objectRotZ, 0.0);
}

TEST_F(SceneEvaluationTest, ProjectionClampsSmallAndNegativeDepthsAndKeepsEveryPoint)
{
    // d = z above 0.009999999776482582 (float 0.01), else that value; no point
    // is dropped, and the depth is stored as float(d).
    struct Case {
        double z;
        double depth;
    };
    const Case cases[] = {
        {0.0, 0.009999999776482582},
        {-3.0, 0.009999999776482582},   // behind the viewer
        {0.005, 0.009999999776482582},
        {0.009999999776482582, 0.009999999776482582},
        {0.01, 0.01},                    // the double 0.01 lies above the float 0.01
        {20.0, 20.0},
    };
    std::vector<double> points;
    for (const Case& c : cases)
        points.insert(points.end(), {0.5, -0.25, c.z});
    setWorld(points);
    projectPoints();

    int i = 0;
    for (const Case& c : cases) {
        const double f = 1.4007 / c.depth;
        const float x = static_cast<float>(-(static_cast<double>(frameScaleX) * 0.5) * f + centreX);
        const float y = static_cast<float>(-(static_cast<double>(frameScaleY) * -0.25) * f + centreY);
        EXPECT_EQ(projected()[3 * i], x) << "z " << c.z;
        EXPECT_EQ(projected()[3 * i + 1], y) << "z " << c.z;
        EXPECT_EQ(projected()[3 * i + 2], static_cast<float>(c.depth)) << "z " << c.z;
        ++i;
    }
    EXPECT_EQ(projected()[3 * i], -1.0f);
    EXPECT_EQ(projected()[3 * i + 1], -1.0f);
}

TEST_F(SceneEvaluationTest, MirrorNegatesTheScaleDuringTheProjectionOnlyAndCameraShiftsThePicture)
{
    // shift = scale·camera·1.4007/(cameraZ - 8.21) with the possibly negated
    // scale; X = float(float(-(scale·x)·1.4007/d + centre) + shift).
    struct Case {
        int mirrorX, mirrorY;
        double cameraX, cameraY, cameraZ;
    };
    const Case cases[] = {
        {0, 0, 0.0, 0.0, 0.0},  {1, 0, 0.0, 0.0, 0.0},    {0, 1, 0.0, 0.0, 0.0},
        {1, 1, 0.0, 0.0, 0.0},  {0, 0, 0.5, -0.25, 0.0},  {1, 1, 0.5, -0.25, 0.0},
        {1, 0, 0.5, -0.25, 5.0},
    };
    const std::vector<double> points = {1.25, -0.75, 10.0, -2.0, 1.5, 14.0};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mirror " << c.mirrorX << c.mirrorY << " camera "
                                        << c.cameraX << "," << c.cameraY << "," << c.cameraZ);
        renderContext.mirrorX = c.mirrorX;
        renderContext.mirrorY = c.mirrorY;
        renderContext.cameraX = c.cameraX;
        renderContext.cameraY = c.cameraY;
        renderContext.cameraZ = c.cameraZ;
        setWorld(points);
        projectPoints();

        const float scaleX = c.mirrorX ? -frameScaleX : frameScaleX;
        const float scaleY = c.mirrorY ? -frameScaleY : frameScaleY;
        const double shiftX = static_cast<double>(scaleX) * c.cameraX * 1.4007 / (c.cameraZ - 8.21);
        const double shiftY = static_cast<double>(scaleY) * c.cameraY * 1.4007 / (c.cameraZ - 8.21);
        EXPECT_EQ(renderContext.projShiftX, shiftX);
        EXPECT_EQ(renderContext.projShiftY, shiftY);
        for (int i = 0; i < 2; ++i) {
            const Projected p = project(points[3 * i], points[3 * i + 1], points[3 * i + 2], scaleX,
                                        scaleY, shiftX, shiftY);
            EXPECT_EQ(projected()[3 * i], p.x) << i;
            EXPECT_EQ(projected()[3 * i + 1], p.y) << i;
            // Without a camera offset a mirrored x lies opposite the plain one
            // about the centre (to float rounding).
            if (c.cameraX == 0.0) {
                const Projected plain = project(points[3 * i], points[3 * i + 1],
                                                points[3 * i + 2], frameScaleX, frameScaleY, 0, 0);
                const double expectedOffset = c.mirrorX ? -(plain.x - centreX) : plain.x - centreX;
                EXPECT_NEAR(projected()[3 * i] - centreX, expectedOffset, 1e-5) << i;
            }
        }
        EXPECT_EQ(renderContext.projScaleX, frameScaleX);
        EXPECT_EQ(renderContext.projScaleY, frameScaleY);
    }
}

TEST_F(SceneEvaluationTest, RotateAboutYSnapsItsInputToTheFrameEdgesAndDepth)
{
    // Angle 0 (c = 1, s = 0) writes the snapped point unchanged. A coordinate
    // within 0.001 of ±3.6 (x), ±2.88 (y) or ±5.15 (z) lands on it.
    struct Case {
        double in[3];
        double out[3];
    };
    const Case cases[] = {
        {{3.6 + 0.0004, 1, 1}, {3.6, 1, 1}},
        {{3.6 + 0.0011, 1, 1}, {3.6 + 0.0011, 1, 1}},   // outside the tolerance
        {{-3.6 - 0.0004, 1, 1}, {-3.6, 1, 1}},
        {{3.6 - 0.0009, 1, 1}, {3.6, 1, 1}},
        {{1, -2.88 + 0.0005, 1}, {1, -2.88, 1}},
        {{1, 2.88 + 0.0011, 1}, {1, 2.88 + 0.0011, 1}},
        {{1, 1, 5.15 + 0.0009}, {1, 1, 5.15}},
        {{1, 1, -5.15 + 0.0002}, {1, 1, -5.15}},
        {{1, 1, 5.15 + 0.0012}, {1, 1, 5.15 + 0.0012}},
        // The model's float edges 3.6f = 3.5999999046 and 2.88f = 2.8800001144.
        {{3.6f, 2.88f, 0}, {3.6, 2.88, 0}},
    };
    for (const Case& c : cases) {
        double list[6] = {c.in[0], c.in[1], c.in[2], -1, -1, -1};
        rotateAboutY(list, list, 0.0);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(list[i], c.out[i]) << c.in[0] << "," << c.in[1] << "," << c.in[2] << " axis " << i;
    }
}

TEST_F(SceneEvaluationTest, RotateAboutYTurnsTheSnappedPoint)
{
    // (3.6004, 0, 0) enters as (3.6, 0, 0); by 90 degrees z' = 0·c - 3.6·s with
    // s = sin(90·π_f/180) = 0.999999999999999: z' = -3.5999999999999965, not -3.6004.
    double list[6] = {3.6004, 0, 0, -1, -1, -1};
    rotateAboutY(list, list, 90.0);
    EXPECT_NEAR(list[2], -3.6, 1e-12);
    EXPECT_NEAR(list[0], 0.0, 1e-6);   // 3.6·cos(90·π_f/180) = 3.6·(-4.37e-8)
}

TEST_F(SceneEvaluationTest, RotateAboutXAndZDoNotSnap)
{
    // Angle 0: the same point comes back, near-edge coordinates included.
    for (auto rotate : {rotateAboutX, rotateAboutZ}) {
        double list[6] = {3.6004, -2.8795, 5.1509, -1, -1, -1};
        rotate(list, list, 0.0);
        EXPECT_EQ(list[0], 3.6004);
        EXPECT_EQ(list[1], -2.8795);
        EXPECT_EQ(list[2], 5.1509);
    }
}

TEST_F(SceneEvaluationTest, QuarterTurnsAboutEachAxis)
{
    // (1, 2, 3) by 90 degrees. The angle is 90·(π_f/180) with π_f the float π,
    // so cos is -4.37e-8 and not 0: the turned coordinates are compared within
    // 1e-6; the coordinate along the axis is passed through exactly.
    //   Z: (x·c - y·s, x·s + y·c, z) = (-2, 1, 3)
    //   X: (x, y·c - z·s, y·s + z·c) = (1, -3, 2)
    //   Y: (x·c + z·s, y, z·c - x·s) = (3, 2, -1)
    using Rotation = void (*)(const double*, double*, double);
    struct Case {
        const char* name;
        Rotation rotate;
        double expected[3];
        int exactAxis;
    };
    const Case cases[] = {
        {"Z", rotateAboutZ, {-2, 1, 3}, 2},
        {"X", rotateAboutX, {1, -3, 2}, 0},
        {"Y", rotateAboutY, {3, 2, -1}, 1},
    };
    for (const Case& c : cases) {
        double list[6] = {1, 2, 3, -1, -1, -1};
        c.rotate(list, list, 90.0);
        for (int i = 0; i < 3; ++i) {
            if (i == c.exactAxis)
                EXPECT_EQ(list[i], c.expected[i]) << c.name << " axis " << i;
            else
                EXPECT_NEAR(list[i], c.expected[i], 1e-6) << c.name << " axis " << i;
        }
    }
}

TEST_F(SceneEvaluationTest, RotationsWriteTheEndPointAndMayWorkInPlace)
{
    // A point with only some coordinates at -1 is an ordinary point; the output
    // gets three points and then (-1, -1, -1), nothing beyond it is written,
    // and rotating the list in place gives the same numbers.
    using Rotation = void (*)(const double*, double*, double);
    const Rotation rotations[] = {rotateAboutX, rotateAboutY, rotateAboutZ};
    const double input[12] = {1, 2, 3, -1, -1, 0, 0.5, -0.25, 4, -1, -1, -1};
    for (Rotation rotate : rotations) {
        double out[15];
        std::fill_n(out, 15, 9.0);
        rotate(input, out, 30.0);
        for (int i = 9; i < 12; ++i)
            EXPECT_EQ(out[i], -1.0) << i;
        for (int i = 12; i < 15; ++i)
            EXPECT_EQ(out[i], 9.0) << i;
        double same[12];
        std::copy(input, input + 12, same);
        rotate(same, same, 30.0);
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(same[i], out[i]) << i;
    }
}

TEST_F(SceneEvaluationTest, ScalePointsWritesDoubleProductsAndTheEndPoint)
{
    // (x·sx, y·sy, z·sz) in double from the float coordinates; (-1, -1, 2) is a
    // point, not the end: (-1·2, -1·-0.5, 2·3) = (-2, 0.5, 6).
    const float model[12] = {1.25f, -0.5f, 0.1f, -1, -1, 2, 0, 0, 0, -1, -1, -1};
    scalePoints(model, 2.0, -0.5, 3.0);
    const double expected[9] = {2.5, 0.25, static_cast<double>(0.1f) * 3.0, -2, 0.5, 6, 0, 0, 0};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(world()[i], expected[i]) << i;
    for (int i = 9; i < 12; ++i)
        EXPECT_EQ(world()[i], -1.0) << i;
    EXPECT_EQ(world()[12], untouchedWorld);
}

TEST_F(InMemorySceneTest, RotationChannelsBecomeObjectAnglesInDegreesPlusTheOffsets)
{
    // heading = -V3·57.2957763671875, pitch = -V4·…, bank = -V5·…; object angle =
    // offset + angle.
    //   V3 = float(π/2) = 1.5707963705062866: heading = -89.999997562918 (not
    //     quite -90: 57.2957763671875 is below 180/π).
    //   V4 = 0.5: pitch = -28.64788818359375.   V5 = -0.25: bank = 14.323944091796875.
    struct Case {
        double baseX, baseY, baseZ;
    };
    const Case cases[] = {{0, 0, 0}, {10, 30, -20}};
    const float halfPi = static_cast<float>(std::numbers::pi / 2);
    ASSERT_EQ(static_cast<double>(halfPi), 1.5707963705062866);
    const double heading = -static_cast<double>(halfPi) * degPerRad;
    ASSERT_NEAR(heading, -89.999997562918, 1e-11);
    for (const Case& c : cases) {
        InMemoryScene s;
        s.useSlot(0, {1, 0, 0});
        s.setChannel(0, 3, halfPi);
        s.setChannel(0, 4, 0.5f);
        s.setChannel(0, 5, -0.25f);
        install(s, 0.0f);
        renderContext.baseRotX = c.baseX;
        renderContext.baseRotY = c.baseY;
        renderContext.baseRotZ = c.baseZ;
        evaluateSlot(testScene, 0);
        EXPECT_EQ(renderContext.objectRotY, c.baseY + heading);
        EXPECT_EQ(renderContext.objectRotX, c.baseX + -28.64788818359375);
        EXPECT_EQ(renderContext.objectRotZ, c.baseZ + 14.323944091796875);
        uninstall();
    }

    // Heading alone: (1, 0, 0) turned by Y about -90 degrees: z' = -x·s = 1, x' ≈ 0.
    InMemoryScene s;
    s.useSlot(0, {1, 0, 0});
    s.setChannel(0, 3, halfPi);
    install(s, 0.0f);
    renderContext.baseRotX = renderContext.baseRotY = renderContext.baseRotZ = 0.0;
    evaluateSlot(testScene, 0);
    EXPECT_EQ(renderContext.objectRotY, heading);
    EXPECT_NEAR(world()[0], 0.0, 1e-6);
    EXPECT_EQ(world()[1], 0.0);
    EXPECT_NEAR(world()[2], 1.0 + 13.212, 1e-12);
}

TEST_F(InMemorySceneTest, SlotPointsAreSnappedAgainAfterTheRotations)
{
    // (0, 3.6f, 0.5) with V5 = float(-π/2): bank = +89.999997562918 degrees,
    // rotateAboutZ gives x = 0·c - 3.6f·s ≈ -3.5999999046, which the final snap
    // sets to exactly -3.6; y = 3.6f·c is within 1e-6 of 0.
    InMemoryScene s;
    s.useSlot(0, {0, 3.6f, 0.5f});
    s.setChannel(0, 5, static_cast<float>(-std::numbers::pi / 2));
    install(s, 0.0f);
    evaluateSlot(testScene, 0);
    EXPECT_EQ(world()[0], -3.6);
    EXPECT_NEAR(world()[1], 0.0, 1e-6);
    EXPECT_EQ(world()[2], static_cast<double>(0.5f) + 13.212);
}

TEST_F(InMemorySceneTest, TranslationChannelsAndCameraDepth)
{
    // x - V0, y + V1, z + (cameraZ - (V2 - 13.212)); V0 = 0.75, V1 = -0.5, V2 = 5.
    const double cameraZs[] = {0.0, 5.0};
    for (double cameraZ : cameraZs) {
        InMemoryScene s;
        s.useSlot(0, {1.25f, -0.5f, 0.75f});
        s.setChannel(0, 0, 0.75f);
        s.setChannel(0, 1, -0.5f);
        s.setChannel(0, 2, 5.0f);
        install(s, 0.0f);
        renderContext.cameraZ = cameraZ;
        evaluateSlot(testScene, 0);
        EXPECT_EQ(world()[0], 1.25 - 0.75) << cameraZ;
        EXPECT_EQ(world()[1], -0.5 + -0.5) << cameraZ;
        EXPECT_EQ(world()[2], 0.75 + (cameraZ - (5.0 - 13.212))) << cameraZ;
        uninstall();
    }
}

TEST_F(InMemorySceneTest, RenderSceneEvaluatesEveryUsedSlotWithTheGivenMirrorFlags)
{
    // Slot 0 (three points, bank V5 = 0.25) then slot 1 (two points, x moved by
    // V0 = 0.5, bank 0): what is left in the buffers and angles is slot 1's,
    // with the end point after its two points.
    InMemoryScene s;
    s.useSlot(0, {1, 1, 1, 2, 2, 2, 3, 3, 3});
    s.setChannel(0, 5, 0.25f);
    s.useSlot(1, {1.5f, -0.5f, 0.0f, -1.0f, 0.5f, 1.0f});
    s.setChannel(1, 0, 0.5f);
    install(s, 0.0f);

    struct Case {
        int mirrorX, mirrorY;
    };
    const Case cases[] = {{1, 0}, {0, 1}};
    for (const Case& c : cases) {
        renderScene(testScene, c.mirrorX, c.mirrorY);
        EXPECT_EQ(renderContext.mirrorX, c.mirrorX);
        EXPECT_EQ(renderContext.mirrorY, c.mirrorY);
        EXPECT_EQ(renderContext.objectRotZ, 0.0);   // slot 1's bank channel is 0
        const double expectedWorld[6] = {1.5 - 0.5, -0.5, 0.0 + 13.212, -1.0 - 0.5, 0.5, 1.0 + 13.212};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(world()[i], expectedWorld[i]) << i;
        const float scaleX = c.mirrorX ? -frameScaleX : frameScaleX;
        const float scaleY = c.mirrorY ? -frameScaleY : frameScaleY;
        for (int i = 0; i < 2; ++i) {
            const Projected p = project(expectedWorld[3 * i], expectedWorld[3 * i + 1],
                                        expectedWorld[3 * i + 2], scaleX, scaleY, 0.0, 0.0);
            EXPECT_EQ(projected()[3 * i], p.x) << i;
            EXPECT_EQ(projected()[3 * i + 1], p.y) << i;
        }
        expectEndsAt(2);
        EXPECT_EQ(renderContext.projScaleX, frameScaleX);
        EXPECT_EQ(renderContext.projScaleY, frameScaleY);
    }
}

TEST_F(InMemorySceneTest, RenderSceneWithAnEmptyFirstSlotDrawsNothing)
{
    // Used slots come first: with slot 0 empty, slot 1 is never evaluated.
    InMemoryScene s;
    s.useSlot(1, {1, 1, 1});
    install(s, 0.0f);

    renderScene(testScene, 1, 1);
    EXPECT_EQ(renderContext.mirrorX, 1);
    EXPECT_EQ(renderContext.mirrorY, 1);
    EXPECT_EQ(world()[0], untouchedWorld);
    EXPECT_EQ(projected()[0], untouchedProjected);
}

TEST_F(SceneEvaluationTest, ShippedSceneFollowsItsKeysToTheRestPose)
{
    // Scene 21 of the conformance assets, slot 0, with the medium letter
    // object; its point 3 is (3.6f, 0, -0.4f). Keys read from the file:
    //   channel 0 (x), TCB: K0 -8.9368 at 0 (T 0.3594, C 0.1128, B -0.3654),
    //     K1 0.9781 at 9.2915 (T 0.0332, C -0.3224, B 0.1981),
    //     K2 0 at 16.666666 (T 0.0928, C 0, B -0.091)
    //   channel 5 (bank), TCB: K0 -0.6331 at 0 (T 0), K1 0.1292 at 7.4332
    //     (T 0.1625), K2 0 at 16.666666 (T 0.3); C and B 0.
    //   one key each: y 0, z 5.0, heading 0, pitch 0, scale 1, 1, 1.
    // With y, heading and pitch 0 the point is (3.6, 0, -0.4f) after rotateAboutY
    // (x snapped from 3.6f), then turned about Z by bank = -V5·57.2957763671875:
    // (3.6·c, 3.6·s, -0.4f); then x - V0, y + 0, z + (0 - (5 - 13.212)).
    objectScale = 1.0;
    const std::string dir = std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a/programs/zask/";
    ASSERT_EQ(loadScene(&sceneTable[testScene], (dir + "scenes/buchstabe_021.sce").c_str(),
                        (dir + "objects/buchstabe.lwo.clw").c_str()),
              0);
    const Scene& scene = sceneTable[testScene];
    ASSERT_EQ(usedSlotCount(&scene), 1);
    const float* point = scene.objects[0].points + 3 * 3;
    ASSERT_EQ(point[0], 3.6f);
    ASSERT_EQ(point[1], 0.0f);
    ASSERT_EQ(point[2], -0.4f);
    const MotionChannel* channels = scene.slotImage[0].channels;
    ASSERT_EQ(channels[0].keyCount, 3);
    ASSERT_EQ(channels[5].keyCount, 3);
    for (int c : {1, 2, 3, 4, 6, 7, 8})
        ASSERT_EQ(channels[c].keyCount, 1) << c;
    ASSERT_EQ(channels[0].keys[1].value, 0.9781f);
    ASSERT_EQ(channels[0].keys[1].time, 9.2915f);
    ASSERT_EQ(channels[0].keys[0].param[2], -0.3654f);
    ASSERT_EQ(channels[5].keys[1].param[0], 0.1625f);
    ASSERT_EQ(channels[2].keys[0].value, 5.0f);

    // Channel 0 at 8.3: segment K0 -> K1, no previous key, next K2.
    const float x0 = -8.9368f, x1 = 0.9781f, x2 = 0.0f;
    const float tx0 = 0.0f, tx1 = 9.2915f, tx2 = 16.666666f;
    const float dx = x1 - x0;
    const float bx0 = (1.0f - 0.3594f) * (1.0f - 0.1128f) * (1.0f - -0.3654f);
    const double outX = static_cast<double>(bx0) * static_cast<double>(dx);
    const float rx = (tx1 - tx0) / (tx2 - tx0);
    const float ax1 = (1.0f - 0.0332f) * (1.0f - -0.3224f) * (1.0f + 0.1981f);
    const float bx1 = (1.0f - 0.0332f) * (1.0f + -0.3224f) * (1.0f - 0.1981f);
    const float nextDx = x2 - x1;
    const double inX = static_cast<double>(rx) * (static_cast<double>(bx1) * static_cast<double>(nextDx) +
                                                  static_cast<double>(ax1) * static_cast<double>(dx));
    const float spanX = tx1 - tx0;
    const double fx = (static_cast<double>(8.3f) - static_cast<double>(tx0)) / static_cast<double>(spanX);

    // Channel 5 at 8.3: segment K1 -> K2, previous K0, no next key.
    const float b0 = -0.6331f, b1 = 0.1292f, b2 = 0.0f;
    const float tb0 = 0.0f, tb1 = 7.4332f, tb2 = 16.666666f;
    const float db = b2 - b1;
    const float rb = (tb2 - tb1) / (tb2 - tb0);
    const float ab1 = (1.0f - 0.1625f) * (1.0f + 0.0f) * (1.0f + 0.0f);
    const float bb1 = (1.0f - 0.1625f) * (1.0f - 0.0f) * (1.0f - 0.0f);
    const float previousDb = b1 - b0;
    const double outB = static_cast<double>(rb) * (static_cast<double>(ab1) * static_cast<double>(previousDb) +
                                                   static_cast<double>(bb1) * static_cast<double>(db));
    const float ab2 = (1.0f - 0.3f) * (1.0f - 0.0f) * (1.0f + 0.0f);
    const double inB = static_cast<double>(ab2) * static_cast<double>(db);
    const float spanB = tb2 - tb1;
    const double fb = (static_cast<double>(8.3f) - static_cast<double>(tb1)) / static_cast<double>(spanB);

    const auto hermite = [](double f, double s, double r, double out, double in) {
        const double h2 = 3.0 * f * f - 2.0 * f * f * f;
        const double h1 = 1.0 - h2;
        const double h3 = f * f * f - 2.0 * f * f + f;
        const double h4 = f * f * f - f * f;
        return h1 * s + h2 * r + h3 * out + h4 * in;
    };

    struct Case {
        float time;
        double v0;   // x channel
        double v5;   // bank channel
    };
    const Case cases[] = {
        {0.0f, x0, b0},   // f = 0 in both first segments: h1 = 1, the rest 0
        {8.3f, hermite(fx, x0, x1, outX, inX), hermite(fb, b1, b2, outB, inB)},
        {16.666666f, 0.0, 0.0},   // at the last keys: the rest pose
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "time " << c.time);
        sceneTable[testScene].sceneTime = c.time;
        evaluateSlot(testScene, 0);
        projectPoints();

        const double bank = -c.v5 * degPerRad;
        EXPECT_EQ(renderContext.objectRotZ, 0.0 + bank);
        const double angle = (0.0 + bank) * radPerDeg;
        const double cs = std::cos(angle), sn = std::sin(angle);
        const double rotatedX = 3.6 * cs - 0.0 * sn;
        const double rotatedY = 3.6 * sn + 0.0 * cs;
        // Away from the snap values, so the final snap leaves the point alone
        // (at rest x is exactly 3.6, which the snap keeps).
        ASSERT_TRUE(std::fabs(std::fabs(rotatedY) - 2.88) >= 0.001);
        ASSERT_TRUE(c.v5 == 0.0 || std::fabs(std::fabs(rotatedX) - 3.6) >= 0.001);
        const double expectedX = rotatedX - c.v0;
        const double expectedY = rotatedY + 0.0;
        const double expectedZ = static_cast<double>(-0.4f) + (0.0 - (5.0 - 13.212));
        EXPECT_EQ(world()[9], expectedX);
        EXPECT_EQ(world()[10], expectedY);
        EXPECT_EQ(world()[11], expectedZ);
        const Projected p = project(expectedX, expectedY, expectedZ, frameScaleX, frameScaleY, 0.0, 0.0);
        EXPECT_EQ(projected()[9], p.x);
        EXPECT_EQ(projected()[10], p.y);
        EXPECT_EQ(projected()[11], p.depth);
        expectEndsAt(16);
    }
    // The rest pose: (3.6, 0, 8.212 - 0.4f) whatever the entry pose was.
    EXPECT_EQ(world()[9], 3.6);
    EXPECT_EQ(world()[10], 0.0);
}

}  // namespace

// Every projected coordinate is rounded to float before the screen shift is
// added and rounded again. Over many points with a shift, a single rounding
// of the unrounded sum differs somewhere; an optimiser that folds the first
// rounding away shows up here.
TEST_F(SceneEvaluationTest, ProjectionRoundsToFloatBeforeAndAfterTheShift)
{
    RenderContext& rc = renderContext;
    rc.cameraX = 0.3712345;
    rc.cameraY = -0.2212345;
    rc.cameraZ = 0.0;
    std::vector<double> points;
    uint32_t state = 12345;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / static_cast<double>(1u << 24);
    };
    const int count = 1999;
    for (int i = 0; i < count; ++i) {
        points.push_back((next() - 0.5) * 0.3);
        points.push_back((next() - 0.5) * 0.3);
        points.push_back(5.0 + next() * 10.0);
    }
    setWorld(points);
    projectPoints();

    const double shiftX = static_cast<double>(rc.projScaleX) * rc.cameraX * 1.4007 / (rc.cameraZ - 8.21);
    const double shiftY = static_cast<double>(rc.projScaleY) * rc.cameraY * 1.4007 / (rc.cameraZ - 8.21);
    int singleRoundingWouldDiffer = 0;
    for (int i = 0; i < count; ++i) {
        const double x = points[3 * i], y = points[3 * i + 1], z = points[3 * i + 2];
        const double f = 1.4007 / z;
        const double unroundedX = -(static_cast<double>(rc.projScaleX) * x) * f + rc.screenCentreX;
        const double unroundedY = -(static_cast<double>(rc.projScaleY) * y) * f + rc.screenCentreY;
        volatile float firstX = static_cast<float>(unroundedX);
        volatile float firstY = static_cast<float>(unroundedY);
        const float expectedX = static_cast<float>(firstX + shiftX);
        const float expectedY = static_cast<float>(firstY + shiftY);
        ASSERT_EQ(projected()[3 * i], expectedX) << "point " << i;
        ASSERT_EQ(projected()[3 * i + 1], expectedY) << "point " << i;
        if (static_cast<float>(unroundedX + shiftX) != expectedX)
            ++singleRoundingWouldDiffer;
    }
    EXPECT_GT(singleRoundingWouldDiffer, 0) << "the points do not tell one rounding from two";
}
