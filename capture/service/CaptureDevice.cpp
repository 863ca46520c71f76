// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/CaptureDevice.h"

#include "capture/service/CaptureBuffer.h"
#include "capture/service/DeviceList.h"
#include "capture/service/Guarded.h"
#include "capture/service/PcmOpen.h"

namespace veldora::sound {

HRESULT CaptureDevice::open(const GUID* guid, IDirectSoundCapture** capture) {
    const auto name = deviceNameFor(guid, SND_PCM_STREAM_CAPTURE);
    if (!name) {
        return DSERR_NODRIVER;
    }
    // On the caller's thread, the program's main one: only its start-up opens a device.
    PcmHandle pcm = openPcm(name->c_str(), SND_PCM_STREAM_CAPTURE);
    if (!pcm) {
        return DSERR_NODRIVER;
    }
    *capture = createRefCounted<CaptureDevice>(std::move(pcm), *name);
    return DS_OK;
}

CaptureDevice::CaptureDevice(PcmHandle pcm, std::string name)
    : pool_(std::make_shared<HandlePool>(std::move(name), std::move(pcm))) {}

HRESULT CaptureDevice::CreateCaptureBuffer(const DSCBUFFERDESC* desc, IDirectSoundCaptureBuffer** buffer,
                                           IUnknown* outer) {
    if (buffer == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *buffer = nullptr;
    if (outer != nullptr) {
        return DSERR_INVALIDPARAM;
    }
    PcmFormat format;
    if (const HRESULT shape = pcmFormatFor(desc, format); shape != DS_OK) {
        return shape;
    }
    if (!pool_->accepts(format)) {
        return DSERR_BADFORMAT;
    }
    return guarded([&] {
        *buffer = createRefCounted<CaptureBuffer>(*this, format, desc->dwBufferBytes);
        return DS_OK;
    });
}

HRESULT CaptureDevice::startCapture(const void* owner, const PcmFormat& format,
                                    std::shared_ptr<CaptureRing> ring, bool looping, CaptureWorker& worker) {
    const std::lock_guard lock(control_);
    if (capturingOwner_ == owner) {
        return DS_OK;
    }
    if (capturingOwner_ != nullptr) {
        return DSERR_ALLOCATED;
    }
    return guarded([&] {
        const HRESULT started = worker.start(pool_, format, std::move(ring), looping);
        if (started == DS_OK) {
            capturingOwner_ = owner;
        }
        return started;
    });
}

void CaptureDevice::stopCapture(const void* owner, CaptureWorker& worker) {
    const std::lock_guard lock(control_);
    if (capturingOwner_ != owner) {
        return;
    }
    worker.stop();
    capturingOwner_ = nullptr;
}

} // namespace veldora::sound
