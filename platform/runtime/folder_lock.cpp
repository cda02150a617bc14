#include "platform/runtime/folder_lock.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/runtime/files.hpp"
#include "platform/runtime/process.hpp"

namespace plat {
namespace {

// The descriptors that hold the folder's lock and the file's, -1 where none
// does; read by the child handler, which may touch nothing else.
std::atomic<int> g_held[2]{-1, -1};

// Also the child handler: a child after fork() may run only what is safe in
// a signal handler, close() and lock-free atomics. Closing its copies drops
// only the child's references; flock(LOCK_UN) would release the open file
// descriptions, the parent's locks.
void CloseHeld() {
  for (std::atomic<int>& held : g_held) {
    const int fd = held.exchange(-1);
    if (fd >= 0) ::close(fd);
  }
}

// The lock file, -1 unless the name holds a regular file with one link.
// Its kind and links are read from the descriptor, not looked at before the
// open: nothing swapped in between is locked.
int OpenLockFile(const std::string& path) {
  constexpr int kAsItStands = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kAsItStands, 0666);
  // A lock file left by a run as another user (with sudo) refuses writing;
  // flock() needs none.
  if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | kAsItStands);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1) return fd;
  ::close(fd);
  return -1;
}

// flock(), not fcntl(): every save syncs the folder through a descriptor of
// its own, and closing any descriptor of a file drops the process's fcntl()
// locks on it.
FolderLock::State Lock(int fd, std::atomic<int>& held) {
  if (fd < 0) return FolderLock::State::NotTaken;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    held.store(fd);
    return FolderLock::State::Held;
  }
  // Any other refusal (ENOLCK, EOPNOTSUPP, EINVAL) is a file system without
  // locks: nobody's.
  const bool elsewhere = errno == EWOULDBLOCK;
  ::close(fd);
  return elsewhere ? FolderLock::State::HeldElsewhere : FolderLock::State::NotTaken;
}

}  // namespace

FolderLock::FolderLock(std::string_view gameFolder) {
  // Once, before any descriptor is published. A handler covers every fork()
  // in the process, the model reader's, a library's or a test framework's;
  // a death signal to the child (PR_SET_PDEATHSIG) would be set child by
  // child where the fork is ours, fires when the forking thread ends rather
  // than the process, and leaves the lock to the child until the signal has
  // killed it. Refused only for want of memory: a lock a child may keep a
  // while is still better than none.
  static const int atFork = ::pthread_atfork(nullptr, nullptr, CloseHeld);
  (void)atFork;
  if (g_held[0].load() >= 0 || g_held[1].load() >= 0) return;
  state_ = Lock(::open(NativePath(gameFolder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), g_held[0]);
  if (state_ != State::HeldElsewhere) {
    const std::string path = NativePath(std::string(gameFolder) + "\\" + std::string(kFolderLockName));
    const State file = Lock(OpenLockFile(path), g_held[1]);
    if (file != State::NotTaken) state_ = file;
  }
  // Refused at the file, this game lets go of the folder it took.
  if (state_ == State::HeldElsewhere) CloseHeld();
  if (state_ == State::Held) owner_ = CurrentProcessId();
}

FolderLock::~FolderLock() {
  if (state_ == State::Held && owner_ == CurrentProcessId()) CloseHeld();
}

}  // namespace plat
