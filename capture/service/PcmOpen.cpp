// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/PcmOpen.h"

#include "capture/service/AlsaError.h"
#include "capture/service/AlsaThreads.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>

namespace veldora::sound {
namespace {

// One open, shared by the caller and the thread that performs it.
struct Opening {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;                  // guarded by mutex
    std::atomic<bool> abandoned{false}; // the caller gave up; the opener closes what it gets
    PcmHandle pcm;                      // guarded: what the open gave, until the caller takes it
    int rc = 0;                         // guarded
};

void performOpen(Opening& opening, const std::string& name, snd_pcm_stream_t direction, OpenedBy by) {
    // A thread left waiting on the device holds it: a stopped capture's last drop (which
    // takes milliseconds), or a server that stopped answering (then the wait is bounded).
    snd_pcm_t* opened = nullptr;
    int rc = -ETIMEDOUT;
    if (by == OpenedBy::deviceHolder ||
        AlsaThreads::instance().waitForDevice(name, [&opening] { return opening.abandoned.load(); })) {
        rc = snd_pcm_open(&opened, name.c_str(), direction, SND_PCM_NONBLOCK);
    }
    PcmHandle pcm(rc >= 0 ? opened : nullptr);
    {
        const std::lock_guard lock(opening.mutex);
        if (!opening.abandoned) {
            opening.pcm = std::move(pcm);
        }
        opening.rc = rc;
        opening.done = true;
    }
    opening.finished.notify_all();
    // An abandoned open's handle closes here: nobody waits for it any more.
}

} // namespace

PcmHandle openPcm(const char* name, snd_pcm_stream_t direction, int* error, OpenedBy by) {
    // Even a non-blocking open waits for a sound server's greeting without a time limit
    // (ALSA's pulse plugin): hence the thread of its own.
    AlsaThreads& threads = AlsaThreads::instance();
    const std::string device(name);
    int rc = -ETIMEDOUT;
    PcmHandle pcm;
    auto opening = std::make_shared<Opening>();
    // From here the device is taken by this open: a later open that finds its opener
    // left waiting counts its bound from here, so that a server that does not answer
    // costs one bound, not one for each open in a row.
    const auto began = std::chrono::steady_clock::now();
    AlsaThreads::Ticket opener;
    try {
        opener = threads.start(
            device, [opening, device, direction, by] { performOpen(*opening, device, direction, by); });
    } catch (const std::system_error&) {
        rc = -ENOMEM;
    }
    if (opener) {
        std::unique_lock lock(opening->mutex);
        if (opening->finished.wait_for(lock, kOpenWait, [&] { return opening->done; })) {
            rc = opening->rc;
            pcm = std::move(opening->pcm);
            lock.unlock();
            threads.joinWhenEnded(opener);
        } else {
            opening->abandoned = true;
            lock.unlock();
            threads.letGo(opener, began);
            threads.wake(); // an opener still waiting for the device gives up at once
        }
    }
    if (error != nullptr) {
        *error = rc < 0 ? rc : 0;
    }
    if (!checkError(rc, name)) {
        return {};
    }
    return pcm;
}

} // namespace veldora::sound
