#include "platform/runtime/save_together.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>

#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/files.hpp"

namespace plat {
namespace {

// Earlier versions wrote journals without the files' previous contents.
constexpr std::string_view kMagicWithoutBefore = "FWSAVEJ1";
constexpr std::string_view kMagic = "FWSAVEJ2";
// The same format, for a step made over an unfinished one: earlier versions
// take it for a damaged journal rather than set it aside as not begun.
constexpr std::string_view kMagicOverUnfinished = "FWSAVEJ3";
constexpr uint32_t kMaxFiles = 16;
constexpr uint32_t kMaxPath = 1024;
// An entry's flags.
constexpr uint8_t kRemoves = 1, kBeforeKnown = 2, kExistedBefore = 4;

uint64_t Fnv1a(std::string_view bytes) {
  uint64_t h = 14695981039346656037ull;
  for (const char c : bytes) {
    h ^= static_cast<uint8_t>(c);
    h *= 1099511628211ull;
  }
  return h;
}

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

std::string JournalPath(std::string_view gameFolder) {
  return std::string(gameFolder) + "\\" + std::string(kSaveJournalName);
}

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
SaveFailure CallFailed(const std::string& rel, int error) {
  SaveFailure failure{error != 0 ? rel + ": " + SystemErrorText(error) : "Unable to Save " + rel, error};
  failure.entry = rel;
  return failure;
}

// The folder of one of the journal's files, as a cause names it.
std::string FolderNamed(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return slash == std::string::npos ? "the game folder" : rel.substr(0, slash);
}

// The same for a call on one of the step's own files.
SaveFailure FileCallFailed(const std::string& rel, int error) {
  SaveFailure failure = CallFailed(rel, error);
  failure.file = rel;
  return failure;
}

}  // namespace

PreviousContent PreviousContent::Of(const std::optional<std::string>& bytes) {
  if (!bytes) return {};
  return {true, bytes->size(), Fnv1a(*bytes)};
}

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
  PutNumber(out, Fnv1a(out), 8);
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
  if (!tail.Number(sum, 8) || sum != Fnv1a(body)) return std::nullopt;
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
  const std::string path = PathThrough(gameFolder, rel, [&why](const std::string& folder, const std::string& part) {
    if (FileLen(folder) >= 0) why = SaveFailure{part + " is a file, not a folder", ENOTDIR};
    return !why;
  });
  if (!why && DirExists(path)) why = SaveFailure{rel + " is a folder, not a file", EISDIR};
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
    if (auto why = InTheWay(gameFolder, f.gamePath)) return why;
  for (const FileContent& f : files) {
    // A file to remove is not there when its folder is not.
    std::string failedFolder;
    const std::string path = PathThrough(
        gameFolder, f.gamePath, [&f, makeFolders, &failedFolder](const std::string& folder, const std::string& part) {
          if (f.remove || !makeFolders || MakeDir(folder)) return true;
          failedFolder = part;
          return false;
        });
    std::optional<SaveFailure> why;
    if (path.empty()) {
      why = CallFailed(failedFolder, errno);
    } else if (f.remove) {
      // A folder that will not let the file go says so now, before the
      // journal, rather than once the other files are new. One that is not
      // there holds no file to remove.
      int error = 0;
      if (CanChangeFolderOf(path, &error) || error == ENOENT) {
        staged.push_back({&f, path, std::nullopt});
        continue;
      }
      why = CallFailed(FolderNamed(f.gamePath), error);
    } else {
      int error = 0;
      bool folderRefused = false;
      if (std::optional<StagedFile> s = StageFileAtomic(path, f.bytes, &error, &folderRefused)) {
        // A file named twice shares its temporary file: the later content
        // stands, as writing them in turn would leave it.
        std::erase_if(staged, [&s](const Staged& e) { return e.temp && e.temp->target == s->target; });
        staged.push_back({&f, path, std::move(s)});
        continue;
      }
      // A folder that takes no new file is at fault, not the file's mode.
      why = folderRefused ? CallFailed(FolderNamed(f.gamePath), error) : FileCallFailed(f.gamePath, error);
    }
    Discard(staged);
    staged.clear();
    return why;
  }
  return std::nullopt;
}

// Replaces (or removes) each file in turn.
std::optional<SaveFailure> Commit(const std::vector<Staged>& staged) {
  std::optional<SaveFailure> why;
  for (const Staged& s : staged) {
    int error = 0;
    if (!(s.temp ? CommitStagedFile(*s.temp, &error) : RemoveFileDurably(s.path, &error))) {
      why = FileCallFailed(s.file->gamePath, error);
      break;
    }
  }
  Discard(staged);
  return why;
}

// Writes the journal's files; nullopt when all are written. Every new
// content is written beside its file before the first is replaced, so a
// folder without room for all of them keeps every file old.
std::optional<SaveFailure> Apply(std::string_view gameFolder, const std::vector<FileContent>& files) {
  // A folder the player removed since (the save folder) is made again: it
  // held its file when the step began.
  std::vector<Staged> staged;
  if (auto why = Stage(gameFolder, files, true, staged)) return why;
  return Commit(staged);
}

enum class Holds { NewContent, OldContent, Other, Unknown };

// What a journal's file holds now: its content after the step, before it
// (where the journal says), something else, or what cannot be read.
Holds WhatItHolds(std::string_view gameFolder, const FileContent& f) {
  const std::string path = std::string(gameFolder) + "\\" + f.gamePath;
  const std::optional<std::string> now = ReadAllText(path);
  const bool absent = !now && !FileExists(path) && !DirExists(path);
  if (f.remove ? absent : now == f.bytes) return Holds::NewContent;
  if (!now && !absent) return Holds::Unknown;
  if (!f.before) return Holds::Unknown;
  return PreviousContent::Of(now) == *f.before ? Holds::OldContent : Holds::Other;
}

// Whether the step changes the file; journals of earlier versions do not
// say, and every file counts.
bool Changes(const FileContent& f) {
  if (!f.before) return true;
  return *f.before != PreviousContent::Of(f.remove ? std::nullopt : std::optional<std::string>(f.bytes));
}

// Whether a file the step changes already holds its new content: the step
// began, by this start or by the killed game.
bool Began(std::string_view gameFolder, const std::vector<FileContent>& files) {
  for (const FileContent& f : files)
    if (Changes(f) && WhatItHolds(gameFolder, f) == Holds::NewContent) return true;
  return false;
}

JournalRecovery Recovery(JournalRecovery::Outcome outcome, std::string why = "", int error = 0) {
  JournalRecovery r;
  r.outcome = outcome;
  r.why = std::move(why);
  r.error = error;
  return r;
}

// Whether every file of a journal holds its new content.
bool AllNew(std::string_view gameFolder, const std::vector<FileContent>& files) {
  return std::all_of(files.begin(), files.end(),
                     [gameFolder](const FileContent& f) { return WhatItHolds(gameFolder, f) == Holds::NewContent; });
}

// Whether the journal standing in the folder is of a step left unfinished,
// which a step made now must not let a start set aside: one that began and
// is not complete, or one made over such a step in turn and not complete.
bool StandingStepUnfinished(std::string_view gameFolder) {
  const std::optional<std::string> bytes = ReadAllText(JournalPath(gameFolder));
  if (!bytes) return false;
  bool marked = false;
  const std::optional<std::vector<FileContent>> files = DecodeSaveJournal(*bytes, &marked);
  return files && (marked || Began(gameFolder, *files)) && !AllNew(gameFolder, *files);
}

// Whether the journal in place is the one given: it stands after a failure.
bool JournalIs(const std::string& journal, const std::string& bytes) { return ReadAllText(journal) == bytes; }

JournalRecovery Finished(const std::string& journal) {
  // Left where it cannot be removed, it is harmless: its files hold what
  // it would write, and the next save replaces it.
  RemoveFileDurably(journal);
  return Recovery(JournalRecovery::Outcome::Finished);
}
}  // namespace

bool WriteFilesTogether(std::string_view gameFolder, const std::vector<FileContent>& files, SaveFailure* failure) {
  SaveFailure ignored;
  SaveFailure& out = failure ? *failure : ignored;
  std::vector<FileContent> relative;
  for (const FileContent& f : files) {
    std::string rel = RelativeTo(gameFolder, f.gamePath);
    if (rel.empty()) {
      out = {f.gamePath + " lies outside the game folder", EINVAL};
      return false;
    }
    // An unreadable file's content is unknown, as in journals that did not
    // record it.
    const std::optional<std::string> now = ReadAllText(f.gamePath);
    std::optional<PreviousContent> before;
    if (now || !FileExists(f.gamePath)) before = PreviousContent::Of(now);
    relative.push_back({std::move(rel), f.bytes, f.remove, before});
  }
  if (relative.empty() || relative.size() > kMaxFiles) {
    out = {"a step of " + std::to_string(relative.size()) + " files", EINVAL};
    return false;
  }
  // Every save goes through the journal: an entry in its place stops them
  // all, and only its name and place tell the player what to move.
  if (DirExists(JournalPath(gameFolder))) {
    out = {std::string(kSaveJournalName) + " in the game folder is a folder, not a file", EISDIR};
    return false;
  }
  std::vector<Staged> staged;
  if (auto why = Stage(gameFolder, relative, false, staged)) {
    out = *why;
    return false;
  }
  const std::string journal = JournalPath(gameFolder);
  // Read before this step's journal replaces it.
  const std::string encoded = EncodeSaveJournal(relative, StandingStepUnfinished(gameFolder));
  int error = 0;
  if (bool folderRefused = false; !WriteFileAtomic(journal, encoded, &error, &folderRefused)) {
    Discard(staged);
    out = CallFailed(folderRefused ? FolderNamed(std::string(kSaveJournalName)) : std::string(kSaveJournalName), error);
    out.journalStands = JournalIs(journal, encoded);  // in place, its folder not synced
    return false;
  }
  if (auto why = Commit(staged)) {
    out = *why;
    out.journalStands = JournalIs(journal, encoded);
    return false;
  }
  RemoveFileDurably(journal);
  return true;
}

JournalRecovery FinishOrKeepAsideJournal(std::string_view gameFolder, const JournalCheck& check) {
  using Outcome = JournalRecovery::Outcome;
  const std::string journal = JournalPath(gameFolder);
  const std::string name(kSaveJournalName);
  if (FileLen(journal) < 0) return {};
  JournalRecovery r = Recovery(Outcome::KeptAside);
  std::optional<std::vector<FileContent>> files;
  bool overUnfinished = false;
  if (const auto bytes = ReadAllText(journal); !bytes) {
    r.why = "Unable to Read " + name;
  } else if (files = DecodeSaveJournal(*bytes, &overUnfinished); !files) {
    // Cut short or changed on the disk: this game writes only whole ones.
    r.why = name + " is damaged";
    r.damaged = true;
  } else if (r.why = check ? check(*files) : ""; r.why.empty()) {
    bool allNew = true;
    const FileContent* overtaken = nullptr;
    for (const FileContent& f : *files) {
      const Holds holds = WhatItHolds(gameFolder, f);
      allNew = allNew && holds == Holds::NewContent;
      if (holds == Holds::Other && !overtaken) overtaken = &f;
    }
    if (allNew) return Finished(journal);
    if (overtaken) {
      // Changed since by someone else: played now, the step would undo it.
      r.why = overtaken->gamePath + " was changed after the save began";
    } else if (const std::optional<SaveFailure> failure = Apply(gameFolder, *files); !failure) {
      return Finished(journal);
    } else {
      // Set aside now it would leave one file new beside another old: its
      // own, or the earlier step's it was made over.
      if (overUnfinished || Began(gameFolder, *files)) {
        JournalRecovery waiting = Recovery(Outcome::Waiting, failure->why, failure->error);
        waiting.entry = failure->entry;
        return waiting;
      }
      r.why = failure->why;
      r.error = failure->error;
    }
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
    r.error = error;
    return r;
  }
  if (!RemoveFileDurably(journal, &error)) {
    r.outcome = Outcome::Stuck;
    r.asideWhy = "Unable to remove " + name + ": " + SystemErrorText(error);
    r.error = error;
  }
  return r;
}

std::string RecoverFilesWrittenTogether(std::string_view gameFolder) {
  const JournalRecovery r = FinishOrKeepAsideJournal(gameFolder, nullptr);
  if (r.outcome == JournalRecovery::Outcome::None || r.outcome == JournalRecovery::Outcome::Finished) return "";
  return r.why;
}

}  // namespace plat
