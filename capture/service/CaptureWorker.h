#pragma once
// The capture thread of one started buffer: reads each ALSA period as it completes
// and copies it into the ring. start() and stop() are called on the thread that controls
// the device, under its lock (see CaptureDevice); the thread itself allocates nothing
// and takes no lock.
#include "capture/service/CaptureRing.h"
#include "capture/service/PcmFormat.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <thread>

namespace veldora::sound {

class CaptureWorker {
  public:
    CaptureWorker() = default;
    CaptureWorker(const CaptureWorker&) = delete;
    CaptureWorker& operator=(const CaptureWorker&) = delete;
    ~CaptureWorker() { stop(); }

    // Sets `pcm` up for `format`, starts it and the thread. Looping capture runs until
    // stop(); otherwise it ends after one ring's worth. `pcm` and `ring` must outlive
    // the thread (until stop()). False, with nothing running, when ALSA refuses.
    bool start(snd_pcm_t* pcm, const PcmFormat& format, CaptureRing& ring, bool looping);

    // Ends the thread (within half a period) and drops the device's pending frames.
    // Harmless when not started.
    void stop();

    bool started() const { return thread_.joinable(); }

    // Overruns and suspends recovered so far; any thread.
    uint32_t recoveries() const { return recoveries_.load(std::memory_order_relaxed); }

  private:
    void run(std::stop_token stop);
    bool recover(int err);

    snd_pcm_t* pcm_ = nullptr;
    CaptureRing* ring_ = nullptr;
    unsigned frameBytes_ = 0;
    unsigned rate_ = 1;
    snd_pcm_uframes_t periodFrames_ = 0;
    uint64_t remaining_ = 0; // bytes still to capture; UINT64_MAX when looping
    std::unique_ptr<uint8_t[]> period_;
    std::atomic<uint32_t> recoveries_{0};
    std::jthread thread_; // last: joined before the members it uses go
};

} // namespace veldora::sound
