// Device and format choice, conversion, live drawing and Pause.
// Filled in with the live display.
#include "app/TForm2.h"

void TForm2::startCapture() {}
void TForm2::DriverBoxChange() {}
void TForm2::FormatBoxChange() {}
void TForm2::CaptureStreamFilledBuffer(TSoundCaptureStream&) {}
void TForm2::DXTimer1Timer(int32_t) {}
void TForm2::Button5Click() {}
void TForm2::TrackBar4Change() {}
void TForm2::TrackBar2Change() {}
void TForm2::RedrawPausedTrace() {}
