// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A counted reference to a sound-service object: holds one reference and releases it
// when cleared, reassigned or destroyed. The program holds the service's objects with
// it, and the service its own objects' references to each other. Not thread-safe;
// owned by one thread.
#include <utility>

namespace veldora::sound {

template <class T> class ServiceRef {
  public:
    ServiceRef() = default;
    ServiceRef(const ServiceRef&) = delete;
    ServiceRef& operator=(const ServiceRef&) = delete;
    ServiceRef(ServiceRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ServiceRef& operator=(ServiceRef&& other) noexcept {
        if (this != &other) {
            reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ~ServiceRef() { reset(); }

    // Takes a reference of its own to `object` (AddRef): the caller keeps the one it has.
    static ServiceRef share(T* object) {
        ServiceRef ref;
        if (object != nullptr)
            object->AddRef();
        ref.object_ = object;
        return ref;
    }

    // Drops the held reference, if any.
    void reset() {
        if (T* object = std::exchange(object_, nullptr))
            object->Release();
    }
    // Clears the reference and hands out the slot for an out parameter.
    T** put() {
        reset();
        return &object_;
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

  private:
    T* object_ = nullptr;
};

} // namespace veldora::sound
