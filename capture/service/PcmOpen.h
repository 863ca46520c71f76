#pragma once
// Opening a device, with a bound on how long its sound server may keep us waiting.
#include "capture/service/AlsaHandles.h"

#include <chrono>

namespace veldora::sound {

// How long an open may wait on a sound server that does not answer. A server that
// answers at all does so in milliseconds; this also leaves room for a loaded machine.
constexpr std::chrono::milliseconds kOpenWait{2000};

// Opens `name` non-blocking (a missing server fails at once instead of waiting) and
// waits at most kOpenWait for it (-ETIMEDOUT then); empty on failure, with ALSA's
// negative error in *error when asked for.
PcmHandle openPcm(const char* name, snd_pcm_stream_t direction, int* error = nullptr);

} // namespace veldora::sound
