#include "tools/host/picture.h"

#include <png.h>

#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "tools/host/output_file.h"

namespace zask {

namespace {

uint8_t clampByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v >= 255.0) return 255;
    return static_cast<uint8_t>(v + 0.5);
}

struct NamedColour {
    const char* name;
    Rgb rgb;
};

const NamedColour namedColours[] = {
    {"white", {255, 255, 255}}, {"black", {0, 0, 0}},       {"red", {230, 30, 30}},
    {"green", {40, 200, 60}},   {"blue", {40, 80, 230}},     {"yellow", {255, 220, 0}},
    {"gold", {255, 190, 40}},   {"orange", {255, 140, 0}},   {"cyan", {0, 220, 240}},
    {"magenta", {230, 40, 200}}, {"grey", {128, 128, 128}}, {"gray", {128, 128, 128}},
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

YCbCr toYCbCr(Rgb c) {
    const double r = c.r, g = c.g, b = c.b;
    return {clampByte(0.299 * r + 0.587 * g + 0.114 * b),
            clampByte(128.0 - 0.168736 * r - 0.331264 * g + 0.5 * b),
            clampByte(128.0 + 0.5 * r - 0.418688 * g - 0.081312 * b)};
}

Rgb toRgb(YCbCr c) {
    const double y = c.y, cb = c.cb - 128.0, cr = c.cr - 128.0;
    return {clampByte(y + 1.402 * cr), clampByte(y - 0.344136 * cb - 0.714136 * cr), clampByte(y + 1.772 * cb)};
}

std::optional<Rgb> parseColour(const std::string& text) {
    if (text.size() == 7 && text[0] == '#') {
        int v[6];
        for (int i = 0; i < 6; ++i)
            if ((v[i] = hexValue(text[i + 1])) < 0) return std::nullopt;
        return Rgb{static_cast<uint8_t>(v[0] * 16 + v[1]), static_cast<uint8_t>(v[2] * 16 + v[3]),
                   static_cast<uint8_t>(v[4] * 16 + v[5])};
    }
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& n : namedColours)
        if (lower == n.name) return n.rgb;
    return std::nullopt;
}

std::string colourNames() {
    std::string names;
    for (const auto& n : namedColours) names += (names.empty() ? "" : ", ") + std::string(n.name);
    return names;
}

RgbPicture::RgbPicture(int w, int h, Rgb fill) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 3) {
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = fill.r;
        pixels[i + 1] = fill.g;
        pixels[i + 2] = fill.b;
    }
}

RgbPicture planarToRgb(const std::vector<uint8_t>& planes, int width, int height) {
    RgbPicture picture(width, height);
    const size_t n = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < n; ++i) {
        Rgb c = toRgb({planes[i], planes[n + i], planes[2 * n + i]});
        picture.pixels[3 * i] = c.r;
        picture.pixels[3 * i + 1] = c.g;
        picture.pixels[3 * i + 2] = c.b;
    }
    return picture;
}

std::vector<uint8_t> rgbToPlanar(const RgbPicture& picture) {
    const size_t n = static_cast<size_t>(picture.width) * picture.height;
    std::vector<uint8_t> planes(3 * n);
    for (size_t i = 0; i < n; ++i) {
        YCbCr c = toYCbCr({picture.pixels[3 * i], picture.pixels[3 * i + 1], picture.pixels[3 * i + 2]});
        planes[i] = c.y;
        planes[n + i] = c.cb;
        planes[2 * n + i] = c.cr;
    }
    return planes;
}

namespace {

struct PngErrorState {
    std::string message;
    int systemError = 0;  // errno when the library gave up, for its "Write Error"
};

void pngError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
    state->message = message;
    state->systemError = errno;
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Largest picture accepted, against absurd sizes in a header.
constexpr png_uint_32 maximumSide = 32767;

}  // namespace

bool readPng(const std::string& path, RgbPicture& picture, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    unsigned char signature[8];
    if (std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        std::fclose(file);
        error = path + ": not a PNG file";
        return false;
    }
    PngErrorState state;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::fclose(file);
        error = path + ": out of memory";
        return false;
    }
    std::vector<png_bytep> rows;
    std::vector<uint8_t> rgba;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        error = path + ": broken PNG: " + state.message;
        return false;
    }
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (width > maximumSide || height > maximumSide) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        error = path + ": picture of " + std::to_string(width) + "x" + std::to_string(height) +
                " pixels, at most 32767 on a side";
        return false;
    }
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    rgba.resize(static_cast<size_t>(width) * height * 4);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = rgba.data() + static_cast<size_t>(y) * width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);

    picture = RgbPicture(static_cast<int>(width), static_cast<int>(height));
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
        for (int k = 0; k < 3; ++k) picture.pixels[3 * i + k] = static_cast<uint8_t>(rgba[4 * i + k] * rgba[4 * i + 3] / 255);
    return true;
}

bool writePng(const std::string& path, const RgbPicture& picture, std::string& error) {
    OutputFile output;
    if (!output.open(path, error)) return false;
    PngErrorState state;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        error = path + ": out of memory";
        return false;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(picture.height));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = path + ": cannot write: " + (state.systemError != 0 ? std::strerror(state.systemError) : state.message);
        return false;
    }
    errno = 0;
    png_init_io(png, output.stream());
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(picture.at(0, y));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return output.commit(error);
}

}  // namespace zask
