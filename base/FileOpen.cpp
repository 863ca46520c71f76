// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/FileOpen.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>

namespace veldora::base {

// The top CMakeLists.txt asks for 64-bit file offsets, inode numbers and times on
// every target. Without them a 32-bit build's open and stat fail with EOVERFLOW on a
// file of 2 GiB or more, an inode number above 2^32 or a time after 2038.
static_assert(sizeof(off_t) == 8 && sizeof(ino_t) == 8, "built without 64-bit file offsets");
static_assert(sizeof(time_t) == 8, "built without 64-bit time");

bool isUsablePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

int openRetrying(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace veldora::base
