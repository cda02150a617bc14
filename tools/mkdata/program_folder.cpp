#include "tools/mkdata/program_folder.hpp"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>

#include "platform/runtime/files.hpp"
#include "platform/runtime/process.hpp"
#include "platform/runtime/strings.hpp"

namespace mkdata {
namespace {
namespace fs = std::filesystem;

std::optional<std::vector<std::string>> ListFolder(const std::string& folder, int& error) {
  DIR* d = ::opendir(folder.c_str());
  if (!d) {
    error = errno;
    return std::nullopt;
  }
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* e = ::readdir(d);
    if (!e) break;
    names.emplace_back(e->d_name);
  }
  error = errno;
  ::closedir(d);
  if (error != 0) return std::nullopt;
  return names;
}

std::string Nothing() { return "; nothing written"; }

// The entries of a folder named `part` under any spelling, its own spelling
// first, as the game's lookup takes it. A folder that is not there holds
// none; one that cannot be listed is refused: it may hold the player's file.
std::vector<std::string> Matches(const std::string& folder, const std::string& part, const std::string& relative) {
  int error = 0;
  const auto names = ListFolder(folder, error);
  if (!names) {
    if (plat::NotThere(error)) return {};
    throw Refusal("cannot look for " + relative + " in " + folder + " (" + plat::SystemErrorText(error) + ")" +
                  Nothing());
  }
  std::vector<std::string> found;
  for (const std::string& name : *names)
    if (plat::EqualNoCase(name, part)) found.insert(name == part ? found.begin() : found.end(), name);
  return found;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  for (size_t from = 0;;) {
    const size_t at = text.find(separator, from);
    parts.push_back(text.substr(from, at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

std::vector<std::string> Parts(const std::string& relative) { return Split(relative, '/'); }

// Every entry that a relative path names under root, under any spelling of
// each of its parts (a player's "Save/USER1.DAT" is the game's
// "save/user1.DAT").
std::vector<std::string> Standing(const std::string& root, const std::string& relative) {
  std::vector<std::string> reached{root};
  for (const std::string& part : Parts(relative)) {
    std::vector<std::string> next;
    for (const std::string& folder : reached)
      for (const std::string& name : Matches(folder, part, relative)) next.push_back(folder + "/" + name);
    reached = std::move(next);
  }
  return reached;
}

// Where a file that does not stand is written: into the folders that stand,
// as the game spells them, so that it never gets a twin folder of another
// spelling.
// Folders in `going` (paths under root) are taken as gone.
std::string Target(const std::string& root, const std::string& relative, const std::vector<std::string>& going) {
  const std::vector<std::string> parts = Parts(relative);
  std::string path = root;
  bool standing = true;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    std::vector<std::string> found = standing ? Matches(path, parts[i], relative) : std::vector<std::string>{};
    std::erase_if(found, [&](const std::string& name) {
      return std::find(going.begin(), going.end(), path + "/" + name) != going.end();
    });
    standing = !found.empty();
    path += "/" + (standing ? found.front() : parts[i]);
  }
  return path + "/" + parts.back();
}

// The files of the archives, each ".INF" before its ".PAK"; they go in in
// the reverse order.
std::vector<std::string> ArchiveFiles(const std::vector<std::string>& archives) {
  std::vector<std::string> files;
  for (const std::string& archive : archives)
    for (const char* ext : {".INF", ".PAK"}) files.push_back(archive + ext);
  return files;
}

// What tells this tool's archive files from another's: equal sizes and
// hashes (FNV-1a) are the same bytes for any file a player could hold.
struct Signature {
  uint64_t size = 0, hash = 0;
  bool operator==(const Signature&) const = default;
};

Signature SignatureOf(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (const uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
  return {bytes.size(), hash};
}

// Per archive file, the bytes it holds in this tool's set: none where a
// list written before the bytes were recorded names the file only.
using Signatures = std::map<std::string, std::optional<Signature>>;
// Per loose file that runs of the set put in (its path under the program
// folder as written, with "/"), the bytes they wrote there.
using LooseFiles = std::map<std::string, Signature>;

const std::string kListHeader = "mkdata was putting in the sample data set; running it again finishes it.";
const std::string kLooseWord = "loose";

std::string SignatureText(const Signature& s) {
  char numbers[48];
  std::snprintf(numbers, sizeof numbers, "%llu %016llx", static_cast<unsigned long long>(s.size),
                static_cast<unsigned long long>(s.hash));
  return numbers;
}

// kUnfinishedSet's text: the header, then a line for each archive file in
// the order they go in, "<name> <size> <hash in hex>", then one for each
// loose file, "loose <size> <hash in hex> <path>" (the path last: it may
// hold spaces).
std::string UnfinishedSetText(const std::vector<std::string>& archives, const Signatures& made,
                              const LooseFiles& loose) {
  std::string text = kListHeader + "\n";
  const std::vector<std::string> files = ArchiveFiles(archives);
  for (auto file = files.rbegin(); file != files.rend(); ++file)
    text += *file + " " + SignatureText(*made.at(*file)) + "\n";
  for (const auto& [relative, s] : loose) text += kLooseWord + " " + SignatureText(s) + " " + relative + "\n";
  return text;
}

// A path under the program folder that stays under it.
bool PathUnder(const std::string& relative) {
  const std::vector<std::string> parts = Split(relative, '/');
  return std::none_of(parts.begin(), parts.end(),
                      [](const std::string& p) { return p.empty() || p == "." || p == ".."; });
}

struct Recorded {
  Signatures archives;
  LooseFiles loose;
};

// What a text in kUnfinishedSet's format records, nullopt for any other
// text: every archive file once, by name alone (as before sizes were
// recorded) or with its size and hash, and any loose files (none before
// they were recorded).
std::optional<Recorded> ParseUnfinishedSet(const std::string& text, const std::vector<std::string>& archives) {
  const std::vector<std::string> files = ArchiveFiles(archives);
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kListHeader) return std::nullopt;
  Recorded recorded;
  const auto number = [](const std::string& w, uint64_t& v, int base) {
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v, base);
    return !w.empty() && ec == std::errc() && end == w.data() + w.size();
  };
  const auto signature = [&](const std::string& size, const std::string& hash) -> std::optional<Signature> {
    Signature s;
    if (hash.size() != 16 || !number(size, s.size, 10) || !number(hash, s.hash, 16)) return std::nullopt;
    return s;
  };
  while (std::getline(in, line)) {
    const std::vector<std::string> words = Split(line, ' ');
    const std::string& name = words[0];
    if (name == kLooseWord) {
      const size_t pathAt = words.size() < 4 ? 0 : name.size() + words[1].size() + words[2].size() + 3;
      const std::string relative = pathAt == 0 ? "" : line.substr(pathAt);
      const auto s = pathAt == 0 ? std::nullopt : signature(words[1], words[2]);
      if (!s || !PathUnder(relative) || recorded.loose.count(relative)) return std::nullopt;
      recorded.loose[relative] = *s;
      continue;
    }
    if (std::find(files.begin(), files.end(), name) == files.end() || recorded.archives.count(name))
      return std::nullopt;
    if (words.size() == 1) {
      recorded.archives[name] = std::nullopt;
      continue;
    }
    const auto s = words.size() == 3 ? signature(words[1], words[2]) : std::nullopt;
    if (!s) return std::nullopt;
    recorded.archives[name] = s;
  }
  if (recorded.archives.size() != files.size()) return std::nullopt;
  return recorded;
}

// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& words) {
  std::string listed;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i > 0) listed += i + 1 == words.size() ? " and " : ", ";
    listed += words[i];
  }
  return listed;
}

// The entries' names, Listed.
std::string NamesOf(const std::vector<std::string>& paths) {
  std::vector<std::string> names;
  for (const std::string& path : paths) names.push_back(fs::path(path).filename().string());
  return Listed(names);
}

const char* KindOf(mode_t mode) {
  if (S_ISREG(mode)) return "a file";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "something else";
}

[[noreturn]] void CannotRead(const std::string& path, int error) {
  throw Refusal("cannot read " + path + " (" + plat::SystemErrorText(error) + ")" + Nothing());
}

// The kUnfinishedSet standing in the folder, under each of its spellings,
// and what it records; nullopt when none stands. One that cannot be read
// may be anything, and one that is not in its format is the player's: both
// refused, never replaced nor removed.
struct UnfinishedSet {
  std::vector<std::string> paths;
  Recorded recorded;
};

// A link at the name that leads to no file (to nothing, or round in a
// loop): an entry stands there, though a read through it finds none.
bool LinkToNoFile(const std::string& path, int error) {
  return (plat::NotThere(error) || error == ELOOP) && plat::LinkTarget(path).has_value();
}

std::optional<UnfinishedSet> FindUnfinishedSet(const std::string& root, const std::vector<std::string>& archives) {
  UnfinishedSet found;
  for (const std::string& path : Standing(root, kUnfinishedSet)) {
    int error = 0;
    // Far above what this tool writes: a larger file is none of its own.
    const auto text = plat::ReadAllText(path, &error, 4096);
    const bool noFile = !text && LinkToNoFile(path, error);
    if (!text && !noFile && plat::NotThere(error)) continue;
    if (!text && !noFile && !plat::NoRegularFile(error) && error != plat::kTooLargeToRead) CannotRead(path, error);
    auto recorded = text ? ParseUnfinishedSet(*text, archives) : std::nullopt;
    if (!recorded)
      throw Refusal(path + " was not written by mkdata: move it out of " + root + Nothing());
    if (found.paths.empty()) found.recorded = std::move(*recorded);
    found.paths.push_back(path);
  }
  if (found.paths.empty()) return std::nullopt;
  return found;
}

// Whether a file standing at an archive's name holds the bytes expected of
// this tool's set: Unknown where nothing is expected (a list of names only,
// before the set is made), Gone where nothing is there any more. Anything
// but a regular file there (a link to no file too) would stop the set
// part-way: refused, before anything is made.
enum class Ownership { Own, Another, Unknown, Gone };

Ownership OwnershipOf(const std::string& path, const std::optional<Signature>& expected) {
  int error = 0;
  std::optional<std::vector<uint8_t>> bytes;
  if (expected)
    bytes = plat::ReadAllBytes(path, &error, expected->size);
  else
    error = plat::LookAtFile(path);
  if (expected && bytes) return SignatureOf(*bytes) == *expected ? Ownership::Own : Ownership::Another;
  if (error == 0) return Ownership::Unknown;
  if (error == plat::kTooLargeToRead) return Ownership::Another;
  if (LinkToNoFile(path, error)) throw Refusal(path + " is a link that leads to no file" + Nothing());
  if (plat::NotThere(error)) return Ownership::Gone;
  struct stat st;
  if (plat::NoRegularFile(error) && ::stat(path.c_str(), &st) == 0)
    throw Refusal(path + " is " + KindOf(st.st_mode) + ", not a file" + Nothing());
  CannotRead(path, error);
}

// "a is" or "a and b are".
std::string AreNamed(const std::vector<std::string>& paths) {
  return NamesOf(paths) + (paths.size() == 1 ? " is" : " are");
}

Judgement JudgeAgainst(const std::string& root, const std::vector<std::string>& archives, const Signatures& made) {
  const std::optional<UnfinishedSet> list = FindUnfinishedSet(root, archives);
  // Without a list, an archive file under two spellings is the player's
  // beside a set that stands whole, or two of the player's: only the bytes
  // of the set made can tell.
  std::vector<std::string> doubled;
  for (const std::string& file : list ? std::vector<std::string>{} : ArchiveFiles(archives)) {
    const std::vector<std::string> standing = Standing(root, file);
    if (standing.size() > 1) doubled.insert(doubled.end(), standing.begin(), standing.end());
  }
  if (!doubled.empty() && made.empty()) return {Verdict::Doubled, {}};
  std::vector<std::string> another, own, missing;
  bool unknown = false, everyNameAnothers = true;
  for (const std::string& file : ArchiveFiles(archives)) {
    const std::vector<std::string> standing = Standing(root, file);
    bool gone = standing.empty(), anothers = false;
    for (const std::string& path : standing) {
      if (!list && doubled.empty()) {
        another.push_back(path);
        continue;
      }
      std::optional<Signature> expected = list ? list->recorded.archives.at(file) : std::nullopt;
      if (!expected && made.count(file)) expected = made.at(file);
      switch (OwnershipOf(path, expected)) {
        case Ownership::Own: own.push_back(path); break;
        case Ownership::Another:
          another.push_back(path);
          anothers = true;
          break;
        case Ownership::Unknown: unknown = true; break;
        case Ownership::Gone: gone = true; break;
      }
    }
    if (gone) missing.push_back(file);
    everyNameAnothers = everyNameAnothers && anothers;
  }
  if (another.empty()) return {list ? Verdict::Finish : Verdict::Write, own};
  const bool one = another.size() == 1;
  if (!list && doubled.empty()) {
    if (missing.empty()) throw Refusal(another.front() + " is there: the folder holds game data" + Nothing());
    throw Refusal(AreNamed(another) + " there but " + AreNamed(missing) + " not: move " + (one ? "it" : "them") +
                  " out of " + root + ", or put the rest of the game data in" + Nothing());
  }
  if (!list) {
    if (own.empty())
      throw Refusal(AreNamed(doubled) + " there under more than one spelling, none of them the sample data set's: "
                    "keep one of each name and move the others out of " + root + Nothing());
    if (everyNameAnothers) return {Verdict::GiveUp, own};
    throw Refusal(AreNamed(another) + " there beside the sample data set's " + NamesOf(own) + ": move " +
                  NamesOf(another) + " out of " + root + " to play the sample data set, or move " + NamesOf(own) +
                  " out of it and put the rest of the game data in" + Nothing());
  }
  if (unknown) return {Verdict::Undecided, own};
  // The game reads each archive under any spelling: where each holds the
  // player's, this tool's own beside them could be read in their place.
  if (everyNameAnothers) return {Verdict::GiveUp, own};
  const std::string cutShort = AreNamed(another) + " not of the sample data set that " + list->paths.front() +
                               " says was cut short";
  if (own.empty())
    throw Refusal(cutShort + ": move " + (one ? "it" : "them") + " out of " + root +
                  " to have the set finished, or put the rest of the game data in" + Nothing());
  // The set's own go too where the player's data is to be played.
  throw Refusal(cutShort + ", and " + AreNamed(own) + ": move " + NamesOf(another) + " out of " + root +
                " to have the set finished, or move " + NamesOf(own) +
                " out of it and put the rest of the game data in" + Nothing());
}

std::vector<std::string> RootNames(const std::vector<std::string>& archives) {
  std::vector<std::string> names = ArchiveFiles(archives);
  names.push_back(kUnfinishedSet);
  return names;
}

// Each folder the set is written into, and what must be made on the way to
// it, is checked before the first write: it must be a folder where it
// stands (a link that leads to none would have the set stop part-way), and
// take new entries (probed with an empty staging file, as a save is).
void RefuseNoPlace(const std::string& folder, const std::string& name) {
  std::string entry = name;
  for (fs::path p = folder; !p.empty(); entry = p.filename().string(), p = p.parent_path()) {
    struct stat st;
    if (::stat(p.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) throw Refusal(p.string() + " is " + KindOf(st.st_mode) + ", not a folder" + Nothing());
      int error = 0;
      if (!plat::CanChangeFolderOf(p.string() + "/" + entry, &error))
        throw Refusal("cannot write into " + p.string() + " (" + plat::SystemErrorText(error) + ")" + Nothing());
      return;
    }
    const int error = errno;
    if (!plat::NotThere(error))
      throw Refusal("cannot look at " + p.string() + " (" + plat::SystemErrorText(error) + ")" + Nothing());
    if (::lstat(p.c_str(), &st) == 0) throw Refusal(p.string() + " is a link that leads to no folder" + Nothing());
    if (p == p.parent_path()) return;
  }
}

// Regular files under a folder, as sorted relative paths with "/".
std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder).generic_string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> ReadWhole(const std::string& path) {
  int error = 0;
  auto bytes = plat::ReadAllBytes(path, &error);
  if (!bytes) throw std::runtime_error("cannot read " + path + " (" + plat::SystemErrorText(error) + ")");
  return std::move(*bytes);
}

[[noreturn]] void CannotWrite(const std::string& path, int error) {
  throw std::runtime_error("cannot write " + path + " (" + plat::SystemErrorText(error) + ")");
}

// Holds back the interruptions a user sends while it lives: they come once
// the archives are all in place.
class InterruptionsHeld {
 public:
  InterruptionsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&held, s);
    pthread_sigmask(SIG_BLOCK, &held, &before_);
  }
  ~InterruptionsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

 private:
  sigset_t before_;
};

// MissionPack goes in first and Data last, each ".PAK" before the ".INF"
// that lists it: run.sh takes a folder holding Data for one holding game
// data. Every file is written beside its place before the first is renamed
// in, so only a kill in the few renames can leave part of the set, and
// kUnfinishedSet then stands; a failed rename takes out those put in.
void InstallArchives(const std::string& root, const std::string& packed, const std::vector<std::string>& archives) {
  const std::vector<std::string> files = ArchiveFiles(archives);
  std::vector<plat::StagedFile> staged;
  for (auto file = files.rbegin(); file != files.rend(); ++file) {
    const std::vector<uint8_t> bytes = ReadWhole(packed + "/" + *file);
    int error = 0;
    auto written = plat::StageFileAtomic(root + "/" + *file, plat::Bytes(bytes), {.error = &error});
    if (!written) {
      for (const plat::StagedFile& f : staged) plat::DiscardStagedFile(f);
      CannotWrite(root + "/" + *file, error);
    }
    staged.push_back(*written);
  }
  InterruptionsHeld held;
  for (size_t i = 0; i < staged.size(); ++i) {
    int error = 0;
    bool replaced = false;
    if (plat::CommitStagedFile(staged[i], &error, &replaced)) continue;
    for (size_t k = 0; k < staged.size(); ++k)
      if (k < i || (k == i && replaced))
        plat::RemoveFile(staged[k].target);
      else
        plat::DiscardStagedFile(staged[k]);
    CannotWrite(staged[i].target, error);
  }
}

// What each folder the set is written into takes: for the staging
// leftovers of runs cut short there.
using NamesByFolder = std::map<std::string, std::vector<std::string>>;

void RemoveLeftovers(const NamesByFolder& names) {
  for (const auto& [folder, inFolder] : names) plat::RemoveStaleSaveFilesNamed(folder, inFolder);
}

// Removes kUnfinishedSet, or one of this tool's archive files. Once it is
// gone a failed sync of its folder is told as such: should the entry come
// back after a crash, the next run judges the folder again.
void RemoveDurably(const std::string& path) {
  int error = 0;
  bool removed = false;
  if (plat::RemoveFileDurably(path, &error, &removed)) return;
  if (!removed) throw std::runtime_error("cannot remove " + path + " (" + plat::SystemErrorText(error) + ")");
  std::fprintf(stderr, "mkdata: %s removed, but its folder %s could not be synced (%s)\n", path.c_str(),
               fs::path(path).parent_path().c_str(), plat::SystemErrorText(error).c_str());
}

// Whether a file holds the bytes a run of the set wrote there. One that
// cannot be read may hold anything: refused, named, before anything goes.
bool HoldsTheSets(const std::string& path, const Signature& signature) {
  int error = 0;
  const auto bytes = plat::ReadAllBytes(path, &error, signature.size);
  if (bytes) return SignatureOf(*bytes) == signature;
  if (!plat::NotThere(error) && !plat::NoRegularFile(error) && error != plat::kTooLargeToRead &&
      !LinkToNoFile(path, error))
    CannotRead(path, error);
  return false;
}

// Whether something of the name stands under root at a spelling other than
// the set's own.
bool OtherSpellingStands(const std::string& root, const std::string& relative) {
  const std::string path = root + "/" + relative;
  const std::vector<std::string> standing = Standing(root, relative);
  return std::any_of(standing.begin(), standing.end(), [&](const std::string& p) { return p != path; });
}

bool IsGoodsFile(const std::string& relative) {
  return plat::EqualNoCase(fs::path(relative).parent_path().string(), "save");
}

// The set's own loose files and folders that would hide or mix with the
// player's, all paths under root: each file that runs of the set put in and
// that still holds their bytes where the player's stands under another
// spelling; where the set's User.INI so goes, the set's goods files with it,
// so that no player's profile is read with the sample's goods; and each
// folder of the set's spelling where the player's stands under another and
// that holds nothing but the set's files and their staging leftovers (the
// game takes the folder of its own spelling first: the player's would go
// unread), whichever run emptied it.
struct OwnLoose {
  std::vector<std::string> files;
  std::vector<std::string> folders;  // deepest first
  bool Takes(const std::string& path) const {
    return std::find(files.begin(), files.end(), path) != files.end() ||
           std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& f) { return path == f || path.starts_with(f + "/"); });
  }
};

OwnLoose OwnBesideThePlayers(const std::string& root, const LooseFiles& loose) {
  OwnLoose own;
  std::map<std::string, bool> held;
  const auto theSets = [&](const std::string& relative) {
    auto at = held.find(relative);
    if (at == held.end()) at = held.emplace(relative, HoldsTheSets(root + "/" + relative, loose.at(relative))).first;
    return at->second;
  };
  bool profilesGo = false;
  for (const auto& [relative, signature] : loose)
    if (OtherSpellingStands(root, relative) && theSets(relative)) {
      own.files.push_back(root + "/" + relative);
      profilesGo = profilesGo || plat::EqualNoCase(relative, "User.INI");
    }
  for (const auto& [relative, signature] : loose)
    if (profilesGo && IsGoodsFile(relative) && !own.Takes(root + "/" + relative) && theSets(relative))
      own.files.push_back(root + "/" + relative);
  std::vector<std::string> folders;
  for (const auto& [relative, signature] : loose)
    for (fs::path f = fs::path(relative).parent_path(); !f.empty(); f = f.parent_path())
      if (std::find(folders.begin(), folders.end(), f.string()) == folders.end()) folders.push_back(f.string());
  std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
  });
  for (const std::string& folder : folders) {
    const std::string path = root + "/" + folder;
    struct stat st;
    int error = 0;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !OtherSpellingStands(root, folder)) continue;
    const auto names = ListFolder(path, error);
    if (!names) continue;
    std::vector<std::string> sets;
    const bool onlyTheSets = std::all_of(names->begin(), names->end(), [&](const std::string& name) {
      const std::string relative = folder + "/" + name;
      if (name == "." || name == ".." || own.Takes(root + "/" + relative)) return true;
      if (loose.count(relative) && theSets(relative)) {
        sets.push_back(root + "/" + relative);
        return true;
      }
      return std::any_of(loose.begin(), loose.end(), [&](const auto& recorded) {
        const fs::path r(recorded.first);
        return r.parent_path() == folder && name.starts_with("." + r.filename().string() + ".") &&
               name.ends_with(".fwsave");
      });
    });
    if (!onlyTheSets) continue;
    own.files.insert(own.files.end(), sets.begin(), sets.end());
    own.folders.push_back(path);
  }
  return own;
}

// Takes them out: the files, the staging leftovers of the set's files and
// of the names given, then the folders.
void TakeOut(const OwnLoose& own, const std::string& root, const LooseFiles& loose, NamesByFolder names) {
  for (const std::string& path : own.files) RemoveDurably(path);
  for (const auto& [relative, signature] : loose) {
    const fs::path at(root + "/" + relative);
    names[at.parent_path().string()].push_back(at.filename().string());
  }
  RemoveLeftovers(names);
  for (const std::string& folder : own.folders) ::rmdir(folder.c_str());
}

// The set's loose files as made, by their paths under the program folder:
// what a set that stands whole put in, for one given up without a list.
LooseFiles LooseAsMade(const std::string& looseFolder) {
  LooseFiles made;
  for (const std::string& relative : FilesUnder(looseFolder))
    made[relative] = SignatureOf(ReadWhole(looseFolder + "/" + relative));
  return made;
}

// Gives the set up: with the list of a set cut short, what it records; else
// (a whole set beside the player's archives) the loose files as made.
void GiveUpSet(const std::string& root, const Judgement& judged, const std::vector<std::string>& archives,
               const NamesByFolder& names, const LooseFiles& made = {}) {
  const std::optional<UnfinishedSet> list = FindUnfinishedSet(root, archives);
  const LooseFiles& loose = list ? list->recorded.loose : made;
  const OwnLoose own = OwnBesideThePlayers(root, loose);
  for (const std::string& path : judged.own) RemoveDurably(path);
  TakeOut(own, root, loose, names);
  // The list goes last: until it goes, the next run judges the folder the
  // same and clears what this one left.
  for (const std::string& path : list ? list->paths : std::vector<std::string>{}) RemoveDurably(path);
  std::vector<std::string> sets;
  for (const std::string& path : judged.own) sets.push_back(fs::path(path).filename().string());
  for (const std::string& path : own.files) sets.push_back(path.substr(root.size() + 1));
  const std::string setsOwn = "the set's own " + Listed(sets);
  if (list)
    std::printf("mkdata: the archives in %s are not those of the sample data set cut short there: the game data is "
                "kept as the player's, %s removed, nothing written\n",
                root.c_str(), (sets.empty() ? kUnfinishedSet : kUnfinishedSet + " and " + setsOwn).c_str());
  else
    std::printf("mkdata: the archives in %s beside the sample data set's are the player's: the game data is kept as "
                "the player's, %s removed, nothing written\n",
                root.c_str(), setsOwn.c_str());
}

}  // namespace

std::string FolderState(const std::string& programFolder, const std::vector<std::string>& archives) {
  if (!Standing(programFolder, kUnfinishedSet).empty()) return "unfinished";
  const std::vector<std::string> files = ArchiveFiles(archives);
  if (std::any_of(files.begin(), files.end(),
                  [&](const std::string& file) { return Standing(programFolder, file).size() > 1; }))
    return "doubled";
  const auto held = std::count_if(files.begin(), files.end(),
                                  [&](const std::string& file) { return !Standing(programFolder, file).empty(); });
  return held == 0 ? "none" : held < static_cast<long>(files.size()) ? "partial" : "complete";
}

Judgement Judge(const std::string& programFolder, const std::vector<std::string>& archives) {
  return JudgeAgainst(programFolder, archives, {});
}

void RemoveStagingLeftovers(const std::string& programFolder, const std::vector<std::string>& archives) {
  plat::RemoveStaleSaveFilesNamed(programFolder, RootNames(archives));
}

void GiveUp(const std::string& programFolder, const Judgement& judged, const std::vector<std::string>& archives) {
  GiveUpSet(programFolder, judged, archives, {{programFolder, RootNames(archives)}});
}

Verdict Install(const std::string& programFolder, const std::string& looseFolder, const std::string& packedFolder,
                const std::vector<std::string>& archives) {
  struct Copy {
    std::string from, to;
  };
  std::vector<Copy> copies;
  std::vector<std::string> kept;
  NamesByFolder names{{programFolder, RootNames(archives)}};
  // What runs cut short put in beside the player's goes as a set given up
  // takes it, and the set's files go only where the player's do not stand.
  const std::optional<UnfinishedSet> list = FindUnfinishedSet(programFolder, archives);
  const LooseFiles recorded = list ? list->recorded.loose : LooseFiles{};
  const OwnLoose own = OwnBesideThePlayers(programFolder, recorded);
  const auto setsOwn = [&](const std::string& path) {
    const auto at = recorded.find(path.substr(programFolder.size() + 1));
    const auto bytes = at == recorded.end() ? std::nullopt : plat::ReadAllBytes(path, nullptr, at->second.size);
    return bytes && SignatureOf(*bytes) == at->second;
  };
  // Goods go in only with the set's profile: never to be read with the player's.
  std::vector<std::string> profiles = Standing(programFolder, "User.INI");
  std::erase_if(profiles, [&](const std::string& path) { return own.Takes(path) || setsOwn(path); });
  for (const std::string& relative : FilesUnder(looseFolder)) {
    std::vector<std::string> standing = Standing(programFolder, relative);
    std::erase_if(standing, [&](const std::string& path) { return own.Takes(path); });
    if (standing.empty() && !profiles.empty() && IsGoodsFile(relative)) continue;
    if (standing.empty())
      copies.push_back({looseFolder + "/" + relative, Target(programFolder, relative, own.folders)});
    else if (!setsOwn(standing.front()))
      kept.push_back(standing.front());
    const fs::path at(standing.empty() ? copies.back().to : standing.front());
    names[at.parent_path().string()].push_back(at.filename().string());
  }
  Signatures made;
  for (const std::string& file : ArchiveFiles(archives)) made[file] = SignatureOf(ReadWhole(packedFolder + "/" + file));
  // Looked at again: data may have come in while the set was being made.
  Judgement judged;
  try {
    judged = JudgeAgainst(programFolder, archives, made);
    if (judged.verdict != Verdict::GiveUp) {
      std::map<std::string, std::string> places{{programFolder, kUnfinishedSet}};
      for (const Copy& c : copies) places.emplace(fs::path(c.to).parent_path(), fs::path(c.to).filename());
      for (const auto& [folder, name] : places) RefuseNoPlace(folder, name);
    }
  } catch (const Refusal&) {
    RemoveLeftovers(names);
    throw;
  }
  if (judged.verdict == Verdict::GiveUp) {
    GiveUpSet(programFolder, judged, archives, names, list ? LooseFiles{} : LooseAsMade(looseFolder));
    return judged.verdict;
  }

  for (const std::string& path : kept) std::printf("mkdata: kept %s\n", path.c_str());
  TakeOut(own, programFolder, recorded, {});
  std::error_code ec;
  fs::create_directories(programFolder, ec);
  // What runs cut short before put in stays recorded beside this run's.
  LooseFiles loose = recorded;
  for (const Copy& c : copies) loose[c.to.substr(programFolder.size() + 1)] = SignatureOf(ReadWhole(c.from));
  const std::string unfinished = programFolder + "/" + kUnfinishedSet;
  int error = 0;
  if (!plat::WriteFileAtomic(unfinished, UnfinishedSetText(archives, made, loose),
                             {.link = plat::LinkAtName::Replace, .error = &error}))
    CannotWrite(unfinished, error);
  for (const Copy& c : copies) {
    fs::create_directories(fs::path(c.to).parent_path(), ec);
    const std::vector<uint8_t> bytes = ReadWhole(c.from);
    if (!plat::WriteFileAtomic(c.to, plat::Bytes(bytes), {.error = &error})) CannotWrite(c.to, error);
  }
  InstallArchives(programFolder, packedFolder, archives);
  // The list last: once it is gone, no run comes to clear what is left.
  RemoveLeftovers(names);
  RemoveDurably(unfinished);
  return Verdict::Finish;
}

}  // namespace mkdata
