// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/DXSound.h"

#include <QEvent>
#include <QWidget>

#include "capture/CaptureErrors.h"

namespace veldora::app {

TCustomDXSound::TCustomDXSound(QObject* owner) : owner_(owner) {}

TCustomDXSound::~TCustomDXSound() {
    Finalize();
}

void TCustomDXSound::Loaded() {
    if (!AutoInitialize) {
        return;
    }
    try {
        Initialize();
    } catch (const capture::EDirectSoundError&) {
        // No playback device: the program runs on without it.
    }
}

void TCustomDXSound::Initialize() {
    Finalize();
    QWidget* form = FindForm();
    if (!form) {
        throw capture::EDXSoundError("Form not found");
    }
    DoInitializing();
    initializing_ = true;
    try {
        device_ = std::make_unique<TDXSoundDirectSound>(*this, nullptr); // the default device
        device_->GlobalFocus = (nowOptions_ & soGlobalFocus) != 0;

        primary_ = &device_->AddBuffer();
        sound::DSBUFFERDESC desc{};
        desc.dwSize = 36;
        desc.dwFlags = sound::DSBCAPS_PRIMARYBUFFER;
        if (!primary_->CreateBuffer(desc)) {
            throw capture::EDXSoundError("Primary Buffer cannot be made");
        }
        ready_ = true;
        AttachToForm(*form);
    } catch (...) {
        Finalize();
        throw;
    }
    initialized_ = true;
    DoInitialize();
    if (ready_) {
        DoRestore();
    }
}

void TCustomDXSound::Finalize() {
    if (!initializing_) {
        return;
    }
    hook_.reset();
    if (initialized_) {
        initialized_ = false;
        DoFinalize();
    }
    ready_ = false;
    initializing_ = false;
    nowOptions_ = options_;
    if (device_ && primary_) {
        device_->FreeBuffer(*primary_);
    }
    primary_ = nullptr;
    device_.reset();
}

void TCustomDXSound::setOptions(TDXSoundOptions value) {
    options_ = value;
    if (ready_) {
        nowOptions_ = (value & ~soExclusive) | (nowOptions_ & soExclusive);
        device_->GlobalFocus = (nowOptions_ & soGlobalFocus) != 0;
        device_->StickyFocus = (nowOptions_ & soStickyFocus) != 0;
    } else {
        nowOptions_ = value;
    }
}

QWidget* TCustomDXSound::FindForm() const {
    for (QObject* o = owner_; o; o = o->parent()) {
        auto* widget = qobject_cast<QWidget*>(o);
        if (widget && widget->isWindow()) {
            return widget;
        }
    }
    return nullptr;
}

void TCustomDXSound::AttachToForm(QWidget& form) {
    form_ = &form;
    hook_.reset();
    hook_ = std::make_unique<TControlSubClass>(form, [this](QEvent& event) { FormEvent(event); });
    if (ready_) {
        // winId() creates the native window when there is none yet; its creation comes
        // back here through the hook, so the level may be set twice.
        const uintptr_t window = static_cast<uintptr_t>(form.winId());
        device_->SetCooperativeLevel(window, (nowOptions_ & soExclusive) ? sound::DSSCL_EXCLUSIVE
                                                                         : sound::DSSCL_NORMAL);
    }
}

void TCustomDXSound::FormEvent(QEvent& event) {
    // A new native window needs the cooperative level again. The change to no window
    // (the native window being destroyed) must not create one anew.
    if (event.type() == QEvent::WinIdChange && form_ && form_->internalWinId() != 0) {
        AttachToForm(*form_);
    }
}

void TCustomDXSound::DoFinalize() {
    if (OnFinalize)
        OnFinalize(*this);
}

void TCustomDXSound::DoInitialize() {
    if (OnInitialize)
        OnInitialize(*this);
}

void TCustomDXSound::DoInitializing() {
    if (OnInitializing)
        OnInitializing(*this);
}

void TCustomDXSound::DoRestore() {
    if (OnRestore)
        OnRestore(*this);
}

} // namespace veldora::app
