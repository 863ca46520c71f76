#pragma once
// The capture ring: a byte ring of a fixed size, written by one capture thread and
// read by the program. Header-only so that tests can drive it directly.
//
// Threads: write() only on the capture thread (one writer at a time); writePosition()
// and lock() on any thread.
//
// A reader that falls a whole ring behind reads bytes that are being overwritten;
// as with any looping capture ring, nothing detects that.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace veldora::sound {

struct RingRegions {
    uint8_t* first = nullptr;
    uint32_t firstBytes = 0;
    uint8_t* second = nullptr; // null when the span does not wrap
    uint32_t secondBytes = 0;
};

class CaptureRing {
  public:
    // Allocates `bytes` zeroed bytes (bytes > 0); throws std::bad_alloc. calloc, because
    // a probe makes and drops dozens of one-second rings and fresh pages come zeroed.
    explicit CaptureRing(uint32_t bytes) : data_(static_cast<uint8_t*>(std::calloc(bytes, 1))), size_(bytes) {
        if (!data_) {
            throw std::bad_alloc();
        }
    }

    uint32_t size() const { return size_; }

    // Byte offset where the next captured byte goes; every byte before it, cyclically,
    // is complete.
    uint32_t writePosition() const {
        // acquire: pairs with the release in write(), so the bytes below the position
        // the reader sees are the bytes the writer copied.
        return position_.load(std::memory_order_acquire);
    }

    // Copies `bytes` at the write position, wrapping at the end, then publishes the new
    // position. The position always advances by `bytes`; of more than a ring only the
    // last ring's worth stays.
    void write(const uint8_t* data, uint32_t bytes) {
        // relaxed: only this thread writes the position.
        const uint32_t start = position_.load(std::memory_order_relaxed);
        const uint32_t next = static_cast<uint32_t>((uint64_t{start} + bytes) % size_);
        uint32_t at = start;
        if (bytes > size_) { // the earlier bytes would be overwritten at once
            at = static_cast<uint32_t>((uint64_t{start} + bytes - size_) % size_);
            data += bytes - size_;
            bytes = size_;
        }
        const uint32_t untilEnd = std::min(bytes, size_ - at);
        std::memcpy(data_.get() + at, data, untilEnd);
        std::memcpy(data_.get(), data + untilEnd, bytes - untilEnd);
        // release: the copied bytes become visible before the position that covers them.
        position_.store(next, std::memory_order_release);
    }

    // One or two regions covering `bytes` bytes from `offset`, cyclically. False (and
    // `regions` untouched) when offset lies outside the ring, bytes is 0 or bytes
    // exceeds the ring.
    bool lock(uint32_t offset, uint32_t bytes, RingRegions& regions) const {
        if (offset >= size_ || bytes == 0 || bytes > size_) {
            return false;
        }
        const uint32_t untilEnd = size_ - offset;
        regions.first = data_.get() + offset;
        regions.firstBytes = std::min(bytes, untilEnd);
        regions.second = bytes > untilEnd ? data_.get() : nullptr;
        regions.secondBytes = bytes - regions.firstBytes;
        return true;
    }

  private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> data_;
    uint32_t size_;
    std::atomic<uint32_t> position_{0};
};

} // namespace veldora::sound
