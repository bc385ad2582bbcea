// Single precision unless a step says double, one operation at a time.
#include "field/timeline.h"

#include <cmath>
#include <cstring>

#include "animation/motion_envelope.h"
#include "operator/effect_settings.h"
#include "raster/render_context.h"
#include "raster/truncate.h"

MotionChannel letterTimingChannel;

const MirrorRow mirrorTable[4] = {
    {-3.6, -2.88, 1, 1, 1, 0, 0},
    {3.6, -2.88, 1, -1, -1, 1, 0},
    {-3.6, 2.88, -1, 1, -1, 0, 1},
    {3.6, 2.88, -1, -1, 1, 1, 1},
};

void rewriteLetterTimingChannel()
{
    std::memset(&letterTimingChannel, 0, sizeof letterTimingChannel);
    letterTimingChannel.keyCount = 2;
    letterTimingChannel.keys[0].time = 0.0f;
    letterTimingChannel.keys[0].value = 0.0f;
    letterTimingChannel.keys[0].shape = 3;
    letterTimingChannel.keys[1].time = 100.0f;
    letterTimingChannel.keys[1].value = 1.0f;
    letterTimingChannel.keys[1].shape = 3;
}

Timeline computeTimeline(const ActionRequest* request, uint32_t pageCount)
{
    Timeline t{};
    t.pageLength = request->clipLength / pageCount;
    t.page = request->position / t.pageLength;
    t.phasePosition = request->position - t.page * t.pageLength;

    // Durations wrap like the host's 32-bit words rather than overflow.
    t.inLength = static_cast<int32_t>(2u * static_cast<uint32_t>(effectSettings.inDuration));
    t.outLength = static_cast<int32_t>(2u * static_cast<uint32_t>(effectSettings.outDuration));
    const int32_t hold = static_cast<int32_t>(t.pageLength - static_cast<uint32_t>(t.outLength) -
                                              static_cast<uint32_t>(t.inLength));
    if (hold < 0) {
        t.inLength = static_cast<int32_t>(t.pageLength / 2);
        t.outLength = static_cast<int32_t>(t.pageLength / 2);
    }

    const int32_t position = static_cast<int32_t>(t.phasePosition);
    if (position < t.inLength) {
        t.phase = Phase::in;
        t.phaseFraction = static_cast<float>(t.phasePosition) / static_cast<float>(t.inLength);
    } else if (position < static_cast<int32_t>(t.pageLength - static_cast<uint32_t>(t.outLength))) {
        t.phase = Phase::hold;
        t.phaseFraction = 1.0f;
    } else {
        t.phase = Phase::out;
        t.phaseFraction = static_cast<float>(t.pageLength - t.phasePosition) /
                          static_cast<float>(t.outLength);
    }
    return t;
}

bool letterProgress(int32_t letterNumber, uint32_t count, const Timeline& timeline, float* progress)
{
    const float n = static_cast<float>(count);
    float p;
    switch (timeline.phase) {
    case Phase::in:
        p = timeline.phaseFraction * 1.5f - (static_cast<float>(letterNumber) * 0.5f) / n;
        break;
    case Phase::hold:
        p = 1.0f;
        break;
    default: {
        const uint32_t remaining = count - static_cast<uint32_t>(letterNumber);
        p = timeline.phaseFraction * 1.5f - (static_cast<float>(remaining) * 0.5f) / n;
        break;
    }
    }
    if (p > 1.0f)
        p = 1.0f;
    if (!(p >= 0.0f))
        return false;
    *progress = p;
    return true;
}

void letterOpacity(float progress)
{
    const int32_t letterTime = truncateToInt(progress * 500.0f);
    const double v = evaluateChannel(&letterTimingChannel, static_cast<float>(letterTime));
    renderContext.opacity = static_cast<float>(v);
    renderContext.fadeLevel = static_cast<double>(renderContext.opacity) * 0.1;
}

float letterSceneTime(float progress)
{
    return ((progress * 10000.0f) / 10000.0f) * 16.666666f;
}

void placeLetter(const LetterEntry& entry, int mirrorMode, int32_t frameWidth, int32_t frameHeight,
                 const ActionRequest* request)
{
    RenderContext& rc = renderContext;
    const MirrorRow& row = mirrorTable[mirrorMode];
    const int32_t imageWidth = entry.image->width, imageHeight = entry.image->height;
    const int32_t hw = frameWidth / 2, hh = frameHeight / 2;
    const int32_t hiw = imageWidth / 2, hih = imageHeight / 2;

    const int32_t left = static_cast<int32_t>(static_cast<uint32_t>(entry.penX) +
                                              static_cast<uint32_t>(entry.boxX));
    rc.cameraX = (static_cast<double>(static_cast<float>(left)) * 0.015625 - hw + hiw) / hw * row.kx;
    rc.cameraY = ((static_cast<double>(static_cast<float>(entry.boxY)) * 0.015625 + entry.image->top) -
                  hh + hih) / hh * row.ky;
    rc.cameraZ = 0.0;

    // Negated as 32-bit integers, then widened.
    auto signed_ = [](int32_t value, int sign) {
        return static_cast<double>(sign < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(value))
                                            : value);
    };
    rc.baseRotX = signed_(effectSettings.rotationX, row.signRotX);
    rc.baseRotY = signed_(effectSettings.rotationY, row.signRotY);
    rc.baseRotZ = signed_(effectSettings.rotationZ, row.signRotZ);

    rc.letterScaleX = static_cast<double>(static_cast<float>(imageWidth) / static_cast<float>(frameWidth));
    rc.letterScaleY = static_cast<double>(static_cast<float>(imageHeight) / static_cast<float>(frameHeight));
    rc.letterScaleZ = static_cast<double>(192.0f / static_cast<float>(frameWidth));
    if ((request->flags & requestFlagDraft) != 0)
        rc.letterScaleZ = (request->aspectNum * rc.letterScaleZ) / request->aspectDen;
}
