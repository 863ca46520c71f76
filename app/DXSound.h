// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The playback sound component: when its window has been loaded it opens the default
// playback device, creates the primary buffer and sets the device's cooperative level
// for the window (again whenever the window's native window is re-created); all of it
// is released when the component is destroyed. Nothing is played. Main thread only.
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

#include "app/ControlSubClass.h"
#include "capture/DirectSound.h"
#include "capture/DirectSoundBuffer.h"

class QWidget;

namespace veldora::app {

class TCustomDXSound;

// Options, a set of bits.
enum TDXSoundOption : uint32_t {
    soGlobalFocus = 1,
    soStickyFocus = 2,
    soExclusive = 4,
};
using TDXSoundOptions = uint32_t;

// The device the component opens; knows its component.
class TDXSoundDirectSound : public capture::TDirectSound {
  public:
    TDXSoundDirectSound(TCustomDXSound& owner, const sound::GUID* guid)
        : capture::TDirectSound(guid), owner_(owner) {}
    TCustomDXSound& DXSound() const { return owner_; }

  private:
    TCustomDXSound& owner_;
};

class TCustomDXSound {
  public:
    using TNotifyEvent = std::function<void(TCustomDXSound& sender)>;

    // `owner` is the window or one of its children; the owner chain leads to the window.
    explicit TCustomDXSound(QObject* owner);
    virtual ~TCustomDXSound();
    TCustomDXSound(const TCustomDXSound&) = delete;
    TCustomDXSound& operator=(const TCustomDXSound&) = delete;

    // Once the owner's layout has been read: initialises when AutoInitialize is set.
    // A refused device (EDirectSoundError) is swallowed; other errors pass on.
    virtual void Loaded();
    void Initialize();
    void Finalize();

    bool AutoInitialize = true;
    TDXSoundOptions Options() const { return options_; }
    void setOptions(TDXSoundOptions value);
    TDXSoundOptions NowOptions() const { return nowOptions_; }

    bool Initialized() const { return initialized_; }
    bool Ready() const { return ready_; }
    TDXSoundDirectSound* DSound() const { return device_.get(); }
    capture::TDirectSoundBuffer* Primary() const { return primary_; }

    TNotifyEvent OnInitializing;
    TNotifyEvent OnInitialize;
    TNotifyEvent OnFinalize;
    TNotifyEvent OnRestore;

  protected:
    virtual void DoFinalize();
    virtual void DoInitialize();
    virtual void DoInitializing();
    virtual void DoRestore();

  private:
    QWidget* FindForm() const;
    void AttachToForm(QWidget& form);
    void FormEvent(QEvent& event);

    QPointer<QObject> owner_;
    bool initializing_ = false;
    bool ready_ = false;
    bool initialized_ = false;
    TDXSoundOptions options_ = 0;
    TDXSoundOptions nowOptions_ = 0;
    std::unique_ptr<TDXSoundDirectSound> device_;
    capture::TDirectSoundBuffer* primary_ = nullptr; // owned by device_
    QPointer<QWidget> form_;
    std::unique_ptr<TControlSubClass> hook_;
};

// The published form, as the main window's layout sets it.
class TDXSound : public TCustomDXSound {
  public:
    using TCustomDXSound::TCustomDXSound;
};

} // namespace veldora::app
