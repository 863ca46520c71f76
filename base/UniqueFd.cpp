// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "base/UniqueFd.h"

#include <cerrno>

namespace veldora::base {

int UniqueFd::close() {
    if (fd_ < 0)
        return 0;
    const int result = ::close(release());
    return result == 0 || errno == EINTR ? 0 : errno;
}

} // namespace veldora::base
