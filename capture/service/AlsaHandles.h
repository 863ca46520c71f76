// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Owners of ALSA resources. Any thread may create and destroy them; a handle itself
// is used by one thread at a time (see CaptureDevice for who that is).
#include <alsa/asoundlib.h>

#include <memory>

namespace veldora::sound {

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

struct HintFreer {
    void operator()(void** hints) const { snd_device_name_free_hint(hints); }
};
using HintList = std::unique_ptr<void*, HintFreer>;

struct HwParamsFreer {
    void operator()(snd_pcm_hw_params_t* params) const { snd_pcm_hw_params_free(params); }
};
using HwParams = std::unique_ptr<snd_pcm_hw_params_t, HwParamsFreer>;

struct SwParamsFreer {
    void operator()(snd_pcm_sw_params_t* params) const { snd_pcm_sw_params_free(params); }
};
using SwParams = std::unique_ptr<snd_pcm_sw_params_t, SwParamsFreer>;

// An empty parameter container; empty on allocation failure.
HwParams makeHwParams();
SwParams makeSwParams();

} // namespace veldora::sound
