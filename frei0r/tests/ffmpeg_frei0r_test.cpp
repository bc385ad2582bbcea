// ffmpeg's frei0r filter against the host program: the same title, settings
// and frames rendered both ways, in each field order, must agree.
//
// The input is made as RGBA and handed to the host program as the Y/Cb/Cr
// the filter makes of it (the same conversion), so both renders start from
// the same bytes and the plug-in renders the same fields. The filter's
// output then passes through one more conversion pair than the host
// program's: Y/Cb/Cr to RGBA (each of R, G, B rounded, ±0.5, and clamped to
// 0..255) in the filter, and RGBA back to Y/Cb/Cr (rounded again, ±0.5) here.
// The rows of the full-range matrix weigh R, G and B with absolute values
// summing to 1.0 for Y and for Cb and Cr, so the two roundings move a sample
// by at most 1. A sample whose R, G or B falls outside 0..255 (Cb and Cr far
// from the colours of an RGB picture) loses what the clamp cut off as well;
// the letters' own colours are made from RGB and stay inside, so the
// tolerance is 1 for all but 0.1 % of the samples and 3 for every sample.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "frei0r/rgba_frames.h"
#include "tools/host/picture.h"
#include "tools/host/video_io.h"

namespace {

constexpr int width = 320, height = 240, frameCount = 20, rate = 25;
const char* const settings = "inScene=2 outScene=1 inDuration=4 outDuration=4 antialiasing=1 rotationY=20";

int failures = 0;

void fail(const std::string& message) {
    std::fprintf(stderr, "FAILED: %s\n", message.c_str());
    ++failures;
}

int run(const std::vector<std::string>& args, const std::vector<std::string>& environment = {},
        const std::string& stdoutPath = "") {
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
        if (!stdoutPath.empty()) {
            FILE* out = std::freopen(stdoutPath.c_str(), "w", stdout);
            if (out == nullptr) _exit(126);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A gradient with moving stripes: every frame differs, and every colour is an
// RGB colour.
std::vector<uint8_t> inputFrame(int k) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = rgba.data() + (static_cast<size_t>(y) * width + x) * 4;
            p[0] = static_cast<uint8_t>(x * 255 / width);
            p[1] = static_cast<uint8_t>(y * 255 / height);
            p[2] = static_cast<uint8_t>(((x + 4 * k) / 16) % 2 != 0 ? 200 : 40);
            p[3] = 255;
        }
    return rgba;
}

struct Case {
    const char* fieldOrder;  // the filter's parameter
    const char* interlace;   // the Y4M tag the host program reads
};

void runCase(const std::string& ffmpeg, const std::string& folder, const Case& c) {
    const std::string tag = c.fieldOrder;
    const std::string inRgba = folder + "/in-" + tag + ".rgba", inY4m = folder + "/in-" + tag + ".y4m";
    const std::string hostY4m = folder + "/host-" + tag + ".y4m", outRgba = folder + "/ffmpeg-" + tag + ".rgba";
    std::vector<std::vector<uint8_t>> planesIn;
    {
        std::ofstream rgbaFile(inRgba, std::ios::binary), y4m(inY4m, std::ios::binary);
        y4m << "YUV4MPEG2 W" << width << " H" << height << " F" << rate << ":1 " << c.interlace << " A1:1 C444\n";
        for (int k = 0; k < frameCount; ++k) {
            std::vector<uint8_t> rgba = inputFrame(k);
            rgbaFile.write(reinterpret_cast<const char*>(rgba.data()), static_cast<std::streamsize>(rgba.size()));
            planesIn.push_back(zask::frei0r::rgbaToPlanar(rgba.data(), width, height));
            y4m << "FRAME\n";
            y4m.write(reinterpret_cast<const char*>(planesIn.back().data()),
                      static_cast<std::streamsize>(planesIn.back().size()));
        }
    }
    const std::string kthome = ZASK_KTHOME;
    int status = run({ZASK_HOST_PROGRAM, "render", "--text", "HELLO\\nWORLD", "--text", "ZASK", "--colour", "#FFBE28",
                      "--variant", "zask4", "--kthome", kthome, "--input", inY4m, "--output", hostY4m, "--quiet",
                      "--set", "inScene=2", "--set", "outScene=1", "--set", "inDuration=4", "--set", "outDuration=4",
                      "--set", "antialiasing=1", "--set", "rotationY=20"});
    if (status != 0) return fail(tag + ": the host program's render ended with " + std::to_string(status));

    // filter_params goes through three levels of ffmpeg's unescaping (the
    // graph, the filter's options, the '|' list): a backslash reaches the
    // filter as eight. The line break is a real newline here, the page break
    // the two characters \p.
    const std::string params = "HELLO\nWORLD" + std::string(8, '\\') + "pZASK|" +
                               std::to_string(static_cast<double>(frameCount) / rate) + "|0|" + settings +
                               "|0|0xFFBE28|/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf|centre|middle|" +
                               std::to_string(rate) + "|" + c.fieldOrder;
    status = run({ffmpeg, "-nostdin", "-hide_banner", "-loglevel", "error", "-f", "rawvideo", "-pix_fmt", "rgba",
                  "-s", std::to_string(width) + "x" + std::to_string(height), "-r", std::to_string(rate), "-i", inRgba,
                  "-vf", "frei0r=filter_name=zask4:filter_params=" + params, "-f", "rawvideo", "-pix_fmt", "rgba", "-y",
                  outRgba},
                 {"FREI0R_PATH=" ZASK_FREI0R_DIR, "KTHOME=" + kthome});
    if (status != 0) return fail(tag + ": ffmpeg ended with " + std::to_string(status));

    const std::string host = readFile(hostY4m), filtered = readFile(outRgba);
    const size_t planeBytes = static_cast<size_t>(width) * height * 3, rgbaBytes = static_cast<size_t>(width) * height * 4;
    if (filtered.size() != rgbaBytes * frameCount)
        return fail(tag + ": ffmpeg wrote " + std::to_string(filtered.size()) + " bytes, expected " +
                    std::to_string(rgbaBytes * frameCount));
    size_t at = host.find('\n');
    long long histogram[256] = {};
    size_t titled = 0;
    for (int k = 0; k < frameCount; ++k) {
        if (at == std::string::npos || host.compare(at + 1, 5, "FRAME") != 0)
            return fail(tag + ": the host program's output has no frame " + std::to_string(k));
        at = host.find('\n', at + 1);
        if (at == std::string::npos || host.size() < at + 1 + planeBytes)
            return fail(tag + ": the host program's frame " + std::to_string(k) + " is short");
        const uint8_t* expected = reinterpret_cast<const uint8_t*>(host.data() + at + 1);
        std::vector<uint8_t> got = zask::frei0r::rgbaToPlanar(
            reinterpret_cast<const uint8_t*>(filtered.data() + rgbaBytes * k), width, height);
        size_t changed = 0;
        for (size_t i = 0; i < planeBytes; ++i) {
            ++histogram[std::abs(static_cast<int>(got[i]) - static_cast<int>(expected[i]))];
            if (std::abs(static_cast<int>(expected[i]) - static_cast<int>(planesIn[k][i])) > 16) ++changed;
        }
        if (changed > 300) ++titled;
        if (k == frameCount / 2) {
            zask::RgbPicture picture = zask::planarToRgb(got, width, height);
            std::string error;
            if (!zask::writePng(folder + "/ffmpeg-" + tag + "-frame10.png", picture, error)) fail(error);
        }
        at += planeBytes;
    }
    long long samples = 0, above1 = 0, worst = 0;
    for (int d = 0; d < 256; ++d) {
        samples += histogram[d];
        if (d > 1) above1 += histogram[d];
        if (histogram[d] != 0) worst = d;
    }
    std::printf("%s: %d frames, %zu with the title; samples off by 0: %lld, 1: %lld, 2: %lld, 3: %lld, more: %lld "
                "(largest %lld)\n",
                tag.c_str(), frameCount, titled, histogram[0], histogram[1], histogram[2], histogram[3],
                samples - histogram[0] - histogram[1] - histogram[2] - histogram[3], worst);
    if (titled < frameCount / 2) fail(tag + ": the title shows in only " + std::to_string(titled) + " frames");
    if (worst > 3) fail(tag + ": a sample differs by " + std::to_string(worst) + " (at most 3 allowed)");
    if (above1 * 1000 > samples) fail(tag + ": " + std::to_string(above1) + " samples differ by more than 1");
}

}  // namespace

int main() {
    const std::string ffmpeg = zask::findFfmpeg();
    if (ffmpeg.empty()) {
        std::printf("SKIPPED: no ffmpeg program\n");
        return 77;
    }
    const std::string folder = ZASK_TEST_OUTPUT_DIR;
    std::filesystem::create_directories(folder);
    if (run({ffmpeg, "-hide_banner", "-filters"}, {}, folder + "/filters.txt") != 0 ||
        readFile(folder + "/filters.txt").find(" frei0r ") == std::string::npos) {
        std::printf("SKIPPED: this ffmpeg has no frei0r filter\n");
        return 77;
    }
    for (const Case& c : {Case{"top", "It"}, Case{"bottom", "Ib"}, Case{"progressive", "Ip"}}) runCase(ffmpeg, folder, c);
    if (failures != 0) return 1;
    std::printf("ffmpeg's frei0r filter matches the host program\n");
    return 0;
}
