// Chroma conversions, colours, settings by name, PNG files and the contact
// sheet of the host program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/host/contact_sheet.h"
#include "tools/host/picture.h"
#include "tools/host/render_job.h"
#include "tools/host/settings_names.h"
#include "tools/host/video_io.h"

namespace {

using zask::Chroma;
using zask::Interlace;
using zask::VideoFormat;

struct ChromaCase {
    Chroma chroma;
    Interlace interlace;
    int width, height;
    const char* name;
};

const ChromaCase chromaCases[] = {
    {Chroma::c420jpeg, Interlace::topFirst, 16, 8, "420jpeg_It"},
    {Chroma::c420mpeg2, Interlace::bottomFirst, 16, 8, "420mpeg2_Ib"},
    {Chroma::c420paldv, Interlace::topFirst, 16, 8, "420paldv_It"},
    {Chroma::c420, Interlace::progressive, 16, 8, "420_Ip"},
    {Chroma::c420jpeg, Interlace::topFirst, 15, 6, "420jpeg_odd_width_It"},
    {Chroma::c422, Interlace::topFirst, 16, 8, "422_It"},
    {Chroma::c444, Interlace::progressive, 16, 8, "444_Ip"},
    {Chroma::mono, Interlace::topFirst, 16, 8, "mono_It"},
};

class ChromaConversion : public testing::TestWithParam<ChromaCase> {};

TEST_P(ChromaConversion, AFlatFrameStaysFlatInAndOut) {
    const auto& c = GetParam();
    VideoFormat f;
    f.width = c.width;
    f.height = c.height;
    f.chroma = c.chroma;
    f.interlace = c.interlace;
    const size_t luma = static_cast<size_t>(c.width) * c.height;
    std::vector<uint8_t> native(zask::nativeFrameBytes(f), 90);
    for (size_t i = luma; i < native.size(); ++i) native[i] = i < luma + (native.size() - luma) / 2 ? 60 : 200;
    std::vector<uint8_t> planes = zask::toPlanar444(native.data(), f);
    ASSERT_EQ(planes.size(), 3 * luma);
    const bool mono = c.chroma == Chroma::mono;
    for (size_t i = 0; i < luma; ++i) {
        ASSERT_EQ(planes[i], 90);
        ASSERT_EQ(planes[luma + i], mono ? 128 : 60);
        ASSERT_EQ(planes[2 * luma + i], mono ? 128 : 200);
    }
    EXPECT_EQ(zask::fromPlanar444(planes, f), native);
}

TEST_P(ChromaConversion, ASmoothRampSurvivesTheRoundTrip) {
    const auto& c = GetParam();
    VideoFormat f;
    f.width = c.width;
    f.height = c.height;
    f.chroma = c.chroma;
    f.interlace = c.interlace;
    const size_t luma = static_cast<size_t>(c.width) * c.height;
    std::vector<uint8_t> planes(3 * luma);
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) planes[p * luma + y * c.width + x] = static_cast<uint8_t>(40 + 3 * x + 2 * (y / 2) + 20 * p);
    std::vector<uint8_t> back = zask::toPlanar444(zask::fromPlanar444(planes, f).data(), f);
    for (size_t i = 0; i < luma; ++i) ASSERT_EQ(back[i], planes[i]) << "luma is never filtered";
    if (c.chroma == Chroma::mono) return;
    for (size_t i = luma; i < 3 * luma; ++i) {
        const size_t x = (i % luma) % c.width;
        if (x == 0 || x + 1 == static_cast<size_t>(c.width)) continue;  // edges repeat their sample
        ASSERT_NEAR(back[i], planes[i], 2) << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ChromaConversion, testing::ValuesIn(chromaCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostVideo, HeaderNamesChromaAndFieldOrder) {
    VideoFormat f;
    f.width = 720;
    f.height = 576;
    f.interlace = Interlace::bottomFirst;
    f.chroma = Chroma::c420mpeg2;
    f.aspect = "16:15";
    EXPECT_EQ(zask::y4mHeader(f), "YUV4MPEG2 W720 H576 F25:1 Ib A16:15 C420mpeg2");
}

TEST(HostVideo, BottomFirstFramesAreHandedOverOneLineLowerAndComeBackWhole) {
    const int w = 3, h = 4;
    std::vector<uint8_t> frame(3 * w * h);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> padded = zask::padForBottomFirst(frame, w, h);
    ASSERT_EQ(padded.size(), static_cast<size_t>(3 * w * (h + 2)));
    // The plug-in's even lines (its first field) are the clip's odd lines.
    for (int p = 0; p < 3; ++p)
        for (int x = 0; x < w; ++x)
            for (int line = 1; line < h; line += 2)
                EXPECT_EQ(padded[(p * (h + 2) + line + 1) * w + x], frame[(p * h + line) * w + x]);
    EXPECT_EQ(zask::unpadBottomFirst(padded, w, h), frame);
}

TEST(HostColour, ConversionsRoundTripAndNamesParse) {
    for (zask::Rgb c : {zask::Rgb{255, 255, 255}, zask::Rgb{0, 0, 0}, zask::Rgb{255, 200, 60}, zask::Rgb{10, 120, 240}}) {
        zask::Rgb back = zask::toRgb(zask::toYCbCr(c));
        EXPECT_NEAR(back.r, c.r, 2);
        EXPECT_NEAR(back.g, c.g, 2);
        EXPECT_NEAR(back.b, c.b, 2);
    }
    struct Case {
        std::string text;
        bool ok;
        zask::Rgb rgb;
    };
    const Case cases[] = {{"#FF8000", true, {255, 128, 0}}, {"white", true, {255, 255, 255}}, {"Gold", true, {255, 190, 40}},
                          {"#FF80", false, {}},             {"#GG0000", false, {}},           {"mauve", false, {}}};
    for (const auto& c : cases) {
        auto rgb = zask::parseColour(c.text);
        ASSERT_EQ(rgb.has_value(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(std::vector<int>({rgb->r, rgb->g, rgb->b}), std::vector<int>({c.rgb.r, c.rgb.g, c.rgb.b}));
        }
    }
}

TEST(HostSettings, AssignmentsByNameTable) {
    struct Case {
        std::string assignment;
        bool ok;
        int index;
        int32_t value;
        std::string error;
    };
    const Case cases[] = {
        {"inScene=3", true, 10, 3, ""},
        {"shadingMode=1", true, 0, 1, ""},
        {"lightColour=0x7A8080FF", true, 3, static_cast<int32_t>(0x7A8080FF), ""},
        {"rotationZ=-45", true, 9, -45, ""},
        {"outDuration=300", true, 16, 300, ""},
        {"inscene=3", false, 0, 0, "unknown setting 'inscene'"},
        {"inScene", false, 0, 0, "expected NAME=VALUE"},
        {"inScene=three", false, 0, 0, "is not a 32-bit integer"},
        {"inScene=99999999999", false, 0, 0, "is not a 32-bit integer"},
        {"lightColour=0x1FFFFFFFF", false, 0, 0, "is not a 32-bit hex number"},
    };
    for (const auto& c : cases) {
        uint8_t block[68] = {};
        std::string error;
        ASSERT_EQ(zask::applySetting(block, c.assignment, error), c.ok) << c.assignment << ": " << error;
        if (c.ok)
            EXPECT_EQ(zask::settingWord(block, c.index), c.value) << c.assignment;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(HostPng, WrittenPicturesReadBackTheSame) {
    namespace fs = std::filesystem;
    fs::path dir = fs::path(ZASK_TEST_OUTPUT_DIR) / "host_png";
    fs::create_directories(dir);
    zask::RgbPicture picture(7, 5);
    for (size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = static_cast<uint8_t>(i * 37);
    std::string error;
    ASSERT_TRUE(zask::writePng((dir / "p.png").string(), picture, error)) << error;
    zask::RgbPicture back;
    ASSERT_TRUE(zask::readPng((dir / "p.png").string(), back, error)) << error;
    EXPECT_EQ(back.width, 7);
    EXPECT_EQ(back.height, 5);
    EXPECT_EQ(back.pixels, picture.pixels);
    std::ofstream(dir / "not.png") << "hello";
    EXPECT_FALSE(zask::readPng((dir / "not.png").string(), back, error));
    EXPECT_NE(error.find("not a PNG file"), std::string::npos) << error;
}

TEST(HostContactSheet, SamplesSpreadOverTheRangeAndTheSheetHoldsEveryCell) {
    EXPECT_EQ(zask::sampleFrames(0, 3, 12), (std::vector<long long>{0, 1, 2}));
    EXPECT_EQ(zask::sampleFrames(0, 100, 5), (std::vector<long long>{0, 24, 49, 74, 99}));
    EXPECT_EQ(zask::sampleFrames(10, 10, 5), std::vector<long long>{});
    std::vector<zask::SheetRow> rows(2);
    for (auto& row : rows)
        for (int k = 0; k < 3; ++k) row.cells.push_back({k * 10, zask::RgbPicture(80, 40, {200, 0, 0})});
    zask::RgbPicture sheet = zask::composeSheet(rows, 40);
    EXPECT_GE(sheet.width, 3 * 40);
    EXPECT_GE(sheet.height, 2 * 20);
    // The first thumbnail's red is on the sheet.
    bool red = false;
    for (int y = 0; y < sheet.height && !red; ++y)
        for (int x = 0; x < sheet.width && !red; ++x) red = sheet.at(x, y)[0] == 200 && sheet.at(x, y)[1] == 0;
    EXPECT_TRUE(red);
}

}  // namespace
