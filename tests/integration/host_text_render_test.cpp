// zask render in its everyday mode (text, any chroma, PNG and ffmpeg output,
// settings by name) and zask demo, run as a user runs them.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/host/picture.h"
#include "tools/host/video_io.h"
#include "tests/integration/run_host.h"

namespace fs = std::filesystem;

namespace {

using zask_test::RunResult;
using zask_test::readFile;
using zask_test::runHost;

struct TextRenderTest : testing::Test {
    fs::path dir;
    void SetUp() override {
        dir = zask_test::freshTestFolder("text_render");
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    RunResult run(const std::vector<std::string>& args) const { return runHost(args, dir); }
};

// A flat clip of the given chroma: every plane one value.
void writeFlatClip(const std::string& path, const std::string& tag, const std::string& interlace, int w, int h,
                   int frames, size_t frameBytes, size_t lumaBytes) {
    std::string data = "YUV4MPEG2 W" + std::to_string(w) + " H" + std::to_string(h) + " F25:1 I" + interlace +
                       " A1:1 C" + tag + "\n";
    for (int f = 0; f < frames; ++f) {
        data += "FRAME\n";
        std::string frame(frameBytes, static_cast<char>(70));
        for (size_t i = lumaBytes; i < frameBytes; ++i) frame[i] = static_cast<char>(i < lumaBytes + (frameBytes - lumaBytes) / 2 ? 100 : 170);
        data += frame;
    }
    std::ofstream(path, std::ios::binary) << data;
}

struct FlatCase {
    const char* tag;
    const char* interlace;
    size_t frameBytes;  // for 32x16
};

class FlatClip : public TextRenderTest, public testing::WithParamInterface<FlatCase> {};

TEST_P(FlatClip, PassesThroughThePlugInUnchangedInItsOwnChroma) {
    const auto& c = GetParam();
    writeFlatClip(path("in.y4m"), c.tag, c.interlace, 32, 16, 3, c.frameBytes, 32 * 16);
    // A blank title: the plug-in draws nothing, so only the chroma round trip shows.
    RunResult r = run({"render", "--text", " ", "--input", path("in.y4m"), "--output", path("out.y4m"), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string in = readFile(path("in.y4m")), out = readFile(path("out.y4m"));
    ASSERT_EQ(out.size(), in.size());
    const size_t headerEnd = in.find('\n') + 1;
    EXPECT_EQ(out.substr(0, headerEnd), in.substr(0, headerEnd));
    // The plug-in's own conversion through RGB may move a level by one;
    // every plane stays flat.
    const size_t luma = 32 * 16, chroma = (c.frameBytes - luma) / 2;
    for (size_t frame = 0; frame < 3; ++frame) {
        const size_t base = headerEnd + frame * (6 + c.frameBytes) + 6;
        ASSERT_EQ(out.substr(base - 6, 6), "FRAME\n");
        for (size_t plane = 0; plane < (chroma == 0 ? 1u : 3u); ++plane) {
            const size_t start = base + (plane == 0 ? 0 : luma + (plane - 1) * chroma);
            const size_t size = plane == 0 ? luma : chroma;
            const unsigned char first = static_cast<unsigned char>(out[start]);
            EXPECT_NEAR(first, static_cast<unsigned char>(in[start]), 1) << "frame " << frame << " plane " << plane;
            size_t differing = 0;
            for (size_t i = 0; i < size; ++i) differing += static_cast<unsigned char>(out[start + i]) != first;
            EXPECT_EQ(differing, 0u) << "frame " << frame << " plane " << plane;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Chroma, FlatClip,
                         testing::Values(FlatCase{"420jpeg", "t", 768}, FlatCase{"420mpeg2", "b", 768},
                                         FlatCase{"420paldv", "t", 768}, FlatCase{"420", "p", 768},
                                         FlatCase{"422", "t", 1024}, FlatCase{"444", "t", 1536},
                                         FlatCase{"mono", "t", 512}),
                         [](const auto& info) { return std::string(info.param.tag) + "_I" + info.param.interlace; });

TEST_F(TextRenderTest, TextOverA420ClipDrawsLettersAndKeepsTheFormat) {
    writeFlatClip(path("in.y4m"), "420jpeg", "t", 160, 120, 8, 160 * 120 * 3 / 2, 160 * 120);
    RunResult r = run({"render", "--text", "HI", "--size", "40", "--set", "inDuration=2", "--set", "outDuration=2",
                       "--input", path("in.y4m"), "--output", path("out.y4m"), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string in = readFile(path("in.y4m")), out = readFile(path("out.y4m"));
    ASSERT_EQ(out.size(), in.size());
    EXPECT_EQ(out.substr(0, out.find('\n')), "YUV4MPEG2 W160 H120 F25:1 It A1:1 C420jpeg");
    EXPECT_NE(out, in) << "the letters are drawn";
}

TEST_F(TextRenderTest, PngFramesAndTheContactSheetAreReadable) {
    RunResult r = run({"render", "--text", "AB", "--background", "bars", "--size", "96x64", "--duration", "0.2",
                       "--output", path("f.png"), "--contact-sheet", path("sheet.png"), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int k = 0; k < 5; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "f-%04d.png", k);
        zask::RgbPicture picture;
        std::string error;
        ASSERT_TRUE(zask::readPng(path(name), picture, error)) << error;
        EXPECT_EQ(picture.width, 96);
        EXPECT_EQ(picture.height, 64);
    }
    EXPECT_FALSE(fs::exists(path("f-0005.png")));
    zask::RgbPicture sheet;
    std::string error;
    ASSERT_TRUE(zask::readPng(path("sheet.png"), sheet, error)) << error;
    EXPECT_GT(sheet.width, 96);
}

TEST_F(TextRenderTest, FfmpegRoundTrip) {
    if (zask::findFfmpeg().empty()) GTEST_SKIP() << "the ffmpeg program is not installed";
    RunResult r = run({"render", "--text", "OK", "--background", "gradient", "--size", "128x96", "--duration", "0.4",
                       "--output", path("clip.mkv"), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(fs::exists(path("clip.mkv")));
    // Back in through ffmpeg: the same frame size, and frames (twice as
    // many, one per field).
    r = run({"render", "--text", " ", "--input", path("clip.mkv"), "--output", path("back.y4m"), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string back = readFile(path("back.y4m"));
    EXPECT_EQ(back.rfind("YUV4MPEG2 W128 H96 ", 0), 0u) << back.substr(0, 60);
    size_t frames = 0;
    for (size_t at = back.find("FRAME"); at != std::string::npos; at = back.find("FRAME", at + 1)) ++frames;
    EXPECT_EQ(frames, 20u);
}

TEST_F(TextRenderTest, SettingsByNameAreSavedAsAPreset) {
    RunResult r = run({"render", "--set", "inScene=3", "--set", "shadingMode=1", "--save-settings", path("p.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string bytes = readFile(path("p.bin"));
    ASSERT_EQ(bytes.size(), 68u);
    auto word = [&](int i) {
        int32_t v;
        std::memcpy(&v, bytes.data() + 4 * i, 4);
        return v;
    };
    EXPECT_EQ(word(0), 1);
    EXPECT_EQ(word(10), 3);
    EXPECT_EQ(word(1), 100) << "the plug-in's defaults stay";
    // The preset read back with one more change.
    r = run({"render", "--settings", path("p.bin"), "--set", "outScene=2", "--save-settings", path("q.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string again = readFile(path("q.bin"));
    EXPECT_EQ(again.substr(0, 40), bytes.substr(0, 40));
    EXPECT_EQ(again[44], 2);
}

struct ErrorCase {
    const char* name;
    std::vector<std::string> args;
    std::string message;
};

class TextRenderErrors : public TextRenderTest, public testing::WithParamInterface<ErrorCase> {};

TEST_P(TextRenderErrors, AreOneLineNamingTheProblemWithStatus2) {
    std::ofstream(path("short.bin")) << "abc";
    std::ofstream(path("bad.y4m")) << "YUV4MPEG2 W8 H6 C420p10\nFRAME\n";
    std::vector<std::string> args = {"render"};
    for (std::string a : GetParam().args) {
        if (a.rfind("@", 0) == 0) a = path(a.substr(1));
        args.push_back(a);
    }
    RunResult r = run(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(fs::exists(path("o.y4m")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextRenderErrors,
    testing::Values(
        ErrorCase{"no_output", {"--text", "A"}, "missing option --output"},
        ErrorCase{"no_text", {"--output", "@o.y4m"}, "missing option --text"},
        ErrorCase{"bad_variant", {"--text", "A", "--variant", "zask7", "--output", "@o.y4m"}, "--variant zask7: expected zask1 to zask6"},
        ErrorCase{"bad_set", {"--text", "A", "--set", "speed=3", "--output", "@o.y4m"}, "unknown setting 'speed'"},
        ErrorCase{"bad_colour", {"--text", "A", "--colour", "#12", "--output", "@o.y4m"}, "--colour #12: expected #RRGGBB"},
        ErrorCase{"bad_align", {"--text", "A", "--align", "middle", "--output", "@o.y4m"}, "--align middle"},
        ErrorCase{"bad_position", {"--text", "A", "--position", "up", "--output", "@o.y4m"}, "--position up"},
        ErrorCase{"bad_frame_size", {"--text", "A", "--size", "64x63", "--output", "@o.y4m"}, "the height must be even"},
        ErrorCase{"bad_text_size", {"--text", "A", "--size", "huge", "--output", "@o.y4m"}, "--size huge"},
        ErrorCase{"both_inputs", {"--text", "A", "--input", "@x.y4m", "--background", "bars", "--output", "@o.y4m"}, "given both"},
        ErrorCase{"bad_background", {"--text", "A", "--background", "plaid", "--output", "@o.y4m"}, "--background plaid"},
        ErrorCase{"bad_duration", {"--text", "A", "--duration", "-1", "--output", "@o.y4m"}, "--duration -1"},
        ErrorCase{"bad_rate", {"--text", "A", "--rate", "25:0", "--output", "@o.y4m"}, "--rate 25:0"},
        ErrorCase{"missing_input", {"--text", "A", "--input", "@none.y4m", "--output", "@o.y4m"}, "none.y4m: cannot open"},
        ErrorCase{"unsupported_chroma", {"--text", "A", "--input", "@bad.y4m", "--output", "@o.y4m"}, "colour space C420p10"},
        ErrorCase{"short_preset", {"--text", "A", "--settings", "@short.bin", "--output", "@o.y4m"}, "3 bytes"},
        ErrorCase{"missing_font", {"--text", "A", "--font", "/no/font.ttf", "--output", "@o.y4m"}, "/no/font.ttf"},
        ErrorCase{"bad_png_name", {"--text", "A", "--output", "@o-%s.png"}, "%d"},
        ErrorCase{"frames_outside", {"--text", "A", "--duration", "0.2", "--frames", "2:9", "--output", "@o.y4m"}, "outside the clip"},
        ErrorCase{"unknown_option", {"--text", "A", "--speed", "3"}, "unknown option --speed"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextRenderTest, HelpDescribesBothModes) {
    RunResult r = run({"render", "--help"});
    ASSERT_EQ(r.status, 0);
    for (const char* option : {"--text", "--variant", "--set NAME=VALUE", "--save-settings", "--background",
                               "--contact-sheet", "--title TITLE.json", "--quiet"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
}

TEST_F(TextRenderTest, DemoWritesAClipPerVariantAndASheet) {
    RunResult r = run({"demo", "--output-dir", path("demo"), "--size", "128x72", "--duration", "0.6", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string extension = zask::findFfmpeg().empty() ? ".y4m" : ".mp4";
    for (int n = 1; n <= 6; ++n)
        EXPECT_TRUE(fs::exists(path("demo/zask" + std::to_string(n) + extension))) << n;
    zask::RgbPicture sheet;
    std::string error;
    ASSERT_TRUE(zask::readPng(path("demo/contact-sheet.png"), sheet, error)) << error;
    EXPECT_GT(sheet.height, sheet.width / 4) << "six rows";
}

}  // namespace
