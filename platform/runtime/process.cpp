#include "platform/runtime/process.hpp"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "platform/runtime/files.hpp"

namespace plat {

bool ChangeFolder(std::string_view gameFolder) { return ::chdir(NativePath(gameFolder).c_str()) == 0; }

int CurrentProcessId() { return static_cast<int>(::getpid()); }

bool ProcessRunning(int pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace plat
