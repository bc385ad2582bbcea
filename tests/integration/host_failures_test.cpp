// Host calls that fail, through every plug-in: the variant's log line, the
// field's result, what the host gets back, and the next field working again.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <string>
#include <vector>

#include "host/operator_interface.h"
#include "standin/standin_control.h"

namespace {

struct Variant {
    int number;
    const char* source;
    uint32_t module;
    int letterOffset;
};

const Variant variants[] = {
    {1, "src\\Zask1", 0x0BDC0000, 6},  {2, "src\\Zask2", 0x0BDD0000, -1}, {3, "src\\Zask3", 0x0BDE0000, -1},
    {4, "src\\Zask4", 0x0BDF0000, 0},  {5, "src\\Zask5", 0x0BE00000, 1},  {6, "src\\Zask6", 0x0BE10000, -55},
};

struct Failure {
    const char* name;
    standin::HostCall call;
    int line;                 // zask4's
    bool letterGroup;         // shifted by the variant's letter-list offset
    int32_t result;           // of the field whose call fails
    uint64_t keptByOperator;  // images the operator keeps after a failed field
};

const Failure failures[] = {
    {"field", standin::HostCall::getField, 310, false, -1, 0},
    {"background", standin::HostCall::allocImage, 316, false, -1, 1},
    {"boundingBox", standin::HostCall::boundingBox, 2168, true, -1, 1},
    {"penPosition", standin::HostCall::penPosition, 2191, true, -1, 1},
    {"letterPicture", standin::HostCall::createLineImage, 668, false, 0, 0},
};

class HostFailureTest : public testing::TestWithParam<std::tuple<Variant, Failure>> {
protected:
    void TearDown() override
    {
        standin::clearFailures();
        standin::clearInputClip();
        standin::clearLoggedLines();
        standin::resetImages();
        unsetenv("KTHOME");
    }
};

TEST_P(HostFailureTest, IsLoggedOnceAndTheNextFieldRendersAgain)
{
    const auto& [variant, failure] = GetParam();
    const std::string path = std::string(ZASK_PLUGIN_DIR) + "/zask" + std::to_string(variant.number) + ".so";
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto getInfo = reinterpret_cast<GetOperatorInfoFunction>(dlsym(handle, "GetOperatorInfo"));
    auto action = reinterpret_cast<OperatorActionFunction>(dlsym(handle, "OperatorAction"));
    ASSERT_NE(getInfo, nullptr);
    ASSERT_NE(action, nullptr);
    getInfo();

    setenv("KTHOME", (std::string(ZASK_SHARED_DIR) + "/conformance/kthome-a").c_str(), 1);
    standin::setLogEcho(false);
    standin::clearLoggedLines();
    standin::resetImages();
    standin::setInputClip(8, 4, {std::vector<uint8_t>(8 * 4 * 3, 128)});
    std::vector<uint8_t> output(8 * 4 * 3);
    standin::setOutputFrame(output.data());
    std::string error;
    TitleDocument* title = standin::parseTitle(
        R"({"pages": [{"boxes": [{"x": 0, "y": 0, "lines": [{"chars": [
             {"pen": 0, "width": 2, "height": 2, "top": 0, "pixels": "ff80c0ffff80c0ffff80c0ffff80c0ff"}]}]}]}]})",
        error);
    ASSERT_NE(title, nullptr) << error;

    ActionRequest request{};
    request.clipLength = 2;
    request.title = title;
    request.action = actionInitialise;
    ASSERT_EQ(action(&request), 0);

    standin::failNthCall(failure.call, 1);
    request.action = actionRender;
    request.position = 0;
    EXPECT_EQ(action(&request), failure.result);
    const int line = failure.line + (failure.letterGroup ? variant.letterOffset : 0);
    EXPECT_EQ(standin::loggedLines(),
              std::vector<std::string>{standin::formatLogLine(4, line, variant.source, variant.module, " ")});

    request.position = 1;
    request.flags = requestFlagSecondField;
    EXPECT_EQ(action(&request), 0);
    EXPECT_EQ(standin::loggedLines().size(), 1u);

    request.action = actionRelease;
    EXPECT_EQ(action(&request), 0);
    const standin::ImageCounts images = standin::imageCounts();
    EXPECT_EQ(images.outstanding, failure.keptByOperator);
    EXPECT_EQ(images.badReleases, 0u);
    standin::freeTitle(title);
    dlclose(handle);
}

INSTANTIATE_TEST_SUITE_P(
    AllVariants, HostFailureTest, testing::Combine(testing::ValuesIn(variants), testing::ValuesIn(failures)),
    [](const testing::TestParamInfo<std::tuple<Variant, Failure>>& info) {
        return "zask" + std::to_string(std::get<0>(info.param).number) + "_" + std::get<1>(info.param).name;
    });

// The same through the host program: `--fail CALL:N`, for a host call and
// for the plug-in's own allocations. The fixture renders without
// antialiasing, so its fourth allocation is the last render buffer and its
// fifth the first letter entry.
TEST(HostFailureProgramTest, FailOptionEndsTheRenderWithTheLogLine)
{
    const struct {
        const char* fail;
        int line;
    } cases[] = {{"mtBoundingBox:1", 2168}, {"allocation:1", 962}, {"allocation:4", 995}, {"allocation:5", 2204}};
    const std::string fixture = std::string(ZASK_SHARED_DIR) + "/conformance/cases/zask4-hallo-phases";
    const std::string out = std::string(ZASK_TEST_OUTPUT_DIR) + "/host_failures";
    std::system(("mkdir -p " + out).c_str());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fail);
        const std::string command = std::string(ZASK_HOST_PROGRAM) + " render --operator " + ZASK_PLUGIN_DIR +
                                    "/zask4.so --kthome " + ZASK_SHARED_DIR + "/conformance/kthome-a --title " +
                                    fixture + "/title.json --input " + ZASK_SHARED_DIR +
                                    "/conformance/inputs/gradient.y4m" + " --settings " + fixture +
                                    "/settings.bin --frames 0:4 --output " + out + "/out.y4m --log " + out +
                                    "/log.txt --strict-images --fail " + c.fail + " 2>/dev/null";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        FILE* log = std::fopen((out + "/log.txt").c_str(), "r");
        ASSERT_NE(log, nullptr);
        char line[256] = {};
        ASSERT_NE(std::fgets(line, sizeof line, log), nullptr);
        EXPECT_EQ(std::fgets(line + 128, 128, log), nullptr) << "one line only";
        std::fclose(log);
        EXPECT_EQ(std::string(line), standin::formatLogLine(4, c.line, "src\\Zask4", 0x0BDF0000, " ") + "\n");
    }
}

}  // namespace
