#include "platform/runtime/temp_folder.hpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/runtime/error.hpp"
#include "platform/runtime/process.hpp"

namespace plat {
namespace {

constexpr const char* kPrefix = "ferrowind-";

std::string g_root;
std::string g_folder;
int g_folderOwner = 0;
bool g_exitHandlerSet = false;

std::string Root() {
  if (!g_root.empty()) return g_root;
  const char* env = std::getenv("TMPDIR");
  std::string root = env && *env == '/' ? env : "/tmp";
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

// "<prefix><pid>-<random>": the process that made the folder, or 0.
int FolderOwner(const char* name, const std::string& prefix) {
  if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) return 0;
  int pid = 0;
  const char* p = name + prefix.size();
  for (; *p >= '0' && *p <= '9' && pid < 100000000; ++p) pid = pid * 10 + (*p - '0');
  return *p == '-' ? pid : 0;
}

void RemoveStaleFolders(const std::string& root, const std::string& prefix) {
  DIR* d = ::opendir(root.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(d)) {
    const int pid = FolderOwner(e->d_name, prefix);
    if (pid <= 0 || pid == CurrentProcessId() || ProcessRunning(pid)) continue;
    stale.emplace_back(root + "/" + e->d_name);
  }
  ::closedir(d);
  for (const std::string& path : stale) {
    // Only real folders of this user: a shared /tmp holds other people's
    // files, and remove_all does not follow links inside.
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
}

// mkdtemp never takes an existing folder, so a process that got an ended
// one's number cannot write into what that one left.
std::string MakeFolderOfThisProcess(const std::string& prefix) {
  const std::string root = Root();
  RemoveStaleFolders(root, prefix);
  std::string name = root + "/" + prefix + std::to_string(CurrentProcessId()) + "-XXXXXX";
  if (!::mkdtemp(name.data()))
    throw RuntimeError(ErrorCode::PathNotFound,
                       "Unable to create a temporary folder in " + root + ": " + std::strerror(errno), TextIn::Utf8);
  return name;
}

// A forked child must not remove its parent's folder.
void RemoveFolderOfThisProcess(const std::string& path, int owner) {
  std::error_code ec;
  if (owner == CurrentProcessId()) std::filesystem::remove_all(path, ec);
}

void RemoveAtExit() { RemoveGameTempFolder(); }

}  // namespace

const std::string& GameTempFolder() {
  if (!g_folder.empty()) return g_folder;
  g_folder = MakeFolderOfThisProcess(kPrefix);
  g_folderOwner = CurrentProcessId();
  if (!g_exitHandlerSet) {
    g_exitHandlerSet = true;
    std::atexit(RemoveAtExit);
  }
  return g_folder;
}

void RemoveGameTempFolder() {
  if (g_folder.empty()) return;
  RemoveFolderOfThisProcess(g_folder, g_folderOwner);
  g_folder.clear();
}

void SetTempRoot(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  g_root = std::move(root);
}

void RemoveEndedScratchFolders(const std::string& prefix) { RemoveStaleFolders(Root(), prefix); }

ScratchFolder::ScratchFolder(const std::string& prefix)
    : path_(MakeFolderOfThisProcess(prefix)), owner_(CurrentProcessId()) {}

ScratchFolder::~ScratchFolder() { RemoveFolderOfThisProcess(path_, owner_); }

}  // namespace plat
