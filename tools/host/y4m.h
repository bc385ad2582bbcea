// YUV4MPEG2 clips with C444 planes, as the render command reads and writes them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zask {

struct Y4mClip {
    std::string header;  // the first line without its newline, copied to the output
    int width = 0;
    int height = 0;
    std::vector<std::vector<uint8_t>> frames;  // Y, Cb, Cr planes of width * height bytes each
};

// Reads a whole C444 clip. On failure sets error to "PATH: what".
bool readY4m(const std::string& path, Y4mClip& clip, std::string& error);

// Writes the header line, or one frame after a plain FRAME line.
bool writeY4mHeader(FILE* out, const std::string& header);
bool writeY4mFrame(FILE* out, const std::vector<uint8_t>& planes);

}  // namespace zask
