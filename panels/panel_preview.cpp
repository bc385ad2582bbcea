#include "panels/panel_preview.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "animation/edge_antialiasing.h"
#include "animation/scene_evaluation.h"
#include "assets/scene.h"
#include "field/asset_paths.h"
#include "field/field_render.h"
#include "operator/effect_settings.h"
#include "operator/engine_memory.h"
#include "operator/operator_entry.h"
#include "raster/render_context.h"
#include "raster/truncate.h"
#include "variants/variant.h"

uint16_t previewWidth;
uint16_t previewHeight;
GuiHandle previewPanel;
uint8_t* previewBackground;
uint8_t* previewTexture;

namespace {

ResourceCatalogue* previewImages;
ResourceImage* previewImage;

// Zeroed blocks: the picture's byte 0 is never written, and the host may
// still look at it.
template <typename T>
bool allocateBlock(T*& slot, size_t bytes, int line)
{
    slot = static_cast<T*>(allocateZeroedMemory(bytes, 1));
    if (slot == nullptr) {
        logFailure(line + variant.letterLineOffset);
        return false;
    }
    return true;
}

void setLight()
{
    RenderContext& rc = renderContext;
    const EffectSettings& s = effectSettings;
    rc.lightVector[2] = 5.0;
    // A position outside the table keeps the light's previous x and y.
    if (s.lightPosition >= 0 && s.lightPosition <= 8) {
        rc.lightVector[0] = lightPositions[s.lightPosition][0];
        rc.lightVector[1] = lightPositions[s.lightPosition][1];
    }
    rc.lightGain = s.lightIntensity / 100.0 + 1.0;
    rc.keepTransparent = s.thickness > 0 ? 1 : 0;
    switch (s.shadingMode) {
    case 0: rc.flatLighting = 0; rc.pixelLighting = 0; break;
    case 1: rc.flatLighting = 1; rc.pixelLighting = 0; rc.lightVector[2] = -5.0; break;
    case 2: rc.flatLighting = 0; rc.pixelLighting = 1; break;
    default: break;  // keeps both switches
    }
    setLightLevelsFromColour(s.lightColour);
    rc.opacity = 1.0f;
}

// Blue, green, red to {byte 0 kept, Cr, Cb, Y}; all three results from the
// pixel's original colour.
void convertToHostPixels(uint8_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        uint8_t* p = pixels + i * 4;
        const float b = p[0], g = p[1], r = p[2];
        const float y = (0.299f * r + 0.587f * g) + 0.114f * b;
        const float cr = ((0.5f * r - 0.418688f * g) - 0.081312f * b) + 128.0f;
        const float cb = (0.5f * b - (0.168736f * r + 0.331264f * g)) + 128.0f;
        p[1] = static_cast<uint8_t>(truncateToInt(cr));
        p[2] = static_cast<uint8_t>(truncateToInt(cb));
        p[3] = static_cast<uint8_t>(truncateToInt(y));
    }
}

}  // namespace

int loadPreviewResources()
{
    previewWidth = 200;
    if (mgGetDefaultMonitor() == 1)
        previewHeight = 160;
    else
        previewHeight = (mgGetVideoMode() & 0xFF) == 1 ? 160 : 143;
    std::memset(blankTexture, 0, sizeof blankTexture);
    setAaFactorFromSettings();

    RenderContext& rc = renderContext;
    const size_t pixels = static_cast<size_t>(previewWidth) * previewHeight;
    const size_t d = static_cast<size_t>(rc.aaFactor);
    if (!allocateBlock(rc.colourBuffer, pixels * 4, 2641) || !allocateBlock(previewBackground, pixels * 4, 2647) ||
        !allocateBlock(rc.coverageBuffer, pixels, 2654))
        return -1;
    // A factor of 0 asks for no bytes; that counts as made.
    if (d != 0 && !allocateBlock(rc.sampleTile, d * d * 24, 2661))
        return -1;
    if (!allocateBlock(rc.projectedPoints, 24000, 2674) || !allocateBlock(rc.worldPoints, 48000, 2680))
        return -1;

    previewImages = resLoadImages("zask_ops");
    previewImage = resGetImage(previewImages, 998);
    if (previewImage == nullptr) {
        logFailure(2706 + variant.letterLineOffset);
        return -1;
    }
    const int32_t width = previewImage->width, height = previewImage->height;
    const size_t texels = width > 0 && height > 0 ? static_cast<size_t>(width) * static_cast<size_t>(height) : 0;
    // At least one byte, so that an empty image still gives a block to free.
    if (!allocateBlock(previewTexture, texels * 4 + (texels == 0 ? 1 : 0), 2713))
        return -1;
    const uint8_t* source = previewImage->pixels;
    for (size_t i = 0; i < texels && source != nullptr; ++i) {
        previewTexture[i * 4 + 0] = source[i * 4 + 1];
        previewTexture[i * 4 + 1] = source[i * 4 + 2];
        previewTexture[i * 4 + 2] = source[i * 4 + 3];
        previewTexture[i * 4 + 3] = source[i * 4 + 3];
    }

    loadPreviewScene();  // a failure shows as the empty picture
    return 0;
}

void releasePreviewResources()
{
    if (previewImages != nullptr)
        resFreeImages(previewImages);
    previewImages = nullptr;
    previewImage = nullptr;
    releaseScene(&sceneTable[0]);

    RenderContext& rc = renderContext;
    if (rc.backgroundPixels == previewBackground)
        rc.backgroundPixels = nullptr;
    std::free(rc.colourBuffer);
    std::free(previewBackground);
    std::free(rc.coverageBuffer);
    std::free(rc.sampleTile);
    std::free(rc.projectedPoints);
    std::free(rc.worldPoints);
    std::free(previewTexture);
    rc.colourBuffer = nullptr;
    previewBackground = nullptr;
    rc.coverageBuffer = nullptr;
    rc.sampleTile = nullptr;
    rc.projectedPoints = nullptr;
    rc.worldPoints = nullptr;
    previewTexture = nullptr;
}

void drawPreview()
{
    RenderContext& rc = renderContext;
    const int32_t w = previewWidth - 8, h = previewHeight - 8;
    const size_t picturePixels = static_cast<size_t>(w) * static_cast<size_t>(h);
    rc.inPreview = 1;
    Scene& scene = sceneTable[0];
    if (scene.slotImage != nullptr) {
        rc.windowWidth = static_cast<float>(w);
        rc.windowHeight = static_cast<float>(h);
        rc.bufferStride = w;
        rc.clipLeft = 0.0f;
        rc.projScaleX = static_cast<float>(w * 0.8);
        rc.screenCentreX = static_cast<float>(w * 0.5);
        rc.projScaleY = static_cast<float>(h);
        rc.screenCentreY = static_cast<float>(h * 0.5);
        rc.backgroundPixels = previewBackground;
        const size_t areaBytes = static_cast<size_t>(previewWidth) * previewHeight * 4;
        std::memset(rc.colourBuffer, 0, areaBytes);
        std::memset(previewBackground, 0, areaBytes);

        setLight();
        if (rc.aaFactor != 0)
            std::memset(rc.coverageBuffer, 0, picturePixels);

        rc.letterScaleX = 0.75;
        rc.letterScaleY = 1.0;
        rc.letterScaleZ = 2.0;
        rc.cameraX = 0.0;
        rc.cameraY = 0.0;
        rc.cameraZ = 5.0;
        rc.baseRotX = effectSettings.rotationX;
        rc.baseRotY = effectSettings.rotationY;
        rc.baseRotZ = effectSettings.rotationZ;

        SceneDrawRecord& record = sceneDrawRecords[0];
        record.sceneIndex = 0;
        record.drawMirrorX = 0;
        record.drawMirrorY = 0;
        std::memcpy(record.drawLight, rc.lightVector, sizeof record.drawLight);

        if (scene.objects != nullptr) {
            TextureRecord* textures = scene.objects[0].textures;
            for (int index : {0, 2, 3, 4, 5}) {
                textures[index].pixels = blankTexture;
                textures[index].width = 32;
                textures[index].height = 32;
            }
            textures[1].pixels = previewTexture;
            textures[1].width = previewImage != nullptr ? previewImage->width : 0;
            textures[1].height = previewImage != nullptr ? previewImage->height : 0;
        }
        scene.sceneTime = 0.0f;
        rc.coverageOff = 0;
        rc.fadeLevel = 0.05;

        renderScene(0, 0, 0);
        if (rc.aaFactor != 0)
            antialiasEdges(0);
        convertToHostPixels(rc.colourBuffer, picturePixels);
    } else {
        for (size_t i = 0; i < picturePixels; ++i) {
            rc.colourBuffer[i * 4 + 1] = 128;
            rc.colourBuffer[i * 4 + 2] = 128;
            rc.colourBuffer[i * 4 + 3] = 16;
        }
    }
    PanelImage image{};
    image.width = static_cast<uint16_t>(w);
    image.height = static_cast<uint16_t>(h);
    image.pixels = rc.colourBuffer;
    image.format = panelImageFormatHost;
    mgWriteImage(previewPanel, &image, 4, 4);
    rc.inPreview = 0;
}
