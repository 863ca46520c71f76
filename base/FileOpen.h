// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Opening files by path. Qt-free; any thread.
#include <string>
#include <sys/types.h>

namespace veldora::base {

// False for a path no file can have: empty (which some calls would take for the
// standard input or output) or holding a NUL byte (the system would see a shorter one).
bool isUsablePath(const std::string& path);

// ::open, repeated while a signal interrupts it: a descriptor, or -1 with errno set.
int openRetrying(const char* path, int flags, mode_t mode = 0);

} // namespace veldora::base
