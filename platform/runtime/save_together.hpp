#pragma once
// Several files saved as one step. The new contents go first into a journal
// beside them, written atomically; then each file is replaced atomically;
// then the journal goes. A game killed at any moment leaves either no
// journal (every file old, or every file new) or a whole journal, which the
// next start plays to its end before anything reads the files.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

struct FileContent {
  std::string gamePath;  // inside the journal's folder or below it
  std::string bytes;
};

// The journal's name in the folder it serves.
inline constexpr std::string_view kSaveJournalName = "SaveJournal.bin";

// Writes every file or, on failure, returns false and, where a plain
// "cannot write" would not tell the player what is wrong (the journal's
// name taken by a folder), says so in why. A failure before the journal stands changes nothing; one
// after it leaves the journal, so the next start finishes the step. Files
// outside the folder are refused.
bool WriteFilesTogether(std::string_view gameFolder, const std::vector<FileContent>& files,
                        std::string* why = nullptr);

// What the folder's owner would have written in one step: "" when the
// journal's files (paths relative to the folder) may be applied, else why
// not.
using JournalCheck = std::function<std::string(const std::vector<FileContent>&)>;

// What became of the journal a killed game left in a folder.
struct JournalRecovery {
  enum class Outcome {
    None,       // there was none, or it was not one this game wrote whole: removed unread
    Finished,   // every file written, the journal gone
    KeptAside,  // not applied, no file it names changed: kept under keptAs, the journal gone
    Waiting,    // not finished, and a file it names already new: the journal stays for the next start
    Stuck,      // neither finished nor kept aside: the journal stays as it was
  };
  Outcome outcome = Outcome::None;
  std::string why;     // why it was not finished (KeptAside, Stuck)
  std::string keptAs;  // the name beside the journal it was kept under (KeptAside)
};

// Finishes the step a killed game left in gameFolder. A journal the check
// refuses, or one whose files cannot be written there, is kept aside under
// the first unused name "SaveJournal.bin.unfinished-<k>" and removed, so
// that the next start does not meet it again; only when even that fails
// does it stay. Refused journals and files that stand in the way (a file
// where a folder should be, a folder where a file should be) are found
// before anything is written, and every file's new content is written
// before the first file is replaced. A journal that cannot be finished while
// a file it names already holds its new content (replaced by this start or
// by the killed game) is not kept aside, which would leave that file new
// beside the others old: it waits (Waiting) for a start that can finish it.
JournalRecovery FinishOrKeepAsideJournal(std::string_view gameFolder, const JournalCheck& check);

// The same accepting any journal: "" when there was nothing to do or the
// step is now complete, otherwise the reason.
std::string RecoverFilesWrittenTogether(std::string_view gameFolder);

// The journal's format, for the functions above and for tests. Paths in it
// are relative to its folder, "/"-separated.
std::string EncodeSaveJournal(const std::vector<FileContent>& relativeFiles);
// nullopt for anything that is not a whole journal with safe relative paths.
std::optional<std::vector<FileContent>> DecodeSaveJournal(std::string_view bytes);

}  // namespace plat
