// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The trace: point i is (TraceX[i], TraceY[i]) in screen-picture pixels.
#include <array>
#include <cstdint>

namespace veldora::display {

constexpr int kTraceLength = 319;     // entries 0..318; 280..318 are never used
constexpr int kConvertedPoints = 273; // the conversion writes and drawing uses 0..272
constexpr int kStoredPoints = 280;    // the trace file holds 0..279
constexpr int kCaptureBlockBytes = 4096;

using TraceArray = std::array<int32_t, kTraceLength>;
using CaptureBlockBuffer = std::array<uint8_t, kCaptureBlockBytes>;

} // namespace veldora::display
