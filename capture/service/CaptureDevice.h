#pragma once
// An opened capture device (IDirectSoundCapture). It holds one ALSA handle (see
// PcmHome): format probing refines parameters on it, and the one buffer that captures
// at a time borrows it. A handle that has died (its server was killed or restarted) is
// replaced by a freshly opened one.
//
// Threads: any thread may call; starting and stopping are serialised by the device's
// control lock, which the capture thread never takes. No call here waits on a sound
// server without a bound.
#include "capture/SoundService.h"
#include "capture/service/AlsaHandles.h"
#include "capture/service/CaptureRing.h"
#include "capture/service/CaptureWorker.h"
#include "capture/service/PcmFormat.h"
#include "capture/service/PcmHome.h"
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

    // 0 and a new, stopped buffer exactly when the description is well formed and the
    // device accepts its format (see pcmFormatFor for the refusal codes; a format the
    // device refuses gives DSERR_BADFORMAT).
    HRESULT CreateCaptureBuffer(const DSCBUFFERDESC* desc, IDirectSoundCaptureBuffer** buffer,
                                IUnknown* outer) override;

    // For CaptureBuffer. Starts `worker` for `owner`; DS_OK when `owner` already
    // captures; DSERR_ALLOCATED while another buffer of this device captures; the
    // worker's failure when the device cannot be set up (see CaptureWorker::start).
    HRESULT startCapture(const void* owner, const PcmFormat& format, std::shared_ptr<CaptureRing> ring,
                         bool looping, CaptureWorker& worker);
    // Stops `worker` if `owner` is the buffer that captures; otherwise nothing.
    void stopCapture(const void* owner, CaptureWorker& worker);

    const std::string& name() const { return home_->name(); }

  private:
    std::mutex control_;
    const std::shared_ptr<PcmHome> home_;
    const void* capturingOwner_ = nullptr; // guarded by control_
};

} // namespace veldora::sound
