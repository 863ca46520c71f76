// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The capture stream's filled-buffer handler: code plus the identity of what it is bound
// to, so that setting "the same handler" again can be recognised, as with a method
// bound to an object. Two handlers are the same when both are empty, or when both are
// set with equal Target and Id. Bind a method with
//   TDataReadyEvent::bind<&TForm2::CaptureStreamFilledBuffer>(this)
// or give a lambda its own identity: TDataReadyEvent(code, &owner, someId).
#include <cstdint>
#include <functional>
#include <utility>

namespace veldora::capture {

class TSoundCaptureStream;

class TDataReadyEvent {
  public:
    using Code = std::function<void(TSoundCaptureStream& sender)>;

    TDataReadyEvent() = default;
    TDataReadyEvent(Code code, const void* target, uintptr_t id)
        : code_(std::move(code)), target_(target), id_(id) {}

    template <auto Method, class T> static TDataReadyEvent bind(T* target) {
        return TDataReadyEvent([target](TSoundCaptureStream& sender) { (target->*Method)(sender); }, target,
                               reinterpret_cast<uintptr_t>(&methodTag<Method>));
    }

    explicit operator bool() const { return static_cast<bool>(code_); }
    bool sameAs(const TDataReadyEvent& other) const {
        if (!*this || !other)
            return !*this && !other;
        return target_ == other.target_ && id_ == other.id_;
    }
    void operator()(TSoundCaptureStream& sender) const { code_(sender); }

  private:
    template <auto Method> static inline const char methodTag = 0; // one address per method

    Code code_;
    const void* target_ = nullptr;
    uintptr_t id_ = 0;
};

} // namespace veldora::capture
