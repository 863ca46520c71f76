// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Test access to the real sound-service library, loaded the way the program loads it:
// dlopen of libveldorasound.so next to the running executable.
#include "capture/SoundService.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace veldora::servicetest {

struct ServiceAlsaLibrary {
    void* handle = nullptr;
    veldora::sound::DirectSoundCreateProc create = nullptr;
    veldora::sound::DirectSoundCaptureCreateProc captureCreate = nullptr;
    veldora::sound::DirectSoundCaptureEnumerateAProc enumerate = nullptr;
    veldora::sound::VeldoraSoundThreadsEndedProc threadsEnded = nullptr;

    static std::string path() {
        char exe[PATH_MAX] = {};
        const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        std::string dir(exe, n > 0 ? static_cast<size_t>(n) : 0);
        dir = dir.substr(0, dir.rfind('/') + 1);
        return dir + veldora::sound::kSoundLibraryName;
    }

    // Loaded once per test program; stays loaded (as in the program).
    static const ServiceAlsaLibrary& get() {
        static const ServiceAlsaLibrary library = [] {
            ServiceAlsaLibrary l;
            l.handle = dlopen(path().c_str(), RTLD_NOW | RTLD_LOCAL);
            if (l.handle != nullptr) {
                l.create = reinterpret_cast<veldora::sound::DirectSoundCreateProc>(
                    dlsym(l.handle, "DirectSoundCreate"));
                l.captureCreate = reinterpret_cast<veldora::sound::DirectSoundCaptureCreateProc>(
                    dlsym(l.handle, "DirectSoundCaptureCreate"));
                l.enumerate = reinterpret_cast<veldora::sound::DirectSoundCaptureEnumerateAProc>(
                    dlsym(l.handle, "DirectSoundCaptureEnumerateA"));
                l.threadsEnded = reinterpret_cast<veldora::sound::VeldoraSoundThreadsEndedProc>(
                    dlsym(l.handle, "VeldoraSoundThreadsEnded"));
            }
            return l;
        }();
        return library;
    }
};

struct EnumeratedDevice {
    bool nullGuid = false;
    veldora::sound::GUID guid{};
    std::string description;
    std::string module;
};

inline std::vector<EnumeratedDevice> enumerateDevices() {
    std::vector<EnumeratedDevice> devices;
    const auto callback = [](veldora::sound::GUID* guid, const char* description, const char* module,
                             void* context) -> int {
        EnumeratedDevice device;
        device.nullGuid = guid == nullptr;
        if (guid != nullptr) {
            device.guid = *guid;
        }
        device.description = description;
        device.module = module;
        static_cast<std::vector<EnumeratedDevice>*>(context)->push_back(device);
        return 1;
    };
    EXPECT_EQ(ServiceAlsaLibrary::get().enumerate(callback, &devices), veldora::sound::DS_OK);
    return devices;
}

// The GUID of the ALSA device named `module`, which must be listed.
inline veldora::sound::GUID guidOfModule(const std::string& module) {
    for (const EnumeratedDevice& device : enumerateDevices()) {
        if (device.module == module) {
            return device.guid;
        }
    }
    ADD_FAILURE() << module << " is not listed";
    return veldora::sound::GUID{};
}

// A held service reference, released at scope end.
template <class T> struct Held {
    T* p = nullptr;
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() { reset(); }
    void reset() {
        if (p != nullptr) {
            p->Release();
            p = nullptr;
        }
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

// A PCM record as the program fills it, with a ring of `bytes`.
struct CaptureRequest {
    veldora::sound::WAVEFORMATEX format{};
    veldora::sound::DSCBUFFERDESC desc{};

    CaptureRequest(uint32_t rate, uint16_t bits, uint16_t channels, uint32_t bytes) {
        format.wFormatTag = veldora::sound::WAVE_FORMAT_PCM;
        format.nChannels = channels;
        format.nSamplesPerSec = rate;
        format.wBitsPerSample = bits;
        format.nBlockAlign = static_cast<uint16_t>(channels * (bits / 8));
        format.nAvgBytesPerSec = format.nBlockAlign * rate;
        desc.dwSize = 20; // as the program fills it
        desc.dwBufferBytes = bytes;
        desc.lpwfxFormat = &format;
    }
    CaptureRequest(const CaptureRequest&) = delete; // desc points into this object
};

// Opens the capture device `module` and makes a 2 s ring of 48 kHz 16-bit mono capture on
// it, as the program does; a fatal test failure when either cannot be had.
inline void openCapture(const std::string& module, Held<veldora::sound::IDirectSoundCapture>& device,
                        Held<veldora::sound::IDirectSoundCaptureBuffer>& buffer) {
    ASSERT_NE(ServiceAlsaLibrary::get().handle, nullptr) << dlerror();
    const veldora::sound::GUID guid = guidOfModule(module);
    ASSERT_EQ(ServiceAlsaLibrary::get().captureCreate(&guid, device.out(), nullptr), veldora::sound::DS_OK);
    CaptureRequest request(48000, 16, 1, 96000);
    ASSERT_EQ(device->CreateCaptureBuffer(&request.desc, buffer.out(), nullptr), veldora::sound::DS_OK);
}

inline bool realAudioEnabled() {
    const char* value = std::getenv("VELDORA_REAL_AUDIO");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// The frequency of the scene's tone in Hz: VELDORA_REAL_AUDIO_HZ, else 1000.
inline double sceneToneHz() {
    const char* value = std::getenv("VELDORA_REAL_AUDIO_HZ");
    return value != nullptr ? std::atof(value) : 1000.0;
}

} // namespace veldora::servicetest
