#include "tests/common/test_support.hpp"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <cstdlib>
#include <stdexcept>

#include "engine/globals.hpp"
#include "platform/runtime/files.hpp"

namespace fwtest {
namespace fs = std::filesystem;

TempProgramFolder::TempProgramFolder() {
  std::string tmpl = (fs::temp_directory_path() / "fwtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  plat::SetProgramFolder(path_);
  fw::AppPath = path_;
}

TempProgramFolder::~TempProgramFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempProgramFolder::Write(const std::string& rel, const std::string& bytes) const {
  fs::create_directories(fs::path(File(rel)).parent_path());
  std::ofstream f(File(rel), std::ios::binary | std::ios::trunc);
  f << bytes;
}

std::string TempProgramFolder::Read(const std::string& rel) const {
  std::ifstream f(File(rel), std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool TempProgramFolder::Exists(const std::string& rel) const { return fs::exists(File(rel)); }

void WriteSampleData(const std::string& folder) {
  // The tool's own leaks at exit are none of the tests' business.
  const std::string cmd = "ASAN_OPTIONS=detect_leaks=0 '" + MkdataPath() + "' '" + folder + "' >/dev/null";
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("mkdata failed for " + folder);
}

const std::string& SampleDataFolder() {
  struct Folder {
    std::string path;
    pid_t owner = getpid();
    Folder() {
      std::string tmpl = (fs::temp_directory_path() / "fwsample-XXXXXX").string();
      if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
      path = tmpl;
      WriteSampleData(path);
    }
    // Death tests' children exit through here too: only the process that
    // wrote the folder removes it.
    ~Folder() {
      if (getpid() != owner) return;
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  };
  static Folder folder;
  return folder.path;
}

namespace {
// Takes the file powers out of this thread's effective set, or puts back
// those of them it is permitted.
void SetFilePowers(bool on) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (::syscall(SYS_capget, &header, data) != 0) throw std::runtime_error("capget failed");
  for (const int power : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
    __user_cap_data_struct& d = data[power / 32];
    const uint32_t bit = 1u << (power % 32);
    d.effective = on ? d.effective | (d.permitted & bit) : d.effective & ~bit;
  }
  if (::syscall(SYS_capset, &header, data) != 0) throw std::runtime_error("capset failed");
}
}  // namespace

void DropFilePowers() { SetFilePowers(false); }

WithoutFilePowers::~WithoutFilePowers() { SetFilePowers(true); }

std::string BuildProgramFolder() { return FW_PROGRAM_DIR; }
std::string MkdataPath() { return FW_MKDATA_PATH; }
std::string SourceFolder() { return FW_SOURCE_DIR; }

}  // namespace fwtest
