#pragma once
// Program-wide state shared by the main window's handlers. Main thread only.
#include <array>
#include <cstdint>
#include <string>

#include "display/TraceArrays.h"

extern TraceArray TraceX;
extern TraceArray TraceY;
extern CaptureBlockBuffer CaptureBlock;   // read as 1024 little-endian 32-bit words
extern int32_t BlockSize;                 // bytes read per captured block (1024)
extern bool Paused;
extern bool Reversed;
extern int32_t TriggerMode;               // 0 "+/-", -1 "-", +1 "+"
extern std::array<std::string, 11> VoltsPerDivLabels;
// Grows with every write of TraceX or TraceY: whoever writes them counts the write
// here, so the refresh tick knows whether the trace it drew last is still current.
extern uint64_t TraceVersion;

// Back to the state at program start (all zero, empty labels). For tests that build
// several main windows in one process.
void resetProgramState();
