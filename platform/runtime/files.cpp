#include "platform/runtime/files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/runtime/code_page.hpp"
#include "platform/runtime/strings.hpp"

namespace plat {
namespace {

std::string g_programFolder;
bool g_failNextRename = false;

std::string DetectProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path().string();
  return exe.parent_path().string();
}

bool IsDir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0;
}

std::string Join(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  return a.back() == '/' ? a + b : a + "/" + b;
}

// The name on disk of one part of a game path inside folder. Game names are
// in the game's code page and stand on disk in UTF-8; a part already in the
// system's spelling (as a folder the player named) is taken as it stands.
std::string NativePart(const std::string& folder, const std::string& part) {
  if (part == "." || part == "..") return part;
  const std::string utf8 = ToUtf8(part);
  if (Exists(Join(folder, utf8))) return utf8;
  if (Exists(Join(folder, part))) return part;
  const bool converts = ConvertsToUtf8(part);
  if (DIR* d = ::opendir(folder.empty() ? "." : folder.c_str())) {
    std::string found;
    while (dirent* e = ::readdir(d)) {
      // Compared in game terms, where case folding spares double-byte
      // characters; a raw part is compared as it stands.
      if (converts ? EqualNoCase(FromUtf8(e->d_name), part) : EqualNoCase(e->d_name, part)) {
        found = e->d_name;
        break;
      }
    }
    ::closedir(d);
    if (!found.empty()) return found;
  }
  return converts ? utf8 : part;
}

// The parts of a game path, split at separators that stand on their own:
// the second byte of a double-byte character may be a backslash.
std::vector<std::string> PathParts(std::string_view p) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < p.size();) {
    const size_t n = CharBytesAt(p, i);
    if (n == 1 && (p[i] == '\\' || p[i] == '/'))
      parts.emplace_back();
    else
      parts.back().append(p.substr(i, n));
    i += n;
  }
  return parts;
}

}  // namespace

const std::string& ProgramFolder() {
  if (g_programFolder.empty()) g_programFolder = DetectProgramFolder();
  return g_programFolder;
}

void SetProgramFolder(std::string folder) {
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  g_programFolder = std::move(folder);
}

std::string NativePath(std::string_view gamePath) {
  if (gamePath.empty()) return "";
  // A path under the program folder begins with the folder's own spelling,
  // which is the system's, whatever characters it holds.
  std::string built;
  const std::string& root = ProgramFolder();
  if (!root.empty() && gamePath.starts_with(root) &&
      (gamePath.size() == root.size() || gamePath[root.size()] == '\\' || gamePath[root.size()] == '/')) {
    built = root;
    gamePath.remove_prefix(root.size());
  }
  std::vector<std::string> parts = PathParts(gamePath);
  if (built.empty() && parts.front().empty() && parts.size() > 1) built = "/";
  const bool trailing = parts.size() > 1 && parts.back().empty();
  std::erase_if(parts, [](const std::string& part) { return part.empty(); });
  // Mostly the whole path exists as converted; only then is no folder read.
  std::string direct = built;
  for (const auto& part : parts) direct = Join(direct, ToUtf8(part));
  if (!Exists(direct)) {
    for (const auto& part : parts) built = Join(built, NativePart(built, part));
    direct = built;
  }
  if (trailing && !direct.empty() && direct.back() != '/') direct += '/';
  return direct;
}

bool FileExists(std::string_view gamePath) { return IsFile(NativePath(gamePath)); }
bool DirExists(std::string_view gamePath) { return IsDir(NativePath(gamePath)); }

std::string Dir(std::string_view gamePath) {
  const std::string native = NativePath(gamePath);
  if (!IsFile(native)) return "";
  const std::string name = std::filesystem::path(native).filename().string();
  if (name.empty() || name[0] == '.') return "";
  return FromUtf8(name);
}

std::vector<std::string> ListFiles(std::string_view gameFolder) {
  std::vector<std::string> names;
  const std::string folder = NativePath(gameFolder);
  DIR* d = ::opendir(folder.c_str());
  if (!d) return names;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    if (IsFile(folder + "/" + e->d_name)) names.push_back(FromUtf8(e->d_name));
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::vector<uint8_t>> ReadAllBytes(std::string_view gamePath) {
  const std::string native = NativePath(gamePath);
  if (!IsFile(native)) return std::nullopt;
  FILE* f = std::fopen(native.c_str(), "rb");
  if (!f) return std::nullopt;
  std::vector<uint8_t> data;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  const bool bad = std::ferror(f);
  std::fclose(f);
  if (bad) return std::nullopt;
  return data;
}

std::optional<std::string> ReadAllText(std::string_view gamePath) {
  auto bytes = ReadAllBytes(gamePath);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

namespace {
bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t w = ::write(fd, p, size);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    size -= static_cast<size_t>(w);
  }
  return true;
}
}  // namespace

bool WriteFile(std::string_view gamePath, const void* data, size_t size) {
  const std::string native = NativePath(gamePath);
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  const bool ok = WriteAll(fd, data, size);
  return (::close(fd) == 0) && ok;
}

bool WriteFileAtomic(std::string_view gamePath, const void* data, size_t size) {
  const std::string native = NativePath(gamePath);
  const std::string temp = native + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data, size) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && g_failNextRename) {
    g_failNextRename = false;
    return false;  // as if the program died here: the temporary file stays
  }
  if (!ok || ::rename(temp.c_str(), native.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

void FailNextAtomicRename() { g_failNextRename = true; }

bool RemoveFile(std::string_view gamePath) {
  const std::string native = NativePath(gamePath);
  if (::unlink(native.c_str()) == 0) return true;
  return errno == ENOENT;
}

bool MakeDir(std::string_view gamePath) {
  const std::string native = NativePath(gamePath);
  if (IsDir(native)) return true;
  return ::mkdir(native.c_str(), 0755) == 0;
}

int64_t FileLen(std::string_view gamePath) {
  struct stat st;
  if (::stat(NativePath(gamePath).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

}  // namespace plat
