#pragma once
// The capture thread of one started buffer. It borrows the device's handle (see
// PcmHome), sets it up, starts it, copies each ALSA period into the ring as it
// completes, and at the end drops the device's pending frames, frees the handle's
// set-up and gives the handle back. Every ALSA call of a capture happens on this
// thread, so a sound server that stops answering holds up only this thread, never the
// one that starts and stops it.
//
// start() and stop() are called on the thread that controls the device, under its
// lock (see CaptureDevice); neither waits for the thread, so neither waits on the
// server. The thread's hot path allocates nothing and takes no lock.
#include "capture/SoundService.h"
#include "capture/service/CaptureRing.h"
#include "capture/service/PcmFormat.h"
#include "capture/service/PcmHome.h"

#include <cstdint>
#include <memory>
#include <thread>

namespace veldora::sound {

class CaptureWorker {
  public:
    // Recoveries in a row without a frame in between after which the device counts as
    // gone (a plugin whose server died may "recover" from every overrun and overrun again).
    static constexpr unsigned kMaxFruitlessRecoveries = 8;

    CaptureWorker() = default;
    CaptureWorker(const CaptureWorker&) = delete;
    CaptureWorker& operator=(const CaptureWorker&) = delete;
    ~CaptureWorker() { stop(); }

    // Starts the thread for `format` on `home`'s device and returns: looping capture
    // runs until stop(); otherwise it ends after one ring's worth. A handle that cannot
    // be set up, or that fails before its first period, is closed and the device
    // reopened once; when that fails too, the capture ends with neverRan() true. DS_OK,
    // or DSERR_OUTOFMEMORY when the thread's wake-up cannot be made.
    HRESULT start(std::shared_ptr<PcmHome> home, const PcmFormat& format, std::shared_ptr<CaptureRing> ring,
                  bool looping);

    // Asks the thread to end (a flag and an eventfd, no device call here) and returns
    // once no copy into the ring is under way: the ring stays as it stopped.
    // A thread that has not ended yet (its drop may wait on a frozen server) finishes
    // on its own: it holds all it uses and gives the handle back, or closes it, when
    // its last call returns. Harmless when not started.
    void stop();

    bool started() const { return run_ != nullptr; }

    // ALSA's negative error that ended capture (the device or its server went away),
    // 0 while capture runs and after stop(). Any thread.
    int lostError() const;
    // True from the device's set-up and start until stop() or the end of capture. Any thread.
    bool capturing() const;
    // True when capture ended before its first period: the device could not be set up,
    // even reopened. Any thread.
    bool neverRan() const;

    // Overruns and suspends recovered so far; any thread.
    uint32_t recoveries() const;

  private:
    struct Run;
    static void body(std::shared_ptr<Run> run);

    std::shared_ptr<Run> run_;
    std::thread thread_;
};

} // namespace veldora::sound
