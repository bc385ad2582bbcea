// The plug-ins' own working allocations failing, through every plug-in: the
// initialise action's five buffers and the panel preview's blocks. Each
// failure is logged once with the variant's line, nothing leaks (the sanitizer
// build checks that at exit), and the next attempt works again.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/operator_interface.h"
#include "standin/gui_control.h"
#include "standin/standin_control.h"

namespace {

struct Variant {
    int number;
    const char* source;
    uint32_t module;
    int allocationOffset;  // the initialise action's lines
    int letterOffset;      // the letter list's and the preview resources' lines
};

const Variant variants[] = {
    {1, "src\\Zask1", 0x0BDC0000, 6, 6},  {2, "src\\Zask2", 0x0BDD0000, -4, -1}, {3, "src\\Zask3", 0x0BDE0000, -4, -1},
    {4, "src\\Zask4", 0x0BDF0000, 0, 0},  {5, "src\\Zask5", 0x0BE00000, 0, 1},  {6, "src\\Zask6", 0x0BE10000, -4, -55},
};

std::string variantName(const testing::TestParamInfo<Variant>& info)
{
    return "zask" + std::to_string(info.param.number);
}

constexpr size_t antialiasingWord = 6;

struct Plugin {
    void* handle = nullptr;
    OperatorActionFunction action = nullptr;
    int32_t* settings = nullptr;

    explicit Plugin(int n)
    {
        const std::string path = std::string(ZASK_PLUGIN_DIR) + "/zask" + std::to_string(n) + ".so";
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            throw std::runtime_error(dlerror());
        auto info = reinterpret_cast<GetOperatorInfoFunction>(dlsym(handle, "GetOperatorInfo"));
        action = reinterpret_cast<OperatorActionFunction>(dlsym(handle, "OperatorAction"));
        if (info == nullptr || action == nullptr)
            throw std::runtime_error(path + ": entry points missing");
        for (OperatorTag* tag = info(); tag->tag != tagEnd; ++tag)
            if (tag->tag == tagSettings)
                settings = static_cast<int32_t*>(reinterpret_cast<SettingsDescriptor*>(tag->value)->block);
        if (settings == nullptr)
            throw std::runtime_error(path + ": no settings block");
    }
    ~Plugin() { dlclose(handle); }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;
};

class AllocationFailureTest : public testing::TestWithParam<Variant> {
protected:
    void SetUp() override
    {
        standin::setLogEcho(false);
        standin::clearLoggedLines();
        standin::resetImages();
        standin::resetGui();
        setenv("KTHOME", ZASK_SHARED_DIR "/conformance/kthome-a", 1);
    }
    void TearDown() override
    {
        standin::clearFailures();
        standin::clearInputClip();
        standin::clearLoggedLines();
        standin::resetImages();
        standin::resetGui();
        unsetenv("KTHOME");
    }
    std::vector<std::string> expectedLog(int line) const
    {
        const Variant& v = GetParam();
        return {standin::formatLogLine(4, line, v.source, v.module, " ")};
    }
};

// An 8 x 4 grey clip whose fields go to `output`, and a title of the given
// one-line characters (JSON); the request is ready for action 1.
TitleDocument* prepareBracket(const char* chars, uint32_t clipLength, std::vector<uint8_t>& output,
                              ActionRequest& request)
{
    standin::setInputClip(8, 4, {std::vector<uint8_t>(8 * 4 * 3, 128)});
    output.assign(8 * 4 * 3, 0);
    standin::setOutputFrame(output.data());
    std::string error;
    TitleDocument* title = standin::parseTitle(
        std::string(R"({"pages": [{"boxes": [{"x": 0, "y": 0, "lines": [{"chars": [)") + chars + "]}]}]}]}", error);
    EXPECT_NE(title, nullptr) << error;
    request = ActionRequest{};
    request.clipLength = clipLength;
    request.title = title;
    request.action = actionInitialise;
    return title;
}

// One field of a one-letter title renders after a failed initialisation was
// released and the bracket opened again.
void renderOneField(OperatorActionFunction action)
{
    std::vector<uint8_t> output;
    ActionRequest request;
    TitleDocument* title = prepareBracket(
        R"({"pen": 0, "width": 2, "height": 2, "top": 0, "pixels": "ff80c0ffff80c0ffff80c0ffff80c0ff"})", 1, output,
        request);
    ASSERT_NE(title, nullptr);
    ASSERT_EQ(action(&request), 0);
    request.action = actionRender;
    EXPECT_EQ(action(&request), 0);
    request.action = actionRelease;
    EXPECT_EQ(action(&request), 0);
    standin::freeTitle(title);
    EXPECT_EQ(standin::imageCounts().outstanding, 0u);
}

TEST_P(AllocationFailureTest, EachInitialiseBufferFailsWithItsLineAndReleaseFreesTheOthers)
{
    // With antialiasing off the sample tile asks for nothing and is not an
    // allocation, so the fourth and fifth buffers move up one.
    const struct {
        int32_t antialiasing;
        std::vector<int> lines;  // zask4's, in allocation order
    } settings[] = {
        {1, {962, 969, 976, 989, 995}},
        {0, {962, 969, 989, 995}},
    };
    const Variant& v = GetParam();
    for (const auto& s : settings) {
        for (size_t n = 1; n <= s.lines.size(); ++n) {
            SCOPED_TRACE("antialiasing " + std::to_string(s.antialiasing) + ", allocation " + std::to_string(n));
            Plugin plugin(v.number);
            plugin.settings[antialiasingWord] = s.antialiasing;
            standin::clearLoggedLines();
            standin::failNthCall(standin::HostCall::allocation, n);
            ActionRequest request{};
            request.action = actionInitialise;
            EXPECT_EQ(plugin.action(&request), -1);
            EXPECT_EQ(standin::loggedLines(), expectedLog(s.lines[n - 1] + v.allocationOffset));
            request.action = actionRelease;
            EXPECT_EQ(plugin.action(&request), 0);

            standin::clearLoggedLines();
            renderOneField(plugin.action);
            EXPECT_TRUE(standin::loggedLines().empty());
        }
    }
}

TEST_P(AllocationFailureTest, AFailedLetterEntryFreesTheListAndTheNextFieldRenders)
{
    const Variant& v = GetParam();
    Plugin plugin(v.number);
    std::vector<uint8_t> output;
    ActionRequest request;
    // Three letters: the second entry fails after the first was appended.
    TitleDocument* title = prepareBracket(R"({"pen": 0, "width": 1, "height": 1, "top": 0, "pixels": "ff80c0ff"},
                                             {"pen": 64, "width": 1, "height": 1, "top": 0, "pixels": "ff80c0ff"},
                                             {"pen": 128, "width": 1, "height": 1, "top": 0, "pixels": "ff80c0ff"})",
                                          2, output, request);
    ASSERT_NE(title, nullptr);
    ASSERT_EQ(plugin.action(&request), 0);

    standin::failNthCall(standin::HostCall::allocation, 2);
    request.action = actionRender;
    EXPECT_EQ(plugin.action(&request), -1);
    EXPECT_EQ(standin::loggedLines(), expectedLog(2204 + v.letterOffset));

    request.position = 1;
    request.flags = requestFlagSecondField;
    EXPECT_EQ(plugin.action(&request), 0);
    EXPECT_EQ(standin::loggedLines().size(), 1u);
    request.action = actionRelease;
    EXPECT_EQ(plugin.action(&request), 0);
    // The failed field's background image stays with the operator.
    EXPECT_EQ(standin::imageCounts().outstanding, 1u);
    EXPECT_EQ(standin::imageCounts().badReleases, 0u);
    standin::freeTitle(title);
}

class PreviewAllocationFailureTest : public AllocationFailureTest {
protected:
    void SetUp() override
    {
        AllocationFailureTest::SetUp();
        giveLetter();
    }
    static void giveLetter()
    {
        int32_t w = 0, h = 0;
        std::vector<uint8_t> letter;
        std::string error;
        ASSERT_TRUE(standin::readRgbaFile(ZASK_SHARED_DIR "/conformance/preview-cases/letter998.rgba", w, h, letter,
                                          error))
            << error;
        standin::setCatalogueImage("zask_ops", 998, w, h, letter);
    }
    static void script(const std::string& text)
    {
        std::string error;
        ASSERT_TRUE(standin::setGuiScript(text, error)) << error;
    }
    static void openPanel(Plugin& plugin, uint16_t panel)
    {
        ActionRequest request{};
        request.action = actionOpenPanel;
        request.subCode = panel;
        EXPECT_EQ(plugin.action(&request), 0);
    }
    static void expectNothingLeftOpen()
    {
        const standin::GuiCounts counts = standin::guiCounts();
        EXPECT_EQ(counts.openDialogs, 0u);
        EXPECT_EQ(counts.openCatalogues, 0u);
        EXPECT_EQ(counts.gadgetExtensions, 0u);
    }
};

// The preview's blocks in allocation order with antialiasing on (zask4's lines).
const int previewBlockLines[] = {2641, 2647, 2654, 2661, 2674, 2680, 2713};

TEST_P(PreviewAllocationFailureTest, EachBlockFailingAtTheStartKeepsTheDialogClosed)
{
    const Variant& v = GetParam();
    for (uint16_t panel : {1, 2}) {
        for (size_t n = 1; n <= std::size(previewBlockLines); ++n) {
            SCOPED_TRACE("panel " + std::to_string(panel) + ", allocation " + std::to_string(n));
            standin::resetGui();
            giveLetter();
            standin::clearLoggedLines();
            Plugin plugin(v.number);
            plugin.settings[antialiasingWord] = 1;
            const std::vector<int32_t> before(plugin.settings, plugin.settings + 17);
            script("ok\n");
            standin::failNthCall(standin::HostCall::allocation, n);
            openPanel(plugin, static_cast<uint16_t>(panel));
            EXPECT_EQ(standin::guiCounts().dialogs, 0u);
            EXPECT_EQ(standin::loggedLines(), expectedLog(previewBlockLines[n - 1] + v.letterOffset));
            EXPECT_EQ(std::vector<int32_t>(plugin.settings, plugin.settings + 17), before);
            expectNothingLeftOpen();

            // Nothing armed any more: the same panel opens and draws.
            standin::resetGui();
            giveLetter();
            standin::clearLoggedLines();
            script("ok\n");
            openPanel(plugin, static_cast<uint16_t>(panel));
            EXPECT_EQ(standin::guiCounts().dialogs, 1u);
            EXPECT_FALSE(standin::writtenImages().empty());
            EXPECT_TRUE(standin::loggedLines().empty());
            expectNothingLeftOpen();
        }
    }
}

// A rebuild of the resources inside the open dialog (antialiasing changed)
// fails: the dialog stays open and never draws from missing blocks; the redraw
// that follows makes them again, and OK keeps the settings.
TEST_P(PreviewAllocationFailureTest, AFailedRebuildLeavesTheDialogOpenAndTheNextChangeRetries)
{
    const Variant& v = GetParam();
    Plugin plugin(v.number);
    plugin.settings[antialiasingWord] = 1;
    const size_t firstLoad = std::size(previewBlockLines);
    // 190 is the antialiasing popup of the light and look panel.
    script("set 190 2\nset 190 0\nok\n");
    standin::failNthCall(standin::HostCall::allocation, firstLoad + 1);
    openPanel(plugin, 2);
    EXPECT_TRUE(standin::scriptProblems().empty());
    EXPECT_EQ(standin::guiCounts().dialogs, 1u);
    EXPECT_EQ(standin::loggedLines(), expectedLog(2641 + v.letterOffset));
    EXPECT_EQ(plugin.settings[antialiasingWord], 0);
    // The opening picture and one after each change.
    EXPECT_EQ(standin::writtenImages().size(), 3u);
    EXPECT_EQ(standin::guiCounts().beeps, 0u);
    expectNothingLeftOpen();
}

INSTANTIATE_TEST_SUITE_P(AllVariants, AllocationFailureTest, testing::ValuesIn(variants), variantName);
INSTANTIATE_TEST_SUITE_P(AllVariants, PreviewAllocationFailureTest, testing::ValuesIn(variants), variantName);

}  // namespace
