// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/HandlePool.h"

#include "capture/service/PcmSetup.h"

#include <cerrno>

namespace veldora::sound {

HandlePool::HandlePool(std::string name, PcmHandle pcm) : name_(std::move(name)), held_(std::move(pcm)) {}

bool HandlePool::accepts(const PcmFormat& format) {
    const std::lock_guard lock(mutex_);
    for (const Answer& answer : answers_) {
        if (answer.format.format == format.format && answer.format.channels == format.channels &&
            answer.format.rate == format.rate) {
            return answer.accepted;
        }
    }
    if (!held_ && taken_) {
        return false; // nothing to ask until the capture gives the handle back
    }
    if (!held_) {
        held_ = open(nullptr, OpenedBy::anyCaller);
    }
    int rc = held_ ? checkFormat(held_.get(), format) : -ENODEV;
    if (rc < 0 && rc != -EINVAL && !taken_) {
        held_ = open(nullptr, OpenedBy::anyCaller); // not a refusal: the handle, or its server, has gone
        rc = held_ ? checkFormat(held_.get(), format) : -ENODEV;
    }
    if (rc == 0 || rc == -EINVAL) {
        answers_.push_back({format, rc == 0}); // a dead device's answer is not kept
    }
    return rc == 0;
}

PcmHandle HandlePool::take(int* error) {
    {
        const std::lock_guard lock(mutex_);
        taken_ = true;
        if (held_) {
            *error = 0;
            return std::move(held_);
        }
    }
    return open(error, OpenedBy::deviceHolder);
}

void HandlePool::giveBack(PcmHandle pcm) {
    PcmHandle spare; // closed outside the lock
    const std::lock_guard lock(mutex_);
    taken_ = false;
    if (pcm && !held_) {
        held_ = std::move(pcm);
    } else {
        spare = std::move(pcm);
    }
}

PcmHandle HandlePool::reopen(int* error) const {
    return open(error, OpenedBy::deviceHolder);
}

PcmHandle HandlePool::open(int* error, OpenedBy by) const {
    return openPcm(name_.c_str(), SND_PCM_STREAM_CAPTURE, error, by);
}

} // namespace veldora::sound
