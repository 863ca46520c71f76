// SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The program-wide state shared by the windows' handlers, kept under the names the
// handlers are known by. One object, made by main before the windows and handed
// to each; tests make a fresh one per window. Main thread only.
#include <array>
#include <cstdint>
#include <string>

#include "display/TraceArrays.h"

namespace veldora::app {

class TForm1;
class TForm2;
class TForm3;

struct ProgramState {
    display::TraceArray TraceX{};
    display::TraceArray TraceY{};
    display::CaptureBlockBuffer CaptureBlock{}; // read as 1024 little-endian 32-bit words
    int32_t BlockSize = 0;                      // bytes read per captured block (1024)
    bool Paused = false;
    bool Reversed = false;
    int32_t TriggerMode = 0; // 0 "+/-", -1 "-", +1 "+"
    std::array<std::string, 11> VoltsPerDivLabels{};
    // Grows with every write of TraceX or TraceY: whoever writes them counts the write
    // here, so the refresh tick knows whether the trace it drew last is still current.
    uint64_t TraceVersion = 0;

    // The three windows, each set while it exists.
    TForm1* Form1 = nullptr;
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
};

} // namespace veldora::app
