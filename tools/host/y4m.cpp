#include "tools/host/y4m.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tools/host/options.h"

namespace zask {

namespace {

// Longest header or frame line accepted; real ones are a few dozen bytes.
constexpr size_t maximumLine = 4096;
// The host image keeps its sizes in 16 bits.
constexpr long long maximumSize = 32767;

bool readLine(std::istream& in, std::string& line, bool& complete) {
    line.clear();
    complete = false;
    char c;
    while (in.get(c)) {
        if (c == '\n') {
            complete = true;
            return true;
        }
        if (line.size() >= maximumLine) return true;
        line += c;
    }
    return !line.empty();
}

}  // namespace

bool readY4m(const std::string& path, Y4mClip& clip, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    std::string line;
    bool complete;
    if (!readLine(in, line, complete) || !complete) {
        error = path + ": not a YUV4MPEG2 stream (no header line)";
        return false;
    }
    std::istringstream tokens(line);
    std::string token;
    tokens >> token;
    if (token != "YUV4MPEG2") {
        error = path + ": not a YUV4MPEG2 stream";
        return false;
    }
    std::string colour;
    long long width = -1, height = -1;
    while (tokens >> token) {
        char key = token[0];
        std::string value = token.substr(1);
        if (key == 'W' || key == 'H') {
            auto n = parseInteger(value, 1, maximumSize);
            if (!n) {
                error = path + ": invalid frame " + (key == 'W' ? "width" : "height") + " '" + value +
                        "' (1 to 32767)";
                return false;
            }
            (key == 'W' ? width : height) = *n;
        } else if (key == 'C') {
            colour = value;
        }
    }
    if (width < 0 || height < 0) {
        error = path + ": the header gives no frame " + (width < 0 ? "width (W)" : "height (H)");
        return false;
    }
    if (colour != "444") {
        error = path + ": colour space " + (colour.empty() ? "4:2:0 (no C parameter)" : "C" + colour) +
                ", only C444 is supported";
        return false;
    }
    if (height % 2 != 0) {
        error = path + ": frame height " + std::to_string(height) + " is odd, a frame must hold two fields";
        return false;
    }
    clip.header = line;
    clip.width = static_cast<int>(width);
    clip.height = static_cast<int>(height);
    clip.frames.clear();
    const size_t frameBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    while (readLine(in, line, complete)) {
        size_t number = clip.frames.size();
        if (line.compare(0, 5, "FRAME") != 0 || (line.size() > 5 && line[5] != ' ') || !complete) {
            error = path + ": frame " + std::to_string(number) + " does not start with a FRAME line";
            return false;
        }
        std::vector<uint8_t> frame(frameBytes);
        in.read(reinterpret_cast<char*>(frame.data()), static_cast<std::streamsize>(frameBytes));
        if (static_cast<size_t>(in.gcount()) != frameBytes) {
            error = path + ": frame " + std::to_string(number) + " is truncated (" + std::to_string(in.gcount()) +
                    " of " + std::to_string(frameBytes) + " bytes)";
            return false;
        }
        clip.frames.push_back(std::move(frame));
    }
    if (in.bad()) {
        error = path + ": cannot read: " + std::strerror(errno);
        return false;
    }
    if (clip.frames.empty()) {
        error = path + ": the clip holds no frames";
        return false;
    }
    return true;
}

bool writeY4mHeader(FILE* out, const std::string& header) {
    return std::fwrite(header.data(), 1, header.size(), out) == header.size() && std::fputc('\n', out) != EOF;
}

bool writeY4mFrame(FILE* out, const std::vector<uint8_t>& planes) {
    return std::fputs("FRAME\n", out) != EOF &&
           std::fwrite(planes.data(), 1, planes.size(), out) == planes.size();
}

}  // namespace zask
