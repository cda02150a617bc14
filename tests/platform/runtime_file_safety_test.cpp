// Saves, new files and the game's private folder never lose or expose a
// player's file: links are written through only where that is the point,
// permissions survive, and leftovers of a killed game go at the next start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime/files.hpp"
#include "platform/runtime/game_files.hpp"
#include "platform/runtime/process.hpp"
#include "platform/runtime/temp_folder.hpp"
#include "tests/common/test_support.hpp"

namespace {
namespace fs = std::filesystem;

// The number of a process that has ended (and been reaped), so nothing runs
// under it for a while.
int DeadPid() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<int>(child);
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

std::string SaveTemp(const std::string& name, int pid) { return "." + name + "." + std::to_string(pid) + ".fwsave"; }

}  // namespace

// A save follows a link at its name only to a regular file (a player's own
// file kept elsewhere); a link to nowhere or to anything else is refused,
// naming it, with nothing written; the game's own files replace a link.
TEST(FileSafety, ASaveFollowsALinkOnlyToARegularFile) {
  fwtest::TempProgramFolder dir;
  fs::create_directory(dir.File("real"));
  // n links from User.INI to real/file, the link at `at` the second.
  const auto chain = [&dir](const std::string& at, int n) {
    dir.Write("real/file", "old");
    fs::create_symlink("c1", dir.File(at));
    for (int i = 1; i <= n - 2; ++i)
      fs::create_symlink(i == n - 2 ? std::string("file") : std::string("c").append(std::to_string(i + 1)),
                         dir.File("real/c" + std::to_string(i)));
  };
  const struct {
    const char* what;
    std::function<void(const std::string& at)> plant;  // what the link leads to, under real/
    plat::LinkAtName link;
    int error;            // 0: saved
    bool linkStays;       // the link is still at the saved name afterwards
    std::string at;       // what real/target holds afterwards ("-": no regular file)
    std::function<void()> fault = [] {};
  } cases[] = {
      {"a regular file elsewhere", [&](const std::string& at) { dir.Write(at, "old"); },
       plat::LinkAtName::FollowToFile, 0, true, "new"},
      {"nowhere", [](const std::string&) {}, plat::LinkAtName::FollowToFile, plat::kLinkToNoFile, true, "-"},
      {"a FIFO", [&](const std::string& at) { ASSERT_EQ(mkfifo(dir.File(at).c_str(), 0600), 0); },
       plat::LinkAtName::FollowToFile, plat::kLinkToNoFile, true, "-"},
      // A device node of the test's own (the null device's numbers): a save
      // run as root would replace it with a plain file.
      {"a device",
       [&](const std::string& at) {
         if (mknod(dir.File(at).c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
           ASSERT_EQ(mkfifo(dir.File(at).c_str(), 0600), 0);  // without the power to make one
         }
       },
       plat::LinkAtName::FollowToFile, plat::kLinkToNoFile, true, "-"},
      {"a folder", [&](const std::string& at) { fs::create_directory(dir.File(at)); }, plat::LinkAtName::FollowToFile,
       plat::kLinkToNoFile, true, "-"},
      // The game's own file: the link goes, nothing is made where it led.
      {"nowhere, replaced", [](const std::string&) {}, plat::LinkAtName::Replace, 0, false, "-"},
      // Nothing is written blind: a look that fails at the name, at the link
      // on the way or at the file it leads to refuses the save.
      {"the look at the name failing", [&](const std::string& at) { dir.Write(at, "old"); },
       plat::LinkAtName::FollowToFile, EIO, true, "old", [] { plat::FailNextFileCall(plat::FileCall::Look, EIO); }},
      {"the look on the way failing", [&](const std::string& at) { dir.Write(at, "old"); },
       plat::LinkAtName::FollowToFile, ESTALE, true, "old",
       [] { plat::FailNextFileCall(plat::FileCall::Look, ESTALE, 1); }},
      {"the look at the file it leads to failing", [&](const std::string& at) { dir.Write(at, "old"); },
       plat::LinkAtName::FollowToFile, EACCES, true, "old",
       [] { plat::FailNextFileCall(plat::FileCall::Look, EACCES, 2); }},
      // As many links as the system follows reach the file; one more and
      // the save would replace the last link, so it leads to no file.
      {"a chain of 40 links", [&](const std::string& at) { chain(at, 40); }, plat::LinkAtName::FollowToFile, 0,
       true, "-"},
      {"a chain of 41 links", [&](const std::string& at) { chain(at, 41); }, plat::LinkAtName::FollowToFile,
       plat::kLinkToNoFile, true, "-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir.File("real"));
    fs::create_directory(dir.File("real"));
    fs::remove(dir.File("User.INI"));
    c.plant("real/target");
    const fs::file_type before = fs::symlink_status(dir.File("real/target")).type();
    fs::create_symlink("real/target", dir.File("User.INI"));
    c.fault();
    int error = 0;
    EXPECT_EQ(plat::WriteFileAtomic(dir.Path() + "\\User.INI", std::string_view("new"), {.link = c.link, .error = &error}),
              c.error == 0);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(fs::is_symlink(dir.File("User.INI")), c.linkStays);
    if (c.at == "-") {
      EXPECT_EQ(fs::symlink_status(dir.File("real/target")).type(), before);
    } else {
      EXPECT_EQ(dir.Read("real/target"), c.at);
    }
    if (!c.linkStays) {
      EXPECT_EQ(dir.Read("User.INI"), "new");
    }
    if (fs::exists(dir.File("real/file"))) {
      EXPECT_EQ(dir.Read("real/file"), c.error == 0 ? "new" : "old");
    }
  }
  EXPECT_EQ(plat::SystemErrorText(plat::kLinkToNoFile), "a link that leads to no regular file");
}

TEST(FileSafety, SaveKeepsPermissionsAndGivesNewFilesTheUsualOnes) {
  fwtest::TempProgramFolder dir;
  dir.Write("User.INI", "old");
  chmod(dir.File("User.INI").c_str(), 0600);
  dir.Write("shared.cfg", "old");
  chmod(dir.File("shared.cfg").c_str(), 0664);
  ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\User.INI", std::string_view("new")));
  ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\shared.cfg", std::string_view("new")));
  EXPECT_EQ(ModeOf(dir.File("User.INI")), 0600u);
  EXPECT_EQ(ModeOf(dir.File("shared.cfg")), 0664u);
  EXPECT_EQ(dir.Read("User.INI"), "new");
  const mode_t mask = umask(022);
  ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\fresh.cfg", std::string_view("x")));
  EXPECT_EQ(ModeOf(dir.File("fresh.cfg")), 0644u);  // not the temporary file's private mode
  umask(mask);
  // Unseen, the old file is never written over: its bytes and mode stay.
  plat::FailNextFileCall(plat::FileCall::Look, EIO);
  int error = 0;
  EXPECT_FALSE(plat::WriteFileAtomic(dir.Path() + "\\User.INI", std::string_view("unseen"), {.error = &error}));
  EXPECT_EQ(error, EIO);
  EXPECT_EQ(dir.Read("User.INI"), "new");
  EXPECT_EQ(ModeOf(dir.File("User.INI")), 0600u);
  // Where the folder's listing holds no such name, nothing is there to see.
  plat::FailNextFileCall(plat::FileCall::Look, EIO);
  EXPECT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\new.cfg", std::string_view("new")));
  // A file the game could not read back is no save: its owner may read and
  // write what it saved, as before.
  chmod(dir.File("User.INI").c_str(), 0);
  chmod(dir.File("shared.cfg").c_str(), 0464);
  ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\User.INI", std::string_view("read back")));
  ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\shared.cfg", std::string_view("read back")));
  EXPECT_EQ(ModeOf(dir.File("User.INI")), 0600u);
  EXPECT_EQ(ModeOf(dir.File("shared.cfg")), 0664u);
  {
    const fwtest::WithoutFilePowers player;
    EXPECT_EQ(plat::ReadAllText(dir.Path() + "\\User.INI"), "read back");
  }
  if (geteuid() != 0) GTEST_SKIP() << "only a privileged game can give a file back to its owner";
  ASSERT_EQ(chown(dir.File("shared.cfg").c_str(), 65534, 65534), 0);
  ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\shared.cfg", std::string_view("again")));
  struct stat st {};
  stat(dir.File("shared.cfg").c_str(), &st);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  // A new file, whether the save knew nothing stood there or never looked,
  // is the game's own with the usual mode: nothing of a file saved before.
  const mode_t again = umask(022);
  for (const plat::FoundAtName& found : {plat::FoundAtName::Nothing(), plat::FoundAtName{}}) {
    const std::string name = found.LookedAt() ? "nothing.cfg" : "unlooked.cfg";
    ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\shared.cfg", std::string_view("owner's")));
    ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\" + name, std::string_view("x"), {.onlyOver = found}));
    stat(dir.File(name).c_str(), &st);
    EXPECT_EQ(st.st_uid, geteuid()) << name;
    EXPECT_EQ(st.st_mode & 07777, 0644u) << name;
  }
  umask(again);
}

// Where the game holds the hash of the bytes it found and the file can be
// read, its bytes decide, whatever its identity says: a tool may put every
// time back, and some file systems keep no status-change time of their own.
// Where that read fails, only the very file recorded is the game's, and
// anything else is refused with the read's cause. The judge and a save
// over what it judged answer alike, but where the look fails: the judge
// then reads the file, whose bytes decide, and the save refuses.
TEST(FileSafety, BytesDecideWhereverTheyCanBeRead) {
  fwtest::TempProgramFolder dir;
  const std::string path = dir.Path() + "\\user1.DAT";
  const auto none = [] {};
  const auto readFails = [] { plat::FailNextFileCall(plat::FileCall::Read, EIO); };
  // What the game recorded, from the file's identity as it stands now.
  const auto recorded = [](const std::function<void(plat::FileIdentity&)>& change, const std::string& bytes) {
    return [=](plat::FileIdentity identity) {
      change(identity);
      return plat::FoundAtName::FileOf(identity, plat::HashOfBytes(bytes));
    };
  };
  const auto same = [](plat::FileIdentity&) {};
  // What the game's own save left there, its rename made on a later clock
  // tick than its write: where a rename moves the status-change time, only
  // the file as the rename left it is the one the game knows.
  const auto saved = [&path, &dir](plat::FileIdentity) {
    const std::optional<plat::StagedFile> staged = plat::StageFileAtomic(path, std::string_view("old b"));
    EXPECT_TRUE(staged);
    if (!staged) return plat::FoundAtName{};
    struct stat probe {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    do {
      dir.Write("tick", "");
      stat(dir.File("tick").c_str(), &probe);
    } while (probe.st_ctim.tv_sec * 1000000000 + probe.st_ctim.tv_nsec <= staged->written.statusChangedNs &&
             std::chrono::steady_clock::now() < deadline);
    plat::FoundAtName landed;
    EXPECT_TRUE(plat::CommitStagedFile(*staged, nullptr, nullptr, &landed));
    return landed;
  };
  const auto lookFails = [] { plat::FailNextFileCall(plat::FileCall::Look, EIO); };
  const struct {
    const char* what;
    std::function<plat::FoundAtName(plat::FileIdentity)> found;
    std::function<void()> fault;
    int error;  // 0: may be replaced
    // The save's answer where it differs: a save never writes over what
    // its own look could not see.
    std::optional<int> saveError = std::nullopt;
  } cases[] = {
      {"a look failing, the file read then holding the bytes recorded", recorded(same, "old b"), lookFails, 0, EIO},
      {"a look failing, the file read then holding other bytes", recorded(same, "odd b"), lookFails,
       plat::kChangedSinceRead, EIO},
      {"every identity field recorded, other bytes of its size", recorded(same, "odd b"), none,
       plat::kChangedSinceRead},
      {"every identity field recorded, the bytes recorded", recorded(same, "old b"), none, 0},
      {"unread now, every identity field recorded", recorded(same, "odd b"), readFails, 0},
      {"unread now, another status-change time recorded",
       recorded([](plat::FileIdentity& i) { ++i.statusChangedNs; }, "old b"), readFails, EIO},
      {"unread now, another file recorded", recorded([](plat::FileIdentity& i) { ++i.inode; }, "old b"), readFails,
       EIO},
      {"unread now, the game's own save landed there", saved, readFails, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("user1.DAT", "old b");
    const plat::SavedFileRead read = plat::ReadSavedFile(path);
    ASSERT_TRUE(read.found.IsFile());
    const plat::FoundAtName found = c.found(read.found.identity);
    c.fault();
    EXPECT_EQ(plat::MayReplace(path, found).error, c.error);
    c.fault();
    int error = 0;
    const int saveError = c.saveError.value_or(c.error);
    EXPECT_EQ(plat::WriteFileAtomic(path, std::string_view("new b"), {.onlyOver = found, .error = &error}),
              saveError == 0);
    EXPECT_EQ(error, saveError);
    EXPECT_EQ(dir.Read("user1.DAT"), saveError == 0 ? "new b" : "old b");
  }
}

TEST(FileSafety, SaveNeverWritesThroughALinkPlantedAtItsTemporaryName) {
  fwtest::TempProgramFolder dir;
  dir.Write("victim", "keep");
  dir.Write("User.INI", "old");
  fs::create_symlink(dir.File("victim"), dir.File(SaveTemp("User.INI", getpid())));
  ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\User.INI", std::string_view("new")));
  EXPECT_EQ(dir.Read("victim"), "keep");
  EXPECT_EQ(dir.Read("User.INI"), "new");
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir.File(SaveTemp("User.INI", getpid())))));
}

TEST(FileSafety, LeftoversOfAKilledGamesSaveGoAtTheNextStart) {
  fwtest::TempProgramFolder dir;
  const int dead = DeadPid();
  dir.Write(SaveTemp("User.INI", dead), "half");
  dir.Write(SaveTemp("user1.DAT", getppid()), "in progress");  // a game still running
  dir.Write(".hidden", "player's");
  dir.Write("notes.fwsave", "player's");
  dir.Write(".odd.abc.fwsave", "player's");
  // Beside a file the player keeps elsewhere, a save through the link
  // stages its file: only that file's own leftovers go there.
  fwtest::TempProgramFolder elsewhere;
  elsewhere.Write("mine.DAT", "player's goods");
  fs::create_directory(dir.File("save"));
  fs::create_symlink(elsewhere.File("mine.DAT"), dir.File("save/user1.DAT"));
  elsewhere.Write(SaveTemp("mine.DAT", dead), "half");
  elsewhere.Write(SaveTemp("mine.DAT", getppid()), "in progress");
  elsewhere.Write(SaveTemp("other.DAT", dead), "player's");
  plat::RemoveStaleGameSaveFiles(dir.Path());
  EXPECT_FALSE(elsewhere.Exists(SaveTemp("mine.DAT", dead)));
  EXPECT_TRUE(elsewhere.Exists(SaveTemp("mine.DAT", getppid())));
  EXPECT_TRUE(elsewhere.Exists(SaveTemp("other.DAT", dead)));
  EXPECT_EQ(elsewhere.Read("mine.DAT"), "player's goods");
  EXPECT_FALSE(dir.Exists(SaveTemp("User.INI", dead)));
  EXPECT_TRUE(dir.Exists(SaveTemp("user1.DAT", getppid())));
  EXPECT_TRUE(dir.Exists(".hidden"));
  EXPECT_TRUE(dir.Exists("notes.fwsave"));
  EXPECT_TRUE(dir.Exists(".odd.abc.fwsave"));
  // A save that died before its rename is cleaned up by the next save.
  ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\User.INI", std::string_view("a")));
  plat::FailNextAtomicRename();
  EXPECT_FALSE(plat::WriteFileAtomic(dir.Path() + "\\User.INI", std::string_view("b")));
  EXPECT_TRUE(dir.Exists(SaveTemp("User.INI", getpid())));
  ASSERT_TRUE(plat::WriteFileAtomic(dir.Path() + "\\User.INI", std::string_view("c")));
  EXPECT_FALSE(dir.Exists(SaveTemp("User.INI", getpid())));
  EXPECT_EQ(dir.Read("User.INI"), "c");
}

TEST(FileSafety, NewFilesNeverReplaceAnything) {
  fwtest::TempProgramFolder dir;
  dir.Write("taken.bmp", "player's");
  EXPECT_EQ(plat::WriteNewFile(dir.Path() + "\\taken.bmp", "x", 1), EEXIST);
  EXPECT_EQ(dir.Read("taken.bmp"), "player's");
  fs::create_symlink(dir.File("elsewhere"), dir.File("link.bmp"));
  EXPECT_EQ(plat::WriteNewFile(dir.Path() + "\\link.bmp", "x", 1), EEXIST);
  EXPECT_FALSE(dir.Exists("elsewhere"));
  EXPECT_EQ(plat::WriteNewFile(dir.Path() + "\\new.bmp", "xy", 2), 0);
  EXPECT_EQ(dir.Read("new.bmp"), "xy");
  EXPECT_NE(plat::WriteNewFile(dir.Path() + "\\missing\\new.bmp", "x", 1), 0);
}

TEST(FileSafety, RangeCopiesAreWholeOrAbsentAndReplaceLinksNotTargets) {
  fwtest::TempProgramFolder dir;
  dir.Write("data.pak", "0123456789");
  dir.Write("victim", "keep");
  fs::create_symlink(dir.File("victim"), dir.File("copy"));
  ASSERT_TRUE(plat::CopyFileRange(dir.Path() + "\\data.pak", 2, 5, dir.File("copy")));
  EXPECT_EQ(dir.Read("copy"), "23456");
  EXPECT_FALSE(fs::is_symlink(dir.File("copy")));
  EXPECT_EQ(dir.Read("victim"), "keep");
  EXPECT_FALSE(plat::CopyFileRange(dir.Path() + "\\data.pak", 8, 5, dir.File("past")));
  EXPECT_FALSE(plat::CopyFileRange(dir.Path() + "\\data.pak", -1, 2, dir.File("past")));
  EXPECT_FALSE(plat::CopyFileRange(dir.Path() + "\\data.pak", 0, 0, dir.File("past")));
  EXPECT_FALSE(dir.Exists("past"));
  // Ranges read in place follow the same bounds, up to the very last byte.
  const std::string pak = dir.Path() + "\\DATA.PAK";
  auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
  EXPECT_EQ(text(*plat::ReadFileRange(pak, 2, 5)), "23456");
  EXPECT_EQ(text(*plat::ReadFileRange(pak, 9, 1)), "9");
  EXPECT_EQ(text(*plat::ReadFileRange(pak, 10, 0)), "");
  EXPECT_FALSE(plat::ReadFileRange(pak, 8, 5));
  EXPECT_FALSE(plat::ReadFileRange(pak, -1, 2));
  EXPECT_FALSE(plat::ReadFileRange(pak, 11, 0));
  EXPECT_FALSE(plat::ReadFileRange(dir.Path() + "\\missing.pak", 0, 1));
  EXPECT_FALSE(plat::ReadFileRange(dir.Path(), 0, 0));  // a folder is no file
}

TEST(FileSafety, TheGamesPrivateFolderIsItsOwnAndGoesWithIt) {
  fwtest::TempProgramFolder root;
  plat::RemoveGameTempFolder();
  plat::SetTempRoot(root.Path());
  const fwtest::WorkingFolders leftovers(root.Path(), "ferrowind-");

  // What the game's start makes first.
  const std::string folder = plat::GameTempFolder();
  EXPECT_EQ(fs::path(folder).parent_path(), fs::path(root.Path()));
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(plat::GameTempFolder(), folder);
  for (const auto& row : leftovers.Rows()) EXPECT_EQ(root.Exists(row.entry), row.stays) << row.entry;

  root.Write(fs::path(folder).filename().string() + "/copy.bmp", "x");
  plat::RemoveGameTempFolder();
  EXPECT_FALSE(fs::exists(folder));
  plat::RemoveGameTempFolder();  // twice is harmless
  plat::SetTempRoot("");
}

// A mark that cannot be written costs only the mark: the game and mkdata go
// on in the folder, and its own process removes it.
struct MarkRefused {
  const char* name;
  plat::FileCall call;
  int error;
  bool game;  // the game's folder, else a scratch folder as mkdata makes
};

const MarkRefused kMarksRefused[] = {
    {"GamesFolderFull", plat::FileCall::WriteTemporary, ENOSPC, true},
    {"GamesFolderRefusingTheName", plat::FileCall::Rename, EACCES, true},
    {"ScratchFolderFull", plat::FileCall::WriteTemporary, ENOSPC, false},
    {"ScratchFolderRefused", plat::FileCall::WriteTemporary, EACCES, false},
};

TEST(FileSafety, AFolderWhoseMarkCannotBeWrittenIsUsedUnmarkedAndGoesWithItsProcess) {
  for (const MarkRefused& row : kMarksRefused) {
    SCOPED_TRACE(row.name);
    fwtest::TempProgramFolder root;
    plat::RemoveGameTempFolder();
    plat::SetTempRoot(root.Path());
    plat::FailNextFileCall(row.call, row.error);
    std::unique_ptr<plat::ScratchFolder> scratch;
    std::string folder;
    if (row.game) {
      EXPECT_NO_THROW(folder = plat::GameTempFolder());
    } else {
      EXPECT_NO_THROW(scratch = std::make_unique<plat::ScratchFolder>("fwx-"));
      if (scratch) folder = scratch->Path();
    }
    EXPECT_FALSE(plat::FileCallPlanned(row.call));
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::is_empty(folder));
    root.Write(fs::path(folder).filename().string() + "/copy.bmp", "x");
    if (row.game)
      plat::RemoveGameTempFolder();
    else
      scratch.reset();
    EXPECT_FALSE(fs::exists(folder));
    plat::SetTempRoot("");
  }
}

TEST(FileSafety, AScratchFolderIsFreshAndTakesOnlyWhatEndedProcessesLeft) {
  fwtest::TempProgramFolder root;
  plat::SetTempRoot(root.Path());
  const fwtest::WorkingFolders leftovers(root.Path(), "fwx-");
  const std::string games = "ferrowind-" + std::to_string(DeadPid()) + "-abcdef";
  root.Write(games + "/old", "old");

  auto scratch = std::make_unique<plat::ScratchFolder>("fwx-");
  const std::string folder = scratch->Path();
  EXPECT_EQ(fs::path(folder).parent_path(), fs::path(root.Path()));
  const std::string mine = std::to_string(getpid());
  EXPECT_EQ(fs::path(folder).filename().string().rfind("fwx-" + mine + "-", 0), 0u) << folder;
  EXPECT_EQ(ModeOf(folder), 0700u);
  std::vector<std::string> held;
  for (const auto& e : fs::directory_iterator(folder)) held.push_back(e.path().filename().string());
  EXPECT_EQ(held, std::vector<std::string>{plat::kMakerMark});
  std::ifstream markFile(folder + "/" + plat::kMakerMark);
  std::string markPid, startTime;
  markFile >> markPid >> startTime;
  EXPECT_EQ(markPid, mine);
  EXPECT_NE(startTime, "0");
  for (const auto& row : leftovers.Rows()) EXPECT_EQ(root.Exists(row.entry), row.stays) << row.entry;
  EXPECT_TRUE(root.Exists(games));  // the game cleans up after itself

  // A second one of the same process neither takes nor removes the first.
  {
    plat::ScratchFolder second("fwx-");
    EXPECT_NE(second.Path(), folder);
  }
  EXPECT_TRUE(fs::is_directory(folder));

  root.Write(fs::path(folder).filename().string() + "/data/x", "x");
  if (fork() == 0) {
    scratch.reset();  // a forked child's way out leaves its parent's folder
    _exit(0);
  }
  wait(nullptr);
  EXPECT_TRUE(fs::exists(folder + "/data/x"));
  scratch.reset();
  EXPECT_FALSE(fs::exists(folder));
  plat::SetTempRoot("");
}
