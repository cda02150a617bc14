#pragma once
// The running game's private folder for extracted archive members. Copies
// never land beside the program, where they could replace a player's file,
// collide with another game sharing the folder, or fail on a read-only
// install.
#include <string>

namespace plat {

// Every folder made here ("<prefix><pid>-<random>") holds, from right after
// it is made, a file of this name with its maker's process number and start
// time, "<pid> <clock ticks since the machine started>": a folder of that
// form goes whole only with its maker's mark once its maker has ended (a
// later process of the same number started later), and one without the
// mark (a player's folder named the same way, one whose maker was killed
// before it named the mark, or one whose mark could not be written) only
// while it is empty but for a mark its ended maker never named.
inline constexpr const char* kMakerMark = ".maker";

// The folder (a native path without trailing separator), created on first
// use, readable by this user only, under $TMPDIR or /tmp. Creating it first
// removes the folders of games that are no longer running (a killed game
// leaves its own behind), and registers its removal at exit. Raises
// plat::RuntimeError when it cannot be created; one that cannot be marked is
// used unmarked.
const std::string& GameTempFolder();
// Removes the folder and everything in it; harmless when there is none.
// Every way out of the game calls it (also the exit handler); the next use
// of GameTempFolder makes a fresh one.
void RemoveGameTempFolder();

// Where the folders are made; tests point it at a scratch folder. Empty
// restores the default.
void SetTempRoot(std::string root);

// Removes the scratch folders of a prefix whose process has ended, as a new
// ScratchFolder does: for a program that may end without making one.
void RemoveEndedScratchFolders(const std::string& prefix);

// The scratch folder of a program beside the game (a test program, a
// benchmark, a fuzz target), kept as the game keeps its own and never the
// same: "<prefix><pid>-<random>" in the same place, always a new folder (a
// process that got the number of an ended one never writes into that one's
// leftovers), made after removing the folders of the same prefix whose
// process has ended, which is how the folder of a killed program goes. Only
// the process that made it removes it, with the object: a static one goes
// at exit, and a forked child leaves its parent's alone. Raises
// plat::RuntimeError when it cannot be created; one that cannot be marked is
// used unmarked.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int owner_;
};

}  // namespace plat
