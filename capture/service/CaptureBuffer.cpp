// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/service/CaptureBuffer.h"

namespace veldora::sound {

CaptureBuffer::CaptureBuffer(CaptureDevice& device, const PcmFormat& format, uint32_t bytes)
    : device_(ServiceRef<CaptureDevice>::share(&device)), format_(format),
      ring_(std::make_shared<CaptureRing>(bytes)) {}

CaptureBuffer::~CaptureBuffer() {
    Stop();
}

// Why capture ended, or `otherwise` while it runs: a device that could not be set up
// is told apart from one that went away while capturing.
HRESULT CaptureBuffer::endedResult(HRESULT otherwise) const {
    if (const int lost = worker_.lostError(); lost != 0) {
        return worker_.setUpFailed() ? DSERR_NODRIVER : captureLostResult(-lost);
    }
    return otherwise;
}

HRESULT CaptureBuffer::GetCurrentPosition(uint32_t* capturePosition, uint32_t* readPosition) {
    const uint32_t position = ring_->writePosition();
    if (capturePosition != nullptr) {
        *capturePosition = position;
    }
    if (readPosition != nullptr) {
        *readPosition = position;
    }
    return endedResult(DS_OK);
}

HRESULT CaptureBuffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* size1, void** region2,
                            uint32_t* size2, uint32_t flags) {
    RingRegions regions;
    if (region1 == nullptr || size1 == nullptr || flags != 0 || !ring_->lock(offset, bytes, regions)) {
        return DSERR_INVALIDPARAM;
    }
    if (regions.second != nullptr && (region2 == nullptr || size2 == nullptr)) {
        return DSERR_INVALIDPARAM;
    }
    *region1 = regions.first;
    *size1 = regions.firstBytes;
    if (region2 != nullptr) {
        *region2 = regions.second;
    }
    if (size2 != nullptr) {
        *size2 = regions.secondBytes;
    }
    return DS_OK;
}

HRESULT CaptureBuffer::Unlock(void*, uint32_t, void*, uint32_t) {
    return DS_OK; // the ring is always readable; nothing to hand back
}

HRESULT CaptureBuffer::ReadNewest(void* out, uint32_t bytes, uint64_t* end) {
    if (out == nullptr || end == nullptr || bytes == 0 || bytes > ring_->size()) {
        return DSERR_INVALIDPARAM;
    }
    for (int attempt = 0; attempt < kNewestTries; ++attempt) {
        *end = ring_->written();
        if (*end < bytes) {
            break;
        }
        if (ring_->copyEnding(*end, static_cast<uint8_t*>(out), bytes)) {
            return DS_OK;
        }
    }
    return endedResult(DSERR_GENERIC);
}

HRESULT CaptureBuffer::Start(uint32_t flags) {
    if ((flags & ~DSCBSTART_LOOPING) != 0) {
        return DSERR_INVALIDPARAM;
    }
    const bool looping = (flags & DSCBSTART_LOOPING) != 0;
    const bool running = worker_.started(); // starting again changes nothing
    const HRESULT started = device_->startCapture(this, format_, ring_, looping, worker_);
    if (started == DS_OK && !running) {
        looping_ = looping;
    }
    return started;
}

HRESULT CaptureBuffer::GetStatus(uint32_t* status) {
    if (status == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *status = worker_.capturing() ? DSCBSTATUS_CAPTURING | (looping_ ? DSCBSTATUS_LOOPING : 0) : 0;
    return DS_OK;
}

HRESULT CaptureBuffer::Stop() {
    device_->stopCapture(this, worker_);
    return DS_OK;
}

} // namespace veldora::sound
