// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/FileCalls.h"

#include <unistd.h>

namespace veldora::storage {

const FileCalls& FileCalls::system() {
    static const FileCalls calls{
        [](int fd, const void* data, size_t size) { return ::write(fd, data, size); },
        [](int fd) { return ::fsync(fd); },
    };
    return calls;
}

} // namespace veldora::storage
