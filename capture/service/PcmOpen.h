#pragma once
// Opening a device, with a bound on how long its sound server may keep us waiting.
#include "capture/service/AlsaHandles.h"

#include <chrono>

namespace veldora::sound {

// How long an open may wait on a sound server; one that answers at all does so in
// milliseconds, and this leaves room for a loaded machine.
constexpr std::chrono::milliseconds kOpenWait{2000};

// Opens `name` non-blocking, on a thread of its own that is left waiting after kOpenWait
// (-ETIMEDOUT then, and at once while it has not ended). Empty on failure, with ALSA's
// negative error in *error when asked for.
PcmHandle openPcm(const char* name, snd_pcm_stream_t direction, int* error = nullptr);

} // namespace veldora::sound
