// Pictures in RGB and frames in planar Y/Cb/Cr, the conversions between them
// (full-range BT.601, the matrix the plug-ins use themselves, so a colour
// asked for comes back as that colour) and PNG files through libpng.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zask {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

struct YCbCr {
    uint8_t y = 0, cb = 128, cr = 128;
};

YCbCr toYCbCr(Rgb c);
Rgb toRgb(YCbCr c);

// "white", "gold", ... or "#RRGGBB".
std::optional<Rgb> parseColour(const std::string& text);
// The names parseColour knows, for error messages and --help.
std::string colourNames();

// 8-bit RGB, rows top to bottom.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width * height * 3

    RgbPicture() = default;
    RgbPicture(int w, int h, Rgb fill = {});
    uint8_t* at(int x, int y) { return pixels.data() + (static_cast<size_t>(y) * width + x) * 3; }
    const uint8_t* at(int x, int y) const { return pixels.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

// A planar 4:4:4 frame (Y, Cb, Cr planes of width * height bytes) as RGB and back.
RgbPicture planarToRgb(const std::vector<uint8_t>& planes, int width, int height);
std::vector<uint8_t> rgbToPlanar(const RgbPicture& picture);

// PNG files: any PNG is read as RGB (alpha composited over black). The
// writer goes through a temporary file renamed into place.
bool readPng(const std::string& path, RgbPicture& picture, std::string& error);
bool writePng(const std::string& path, const RgbPicture& picture, std::string& error);

}  // namespace zask
