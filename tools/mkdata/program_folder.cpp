#include "tools/mkdata/program_folder.hpp"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>

#include "platform/runtime/files.hpp"
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

std::vector<std::string> Parts(const std::string& relative) {
  std::vector<std::string> parts;
  for (size_t from = 0;;) {
    const size_t slash = relative.find('/', from);
    parts.push_back(relative.substr(from, slash - from));
    if (slash == std::string::npos) return parts;
    from = slash + 1;
  }
}

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
std::string Target(const std::string& root, const std::string& relative) {
  const std::vector<std::string> parts = Parts(relative);
  std::string path = root;
  bool standing = true;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const std::vector<std::string> found = standing ? Matches(path, parts[i], relative) : std::vector<std::string>{};
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

// What kUnfinishedSet says of the set going in; one line names each archive.
std::string UnfinishedSetText(const std::vector<std::string>& archives) {
  std::string text = "mkdata was putting in the sample data set; running it again finishes it.\n";
  const std::vector<std::string> files = ArchiveFiles(archives);
  for (auto file = files.rbegin(); file != files.rend(); ++file) text += *file + "\n";
  return text;
}

// The lines of the kUnfinishedSet standing in the folder, none when there is
// none. One that cannot be read may be anything: refused.
std::vector<std::string> UnfinishedSet(const std::string& root) {
  const std::vector<std::string> standing = Standing(root, kUnfinishedSet);
  if (standing.empty()) return {};
  int error = 0;
  // Far above what this tool writes: a larger file is none of its own, and
  // is refused unread.
  const auto text = plat::ReadAllText(standing.front(), &error, 4096);
  if (!text) {
    if (plat::NotThere(error)) return {};
    throw Refusal("cannot read " + standing.front() + " (" + plat::SystemErrorText(error) + ")" + Nothing());
  }
  std::vector<std::string> lines;
  std::istringstream in(*text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// "a", "a and b", "a, b and c", of the entries' names.
std::string NamesOf(const std::vector<std::string>& paths) {
  std::string names;
  for (size_t i = 0; i < paths.size(); ++i) {
    if (i > 0) names += i + 1 == paths.size() ? " and " : ", ";
    names += fs::path(paths[i]).filename().string();
  }
  return names;
}

const char* KindOf(mode_t mode) {
  if (S_ISREG(mode)) return "a file";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "something else";
}

// A folder the set goes into, or one to be made on the way to it, must be a
// folder where it stands: anything else there would stop the run part-way,
// after some of its files were written.
void RefuseNoFolder(const std::string& folder) {
  for (fs::path p = folder; !p.empty(); p = p.parent_path()) {
    struct stat st;
    if (::stat(p.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) return;
      throw Refusal(p.string() + " is " + KindOf(st.st_mode) + ", not a folder" + Nothing());
    }
    const int error = errno;
    if (!plat::NotThere(error))
      throw Refusal("cannot look at " + p.string() + " (" + plat::SystemErrorText(error) + ")" + Nothing());
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

}  // namespace

void RefuseGameData(const std::string& programFolder, const std::vector<std::string>& archives) {
  const std::vector<std::string> own = UnfinishedSet(programFolder);
  const auto isOwn = [&](const std::string& file) {
    return std::any_of(own.begin(), own.end(), [&](const std::string& line) { return plat::EqualNoCase(line, file); });
  };
  std::vector<std::string> notOwn, missing;
  for (const std::string& file : ArchiveFiles(archives)) {
    const std::vector<std::string> standing = Standing(programFolder, file);
    if (standing.empty())
      missing.push_back(file);
    else if (!isOwn(file))
      notOwn.push_back(standing.front());
  }
  if (notOwn.empty()) return;
  if (missing.empty()) throw Refusal(notOwn.front() + " is there: the folder holds game data" + Nothing());
  const bool one = notOwn.size() == 1;
  throw Refusal(NamesOf(notOwn) + (one ? " is" : " are") + " there but " + NamesOf(missing) +
                (missing.size() == 1 ? " is" : " are") + " not: move " + (one ? "it" : "them") + " out of " +
                programFolder + ", or put the rest of the game data in" + Nothing());
}

void Install(const std::string& programFolder, const std::string& looseFolder, const std::string& packedFolder,
             const std::vector<std::string>& archives) {
  struct Copy {
    std::string from, to;
  };
  std::vector<Copy> copies;
  std::vector<std::string> kept;
  for (const std::string& relative : FilesUnder(looseFolder)) {
    const std::vector<std::string> standing = Standing(programFolder, relative);
    if (standing.empty())
      copies.push_back({looseFolder + "/" + relative, Target(programFolder, relative)});
    else
      kept.push_back(standing.front());
  }
  // Looked at again: data may have come in while the set was being made.
  RefuseGameData(programFolder, archives);
  RefuseNoFolder(programFolder);
  for (const Copy& c : copies) RefuseNoFolder(fs::path(c.to).parent_path());

  for (const std::string& path : kept) std::printf("mkdata: kept %s\n", path.c_str());
  std::error_code ec;
  fs::create_directories(programFolder, ec);
  const std::string unfinished = programFolder + "/" + kUnfinishedSet;
  int error = 0;
  if (!plat::WriteFileAtomic(unfinished, UnfinishedSetText(archives), {.link = plat::LinkAtName::Replace, .error = &error}))
    CannotWrite(unfinished, error);
  for (const Copy& c : copies) {
    fs::create_directories(fs::path(c.to).parent_path(), ec);
    const std::vector<uint8_t> bytes = ReadWhole(c.from);
    if (!plat::WriteFileAtomic(c.to, plat::Bytes(bytes), {.error = &error})) CannotWrite(c.to, error);
  }
  InstallArchives(programFolder, packedFolder, archives);
  if (!plat::RemoveFileDurably(unfinished, &error))
    throw std::runtime_error("cannot remove " + unfinished + " (" + plat::SystemErrorText(error) + ")");
}

}  // namespace mkdata
