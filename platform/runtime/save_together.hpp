#pragma once
// Files saved as one step. Every new content is first written beside its
// file; then a journal beside them, written atomically, records the step
// (each file's new content and a fingerprint of what it held before); then
// each file is replaced atomically; then the journal goes. A game killed at
// any moment leaves either no journal (every file old, or every file new)
// or a whole journal, which the next start plays to its end before anything
// reads the files. Each save replaces the journal of the one before, so an
// older step can never be played over a later one.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/files.hpp"
#include "platform/runtime/game_files.hpp"

namespace plat {

// What a file held before a step: enough to tell it from other contents.
struct PreviousContent {
  bool existed = false;
  uint64_t size = 0;
  uint64_t hash = 0;

  static PreviousContent Of(const std::optional<std::string>& bytes);
  bool operator==(const PreviousContent&) const = default;
};

struct FileContent {
  std::string gamePath;  // inside the journal's folder or below it
  std::string bytes;
  bool remove = false;  // the step deletes the file; bytes unused
  // In a journal, what the file held before the step: WriteFilesTogether
  // records it; journals of earlier versions did not (nullopt).
  std::optional<PreviousContent> before = std::nullopt;
  // Where looked at, the step replaces only what the game found at the
  // file's name (see SaveOptions::onlyOver); a save of the caller's, never
  // the journal's.
  FoundAtName onlyOver = {};
};


// The most a step writes, all its files together: far above any profile's
// files, and a bound on what a start reads of a journal.
inline constexpr uint64_t kMostBytesSaved = uint64_t{64} << 20;

// An entry of the journal's folder that a cause names: a file or folder
// below it by its path relative to the folder ("save/user1.DAT", "save",
// "SaveJournal.bin"), or the folder itself.
struct FolderEntry {
  std::string path;  // "" for the folder itself
  bool IsTheFolder() const { return path.empty(); }
  // As a message names it.
  std::string Named() const { return IsTheFolder() ? "the game folder" : path; }
  bool operator==(const FolderEntry&) const = default;
};

// The folder holding a file of the folder (rel, "/"-separated below it).
FolderEntry FolderHolding(const std::string& rel);
// A native folder as a message names it: by its path relative to the game
// folder where it lies inside, else as the system spells it (UTF-8).
FolderEntry FolderNamed(std::string_view gameFolder, const std::string& nativeFolder);

// "<rel> is kept aside as <copy>, but its folder could not be synced
// (<why>)": a copy made whose name the disk may not hold yet, by the paths
// of both from the game folder.
std::string KeptButNotSynced(const std::string& rel, const std::string& copy, const std::string& why);

// The entry a failed look at a file of the folder (rel, relative to it)
// names: where the search was refused on the way (EACCES), the folder that
// refused it, whose mode the player mends (the file's would be out of
// reach); the file otherwise.
FolderEntry LookRefusedBy(std::string_view gameFolder, const std::string& rel, int error);

// Why a step could not be written: the cause naming the entry, in the
// system's words ("save/user1.DAT: No space left on device", "save is a
// file, not a folder", "save: Permission denied" for a folder that refuses
// a removal or a new file), and the system's error number behind it (EISDIR
// or ENOTDIR for an entry of the wrong kind; 0 where none was given).
struct SaveFailure {
  std::string why;
  int error = 0;
  // The step's file whose own call failed (as the journal names it), so
  // that a message naming the step's files need not name it again; "" when
  // the cause lies elsewhere (the journal, a folder, an entry in the way).
  std::string file = "";
  // The entry the cause names.
  FolderEntry entry = {};
  // This step's journal stands after the failure: the next start finishes
  // the step unless a later save comes first.
  bool journalStands = false;
  // With the journal standing, a file the step changes already holds its
  // new content, or the step took on an earlier one's: the next start waits
  // until it can finish it. Otherwise the next start finishes it where it
  // can and sets it aside where it cannot, with the files as they stand.
  bool begun = false;
};

// Writes every file or, on failure, returns false and says why in failure.
// A step of more than kMostBytesSaved is refused before anything is read or
// written, naming its largest file (kTooLargeToSave). The journal is the
// game's own: a link at its name is replaced, never followed; a link at a
// file's name is followed only to a regular file (see LinkAtName). The
// journal carries every file's content, so it is no more open to others
// than the least open of them.
// What stands in the way (an entry of the wrong kind) is found and every
// new content written before the journal: a failure up to there changes
// nothing and leaves no journal of this step; so does a folder that
// refuses a removal, tried with a temporary file. One after it leaves the
// journal, so the next start finishes the step. A failure to remove the
// journal afterwards is no failure of the save: every file then holds its
// content, which a start recognises, and the next save replaces it. Files
// outside the folder are refused. A removal where no file stands (nothing,
// or a folder, by the name) is no change and done.
//
// A step made while the journal of an earlier one stands unfinished (a
// file it changes already new, another not yet) takes on that step's
// obligation: its journal says so (see FinishOrKeepAsideJournal), so that
// a start never sets it aside to play the earlier step's new files beside
// its old ones. In doubt it does the same: a standing journal that cannot
// be read, is damaged, or has a file it changes that cannot be read to
// tell whether it began (costing at most one start that waits). The later
// step's own record of what each file held is read from the files as they
// stand; the journals are not merged, as the caller puts what the earlier
// step still had to write into the later one. A standing journal whose
// files all hold their content already passes nothing on.
//
// A file not the one the game found at its name (onlyOver) refuses the step
// before anything is written (kChangedSinceRead), and so does a link at a
// file's name that leads to another of the game's files (kLinkToGameFile,
// naming the link and the file). landed, when given, gets for each file
// what now stands at its name for the game's next save of it, where the
// step changed it (nothing, for a removal; NotLookedAt where it did not),
// also after a failure.
bool WriteFilesTogether(std::string_view gameFolder, const std::vector<FileContent>& files,
                        SaveFailure* failure = nullptr, std::vector<FoundAtName>* landed = nullptr);

// What a journal's file holds on the disk as the start finds it: its bytes,
// or why there are none (as ReadAllBytes gives it). A file larger than
// maxBytes cannot be read; one that cannot be looked at but that the listing
// of its folder does not hold is not there.
struct FileNow {
  std::optional<std::string> bytes;
  int error = 0;
  static FileNow Of(std::string_view gamePath, uint64_t maxBytes = kMostBytesSaved);
  // No file stands there (nothing, a folder or an entry of another kind):
  // nothing of any step.
  bool NoFile() const;
  // A file stands there, or may, and cannot be read.
  bool Unreadable() const { return !bytes && !NoFile(); }
};

// What a journal's file holds now: its content after the step, before it
// (where the journal says), something else, or what cannot be told (a
// journal of an earlier version, or a folder in the file's place).
enum class Holds { NewContent, OldContent, Other, Unknown, Unreadable };
Holds WhatItHolds(const FileContent& f, const FileNow& now);
// Whether the step changes the file; journals of earlier versions do not
// say, and every file counts.
bool StepChanges(const FileContent& f);

// What the folder's owner says of a journal's files (paths relative to the
// folder), given what each holds now: why it would not have written them
// ("" when they may be applied), or the one it needed and could not read,
// for which the start waits. owed: files holding other bytes than before or
// after the step that the step is finished over all the same, each kept
// aside first (as "<name>.changed-<k>"), for what the step owes them.
// landed: files that hold what the step gave them beside changes made
// since (so not its new content byte for byte): left as they stand, and
// the step counted as begun.
struct JournalVerdict {
  std::string problem;
  const FileContent* unread = nullptr;
  std::vector<const FileContent*> owed = {};
  std::vector<const FileContent*> landed = {};
};
using JournalCheck =
    std::function<JournalVerdict(const std::vector<FileContent>& files, const std::vector<FileNow>& now)>;

// What became of the journal a killed game left in a folder.
struct JournalRecovery {
  enum class Outcome {
    None,       // there was none
    Finished,   // every file holds its content (the journal gone, or left where it cannot be removed)
    KeptAside,  // not applied, no file it names changed by it: kept under keptAs, the journal gone
    Waiting,    // not finished, and a file it names already changed by it: the journal stays for the next start
    Stuck,      // neither finished nor kept aside: the journal stays as it was
    // A link stood at the journal's name: no journal of the game's, removed
    // unread (why: where it led).
    LinkRemoved,
  };
  Outcome outcome = Outcome::None;
  std::string why;  // why it was not finished (KeptAside, Waiting, Stuck)
  // Why it could not be kept aside and removed (Stuck), or removed once
  // finished (Finished: every later save, which replaces it, may fail).
  std::string asideWhy;
  // The cause behind what keeps the journal (Waiting: why; Stuck and
  // Finished: asideWhy), 0 where none was given, and the entry it names:
  // for a look refused on the way, the folder that refused it.
  int error = 0;
  FolderEntry entry;
  // Waiting for a read: of the journal, or of a file that would tell
  // whether the step began.
  bool unreadable = false;
  std::string keptAs;  // the name beside the journal it was kept under
  // Cut short, changed on the disk or larger than any step (KeptAside).
  bool damaged = false;
  // Kept aside where a file of the step may hold its new content beside
  // others old: a damaged journal, or a step that began and whose other
  // file was changed since.
  bool mixed = false;
  // A file of the step kept aside before the step replaced or removed it
  // (Finished), or before it failed (Waiting, KeptAside): copy is its path
  // in the folder, readError the cause of the read that failed for a file
  // that could not be read, 0 for one the verdict owed.
  struct KeptFile {
    std::string file, copy;
    int readError = 0;
  };
  std::vector<KeptFile> kept;
};

// Finishes the step a killed game left in gameFolder. A journal whose
// files all hold their new content already is only removed. One that is
// damaged, that the check refuses, that a later change of one of its files
// overtook (a file holding neither its old nor its new content), or whose
// files cannot be written there is kept aside under the first unused name
// "SaveJournal.bin.unfinished-<k>" and removed, so that the next start does
// not meet it again; only when even that fails does it stay (a damaged one
// is removed when every name is taken). Files that stand in the way (a file
// where a folder should be, a folder where a file should be) are found
// before anything is written, and every file's new content is written
// before the first file is replaced. A journal that cannot be finished while
// a file it names already holds the content the step gave it (replaced by
// this start or by the killed game) is not kept aside, which would leave
// that file new beside the others old: it waits (Waiting) for a start that
// can finish it. So does one written over an unfinished step (see
// WriteFilesTogether), whose files may not show it: the earlier step's new
// files are already in place. A file whose content the step would not
// change is no sign that the step began; in journals of earlier versions,
// which do not say, it is.
//
// What cannot be read is never taken for what holds nothing of the step:
// a journal that cannot be read, a file the check needs and cannot read,
// and, where the step cannot be finished, a file it changes that cannot be
// read to tell whether it began, all wait (unreadable). An entry of
// another kind by the journal's name is no journal, and a folder by a
// file's name holds nothing of the step. Where the step began, a file of it
// that is not there holds nothing the step would undo: it is written; where
// it had not, it counts as changed since. A file the step replaces or
// removes that cannot be read, or that the check owes, is kept aside first
// with KeepCopyAside ("<name>.damaged-<k>", "<name>.changed-<k>"), once
// every new content is written: where no copy can be made, nothing is
// replaced and the journal waits, naming the file (unreadable where its read
// is what failed). A journal larger than any step's
// is damaged, found by its size before it is read. A finished journal that
// cannot be removed is Finished with asideWhy; one kept aside that cannot be
// removed leaves no copy behind.
JournalRecovery FinishOrKeepAsideJournal(std::string_view gameFolder, const JournalCheck& check);

// The same accepting any journal: "" when there was nothing to do or the
// step is now complete, otherwise the reason.
std::string RecoverFilesWrittenTogether(std::string_view gameFolder);

// The journal's format, for the functions above and for tests. Paths in it
// are relative to its folder, "/"-separated. overUnfinished marks a step
// made over an unfinished one.
std::string EncodeSaveJournal(const std::vector<FileContent>& relativeFiles, bool overUnfinished = false);
// nullopt for anything that is not a whole journal with safe relative
// paths; journals of earlier versions decode with `before` unknown.
std::optional<std::vector<FileContent>> DecodeSaveJournal(std::string_view bytes, bool* overUnfinished = nullptr);

}  // namespace plat
