#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "standin/standin_control.h"

namespace {

struct LogLineCase {
    int32_t severity;
    int32_t line;
    const char* source;
    uint32_t module;
    const char* message;
    const char* expected;
};

void PrintTo(const LogLineCase& c, std::ostream* os) { *os << c.expected; }

class LogLineTest : public testing::TestWithParam<LogLineCase> {};

TEST_P(LogLineTest, Formats) {
    const LogLineCase& c = GetParam();
    EXPECT_EQ(standin::formatLogLine(c.severity, c.line, c.source, c.module, c.message), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LogLineTest,
    testing::Values(
        LogLineCase{4, 1187, "src\\Zask4", 0xBDF0000, " ",
                    "severity=4 line=1187 source=src\\Zask4 module=0x0BDF0000 message=\" \""},
        LogLineCase{4, 2158, "src\\Zask6", 0xBE10000, " ",
                    "severity=4 line=2158 source=src\\Zask6 module=0x0BE10000 message=\" \""},
        LogLineCase{-1, 0, "", 0xDEADBEEF, "a \"b\"", "severity=-1 line=0 source= module=0xDEADBEEF message=\"a \"b\"\""},
        LogLineCase{4, 7, nullptr, 0, nullptr, "severity=4 line=7 source= module=0x00000000 message=\"\""}));

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(LoggerTest, FileIsCreatedEmptyThenGetsOneLinePerMessage) {
    std::string path = testing::TempDir() + "standin_logger_test.log";
    std::ofstream(path) << "stale\n";
    std::string error;
    ASSERT_TRUE(standin::openLogFile(path, error)) << error;
    standin::setLogEcho(true);
    EXPECT_EQ(readFile(path), "");
    testing::internal::CaptureStderr();
    loggerMessage(4, 310, "src\\Zask1", 0xBDC0000, " ");
    loggerMessage(4, 316, "src\\Zask1", 0xBDC0000, " ");
    std::string echoed = testing::internal::GetCapturedStderr();
    std::string expected =
        "severity=4 line=310 source=src\\Zask1 module=0x0BDC0000 message=\" \"\n"
        "severity=4 line=316 source=src\\Zask1 module=0x0BDC0000 message=\" \"\n";
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(echoed, expected);
    standin::closeLogFile();
    loggerMessage(4, 1, "x", 0, " ");  // no file any more: only echoed
    EXPECT_EQ(readFile(path), expected);
    std::remove(path.c_str());
}

// A long render that logs now and then keeps the latest lines in memory,
// never all of them; the count and the file see every message.
TEST(LoggerTest, KeptLinesAreBoundedAndTheLatestSurvive) {
    standin::setLogEcho(false);
    standin::clearLoggedLines();
    const uint64_t before = standin::logMessageCount();
    for (int i = 0; i < 25000; ++i) loggerMessage(4, i, "s", 0, " ");
    const std::vector<std::string> lines = standin::loggedLines();
    EXPECT_LE(lines.size(), 10000u);
    EXPECT_GE(lines.size(), 5000u);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), standin::formatLogLine(4, 24999, "s", 0, " "));
    EXPECT_EQ(standin::logMessageCount() - before, 25000u);
    standin::clearLoggedLines();
    standin::setLogEcho(true);
}

TEST(LoggerTest, UncreatableFileIsAnError) {
    std::string error;
    EXPECT_FALSE(standin::openLogFile("/nonexistent-directory/zask.log", error));
    EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
