// Polygon setup: drawing order, rejection, light, texture choice, gradients,
// edges and edge-mark rules of one triangle.
#pragma once

#include <cstdint>

#include "assets/letter_object.h"

struct TriangleSetup {
    double faceNormal[3];
    double lightFade;
    int32_t flatAdd[3];
    int32_t untextured;
    const uint8_t* texturePixels;
    uint16_t textureWidth;
    uint16_t textureHeight;
    double invZDx, uDx, vDx;
    double leftX, leftSlope;
    double leftInvZ, leftU, leftV;
    double leftInvZStep, leftUStep, leftVStep;
    double rightX, rightSlope;
    int32_t restrictMarks;
    int32_t longOnRight;
    int32_t bottomMarkWidth;
};

extern TriangleSetup triangleSetup;

void drawObject(const LetterPolygon* polygons, const LetterObject* textureSource);
void setupTriangle(const LetterPolygon& polygon, const LetterObject* textureSource);

// The same with each polygon's face normal already rotated by the slot's
// angles (three doubles a polygon, in list order): repeated renders of one
// slot, as the edge pass makes them, rotate every normal once.
int polygonCount(const LetterPolygon* polygons);
void rotatePolygonNormal(const LetterPolygon& polygon, double* rotated);
void rotatePolygonNormals(const LetterPolygon* polygons, double* rotated);
void drawObjectRotated(const LetterPolygon* polygons, const LetterObject* textureSource,
                       const double* rotatedNormals);
void setupTriangleRotated(const LetterPolygon& polygon, const LetterObject* textureSource,
                          const double* rotatedNormal);

// Normalises in place; a vector of length 0 becomes (1, 1, 1).
void normaliseVector(double* v);

inline void normaliseVectorInline(double* v)
{
    const double length = __builtin_sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0.0) {
        v[0] = v[1] = v[2] = 1.0;
        return;
    }
    v[0] = v[0] / length;
    v[1] = v[1] / length;
    v[2] = v[2] / length;
}

// False when the texture's pixels are a buffer read from the object file that
// holds fewer than width x height texels of 4 bytes.
bool texturePixelsCover(const LetterObject* object, int textureIndex, uint16_t width, uint16_t height);
