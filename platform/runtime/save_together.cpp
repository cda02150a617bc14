#include "platform/runtime/save_together.hpp"

#include <cstring>
#include <functional>
#include <utility>

#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/files.hpp"

namespace plat {
namespace {

constexpr std::string_view kMagic = "FWSAVEJ1";
constexpr uint32_t kMaxFiles = 16;
constexpr uint32_t kMaxPath = 1024;

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

}  // namespace

std::string EncodeSaveJournal(const std::vector<FileContent>& relativeFiles) {
  std::string out(kMagic);
  PutNumber(out, relativeFiles.size(), 4);
  for (const FileContent& f : relativeFiles) {
    PutNumber(out, f.gamePath.size(), 4);
    out += f.gamePath;
    PutNumber(out, f.bytes.size(), 8);
    out += f.bytes;
  }
  PutNumber(out, Fnv1a(out), 8);
  return out;
}

std::optional<std::vector<FileContent>> DecodeSaveJournal(std::string_view bytes) {
  if (bytes.size() < kMagic.size() + 12 || bytes.substr(0, kMagic.size()) != kMagic) return std::nullopt;
  const std::string_view body = bytes.substr(0, bytes.size() - 8);
  uint64_t sum = 0;
  Cursor tail(bytes.substr(body.size()));
  if (!tail.Number(sum, 8) || sum != Fnv1a(body)) return std::nullopt;
  Cursor in(body.substr(kMagic.size()));
  uint64_t count = 0;
  if (!in.Number(count, 4) || count == 0 || count > kMaxFiles) return std::nullopt;
  std::vector<FileContent> files(static_cast<size_t>(count));
  for (FileContent& f : files) {
    uint64_t pathSize = 0, size = 0;
    if (!in.Number(pathSize, 4) || pathSize > kMaxPath || !in.Take(f.gamePath, pathSize) || !SafeRelative(f.gamePath))
      return std::nullopt;
    if (!in.Number(size, 8) || !in.Take(f.bytes, size)) return std::nullopt;
  }
  if (!in.Empty()) return std::nullopt;
  return files;
}

bool WriteFilesTogether(std::string_view gameFolder, const std::vector<FileContent>& files, std::string* why) {
  std::vector<FileContent> relative;
  for (const FileContent& f : files) {
    std::string rel = RelativeTo(gameFolder, f.gamePath);
    if (rel.empty()) return false;
    relative.push_back({std::move(rel), f.bytes});
  }
  if (relative.empty() || relative.size() > kMaxFiles) return false;
  const std::string journal = JournalPath(gameFolder);
  if (!WriteFileAtomic(journal, EncodeSaveJournal(relative))) {
    // Every save goes through the journal: an entry in its place stops
    // them all, and only its name tells the player what to move.
    if (why && DirExists(journal)) *why = std::string(kSaveJournalName) + " in the game folder is a folder, not a file";
    return false;
  }
  for (const FileContent& f : files)
    if (!WriteFileAtomic(f.gamePath, f.bytes)) return false;
  // Until the journal is gone the next start would write the same again,
  // which is harmless; a failure to remove it is no failure of the save.
  RemoveFileDurably(journal);
  return true;
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

// Why a file cannot be written where the journal names it, found before
// anything is written so that such a journal changes nothing: a file where
// one of its folders should be, or a folder where it should be.
std::string InTheWay(std::string_view gameFolder, const std::string& rel) {
  std::string why;
  const std::string path = PathThrough(gameFolder, rel, [&why](const std::string& folder, const std::string& part) {
    if (FileLen(folder) >= 0) why = part + " is a file, not a folder";
    return why.empty();
  });
  if (why.empty() && DirExists(path)) why = rel + " is a folder, not a file";
  return why;
}

// Writes the journal's files; "" when all are written, else why not. Every
// new content is written beside its file before the first is replaced, so
// a folder without room for all of them keeps every file old.
std::string Apply(std::string_view gameFolder, const std::vector<FileContent>& files) {
  for (const FileContent& f : files)
    if (std::string why = InTheWay(gameFolder, f.gamePath); !why.empty()) return why;
  std::vector<std::pair<StagedFile, const std::string*>> staged;  // with the journal's name for it
  std::string why;
  for (const FileContent& f : files) {
    // A folder the player removed since (the save folder) is made again:
    // it held this file when the step began.
    const std::string path =
        PathThrough(gameFolder, f.gamePath, [](const std::string& folder, const std::string&) { return MakeDir(folder); });
    std::optional<StagedFile> s;
    if (!path.empty()) s = StageFileAtomic(path, f.bytes);
    if (!s) {
      why = "Unable to Save " + f.gamePath;
      break;
    }
    // A file named twice shares its temporary file: the later content
    // stands, as writing them in turn would leave it.
    std::erase_if(staged, [&s](const auto& e) { return e.first.target == s->target; });
    staged.emplace_back(std::move(*s), &f.gamePath);
  }
  for (size_t i = 0; why.empty() && i < staged.size(); ++i)
    if (!CommitStagedFile(staged[i].first)) why = "Unable to Save " + *staged[i].second;
  for (const auto& s : staged) DiscardStagedFile(s.first);  // only those not renamed are left
  return why;
}

// Whether a file the journal names holds the journal's content for it: the
// step began to change the files, by this start or by the killed game.
bool PartlyApplied(std::string_view gameFolder, const std::vector<FileContent>& files) {
  for (const FileContent& f : files)
    if (ReadAllText(std::string(gameFolder) + "\\" + f.gamePath) == f.bytes) return true;
  return false;
}
}  // namespace

JournalRecovery FinishOrKeepAsideJournal(std::string_view gameFolder, const JournalCheck& check) {
  using Outcome = JournalRecovery::Outcome;
  const std::string journal = JournalPath(gameFolder);
  if (FileLen(journal) < 0) return {};
  std::string why;
  if (const auto bytes = ReadAllText(journal); !bytes) {
    why = "Unable to Read " + std::string(kSaveJournalName);
  } else if (const auto files = DecodeSaveJournal(*bytes); !files) {
    // Not one this game wrote whole: the step never began, the files stand.
    if (!RemoveFileDurably(journal)) return {Outcome::Stuck, "Unable to remove " + std::string(kSaveJournalName), ""};
    return {};
  } else if (why = check ? check(*files) : ""; why.empty()) {
    why = Apply(gameFolder, *files);
    if (why.empty()) {
      if (!RemoveFileDurably(journal)) return {Outcome::Stuck, "Unable to remove " + std::string(kSaveJournalName), ""};
      return {Outcome::Finished, "", ""};
    }
    // Set aside now it would leave one file new beside another old.
    if (PartlyApplied(gameFolder, *files)) return {Outcome::Waiting, why, ""};
  }
  // Met again at every start it would stop every start: kept aside, the
  // player can still look at it, and the game goes on.
  const std::string kept = KeepCopyAside(journal, "unfinished");
  if (kept.empty()) return {Outcome::Stuck, why, ""};
  if (!RemoveFileDurably(journal))
    return {Outcome::Stuck, why + "; Unable to remove " + std::string(kSaveJournalName), ""};
  return {Outcome::KeptAside, why, kept};
}

std::string RecoverFilesWrittenTogether(std::string_view gameFolder) {
  const JournalRecovery r = FinishOrKeepAsideJournal(gameFolder, nullptr);
  if (r.outcome == JournalRecovery::Outcome::None || r.outcome == JournalRecovery::Outcome::Finished) return "";
  return r.why;
}

}  // namespace plat
