#pragma once
// The ALSA handle of one opened capture device, lent to one capture at a time. The
// device checks formats on it; a capture borrows it for its whole run (set-up, reads,
// drop) on its own thread and gives it back without its set-up, so that closing a
// handle at home never waits on a server (a set-up handle is dropped as it closes), or
// closes it when it has died. Shared by the device and its captures: a capture stuck
// on a frozen server may outlive both its buffer and its device, and then closes the
// handle itself when the server lets go.
//
// Threads: any. The lock is never held across a call that may wait on a server
// without a bound; the longest is an open (see openPcm).
#include "capture/service/AlsaHandles.h"
#include "capture/service/PcmFormat.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace veldora::sound {

class PcmHome {
  public:
    PcmHome(std::string name, PcmHandle pcm);

    const std::string& name() const { return name_; }

    // True when the device takes the format. Asks the held handle once per format (a
    // local refinement, no server involved) and remembers the answer, so that a format
    // check never waits for a handle that a capture has borrowed. A handle that answers
    // with anything but a refusal is dead: it is reopened and asked once more.
    bool accepts(const PcmFormat& format);

    // The held handle, waiting up to `wait` while a capture still has it (its drop may
    // be waiting on a frozen server) and `cancelled()` is false; empty when there is none
    // to lend: the caller opens its own (open()) and gives that back instead.
    template <class Cancelled> PcmHandle borrow(std::chrono::milliseconds wait, Cancelled cancelled);
    // Ends the capture's use of a handle: a live one is kept for the next capture (or
    // closed when the home holds one already), an empty one (it died) just ends the loan.
    void giveBack(PcmHandle pcm, bool borrowed);
    // Wakes every borrow() so that it looks at its cancellation again.
    void nudge();

    // A new handle on the same ALSA name, with ALSA's error in *error when it fails.
    PcmHandle open(int* error) const;

  private:
    struct Answer {
        PcmFormat format;
        bool accepted;
    };

    const std::string name_;
    std::mutex mutex_;
    std::condition_variable returned_;
    PcmHandle held_;              // guarded by mutex_
    int lent_ = 0;                // guarded: handles of this home out on loan
    std::vector<Answer> answers_; // guarded
};

template <class Cancelled> PcmHandle PcmHome::borrow(std::chrono::milliseconds wait, Cancelled cancelled) {
    std::unique_lock lock(mutex_);
    returned_.wait_for(lock, wait, [&] { return held_ || lent_ == 0 || cancelled(); });
    if (!held_) {
        return {};
    }
    ++lent_;
    return std::move(held_);
}

} // namespace veldora::sound
