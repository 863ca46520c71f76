// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A scriptable sound service for tests, standing in for libveldorasound.so in process.
// The product never uses it. While one exists it is what the program's binding loads
// (through SoundLibraryTestSeam); at most one exists at a time.
//
//   SimulatedSoundService sound;                 // default device + one card, every format
//   sound.acceptFormats({{48000, 16, 1}});       // or setFormatRule(...)
//   TSoundCaptureStream stream(nullptr);
//   stream.Start();
//   sound.pushBytes(1024);                       // by hand: bytes 0..1023 of the pattern
//   sound.setByteRate(96000);                    // or in real time from a generator thread
//
// Notifications reach the handler only while the test's main thread serves
// MainThreadQueue (drain()/serveFor(), or the application's wake-up poster in widget
// tests). Every stream must be freed before the service; liveObjects() then reads 0.
//
// Captured data follows a pattern: byte k of a ring's capture is patternByte(k), unless
// pushed explicitly. Scripting calls may come from the test's main thread at any time;
// the ring is shared with a generator thread under a lock, and Lock hands out a copy,
// so readers never race the writer.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "capture/SoundService.h"

class SimulatedCaptureBuffer;

class SimulatedSoundService {
  public:
    struct Device {
        std::optional<veldora::sound::GUID> guid; // none: reported with a null GUID (the default device)
        std::string description;
        std::string module;
    };
    struct Format {
        int32_t samplesPerSec;
        int32_t bitsPerSample;
        int32_t channels;
        bool operator==(const Format&) const = default;
    };
    // One CreateCaptureBuffer call, in call order.
    struct BufferRequest {
        Format format;
        uint32_t descSize;
        uint32_t bufferBytes;
        uint16_t blockAlign;
        uint32_t avgBytesPerSec;
        veldora::sound::HRESULT result;
    };
    using FormatRule = std::function<veldora::sound::HRESULT(const Format&)>;

    // Installs the service in the binding's place (freeing libraries already loaded and the
    // driver list, so both are rebuilt from this service).
    SimulatedSoundService();
    // Uninstalls it and frees the loaded libraries and the driver list again. Every stream
    // must be gone by then.
    ~SimulatedSoundService();
    SimulatedSoundService(const SimulatedSoundService&) = delete;
    SimulatedSoundService& operator=(const SimulatedSoundService&) = delete;

    static uint8_t patternByte(uint64_t index) { return static_cast<uint8_t>(index % 251); }

    // --- the library
    // Loading the library fails ("not loaded") while set; frees the loaded libraries.
    void setLibraryMissing(bool missing);
    // The library lacks this entry point from now on.
    void removeEntryPoint(const std::string& name);

    // --- enumeration
    // Default: {null GUID, "Primary Sound Capture Driver", ""}, {GUID 01.., "Simulated Card", "hw:0"}.
    void setDevices(std::vector<Device> devices);
    // After `devicesBeforeFailure` callbacks the enumeration returns `result` (a failure code).
    void failEnumerationAfter(int devicesBeforeFailure, veldora::sound::HRESULT result);
    int enumerateCalls() const { return enumerateCalls_; }

    // --- opening (DirectSoundCaptureCreate)
    void setOpenResult(veldora::sound::HRESULT result) { openResult_ = result; }
    int openCalls() const { return openCalls_; }
    // The GUID of the last open, none for the default device (a null pointer).
    std::optional<veldora::sound::GUID> lastOpenGuid() const { return lastOpenGuid_; }

    // --- formats (CreateCaptureBuffer)
    void acceptAllFormats();
    void acceptFormats(std::vector<Format> formats);
    // The rule's result is what CreateCaptureBuffer answers (any code, success codes too).
    void setFormatRule(FormatRule rule);
    // When set, every later CreateCaptureBuffer answers this instead (e.g. to fail Start).
    void setBufferCreateOverride(std::optional<veldora::sound::HRESULT> result);
    std::vector<BufferRequest> bufferRequests() const;
    void clearBufferRequests();

    // --- the running ring (the capture buffer started last)
    // Bytes per second a generator thread adds while a buffer runs; 0: by hand only.
    void setByteRate(uint32_t bytesPerSecond) { byteRate_ = bytesPerSecond; }
    // Appends `count` pattern bytes (or the given bytes) at the capture position; false
    // when no buffer runs.
    bool pushBytes(uint32_t count);
    bool pushBytes(const std::vector<uint8_t>& bytes);
    // Positions stop advancing (the generator and pushBytes add nothing).
    void setStalled(bool stalled) { stalled_ = stalled; }
    void setPositionFailure(bool fail) { positionFailure_ = fail; }
    void setLockFailure(bool fail) { lockFailure_ = fail; }
    // The next `successfulLocks` locks succeed, every later one fails (-1: never).
    void failLocksAfter(int successfulLocks) { locksBeforeFailure_ = successfulLocks; }
    // The next `count` buffer Starts fail with `result` (a device that cannot be set up).
    void failStarts(int count, veldora::sound::HRESULT result) {
        failedStartResult_ = result;
        startsToFail_ = count;
    }
    // The device ends the running capture, as when its server dies: from now on that
    // buffer's position query answers captureLostResult(errnum). False when none runs.
    bool loseRunningCapture(int errnum);
    // The next buffer Start succeeds but the set-up the service does after it fails:
    // the buffer never reports itself capturing, and its position query answers
    // DSERR_NODRIVER.
    void failNextSetUp() { nextSetUpFails_ = true; }
    bool bufferRunning() const;
    uint32_t ringBytes() const;     // size of the running ring, 0 when none
    uint64_t bytesCaptured() const; // bytes written into the running ring
    int lockCalls() const { return lockCalls_; }
    int readNewestCalls() const { return readNewestCalls_; }
    int startCalls() const { return startCalls_; }

    // --- leaks: service objects alive (devices, buffers, playback objects)
    static int liveObjects();

    // --- playback (DirectSoundCreate)
    void setPlaybackOpenResult(veldora::sound::HRESULT result) { playbackOpenResult_ = result; }

  private:
    friend class SimulatedCaptureBuffer;
    friend class SimulatedCapture;
    static veldora::sound::HRESULT entryDirectSoundCreate(const veldora::sound::GUID* device,
                                                          veldora::sound::IDirectSound** sound,
                                                          veldora::sound::IUnknown* outer);
    static veldora::sound::HRESULT entryCaptureCreate(const veldora::sound::GUID* device,
                                                      veldora::sound::IDirectSoundCapture** capture,
                                                      veldora::sound::IUnknown* outer);
    static veldora::sound::HRESULT entryEnumerate(veldora::sound::LPDSENUMCALLBACKA callback, void* context);
    static SimulatedSoundService* current_;

    void install();
    void* entryPoint(const std::string& name);
    veldora::sound::HRESULT createBuffer(const veldora::sound::DSCBUFFERDESC* desc,
                                         veldora::sound::IDirectSoundCaptureBuffer** buffer);
    void bufferStarted(SimulatedCaptureBuffer* buffer);
    void bufferGone(SimulatedCaptureBuffer* buffer);

    mutable std::mutex mutex_; // guards the members below that the binding's threads read
    std::vector<std::string> removedEntryPoints_;
    std::vector<Device> devices_;
    int enumerateFailAfter_ = -1;
    veldora::sound::HRESULT enumerateFailResult_ = veldora::sound::DS_OK;
    int enumerateCalls_ = 0;
    veldora::sound::HRESULT openResult_ = veldora::sound::DS_OK;
    int openCalls_ = 0;
    std::optional<veldora::sound::GUID> lastOpenGuid_;
    FormatRule formatRule_;
    std::optional<veldora::sound::HRESULT> bufferOverride_;
    std::vector<BufferRequest> bufferRequests_;
    SimulatedCaptureBuffer* running_ = nullptr; // the buffer started last, while alive
    veldora::sound::HRESULT playbackOpenResult_ = veldora::sound::DS_OK;

    std::atomic<uint32_t> byteRate_{0};
    std::atomic<bool> stalled_{false};
    std::atomic<bool> positionFailure_{false};
    std::atomic<bool> lockFailure_{false};
    std::atomic<int> lockCalls_{0};
    std::atomic<int> readNewestCalls_{0};
    std::atomic<int> locksBeforeFailure_{-1};
    std::atomic<int> startCalls_{0};
    std::atomic<int> startsToFail_{0};
    std::atomic<bool> nextSetUpFails_{false};
    std::atomic<veldora::sound::HRESULT> failedStartResult_{veldora::sound::DSERR_GENERIC};
};
