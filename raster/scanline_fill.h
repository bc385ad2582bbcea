// Row and pixel fill of one triangle half: texturing, edge marks and light.
#pragma once

#include <cstdint>

void fillRows(double startY, int32_t endRow);
void sampleBilinear(uint8_t* pixel, double u, double v);
void shadePixel(uint8_t* pixel, double x, double y, double z);
