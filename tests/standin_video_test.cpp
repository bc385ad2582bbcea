#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "standin/standin_control.h"

namespace {

constexpr int width = 3;
constexpr int height = 4;

// Frame f, plane c (0 Y, 1 Cb, 2 Cr), line y, column x holds a value that names all four.
uint8_t sample(int f, int c, int y, int x) { return static_cast<uint8_t>(f * 64 + c * 16 + y * 4 + x); }

standin::PlanarFrame makeFrame(int f) {
    standin::PlanarFrame frame(width * height * 3);
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) frame[(c * height + y) * width + x] = sample(f, c, y, x);
    return frame;
}

struct VideoFixture : testing::Test {
    void SetUp() override {
        standin::resetImages();
        standin::resetCounters();
        standin::setInputClip(width, height, {makeFrame(0), makeFrame(1)});
    }
    void TearDown() override {
        standin::clearInputClip();
        standin::resetImages();
    }
};

TEST_F(VideoFixture, FieldHoldsTheLinesOfItsParityAsHostPixels) {
    struct Case {
        uint32_t position;
        int frame;
        int parity;
    };
    for (Case c : {Case{0, 0, 0}, Case{1, 0, 1}, Case{2, 1, 0}, Case{3, 1, 1}}) {
        HostImage* field = opGetField(0, c.position);
        ASSERT_NE(field, nullptr) << c.position;
        EXPECT_EQ(field->width, width);
        EXPECT_EQ(field->height, height / 2);
        for (int k = 0; k < height / 2; ++k)
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = field->pixels + (k * width + x) * 4;
                int line = 2 * k + c.parity;
                EXPECT_EQ(p[0], 0);
                EXPECT_EQ(p[1], sample(c.frame, 2, line, x));
                EXPECT_EQ(p[2], sample(c.frame, 1, line, x));
                EXPECT_EQ(p[3], sample(c.frame, 0, line, x));
            }
        opFreeImage(field);  // wrong function on purpose: counted, still freed
    }
    EXPECT_EQ(standin::imageCounts().badReleases, 4u);
    EXPECT_EQ(standin::imageCounts().outstanding, 0u);
}

TEST_F(VideoFixture, FieldBeyondTheClipOrOfAnotherInputIsNull) {
    EXPECT_EQ(opGetField(0, 4), nullptr);
    EXPECT_EQ(opGetField(1, 0), nullptr);
    EXPECT_EQ(standin::imageCounts().handedOut, 0u);
}

// A streaming host holds only the frame it renders: that frame's fields come
// from it, every other position is null.
TEST_F(VideoFixture, AHeldSingleFrameServesOnlyItsOwnFields) {
    standin::setInputFrame(width, height, 7, makeFrame(1));
    EXPECT_EQ(standin::inputFrameCount(), 8u);
    EXPECT_EQ(standin::inputFrame(7), makeFrame(1));
    EXPECT_THROW(standin::inputFrame(6), std::out_of_range);
    for (uint32_t position : {0u, 13u, 16u}) EXPECT_EQ(opGetField(0, position), nullptr) << position;
    HostImage* field = opGetField(0, 15);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->pixels[3], sample(1, 0, 1, 0));
    opFreeImage(field);
    standin::setInputClip(width, height, {makeFrame(0)});
    HostImage* first = opGetField(0, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->pixels[3], sample(0, 0, 0, 0));
    opFreeImage(first);
}

// Rows long enough for the sixteen-pixel steps, with a tail: every byte in its
// place on the way in and back out.
TEST_F(VideoFixture, WideRowsPackAndUnpackEveryPixel) {
    constexpr int w = 37, h = 4;
    auto value = [](int c, int y, int x) { return static_cast<uint8_t>(x * 7 + y * 53 + c * 101 + 3); };
    standin::PlanarFrame frame(w * h * 3);
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) frame[(c * h + y) * w + x] = value(c, y, x);
    standin::setInputClip(w, h, {frame});
    std::vector<uint8_t> output(w * h * 3, 0);
    standin::setOutputFrame(output.data());
    for (uint32_t position : {0u, 1u}) {
        HostImage* field = opGetField(0, position);
        ASSERT_NE(field, nullptr);
        for (int k = 0; k < h / 2; ++k)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = field->pixels + (k * w + x) * 4;
                const int line = 2 * k + static_cast<int>(position);
                ASSERT_EQ(p[0], 0) << x;
                ASSERT_EQ(p[1], value(2, line, x)) << x;
                ASSERT_EQ(p[2], value(1, line, x)) << x;
                ASSERT_EQ(p[3], value(0, line, x)) << x;
            }
        EXPECT_EQ(opPutField(field), 0);
    }
    EXPECT_EQ(output, frame);
    standin::setOutputFrame(nullptr);
}

TEST_F(VideoFixture, PutFieldWritesOnlyTheLinesOfItsParity) {
    std::vector<uint8_t> out(width * height * 3, 0xAA);
    standin::setOutputFrame(out.data());
    HostImage* field = opGetField(0, 3);  // frame 1, odd lines
    ASSERT_NE(field, nullptr);
    for (int i = 0; i < width * height / 2; ++i) {
        field->pixels[4 * i + 0] = 0x55;  // alpha is not stored
        field->pixels[4 * i + 1] = static_cast<uint8_t>(100 + i);  // Cr
        field->pixels[4 * i + 2] = static_cast<uint8_t>(50 + i);   // Cb
        field->pixels[4 * i + 3] = static_cast<uint8_t>(i);        // Y
    }
    EXPECT_EQ(opPutField(field), 0);
    EXPECT_EQ(standin::fieldsPut(), 1u);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int i = (y / 2) * width + x;
            bool written = y % 2 == 1;
            EXPECT_EQ(out[(0 * height + y) * width + x], written ? i : 0xAA) << y << "," << x;
            EXPECT_EQ(out[(1 * height + y) * width + x], written ? 50 + i : 0xAA);
            EXPECT_EQ(out[(2 * height + y) * width + x], written ? 100 + i : 0xAA);
        }
    standin::ImageCounts counts = standin::imageCounts();
    EXPECT_EQ(counts.handedOut, 1u);
    EXPECT_EQ(counts.takenBack, 1u);
    EXPECT_EQ(counts.badReleases, 0u);
    standin::setOutputFrame(nullptr);
}

TEST_F(VideoFixture, PutFieldWithoutAnOutputFrameFailsButTakesTheFieldBack) {
    HostImage* field = opGetField(0, 0);
    EXPECT_EQ(opPutField(field), -1);
    EXPECT_EQ(standin::imageCounts().outstanding, 0u);
    EXPECT_EQ(standin::fieldsPut(), 0u);
}

TEST_F(VideoFixture, ImagesAreZeroedAndAccounted) {
    HostImage* image = opAllocImage(5, 6, 1, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 5);
    EXPECT_EQ(image->height, 6);
    for (int i = 0; i < 5 * 6 * 4; ++i) ASSERT_EQ(image->pixels[i], 0) << i;
    EXPECT_EQ(opAllocImage(-1, 6, 1, 0), nullptr);
    HostImage* field = opGetField(0, 0);
    standin::ImageCounts counts = standin::imageCounts();
    EXPECT_EQ(counts.handedOut, 2u);
    EXPECT_EQ(counts.outstanding, 2u);
    opFreeImage(image);
    EXPECT_EQ(standin::imageCounts().outstanding, 1u);
    (void)field;  // left outstanding: the fixture's reset frees it
}

TEST_F(VideoFixture, DoubleAndUnknownReleasesAreCountedNotFatal) {
    HostImage* image = opAllocImage(2, 2, 1, 0);
    opFreeImage(image);
    testing::internal::CaptureStderr();
    opFreeImage(image);
    HostImage stranger{};
    opFreeImage(&stranger);
    mtFreeLineImage(&stranger);
    std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("image released twice"), std::string::npos) << messages;
    EXPECT_NE(messages.find("not an image of the host"), std::string::npos) << messages;
    standin::ImageCounts counts = standin::imageCounts();
    EXPECT_EQ(counts.badReleases, 3u);
    EXPECT_EQ(counts.takenBack, 1u);
    EXPECT_EQ(counts.outstanding, 0u);
    opFreeImage(nullptr);
    EXPECT_EQ(standin::imageCounts().badReleases, 3u);
}

// Many images later (a long render), a second release of the latest image is
// still named as such, and the memory kept for naming it does not grow.
TEST_F(VideoFixture, DoubleReleaseIsNamedAfterAHundredThousandImages) {
    HostImage* image = nullptr;
    for (int i = 0; i < 100000; ++i) {
        image = opAllocImage(1 + i % 3, 1, 1, 0);
        ASSERT_NE(image, nullptr);
        opFreeImage(image);
    }
    testing::internal::CaptureStderr();
    opFreeImage(image);
    const std::string messages = testing::internal::GetCapturedStderr();
    EXPECT_NE(messages.find("image released twice"), std::string::npos) << messages;
    EXPECT_EQ(standin::imageCounts().badReleases, 1u);
    EXPECT_EQ(standin::imageCounts().takenBack, 100000u);
}

TEST_F(VideoFixture, AbortAndPreviewAreCounted) {
    EXPECT_EQ(opChkAbort(), 0);
    standin::setAbortRequested(true);
    EXPECT_NE(opChkAbort(), 0);
    EXPECT_EQ(standin::abortChecks(), 2u);
    EXPECT_EQ(opPreview(0), 0);
    EXPECT_EQ(standin::previewRequests(), 1u);
    standin::resetCounters();
    EXPECT_EQ(opChkAbort(), 0);
}

}  // namespace
