// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/AlsaHandles.h"

#include "capture/service/AlsaError.h"

namespace veldora::sound {

HwParams makeHwParams() {
    snd_pcm_hw_params_t* params = nullptr;
    if (!checkError(snd_pcm_hw_params_malloc(&params), "hw params")) {
        return {};
    }
    return HwParams(params);
}

SwParams makeSwParams() {
    snd_pcm_sw_params_t* params = nullptr;
    if (!checkError(snd_pcm_sw_params_malloc(&params), "sw params")) {
        return {};
    }
    return SwParams(params);
}

} // namespace veldora::sound
