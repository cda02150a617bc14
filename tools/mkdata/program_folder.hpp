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

// Stands in the program folder while a set goes in, recording the size and
// hash of each archive file of that set and of each loose file that runs
// of the set put in: a run that finds it takes for its own, left by a run
// cut short, only those archives that hold exactly those bytes, and
// completes the set, or gives it up taking only those loose files.
inline const std::string kUnfinishedSet = "mkdata-unfinished.txt";

// What the program folder's listing shows, for the run command: "none",
// "partial" or "complete" of the archives' files, "doubled" where one of
// them stands under more than one spelling (the player's beside the set's:
// the game would read only one), or "unfinished" where kUnfinishedSet
// stands. Raises Refusal when the folder cannot be listed.
std::string FolderState(const std::string& programFolder, const std::vector<std::string>& archives = kArchives);

// What a run does with the program folder.
enum class Verdict {
  Write,      // no archive and no set cut short: the set goes in
  Finish,     // a set cut short whose archives there are all this tool's
  GiveUp,     // a set cut short, and each archive's name holds another's: the player's, in any spelling
  Undecided,  // a set cut short whose list records no bytes: only the set made can tell
  Doubled,    // no set cut short, and an archive file under two spellings: only the set made can tell
};

// What a run found: its verdict, and the archive files standing that hold
// this tool's bytes (those a set given up removes, beside the player's of
// the same names).
struct Judgement {
  Verdict verdict = Verdict::Write;
  std::vector<std::string> own;
};

// Judges the folder before the set is made. Raises Refusal, naming what
// stands and what to move out, when an archive stands and no set was cut
// short there, or kUnfinishedSet stands and is not this tool's (a link
// that leads to no file, or anything else it cannot read as its own), or
// some archives of a set cut short are its own or missing and others not
// (naming this tool's own among them), or one it would replace is no
// regular file, or the folder cannot be listed. A folder not made yet
// holds none. With no set cut short and an archive file under two
// spellings, the set made judges (Verdict::Doubled): where each name holds
// another's beside the set's own, those go as a set given up; otherwise it
// is refused, naming what to move out.
Judgement Judge(const std::string& programFolder, const std::vector<std::string>& archives = kArchives);

// Gives up a set cut short (Verdict::GiveUp): removes this tool's own
// archive files that stand beside the player's, the loose files that runs
// of the set put in wherever they still hold those runs' bytes and the
// player's file stands under another spelling, the set's goods files with
// its User.INI, a folder of the set's spelling beside the player's that
// holds nothing else, and this tool's staging leftovers, then
// kUnfinishedSet last; writes nothing else, and says so. Raises Refusal,
// before anything goes, naming such a loose file that cannot be read.
void GiveUp(const std::string& programFolder, const Judgement& judged,
            const std::vector<std::string>& archives = kArchives);

// Removes the staging files that runs of this tool no longer running left
// beside the archives and kUnfinishedSet, only under those names.
void RemoveStagingLeftovers(const std::string& programFolder, const std::vector<std::string>& archives = kArchives);

// Puts into the program folder every file under looseFolder that does not
// stand there yet under any spelling (keeping what does; what runs cut
// short put in beside the player's goes first, as GiveUp takes it), then
// the archives
// in packedFolder (their ".PAK" and ".INF"), replacing those of a set cut
// short. The folder is judged again first, a list without bytes against
// the archives in packedFolder, as is a folder of Verdict::Doubled: a set
// given up there writes nothing (Verdict::GiveUp is answered), else
// Verdict::Finish once the set is in.
// Every look, and a check that each folder written into takes new files,
// is made before the first write, so a refusal writes nothing. Each file
// goes in whole by a rename, with kUnfinishedSet written before the first
// and removed after the last: a run cut short anywhere is finished by the
// next, which keeps what this one put in; the staging leftovers of runs cut
// short go before kUnfinishedSet.
Verdict Install(const std::string& programFolder, const std::string& looseFolder, const std::string& packedFolder,
                const std::vector<std::string>& archives);

}  // namespace mkdata
