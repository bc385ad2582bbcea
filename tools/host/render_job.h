// One render of a title over a video source into a sink through one plug-in:
// the everyday mode of `zask render` and each clip of `zask demo`.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/host_services.h"
#include "tools/host/contact_sheet.h"
#include "tools/host/video_io.h"

namespace zask {

struct RenderJob {
    std::string pluginPath;
    std::string kthome;
    TitleDocument* title = nullptr;
    VideoSource* source = nullptr;
    // Opened once the plug-in and the settings are ready, so that a bad
    // setting leaves no output behind.
    std::function<std::unique_ptr<VideoSink>(std::string& error)> openSink;
    long long first = 0, last = 0;  // frames [first, last)
    // The frames are part of a render that starts at this frame (<= first):
    // the page starts between it and `first` are replayed silently first.
    long long renderFrom = 0;
    uint32_t clipLength = 0;        // fields
    bool draft = false;
    int16_t aspectNum = 1, aspectDen = 1;
    std::string logPath;  // empty: no log file
    bool quiet = false;
    std::string progressLabel = "render";
    // Edits the 68-byte settings block after the plug-in wrote its defaults.
    std::function<bool(uint8_t* block, std::string& error)> configure;
    // Frames to keep for a contact sheet, as RGB.
    std::vector<long long> sampleAt;
    std::vector<SheetCell>* samples = nullptr;
    std::string* outputDescription = nullptr;  // where the result went
};

// Returns the exit status (0, 1 plug-in failure, 2 bad input or output); on 1
// and 2 error holds the one-line reason. The frames completed before a
// plug-in failure are kept.
int runRenderJob(RenderJob& job, std::string& error);

// A render from frame `first` changes page (and so loads letters and scenes,
// and in zask6 draws its random scenes) at its first field and wherever the
// page number grows. These are the fields at which it did so before field
// 2 * start: a render that starts at frame `start` instead renders them first,
// silently, so that the plug-in's state, its random generator included, is the
// serial render's at that field. Empty when start <= first.
std::vector<uint32_t> pageStartFields(uint32_t pageCount, uint32_t clipLength, long long first, long long start);

// Bottom-first clips are handed to the plug-in one line lower, in a frame
// two lines taller (a copy of line 1 above, of line H-2 below), so that the
// field it renders first (the even lines) is the clip's first field, the odd
// lines.
std::vector<uint8_t> padForBottomFirst(const std::vector<uint8_t>& planes, int width, int height);
// The clip's lines back out of such a frame.
std::vector<uint8_t> unpadBottomFirst(const std::vector<uint8_t>& padded, int width, int height);

}  // namespace zask
