// A bounded reader over bytes held in memory. Every read checks the bytes
// left first; once a read fails the cursor stays failed, so a parser can read
// a whole header and test once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class ByteCursor {
public:
    ByteCursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return failed_ ? 0 : size_ - pos_; }
    bool failed() const { return failed_; }

    bool canRead(size_t count) const { return !failed_ && count <= size_ - pos_; }

    bool readBytes(void* destination, size_t count) {
        if (!take(count)) return false;
        if (count != 0) std::memcpy(destination, data_ + pos_ - count, count);
        return true;
    }

    bool skip(size_t count) { return take(count); }

    // A view of the next count bytes, consumed; an empty failed cursor when
    // they are not there.
    ByteCursor sub(size_t count) {
        if (!take(count)) {
            ByteCursor none(nullptr, 0);
            none.failed_ = true;
            return none;
        }
        return ByteCursor(data_ + pos_ - count, count);
    }

    bool readU32BE(uint32_t& value) {
        uint8_t b[4];
        if (!readBytes(b, 4)) return false;
        value = loadU32BE(b);
        return true;
    }

    bool readI32BE(int32_t& value) {
        uint32_t u;
        if (!readU32BE(u)) return false;
        value = static_cast<int32_t>(u);
        return true;
    }

    // Fields of a fixed-size record, by offset; out of range reads fail.
    uint32_t u32BEAt(size_t offset) {
        if (failed_ || offset > size_ || size_ - offset < 4) {
            failed_ = true;
            return 0;
        }
        return loadU32BE(data_ + offset);
    }

    uint8_t u8At(size_t offset) {
        if (failed_ || offset >= size_) {
            failed_ = true;
            return 0;
        }
        return data_[offset];
    }

    uint16_t u16BEAt(size_t offset) {
        if (failed_ || offset > size_ || size_ - offset < 2) {
            failed_ = true;
            return 0;
        }
        return static_cast<uint16_t>(data_[offset] << 8 | data_[offset + 1]);
    }

    static uint32_t loadU32BE(const uint8_t* b) {
        return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | uint32_t{b[3]};
    }

private:
    bool take(size_t count) {
        if (!canRead(count)) {
            failed_ = true;
            return false;
        }
        pos_ += count;
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool failed_ = false;
};
