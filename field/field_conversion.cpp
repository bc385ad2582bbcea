#include "field/field_conversion.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "raster/render_context.h"
#include "raster/truncate.h"
#include "variants/variant.h"

namespace {

uint8_t clampToByte(int32_t value)
{
    return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

}  // namespace

void hostPixelToColour(const uint8_t* hostPixel, uint8_t* blue, uint8_t* green, uint8_t* red)
{
    const float cr = static_cast<float>(hostPixel[1] - 128);
    const float cb = static_cast<float>(hostPixel[2] - 128);
    const float y = static_cast<float>(hostPixel[3]);
    const float r = (cr * 1.402f) + y;
    const float g = (y - cb * 0.344136f) - cr * 0.714136f;
    const float b = (cb * 1.772f) + y;
    *red = clampToByte(truncateToInt(r));
    *green = clampToByte(truncateToInt(g));
    *blue = clampToByte(truncateToInt(b));
}

void colourToHostPixel(const uint8_t* colour, uint8_t* hostPixel)
{
    const float b = colour[0], g = colour[1], r = colour[2];
    const float y = (r * 0.299f + g * 0.587f) + b * 0.114f;
    const float cr = ((r * 0.5f - g * 0.418688f) - b * 0.081312f) + 128.0f;
    const float cb = (b * 0.5f - (r * 0.168736f + g * 0.331264f)) + 128.0f;
    hostPixel[0] = 0;
    hostPixel[1] = static_cast<uint8_t>(truncateToInt(cr));
    hostPixel[2] = static_cast<uint8_t>(truncateToInt(cb));
    hostPixel[3] = static_cast<uint8_t>(truncateToInt(y));
}

// Whole rows, four pixels at a time: the same single-precision operations in
// the same order as the per-pixel functions above (separate multiplies and
// adds, truncating conversion), so every byte comes out the same.
void convertHostRowToColour(const uint8_t* host, uint8_t* colour, int32_t count)
{
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i offset = _mm_set1_epi32(128);
    for (; x + 4 <= count; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(host + x * 4));
        const __m128 cr = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(p, 8), byteMask), offset));
        const __m128 cb = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(p, 16), byteMask), offset));
        const __m128 y = _mm_cvtepi32_ps(_mm_srli_epi32(p, 24));
        const __m128 r = _mm_add_ps(_mm_mul_ps(cr, _mm_set1_ps(1.402f)), y);
        const __m128 g = _mm_sub_ps(_mm_sub_ps(y, _mm_mul_ps(cb, _mm_set1_ps(0.344136f))),
                                    _mm_mul_ps(cr, _mm_set1_ps(0.714136f)));
        const __m128 b = _mm_add_ps(_mm_mul_ps(cb, _mm_set1_ps(1.772f)), y);
        // Truncate, then saturate to 0 .. 255 by packing.
        const __m128i bg = _mm_packs_epi32(_mm_cvttps_epi32(b), _mm_cvttps_epi32(g));   // b0..b3 g0..g3
        const __m128i r0 = _mm_packs_epi32(_mm_cvttps_epi32(r), _mm_setzero_si128());  // r0..r3 0..0
        const __m128i bytes = _mm_packus_epi16(bg, r0);  // b0..b3 g0..g3 r0..r3 0 0 0 0
        // Interleave into {b, g, r, 0} per pixel.
        const __m128i bgPairs = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 4));         // b0 g0 b1 g1 ...
        const __m128i r0Pairs = _mm_unpacklo_epi8(_mm_srli_si128(bytes, 8), _mm_setzero_si128());  // r0 0 r1 0 ...
        _mm_storeu_si128(reinterpret_cast<__m128i*>(colour + x * 4), _mm_unpacklo_epi16(bgPairs, r0Pairs));
    }
#endif
    for (; x < count; ++x) {
        uint8_t* pixel = colour + x * 4;
        hostPixelToColour(host + x * 4, &pixel[0], &pixel[1], &pixel[2]);
        pixel[3] = 0;
    }
}

void convertColourRowToHost(const uint8_t* colour, uint8_t* host, int32_t count)
{
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    for (; x + 4 <= count; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(colour + x * 4));
        const __m128 b = _mm_cvtepi32_ps(_mm_and_si128(p, byteMask));
        const __m128 g = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(p, 8), byteMask));
        const __m128 r = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(p, 16), byteMask));
        const __m128 y = _mm_add_ps(_mm_add_ps(_mm_mul_ps(r, _mm_set1_ps(0.299f)), _mm_mul_ps(g, _mm_set1_ps(0.587f))),
                                    _mm_mul_ps(b, _mm_set1_ps(0.114f)));
        const __m128 cr = _mm_add_ps(_mm_sub_ps(_mm_sub_ps(_mm_mul_ps(r, _mm_set1_ps(0.5f)),
                                                           _mm_mul_ps(g, _mm_set1_ps(0.418688f))),
                                                _mm_mul_ps(b, _mm_set1_ps(0.081312f))),
                                     _mm_set1_ps(128.0f));
        const __m128 cb = _mm_add_ps(_mm_sub_ps(_mm_mul_ps(b, _mm_set1_ps(0.5f)),
                                                _mm_add_ps(_mm_mul_ps(r, _mm_set1_ps(0.168736f)),
                                                           _mm_mul_ps(g, _mm_set1_ps(0.331264f)))),
                                     _mm_set1_ps(128.0f));
        // The results lie in 0 .. 255; keep their low bytes as the scalar path does.
        const __m128i yi = _mm_and_si128(_mm_cvttps_epi32(y), byteMask);
        const __m128i cri = _mm_and_si128(_mm_cvttps_epi32(cr), byteMask);
        const __m128i cbi = _mm_and_si128(_mm_cvttps_epi32(cb), byteMask);
        const __m128i pixel = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(cri, 8), _mm_slli_epi32(cbi, 16)),
                                           _mm_slli_epi32(yi, 24));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(host + x * 4), pixel);
    }
#endif
    for (; x < count; ++x)
        colourToHostPixel(colour + x * 4, host + x * 4);
}

int32_t fetchFieldInput(uint32_t position, FieldInput& input)
{
    input = FieldInput{};
    HostImage* field = opGetField(0, position);
    if (field == nullptr) {
        logFailure(310);
        return -1;
    }
    const int32_t width = field->width;
    const int32_t lines = field->height;
    input.field = field;
    input.width = width;
    input.frameHeight = 2 * lines;
    // A frame the buffers cannot hold fails like a background that cannot be had.
    if (width < 0 || lines < 0 || int64_t{width} * 2 * lines > maxFramePixels) {
        logFailure(316);
        return -1;
    }
    HostImage* background = opAllocImage(width, 2 * lines, 1, 0);
    if (background == nullptr) {
        logFailure(316);
        return -1;
    }
    input.background = background;
    renderContext.backgroundPixels = background->pixels;

    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int32_t k = 0; k < lines; ++k) {
        const uint8_t* source = field->pixels + k * rowBytes;
        uint8_t* frameLine = renderContext.colourBuffer + 2 * k * rowBytes;
        convertHostRowToColour(source, frameLine, width);
        std::memcpy(frameLine + rowBytes, frameLine, rowBytes);
        std::memcpy(background->pixels + 2 * k * rowBytes, frameLine, 2 * rowBytes);
    }
    return 0;
}

int32_t deliverField(FieldInput& input, bool secondField)
{
    HostImage* field = input.field;
    const size_t rowBytes = static_cast<size_t>(input.width) * 4;
    const int32_t firstLine = secondField ? 1 : 0;
    for (int32_t k = 0; k < field->height; ++k) {
        const uint8_t* frameLine = renderContext.colourBuffer + (firstLine + 2 * k) * rowBytes;
        convertColourRowToHost(frameLine, field->pixels + k * rowBytes, input.width);
    }
    opFreeImage(input.background);
    input.background = nullptr;
    renderContext.backgroundPixels = nullptr;
    return opPutField(field);
}
