// Several files saved as one step through a journal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/common/test_support.hpp"

namespace {

class SaveTogether : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir.File("save"));
    dir.Write("A.INI", "old a");
    dir.Write("save/b.DAT", "old b");
  }
  std::string Both() const { return dir.Read("A.INI") + "|" + dir.Read("save/b.DAT"); }
  fwtest::TempProgramFolder dir;
};

TEST_F(SaveTogether, FilesOutsideTheFolderAreRefusedUnwritten) {
  for (const std::string& outside : {dir.Path() + "\\..\\x.INI", std::string("/tmp/elsewhere.INI"), dir.Path()}) {
    SCOPED_TRACE(outside);
    EXPECT_FALSE(plat::WriteFilesTogether(dir.Path() + "\\save", {{dir.Path() + "\\save\\b.DAT", "x"}, {outside, "x"}}));
    EXPECT_EQ(Both(), "old a|old b");
  }
}

// A journal as earlier versions wrote it: no previous contents, no removals.
std::string EarlierJournal(const std::vector<plat::FileContent>& files) {
  std::string out = "FWSAVEJ1";
  const auto put = [&out](uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  };
  put(files.size(), 4);
  for (const plat::FileContent& f : files) {
    put(f.gamePath.size(), 4);
    out += f.gamePath;
    put(f.bytes.size(), 8);
    out += f.bytes;
  }
  uint64_t h = 14695981039346656037ull;
  for (const char c : out) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
  put(h, 8);
  return out;
}

TEST(SaveJournal, OnlyAWholeJournalWithPathsInsideItsFolderDecodes) {
  const auto before = plat::PreviousContent::Of(std::string("old"));
  const std::string good = plat::EncodeSaveJournal(
      {{"User.INI", std::string("a\0b", 3), false, before}, {"save/user1.DAT", ""}, {"save/user2.DAT", "", true}});
  const auto back = plat::DecodeSaveJournal(good);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), 3u);
  EXPECT_EQ((*back)[0].bytes, std::string("a\0b", 3));
  EXPECT_EQ((*back)[0].before, before);
  EXPECT_EQ((*back)[1].gamePath, "save/user1.DAT");
  EXPECT_EQ((*back)[1].before, std::nullopt);
  EXPECT_TRUE((*back)[2].remove);
  // An earlier version's journal reads with nothing known of before.
  const auto earlier = plat::DecodeSaveJournal(EarlierJournal({{"User.INI", "new"}}));
  ASSERT_TRUE(earlier);
  EXPECT_EQ((*earlier)[0].bytes, "new");
  EXPECT_EQ((*earlier)[0].before, std::nullopt);
  EXPECT_FALSE((*earlier)[0].remove);

  std::string flipped = good;
  flipped[20] ^= 1;
  const std::string damaged[] = {
      "", good.substr(0, good.size() - 1), flipped, good + "x", "FWSAVEJ1",
      plat::EncodeSaveJournal({}),
      plat::EncodeSaveJournal({{"../User.INI", "x"}}),
      plat::EncodeSaveJournal({{"/etc/passwd", "x"}}),
      plat::EncodeSaveJournal({{"save//b", "x"}}),
      plat::EncodeSaveJournal({{"save/./b", "x"}}),
      plat::EncodeSaveJournal({{"a\\..\\b", "x"}}),
      plat::EncodeSaveJournal({{"", "x"}}),
      EarlierJournal({{"../User.INI", "x"}}),
  };
  for (const std::string& bytes : damaged) EXPECT_FALSE(plat::DecodeSaveJournal(bytes)) << bytes.size();
}

// Kept for the player to look at: a killed game may have replaced a file
// already.
TEST_F(SaveTogether, AJournalThisGameDidNotWriteWholeIsKeptAsideAndTheFilesStay) {
  const std::string journal(plat::kSaveJournalName);
  const std::string bytes = plat::EncodeSaveJournal({{"../A.INI", "evil"}});
  dir.Write(journal, bytes);
  EXPECT_EQ(plat::RecoverFilesWrittenTogether(dir.Path()), "SaveJournal.bin is damaged");
  EXPECT_EQ(Both(), "old a|old b");
  EXPECT_FALSE(dir.Exists(journal));
  EXPECT_EQ(dir.Read(journal + ".unfinished-1"), bytes);
}

// A folder the player removed since is made again for a file the step
// writes; a file it removes went with the folder, and the step is done.
TEST_F(SaveTogether, AFolderRemovedSinceIsMadeAgainOrHeldTheFileRemoved) {
  for (const bool removes : {false, true}) {
    SCOPED_TRACE(removes ? "a removal" : "a write");
    std::filesystem::remove_all(dir.File("save"));
    dir.Write("A.INI", "old a");
    dir.Write(std::string(plat::kSaveJournalName),
              plat::EncodeSaveJournal({{"A.INI", "new a"}, {"save/b.DAT", removes ? "" : "new b", removes}}));
    EXPECT_EQ(plat::RecoverFilesWrittenTogether(dir.Path()), "");
    EXPECT_EQ(Both(), removes ? "new a|" : "new a|new b");
    EXPECT_FALSE(dir.Exists(std::string(plat::kSaveJournalName)));
  }
}

TEST_F(SaveTogether, ACopyIsKeptAsideUnderTheFirstUnusedName) {
  dir.Write("save/b.DAT.damaged-1", "someone's");
  EXPECT_EQ(plat::KeepCopyAside(dir.Path() + "\\save\\b.DAT", "damaged"), "b.DAT.damaged-2");
  EXPECT_EQ(dir.Read("save/b.DAT.damaged-1"), "someone's");
  EXPECT_EQ(dir.Read("save/b.DAT.damaged-2"), "old b");
  EXPECT_EQ(plat::KeepCopyAside(dir.Path() + "\\save\\none.DAT", "damaged"), "");
  // Only a regular file is kept: a second name of a FIFO keeps nothing.
  ASSERT_EQ(mkfifo(dir.File("save/f.DAT").c_str(), 0600), 0);
  int error = 0;
  EXPECT_EQ(plat::KeepCopyAside(dir.Path() + "\\save\\f.DAT", "damaged", &error), "");
  EXPECT_EQ(error, plat::kNotAFile);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir.File("save/f.DAT.damaged-1"))));
}

// Where no hard link can be made (the file on another file system, a link at
// its name), the copy is streamed: whole under its name with the file's
// bits, or not there, whatever call of it a kill meets, and the next start
// clears what it began. One copy a file: the newest holding it already is
// named again. What no copy could be made of is told by its own cause.
TEST_F(SaveTogether, ACopyIsKeptAsideWholeOrNotAtAllAndOnceForEachFile) {
  namespace fs = std::filesystem;
  char shm[] = "/dev/shm/fwkept-XXXXXX";
  struct stat there {}, here {};
  if (!::mkdtemp(shm) || ::stat(shm, &there) != 0 || ::stat(dir.Path().c_str(), &here) != 0 ||
      there.st_dev == here.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  const std::string other = shm;
  const std::string bytes = std::string(3 << 20, 'x') + "end";
  std::ofstream(other + "/u.DAT", std::ios::binary) << bytes;
  fs::permissions(other + "/u.DAT", fs::perms(0640));
  fs::create_symlink(other + "/u.DAT", dir.File("save/u.DAT"));
  const std::string name = dir.Path() + "\\save\\u.DAT";
  const auto keptWhole = [this, &bytes](const std::string& kept) {
    EXPECT_EQ(fs::symlink_status(dir.File("save/" + kept)).type(), fs::file_type::regular);
    EXPECT_EQ(fs::status(dir.File("save/" + kept)).permissions(), fs::perms(0640));
    EXPECT_TRUE(dir.Read("save/" + kept) == bytes);
  };
  for (const plat::FileCall call : {plat::FileCall::Link, plat::FileCall::Read, plat::FileCall::WriteTemporary,
                                    plat::FileCall::Rename, plat::FileCall::SyncFolder}) {
    SCOPED_TRACE("killed at call " + std::to_string(static_cast<int>(call)));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      plat::FailNextFileCall(call, 0);
      plat::KeepCopyAside(name, "damaged");
      ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    if (fs::exists(fs::symlink_status(dir.File("save/u.DAT.damaged-1")))) keptWhole("u.DAT.damaged-1");
    // The next start.
    plat::RemoveStaleSaveFiles(dir.Path() + "\\save");
    for (const auto& e : fs::directory_iterator(dir.File("save")))
      EXPECT_FALSE(e.path().filename().string().ends_with(".fwsave")) << e.path();
    EXPECT_EQ(plat::KeepCopyAside(name, "damaged"), "u.DAT.damaged-1");
    keptWhole("u.DAT.damaged-1");
    // Kept once, in this run or a later one.
    EXPECT_EQ(plat::KeepCopyAside(name, "damaged"), "u.DAT.damaged-1");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.File("save/u.DAT.damaged-2"))));
    fs::remove(dir.File("save/u.DAT.damaged-1"));
  }
  // A file linked aside is kept once too, even one the game cannot read;
  // another file, or other bits, is kept anew.
  fs::permissions(dir.File("save/b.DAT"), fs::perms::none);
  {
    fwtest::WithoutFilePowers player;
    EXPECT_EQ(plat::KeepCopyAside(dir.Path() + "\\save\\b.DAT", "damaged"), "b.DAT.damaged-1");
    EXPECT_EQ(plat::KeepCopyAside(dir.Path() + "\\save\\b.DAT", "damaged"), "b.DAT.damaged-1");
  }
  EXPECT_EQ(plat::KeepCopyAside(name, "damaged"), "u.DAT.damaged-1");
  fs::permissions(other + "/u.DAT", fs::perms(0600));
  EXPECT_EQ(plat::KeepCopyAside(name, "damaged"), "u.DAT.damaged-2");
  std::ofstream(other + "/u.DAT", std::ios::binary | std::ios::app) << "more";
  EXPECT_EQ(plat::KeepCopyAside(name, "damaged"), "u.DAT.damaged-3");

  const struct {
    const char* what;
    std::function<void()> make;
    int error;
  } causes[] = {
      {"the player's own file of mode 000", [&] { fs::permissions(other + "/u.DAT", fs::perms::none); }, EACCES},
      {"a link that leads nowhere", [&] { fs::remove(other + "/u.DAT"); }, plat::kLinkToNoFile},
      {"a link loop",
       [this] {
         fs::remove(dir.File("save/u.DAT"));
         fs::create_symlink("u.DAT", dir.File("save/u.DAT"));
       },
       plat::kLinkToNoFile},
      {"nothing at the name", [this] { fs::remove(dir.File("save/u.DAT")); }, ENOENT},
  };
  for (const auto& c : causes) {
    SCOPED_TRACE(c.what);
    c.make();
    int error = 0;
    {
      fwtest::WithoutFilePowers player;
      EXPECT_EQ(plat::KeepCopyAside(name, "changed", &error), "");
    }
    EXPECT_EQ(error, c.error) << plat::SystemErrorText(error);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.File("save/u.DAT.changed-1"))));
  }
  fs::remove_all(other);
}


// What a save cannot read or see is never taken for nothing, and nothing is
// written through a link to no file: one fault a row, then what the files
// and the journal hold.
TEST_F(SaveTogether, WhatASaveCannotReadOrSeeIsNeverTakenForNothing) {
  namespace fs = std::filesystem;
  const std::string journal(plat::kSaveJournalName);
  const std::vector<plat::FileContent> pair{{dir.Path() + "\\A.INI", "new a"}, {dir.Path() + "\\save\\b.DAT", "new b"}};
  const auto standing = [this](bool* marked = nullptr) {
    return plat::DecodeSaveJournal(dir.Read(std::string(plat::kSaveJournalName)), marked);
  };
  const struct {
    const char* what;
    std::function<void()> setUp;  // faults included; a commit killed keeps the journal to look at
    std::vector<plat::FileContent> files;
    std::string why;  // "": saved
    std::function<void(const plat::SaveFailure&)> check;
  } cases[] = {
      // Reads: A.INI, b.DAT, the journal standing, its own file c.DAT.
      {"a file of the standing journal that cannot be read",
       [&] {
         dir.Write("save/c.DAT", "old c");
         const auto before = plat::PreviousContent::Of(std::string("old c"));
         dir.Write(journal, plat::EncodeSaveJournal({{"save/c.DAT", "new c", false, before}}));
         plat::FailNextAtomicRename(1);
         plat::FailNextFileCall(plat::FileCall::Read, EIO, 3);
       },
       pair, "Unable to Save A.INI",
       [&](const plat::SaveFailure& f) {
         bool marked = false;
         ASSERT_TRUE(standing(&marked));
         EXPECT_TRUE(marked);
         EXPECT_TRUE(f.journalStands);
       }},
      {"a file the save cannot read to record",
       [] {
         plat::FailNextAtomicRename(1);
         plat::FailNextFileCall(plat::FileCall::Read, EIO, 0);
       },
       pair, "Unable to Save A.INI",
       [&](const plat::SaveFailure&) {
         const auto files = standing();
         ASSERT_TRUE(files);
         EXPECT_FALSE((*files)[0].before);
         EXPECT_EQ((*files)[1].before, plat::PreviousContent::Of(std::string("old b")));
       }},
      {"its own journal that cannot be read back",
       [] {
         plat::FailNextAtomicRename(1);
         plat::FailNextFileCall(plat::FileCall::Read, EIO, 2);
       },
       pair, "Unable to Save A.INI", [](const plat::SaveFailure& f) { EXPECT_TRUE(f.journalStands); }},
      {"a folder at a removed file's name", [this] { fs::create_directory(dir.File("save/c.DAT")); },
       {pair[0], {dir.Path() + "\\save\\c.DAT", "", true}}, "",
       [this](const plat::SaveFailure&) { EXPECT_TRUE(fs::is_directory(dir.File("save/c.DAT"))); }},
      {"a link to nowhere at a file's name",
       [this] {
         fs::remove(dir.File("save/b.DAT"));
         fs::create_symlink("nowhere", dir.File("save/b.DAT"));
       },
       pair, "save/b.DAT: a link that leads to no regular file",
       [this](const plat::SaveFailure&) { EXPECT_FALSE(fs::exists(dir.File("save/nowhere"))); }},
      {"a link to nowhere at the journal's name",
       [&, this] {
         fs::create_symlink("elsewhere", dir.File(journal));
         plat::FailNextAtomicRename(1);
       },
       pair, "Unable to Save A.INI",
       [&, this](const plat::SaveFailure&) {
         EXPECT_FALSE(fs::exists(dir.File("elsewhere")));
         EXPECT_EQ(fs::symlink_status(dir.File(journal)).type(), fs::file_type::regular);
       }},
      // Anything but a file or a link to one at a file's name is refused, not
      // replaced.
      {"a FIFO at a file's name",
       [this] {
         fs::remove(dir.File("save/b.DAT"));
         ASSERT_EQ(mkfifo(dir.File("save/b.DAT").c_str(), 0600), 0);
       },
       pair, "save/b.DAT: not a regular file",
       [this](const plat::SaveFailure&) { EXPECT_TRUE(fs::is_fifo(dir.File("save/b.DAT"))); }},
      // Looks: A.INI, b.DAT, the journal, A.INI and save on the way.
      {"a folder on the way that cannot be looked at",
       [] { plat::FailNextFileCall(plat::FileCall::Look, EIO, 4); }, pair, "save: Input/output error",
       [this](const plat::SaveFailure& f) {
         EXPECT_EQ(f.entry, plat::FolderEntry{"save"});
         EXPECT_EQ(dir.Read("save/b.DAT"), "old b");
       }},
      // The journal carries User.INI's bytes: no more open than the file.
      {"a journal of a file only its owner reads",
       [&, this] {
         fs::permissions(dir.File("A.INI"), fs::perms(0600));
         plat::FailNextAtomicRename(1);
       },
       pair, "Unable to Save A.INI",
       [&, this](const plat::SaveFailure&) {
         EXPECT_EQ(fs::status(dir.File(journal)).permissions(), fs::perms(0600));
       }},
      // The bound, at it and past it.
      {"a step of 64 MiB", [] {},
       {{dir.Path() + "\\A.INI", std::string(plat::kMostBytesSaved - 5, 'a')}, {dir.Path() + "\\save\\b.DAT", "new b"}},
       "", [](const plat::SaveFailure&) {}},
      {"a step of a byte more", [] {},
       {{dir.Path() + "\\A.INI", std::string(plat::kMostBytesSaved - 5, 'a')}, {dir.Path() + "\\save\\b.DAT", "new b!"}},
       "A.INI: larger than a save writes", [](const plat::SaveFailure& f) { EXPECT_EQ(f.error, plat::kTooLargeToSave); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : {std::string("save/c.DAT"), std::string("save/b.DAT"), journal})
      fs::remove_all(dir.File(name));
    dir.Write("A.INI", "old a");
    dir.Write("save/b.DAT", "old b");
    c.setUp();
    plat::SaveFailure failure;
    EXPECT_EQ(plat::WriteFilesTogether(dir.Path(), c.files, &failure), c.why.empty());
    EXPECT_EQ(failure.why, c.why);
    c.check(failure);
    // Saved whole, or, failed before the journal, nothing changed.
    if (c.why.empty()) {
      EXPECT_EQ(dir.Read("A.INI").size(), c.files[0].bytes.size());
    } else if (!failure.journalStands) {
      EXPECT_EQ(dir.Read("A.INI"), "old a");
    }
  }
}

}  // namespace
