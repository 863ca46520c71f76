#include "capture/service/CaptureWorker.h"

#include "capture/service/AlsaError.h"
#include "capture/service/PcmSetup.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>

namespace veldora::sound {
namespace {} // namespace

bool CaptureWorker::start(snd_pcm_t* pcm, const PcmFormat& format, CaptureRing& ring, bool looping) {
    stop();
    if (!setUpCapture(pcm, format, periodFrames_)) {
        return false;
    }
    pcm_ = pcm;
    ring_ = &ring;
    frameBytes_ = format.frameBytes;
    rate_ = format.rate;
    remaining_ = looping ? std::numeric_limits<uint64_t>::max() : ring.size();
    period_ = std::make_unique<uint8_t[]>(periodFrames_ * frameBytes_);
    if (!checkError(snd_pcm_start(pcm), "start")) {
        checkError(snd_pcm_drop(pcm), "drop");
        return false;
    }
    try {
        thread_ = std::jthread([this](std::stop_token stop) { run(std::move(stop)); });
    } catch (...) {
        checkError(snd_pcm_drop(pcm), "drop"); // no thread: leave nothing running
        throw;
    }
    return true;
}

void CaptureWorker::stop() {
    if (!thread_.joinable()) {
        return;
    }
    thread_.request_stop();
    thread_.join();
    thread_ = std::jthread();
    checkError(snd_pcm_drop(pcm_), "drop");
}

void CaptureWorker::run(std::stop_token stop) {
    // Half a period: data reaches the ring at most this late, and stop() waits at most
    // this long.
    const auto idle = std::chrono::microseconds(500'000 * periodFrames_ / rate_);
    // A device without a clock (ALSA's "null") never runs dry: without a pause now and
    // then the thread would spin a core. A real device's backlog is its buffer; a sound
    // server may hand over a longer burst, which these pauses only spread out.
    constexpr unsigned kMaxReadsWithoutPause = 4 * kBufferPeriods;
    unsigned readsWithoutPause = 0;
    while (!stop.stop_requested() && remaining_ > 0) {
        if (readsWithoutPause >= kMaxReadsWithoutPause) {
            std::this_thread::sleep_for(idle);
            readsWithoutPause = 0;
        }
        const snd_pcm_sframes_t frames = snd_pcm_readi(pcm_, period_.get(), periodFrames_);
        if (frames == 0 || frames == -EAGAIN) {
            // Sleep rather than poll: PulseAudio's plugin keeps its descriptor readable
            // while the server delivers nothing, and snd_pcm_wait then spins a core.
            std::this_thread::sleep_for(idle);
            readsWithoutPause = 0;
            continue;
        }
        ++readsWithoutPause;
        if (frames < 0) {
            if (!recover(static_cast<int>(frames))) {
                break;
            }
            continue;
        }
        const uint64_t bytes = std::min<uint64_t>(uint64_t(frames) * frameBytes_, remaining_);
        ring_->write(period_.get(), static_cast<uint32_t>(bytes));
        if (remaining_ != std::numeric_limits<uint64_t>::max()) {
            remaining_ -= bytes;
        }
    }
    // Falling out on an error leaves the position where it stands: a device that went
    // away simply stops delivering, and the reader bounds its own wait.
}

bool CaptureWorker::recover(int err) {
    if (err != -EPIPE && err != -ESTRPIPE && err != -EINTR) {
        checkError(err, "capture");
        return false;
    }
    recoveries_.fetch_add(1, std::memory_order_relaxed);
    if (!checkError(snd_pcm_recover(pcm_, err, 1), "recover")) {
        return false;
    }
    // Recovery leaves a capture stream prepared, not running.
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) {
        return checkError(snd_pcm_start(pcm_), "restart");
    }
    return true;
}

} // namespace veldora::sound
