// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/ExecutablePath.h"

#include <unistd.h>

#include <vector>

namespace veldora::base {

namespace {

std::string readExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0)
            return {};
        if (static_cast<size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(length));
        buffer.resize(buffer.size() * 2); // the path may have been cut: try a larger buffer
    }
}

} // namespace

const std::string& executablePath() {
    static const std::string path = readExecutablePath();
    return path;
}

std::string executableDirectory() {
    const std::string& path = executablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string executableName() {
    const std::string& path = executablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace veldora::base
