// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound service against a real sound server. tests/e2e/real_capture.sh starts
// PulseAudio, sets the scene and runs these with VELDORA_REAL_AUDIO=1 and
// VELDORA_REAL_AUDIO_SCENE naming what the default source is:
//   tone      a 1 kHz sine source at 48000 Hz
//   silence   a null sink's monitor with nothing playing
//   played    that monitor while a sine of amplitude 0.5 plays into the sink, at
//             VELDORA_REAL_AUDIO_HZ (1025 Hz: 10 ms of it is not a whole number of
//             cycles, so a lost or repeated period breaks its phase)
//   noserver  no daemon at all
// Without VELDORA_REAL_AUDIO=1 they skip.
#include "ServiceAlsaLibrary.h"
#include "ServiceAlsaToneCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <thread>

using namespace veldora::sound;
using namespace veldora::servicetest;

namespace {

const ServiceAlsaLibrary& lib() {
    return ServiceAlsaLibrary::get();
}

std::string scene() {
    const char* value = std::getenv("VELDORA_REAL_AUDIO_SCENE");
    return value != nullptr ? value : "";
}

#define REQUIRE_SCENE(...)                                                                                   \
    do {                                                                                                     \
        if (!realAudioEnabled()) {                                                                           \
            GTEST_SKIP() << "needs a sound server: VELDORA_REAL_AUDIO=1";                                    \
        }                                                                                                    \
        const std::vector<std::string> scenes{__VA_ARGS__};                                                  \
        if (std::find(scenes.begin(), scenes.end(), scene()) == scenes.end()) {                              \
            GTEST_SKIP() << "scene is '" << scene() << "'";                                                  \
        }                                                                                                    \
    } while (false)

TEST(ServiceAlsaRealAudio, EnumerationListsTheDefaultAndTheServer) {
    REQUIRE_SCENE("tone", "silence");
    const auto devices = enumerateDevices();
    ASSERT_FALSE(devices.empty());
    EXPECT_TRUE(devices[0].nullGuid);
    EXPECT_TRUE(std::any_of(devices.begin(), devices.end(),
                            [](const EnumeratedDevice& d) { return d.module == "pulse"; }));
}

TEST(ServiceAlsaRealAudio, DefaultDeviceAcceptsEveryProbedFormat) {
    REQUIRE_SCENE("tone", "silence");
    Held<IDirectSoundCapture> device;
    ASSERT_EQ(lib().captureCreate(nullptr, device.out(), nullptr), DS_OK);
    int accepted = 0;
    for (uint32_t rate : {8000u, 11025u, 22050u, 33075u, 44100u, 48000u, 96000u}) {
        for (uint16_t bits : {8, 16, 24, 32}) {
            for (uint16_t channels : {1, 2}) {
                CaptureRequest request(rate, bits, channels, rate * channels * (bits / 8)); // one second
                Held<IDirectSoundCaptureBuffer> buffer;
                const HRESULT result = device->CreateCaptureBuffer(&request.desc, buffer.out(), nullptr);
                EXPECT_EQ(result, DS_OK) << rate << "/" << bits << "/" << channels;
                accepted += result == DS_OK;
            }
        }
    }
    EXPECT_EQ(accepted, 56);
    // The server still refuses what ALSA cannot express.
    CaptureRequest odd(48000, 16, 1, 96000);
    odd.format.wFormatTag = 3;
    Held<IDirectSoundCaptureBuffer> buffer;
    EXPECT_EQ(device->CreateCaptureBuffer(&odd.desc, buffer.out(), nullptr), DSERR_BADFORMAT);
}

// Captures at 48000 Hz, 16 bit, mono, and hands back the last half second of samples,
// full scale 1.0, as soon as `accept` takes them: a server starting up, or a player
// reaching it, may hand out silence first. Gives up after 10 s and hands back the last
// half second then.
template <class Accept> std::vector<double> captureHalfSecond(Accept accept) {
    Held<IDirectSoundCapture> device;
    EXPECT_EQ(lib().captureCreate(nullptr, device.out(), nullptr), DS_OK);
    if (device.p == nullptr) {
        return {};
    }
    constexpr uint32_t kRing = 98304;   // 1024 ms, as the program asks
    constexpr uint32_t kWanted = 48000; // bytes: 0.5 s
    CaptureRequest request(48000, 16, 1, kRing);
    Held<IDirectSoundCaptureBuffer> buffer;
    EXPECT_EQ(device->CreateCaptureBuffer(&request.desc, buffer.out(), nullptr), DS_OK);
    if (buffer.p == nullptr) {
        return {};
    }
    EXPECT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    // Counts the bytes captured; waits at most 10 s in all.
    uint64_t captured = 0;
    uint32_t last = 0;
    std::vector<double> samples;
    for (int i = 0; i < 1000; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        uint32_t position = 0;
        EXPECT_EQ(buffer->GetCurrentPosition(nullptr, &position), DS_OK);
        captured += (position + kRing - last) % kRing;
        last = position;
        if (captured < kWanted || i % 10 != 0) {
            continue;
        }
        void* p1 = nullptr;
        void* p2 = nullptr;
        uint32_t s1 = 0;
        uint32_t s2 = 0;
        EXPECT_EQ(buffer->Lock((position + kRing - kWanted) % kRing, kWanted, &p1, &s1, &p2, &s2, 0), DS_OK);
        std::vector<uint8_t> bytes(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + s1);
        if (p2 != nullptr) {
            bytes.insert(bytes.end(), static_cast<uint8_t*>(p2), static_cast<uint8_t*>(p2) + s2);
        }
        EXPECT_EQ(buffer->Unlock(p1, s1, p2, s2), DS_OK);
        samples.assign(bytes.size() / 2, 0.0);
        for (size_t k = 0; k < samples.size(); ++k) {
            samples[k] = int16_t(uint16_t(bytes[2 * k] | bytes[2 * k + 1] << 8)) / 32768.0;
        }
        if (accept(samples)) {
            break;
        }
    }
    EXPECT_EQ(buffer->Stop(), DS_OK);
    EXPECT_GE(captured, kWanted) << "the device stopped delivering";
    return samples;
}

// module-sine-source plays a sine of amplitude 0.5 (measured here: RMS 0.354); the
// played scene plays one of the same amplitude.
constexpr double kMinRms = 0.3;
constexpr double kMaxRms = 0.4;

TEST(ServiceAlsaRealAudio, CapturedToneIsTheSourcesSine) {
    REQUIRE_SCENE("tone", "played");
    const double hz = sceneToneHz();
    const std::vector<double> samples = captureHalfSecond([hz](const std::vector<double>& s) {
        return isTone(analyseTone(s, 48000, hz), hz, kMinRms, kMaxRms);
    });
    ASSERT_EQ(samples.size(), 24000u);
    const ToneReport report = analyseTone(samples, 48000, hz);
    std::cout << "tone: rms " << report.rms << ", share " << report.toneShare << ", crossings "
              << report.crossingHz << " Hz\n";
    EXPECT_TRUE(isTone(report, hz, kMinRms, kMaxRms));
}

TEST(ServiceAlsaRealAudio, SilentSourceFailsTheToneCheck) {
    REQUIRE_SCENE("silence");
    const std::vector<double> samples = captureHalfSecond([](const std::vector<double>&) { return true; });
    ASSERT_EQ(samples.size(), 24000u);
    const ToneReport report = analyseTone(samples, 48000, 1000);
    std::cout << "silence: rms " << report.rms << ", share " << report.toneShare << ", crossings "
              << report.crossingHz << " Hz\n";
    EXPECT_FALSE(isTone(report, 1000, kMinRms, kMaxRms));
    EXPECT_LT(report.rms, 0.001);
}

TEST(ServiceAlsaRealAudio, NoServerMeansNoDefaultDevice) {
    REQUIRE_SCENE("noserver");
    IDirectSoundCapture* capture = reinterpret_cast<IDirectSoundCapture*>(0x1);
    EXPECT_EQ(lib().captureCreate(nullptr, &capture, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(capture, nullptr);
    IDirectSound* sound = reinterpret_cast<IDirectSound*>(0x1);
    EXPECT_EQ(lib().create(nullptr, &sound, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(sound, nullptr);
    // The list still starts with the default entry: the program lists what it is told.
    const auto devices = enumerateDevices();
    ASSERT_FALSE(devices.empty());
    EXPECT_TRUE(devices[0].nullGuid);
}

} // namespace
