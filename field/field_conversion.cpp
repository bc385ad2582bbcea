#include "field/field_conversion.h"

#include <cstring>

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
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* pixel = frameLine + x * 4;
            hostPixelToColour(source + x * 4, &pixel[0], &pixel[1], &pixel[2]);
            pixel[3] = 0;
        }
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
        uint8_t* target = field->pixels + k * rowBytes;
        for (int32_t x = 0; x < input.width; ++x)
            colourToHostPixel(frameLine + x * 4, target + x * 4);
    }
    opFreeImage(input.background);
    input.background = nullptr;
    renderContext.backgroundPixels = nullptr;
    return opPutField(field);
}
