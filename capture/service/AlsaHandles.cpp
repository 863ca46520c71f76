#include "capture/service/AlsaHandles.h"

#include "capture/service/AlsaError.h"

namespace veldora::sound {

PcmHandle openPcm(const char* name, snd_pcm_stream_t direction, int* error) {
    snd_pcm_t* pcm = nullptr;
    const int rc = snd_pcm_open(&pcm, name, direction, SND_PCM_NONBLOCK);
    if (error != nullptr) {
        *error = rc < 0 ? rc : 0;
    }
    if (!checkError(rc, name)) {
        return {};
    }
    return PcmHandle(pcm);
}

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
