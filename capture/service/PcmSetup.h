#pragma once
// Asking ALSA about formats and setting a capture device up. Called on the thread
// that controls the device (see CaptureDevice), never while another call on the same
// handle is under way.
#include "capture/service/PcmFormat.h"

#include <alsa/asoundlib.h>

namespace veldora::sound {

// A period of about 10 ms: the capture thread hands data to the ring this often.
constexpr unsigned kPeriodMilliseconds = 10;
// The device's own buffer, in periods: sound servers left unconstrained pick buffers
// of seconds; a few periods bound the latency and still ride out a late wake-up.
constexpr unsigned kBufferPeriods = 8;

// True when the device takes interleaved read/write access with exactly this sample
// format, channel count and rate, together. Only refines a parameter container: the
// device's own set-up is untouched, so this is cheap (no reopen, no stream).
bool acceptsFormat(snd_pcm_t* pcm, const PcmFormat& format);

// Sets the device up for `format` (interleaved read/write access, a period of about
// kPeriodMilliseconds and kBufferPeriods of them, wake-ups every period) and prepares
// it. `periodFrames` receives the period ALSA chose. False when ALSA refuses.
bool setUpCapture(snd_pcm_t* pcm, const PcmFormat& format, snd_pcm_uframes_t& periodFrames);

} // namespace veldora::sound
