#include "app/DXSound.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

#include "base/Errors.h"
#include "capture/SoundLibrary.h"

namespace {
// A format block larger than this is not a wave format; it is not read.
constexpr uint32_t kMaxFormatBytes = 4096;
}  // namespace

// --- TDirectSound

TDirectSound::TDirectSound(const GUID* guid) {
    result_ = DirectSoundCreate(guid, sound_.put(), nullptr);
    if (result_ != DS_OK) {
        sound_.reset();   // a failing service may still have handed something out
        throw EDirectSoundError("DirectSound cannot be initialized");
    }
}

TDirectSound::~TDirectSound() {
    while (!buffers_.empty()) {
        buffers_.pop_back();
    }
    sound_.reset();
}

void TDirectSound::SetCooperativeLevel(uintptr_t window, uint32_t level) {
    result_ = sound_->SetCooperativeLevel(window, level);
}

TDirectSoundBuffer& TDirectSound::AddBuffer() {
    buffers_.push_back(std::make_unique<TDirectSoundBuffer>(*this));
    return *buffers_.back();
}

void TDirectSound::FreeBuffer(TDirectSoundBuffer& buffer) {
    const auto it = std::find_if(buffers_.begin(), buffers_.end(), [&](const auto& b) { return b.get() == &buffer; });
    if (it != buffers_.end()) {
        buffers_.erase(it);
    }
}

// --- TDirectSoundBuffer

bool TDirectSoundBuffer::CreateBuffer(const DSBUFFERDESC& desc) {
    buffer_.reset();
    result_ = device_.IDSound()->CreateSoundBuffer(&desc, buffer_.put(), nullptr);
    if (result_ != DS_OK) {
        buffer_.reset();
        return false;
    }
    caps_ = DSBCAPS{};
    caps_.dwSize = 20;
    buffer_->GetCaps(&caps_);
    uint32_t size = 0;
    buffer_->GetFormat(nullptr, 0, &size);
    format_.clear();
    if (size > 0 && size <= kMaxFormatBytes) {
        format_.assign(std::max<uint32_t>(size, sizeof(WAVEFORMATEX)), 0);
        buffer_->GetFormat(reinterpret_cast<WAVEFORMATEX*>(format_.data()), size, nullptr);
    }
    return true;
}

// --- TControlSubClass

TControlSubClass::TControlSubClass(QWidget& window, Handler handler)
    : window_(&window), handler_(std::move(handler)) {
    window.installEventFilter(this);
}

TControlSubClass::~TControlSubClass() {
    if (window_) {
        window_->removeEventFilter(this);
    }
}

bool TControlSubClass::eventFilter(QObject*, QEvent* event) {
    // The handler may free this very hook (re-attaching replaces it): copy what is
    // needed first and touch nothing of the hook afterwards.
    const Handler handler = handler_;
    handler(*event);
    return false;   // every event goes on to the window
}

// --- TCustomDXSound

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
    } catch (const EDirectSoundError&) {
        // No playback device: the program runs on without it.
    }
}

void TCustomDXSound::Initialize() {
    Finalize();
    QWidget* form = FindForm();
    if (!form) {
        throw EDXSoundError("Form not found");
    }
    DoInitializing();
    initializing_ = true;
    try {
        device_ = std::make_unique<TDXSoundDirectSound>(*this, driver_);
        device_->GlobalFocus = (nowOptions_ & soGlobalFocus) != 0;

        primary_ = &device_->AddBuffer();
        DSBUFFERDESC desc{};
        desc.dwSize = 36;
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
        if (!primary_->CreateBuffer(desc)) {
            throw EDXSoundError("Primary Buffer cannot be made");
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
        device_->SetCooperativeLevel(window, (nowOptions_ & soExclusive) ? DSSCL_EXCLUSIVE : DSSCL_NORMAL);
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
    if (OnFinalize) OnFinalize(*this);
}

void TCustomDXSound::DoInitialize() {
    if (OnInitialize) OnInitialize(*this);
}

void TCustomDXSound::DoInitializing() {
    if (OnInitializing) OnInitializing(*this);
}

void TCustomDXSound::DoRestore() {
    if (OnRestore) OnRestore(*this);
}
