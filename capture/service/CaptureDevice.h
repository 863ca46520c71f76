// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// An opened capture device (IDirectSoundCapture): its handles (HandlePool) and the one
// buffer that captures at a time. Any thread; no call waits on a server without a bound.
#include "capture/SoundService.h"
#include "capture/service/AlsaHandles.h"
#include "capture/service/CaptureRing.h"
#include "capture/service/CaptureWorker.h"
#include "capture/service/HandlePool.h"
#include "capture/service/PcmFormat.h"
#include "capture/service/RefCounted.h"

#include <mutex>
#include <string>

namespace veldora::sound {

class CaptureDevice final : public RefCounted<IDirectSoundCapture> {
  public:
    // Opens the device with this GUID (null: ALSA's "default"). DSERR_NODRIVER when
    // no listed device has the GUID or ALSA cannot open it.
    static HRESULT open(const GUID* guid, IDirectSoundCapture** capture);

    CaptureDevice(PcmHandle pcm, std::string name);

    // A new, stopped buffer when the description is well formed (see pcmFormatFor) and
    // the device takes its format (else DSERR_BADFORMAT).
    HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* desc, IDirectSoundCaptureBuffer** buffer,
                                IUnknown* outer) override;

    // For CaptureBuffer: DS_OK when `owner` captures (already or now), DSERR_ALLOCATED
    // while another buffer of this device does.
    HRESULT startCapture(const void* owner, const PcmFormat& format, std::shared_ptr<CaptureRing> ring,
                         bool looping, CaptureWorker& worker);
    // Stops `worker` if `owner` is the buffer that captures; otherwise nothing.
    void stopCapture(const void* owner, CaptureWorker& worker);

    const std::string& name() const { return pool_->name(); }

  private:
    std::mutex control_;
    const std::shared_ptr<HandlePool> pool_;
    const void* capturingOwner_ = nullptr; // guarded by control_
};

} // namespace veldora::sound
