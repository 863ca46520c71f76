// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Wave streams: byte streams of PCM samples with a wave-format record. The same thread
// that owns the stream (the main thread for the capture stream) calls everything.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/ByteStream.h"
#include "capture/SoundService.h"

namespace veldora::capture {

class TCustomWaveStream : public base::TStream {
  public:
    // Running count of bytes delivered by Read (and taken by Write).
    int32_t Position = 0;

    void SetSize(int64_t) override {} // a wave stream's size is not set from outside
    // With a negative size: ReadData(Buffer, Count). Otherwise Position is first lowered
    // to the size and Count to what remains. The result is added to Position.
    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t offset, base::TSeekOrigin origin) override;

    virtual int32_t GetAvailableBytes() { return -1; } // bytes waiting; -1: unknown
    virtual sound::WAVEFORMATEX* GetWaveFormat() = 0;
    virtual int32_t GetWaveFormatSize() { return 0; }
    virtual int32_t GetSize() { return -1; } // -1: unbounded
    virtual int32_t ReadData(void* Buffer, int32_t Count);
    virtual void SetWaveFormatSize(int32_t Size) = 0;
    virtual int32_t WriteData(const void* Buffer, int32_t Count);

    int32_t AvailableBytes() { return GetAvailableBytes(); }
};

class TCustomWaveStream2 : public TCustomWaveStream {
  public:
    // The wave-format record in the owned block; null until first sized.
    sound::WAVEFORMATEX* GetWaveFormat() override;
    int32_t GetWaveFormatSize() override { return WaveFormatSize; }
    // Reallocates the block to Size bytes (0 frees it), keeping what fits; stores Size.
    void SetWaveFormatSize(int32_t Size) override;

  protected:
    std::unique_ptr<std::byte[]> WaveFormat;
    int32_t WaveFormatSize = 0;
};

} // namespace veldora::capture
