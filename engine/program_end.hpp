#pragma once
// Ending the program from anywhere (the runtime's End statement): unwinds to
// Main, which returns the exit status without running shutdown.
#include <string>

namespace fw {

struct ProgramEnd {
  int exitCode;
};

[[noreturn]] inline void EndProgram(int exitCode = 0) { throw ProgramEnd{exitCode}; }

}  // namespace fw
