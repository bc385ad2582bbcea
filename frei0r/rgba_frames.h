// frei0r frames (RGBA8888: bytes R, G, B, A) to and from the planar Y/Cb/Cr
// frames the stand-in host hands to the plug-ins, with the full-range BT.601
// matrix the plug-ins and the host program use.
#pragma once

#include <cstdint>
#include <vector>

namespace zask::frei0r {

// Y, Cb and Cr planes of width * height bytes each; alpha is dropped.
std::vector<uint8_t> rgbaToPlanar(const uint8_t* rgba, int width, int height);

// The planes back into RGBA; alpha is taken from alphaSource (the frame the
// filter was given), so the title is composited into the picture, not into
// its transparency.
void planarToRgba(const std::vector<uint8_t>& planes, const uint8_t* alphaSource, uint8_t* rgba, int width,
                  int height);

}  // namespace zask::frei0r
