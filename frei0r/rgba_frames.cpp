#include "frei0r/rgba_frames.h"

#include "tools/host/picture.h"

namespace zask::frei0r {

std::vector<uint8_t> rgbaToPlanar(const uint8_t* rgba, int width, int height) {
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> planes(3 * n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = rgba + 4 * i;
        YCbCr c = toYCbCr(Rgb{p[0], p[1], p[2]});
        planes[i] = c.y;
        planes[n + i] = c.cb;
        planes[2 * n + i] = c.cr;
    }
    return planes;
}

void planarToRgba(const std::vector<uint8_t>& planes, const uint8_t* alphaSource, uint8_t* rgba, int width,
                  int height) {
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < n; ++i) {
        Rgb c = toRgb(YCbCr{planes[i], planes[n + i], planes[2 * n + i]});
        uint8_t* p = rgba + 4 * i;
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
        p[3] = alphaSource[4 * i + 3];
    }
}

}  // namespace zask::frei0r
