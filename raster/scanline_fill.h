// Row and pixel fill of one triangle half: texturing, edge marks and light.
#pragma once

#include <cstdint>

// The rows and columns of the spans the fill has processed with coverage
// marking on since the region was last reset: everything a render changed in
// the colour and coverage buffers lies inside it.
struct FillRegion {
    int32_t minRow, maxRow, minColumn, maxColumn;   // empty while minRow > maxRow
};

extern FillRegion fillRegion;
void resetFillRegion();
bool fillRegionEmpty();

void fillRows(double startY, int32_t endRow);
void sampleBilinear(uint8_t* pixel, double u, double v);
void shadePixel(uint8_t* pixel, double x, double y, double z);
