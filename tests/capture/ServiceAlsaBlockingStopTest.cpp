// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// A device whose stop waits on a frozen sound server: ALSA's pulse plugin asks the
// server to stop the stream on every drop, and closing a handle that is set up drops
// it. The device here is a plugin of the tests' own (plugin/BlockingPcmPlugin.cpp)
// whose stop waits at a gate the test holds open while the "server" answers. The calls
// the program makes on its main thread must not wait at that gate, and the threads that
// do must end once it opens. A second device of the same plugin refuses to start, as a
// server that refuses the record stream: Start leaves that to the capture thread and
// the failure shows in the position query, and in the program's stream.
#include "PrivateAlsaDevice.h"
#include "ServiceAlsaLibrary.h"
#include "capture/CaptureErrors.h"
#include "capture/SoundCaptureStream.h"
#include "capture/SoundLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ThreadCount.h"
#include "tests/support/WaitUntil.h"

using namespace veldora::sound;
using namespace veldora::servicetest;
namespace fs = std::filesystem;

namespace {

class ServiceAlsaBlockingStop : public testing::Test {
  protected:
    void SetUp() override {
        if (!PrivateAlsaDevice::systemConfigFound()) {
            GTEST_SKIP() << PrivateAlsaDevice::kSystemConfig
                         << " is missing: ALSA's configuration lives elsewhere here";
        }
        // Loaded by the test first, so that it stays loaded between ALSA's opens and
        // its count of waiting stops can be read.
        plugin = dlopen(VELDORA_BLOCKING_PCM, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(plugin, nullptr) << dlerror();
        stopsWaiting = reinterpret_cast<int (*)()>(dlsym(plugin, "veldora_blocking_stops_waiting"));
        ASSERT_NE(stopsWaiting, nullptr);
        failStarts = reinterpret_cast<void (*)(int)>(dlsym(plugin, "veldora_blocking_fail_starts"));
        passStops = reinterpret_cast<void (*)(int)>(dlsym(plugin, "veldora_blocking_pass_stops"));
        failReads = reinterpret_cast<void (*)(int)>(dlsym(plugin, "veldora_blocking_fail_reads"));
        ASSERT_TRUE(failStarts != nullptr && passStops != nullptr && failReads != nullptr);
        ASSERT_NO_FATAL_FAILURE(testDevice.makeFifo("gate.fifo"));
        definition = "pcm_type.veldora_blocking { lib \"" VELDORA_BLOCKING_PCM "\" }\n"
                     "pcm.veldora_blocking {\n"
                     "  type veldora_blocking\n"
                     "  gate \"" +
                     testDevice.fifo().string() +
                     "\"\n"
                     "  hint { show on description \"Capture whose stop blocks\" }\n"
                     "}\n"
                     "pcm.veldora_refusing {\n"
                     "  type veldora_blocking\n"
                     "  refuse_start true\n"
                     "  hint { show on description \"Capture that never starts\" }\n"
                     "}\n";
        testDevice.define(definition);
        answer();
    }
    void TearDown() override {
        if (failReads != nullptr) {
            failStarts(0);
            passStops(0);
            failReads(0);
        }
        answer();
        // A stopped capture's last drop may still be on its way to this test's gate: once
        // the gate is gone it would wait there for good, holding the device for the tests
        // after this one.
        if (const auto threadsEnded = ServiceAlsaLibrary::get().threadsEnded; threadsEnded != nullptr) {
            EXPECT_EQ(threadsEnded(static_cast<uint32_t>(testsupport::kGenerousWait.count())), 1)
                << "a thread of the library did not end with the server answering";
        }
        if (reader >= 0) {
            close(reader);
        }
    }
    // The server answers: every stop passes the gate at once, waiting ones too.
    void answer() {
        if (reader < 0 && !testDevice.fifo().empty()) {
            reader = open(testDevice.fifo().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        }
    }
    // The server stops answering: every stop from now on waits at the gate.
    void freeze() {
        if (reader >= 0) {
            close(reader);
            reader = -1;
        }
    }
    // Runs `call` on a thread of its own and answers true when it returned within the
    // generous wait. One that did not waits at the gate, which is then opened so that
    // the call, and the test, can end.
    template <class Call> bool returns(Call call) {
        auto own = testsupport::callOnItsOwnThread(call);
        const bool returned = own.returnedWithin(testsupport::kGenerousWait);
        if (!returned) {
            answer();
        }
        own.settle();
        return returned;
    }
    // Starts a looping capture on `buffer` and waits until the device runs and bytes
    // arrive (a ring started before keeps its position).
    static bool capturing(IDirectSoundCaptureBuffer* buffer) {
        if (buffer->Start(DSCBSTART_LOOPING) != DS_OK) {
            return false;
        }
        return testsupport::waitUntil([&] {
            uint32_t position = 0;
            uint32_t status = 0;
            return buffer->GetStatus(&status) == DS_OK && (status & DSCBSTATUS_CAPTURING) != 0 &&
                   buffer->GetCurrentPosition(&position, nullptr) == DS_OK && position > 0;
        });
    }

    void* plugin = nullptr;
    int (*stopsWaiting)() = nullptr;
    void (*failStarts)(int) = nullptr;
    void (*passStops)(int) = nullptr;
    void (*failReads)(int) = nullptr;
    PrivateAlsaDevice testDevice;
    std::string definition;
    int reader = -1;
};

TEST_F(ServiceAlsaBlockingStop, ReleasingTheDeviceAfterAStoppedCaptureDoesNotWaitOnTheServer) {
    Held<IDirectSoundCapture> device;
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_NO_FATAL_FAILURE(openCapture("veldora_blocking", device, buffer));
    std::thread([] {}).join(); // a sanitizer's helper thread, started with the first one
    const std::set<pid_t> threadsBefore = testsupport::threadIds();

    // Pause while the server answers: the capture stops and its thread, which Stop
    // does not wait for, brings the handle home and ends.
    ASSERT_TRUE(capturing(buffer.p));
    uint32_t status = 0;
    EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSCBSTATUS_CAPTURING | DSCBSTATUS_LOOPING);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u) << "stopped, still capturing";
    ASSERT_TRUE(testsupport::waitUntil([&] { return testsupport::threadsSince(threadsBefore) == 0; }));

    // The server freezes; the program closes, releasing buffer and device.
    freeze();
    EXPECT_TRUE(returns([&] {
        buffer.reset();
        device.reset();
    })) << "releasing the device waited on the frozen server";
    EXPECT_EQ(stopsWaiting(), 0);
}

// A server that answers opens but never a drop: one capture is left waiting on it, and
// it is the only one, however often Pause twice is pressed; each further Start is
// answered as a device that cannot be set up. The thaw ends it, and capture resumes.
TEST_F(ServiceAlsaBlockingStop, OneCaptureIsLeftWaitingOnAFrozenServerAndCaptureResumesAfterIt) {
    Held<IDirectSoundCapture> device;
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_NO_FATAL_FAILURE(openCapture("veldora_blocking", device, buffer));
    const auto threadsEnded = ServiceAlsaLibrary::get().threadsEnded;
    ASSERT_NE(threadsEnded, nullptr);
    ASSERT_EQ(threadsEnded(10'000), 1) << "an earlier test's thread still waits";
    std::thread([] {}).join(); // a sanitizer's helper thread, started with the first one
    const std::set<pid_t> threadsBefore = testsupport::threadIds();
    ASSERT_TRUE(capturing(buffer.p));

    // Pause during the freeze: the capture's drop waits on the server, Stop does not.
    freeze();
    EXPECT_TRUE(returns([&] { return buffer->Stop(); }));
    EXPECT_TRUE(testsupport::waitUntil([&] { return stopsWaiting() == 1; }));
    EXPECT_EQ(threadsEnded(0), 0) << "a thread inside the frozen server counted as ended";

    // Pause twice, again and again: no second capture reaches the device.
    size_t most = 0;
    const auto count = [&] {
        const size_t started = testsupport::threadsSince(threadsBefore);
        most = std::max(most, started);
        return started;
    };
    for (int pause = 0; pause < 4; ++pause) {
        SCOPED_TRACE(pause);
        EXPECT_TRUE(returns([&] { return buffer->Start(DSCBSTART_LOOPING); }));
        EXPECT_TRUE(testsupport::waitUntil([&] {
            count();
            return buffer->GetCurrentPosition(nullptr, nullptr) == DSERR_NODRIVER;
        })) << "a Start beyond the waiting capture was not answered as a device that cannot be set up";
        EXPECT_TRUE(returns([&] { return buffer->Stop(); }));
        EXPECT_TRUE(testsupport::waitUntil([&] { return count() == 1; }));
        EXPECT_EQ(stopsWaiting(), 1);
    }
    EXPECT_LE(most, 2u) << "beyond the capture left waiting and the one being refused";

    // The server thaws: the drop returns, its thread ends, and Start captures again.
    answer();
    EXPECT_TRUE(testsupport::waitUntil([&] { return stopsWaiting() == 0 && count() == 0; }));
    EXPECT_EQ(threadsEnded(1000), 1);
    EXPECT_TRUE(capturing(buffer.p));

    // Frozen again, and the program closes while the capture's drop waits: releasing
    // does not wait either, and the thaw ends everything.
    freeze();
    EXPECT_TRUE(returns([&] {
        buffer->Stop();
        buffer.reset();
        device.reset();
    }));
    EXPECT_TRUE(testsupport::waitUntil([&] { return stopsWaiting() == 1; }));
    answer();
    EXPECT_TRUE(testsupport::waitUntil([&] { return stopsWaiting() == 0 && count() == 0; }))
        << stopsWaiting() << " stops still wait, " << testsupport::threadsSince(threadsBefore)
        << " threads left";
    EXPECT_LE(most, 2u);
    EXPECT_EQ(threadsEnded(1000), 1);
}

// The server refuses a capture's start and freezes just after, while the capture closes
// the refused handle to open the device afresh; Pause lands then, and the server answers
// again. The capture's own reopen must not wait for the capture itself, which Stop has
// left waiting on the device: the next Start captures, with no "cannot be made" on a
// device that works.
TEST_F(ServiceAlsaBlockingStop, APauseWhileACaptureReopensTheDeviceLeavesNoRefusalBehind) {
    Held<IDirectSoundCapture> device;
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_NO_FATAL_FAILURE(openCapture("veldora_blocking", device, buffer));
    const auto threadsEnded = ServiceAlsaLibrary::get().threadsEnded;
    ASSERT_EQ(threadsEnded(10'000), 1) << "an earlier test's thread still waits";

    freeze();
    failStarts(1);
    passStops(1); // the drop after the refused start
    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    ASSERT_TRUE(testsupport::waitUntil([&] { return stopsWaiting() == 1; }))
        << "the refused handle's close never reached the server";
    ASSERT_EQ(buffer->Stop(), DS_OK);
    answer();

    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    HRESULT position = DS_OK;
    EXPECT_TRUE(testsupport::waitUntil([&] {
        uint32_t bytes = 0;
        position = buffer->GetCurrentPosition(&bytes, nullptr);
        return position != DS_OK || bytes > 0;
    }));
    EXPECT_EQ(position, DS_OK) << "the device that works was answered as one that cannot be set up";
    EXPECT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(threadsEnded(10'000), 1);
}

// The server dies under a running capture and freezes: the lost handle's close waits on
// it. The loss shows all the same, so that the window can say the device is gone.
TEST_F(ServiceAlsaBlockingStop, ALossShowsWhileTheLostHandlesCloseWaitsOnTheServer) {
    Held<IDirectSoundCapture> device;
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_NO_FATAL_FAILURE(openCapture("veldora_blocking", device, buffer));
    ASSERT_TRUE(capturing(buffer.p));

    freeze();
    failReads(1);
    ASSERT_TRUE(testsupport::waitUntil([&] { return stopsWaiting() == 1; }))
        << "the lost handle's close never reached the server";
    HRESULT position = DS_OK;
    EXPECT_TRUE(testsupport::waitUntil([&] {
        position = buffer->GetCurrentPosition(nullptr, nullptr);
        return position != DS_OK;
    })) << "no loss shown while the lost handle's close waits on the server";
    EXPECT_NE(position, DSERR_NODRIVER) << "a capture that ran is lost, not one that could not be set up";

    // The server comes back: the close ends, and Pause twice captures again.
    failReads(0);
    answer();
    EXPECT_TRUE(testsupport::waitUntil([&] { return stopsWaiting() == 0; }));
    EXPECT_EQ(buffer->Stop(), DS_OK);
    EXPECT_TRUE(capturing(buffer.p));
    EXPECT_EQ(buffer->Stop(), DS_OK);
}

// A host that exits without asking whether this library's threads have ended (the test
// programs do: they keep it loaded to their end) must not hang on one that waits inside
// a frozen server. The exit is this test program's own again, started with the variable
// below, which runs this test up to its exit; a child that does not end in the generous
// wait is killed.
constexpr const char* kExitScene = "VELDORA_TEST_EXIT_WITH_A_CAPTURE_WAITING";

TEST_F(ServiceAlsaBlockingStop, AnExitWhileACaptureWaitsOnAFrozenServerDoesNotHang) {
    if (std::getenv(kExitScene) != nullptr) {
        Held<IDirectSoundCapture> device;
        Held<IDirectSoundCaptureBuffer> buffer;
        openCapture("veldora_blocking", device, buffer);
        if (buffer.p == nullptr || !capturing(buffer.p)) {
            std::_Exit(2);
        }
        freeze();
        buffer->Stop();
        if (!testsupport::waitUntil([&] { return stopsWaiting() == 1; })) {
            std::_Exit(3);
        }
        buffer.reset();
        device.reset();
        std::exit(0);
    }
    std::string self = "/proc/self/exe";
    std::string filter =
        "--gtest_filter=ServiceAlsaBlockingStop.AnExitWhileACaptureWaitsOnAFrozenServerDoesNotHang";
    std::vector<char*> arguments{self.data(), filter.data(), nullptr};
    std::string scene = std::string(kExitScene) + "=1";
    std::vector<char*> environment{scene.data()};
    for (char** variable = environ; *variable != nullptr; ++variable) {
        environment.push_back(*variable);
    }
    environment.push_back(nullptr);
    posix_spawn_file_actions_t quiet; // the child's test report would read as a test that never ended
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int spawned =
        posix_spawn(&child, self.c_str(), &quiet, nullptr, arguments.data(), environment.data());
    posix_spawn_file_actions_destroy(&quiet);
    ASSERT_EQ(spawned, 0);
    int status = 0;
    const bool ended = testsupport::waitUntil([&] { return waitpid(child, &status, WNOHANG) == child; },
                                              3 * testsupport::kGenerousWait);
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    EXPECT_TRUE(ended) << "the exit hung on the thread inside the frozen server";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child ended with status " << status;
}

TEST_F(ServiceAlsaBlockingStop, ADeviceThatCannotStartShowsInThePositionQueryUntilStop) {
    Held<IDirectSoundCapture> device;
    Held<IDirectSoundCaptureBuffer> buffer;
    ASSERT_NO_FATAL_FAILURE(openCapture("veldora_refusing", device, buffer));

    // The set-up is the capture thread's: Start returns, the refusal comes after.
    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    HRESULT position = DS_OK;
    ASSERT_TRUE(testsupport::waitUntil([&] {
        position = buffer->GetCurrentPosition(nullptr, nullptr);
        return position != DS_OK;
    })) << "the refusal never showed";
    EXPECT_EQ(position, DSERR_NODRIVER) << "a device that never started is not a lost capture";
    uint32_t status = 1;
    EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u) << "reported capturing";
    std::vector<uint8_t> block(1024);
    uint64_t end = 0;
    EXPECT_EQ(buffer->ReadNewest(block.data(), 1024, &end), DSERR_NODRIVER);

    EXPECT_EQ(buffer->Stop(), DS_OK);
    EXPECT_EQ(buffer->GetCurrentPosition(nullptr, nullptr), DS_OK) << "stopped, nothing to report";
    // Started again: refused again, the same way.
    ASSERT_EQ(buffer->Start(DSCBSTART_LOOPING), DS_OK);
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return buffer->GetCurrentPosition(nullptr, nullptr) == DSERR_NODRIVER; }));
    EXPECT_EQ(buffer->Stop(), DS_OK);
}

// The program's stream on that device as the default one, through the program's own
// binding to this library: start-up's wait for the set-up raises the stream's message;
// a Start alone returns, and the first look at the ring raises it.
TEST_F(ServiceAlsaBlockingStop, TheProgramsStreamSaysItsRingCannotBeMadeWhenTheDeviceNeverStarts) {
    testDevice.define(definition + "pcm.!default veldora_refusing\n");
    veldora::capture::SoundLibraryTestSeam::unregisterInProcessLibrary(veldora::sound::kSoundLibraryName);
    veldora::capture::SoundLibraryTestSeam::setLibraryDirectory(""); // the one next to this program
    {
        veldora::capture::TSoundCaptureStream stream(nullptr);
        ASSERT_GT(stream.GetFormats().Count(), 0);
        stream.FormatIndex = 0;
        try {
            stream.Start();
            stream.AwaitSetUp();
            ADD_FAILURE() << "start-up's wait missed the device's refusal";
        } catch (const veldora::capture::ESoundCaptureStreamError& error) {
            EXPECT_EQ(error.message(), "Sound Capture Buffer cannot be made");
        }
        EXPECT_FALSE(stream.GetCapturing());
        stream.Start();
        EXPECT_TRUE(stream.GetCapturing());
        std::string message;
        EXPECT_TRUE(testsupport::waitUntil([&] {
            try {
                stream.AvailableBytes();
                return false;
            } catch (const veldora::capture::ESoundCaptureStreamError& error) {
                message = error.message();
                return true;
            }
        }));
        EXPECT_EQ(message, "Sound Capture Buffer cannot be made");
        stream.Stop();
    }
    veldora::capture::FreeLoadedLibraries();
    veldora::capture::SoundLibraryTestSeam::setLibraryDirectory("");
}

} // namespace
