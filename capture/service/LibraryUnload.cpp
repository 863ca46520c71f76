// At the library's unload ALSA's cached configuration goes too: the program loads and
// frees the library once per run, after every thread of ours has ended. A host that ends
// without asking leaves it to a thread still inside a frozen server.
#include "capture/service/AlsaThreads.h"

#include <alsa/asoundlib.h>

#include <chrono>

namespace veldora::sound {
namespace {

struct ConfigCacheRelease {
    ~ConfigCacheRelease() {
        try {
            if (AlsaThreads::instance().joinAll(std::chrono::milliseconds(0))) {
                snd_config_update_free_global();
            }
        } catch (...) {
            // At an unload there is nobody to tell: the cache stays.
        }
    }
};

const ConfigCacheRelease releaseOnUnload;

} // namespace
} // namespace veldora::sound
