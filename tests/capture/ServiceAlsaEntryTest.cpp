// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound-service library through its C entry points, as the program reaches it.
// Needs no sound server: buffers run on ALSA's "null" device, which every ALSA set-up
// has and which captures silence.
#include "ServiceAlsaLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/WaitUntil.h"

using namespace veldora::sound;
using namespace veldora::servicetest;

namespace {

const ServiceAlsaLibrary& lib() {
    return ServiceAlsaLibrary::get();
}

TEST(ServiceAlsaEntry, ExportsTheThreeEntryPoints) {
    ASSERT_NE(lib().handle, nullptr) << dlerror();
    EXPECT_NE(lib().create, nullptr);
    EXPECT_NE(lib().captureCreate, nullptr);
    EXPECT_NE(lib().enumerate, nullptr);
}

TEST(ServiceAlsaEntry, EnumerationListsTheDefaultFirstThenNamedDevices) {
    const std::vector<EnumeratedDevice> devices = enumerateDevices();
    ASSERT_GE(devices.size(), 2u);
    EXPECT_TRUE(devices[0].nullGuid);
    EXPECT_EQ(devices[0].description, "Primary Sound Capture Driver");
    EXPECT_EQ(devices[0].module, "");

    std::set<std::array<uint8_t, 16>> guids;
    bool nullDeviceListed = false;
    for (size_t i = 1; i < devices.size(); ++i) {
        const EnumeratedDevice& d = devices[i];
        EXPECT_FALSE(d.nullGuid) << d.module;
        EXPECT_FALSE(d.module.empty());
        EXPECT_NE(d.module, "default") << "the default device is listed once, first";
        EXPECT_FALSE(d.description.empty()) << d.module;
        EXPECT_EQ(d.description.find('\n'), std::string::npos) << d.module;
        std::array<uint8_t, 16> guid{};
        std::copy(d.guid.bytes, d.guid.bytes + 16, guid.begin());
        guids.insert(guid);
        nullDeviceListed |= d.module == "null";
    }
    EXPECT_EQ(guids.size(), devices.size() - 1) << "GUIDs must be distinct";
    EXPECT_TRUE(nullDeviceListed);
    EXPECT_FALSE(guids.count(std::array<uint8_t, 16>{})) << "only the default has no GUID";
}

TEST(ServiceAlsaEntry, GuidsAreStableAcrossEnumerations) {
    const auto first = enumerateDevices();
    const auto second = enumerateDevices();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].module, second[i].module);
        EXPECT_EQ(0, std::memcmp(first[i].guid.bytes, second[i].guid.bytes, 16)) << first[i].module;
    }
}

TEST(ServiceAlsaEntry, CallbackAnsweringZeroEndsTheEnumeration) {
    int calls = 0;
    const auto stopAtOnce = [](GUID*, const char*, const char*, void* context) -> int {
        ++*static_cast<int*>(context);
        return 0;
    };
    EXPECT_EQ(lib().enumerate(stopAtOnce, &calls), DS_OK);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(lib().enumerate(nullptr, nullptr), DSERR_INVALIDPARAM);
}

TEST(ServiceAlsaEntry, CreationRefusesBadArgumentsAndUnknownDevices) {
    GUID unknown{};
    unknown.bytes[0] = 0x42;
    IDirectSoundCapture* capture = reinterpret_cast<IDirectSoundCapture*>(0x1);
    EXPECT_EQ(lib().captureCreate(&unknown, &capture, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(capture, nullptr);
    EXPECT_EQ(lib().captureCreate(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
    const GUID nullDevice = guidOfModule("null");
    capture = reinterpret_cast<IDirectSoundCapture*>(0x1);
    EXPECT_EQ(lib().captureCreate(&nullDevice, &capture, reinterpret_cast<IUnknown*>(0x1)),
              DSERR_INVALIDPARAM);
    EXPECT_EQ(capture, nullptr);

    IDirectSound* sound = reinterpret_cast<IDirectSound*>(0x1);
    EXPECT_EQ(lib().create(&unknown, &sound, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(sound, nullptr);
    EXPECT_EQ(lib().create(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
}

// The threads of this process, by their kernel ids. ThreadSanitizer's runtime starts a
// helper thread that lives on with the process's first thread: one started and joined
// here first, so that a set taken before a capture already holds that helper.
std::set<pid_t> processThreads() {
    static const bool helpersStarted = [] {
        std::thread([] {}).join();
        return true;
    }();
    (void)helpersStarted;
    std::set<pid_t> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    return ids;
}

// CPU time a thread of this process has used: its per-thread CPU clock, the clock id
// glibc's pthread_getcpuclockid builds from a thread id.
std::chrono::nanoseconds threadCpuTime(pid_t tid) {
    const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6);
    timespec t{};
    if (clock_gettime(clock, &t) != 0)
        return std::chrono::nanoseconds::zero();
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// How often a thread gave up the processor by itself (slept or waited).
long voluntarySwitches(pid_t tid) {
    std::ifstream status("/proc/self/task/" + std::to_string(tid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
            return std::stol(line.substr(line.find(':') + 1));
    return 0;
}

class ServiceAlsaNullDevice : public testing::Test {
  protected:
    void SetUp() override {
        const GUID guid = guidOfModule("null");
        ASSERT_EQ(lib().captureCreate(&guid, device.out(), nullptr), DS_OK);
    }
    HRESULT create(const DSCBUFFERDESC* desc, Held<IDirectSoundCaptureBuffer>& buffer) {
        return device->CreateCaptureBuffer(desc, buffer.out(), nullptr);
    }
    // Waits (bounded) until the buffer's position has moved from `from`.
    static bool positionMoves(IDirectSoundCaptureBuffer* buffer, uint32_t from) {
        return testsupport::waitUntil([&] {
            uint32_t capture = 0;
            uint32_t read = 0;
            EXPECT_EQ(buffer->GetCurrentPosition(&capture, &read), DS_OK);
            EXPECT_EQ(capture, read);
            return read != from;
        });
    }
    Held<IDirectSoundCapture> device;
};

TEST_F(ServiceAlsaNullDevice, ReferencesCountAndABufferKeepsItsDeviceAlive) {
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    CaptureRequest request(8000, 8, 1, 8000);
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_EQ(create(&request.desc, buffer), DS_OK);
    EXPECT_EQ(buffer->AddRef(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    device.reset(); // the buffer still holds the device
    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    EXPECT_TRUE(positionMoves(buffer.p, 0));
    EXPECT_EQ(buffer->Release(), 0u); // stops capture and frees both
    buffer.p = nullptr;
}

struct DescCase {
    const char* name;
    void (*spoil)(CaptureRequest&);
    HRESULT expected;
};

TEST_F(ServiceAlsaNullDevice, MalformedDescriptionsAreRefused) {
    const DescCase cases[] = {
        {"dwSize 36", [](CaptureRequest& r) { r.desc.dwSize = 36; }, DSERR_INVALIDPARAM},
        {"no format", [](CaptureRequest& r) { r.desc.lpwfxFormat = nullptr; }, DSERR_INVALIDPARAM},
        {"empty ring", [](CaptureRequest& r) { r.desc.dwBufferBytes = 0; }, DSERR_INVALIDPARAM},
        {"huge ring", [](CaptureRequest& r) { r.desc.dwBufferBytes = 0x10000000; }, DSERR_INVALIDPARAM},
        {"not PCM", [](CaptureRequest& r) { r.format.wFormatTag = 3; }, DSERR_BADFORMAT},
        {"12 bits", [](CaptureRequest& r) { r.format.wBitsPerSample = 12; }, DSERR_BADFORMAT},
        {"no channels", [](CaptureRequest& r) { r.format.nChannels = 0; }, DSERR_BADFORMAT},
        {"rate 0", [](CaptureRequest& r) { r.format.nSamplesPerSec = 0; }, DSERR_BADFORMAT},
        {"block align", [](CaptureRequest& r) { r.format.nBlockAlign = 3; }, DSERR_INVALIDPARAM},
        {"byte rate", [](CaptureRequest& r) { r.format.nAvgBytesPerSec += 1; }, DSERR_INVALIDPARAM},
    };
    for (const DescCase& c : cases) {
        CaptureRequest request(44100, 16, 2, 176400);
        c.spoil(request);
        Held<IDirectSoundCaptureBuffer> buffer;
        buffer.p = reinterpret_cast<IDirectSoundCaptureBuffer*>(0x1);
        EXPECT_EQ(device->CreateCaptureBuffer(&request.desc, buffer.out(), nullptr), c.expected) << c.name;
        EXPECT_EQ(buffer.p, nullptr) << c.name;
    }
    Held<IDirectSoundCaptureBuffer> buffer;
    EXPECT_EQ(device->CreateCaptureBuffer(nullptr, buffer.out(), nullptr), DSERR_INVALIDPARAM);
    CaptureRequest request(44100, 16, 2, 176400);
    EXPECT_EQ(device->CreateCaptureBuffer(&request.desc, nullptr, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(device->CreateCaptureBuffer(&request.desc, buffer.out(), reinterpret_cast<IUnknown*>(0x1)),
              DSERR_INVALIDPARAM);
    // ...and the well-formed record itself is accepted.
    EXPECT_EQ(device->CreateCaptureBuffer(&request.desc, buffer.out(), nullptr), DS_OK);
}

TEST_F(ServiceAlsaNullDevice, LockHandsOutOneOrTwoRegionsOfTheRing) {
    CaptureRequest request(8000, 8, 1, 8000);
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_EQ(create(&request.desc, buffer), DS_OK);
    void* p1 = nullptr;
    void* p2 = reinterpret_cast<void*>(0x1);
    uint32_t s1 = 0;
    uint32_t s2 = 99;
    ASSERT_EQ(buffer->Lock(0, 8000, &p1, &s1, &p2, &s2, 0), DS_OK);
    uint8_t* const base = static_cast<uint8_t*>(p1);
    EXPECT_EQ(s1, 8000u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(s2, 0u);
    EXPECT_EQ(buffer->Unlock(p1, s1, p2, s2), DS_OK);

    ASSERT_EQ(buffer->Lock(7000, 2000, &p1, &s1, &p2, &s2, 0), DS_OK);
    EXPECT_EQ(p1, base + 7000);
    EXPECT_EQ(s1, 1000u);
    EXPECT_EQ(p2, base);
    EXPECT_EQ(s2, 1000u);

    EXPECT_EQ(buffer->Lock(8000, 1, &p1, &s1, &p2, &s2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 8001, &p1, &s1, &p2, &s2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 0, &p1, &s1, &p2, &s2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 10, nullptr, &s1, &p2, &s2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 10, &p1, &s1, &p2, &s2, 4), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(7000, 2000, &p1, &s1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(10, 20, &p1, &s1, nullptr, nullptr, 0), DS_OK) << "no wrap needs no region 2";
}

TEST_F(ServiceAlsaNullDevice, OneBufferCapturesAtATime) {
    CaptureRequest request(8000, 16, 1, 16000);
    Held<IDirectSoundCaptureBuffer> first;
    Held<IDirectSoundCaptureBuffer> second;
    ASSERT_EQ(create(&request.desc, first), DS_OK);
    ASSERT_EQ(create(&request.desc, second), DS_OK);
    EXPECT_EQ(first->Start(2), DSERR_INVALIDPARAM);
    ASSERT_EQ(first->Start(DSCBSTART_LOOPING), DS_OK);
    EXPECT_EQ(first->Start(DSCBSTART_LOOPING), DS_OK) << "starting again is harmless";
    EXPECT_EQ(second->Start(DSCBSTART_LOOPING), DSERR_ALLOCATED);
    // Probing goes on while a buffer captures.
    Held<IDirectSoundCaptureBuffer> third;
    EXPECT_EQ(create(&request.desc, third), DS_OK);
    EXPECT_EQ(second->Stop(), DS_OK) << "stopping a buffer that does not capture is harmless";
    EXPECT_TRUE(positionMoves(first.p, 0));
    EXPECT_EQ(first->Stop(), DS_OK);
    EXPECT_EQ(first->Stop(), DS_OK);
    uint32_t stopped = 0;
    ASSERT_EQ(first->GetCurrentPosition(nullptr, &stopped), DS_OK);
    ASSERT_EQ(second->Start(DSCBSTART_LOOPING), DS_OK) << "free again after Stop";
    EXPECT_TRUE(positionMoves(second.p, 0));
    uint32_t later = 0;
    ASSERT_EQ(first->GetCurrentPosition(nullptr, &later), DS_OK);
    EXPECT_EQ(later, stopped) << "a stopped buffer's position stays";
    EXPECT_EQ(first->GetCurrentPosition(nullptr, nullptr), DS_OK);
}

TEST_F(ServiceAlsaNullDevice, CaptureWithoutLoopingFillsTheRingOnce) {
    CaptureRequest request(8000, 8, 1, 1000);
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_EQ(create(&request.desc, buffer), DS_OK);
    void* p1 = nullptr;
    uint32_t s1 = 0;
    ASSERT_EQ(buffer->Lock(0, 1000, &p1, &s1, nullptr, nullptr, 0), DS_OK);
    std::memset(p1, 0x55, s1);
    const std::set<pid_t> before = processThreads();
    ASSERT_EQ(buffer->Start(0), DS_OK);
    // One ring's worth of captured silence (0x80 for 8-bit) replaces the marks, then
    // capture ends by itself, its thread with it, with the position back at 0. The null
    // device delivers at once, so the position may never be seen away from 0: wait for
    // the thread to end, then Stop (which joins it) before looking at the bytes.
    EXPECT_TRUE(testsupport::waitUntil([&] {
        const std::set<pid_t> now = processThreads();
        return std::includes(before.begin(), before.end(), now.begin(), now.end());
    })) << "capture without looping did not end";
    EXPECT_EQ(buffer->Stop(), DS_OK);
    const uint8_t* bytes = static_cast<const uint8_t*>(p1);
    uint32_t position = 1;
    ASSERT_EQ(buffer->GetCurrentPosition(&position, nullptr), DS_OK);
    EXPECT_EQ(position, 0u);
    EXPECT_EQ(std::count(bytes, bytes + 1000, 0x55), 0);
}

TEST_F(ServiceAlsaNullDevice, DeviceWithoutAClockDoesNotSpinACore) {
    // "null" delivers every read at once; the capture thread must still pause. Looks at
    // the capture thread alone, over the time it takes to pause 50 times: a thread that
    // pauses uses a small share of that time in CPU, whatever else loads the machine (a
    // busy machine only stretches the time); a spinning one never pauses and, left to
    // run, uses nearly all of it.
    CaptureRequest request(8000, 8, 1, 8000);
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_EQ(create(&request.desc, buffer), DS_OK);
    const std::set<pid_t> before = processThreads();
    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    EXPECT_TRUE(positionMoves(buffer.p, 0));
    std::vector<pid_t> capture;
    for (const pid_t tid : processThreads())
        if (!before.count(tid))
            capture.push_back(tid);
    ASSERT_FALSE(capture.empty()) << "no capture thread";
    const auto cpu = [&] {
        std::chrono::nanoseconds sum{};
        for (const pid_t tid : capture)
            sum += threadCpuTime(tid);
        return sum;
    };
    const auto pauses = [&] {
        long sum = 0;
        for (const pid_t tid : capture)
            sum += voluntarySwitches(tid);
        return sum;
    };

    const auto wallStart = std::chrono::steady_clock::now();
    const auto cpuStart = cpu();
    const long pausesStart = pauses();
    constexpr long kPauses = 50;
    const bool paused = testsupport::waitUntil(
        [&] { return pauses() - pausesStart >= kPauses; },
        [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }, std::chrono::seconds(5));
    const auto used = cpu() - cpuStart;
    const auto wall = std::chrono::steady_clock::now() - wallStart;
    EXPECT_EQ(buffer->Stop(), DS_OK);
    EXPECT_TRUE(paused) << "the capture thread paused " << pauses() - pausesStart << " times in 5 s";
    EXPECT_LT(used * 4, wall) << "the capture thread used "
                              << std::chrono::duration_cast<std::chrono::milliseconds>(used).count()
                              << " ms of CPU in "
                              << std::chrono::duration_cast<std::chrono::milliseconds>(wall).count() << " ms";
}

TEST(ServiceAlsaPlayback, PrimaryBufferAnswersCapsAndFormat) {
    const GUID nullDevice = guidOfModule("null"); // also a playback device
    Held<IDirectSound> sound;
    ASSERT_EQ(lib().create(&nullDevice, sound.out(), nullptr), DS_OK);
    EXPECT_EQ(sound->SetCooperativeLevel(0x1234, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(sound->SetCooperativeLevel(0x1234, DSSCL_EXCLUSIVE), DS_OK);
    EXPECT_EQ(sound->SetCooperativeLevel(0x1234, 0), DSERR_INVALIDPARAM);

    DSBUFFERDESC desc{};
    desc.dwSize = 36; // as the program fills it
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    Held<IDirectSoundBuffer> primary;
    ASSERT_EQ(sound->CreateSoundBuffer(&desc, primary.out(), nullptr), DS_OK);
    sound.reset(); // the buffer holds its device

    DSBCAPS caps{};
    EXPECT_EQ(primary->GetCaps(&caps), DSERR_INVALIDPARAM) << "dwSize unset";
    caps.dwSize = sizeof caps;
    ASSERT_EQ(primary->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwFlags, DSBCAPS_PRIMARYBUFFER);
    EXPECT_GT(caps.dwBufferBytes, 0u);

    uint32_t size = 0;
    ASSERT_EQ(primary->GetFormat(nullptr, 0, &size), DS_OK);
    EXPECT_EQ(size, sizeof(WAVEFORMATEX));
    WAVEFORMATEX format{};
    EXPECT_EQ(primary->GetFormat(&format, size - 1, &size), DSERR_INVALIDPARAM);
    ASSERT_EQ(primary->GetFormat(&format, size, &size), DS_OK);
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.nSamplesPerSec, 44100u);
    EXPECT_EQ(format.wBitsPerSample, 16);
    EXPECT_EQ(format.nChannels, 2);
    EXPECT_EQ(format.nBlockAlign, 4);
    EXPECT_EQ(format.nAvgBytesPerSec, 176400u);
}

TEST(ServiceAlsaPlayback, OnlyThePrimaryBufferIsMade) {
    const GUID nullDevice = guidOfModule("null");
    Held<IDirectSound> sound;
    ASSERT_EQ(lib().create(&nullDevice, sound.out(), nullptr), DS_OK);
    DSBUFFERDESC desc{};
    desc.dwSize = 36;
    Held<IDirectSoundBuffer> buffer;
    EXPECT_EQ(sound->CreateSoundBuffer(&desc, buffer.out(), nullptr), DSERR_UNSUPPORTED);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    desc.dwBufferBytes = 4096;
    EXPECT_EQ(sound->CreateSoundBuffer(&desc, buffer.out(), nullptr), DSERR_INVALIDPARAM);
    desc.dwBufferBytes = 0;
    desc.dwSize = 12;
    EXPECT_EQ(sound->CreateSoundBuffer(&desc, buffer.out(), nullptr), DSERR_INVALIDPARAM);
    desc.dwSize = 20; // the short form
    EXPECT_EQ(sound->CreateSoundBuffer(&desc, buffer.out(), nullptr), DS_OK);
}

} // namespace
