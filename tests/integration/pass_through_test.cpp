// A title whose letters draw nothing: every field passes through the
// plug-in, converted to blue/green/red and back, as the host program runs it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/integration/test_clip.h"

namespace fs = std::filesystem;

namespace {

uint8_t clampByte(float value)
{
    const int v = static_cast<int>(value);
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Y, Cb, Cr there and back, in single precision with truncation.
void roundTrip(uint8_t y, uint8_t cb, uint8_t cr, uint8_t& outY, uint8_t& outCb, uint8_t& outCr)
{
    const float fcr = static_cast<float>(cr - 128), fcb = static_cast<float>(cb - 128);
    const float fy = y;
    const float r = clampByte((fcr * 1.402f) + fy);
    const float g = clampByte((fy - fcb * 0.344136f) - fcr * 0.714136f);
    const float b = clampByte((fcb * 1.772f) + fy);
    outY = static_cast<uint8_t>(static_cast<int>((r * 0.299f + g * 0.587f) + b * 0.114f));
    outCr = static_cast<uint8_t>(static_cast<int>(((r * 0.5f - g * 0.418688f) - b * 0.081312f) + 128.0f));
    outCb = static_cast<uint8_t>(static_cast<int>((b * 0.5f - (r * 0.168736f + g * 0.331264f)) + 128.0f));
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(PassThroughTest, EveryFieldComesBackConvertedThereAndBack)
{
    const fs::path dir = fs::path(ZASK_TEST_OUTPUT_DIR) / "pass_through";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const int width = 24, height = 10, frames = 3;
    zask_test::writeTestClip((dir / "in.y4m").string(), width, height, frames);
    // One blank character: laid out, counted, never drawn.
    std::ofstream(dir / "title.json")
        << R"({"pages": [{"boxes": [{"x": 0, "y": 0, "lines": [{"chars": [)"
           R"({"pen": 0, "width": 1, "height": 1, "top": 0, "pixels": "00808080"}]}]}]}]})";
    std::string settings(68, '\0');
    const int32_t words[17] = {2, 100, 4, 0x7A8080FF, 2, 50, 1, 0, 0, 0, 0, 0, 0, 0, 100, 1, 1};
    std::memcpy(settings.data(), words, sizeof words);
    std::ofstream(dir / "settings.bin", std::ios::binary) << settings;

    const std::string command =
        std::string(ZASK_HOST_PROGRAM) + " render --operator " + ZASK_PLUGIN_DIR + "/zask4.so" +
        " --kthome " + ZASK_SHARED_DIR + "/conformance/kthome-a --title " + (dir / "title.json").string() +
        " --input " + (dir / "in.y4m").string() + " --output " + (dir / "out.y4m").string() +
        " --settings " + (dir / "settings.bin").string() + " --log " + (dir / "log.txt").string() +
        " --strict-images 2>" + (dir / "stderr.txt").string();
    const int status = std::system(command.c_str());
    ASSERT_EQ(status, 0) << readText(dir / "stderr.txt");
    EXPECT_EQ(readText(dir / "log.txt"), "");

    std::string header;
    std::vector<std::vector<uint8_t>> output;
    ASSERT_TRUE(zask_test::readTestClip((dir / "out.y4m").string(), header, output,
                                        static_cast<size_t>(width) * height * 3));
    EXPECT_EQ(header, zask_test::testClipHeader(width, height));
    ASSERT_EQ(output.size(), static_cast<size_t>(frames));
    const size_t plane = static_cast<size_t>(width) * height;
    for (int f = 0; f < frames; ++f) {
        const std::vector<uint8_t> input = zask_test::testClipFrame(width, height, f);
        for (size_t i = 0; i < plane; ++i) {
            uint8_t y, cb, cr;
            roundTrip(input[i], input[plane + i], input[2 * plane + i], y, cb, cr);
            ASSERT_EQ(output[f][i], y) << "frame " << f << " pixel " << i;
            ASSERT_EQ(output[f][plane + i], cb) << "frame " << f << " pixel " << i;
            ASSERT_EQ(output[f][2 * plane + i], cr) << "frame " << f << " pixel " << i;
        }
    }
}

}  // namespace
