// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Splitting a file path at its last '/'. Qt-free; any thread.
#include <string>

namespace veldora::storage {

namespace pathparts {

// The directory part: "." for a bare name, "/" for a name in the root; a trailing
// '/' is part of the name ("a/b/" lies in "a/b").
std::string directoryOf(const std::string& path);

// The part after the last '/' (empty for "a/b/").
std::string nameOf(const std::string& path);

} // namespace pathparts

} // namespace veldora::storage
