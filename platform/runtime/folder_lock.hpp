#pragma once
// One game at a time in a program folder. Each game reads the profiles at
// start and saves all six from its own memory, so a second game started from
// the same folder would wipe what the first saved, and the reverse.
#include <string_view>

namespace plat {

// The file in the program folder the lock is taken on.
inline constexpr std::string_view kFolderLockName = "Ferrowind.lock";

// A record lock on the folder's lock file, held while the object lives. A
// record lock goes with the process: a forked child does not inherit it, and
// it ends with the process however that ends. The process must not open or
// close the lock file elsewhere meanwhile: closing any descriptor of a file
// drops the process's locks on it.
class FolderLock {
 public:
  enum class State {
    Held,           // by this process
    HeldElsewhere,  // another process holds it
    NotTaken,       // the file cannot be opened or locked (a read-only folder): nobody's
  };
  explicit FolderLock(std::string_view gameFolder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  State state() const { return state_; }

 private:
  int fd_ = -1;
  State state_ = State::NotTaken;
};

}  // namespace plat
