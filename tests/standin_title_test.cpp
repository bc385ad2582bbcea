#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "standin/standin_control.h"

namespace {

// Pixels of a w x h picture: pixel i is {i, 0x80, 0x81, 0x10 + i}.
std::string pictureHex(int w, int h) {
    std::string hex;
    char b[9];
    for (int i = 0; i < w * h; ++i) {
        std::snprintf(b, sizeof b, "%02x8081%02x", i & 0xFF, (0x10 + i) & 0xFF);
        hex += b;
    }
    return hex;
}

std::string character(int pen, int w, int h, int top) {
    return "{\"pen\": " + std::to_string(pen) + ", \"width\": " + std::to_string(w) + ", \"height\": " +
           std::to_string(h) + ", \"top\": " + std::to_string(top) + ", \"pixels\": \"" + pictureHex(w, h) + "\"}";
}

// Two pages; page 0 has two boxes, the first with two lines.
std::string sampleTitle() {
    return "{\"pages\": [\n"
           " {\"boxes\": [\n"
           "  {\"x\": 640, \"y\": -128, \"lines\": [\n"
           "    {\"chars\": [" + character(0, 2, 3, 1) + ", " + character(192, 1, 1, 4) + "]},\n"
           "    {\"chars\": []}]},\n"
           "  {\"x\": 0, \"y\": 64, \"lines\": [{\"chars\": [" + character(5, 0, 0, 0) + "]}]}]},\n"
           " {\"boxes\": []}]}";
}

struct TitleFixture : testing::Test {
    TitleDocument* title = nullptr;
    void SetUp() override {
        standin::resetImages();
        std::string error;
        title = standin::parseTitle(sampleTitle(), error);
        ASSERT_NE(title, nullptr) << error;
    }
    void TearDown() override {
        standin::freeTitle(title);
        standin::resetImages();
    }
};

TEST_F(TitleFixture, WalksPagesBoxesAndLinesInOrder) {
    EXPECT_EQ(title->pageCount, 2u);
    TitlePage* page0 = mtNextPage(title, nullptr);
    ASSERT_NE(page0, nullptr);
    TitlePage* page1 = mtNextPage(title, page0);
    ASSERT_NE(page1, nullptr);
    EXPECT_EQ(mtNextPage(title, page1), nullptr);
    EXPECT_EQ(mtNextBox(page1, nullptr), nullptr);

    TitleBox* box0 = mtNextBox(page0, nullptr);
    ASSERT_NE(box0, nullptr);
    EXPECT_EQ(box0->left, 640);
    EXPECT_EQ(box0->top, -128);
    TitleBox* box1 = mtNextBox(page0, box0);
    ASSERT_NE(box1, nullptr);
    EXPECT_EQ(box1->top, 64);
    EXPECT_EQ(mtNextBox(page0, box1), nullptr);

    TitleLine* line0 = mtNextLine(box0, nullptr);
    ASSERT_NE(line0, nullptr);
    EXPECT_EQ(line0->charCount, 2);
    TitleLine* line1 = mtNextLine(box0, line0);
    ASSERT_NE(line1, nullptr);
    EXPECT_EQ(line1->charCount, 0);
    EXPECT_EQ(mtNextLine(box0, line1), nullptr);
    // A line of another box does not continue this box.
    EXPECT_EQ(mtNextLine(box1, line0), nullptr);
}

TEST_F(TitleFixture, PenPositionsAndBoundingBox) {
    TitleLine* line = mtNextLine(mtNextBox(mtNextPage(title, nullptr), nullptr), nullptr);
    char rectangle[16];
    EXPECT_EQ(mtBoundingBox(line, rectangle, 0, line->charCount), 0);
    struct Case {
        int32_t index;
        int32_t result;
        int32_t pen;
    };
    for (Case c : {Case{0, 0, 0}, Case{1, 0, 192}, Case{2, -1, -7}, Case{-1, -1, -7}}) {
        int32_t x = -7;
        EXPECT_EQ(mtPenPosition(line, &x, c.index), c.result) << c.index;
        EXPECT_EQ(x, c.pen) << c.index;
    }
}

TEST_F(TitleFixture, LineImagesAreCopiesAndCounted) {
    TitleLine* line = mtNextLine(mtNextBox(mtNextPage(title, nullptr), nullptr), nullptr);
    HostImage* a = mtCreateLineImage(line, 0, 1, 0);
    HostImage* b = mtCreateLineImage(line, 0, 1, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a->pixels, b->pixels);
    EXPECT_EQ(a->width, 2);
    EXPECT_EQ(a->height, 3);
    EXPECT_EQ(a->top, 1);
    for (int i = 0; i < 6; ++i) {
        const uint8_t* p = a->pixels + 4 * i;
        EXPECT_EQ(p[0], i);
        EXPECT_EQ(p[1], 0x80);
        EXPECT_EQ(p[2], 0x81);
        EXPECT_EQ(p[3], 0x10 + i);
    }
    a->pixels[0] = 0xEE;  // the operator converts in place; the title must not change
    HostImage* c = mtCreateLineImage(line, 0, 1, 0);
    EXPECT_EQ(c->pixels[0], 0);
    EXPECT_EQ(mtCreateLineImage(line, 2, 1, 0), nullptr);
    EXPECT_EQ(standin::imageCounts().outstanding, 3u);
    mtFreeLineImage(a);
    mtFreeLineImage(b);
    mtFreeLineImage(c);
    standin::ImageCounts counts = standin::imageCounts();
    EXPECT_EQ(counts.handedOut, 3u);
    EXPECT_EQ(counts.takenBack, 3u);
    EXPECT_EQ(counts.outstanding, 0u);
    EXPECT_EQ(counts.badReleases, 0u);
}

TEST_F(TitleFixture, EmptyPictureStillHasPixels) {
    TitleBox* box1 = mtNextBox(mtNextPage(title, nullptr), mtNextBox(mtNextPage(title, nullptr), nullptr));
    HostImage* image = mtCreateLineImage(mtNextLine(box1, nullptr), 0, 1, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(image->pixels, nullptr);
    EXPECT_EQ(image->width, 0);
    mtFreeLineImage(image);
}

TEST(TitleTest, WalkOfAFreedOrForeignDocumentFindsNothing) {
    std::string error;
    TitleDocument* title = standin::parseTitle("{\"pages\": [{\"boxes\": []}]}", error);
    ASSERT_NE(title, nullptr) << error;
    TitleDocument foreign{};
    EXPECT_EQ(mtNextPage(&foreign, nullptr), nullptr);
    EXPECT_NE(mtNextPage(title, nullptr), nullptr);
    standin::freeTitle(title);
}

struct BadTitle {
    std::string json;
    const char* phrase;
};

void PrintTo(const BadTitle& c, std::ostream* os) { *os << c.phrase; }

class TitleErrorTest : public testing::TestWithParam<BadTitle> {};

TEST_P(TitleErrorTest, ExplainsTheProblem) {
    std::string error;
    TitleDocument* title = standin::parseTitle(GetParam().json, error);
    EXPECT_EQ(title, nullptr);
    EXPECT_NE(error.find(GetParam().phrase), std::string::npos) << error;
    standin::freeTitle(title);
}

std::string inBox(const std::string& chars) {
    return "{\"pages\": [{\"boxes\": [{\"x\": 0, \"y\": 0, \"lines\": [{\"chars\": [" + chars + "]}]}]}]}";
}

INSTANTIATE_TEST_SUITE_P(
    Schema, TitleErrorTest,
    testing::Values(
        BadTitle{"{\"pages\": [", "line 1, column 12: unexpected end of the document"},
        BadTitle{"[]", "line 1, column 1: expected an object, not an array"},
        BadTitle{"{}", "missing member \"pages\""},
        BadTitle{"{\"pages\": {}}", "\"pages\" must be an array, not an object"},
        BadTitle{"{\"pages\": [], \"font\": 1}", "unknown member \"font\""},
        BadTitle{"{\"pages\": [{\"boxes\": [{\"x\": \"0\", \"y\": 0, \"lines\": []}]}]}",
                 "pages[0].boxes[0]: \"x\" must be an integer, not a string"},
        BadTitle{"{\"pages\": [{\"boxes\": [{\"x\": 1.5, \"y\": 0, \"lines\": []}]}]}",
                 "\"x\" must be an integer from -2147483648 to 2147483647"},
        BadTitle{inBox("{\"pen\": 0, \"width\": -1, \"height\": 1, \"top\": 0, \"pixels\": \"\"}"),
                 "pages[0].boxes[0].lines[0].chars[0]: \"width\" must be an integer from 0 to 32767"},
        BadTitle{inBox("{\"pen\": 0, \"width\": 1, \"height\": -2, \"top\": 0, \"pixels\": \"\"}"),
                 "\"height\" must be an integer from 0 to 32767"},
        BadTitle{inBox("{\"pen\": 0, \"width\": 1, \"height\": 1, \"top\": 0, \"pixels\": \"0080\"}"),
                 "\"pixels\" has 4 hex digits, width 1 x height 1 needs 8"},
        BadTitle{inBox("{\"pen\": 0, \"width\": 1, \"height\": 1, \"top\": 0, \"pixels\": \"008080zz\"}"),
                 "not a hex digit at offset 6"},
        BadTitle{inBox("{\"pen\": 0, \"width\": 1, \"height\": 1, \"top\": 0}"), "missing member \"pixels\""},
        BadTitle{inBox("{\"pen\": 0, \"width\": 1, \"height\": 1, \"top\": 0, \"pixels\": 7}"),
                 "\"pixels\" must be a string, not a number"}));

TEST(TitleTest, FileErrorsNameTheFile) {
    std::string path = testing::TempDir() + "standin_title_test_bad.json";
    std::ofstream(path) << "{\"pages\": [}\n";
    std::string error;
    EXPECT_EQ(standin::loadTitleFile(path, error), nullptr);
    EXPECT_EQ(error, path + ": line 1, column 12: unexpected '}', expected a value");
    std::remove(path.c_str());
    EXPECT_EQ(standin::loadTitleFile(path, error), nullptr);
    EXPECT_EQ(error, path + ": cannot open: No such file or directory");
}

}  // namespace
