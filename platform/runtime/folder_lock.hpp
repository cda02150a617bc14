#pragma once
// One game at a time in a program folder. Each game reads the profiles at
// start and saves all six from its own memory, so a second game started from
// the same folder would wipe what the first saved, and the reverse.
#include <string_view>

namespace plat {

// The file in the program folder the lock is taken on.
inline constexpr std::string_view kFolderLockName = "Ferrowind.lock";

// An flock() on the folder's lock file, held while the object lives. The
// file is opened read-write (created when missing), else read-only when it
// is a regular file: a lock file left by a run as another user (with sudo)
// refuses writing, and flock() needs none, so the lock holds whoever owns the
// file. The lock belongs to the open file description, not to the process:
// it ends when the last descriptor of it closes, as a process's do when it
// ends, however it ends. A forked child's copy of the descriptor would keep
// it past the game (the model reader lives up to its deadline), so every
// child closes that copy as fork() returns in it: the parent's lock stays
// held, and dies with the parent. A child that execs has no copy anyway
// (close-on-exec). A process holds one folder lock at a time.
class FolderLock {
 public:
  enum class State {
    Held,           // by this process
    HeldElsewhere,  // another process holds it
    // Nobody's: the file cannot be opened (a read-only folder, a folder by
    // that name), the file system takes no locks, or this process holds a
    // folder lock already. The game then starts unlocked.
    NotTaken,
  };
  explicit FolderLock(std::string_view gameFolder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  State state() const { return state_; }

 private:
  State state_ = State::NotTaken;
  int owner_ = 0;  // the process that took it: a forked child's copy of the object releases nothing
};

}  // namespace plat
