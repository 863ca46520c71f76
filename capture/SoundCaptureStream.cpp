// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/SoundCaptureStream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include "base/MulDiv.h"
#include "capture/CaptureErrors.h"
#include "capture/SoundCaptureStreamNotify.h"
#include "capture/SoundLibrary.h"

namespace veldora::capture {

TSoundCaptureStream::TSoundCaptureStream(const sound::GUID* DeviceGuid) {
    // A raise below leaves nothing: the members release the device and free the formats.
    if (DirectSoundCaptureCreate(DeviceGuid, CaptureDevice.put(), nullptr) != sound::DS_OK || !CaptureDevice)
        throw ESoundCaptureStreamError("DirectSoundCapture cannot be initialized");
    ProbeCaptureFormats(*CaptureDevice.get(), Formats);
}

TSoundCaptureStream::~TSoundCaptureStream() {
    Stop();
    Formats.Clear();
    SetWaveFormatSize(0);
    CaptureDevice.reset();
}

TDirectXDrivers& TSoundCaptureStream::CaptureDrivers() {
    return capture::CaptureDrivers();
}

void TSoundCaptureStream::Start() {
    Stop();
    try {
        Capturing = true;
        SetWaveFormatSize(sizeof(sound::WAVEFORMATEX));
        const TSoundCaptureFormat& item = Formats.Items(FormatIndex);
        sound::WAVEFORMATEX& format = *GetWaveFormat();
        MakePCMWaveFormat(format, item.SamplesPerSec, item.BitsPerSample, item.Channels);
        BufferBytes = static_cast<uint32_t>(std::max(
            base::MulDiv(static_cast<int32_t>(format.nAvgBytesPerSec), BufferMilliseconds, 1000), 8000));
        sound::DSCBUFFERDESC desc{};
        desc.dwSize = 20;
        desc.dwFlags = 0;
        desc.dwBufferBytes = BufferBytes;
        desc.lpwfxFormat = &format;
        if (CaptureDevice->CreateCaptureBuffer(&desc, CaptureBuffer.put(), nullptr) != sound::DS_OK ||
            !CaptureBuffer)
            throw ESoundCaptureStreamError("Sound Capture Buffer cannot be made");
        ReadPosition = 0;
        // The device is set up as the ring starts: a ring that does not start is one
        // that cannot be made.
        if (CaptureBuffer->Start(sound::DSCBSTART_LOOPING) != sound::DS_OK)
            throw ESoundCaptureStreamError("Sound Capture Buffer cannot be made");
        if (OnDataReady)
            StartNotifyThread();
    } catch (...) {
        Stop();
        throw;
    }
}

void TSoundCaptureStream::AwaitSetUp() {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kSetUpWaitMilliseconds);
    while (CaptureBuffer) {
        uint32_t status = 0;
        if (CaptureBuffer->GetStatus(&status) != sound::DS_OK || (status & sound::DSCBSTATUS_CAPTURING) != 0)
            return;
        const sound::HRESULT position = CaptureBuffer->GetCurrentPosition(nullptr, nullptr);
        if (position == sound::DSERR_NODRIVER) {
            Stop();
            throw ESoundCaptureStreamError("Sound Capture Buffer cannot be made");
        }
        if (position != sound::DS_OK || Clock::now() >= deadline)
            return; // lost at once, or no answer yet: the poll reports what follows
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void TSoundCaptureStream::StartNotifyThread() {
    // Stored before its body runs, so the body never sees a stream without its thread.
    // After a failing handler the thread asks, through the main-thread queue, to be
    // ended; ending it stops capture. The request dies with the thread, so it only
    // ever finds this stream with that thread.
    NotifyThread = std::make_unique<TSoundCaptureStreamNotify>(*this, [this] { Stop(); });
    NotifyThread->Resume();
}

void TSoundCaptureStream::EndNotifyThread() {
    // Taken out first: a handler the end still serves may call Stop or Start again.
    TSoundCaptureStreamNotify::End(std::move(NotifyThread));
}

void TSoundCaptureStream::Stop() {
    if (!Capturing)
        return;
    // The thread ends first, while the ring still runs: a poll it is waiting for may
    // still read. A handler served meanwhile may have started capture afresh: its
    // thread ends too.
    while (NotifyThread)
        EndNotifyThread();
    Capturing = false;
    if (CaptureBuffer) {
        CaptureBuffer->Stop();
        CaptureBuffer.reset();
    }
}

int32_t TSoundCaptureStream::GetAvailableBytes() {
    if (!CaptureBuffer)
        return 0;
    uint32_t capturePosition = 0;
    uint32_t readPosition = 0;
    const sound::HRESULT result = CaptureBuffer->GetCurrentPosition(&capturePosition, &readPosition);
    if (sound::isCaptureLost(result))
        throw ESoundCaptureStreamError("Sound Capture Buffer lost: " +
                                       std::string(std::strerror(sound::captureLostErrno(result))));
    // The device could not be set up after Start returned: the ring was never made.
    if (result == sound::DSERR_NODRIVER)
        throw ESoundCaptureStreamError("Sound Capture Buffer cannot be made");
    if (result != sound::DS_OK)
        return 0;
    // Equal positions read as empty: an overrun by whole rings cannot be told apart.
    if (ReadPosition > readPosition)
        return static_cast<int32_t>(BufferBytes - ReadPosition + readPosition);
    return static_cast<int32_t>(readPosition - ReadPosition);
}

int32_t TSoundCaptureStream::ReadData(void* Buffer, int32_t Count) {
    if (!Capturing)
        Start();
    auto* out = static_cast<uint8_t*>(Buffer);
    int32_t got = 0;
    int idlePolls = 0;
    while (got < Count) {
        const int32_t wanted = std::min(Count - got, AvailableBytes());
        int32_t copied = 0;
        if (wanted > 0) {
            void* p1 = nullptr;
            void* p2 = nullptr;
            uint32_t s1 = 0;
            uint32_t s2 = 0;
            if (CaptureBuffer->Lock(ReadPosition, static_cast<uint32_t>(wanted), &p1, &s1, &p2, &s2, 0) !=
                sound::DS_OK)
                break;
            // Never trust the service with the caller's buffer: copy at most what we asked.
            const uint32_t n1 = p1 ? std::min(s1, static_cast<uint32_t>(wanted)) : 0;
            const uint32_t n2 = p2 ? std::min(s2, static_cast<uint32_t>(wanted) - n1) : 0;
            if (n1)
                std::memcpy(out + got, p1, n1);
            if (n2)
                std::memcpy(out + got + n1, p2, n2);
            copied = static_cast<int32_t>(n1 + n2);
            got += copied;
            CaptureBuffer->Unlock(p1, s1, p2, s2);
            ReadPosition = (ReadPosition + n1 + n2) % BufferBytes;
        }
        if (got < Count) {
            idlePolls = copied > 0 ? 0 : idlePolls + 1;
            if (idlePolls >= kStallPolls)
                break; // the device has stopped delivering
            std::this_thread::sleep_for(std::chrono::milliseconds(kReadPollMilliseconds));
        }
    }
    if (got < Count) {
        const sound::WAVEFORMATEX* format = GetWaveFormat();
        const uint8_t silence = format && format->wBitsPerSample == 8 ? 0x80 : 0x00;
        std::memset(out + got, silence, static_cast<size_t>(Count - got));
    }
    return Count;
}

bool TSoundCaptureStream::ReadLatest(void* Buffer, int32_t Count) {
    if (!CaptureBuffer || Count <= 0 || static_cast<uint32_t>(Count) > BufferBytes)
        return false;
    // The service counts every byte it captured and checks that none of the block was
    // overwritten while it was copied; the block goes to Buffer only when whole.
    LatestBlock.resize(static_cast<size_t>(Count));
    uint64_t end = 0;
    if (CaptureBuffer->ReadNewest(LatestBlock.data(), static_cast<uint32_t>(Count), &end) != sound::DS_OK)
        return false;
    std::memcpy(Buffer, LatestBlock.data(), static_cast<size_t>(Count));
    ReadPosition = static_cast<uint32_t>(end % BufferBytes);
    return true;
}

void TSoundCaptureStream::SetBufferMilliseconds(int32_t Value) {
    BufferMilliseconds = std::max(Value, 0);
}

void TSoundCaptureStream::SetOnDataReady(const TDataReadyEvent& Handler) {
    if (Handler.sameAs(OnDataReady))
        return;
    if (!Capturing) {
        OnDataReady = Handler;
        return;
    }
    // Ending a thread never stops capture by itself, so capture runs on across the swap.
    EndNotifyThread();
    OnDataReady = Handler;
    if (OnDataReady && Capturing)
        StartNotifyThread();
}

void TSoundCaptureStream::DoDataReady() {
    if (OnDataReady)
        OnDataReady(*this);
}

} // namespace veldora::capture
