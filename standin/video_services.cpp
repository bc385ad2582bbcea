// oplib and oplibcommon: fields of the registered clip, images, abort and
// preview requests.
#include <cstdio>
#include <utility>

#include "standin/gui_internal.h"
#include "standin/image_registry.h"
#include "standin/standin_control.h"

namespace standin {

namespace {

struct Video {
    int width = 0;
    int height = 0;
    std::vector<PlanarFrame> frames;
    uint8_t* output = nullptr;
    size_t fieldsPut = 0;
    bool abortRequested = false;
    uint64_t abortChecks = 0;
    uint64_t previewRequests = 0;
};

Video& video() {
    static Video instance;
    return instance;
}

}  // namespace

std::mutex& sessionMutex() {
    static std::mutex instance;
    return instance;
}

void setInputClip(int width, int height, std::vector<PlanarFrame> frames) {
    Video& v = video();
    v.width = width;
    v.height = height;
    v.frames = std::move(frames);
}

void clearInputClip() {
    Video& v = video();
    v.width = v.height = 0;
    v.frames.clear();
    v.output = nullptr;
}

int inputWidth() { return video().width; }
int inputHeight() { return video().height; }
size_t inputFrameCount() { return video().frames.size(); }
const PlanarFrame& inputFrame(size_t index) { return video().frames.at(index); }

void setOutputFrame(uint8_t* planes) { video().output = planes; }
size_t fieldsPut() { return video().fieldsPut; }

void setAbortRequested(bool abort) { video().abortRequested = abort; }
uint64_t abortChecks() { return video().abortChecks; }
uint64_t previewRequests() { return video().previewRequests; }

void resetCounters() {
    Video& v = video();
    v.fieldsPut = 0;
    v.abortChecks = 0;
    v.previewRequests = 0;
    v.abortRequested = false;
}

}  // namespace standin

using namespace standin;

extern "C" {

HostImage* opGetField(int input, uint32_t position) {
    if (hostCallFails(HostCall::getField)) return nullptr;
    Video& v = video();
    size_t frameIndex = position / 2;
    if (input != 0 || frameIndex >= v.frames.size() || v.width <= 0 || v.height < 2) return nullptr;
    const int fieldHeight = v.height / 2;
    HostImage* field = createImage(v.width, fieldHeight, ImageKind::field, position);
    if (field == nullptr) return nullptr;
    const size_t plane = static_cast<size_t>(v.width) * v.height;
    const uint8_t* y = v.frames[frameIndex].data();
    const uint8_t* cb = y + plane;
    const uint8_t* cr = cb + plane;
    const int parity = position & 1;
    for (int k = 0; k < fieldHeight; ++k) {
        size_t source = static_cast<size_t>(2 * k + parity) * v.width;
        uint8_t* out = field->pixels + static_cast<size_t>(k) * v.width * 4;
        for (int x = 0; x < v.width; ++x, out += 4) {
            out[0] = 0;
            out[1] = cr[source + x];
            out[2] = cb[source + x];
            out[3] = y[source + x];
        }
    }
    return field;
}

int32_t opPutField(HostImage* field) {
    Video& v = video();
    const ImageRecord* record = findImage(field);
    if (record == nullptr || record->kind != ImageKind::field) {
        releaseImage(field, ImageKind::field, "opPutField");
        return -1;
    }
    const int parity = record->position & 1;
    bool fits = v.output != nullptr && field->width == v.width && field->height == v.height / 2;
    if (!fits) {
        std::fprintf(stderr, "zask stand-in: opPutField: %s\n",
                     v.output == nullptr ? "no output frame to write the field into"
                                         : "field size differs from the clip's");
    } else {
        const size_t plane = static_cast<size_t>(v.width) * v.height;
        uint8_t* y = v.output;
        uint8_t* cb = y + plane;
        uint8_t* cr = cb + plane;
        for (int k = 0; k < field->height; ++k) {
            size_t target = static_cast<size_t>(2 * k + parity) * v.width;
            const uint8_t* in = field->pixels + static_cast<size_t>(k) * v.width * 4;
            for (int x = 0; x < v.width; ++x, in += 4) {
                y[target + x] = in[3];
                cb[target + x] = in[2];
                cr[target + x] = in[1];
            }
        }
        ++v.fieldsPut;
    }
    releaseImage(field, ImageKind::field, "opPutField");
    return fits ? 0 : -1;
}

int32_t opChkAbort(void) {
    Video& v = video();
    ++v.abortChecks;
    return v.abortRequested ? 1 : 0;
}

int32_t opPreview(int32_t) {
    ++video().previewRequests;
    return runPreviewHandler();
}

HostImage* opAllocImage(int32_t width, int32_t height, int32_t, int32_t) {
    if (hostCallFails(HostCall::allocImage)) return nullptr;
    return createImage(width, height, ImageKind::allocated);
}

void opFreeImage(HostImage* image) { releaseImage(image, ImageKind::allocated, "opFreeImage"); }

}  // extern "C"
