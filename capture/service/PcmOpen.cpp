#include "capture/service/PcmOpen.h"

#include "capture/service/AlsaError.h"
#include "capture/service/LiveThreads.h"

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>

namespace veldora::sound {
namespace {

// One open, shared by the caller and the thread that performs it.
struct Opening {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;      // guarded by mutex
    bool abandoned = false; // guarded: the caller gave up; the opener closes what it gets
    PcmHandle pcm;          // guarded: what the open gave, until the caller takes it
    int rc = 0;
};

// Names whose last open was given up and has not returned yet: the server behind
// them has not answered since, and a new open would only wait for it again.
std::mutex gUnansweredMutex;
std::multiset<std::string> gUnanswered; // guarded by gUnansweredMutex

bool unanswered(const std::string& name) {
    const std::lock_guard lock(gUnansweredMutex);
    return gUnanswered.count(name) > 0;
}

void setUnanswered(const std::string& name, bool waiting) {
    const std::lock_guard lock(gUnansweredMutex);
    if (waiting) {
        gUnanswered.insert(name);
    } else if (const auto it = gUnanswered.find(name); it != gUnanswered.end()) {
        gUnanswered.erase(it);
    }
}

// Runs on the opener thread. By value: its share keeps the opening alive.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void performOpen(std::shared_ptr<Opening> opening, std::string name, snd_pcm_stream_t direction) {
    snd_pcm_t* opened = nullptr;
    const int rc = snd_pcm_open(&opened, name.c_str(), direction, SND_PCM_NONBLOCK);
    PcmHandle pcm(rc >= 0 ? opened : nullptr);
    bool abandoned = false;
    {
        const std::lock_guard lock(opening->mutex);
        abandoned = opening->abandoned;
        if (!abandoned) {
            opening->pcm = std::move(pcm);
        }
        opening->rc = rc;
        opening->done = true;
    }
    opening->finished.notify_all();
    if (abandoned) {
        pcm.reset(); // nobody waits for it any more
        setUnanswered(name, false);
    }
    liveThreads::leave();
}

} // namespace

PcmHandle openPcm(const char* name, snd_pcm_stream_t direction, int* error) {
    // A non-blocking open still waits for a sound server's greeting (ALSA's pulse
    // plugin connects without a time limit): it runs on a thread of its own, and one
    // that the server does not answer is let go, to close what it gets on its own.
    auto opening = std::make_shared<Opening>();
    int rc = -ENOMEM;
    PcmHandle pcm;
    std::thread opener;
    if (unanswered(name)) {
        rc = -ETIMEDOUT;
    } else {
        liveThreads::enter();
        try {
            opener = std::thread(performOpen, opening, std::string(name), direction);
        } catch (...) {
            liveThreads::leave();
        }
    }
    if (opener.joinable()) {
        std::unique_lock lock(opening->mutex);
        if (opening->finished.wait_for(lock, kOpenWait, [&] { return opening->done; })) {
            rc = opening->rc;
            pcm = std::move(opening->pcm);
            lock.unlock();
            opener.join();
        } else {
            opening->abandoned = true;
            setUnanswered(name, true);
            lock.unlock();
            rc = -ETIMEDOUT;
            liveThreads::keepLibraryLoaded();
            opener.detach();
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
