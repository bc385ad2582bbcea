// Generated inputs of the benchmark and of the golden-render test: a moving
// gradient clip and a 20-letter title in two lines.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace zask_bench {

// A smooth moving gradient, in Y, Cb, Cr planes.
inline std::vector<uint8_t> backgroundFrame(int width, int height, int frame)
{
    std::vector<uint8_t> planes(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            planes[i] = static_cast<uint8_t>(40 + (x + frame * 7) % 160);
            planes[static_cast<size_t>(width) * height + i] = static_cast<uint8_t>(100 + (y * 50) / height);
            planes[2 * static_cast<size_t>(width) * height + i] = static_cast<uint8_t>(150 - (x * 40) / width);
        }
    return planes;
}

// Twenty letters in two lines, each a block with a soft edge, placed like a
// title in the lower middle of the frame.
inline std::string titleJson(int width, int height, bool inkless)
{
    const int letterWidth = std::max(6, width / 24);
    const int letterHeight = std::max(8, height / 10);
    const int advance = letterWidth + letterWidth / 4;
    std::string json = R"({"pages": [{"boxes": [{"x": )" +
                       std::to_string((width - 10 * advance) / 2 * 64) + R"(, "y": )" +
                       std::to_string(height / 2 * 64) + R"(, "lines": [)";
    static const char hex[] = "0123456789abcdef";
    for (int line = 0; line < 2; ++line) {
        json += line == 0 ? "{\"chars\": [" : ", {\"chars\": [";
        for (int c = 0; c < 10; ++c) {
            std::string pixels;
            pixels.reserve(static_cast<size_t>(letterWidth) * letterHeight * 8);
            for (int y = 0; y < letterHeight; ++y)
                for (int x = 0; x < letterWidth; ++x) {
                    const bool edge = x == 0 || y == 0 || x == letterWidth - 1 || y == letterHeight - 1;
                    const bool hole = (x > letterWidth / 3 && x < 2 * letterWidth / 3 && y > letterHeight / 4 &&
                                       y < 3 * letterHeight / 4);
                    const int alpha = inkless || hole ? 0 : (edge ? 96 : 255);
                    const int bytes[4] = {alpha, 128 + 40 * line, 128 - 30 * line, 200 - 8 * c};
                    for (int b : bytes) {
                        pixels += hex[b >> 4];
                        pixels += hex[b & 15];
                    }
                }
            json += (c == 0 ? "" : ", ");
            json += "{\"pen\": " + std::to_string(c * advance * 64) + ", \"width\": " +
                    std::to_string(letterWidth) + ", \"height\": " + std::to_string(letterHeight) +
                    ", \"top\": " + std::to_string(line * (letterHeight + letterHeight / 5)) +
                    ", \"pixels\": \"" + pixels + "\"}";
        }
        json += "]}";
    }
    json += "]}]}]}";
    return json;
}

}  // namespace zask_bench
