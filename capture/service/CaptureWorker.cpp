// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/CaptureWorker.h"

#include "capture/service/AlsaError.h"
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
    std::shared_ptr<HandlePool> pool;
    PcmFormat format;
    std::shared_ptr<CaptureRing> ring;
    bool looping = true;
    base::EventFd stopSignal; // readable once stop is asked
    std::atomic<bool> stopAsked{false};
    std::atomic<int> lost{0};
    std::atomic<bool> setUpFailed{false}; // set before `lost`: it ended before its first period
    std::atomic<uint32_t> recoveries{0};
    std::atomic<bool> capturing{false}; // set up and started, not ended
    // Around each copy into the ring: stop() waits for it to clear.
    std::atomic<bool> copying{false};

    // Sleeps up to `timeout`, or until stop is asked.
    void waitForStop(std::chrono::microseconds timeout) const {
        pollfd fd{stopSignal.fd(), POLLIN, 0};
        const int ms = static_cast<int>(std::max<int64_t>(1, (timeout.count() + 999) / 1000));
        ::poll(&fd, 1, ms);
    }
};

namespace {

bool recoverable(int err) {
    return err == -EPIPE || err == -ESTRPIPE || err == -EINTR;
}

void endCopy(std::atomic<bool>& copying) {
    copying.store(false);
    copying.notify_all();
}

struct ReadOutcome {
    int error = 0;        // 0: stopped or done; else the error that ended it
    bool gotData = false; // at least one period arrived
};

} // namespace

HRESULT CaptureWorker::start(std::shared_ptr<HandlePool> pool, const PcmFormat& format,
                             std::shared_ptr<CaptureRing> ring, bool looping) {
    stop();
    auto run = std::make_shared<Run>();
    run->pool = std::move(pool);
    run->format = format;
    run->ring = std::move(ring);
    run->looping = looping;
    if (!run->stopSignal.valid()) {
        return DSERR_OUTOFMEMORY;
    }
    thread_ = AlsaThreads::instance().start(run->pool->name(), [run] { body(*run); });
    run_ = std::move(run);
    return DS_OK;
}

void CaptureWorker::stop() {
    if (!run_) {
        return;
    }
    run_->stopAsked.store(true);
    run_->stopSignal.signal();
    AlsaThreads& threads = AlsaThreads::instance();
    threads.wake(); // a wait for the device ends too
    // A copy that began before the request ends within a period's memcpy; none starts after.
    run_->copying.wait(true);
    // Its wait on the server, if any, is the last drop, which begins now.
    threads.letGo(thread_, std::chrono::steady_clock::now());
    thread_.reset();
    run_.reset();
}

int CaptureWorker::lostError() const {
    return run_ ? run_->lost.load() : 0;
}

bool CaptureWorker::capturing() const {
    return run_ && run_->capturing.load() && run_->lost.load() == 0;
}

bool CaptureWorker::setUpFailed() const {
    return run_ && run_->lost.load() != 0 && run_->setUpFailed.load();
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

void CaptureWorker::body(Run& r) {
    const auto stopAsked = [&r] { return r.stopAsked.load(); };
    int rc = 0;
    PcmHandle pcm;
    // A capture left waiting on this device's server may still hold it: it gives the
    // handle back within a healthy drop, or the device counts as one that cannot be set up.
    const bool deviceFree = AlsaThreads::instance().waitForDevice(r.pool->name(), stopAsked);
    if (deviceFree) {
        pcm = r.pool->take(&rc);
    } else if (!stopAsked()) {
        rc = -EBUSY;
    }
    snd_pcm_uframes_t periodFrames = 0;
    std::unique_ptr<uint8_t[]> period;
    bool everGotData = false;
    ReadOutcome outcome;
    for (int attempt = 0; attempt < 2 && deviceFree && !stopAsked(); ++attempt) {
        if (attempt > 0) {
            // The handle, or the server behind it, has gone: reopen the device once.
            r.capturing.store(false);
            pcm.reset();
            pcm = r.pool->reopen(&rc);
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
        const auto idle = halfPeriod(periodFrames, r.format.rate);
        // A device without a clock (ALSA's "null") never runs dry: without a pause now
        // and then the thread would spin a core.
        constexpr unsigned kMaxReadsWithoutPause = 4 * kBufferPeriods;
        unsigned readsWithoutPause = 0;
        unsigned fruitless = 0;
        uint64_t remaining = r.looping ? std::numeric_limits<uint64_t>::max() : r.ring->size();
        outcome = {};
        while (!r.stopAsked.load() && remaining > 0) {
            if (readsWithoutPause >= kMaxReadsWithoutPause) {
                r.waitForStop(idle);
                readsWithoutPause = 0;
            }
            const snd_pcm_sframes_t frames = snd_pcm_readi(pcm.get(), period.get(), periodFrames);
            if (frames == 0 || frames == -EAGAIN) {
                // Sleep rather than poll the device: PulseAudio's plugin keeps its
                // descriptor readable while the server delivers nothing.
                r.waitForStop(idle);
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
                r.waitForStop(idle);
                continue;
            }
            fruitless = 0;
            everGotData = true;
            outcome.gotData = true;
            const uint64_t bytes = std::min<uint64_t>(uint64_t(frames) * r.format.frameBytes, remaining);
            r.copying.store(true);
            if (r.stopAsked.load()) {
                endCopy(r.copying);
                break;
            }
            r.ring->write(period.get(), static_cast<uint32_t>(bytes));
            endCopy(r.copying);
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
        // ALSA's own codes lie above the system's error numbers: report them as I/O errors.
        r.setUpFailed.store(!everGotData);
        r.lost.store(rc < -0xFFFF ? -EIO : rc);
        // Dead: the next capture opens the device afresh. Closed after the loss shows, as
        // the close may wait on a server that froze as it failed.
        pcm.reset();
    } else if (pcm) {
        // Both may wait on a frozen server. The handle goes home without its set-up, as
        // closing a set-up handle drops it, on whichever thread closes it.
        checkError(snd_pcm_drop(pcm.get()), "drop");
        if (!checkError(snd_pcm_hw_free(pcm.get()), "hw free")) {
            pcm.reset();
        }
    }
    if (deviceFree) {
        r.pool->giveBack(std::move(pcm));
    }
    r.capturing.store(false);
}

} // namespace veldora::sound
