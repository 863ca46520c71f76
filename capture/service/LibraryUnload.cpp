// When the program unloads this library, ALSA's cached global configuration goes with
// it: the program loads and frees the library once per run, and the cache would
// otherwise stay allocated with no code left to free it.
#include <alsa/asoundlib.h>

namespace {

struct ConfigCacheRelease {
    ~ConfigCacheRelease() { snd_config_update_free_global(); }
};

const ConfigCacheRelease releaseOnUnload;

} // namespace
