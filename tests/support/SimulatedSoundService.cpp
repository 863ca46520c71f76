// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/support/SimulatedSoundService.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "capture/CaptureDrivers.h"
#include "capture/SoundLibrary.h"

using namespace veldora::capture;
using namespace veldora::sound;

SimulatedSoundService* SimulatedSoundService::current_ = nullptr;

namespace {

std::atomic<int> gLiveObjects{0};

// Reference counting shared by the simulated objects: one reference from the creator,
// the object deletes itself on its last release, as service objects do.
template <class Interface> class Counted : public Interface {
  public:
    Counted() { ++gLiveObjects; }
    ~Counted() override { --gLiveObjects; }
    uint32_t AddRef() override { return ++references_; }
    uint32_t Release() override {
        const uint32_t left = --references_;
        if (left == 0) {
            beforeDelete();
            delete this;
        }
        return left;
    }

  protected:
    virtual void beforeDelete() {}

  private:
    std::atomic<uint32_t> references_{1};
};

class SimulatedSoundBuffer : public Counted<IDirectSoundBuffer> {
  public:
    HRESULT GetCaps(DSBCAPS* caps) override {
        if (!caps)
            return DSERR_INVALIDPARAM;
        caps->dwFlags = DSBCAPS_PRIMARYBUFFER;
        caps->dwBufferBytes = 0;
        caps->dwUnlockTransferRate = 0;
        caps->dwPlayCpuOverhead = 0;
        return DS_OK;
    }
    HRESULT GetFormat(WAVEFORMATEX* format, uint32_t sizeAllocated, uint32_t* sizeWritten) override {
        if (!format) {
            if (!sizeWritten)
                return DSERR_INVALIDPARAM;
            *sizeWritten = sizeof(WAVEFORMATEX);
            return DS_OK;
        }
        if (sizeAllocated < sizeof(WAVEFORMATEX))
            return DSERR_INVALIDPARAM;
        *format = WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
        if (sizeWritten)
            *sizeWritten = sizeof(WAVEFORMATEX);
        return DS_OK;
    }
};

class SimulatedDirectSound : public Counted<IDirectSound> {
  public:
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown*) override {
        if (!desc || !buffer)
            return DSERR_INVALIDPARAM;
        *buffer = new SimulatedSoundBuffer; // counted: frees itself on its last Release
        return DS_OK;
    }
    HRESULT SetCooperativeLevel(uintptr_t, uint32_t) override { return DS_OK; }
};

} // namespace

// A looping capture ring, filled by a generator thread at the service's byte rate
// and/or by pushBytes. The ring is guarded by mutex_; Lock hands out a copy.
class SimulatedCaptureBuffer : public Counted<IDirectSoundCaptureBuffer> {
  public:
    SimulatedCaptureBuffer(SimulatedSoundService& service, uint32_t bytes)
        : service_(service), ring_(bytes) {}

    HRESULT GetCurrentPosition(uint32_t* capturePosition, uint32_t* readPosition) override {
        if (setUpFailed_.load())
            return DSERR_NODRIVER;
        if (const int lost = lost_.load(); lost != 0)
            return captureLostResult(lost);
        if (service_.positionFailure_)
            return DSERR_GENERIC;
        std::lock_guard lock(mutex_);
        const auto position = static_cast<uint32_t>(written_ % ring_.size());
        if (capturePosition)
            *capturePosition = position;
        if (readPosition)
            *readPosition = position;
        return DS_OK;
    }

    HRESULT Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1, void** region2,
                 uint32_t* size2, uint32_t) override {
        ++service_.lockCalls_;
        if (service_.lockFailure_)
            return DSERR_GENERIC;
        const int allowed = service_.locksBeforeFailure_;
        if (allowed == 0)
            return DSERR_GENERIC;
        if (allowed > 0)
            service_.locksBeforeFailure_ = allowed - 1;
        if (!region1 || !size1 || offset >= ring_.size() || bytes > ring_.size())
            return DSERR_INVALIDPARAM;
        const uint32_t first = std::min<uint32_t>(bytes, static_cast<uint32_t>(ring_.size()) - offset);
        const uint32_t second = bytes - first;
        copy_.resize(bytes);
        {
            std::lock_guard lock(mutex_);
            std::memcpy(copy_.data(), ring_.data() + offset, first);
            std::memcpy(copy_.data() + first, ring_.data(), second);
        }
        *region1 = copy_.data();
        *size1 = first;
        if (region2)
            *region2 = second ? copy_.data() + first : nullptr;
        if (size2)
            *size2 = second;
        return DS_OK;
    }

    HRESULT Unlock(void*, uint32_t, void*, uint32_t) override { return DS_OK; }

    // Under the ring's lock, so never lapped; fails as the position query or a lock would.
    HRESULT ReadNewest(void* out, uint32_t bytes, uint64_t* end) override {
        ++service_.readNewestCalls_;
        if (!out || !end || bytes == 0 || bytes > ring_.size())
            return DSERR_INVALIDPARAM;
        if (setUpFailed_.load())
            return DSERR_NODRIVER;
        if (const int lost = lost_.load(); lost != 0)
            return captureLostResult(lost);
        if (service_.positionFailure_ || service_.lockFailure_)
            return DSERR_GENERIC;
        std::lock_guard lock(mutex_);
        *end = written_;
        if (written_ < bytes)
            return DSERR_GENERIC;
        for (uint32_t i = 0; i < bytes; ++i)
            static_cast<uint8_t*>(out)[i] = ring_[(written_ - bytes + i) % ring_.size()];
        return DS_OK;
    }

    std::atomic<int> lost_{0}; // errno the device ended the capture with; 0 while it runs
    std::atomic<bool> setUpFailed_{false};

    HRESULT Start(uint32_t) override {
        ++service_.startCalls_;
        if (const int failing = service_.startsToFail_.load(); failing > 0) {
            service_.startsToFail_ = failing - 1;
            return service_.failedStartResult_;
        }
        if (service_.nextSetUpFails_.exchange(false))
            setUpFailed_ = true;
        if (!generator_.joinable()) {
            stopping_ = false;
            generator_ = std::thread([this] { generate(); });
        }
        service_.bufferStarted(this);
        return DS_OK;
    }

    HRESULT GetStatus(uint32_t* status) override {
        if (!status)
            return DSERR_INVALIDPARAM;
        std::lock_guard lock(mutex_);
        const bool capturing = generator_.joinable() && !stopping_ && !setUpFailed_ && lost_ == 0;
        *status = capturing ? DSCBSTATUS_CAPTURING | DSCBSTATUS_LOOPING : 0;
        return DS_OK;
    }

    HRESULT Stop() override {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (generator_.joinable())
            generator_.join();
        return DS_OK;
    }

    // Appends bytes at the capture position (nothing while the device is stalled).
    void write(const uint8_t* bytes, size_t count) {
        if (service_.stalled_)
            return;
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < count; ++i)
            ring_[(written_ + i) % ring_.size()] = bytes[i];
        written_ += count;
    }
    void writePattern(uint64_t count) {
        if (service_.stalled_)
            return;
        std::lock_guard lock(mutex_);
        for (uint64_t i = 0; i < count; ++i)
            ring_[(written_ + i) % ring_.size()] = SimulatedSoundService::patternByte(written_ + i);
        written_ += count;
    }
    uint32_t size() const { return static_cast<uint32_t>(ring_.size()); }
    uint64_t written() const {
        std::lock_guard lock(mutex_);
        return written_;
    }

  private:
    void beforeDelete() override {
        Stop();
        service_.bufferGone(this);
    }

    void generate() {
        using Clock = std::chrono::steady_clock;
        auto last = Clock::now();
        uint64_t carry = 0; // byte-nanoseconds not yet written
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(2), [this] { return stopping_; })) {
            const auto now = Clock::now();
            const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - last).count();
            last = now;
            carry += static_cast<uint64_t>(elapsed) * service_.byteRate_;
            const uint64_t due = carry / 1000000000u;
            carry %= 1000000000u;
            if (due == 0 || service_.stalled_)
                continue;
            for (uint64_t i = 0; i < due; ++i)
                ring_[(written_ + i) % ring_.size()] = SimulatedSoundService::patternByte(written_ + i);
            written_ += due;
        }
    }

    SimulatedSoundService& service_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<uint8_t> ring_;
    uint64_t written_ = 0;
    bool stopping_ = false;
    std::thread generator_;
    std::vector<uint8_t> copy_; // what the last Lock handed out; the reader's thread only
};

class SimulatedCapture : public Counted<IDirectSoundCapture> {
  public:
    explicit SimulatedCapture(SimulatedSoundService& service) : service_(service) {}
    HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* desc, IDirectSoundCaptureBuffer** buffer,
                                IUnknown*) override {
        return service_.createBuffer(desc, buffer);
    }

  private:
    SimulatedSoundService& service_;
};

SimulatedSoundService::SimulatedSoundService() {
    if (current_)
        throw std::logic_error("one SimulatedSoundService at a time");
    current_ = this;
    GUID card{};
    card.bytes[0] = 0x01;
    devices_ = {{std::nullopt, "Primary Sound Capture Driver", ""}, {card, "Simulated Card", "hw:0"}};
    acceptAllFormats();
    FreeLoadedLibraries();
    FreeCaptureDrivers();
    install();
}

SimulatedSoundService::~SimulatedSoundService() {
    SoundLibraryTestSeam::unregisterInProcessLibrary(kSoundLibraryName);
    SoundLibraryTestSeam::setLibraryDirectory("");
    FreeLoadedLibraries();
    FreeCaptureDrivers();
    current_ = nullptr;
}

void SimulatedSoundService::setLibraryMissing(bool missing) {
    FreeLoadedLibraries();
    if (missing) {
        SoundLibraryTestSeam::unregisterInProcessLibrary(kSoundLibraryName);
        SoundLibraryTestSeam::setLibraryDirectory("/nonexistent-veldora-library-directory");
    } else {
        SoundLibraryTestSeam::setLibraryDirectory("");
        install();
    }
}

void SimulatedSoundService::install() {
    SoundLibraryTestSeam::registerInProcessLibrary(
        kSoundLibraryName, [this](const std::string& name) { return entryPoint(name); });
}

void* SimulatedSoundService::entryPoint(const std::string& name) {
    std::lock_guard lock(mutex_);
    if (std::find(removedEntryPoints_.begin(), removedEntryPoints_.end(), name) != removedEntryPoints_.end())
        return nullptr;
    if (name == "DirectSoundCreate")
        return reinterpret_cast<void*>(&entryDirectSoundCreate);
    if (name == "DirectSoundCaptureCreate")
        return reinterpret_cast<void*>(&entryCaptureCreate);
    if (name == "DirectSoundCaptureEnumerateA")
        return reinterpret_cast<void*>(&entryEnumerate);
    return nullptr;
}

void SimulatedSoundService::removeEntryPoint(const std::string& name) {
    std::lock_guard lock(mutex_);
    removedEntryPoints_.push_back(name);
}

void SimulatedSoundService::setDevices(std::vector<Device> devices) {
    std::lock_guard lock(mutex_);
    devices_ = std::move(devices);
}

void SimulatedSoundService::failEnumerationAfter(int devicesBeforeFailure, HRESULT result) {
    std::lock_guard lock(mutex_);
    enumerateFailAfter_ = devicesBeforeFailure;
    enumerateFailResult_ = result;
}

void SimulatedSoundService::acceptAllFormats() {
    setFormatRule([](const Format&) { return DS_OK; });
}

void SimulatedSoundService::acceptFormats(std::vector<Format> formats) {
    setFormatRule([formats = std::move(formats)](const Format& format) {
        return std::find(formats.begin(), formats.end(), format) != formats.end() ? DS_OK : DSERR_BADFORMAT;
    });
}

void SimulatedSoundService::setFormatRule(FormatRule rule) {
    std::lock_guard lock(mutex_);
    formatRule_ = std::move(rule);
}

void SimulatedSoundService::setBufferCreateOverride(std::optional<HRESULT> result) {
    std::lock_guard lock(mutex_);
    bufferOverride_ = result;
}

std::vector<SimulatedSoundService::BufferRequest> SimulatedSoundService::bufferRequests() const {
    std::lock_guard lock(mutex_);
    return bufferRequests_;
}

void SimulatedSoundService::clearBufferRequests() {
    std::lock_guard lock(mutex_);
    bufferRequests_.clear();
}

bool SimulatedSoundService::pushBytes(uint32_t count) {
    std::lock_guard lock(mutex_);
    if (!running_)
        return false;
    running_->writePattern(count);
    return true;
}

bool SimulatedSoundService::pushBytes(const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    if (!running_)
        return false;
    running_->write(bytes.data(), bytes.size());
    return true;
}

bool SimulatedSoundService::loseRunningCapture(int errnum) {
    std::lock_guard lock(mutex_);
    if (running_ == nullptr)
        return false;
    running_->lost_ = errnum;
    return true;
}

bool SimulatedSoundService::bufferRunning() const {
    std::lock_guard lock(mutex_);
    return running_ != nullptr;
}

uint32_t SimulatedSoundService::ringBytes() const {
    std::lock_guard lock(mutex_);
    return running_ ? running_->size() : 0;
}

uint64_t SimulatedSoundService::bytesCaptured() const {
    std::lock_guard lock(mutex_);
    return running_ ? running_->written() : 0;
}

int SimulatedSoundService::liveObjects() {
    return gLiveObjects.load();
}

HRESULT SimulatedSoundService::createBuffer(const DSCBUFFERDESC* desc, IDirectSoundCaptureBuffer** buffer) {
    if (!desc || !buffer || !desc->lpwfxFormat)
        return DSERR_INVALIDPARAM;
    const WAVEFORMATEX& wave = *desc->lpwfxFormat;
    const Format format{static_cast<int32_t>(wave.nSamplesPerSec), wave.wBitsPerSample, wave.nChannels};
    HRESULT result;
    {
        std::lock_guard lock(mutex_);
        result = bufferOverride_ ? *bufferOverride_ : formatRule_(format);
        bufferRequests_.push_back(
            {format, desc->dwSize, desc->dwBufferBytes, wave.nBlockAlign, wave.nAvgBytesPerSec, result});
    }
    // Success codes other than 0 still hand out a buffer: the caller must release it.
    if (result < 0 || desc->dwBufferBytes == 0)
        return result < 0 ? result : DSERR_INVALIDPARAM;
    *buffer = new SimulatedCaptureBuffer(*this, desc->dwBufferBytes); // counted: frees itself
    return result;
}

void SimulatedSoundService::bufferStarted(SimulatedCaptureBuffer* buffer) {
    std::lock_guard lock(mutex_);
    running_ = buffer;
}

void SimulatedSoundService::bufferGone(SimulatedCaptureBuffer* buffer) {
    std::lock_guard lock(mutex_);
    if (running_ == buffer)
        running_ = nullptr;
}

HRESULT SimulatedSoundService::entryDirectSoundCreate(const GUID*, IDirectSound** sound, IUnknown*) {
    if (!current_ || !sound)
        return DSERR_INVALIDPARAM;
    const HRESULT result = current_->playbackOpenResult_;
    if (result != DS_OK)
        return result;
    *sound = new SimulatedDirectSound; // counted: frees itself
    return DS_OK;
}

HRESULT SimulatedSoundService::entryCaptureCreate(const GUID* device, IDirectSoundCapture** capture,
                                                  IUnknown*) {
    SimulatedSoundService* service = current_;
    if (!service || !capture)
        return DSERR_INVALIDPARAM;
    HRESULT result;
    {
        std::lock_guard lock(service->mutex_);
        ++service->openCalls_;
        service->lastOpenGuid_ = device ? std::optional<GUID>(*device) : std::nullopt;
        result = service->openResult_;
    }
    if (result != DS_OK)
        return result;
    *capture = new SimulatedCapture(*service); // counted: frees itself
    return DS_OK;
}

HRESULT SimulatedSoundService::entryEnumerate(LPDSENUMCALLBACKA callback, void* context) {
    SimulatedSoundService* service = current_;
    if (!service || !callback)
        return DSERR_INVALIDPARAM;
    std::vector<Device> devices;
    int failAfter;
    HRESULT failResult;
    {
        std::lock_guard lock(service->mutex_);
        ++service->enumerateCalls_;
        devices = service->devices_;
        failAfter = service->enumerateFailAfter_;
        failResult = service->enumerateFailResult_;
    }
    for (size_t i = 0; i < devices.size(); ++i) {
        if (failAfter >= 0 && static_cast<int>(i) == failAfter)
            return failResult;
        GUID guid = devices[i].guid.value_or(GUID{});
        if (!callback(devices[i].guid ? &guid : nullptr, devices[i].description.c_str(),
                      devices[i].module.c_str(), context))
            break;
    }
    if (failAfter >= 0 && static_cast<size_t>(failAfter) >= devices.size())
        return failResult;
    return DS_OK;
}
