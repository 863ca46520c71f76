// At the library's unload ALSA's cached configuration goes too: the program loads and
// frees the library once per run. Made at load, so it ends after AlsaThreads, which
// joins every thread of ours first.
#include <alsa/asoundlib.h>

namespace veldora::sound {
namespace {

struct ConfigCacheRelease {
    ~ConfigCacheRelease() { snd_config_update_free_global(); }
};

const ConfigCacheRelease releaseOnUnload;

} // namespace
} // namespace veldora::sound
