#pragma once
// Where the program's own files lie. Qt-free.
#include <string>

// The directory of the running executable (from /proc/self/exe), without a trailing
// separator; empty when the link cannot be read.
std::string executableDirectory();
