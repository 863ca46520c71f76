// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// A device whose open or reads never return, as with a frozen sound server: opening
// the device, and the service's Stop and Start, must not wait for it, and the threads
// it holds must clean up once it lets go. The device is the tests' own plugin
// (plugin/BlockingPcmPlugin.cpp) reading its capture from a FIFO, named in a
// configuration file of the test's own: its open waits for a writer, its reads for
// data, and it counts the opens and reads that wait.
#include "PrivateAlsaDevice.h"
#include "ServiceAlsaLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <set>
#include <string>
#include <thread>

#include "tests/support/ThreadCount.h"
#include "tests/support/WaitUntil.h"

using namespace veldora::sound;
using namespace veldora::servicetest;

namespace {

class ServiceAlsaStuckDevice : public testing::Test {
  protected:
    void SetUp() override {
        if (!PrivateAlsaDevice::systemConfigFound()) {
            GTEST_SKIP() << PrivateAlsaDevice::kSystemConfig
                         << " is missing: ALSA's configuration lives elsewhere here";
        }
        // Loaded by the test first, so that it stays loaded between ALSA's opens and its
        // counts can be read.
        plugin = dlopen(VELDORA_BLOCKING_PCM, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(plugin, nullptr) << dlerror();
        opensWaiting = reinterpret_cast<int (*)()>(dlsym(plugin, "veldora_blocking_opens_waiting"));
        readsWaiting = reinterpret_cast<int (*)()>(dlsym(plugin, "veldora_blocking_reads_waiting"));
        ASSERT_TRUE(opensWaiting != nullptr && readsWaiting != nullptr);
        ASSERT_NO_FATAL_FAILURE(testDevice.makeFifo("capture.fifo"));
        testDevice.define("pcm_type.veldora_blocking { lib \"" VELDORA_BLOCKING_PCM "\" }\n"
                          "pcm.veldora_stuck {\n"
                          "  type veldora_blocking\n"
                          "  infile \"" +
                          testDevice.fifo().string() +
                          "\"\n"
                          "  hint { show on description \"Capture that never returns\" }\n"
                          "}\n");
    }
    void TearDown() override {
        if (writer >= 0) {
            close(writer);
        }
    }
    // A writer that never writes: the plugin's open no longer waits, its reads do.
    void holdWriter() {
        writer = open(testDevice.fifo().c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(writer, 0);
    }
    // Ends every wait on the FIFO at once, as a frozen server that resumes would: a
    // writer comes and goes, which ends an open's wait, and every read then ends.
    void letGo() {
        if (writer < 0) {
            writer = open(testDevice.fifo().c_str(), O_RDWR | O_CLOEXEC);
        }
        if (writer >= 0) {
            close(writer);
            writer = -1;
        }
    }
    // Runs `call` on a thread of its own and answers what it returned, or kHung when it
    // did not return within the generous wait: it waits on the device, which is then
    // let go so that the call, and the test, can end.
    static constexpr HRESULT kHung = static_cast<HRESULT>(0x8000FFFF);
    template <class Call> HRESULT returnsOrHangs(Call call) {
        auto own = testsupport::callOnItsOwnThread(call);
        const bool returned = own.returnedWithin(testsupport::kGenerousWait);
        if (!returned) {
            letGo();
        }
        own.settle();
        return returned ? own.result.get() : kHung;
    }

    void* plugin = nullptr;
    int (*opensWaiting)() = nullptr;
    int (*readsWaiting)() = nullptr;
    PrivateAlsaDevice testDevice;
    int writer = -1;
};

TEST_F(ServiceAlsaStuckDevice, AnOpenThatDoesNotReturnIsGivenUpAndClosesLater) {
    ASSERT_NE(ServiceAlsaLibrary::get().handle, nullptr) << dlerror();
    const GUID guid = guidOfModule("veldora_stuck");
    std::thread([] {}).join(); // a sanitizer's helper thread, started with the first one
    const std::set<pid_t> threadsBefore = testsupport::threadIds();

    Held<IDirectSoundCapture> device;
    EXPECT_EQ(
        returnsOrHangs([&] { return ServiceAlsaLibrary::get().captureCreate(&guid, device.out(), nullptr); }),
        DSERR_NODRIVER);
    EXPECT_EQ(device.p, nullptr);
    EXPECT_EQ(testsupport::threadsSince(threadsBefore), 1u) << "the open is let go, not ended";
    EXPECT_EQ(opensWaiting(), 1) << "the open that was given up is not inside the device";
    // While that open has not returned, a second one is refused: the first has waited its
    // bound on the server already. Its own thread ends without reaching the device.
    EXPECT_EQ(
        returnsOrHangs([&] { return ServiceAlsaLibrary::get().captureCreate(&guid, device.out(), nullptr); }),
        DSERR_NODRIVER);
    EXPECT_TRUE(testsupport::waitUntil([&] { return testsupport::threadsSince(threadsBefore) == 1; }))
        << testsupport::threadsSince(threadsBefore) << " threads left on the device";
    EXPECT_EQ(opensWaiting(), 1);

    // The device answers at last: the open that was given up closes its handle and ends.
    holdWriter();
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return opensWaiting() == 0 && testsupport::threadsSince(threadsBefore) == 0; }));

    // And the device opens now.
    EXPECT_EQ(ServiceAlsaLibrary::get().captureCreate(&guid, device.out(), nullptr), DS_OK);
}

TEST_F(ServiceAlsaStuckDevice, StopAndStartDoNotWaitForAReadThatNeverReturns) {
    holdWriter();
    Held<IDirectSoundCapture> device;
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_NO_FATAL_FAILURE(openCapture("veldora_stuck", device, buffer));

    std::thread([] {}).join(); // a sanitizer's helper thread, started with the first one
    const std::set<pid_t> threadsBefore = testsupport::threadIds();

    // No period ever comes: Start returns, its capture thread is left waiting.
    EXPECT_EQ(returnsOrHangs([&] { return buffer->Start(DSCBSTART_LOOPING); }), DS_OK);
    ASSERT_TRUE(testsupport::waitUntil([&] { return readsWaiting() == 1; }))
        << "the capture never reached the device's read";

    EXPECT_EQ(returnsOrHangs([&] { return buffer->Stop(); }), DS_OK);
    EXPECT_EQ(readsWaiting(), 1) << "the stuck thread is left waiting, not ended";

    // Started again while that thread still holds the device: no second handle, the
    // capture is answered as a device that cannot be set up.
    EXPECT_EQ(returnsOrHangs([&] { return buffer->Start(DSCBSTART_LOOPING); }), DS_OK);
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return buffer->GetCurrentPosition(nullptr, nullptr) == DSERR_NODRIVER; }));
    EXPECT_EQ(readsWaiting(), 1);
    EXPECT_EQ(returnsOrHangs([&] { return buffer->Stop(); }), DS_OK);

    // Buffer and device go while the thread is stuck; it holds what it uses.
    buffer.reset();
    device.reset();
    letGo();
    EXPECT_TRUE(testsupport::waitUntil([&] {
        return readsWaiting() == 0 && testsupport::threadsSince(threadsBefore) == 0;
    })) << readsWaiting()
        << " capture threads still read after the device let go";
}

} // namespace
