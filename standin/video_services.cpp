// oplib and oplibcommon: fields of the registered clip, images, abort and
// preview requests.
#include <emmintrin.h>

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "standin/gui_internal.h"
#include "standin/image_registry.h"
#include "standin/standin_control.h"

namespace standin {

namespace {

struct Video {
    int width = 0;
    int height = 0;
    size_t firstFrame = 0;  // frames[0] is this frame of the clip
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

// One line of planes into host pixels {0, Cr, Cb, Y}, sixteen at a time.
void packRow(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* out, int width) {
    int x = 0;
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= width; x += 16, out += 64) {
        const __m128i vy = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
        const __m128i vcb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x));
        const __m128i vcr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x));
        const __m128i alphaCrLow = _mm_unpacklo_epi8(zero, vcr), alphaCrHigh = _mm_unpackhi_epi8(zero, vcr);
        const __m128i cbYLow = _mm_unpacklo_epi8(vcb, vy), cbYHigh = _mm_unpackhi_epi8(vcb, vy);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(alphaCrLow, cbYLow));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(alphaCrLow, cbYLow));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), _mm_unpacklo_epi16(alphaCrHigh, cbYHigh));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 48), _mm_unpackhi_epi16(alphaCrHigh, cbYHigh));
    }
    for (; x < width; ++x, out += 4) {
        out[0] = 0;
        out[1] = cr[x];
        out[2] = cb[x];
        out[3] = y[x];
    }
}

// Byte `shift / 8` of each of sixteen host pixels (four registers), in order.
__m128i pickByte(__m128i a, __m128i b, __m128i c, __m128i d, int shift) {
    const __m128i mask = _mm_set1_epi32(0xFF);
    const __m128i shiftBy = _mm_cvtsi32_si128(shift);
    const __m128i ab = _mm_packs_epi32(_mm_and_si128(_mm_srl_epi32(a, shiftBy), mask),
                                       _mm_and_si128(_mm_srl_epi32(b, shiftBy), mask));
    const __m128i cd = _mm_packs_epi32(_mm_and_si128(_mm_srl_epi32(c, shiftBy), mask),
                                       _mm_and_si128(_mm_srl_epi32(d, shiftBy), mask));
    return _mm_packus_epi16(ab, cd);
}

// One line of host pixels back into the planes.
void unpackRow(const uint8_t* in, uint8_t* y, uint8_t* cb, uint8_t* cr, int width) {
    int x = 0;
    for (; x + 16 <= width; x += 16, in += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 48));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y + x), pickByte(a, b, c, d, 24));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cb + x), pickByte(a, b, c, d, 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(cr + x), pickByte(a, b, c, d, 8));
    }
    for (; x < width; ++x, in += 4) {
        y[x] = in[3];
        cb[x] = in[2];
        cr[x] = in[1];
    }
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
    v.firstFrame = 0;
    v.frames = std::move(frames);
}

void setInputFrame(int width, int height, size_t index, PlanarFrame frame) {
    Video& v = video();
    v.width = width;
    v.height = height;
    v.firstFrame = index;
    v.frames.resize(1);
    v.frames[0] = std::move(frame);
}

void clearInputClip() {
    Video& v = video();
    v.width = v.height = 0;
    v.firstFrame = 0;
    v.frames.clear();
    v.output = nullptr;
}

int inputWidth() { return video().width; }
int inputHeight() { return video().height; }
size_t inputFrameCount() { return video().firstFrame + video().frames.size(); }
const PlanarFrame& inputFrame(size_t index) {
    const Video& v = video();
    if (index < v.firstFrame) throw std::out_of_range("inputFrame: frame not held");
    return v.frames.at(index - v.firstFrame);
}

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
    const size_t frameIndex = position / 2;
    if (input != 0 || frameIndex < v.firstFrame || frameIndex - v.firstFrame >= v.frames.size() || v.width <= 0 ||
        v.height < 2)
        return nullptr;
    const int fieldHeight = v.height / 2;
    HostImage* field = createImage(v.width, fieldHeight, ImageKind::field, position);
    if (field == nullptr) return nullptr;
    const size_t plane = static_cast<size_t>(v.width) * v.height;
    const uint8_t* y = v.frames[frameIndex - v.firstFrame].data();
    const uint8_t* cb = y + plane;
    const uint8_t* cr = cb + plane;
    const int parity = position & 1;
    for (int k = 0; k < fieldHeight; ++k) {
        const size_t source = static_cast<size_t>(2 * k + parity) * v.width;
        packRow(y + source, cb + source, cr + source, field->pixels + static_cast<size_t>(k) * v.width * 4, v.width);
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
            const size_t target = static_cast<size_t>(2 * k + parity) * v.width;
            unpackRow(field->pixels + static_cast<size_t>(k) * v.width * 4, y + target, cb + target, cr + target,
                      v.width);
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
