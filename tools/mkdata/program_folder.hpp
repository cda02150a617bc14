#pragma once
// What stands in the program folder, and putting the sample set into it.
// The game matches names without regard to letter case, so a file of the
// player's under any spelling is the file the game reads: it is kept, and an
// archive under any spelling means the folder already holds game data. What
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

// Raises Refusal when one of the archives stands in the folder under any
// spelling, or the folder cannot be listed. A folder not made yet holds none.
void RefuseGameData(const std::string& programFolder, const std::vector<std::string>& archives = kArchives);

// Puts into the program folder every file under looseFolder that does not
// stand there yet under any spelling (keeping what does), then the archives
// in packedFolder (their ".PAK" and ".INF"). Every look is made before the
// first write, so a refusal writes nothing. Each file goes in whole by a
// rename, and the archives come last, all written before the first is
// renamed into place: a run cut short leaves no archive, and the next run
// keeps what this one put in and finishes.
void Install(const std::string& programFolder, const std::string& looseFolder, const std::string& packedFolder,
             const std::vector<std::string>& archives);

}  // namespace mkdata
