#include "raster/scanline_fill.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "raster/render_context.h"
#include "raster/triangle_setup.h"
#include "raster/truncate.h"

namespace {

constexpr double texelOffset = 0.9999967;
constexpr double inverseFocalFactor = 1.399999976158142;  // 1.4f
constexpr uint8_t edgeMark = 0xFF;

int32_t clampIndex(int32_t value, int32_t last)
{
    if (value < 0)
        return 0;
    if (value > last)
        return last;
    return value;
}

// Negative coordinates mirror at 0, large ones clamp to the last texel; one
// that is not a number reads from 0.
double bringIntoTexture(double coordinate, uint16_t size)
{
    double c = std::isnan(coordinate) ? 0.0 : std::fabs(coordinate);
    const double last = static_cast<double>(size) - 1.0;
    if (c > last)
        c = last;
    return c;
}

void addFlatLight(uint8_t* pixel)
{
    for (int k = 0; k < 3; ++k) {
        const int32_t sum = pixel[k] + triangleSetup.flatAdd[k];
        pixel[k] = sum > 255 ? 255 : static_cast<uint8_t>(sum);
    }
}

}  // namespace

FillRegion fillRegion = {1, 0, 1, 0};

void resetFillRegion()
{
    fillRegion = {INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN};
}

bool fillRegionEmpty()
{
    return fillRegion.minRow > fillRegion.maxRow;
}

namespace {

// The per-pixel steps, inlined into the span loop.
inline __attribute__((always_inline)) void blendBilinearSample(uint8_t* pixel, double u, double v)
{
    const TriangleSetup& ts = triangleSetup;
    const double su = u - texelOffset;
    const double sv = v - texelOffset;
    const int32_t x0 = truncateToInt(su);
    const int32_t y0 = truncateToInt(sv);
    const double fx = std::fabs(su - x0);
    const double fy = std::fabs(sv - y0);

    const int32_t lastColumn = ts.textureWidth - 1, lastRow = ts.textureHeight - 1;
    const int32_t c0 = clampIndex(x0, lastColumn), c1 = clampIndex(x0 + 1, lastColumn);
    const int32_t r0 = clampIndex(y0, lastRow), r1 = clampIndex(y0 + 1, lastRow);
    const uint8_t* row0 = ts.texturePixels + static_cast<size_t>(r0) * ts.textureWidth * 4;
    const uint8_t* row1 = ts.texturePixels + static_cast<size_t>(r1) * ts.textureWidth * 4;
    const uint8_t* t00 = row0 + c0 * 4;
    const uint8_t* t10 = row0 + c1 * 4;
    const uint8_t* t01 = row1 + c0 * 4;
    const uint8_t* t11 = row1 + c1 * 4;

    int32_t sample[4];
    for (int k = 0; k < 4; ++k) {
        const double top = (t10[k] - t00[k]) * fx + t00[k];
        const double bottom = (t11[k] - t01[k]) * fx + t01[k];
        sample[k] = truncateToInt((bottom - top) * fy + top) & 0xFF;
    }
    const int32_t alpha = truncateToInt(static_cast<float>(sample[3]) * renderContext.opacity);
    for (int k = 0; k < 3; ++k)
        pixel[k] = static_cast<uint8_t>((sample[k] * alpha + pixel[k] * (255 - alpha)) / 255);
}

inline __attribute__((always_inline)) void addPixelLight(uint8_t* pixel, double x, double y, double z)
{
    const RenderContext& rc = renderContext;
    const TriangleSetup& ts = triangleSetup;
    double l[3] = {rc.lightVector[0] - x / rc.letterScaleX, rc.lightVector[1] - y / rc.letterScaleY,
                   rc.lightVector[2] - z};
    if (rc.mirrorX != 0)
        l[0] = -l[0];
    if (rc.mirrorY != 0)
        l[1] = -l[1];
    normaliseVectorInline(l);
    double d = (l[0] * ts.faceNormal[0] + l[1] * ts.faceNormal[1] + l[2] * ts.faceNormal[2]) *
               ts.lightFade;
    if (d < 0.0)
        d = -d;
    const double intensity = rc.lightGain * d * d * d;
    for (int k = 0; k < 3; ++k) {
        const int64_t sum = int64_t{pixel[k]} + truncateToInt(rc.lightLevels[k] * intensity);
        pixel[k] = static_cast<uint8_t>(sum < 0 ? 0 : (sum > 255 ? 255 : sum));
    }
}

}  // namespace

void sampleBilinear(uint8_t* pixel, double u, double v)
{
    blendBilinearSample(pixel, u, v);
}

void shadePixel(uint8_t* pixel, double x, double y, double z)
{
    addPixelLight(pixel, x, y, z);
}

void fillRows(double startY, int32_t endRow)
{
    TriangleSetup& ts = triangleSetup;
    const RenderContext& rc = renderContext;

    if (startY < 0.0)
        startY = 0.0;
    const int32_t firstRow = truncateToInt(startY);
    const float windowHeight = rc.windowHeight;
    const bool firstBeyond = static_cast<float>(firstRow) >= windowHeight;
    const bool endBeyond = static_cast<float>(endRow) >= windowHeight;
    if (firstBeyond && endBeyond)
        return;
    if (endBeyond)
        endRow = truncateToInt(windowHeight);
    const int32_t lastRow = endRow - 1;

    const bool textured = ts.untextured == 0;
    const bool cutOut = rc.keepTransparent == 0 || (rc.flatLighting == 0 && rc.pixelLighting == 0);
    const bool leftMarksAllowed = ts.restrictMarks == 0 || ts.longOnRight != 0;
    const bool rightMarksAllowed = ts.restrictMarks == 0 || ts.longOnRight == 0;
    const int64_t bottomMarks = std::llabs(int64_t{ts.bottomMarkWidth});
    const double leftMarkReach = std::fabs(ts.leftSlope) + 1.5;
    const double rightMarkReach = std::fabs(ts.rightSlope) + 1.5;

    for (int32_t row = firstRow; row < endRow; ++row) {
        int32_t xr = truncateToInt(ts.rightX);
        int32_t xl = truncateToInt(ts.leftX);
        bool drawRow = true;
        if (static_cast<float>(xr) > rc.windowWidth)
            xr = truncateToInt(rc.windowWidth);
        if (static_cast<float>(xl) > rc.windowWidth || rc.clipLeft > static_cast<float>(xr))
            drawRow = false;
        else if (rc.clipLeft > static_cast<float>(xl))
            xl = truncateToInt(rc.clipLeft);

        const int32_t n = xr - xl;
        if (drawRow && n >= 1) {
            if (rc.coverageOff == 0) {
                fillRegion.minRow = std::min(fillRegion.minRow, row);
                fillRegion.maxRow = std::max(fillRegion.maxRow, row);
                fillRegion.minColumn = std::min(fillRegion.minColumn, xl);
                fillRegion.maxColumn = std::max(fillRegion.maxColumn, xr - 1);
            }
            const double q = 1.0 - (ts.leftX - xl);
            double w = ts.leftInvZ + ts.invZDx * q;
            double U = ts.leftU + ts.uDx * q;
            double V = ts.leftV + ts.vDx * q;
            double u = 0.0, v = 0.0;
            if (textured) {
                u = U / w;
                v = V / w;
            }
            uint8_t* pixel = rc.colourBuffer + (static_cast<size_t>(row) * rc.bufferStride + xl) * 4;
            uint8_t* coverage = rc.coverageBuffer + static_cast<size_t>(row) * rc.bufferStride + xl;
            for (int32_t i = 0; i < n; ++i, pixel += 4, ++coverage) {
                const int32_t column = xl + i;
                const int32_t remaining = n - i;
                const double nextW = w + ts.invZDx;
                const double nextU = U + ts.uDx;
                const double nextV = V + ts.vDx;
                const double z = 1.0 / (nextW - ts.invZDx);
                const double pixelU = u, pixelV = v;
                u = z * nextU;
                v = z * nextV;
                w = nextW;
                U = nextU;
                V = nextV;

                if (textured) {
                    const double uc = bringIntoTexture(pixelU, ts.textureWidth);
                    const double vc = bringIntoTexture(pixelV, ts.textureHeight);
                    if (cutOut) {
                        const uint8_t* texel =
                            ts.texturePixels +
                            (static_cast<size_t>(static_cast<int32_t>(vc)) * ts.textureWidth +
                             static_cast<size_t>(static_cast<int32_t>(uc))) * 4;
                        if (texel[3] == 0)
                            continue;
                    }
                    blendBilinearSample(pixel, uc, vc);
                } else if (rc.keepTransparent == 0) {
                    continue;
                }

                if (rc.coverageOff == 0) {
                    const bool marked =
                        (i == 0 && leftMarksAllowed) || (remaining == 1 && rightMarksAllowed) ||
                        (leftMarkReach >= i && leftMarksAllowed) ||
                        (rightMarkReach >= remaining - 1 && rightMarksAllowed) ||
                        (row == lastRow && (i < bottomMarks || remaining < bottomMarks));
                    *coverage = marked ? edgeMark : 0;
                }

                if (rc.flatLighting != 0) {
                    addFlatLight(pixel);
                } else if (rc.pixelLighting != 0) {
                    const double g = (inverseFocalFactor / z) * rc.letterScaleZ;
                    const double x = -((column - rc.projShiftX - rc.screenCentreX + rc.windowOriginX) /
                                       rc.projScaleX) / g;
                    const double y = -((row - rc.projShiftY - rc.screenCentreY + rc.windowOriginY) /
                                       rc.projScaleY) / g;
                    addPixelLight(pixel, x, y, z);
                }
            }
        }

        ts.rightX += ts.rightSlope;
        ts.leftX += ts.leftSlope;
        ts.leftInvZ += ts.leftInvZStep;
        ts.leftU += ts.leftUStep;
        ts.leftV += ts.leftVStep;
    }
}
