#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "field/letter_layout.h"
#include "standin/standin_control.h"

namespace {

// Collects the host log in a file of its own for the length of a test.
class LayoutLog {
public:
    LayoutLog()
    {
        std::string error;
        path_ = testing::TempDir() + "letter_layout_test.log";
        EXPECT_TRUE(standin::openLogFile(path_, error)) << error;
        standin::setLogEcho(false);
    }
    ~LayoutLog()
    {
        standin::closeLogFile();
        standin::setLogEcho(true);
        std::remove(path_.c_str());
    }
    std::vector<std::string> lines() const
    {
        std::ifstream in(path_);
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

private:
    std::string path_;
};

std::string zask4Line(int line)
{
    return "severity=4 line=" + std::to_string(line) + " source=src\\Zask4 module=0x0BDF0000 message=\" \"";
}

// Host pixels {a, Cr, Cb, Y}, one word each (a in the high byte), as hex text.
std::string pixels(const std::vector<uint32_t>& hostPixels)
{
    std::string hex;
    char b[9];
    for (uint32_t p : hostPixels) {
        std::snprintf(b, sizeof b, "%08x", p);
        hex += b;
    }
    return hex;
}

std::string character(int pen, int width, int height, const std::vector<uint32_t>& hostPixels, int top = 0)
{
    return "{\"pen\": " + std::to_string(pen) + ", \"width\": " + std::to_string(width) +
           ", \"height\": " + std::to_string(height) + ", \"top\": " + std::to_string(top) +
           ", \"pixels\": \"" + pixels(hostPixels) + "\"}";
}

// A 1 x 1 picture with ink (opaque grey).
std::string inked(int pen)
{
    return character(pen, 1, 1, {0xFF808080});
}

std::string line(const std::vector<std::string>& chars)
{
    std::string text = "{\"chars\": [";
    for (size_t i = 0; i < chars.size(); ++i)
        text += (i ? ", " : "") + chars[i];
    return text + "]}";
}

std::string box(int x, int y, const std::vector<std::string>& lines)
{
    std::string text = "{\"x\": " + std::to_string(x) + ", \"y\": " + std::to_string(y) + ", \"lines\": [";
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i ? ", " : "") + lines[i];
    return text + "]}";
}

std::string page(const std::vector<std::string>& boxes)
{
    std::string text = "{\"boxes\": [";
    for (size_t i = 0; i < boxes.size(); ++i)
        text += (i ? ", " : "") + boxes[i];
    return text + "]}";
}

std::string document(const std::vector<std::string>& pages)
{
    std::string text = "{\"pages\": [";
    for (size_t i = 0; i < pages.size(); ++i)
        text += (i ? ", " : "") + pages[i];
    return text + "]}";
}

struct LetterLayoutTest : testing::Test {
    std::vector<TitleDocument*> titles;
    ActionRequest request{};

    void SetUp() override
    {
        standin::resetImages();
        lstInitList(&letterList);
        request.action = actionRender;
    }
    void TearDown() override
    {
        freeLetterList();
        forgetTitle();
        for (TitleDocument* t : titles)
            standin::freeTitle(t);
        EXPECT_EQ(standin::imageCounts().outstanding, 0u);
        EXPECT_EQ(standin::imageCounts().badReleases, 0u);
        standin::resetImages();
    }

    TitleDocument* title(const std::string& json)
    {
        std::string error;
        TitleDocument* t = standin::parseTitle(json, error);
        EXPECT_NE(t, nullptr) << error;
        titles.push_back(t);
        return t;
    }

    static std::vector<LetterEntry*> entries()
    {
        std::vector<LetterEntry*> result;
        for (ListNode* n = lstFirst(&letterList); n != nullptr; n = lstNext(n))
            result.push_back(reinterpret_cast<LetterEntry*>(n));
        return result;
    }
};

TEST_F(LetterLayoutTest, PageOfEmptyLinesGivesAnEmptyList)
{
    LayoutLog log;
    request.title = title(document({page({box(0, 0, {line({}), line({})}), box(64, 64, {})})}));
    letterCount = 99;
    EXPECT_EQ(buildLetterList(&request, 10), 0);
    EXPECT_EQ(letterCount, 0u);
    EXPECT_EQ(lstFirst(&letterList), nullptr);
    EXPECT_TRUE(log.lines().empty());
}

// Page p = position / pageLength; with two pages, p >= 1 lays out page 1.
TEST_F(LetterLayoutTest, PageNumberPastTheEndLaysOutTheLastPage)
{
    request.title = title(document({
        page({box(0, 0, {line({inked(7)})})}),
        page({box(0, 0, {line({inked(100), inked(200)})})}),
    }));
    struct Case {
        uint32_t position;
        std::vector<int32_t> pens;
    };
    const Case cases[] = {
        {0, {7}}, {9, {7}}, {10, {100, 200}}, {25, {100, 200}}, {95, {100, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        freeLetterList();
        request.position = c.position;
        ASSERT_EQ(buildLetterList(&request, 10), 0);
        std::vector<int32_t> pens;
        for (LetterEntry* e : entries())
            pens.push_back(e->penX);
        EXPECT_EQ(pens, c.pens);
        EXPECT_EQ(letterCount, c.pens.size());
    }
}

// Box 0 (x 640, y 1280) holds a line of three and an empty line, box 1
// (x -64, y 320) a line of three: entries 0 .. 5 in box, line, char order.
TEST_F(LetterLayoutTest, EntriesFollowBoxLineAndCharacterOrder)
{
    request.title = title(document({page({
        box(640, 1280, {line({inked(0), inked(448), inked(896)}), line({})}),
        box(-64, 320, {line({inked(5), inked(6), inked(7)})}),
    })}));
    ASSERT_EQ(buildLetterList(&request, 100), 0);
    EXPECT_EQ(letterCount, 6u);

    TitlePage* firstPage = mtNextPage(request.title, nullptr);
    TitleBox* box0 = mtNextBox(firstPage, nullptr);
    TitleBox* box1 = mtNextBox(firstPage, box0);
    TitleLine* line0 = mtNextLine(box0, nullptr);
    TitleLine* line2 = mtNextLine(box1, nullptr);

    struct Expected {
        TitleLine* line;
        int32_t charIndex, penX, boxX, boxY;
    };
    const Expected expected[] = {
        {line0, 0, 0, 640, 1280}, {line0, 1, 448, 640, 1280}, {line0, 2, 896, 640, 1280},
        {line2, 0, 5, -64, 320},  {line2, 1, 6, -64, 320},    {line2, 2, 7, -64, 320},
    };
    const std::vector<LetterEntry*> list = entries();
    ASSERT_EQ(list.size(), 6u);
    for (size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i]->letterNumber, static_cast<int32_t>(i));
        EXPECT_EQ(list[i]->line, expected[i].line);
        EXPECT_EQ(list[i]->charIndex, expected[i].charIndex);
        EXPECT_EQ(list[i]->penX, expected[i].penX);
        EXPECT_EQ(list[i]->boxX, expected[i].boxX);
        EXPECT_EQ(list[i]->boxY, expected[i].boxY);
        EXPECT_EQ(list[i]->image, nullptr);
    }
    // Pictures are fetched only when a letter is prepared.
    EXPECT_EQ(standin::imageCounts().handedOut, 0u);
}

// A blank (alpha 0 everywhere) gets an entry and a picture but no ink, and
// the letters after it keep their numbers.
TEST_F(LetterLayoutTest, InklessCharacterKeepsItsNumber)
{
    const std::string blank = character(64, 2, 1, {0x00808080, 0x00FF00FF});
    request.title = title(document({page({box(0, 0, {line({inked(0), blank, inked(128)})})})}));
    ASSERT_EQ(buildLetterList(&request, 10), 0);
    ASSERT_EQ(letterCount, 3u);
    const std::vector<LetterEntry*> list = entries();
    const int32_t ink[] = {1, 0, 1};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        prepareLetter(list[i]);
        ASSERT_NE(list[i]->image, nullptr);
        EXPECT_EQ(list[i]->hasInk, ink[i]);
        EXPECT_EQ(list[i]->letterNumber, static_cast<int32_t>(i));
    }
    EXPECT_EQ(standin::imageCounts().outstanding, 3u);

    // Freeing the list hands every picture back.
    freeLetterList();
    EXPECT_EQ(lstFirst(&letterList), nullptr);
    EXPECT_EQ(standin::imageCounts().takenBack, 3u);
    EXPECT_EQ(standin::imageCounts().outstanding, 0u);
}

// {a, Cr, Cb, Y} -> {B, G, R, a}, float steps truncated then clamped:
//   {0,128,128,200}: cr = cb = 0 -> 200, 200, 200.
//   {255,240,90,81}: cr 112, cb -38: R = 157.024 + 81 = 238.02, G = (81 + 13.077)
//     - 79.983 = 14.09, B = -67.336 + 81 = 13.66 -> {13, 14, 238}.
//   {1,255,255,255}: R = 433 -> 255, G = (255 - 43.705) - 90.695 = 120.6, B = 480 -> 255.
//   {7,0,128,0}: cr -128: R = -179.456 -> 0, G = 0 + 91.409 = 91.4, B = 0.
//   {0,128,128,128}: grey 128.
TEST_F(LetterLayoutTest, PicturesAreConvertedInPlace)
{
    struct Case {
        uint32_t host;
        uint8_t colour[4];
    };
    const Case cases[] = {
        {0x008080C8, {200, 200, 200, 0}},
        {0xFFF05A51, {13, 14, 238, 255}},
        {0x01FFFFFF, {255, 120, 255, 1}},
        {0x07008000, {0, 91, 0, 7}},
        {0x00808080, {128, 128, 128, 0}},
    };
    std::vector<uint32_t> host;
    for (const Case& c : cases)
        host.push_back(c.host);
    request.title = title(document({page({box(0, 0, {line({character(0, 5, 1, host, 3)})})})}));
    ASSERT_EQ(buildLetterList(&request, 10), 0);
    LetterEntry* entry = entries().at(0);
    prepareLetter(entry);
    ASSERT_NE(entry->image, nullptr);
    EXPECT_EQ(entry->image->width, 5);
    EXPECT_EQ(entry->image->height, 1);
    EXPECT_EQ(entry->image->top, 3);
    EXPECT_EQ(entry->hasInk, 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const uint8_t* p = entry->image->pixels + 4 * i;
        EXPECT_EQ(std::vector<int>(p, p + 4),
                  std::vector<int>(cases[i].colour, cases[i].colour + 4));
    }
}

TEST_F(LetterLayoutTest, GreyPictureWithoutAlphaHasNoInk)
{
    request.title = title(document({page({box(0, 0, {line({character(0, 2, 2, {0x008080C8, 0x008080C8,
                                                                              0x008080C8, 0x008080C8})})})})}));
    ASSERT_EQ(buildLetterList(&request, 10), 0);
    LetterEntry* entry = entries().at(0);
    entry->hasInk = 1;  // prepare decides afresh
    prepareLetter(entry);
    ASSERT_NE(entry->image, nullptr);
    EXPECT_EQ(entry->hasInk, 0);
    for (int i = 0; i < 4; ++i) {
        const uint8_t* p = entry->image->pixels + 4 * i;
        EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{200, 200, 200, 0})) << i;
    }
}

TEST_F(LetterLayoutTest, RequestWithoutTitleFails)
{
    LayoutLog log;
    request.title = nullptr;
    EXPECT_EQ(buildLetterList(&request, 10), -1);
    EXPECT_EQ(letterCount, 0u);
    EXPECT_EQ(lstFirst(&letterList), nullptr);
    EXPECT_EQ(log.lines(), std::vector<std::string>{zask4Line(2213)});
}

TEST_F(LetterLayoutTest, TitleWithoutPagesFails)
{
    LayoutLog log;
    request.title = title(document({}));
    EXPECT_EQ(buildLetterList(&request, 10), -1);
    EXPECT_EQ(letterCount, 0u);
    EXPECT_EQ(lstFirst(&letterList), nullptr);
    EXPECT_EQ(log.lines(), std::vector<std::string>{zask4Line(2142)});
}

// The stand-in offers no switch to make mtBoundingBox or mtPenPosition fail;
// they fail for a line record the host does not recognise (bounding box) and
// for a character index beyond the line (pen position), so the test edits the
// second line's host record for the length of one build. The entries made
// for the first line are freed again.
TEST_F(LetterLayoutTest, HostFailuresOnALineFreeTheList)
{
    request.title = title(document({page({box(0, 0, {line({inked(0), inked(64)}), line({inked(0)})})})}));
    TitleBox* firstBox = mtNextBox(mtNextPage(request.title, nullptr), nullptr);
    TitleLine* second = mtNextLine(firstBox, mtNextLine(firstBox, nullptr));
    ASSERT_NE(second, nullptr);

    {
        LayoutLog log;
        void* hostData = second->hostData;
        second->hostData = nullptr;  // no longer a line of the host's
        EXPECT_EQ(buildLetterList(&request, 10), -1);
        second->hostData = hostData;
        EXPECT_EQ(lstFirst(&letterList), nullptr);
        EXPECT_EQ(log.lines(), std::vector<std::string>{zask4Line(2168)});
    }
    {
        LayoutLog log;
        second->charCount = 2;  // the host knows only one character
        EXPECT_EQ(buildLetterList(&request, 10), -1);
        second->charCount = 1;
        EXPECT_EQ(lstFirst(&letterList), nullptr);
        EXPECT_EQ(log.lines(), std::vector<std::string>{zask4Line(2191)});
    }
    // The untouched title lays out again.
    EXPECT_EQ(buildLetterList(&request, 10), 0);
    EXPECT_EQ(letterCount, 3u);
}

// mtCreateLineImage refuses a character the line does not have: the entry
// stays without picture, and every later attempt logs again.
TEST_F(LetterLayoutTest, PictureThatCannotBeHadIsLoggedAndRetried)
{
    request.title = title(document({page({box(0, 0, {line({inked(0)})})})}));
    ASSERT_EQ(buildLetterList(&request, 10), 0);
    LetterEntry* entry = entries().at(0);
    entry->charIndex = 5;
    LayoutLog log;
    prepareLetter(entry);
    EXPECT_EQ(entry->image, nullptr);
    prepareLetter(entry);
    EXPECT_EQ(entry->image, nullptr);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{zask4Line(668), zask4Line(668)}));
    EXPECT_EQ(standin::imageCounts().handedOut, 0u);
}

}  // namespace
