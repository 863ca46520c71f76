// When the program unloads this library, ALSA's cached global configuration goes with
// it: the program loads and frees the library once per run, and the cache would
// otherwise stay allocated with no code left to free it. Not while a thread of ours
// is still inside ALSA (one waiting on a frozen server): it may still read it.
#include "capture/service/LiveThreads.h"

#include <alsa/asoundlib.h>

namespace veldora::sound {

namespace {

struct ConfigCacheRelease {
    ~ConfigCacheRelease() {
        if (veldora::sound::liveThreads::count() == 0) {
            snd_config_update_free_global();
        }
    }
};

const ConfigCacheRelease releaseOnUnload;

} // namespace

} // namespace veldora::sound
