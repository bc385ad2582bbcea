#include "standin/image_registry.h"

#include <cstdio>
#include <deque>
#include <cstdlib>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "standin/standin_control.h"

namespace standin {

namespace {

// Pixel buffers of released images, kept for the next image of the same size:
// a render takes and returns a field and a frame-sized image every field, and
// fresh large blocks cost a page fault per page.
struct PooledBuffer {
    size_t bytes;
    uint8_t* pixels;
};
constexpr size_t poolCapacity = 8;
constexpr size_t releasedRemembered = 4096;

struct Registry {
    std::unordered_map<const HostImage*, ImageRecord> live;
    std::vector<PooledBuffer> pool;
    // The latest addresses released, so that a second release can be named
    // as such; the oldest are forgotten, so a long render stays flat.
    std::unordered_map<const HostImage*, uint64_t> released;  // address -> release number
    std::deque<std::pair<const HostImage*, uint64_t>> releaseOrder;
    uint64_t releaseNumber = 0;
    ImageCounts counts;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

const char* kindName(ImageKind kind) {
    switch (kind) {
    case ImageKind::field: return "video field";
    case ImageKind::allocated: return "allocated image";
    case ImageKind::lineImage: return "line image";
    }
    return "image";
}

void destroy(HostImage* image) {
    Registry& r = registry();
    const size_t bytes = static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 4;
    if (r.pool.size() < poolCapacity && bytes > 0)
        r.pool.push_back({bytes, image->pixels});
    else
        std::free(image->pixels);
    delete image;
}

// A buffer of exactly `bytes`, from the pool when one is there; its contents
// are unspecified, as the host's images are.
uint8_t* takeBuffer(size_t bytes) {
    Registry& r = registry();
    for (size_t i = 0; i < r.pool.size(); ++i)
        if (r.pool[i].bytes == bytes) {
            uint8_t* pixels = r.pool[i].pixels;
            r.pool.erase(r.pool.begin() + static_cast<std::ptrdiff_t>(i));
            return pixels;
        }
    // calloc(0) may return null; an empty picture still needs a valid pointer.
    return static_cast<uint8_t*>(std::calloc(bytes == 0 ? 1 : bytes, 1));
}

}  // namespace

HostImage* createImage(int32_t width, int32_t height, ImageKind kind, uint32_t position) {
    if (width < 0 || height < 0 || width > std::numeric_limits<int16_t>::max() ||
        height > std::numeric_limits<int16_t>::max())
        return nullptr;
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    uint8_t* pixels = takeBuffer(bytes);
    if (pixels == nullptr) return nullptr;
    auto* image = new HostImage{};
    image->pixels = pixels;
    image->width = static_cast<int16_t>(width);
    image->height = static_cast<int16_t>(height);
    Registry& r = registry();
    r.live[image] = ImageRecord{kind, position};
    r.released.erase(image);
    ++r.counts.handedOut;
    ++r.counts.outstanding;
    return image;
}

const ImageRecord* findImage(const HostImage* image) {
    Registry& r = registry();
    auto it = r.live.find(image);
    return it == r.live.end() ? nullptr : &it->second;
}

bool releaseImage(HostImage* image, ImageKind expected, const char* function) {
    if (image == nullptr) return false;
    Registry& r = registry();
    auto it = r.live.find(image);
    if (it == r.live.end()) {
        ++r.counts.badReleases;
        std::fprintf(stderr, "zask stand-in: %s(%p): %s\n", function, static_cast<void*>(image),
                     r.released.count(image) ? "image released twice" : "not an image of the host");
        return false;
    }
    bool matches = it->second.kind == expected;
    if (!matches) {
        ++r.counts.badReleases;
        std::fprintf(stderr, "zask stand-in: %s(%p): a %s released as a %s\n", function,
                     static_cast<void*>(image), kindName(it->second.kind), kindName(expected));
    }
    r.live.erase(it);
    const uint64_t number = ++r.releaseNumber;
    r.released[image] = number;
    r.releaseOrder.emplace_back(image, number);
    if (r.releaseOrder.size() > releasedRemembered) {
        const auto [oldest, oldestNumber] = r.releaseOrder.front();
        r.releaseOrder.pop_front();
        auto entry = r.released.find(oldest);
        if (entry != r.released.end() && entry->second == oldestNumber) r.released.erase(entry);
    }
    ++r.counts.takenBack;
    --r.counts.outstanding;
    destroy(image);
    return matches;
}

ImageCounts imageCounts() { return registry().counts; }

void resetImages() {
    Registry& r = registry();
    for (auto& [image, record] : r.live) destroy(const_cast<HostImage*>(image));
    r.live.clear();
    r.released.clear();
    r.releaseOrder.clear();
    for (const PooledBuffer& buffer : r.pool) std::free(buffer.pixels);
    r.pool.clear();
    r.counts = ImageCounts{};
}

}  // namespace standin
