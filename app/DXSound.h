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
#include <vector>

#include "capture/ServiceRef.h"
#include "capture/SoundService.h"

class QWidget;
class TCustomDXSound;

// Options, a set of bits.
enum TDXSoundOption : uint32_t {
    soGlobalFocus = 1,
    soStickyFocus = 2,
    soExclusive = 4,
};
using TDXSoundOptions = uint32_t;

// Keeps the result code of the last sound-service call.
class TDirectX {
public:
    virtual ~TDirectX() = default;
    HRESULT DXResult() const { return result_; }

protected:
    HRESULT result_ = DS_OK;
};

class TDirectSoundBuffer;

// A playback device. Owns its buffers: destroying it frees the remaining buffers, last
// made first, then releases the device.
class TDirectSound : public TDirectX {
public:
    // Opens the device (`guid` null: the default). Raises Exception "%s not loaded"
    // when the library is missing, EDirectSoundError "DirectSound cannot be
    // initialized" when the service refuses.
    explicit TDirectSound(const GUID* guid);
    ~TDirectSound() override;
    TDirectSound(const TDirectSound&) = delete;
    TDirectSound& operator=(const TDirectSound&) = delete;

    IDirectSound* IDSound() const { return sound_.get(); }
    // Stores the result code; the caller does not act on it.
    void SetCooperativeLevel(uintptr_t window, uint32_t level);

    // A new, empty buffer registered with this device.
    TDirectSoundBuffer& AddBuffer();
    // Frees a buffer of this device (releasing its interface).
    void FreeBuffer(TDirectSoundBuffer& buffer);
    size_t BufferCount() const { return buffers_.size(); }

    bool GlobalFocus = false;
    bool StickyFocus = false;

private:
    ServiceRef<IDirectSound> sound_;
    std::vector<std::unique_ptr<TDirectSoundBuffer>> buffers_;
};

// The device the component opens; knows its component.
class TDXSoundDirectSound : public TDirectSound {
public:
    TDXSoundDirectSound(TCustomDXSound& owner, const GUID* guid) : TDirectSound(guid), owner_(owner) {}
    TCustomDXSound& DXSound() const { return owner_; }

private:
    TCustomDXSound& owner_;
};

class TDirectSoundBuffer : public TDirectX {
public:
    explicit TDirectSoundBuffer(TDirectSound& device) : device_(device) {}
    TDirectSoundBuffer(const TDirectSoundBuffer&) = delete;
    TDirectSoundBuffer& operator=(const TDirectSoundBuffer&) = delete;

    // Creates the buffer; on success reads its caps and format, ignoring their results.
    bool CreateBuffer(const DSBUFFERDESC& desc);
    IDirectSoundBuffer* IBuffer() const { return buffer_.get(); }
    const DSBCAPS& Caps() const { return caps_; }
    const std::vector<uint8_t>& Format() const { return format_; }   // the raw WAVEFORMATEX block

private:
    TDirectSound& device_;
    ServiceRef<IDirectSoundBuffer> buffer_;
    DSBCAPS caps_{};
    std::vector<uint8_t> format_;
};

// Puts the component's handler in front of the window's own event handling: every
// event is offered to the handler and then goes on to the window. Removed again on
// destruction.
class TControlSubClass : public QObject {
public:
    using Handler = std::function<void(QEvent& event)>;
    TControlSubClass(QWidget& window, Handler handler);
    ~TControlSubClass() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    Handler handler_;
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
    TDirectSoundBuffer* Primary() const { return primary_; }

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
    const GUID* driver_ = nullptr;   // never set: the default device
    TDXSoundOptions options_ = 0;
    TDXSoundOptions nowOptions_ = 0;
    std::unique_ptr<TDXSoundDirectSound> device_;
    TDirectSoundBuffer* primary_ = nullptr;   // owned by device_
    QPointer<QWidget> form_;
    std::unique_ptr<TControlSubClass> hook_;
};

// The published form, as the main window's layout sets it.
class TDXSound : public TCustomDXSound {
public:
    using TCustomDXSound::TCustomDXSound;
};
