// Turns one slot of a loaded scene into world and projected points, and draws
// whole scenes.
#pragma once

// Double triples ended by (-1, -1, -1).
void scalePoints(const float* modelPoints, double sx, double sy, double sz);
void rotateAboutX(const double* input, double* output, double angleDegrees);
void rotateAboutY(const double* input, double* output, double angleDegrees);
void rotateAboutZ(const double* input, double* output, double angleDegrees);

void evaluateSlot(int sceneIndex, int slotIndex);
void projectPoints();
void renderScene(int sceneIndex, int mirrorXFlag, int mirrorYFlag);

constexpr double degreesPerRadian = 57.2957763671875;
constexpr double radiansPerDegree = 3.1415927410125732 / 180.0;
