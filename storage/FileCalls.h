// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The system calls through which files are written, replaceable so that tests can
// make a write or a flush fail part-way (a full disk, a lost device) on any machine.
// Qt-free; any thread.
#include <cstddef>
#include <functional>
#include <sys/types.h>

namespace veldora::storage {

struct FileCalls {
    // Same contract as ::write and ::fsync: a result of -1 with errno set on failure.
    std::function<ssize_t(int fd, const void* data, size_t size)> write;
    std::function<int(int fd)> fsync;

    // The real calls.
    static const FileCalls& system();
};

} // namespace veldora::storage
