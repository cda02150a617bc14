#include "tests/common/test_support.hpp"

#include <filesystem>
#include <fstream>
#include <sstream>
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

std::string BuildProgramFolder() { return FW_PROGRAM_DIR; }
std::string MkdataPath() { return FW_MKDATA_PATH; }

}  // namespace fwtest
