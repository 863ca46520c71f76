#pragma once
// Asking ALSA about formats and setting a capture device up. Called by whoever holds
// the handle at the time (see PcmHome), never while another call on the same handle
// is under way.
#include "capture/service/PcmFormat.h"

#include <alsa/asoundlib.h>

namespace veldora::sound {

// A period of about 10 ms: the capture thread hands data to the ring this often.
constexpr unsigned kPeriodMilliseconds = 10;
// The device's own buffer, in periods: sound servers left unconstrained pick buffers
// of seconds; a few periods bound the latency and still ride out a late wake-up.
constexpr unsigned kBufferPeriods = 8;

// 0 when the device takes interleaved read/write access with exactly this sample
// format, channel count and rate, together; else ALSA's negative error (-EINVAL for a
// refused format). Only refines a parameter container: the device's own set-up is
// untouched, so this is cheap (no reopen, no stream, no server round trip).
int checkFormat(snd_pcm_t* pcm, const PcmFormat& format);

// Sets the device up for `format` (interleaved read/write access, a period of about
// kPeriodMilliseconds and kBufferPeriods of them, wake-ups every period) and prepares
// it. `periodFrames` receives the period ALSA chose. 0, or ALSA's negative error.
// May wait on a sound server: call it off the main thread.
int setUpCapture(snd_pcm_t* pcm, const PcmFormat& format, snd_pcm_uframes_t& periodFrames);

} // namespace veldora::sound
