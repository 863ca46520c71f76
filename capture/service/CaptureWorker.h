#pragma once
// The capture thread of one started buffer. It borrows the device's handle (see
// PcmHome), sets it up, starts it, copies each ALSA period into the ring as it
// completes, and at the end drops the device's pending frames, frees the handle's
// set-up and gives the handle back. Every ALSA call of a capture happens on this
// thread, so a sound server that stops answering holds up only this thread, never the
// one that starts and stops it.
//
// start() and stop() are called on the thread that controls the device, under its
// lock (see CaptureDevice); both return within a bound whatever the server does.
// The thread's hot path allocates nothing and takes no lock.
#include "capture/SoundService.h"
#include "capture/service/CaptureRing.h"
#include "capture/service/PcmFormat.h"
#include "capture/service/PcmHome.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

namespace veldora::sound {

class CaptureWorker {
  public:
    // How long start() waits for the set-up's outcome, and stop() for the thread's end.
    static constexpr std::chrono::milliseconds kStartWait{150};
    static constexpr std::chrono::milliseconds kStopWait{100};
    // Recoveries in a row without a frame in between after which the device counts as
    // gone (a plugin whose server died may "recover" from every overrun and overrun again).
    static constexpr unsigned kMaxFruitlessRecoveries = 8;

    CaptureWorker() = default;
    CaptureWorker(const CaptureWorker&) = delete;
    CaptureWorker& operator=(const CaptureWorker&) = delete;
    ~CaptureWorker() { stop(); }

    // Starts the thread for `format` on `home`'s device: looping capture runs until
    // stop(); otherwise it ends after one ring's worth. A handle that cannot be set up,
    // or that fails before its first period, is closed and the device reopened once.
    // DS_OK when capture runs, or when the device has not answered within kStartWait
    // (a later failure then shows as a lost capture), or at once while the device still
    // holds up an earlier capture that stop() let go; DSERR_NODRIVER when both tries
    // failed.
    HRESULT start(std::shared_ptr<PcmHome> home, const PcmFormat& format, std::shared_ptr<CaptureRing> ring,
                  bool looping);

    // Asks the thread to end (a flag and an eventfd, no device call here) and waits up
    // to kStopWait for it, not at all while the device holds up an earlier capture. A
    // thread still inside a device call then (a drop that waits on a frozen server) is
    // left to finish on its own: it holds all it uses and gives the handle back, or
    // closes it, when the call returns. Harmless when not started.
    void stop();

    bool started() const { return run_ != nullptr; }

    // ALSA's negative error that ended capture (the device or its server went away),
    // 0 while capture runs and after stop(). Any thread.
    int lostError() const;

    // Overruns and suspends recovered so far; any thread.
    uint32_t recoveries() const;

  private:
    struct Run;
    static void body(std::shared_ptr<Run> run);

    std::shared_ptr<Run> run_;
    std::thread thread_;
};

} // namespace veldora::sound
