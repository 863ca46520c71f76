// Save, Load, Merge and picture export.
// Filled in with the trace file.
#include "app/TForm2.h"

void TForm2::WriteTraceFile(const std::string&) {}
void TForm2::ReadTraceFile(const std::string&) {}
void TForm2::Button4Click() {}
void TForm2::Button3Click() {}
void TForm2::Button6Click() {}
void TForm2::Image5Click() {}
