// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

// At the library's unload, or at the end of a host that keeps it loaded to its exit: our
// threads that have ended are joined, those about to end waited for a little, and ALSA's
// cached configuration goes too once none is left (the program loads and frees the
// library once per run, after all have ended). A thread still inside a frozen server
// keeps the configuration it uses, to the process's end.
#include "capture/service/AlsaThreads.h"

#include <alsa/asoundlib.h>

namespace veldora::sound {
namespace {

struct AtUnload {
    ~AtUnload() {
        try {
            if (AlsaThreads::instance().joinAll(AlsaThreads::kLeftWaitingBound)) {
                snd_config_update_free_global();
            }
        } catch (...) {
            // At an unload there is nobody to tell: the cache stays.
        }
    }
};

const AtUnload atUnload;

} // namespace
} // namespace veldora::sound
