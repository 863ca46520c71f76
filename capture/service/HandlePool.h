// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The ALSA handles of one opened capture device: the one it holds between captures,
// on which formats are checked, and the one a capture has taken for its run. Shared by
// the device and its captures, as a capture may outlive both. Any thread.
#include "capture/service/AlsaHandles.h"
#include "capture/service/PcmFormat.h"
#include "capture/service/PcmOpen.h"

#include <mutex>
#include <string>
#include <vector>

namespace veldora::sound {

class HandlePool {
  public:
    HandlePool(std::string name, PcmHandle pcm);

    const std::string& name() const { return name_; }

    // True when the device takes the format: asked once per format of the held handle
    // (no server involved) and remembered. A handle that answers with anything but a
    // refusal has died and is reopened once; none is asked while a capture has it.
    bool accepts(const PcmFormat& format);

    // For a capture, which holds the device (AlsaThreads::waitForDevice): the held handle,
    // or a new one (ALSA's error in *error when that fails). Each capture gives back what
    // it took.
    PcmHandle take(int* error);
    // The capture's handle back, without its set-up, so that closing it never waits
    // on a server; empty when it died.
    void giveBack(PcmHandle pcm);
    // For the capture that holds the device: a new handle on the same ALSA name, with
    // ALSA's error in *error when it fails.
    PcmHandle reopen(int* error) const;

  private:
    PcmHandle open(int* error, OpenedBy by) const;

    struct Answer {
        PcmFormat format;
        bool accepted;
    };

    const std::string name_;
    std::mutex mutex_;
    PcmHandle held_;              // guarded by mutex_
    bool taken_ = false;          // guarded: a capture has a handle of this pool
    std::vector<Answer> answers_; // guarded
};

} // namespace veldora::sound
