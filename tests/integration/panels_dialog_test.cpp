// The settings dialogs of the built plug-ins, driven through action 4 by the
// stand-in's scripted toolkit.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/operator_interface.h"
#include "standin/gui_control.h"

namespace fs = std::filesystem;

namespace {

using Words = std::array<int32_t, 17>;

enum Word { shadingMode = 0, lightColour = 3, thickness = 4, antialiasing = 6, rotationX = 7, inScene = 10,
            outScene = 11, inMirror = 12, outMirror = 13, randomSeed = 14, inDuration = 15, outDuration = 16 };

// Every word away from its default, so that a restore of all 68 bytes shows.
const Words distinctSettings = {2, 40, 5, 0x506070FF, 2, 77, 1, 10, 20, 30, 1, 2, 1, 2, 333, 60, 70};

struct Plugin {
    void* handle = nullptr;
    OperatorActionFunction action = nullptr;
    int32_t* block = nullptr;

    explicit Plugin(int n) {
        const std::string path = std::string(ZASK_PLUGIN_DIR) + "/zask" + std::to_string(n) + ".so";
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) throw std::runtime_error(dlerror());
        auto info = reinterpret_cast<GetOperatorInfoFunction>(dlsym(handle, "GetOperatorInfo"));
        action = reinterpret_cast<OperatorActionFunction>(dlsym(handle, "OperatorAction"));
        if (info == nullptr || action == nullptr) throw std::runtime_error(path + ": entry points missing");
        for (OperatorTag* tag = info(); tag->tag != tagEnd; ++tag)
            if (tag->tag == tagSettings)
                block = static_cast<int32_t*>(reinterpret_cast<SettingsDescriptor*>(tag->value)->block);
    }
    ~Plugin() { dlclose(handle); }

    void set(const Words& words) { std::memcpy(block, words.data(), 68); }
    Words words() const {
        Words w;
        std::memcpy(w.data(), block, 68);
        return w;
    }
    void openPanel(uint16_t panel) {
        ActionRequest request{};
        request.action = actionOpenPanel;
        request.subCode = panel;
        EXPECT_EQ(action(&request), 0);
    }
};

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetGui();
        standin::setLogEcho(false);
        setenv("KTHOME", ZASK_SHARED_DIR "/conformance/kthome-a", 1);
        int32_t w, h;
        std::vector<uint8_t> letter;
        std::string error;
        ASSERT_TRUE(standin::readRgbaFile(ZASK_SHARED_DIR "/conformance/preview-cases/letter998.rgba", w, h, letter,
                                          error))
            << error;
        letterWidth = w, letterHeight = h, letterPixels = letter;
        giveLetter();
    }
    void TearDown() override {
        // Nothing a dialog took may outlive it.
        const standin::GuiCounts counts = standin::guiCounts();
        EXPECT_EQ(counts.openDialogs, 0u);
        EXPECT_EQ(counts.openCatalogues, 0u);
        EXPECT_EQ(counts.gadgetExtensions, 0u);
        standin::resetGui();
    }
    void giveLetter() { standin::setCatalogueImage("zask_ops", 998, letterWidth, letterHeight, letterPixels); }
    void script(const std::string& text) {
        std::string error;
        ASSERT_TRUE(standin::setGuiScript(text, error)) << error;
    }
    static size_t traceCount(const std::string& prefix) {
        auto trace = standin::guiTrace();
        return static_cast<size_t>(std::count_if(trace.begin(), trace.end(), [&](const std::string& line) {
            return line.rfind(prefix, 0) == 0;
        }));
    }
    int32_t letterWidth = 0, letterHeight = 0;
    std::vector<uint8_t> letterPixels;
};

const standin::ControlInfo& control(const standin::DialogInfo& dialog, int label) {
    for (const auto& c : dialog.controls)
        if (c.label == label) return c;
    throw std::runtime_error("no control labelled " + std::to_string(label));
}

// ---------------------------------------------------------------- main panel

struct RestoreCase {
    const char* name;
    int variant;
    const char* changes;
    const char* ending;
};

class MainPanelRestore : public DialogTest, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(MainPanelRestore, CancelAndWindowCloseRestoreAll68Bytes) {
    const RestoreCase& c = GetParam();
    Plugin plugin(c.variant);
    plugin.set(distinctSettings);
    script(std::string(c.changes) + c.ending + "\n");
    plugin.openPanel(0);
    EXPECT_EQ(plugin.words(), distinctSettings);
    EXPECT_TRUE(standin::scriptProblems().empty());
    EXPECT_EQ(standin::lastDialog().closedBy, c.ending);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, MainPanelRestore,
    ::testing::Values(RestoreCase{"zask4Cancel", 4, "set 150 5\nset 151 3\nset 291 200\nset 152 8\nset 290 1\n", "cancel"},
                      RestoreCase{"zask4Close", 4, "set 153 1\nset 150 2\n", "close"},
                      RestoreCase{"zask2Cancel", 2, "set 150 10\nset 152 10\n", "cancel"},
                      RestoreCase{"zask6Cancel", 6, "set 291 10\nset 290 20\nset 154 999\n", "cancel"},
                      RestoreCase{"zask6Close", 6, "set 154 1\n", "close"}),
    [](const auto& info) { return std::string(info.param.name); });

struct KeepCase {
    const char* name;
    int variant;
    const char* script;
    std::vector<std::pair<Word, int32_t>> expected;
};

class MainPanelKeep : public DialogTest, public ::testing::WithParamInterface<KeepCase> {};

TEST_P(MainPanelKeep, OkAndKindSevenKeepTheChanges) {
    const KeepCase& c = GetParam();
    Plugin plugin(c.variant);
    plugin.set(distinctSettings);
    script(c.script);
    plugin.openPanel(0);
    Words expected = distinctSettings;
    for (auto [word, value] : c.expected) expected[word] = value;
    EXPECT_EQ(plugin.words(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, MainPanelKeep,
    ::testing::Values(KeepCase{"zask4Ok", 4, "set 150 5\nset 153 3\nset 290 300\nok\n",
                               {{inScene, 5}, {outMirror, 3}, {outDuration, 300}}},
                      KeepCase{"zask4KindSeven", 4, "set 150 5\nset 153 3\nset 290 300\nclose-keep\n",
                               {{inScene, 5}, {outMirror, 3}, {outDuration, 300}}},
                      KeepCase{"zask5LastItem", 5, "set 152 9\nset 151 1\nok\n", {{outScene, 9}, {inMirror, 1}}},
                      KeepCase{"zask6Seed", 6, "set 154 1000\nset 291 0\nclose-keep\n",
                               {{randomSeed, 1000}, {inDuration, 0}}},
                      KeepCase{"otherKindsIgnored", 4, "message 5 9\nmessage 4 9\nset 291 12\nok\n",
                               {{inDuration, 12}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, MainPanelRowsAndItemsFollowTheVariant) {
    const struct {
        int variant;
        size_t controls;
        size_t items;
        int height;  // window height with fh + ah = 20
    } cases[] = {{1, 7, 9, 230}, {2, 7, 11, 230}, {3, 7, 11, 230}, {4, 7, 9, 230}, {5, 7, 10, 230}, {6, 4, 0, 146}};
    for (const auto& c : cases) {
        SCOPED_TRACE("zask" + std::to_string(c.variant));
        standin::resetGui();
        for (int32_t image : {33, 30, 29, 551}) standin::setCatalogueImage("toolkit", image, 1, 1, {0, 0, 0, 0});
        Plugin plugin(c.variant);
        script("ok\n");
        plugin.openPanel(0);
        const standin::DialogInfo dialog = standin::lastDialog();
        EXPECT_EQ(dialog.title, 310);
        EXPECT_EQ(dialog.width, 422);
        EXPECT_EQ(dialog.height, c.height);
        EXPECT_EQ(dialog.flags, 0x10001eu);
        ASSERT_EQ(dialog.controls.size(), c.controls);
        if (c.items != 0) {
            EXPECT_EQ(control(dialog, 150).items.size(), c.items);
            EXPECT_EQ(control(dialog, 151).items, (std::vector<std::string>{"image 33", "image 30", "image 29", "image 551"}));
            EXPECT_EQ(control(dialog, 150).key, 97u);
            EXPECT_EQ(control(dialog, 290).y, 8 + 5 * 28);
        } else {
            const auto& seed = control(dialog, 154);
            EXPECT_EQ(seed.maximum, 1000);
            EXPECT_EQ(seed.secondText, 999);
            EXPECT_FALSE(seed.framesTime);
            EXPECT_EQ(seed.key, 114u);
            EXPECT_EQ(seed.y, 8 + 2 * 28);
        }
        const auto& in = control(dialog, 291);
        EXPECT_TRUE(in.framesTime);
        EXPECT_EQ(in.maximum, 300);
        EXPECT_EQ(in.flags, 0x120000u);
        EXPECT_EQ(control(dialog, 189).key, 57360u);
        EXPECT_EQ(control(dialog, 189).width, 406);
    }
}

TEST_F(DialogTest, SettingAbove65535SelectsByItsLow16BitsAndAChoiceStoresTheFullIndex) {
    Plugin plugin(4);
    Words start = distinctSettings;
    start[inScene] = 0x10003;
    start[outMirror] = 0x7FFF0002;
    plugin.set(start);
    script("set 152 70000\nok\n");
    plugin.openPanel(0);
    const standin::DialogInfo dialog = standin::lastDialog();
    EXPECT_EQ(control(dialog, 150).value, 3);
    EXPECT_EQ(control(dialog, 153).value, 2);
    EXPECT_EQ(plugin.words()[outScene], 70000);
    EXPECT_EQ(plugin.words()[inScene], 0x10003);
}

TEST_F(DialogTest, AFailingHostPreviewOnlyBeepsAndTheDialogStays) {
    for (int variant : {4, 6}) {
        SCOPED_TRACE(variant);
        standin::resetGui();
        Plugin plugin(variant);
        plugin.set(distinctSettings);
        int calls = 0;
        standin::setPreviewHandler([&] { return ++calls == 2 ? 0 : -1; });
        script("press 189\npress 189\npress 189\nset 291 77\nok\n");
        plugin.openPanel(0);
        EXPECT_EQ(calls, 3);
        EXPECT_EQ(standin::guiCounts().beeps, 2u);
        EXPECT_EQ(plugin.words()[inDuration], 77);
    }
}

TEST_F(DialogTest, NoDialogWhenTheRequestFails) {
    Plugin plugin(4);
    plugin.set(distinctSettings);
    standin::failRequests(1);
    script("set 150 4\nok\n");
    plugin.openPanel(0);
    EXPECT_EQ(plugin.words(), distinctSettings);
    EXPECT_EQ(standin::guiCounts().dialogs, 0u);
    EXPECT_EQ(traceCount("mgAddPopup"), 0u);
}

TEST_F(DialogTest, PanelNumbersAboveThreeOpenNothing) {
    Plugin plugin(4);
    plugin.openPanel(4);
    plugin.openPanel(65535);
    EXPECT_TRUE(standin::guiTrace().empty());
}

// ---------------------------------------------------------------- light and look panel

TEST_F(DialogTest, ShadingZeroDisablesTheFiveDependentControls) {
    const struct {
        int32_t shading;
        const char* script;
        bool enabled;
    } cases[] = {
        {0, "ok\n", false},
        {0, "set 181 2\nok\n", true},
        {2, "ok\n", true},
        {1, "set 181 0\nok\n", false},
        {0, "set 181 1\nset 181 0\nok\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        standin::resetGui();
        giveLetter();
        Plugin plugin(4);
        Words start = distinctSettings;
        start[shadingMode] = c.shading;
        plugin.set(start);
        script(c.script);
        plugin.openPanel(2);
        const standin::DialogInfo dialog = standin::lastDialog();
        for (int label : {185, 186, 187, 188, 190}) EXPECT_EQ(control(dialog, label).enabled, c.enabled) << label;
        EXPECT_TRUE(control(dialog, 181).enabled);
    }
}

TEST_F(DialogTest, OnlyAntialiasingAndThicknessRebuildThePreviewResources) {
    const struct {
        const char* script;
        size_t reloads;
    } cases[] = {
        {"set 181 1\nok\n", 0}, {"set 185 2\nok\n", 0}, {"set 187 50\nok\n", 0}, {"set 186 0\nok\n", 0},
        {"set 188 3\nok\n", 1}, {"set 190 2\nok\n", 1}, {"set 188 1\nset 190 0\nok\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        standin::resetGui();
        giveLetter();
        Plugin plugin(4);
        plugin.set(distinctSettings);
        script(c.script);
        plugin.openPanel(2);
        EXPECT_EQ(traceCount("resLoadImages"), 1 + c.reloads);
        EXPECT_EQ(traceCount("resFreeImages"), 1 + c.reloads);
        const size_t messages = traceCount("mgMsgQReceive") - 1;
        EXPECT_EQ(traceCount("mgWriteImage"), 1 + messages);
    }
}

TEST_F(DialogTest, CancelAndWindowCloseRestoreAColourChosenInThePaletteRequest) {
    for (const char* ending : {"cancel", "close"}) {
        SCOPED_TRACE(ending);
        standin::resetGui();
        giveLetter();
        Plugin plugin(4);
        plugin.set(distinctSettings);
        script(std::string("set 186 0\npalette 0x11223344\nset 187 3\nset 190 0\n") + ending + "\n");
        plugin.openPanel(2);
        EXPECT_EQ(plugin.words(), distinctSettings);
        EXPECT_EQ(control(standin::lastDialog(), 186).value, 0x11223344);  // shown while the dialog was open
    }
}

TEST_F(DialogTest, PaletteChoiceIsKeptOnOkAndACancelledRequestChangesNothing) {
    const struct {
        const char* answer;
        uint32_t colour;
    } cases[] = {{"palette 0x11223344", 0x11223344}, {"palette cancel", 0x506070FF}, {"", 0x506070FF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        standin::resetGui();
        giveLetter();
        Plugin plugin(4);
        plugin.set(distinctSettings);
        script(std::string("set 186 0\n") + c.answer + "\nok\n");
        plugin.openPanel(2);
        EXPECT_EQ(static_cast<uint32_t>(plugin.words()[lightColour]), c.colour);
        EXPECT_EQ(traceCount("mgWriteImage"), 2u);  // drawn again in every case
    }
}

TEST_F(DialogTest, RotationPanelKeepsItsPictureAfterAHostPreviewTheLightPanelRedraws) {
    const struct {
        uint16_t panel;
        size_t pictures;
    } cases[] = {{1, 1}, {2, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.panel);
        standin::resetGui();
        giveLetter();
        Plugin plugin(4);
        plugin.set(distinctSettings);
        int calls = 0;
        standin::setPreviewHandler([&] { return ++calls, 0; });
        script("press 189\nok\n");
        plugin.openPanel(c.panel);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(traceCount("mgWriteImage"), c.pictures);
        // Released before the host's render and made again after it.
        EXPECT_EQ(traceCount("resLoadImages"), 2u);
        EXPECT_EQ(standin::guiCounts().beeps, 0u);
    }
}

TEST_F(DialogTest, RotationSlidersRedrawAndCancelRestores) {
    Plugin plugin(3);
    plugin.set(distinctSettings);
    script("set 253 -180\nset 254 180\nset 255 45\ncancel\n");
    plugin.openPanel(1);
    EXPECT_EQ(plugin.words(), distinctSettings);
    EXPECT_EQ(traceCount("mgWriteImage"), 4u);
    const standin::DialogInfo dialog = standin::lastDialog();
    EXPECT_EQ(dialog.title, 294);
    EXPECT_EQ(control(dialog, 253).minimum, -180);
    EXPECT_EQ(control(dialog, 253).x, 200 + 148);
    EXPECT_EQ(control(dialog, 253).flags, 0x130000u);
    EXPECT_EQ(control(dialog, 255).key, static_cast<uint32_t>('z'));
}

TEST_F(DialogTest, PreviewPicturesLeaveTheFourPixelBorderUntouched) {
    const struct {
        int32_t monitor, videoMode, thickness;
        int height;
    } cases[] = {{1, 0, 2, 152}, {0, 0, 2, 135}, {0, 0x101, 2, 152}, {2, 0x100, 4, 135}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        standin::resetGui();
        giveLetter();
        standin::setDefaultMonitor(c.monitor);
        standin::setVideoMode(c.videoMode);
        Plugin plugin(4);
        Words start = distinctSettings;
        start[thickness] = c.thickness;
        plugin.set(start);
        script("set 253 30\nok\n");
        plugin.openPanel(1);
        const auto images = standin::writtenImages();
        ASSERT_EQ(images.size(), 2u);
        for (const auto& image : images) {
            EXPECT_EQ(image.x, 4);
            EXPECT_EQ(image.y, 4);
            EXPECT_EQ(image.width, 192);
            EXPECT_EQ(image.height, c.height);
            EXPECT_EQ(image.format, 2u);
        }
        const standin::DialogInfo dialog = standin::lastDialog();
        const auto area = std::find_if(dialog.panels.begin(), dialog.panels.end(),
                                       [](const standin::PanelInfo& p) { return p.flags == 1024; });
        ASSERT_NE(area, dialog.panels.end());
        ASSERT_EQ(area->width, 200);
        ASSERT_EQ(area->height, c.height + 8);
        for (int y = 0; y < area->height; ++y)
            for (int x = 0; x < area->width; ++x) {
                const bool border = x < 4 || y < 4 || x >= area->width - 4 || y >= area->height - 4;
                ASSERT_EQ(area->written[static_cast<size_t>(y) * area->width + x], border ? 0 : 1) << x << "," << y;
            }
        if (c.thickness == 4) {
            // No scene: the empty picture, Y 16 and neutral chroma.
            for (size_t i = 0; i < images[0].pixels.size(); i += 4) {
                ASSERT_EQ(images[0].pixels[i + 1], 128);
                ASSERT_EQ(images[0].pixels[i + 2], 128);
                ASSERT_EQ(images[0].pixels[i + 3], 16);
            }
        }
    }
}

TEST_F(DialogTest, WithoutImage998TheSettingsPanelsDoNotOpen) {
    standin::resetGui();  // no letter given, and the fixture tree has no catalogue
    for (uint16_t panel : {1, 2}) {
        Plugin plugin(4);
        script("ok\n");
        plugin.openPanel(panel);
        EXPECT_EQ(standin::guiCounts().dialogs, 0u);
    }
}

// ---------------------------------------------------------------- presets

class PresetTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        home = fs::path(ZASK_TEST_OUTPUT_DIR) / ("presets-" + std::to_string(getpid()));
        fs::remove_all(home);
        fs::create_directories(home / "programs/zask");
        setenv("KTHOME", home.c_str(), 1);
    }
    void TearDown() override {
        fs::remove_all(home);
        DialogTest::TearDown();
    }
    void runPresets(Plugin& plugin, const std::string& text) {
        ActionRequest mkdirRequest{};
        mkdirRequest.action = actionCreateDataDirectory;
        plugin.action(&mkdirRequest);
        script(text);
        plugin.openPanel(3);
    }
    fs::path home;
};

TEST_F(PresetTest, SavedPresetsRoundTripAll68BytesAcrossVariants) {
    const struct {
        int from, to;
    } cases[] = {{4, 4}, {4, 2}, {6, 1}, {5, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        Plugin from(c.from);
        from.set(distinctSettings);
        runPresets(from, "archive save\nfile my preset\n");
        const fs::path saved = home / ("programs/zask/zask" + std::to_string(c.from)) / "my preset";
        const auto bytes = readBytes(saved);
        ASSERT_EQ(bytes.size(), 68u);
        EXPECT_EQ(std::memcmp(bytes.data(), distinctSettings.data(), 68), 0);

        Plugin to(c.to);
        runPresets(to, "archive load\nfile " + saved.string() + "\n");
        EXPECT_EQ(to.words(), distinctSettings);
    }
}

TEST_F(PresetTest, ShortFilesReplaceTheFirstBytesAndLongFilesGiveTheirFirst68) {
    Plugin plugin(4);
    const fs::path folder = home / "programs/zask/zask4";
    runPresets(plugin, "archive save\nfile unused\n");  // creates the folder
    std::vector<uint8_t> full(68), shortFile(10, 0x11), longFile(100);
    std::memcpy(full.data(), distinctSettings.data(), 68);
    for (size_t i = 0; i < longFile.size(); ++i) longFile[i] = static_cast<uint8_t>(200 - i);
    for (auto [name, bytes] : {std::pair{"full", &full}, std::pair{"short", &shortFile}, std::pair{"long", &longFile}}) {
        std::ofstream(folder / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    }
    // The full preset passes through the staging record, which the short one then only partly replaces.
    runPresets(plugin, "archive load\nfile full\n");
    runPresets(plugin, "archive load\nfile short\n");
    std::vector<uint8_t> expected = full;
    std::fill(expected.begin(), expected.begin() + 10, 0x11);
    EXPECT_EQ(std::memcmp(plugin.block, expected.data(), 68), 0);

    runPresets(plugin, "archive load\nfile long\n");
    EXPECT_EQ(std::memcmp(plugin.block, longFile.data(), 68), 0);
}

TEST_F(PresetTest, DeleteRemovesAndCancelledRequestsChangeNothing) {
    Plugin plugin(4);
    plugin.set(distinctSettings);
    runPresets(plugin, "archive save\nfile a\n");
    const fs::path file = home / "programs/zask/zask4/a";
    ASSERT_TRUE(fs::exists(file));
    const struct {
        const char* script;
        bool exists;
    } cases[] = {{"archive cancel\n", true}, {"archive delete\nfile cancel\n", true}, {"archive 9\n", true},
                 {"archive load\nfile cancel\n", true}, {"archive delete\nfile a\n", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        plugin.set(distinctSettings);
        runPresets(plugin, c.script);
        EXPECT_EQ(fs::exists(file), c.exists);
        EXPECT_EQ(plugin.words(), distinctSettings);
    }
}

TEST_F(PresetTest, WithoutKthomeNoFileIsAskedFor) {
    Plugin plugin(4);
    unsetenv("KTHOME");
    script("archive save\nfile /tmp/never\n");
    plugin.openPanel(3);
    EXPECT_EQ(standin::guiCounts().fileRequests, 0u);
    EXPECT_FALSE(fs::exists("/tmp/never"));
}

}  // namespace
