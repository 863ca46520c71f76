// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A capture device as an endless, read-only byte stream of PCM samples: opens the
// device, probes its formats, and while started keeps a looping capture ring running.
//
// Threads: every member is called on the main thread (the one MainThreadQueue serves).
// The notification thread only waits and asks the main thread to poll; the handler
// therefore runs on the main thread and may Read without locks.
//
// Decisions where the behaviour is ours to choose:
// - ReadData gives up waiting when no byte has arrived for kStallPolls polls in a row
//   (about one second): the rest of the buffer gets the silence byte, as after a
//   failed lock, and Count is returned.
// - After a handler raised, the stream is stopped on the main thread (through the
//   main-thread queue), never on the ending notification thread.
// - Replacing the handler while capturing keeps capture running: the old thread ends
//   without stopping the stream, and a non-empty new handler gets a fresh thread.
// - "Sound Capture Buffer cannot be made" also when the ring does not start: from
//   Start when the service refuses it, from AvailableBytes when the service found out
//   later (it sets the device up on its own thread, so that Start need not wait on a
//   sound server). Inside the notification poll that is handled as a lost capture.
// - Start never waits for that set-up. Start-up, before the window shows, asks for the
//   wait itself (AwaitSetUp), so that a device that cannot be set up fails start-up.
// - A capture the device ended (its sound server died, the card went away) raises
//   "Sound Capture Buffer lost: <the system's cause>" from AvailableBytes. Inside the
//   notification poll that is one report; the notification thread ends and the stream
//   stops, so nothing polls a dead device; Start (Pause twice) captures again.
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/CaptureDrivers.h"
#include "capture/CaptureFormats.h"
#include "capture/DataReadyEvent.h"
#include "capture/ServiceRef.h"
#include "capture/WaveStream.h"

namespace veldora::capture {

class TSoundCaptureStreamNotify;

class TSoundCaptureStream : public TCustomWaveStream2 {
  public:
    // Polls of ReadData's wait, in milliseconds, and how many polls in a row without a
    // byte count as a stalled device.
    static constexpr int kReadPollMilliseconds = 50;
    static constexpr int kStallPolls = 20;
    // How long AwaitSetUp waits for the service to set the device up.
    static constexpr int kSetUpWaitMilliseconds = 2000;

    // Opens the device (null: the default device) and probes its formats. Raises
    // EDirectXError "Necessary since DirectX 5" without the library, and
    // ESoundCaptureStreamError "DirectSoundCapture cannot be initialized" when the
    // device does not open.
    explicit TSoundCaptureStream(const sound::GUID* DeviceGuid);
    // Stops, then frees the formats, the wave-format block and the device.
    ~TSoundCaptureStream() override;
    TSoundCaptureStream(const TSoundCaptureStream&) = delete;
    TSoundCaptureStream& operator=(const TSoundCaptureStream&) = delete;

    // The capture driver list, without an instance.
    static TDirectXDrivers& CaptureDrivers();

    // Stops, then starts capture in Formats[FormatIndex] with a fresh ring and
    // ReadPosition 0. On failure the stream is stopped and the error passes on.
    void Start();
    // Ends the notification thread, then stops and releases the ring. Harmless when idle.
    void Stop();
    // For start-up, right after Start: waits up to kSetUpWaitMilliseconds for the device's
    // set-up; when it failed, stops and raises "Sound Capture Buffer cannot be made". A
    // set-up still unanswered then is left to the poll.
    void AwaitSetUp();

    int32_t GetAvailableBytes() override; // bytes in the ring not read yet; raises when lost
    // Blocks until Count bytes have been copied (50 ms polls), starting an idle stream
    // first; a failed lock or a stalled device ends the wait and the rest is the silence
    // byte (0x80 for 8-bit samples, else 0). Returns Count.
    int32_t ReadData(void* Buffer, int32_t Count) override;
    // Never waits: copies the newest Count bytes, those that end at the ring's safe read
    // position, and skips everything older (ReadPosition moves to that position, so
    // AvailableBytes drops to 0 and no backlog can build up). Consecutive blocks overlap
    // when fewer than Count bytes arrived in between. False, with Buffer untouched, when
    // not capturing, while fewer than Count bytes have been captured since Start, for a
    // Count outside 1 .. BufferBytes, when the service fails, or when the device kept
    // overwriting the block while it was copied (the service counts every byte it
    // captured, so both checks are exact, however often the ring wrapped in between).
    // For a live display, which wants the present and must not hold the main thread.
    bool ReadLatest(void* Buffer, int32_t Count);

    // Ring length in milliseconds of audio; stores Max(value, 0); used by the next Start.
    void SetBufferMilliseconds(int32_t Value);
    int32_t GetBufferMilliseconds() const { return BufferMilliseconds; }
    // Installs the filled-buffer handler (see the decisions above for a running stream).
    void SetOnDataReady(const TDataReadyEvent& Handler);
    const TDataReadyEvent& GetOnDataReady() const { return OnDataReady; }
    // Calls the handler with this stream as sender, when one is installed.
    virtual void DoDataReady();

    const TSoundCaptureFormats& GetFormats() const { return Formats; }
    bool GetCapturing() const { return Capturing; }
    uint32_t GetReadPosition() const { return ReadPosition; } // bytes into the ring
    uint32_t GetBufferBytes() const { return BufferBytes; }   // ring size, fixed by Start
    // The running ring, or null when idle (for readers that peek at the newest bytes).
    sound::IDirectSoundCaptureBuffer* GetCaptureBuffer() const { return CaptureBuffer.get(); }
    TSoundCaptureStreamNotify* GetNotifyThread() const { return NotifyThread.get(); }

    // Index into Formats of the format Start uses; written directly by the owner.
    int32_t FormatIndex = 0;

  private:
    sound::ServiceRef<sound::IDirectSoundCaptureBuffer> CaptureBuffer;
    int32_t BufferMilliseconds = 1000;
    uint32_t ReadPosition = 0;
    uint32_t BufferBytes = 0;
    sound::ServiceRef<sound::IDirectSoundCapture> CaptureDevice;
    bool Capturing = false;
    std::unique_ptr<TSoundCaptureStreamNotify> NotifyThread;
    TDataReadyEvent OnDataReady;
    TSoundCaptureFormats Formats;
    std::vector<uint8_t> LatestBlock; // ReadLatest's copy, handed on only when whole

    void StartNotifyThread();
    void EndNotifyThread();
};

} // namespace veldora::capture
