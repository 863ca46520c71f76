#include "capture/service/CaptureWorker.h"

#include "capture/service/AlsaError.h"
#include "capture/service/LiveThreads.h"
#include "capture/service/PcmSetup.h"

#include "base/EventFd.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <limits>

namespace veldora::sound {

struct CaptureWorker::Run {
    std::shared_ptr<PcmHome> home;
    PcmFormat format;
    std::shared_ptr<CaptureRing> ring;
    bool looping = true;
    base::EventFd wake; // readable once stop is asked
    std::atomic<bool> stopping{false};
    std::atomic<int> lost{0};
    std::atomic<bool> neverRan{false}; // set before `lost`: it ended before its first period
    std::atomic<uint32_t> recoveries{0};
    std::atomic<bool> capturing{false}; // set up and started, not ended
    std::atomic<bool> ended{false};     // the thread is about to return
    // Set around each copy into the ring, so that stop() can tell that no copy is under
    // way once it has asked for the end: a stopped ring stays as it is.
    std::atomic<bool> writing{false};

    // Sleeps up to `timeout`, or until stop is asked.
    void pause(std::chrono::microseconds timeout) const {
        pollfd fd{wake.fd(), POLLIN, 0};
        const int ms = static_cast<int>(std::max<int64_t>(1, (timeout.count() + 999) / 1000));
        ::poll(&fd, 1, ms);
    }
};

namespace {

bool recoverable(int err) {
    return err == -EPIPE || err == -ESTRPIPE || err == -EINTR;
}

struct ReadOutcome {
    int error = 0;        // 0: stopped or done; else the error that ended it
    bool gotData = false; // at least one period arrived
};

} // namespace

HRESULT CaptureWorker::start(std::shared_ptr<PcmHome> home, const PcmFormat& format,
                             std::shared_ptr<CaptureRing> ring, bool looping) {
    stop();
    auto run = std::make_shared<Run>();
    run->home = std::move(home);
    run->format = format;
    run->ring = std::move(ring);
    run->looping = looping;
    if (!run->wake.valid()) {
        return DSERR_OUTOFMEMORY;
    }
    liveThreads::enter();
    try {
        thread_ = std::thread(body, run);
    } catch (...) {
        liveThreads::leave();
        throw;
    }
    run_ = run;
    return DS_OK;
}

void CaptureWorker::stop() {
    if (!run_) {
        return;
    }
    run_->stopping.store(true);
    run_->wake.signal();
    run_->home->nudge();
    // A copy that began before the request ends within a period's memcpy; none starts after.
    while (run_->writing.load()) {
        std::this_thread::yield();
    }
    if (run_->ended.load()) {
        thread_.join(); // it is past its last device call
    } else {
        // Still reading, or dropping the device: both may wait on the server. The
        // thread owns all it uses and ends by itself; the library's code must stay.
        liveThreads::keepLibraryLoaded();
        thread_.detach();
    }
    run_.reset();
}

int CaptureWorker::lostError() const {
    return run_ ? run_->lost.load() : 0;
}

bool CaptureWorker::capturing() const {
    return run_ && run_->capturing.load() && run_->lost.load() == 0;
}

bool CaptureWorker::neverRan() const {
    return run_ && run_->lost.load() != 0 && run_->neverRan.load();
}

uint32_t CaptureWorker::recoveries() const {
    return run_ ? run_->recoveries.load(std::memory_order_relaxed) : 0;
}

namespace {

// Sets `pcm` up and starts it; 0 or ALSA's error.
int setUpAndStart(snd_pcm_t* pcm, const PcmFormat& format, snd_pcm_uframes_t& periodFrames) {
    int rc = setUpCapture(pcm, format, periodFrames);
    if (rc == 0 && !checkError(rc = snd_pcm_start(pcm), "start")) {
        checkError(snd_pcm_drop(pcm), "drop");
    }
    return rc;
}

} // namespace

// By value: the thread's own share keeps the run alive however the worker ends.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void CaptureWorker::body(std::shared_ptr<Run> run) {
    Run& r = *run;
    const auto cancelled = [&r] { return r.stopping.load(); };
    PcmHandle pcm = r.home->borrow(std::chrono::milliseconds(2000), cancelled);
    bool borrowed = static_cast<bool>(pcm);
    int rc = 0;
    if (!pcm && !r.stopping.load()) {
        pcm = r.home->open(&rc);
    }
    snd_pcm_uframes_t periodFrames = 0;
    std::unique_ptr<uint8_t[]> period;
    bool everGotData = false;
    ReadOutcome outcome;
    for (int attempt = 0; attempt < 2 && !r.stopping.load(); ++attempt) {
        if (attempt > 0) {
            // The handle, or the server behind it, has gone: reopen the device once.
            r.capturing.store(false);
            if (borrowed) {
                r.home->giveBack({}, true);
                borrowed = false;
            }
            pcm.reset();
            pcm = r.home->open(&rc);
        }
        if (!pcm || (rc = setUpAndStart(pcm.get(), r.format, periodFrames)) != 0) {
            if (rc == 0) {
                rc = -ENODEV;
            }
            continue;
        }
        period = std::make_unique<uint8_t[]>(periodFrames * r.format.frameBytes);
        r.capturing.store(true);

        // Half a period: data reaches the ring at most this late, and idle waits end
        // at once when stop is asked.
        const auto idle = std::chrono::microseconds(500'000 * periodFrames / r.format.rate);
        // A device without a clock (ALSA's "null") never runs dry: without a pause now
        // and then the thread would spin a core.
        constexpr unsigned kMaxReadsWithoutPause = 4 * kBufferPeriods;
        unsigned readsWithoutPause = 0;
        unsigned fruitless = 0;
        uint64_t remaining = r.looping ? std::numeric_limits<uint64_t>::max() : r.ring->size();
        outcome = {};
        while (!r.stopping.load() && remaining > 0) {
            if (readsWithoutPause >= kMaxReadsWithoutPause) {
                r.pause(idle);
                readsWithoutPause = 0;
            }
            const snd_pcm_sframes_t frames = snd_pcm_readi(pcm.get(), period.get(), periodFrames);
            if (frames == 0 || frames == -EAGAIN) {
                // Sleep rather than poll the device: PulseAudio's plugin keeps its
                // descriptor readable while the server delivers nothing.
                r.pause(idle);
                readsWithoutPause = 0;
                continue;
            }
            ++readsWithoutPause;
            if (frames < 0) {
                const int err = static_cast<int>(frames);
                if (!recoverable(err)) {
                    checkError(err, "capture");
                    outcome.error = err;
                    break;
                }
                r.recoveries.fetch_add(1, std::memory_order_relaxed);
                int rec = snd_pcm_recover(pcm.get(), err, 1);
                // Recovery leaves a capture stream prepared, not running.
                if (rec == 0 && snd_pcm_state(pcm.get()) == SND_PCM_STATE_PREPARED) {
                    rec = snd_pcm_start(pcm.get());
                }
                if (!checkError(rec, "recover")) {
                    outcome.error = rec;
                    break;
                }
                if (++fruitless >= kMaxFruitlessRecoveries) {
                    checkError(err, "capture keeps overrunning");
                    outcome.error = err;
                    break;
                }
                r.pause(idle);
                continue;
            }
            fruitless = 0;
            everGotData = true;
            outcome.gotData = true;
            const uint64_t bytes = std::min<uint64_t>(uint64_t(frames) * r.format.frameBytes, remaining);
            r.writing.store(true);
            if (r.stopping.load()) {
                r.writing.store(false);
                break;
            }
            r.ring->write(period.get(), static_cast<uint32_t>(bytes));
            r.writing.store(false);
            if (remaining != std::numeric_limits<uint64_t>::max()) {
                remaining -= bytes;
            }
        }
        rc = outcome.error;
        if (rc == 0 || outcome.gotData) {
            break; // stopped, done, or lost after capturing: no second try
        }
    }
    if (rc != 0) {
        pcm.reset(); // dead: the next capture opens the device afresh
        // ALSA's own codes lie above the system's error numbers: report them as I/O errors.
        r.neverRan.store(!everGotData);
        r.lost.store(rc < -0xFFFF ? -EIO : rc);
    } else if (pcm) {
        // Both may wait on a frozen server; stop() does not wait for them. The handle goes
        // home without its set-up: closing a handle that is set up drops it first, and
        // that drop would wait on the server on whichever thread closes it, the main
        // thread among them when the program closes with the server frozen. A handle
        // whose set-up cannot be freed is closed here instead.
        checkError(snd_pcm_drop(pcm.get()), "drop");
        if (!checkError(snd_pcm_hw_free(pcm.get()), "hw free")) {
            pcm.reset();
        }
    }
    r.home->giveBack(std::move(pcm), borrowed);
    r.capturing.store(false);
    r.ended.store(true);
    liveThreads::leave();
}

} // namespace veldora::sound
