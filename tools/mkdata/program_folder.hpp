#pragma once
// What stands in the program folder, and putting the sample set into it.
// The game matches names without regard to letter case, so a file of the
// player's under any spelling is the file the game reads: it is kept, and an
// archive under any spelling, unless this tool put it in, means the folder
// already holds game data. What
// stands is judged from folder listings, never from a look at one spelling:
// a folder that cannot be listed may hold anything, so it is refused.
#include <stdexcept>
#include <string>
#include <vector>

namespace mkdata {

// The program folder must not be written; the message names the entry.
struct Refusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The archives start-up opens, each an "<name>.INF" and an "<name>.PAK".
inline const std::vector<std::string> kArchives{"Data", "MissionPack"};

// Stands in the program folder while a set goes in, listing the archives of
// that set: a run that finds it takes those archives for its own, left by a
// run cut short, and completes the set.
inline const std::string kUnfinishedSet = "mkdata-unfinished.txt";

// Raises Refusal, naming what stands and what to move out, when one of the
// archives stands in the folder under any spelling and is not listed in
// kUnfinishedSet there, or the folder cannot be listed. A folder not made
// yet holds none.
void RefuseGameData(const std::string& programFolder, const std::vector<std::string>& archives = kArchives);

// Puts into the program folder every file under looseFolder that does not
// stand there yet under any spelling (keeping what does), then the archives
// in packedFolder (their ".PAK" and ".INF"), replacing those of a set cut
// short. Every look is made before the first write, so a refusal writes
// nothing. Each file goes in whole by a rename, with kUnfinishedSet written
// before the first and removed after the last: a run cut short anywhere is
// finished by the next, which keeps what this one put in.
void Install(const std::string& programFolder, const std::string& looseFolder, const std::string& packedFolder,
             const std::vector<std::string>& archives);

}  // namespace mkdata
