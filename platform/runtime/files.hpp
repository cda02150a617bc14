#pragma once
// Files as the game names them: Windows-style paths ("\" separators) under
// the program folder, with names matched without regard to letter case.
#include <cerrno>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// The folder of the executable, without a trailing separator. Tests may
// point it elsewhere.
const std::string& ProgramFolder();
void SetProgramFolder(std::string folder);

// A game path as a path on this machine: "\" becomes "/", and each part that
// does not exist with its own spelling is matched against the existing
// entries without regard to case. Parts that match nothing keep their
// spelling, so the result is also right for a file about to be created.
std::string NativePath(std::string_view gamePath);

// The spelling on disk of a new file's name (one part of a game path): in
// UTF-8 where the name converts, else its bytes as they stand.
std::string NativeName(std::string_view gameName);

bool FileExists(std::string_view gamePath);  // a regular file
bool DirExists(std::string_view gamePath);
// The runtime's Dir for one name: the name found (without folder), or "".
// Only plain files count, as with normal attributes: no folders and no
// hidden (dot) files.
std::string Dir(std::string_view gamePath);
// Plain files directly in a folder, in name order.
std::vector<std::string> ListFiles(std::string_view gameFolder);

// Causes of the game's own beside the system's error numbers, which are all
// positive: no system call ever answers one of them, and SystemErrorText
// words them as it words the system's.
inline constexpr int kNotAFile = -1;        // an entry that is neither a file nor a folder (a FIFO, a device)
inline constexpr int kLinkToNoFile = -2;    // a link at a saved name that leads to no regular file
inline constexpr int kTooLargeToRead = -3;  // a file larger than its reader takes
inline constexpr int kTooLargeToSave = -4;  // content larger than a save writes
inline constexpr int kTooLargeToKeep = -5;  // a file larger than a kept copy streams
inline constexpr int kChangedSinceRead = -6;  // the file at a saved name holds other bytes than the game read there
inline constexpr int kLinkToGameFile = -7;    // a link at a saved name leads to another of the game's files

// What a reader takes of a file unless it sets a bound of its own: far
// above any file of the game's that is read whole.
inline constexpr uint64_t kMostBytesRead = uint64_t{256} << 20;
// What a kept copy streams where no hard link can be made: as much as any
// reader takes.
inline constexpr uint64_t kMostBytesKept = kMostBytesRead;

// The whole file, or nullopt; error, when given, then holds why: ENOENT or
// ENOTDIR when no entry is there (see NotThere), EISDIR for a folder,
// kNotAFile for an entry of another kind, kTooLargeToRead for a file of more
// than maxBytes (found before reading), and any other system error number
// for a file that is there and cannot be read (0 when read). Never blocks,
// whatever stands at the name.
std::optional<std::vector<uint8_t>> ReadAllBytes(std::string_view gamePath, int* error = nullptr,
                                                 uint64_t maxBytes = kMostBytesRead);
std::optional<std::string> ReadAllText(std::string_view gamePath, int* error = nullptr,
                                       uint64_t maxBytes = kMostBytesRead);

// Which file a read took its bytes from, as the descriptor it read told.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modifiedNs = 0;
  int64_t statusChangedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The hash a save remembers of the bytes the game read or wrote at a name,
// and the save journal's checksum: 64-bit FNV-1a, whose values journals on
// disk hold, so it never changes.
uint64_t HashOfBytes(std::string_view bytes);

// What the game found at a name it may save over.
struct FoundAtName {
  enum class Kind {
    NotLookedAt,  // no look found out: any file there is kept aside before it is replaced
    Nothing,      // nothing stood there
    File,         // a file stood there
  };
  Kind kind = Kind::NotLookedAt;
  FileIdentity identity = {};  // File
  // The hash of the file's bytes where the game read them whole or wrote
  // them (File); nullopt where its read failed once opened.
  std::optional<uint64_t> hash = std::nullopt;

  static FoundAtName Nothing() { return {Kind::Nothing}; }
  static FoundAtName FileOf(const FileIdentity& identity, std::optional<uint64_t> hash) {
    return {Kind::File, identity, hash};
  }
  bool LookedAt() const { return kind != Kind::NotLookedAt; }
  bool IsFile() const { return kind == Kind::File; }
  bool operator==(const FoundAtName&) const = default;
};

// A read of a file the game saves over later.
struct SavedFileRead {
  std::optional<std::string> text;
  // As ReadAllBytes gives it, but a link at the name that leads to no
  // regular file (to nothing, a loop, past 40 links) is kLinkToNoFile: a
  // file that may come back, never "nothing there".
  int error = 0;
  // What a save may replace there: the file read (also one whose read
  // failed once opened), or nothing; NotLookedAt where neither a look nor an
  // open found out.
  FoundAtName found;
};
SavedFileRead ReadSavedFile(std::string_view gamePath, uint64_t maxBytes = kMostBytesRead);

// Why a save may not replace what stands at a name: 0 where it may.
struct ReplaceRefusal {
  int error = 0;
  std::string leadsTo;  // for kLinkToGameFile: the game file the link reaches, as GameFiles names it
  explicit operator bool() const { return error != 0; }
  // The cause in words: "a link to save/user1.DAT, another of the game's
  // files", or the system's.
  std::string Why() const;
};
// Whether a save may replace what stands at the name, links followed: a
// link there that leads to another of the game's files (where gameFolder is
// given) refuses it (kLinkToGameFile), and so does a file that holds other
// bytes than the game found there (kChangedSinceRead): a file of the size
// found is read and compared with the hash of the bytes found, so that a
// file only touched, copied back or on a drive mounted again is the game's
// own, and one rewritten with its times put back is not. Where that read
// fails, only a file of the identity found (status-change time included)
// is the game's, anything else refused with the read's cause. Where the
// game's own read failed (no hash), the identity alone decides, its
// status-change time aside. A failed look
// refuses with its own cause (kLinkToNoFile for a link that leads to no
// regular file); nothing there is no refusal but where a file was found.
// NotLookedAt found refuses nothing.
// Where the caller has just read the file itself (read), those bytes decide
// without a second read that could fail, as long as the look finds the very
// file that read took them from. Where the look fails but the file can then
// be read (by that read, or one made now), its bytes decide all the same.
ReplaceRefusal MayReplace(std::string_view gamePath, const FoundAtName& found,
                          const std::optional<std::string>& gameFolder = std::nullopt,
                          const SavedFileRead* read = nullptr);
// Looks at an entry without reading it: 0 for a regular file, else why not,
// as ReadAllBytes gives it.
int LookAtFile(std::string_view gamePath);
// Whether a look at an entry failed because nothing is there: only the
// system's word says so, never a failure to look.
inline bool NotThere(int error) { return error == ENOENT || error == ENOTDIR; }
// Whether what a look found holds no file's bytes: nothing, a folder, or an
// entry of another kind.
inline bool NoRegularFile(int error) { return NotThere(error) || error == EISDIR || error == kNotAFile; }
// Whether the listing of an entry's folder holds its name, in any spelling:
// 0 when it does, ENOENT when it does not, else why the folder cannot be
// listed. The word of a folder's listing stands where a file system answers
// an error for a name that is not there.
int ListedInFolder(std::string_view gamePath);
// Whether an entry that exists belongs to a user other than this process's.
bool OwnedByAnotherUser(std::string_view gamePath);
// What a save does with a symbolic link standing at the name it writes.
enum class LinkAtName {
  // Writes the file it leads to where that is a regular file (a player's
  // own file kept elsewhere); a link to nowhere, or to anything else, is
  // refused (kLinkToNoFile), and so is any other entry than a regular file
  // (kNotAFile, EISDIR), with nothing written.
  FollowToFile,
  // Replaces the link, or whatever else stands at the name, itself: for the
  // game's own files, never reached through a link.
  Replace,
};

// How a save treats what stands at its name.
struct SaveOptions {
  LinkAtName link = LinkAtName::FollowToFile;
  // The permissions of the new file; by default an existing target's, with
  // read and write for its owner added (a file the game cannot read back is
  // no save), and a new file's under the process's creation mask.
  std::optional<uint32_t> mode = std::nullopt;
  // Where looked at, the save replaces only what the game found at the name
  // (links followed; see MayReplace): anything else refuses it
  // (kChangedSinceRead).
  FoundAtName onlyOver = {};
  // Where set, the game folder whose own files (GameFiles) are never written
  // through another one's name: a link at the name that leads to the entry
  // of another of them refuses the save (kLinkToGameFile).
  std::optional<std::string> gameFolder = std::nullopt;
  // What the save answers beside its result: the system's error number (0
  // where it gave none) or the game's own cause; whether the folder refused
  // to take the temporary file (EACCES, EPERM or EROFS at its creation: the
  // folder is at fault then, not the file) and that folder (a link's
  // target's, where the temporary goes); for kLinkToGameFile, the game file
  // the link leads to, as GameFiles names it.
  int* error = nullptr;
  bool* folderRefused = nullptr;
  std::string* refusingFolder = nullptr;
  std::string* leadsTo = nullptr;
};

// A buffer's bytes as a save takes them.
inline std::string_view Bytes(const std::vector<uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Writes a temporary file beside the target and renames it over, so the old
// file survives any failure; file and folder are synced, so a crash right
// after a save loses nothing either. A link at the name is followed or
// replaced as `link` says. Nothing is written where the look at the name,
// or at a link on the way to the file, fails (unless the folder's listing
// holds no such name): the cause is the look's. An existing target keeps its
// owner where the system allows. The temporary file is always created new,
// never through an existing entry. Returns false (and leaves the old file)
// when anything fails, saying why as the options ask.
bool WriteFileAtomic(std::string_view gamePath, std::string_view bytes, const SaveOptions& options = {});
// The two halves of WriteFileAtomic, for files that must change together:
// every new content is written beside its file before any file is replaced.
struct StagedFile {
  std::string temp;    // the written temporary file
  std::string target;  // the file it replaces, links followed
  uint32_t mode = 0;   // the permissions it was written with
  uint64_t hash = 0;   // of the bytes written
  // The temporary file as its descriptor told once written; a rename may
  // move its status-change time, so the file the target holds once
  // committed is told by the descriptor, kept open across the rename.
  FileIdentity written = {};
  std::shared_ptr<const int> open = nullptr;
};
// Writes the temporary file; nullopt, leaving none, when anything fails.
std::optional<StagedFile> StageFileAtomic(std::string_view gamePath, std::string_view bytes,
                                          const SaveOptions& options = {});
// Renames it over the target and syncs the folder; false when either fails
// (after a failed sync the target is already replaced: replaced, when
// given, says whether it was).
// landed, when given, gets the file the target holds once it is replaced
// (what was written, known without a look at the name after the rename: its
// descriptor's identity then, or where that cannot be had, the one before):
// what the game found there for its next save.
bool CommitStagedFile(const StagedFile& f, int* error = nullptr, bool* replaced = nullptr,
                      FoundAtName* landed = nullptr);
// Removes a temporary file that will not be committed.
void DiscardStagedFile(const StagedFile& f);
// Makes and removes an empty temporary file beside an entry (links not
// followed): whether this process may change the entries of its folder, so
// that a step removing the entry is refused before it changes anything.
// False, error holding the system's error number, when it may not. The
// test hook counts it as a temporary write.
bool CanChangeFolderOf(std::string_view gamePath, int* error = nullptr);
// Removes the temporary files that saves of a game no longer running left
// in a folder (a game killed during a save).
void RemoveStaleSaveFiles(std::string_view gameFolder);
// The same beside the file a link at the name leads to (a player's file
// kept elsewhere), for that file's own temporary names only.
void RemoveStaleSaveFilesOf(std::string_view gamePath);
// The same in a folder for the named files' own temporary names alone (in
// any letter case).
void RemoveStaleSaveFilesNamed(std::string_view gameFolder, const std::vector<std::string>& names);
// Plain write, replacing the content of a regular file or creating one;
// false on failure, and for any other entry at the name, which it neither
// changes nor waits on.
bool WriteFile(std::string_view gamePath, const void* data, size_t size);
// Writes a file that must not exist yet: never replaces or follows an
// existing entry. 0 when written, else the system's error number (EEXIST
// when the name is taken); a failed write leaves no file behind.
int WriteNewFile(std::string_view gamePath, const void* data, size_t size);
// Copies size bytes from a 0-based offset of one file into the file at a
// native path, which is replaced (never through a link). False on any
// failure (also a range past the end, or a source that is no regular
// file), leaving no partial copy.
bool CopyFileRange(std::string_view fromGamePath, int64_t offset, int64_t size, const std::string& toNative);
// size bytes from a 0-based offset of a file, read in one piece; nullopt
// when the file is missing, is no regular file or the range is not wholly
// inside it.
std::optional<std::vector<uint8_t>> ReadFileRange(std::string_view gamePath, int64_t offset, int64_t size);
// Deletes a file; true when it is gone afterwards (also when it never was).
bool RemoveFile(std::string_view gamePath);
// The same, and the removal reaches the disk before it returns; a folder
// that is gone holds the file no more. On failure, removed (when given)
// says whether the file went before its folder's sync failed.
bool RemoveFileDurably(std::string_view gamePath, int* error = nullptr, bool* removed = nullptr);
// Puts a copy of a file beside it under the first unused name of the form
// "<name>.<tag>-<k>" (k from 1), never replacing anything: a hard link, or
// where the file system makes none, a copy streamed without holding the
// file in memory, with the permissions of the file it copies, written and
// synced under a temporary name of the save's form beside the name (which
// RemoveStaleSaveFiles clears after a kill) before it is given its own
// (never over anything: where the file system has neither hard links nor
// renames that refuse to replace, by a plain rename onto a name a look
// finds free, the game holding its folder's lock). A
// link at the name is followed: the copy is of the file it leads to, never
// a second name of the link, and it stands in the folder of the name. Where
// the newest copy (the name before the first unused) holds the file already
// (the same file, or the same size, permissions and bytes), no other is
// made and its name is given. The name (without folder), or "" when no copy
// could be made (error: ENOENT or ENOTDIR when nothing is there to keep,
// kNotAFile or EISDIR when what stands there is no regular file,
// kLinkToNoFile for a link that leads to none, EEXIST when every name is
// taken, kTooLargeToKeep for a file past kMostBytesKept that must be
// streamed, else the system's cause: the read's, where the file cannot be
// read, never the hard link's). A copy made whose folder then could not be
// synced stands: its name is given, error holding the sync's cause.
std::string KeepCopyAside(std::string_view gamePath, std::string_view tag, int* error = nullptr);
// What a symbolic link at the name holds (where it leads, as written in
// it), or nullopt where none stands there.
std::optional<std::string> LinkTarget(std::string_view gamePath);
bool MakeDir(std::string_view gamePath);
// File length in bytes, or -1 when there is no such file.
int64_t FileLen(std::string_view gamePath);

// Test hook: adds to the device number every look and read reports from
// now on, as a drive mounted again under another number would (0 stops it).
void ShiftReportedDevice(uint64_t by);
// Test hook: every identity reported from now on has the modification time
// as its status-change time, as on a file system that keeps none of its own
// (false stops it).
void StatusChangeFollowsModification(bool on);

// Test hook: makes the rename step of an atomic write (CommitStagedFile)
// fail, its temporary file written and left, as a crash there would: the
// next one, or the one after `skip` more have succeeded.
void FailNextAtomicRename(int skip = 0);

// Test hook: the next call of one kind that the saves make fails with the
// given error number, as the system would fail it (a rename that fails
// leaves no temporary file), or with 0 the process is killed there: the
// next one, or the one after `skip` more of that kind have succeeded. A
// Read is ReadAllBytes's read of a file that is there; a Look is the look
// at an entry that every test of a file makes first (LookAtFile, FileExists,
// FileLen, DirExists, Dir, ListFiles, ReadAllBytes, a save's look at the file
// it replaces and at each link on the way to it), not the matching of a
// name's spelling; a Link is the hard link a kept copy tries first. A kept
// copy streamed where no link can be made counts as a Read of its file, a
// WriteTemporary of its temporary copy, a Rename when the copy takes its
// name and a SyncFolder after it.
// A plan stands for each kind of call: a new one of a kind replaces only
// that kind's.
enum class FileCall { WriteTemporary, Rename, Remove, SyncFolder, Read, Look, Link };
void FailNextFileCall(FileCall call, int error, int skip = 0);
// The same call is met by act instead, as another program acting at that
// very moment would (a player's edit landing during a save); the call then
// goes on as usual.
void ActAtNextFileCall(FileCall call, std::function<void()> act, int skip = 0);
// Whether a plan of that kind still waits for its call: a sweep over the
// calls of a save has passed the last one once a plan is left unmet.
bool FileCallPlanned(FileCall call);
// Drops every failure planned and not yet met (the test harness, between
// tests).
void ForgetPlannedFileCallFailures();

// The system's words for an error number ("No space left on device"), or
// the game's own for its causes.
std::string SystemErrorText(int error);

}  // namespace plat
