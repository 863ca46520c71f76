// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The library's three C entry points, looked up by name by the program's binding.
// Nothing may cross this boundary as an exception: failures become result codes.
#include "capture/SoundService.h"
#include "capture/service/AlsaError.h"
#include "capture/service/AlsaThreads.h"
#include "capture/service/CaptureDevice.h"
#include "capture/service/DeviceList.h"
#include "capture/service/Guarded.h"
#include "capture/service/PlaybackDevice.h"

using namespace veldora::sound;

namespace {

constexpr const char* kDefaultDescription = "Primary Sound Capture Driver";

template <class Body> HRESULT entry(Body&& body) {
    return guarded([&] {
        silenceAlsaErrors();
        return body();
    });
}

} // namespace

#define VELDORA_EXPORT extern "C" __attribute__((visibility("default")))

VELDORA_EXPORT HRESULT DirectSoundCreate(const GUID* device, IDirectSound** sound, IUnknown* outer) {
    if (sound == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *sound = nullptr;
    if (outer != nullptr) {
        return DSERR_INVALIDPARAM;
    }
    return entry([&] { return PlaybackDevice::open(device, sound); });
}

VELDORA_EXPORT HRESULT DirectSoundCaptureCreate(const GUID* device, IDirectSoundCapture** capture,
                                                IUnknown* outer) {
    if (capture == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *capture = nullptr;
    if (outer != nullptr) {
        return DSERR_INVALIDPARAM;
    }
    return entry([&] { return CaptureDevice::open(device, capture); });
}

// The default device first, with a null GUID and an empty module; then every capture
// device ALSA names. A callback answering 0 ends the enumeration (still DS_OK).
VELDORA_EXPORT HRESULT DirectSoundCaptureEnumerateA(LPDSENUMCALLBACKA callback, void* context) {
    if (callback == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    return entry([&] {
        if (callback(nullptr, kDefaultDescription, "", context) == 0) {
            return DS_OK;
        }
        for (AlsaDevice& device : listDevices(SND_PCM_STREAM_CAPTURE)) {
            if (callback(&device.guid, device.description.c_str(), device.name.c_str(), context) == 0) {
                break;
            }
        }
        return DS_OK;
    });
}

// Not a DirectSound entry point: the program's way to learn, at its end, whether it may
// unload this library (see AlsaThreads).
VELDORA_EXPORT int VeldoraSoundThreadsEnded(uint32_t waitMilliseconds) {
    try {
        return AlsaThreads::instance().joinAll(std::chrono::milliseconds(waitMilliseconds)) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
