// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The capture ring: one writer (the capture thread), any readers. A 64-bit count of the
// bytes written tells a reader exactly whether the writer lapped the bytes it copied.
// Bytes are accessed as atomics, so a racing reader gets old or new values, never UB.
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

    // Bytes written since construction; every byte below this running index is complete.
    uint64_t written() const {
        // acquire: pairs with the release in write(), so the bytes below the count the
        // reader sees are the bytes the writer copied.
        return written_.load(std::memory_order_acquire);
    }

    // Byte offset where the next captured byte goes.
    uint32_t writePosition() const { return static_cast<uint32_t>(written() % size_); }

    // Copies `bytes` at the write position, wrapping, then publishes the new count (of
    // more than a ring only the last ring's worth stays).
    void write(const uint8_t* data, uint32_t bytes) {
        // relaxed: only this thread writes the counts.
        const uint64_t start = written_.load(std::memory_order_relaxed);
        const uint64_t next = start + bytes;
        // Announce the indices about to be written before touching a byte. relaxed,
        // because every byte store below is a release: a reader whose acquire load sees
        // one of those bytes sees this claim too.
        claimed_.store(next, std::memory_order_relaxed);
        uint64_t from = start;
        if (bytes > size_) { // the earlier bytes would be overwritten at once
            data += bytes - size_;
            from = next - size_;
            bytes = size_;
        }
        const uint32_t at = static_cast<uint32_t>(from % size_);
        const uint32_t untilEnd = std::min(bytes, size_ - at);
        store(at, data, untilEnd);
        store(0, data + untilEnd, bytes - untilEnd);
        // release: the copied bytes become visible before the count that covers them.
        written_.store(next, std::memory_order_release);
    }

    // Copies the bytes of running indices end - bytes .. end - 1 (`end` from written());
    // false when the writer lapped any of them meanwhile, or for a size outside the ring.
    bool copyEnding(uint64_t end, uint8_t* out, uint32_t bytes) const {
        if (bytes == 0 || bytes > size_ || end < bytes) {
            return false;
        }
        const uint64_t first = end - bytes;
        // Index first + size overwrites the first byte wanted: the writer must not have
        // claimed it. Checked before the copy too, to skip a copy that cannot succeed.
        // relaxed is enough here: a stale count only makes the check below decide.
        if (claimed_.load(std::memory_order_relaxed) > first + size_) {
            return false;
        }
        const uint32_t at = static_cast<uint32_t>(first % size_);
        const uint32_t untilEnd = std::min(bytes, size_ - at);
        load(at, out, untilEnd);
        load(0, out + untilEnd, bytes - untilEnd);
        // relaxed: the byte loads above are acquires, so this load comes after them and,
        // if any byte came from a newer write, sees at least that write's claim.
        return claimed_.load(std::memory_order_relaxed) <= first + size_;
    }

    // One or two regions covering `bytes` bytes from `offset`, cyclically; false for a
    // span outside the ring. Only copyEnding() can tell whether the writer lapped them.
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

    // Byte stores are releases and byte loads acquires, pairing so that a reader that
    // sees a byte of a write also sees the claim made before it (a fence pair would do
    // the same, but ThreadSanitizer does not model fences). Plain moves on x86.
    void store(uint32_t at, const uint8_t* from, uint32_t n) {
        uint8_t* to = data_.get() + at;
        for (uint32_t i = 0; i < n; ++i) {
            std::atomic_ref<uint8_t>(to[i]).store(from[i], std::memory_order_release);
        }
    }
    void load(uint32_t at, uint8_t* to, uint32_t n) const {
        uint8_t* from = data_.get() + at;
        for (uint32_t i = 0; i < n; ++i) {
            to[i] = std::atomic_ref<uint8_t>(from[i]).load(std::memory_order_acquire);
        }
    }

    std::unique_ptr<uint8_t, Free> data_;
    uint32_t size_;
    std::atomic<uint64_t> written_{0}; // bytes complete
    std::atomic<uint64_t> claimed_{0}; // bytes complete or being written; >= written_
};

} // namespace veldora::sound
