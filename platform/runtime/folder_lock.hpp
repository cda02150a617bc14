#pragma once
// One game at a time in a program folder. Each game reads the profiles at
// start and saves all six from its own memory, so a second game started from
// the same folder would wipe what the first saved, and the reverse.
#include <string_view>

namespace plat {

// The file in the program folder locked along with the folder.
inline constexpr std::string_view kFolderLockName = "Ferrowind.lock";

// flock() on the program folder itself and on the lock file in it, held
// while the object lives. The folder's keeps two games on one machine apart
// whatever stands at the file's name (a file the player cannot open, a
// folder, a link, a FIFO); the file's keeps apart machines sharing the
// folder where the network file system locks files. The file's is taken
// only where the name holds a regular file with one link: the name is
// opened without following a link (read-write, created where nothing
// stands, else read-only: a lock file left by a run as another user with
// sudo refuses writing, and flock() needs none) and what was opened is
// checked before it is locked. A link there would have a game run as root
// create a file wherever it points, and would lock a file that a game in
// another folder locks too; a second link is a copy of the folder made
// with hard links, which runs beside this one. Anything else at the name
// is left as it stands, and the folder's lock alone holds, which does not
// reach another machine. A lock belongs to the open file description, not to
// the process: it ends when the last descriptor of it closes, as a
// process's do when it ends, however it ends. A forked child's copies of the
// descriptors would keep the locks past the game (the model reader lives up
// to its deadline), so every child closes them as fork() returns in it: the
// parent's locks stay held, and die with the parent. A child that execs has
// no copies anyway (close-on-exec). Take it before anything forks, as the
// game does on its one thread first thing at start: a child forked while it
// is being taken would keep what it copied. A process holds one folder lock
// at a time.
class FolderLock {
 public:
  enum class State {
    Held,           // by this process: the folder's lock, the file's or both
    HeldElsewhere,  // another process holds either; this one keeps neither
    // Nobody's: neither could be taken (the folder cannot be opened and no
    // lock file of its own can either, or the file system takes no locks),
    // or this process holds a folder lock already. The game then starts
    // unlocked.
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
