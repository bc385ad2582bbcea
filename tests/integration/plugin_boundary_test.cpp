// The six plug-ins as the host sees them: loaded with dlopen, driven through
// their three entry points only.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/operator_interface.h"
#include "standin/standin_control.h"

namespace {

std::string pluginPath(int n)
{
    return std::string(ZASK_PLUGIN_DIR) + "/zask" + std::to_string(n) + ".so";
}

struct Plugin {
    void* handle = nullptr;
    GetOperatorInfoFunction getInfo = nullptr;
    OperatorActionFunction action = nullptr;
    StruprFunction upper = nullptr;

    explicit Plugin(int n)
    {
        handle = dlopen(pluginPath(n).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return;
        getInfo = reinterpret_cast<GetOperatorInfoFunction>(dlsym(handle, "GetOperatorInfo"));
        action = reinterpret_cast<OperatorActionFunction>(dlsym(handle, "OperatorAction"));
        upper = reinterpret_cast<StruprFunction>(dlsym(handle, "strupr"));
    }
    ~Plugin()
    {
        if (handle != nullptr)
            dlclose(handle);
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    int32_t run(uint16_t code, ActionRequest request = {})
    {
        request.action = code;
        return action(&request);
    }
};

// The settings block as the host reaches it: through tag 0x4F504509.
int32_t* settingsBlock(OperatorInfo* info)
{
    for (OperatorTag* tag = info; tag->tag != tagEnd; ++tag)
        if (tag->tag == tagSettings)
            return static_cast<int32_t*>(reinterpret_cast<SettingsDescriptor*>(tag->value)->block);
    return nullptr;
}

struct VariantIdentity {
    int number;
    const char* version;
    const char* source;
    uint32_t module;
    int allocationOffset, sceneOffset, letterOffset;
};

const VariantIdentity variants[] = {
    {1, "1.1", "src\\Zask1", 0x0BDC0000, 6, 6, 6},
    {2, "2.0", "src\\Zask2", 0x0BDD0000, -4, -4, -1},
    {3, "2.0", "src\\Zask3", 0x0BDE0000, -4, -4, -1},
    {4, "1.1", "src\\Zask4", 0x0BDF0000, 0, 0, 0},
    {5, "1.1", "src\\Zask5", 0x0BE00000, 0, 0, 1},
    {6, "2.0", "src\\Zask6", 0x0BE10000, -4, -6, -55},
};

std::string logLine(const VariantIdentity& v, int line)
{
    return standin::formatLogLine(4, line, v.source, v.module, " ");
}

class PluginBoundaryTest : public testing::TestWithParam<VariantIdentity> {
protected:
    void SetUp() override
    {
        standin::setLogEcho(false);
        standin::clearLoggedLines();
        standin::resetImages();
    }
    void TearDown() override
    {
        standin::clearInputClip();
        standin::clearLoggedLines();
        standin::resetImages();
        unsetenv("KTHOME");
    }
};

TEST_P(PluginBoundaryTest, ExportsExactlyTheThreeEntryPoints)
{
    Plugin plugin(GetParam().number);
    ASSERT_NE(plugin.handle, nullptr) << dlerror();
    EXPECT_NE(plugin.getInfo, nullptr);
    EXPECT_NE(plugin.action, nullptr);
    EXPECT_NE(plugin.upper, nullptr);
    // Engine functions and process-wide records stay inside the plug-in.
    for (const char* hidden : {"renderContext", "effectSettings", "sceneTable", "variant",
                               "_Z11renderFieldPK13ActionRequest", "_Z12renderSceneiii",
                               "_Z16loadLetterObjectPcP12LetterObject", "triangleSetup"})
        EXPECT_EQ(dlsym(plugin.handle, hidden), nullptr) << hidden;

    const std::string command = "nm -D --defined-only " + pluginPath(GetParam().number) +
                                " | awk '$2 ~ /[TtDdBbRrVvWw]/ {print $3}' | sort";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string exported;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr)
        exported += buffer;
    pclose(pipe);
    EXPECT_EQ(exported, "GetOperatorInfo\nOperatorAction\nstrupr\n");
}

TEST_P(PluginBoundaryTest, DescriptorListsTheTagsInOrder)
{
    const VariantIdentity& v = GetParam();
    Plugin plugin(v.number);
    ASSERT_NE(plugin.handle, nullptr);
    OperatorInfo* info = plugin.getInfo();

    const uint32_t expectedTags[] = {tagWord0, tagWord1, tagActionEntry, tagVersion, tagWord0D,
                                     tagSettings, tagWord0B, tagPanel0, tagPanel1, tagPanel2,
                                     tagPanel3, tagEnd};
    for (size_t i = 0; i < std::size(expectedTags); ++i)
        ASSERT_EQ(info[i].tag, expectedTags[i]) << "entry " << i;
    EXPECT_EQ(info[0].value, 0u);
    EXPECT_EQ(info[1].value, 2u);
    EXPECT_EQ(info[2].value, reinterpret_cast<uintptr_t>(plugin.action));
    EXPECT_EQ(info[4].value, 2u);
    EXPECT_EQ(info[6].value, 135u);

    const std::string version = reinterpret_cast<const char*>(info[3].value);
    const std::string prefix = "$Id: Zask" + std::to_string(v.number) + " " + v.version +
                               " 2015/11/10 00:00:00 ";
    EXPECT_EQ(version.rfind(prefix, 0), 0u) << version;
    EXPECT_EQ(version.back(), '$');

    const auto* descriptor = reinterpret_cast<const SettingsDescriptor*>(info[5].value);
    EXPECT_EQ(descriptor->size, 68u);

    const PanelLabel expectedLabels[] = {{4, 310, 2}, {4, 294, 2}, {4, 180, 2}, {4, 299, 0}};
    for (int i = 0; i < 4; ++i) {
        const auto* label = reinterpret_cast<const PanelLabel*>(info[7 + i].value);
        EXPECT_EQ(label->kind, expectedLabels[i].kind);
        EXPECT_EQ(label->stringNumber, expectedLabels[i].stringNumber);
        EXPECT_EQ(label->mode, expectedLabels[i].mode);
    }
}

TEST_P(PluginBoundaryTest, EveryDescriptorCallResetsTheSettingsToTheDefaults)
{
    Plugin plugin(GetParam().number);
    ASSERT_NE(plugin.handle, nullptr);
    OperatorInfo* first = plugin.getInfo();
    int32_t* block = settingsBlock(first);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 17; ++i)
        block[i] = -7;
    EXPECT_EQ(plugin.getInfo(), first);
    const int32_t defaults[17] = {2, 100, 4, 0x7A8080FF, 2, 50, 0, 0, 0, 0, 0, 0, 0, 0, 100, 50, 50};
    EXPECT_EQ(std::memcmp(block, defaults, sizeof defaults), 0);
}

TEST_P(PluginBoundaryTest, ActionsWithoutAnEffectReturnZero)
{
    Plugin plugin(GetParam().number);
    ASSERT_NE(plugin.handle, nullptr);
    int32_t* block = settingsBlock(plugin.getInfo());
    int32_t before[17];
    std::memcpy(before, block, sizeof before);
    for (uint16_t code : {0, 5, 6, 8, 9, 200})
        EXPECT_EQ(plugin.run(code), 0) << code;
    ActionRequest panel{};
    panel.subCode = 4;
    EXPECT_EQ(plugin.run(actionOpenPanel, panel), 0);
    EXPECT_EQ(plugin.run(actionRelease), 0);  // without an initialisation before it
    EXPECT_EQ(std::memcmp(before, block, sizeof before), 0);
    EXPECT_TRUE(standin::loggedLines().empty());
}

TEST_P(PluginBoundaryTest, StruprUpperCasesInPlace)
{
    Plugin plugin(GetParam().number);
    ASSERT_NE(plugin.handle, nullptr);
    char empty[] = "";
    EXPECT_EQ(plugin.upper(empty), empty);
    EXPECT_STREQ(empty, "");
    char text[] = "Zask 4 titles: a-z";
    EXPECT_EQ(plugin.upper(text), text);
    EXPECT_STREQ(text, "ZASK 4 TITLES: A-Z");
}

// A title of one grey letter.
TitleDocument* oneLetterTitle()
{
    std::string error;
    TitleDocument* title = standin::parseTitle(
        R"({"pages": [{"boxes": [{"x": 0, "y": 0, "lines": [{"chars": [
             {"pen": 0, "width": 1, "height": 1, "top": 0, "pixels": "ff808080"}]}]}]}]})",
        error);
    EXPECT_NE(title, nullptr) << error;
    return title;
}

// One failure per group of log lines, as each variant numbers them.
TEST_P(PluginBoundaryTest, FailuresAreLoggedWithTheVariantsLineNumbers)
{
    const VariantIdentity& v = GetParam();
    Plugin plugin(v.number);
    ASSERT_NE(plugin.handle, nullptr);
    plugin.getInfo();
    const std::string shared = ZASK_SHARED_DIR;
    TitleDocument* title = oneLetterTitle();
    ASSERT_NE(title, nullptr);
    std::string error;
    TitleDocument* noPages = standin::parseTitle(R"({"pages": []})", error);
    ASSERT_NE(noPages, nullptr) << error;

    ActionRequest request{};
    request.clipLength = 8;
    request.title = title;

    // No clip: the field cannot be had.
    ASSERT_EQ(plugin.run(actionInitialise), 0);
    EXPECT_EQ(plugin.run(actionRender, request), -1);

    standin::setInputClip(4, 2, {std::vector<uint8_t>(4 * 2 * 3, 128)});
    std::vector<uint8_t> output(4 * 2 * 3);
    standin::setOutputFrame(output.data());

    // A title without pages.
    request.title = noPages;
    EXPECT_EQ(plugin.run(actionRender, request), -1);

    // An installation folder without scene files.
    setenv("KTHOME", (shared + "/conformance/kthome-noscenes").c_str(), 1);
    request.title = title;
    EXPECT_EQ(plugin.run(actionRender, request), -1);
    EXPECT_EQ(plugin.run(actionRelease), 0);

    const int sceneLine = 1187 + v.sceneOffset;
    const std::vector<std::string> expected = {logLine(v, 310), logLine(v, 2142 + v.letterOffset),
                                               logLine(v, sceneLine)};
    EXPECT_EQ(standin::loggedLines(), expected);
    // The fields of the failed renders stay with the operator; nothing else is left.
    EXPECT_EQ(standin::imageCounts().outstanding, 2u);
    EXPECT_EQ(standin::imageCounts().badReleases, 0u);
    standin::freeTitle(title);
    standin::freeTitle(noPages);
}

// The remaining lines of the letter list and scene selection groups: a
// request without a title, and an out scene past the variant's table (the
// random variant picks its own scenes, so it has no such setting).
TEST_P(PluginBoundaryTest, NoTitleAndAnOutSceneBeyondTheTableAreLogged)
{
    const VariantIdentity& v = GetParam();
    Plugin plugin(v.number);
    ASSERT_NE(plugin.handle, nullptr);
    int32_t* settings = settingsBlock(plugin.getInfo());
    ASSERT_NE(settings, nullptr);
    setenv("KTHOME", (std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a").c_str(), 1);
    TitleDocument* title = oneLetterTitle();
    ASSERT_NE(title, nullptr);
    standin::setInputClip(4, 2, {std::vector<uint8_t>(4 * 2 * 3, 128)});
    std::vector<uint8_t> output(4 * 2 * 3);
    standin::setOutputFrame(output.data());

    ActionRequest request{};
    request.clipLength = 8;
    ASSERT_EQ(plugin.run(actionInitialise), 0);
    EXPECT_EQ(plugin.run(actionRender, request), -1);
    std::vector<std::string> expected = {logLine(v, 2213 + v.letterOffset)};
    if (v.number != 6) {
        settings[11] = 99;  // outScene
        request.title = title;
        EXPECT_EQ(plugin.run(actionRender, request), -1);
        expected.push_back(logLine(v, 1215 + v.sceneOffset));
    }
    EXPECT_EQ(plugin.run(actionRelease), 0);
    EXPECT_EQ(standin::loggedLines(), expected);
    standin::freeTitle(title);
}

INSTANTIATE_TEST_SUITE_P(AllVariants, PluginBoundaryTest, testing::ValuesIn(variants),
                         [](const testing::TestParamInfo<VariantIdentity>& info) {
                             return "zask" + std::to_string(info.param.number);
                         });

TEST(PluginIsolationTest, TwoLoadedPluginsKeepTheirOwnSettings)
{
    Plugin one(1), four(4);
    ASSERT_NE(one.handle, nullptr);
    ASSERT_NE(four.handle, nullptr);
    int32_t* blockOne = settingsBlock(one.getInfo());
    int32_t* blockFour = settingsBlock(four.getInfo());
    ASSERT_NE(blockOne, blockFour);
    blockOne[15] = 7;
    EXPECT_EQ(blockFour[15], 50);
}

}  // namespace
