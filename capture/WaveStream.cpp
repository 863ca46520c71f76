// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "capture/WaveStream.h"

#include <algorithm>
#include <cstring>

namespace veldora::capture {

namespace {
// The byte count is a running 32-bit total: after 2 GiB (about a day of capture) it
// wraps around instead of overflowing.
int32_t advanced(int32_t position, int32_t bytes) {
    return static_cast<int32_t>(static_cast<uint32_t>(position) + static_cast<uint32_t>(bytes));
}
} // namespace

int32_t TCustomWaveStream::Read(void* Buffer, int32_t Count) {
    const int32_t size = GetSize();
    if (size >= 0) {
        if (Position > size)
            Position = size;
        if (Count > size - Position)
            Count = size - Position;
    }
    const int32_t result = ReadData(Buffer, Count);
    Position = advanced(Position, result);
    return result;
}

int32_t TCustomWaveStream::Write(const void* Buffer, int32_t Count) {
    const int32_t result = WriteData(Buffer, Count);
    Position = advanced(Position, result);
    return result;
}

int64_t TCustomWaveStream::Seek(int64_t offset, base::TSeekOrigin origin) {
    // Seeking only moves the byte count; an unbounded stream has no end to seek from.
    int64_t base = 0;
    if (origin == base::TSeekOrigin::Current)
        base = Position;
    if (origin == base::TSeekOrigin::End)
        base = std::max<int32_t>(GetSize(), 0);
    Position = static_cast<int32_t>(std::clamp<int64_t>(base + offset, 0, INT32_MAX));
    return Position;
}

int32_t TCustomWaveStream::ReadData(void*, int32_t) {
    return 0;
}

int32_t TCustomWaveStream::WriteData(const void*, int32_t) {
    return 0;
}

sound::WAVEFORMATEX* TCustomWaveStream2::GetWaveFormat() {
    // The record is packed (alignment 1), so any byte block of its size holds it.
    return reinterpret_cast<sound::WAVEFORMATEX*>(WaveFormat.get());
}

void TCustomWaveStream2::SetWaveFormatSize(int32_t Size) {
    if (Size <= 0) {
        WaveFormat.reset();
        WaveFormatSize = 0;
        return;
    }
    auto block = std::make_unique<std::byte[]>(static_cast<size_t>(Size)); // zero-filled
    if (WaveFormat)
        std::memcpy(block.get(), WaveFormat.get(), static_cast<size_t>(std::min(Size, WaveFormatSize)));
    WaveFormat = std::move(block);
    WaveFormatSize = Size;
}

} // namespace veldora::capture
