#include "animation/edge_antialiasing.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "animation/scene_evaluation.h"
#include "assets/scene.h"
#include "raster/triangle_setup.h"
#include "raster/render_context.h"
#include "raster/scanline_fill.h"

SceneDrawRecord sceneDrawRecords[2];

namespace {

bool isEdgePixel(const uint8_t* coverage, int32_t stride, int32_t rows, int32_t i, int32_t j)
{
    auto marked = [&](int32_t r, int32_t c) {
        return coverage[static_cast<size_t>(r) * stride + c] == 0xFF;
    };
    return marked(i, j) || (j + 1 < stride && marked(i, j + 1)) ||
           (i + 1 < rows && marked(i + 1, j)) || (j >= 1 && marked(i, j - 1)) ||
           (i >= 1 && marked(i - 1, j));
}

// One slot as every window of a pass sees it. Nothing a window changes enters
// the slot's evaluation and projection (the window origin is subtracted only
// in the polygon setup), so they are computed once per pass, at the
// supersampled scale, with the face normals rotated once.
struct SupersampledSlot {
    std::vector<double> worldPoints;
    std::vector<float> projectedPoints;
    std::vector<double> rotatedNormals;
    double objectRotX, objectRotY, objectRotZ;
    double projShiftX, projShiftY;
};

SupersampledSlot supersampledSlots[maxUsedSlots];

int pointListLength(const double* points)
{
    int n = 0;
    while (!(points[3 * n] == -1.0 && points[3 * n + 1] == -1.0 && points[3 * n + 2] == -1.0))
        ++n;
    return n;
}

// Evaluates and projects every used slot of the record's scene; returns the
// number of slots. Leaves the context as a render of the scene would.
int prepareSupersampledScene(const SceneDrawRecord& record)
{
    RenderContext& rc = renderContext;
    rc.mirrorX = record.drawMirrorX;
    rc.mirrorY = record.drawMirrorY;
    const Scene& scene = sceneTable[record.sceneIndex];
    const int slots = usedSlotCount(&scene);
    for (int i = 0; i < slots; ++i) {
        evaluateSlot(record.sceneIndex, i);
        projectPoints();
        SupersampledSlot& slot = supersampledSlots[i];
        const int entries = pointListLength(rc.worldPoints) + 1;
        slot.worldPoints.assign(rc.worldPoints, rc.worldPoints + 3 * entries);
        slot.projectedPoints.assign(rc.projectedPoints, rc.projectedPoints + 3 * entries);
        slot.rotatedNormals.resize(3 * static_cast<size_t>(polygonCount(scene.objects[i].polygons)));
        rotatePolygonNormals(scene.objects[i].polygons, slot.rotatedNormals.data());
        slot.objectRotX = rc.objectRotX;
        slot.objectRotY = rc.objectRotY;
        slot.objectRotZ = rc.objectRotZ;
        slot.projShiftX = rc.projShiftX;
        slot.projShiftY = rc.projShiftY;
    }
    return slots;
}

// What renderScene does for one window, from the prepared slots.
void renderSupersampledScene(const SceneDrawRecord& record, int slots)
{
    RenderContext& rc = renderContext;
    const Scene& scene = sceneTable[record.sceneIndex];
    for (int i = 0; i < slots; ++i) {
        SupersampledSlot& slot = supersampledSlots[i];
        rc.worldPoints = slot.worldPoints.data();
        rc.projectedPoints = slot.projectedPoints.data();
        rc.objectRotX = slot.objectRotX;
        rc.objectRotY = slot.objectRotY;
        rc.objectRotZ = slot.objectRotZ;
        rc.projShiftX = slot.projShiftX;
        rc.projShiftY = slot.projShiftY;
        drawObjectRotated(scene.objects[i].polygons, &scene.objects[0], slot.rotatedNormals.data());
    }
}

}  // namespace

void antialiasEdges(int recordIndex)
{
    antialiasEdgesWithin(recordIndex, FillRegion{0, INT32_MAX - 1, 0, INT32_MAX - 1});
}

void antialiasEdgesWithin(int recordIndex, const FillRegion& marked)
{
    RenderContext& rc = renderContext;
    const SceneDrawRecord& record = sceneDrawRecords[recordIndex];
    const int32_t d = rc.aaFactor;

    uint8_t* const frame = rc.colourBuffer;
    const int32_t stride = rc.bufferStride;
    const int32_t width = static_cast<int32_t>(rc.windowWidth);
    const int32_t height = static_cast<int32_t>(rc.windowHeight);
    const float savedScaleX = rc.projScaleX, savedScaleY = rc.projScaleY;
    const float savedCentreX = rc.screenCentreX, savedCentreY = rc.screenCentreY;

    rc.colourBuffer = rc.sampleTile;
    rc.projScaleX = static_cast<float>(static_cast<double>(width * d) * 0.8);
    rc.screenCentreX = static_cast<float>(static_cast<double>(width * d) * 0.5);
    rc.projScaleY = static_cast<float>(height * d);
    rc.screenCentreY = static_cast<float>(static_cast<double>(height * d) * 0.5);
    rc.coverageOff = 1;

    // Edge pixels are the marked ones and their neighbours.
    const uint32_t samples = static_cast<uint32_t>(d * d);
    const bool anyMarks = marked.minRow <= marked.maxRow && marked.minColumn <= marked.maxColumn;
    const int32_t firstRow = anyMarks ? std::max(marked.minRow - 1, 0) : 0;
    const int32_t lastRow = anyMarks ? std::min(marked.maxRow + 1, height - 1) : -1;
    const int32_t firstColumn = anyMarks ? std::max(marked.minColumn - 1, 0) : 0;
    const int32_t lastColumn = anyMarks ? std::min(marked.maxColumn + 1, stride - 1) : -1;
    double* const worldBuffer = rc.worldPoints;
    float* const projectedBuffer = rc.projectedPoints;
    int slots = -1;   // not prepared until the first edge pixel
    for (int32_t i = firstRow; i <= lastRow; ++i) {
        for (int32_t j = firstColumn; j <= lastColumn; ++j) {
            if (!isEdgePixel(rc.coverageBuffer, stride, height, i, j))
                continue;
            rc.windowWidth = static_cast<float>(d);
            rc.windowHeight = static_cast<float>(d);
            rc.bufferStride = d;
            const uint8_t* background = rc.backgroundPixels + (static_cast<size_t>(i) * stride + j) * 4;
            for (uint32_t s = 0; s < samples; ++s)
                std::memcpy(rc.sampleTile + s * 4, background, 4);
            rc.windowOriginX = j * d + d / 2;
            rc.windowOriginY = i * d + d / 2;
            std::memcpy(rc.lightVector, record.drawLight, sizeof rc.lightVector);
            if (slots < 0)
                slots = prepareSupersampledScene(record);
            renderSupersampledScene(record, slots);

            uint8_t* target = frame + (static_cast<size_t>(i) * stride + j) * 4;
            for (int k = 0; k < 4; ++k) {
                uint32_t sum = 0;
                for (uint32_t s = 0; s < samples; ++s)
                    sum += rc.sampleTile[s * 4 + k];
                target[k] = static_cast<uint8_t>(sum / samples);
            }
        }
    }

    // The buffers hold the last slot's points, as after a render of the scene.
    rc.worldPoints = worldBuffer;
    rc.projectedPoints = projectedBuffer;
    rc.colourBuffer = frame;
    rc.bufferStride = stride;
    rc.windowWidth = static_cast<float>(width);
    rc.windowHeight = static_cast<float>(height);
    rc.projScaleX = savedScaleX;
    rc.projScaleY = savedScaleY;
    rc.screenCentreX = savedCentreX;
    rc.screenCentreY = savedCentreY;
    rc.coverageOff = 0;
    rc.windowOriginX = 0;
    rc.windowOriginY = 0;
}
