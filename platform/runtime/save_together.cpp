#include "platform/runtime/save_together.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <utility>

#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/game_files.hpp"

namespace plat {
namespace {

constexpr std::string_view kMagicWithoutBefore = "FWSAVEJ1";
constexpr std::string_view kMagic = "FWSAVEJ2";
constexpr std::string_view kMagicOverUnfinished = "FWSAVEJ3";
constexpr uint32_t kMaxFiles = 16;
constexpr uint32_t kMaxPath = 1024;
constexpr uint8_t kRemoves = 1, kBeforeKnown = 2, kExistedBefore = 4;
// The longest journal of a step of kMostBytesSaved: the magic, the count,
// each file's path, flags and numbers at their largest, and the hash.
constexpr uint64_t kMostJournalBytes = 8 + 4 + kMaxFiles * (4 + kMaxPath + 1 + 8 + 8 + 8) + kMostBytesSaved + 8;

void PutNumber(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

class Cursor {
 public:
  explicit Cursor(std::string_view bytes) : rest_(bytes) {}
  bool Number(uint64_t& v, int bytes) {
    if (rest_.size() < static_cast<size_t>(bytes)) return false;
    v = 0;
    for (size_t i = 0; i < static_cast<size_t>(bytes); ++i)
      v |= static_cast<uint64_t>(static_cast<uint8_t>(rest_[i])) << (8 * i);
    rest_.remove_prefix(static_cast<size_t>(bytes));
    return true;
  }
  bool Take(std::string& out, uint64_t size) {
    if (rest_.size() < size) return false;
    out.assign(rest_.substr(0, static_cast<size_t>(size)));
    rest_.remove_prefix(static_cast<size_t>(size));
    return true;
  }
  bool Empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

// A path that stays inside the journal's folder: relative, "/"-separated,
// no empty, "." or ".." part.
bool SafeRelative(std::string_view path) {
  if (path.empty() || path.find('\0') != std::string_view::npos || path.find('\\') != std::string_view::npos)
    return false;
  size_t start = 0;
  while (true) {
    const size_t slash = path.find('/', start);
    const std::string_view part =
        path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (slash == std::string_view::npos) return true;
    start = slash + 1;
  }
}

// The game path of an entry of the folder, by its relative path.
std::string InFolder(std::string_view gameFolder, std::string_view rel) {
  return std::string(gameFolder) + "\\" + std::string(rel);
}

std::string JournalPath(std::string_view gameFolder) { return InFolder(gameFolder, kSaveJournalName); }

// A file's path relative to the folder, or "" when it lies elsewhere.
std::string RelativeTo(std::string_view gameFolder, std::string_view gamePath) {
  std::string folder = NativePath(gameFolder);
  if (folder.empty() || folder.back() != '/') folder += '/';
  const std::string file = NativePath(gamePath);
  if (file.size() <= folder.size() || file.compare(0, folder.size(), folder) != 0) return "";
  std::string rel = file.substr(folder.size());
  return SafeRelative(rel) ? rel : "";
}

// The cause of a failed call on an entry of the journal's folder, in the
// system's words.
SaveFailure CallFailed(const FolderEntry& entry, int error) {
  SaveFailure failure{error != 0 ? entry.Named() + ": " + SystemErrorText(error) : "Unable to Save " + entry.Named(),
                      error};
  failure.entry = entry;
  return failure;
}

// The same for a call on one of the step's own files.
SaveFailure FileCallFailed(const std::string& rel, int error) {
  SaveFailure failure = CallFailed({rel}, error);
  failure.file = rel;
  return failure;
}

// The cause of a failed call on one of the step's files that its look at
// the file may have met on the way: the folder that refused the search is
// named where there is one.
SaveFailure FileOrFolderFailed(std::string_view gameFolder, const std::string& rel, int error) {
  const FolderEntry by = LookRefusedBy(gameFolder, rel, error);
  return by.path == rel ? FileCallFailed(rel, error) : CallFailed(by, error);
}

}  // namespace

FolderEntry FolderHolding(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return {slash == std::string::npos ? "" : rel.substr(0, slash)};
}

std::string KeptButNotSynced(const std::string& rel, const std::string& copy, const std::string& why) {
  return rel + " is kept aside as " + copy + ", but its folder could not be synced (" + why + ")";
}

FolderEntry FolderNamed(std::string_view gameFolder, const std::string& nativeFolder) {
  std::string folder = std::filesystem::path(NativePath(gameFolder)).lexically_normal().string();
  const std::string native = std::filesystem::path(nativeFolder).lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (native == folder || native == folder + "/") return {};
  if (native.size() > folder.size() && native.compare(0, folder.size(), folder) == 0 && native[folder.size()] == '/')
    return {native.substr(folder.size() + 1)};
  return {native};
}

FolderEntry LookRefusedBy(std::string_view gameFolder, const std::string& rel, int error) {
  if (error != EACCES) return {rel};
  const auto unsearchable = [](const std::string& folder) { return LookAtFile(InFolder(folder, ".")) == EACCES; };
  if (unsearchable(std::string(gameFolder))) return {};
  for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1))
    if (unsearchable(InFolder(gameFolder, rel.substr(0, slash)))) return {rel.substr(0, slash)};
  return {rel};
}

PreviousContent PreviousContent::Of(const std::optional<std::string>& bytes) {
  if (!bytes) return {};
  return {true, bytes->size(), HashOfBytes(*bytes)};
}

// The journal, numbers little-endian:
// - 8 bytes of magic: kMagic, or kMagicOverUnfinished for a step made over
//   an unfinished one (which earlier versions take for a damaged journal
//   rather than set aside as not begun); kMagicWithoutBefore in journals of
//   earlier versions, whose entries have no flags and no previous content;
// - the number of files, 4 bytes, 1 to kMaxFiles;
// - each file: the length of its path (4 bytes, at most kMaxPath) and the
//   path, relative and "/"-separated; a byte of flags: kRemoves (the step
//   deletes the file), kBeforeKnown (what it held before follows),
//   kExistedBefore (it existed before the step, only with kBeforeKnown);
//   with kBeforeKnown, the previous content's size and FNV-1a hash, 8 bytes
//   each; the length of the new content (8 bytes, 0 for a removal) and the
//   content;
// - the FNV-1a hash of all that, 8 bytes.
std::string EncodeSaveJournal(const std::vector<FileContent>& relativeFiles, bool overUnfinished) {
  std::string out(overUnfinished ? kMagicOverUnfinished : kMagic);
  PutNumber(out, relativeFiles.size(), 4);
  for (const FileContent& f : relativeFiles) {
    PutNumber(out, f.gamePath.size(), 4);
    out += f.gamePath;
    const uint8_t flags = static_cast<uint8_t>((f.remove ? kRemoves : 0) | (f.before ? kBeforeKnown : 0) |
                                               (f.before && f.before->existed ? kExistedBefore : 0));
    out.push_back(static_cast<char>(flags));
    if (f.before) {
      PutNumber(out, f.before->size, 8);
      PutNumber(out, f.before->hash, 8);
    }
    const std::string_view bytes = f.remove ? std::string_view() : std::string_view(f.bytes);
    PutNumber(out, bytes.size(), 8);
    out += bytes;
  }
  PutNumber(out, HashOfBytes(out), 8);
  return out;
}

std::optional<std::vector<FileContent>> DecodeSaveJournal(std::string_view bytes, bool* overUnfinished) {
  if (bytes.size() < kMagic.size() + 12) return std::nullopt;
  const std::string_view magic = bytes.substr(0, kMagic.size());
  const bool marked = magic == kMagicOverUnfinished;
  const bool withBefore = magic == kMagic || marked;
  if (!withBefore && magic != kMagicWithoutBefore) return std::nullopt;
  const std::string_view body = bytes.substr(0, bytes.size() - 8);
  uint64_t sum = 0;
  Cursor tail(bytes.substr(body.size()));
  if (!tail.Number(sum, 8) || sum != HashOfBytes(body)) return std::nullopt;
  Cursor in(body.substr(kMagic.size()));
  uint64_t count = 0;
  if (!in.Number(count, 4) || count == 0 || count > kMaxFiles) return std::nullopt;
  std::vector<FileContent> files(static_cast<size_t>(count));
  for (FileContent& f : files) {
    uint64_t pathSize = 0, size = 0, flags = 0;
    if (!in.Number(pathSize, 4) || pathSize > kMaxPath || !in.Take(f.gamePath, pathSize) || !SafeRelative(f.gamePath))
      return std::nullopt;
    if (withBefore) {
      if (!in.Number(flags, 1) || (flags & ~uint64_t{kRemoves | kBeforeKnown | kExistedBefore}) != 0) return std::nullopt;
      f.remove = (flags & kRemoves) != 0;
      if (flags & kBeforeKnown) {
        PreviousContent before;
        before.existed = (flags & kExistedBefore) != 0;
        if (!in.Number(before.size, 8) || !in.Number(before.hash, 8)) return std::nullopt;
        if (!before.existed && before != PreviousContent{}) return std::nullopt;
        f.before = before;
      } else if (flags & kExistedBefore) {
        return std::nullopt;
      }
    }
    if (!in.Number(size, 8) || !in.Take(f.bytes, size) || (f.remove && size != 0)) return std::nullopt;
  }
  if (!in.Empty()) return std::nullopt;
  if (overUnfinished) *overUnfinished = marked;
  return files;
}

namespace {
// The game path of a journal's file under its folder, once `folderOk` has
// passed each folder on the way there (outermost first: its game path and
// its part of rel); "" when one does not.
std::string PathThrough(std::string_view gameFolder, const std::string& rel,
                        const std::function<bool(const std::string&, const std::string&)>& folderOk) {
  std::string path(gameFolder);
  size_t start = 0;
  for (size_t slash; (slash = rel.find('/', start)) != std::string::npos; start = slash + 1) {
    FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
    path += "\\" + rel.substr(start, slash - start);
    FW_LIBRARY_FALSE_ALARM_END
    if (!folderOk(path, rel.substr(0, slash))) return "";
  }
  return path + "\\" + rel.substr(start);
}

// What stands where a file is to be written, found before anything is
// written so that such a step changes nothing: a file where one of its
// folders should be, or a folder where it should be.
std::optional<SaveFailure> InTheWay(std::string_view gameFolder, const std::string& rel) {
  std::optional<SaveFailure> why;
  const std::string path =
      PathThrough(gameFolder, rel, [&why, gameFolder](const std::string& folder, const std::string& part) {
        const int look = LookAtFile(folder);
        if (look == 0 || look == kNotAFile) {
          why = SaveFailure{part + (look == 0 ? " is a file, not a folder" : " is not a folder"), ENOTDIR};
          why->entry = {part};
        } else if (look != EISDIR && !NotThere(look)) {
          // Not seen is not absent: the step would be written blind.
          why = CallFailed(LookRefusedBy(gameFolder, part, look), look);
        }
        return !why;
      });
  if (!why && LookAtFile(path) == EISDIR) {
    why = SaveFailure{rel + " is a folder, not a file", EISDIR};
    why->entry = {rel};
  }
  return why;
}

// A file of a step, its new content written beside it (none for a removal).
struct Staged {
  const FileContent* file;
  std::string path;
  std::optional<StagedFile> temp;
};

void Discard(const std::vector<Staged>& staged) {
  for (const Staged& s : staged)
    if (s.temp) DiscardStagedFile(*s.temp);  // only those not renamed are left
}

// Writes every new content of the step beside its file, once nothing stands
// in the way of any; a failure leaves nothing written. Missing folders on
// the way are made where asked.
std::optional<SaveFailure> Stage(std::string_view gameFolder, const std::vector<FileContent>& files,
                                 bool makeFolders, std::vector<Staged>& staged) {
  for (const FileContent& f : files)
    if (!f.remove)
      if (auto why = InTheWay(gameFolder, f.gamePath)) return why;
  for (const FileContent& f : files) {
    std::string failedFolder;
    const std::string path = PathThrough(
        gameFolder, f.gamePath, [&f, makeFolders, &failedFolder](const std::string& folder, const std::string& part) {
          if (f.remove || !makeFolders || MakeDir(folder)) return true;
          failedFolder = part;
          return false;
        });
    std::optional<SaveFailure> why;
    if (path.empty()) {
      why = CallFailed({failedFolder}, errno);
    } else if (f.remove) {
      // A folder by the file's name is none of the step's. A file that is
      // not there is removed again, so that its removal by a killed game
      // reaches the disk. A folder that will not let the file go says so
      // now, before the journal, rather than once the other files are new;
      // a failed look at the file is no sign that it is not there.
      const int look = LookAtFile(path);
      if (look == EISDIR || look == kNotAFile) continue;
      int error = 0;
      if (NotThere(look) || CanChangeFolderOf(path, &error) || NotThere(error)) {
        staged.push_back({&f, path, std::nullopt});
        continue;
      }
      why = CallFailed(FolderHolding(f.gamePath), error);
    } else {
      int error = 0;
      bool folderRefused = false;
      std::string refusingFolder, leadsTo;
      if (std::optional<StagedFile> s = StageFileAtomic(path, f.bytes,
                                                        {.onlyOver = f.onlyOver,
                                                         .gameFolder = std::string(gameFolder),
                                                         .error = &error,
                                                         .folderRefused = &folderRefused,
                                                         .refusingFolder = &refusingFolder,
                                                         .leadsTo = &leadsTo})) {
        // A file named twice shares its temporary file: the later content
        // stands, as writing them in turn would leave it.
        std::erase_if(staged, [&s](const Staged& e) { return e.temp && e.temp->target == s->target; });
        staged.push_back({&f, path, std::move(s)});
        continue;
      }
      // A folder that takes no new file is at fault, not the file's mode
      // (the folder of the file a link leads to, where the temporary goes);
      // so is one on the way that refused the look at the file.
      if (folderRefused) {
        why = CallFailed(FolderNamed(gameFolder, refusingFolder), error);
      } else if (error == kLinkToGameFile) {
        why = FileCallFailed(f.gamePath, error);
        why->why = f.gamePath + ": " + ReplaceRefusal{error, leadsTo}.Why();
      } else {
        why = FileOrFolderFailed(gameFolder, f.gamePath, error);
      }
    }
    Discard(staged);
    staged.clear();
    return why;
  }
  return std::nullopt;
}

// Replaces (or removes) each file in turn; replaced, when given, gets each
// file that now holds its new content, the one that failed included when
// only its folder's sync did.
std::optional<SaveFailure> Commit(const std::vector<Staged>& staged,
                                  std::vector<const FileContent*>* replaced = nullptr,
                                  std::vector<std::pair<const FileContent*, FoundAtName>>* landed = nullptr) {
  std::optional<SaveFailure> why;
  for (const Staged& s : staged) {
    int error = 0;
    bool done = false;
    FoundAtName now = FoundAtName::Nothing();  // what a removal leaves
    const bool ok =
        s.temp ? CommitStagedFile(*s.temp, &error, &done, &now) : RemoveFileDurably(s.path, &error, &done);
    if (done && replaced) replaced->push_back(s.file);
    if (done && landed) landed->emplace_back(s.file, now);
    if (!ok) {
      // Replaced or removed already, only its folder's sync failed: the
      // folder is what the player mends, the file is not at fault.
      why = done ? CallFailed(FolderHolding(s.file->gamePath), error) : FileCallFailed(s.file->gamePath, error);
      break;
    }
  }
  Discard(staged);
  return why;
}

// Writes the journal's files; nullopt when all are written. Every new
// content is written beside its file before the first is replaced, so a
// folder without room for all of them keeps every file old; beforeReplacing
// then runs, and a failure it gives stops the step with nothing replaced. A
// folder on the way that is gone is made again: the start gets here with one
// only where the step's file was not there before it either (one that was is
// changed since, and its journal kept aside instead).
std::optional<SaveFailure> Apply(std::string_view gameFolder, const std::vector<FileContent>& files,
                                 std::vector<const FileContent*>& replaced,
                                 const std::function<std::optional<SaveFailure>()>& beforeReplacing) {
  std::vector<Staged> staged;
  if (auto why = Stage(gameFolder, files, true, staged)) return why;
  if (auto why = beforeReplacing()) {
    Discard(staged);
    return why;
  }
  return Commit(staged, &replaced);
}

std::vector<FileNow> LookAtFiles(std::string_view gameFolder, const std::vector<FileContent>& files) {
  std::vector<FileNow> now;
  for (const FileContent& f : files) now.push_back(FileNow::Of(InFolder(gameFolder, f.gamePath)));
  return now;
}
}  // namespace

Holds WhatItHolds(const FileContent& f, const FileNow& now) {
  if (f.remove ? now.NoFile() : now.bytes == f.bytes) return Holds::NewContent;
  if (now.Unreadable()) return Holds::Unreadable;
  // A folder in the file's place: what stands in the way is told when the
  // step is tried.
  if (now.NoFile() && !NotThere(now.error)) return Holds::Unknown;
  if (!f.before) return Holds::Unknown;
  return PreviousContent::Of(now.bytes) == *f.before ? Holds::OldContent : Holds::Other;
}

bool StepChanges(const FileContent& f) {
  if (!f.before) return true;
  return *f.before != PreviousContent::Of(f.remove ? std::nullopt : std::optional<std::string>(f.bytes));
}

namespace {
// What a journal's files show, each read once.
struct Survey {
  bool allNew = true;
  // A file the step changes holds its new content: the step began, by a
  // start or by the killed game.
  bool began = false;
  // One holding neither its old nor its new content. Where the step began,
  // a file that is not there is none: whoever took it away left nothing
  // the step would undo, and writing it finishes the pair.
  const FileContent* overtaken = nullptr;
  const FileContent* unread = nullptr;  // one the step changes that cannot be read
  int unreadError = 0;
};

bool Listed(const std::vector<const FileContent*>& list, const FileContent& f) {
  return std::find(list.begin(), list.end(), &f) != list.end();
}

// Files the check owes are no sign of a later change the step would undo;
// those it says the step landed in hold what the step gave them.
Survey SurveyOf(const std::vector<FileContent>& files, const std::vector<FileNow>& now,
                const JournalVerdict& verdict = {}) {
  Survey s;
  const FileContent* gone = nullptr;  // the first changed since by being taken away
  for (size_t i = 0; i < files.size(); ++i) {
    const Holds holds = Listed(verdict.landed, files[i]) ? Holds::NewContent : WhatItHolds(files[i], now[i]);
    s.allNew = s.allNew && holds == Holds::NewContent;
    if (holds == Holds::Other && NotThere(now[i].error)) {
      if (!gone) gone = &files[i];
    } else if (holds == Holds::Other && !s.overtaken && !Listed(verdict.owed, files[i])) {
      s.overtaken = &files[i];
    }
    if (!StepChanges(files[i])) continue;
    s.began = s.began || holds == Holds::NewContent;
    if (holds == Holds::Unreadable && !s.unread) {
      s.unread = &files[i];
      s.unreadError = now[i].error;
    }
  }
  if (!s.began && !s.overtaken) s.overtaken = gone;
  return s;
}

// Whether the journal standing in the folder is of a step that may be left
// unfinished, which a step made now must not let a start set aside: one
// that began and is not complete, one made over such a step in turn and not
// complete, and in doubt one that cannot be read, is damaged or has a file
// it changes that cannot be read to tell. The files of the step made now
// were read already: what each holds is in ourNow.
bool StandingStepUnfinished(std::string_view gameFolder, const std::vector<FileContent>& ours,
                            const std::vector<FileNow>& ourNow) {
  const FileNow journal = FileNow::Of(JournalPath(gameFolder), kMostJournalBytes);
  if (journal.NoFile()) return false;
  if (!journal.bytes) return true;
  bool marked = false;
  const std::optional<std::vector<FileContent>> files = DecodeSaveJournal(*journal.bytes, &marked);
  if (!files) return true;
  std::vector<FileNow> now;
  for (const FileContent& f : *files) {
    const auto same =
        std::find_if(ours.begin(), ours.end(), [&f](const FileContent& o) { return o.gamePath == f.gamePath; });
    now.push_back(same != ours.end() ? ourNow[static_cast<size_t>(same - ours.begin())]
                                     : FileNow::Of(InFolder(gameFolder, f.gamePath)));
  }
  const Survey s = SurveyOf(*files, now);
  return !s.allNew && (marked || s.began || s.unread);
}

// Whether the journal given stands after a failure: in doubt it does, as
// the player must not take a step the next start finishes for lost.
bool JournalStands(const std::string& journal, const std::string& bytes) {
  const FileNow now = FileNow::Of(journal, kMostJournalBytes);
  return now.bytes ? *now.bytes == bytes : !now.NoFile();
}

JournalRecovery Recovery(JournalRecovery::Outcome outcome, std::string why = "", int error = 0) {
  JournalRecovery r;
  r.outcome = outcome;
  r.why = std::move(why);
  r.error = error;
  return r;
}

// The entry behind a journal that cannot be removed: an owner's refusal is
// the journal's (another user's file, or one made immutable); any other,
// the folder's.
FolderEntry RemovalRefusedBy(int error) {
  return error == EPERM ? FolderEntry{std::string(kSaveJournalName)} : FolderEntry{};
}

JournalRecovery Finished(const std::string& journal) {
  // Left where it cannot be removed, it is harmless to the files, which hold
  // what it would write; but every later save must replace it, so the
  // player hears why it stays.
  JournalRecovery r = Recovery(JournalRecovery::Outcome::Finished);
  int error = 0;
  // Removed, it stays no more, whether or not its folder's sync told so.
  if (bool removed = false; !RemoveFileDurably(journal, &error, &removed) && !removed) {
    r.asideWhy = "Unable to remove " + std::string(kSaveJournalName) + ": " + SystemErrorText(error);
    r.error = error;
    r.entry = RemovalRefusedBy(error);
  }
  return r;
}

JournalRecovery Waiting(const SaveFailure& failure) {
  JournalRecovery r = Recovery(JournalRecovery::Outcome::Waiting, failure.why, failure.error);
  r.entry = failure.entry;
  return r;
}

// Set aside unread, the step might have begun: the start waits until it can
// be read.
JournalRecovery WaitingToRead(std::string_view gameFolder, const std::string& rel, int error) {
  JournalRecovery r = Waiting(CallFailed(LookRefusedBy(gameFolder, rel, error), error));
  r.unreadable = true;
  return r;
}
}  // namespace

FileNow FileNow::Of(std::string_view gamePath, uint64_t maxBytes) {
  FileNow now;
  now.bytes = ReadAllText(gamePath, &now.error, maxBytes);
  // A file system may answer an error for a name that is not there: its
  // folder's listing has the last word, so that no start waits for nothing.
  if (now.Unreadable() && now.error != kTooLargeToRead && ListedInFolder(gamePath) == ENOENT) now.error = ENOENT;
  return now;
}

bool FileNow::NoFile() const { return !bytes && NoRegularFile(error); }

bool WriteFilesTogether(std::string_view gameFolder, const std::vector<FileContent>& files, SaveFailure* failure,
                        std::vector<FoundAtName>* landed) {
  if (landed) landed->assign(files.size(), FoundAtName{});
  SaveFailure ignored;
  SaveFailure& out = failure ? *failure : ignored;
  // Judged before anything is read: content past the bound is no profile's.
  uint64_t total = 0;
  const FileContent* largest = nullptr;
  for (const FileContent& f : files) {
    total += f.bytes.size();
    if (!largest || f.bytes.size() > largest->bytes.size()) largest = &f;
  }
  if (total > kMostBytesSaved) {
    std::string rel = RelativeTo(gameFolder, largest->gamePath);
    out = FileCallFailed(rel.empty() ? largest->gamePath : rel, kTooLargeToSave);
    return false;
  }
  std::vector<FileContent> relative;
  std::vector<FileNow> now;
  for (const FileContent& f : files) {
    std::string rel = RelativeTo(gameFolder, f.gamePath);
    if (rel.empty()) {
      out = {f.gamePath + " lies outside the game folder", EINVAL};
      return false;
    }
    // An unreadable file's content is unknown, as in journals that did not
    // record it.
    FileNow held = FileNow::Of(f.gamePath);
    std::optional<PreviousContent> before;
    if (!held.Unreadable()) before = PreviousContent::Of(held.bytes);
    relative.push_back({std::move(rel), f.bytes, f.remove, before, f.onlyOver});
    now.push_back(std::move(held));
  }
  if (relative.empty() || relative.size() > kMaxFiles) {
    out = {"a step of " + std::to_string(relative.size()) + " files", EINVAL};
    return false;
  }
  // Every save goes through the journal: an entry in its place stops them
  // all, and only its name and place tell the player what to move.
  if (LookAtFile(JournalPath(gameFolder)) == EISDIR) {
    out = {std::string(kSaveJournalName) + " in the game folder is a folder, not a file", EISDIR};
    out.entry = {std::string(kSaveJournalName)};
    return false;
  }
  std::vector<Staged> staged;
  if (auto why = Stage(gameFolder, relative, false, staged)) {
    out = *why;
    return false;
  }
  const std::string journal = JournalPath(gameFolder);
  // Read before this step's journal replaces it.
  const bool overUnfinished = StandingStepUnfinished(gameFolder, relative, now);
  const std::string encoded = EncodeSaveJournal(relative, overUnfinished);
  uint32_t mode = 0777;
  for (const Staged& s : staged)
    if (s.temp) mode &= s.temp->mode;
  int error = 0;
  bool folderRefused = false, placed = false;
  // The game's own file: a link planted at its name is replaced, so that the
  // step's records never land where it points.
  const std::optional<StagedFile> record =
      StageFileAtomic(journal, encoded,
                      {.link = LinkAtName::Replace, .mode = (mode & 0777) | 0600, .error = &error, .folderRefused = &folderRefused});
  if (!record || !CommitStagedFile(*record, &error, &placed)) {
    Discard(staged);
    // Placed, only the folder's sync failed: the folder is at fault.
    out = CallFailed(folderRefused || placed ? FolderEntry{} : FolderEntry{std::string(kSaveJournalName)}, error);
    out.journalStands = JournalStands(journal, encoded);  // in place, its folder not synced
    out.begun = overUnfinished;
    return false;
  }
  std::vector<const FileContent*> replaced;
  std::vector<std::pair<const FileContent*, FoundAtName>> nowAtName;
  std::optional<SaveFailure> why = Commit(staged, &replaced, &nowAtName);
  if (landed)
    for (const auto& [file, found] : nowAtName) (*landed)[static_cast<size_t>(file - relative.data())] = found;
  if (why) {
    out = *why;
    out.journalStands = JournalStands(journal, encoded);
    out.begun = overUnfinished ||
                std::any_of(replaced.begin(), replaced.end(), [](const FileContent* f) { return StepChanges(*f); });
    return false;
  }
  RemoveFileDurably(journal);
  return true;
}

namespace {
// Causes of a failed copy that lie with where it is written, not with the
// file it copies.
bool WriteRefusal(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG || error == EROFS || error == EEXIST ||
         error == kTooLargeToKeep;
}

// Keeps aside each file of toKeep (readError 0: the check owes it, so it
// holds other bytes; else it could not be read) before the step replaces
// it, adding each copy to kept: nullopt once all are, else why not, naming
// the file (readFailed: the copy's own read of an unreadable file failed).
// A copy made whose folder then cannot be synced may be lost with the file
// it keeps: it counts as none.
std::optional<SaveFailure> KeepFirst(std::string_view gameFolder, const std::vector<JournalRecovery::KeptFile>& toKeep,
                                     std::vector<JournalRecovery::KeptFile>& kept, bool& readFailed) {
  for (const JournalRecovery::KeptFile& k : toKeep) {
    const FolderEntry folder = FolderHolding(k.file);
    const std::string tag = k.readError != 0 ? "damaged" : "changed";
    int error = 0;
    const std::string name = KeepCopyAside(InFolder(gameFolder, k.file), tag, &error);
    const std::string copy = folder.IsTheFolder() ? name : folder.path + "/" + name;
    if (!name.empty() && error == 0) {
      kept.push_back({k.file, copy, k.readError});
      continue;
    }
    // Gone since, or no file: nothing of the player's is replaced.
    if (name.empty() && (NoRegularFile(error) || error == kLinkToNoFile)) continue;
    if (!name.empty()) {
      SaveFailure failure = CallFailed(folder, error);
      failure.why = KeptButNotSynced(k.file, copy, failure.why);
      return failure;
    }
    readFailed = k.readError != 0 && !WriteRefusal(error);
    SaveFailure failure =
        readFailed ? CallFailed(LookRefusedBy(gameFolder, k.file, error), error)
                   : CallFailed(error == EEXIST || error == kTooLargeToKeep ? FolderEntry{k.file} : folder, error);
    const std::string base = k.file.substr(k.file.rfind('/') + 1);
    const std::string cause =
        error == EEXIST ? "every name " + base + "." + tag + "-1 to -999 is taken" : SystemErrorText(error);
    failure.why = k.file + (k.readError != 0 ? " cannot be read" : " changed after the save began") +
                  " and cannot be kept aside (" + cause + ")";
    failure.file = k.file;
    return failure;
  }
  return std::nullopt;
}

// Finishes a whole journal, or says why it is kept aside: nullopt once r
// holds the outcome (finished, or waiting).
std::optional<std::string> FinishOrWhyNot(std::string_view gameFolder, const std::vector<FileContent>& files,
                                          bool overUnfinished, const JournalCheck& check, JournalRecovery& r) {
  const std::vector<FileNow> now = LookAtFiles(gameFolder, files);
  JournalVerdict verdict;
  if (check) {
    verdict = check(files, now);
    if (verdict.unread) {
      r = WaitingToRead(gameFolder, verdict.unread->gamePath,
                        now[static_cast<size_t>(verdict.unread - files.data())].error);
      return std::nullopt;
    }
    if (!verdict.problem.empty()) return verdict.problem;
  }
  const Survey s = SurveyOf(files, now, verdict);
  if (s.allNew) {
    r = Finished(JournalPath(gameFolder));
    return std::nullopt;
  }
  // Changed since by someone else: played now, the step would undo it.
  if (s.overtaken) {
    r.mixed = s.began;
    return s.overtaken->gamePath + " was changed after the save began";
  }
  // What the step replaces that the game did not write, or cannot read to
  // tell, is the player's until shown otherwise: kept before it goes.
  // What the step landed in stays, with whatever came beside it since.
  std::vector<JournalRecovery::KeptFile> toKeep, kept;
  std::vector<FileContent> toWrite;
  for (size_t i = 0; i < files.size(); ++i) {
    if (Listed(verdict.landed, files[i])) continue;
    toWrite.push_back(files[i]);
    if (Listed(verdict.owed, files[i]))
      toKeep.push_back({files[i].gamePath, "", 0});
    else if (WhatItHolds(files[i], now[i]) == Holds::Unreadable)
      toKeep.push_back({files[i].gamePath, "", now[i].error});
  }
  bool keptNot = false, readFailed = false;
  std::vector<const FileContent*> replaced;
  const std::optional<SaveFailure> failure = Apply(gameFolder, toWrite, replaced, [&] {
    std::optional<SaveFailure> why = KeepFirst(gameFolder, toKeep, kept, readFailed);
    keptNot = why.has_value();
    return why;
  });
  if (!failure) {
    r = Finished(JournalPath(gameFolder));
    r.kept = std::move(kept);
    return std::nullopt;
  }
  // Set aside now it would leave one file new beside another old: its own,
  // or the earlier step's it was made over; one whose file cannot be read
  // may have begun. Nor is a file written over that could not be kept.
  const bool replacedOne =
      std::any_of(replaced.begin(), replaced.end(), [](const FileContent* f) { return StepChanges(*f); });
  if (keptNot || overUnfinished || s.began || replacedOne) {
    r = Waiting(*failure);
    r.unreadable = readFailed;
  } else if (s.unread) {
    r = WaitingToRead(gameFolder, s.unread->gamePath, s.unreadError);
  } else {
    r.error = failure->error;
    r.kept = std::move(kept);
    return failure->why;
  }
  r.kept = std::move(kept);
  return std::nullopt;
}
}  // namespace

JournalRecovery FinishOrKeepAsideJournal(std::string_view gameFolder, const JournalCheck& check) {
  using Outcome = JournalRecovery::Outcome;
  const std::string journal = JournalPath(gameFolder);
  const std::string name(kSaveJournalName);
  // The game never writes its journal through a link, so one there is
  // nothing of its own: what it leads to is the player's, never read as a
  // journal nor kept in the game folder.
  if (std::optional<std::string> target = LinkTarget(journal)) {
    JournalRecovery r = Recovery(Outcome::LinkRemoved);
    r.why = std::move(*target);
    int error = 0;
    bool removed = false;
    if (RemoveFileDurably(journal, &error, &removed) || removed) return r;
    r.outcome = Outcome::Stuck;
    r.asideWhy = "Unable to remove " + name + ": " + SystemErrorText(error);
    r.why = name + " is a link to " + r.why;
    r.error = error;
    r.entry = RemovalRefusedBy(error);
    return r;
  }
  const FileNow bytes = FileNow::Of(journal, kMostJournalBytes);
  if (bytes.NoFile()) return {};
  // Larger than any step's, it is no whole journal: kept aside unread.
  const bool tooLarge = bytes.error == kTooLargeToRead;
  if (!bytes.bytes && !tooLarge) return WaitingToRead(gameFolder, name, bytes.error);
  JournalRecovery r = Recovery(Outcome::KeptAside);
  bool overUnfinished = false;
  std::optional<std::vector<FileContent>> files;
  if (bytes.bytes) files = DecodeSaveJournal(*bytes.bytes, &overUnfinished);
  if (!files) {
    // Cut short or changed on the disk: this game writes only whole ones.
    r.why = name + (tooLarge ? " is larger than any save" : " is damaged");
    r.damaged = true;
    r.mixed = true;
  } else if (const std::optional<std::string> why = FinishOrWhyNot(gameFolder, *files, overUnfinished, check, r)) {
    r.why = *why;
  } else {
    return r;
  }
  // Met again at every start it would stop every start: kept aside, the
  // player can still look at it, and the game goes on.
  int error = 0;
  r.keptAs = KeepCopyAside(journal, "unfinished", &error);
  if (r.keptAs.empty()) {
    // A damaged journal cannot be finished by any start: with no name left
    // to keep it under, it goes.
    if (r.damaged && error == EEXIST && RemoveFileDurably(journal)) return {};
    r.outcome = Outcome::Stuck;
    r.asideWhy = error == EEXIST ? "every name " + name + ".unfinished-1 to -999 is taken" : SystemErrorText(error);
  } else if (bool removed = false; !RemoveFileDurably(journal, &error, &removed) && !removed) {
    r.outcome = Outcome::Stuck;
    r.asideWhy = "Unable to remove " + name + ": " + SystemErrorText(error);
    // The journal stays for the next start, which would keep it aside once
    // more: one copy is enough.
    RemoveFile(InFolder(gameFolder, r.keptAs));
    r.keptAs.clear();
  } else {
    return r;
  }
  r.error = error;
  r.entry = RemovalRefusedBy(error);
  return r;
}

std::string RecoverFilesWrittenTogether(std::string_view gameFolder) {
  const JournalRecovery r = FinishOrKeepAsideJournal(gameFolder, nullptr);
  if (r.outcome == JournalRecovery::Outcome::None || r.outcome == JournalRecovery::Outcome::Finished) return "";
  return r.why;
}

}  // namespace plat
