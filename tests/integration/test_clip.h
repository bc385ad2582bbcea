// Small deterministic C444 clips and a reader for the host program's output,
// shared by the integration tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zask_test {

// Every sample differs from its neighbours in line, column, frame and plane,
// so a misplaced line or a swapped plane changes the output.
inline uint8_t testClipSample(int frame, int plane, int line, int column) {
    return static_cast<uint8_t>(column * 7 + line * 13 + frame * 29 + plane * 71 + 16);
}

// One frame as Y, Cb and Cr planes of width * height bytes.
inline std::vector<uint8_t> testClipFrame(int width, int height, int frame) {
    std::vector<uint8_t> planes(static_cast<size_t>(width) * height * 3);
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                planes[(static_cast<size_t>(c) * height + y) * width + x] = testClipSample(frame, c, y, x);
    return planes;
}

inline std::string testClipHeader(int width, int height, const std::string& colour = "C444") {
    return "YUV4MPEG2 W" + std::to_string(width) + " H" + std::to_string(height) + " F25:1 It A1:1" +
           (colour.empty() ? "" : " " + colour);
}

// Writes a clip of the given frames; truncateLastBy drops bytes off the end
// to make a broken file.
inline void writeTestClip(const std::string& path, int width, int height, int frames,
                          const std::string& colour = "C444", size_t truncateLastBy = 0) {
    std::string data = testClipHeader(width, height, colour) + "\n";
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> planes = testClipFrame(width, height, f);
        data += "FRAME\n";
        data.append(planes.begin(), planes.end());
    }
    data.resize(data.size() - truncateLastBy);
    std::ofstream(path, std::ios::binary) << data;
}

// Reads a Y4M file as the host program writes it: the header line, then
// frames after plain FRAME lines. Returns false when the layout is off.
inline bool readTestClip(const std::string& path, std::string& header, std::vector<std::vector<uint8_t>>& frames,
                         size_t frameBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in || !std::getline(in, header)) return false;
    frames.clear();
    std::string marker;
    while (std::getline(in, marker)) {
        if (marker != "FRAME") return false;
        std::vector<uint8_t> frame(frameBytes);
        in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frameBytes));
        if (static_cast<size_t>(in.gcount()) != frameBytes) return false;
        frames.push_back(std::move(frame));
    }
    return true;
}

}  // namespace zask_test
