#include "capture/service/PcmHome.h"

#include "capture/service/PcmOpen.h"
#include "capture/service/PcmSetup.h"

#include <cerrno>

namespace veldora::sound {

PcmHome::PcmHome(std::string name, PcmHandle pcm) : name_(std::move(name)), held_(std::move(pcm)) {}

bool PcmHome::accepts(const PcmFormat& format) {
    const std::lock_guard lock(mutex_);
    for (const Answer& answer : answers_) {
        if (answer.format.format == format.format && answer.format.channels == format.channels &&
            answer.format.rate == format.rate) {
            return answer.accepted;
        }
    }
    if (!held_ && lent_ > 0) {
        return false; // nothing to ask until the capture gives the handle back
    }
    if (!held_) {
        held_ = open(nullptr);
    }
    int rc = held_ ? checkFormat(held_.get(), format) : -ENODEV;
    if (rc < 0 && rc != -EINVAL && lent_ == 0) {
        // Not a refusal: the handle (or the server behind it) has gone. Reopening
        // waits for the server at most openPcm's bound.
        held_ = open(nullptr);
        rc = held_ ? checkFormat(held_.get(), format) : -ENODEV;
    }
    if (rc == 0 || rc == -EINVAL) {
        answers_.push_back({format, rc == 0}); // a dead device's answer is not kept
    }
    return rc == 0;
}

void PcmHome::giveBack(PcmHandle pcm, bool borrowed) {
    PcmHandle spare; // closed outside the lock
    {
        const std::lock_guard lock(mutex_);
        if (borrowed) {
            --lent_;
        }
        if (pcm && !held_) {
            held_ = std::move(pcm);
        } else {
            spare = std::move(pcm);
        }
    }
    returned_.notify_all();
}

void PcmHome::nudge() {
    // Passing through the lock orders this wake after a waiter's check of its condition.
    std::unique_lock lock(mutex_);
    lock.unlock();
    returned_.notify_all();
}

PcmHandle PcmHome::open(int* error) const {
    return openPcm(name_.c_str(), SND_PCM_STREAM_CAPTURE, error);
}

} // namespace veldora::sound
