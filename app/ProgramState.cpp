#include "app/ProgramState.h"

TraceArray TraceX{};
TraceArray TraceY{};
uint64_t TraceVersion = 0;
CaptureBlockBuffer CaptureBlock{};
int32_t BlockSize = 0;
bool Paused = false;
bool Reversed = false;
int32_t TriggerMode = 0;
std::array<std::string, 11> VoltsPerDivLabels{};

void resetProgramState() {
    TraceX.fill(0);
    TraceY.fill(0);
    ++TraceVersion;
    CaptureBlock.fill(0);
    BlockSize = 0;
    Paused = false;
    Reversed = false;
    TriggerMode = 0;
    VoltsPerDivLabels.fill(std::string());
}
