// The filters' own pieces: the frame clock, the title's pages, the
// parameters and the plan made of them.
#include <gtest/gtest.h>

extern "C" {
#include <frei0r.h>
}

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frei0r/filter_params.h"
#include "frei0r/frame_clock.h"
#include "frei0r/render_plan.h"
#include "frei0r/rgba_frames.h"
#include "frei0r/title_text.h"
#include "tools/host/settings_names.h"

namespace zask::frei0r {
namespace {

struct ClockCase {
    const char* what;
    std::vector<double> times;
    std::vector<long long> frames;
};

TEST(FrameClock, CountsFramesAndFollowsSeeks) {
    const double noTime = -3.6893488147419103e20;
    const ClockCase cases[] = {
        {"milliseconds", {0, 40, 80, 120}, {0, 1, 2, 3}},
        {"seconds from 10", {10.0, 10.04, 10.08, 10.12}, {0, 1, 2, 3}},
        {"seek back", {0, 40, 80, 120, 40, 80}, {0, 1, 2, 3, 1, 2}},
        {"seek forward", {0, 40, 400, 440}, {0, 1, 10, 11}},
        {"seek before the start", {1000, 1040, 920}, {0, 1, -2}},
        {"the same frame again", {0, 40, 80, 80}, {0, 1, 2, 2}},
        {"jitter within half a step", {0, 40, 79, 121}, {0, 1, 2, 3}},
        {"no time at all", {noTime, noTime, noTime}, {0, 1, 2}},
        {"not a number", {0, std::nan(""), 80}, {0, 1, 2}},
        {"a time only later", {noTime, noTime, 80, 120, 200}, {0, 1, 2, 3, 5}},
        {"falling before a step is known", {80, 40, 80, 120}, {0, 0, 1, 2}},
    };
    for (const ClockCase& c : cases) {
        FrameClock clock;
        std::vector<long long> got;
        for (double t : c.times) got.push_back(advanceClock(clock, t));
        EXPECT_EQ(got, c.frames) << c.what;
    }
}

TEST(TitleText, PagesAndLines) {
    struct Case {
        const char* text;
        std::vector<std::vector<std::string>> pages;
    };
    const Case cases[] = {
        {"HELLO", {{"HELLO"}}},
        {"HELLO\\nWORLD", {{"HELLO", "WORLD"}}},
        {"HELLO\nWORLD\\pZASK", {{"HELLO", "WORLD"}, {"ZASK"}}},
        {"ONE\fTWO\fTHREE", {{"ONE"}, {"TWO"}, {"THREE"}}},
        {"A\\\\pB", {{"A\\pB"}}},  // an escaped backslash is no page break
        {"A\\qB", {{"A\\qB"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(splitPages(c.text), c.pages) << c.text;
}

FilterValues defaultValues() {
    FilterValues v;
    const int32_t words[17] = {2, 100, 4, static_cast<int32_t>(0x7A8080FF), 2, 50, 0, 0, 0, 0, 0, 0, 0, 0, 100, 50, 50};
    for (int i = 0; i < 17; ++i) std::memcpy(v.block + 4 * i, &words[i], 4);
    return v;
}

int indexOf(const char* name) {
    for (int i = 0; i < paramCount; ++i)
        if (std::strcmp(paramInfo(i).name, name) == 0) return i;
    return -1;
}

TEST(FilterParams, EverySettingWordButTheReservedOneHasAParameter) {
    for (int word = 0; word < 17; ++word) {
        int param = indexOf(settingNames[word]);
        if (word == 5) EXPECT_EQ(param, -1);
        else {
            ASSERT_GE(param, 0) << settingNames[word];
            EXPECT_EQ(settingWordOf(param), word);
        }
    }
}

TEST(FilterParams, SetAndGetEveryKind) {
    FilterValues v = defaultValues();
    const char* text = "HI\\pTHERE";
    EXPECT_TRUE(setParam(v, indexOf("text"), &text));
    EXPECT_FALSE(setParam(v, indexOf("text"), &text)) << "the same value again is no change";
    const char* back = nullptr;
    getParam(v, indexOf("text"), &back);
    EXPECT_STREQ(back, text);

    double seconds = 2.5;
    EXPECT_TRUE(setParam(v, indexOf("length"), &seconds));
    double read = 0;
    getParam(v, indexOf("length"), &read);
    EXPECT_EQ(read, 2.5);

    double draft = 1.0;
    EXPECT_TRUE(setParam(v, indexOf("draft"), &draft));
    EXPECT_TRUE(v.draft);

    double scene = 3.4;  // rounded to the nearest whole number
    EXPECT_TRUE(setParam(v, indexOf("inScene"), &scene));
    EXPECT_EQ(settingWord(v.block, 10), 3);
    double rotation = -45;
    EXPECT_TRUE(setParam(v, indexOf("rotationZ"), &rotation));
    EXPECT_EQ(settingWord(v.block, 9), -45);

    // The light colour is stored as Y, Cb, Cr in bytes 3, 2, 1; byte 0 stays.
    f0r_param_color_t grey = {122 / 255.0f, 122 / 255.0f, 122 / 255.0f};
    EXPECT_FALSE(setParam(v, indexOf("lightColour"), &grey)) << "the default grey is no change";
    f0r_param_color_t red = {1.0f, 0.0f, 0.0f};
    EXPECT_TRUE(setParam(v, indexOf("lightColour"), &red));
    EXPECT_EQ(static_cast<uint32_t>(settingWord(v.block, 3)), 0x4C55FFFFu);  // Y 76, Cb 85, Cr 255
    f0r_param_color_t colour{};
    getParam(v, indexOf("lightColour"), &colour);
    EXPECT_NEAR(colour.r, 1.0f, 1.5f / 255);
    EXPECT_NEAR(colour.g, 0.0f, 1.5f / 255);
    EXPECT_NEAR(colour.b, 0.0f, 1.5f / 255);
}

TEST(RenderPlan, TimingAndFieldOrder) {
    FilterValues v = defaultValues();
    v.start = 1.0;
    v.length = 4.0;
    v.rate = 25.0;
    v.fieldOrder = "bottom";
    RenderPlan plan;
    std::string error;
    ASSERT_TRUE(makePlan(v, 720, 576, plan, error)) << error;
    EXPECT_EQ(plan.startFrame, 25);
    EXPECT_EQ(plan.lengthFrames, 100);
    EXPECT_EQ(plan.order, FieldOrder::bottomFirst);
}

TEST(RenderPlan, RefusesWhatCannotRender) {
    struct Case {
        const char* what;
        void (*change)(FilterValues&);
        int height;
        const char* errorStart;
    };
    const Case cases[] = {
        {"odd height", [](FilterValues&) {}, 575, "frame 720x575"},
        {"no rate", [](FilterValues& v) { v.rate = 0; }, 576, "rate"},
        {"no length", [](FilterValues& v) { v.length = 0.01; }, 576, "length"},
        {"negative start", [](FilterValues& v) { v.start = -1; }, 576, "start"},
        {"field order", [](FilterValues& v) { v.fieldOrder = "sideways"; }, 576, "fieldOrder"},
        {"unknown setting", [](FilterValues& v) { v.settings = "inScene=1 colour=3"; }, 576, "settings: colour=3"},
        {"missing preset", [](FilterValues& v) { v.preset = "/nonexistent/preset"; }, 576, "preset: "},
    };
    for (const Case& c : cases) {
        FilterValues v = defaultValues();
        c.change(v);
        RenderPlan plan;
        std::string error;
        EXPECT_FALSE(makePlan(v, 720, c.height, plan, error)) << c.what;
        EXPECT_EQ(error.rfind(c.errorStart, 0), 0u) << c.what << ": " << error;
    }
}

TEST(RenderPlan, PresetReplacesTheSettingParametersAndTheSettingsStringEditsIt) {
    const std::string path = ::testing::TempDir() + "/frei0r_plan_preset";
    uint8_t preset[68] = {};
    preset[4 * 10] = 7;  // inScene 7
    preset[4 * 15] = 9;  // inDuration 9
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(preset, 1, sizeof preset, file), sizeof preset);
    std::fclose(file);

    FilterValues v = defaultValues();
    double scene = 2;
    setParam(v, indexOf("inScene"), &scene);
    double mirror = 3;
    setParam(v, indexOf("outMirror"), &mirror);
    RenderPlan plan;
    std::string error;
    ASSERT_TRUE(makePlan(v, 720, 576, plan, error)) << error;
    EXPECT_EQ(settingWord(plan.block, 10), 2);
    EXPECT_EQ(settingWord(plan.block, 13), 3);

    v.preset = path;
    v.settings = "inDuration=12, outScene:4";
    ASSERT_TRUE(makePlan(v, 720, 576, plan, error)) << error;
    EXPECT_EQ(settingWord(plan.block, 10), 7) << "the preset wins over the parameter";
    EXPECT_EQ(settingWord(plan.block, 13), 0) << "the preset wins over the parameter";
    EXPECT_EQ(settingWord(plan.block, 15), 12) << "the settings string edits the preset";
    EXPECT_EQ(settingWord(plan.block, 11), 4);
    std::remove(path.c_str());
}

TEST(RgbaFrames, ConversionKeepsAlphaAndRoundTripsGreys) {
    const int w = 4, h = 2;
    std::vector<uint8_t> rgba(w * h * 4), out(w * h * 4);
    for (int i = 0; i < w * h; ++i) {
        uint8_t v = static_cast<uint8_t>(i * 36);
        rgba[4 * i] = rgba[4 * i + 1] = rgba[4 * i + 2] = v;
        rgba[4 * i + 3] = static_cast<uint8_t>(255 - i);
    }
    std::vector<uint8_t> planes = rgbaToPlanar(rgba.data(), w, h);
    for (int i = 0; i < w * h; ++i) {
        EXPECT_EQ(planes[i], rgba[4 * i]) << "Y of a grey is its level";
        EXPECT_EQ(planes[w * h + i], 128);
        EXPECT_EQ(planes[2 * w * h + i], 128);
    }
    planarToRgba(planes, rgba.data(), out.data(), w, h);
    EXPECT_EQ(out, rgba);
}

}  // namespace
}  // namespace zask::frei0r
