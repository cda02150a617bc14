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
int g_folderOwner = 0;  // a forked child must not remove its parent's folder
bool g_exitHandlerSet = false;

std::string Root() {
  if (!g_root.empty()) return g_root;
  const char* env = std::getenv("TMPDIR");
  std::string root = env && *env == '/' ? env : "/tmp";
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

// "ferrowind-<pid>-<random>": the process that made the folder, or 0.
int FolderOwner(const char* name) {
  const size_t prefix = std::strlen(kPrefix);
  if (std::strncmp(name, kPrefix, prefix) != 0) return 0;
  int pid = 0;
  const char* p = name + prefix;
  for (; *p >= '0' && *p <= '9' && pid < 100000000; ++p) pid = pid * 10 + (*p - '0');
  return *p == '-' ? pid : 0;
}

void RemoveStaleFolders(const std::string& root) {
  DIR* d = ::opendir(root.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(d)) {
    const int pid = FolderOwner(e->d_name);
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

void RemoveAtExit() { RemoveGameTempFolder(); }

}  // namespace

const std::string& GameTempFolder() {
  if (!g_folder.empty()) return g_folder;
  const std::string root = Root();
  RemoveStaleFolders(root);
  std::string name = root + "/" + kPrefix + std::to_string(CurrentProcessId()) + "-XXXXXX";
  if (!::mkdtemp(name.data()))
    throw RuntimeError(ErrorCode::PathNotFound,
                       "Unable to create a temporary folder in " + root + ": " + std::strerror(errno));
  g_folder = name;
  g_folderOwner = CurrentProcessId();
  if (!g_exitHandlerSet) {
    g_exitHandlerSet = true;
    std::atexit(RemoveAtExit);
  }
  return g_folder;
}

void RemoveGameTempFolder() {
  if (g_folder.empty()) return;
  std::error_code ec;
  if (g_folderOwner == CurrentProcessId()) std::filesystem::remove_all(g_folder, ec);
  g_folder.clear();
}

void SetTempRoot(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  g_root = std::move(root);
}

}  // namespace plat
