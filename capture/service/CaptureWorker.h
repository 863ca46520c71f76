// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The capture thread of one started buffer: it takes the device's handle, sets it up,
// copies each period into the ring, and at the end drops the device and gives the
// handle back. Every ALSA call of a capture happens on it, so a server that stops
// answering holds up only this thread; AlsaThreads owns and joins it.
//
// start() and stop() come from the thread that controls the device, under its lock
// (see CaptureDevice); neither waits on the server. The hot path allocates nothing and
// takes no lock.
#include "capture/SoundService.h"
#include "capture/service/AlsaThreads.h"
#include "capture/service/CaptureRing.h"
#include "capture/service/HandlePool.h"
#include "capture/service/PcmFormat.h"

#include <cstdint>
#include <memory>

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

    // Starts the thread and returns: looping capture runs until stop(), otherwise it
    // ends after one ring's worth. A device that cannot be set up, even reopened once,
    // or that another capture left waiting on a server still holds, ends the capture
    // with setUpFailed(). DS_OK, or DSERR_OUTOFMEMORY without a stop signal.
    HRESULT start(std::shared_ptr<HandlePool> pool, const PcmFormat& format,
                  std::shared_ptr<CaptureRing> ring, bool looping);

    // Asks the thread to end and returns once no copy into the ring is under way, so
    // the ring stays as it stopped. A thread not ended yet is left waiting (AlsaThreads).
    void stop();

    bool started() const { return run_ != nullptr; }

    // ALSA's negative error that ended capture, 0 while capture runs and after stop().
    int lostError() const;
    // Set up and started, until stop() or the end of capture.
    bool capturing() const;
    // Capture ended before its first period: the device could not be set up.
    bool setUpFailed() const;
    // Overruns and suspends recovered so far.
    uint32_t recoveries() const;

  private:
    struct Run;
    static void body(Run& run);

    std::shared_ptr<Run> run_;
    AlsaThreads::Ticket thread_;
};

} // namespace veldora::sound
