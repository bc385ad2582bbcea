// The one record through which the field driver, the preview, scene
// evaluation, edge antialiasing and the rasterizer talk to each other.
#pragma once

#include <cstdint>

struct RenderContext {
    // working buffers
    uint8_t* colourBuffer;       // 4 bytes a pixel: blue, green, red, fourth
    uint8_t* coverageBuffer;     // 0xFF on outer polygon edges
    int32_t bufferStride;        // pixels per row of both buffers
    double* worldPoints;         // 2000 double triples
    float* projectedPoints;      // 2000 float triples
    uint8_t* backgroundPixels;   // the frame before the current letter
    uint8_t* sampleTile;         // aaFactor x aaFactor pixels
    int32_t aaFactor;

    // sample window
    int32_t windowOriginX;
    int32_t windowOriginY;
    float windowWidth;
    float windowHeight;
    float clipLeft;
    int32_t coverageOff;

    // projection
    float projScaleX;
    float projScaleY;
    float screenCentreX;
    float screenCentreY;
    double projShiftX;
    double projShiftY;
    double cameraX;
    double cameraY;
    double cameraZ;
    double letterScaleX;
    double letterScaleY;
    double letterScaleZ;

    // orientation of the slot being drawn, degrees
    double baseRotX;
    double baseRotY;
    double baseRotZ;
    double objectRotX;
    double objectRotY;
    double objectRotZ;
    int32_t mirrorX;
    int32_t mirrorY;

    // light and shading
    double lightVector[3];
    double lightLevels[3];       // blue, green, red on a 0 .. 100 scale
    double lightGain;
    int32_t flatLighting;
    int32_t pixelLighting;
    int32_t keepTransparent;
    float opacity;
    double fadeLevel;
    int32_t inPreview;
};

extern RenderContext renderContext;

constexpr int32_t maxFramePixels = 8294400;
constexpr int32_t pointBufferEntries = 2000;
