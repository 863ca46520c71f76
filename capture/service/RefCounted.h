// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Reference counting for the service's objects: the creator hands out one reference
// and the last Release destroys the object. AddRef and Release may be called from any
// thread.
#include <atomic>
#include <cstdint>
#include <memory>

namespace veldora::sound {

template <class Interface> class RefCounted : public Interface {
  public:
    uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

    uint32_t Release() override {
        // acq_rel: the thread that drops the last reference must see every write made
        // by threads that dropped theirs before it destroys the object.
        const uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) {
            // The last reference owns the object: give it to a unique_ptr to destroy.
            std::unique_ptr<RefCounted>{this};
        }
        return left;
    }

    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;
    ~RefCounted() override = default;

  protected:
    RefCounted() = default;

  private:
    std::atomic<uint32_t> refs_{1};
};

// Creates an object with its first reference and hands that reference to the caller.
template <class T, class... Args> T* createRefCounted(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...).release();
}

} // namespace veldora::sound
