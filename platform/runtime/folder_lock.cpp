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

// The descriptor that holds the lock, -1 while none does; read by the child
// handler, which may touch nothing else.
std::atomic<int> g_heldFd{-1};

// A child after fork() may run only what is safe in a signal handler: close()
// and lock-free atomics. Closing its copy drops only the child's reference;
// flock(LOCK_UN) would release the open file description, the parent's lock.
void CloseInChild() {
  const int fd = g_heldFd.exchange(-1);
  if (fd >= 0) ::close(fd);
}

// The lock file read-write, else read-only when it is a regular file (without
// following a link or blocking on a FIFO by that name); -1 when neither.
int OpenLockFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd >= 0) return fd;
  const int readOnly = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (readOnly < 0) return -1;
  struct stat st {};
  if (::fstat(readOnly, &st) == 0 && S_ISREG(st.st_mode)) return readOnly;
  ::close(readOnly);
  return -1;
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
  static const int atFork = ::pthread_atfork(nullptr, nullptr, CloseInChild);
  (void)atFork;
  const std::string path = NativePath(std::string(gameFolder) + "\\" + std::string(kFolderLockName));
  const int fd = g_heldFd.load() < 0 ? OpenLockFile(path) : -1;
  if (fd >= 0) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      g_heldFd.store(fd);
      state_ = State::Held;
      owner_ = CurrentProcessId();
    } else {
      // Any other refusal (ENOLCK, EOPNOTSUPP, EINVAL) is a file system
      // without locks: nobody's.
      if (errno == EWOULDBLOCK) state_ = State::HeldElsewhere;
      ::close(fd);
    }
  }
}

FolderLock::~FolderLock() {
  if (state_ != State::Held || owner_ != CurrentProcessId()) return;
  const int fd = g_heldFd.exchange(-1);
  if (fd >= 0) ::close(fd);
}

}  // namespace plat
