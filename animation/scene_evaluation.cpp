// Scale, rotate, snap, translate and project the points of one scene slot.
#include "animation/scene_evaluation.h"

#include <cmath>

#include "animation/motion_envelope.h"
#include "assets/scene.h"
#include "raster/render_context.h"
#include "raster/triangle_setup.h"

namespace {

constexpr double depthOffset = 13.212;
constexpr double focalFactor = 1.4007;
constexpr double smallestDepth = 0.009999999776482582;
constexpr double shiftReferenceDepth = 8.21;
constexpr double snapTolerance = 0.001;

bool isEndPoint(const double* p)
{
    return p[0] == -1.0 && p[1] == -1.0 && p[2] == -1.0;
}

void writeEndPoint(double* p)
{
    p[0] = -1.0;
    p[1] = -1.0;
    p[2] = -1.0;
}

// Points within the tolerance of the frame's half-width, half-height or the
// depth 5.15 land exactly on them.
double snapCoordinate(double value, double edge)
{
    if (std::fabs(std::fabs(value) - edge) < snapTolerance)
        return value < 0.0 ? -edge : edge;
    return value;
}

void snapPoint(double* p)
{
    p[0] = snapCoordinate(p[0], 3.6);
    p[1] = snapCoordinate(p[1], 2.88);
    p[2] = snapCoordinate(p[2], 5.15);
}

}  // namespace

void scalePoints(const float* modelPoints, double sx, double sy, double sz)
{
    double* out = renderContext.worldPoints;
    const float* p = modelPoints;
    for (; !(p[0] == -1.0f && p[1] == -1.0f && p[2] == -1.0f); p += 3, out += 3) {
        out[0] = static_cast<double>(p[0]) * sx;
        out[1] = static_cast<double>(p[1]) * sy;
        out[2] = static_cast<double>(p[2]) * sz;
    }
    writeEndPoint(out);
}

void rotateAboutZ(const double* input, double* output, double angleDegrees)
{
    const double angle = angleDegrees * radiansPerDegree;
    const double c = std::cos(angle), s = std::sin(angle);
    for (; !isEndPoint(input); input += 3, output += 3) {
        const double x = input[0], y = input[1], z = input[2];
        output[0] = x * c - y * s;
        output[1] = x * s + y * c;
        output[2] = z;
    }
    writeEndPoint(output);
}

void rotateAboutX(const double* input, double* output, double angleDegrees)
{
    const double angle = angleDegrees * radiansPerDegree;
    const double c = std::cos(angle), s = std::sin(angle);
    for (; !isEndPoint(input); input += 3, output += 3) {
        const double x = input[0], y = input[1], z = input[2];
        output[0] = x;
        output[1] = y * c - z * s;
        output[2] = y * s + z * c;
    }
    writeEndPoint(output);
}

void rotateAboutY(const double* input, double* output, double angleDegrees)
{
    const double angle = angleDegrees * radiansPerDegree;
    const double c = std::cos(angle), s = std::sin(angle);
    for (; !isEndPoint(input); input += 3, output += 3) {
        double p[3] = {input[0], input[1], input[2]};
        snapPoint(p);
        output[0] = p[0] * c + p[2] * s;
        output[1] = p[1];
        output[2] = p[2] * c - p[0] * s;
    }
    writeEndPoint(output);
}

void evaluateSlot(int sceneIndex, int slotIndex)
{
    Scene& scene = sceneTable[sceneIndex];
    const MotionChannel* channels = scene.slotImage[slotIndex].channels;
    const float t = scene.sceneTime;
    double v[channelsPerSlot];
    for (int k = 0; k < channelsPerSlot; ++k)
        v[k] = evaluateChannel(&channels[k], t);

    const double heading = -v[3] * degreesPerRadian;
    const double pitch = -v[4] * degreesPerRadian;
    const double bank = -v[5] * degreesPerRadian;
    const double sx = v[6] * renderContext.letterScaleX;
    const double sy = v[7] * renderContext.letterScaleY;
    const double sz = v[8] * renderContext.letterScaleZ;

    scalePoints(scene.objects[slotIndex].points, sx, sy, sz);

    renderContext.objectRotX = renderContext.baseRotX + pitch;
    renderContext.objectRotZ = renderContext.baseRotZ + bank;
    renderContext.objectRotY = renderContext.baseRotY + heading;

    double* points = renderContext.worldPoints;
    rotateAboutY(points, points, renderContext.objectRotY);
    rotateAboutZ(points, points, renderContext.objectRotZ);
    rotateAboutX(points, points, renderContext.objectRotX);

    const double depthShift = renderContext.cameraZ - (v[2] - depthOffset);
    for (double* p = points; !isEndPoint(p); p += 3) {
        snapPoint(p);
        p[0] = p[0] - v[0];
        p[1] = p[1] + v[1];
        p[2] = p[2] + depthShift;
    }
}

void projectPoints()
{
    RenderContext& rc = renderContext;
    const float savedScaleX = rc.projScaleX;
    const float savedScaleY = rc.projScaleY;
    if (rc.mirrorX != 0)
        rc.projScaleX = -rc.projScaleX;
    if (rc.mirrorY != 0)
        rc.projScaleY = -rc.projScaleY;

    const double scaleX = rc.projScaleX, scaleY = rc.projScaleY;
    const double centreX = rc.screenCentreX, centreY = rc.screenCentreY;
    rc.projShiftX = scaleX * rc.cameraX * focalFactor / (rc.cameraZ - shiftReferenceDepth);
    rc.projShiftY = scaleY * rc.cameraY * focalFactor / (rc.cameraZ - shiftReferenceDepth);

    const double* p = rc.worldPoints;
    float* out = rc.projectedPoints;
    for (; !isEndPoint(p); p += 3, out += 3) {
        const double d = p[2] > smallestDepth ? p[2] : smallestDepth;
        const double f = focalFactor / d;
        const float x = static_cast<float>(-(scaleX * p[0]) * f + centreX);
        const float y = static_cast<float>(-(scaleY * p[1]) * f + centreY);
        out[0] = static_cast<float>(x + rc.projShiftX);
        out[1] = static_cast<float>(y + rc.projShiftY);
        out[2] = static_cast<float>(d);
    }
    out[0] = -1.0f;
    out[1] = -1.0f;

    rc.projScaleX = savedScaleX;
    rc.projScaleY = savedScaleY;
}

void renderScene(int sceneIndex, int mirrorXFlag, int mirrorYFlag)
{
    renderContext.mirrorX = mirrorXFlag;
    renderContext.mirrorY = mirrorYFlag;
    const Scene& scene = sceneTable[sceneIndex];
    const int slots = usedSlotCount(&scene);
    for (int i = 0; i < slots; ++i) {
        evaluateSlot(sceneIndex, i);
        projectPoints();
        drawObject(scene.objects[i].polygons, &scene.objects[0]);
    }
}
