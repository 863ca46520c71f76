// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The sound service's interface, shared by the service library (capture/service/),
// the program's binding to it and the simulated service of the tests. Calls return
// a 32-bit result code: 0 is success, every other value (success codes included)
// counts as failure for the program. Objects are reference counted: the creator
// hands out one reference, Release() drops it.
#include <cstdint>

namespace veldora::sound {

using HRESULT = int32_t;

constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_GENERIC = static_cast<HRESULT>(0x80004005);
constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064);
constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000A);
constexpr HRESULT DSERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032);
// A capture that its device ended (the sound server went away, the card was
// unplugged): the system's error number (errno) is in the low 16 bits.
constexpr HRESULT DSERR_CAPTURELOST = static_cast<HRESULT>(0x88790000);
constexpr HRESULT captureLostResult(int errnum) {
    return static_cast<HRESULT>(static_cast<uint32_t>(DSERR_CAPTURELOST) |
                                (static_cast<uint32_t>(errnum) & 0xFFFF));
}
constexpr bool isCaptureLost(HRESULT result) {
    return (static_cast<uint32_t>(result) & 0xFFFF0000u) == static_cast<uint32_t>(DSERR_CAPTURELOST);
}
constexpr int captureLostErrno(HRESULT result) {
    return static_cast<int>(static_cast<uint32_t>(result) & 0xFFFF);
}

#pragma pack(push, 1)
struct GUID {
    uint8_t bytes[16];
};

constexpr uint16_t WAVE_FORMAT_PCM = 1;
struct WAVEFORMATEX { // 18 bytes
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

struct DSCBUFFERDESC {
    uint32_t dwSize; // 20: the record without its effect fields
    uint32_t dwFlags;
    uint32_t dwBufferBytes; // ring size in bytes
    uint32_t dwReserved;
    WAVEFORMATEX* lpwfxFormat;
};

constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 1;
struct DSBUFFERDESC {
    uint32_t dwSize; // 36
    uint32_t dwFlags;
    uint32_t dwBufferBytes;
    uint32_t dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
};

struct DSBCAPS {
    uint32_t dwSize; // 20
    uint32_t dwFlags;
    uint32_t dwBufferBytes;
    uint32_t dwUnlockTransferRate;
    uint32_t dwPlayCpuOverhead;
};

constexpr uint32_t DSCBSTART_LOOPING = 1;
constexpr uint32_t DSCBSTATUS_CAPTURING = 1;
constexpr uint32_t DSCBSTATUS_LOOPING = 2;
constexpr uint32_t DSSCL_NORMAL = 1;
constexpr uint32_t DSSCL_EXCLUSIVE = 3;

class IUnknown {
  public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

  protected:
    virtual ~IUnknown() = default;
};

// A looping capture ring. Offsets are bytes in the ring. The service's capture
// thread writes; the program reads below the read position.
class IDirectSoundCaptureBuffer : public IUnknown {
  public:
    // capturePosition: where the device writes next; readPosition: everything before
    // it (cyclically, since the last read) is safe to read. Either pointer may be null.
    // After the device ended the capture: captureLostResult(errno), positions as they
    // stood; DSERR_NODRIVER when it ended before capturing anything, since the device
    // could not be set up.
    virtual HRESULT GetCurrentPosition(uint32_t* capturePosition, uint32_t* readPosition) = 0;
    // One or two regions whose sizes add up to `bytes`; region 2 is null (size 0) when
    // the span does not wrap the ring's end.
    virtual HRESULT Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1, void** region2,
                         uint32_t* size2, uint32_t flags) = 0;
    virtual HRESULT Unlock(void* region1, uint32_t size1, void* region2, uint32_t size2) = 0;
    // Copies the newest `bytes` captured bytes, those that end at the read position, to
    // `out`, and gives in *end the running count of bytes captured into this ring at their
    // end (their last byte lies at offset *end - 1 mod the ring size). Exact where a
    // distance between offsets cannot be: DS_OK only when none of the bytes was
    // overwritten during the copy (a writer that lapped the reader is caught, and the
    // copy retried on newer bytes). DSERR_INVALIDPARAM for a null out or end, 0 bytes or
    // more than the ring; DSERR_GENERIC, with *end set, while fewer than `bytes` have been
    // captured or when every retry was lapped; captureLostResult and DSERR_NODRIVER as
    // GetCurrentPosition.
    // On failure `out` may hold anything.
    virtual HRESULT ReadNewest(void* out, uint32_t bytes, uint64_t* end) = 0;
    // DSCBSTART_LOOPING. Fails when the device cannot be set up to capture; a service
    // that sets the device up after returning reports that failure through
    // GetCurrentPosition instead.
    virtual HRESULT Start(uint32_t flags) = 0;
    virtual HRESULT Stop() = 0;
    // DSCBSTATUS_CAPTURING once the device is set up and capturing (with
    // DSCBSTATUS_LOOPING for a looping start), until Stop or the capture ends; 0 before.
    virtual HRESULT GetStatus(uint32_t* status) = 0;
};

class IDirectSoundCapture : public IUnknown {
  public:
    // Succeeds (0) exactly when the device accepts the format and size.
    virtual HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* desc, IDirectSoundCaptureBuffer** buffer,
                                        IUnknown* outer) = 0;
};

class IDirectSoundBuffer : public IUnknown {
  public:
    virtual HRESULT GetCaps(DSBCAPS* caps) = 0;
    // With format null, reports the size needed in *sizeWritten.
    virtual HRESULT GetFormat(WAVEFORMATEX* format, uint32_t sizeAllocated, uint32_t* sizeWritten) = 0;
};

class IDirectSound : public IUnknown {
  public:
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer,
                                      IUnknown* outer) = 0;
    virtual HRESULT SetCooperativeLevel(uintptr_t window, uint32_t level) = 0;
};

// Called once per capture device, the default device first with a null GUID.
// Returning nonzero continues the enumeration.
using LPDSENUMCALLBACKA = int (*)(GUID* guid, const char* description, const char* module, void* context);

// The library's DirectSound entry points, looked up by name.
using DirectSoundCreateProc = HRESULT (*)(const GUID* device, IDirectSound** sound, IUnknown* outer);
using DirectSoundCaptureCreateProc = HRESULT (*)(const GUID* device, IDirectSoundCapture** capture,
                                                 IUnknown* outer);
using DirectSoundCaptureEnumerateAProc = HRESULT (*)(LPDSENUMCALLBACKA callback, void* context);
// And one of its own: 1 once every thread of the library that may wait on a sound server
// has ended and been joined (waiting up to waitMilliseconds), so that it may be unloaded;
// 0 while one is still inside a server that stopped answering.
using VeldoraSoundThreadsEndedProc = int (*)(uint32_t waitMilliseconds);

// The file name of the service library, next to the executable.
constexpr const char* kSoundLibraryName = "libveldorasound.so";

} // namespace veldora::sound
