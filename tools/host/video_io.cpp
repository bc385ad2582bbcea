#include "tools/host/video_io.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "tools/host/options.h"
#include "tools/host/output_file.h"

extern char** environ;

namespace zask {

// ---------------------------------------------------------------- formats

namespace {

struct ChromaInfo {
    Chroma chroma;
    const char* tag;
    int shiftX, shiftY;  // log2 of the subsampling
    bool cosited;        // horizontal siting on the luma samples
};

const ChromaInfo chromaTable[] = {
    {Chroma::c444, "444", 0, 0, false},           {Chroma::c422, "422", 1, 0, true},
    {Chroma::c420, "420", 1, 1, false},           {Chroma::c420jpeg, "420jpeg", 1, 1, false},
    {Chroma::c420mpeg2, "420mpeg2", 1, 1, true}, {Chroma::c420paldv, "420paldv", 1, 1, true},
    {Chroma::mono, "mono", 0, 0, false},
};

const ChromaInfo& infoOf(Chroma chroma) {
    for (const auto& c : chromaTable)
        if (c.chroma == chroma) return c;
    return chromaTable[0];
}

int chromaWidth(const VideoFormat& f) { return (f.width + (1 << infoOf(f.chroma).shiftX) - 1) >> infoOf(f.chroma).shiftX; }
int chromaHeight(const VideoFormat& f) { return (f.height + (1 << infoOf(f.chroma).shiftY) - 1) >> infoOf(f.chroma).shiftY; }

// Doubles a sequence of n samples into m (2n or 2n - 1).
void upsample(const uint8_t* in, size_t inStride, int n, uint8_t* out, size_t outStride, int m, bool cosited) {
    auto at = [&](int i) { return static_cast<int>(in[static_cast<size_t>(std::clamp(i, 0, n - 1)) * inStride]); };
    for (int j = 0; j < m; ++j) {
        int i = j / 2, v;
        if (cosited)
            v = j % 2 == 0 ? at(i) : (at(i) + at(i + 1) + 1) / 2;
        else
            v = j % 2 == 0 ? (at(i - 1) + 3 * at(i) + 2) / 4 : (3 * at(i) + at(i + 1) + 2) / 4;
        out[static_cast<size_t>(j) * outStride] = static_cast<uint8_t>(v);
    }
}

// Halves a sequence of m samples into n = (m + 1) / 2.
void downsample(const uint8_t* in, size_t inStride, int m, uint8_t* out, size_t outStride, int n, bool cosited) {
    auto at = [&](int i) { return static_cast<int>(in[static_cast<size_t>(std::clamp(i, 0, m - 1)) * inStride]); };
    for (int i = 0; i < n; ++i) {
        int v = cosited ? (at(2 * i - 1) + 2 * at(2 * i) + at(2 * i + 1) + 2) / 4 : (at(2 * i) + at(2 * i + 1) + 1) / 2;
        out[static_cast<size_t>(i) * outStride] = static_cast<uint8_t>(v);
    }
}

// Interlaced 4:2:0 keeps each field's chroma apart when the lines split evenly.
bool perField(const VideoFormat& f) {
    return infoOf(f.chroma).shiftY == 1 && f.interlace != Interlace::progressive && f.height % 4 == 0;
}

void upsamplePlane(const uint8_t* in, uint8_t* out, const VideoFormat& f) {
    const ChromaInfo& info = infoOf(f.chroma);
    const int cw = chromaWidth(f), ch = chromaHeight(f), w = f.width, h = f.height;
    std::vector<uint8_t> wide(static_cast<size_t>(w) * ch);
    for (int y = 0; y < ch; ++y) {
        if (info.shiftX == 0)
            std::memcpy(wide.data() + static_cast<size_t>(y) * w, in + static_cast<size_t>(y) * cw, static_cast<size_t>(w));
        else
            upsample(in + static_cast<size_t>(y) * cw, 1, cw, wide.data() + static_cast<size_t>(y) * w, 1, w, info.cosited);
    }
    for (int x = 0; x < w; ++x) {
        if (info.shiftY == 0) {
            for (int y = 0; y < h; ++y) out[static_cast<size_t>(y) * w + x] = wide[static_cast<size_t>(y) * w + x];
        } else if (perField(f)) {
            for (int field = 0; field < 2; ++field)
                upsample(wide.data() + static_cast<size_t>(field) * w + x, 2 * static_cast<size_t>(w), ch / 2,
                         out + static_cast<size_t>(field) * w + x, 2 * static_cast<size_t>(w), h / 2, false);
        } else {
            upsample(wide.data() + x, static_cast<size_t>(w), ch, out + x, static_cast<size_t>(w), h, false);
        }
    }
}

void downsamplePlane(const uint8_t* in, uint8_t* out, const VideoFormat& f) {
    const ChromaInfo& info = infoOf(f.chroma);
    const int cw = chromaWidth(f), ch = chromaHeight(f), w = f.width, h = f.height;
    std::vector<uint8_t> tall(static_cast<size_t>(w) * ch);
    for (int x = 0; x < w; ++x) {
        if (info.shiftY == 0) {
            for (int y = 0; y < h; ++y) tall[static_cast<size_t>(y) * w + x] = in[static_cast<size_t>(y) * w + x];
        } else if (perField(f)) {
            for (int field = 0; field < 2; ++field)
                downsample(in + static_cast<size_t>(field) * w + x, 2 * static_cast<size_t>(w), h / 2,
                           tall.data() + static_cast<size_t>(field) * w + x, 2 * static_cast<size_t>(w), ch / 2, false);
        } else {
            downsample(in + x, static_cast<size_t>(w), h, tall.data() + x, static_cast<size_t>(w), ch, false);
        }
    }
    for (int y = 0; y < ch; ++y) {
        if (info.shiftX == 0)
            std::memcpy(out + static_cast<size_t>(y) * cw, tall.data() + static_cast<size_t>(y) * w, static_cast<size_t>(w));
        else
            downsample(tall.data() + static_cast<size_t>(y) * w, 1, w, out + static_cast<size_t>(y) * cw, 1, cw, info.cosited);
    }
}

}  // namespace

std::string y4mHeader(const VideoFormat& f) {
    const char* interlace = f.interlace == Interlace::topFirst ? "t" : f.interlace == Interlace::bottomFirst ? "b" : "p";
    return "YUV4MPEG2 W" + std::to_string(f.width) + " H" + std::to_string(f.height) + " F" + std::to_string(f.rateNum) +
           ":" + std::to_string(f.rateDen) + " I" + interlace + " A" + f.aspect + " C" + infoOf(f.chroma).tag;
}

size_t nativeFrameBytes(const VideoFormat& f) {
    const size_t luma = static_cast<size_t>(f.width) * f.height;
    if (f.chroma == Chroma::mono) return luma;
    return luma + 2 * static_cast<size_t>(chromaWidth(f)) * chromaHeight(f);
}

std::vector<uint8_t> toPlanar444(const uint8_t* native, const VideoFormat& f) {
    const size_t luma = static_cast<size_t>(f.width) * f.height;
    std::vector<uint8_t> planes(3 * luma, 128);
    std::memcpy(planes.data(), native, luma);
    if (f.chroma == Chroma::mono) return planes;
    const size_t chroma = static_cast<size_t>(chromaWidth(f)) * chromaHeight(f);
    for (int c = 0; c < 2; ++c) upsamplePlane(native + luma + c * chroma, planes.data() + (c + 1) * luma, f);
    return planes;
}

std::vector<uint8_t> fromPlanar444(const std::vector<uint8_t>& planes, const VideoFormat& f) {
    const size_t luma = static_cast<size_t>(f.width) * f.height;
    std::vector<uint8_t> native(nativeFrameBytes(f));
    std::memcpy(native.data(), planes.data(), luma);
    if (f.chroma == Chroma::mono) return native;
    const size_t chroma = static_cast<size_t>(chromaWidth(f)) * chromaHeight(f);
    for (int c = 0; c < 2; ++c) downsamplePlane(planes.data() + (c + 1) * luma, native.data() + luma + c * chroma, f);
    return native;
}

bool hasExtension(const std::string& path, const std::string& extension) {
    if (path.size() < extension.size()) return false;
    for (size_t i = 0; i < extension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - extension.size() + i])) != extension[i]) return false;
    return true;
}

std::string findFfmpeg() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/ffmpeg";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

// ---------------------------------------------------------------- child processes

namespace {

// A child whose standard input or output is our end of a pipe.
struct Child {
    pid_t pid = -1;
    FILE* stream = nullptr;
    // When set before start, the child's standard error goes to a scratch
    // file instead of ours, for takeMessages.
    bool captureMessages = false;
    FILE* messages = nullptr;

    bool start(const std::vector<std::string>& args, bool weWrite, std::string& error) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            error = std::string("cannot make a pipe: ") + std::strerror(errno);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, weWrite ? fds[0] : fds[1], weWrite ? 0 : 1);
        if (captureMessages && messages == nullptr) messages = std::tmpfile();
        if (messages != nullptr) posix_spawn_file_actions_adddup2(&actions, fileno(messages), 2);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int rc = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(weWrite ? fds[0] : fds[1]);
        if (rc != 0) {
            close(weWrite ? fds[1] : fds[0]);
            pid = -1;
            error = args[0] + ": cannot start: " + std::strerror(rc);
            return false;
        }
        stream = fdopen(weWrite ? fds[1] : fds[0], weWrite ? "wb" : "rb");
        return stream != nullptr;
    }

    // Closes our end and waits; true when the child exited with status 0.
    bool finish() {
        if (stream != nullptr) std::fclose(stream);
        stream = nullptr;
        if (pid < 0) return false;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // What the child wrote on its standard error (captured), once it ended.
    std::string takeMessages() {
        std::string text;
        if (messages == nullptr) return text;
        std::rewind(messages);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, messages)) > 0 && text.size() < 65536) text.append(buffer, n);
        std::fclose(messages);
        messages = nullptr;
        return text;
    }

    ~Child() {
        if (pid > 0) kill(pid, SIGTERM);
        finish();
        if (messages != nullptr) std::fclose(messages);
    }
};

// ---------------------------------------------------------------- Y4M reading

constexpr size_t maximumLine = 4096;

bool readLine(FILE* in, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n') return true;
        if (line.size() >= maximumLine) return false;
        line += static_cast<char>(c);
    }
    return false;
}

class StoredSource : public VideoSource {
public:
    std::vector<std::vector<uint8_t>> frames;  // native layout
    std::vector<uint8_t> frame444(size_t index) override { return toPlanar444(frames.at(index).data(), format); }
};

bool parseRate(const std::string& text, int& num, int& den) {
    long long a, b;
    if (!parsePair(text, 1, 1000000, a, b)) return false;
    num = static_cast<int>(a);
    den = static_cast<int>(b);
    return true;
}

std::unique_ptr<VideoSource> readY4mStream(FILE* in, const std::string& name, std::string& error) {
    std::string line;
    if (!readLine(in, line) || line.compare(0, 10, "YUV4MPEG2 ") != 0) {
        error = name + ": not a YUV4MPEG2 stream";
        return nullptr;
    }
    auto source = std::make_unique<StoredSource>();
    VideoFormat& f = source->format;
    f.chroma = Chroma::c420jpeg;  // the format's default
    std::istringstream tokens(line.substr(10));
    std::string token;
    while (tokens >> token) {
        char key = token[0];
        std::string value = token.substr(1);
        if (key == 'W' || key == 'H') {
            auto n = parseInteger(value, 1, 32767);
            if (!n) {
                error = name + ": invalid frame " + (key == 'W' ? "width" : "height") + " '" + value + "' (1 to 32767)";
                return nullptr;
            }
            (key == 'W' ? f.width : f.height) = static_cast<int>(*n);
        } else if (key == 'F') {
            if (!parseRate(value, f.rateNum, f.rateDen)) {
                error = name + ": invalid frame rate '" + value + "'";
                return nullptr;
            }
        } else if (key == 'A') {
            if (value != "0:0") f.aspect = value;
        } else if (key == 'I') {
            f.interlace = value == "b" ? Interlace::bottomFirst : value == "p" ? Interlace::progressive : Interlace::topFirst;
        } else if (key == 'C') {
            bool known = false;
            for (const auto& c : chromaTable)
                if (value == c.tag) {
                    f.chroma = c.chroma;
                    known = true;
                }
            if (!known) {
                error = name + ": colour space C" + value +
                        " is not read (8-bit 420jpeg, 420mpeg2, 420paldv, 420, 422, 444 and mono are)";
                return nullptr;
            }
        }
    }
    if (f.width == 0 || f.height == 0) {
        error = name + ": the header gives no frame " + (f.width == 0 ? "width (W)" : "height (H)");
        return nullptr;
    }
    if (f.height % 2 != 0) {
        error = name + ": frame height " + std::to_string(f.height) + " is odd, a frame must hold two fields";
        return nullptr;
    }
    const size_t bytes = nativeFrameBytes(f);
    while (readLine(in, line)) {
        if (line.compare(0, 5, "FRAME") != 0 || (line.size() > 5 && line[5] != ' ')) {
            error = name + ": frame " + std::to_string(source->frames.size()) + " does not start with a FRAME line";
            return nullptr;
        }
        std::vector<uint8_t> frame(bytes);
        size_t got = std::fread(frame.data(), 1, bytes, in);
        if (got != bytes) {
            error = name + ": frame " + std::to_string(source->frames.size()) + " is truncated (" + std::to_string(got) +
                    " of " + std::to_string(bytes) + " bytes)";
            return nullptr;
        }
        source->frames.push_back(std::move(frame));
    }
    if (std::ferror(in)) {
        error = name + ": cannot read: " + std::strerror(errno);
        return nullptr;
    }
    if (source->frames.empty()) {
        error = name + ": the clip holds no frames";
        return nullptr;
    }
    source->frameCount = source->frames.size();
    return source;
}

}  // namespace

std::unique_ptr<VideoSource> openY4m(const std::string& path, std::string& error) {
    if (path == "-") return readY4mStream(stdin, "standard input", error);
    FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        error = path + ": cannot open: " + std::strerror(errno);
        return nullptr;
    }
    auto source = readY4mStream(in, path, error);
    std::fclose(in);
    return source;
}

std::unique_ptr<VideoSource> openWithFfmpeg(const std::string& path, std::string& error) {
    if (access(path.c_str(), R_OK) != 0) {
        error = path + ": cannot open: " + std::strerror(errno);
        return nullptr;
    }
    std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) {
        error = path + ": reading this kind of file needs the ffmpeg program, which is not installed "
                       "(give a .y4m clip, a .png picture or --background)";
        return nullptr;
    }
    Child child;
    if (!child.start({ffmpeg, "-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", "-f", "yuv4mpegpipe", "-pix_fmt",
                      "yuv444p", "-strict", "-1", "-"},
                     false, error))
        return nullptr;
    std::string reason;
    auto source = readY4mStream(child.stream, path + " (decoded by ffmpeg)", reason);
    bool ok = child.finish();
    if (!ok || source == nullptr) {
        error = source == nullptr ? reason : path + ": ffmpeg could not decode it";
        return nullptr;
    }
    return source;
}

namespace {

class StillSource : public VideoSource {
public:
    std::vector<uint8_t> planes;
    std::vector<uint8_t> frame444(size_t) override { return planes; }
};

class BackgroundSource : public VideoSource {
public:
    std::string kind;
    std::vector<uint8_t> frame444(size_t index) override {
        const int w = format.width, h = format.height;
        RgbPicture picture(w, h);
        if (kind == "bars") {
            // 75% colour bars over a strip of blue, black and white.
            const Rgb bars[7] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                 {191, 0, 191},   {191, 0, 0},   {0, 0, 191}};
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    Rgb c = bars[std::min(6, x * 7 / w)];
                    if (y >= h * 3 / 4) c = x < w / 4 ? Rgb{0, 33, 76} : x < w / 2 ? Rgb{255, 255, 255} : Rgb{16, 16, 16};
                    uint8_t* p = picture.at(x, y);
                    p[0] = c.r;
                    p[1] = c.g;
                    p[2] = c.b;
                }
        } else if (kind == "gradient") {
            // A deep blue-violet sky with a slowly drifting glow.
            const double t = static_cast<double>(index) / std::max(1, format.rateNum / std::max(1, format.rateDen));
            const double cx = 0.5 + 0.3 * std::sin(t * 0.7), cy = 0.35 + 0.1 * std::cos(t * 0.5);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const double u = static_cast<double>(x) / w, v = static_cast<double>(y) / h;
                    const double d = std::sqrt((u - cx) * (u - cx) + (v - cy) * (v - cy));
                    const double glow = std::max(0.0, 1.0 - d * 1.6);
                    uint8_t* p = picture.at(x, y);
                    p[0] = static_cast<uint8_t>(std::min(255.0, 20 + 60 * v + 120 * glow * glow));
                    p[1] = static_cast<uint8_t>(std::min(255.0, 12 + 30 * v + 70 * glow * glow));
                    p[2] = static_cast<uint8_t>(std::min(255.0, 60 + 70 * (1 - v) + 90 * glow));
                }
        }
        return rgbToPlanar(picture);
    }
};

}  // namespace

std::unique_ptr<VideoSource> openStill(const std::string& path, size_t frameCount, int rateNum, int rateDen,
                                       std::string& error) {
    RgbPicture picture;
    if (!readPng(path, picture, error)) return nullptr;
    if (picture.height % 2 != 0) {
        picture.pixels.insert(picture.pixels.end(), picture.pixels.end() - picture.width * 3, picture.pixels.end());
        ++picture.height;
    }
    auto source = std::make_unique<StillSource>();
    // The letters move from field to field, so the result is interlaced.
    source->format = {picture.width, picture.height, rateNum, rateDen, "1:1", Interlace::topFirst, Chroma::c444};
    source->frameCount = frameCount;
    source->planes = rgbToPlanar(picture);
    return source;
}

std::unique_ptr<VideoSource> makeBackground(const std::string& kind, int width, int height, size_t frameCount,
                                            int rateNum, int rateDen, std::string& error) {
    if (kind != "bars" && kind != "gradient" && kind != "black") {
        error = "--background " + kind + ": expected bars, gradient or black";
        return nullptr;
    }
    auto source = std::make_unique<BackgroundSource>();
    source->kind = kind;
    source->format = {width, height, rateNum, rateDen, "1:1", Interlace::topFirst, Chroma::c444};
    source->frameCount = frameCount;
    return source;
}

std::unique_ptr<VideoSource> openInput(const std::string& path, size_t stillFrames, int rateNum, int rateDen,
                                       std::string& error) {
    if (path == "-" || hasExtension(path, ".y4m")) return openY4m(path, error);
    if (hasExtension(path, ".png")) return openStill(path, stillFrames, rateNum, rateDen, error);
    return openWithFfmpeg(path, error);
}

// ---------------------------------------------------------------- outputs

namespace {

class Y4mSink : public VideoSink {
public:
    OutputFile file;
    VideoFormat format;
    std::string path;
    bool write(size_t, const std::vector<uint8_t>& planes, std::string& error) override {
        std::vector<uint8_t> native = fromPlanar444(planes, format);
        if (std::fputs("FRAME\n", file.stream()) == EOF ||
            std::fwrite(native.data(), 1, native.size(), file.stream()) != native.size()) {
            error = path + ": cannot write: " + std::strerror(errno);
            return false;
        }
        return true;
    }
    bool finish(std::string& error) override { return file.commit(error); }
    std::string describe() const override { return path; }
};

class PngSink : public VideoSink {
public:
    std::string pattern;
    VideoFormat format;
    std::vector<std::string> written;
    size_t firstFrame = 0;
    ~PngSink() override {
        // An unfinished sequence is removed as a whole.
        for (const auto& name : written) unlink(name.c_str());
    }
    bool write(size_t frameNumber, const std::vector<uint8_t>& planes, std::string& error) override {
        char name[4096];
        std::snprintf(name, sizeof name, pattern.c_str(), static_cast<int>(frameNumber));
        if (written.empty()) firstFrame = frameNumber;
        if (!writePng(name, planarToRgb(planes, format.width, format.height), error)) return false;
        written.push_back(name);
        return true;
    }
    bool finish(std::string&) override {
        last = written.empty() ? "" : written.back();
        first = written.empty() ? "" : written.front();
        written.clear();
        return true;
    }
    std::string first, last;
    std::string describe() const override { return first == last ? first : first + " .. " + last; }
};

class FfmpegSink : public VideoSink {
public:
    Child child;
    VideoFormat format;
    std::string path, temporary;
    ~FfmpegSink() override {
        if (!temporary.empty()) {
            if (child.pid > 0) kill(child.pid, SIGTERM);
            child.finish();
            unlink(temporary.c_str());
        }
    }
    bool write(size_t, const std::vector<uint8_t>& planes, std::string& error) override {
        if (std::fputs("FRAME\n", child.stream) == EOF ||
            std::fwrite(planes.data(), 1, planes.size(), child.stream) != planes.size()) {
            child.finish();
            error = path + ": ffmpeg stopped taking frames" + reason();
            return false;
        }
        return true;
    }
    // ffmpeg runs with "-v error": anything it says is an error, even when it
    // exits with 0 (it does so when it cannot write the file's trailer).
    bool finish(std::string& error) override {
        const bool exited = child.finish();
        const std::string why = reason();
        if (!exited || !why.empty()) {
            error = path + ": ffmpeg could not write it" + why;
            return false;
        }
        if (std::rename(temporary.c_str(), path.c_str()) != 0) {
            error = path + ": cannot rename the finished file into place: " + std::strerror(errno);
            return false;
        }
        temporary.clear();
        return true;
    }
    std::string describe() const override { return path; }

private:
    // ": " and ffmpeg's last message line, naming the file as the user did.
    std::string reason() {
        std::string text = child.takeMessages();
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (text.empty()) return "";
        const size_t lineStart = text.rfind('\n');
        std::string line = lineStart == std::string::npos ? text : text.substr(lineStart + 1);
        for (size_t at; !temporary.empty() && (at = line.find(temporary)) != std::string::npos;)
            line.replace(at, temporary.size(), path);
        return ": " + line;
    }
};

// A %d, %Nd or %0Nd once in the name, and no other conversion.
bool validPattern(const std::string& pattern) {
    size_t count = 0;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') continue;
        size_t j = i + 1;
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j]))) ++j;
        if (j < pattern.size() && pattern[j] == '%' && j == i + 1) {
            i = j;
            continue;
        }
        if (j >= pattern.size() || pattern[j] != 'd') return false;
        ++count;
        i = j;
    }
    return count == 1;
}

}  // namespace

std::unique_ptr<VideoSink> openOutput(const std::string& path, const VideoFormat& format, std::string& error) {
    if (path == "-" || hasExtension(path, ".y4m")) {
        auto sink = std::make_unique<Y4mSink>();
        sink->format = format;
        sink->path = path == "-" ? "standard output" : path;
        if (!sink->file.open(path, error)) return nullptr;
        std::string header = y4mHeader(format) + "\n";
        if (std::fputs(header.c_str(), sink->file.stream()) == EOF) {
            error = path + ": cannot write";
            return nullptr;
        }
        return sink;
    }
    if (hasExtension(path, ".png")) {
        auto sink = std::make_unique<PngSink>();
        sink->format = format;
        sink->pattern = path.find('%') == std::string::npos ? path.substr(0, path.size() - 4) + "-%04d.png" : path;
        if (!validPattern(sink->pattern)) {
            error = path + ": a PNG frame name holds one frame number as %d or %04d (and %% for a percent sign)";
            return nullptr;
        }
        return sink;
    }
    std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) {
        error = path + ": writing this kind of file needs the ffmpeg program, which is not installed "
                       "(write .y4m or .png frames instead)";
        return nullptr;
    }
    auto sink = std::make_unique<FfmpegSink>();
    sink->format = format;
    sink->path = path;
    // The temporary name keeps the extension: ffmpeg picks the container by it.
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    std::string extension = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? path.substr(dot) : "";
    if (extension.empty()) {
        error = path + ": no file extension to choose the kind of output by (.y4m, .png, .mp4, .mkv, ...)";
        return nullptr;
    }
    std::vector<char> name(path.begin(), path.end() - static_cast<long>(extension.size()));
    std::string suffix = ".partial-XXXXXX" + extension;
    name.insert(name.end(), suffix.begin(), suffix.end());
    name.push_back('\0');
    int fd = mkstemps(name.data(), static_cast<int>(extension.size()));
    if (fd < 0) {
        error = path + ": cannot create: " + std::strerror(errno);
        return nullptr;
    }
    close(fd);
    sink->temporary = name.data();
    std::vector<std::string> args = {ffmpeg, "-nostdin", "-v", "error", "-y", "-f", "yuv4mpegpipe", "-i", "-"};
    // Each field was rendered at its own moment: shown one after the other
    // (twice the frame rate) the letters move smoothly on any screen.
    if (format.interlace != Interlace::progressive)
        args.insert(args.end(), {"-vf", "yadif=mode=send_field:parity=" +
                                            std::string(format.interlace == Interlace::topFirst ? "tff" : "bff")});
    for (const char* e : {".mp4", ".mov", ".m4v", ".mkv", ".webm"})
        if (hasExtension(path, e)) {
            // The 4:2:0 every player takes.
            args.insert(args.end(), {"-pix_fmt", "yuv420p"});
            break;
        }
    if (hasExtension(path, ".mp4") || hasExtension(path, ".mov")) args.insert(args.end(), {"-movflags", "+faststart"});
    args.push_back(sink->temporary);
    sink->child.captureMessages = true;
    if (!sink->child.start(args, true, error)) return nullptr;
    VideoFormat piped = format;
    piped.chroma = Chroma::c444;
    std::string header = y4mHeader(piped) + "\n";
    if (std::fputs(header.c_str(), sink->child.stream) == EOF) {
        error = path + ": ffmpeg did not start";
        return nullptr;
    }
    return sink;
}

}  // namespace zask
