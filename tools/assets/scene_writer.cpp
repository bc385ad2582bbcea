// Scene files: five slots of nine channels, a little-endian memory image.
#include <bit>
#include <stdexcept>

#include "tools/assets/asset_writer.h"

namespace assetwriter {

namespace {

void storeU32(Bytes& out, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void storeFloat(Bytes& out, size_t offset, float value)
{
    storeU32(out, offset, std::bit_cast<uint32_t>(value));
}

}  // namespace

const std::array<float, channelCount> restPose = {0.0f, 0.0f, 5.0f, 0.0f, 0.0f,
                                                  0.0f, 1.0f, 1.0f, 1.0f};

Bytes encodeScene(const SceneMotion& scene)
{
    // Zero-filled: unused slots, unused keys, name tails and the unused key
    // word are all zero.
    Bytes file(sceneFileBytes, 0);
    if (scene.slots.size() > maxSlots)
        throw std::invalid_argument("scene with more than four slots");
    for (size_t k = 0; k < scene.slots.size(); ++k) {
        const SlotMotion& slot = scene.slots[k];
        const size_t slotOffset = k * sceneSlotBytes;
        if (slot.name.empty() || slot.name.size() >= slotNameBytes)
            throw std::invalid_argument("slot name must have 1 to 259 characters");
        for (size_t i = 0; i < slot.name.size(); ++i)
            file[slotOffset + i] = static_cast<uint8_t>(slot.name[i]);
        for (size_t c = 0; c < channelCount; ++c) {
            const std::vector<Key>& keys = slot.channels[c];
            if (keys.empty() || keys.size() > maxKeys)
                throw std::invalid_argument("a channel holds 1 to 50 keys");
            const size_t channelOffset = slotOffset + slotNameBytes + c * channelBytes;
            storeU32(file, channelOffset, static_cast<uint32_t>(keys.size()));
            for (size_t n = 0; n < keys.size(); ++n) {
                const Key& key = keys[n];
                if (n > 0 && !(key.time > keys[n - 1].time))
                    throw std::invalid_argument("key times must ascend");
                const size_t keyOffset = channelOffset + 4 + n * keyBytes;
                storeFloat(file, keyOffset, key.value);
                storeFloat(file, keyOffset + 4, key.time);
                storeU32(file, keyOffset + 8, static_cast<uint32_t>(key.shape));
                for (int p = 0; p < 5; ++p)
                    storeFloat(file, keyOffset + 12 + 4 * p, key.param[p]);
            }
        }
    }
    return file;
}

}  // namespace assetwriter
