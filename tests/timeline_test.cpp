#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "animation/motion_envelope.h"
#include "animation/scene_evaluation.h"
#include "field/timeline.h"
#include "operator/effect_settings.h"
#include "raster/render_context.h"

namespace {

// Single-precision scene times: ((p * 10000) / 10000) * 16.666666f, where
// 16.666666f is 0x1.0aaaaap+4. p * 10000 / 10000 gives p back for the
// progresses used here, so the time is p * 0x1.0aaaaap+4 rounded once:
//   0.75  -> 12.5 (0x1.9p+3)          0.625 -> 0x1.4d5554p+3 (10.416666)
//   0.5   -> 0x1.0aaaaap+3 (8.333333)  0.375 -> 6.25
//   0.25  -> 0x1.0aaaaap+2 (4.1666665) 1.0   -> 0x1.0aaaaap+4
constexpr float sceneTimeHold = 0x1.0aaaaap+4f;

struct TimelineTest : testing::Test {
    EffectSettings savedSettings = effectSettings;
    RenderContext savedContext = renderContext;

    void SetUp() override { rewriteLetterTimingChannel(); }
    void TearDown() override
    {
        effectSettings = savedSettings;
        renderContext = savedContext;
    }

    static Timeline timelineAt(uint32_t clipLength, uint32_t position, int32_t inDuration,
                               int32_t outDuration, uint32_t pageCount = 1)
    {
        effectSettings.inDuration = inDuration;
        effectSettings.outDuration = outDuration;
        ActionRequest request{};
        request.action = actionRender;
        request.clipLength = clipLength;
        request.position = position;
        return computeTimeline(&request, pageCount);
    }
};

TEST_F(TimelineTest, TimingChannelIsTwoLinearKeys)
{
    letterTimingChannel.keyCount = 7;
    letterTimingChannel.keys[3].value = 5.0f;
    letterTimingChannel.keys[0].param[2] = 1.0f;
    rewriteLetterTimingChannel();

    EXPECT_EQ(letterTimingChannel.keyCount, 2);
    EXPECT_EQ(letterTimingChannel.keys[0].time, 0.0f);
    EXPECT_EQ(letterTimingChannel.keys[0].value, 0.0f);
    EXPECT_EQ(letterTimingChannel.keys[0].shape, 3u);
    EXPECT_EQ(letterTimingChannel.keys[1].time, 100.0f);
    EXPECT_EQ(letterTimingChannel.keys[1].value, 1.0f);
    EXPECT_EQ(letterTimingChannel.keys[1].shape, 3u);
    for (int k = 0; k < 2; ++k) {
        for (float p : letterTimingChannel.keys[k].param)
            EXPECT_EQ(p, 0.0f);
        EXPECT_EQ(letterTimingChannel.keys[k].unused, 0u);
    }
}

// clipLength 300, one page, durations 50/50: in 0..99, hold 100..199, out 200..299.
TEST_F(TimelineTest, PhasesOfAThreeHundredFieldPage)
{
    struct Case {
        uint32_t position;
        Phase phase;
        float fraction;
    };
    const Case cases[] = {
        {0, Phase::in, 0.0f},
        {50, Phase::in, 0.5f},             // 50 / 100
        {99, Phase::in, 99.0f / 100.0f},
        {100, Phase::hold, 1.0f},
        {199, Phase::hold, 1.0f},
        {200, Phase::out, 1.0f},           // (300 - 200) / 100
        {250, Phase::out, 0.5f},
        {299, Phase::out, 1.0f / 100.0f},  // the last field: 1 / outLength
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        const Timeline t = timelineAt(300, c.position, 50, 50);
        EXPECT_EQ(t.pageLength, 300u);
        EXPECT_EQ(t.page, 0u);
        EXPECT_EQ(t.inLength, 100);
        EXPECT_EQ(t.outLength, 100);
        EXPECT_EQ(t.phasePosition, c.position);
        EXPECT_EQ(t.phase, c.phase);
        EXPECT_EQ(t.phaseFraction, c.fraction);
    }
}

// Position 50: fraction 0.5, progress 0.75 - (i * 0.5) / 4; opacity 1 since
// every progress is at least 0.2 (letterTime >= 100).
TEST_F(TimelineTest, FourLettersFlyingIn)
{
    const Timeline t = timelineAt(300, 50, 50, 50);
    const float progress[] = {0.75f, 0.625f, 0.5f, 0.375f};
    const float sceneTime[] = {12.5f, 0x1.4d5554p+3f, 0x1.0aaaaap+3f, 6.25f};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        float p = -1.0f;
        ASSERT_TRUE(letterProgress(i, 4, t, &p));
        EXPECT_EQ(p, progress[i]);
        EXPECT_EQ(letterSceneTime(p), sceneTime[i]);
        letterOpacity(p);
        EXPECT_EQ(renderContext.opacity, 1.0f);
        EXPECT_EQ(renderContext.fadeLevel, 1.0 * 0.1);
    }
}

// Position 250: fraction (300 - 250) / 100 = 0.5, progress 0.75 - ((4 - i) * 0.5) / 4.
TEST_F(TimelineTest, FourLettersFlyingOutFirstLetterFirst)
{
    const Timeline t = timelineAt(300, 250, 50, 50);
    const float progress[] = {0.25f, 0.375f, 0.5f, 0.625f};
    const float sceneTime[] = {0x1.0aaaaap+2f, 6.25f, 0x1.0aaaaap+3f, 0x1.4d5554p+3f};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        float p = -1.0f;
        ASSERT_TRUE(letterProgress(i, 4, t, &p));
        EXPECT_EQ(p, progress[i]);
        EXPECT_EQ(letterSceneTime(p), sceneTime[i]);
    }
}

// Position 299: fraction 0.01, 0.015 - ((4 - i) * 0.5) / 4 < 0 for every letter.
TEST_F(TimelineTest, LastFieldOfThePageDrawsNoLetter)
{
    const Timeline t = timelineAt(300, 299, 50, 50);
    for (int i = 0; i < 4; ++i) {
        float p = 123.0f;
        EXPECT_FALSE(letterProgress(i, 4, t, &p)) << i;
    }
}

// phasePosition 0: fraction 0, so letter 0 has progress 0 - 0 = 0 (drawn,
// letterTime 0, opacity 0) and letter i > 0 has -(i * 0.5) / 4 < 0.
TEST_F(TimelineTest, FirstFieldOfAPageDrawsOnlyLetterZero)
{
    struct Case {
        uint32_t clipLength, pages, position;
    };
    for (const Case& c : {Case{300, 1, 0}, Case{600, 2, 300}}) {
        SCOPED_TRACE(c.position);
        const Timeline t = timelineAt(c.clipLength, c.position, 50, 50, c.pages);
        EXPECT_EQ(t.phasePosition, 0u);
        float p = -1.0f;
        ASSERT_TRUE(letterProgress(0, 4, t, &p));
        EXPECT_EQ(p, 0.0f);
        EXPECT_EQ(letterSceneTime(p), 0.0f);
        renderContext.opacity = 0.7f;
        letterOpacity(p);
        EXPECT_EQ(renderContext.opacity, 0.0f);
        EXPECT_EQ(renderContext.fadeLevel, 0.0);
        for (int i = 1; i < 4; ++i)
            EXPECT_FALSE(letterProgress(i, 4, t, &p)) << i;
    }
}

// letterTime = trunc(p * 500); the channel is letterTime / 100 up to 100, then 1.
// 0.1f * 500 = 50.0000007 rounds to 50.0f -> 0.5; 0.05f * 500 -> 25 -> 0.25.
TEST_F(TimelineTest, OpacityFadesInOverTheFirstFifth)
{
    struct Case {
        float progress;
        float opacity;
    };
    const Case cases[] = {
        {0.0f, 0.0f}, {0.05f, 0.25f}, {0.1f, 0.5f}, {0.2f, 1.0f}, {0.5f, 1.0f}, {1.0f, 1.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.progress);
        letterOpacity(c.progress);
        EXPECT_EQ(renderContext.opacity, c.opacity);
        EXPECT_EQ(renderContext.fadeLevel, static_cast<double>(c.opacity) * 0.1);
    }
}

TEST_F(TimelineTest, ZeroDurationsHoldEveryField)
{
    for (uint32_t position : {0u, 150u, 299u}) {
        SCOPED_TRACE(position);
        const Timeline t = timelineAt(300, position, 0, 0);
        EXPECT_EQ(t.inLength, 0);
        EXPECT_EQ(t.outLength, 0);
        EXPECT_EQ(t.phase, Phase::hold);
        EXPECT_EQ(t.phaseFraction, 1.0f);
        for (int i = 0; i < 4; ++i) {
            float p = -1.0f;
            ASSERT_TRUE(letterProgress(i, 4, t, &p));
            EXPECT_EQ(p, 1.0f);
            EXPECT_EQ(letterSceneTime(p), 16.666666f);
            EXPECT_EQ(letterSceneTime(p), sceneTimeHold);
            letterOpacity(p);
            EXPECT_EQ(renderContext.opacity, 1.0f);
        }
    }
}

// 2 * 100 + 2 * 60 > 300: both phases take 300 / 2 = 150 fields, no hold.
TEST_F(TimelineTest, DurationsLongerThanThePageSplitItInHalves)
{
    for (uint32_t position = 0; position < 300; ++position) {
        const Timeline t = timelineAt(300, position, 100, 60);
        ASSERT_EQ(t.inLength, 150);
        ASSERT_EQ(t.outLength, 150);
        ASSERT_EQ(t.phase, position < 150 ? Phase::in : Phase::out) << position;
    }
    EXPECT_EQ(timelineAt(300, 149, 100, 60).phaseFraction, 149.0f / 150.0f);
    EXPECT_EQ(timelineAt(300, 150, 100, 60).phaseFraction, 1.0f);  // (300 - 150) / 150
    EXPECT_EQ(timelineAt(300, 299, 100, 60).phaseFraction, 1.0f / 150.0f);
}

// One letter: progress = fraction * 1.5 - (0 * 0.5) / 1, capped at 1.
// 0.2f * 1.5f = 0.3f, 0.4f * 1.5f = 0.6f, 0.6f * 1.5f = 0x1.ccccce0p-1 (one ulp
// above 0.9f), 0.8f * 1.5f = 1.2 -> 1.
TEST_F(TimelineTest, SingleLetterMovesAtOneAndAHalfTimesTheFraction)
{
    struct Case {
        uint32_t position;
        float progress;
    };
    const Case cases[] = {{20, 0.3f}, {40, 0.6f}, {60, 0x1.ccccce0p-1f}, {80, 1.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        const Timeline t = timelineAt(300, c.position, 50, 50);
        float p = -1.0f;
        ASSERT_TRUE(letterProgress(0, 1, t, &p));
        EXPECT_EQ(p, c.progress);
    }
}

// 301 / 2 pages = 150 fields a page; field 300 is page 2 (past the last) at
// phasePosition 0 of a new in phase.
TEST_F(TimelineTest, OddClipOfTwoPagesGivesAThirdPageToTheLastField)
{
    const Timeline last = timelineAt(301, 300, 50, 50, 2);
    EXPECT_EQ(last.pageLength, 150u);
    EXPECT_EQ(last.page, 2u);
    EXPECT_EQ(last.phasePosition, 0u);
    EXPECT_EQ(last.phase, Phase::in);
    EXPECT_EQ(last.phaseFraction, 0.0f);

    // 150 - 100 - 100 < 0: both phases take 75 fields of the page.
    const Timeline before = timelineAt(301, 299, 50, 50, 2);
    EXPECT_EQ(before.page, 1u);
    EXPECT_EQ(before.phasePosition, 149u);
    EXPECT_EQ(before.inLength, 75);
    EXPECT_EQ(before.phase, Phase::out);
    EXPECT_EQ(before.phaseFraction, 1.0f / 75.0f);  // (150 - 149) / 75
}

struct PlacementTest : TimelineTest {
    HostImage picture{};
    LetterEntry entry{};
    ActionRequest request{};
    double world[3] = {-1.0, -1.0, -1.0};
    float projected[3] = {};

    void SetUp() override
    {
        TimelineTest::SetUp();
        picture.width = 8;
        picture.height = 6;
        picture.top = 4;
        entry.image = &picture;
        entry.penX = 640;    // 10 pixels
        entry.boxX = 1280;   // 20 pixels
        entry.boxY = 640;    // 10 pixels
        request.action = actionRender;
        effectSettings.rotationX = 10;
        effectSettings.rotationY = 30;
        effectSettings.rotationZ = -20;
    }
};

// Frame 64 x 48: hw 32, hh 24; picture 8 x 6: hiw 4, hih 3.
// cameraX = (30 - 32 + 4) / 32 * kx = 0.0625 * kx
// cameraY = ((10 + 4) - 24 + 3) / 24 * ky = (-7 / 24) * ky
TEST_F(PlacementTest, PositionRotationsAndFlagsPerMirrorMode)
{
    struct Case {
        int mode;
        double kx, ky;
        double rotX, rotY, rotZ;
    };
    const Case cases[] = {
        {0, -3.6, -2.88, 10, 30, -20},
        {1, 3.6, -2.88, 10, -30, 20},
        {2, -3.6, 2.88, -10, 30, 20},
        {3, 3.6, 2.88, -10, -30, -20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        placeLetter(entry, c.mode, 64, 48, &request);
        const RenderContext& rc = renderContext;
        EXPECT_EQ(rc.cameraX, 2.0 / 32.0 * c.kx);
        EXPECT_EQ(rc.cameraY, -7.0 / 24.0 * c.ky);
        EXPECT_EQ(rc.cameraZ, 0.0);
        EXPECT_EQ(rc.baseRotX, c.rotX);
        EXPECT_EQ(rc.baseRotY, c.rotY);
        EXPECT_EQ(rc.baseRotZ, c.rotZ);
        EXPECT_EQ(rc.letterScaleX, 0.125);   // 8 / 64
        EXPECT_EQ(rc.letterScaleY, 0.125);   // 6 / 48
        EXPECT_EQ(rc.letterScaleZ, 3.0);     // 192 / 64
        EXPECT_EQ(mirrorTable[c.mode].drawMirrorX, c.mode & 1);
        EXPECT_EQ(mirrorTable[c.mode].drawMirrorY, c.mode >> 1);
    }
}

// The sign of kx follows drawMirrorX, which also negates projScaleX, so the
// projection shift (scale * cameraX * 1.4007 / (0 - 8.21)) is the same bits in
// every mode: the letter stands where mode 0 puts it.
TEST_F(PlacementTest, MirrorModesKeepTheOnScreenPosition)
{
    RenderContext& rc = renderContext;
    rc.worldPoints = world;
    rc.projectedPoints = projected;
    rc.projScaleX = 51.2f;
    rc.projScaleY = 48.0f;
    rc.screenCentreX = 32.0f;
    rc.screenCentreY = 24.0f;

    placeLetter(entry, 0, 64, 48, &request);
    rc.mirrorX = 0;
    rc.mirrorY = 0;
    projectPoints();
    const double shiftX = rc.projShiftX, shiftY = rc.projShiftY;
    EXPECT_EQ(shiftX, double{51.2f} * (2.0 / 32.0 * -3.6) * 1.4007 / (0.0 - 8.21));
    EXPECT_EQ(shiftY, 48.0 * (-7.0 / 24.0 * -2.88) * 1.4007 / (0.0 - 8.21));

    for (int mode = 1; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        placeLetter(entry, mode, 64, 48, &request);
        rc.mirrorX = mirrorTable[mode].drawMirrorX;
        rc.mirrorY = mirrorTable[mode].drawMirrorY;
        projectPoints();
        EXPECT_EQ(rc.projShiftX, shiftX);
        EXPECT_EQ(rc.projShiftY, shiftY);
        EXPECT_EQ(rc.projScaleX, 51.2f);  // restored after the projection
    }
}

// Draft: letterScaleZ = (aspectNum * 3.0) / aspectDen in double; without the
// draft bit the aspect is not read.
TEST_F(PlacementTest, DraftScalesDepthByThePixelAspect)
{
    request.aspectNum = 10;
    request.aspectDen = 11;
    placeLetter(entry, 0, 64, 48, &request);
    EXPECT_EQ(renderContext.letterScaleZ, 3.0);

    request.flags = requestFlagDraft;
    placeLetter(entry, 0, 64, 48, &request);
    EXPECT_EQ(renderContext.letterScaleZ, 30.0 / 11.0);

    // 192 / 720 as floats, widened, then * 59 / 54.
    request.aspectNum = 59;
    request.aspectDen = 54;
    placeLetter(entry, 0, 720, 576, &request);
    EXPECT_EQ(renderContext.letterScaleZ, (59 * static_cast<double>(192.0f / 720.0f)) / 54);
}

// Odd sizes halve toward zero: W 65 -> 32, picture 7 -> 3; a negative pen
// position (box left of the frame) gives a negative left edge.
TEST_F(PlacementTest, HalfSizesTruncate)
{
    picture.width = 7;
    picture.height = 5;
    picture.top = 0;
    entry.penX = -64;   // -1 pixel
    entry.boxX = 0;
    entry.boxY = 0;
    placeLetter(entry, 0, 65, 49, &request);
    // (-1 - 32 + 3) / 32 * -3.6 ; (0 + 0 - 24 + 2) / 24 * -2.88
    EXPECT_EQ(renderContext.cameraX, -30.0 / 32.0 * -3.6);
    EXPECT_EQ(renderContext.cameraY, -22.0 / 24.0 * -2.88);
    EXPECT_EQ(renderContext.letterScaleX, static_cast<double>(7.0f / 65.0f));
    EXPECT_EQ(renderContext.letterScaleY, static_cast<double>(5.0f / 49.0f));
}

}  // namespace
