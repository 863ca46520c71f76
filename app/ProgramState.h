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

// Back to the state at program start (all zero, empty labels). For tests that build
// several main windows in one process.
void resetProgramState();
