// Host fields in, frames out: Y/Cb/Cr to blue/green/red with doubled lines,
// and this field's lines back.
#pragma once

#include <cstdint>

#include "host/host_services.h"

// {alpha, Cr, Cb, Y} to blue, green, red (each truncated and clamped).
void hostPixelToColour(const uint8_t* hostPixel, uint8_t* blue, uint8_t* green, uint8_t* red);
// blue, green, red to {0, Cr, Cb, Y}.
void colourToHostPixel(const uint8_t* colour, uint8_t* hostPixel);

// The same for a row of `count` pixels (the colour pixels' fourth byte set to 0).
void convertHostRowToColour(const uint8_t* host, uint8_t* colour, int32_t count);
void convertColourRowToHost(const uint8_t* colour, uint8_t* host, int32_t count);

struct FieldInput {
    HostImage* field;
    HostImage* background;
    int32_t width;         // W
    int32_t frameHeight;   // 2h
};

// Fetches field `position`, allocates the background image and fills the
// colour buffer and the background. -1 after logging.
int32_t fetchFieldInput(uint32_t position, FieldInput& input);
// Converts this field's lines back, releases the background and hands the
// field to the host; returns the host's result.
int32_t deliverField(FieldInput& input, bool secondField);
