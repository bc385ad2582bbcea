// Control side of the stand-in host library: what the host program and the
// tests use to give the operators a clip, a title and a log, and to see what
// the operators did with the host's images.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_services.h"

#define ZASK_STANDIN_API __attribute__((visibility("default")))

namespace standin {

// ---------------------------------------------------------------- video

// One frame of the clip: the Y, Cb and Cr planes one after the other, each
// width * height bytes (C444).
using PlanarFrame = std::vector<uint8_t>;

// Registers the clip that opGetField reads. Frames must be width * height * 3
// bytes; height must be even.
ZASK_STANDIN_API void setInputClip(int width, int height, std::vector<PlanarFrame> frames);
// A clip of which only frame `index` is held, for a render that streams its
// input: opGetField serves that frame's two fields and nothing else.
ZASK_STANDIN_API void setInputFrame(int width, int height, size_t index, PlanarFrame frame);
ZASK_STANDIN_API void clearInputClip();
ZASK_STANDIN_API int inputWidth();
ZASK_STANDIN_API int inputHeight();
ZASK_STANDIN_API size_t inputFrameCount();
ZASK_STANDIN_API const PlanarFrame& inputFrame(size_t index);

// The frame opPutField writes into (planar, same size as the input frames),
// or null so that opPutField refuses. The caller keeps ownership.
ZASK_STANDIN_API void setOutputFrame(uint8_t* planes);
ZASK_STANDIN_API size_t fieldsPut();

// The clip, the output frame, the images and the log are process-wide, shared
// by every operator in the process. A host that may drive operators from more
// than one thread (a frei0r filter under MLT) holds this lock from handing over
// a clip until it has taken the fields back.
ZASK_STANDIN_API std::mutex& sessionMutex();

// ---------------------------------------------------------------- images

struct ImageCounts {
    uint64_t handedOut = 0;      // fields, allocated images and line images
    uint64_t takenBack = 0;
    uint64_t outstanding = 0;
    uint64_t badReleases = 0;    // double, unknown or mismatched releases
};

ZASK_STANDIN_API ImageCounts imageCounts();
// Releases every outstanding image and zeroes the counters.
ZASK_STANDIN_API void resetImages();

// ---------------------------------------------------------------- oplib

ZASK_STANDIN_API void setAbortRequested(bool abort);
ZASK_STANDIN_API uint64_t abortChecks();
ZASK_STANDIN_API uint64_t previewRequests();
ZASK_STANDIN_API void resetCounters();

// ---------------------------------------------------------------- logger

// Creates (or empties) the log file and appends every later message to it.
// Returns false with a reason in error when the file cannot be created.
ZASK_STANDIN_API bool openLogFile(const std::string& path, std::string& error);
ZASK_STANDIN_API void closeLogFile();
// Whether log lines also go to standard error (on by default).
ZASK_STANDIN_API void setLogEcho(bool echo);
// While muted, messages are dropped: no line, no count (a host replaying
// fields whose messages another process already logged).
ZASK_STANDIN_API void setLogMuted(bool muted);
ZASK_STANDIN_API uint64_t logMessageCount();
// The lines logged since the last clearLoggedLines, in order, without
// newlines: all of them up to 10,000; past that, the oldest half is dropped
// each time the count reaches 10,000 (the log file and logMessageCount keep all).
ZASK_STANDIN_API std::vector<std::string> loggedLines();
ZASK_STANDIN_API void clearLoggedLines();
ZASK_STANDIN_API std::string formatLogLine(int32_t severity, int32_t line, const char* source,
                                           uint32_t module, const char* message);

// ---------------------------------------------------------------- title

// Builds a title document from its JSON text. On failure returns null and sets
// error to "line L, column C: what". The document owns everything under it;
// free it with freeTitle.
ZASK_STANDIN_API TitleDocument* parseTitle(std::string_view json, std::string& error);
// Reads and parses a title file; errors name the file.
ZASK_STANDIN_API TitleDocument* loadTitleFile(const std::string& path, std::string& error);
ZASK_STANDIN_API void freeTitle(TitleDocument* title);

// A title held in memory, the same tree the JSON form describes: pages of
// boxes of lines of characters, every character with its own picture.
struct TitleCharacter {
    int32_t pen = 0;              // left edge of the picture from the box's left edge, 1/64 pixel
    int32_t width = 0;            // picture size in pixels, 0 to 32767
    int32_t height = 0;
    int32_t top = 0;              // row of the picture's top edge from the box top
    std::vector<uint8_t> pixels;  // width * height * 4 bytes: a, Cr, Cb, Y; rows top to bottom
};
struct TitleLineSpec {
    std::vector<TitleCharacter> chars;
};
struct TitleBoxSpec {
    int32_t x = 0;  // left and top edge, 1/64 pixel
    int32_t y = 0;
    std::vector<TitleLineSpec> lines;
};
struct TitlePageSpec {
    std::vector<TitleBoxSpec> boxes;
};
struct TitleSpec {
    std::vector<TitlePageSpec> pages;
};

// Builds a title document from the tree. On failure (a picture size out of
// range, pixels not matching the size, a line of more than 65535 characters)
// returns null and sets error to "pages[P].boxes[B].lines[L].chars[C]: what".
ZASK_STANDIN_API TitleDocument* buildTitle(const TitleSpec& spec, std::string& error);

// ---------------------------------------------------------------- faults

// Host calls that can be made to fail, for tests and for `zask render --fail`.
// `allocation` is the plug-in's own working allocations (the initialise
// action's buffers, letter list entries, the preview's blocks), which it
// makes through the host's allocation hook.
enum class HostCall { getField, allocImage, createLineImage, boundingBox, penPosition, allocation, count };

// The n-th call of that kind from now on fails (null, or a non-zero result);
// n = 0 disarms it. Each armed failure happens once.
ZASK_STANDIN_API void failNthCall(HostCall call, uint64_t n);
ZASK_STANDIN_API void clearFailures();
// Called by the host functions themselves: true when this call is to fail.
ZASK_STANDIN_API bool hostCallFails(HostCall call);
// "opGetField", "opAllocImage", "mtCreateLineImage", "mtBoundingBox", "mtPenPosition",
// "allocation".
ZASK_STANDIN_API bool parseHostCall(const std::string& name, HostCall& call);

}  // namespace standin
