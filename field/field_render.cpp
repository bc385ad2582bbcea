#include "field/field_render.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "animation/edge_antialiasing.h"
#include "animation/scene_evaluation.h"
#include "assets/scene.h"
#include "field/asset_paths.h"
#include "field/field_conversion.h"
#include "field/letter_layout.h"
#include "field/timeline.h"
#include "operator/effect_settings.h"
#include "raster/render_context.h"
#include "raster/scanline_fill.h"
#include "variants/variant.h"

int32_t scenesLoaded;
uint32_t currentPage;
double fieldLight[3];
uint8_t blankTexture[4096];

const double lightPositions[9][2] = {
    {0.0, 0.0},   {0.0, -2.88}, {3.6, -2.88}, {3.6, 0.0},  {3.6, 2.88},
    {0.0, 2.88},  {-3.6, 2.88}, {-3.6, 0.0},  {-3.6, -2.88},
};

void setLightLevelsFromColour(int32_t lightColour)
{
    const uint32_t word = static_cast<uint32_t>(lightColour);
    const uint8_t hostPixel[4] = {0, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word >> 16),
                                  static_cast<uint8_t>(word >> 24)};
    uint8_t blue, green, red;
    hostPixelToColour(hostPixel, &blue, &green, &red);
    renderContext.lightLevels[0] = blue * 100.0 / 255.0;
    renderContext.lightLevels[1] = green * 100.0 / 255.0;
    renderContext.lightLevels[2] = red * 100.0 / 255.0;
}

// Coverage bytes outside [coverageDirtyBegin, coverageDirtyEnd) are zero, so
// clearing the coverage buffer only has to clear that range.
static size_t coverageDirtyBegin = 0;
static size_t coverageDirtyEnd = maxFramePixels;

void forgetCoverageContents()
{
    coverageDirtyBegin = 0;
    coverageDirtyEnd = maxFramePixels;
}

namespace {

// The W x H2 bytes of 0 of a full clear, written where they can differ.
void clearCoverage(size_t framePixels)
{
    const size_t end = std::min(coverageDirtyEnd, framePixels);
    if (coverageDirtyBegin < end)
        std::memset(renderContext.coverageBuffer + coverageDirtyBegin, 0, end - coverageDirtyBegin);
    if (coverageDirtyEnd > framePixels) {
        coverageDirtyBegin = std::max(coverageDirtyBegin, framePixels);
    } else {
        coverageDirtyBegin = 0;
        coverageDirtyEnd = 0;
    }
}

void noteCoverageWrites(int32_t width)
{
    if (fillRegionEmpty())
        return;
    const size_t begin = static_cast<size_t>(fillRegion.minRow) * width + fillRegion.minColumn;
    const size_t end = static_cast<size_t>(fillRegion.maxRow) * width + fillRegion.maxColumn + 1;
    if (coverageDirtyBegin >= coverageDirtyEnd) {
        coverageDirtyBegin = begin;
        coverageDirtyEnd = end;
    } else {
        coverageDirtyBegin = std::min(coverageDirtyBegin, begin);
        coverageDirtyEnd = std::max(coverageDirtyEnd, end);
    }
}

// The frame and the background differed only where this letter drew: its
// spans and, after the edge pass, the pixels next to them.
void copyDrawnRegionToBackground(int32_t width, int32_t frameHeight)
{
    if (fillRegionEmpty())
        return;
    const int32_t firstRow = std::max(fillRegion.minRow - 1, 0);
    const int32_t lastRow = std::min(fillRegion.maxRow + 1, frameHeight - 1);
    const int32_t firstColumn = std::max(fillRegion.minColumn - 1, 0);
    const int32_t lastColumn = std::min(fillRegion.maxColumn + 1, width - 1);
    if (firstColumn > lastColumn)
        return;
    const size_t bytes = static_cast<size_t>(lastColumn - firstColumn + 1) * 4;
    for (int32_t row = firstRow; row <= lastRow; ++row) {
        const size_t offset = (static_cast<size_t>(row) * width + firstColumn) * 4;
        std::memcpy(renderContext.backgroundPixels + offset, renderContext.colourBuffer + offset, bytes);
    }
}

void setFrameGeometry(int32_t width, int32_t frameHeight)
{
    RenderContext& rc = renderContext;
    rc.windowWidth = static_cast<float>(width);
    rc.windowHeight = static_cast<float>(frameHeight);
    rc.bufferStride = width;
    rc.clipLeft = 0.0f;
    rc.coverageOff = 0;
    rc.projScaleX = static_cast<float>(width * 0.8);
    rc.projScaleY = static_cast<float>(frameHeight);
    rc.screenCentreX = static_cast<float>(width * 0.5);
    rc.screenCentreY = static_cast<float>(frameHeight * 0.5);
}

void setLightAndShading()
{
    RenderContext& rc = renderContext;
    const EffectSettings& s = effectSettings;
    // A position outside the table keeps the previous field's x and y.
    if (s.lightPosition >= 0 && s.lightPosition <= 8) {
        fieldLight[0] = lightPositions[s.lightPosition][0];
        fieldLight[1] = lightPositions[s.lightPosition][1];
    }
    fieldLight[2] = -5.0;
    rc.keepTransparent = s.thickness > 0 ? 1 : 0;
    rc.lightGain = s.lightIntensity / 100.0 + 1.0;
    switch (s.shadingMode) {
    case 0: rc.flatLighting = 0; rc.pixelLighting = 0; break;
    case 1: rc.flatLighting = 1; rc.pixelLighting = 0; break;
    case 2: rc.flatLighting = 0; rc.pixelLighting = 1; break;
    default: break;  // keeps the previous field's switches
    }
    setLightLevelsFromColour(s.lightColour);
}

void fillDrawRecord(int index, int mirrorMode)
{
    SceneDrawRecord& record = sceneDrawRecords[index];
    record.sceneIndex = index;
    std::memcpy(renderContext.lightVector, fieldLight, sizeof fieldLight);
    record.drawMirrorX = mirrorTable[mirrorMode].drawMirrorX;
    record.drawMirrorY = mirrorTable[mirrorMode].drawMirrorY;
    std::memcpy(record.drawLight, fieldLight, sizeof fieldLight);
}

TextureRecord* firstObjectTextures(int sceneIndex)
{
    Scene& scene = sceneTable[sceneIndex];
    if (scene.objects == nullptr)
        return nullptr;
    return scene.objects[0].textures;
}

void setBlankTextures(int sceneIndex)
{
    TextureRecord* textures = firstObjectTextures(sceneIndex);
    if (textures == nullptr)
        return;
    for (int index : {0, 2, 3, 4, 5}) {
        textures[index].pixels = blankTexture;
        textures[index].width = 32;
        textures[index].height = 32;
    }
}

void setLetterTexture(int sceneIndex, const HostImage* picture)
{
    TextureRecord* textures = firstObjectTextures(sceneIndex);
    if (textures == nullptr)
        return;
    textures[1].pixels = picture->pixels;
    textures[1].width = picture->width;
    textures[1].height = picture->height;
}

// Both scenes and the letter list follow the page; -1 after logging.
int32_t loadPage(const ActionRequest* request, const Timeline& timeline)
{
    // Freed unconditionally: a list left by a failed scene load must not leak.
    freeLetterList();
    if (buildLetterList(request, timeline.pageLength) != 0)
        return -1;
    releaseScene(&sceneTable[0]);
    releaseScene(&sceneTable[1]);
    if (selectScenes() != 0)
        return -1;
    scenesLoaded = 1;
    currentPage = timeline.page;
    return 0;
}

void drawLetters(const ActionRequest* request, const Timeline& timeline, int32_t width,
                 int32_t frameHeight)
{
    RenderContext& rc = renderContext;
    const bool edgePass = (request->flags & requestFlagDraft) == 0 && rc.aaFactor != 0;
    const size_t framePixels = static_cast<size_t>(width) * frameHeight;
    for (ListNode* node = lstFirst(&letterList); node != nullptr; node = lstNext(node)) {
        LetterEntry* entry = reinterpret_cast<LetterEntry*>(node);
        if (entry->image == nullptr)
            prepareLetter(entry);
        if (entry->image == nullptr || entry->hasInk != 1 || letterCount == 0)
            continue;
        float progress;
        if (!letterProgress(entry->letterNumber, letterCount, timeline, &progress))
            continue;
        const bool inPhase = timeline.phase == Phase::in;
        placeLetter(*entry, inPhase ? activeInMirror : activeOutMirror, width, frameHeight, request);
        setLetterTexture(0, entry->image);
        setLetterTexture(1, entry->image);
        letterOpacity(progress);
        const float sceneTime = letterSceneTime(progress);
        sceneTable[0].sceneTime = sceneTime;
        sceneTable[1].sceneTime = sceneTime;
        if (edgePass)
            clearCoverage(framePixels);
        const int s = inPhase ? 0 : 1;
        resetFillRegion();
        renderScene(s, sceneDrawRecords[s].drawMirrorX, sceneDrawRecords[s].drawMirrorY);
        noteCoverageWrites(width);
        if (edgePass)
            antialiasEdgesWithin(s, fillRegion);
        copyDrawnRegionToBackground(width, frameHeight);
    }
}

}  // namespace

int32_t renderField(const ActionRequest* request)
{
    rewriteLetterTimingChannel();

    FieldInput input;
    if (fetchFieldInput(request->position, input) != 0)
        return -1;
    const int32_t width = input.width, frameHeight = input.frameHeight;

    setFrameGeometry(width, frameHeight);
    setLightAndShading();

    // A title without pages, or with more pages than the effect has fields,
    // fails like a title without a first page.
    const int letterLines = variant.letterLineOffset;
    if (request->title == nullptr || request->title->pageCount == 0 ||
        request->clipLength / request->title->pageCount == 0) {
        logFailure(request->title == nullptr ? 2213 + letterLines : 2142 + letterLines);
        opFreeImage(input.background);
        renderContext.backgroundPixels = nullptr;
        return -1;
    }
    const Timeline timeline = computeTimeline(request, request->title->pageCount);

    if (!(scenesLoaded == 1 && timeline.page == currentPage)) {
        if (loadPage(request, timeline) != 0) {
            opFreeImage(input.background);
            renderContext.backgroundPixels = nullptr;
            return -1;
        }
    }

    fillDrawRecord(0, activeInMirror);
    setBlankTextures(0);
    fillDrawRecord(1, activeOutMirror);
    setBlankTextures(1);

    drawLetters(request, timeline, width, frameHeight);

    return deliverField(input, (request->flags & requestFlagSecondField) != 0);
}
