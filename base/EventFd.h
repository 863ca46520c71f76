// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A wake-up that poll() can wait on: one thread signals, another polls fd() for
// POLLIN. Owns its eventfd. Qt-free; any thread.
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "base/UniqueFd.h"

namespace veldora::base {

class EventFd {
  public:
    // Not valid() when the kernel refuses one (out of descriptors or memory).
    EventFd() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

    bool valid() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    // Makes fd() readable until the count is read; never blocks.
    void signal() const {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd_.get(), &one, sizeof one);
    }

  private:
    UniqueFd fd_;
};

} // namespace veldora::base
