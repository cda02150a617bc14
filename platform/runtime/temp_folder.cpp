#include "platform/runtime/temp_folder.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
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

// Up to `most` bytes of a small regular file, read without following a
// link or waiting on a FIFO; nullopt for anything else.
std::optional<std::string> ReadSmallFile(const std::string& path, size_t most) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st;
  std::optional<std::string> text;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= most) {
    std::string bytes(most + 1, '\0');
    const ssize_t n = ::read(fd, bytes.data(), bytes.size());
    if (n >= 0 && static_cast<size_t>(n) <= most) text = bytes.substr(0, static_cast<size_t>(n));
  }
  ::close(fd);
  return text;
}

// When a process started, in clock ticks since the machine started (field
// 22 of /proc/<pid>/stat): a process given the number of an ended one
// started later. nullopt where the system does not say.
std::optional<unsigned long long> StartTime(int pid) {
  const auto stat = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat", 4096);
  if (!stat) return std::nullopt;
  // The command name in parentheses may hold spaces and parentheses itself.
  const size_t afterName = stat->rfind(')');
  if (afterName == std::string::npos) return std::nullopt;
  const char* p = stat->data() + afterName + 1;
  const char* end = stat->data() + stat->size();
  for (int field = 3; field < 22; ++field) {
    while (p < end && *p == ' ') ++p;
    while (p < end && *p != ' ') ++p;
  }
  while (p < end && *p == ' ') ++p;
  unsigned long long ticks = 0;
  if (std::from_chars(p, end, ticks).ec != std::errc()) return std::nullopt;
  return ticks;
}

// Whether the process that wrote a mark is still running: its number is
// held by a process that started when it did. Where the start time cannot
// be told, a process of that number counts as the maker.
bool MakerRunning(int pid, unsigned long long start) {
  if (!ProcessRunning(pid)) return false;
  const auto now = StartTime(pid);
  return !now || start == 0 || *now == start;
}

// Whether a folder of the form, made by the process its name gives, may go:
// one that holds that process's mark once the process has ended; one
// without the mark (a player's folder that looks the same, one whose maker
// was killed before it named its mark, or one whose mark could not be
// written) only while empty, which the caller leaves to rmdir.
enum class Leftover { Keep, Whole, IfEmpty };

Leftover Judge(const std::string& path, int pid) {
  const auto mark = ReadSmallFile(path + "/" + kMakerMark, 64);
  if (mark) {
    int markPid = 0;
    unsigned long long start = 0;
    const char* p = mark->data();
    const char* end = p + mark->size();
    auto [afterPid, pidError] = std::from_chars(p, end, markPid);
    if (pidError == std::errc() && afterPid < end && *afterPid == ' ') {
      auto [afterStart, startError] = std::from_chars(afterPid + 1, end, start);
      if (startError == std::errc() && markPid == pid && std::string_view(afterStart, end) == "\n")
        return MakerRunning(pid, start) ? Leftover::Keep : Leftover::Whole;
    }
  }
  return ProcessRunning(pid) ? Leftover::Keep : Leftover::IfEmpty;
}

// Whether a folder holds exactly one entry.
bool OnlyEntry(const std::string& folder) {
  DIR* d = ::opendir(folder.c_str());
  if (!d) return false;
  int entries = 0;
  while (const dirent* e = ::readdir(d))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) ++entries;
  ::closedir(d);
  return entries == 1;
}

void RemoveStaleFolders(const std::string& root, const std::string& prefix) {
  DIR* d = ::opendir(root.c_str());
  if (!d) return;
  std::vector<std::pair<std::string, int>> named;
  while (dirent* e = ::readdir(d)) {
    const int pid = FolderOwner(e->d_name, prefix);
    if (pid > 0) named.emplace_back(root + "/" + e->d_name, pid);
  }
  ::closedir(d);
  for (const auto& [path, pid] : named) {
    // Only real folders of this user: a shared /tmp holds other people's
    // files, and remove_all does not follow links inside.
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
    switch (Judge(path, pid)) {
      case Leftover::Keep: break;
      case Leftover::IfEmpty:
        // All a maker killed between writing its mark and naming it left.
        if (OnlyEntry(path)) RemoveStaleSaveFilesNamed(path, {kMakerMark});
        ::rmdir(path.c_str());
        break;
      case Leftover::Whole: {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
        break;
      }
    }
  }
}

// Marked at once, so that nothing but an empty folder is ever left without
// the mark that lets a later process take it. The mark is written whole
// beside its name and then given it, so a kill never leaves a half-written
// one that reads as none. A folder whose mark cannot be written (no room, no
// permission) is used unmarked all the same: its own process removes it at
// exit, and a later one only while it is empty.
void Mark(const std::string& folder) {
  const int pid = CurrentProcessId();
  const std::string text = std::to_string(pid) + " " + std::to_string(StartTime(pid).value_or(0)) + "\n";
  (void)WriteFileAtomic(folder + "/" + kMakerMark, text, {.link = LinkAtName::Replace, .mode = 0600});
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
  Mark(name);
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
