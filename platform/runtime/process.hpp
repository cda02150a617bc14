#pragma once
// The few process-wide system calls the game makes: the current folder, and
// telling whether another game is still running.
#include <string_view>

namespace plat {

// Makes a game folder the current folder; false when it cannot.
bool ChangeFolder(std::string_view gameFolder);

int CurrentProcessId();
// True unless the system says no such process exists; a process that exists
// but belongs to someone else counts as running.
bool ProcessRunning(int pid);

}  // namespace plat
