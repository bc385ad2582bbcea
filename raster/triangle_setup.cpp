#include "raster/triangle_setup.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "animation/scene_evaluation.h"
#include "host/host_services.h"
#include "raster/render_context.h"
#include "raster/scanline_fill.h"
#include "raster/truncate.h"

TriangleSetup triangleSetup;

namespace {

constexpr double fadeLow = 0.05000000074505806;   // 0.05f
constexpr double fadeHigh = 0.949999988079071;    // 0.95f
constexpr double snapMargin = 0.1;
constexpr double degenerateDeterminant = 1e-5;

struct Vertex {
    double x, y;       // window coordinates
    double w, u, v;    // 1/z, texels/z
    double camera[3];  // camera-space point
};

enum LongestEdge { edgePQ, edgePR, edgeQR };

// x of the line through a and b at height y.
double lineXAt(const Vertex& a, const Vertex& b, double y)
{
    if (b.x == a.x)
        return a.x;
    return a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y);
}

double distance(const double* a, const double* b)
{
    const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void computeLightFade()
{
    const double f = renderContext.fadeLevel;
    double fade = 1.0;
    if (f < fadeLow)
        fade = f / fadeLow;
    if (f > fadeHigh)
        fade = 1.0 - (f - fadeHigh) / fadeLow;
    triangleSetup.lightFade = fade;
}

void computeFlatLight()
{
    const RenderContext& rc = renderContext;
    double l[3] = {rc.lightVector[0], rc.lightVector[1], rc.lightVector[2]};
    if (rc.mirrorX != 0)
        l[0] = -l[0];
    if (rc.mirrorY != 0)
        l[1] = -l[1];
    normaliseVector(l);
    const double* n = triangleSetup.faceNormal;
    double intensity = (l[0] * n[0] + l[1] * n[1] + l[2] * n[2]) * triangleSetup.lightFade;
    if (intensity < 0.0)
        intensity = -intensity;
    intensity = intensity * rc.lightGain;
    for (int k = 0; k < 3; ++k)
        triangleSetup.flatAdd[k] = truncateToInt(rc.lightLevels[k] * intensity);
}

void chooseTexture(const LetterPolygon& polygon, const LetterObject* textureSource)
{
    TriangleSetup& ts = triangleSetup;
    ts.untextured = 1;
    ts.texturePixels = nullptr;
    ts.textureWidth = 0;
    ts.textureHeight = 0;
    if (polygon.textureIndex < 0 || textureSource->textures == nullptr)
        return;
    const TextureRecord& texture = textureSource->textures[polygon.textureIndex];
    if (texture.pixels == nullptr || texture.pixels == textureEndMarker)
        return;
    const uint16_t width = static_cast<uint16_t>(texture.width);
    const uint16_t height = static_cast<uint16_t>(texture.height);
    // A texture without texels, or whose file data is too short, has nothing to sample.
    if (width == 0 || height == 0)
        return;
    if (!texturePixelsCover(textureSource, polygon.textureIndex, width, height))
        return;
    ts.untextured = 0;
    ts.texturePixels = texture.pixels;
    ts.textureWidth = width;
    ts.textureHeight = height;
}

void setLeftEdge(const Vertex& from, double slope, double prestep, const double dfdx[3],
                 const double dfdy[3])
{
    TriangleSetup& ts = triangleSetup;
    ts.leftX = from.x + slope * prestep;
    ts.leftSlope = slope;
    ts.leftInvZStep = dfdx[0] * slope + dfdy[0];
    ts.leftUStep = dfdx[1] * slope + dfdy[1];
    ts.leftVStep = dfdx[2] * slope + dfdy[2];
    ts.leftInvZ = from.w + ts.leftInvZStep * prestep;
    ts.leftU = from.u + ts.leftUStep * prestep;
    ts.leftV = from.v + ts.leftVStep * prestep;
}

void setRightEdge(const Vertex& from, double slope, double prestep)
{
    triangleSetup.rightX = from.x + slope * prestep;
    triangleSetup.rightSlope = slope;
}

}  // namespace

void normaliseVector(double* v)
{
    normaliseVectorInline(v);
}

void drawObject(const LetterPolygon* polygons, const LetterObject* textureSource)
{
    drawObjectRotated(polygons, textureSource, nullptr);
}

void rotatePolygonNormal(const LetterPolygon& polygon, double* rotated)
{
    const RenderContext& rc = renderContext;
    double normal[6] = {polygon.normal[0], polygon.normal[1], polygon.normal[2], -1.0, -1.0, -1.0};
    rotateAboutY(normal, normal, rc.objectRotY);
    rotateAboutZ(normal, normal, rc.objectRotZ);
    rotateAboutX(normal, normal, rc.objectRotX);
    rotated[0] = normal[0];
    rotated[1] = normal[1];
    rotated[2] = normal[2];
}

int polygonCount(const LetterPolygon* polygons)
{
    int count = 0;
    if (polygons != nullptr)
        while (polygons[count].pointIndex[0] != -1)
            ++count;
    return count;
}

void rotatePolygonNormals(const LetterPolygon* polygons, double* rotated)
{
    const int count = polygonCount(polygons);
    for (int i = 0; i < count; ++i)
        rotatePolygonNormal(polygons[i], rotated + 3 * i);
}

void drawObjectRotated(const LetterPolygon* polygons, const LetterObject* textureSource,
                       const double* rotatedNormals)
{
    if (polygons == nullptr)
        return;
    // No depth buffer: the letter's face (textures 1 and 2) first, the rest over it.
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; polygons[i].pointIndex[0] != -1; ++i) {
            const LetterPolygon& p = polygons[i];
            const bool face = p.textureIndex == 1 || p.textureIndex == 2;
            if (face != (pass == 0))
                continue;
            if (rotatedNormals != nullptr)
                setupTriangleRotated(p, textureSource, rotatedNormals + 3 * i);
            else
                setupTriangle(p, textureSource);
        }
}

void setupTriangle(const LetterPolygon& polygon, const LetterObject* textureSource)
{
    setupTriangleRotated(polygon, textureSource, nullptr);
}

void setupTriangleRotated(const LetterPolygon& polygon, const LetterObject* textureSource,
                          const double* rotatedNormal)
{
    TriangleSetup& ts = triangleSetup;
    const RenderContext& rc = renderContext;

    ts.bottomMarkWidth = 0;
    if (polygon.pointIndex[2] == -1 || polygon.pointIndex[1] == -1)
        return;
    if (rc.inPreview == 0)
        opChkAbort();

    Vertex vertex[3];
    for (int i = 0; i < 3; ++i) {
        const float* projected = rc.projectedPoints + 3 * polygon.pointIndex[i];
        vertex[i].x = static_cast<double>(projected[0]) - rc.windowOriginX;
        vertex[i].y = static_cast<double>(projected[1]) - rc.windowOriginY;
        if (std::fabs(vertex[i].x) < snapMargin)
            vertex[i].x = 0.0;
    }

    const double windowWidth = rc.windowWidth, windowHeight = rc.windowHeight;
    if (vertex[0].y < 0.0 && vertex[1].y < 0.0 && vertex[2].y < 0.0)
        return;
    if (vertex[0].y > windowHeight && vertex[1].y > windowHeight && vertex[2].y > windowHeight)
        return;
    if (vertex[0].x < 0.0 && vertex[1].x < 0.0 && vertex[2].x < 0.0)
        return;
    if (vertex[0].x > windowWidth && vertex[1].x > windowWidth && vertex[2].x > windowWidth)
        return;
    for (Vertex& v : vertex)
        if (std::fabs(v.y) < snapMargin)
            v.y = 0.0;

    // Face normal, rotated like the points and turned towards the camera.
    double normal[3];
    if (rotatedNormal != nullptr) {
        normal[0] = rotatedNormal[0];
        normal[1] = rotatedNormal[1];
        normal[2] = rotatedNormal[2];
    } else {
        rotatePolygonNormal(polygon, normal);
    }
    const double* firstCamera = rc.worldPoints + 3 * polygon.pointIndex[0];
    double towardsFirst[3] = {firstCamera[0], firstCamera[1], firstCamera[2]};
    normaliseVector(towardsFirst);
    if (towardsFirst[0] * normal[0] + towardsFirst[1] * normal[1] + towardsFirst[2] * normal[2] > 0.0) {
        normal[0] = -normal[0];
        normal[1] = -normal[1];
        normal[2] = -normal[2];
    }
    ts.faceNormal[0] = normal[0];
    ts.faceNormal[1] = normal[1];
    ts.faceNormal[2] = normal[2];

    computeLightFade();
    if (rc.flatLighting != 0)
        computeFlatLight();
    chooseTexture(polygon, textureSource);

    for (int i = 0; i < 3; ++i) {
        Vertex& v = vertex[i];
        const int index = polygon.pointIndex[i];
        const double z = rc.projectedPoints[3 * index + 2];
        v.w = 1.0 / z;
        double u = polygon.uv[2 * i];
        double t = polygon.uv[2 * i + 1];
        if (rc.mirrorX != 0)
            u = 1.0 - u;
        if (rc.mirrorY != 0)
            t = 1.0 - t;
        v.u = static_cast<double>(ts.textureWidth) * u * v.w;
        v.v = t * static_cast<double>(ts.textureHeight) * v.w;
        std::memcpy(v.camera, rc.worldPoints + 3 * index, sizeof v.camera);
    }

    if (vertex[0].y > vertex[1].y)
        std::swap(vertex[0], vertex[1]);
    if (vertex[0].y > vertex[2].y)
        std::swap(vertex[0], vertex[2]);
    if (vertex[1].y > vertex[2].y)
        std::swap(vertex[1], vertex[2]);
    const Vertex& p = vertex[0];
    const Vertex& q = vertex[1];
    const Vertex& r = vertex[2];

    int32_t rowP = truncateToInt(p.y), rowQ = truncateToInt(q.y), rowR = truncateToInt(r.y);

    const double det = (r.x - p.x) * (q.y - p.y) - (q.x - p.x) * (r.y - p.y);
    if (std::fabs(det) < degenerateDeterminant)
        return;

    const double fp[3] = {p.w, p.u, p.v}, fq[3] = {q.w, q.u, q.v}, fr[3] = {r.w, r.u, r.v};
    double dfdx[3], dfdy[3];
    for (int k = 0; k < 3; ++k) {
        dfdx[k] = ((fr[k] - fp[k]) * (q.y - p.y) - (fq[k] - fp[k]) * (r.y - p.y)) / det;
        dfdy[k] = ((fq[k] - fp[k]) * (r.x - p.x) - (fr[k] - fp[k]) * (q.x - p.x)) / det;
    }
    ts.invZDx = dfdx[0];
    ts.uDx = dfdx[1];
    ts.vDx = dfdx[2];

    const double slopePQ = q.y > p.y ? (q.x - p.x) / (q.y - p.y) : 0.0;
    const double slopePR = r.y > p.y ? (r.x - p.x) / (r.y - p.y) : 0.0;
    const double slopeQR = r.y > q.y ? (r.x - q.x) / (r.y - q.y) : 0.0;

    bool qOnLeft = slopePR > slopePQ;
    if (p.y == q.y)
        qOnLeft = p.x > q.x;
    if (q.y == r.y)
        qOnLeft = r.x > q.x;

    if (rowP < 0) rowP = 0;
    if (rowQ < 0) rowQ = 0;
    if (rowR < 0) rowR = 0;

    const double lengthPQ = distance(p.camera, q.camera);
    const double lengthQR = distance(q.camera, r.camera);
    const double lengthPR = distance(p.camera, r.camera);
    LongestEdge longest = edgeQR;
    if (lengthPQ > lengthQR && lengthPQ > lengthPR)
        longest = edgePQ;
    else if (lengthPR > lengthPQ && lengthPR > lengthQR)
        longest = edgePR;
    switch (longest) {
    case edgePQ: ts.longOnRight = q.x > lineXAt(p, r, q.y); break;
    case edgePR: ts.longOnRight = lineXAt(p, r, q.y) > q.x; break;
    case edgeQR: ts.longOnRight = q.y == r.y ? 0 : lineXAt(q, r, p.y) > p.x; break;
    }

    const double prestepP = 1.0 - (p.y - rowP);
    const double prestepQ = 1.0 - (q.y - rowQ);
    const int32_t upperRestrict = longest == edgePQ || longest == edgePR;
    const int32_t lowerRestrict = longest == edgePR || longest == edgeQR;

    if (!qOnLeft) {
        setLeftEdge(p, slopePR, prestepP, dfdx, dfdy);
        if (rowP < rowQ) {
            setRightEdge(p, slopePQ, prestepP);
            ts.bottomMarkWidth = truncateToInt(std::fabs(slopeQR * prestepQ) + 1.0);
            ts.restrictMarks = upperRestrict;
            fillRows(p.y, rowQ);
        }
        if (rowQ < rowR) {
            setRightEdge(q, slopeQR, prestepQ);
            ts.restrictMarks = lowerRestrict;
            fillRows(q.y, rowR);
        }
    } else {
        setRightEdge(p, slopePR, prestepP);
        if (rowP < rowQ) {
            setLeftEdge(p, slopePQ, prestepP, dfdx, dfdy);
            ts.bottomMarkWidth = 0;
            ts.restrictMarks = upperRestrict;
            fillRows(p.y, rowQ);
        }
        if (rowQ < rowR) {
            setLeftEdge(q, slopeQR, prestepQ, dfdx, dfdy);
            ts.restrictMarks = lowerRestrict;
            fillRows(q.y, rowR);
        }
    }
}

bool texturePixelsCover(const LetterObject* object, int textureIndex, uint16_t width, uint16_t height)
{
    // Slot k holds the k-th texture read from the file until the renderer
    // points it at a buffer of its own, which is sized for its texture.
    if (textureIndex >= maxFileTextures)
        return true;
    const uint8_t* filePixels = object->filePixels[textureIndex];
    if (filePixels == nullptr || object->textures[textureIndex].pixels != filePixels)
        return true;
    return object->filePixelBytes[textureIndex] >= uint64_t{width} * height * 4;
}
