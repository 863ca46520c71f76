// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A capture buffer (IDirectSoundCaptureBuffer): a byte ring filled by a capture thread
// between Start and Stop. Both positions are the end of the data copied so far (ALSA
// hands over whole periods). A device that went away answers captureLostResult, one
// that could not be set up DSERR_NODRIVER, until Stop.
// Start, Stop and the last Release come from the controlling thread; the rest from any.
#include "capture/ServiceRef.h"
#include "capture/SoundService.h"
#include "capture/service/CaptureDevice.h"
#include "capture/service/CaptureRing.h"
#include "capture/service/CaptureWorker.h"
#include "capture/service/PcmFormat.h"
#include "capture/service/RefCounted.h"

#include <memory>

namespace veldora::sound {

class CaptureBuffer final : public RefCounted<IDirectSoundCaptureBuffer> {
  public:
    CaptureBuffer(CaptureDevice& device, const PcmFormat& format, uint32_t bytes);
    ~CaptureBuffer() override;

    HRESULT GetCurrentPosition(uint32_t* capturePosition, uint32_t* readPosition) override;
    // DSERR_INVALIDPARAM for an offset outside the ring, 0 bytes, more bytes than the
    // ring, a null region 1 or size 1, nonzero flags, or a wrapping span with nowhere
    // to put region 2.
    HRESULT Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1, void** region2,
                 uint32_t* size2, uint32_t flags) override;
    HRESULT Unlock(void* region1, uint32_t size1, void* region2, uint32_t size2) override;
    // Tries kNewestTries times; a reader lapped that often was held up for whole rings.
    HRESULT ReadNewest(void* out, uint32_t bytes, uint64_t* end) override;
    static constexpr int kNewestTries = 4;
    // DSCBSTART_LOOPING captures endlessly; 0 captures one ring's worth. DS_OK when
    // already capturing; DSERR_ALLOCATED while another buffer of the same device
    // captures; DSERR_INVALIDPARAM for unknown flags. Never waits on the server.
    HRESULT Start(uint32_t flags) override;
    // Never waits on the server either (see CaptureWorker::stop).
    HRESULT Stop() override;
    HRESULT GetStatus(uint32_t* status) override;

  private:
    HRESULT endedResult(HRESULT otherwise) const;

    ServiceRef<CaptureDevice> device_;
    const PcmFormat format_;
    // Shared with the capture thread, which may outlive this buffer.
    const std::shared_ptr<CaptureRing> ring_;
    CaptureWorker worker_;
    bool looping_ = false; // of the last start
};

} // namespace veldora::sound
