// The plug-in boundary: descriptor, action dispatch, working-buffer lifetime.
#include "operator/operator_entry.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "assets/scene.h"
#include "field/asset_paths.h"
#include "field/field_render.h"
#include "field/letter_layout.h"
#include "field/random_generator.h"
#include "operator/engine_memory.h"
#include "operator/effect_settings.h"
#include "panels/panels.h"
#include "raster/render_context.h"
#include "variants/variant.h"

static const PanelLabel panelLabels[4] = {
    {4, 310, 2},
    {4, 294, 2},
    {4, 180, 2},
    {4, 299, 0},
};

static SettingsDescriptor settingsDescriptor = {&effectSettings, sizeof(EffectSettings)};

static OperatorTag operatorInfo[] = {
    {tagWord0, 0},
    {tagWord1, 2},
    {tagActionEntry, 0},   // filled on first use: the address of OperatorAction
    {tagVersion, 0},       // the version text
    {tagWord0D, 2},
    {tagSettings, 0},
    {tagWord0B, 135},
    {tagPanel0, 0},
    {tagPanel1, 0},
    {tagPanel2, 0},
    {tagPanel3, 0},
    {tagEnd, 0},
};

extern "C" OperatorInfo* GetOperatorInfo(void)
{
    operatorInfo[2].value = reinterpret_cast<uintptr_t>(&OperatorAction);
    operatorInfo[3].value = reinterpret_cast<uintptr_t>(variant.versionText);
    operatorInfo[5].value = reinterpret_cast<uintptr_t>(&settingsDescriptor);
    for (int i = 0; i < 4; ++i)
        operatorInfo[7 + i].value = reinterpret_cast<uintptr_t>(&panelLabels[i]);
    writeDefaultSettings(effectSettings);
    return operatorInfo;
}

extern "C" char* strupr(char* text)
{
    for (char* c = text; *c != '\0'; ++c)
        *c = static_cast<char>(toupper(static_cast<signed char>(*c)));
    return text;
}

void setAaFactorFromSettings()
{
    switch (effectSettings.antialiasing) {
    case 0: renderContext.aaFactor = 0; break;
    case 1: renderContext.aaFactor = 4; break;
    case 2: renderContext.aaFactor = 8; break;
    default: break;  // keeps the factor in force
    }
}

int32_t initialiseRender()
{
    srandZask(variant.randomScenes ? static_cast<uint32_t>(effectSettings.randomSeed) : 1000u);
    scenesLoaded = 0;
    std::memset(blankTexture, 0, sizeof blankTexture);
    setAaFactorFromSettings();

    const int line = variant.allocationLineOffset;
    const size_t d = static_cast<size_t>(renderContext.aaFactor);
    renderContext.colourBuffer = static_cast<uint8_t*>(allocateMemory(33177600));
    if (renderContext.colourBuffer == nullptr) {
        logFailure(962 + line);
        return -1;
    }
    renderContext.coverageBuffer = static_cast<uint8_t*>(allocateMemory(8294400));
    if (renderContext.coverageBuffer == nullptr) {
        logFailure(969 + line);
        return -1;
    }
    forgetCoverageContents();
    // A factor of 0 asks for no bytes; that counts as made.
    if (d != 0) {
        renderContext.sampleTile = static_cast<uint8_t*>(allocateMemory(d * d * 24));
        if (renderContext.sampleTile == nullptr) {
            logFailure(976 + line);
            return -1;
        }
    }
    renderContext.projectedPoints = static_cast<float*>(allocateMemory(24000));
    if (renderContext.projectedPoints == nullptr) {
        logFailure(989 + line);
        return -1;
    }
    renderContext.worldPoints = static_cast<double*>(allocateMemory(48000));
    if (renderContext.worldPoints == nullptr) {
        logFailure(995 + line);
        return -1;
    }
    return 0;
}

int32_t releaseRender()
{
    freeLetterList();
    forgetTitle();
    releaseScene(&sceneTable[0]);
    releaseScene(&sceneTable[1]);
    free(renderContext.colourBuffer);
    free(renderContext.coverageBuffer);
    free(renderContext.sampleTile);
    free(renderContext.projectedPoints);
    free(renderContext.worldPoints);
    renderContext.colourBuffer = nullptr;
    renderContext.coverageBuffer = nullptr;
    renderContext.sampleTile = nullptr;
    renderContext.projectedPoints = nullptr;
    renderContext.worldPoints = nullptr;
    return 0;
}

void createDataDirectory()
{
    if (!buildKthomePath(scenePath, variant.dataDirectory))
        return;
    mkdir(scenePath, 0755);  // an existing directory or any failure is ignored
}

extern "C" int32_t OperatorAction(ActionRequest* request)
{
    switch (request->action) {
    case actionInitialise: return initialiseRender();
    case actionRelease: return releaseRender();
    case actionRender: return renderField(request);
    case actionOpenPanel: openPanel(request->subCode); return 0;
    case actionCreateDataDirectory: createDataDirectory(); return 0;
    default: return 0;
    }
}
