#include "platform/runtime/folder_lock.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/runtime/files.hpp"

namespace plat {

FolderLock::FolderLock(std::string_view gameFolder) {
  const std::string path = NativePath(std::string(gameFolder) + "\\" + std::string(kFolderLockName));
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) return;
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;  // from the start, l_len 0: to any end
  if (::fcntl(fd_, F_SETLK, &whole) == 0) {
    state_ = State::Held;
    return;
  }
  if (errno == EACCES || errno == EAGAIN) state_ = State::HeldElsewhere;
  ::close(fd_);
  fd_ = -1;
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace plat
