#pragma once
// The benchmark program's files: all in one scratch folder of the program,
// which goes at its exit; a program ended by its deadline leaves it to the
// next benchmark program, which removes it.
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/runtime/temp_folder.hpp"

namespace fwbench {

// Made as the program starts (see bench_main.hpp), so that every program
// removes what others ended by their deadline left.
inline const std::string& ScratchFolder() {
  static const plat::ScratchFolder scratch("fwbench-");
  return scratch.Path();
}

// A folder of that name in the program's scratch folder.
inline std::string NewFolder(const std::string& name) {
  const std::string path = ScratchFolder() + "/" + name;
  std::filesystem::create_directories(path);
  return path;
}

// The sample data set, written by mkdata once for the program's run. The
// tool ends with the program: one still writing after its program was ended
// by its deadline would fill the folder again while the next removes it.
inline const std::string& SampleDataFolder() {
  static const std::string folder = [] {
    const std::string t = NewFolder("data");
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      const int null = open("/dev/null", O_WRONLY);
      if (getppid() != parent || null < 0 || dup2(null, STDOUT_FILENO) < 0) _exit(127);
      execl(FW_MKDATA_PATH, FW_MKDATA_PATH, t.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
      std::abort();
    return t;
  }();
  return folder;
}

}  // namespace fwbench
