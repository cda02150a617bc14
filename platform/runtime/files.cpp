#include "platform/runtime/files.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>

#include "platform/runtime/code_page.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/game_files.hpp"
#include "platform/runtime/process.hpp"
#include "platform/runtime/strings.hpp"

namespace plat {
namespace {

std::string g_programFolder;
int g_renamesBeforeFailure = -1;  // -1: none planned

struct PlannedFailure {
  int error;
  int skip;
  std::function<void()> act;  // where set, run at the call instead of failing it
};
// One plan for each kind of call, so that a test can fail two calls of one
// save (a look and a rename) at once.
std::optional<PlannedFailure> g_plannedFailures[static_cast<size_t>(FileCall::Link) + 1];

// Whether the test hook fails this call; errno then holds its error.
bool PlannedToFail(FileCall call) {
  std::optional<PlannedFailure>& plan = g_plannedFailures[static_cast<size_t>(call)];
  if (!plan) return false;
  if (plan->skip-- > 0) return false;
  if (plan->act) {
    // Met before it acts: the act's own file calls are no calls of the plan.
    const std::function<void()> act = std::move(plan->act);
    plan.reset();
    const int saved = errno;
    act();
    errno = saved;
    return false;
  }
  if (plan->error == 0) ::kill(::getpid(), SIGKILL);  // a crash at this very call
  errno = plan->error;
  plan.reset();
  return true;
}

// Stores errno where the caller asked for it; always false, for returns.
bool Failed(int* error) {
  if (error) *error = errno;
  return false;
}

std::string DetectProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path().string();
  return exe.parent_path().string();
}

// The look at an entry that every test of a file makes, links followed or
// not; false, errno holding why, when it fails.
bool Look(const std::string& native, struct stat* st, bool followLinks = true) {
  if (PlannedToFail(FileCall::Look)) return false;
  return (followLinks ? ::stat(native.c_str(), st) : ::lstat(native.c_str(), st)) == 0;
}

// 0 for a regular file, EISDIR for a folder, kNotAFile for anything else.
int KindOf(const struct stat& st) {
  if (S_ISREG(st.st_mode)) return 0;
  return S_ISDIR(st.st_mode) ? EISDIR : kNotAFile;
}

bool IsDir(const std::string& p) {
  struct stat st;
  return Look(p, &st) && S_ISDIR(st.st_mode);
}

// 0 for a regular file, else why not: the system's error number, or the
// kind of entry that stands there.
int LookAtNative(const std::string& native) {
  struct stat st;
  return Look(native, &st) ? KindOf(st) : errno;
}

bool IsFile(const std::string& p) { return LookAtNative(p) == 0; }

// 0 when an entry stands at a path (a link counts, wherever it leads), else
// the system's word.
int EntryAt(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0 ? 0 : errno;
}

// Opens a file to read without waiting on whatever stands at the name (a
// FIFO, a device), and keeps it only where it is a regular file: -1
// otherwise, cause holding why as LookAtFile words it.
int OpenToRead(const std::string& native, int& cause, struct stat& st) {
  const int fd = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    cause = errno;
    return -1;
  }
  cause = ::fstat(fd, &st) == 0 ? KindOf(st) : errno;
  if (cause == 0) return fd;
  ::close(fd);
  return -1;
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
  // Only a name that is not there is looked for under another spelling: one
  // that cannot be looked at may stand as it is spelt, and the search could
  // take another file of that name in another case for it.
  if (const int look = EntryAt(Join(folder, utf8)); !NotThere(look)) return utf8;
  if (EntryAt(Join(folder, part)) == 0) return part;
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
  return NativeName(part);
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

std::string NativeName(std::string_view gameName) {
  return ConvertsToUtf8(gameName) ? ToUtf8(gameName) : std::string(gameName);
}

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
  FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
  if (built.empty() && parts.front().empty() && parts.size() > 1) built = "/";
  FW_LIBRARY_FALSE_ALARM_END
  const bool trailing = parts.size() > 1 && parts.back().empty();
  std::erase_if(parts, [](const std::string& part) { return part.empty(); });
  // Mostly the whole path exists as converted; only then is no folder read.
  std::string direct = built;
  for (const auto& part : parts) direct = Join(direct, ToUtf8(part));
  if (NotThere(EntryAt(direct))) {
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
    // One that cannot be looked at is there all the same: its read tells.
    const int look = LookAtNative(folder + "/" + e->d_name);
    if (look == 0 || (!NotThere(look) && look != EISDIR && look != kNotAFile)) names.push_back(FromUtf8(e->d_name));
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

int LookAtFile(std::string_view gamePath) { return LookAtNative(NativePath(gamePath)); }

namespace {
// ReadAllBytes on a native path; opened, when given, gets what the
// descriptor read was (st_mode 0 where none was opened).
std::optional<std::vector<uint8_t>> ReadNative(const std::string& native, int& cause, uint64_t maxBytes,
                                               struct stat* opened = nullptr) {
  struct stat st;
  cause = LookAtNative(native);
  // Opened again with its own look, should another entry take the file's
  // place after the first.
  const int fd = cause == 0 ? OpenToRead(native, cause, st) : -1;
  if (opened) {
    *opened = {};
    if (fd >= 0) *opened = st;
  }
  // Judged by its size before anything is read: a huge file costs nothing.
  if (fd >= 0 && static_cast<uint64_t>(st.st_size) > maxBytes) cause = kTooLargeToRead;
  std::optional<std::vector<uint8_t>> data;
  if (fd >= 0 && cause == 0) {
    data.emplace();
    data->reserve(static_cast<size_t>(st.st_size));
    uint8_t buf[65536];
    if (PlannedToFail(FileCall::Read)) cause = errno;
    while (cause == 0) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n == 0) break;
      if (n < 0) {
        if (errno != EINTR) cause = errno;
      } else if (data->size() + static_cast<size_t>(n) > maxBytes) {
        cause = kTooLargeToRead;  // grown since its size was taken
      } else {
        data->insert(data->end(), buf, buf + n);
      }
    }
  }
  if (fd >= 0) ::close(fd);
  if (cause != 0) data.reset();
  return data;
}
}  // namespace

std::optional<std::vector<uint8_t>> ReadAllBytes(std::string_view gamePath, int* error, uint64_t maxBytes) {
  int cause = 0;
  auto data = ReadNative(NativePath(gamePath), cause, maxBytes);
  if (error) *error = cause;
  return data;
}

std::optional<std::string> ReadAllText(std::string_view gamePath, int* error, uint64_t maxBytes) {
  auto bytes = ReadAllBytes(gamePath, error, maxBytes);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

uint64_t HashOfBytes(std::string_view bytes) {
  uint64_t h = 14695981039346656037ull;
  for (const char c : bytes) {
    h ^= static_cast<uint8_t>(c);
    h *= 1099511628211ull;
  }
  return h;
}

namespace {
uint64_t g_deviceShift = 0;
bool g_statusChangeIsModification = false;

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity id{static_cast<uint64_t>(st.st_dev) + g_deviceShift, static_cast<uint64_t>(st.st_ino),
                  static_cast<uint64_t>(st.st_size),
                  static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                  static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
  if (g_statusChangeIsModification) id.statusChangedNs = id.modifiedNs;
  return id;
}

// Whether a link stands at the name itself, whatever it leads to.
bool LinkAt(const std::string& native) {
  struct stat st;
  return ::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A look through links that failed because they lead nowhere, not because
// nothing stands at the name.
int LinkOrNothing(const std::string& native, int look) {
  return (NotThere(look) || look == ELOOP) && LinkAt(native) ? kLinkToNoFile : look;
}
}  // namespace

SavedFileRead ReadSavedFile(std::string_view gamePath, uint64_t maxBytes) {
  SavedFileRead r;
  const std::string native = NativePath(gamePath);
  struct stat opened;
  std::optional<std::vector<uint8_t>> bytes = ReadNative(native, r.error, maxBytes, &opened);
  if (bytes) r.text.emplace(bytes->begin(), bytes->end());
  r.error = LinkOrNothing(native, r.error);
  // What a save may replace is the file this read's descriptor held, even
  // where the read failed: its bytes are kept aside first.
  if (S_ISREG(opened.st_mode))
    r.found = FoundAtName::FileOf(IdentityOf(opened), r.text ? std::optional(HashOfBytes(*r.text)) : std::nullopt);
  else if (NotThere(r.error))
    r.found = FoundAtName::Nothing();
  return r;
}

void ShiftReportedDevice(uint64_t by) { g_deviceShift = by; }
void StatusChangeFollowsModification(bool on) { g_statusChangeIsModification = on; }

bool OwnedByAnotherUser(std::string_view gamePath) {
  struct stat st;
  return ::lstat(NativePath(gamePath).c_str(), &st) == 0 && st.st_uid != ::geteuid();
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

std::string FolderOf(const std::string& native) {
  const size_t slash = native.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

std::string NameOf(const std::string& native) {
  const size_t slash = native.rfind('/');
  return slash == std::string::npos ? native : native.substr(slash + 1);
}

// Copies size bytes from an offset of in to out: in the kernel where the
// file systems allow it, through a buffer otherwise. False, errno set, on a
// failure or an end before size bytes.
bool CopyBytes(int in, off_t offset, int64_t size, int out) {
  int64_t left = size;
  while (left > 0) {
    const ssize_t n = ::copy_file_range(in, &offset, out, nullptr, static_cast<size_t>(left), 0);
    if (n <= 0) break;
    left -= n;
  }
  if (left == 0) return true;
  std::vector<char> buf(static_cast<size_t>(std::min<int64_t>(left, 1 << 20)));
  while (left > 0) {
    const ssize_t n =
        ::pread(in, buf.data(), static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(buf.size()))), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;  // cut short since its size was taken
      return false;
    }
    if (!WriteAll(out, buf.data(), static_cast<size_t>(n))) return false;
    offset += n;
    left -= n;
  }
  return true;
}

// What the link at path (st its look) holds: 0 with target set, else the
// system's error, or EAGAIN where it changed since the look.
int ReadLink(const std::string& path, const struct stat& st, std::string& target) {
  target.assign(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  const int cause = n < 0 ? errno : 0;
  // Changed since the look: no name to trust.
  if (n <= 0 || static_cast<size_t>(n) >= target.size()) {
    target.clear();
    return n < 0 ? cause : EAGAIN;
  }
  target.resize(static_cast<size_t>(n));
  return 0;
}

// Follows the symbolic links from path as opening it would, looking at each
// on the way: 0 once path names an entry that is no link (st holds it),
// else why not: the look's own error, or kLinkToNoFile for a link that
// leads nowhere, into a loop or past the links the system itself follows.
int FollowLinks(std::string& path, struct stat& st) {
  for (int hops = 0; hops <= 40; ++hops) {
    if (!Look(path, &st, false)) return hops > 0 && (NotThere(errno) || errno == ELOOP) ? kLinkToNoFile : errno;
    if (!S_ISLNK(st.st_mode)) return 0;
    std::string target;
    if (const int cause = ReadLink(path, st, target); cause != 0) return cause;
    path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
  }
  return kLinkToNoFile;  // past the links the system itself follows
}

// Whether the listing of a native path's folder holds its name, as
// ListedInFolder answers.
int ListedNative(const std::string& native) {
  const std::string name = NameOf(native);
  DIR* d = ::opendir(FolderOf(native).c_str());
  if (!d) return errno;
  int listed = ENOENT;
  errno = 0;
  while (dirent* e = ::readdir(d))
    if (EqualNoCase(e->d_name, name)) {
      listed = 0;
      break;
    }
  // A listing cut short by an error says nothing of the names it did not reach.
  if (listed != 0 && errno != 0) listed = errno;
  ::closedir(d);
  return listed;
}

// Temporary files of saves are hidden (the game lists no dot files) and name
// the process that writes them, so that a later game can tell the leftovers
// of a killed one from a save in progress.
constexpr std::string_view kSaveSuffix = ".fwsave";

std::string SaveTempName(const std::string& native) {
  return FolderOf(native) + "/." + NameOf(native) + "." + std::to_string(::getpid()) + std::string(kSaveSuffix);
}

// The writer of a save's temporary file, or 0 when the name is not one.
int SaveTempOwner(const std::string& name) {
  if (name.size() < 4 || name[0] != '.' || !name.ends_with(kSaveSuffix)) return 0;
  const std::string rest = name.substr(0, name.size() - kSaveSuffix.size());
  const size_t dot = rest.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 >= rest.size() || rest.size() - dot > 11) return 0;
  int pid = 0;
  for (size_t i = dot + 1; i < rest.size(); ++i) {
    if (rest[i] < '0' || rest[i] > '9') return 0;
    pid = pid * 10 + (rest[i] - '0');
  }
  return pid;
}

bool SyncFolder(const std::string& folder) {
  if (PlannedToFail(FileCall::SyncFolder)) return false;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync folders
  const int error = errno;
  ::close(fd);
  errno = error;
  return ok;
}

// Opens a file that must be new: O_EXCL refuses an existing name, links
// included, so nothing is ever written through one.
int CreateExclusive(const std::string& native, mode_t mode) {
  return ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

// The mode a new file gets under the process's file creation mask.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}
}  // namespace

bool WriteFile(std::string_view gamePath, const void* data, size_t size) {
  const std::string native = NativePath(gamePath);
  // Emptied only once it is known to be a regular file.
  const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat st;
  const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, 0) == 0 && WriteAll(fd, data, size);
  return (::close(fd) == 0) && ok;
}

int WriteNewFile(std::string_view gamePath, const void* data, size_t size) {
  const std::string native = NativePath(gamePath);
  const int fd = CreateExclusive(native, 0666);
  if (fd < 0) return errno;
  int error = WriteAll(fd, data, size) ? 0 : errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error != 0) ::unlink(native.c_str());
  return error;
}

namespace {
// What a save finds at its name: 0 where it may write (target then holds
// the file to replace, links followed as `link` says, and st what stands
// there), NotThere where nothing stands, else why it may not. Nothing is
// written blind: a name that cannot be looked at may be the player's file,
// or a link to it that the rename would replace; only the folder's listing
// can still tell that nothing is there.
int LookBeforeSave(std::string& target, struct stat& st, LinkAtName link, bool* linked = nullptr) {
  int look = Look(target, &st, false) ? 0 : errno;
  if (look != 0 && !NotThere(look) && ListedNative(target) == ENOENT) look = ENOENT;
  if (linked) *linked = look == 0 && S_ISLNK(st.st_mode);
  if (look != 0 || link != LinkAtName::FollowToFile) return look;
  // A player's file kept elsewhere is written where it is; a link to
  // nowhere would have the save create a file wherever it points, one to
  // a device or a folder would have it replace that, and such an entry at
  // the name itself is no file of the player's to replace either.
  const bool isLink = S_ISLNK(st.st_mode);
  if (isLink) look = FollowLinks(target, st);
  if (look == 0 && !S_ISREG(st.st_mode)) look = isLink ? kLinkToNoFile : KindOf(st);
  return look;
}
}  // namespace

namespace {
// The entry a path names once its links are followed, to nowhere too: its
// folder's device and number and its name; nullopt where the folder cannot
// be looked at.
struct FollowedEntry {
  dev_t device;
  ino_t folder;
  std::string name;
  bool operator==(const FollowedEntry&) const = default;
};
std::optional<FollowedEntry> EntryOf(std::string path, bool followLinks) {
  struct stat st;
  if (followLinks) {
    const int look = FollowLinks(path, st);
    if (look != 0 && look != kLinkToNoFile && !NotThere(look)) return std::nullopt;
  }
  if (::stat(FolderOf(path).c_str(), &st) != 0) return std::nullopt;
  return FollowedEntry{st.st_dev, st.st_ino, NameOf(path)};
}
}  // namespace

std::string OtherGameFileReached(std::string_view gameFolder, std::string_view gamePath) {
  const std::string native = NativePath(gamePath);
  if (!LinkAt(native)) return "";
  const std::optional<FollowedEntry> reached = EntryOf(native, true);
  const std::optional<FollowedEntry> own = EntryOf(native, false);
  if (!reached) return "";
  for (std::string file : GameFiles()) {
    const std::string other = NativePath(std::string(gameFolder) + "\\" + file);
    if (EntryOf(other, false) == own) continue;
    if (EntryOf(other, true) != reached) continue;
    std::replace(file.begin(), file.end(), '\\', '/');
    return file;
  }
  // A save replaces a link at the journal's name: its entry is its name.
  if (EntryOf(NativePath(std::string(gameFolder) + "\\" + std::string(kSaveJournalName)), false) == reached)
    return std::string(kSaveJournalName);
  return "";
}

namespace {
// Whether bytes are the ones the game found at a name (which has a hash).
int AsFound(std::string_view bytes, const FoundAtName& found) {
  return HashOfBytes(bytes) == *found.hash ? 0 : kChangedSinceRead;
}

// Whether the file a look found (st, at the native target, links followed)
// holds the bytes the game found there: 0, kChangedSinceRead, or the cause
// of a read that could not tell. read: the caller's own, just made.
int ChangedFrom(const std::string& target, const struct stat& st, const FoundAtName& found,
                const SavedFileRead* read) {
  if (!found.IsFile()) return kChangedSinceRead;
  const FileIdentity now = IdentityOf(st);
  const FileIdentity& was = found.identity;
  // Without the bytes read, only the file as the read found it is the
  // game's: a hard link or a chmod moves the status-change time alone.
  if (!found.hash) {
    FileIdentity unchanged = now;
    unchanged.statusChangedNs = was.statusChangedNs;
    return unchanged == was ? 0 : kChangedSinceRead;
  }
  // Bytes decide wherever they can be read: a tool can put every time back,
  // and some file systems keep no status-change time of their own.
  if (now.size != was.size) return kChangedSinceRead;
  if (read && read->text && read->found.IsFile() && read->found.identity == now) return AsFound(*read->text, found);
  int cause = 0;
  const std::optional<std::vector<uint8_t>> bytes = ReadNative(target, cause, was.size);
  if (bytes) return AsFound(Bytes(*bytes), found);
  if (cause == kTooLargeToRead) return kChangedSinceRead;  // grown since its look
  // Unread now, only the very file the game recorded is its own.
  return now == was ? 0 : cause;
}

// A failed look at the name never says nothing is there, but a file that
// can then be read is judged by its bytes: the look's cause where it cannot.
int JudgedUnlooked(const std::string& target, int look, const FoundAtName& found, const SavedFileRead* read) {
  if (!found.IsFile() || !found.hash) return look;
  if (read && read->text) return AsFound(*read->text, found);
  int cause = 0;
  const std::optional<std::vector<uint8_t>> bytes = ReadNative(target, cause, kMostBytesRead);
  return bytes ? AsFound(Bytes(*bytes), found) : look;
}

// The one judge of what stands at a name a save would replace, given the
// look made at it (links followed).
int RefusalOf(std::string_view gamePath, const std::string& target, int look, bool linked, const struct stat& st,
              const FoundAtName& found, const std::optional<std::string>& gameFolder, std::string* leadsTo,
              const SavedFileRead* read = nullptr) {
  // Checked before where the link leads is judged, so that the link is named
  // with the file it would write.
  if (linked && gameFolder) {
    std::string other = OtherGameFileReached(*gameFolder, gamePath);
    if (!other.empty()) {
      if (leadsTo) *leadsTo = std::move(other);
      return kLinkToGameFile;
    }
  }
  if (look != 0 && !NotThere(look)) return read ? JudgedUnlooked(target, look, found, read) : look;
  // The game replaces only what it read: a file that came since, or one
  // changed since, holds what the player put there.
  if (!found.LookedAt()) return 0;
  if (look == 0) return ChangedFrom(target, st, found, read);
  return found.IsFile() ? kChangedSinceRead : 0;
}
}  // namespace

std::string ReplaceRefusal::Why() const {
  if (error == kLinkToGameFile && !leadsTo.empty()) return "a link to " + leadsTo + ", another of the game's files";
  return SystemErrorText(error);
}

ReplaceRefusal MayReplace(std::string_view gamePath, const FoundAtName& found,
                          const std::optional<std::string>& gameFolder, const SavedFileRead* read) {
  std::string target = NativePath(gamePath);
  struct stat st {};
  bool linked = false;
  const int look = LookBeforeSave(target, st, LinkAtName::FollowToFile, &linked);
  // Only the judge falls back on a read where its look failed: a save
  // itself never writes over what it could not look at.
  const SavedFileRead none;
  ReplaceRefusal r;
  r.error = RefusalOf(gamePath, target, look, linked, st, found, gameFolder, &r.leadsTo, read ? read : &none);
  return r;
}

std::optional<StagedFile> StageFileAtomic(std::string_view gamePath, std::string_view bytes,
                                          const SaveOptions& o) {
  if (o.folderRefused) *o.folderRefused = false;
  StagedFile f;
  f.target = NativePath(gamePath);
  struct stat old {};
  bool linked = false;
  const int seen = LookBeforeSave(f.target, old, o.link, &linked);
  const int look = o.link == LinkAtName::FollowToFile
                       ? RefusalOf(gamePath, f.target, seen, linked, old, o.onlyOver, o.gameFolder, o.leadsTo)
                       : seen;
  if (look != 0 && !NotThere(look)) {
    if (o.error) *o.error = look;
    return std::nullopt;
  }
  f.temp = SaveTempName(f.target);
  // Only a file the look saw gives the new one its owner and mode: where
  // nothing stands, the judge's "may" says nothing of what a look found.
  const bool replacing = seen == 0 && S_ISREG(old.st_mode);
  // A saved file the game could not read back would be no save.
  f.mode = o.mode ? *o.mode : replacing ? ((old.st_mode & 07777) | S_IRUSR | S_IWUSR) : NewFileMode();
  // A temporary file of this process's number is a leftover of an earlier
  // game with the same number, or of a failed save: saves do not overlap.
  ::unlink(f.temp.c_str());
  const int fd = CreateExclusive(f.temp, 0600);
  f.hash = HashOfBytes(bytes);
  if (fd < 0) {
    const bool refused = errno == EACCES || errno == EPERM || errno == EROFS;
    if (o.folderRefused) *o.folderRefused = refused;
    if (refused && o.refusingFolder) *o.refusingFolder = FolderOf(f.target);
    Failed(o.error);
    return std::nullopt;
  }
  if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
    (void)::fchown(fd, old.st_uid, old.st_gid);  // only privileged or group moves succeed; the save goes on
  bool ok = ::fchmod(fd, static_cast<mode_t>(f.mode)) == 0;
  ok = ok && !PlannedToFail(FileCall::WriteTemporary) && WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  struct stat written {};
  ok = ok && ::fstat(fd, &written) == 0;
  if (!ok) {
    const int cause = errno;
    ::close(fd);
    ::unlink(f.temp.c_str());
    errno = cause;
    Failed(o.error);
    return std::nullopt;
  }
  f.written = IdentityOf(written);
  // Nothing is written through it any more: a close's late write error
  // cannot come after the fsync that succeeded.
  f.open = std::shared_ptr<const int>(new int(fd), [](const int* d) {
    ::close(*d);
    delete d;
  });
  return f;
}

bool CommitStagedFile(const StagedFile& f, int* error, bool* replaced, FoundAtName* landed) {
  if (replaced) *replaced = false;
  if (g_renamesBeforeFailure >= 0 && g_renamesBeforeFailure-- == 0) {
    if (error) *error = 0;
    return false;  // as if the program died here: the temporary file stays
  }
  if (PlannedToFail(FileCall::Rename) || ::rename(f.temp.c_str(), f.target.c_str()) != 0) {
    const int cause = errno;
    ::unlink(f.temp.c_str());
    errno = cause;
    return Failed(error);
  }
  if (replaced) *replaced = true;
  // A rename made is a save that landed: what it wrote is known without a
  // look at the name, which could fail and leave the game not knowing its
  // own file. The descriptor tells the file as the rename left it (some
  // file systems move its status-change time).
  struct stat after {};
  const FileIdentity now = f.open && ::fstat(*f.open, &after) == 0 ? IdentityOf(after) : f.written;
  if (landed) *landed = FoundAtName::FileOf(now, f.hash);
  return SyncFolder(FolderOf(f.target)) || Failed(error);
}

void DiscardStagedFile(const StagedFile& f) { ::unlink(f.temp.c_str()); }

bool CanChangeFolderOf(std::string_view gamePath, int* error) {
  const std::string temp = SaveTempName(NativePath(gamePath));
  ::unlink(temp.c_str());  // a leftover, as in StageFileAtomic
  const int fd = CreateExclusive(temp, 0600);
  if (fd < 0) return Failed(error);
  const bool refused = PlannedToFail(FileCall::WriteTemporary);
  const int cause = errno;
  ::close(fd);
  ::unlink(temp.c_str());
  errno = cause;
  return !refused || Failed(error);
}

bool WriteFileAtomic(std::string_view gamePath, std::string_view bytes, const SaveOptions& options) {
  const std::optional<StagedFile> f = StageFileAtomic(gamePath, bytes, options);
  return f && CommitStagedFile(*f, options.error);
}

namespace {
// Removes the temporary files of saves of games no longer running in a
// native folder, those for the files named `only` (in any letter case)
// alone where it is given.
void RemoveStaleIn(const std::string& folder, const std::vector<std::string>* only) {
  DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return;
  std::vector<std::string> stale;
  while (dirent* e = ::readdir(d)) {
    const int pid = SaveTempOwner(e->d_name);
    if (pid <= 0 || pid == ::getpid()) continue;
    if (only) {
      const std::string entry = e->d_name;
      const std::string of = entry.substr(1, entry.size() - kSaveSuffix.size() - std::to_string(pid).size() - 2);
      if (std::none_of(only->begin(), only->end(), [&of](const std::string& n) { return EqualNoCase(n, of); }))
        continue;
    }
    if (ProcessRunning(pid)) continue;  // a save of that game may be in progress
    stale.emplace_back(e->d_name);
  }
  ::closedir(d);
  for (const std::string& name : stale) {
    const std::string path = folder + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))) ::unlink(path.c_str());
  }
}
}  // namespace

void RemoveStaleSaveFiles(std::string_view gameFolder) { RemoveStaleIn(NativePath(gameFolder), nullptr); }

void RemoveStaleSaveFilesOf(std::string_view gamePath) {
  std::string target = NativePath(gamePath);
  struct stat st;
  if (!Look(target, &st, false) || !S_ISLNK(st.st_mode)) return;
  // A link to nowhere still names where a killed save staged its file.
  const int look = FollowLinks(target, st);
  if (look != 0 && look != kLinkToNoFile) return;
  const std::vector<std::string> name{NameOf(target)};
  RemoveStaleIn(FolderOf(target), &name);
}

void RemoveStaleSaveFilesNamed(std::string_view gameFolder, const std::vector<std::string>& names) {
  RemoveStaleIn(NativePath(gameFolder), &names);
}

bool CopyFileRange(std::string_view fromGamePath, int64_t offset, int64_t size, const std::string& toNative) {
  int cause = 0;
  struct stat st;
  const int in = OpenToRead(NativePath(fromGamePath), cause, st);
  if (in < 0) return false;
  if (offset < 0 || size <= 0 || offset > st.st_size || size > st.st_size - offset) {
    ::close(in);
    return false;
  }
  // Replaced by unlinking first, so a link planted under the name is
  // removed rather than written through.
  ::unlink(toNative.c_str());
  const int out = CreateExclusive(toNative, 0666);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = CopyBytes(in, static_cast<off_t>(offset), size, out);
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(toNative.c_str());
  return ok;
}

std::optional<std::vector<uint8_t>> ReadFileRange(std::string_view gamePath, int64_t offset, int64_t size) {
  int cause = 0;
  struct stat st;
  const int in = OpenToRead(NativePath(gamePath), cause, st);
  if (in < 0) return std::nullopt;
  std::optional<std::vector<uint8_t>> out;
  if (offset >= 0 && size >= 0 && offset <= st.st_size && size <= st.st_size - offset) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::pread(in, bytes.data() + got, bytes.size() - got, static_cast<off_t>(offset) + got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (got == bytes.size()) out = std::move(bytes);
  }
  ::close(in);
  return out;
}

void FailNextAtomicRename(int skip) { g_renamesBeforeFailure = skip; }

void FailNextFileCall(FileCall call, int error, int skip) {
  g_plannedFailures[static_cast<size_t>(call)] = PlannedFailure{error, skip, nullptr};
}

void ActAtNextFileCall(FileCall call, std::function<void()> act, int skip) {
  g_plannedFailures[static_cast<size_t>(call)] = PlannedFailure{0, skip, std::move(act)};
}

bool FileCallPlanned(FileCall call) { return g_plannedFailures[static_cast<size_t>(call)].has_value(); }

void ForgetPlannedFileCallFailures() {
  for (std::optional<PlannedFailure>& plan : g_plannedFailures) plan.reset();
  g_renamesBeforeFailure = -1;
}

std::string SystemErrorText(int error) {
  switch (error) {
    case kNotAFile: return "not a regular file";
    case kLinkToNoFile: return "a link that leads to no regular file";
    case kTooLargeToRead: return "larger than the game reads";
    case kTooLargeToSave: return "larger than a save writes";
    case kTooLargeToKeep: return "larger than the " + std::to_string(kMostBytesKept >> 20) + " MiB a kept copy takes";
    case kChangedSinceRead: return "changed since the game read it";
    case kLinkToGameFile: return "a link to another of the game's files";
    default: return std::strerror(error);
  }
}

int ListedInFolder(std::string_view gamePath) { return ListedNative(NativePath(gamePath)); }

bool RemoveFile(std::string_view gamePath) {
  const std::string native = NativePath(gamePath);
  if (::unlink(native.c_str()) == 0) return true;
  return errno == ENOENT;
}

bool RemoveFileDurably(std::string_view gamePath, int* error, bool* removed) {
  if (removed) *removed = false;
  const std::string native = NativePath(gamePath);
  bool wasThere = true;
  if (PlannedToFail(FileCall::Remove) || ::unlink(native.c_str()) != 0) {
    if (!NotThere(errno)) return Failed(error);
    wasThere = false;
  }
  if (removed) *removed = true;
  if (SyncFolder(FolderOf(native))) return true;
  // A folder the player removed holds the file no more: nothing to make
  // last. One removed by this call is still there and must sync.
  return (!wasThere && NotThere(errno)) || Failed(error);
}

namespace {
// A hard link beside the name to the file it leads to: 0 when made, else
// why not. Only a regular file is kept: linked, a FIFO or a device would be
// one more name of it, not a copy of anything.
int LinkAside(const std::string& native, const std::string& aside) {
  if (PlannedToFail(FileCall::Link) ||
      ::linkat(AT_FDCWD, native.c_str(), AT_FDCWD, aside.c_str(), AT_SYMLINK_FOLLOW) != 0)
    return errno;
  struct stat st;
  const int cause = ::lstat(aside.c_str(), &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : kNotAFile;
  if (cause != 0) ::unlink(aside.c_str());
  return cause;
}

// Whether a failed link says the file system makes no hard links at all.
bool NoHardLinks(int error) { return error == EPERM || error == EOPNOTSUPP || error == ENOSYS; }

// A copy of a file streamed into a temporary file of this process's (see
// SaveTempName), whole, with the file's permissions, and synced before it
// gets any kept copy's name: a game killed on the way leaves only a
// temporary file, which the next start clears. 0 when written, else the
// read's or the write's own cause.
int CopyAside(const std::string& native, const std::string& temp) {
  int cause = 0;
  struct stat st;
  const int in = OpenToRead(native, cause, st);
  if (in < 0) return cause;
  if (static_cast<uint64_t>(st.st_size) > kMostBytesKept) {
    ::close(in);
    return kTooLargeToKeep;
  }
  ::unlink(temp.c_str());  // a leftover, as in StageFileAtomic
  const int out = CreateExclusive(temp, 0600);
  if (out < 0) {
    cause = errno;
    ::close(in);
    return cause;
  }
  const bool ok = !PlannedToFail(FileCall::Read) && CopyBytes(in, 0, st.st_size, out) &&
                  !PlannedToFail(FileCall::WriteTemporary) && ::fchmod(out, st.st_mode & 0777) == 0 &&
                  ::fsync(out) == 0;
  if (!ok) cause = errno;
  ::close(in);
  if (::close(out) != 0 && cause == 0) cause = errno;
  if (cause != 0) ::unlink(temp.c_str());
  return cause;
}

// Gives a written copy a kept copy's name, never replacing anything there:
// 0 when named, else why not (EEXIST when the name is taken).
int NameCopy(const std::string& temp, const std::string& aside) {
  if (PlannedToFail(FileCall::Rename)) return errno;
  if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) return 0;
  // A file system without such renames may still make a second name.
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (::link(temp.c_str(), aside.c_str()) == 0) {
    ::unlink(temp.c_str());
    return 0;
  }
  if (!NoHardLinks(errno)) return errno;
  // Nor that: a plain rename onto a name a look finds free. The game holds
  // its folder's lock, so nothing else makes kept names there between the
  // look and the rename, and the rename puts the whole copy there or none.
  struct stat st;
  if (::lstat(aside.c_str(), &st) == 0) return EEXIST;
  if (!NotThere(errno)) return errno;
  return ::rename(temp.c_str(), aside.c_str()) == 0 ? 0 : errno;
}

// Whether two open files hold the same bytes over size.
bool SameBytes(int a, int b, int64_t size) {
  std::vector<char> x(65536), y(65536);
  for (off_t at = 0; at < size;) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(size - at, static_cast<int64_t>(x.size())));
    if (::pread(a, x.data(), want, at) != static_cast<ssize_t>(want) ||
        ::pread(b, y.data(), want, at) != static_cast<ssize_t>(want) || std::memcmp(x.data(), y.data(), want) != 0)
      return false;
    at += static_cast<off_t>(want);
  }
  return true;
}

// Whether a kept copy holds the file already: its very inode, or its size,
// permissions and bytes.
bool KeptAlready(const std::string& native, const std::string& kept) {
  struct stat k, st;
  if (::lstat(kept.c_str(), &k) != 0 || !S_ISREG(k.st_mode) || ::stat(native.c_str(), &st) != 0) return false;
  if (st.st_dev == k.st_dev && st.st_ino == k.st_ino) return true;
  if (st.st_size != k.st_size || (st.st_mode & 0777) != (k.st_mode & 0777)) return false;
  int cause = 0;
  const int a = OpenToRead(native, cause, st);
  const int b = a >= 0 ? OpenToRead(kept, cause, k) : -1;
  const bool same = b >= 0 && st.st_size == k.st_size && SameBytes(a, b, st.st_size);
  if (a >= 0) ::close(a);
  if (b >= 0) ::close(b);
  return same;
}

}  // namespace

std::string KeepCopyAside(std::string_view gamePath, std::string_view tag, int* error) {
  const std::string native = NativePath(gamePath);
  const auto nameOf = [&](int k) { return NameOf(native) + "." + std::string(tag) + "-" + std::to_string(k); };
  const auto beside = [&](int k) { return FolderOf(native) + "/" + nameOf(k); };
  // Names are taken in turn, so the one before the first unused is the
  // newest copy: one that holds the file already is kept as it is, so that
  // saves refused again and again, or a later game, add no copy of it.
  int k = 1;
  for (struct stat st; k <= 999 && ::lstat(beside(k).c_str(), &st) == 0;) ++k;
  if (k > 1 && KeptAlready(native, beside(k - 1))) return nameOf(k - 1);
  int cause = EEXIST;
  std::string temp;  // a streamed copy, once written
  for (; k <= 999 && cause == EEXIST; ++k) {
    // A hard link keeps even a file this process cannot read; a copy serves
    // where the file system makes none.
    if (temp.empty()) cause = LinkAside(native, beside(k));
    if (temp.empty() && cause != 0 && cause != EEXIST && !NoRegularFile(cause)) {
      temp = SaveTempName(beside(k));
      cause = CopyAside(native, temp);
      if (cause != 0) temp.clear();
    }
    if (!temp.empty()) cause = NameCopy(temp, beside(k));
    if (cause == 0) {
      // The copy stands whole under its name whatever the sync says: kept,
      // with the sync's cause beside it.
      if (!SyncFolder(FolderOf(native)) && error) *error = errno;
      return nameOf(k);
    }
  }
  if (!temp.empty()) ::unlink(temp.c_str());
  // A link that leads to no regular file holds nothing to keep, and is no
  // file gone either.
  if (error) *error = LinkOrNothing(native, cause);
  return "";
}

std::optional<std::string> LinkTarget(std::string_view gamePath) {
  const std::string native = NativePath(gamePath);
  struct stat st;
  if (!Look(native, &st, false) || !S_ISLNK(st.st_mode)) return std::nullopt;
  std::string target;
  ReadLink(native, st, target);  // a link whose text cannot be read is still a link
  return target;
}

bool MakeDir(std::string_view gamePath) {
  const std::string native = NativePath(gamePath);
  if (IsDir(native)) return true;
  return ::mkdir(native.c_str(), 0755) == 0;
}

int64_t FileLen(std::string_view gamePath) {
  struct stat st;
  if (!Look(NativePath(gamePath), &st) || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

}  // namespace plat
