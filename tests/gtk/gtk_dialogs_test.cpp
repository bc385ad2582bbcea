// The GTK back end of the toolkit on a real display (run_under_xvfb.sh gives
// it a virtual one): each dialog of zask4 and zask6's main panel opens as a
// window, steps carried out on its widgets reach the plug-in, and pictures of
// the windows are kept in test-output/gtk for people to look at.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "standin/gui_control.h"
#include "tests/integration/run_host.h"
#include "tests/integration/test_clip.h"

namespace fs = std::filesystem;
using zask_test::RunResult;

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

bool readPng(const fs::path& path, Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr) != 0;
}

// Distinct colours in a rectangle of the picture.
size_t colourCount(const Picture& p, int x0, int y0, int width, int height) {
    std::vector<uint32_t> seen;
    for (int y = y0; y < y0 + height && y < p.height; ++y)
        for (int x = x0; x < x0 + width && x < p.width; ++x) {
            const uint8_t* c = p.at(x, y);
            const uint32_t word = static_cast<uint32_t>(c[0]) << 16 | static_cast<uint32_t>(c[1]) << 8 | c[2];
            if (std::find(seen.begin(), seen.end(), word) == seen.end()) seen.push_back(word);
        }
    return seen.size();
}

// Whether `part` lies in `whole` at (x, y), pixel for pixel.
bool contains(const Picture& whole, const Picture& part, int x, int y) {
    if (x + part.width > whole.width || y + part.height > whole.height) return false;
    for (int row = 0; row < part.height; ++row)
        if (std::memcmp(whole.at(x, y + row), part.at(0, row), static_cast<size_t>(part.width) * 3) != 0) return false;
    return true;
}

std::vector<int32_t> readWords(const fs::path& path) {
    std::vector<int32_t> words(17);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(words.data()), 68);
    return in.gcount() == 68 ? words : std::vector<int32_t>{};
}

void writeWords(const fs::path& path, const std::vector<int32_t>& words) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(words.data()), 68);
}

// The size the trace says the dialog asked for.
bool requestSize(const fs::path& trace, int& width, int& height) {
    std::smatch m;
    const std::string text = zask_test::readFile(trace);
    if (!std::regex_search(text, m, std::regex("mreqCreateRequest width=(\\d+) height=(\\d+)"))) return false;
    width = std::stoi(m[1]);
    height = std::stoi(m[2]);
    return true;
}

// Words of the settings record.
enum { shadingMode = 0, lightIntensity = 1, lightPosition = 2, lightColour = 3, rotationX = 7, rotationZ = 9 };

const std::vector<int32_t> startSettings = {2, 60, 1, static_cast<int32_t>(0x80808000), 1, 0, 1, 0, 0, 0,
                                            0, 0,  0, 0, 100, 50, 50};

class GtkDialogTest : public ::testing::Test {
protected:
    fs::path shots = fs::path(ZASK_TEST_OUTPUT_DIR) / "gtk";
    fs::path scratch;

    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under run_under_xvfb.sh";
        fs::create_directories(shots);
        scratch = fs::path(ZASK_TEST_OUTPUT_DIR) / ("gtk-scratch-" + std::to_string(getpid()));
        fs::remove_all(scratch);
        fs::create_directories(scratch);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(scratch);
    }

    fs::path write(const std::string& name, const std::string& text) {
        std::ofstream(scratch / name) << text;
        return scratch / name;
    }

    // zask panel with the GTK back end and a script of steps.
    RunResult panel(const std::string& plugin, int number, const std::string& steps, std::vector<std::string> more = {}) {
        const fs::path script = write("steps-" + plugin + "-" + std::to_string(number) + ".txt", steps);
        std::vector<std::string> args = {"panel", plugin, std::to_string(number), "--ui", "gtk:" + script.string(),
                                         "--trace", (scratch / "trace.txt").string()};
        args.insert(args.end(), more.begin(), more.end());
        RunResult r = zask_test::runHost(args, scratch);
        return r;
    }
};

TEST_F(GtkDialogTest, EveryDialogOpensAsAWindowOfItsSizeAndClosesLikeCancel) {
    const struct {
        const char* plugin;
        int panel;
        const char* shot;
        bool preview;
    } cases[] = {
        {"zask4", 0, "zask4-panel-0-main.png", false},
        {"zask4", 1, "zask4-panel-1-rotation.png", true},
        {"zask4", 2, "zask4-panel-2-light.png", true},
        {"zask6", 0, "zask6-panel-0-main.png", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shot);
        const fs::path settings = scratch / "settings.bin";
        writeWords(settings, startSettings);
        const fs::path pictures = scratch / (std::string(c.plugin) + "-" + std::to_string(c.panel));
        fs::create_directories(pictures);
        fs::remove(shots / c.shot);
        RunResult r = panel(c.plugin, c.panel, "snapshot " + (shots / c.shot).string() + "\nclose\n",
                            {"--settings", settings.string(), "--pictures", pictures.string()});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_NE(r.out.find("the dialog ended with: close"), std::string::npos) << r.out;
        EXPECT_EQ(readWords(settings), startSettings) << "closing the window keeps nothing";

        int width = 0, height = 0;
        ASSERT_TRUE(requestSize(scratch / "trace.txt", width, height));
        Picture shot;
        ASSERT_TRUE(readPng(shots / c.shot, shot));
        // The request's area, and the toolkit's own OK and Cancel below it.
        EXPECT_EQ(shot.width, width);
        EXPECT_GT(shot.height, height + 20);
        EXPECT_LT(shot.height, height + 80);
        // The labels stand in the left of the controls' group: text, not an empty ground.
        const int labelsLeft = c.preview ? 228 : 8;
        EXPECT_GT(colourCount(shot, labelsLeft, 8, 100, 20), 4u);
        // The OK and Cancel buttons under the request's area show their labels.
        EXPECT_GT(colourCount(shot, width / 2, height + 4, width / 2, shot.height - height - 8), 4u);

        if (c.preview) {
            // The window shows at (4, 4) exactly the picture the plug-in wrote.
            Picture written;
            ASSERT_TRUE(readPng(pictures / "panel-001.png", written));
            EXPECT_TRUE(contains(shot, written, 4, 4));
            EXPECT_GT(colourCount(written, 0, 0, written.width, written.height), 20u);
        }
    }
}

TEST_F(GtkDialogTest, ChangesInTheLightPanelReachThePluginAndRedrawThePreview) {
    const fs::path settings = scratch / "settings.bin";
    writeWords(settings, startSettings);
    const fs::path pictures = scratch / "light";
    fs::create_directories(pictures);
    const uint32_t chosen = 0xA0607080;
    const std::string steps = "set 181 1\n"
                              "set 185 3\n"
                              "set 187 40\n"
                              "press 186\n"
                              "snapshot " + (shots / "zask4-panel-2-palette.png").string() + "\n"
                              "palette 0xA0607080\n"
                              "snapshot " + (shots / "zask4-panel-2-light-changed.png").string() + "\n"
                              "ok\n";
    RunResult r = panel("zask4", 2, steps, {"--settings", settings.string(), "--pictures", pictures.string()});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("the dialog ended with: ok"), std::string::npos) << r.out;

    std::vector<int32_t> expected = startSettings;
    expected[shadingMode] = 1;
    expected[lightPosition] = 3;
    expected[lightIntensity] = 40;
    // Through the chooser's RGB and back; the word's low byte stays the old one's.
    expected[lightColour] = static_cast<int32_t>(
        standin::rgbToColourWord(standin::colourWordToRgb(chosen), static_cast<uint8_t>(startSettings[lightColour])));
    EXPECT_EQ(readWords(settings), expected);
    const std::string trace = zask_test::readFile(scratch / "trace.txt");
    EXPECT_NE(trace.find("mreqPaletteRequest colour=0x80808000 -> 0 result=1"), std::string::npos);
    EXPECT_TRUE(std::regex_search(trace, std::regex("mgChangeElement request=\\d+ element=\\d+ attribute=5 value=" +
                                                    std::to_string(static_cast<uint32_t>(expected[lightColour])))));

    // One picture when the dialog opened and one after each change; the
    // window shows the last one, which differs from the first.
    std::vector<fs::path> written;
    for (const auto& entry : fs::directory_iterator(pictures)) written.push_back(entry.path());
    std::sort(written.begin(), written.end());
    ASSERT_GE(written.size(), 5u);
    Picture first, last, shot, chooser;
    ASSERT_TRUE(readPng(written.front(), first));
    ASSERT_TRUE(readPng(written.back(), last));
    EXPECT_NE(first.rgb, last.rgb);
    ASSERT_TRUE(readPng(shots / "zask4-panel-2-light-changed.png", shot));
    EXPECT_TRUE(contains(shot, last, 4, 4));
    // The palette button shows the chosen colour (a pixel inside its swatch).
    const standin::Rgb rgb = standin::colourWordToRgb(static_cast<uint32_t>(expected[lightColour]));
    int paletteY = 0;
    {
        std::smatch m;
        ASSERT_TRUE(std::regex_search(trace, m, std::regex("mgAddPaletteButton request=\\d+ x=(\\d+) y=(\\d+) width=(\\d+) height=(\\d+)")));
        paletteY = std::stoi(m[2]) + std::stoi(m[4]) / 2;
        const uint8_t* p = shot.at(std::stoi(m[1]) + std::stoi(m[3]) / 2, paletteY);
        EXPECT_EQ(p[0], rgb.r);
        EXPECT_EQ(p[1], rgb.g);
        EXPECT_EQ(p[2], rgb.b);
    }
    ASSERT_TRUE(readPng(shots / "zask4-panel-2-palette.png", chooser));
    EXPECT_GT(chooser.width, 200);
}

TEST_F(GtkDialogTest, OkKeepsTheRotationCancelDoesNot) {
    const fs::path settings = scratch / "settings.bin";
    writeWords(settings, startSettings);
    RunResult ok = panel("zask4", 1, "set 253 45\nset 255 -30\nok\n", {"--settings", settings.string()});
    ASSERT_EQ(ok.status, 0) << ok.out << ok.err;
    std::vector<int32_t> expected = startSettings;
    expected[rotationX] = 45;
    expected[rotationZ] = -30;
    EXPECT_EQ(readWords(settings), expected);

    RunResult cancel = panel("zask4", 1, "set 253 90\ncancel\n", {"--settings", settings.string()});
    ASSERT_EQ(cancel.status, 0) << cancel.out << cancel.err;
    EXPECT_NE(cancel.out.find("the dialog ended with: cancel"), std::string::npos) << cancel.out;
    EXPECT_EQ(readWords(settings), expected);
}

TEST_F(GtkDialogTest, ShadingOffDisablesTheLightControls) {
    const fs::path settings = scratch / "settings.bin";
    writeWords(settings, startSettings);
    RunResult r = panel("zask4", 2, "set 181 0\nset 187 10\nset 181 2\nset 187 20\nok\n", {"--settings", settings.string()});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("script line 2: the control labelled 187 is disabled"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("script line 4"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("lightIntensity 60 -> 20"), std::string::npos) << r.out;
}

TEST_F(GtkDialogTest, PresetsSaveLoadAndDeleteThroughTheFileChooser) {
    const fs::path home = scratch / "home";
    fs::create_directories(home / "programs/zask/zask4");
    fs::create_directory_symlink(fs::path(ZASK_BUILD_KTHOME) / "programs/zask/resources", home / "programs/zask/resources");
    const std::string kthome = "--kthome=" + home.string();
    const fs::path settings = scratch / "settings.bin";
    writeWords(settings, startSettings);

    RunResult save = panel("zask4", 3,
                           "snapshot " + (shots / "zask4-panel-3-presets.png").string() + "\narchive save\n" +
                               "wait 800\nsnapshot " + (shots / "zask4-panel-3-save-file.png").string() + "\nfile warm\n",
                           {"--settings", settings.string(), kthome});
    ASSERT_EQ(save.status, 0) << save.out << save.err;
    const fs::path preset = home / "programs/zask/zask4/warm";
    EXPECT_EQ(readWords(preset), startSettings);

    std::vector<int32_t> other = startSettings;
    other[rotationX] = 17;
    writeWords(settings, other);
    RunResult load = panel("zask4", 3, "archive load\nfile warm\n", {"--settings", settings.string(), kthome});
    ASSERT_EQ(load.status, 0) << load.out << load.err;
    EXPECT_EQ(readWords(settings), startSettings);

    RunResult remove = panel("zask4", 3, "archive delete\nfile " + preset.string() + "\n", {kthome});
    ASSERT_EQ(remove.status, 0) << remove.out << remove.err;
    EXPECT_FALSE(fs::exists(preset));

    RunResult cancelled = panel("zask4", 3, "archive cancel\n", {"--settings", settings.string(), kthome});
    ASSERT_EQ(cancelled.status, 0) << cancelled.out << cancelled.err;
    EXPECT_NE(zask_test::readFile(scratch / "trace.txt").find("mreqArchivesRequest title=#299 -> -1 (cancelled)"),
              std::string::npos);

    Picture archive, chooser;
    ASSERT_TRUE(readPng(shots / "zask4-panel-3-presets.png", archive));
    ASSERT_TRUE(readPng(shots / "zask4-panel-3-save-file.png", chooser));
    EXPECT_GT(colourCount(archive, 0, 0, archive.width, archive.height), 4u);
}

TEST_F(GtkDialogTest, TheHostPreviewPlaysTheRenderedClipInAWindow) {
    const fs::path clip = scratch / "clip.y4m";
    zask_test::writeTestClip(clip.string(), 160, 120, 3);
    RunResult r = panel("zask4", 0,
                        "press 189\nsnapshot " + (shots / "zask4-host-preview.png").string() + "\nclose\n" +
                            "snapshot " + (shots / "zask4-panel-0-after-preview.png").string() + "\nok\n",
                        {"--input", clip.string(), "--title", ZASK_SOURCE_DIR "/tests/data/demo-title.json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string trace = zask_test::readFile(scratch / "trace.txt");
    EXPECT_NE(trace.find("opPreview -> 0"), std::string::npos);
    EXPECT_EQ(trace.find("mgPointerBeep"), std::string::npos);
    Picture window;
    ASSERT_TRUE(readPng(shots / "zask4-host-preview.png", window));
    EXPECT_EQ(window.width, 160);
    EXPECT_GT(window.height, 120);
    EXPECT_GT(colourCount(window, 0, 0, 160, 120), 100u);

    // Without a project the host cannot render: the dialog beeps and stays.
    RunResult none = panel("zask4", 0, "press 189\nok\n");
    ASSERT_EQ(none.status, 0) << none.out << none.err;
    EXPECT_NE(none.out.find("beeped 1 times"), std::string::npos) << none.out;
}

TEST_F(GtkDialogTest, ScriptStepsThatDoNotFitAreReported) {
    RunResult r = panel("zask4", 0, "archive load\nset 150 99\nset 291 301\nok\n");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("script line 1: 'archive load' does not fit the dialog on top"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("script line 2: the popup labelled 150 has no item 99"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("script line 3: the slider labelled 291 does not reach 301"), std::string::npos) << r.err;
}

}  // namespace
