// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The general byte-stream base: read, write, seek and size setting. Positions and
// counts are bytes.
#include <cstdint>

namespace veldora::base {

enum class TSeekOrigin { Beginning, Current, End };

class TStream {
  public:
    virtual ~TStream() = default;
    virtual void SetSize(int64_t newSize) = 0;
    // Fills up to Count bytes of Buffer; returns how many.
    virtual int32_t Read(void* Buffer, int32_t Count) = 0;
    virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
};

} // namespace veldora::base
