#include <gtest/gtest.h>
#include <malloc.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "animation/edge_antialiasing.h"
#include "assets/scene.h"
#include "field/asset_paths.h"
#include "field/field_conversion.h"
#include "field/field_render.h"
#include "operator/effect_settings.h"
#include "operator/operator_entry.h"
#include "raster/render_context.h"
#include "standin/standin_control.h"

namespace {

const std::string kthomeA = std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a";
const std::string sceneDirectory = kthomeA + "/programs/zask/scenes/";

// An 8 x 8 picture, opaque grey 200, or transparent when `ink` is false.
std::string letter(int pen, bool ink = true)
{
    std::string hex;
    for (int i = 0; i < 64; ++i)
        hex += ink ? "ff8080c8" : "008080c8";
    return "{\"pen\": " + std::to_string(pen) + ", \"width\": 8, \"height\": 8, \"top\": 0, \"pixels\": \"" +
           hex + "\"}";
}

// Each page one box at (1792, 1280) (28 and 20 pixels: an 8 x 8 picture
// centred in a 64 x 48 frame) with one line of the given characters.
std::string titleJson(const std::vector<std::vector<std::string>>& pages)
{
    std::string text = "{\"pages\": [";
    for (size_t p = 0; p < pages.size(); ++p) {
        text += p ? ", " : "";
        text += "{\"boxes\": [{\"x\": 1792, \"y\": 1280, \"lines\": [{\"chars\": [";
        for (size_t c = 0; c < pages[p].size(); ++c)
            text += (c ? ", " : "") + pages[p][c];
        text += "]}]}]}";
    }
    return text + "]}";
}

struct Yuv {
    uint8_t y, cb, cr;
};

struct FieldRenderTest : testing::Test {
    std::optional<std::string> savedHome;
    EffectSettings savedSettings = effectSettings;
    TitleDocument* title = nullptr;
    std::vector<uint8_t> output;
    ActionRequest request{};
    int width = 0, height = 0;

    void SetUp() override
    {
        if (const char* home = std::getenv("KTHOME"))
            savedHome = home;
        setenv("KTHOME", kthomeA.c_str(), 1);
        writeDefaultSettings(effectSettings);
        standin::resetImages();
        standin::resetCounters();
        setClip(64, 48, 4, [](int, int, int) { return Yuv{60, 110, 150}; });
    }
    void TearDown() override
    {
        action(actionRelease);
        standin::freeTitle(title);
        standin::clearInputClip();
        standin::setOutputFrame(nullptr);
        EXPECT_EQ(standin::imageCounts().badReleases, 0u);
        standin::resetImages();
        if (savedHome)
            setenv("KTHOME", savedHome->c_str(), 1);
        else
            unsetenv("KTHOME");
        effectSettings = savedSettings;
    }

    template <typename Pixel>
    void setClip(int w, int h, int frames, Pixel pixel)
    {
        width = w;
        height = h;
        const size_t plane = static_cast<size_t>(w) * h;
        std::vector<standin::PlanarFrame> clip;
        for (int f = 0; f < frames; ++f) {
            standin::PlanarFrame planes(plane * 3);
            for (int row = 0; row < h; ++row)
                for (int x = 0; x < w; ++x) {
                    const Yuv p = pixel(f, row, x);
                    planes[row * w + x] = p.y;
                    planes[plane + row * w + x] = p.cb;
                    planes[2 * plane + row * w + x] = p.cr;
                }
            clip.push_back(std::move(planes));
        }
        standin::setInputClip(w, h, std::move(clip));
        output.assign(plane * 3, 0);
        standin::setOutputFrame(output.data());
    }

    void useTitle(const std::string& json)
    {
        std::string error;
        title = standin::parseTitle(json, error);
        ASSERT_NE(title, nullptr) << error;
        request.title = title;
    }

    int32_t action(uint16_t code)
    {
        ActionRequest r = request;
        r.action = code;
        return OperatorAction(&r);
    }

    int32_t renderAt(uint32_t position, uint8_t extraFlags = 0)
    {
        request.position = position;
        request.flags = static_cast<uint8_t>((position & 1 ? requestFlagSecondField : 0) | extraFlags);
        return action(actionRender);
    }

    Yuv outputPixel(int row, int x) const
    {
        const size_t plane = static_cast<size_t>(width) * height;
        const size_t at = static_cast<size_t>(row) * width + x;
        return {output[at], output[plane + at], output[2 * plane + at]};
    }
};

// clipLength 8, two pages of 4 fields. Image accounting: every field hands out
// the field and the background (both taken back) plus, on the first field of
// a page, one line image per letter, which stay until the page changes.
TEST_F(FieldRenderTest, LettersAndScenesAreLoadedOncePerPage)
{
    useTitle(titleJson({{letter(0), letter(512)}, {letter(0)}}));
    request.clipLength = 8;
    effectSettings.inScene = 0;
    effectSettings.outScene = 8;
    ASSERT_EQ(action(actionInitialise), 0);

    ASSERT_EQ(renderAt(0), 0);
    EXPECT_EQ(scenesLoaded, 1);
    EXPECT_EQ(currentPage, 0u);
    EXPECT_EQ(standin::imageCounts().handedOut, 4u);
    EXPECT_EQ(standin::imageCounts().outstanding, 2u);
    EXPECT_STREQ(scenePath, (sceneDirectory + "buchstabe_048.sce").c_str());

    // A new scene choice takes effect only at the next selection.
    effectSettings.outScene = 0;
    ASSERT_EQ(renderAt(1), 0);
    ASSERT_EQ(renderAt(3), 0);
    EXPECT_EQ(standin::imageCounts().handedOut, 8u);
    EXPECT_EQ(standin::imageCounts().outstanding, 2u);
    EXPECT_STREQ(scenePath, (sceneDirectory + "buchstabe_048.sce").c_str());

    // Page 1: the two pictures of page 0 go back, one new picture is fetched.
    ASSERT_EQ(renderAt(4), 0);
    EXPECT_EQ(currentPage, 1u);
    EXPECT_EQ(standin::imageCounts().handedOut, 11u);
    EXPECT_EQ(standin::imageCounts().takenBack, 10u);
    EXPECT_EQ(standin::imageCounts().outstanding, 1u);
    EXPECT_STREQ(scenePath, (sceneDirectory + "buchstabe_021.sce").c_str());

    EXPECT_EQ(action(actionRelease), 0);
    EXPECT_EQ(standin::imageCounts().outstanding, 0u);
    EXPECT_EQ(standin::fieldsPut(), 4u);
}

// The coverage buffer is filled with a sentinel and the tile too; a letter is
// drawn in the hold. Only a full render with edge antialiasing clears the
// coverage (leaving only the 0 and 0xFF the fill writes) and uses the tile.
TEST_F(FieldRenderTest, DraftAndAntialiasingOffSkipClearingAndTheEdgePass)
{
    struct Case {
        int antialiasing;
        bool draft;
        bool edgePass;
    };
    const Case cases[] = {{0, false, false}, {1, true, false}, {2, true, false}, {1, false, true}};
    useTitle(titleJson({{letter(0)}}));
    request.clipLength = 2;
    request.aspectNum = 1;
    request.aspectDen = 1;
    effectSettings.inDuration = 0;
    effectSettings.outDuration = 0;
    constexpr uint8_t sentinel = 0x5A;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "antialiasing " << c.antialiasing << " draft " << c.draft);
        effectSettings.antialiasing = c.antialiasing;
        ASSERT_EQ(action(actionInitialise), 0);
        const size_t framePixels = static_cast<size_t>(width) * height;
        const size_t tileBytes = static_cast<size_t>(renderContext.aaFactor) * renderContext.aaFactor * 24;
        std::memset(renderContext.coverageBuffer, sentinel, framePixels);
        if (tileBytes != 0)
            std::memset(renderContext.sampleTile, sentinel, tileBytes);

        ASSERT_EQ(renderAt(0, c.draft ? requestFlagDraft : 0), 0);

        size_t untouched = 0, marks = 0;
        for (size_t k = 0; k < framePixels; ++k) {
            untouched += renderContext.coverageBuffer[k] == sentinel;
            marks += renderContext.coverageBuffer[k] == 0xFF;
        }
        EXPECT_GT(marks, 0u) << "the letter was drawn";
        size_t tileUntouched = 0;
        for (size_t k = 0; k < tileBytes; ++k)
            tileUntouched += renderContext.sampleTile[k] == sentinel;
        if (c.edgePass) {
            EXPECT_EQ(untouched, 0u);
            EXPECT_LT(tileUntouched, tileBytes);
        } else {
            EXPECT_GT(untouched, 0u);
            EXPECT_EQ(tileUntouched, tileBytes);
        }
        ASSERT_EQ(action(actionRelease), 0);
    }
}

// A position outside 0..8 keeps the previous field's x and y; z is always -5.
TEST_F(FieldRenderTest, LightPositionOutsideTheTableKeepsThePreviousLight)
{
    useTitle(titleJson({{letter(0)}}));
    request.clipLength = 8;
    ASSERT_EQ(action(actionInitialise), 0);
    for (int outside : {9, -1, INT_MAX}) {
        SCOPED_TRACE(outside);
        effectSettings.lightPosition = 2;
        ASSERT_EQ(renderAt(0), 0);
        fieldLight[2] = 0.0;
        effectSettings.lightPosition = outside;
        ASSERT_EQ(renderAt(1), 0);
        EXPECT_EQ(fieldLight[0], 3.6);
        EXPECT_EQ(fieldLight[1], -2.88);
        EXPECT_EQ(fieldLight[2], -5.0);
        for (const SceneDrawRecord& record : sceneDrawRecords) {
            EXPECT_EQ(record.drawLight[0], 3.6);
            EXPECT_EQ(record.drawLight[1], -2.88);
            EXPECT_EQ(record.drawLight[2], -5.0);
        }
    }
    effectSettings.lightPosition = 6;
    ASSERT_EQ(renderAt(2), 0);
    EXPECT_EQ(fieldLight[0], -3.6);
    EXPECT_EQ(fieldLight[1], 2.88);
}

TEST_F(FieldRenderTest, ShadingModeOutsideTheRangeKeepsThePreviousSwitches)
{
    struct Case {
        int before, after;
        int32_t flat, pixel;
    };
    const Case cases[] = {{1, 3, 1, 0}, {2, -1, 0, 1}, {0, 7, 0, 0}, {1, 2, 0, 1}};
    useTitle(titleJson({{letter(0)}}));
    request.clipLength = 8;
    ASSERT_EQ(action(actionInitialise), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " then " << c.after);
        effectSettings.shadingMode = c.before;
        ASSERT_EQ(renderAt(0), 0);
        effectSettings.shadingMode = c.after;
        ASSERT_EQ(renderAt(1), 0);
        EXPECT_EQ(renderContext.flatLighting, c.flat);
        EXPECT_EQ(renderContext.pixelLighting, c.pixel);
    }
}

// clipLength 8, durations 1: in phase 0..1, hold 2..5, out 6..7. In the hold
// the out scene is drawn at 16.666666 with the out mirror mode: outMirror 1
// turns rotationY 30 into -30 and mirrors the drawing. The in phase draws the
// in scene with inMirror 0; position 1 has fraction 0.5, progress 0.75, time 12.5.
TEST_F(FieldRenderTest, HoldDrawsTheOutSceneAtItsEnd)
{
    useTitle(titleJson({{letter(0)}}));
    request.clipLength = 8;
    effectSettings.inDuration = 1;
    effectSettings.outDuration = 1;
    effectSettings.inMirror = 0;
    effectSettings.outMirror = 1;
    effectSettings.rotationY = 30;
    ASSERT_EQ(action(actionInitialise), 0);

    ASSERT_EQ(renderAt(3), 0);
    EXPECT_EQ(sceneTable[1].sceneTime, 16.666666f);
    EXPECT_EQ(sceneTable[0].sceneTime, 16.666666f);
    EXPECT_EQ(renderContext.mirrorX, 1);
    EXPECT_EQ(renderContext.baseRotY, -30.0);
    EXPECT_EQ(sceneDrawRecords[1].sceneIndex, 1);
    EXPECT_EQ(sceneDrawRecords[1].drawMirrorX, 1);
    EXPECT_EQ(sceneDrawRecords[1].drawMirrorY, 0);
    EXPECT_EQ(sceneDrawRecords[0].sceneIndex, 0);
    EXPECT_EQ(sceneDrawRecords[0].drawMirrorX, 0);

    ASSERT_EQ(renderAt(1), 0);
    EXPECT_EQ(renderContext.mirrorX, 0);
    EXPECT_EQ(renderContext.baseRotY, 30.0);
    EXPECT_EQ(sceneTable[0].sceneTime, 12.5f);
}

// clipLength 8, durations 1: in phase 0..1; position 1 has fraction 0.5, so
// letter i of 2 has progress 0.75 - (i * 0.5) / 2. The scene time left behind
// is that of the last letter drawn: a blank is never drawn but its number counts.
TEST_F(FieldRenderTest, InklessLetterIsSkippedButCountsInTheStagger)
{
    struct Case {
        bool firstInked, secondInked;
        float sceneTime;
    };
    const Case cases[] = {
        {false, true, 0x1.0aaaaap+3f},  // letter 1 at 0.5: 8.333333
        {true, false, 12.5f},           // letter 0 at 0.75; letter 1 not drawn
    };
    request.clipLength = 8;
    effectSettings.inDuration = 1;
    effectSettings.outDuration = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sceneTime);
        useTitle(titleJson({{letter(0, c.firstInked), letter(256, c.secondInked)}}));
        ASSERT_EQ(action(actionInitialise), 0);
        ASSERT_EQ(renderAt(1), 0);
        EXPECT_EQ(sceneTable[0].sceneTime, c.sceneTime);
        ASSERT_EQ(action(actionRelease), 0);
        standin::freeTitle(title);
        title = nullptr;
    }
}

// Through the whole field without letters: {Cr 240, Cb 90, Y 81} becomes blue
// 13, green 14, red 238 (see the layout test for the steps) and comes back as
// Y = (71.162 + 8.218) + 1.482 = 80.86 -> 80, Cr = ((119 - 5.862) - 1.057) + 128
// = 240.08 -> 240, Cb = (6.5 - (40.159 + 4.638)) + 128 = 89.70 -> 89; grey 128
// goes there and back unchanged. Both frame lines of a field line get the pixel.
TEST_F(FieldRenderTest, FieldIsConvertedThereAndBack)
{
    setClip(4, 2, 1, [](int, int row, int x) {
        if (row == 1)
            return Yuv{128, 128, 128};
        return x % 2 ? Yuv{81, 90, 240} : Yuv{128, 128, 128};
    });
    useTitle(titleJson({{}}));
    request.clipLength = 2;
    ASSERT_EQ(action(actionInitialise), 0);

    ASSERT_EQ(renderAt(0), 0);
    for (int line = 0; line < 2; ++line)
        for (int x = 0; x < 4; ++x) {
            const uint8_t* p = renderContext.colourBuffer + (line * 4 + x) * 4;
            const std::vector<int> expected = x % 2 ? std::vector<int>{13, 14, 238, 0}
                                                    : std::vector<int>{128, 128, 128, 0};
            EXPECT_EQ(std::vector<int>(p, p + 4), expected) << "line " << line << " x " << x;
        }
    for (int x = 0; x < 4; ++x) {
        const Yuv p = outputPixel(0, x);
        const Yuv expected = x % 2 ? Yuv{80, 89, 240} : Yuv{128, 128, 128};
        EXPECT_EQ(p.y, expected.y) << x;
        EXPECT_EQ(p.cb, expected.cb) << x;
        EXPECT_EQ(p.cr, expected.cr) << x;
    }
    // The second field fills only the odd output line.
    const std::vector<uint8_t> evenLine(output.begin(), output.begin() + 4);
    ASSERT_EQ(renderAt(1), 0);
    EXPECT_EQ(std::vector<uint8_t>(output.begin(), output.begin() + 4), evenLine);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(outputPixel(1, x).y, 128) << x;
}

// With the second-field flag the field's line k comes from frame line 2k + 1,
// otherwise from 2k. Frame lines 0 and 1 are made to differ after the input.
TEST_F(FieldRenderTest, SecondFieldTakesTheOddFrameLines)
{
    setClip(2, 4, 1, [](int, int, int) { return Yuv{16, 128, 128}; });
    ASSERT_EQ(action(actionInitialise), 0);
    for (bool second : {false, true}) {
        SCOPED_TRACE(second);
        FieldInput input;
        ASSERT_EQ(fetchFieldInput(second ? 1 : 0, input), 0);
        const uint8_t red[4] = {13, 14, 238, 0}, grey[4] = {128, 128, 128, 0};
        for (int line = 0; line < 4; ++line)
            for (int x = 0; x < 2; ++x)
                std::memcpy(renderContext.colourBuffer + (line * 2 + x) * 4, line % 2 ? grey : red, 4);
        ASSERT_EQ(deliverField(input, second), 0);
        // Output lines of this field's parity: 0 and 2, or 1 and 3.
        for (int k = 0; k < 2; ++k) {
            const Yuv p = outputPixel(2 * k + (second ? 1 : 0), 0);
            EXPECT_EQ(p.y, second ? 128 : 80);
            EXPECT_EQ(p.cr, second ? 128 : 240);
        }
    }
    EXPECT_EQ(standin::imageCounts().outstanding, 0u);
}

// Unknown action codes answer 0 and leave every piece of state as it was,
// inside a render bracket as well as outside one.
TEST_F(FieldRenderTest, UnknownActionCodesChangeNothing)
{
    useTitle(titleJson({{letter(0)}}));
    request.clipLength = 8;
    for (bool bracket : {false, true}) {
        SCOPED_TRACE(bracket);
        if (bracket) {
            ASSERT_EQ(action(actionInitialise), 0);
            ASSERT_EQ(renderAt(0), 0);
        }
        std::vector<uint8_t> context(sizeof renderContext);
        std::memcpy(context.data(), &renderContext, sizeof renderContext);
        const EffectSettings settings = effectSettings;
        const int32_t loaded = scenesLoaded;
        const uint32_t page = currentPage;
        const Scene in = sceneTable[0], out = sceneTable[1];
        const uint64_t logged = standin::logMessageCount();
        const standin::ImageCounts images = standin::imageCounts();
        const std::string scene = scenePath;

        for (uint16_t code : {0, 5, 6, 8, 9, 100, 0xFFFF}) {
            SCOPED_TRACE(code);
            EXPECT_EQ(action(code), 0);
            EXPECT_EQ(std::memcmp(context.data(), &renderContext, sizeof renderContext), 0);
            EXPECT_EQ(std::memcmp(&settings, &effectSettings, sizeof settings), 0);
            EXPECT_EQ(scenesLoaded, loaded);
            EXPECT_EQ(currentPage, page);
            EXPECT_EQ(sceneTable[0].slotImage, in.slotImage);
            EXPECT_EQ(sceneTable[1].slotImage, out.slotImage);
            EXPECT_EQ(standin::logMessageCount(), logged);
            EXPECT_EQ(standin::imageCounts().handedOut, images.handedOut);
            EXPECT_EQ(standin::imageCounts().takenBack, images.takenBack);
            EXPECT_EQ(scenePath, scene);
        }
        if (bracket) {
            ASSERT_EQ(action(actionRelease), 0);
        }
    }
}

TEST_F(FieldRenderTest, ReleaseWithoutInitialiseFreesNothing)
{
    ASSERT_EQ(renderContext.colourBuffer, nullptr);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(action(actionRelease), 0);
        EXPECT_EQ(renderContext.colourBuffer, nullptr);
        EXPECT_EQ(renderContext.coverageBuffer, nullptr);
        EXPECT_EQ(renderContext.sampleTile, nullptr);
        EXPECT_EQ(renderContext.projectedPoints, nullptr);
        EXPECT_EQ(renderContext.worldPoints, nullptr);
    }
    EXPECT_EQ(standin::imageCounts().handedOut, 0u);
    EXPECT_EQ(standin::imageCounts().takenBack, 0u);
}

// The tile holds factor * factor * 24 bytes: 4 -> 384, 8 -> 1536, 0 -> none.
// A setting of 3 keeps the factor in force.
TEST_F(FieldRenderTest, AntialiasingSettingSizesTheSampleTile)
{
    struct Case {
        int antialiasing;
        int32_t factor;
        size_t tileBytes;
    };
    const Case sequence[] = {{1, 4, 384}, {2, 8, 1536}, {3, 8, 1536}, {0, 0, 0}, {3, 0, 0}, {1, 4, 384}};
    for (const Case& c : sequence) {
        SCOPED_TRACE(c.antialiasing);
        effectSettings.antialiasing = c.antialiasing;
        ASSERT_EQ(action(actionInitialise), 0);
        EXPECT_EQ(renderContext.aaFactor, c.factor);
        if (c.tileBytes == 0) {
            EXPECT_EQ(renderContext.sampleTile, nullptr);
        } else {
            ASSERT_NE(renderContext.sampleTile, nullptr);
            EXPECT_GE(malloc_usable_size(renderContext.sampleTile), c.tileBytes);
            std::memset(renderContext.sampleTile, 0, c.tileBytes);  // the sanitizer build checks the size
        }
        ASSERT_EQ(action(actionRelease), 0);
    }
}

}  // namespace
