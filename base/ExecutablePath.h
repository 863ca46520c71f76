// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where the running program's own file lies, read once from /proc/self/exe. The
// program finds its sound library and background pictures next to itself. Qt-free;
// any thread.
#include <string>

namespace veldora::base {

// The executable's full path; empty when the link cannot be read.
const std::string& executablePath();

// Its directory, without a trailing separator; empty when the path is unknown.
std::string executableDirectory();

// Its file name; empty when the path is unknown.
std::string executableName();

} // namespace veldora::base
