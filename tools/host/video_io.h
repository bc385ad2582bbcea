// Video in and out for the render command's everyday mode: YUV4MPEG2 in
// 4:2:0, 4:2:2, 4:4:4 and mono, anything else through the ffmpeg program, a
// still PNG, or a built-in background; out to YUV4MPEG2, numbered PNG frames
// or through ffmpeg. Inside, every frame is planar 4:4:4 (Y, Cb, Cr planes).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/host/picture.h"

namespace zask {

enum class Chroma { c444, c422, c420, c420jpeg, c420mpeg2, c420paldv, mono };
// Which field comes first in time. Unknown and mixed clips count as top first.
enum class Interlace { topFirst, bottomFirst, progressive };

struct VideoFormat {
    int width = 0;
    int height = 0;
    int rateNum = 25;
    int rateDen = 1;
    std::string aspect = "1:1";
    Interlace interlace = Interlace::topFirst;
    Chroma chroma = Chroma::c444;
};

std::string y4mHeader(const VideoFormat& format);
size_t nativeFrameBytes(const VideoFormat& format);

// Chroma conversions, the filters documented in README.md: up, a linear
// interpolation at the chroma siting of the format; down, the matching
// average ([1 1]/2 for centred siting, [1 2 1]/4 for co-sited). 4:2:0 of
// interlaced clips is filtered within each field.
std::vector<uint8_t> toPlanar444(const uint8_t* native, const VideoFormat& format);
std::vector<uint8_t> fromPlanar444(const std::vector<uint8_t>& planes, const VideoFormat& format);

class VideoSource {
public:
    virtual ~VideoSource() = default;
    VideoFormat format;
    size_t frameCount = 0;
    virtual std::vector<uint8_t> frame444(size_t index) = 0;
};

// A YUV4MPEG2 file ("-" is standard input).
std::unique_ptr<VideoSource> openY4m(const std::string& path, std::string& error);
// Any video ffmpeg reads, decoded to 4:4:4.
std::unique_ptr<VideoSource> openWithFfmpeg(const std::string& path, std::string& error);
// A PNG picture shown for frameCount frames (an odd height gets its last row repeated).
std::unique_ptr<VideoSource> openStill(const std::string& path, size_t frameCount, int rateNum, int rateDen,
                                       std::string& error);
// "bars", "gradient" (drifting slowly) or "black".
std::unique_ptr<VideoSource> makeBackground(const std::string& kind, int width, int height, size_t frameCount,
                                            int rateNum, int rateDen, std::string& error);
// By the file name: .y4m, .png (still), anything else through ffmpeg.
std::unique_ptr<VideoSource> openInput(const std::string& path, size_t stillFrames, int rateNum, int rateDen,
                                       std::string& error);

class VideoSink {
public:
    virtual ~VideoSink() = default;
    virtual bool write(size_t frameNumber, const std::vector<uint8_t>& planes, std::string& error) = 0;
    // Completes the output (renames it into place); without it nothing is left behind.
    virtual bool finish(std::string& error) = 0;
    // Where the result is, for the closing message.
    virtual std::string describe() const = 0;
};

// ".y4m" or "-" (standard output): the format's own chroma; ".png": numbered frames (a name holding a
// %d-style number, or NAME-%04d.png); anything else through ffmpeg.
std::unique_ptr<VideoSink> openOutput(const std::string& path, const VideoFormat& format, std::string& error);

// The ffmpeg program on PATH, or "" when it is not installed.
std::string findFfmpeg();

// Whether a path names a numbered PNG sequence or a still, by its extension.
bool hasExtension(const std::string& path, const std::string& extension);

}  // namespace zask
