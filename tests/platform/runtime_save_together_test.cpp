// Several files saved as one step through a journal.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/runtime/files.hpp"
#include "platform/runtime/game_files.hpp"
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
  // On a file system with neither hard links nor renames that refuse to
  // replace, the copy takes its name by a plain rename onto a name a look
  // finds free just before: one taken since it was chosen is never renamed
  // over, and the next free one is used.
  dir.Write("save/c.DAT", "old c");
  EXPECT_EQ(fwtest::AnswerInChild([this] {
              fwtest::WithoutHardLinks();
              plat::ActAtNextFileCall(plat::FileCall::Rename,
                                      [this] { dir.Write("save/c.DAT.damaged-1", "someone else's"); });
              return plat::KeepCopyAside(dir.Path() + "\\save\\c.DAT", "damaged");
            }),
            "c.DAT.damaged-2");
  EXPECT_EQ(dir.Read("save/c.DAT.damaged-1"), "someone else's");
  EXPECT_EQ(dir.Read("save/c.DAT.damaged-2"), "old c");
}

// Where no hard link can be made (the file on another file system, a link at
// its name, or a file system that makes none and no renames that refuse to
// replace either), the copy is streamed: whole under its name with the
// file's bits, or not there, whatever call of it a kill meets, and the next
// start clears what it began. One copy a file: the newest holding it
// already is named again. What no copy could be made of is told by its own
// cause. Only the rows over a second file system need one (/dev/shm where
// it is another); the rest stream on a file system without hard links.
TEST_F(SaveTogether, ACopyIsKeptAsideWholeOrNotAtAllAndOnceForEachFile) {
  namespace fs = std::filesystem;
  char shm[] = "/dev/shm/fwkept-XXXXXX";
  struct stat there {}, here {};
  const bool madeAtShm = ::mkdtemp(shm) != nullptr;
  const bool secondFileSystem = madeAtShm && ::stat(shm, &there) == 0 &&
                                ::stat(dir.Path().c_str(), &here) == 0 && there.st_dev != here.st_dev;
  if (madeAtShm && !secondFileSystem) fs::remove_all(shm);
  const std::string other = secondFileSystem ? std::string(shm) : dir.File("elsewhere");
  fs::create_directories(other);
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
  // The copy's name, or why none was made; on a file system without hard
  // links (in a child, which cannot undo it) where linkless, and as a
  // player, whom a file's mode refuses, where asked.
  const auto keep = [&name](bool linkless, std::string_view tag = "damaged", bool asPlayer = false) {
    const auto body = [&] {
      int error = 0;
      const std::string kept = plat::KeepCopyAside(name, tag, &error);
      return kept.empty() ? plat::SystemErrorText(error) : kept;
    };
    if (!linkless) {
      std::optional<fwtest::WithoutFilePowers> player;
      if (asPlayer) player.emplace();
      return body();
    }
    return fwtest::AnswerInChild([&] {
             fwtest::WithoutHardLinks();
             if (asPlayer) fwtest::DropFilePowers();
             return body();
           }).value_or("no answer");
  };
  bool leftOut = false;  // rows that need a second file system, where there is none
  for (const bool linkless : {false, true})
    for (const plat::FileCall call : {plat::FileCall::Link, plat::FileCall::Read, plat::FileCall::WriteTemporary,
                                      plat::FileCall::Rename, plat::FileCall::SyncFolder}) {
      SCOPED_TRACE((linkless ? "no hard links, killed at call " : "killed at call ") +
                   std::to_string(static_cast<int>(call)));
      if (!linkless && !secondFileSystem) {
        leftOut = true;
        continue;
      }
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        if (linkless) fwtest::WithoutHardLinks();
        plat::FailNextFileCall(call, 0);
        plat::KeepCopyAside(name, "damaged");
        ::_exit(3);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
      if (fs::exists(fs::symlink_status(dir.File("save/u.DAT.damaged-1")))) keptWhole("u.DAT.damaged-1");
      // The next start, on the same file system.
      plat::RemoveStaleSaveFiles(dir.Path() + "\\save");
      for (const auto& e : fs::directory_iterator(dir.File("save")))
        EXPECT_FALSE(e.path().filename().string().ends_with(".fwsave")) << e.path();
      EXPECT_EQ(keep(linkless), "u.DAT.damaged-1");
      keptWhole("u.DAT.damaged-1");
      // Kept once, in this run or a later one.
      EXPECT_EQ(keep(linkless), "u.DAT.damaged-1");
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
  // Streamed: over the second file system, or without hard links.
  const bool linkless = !secondFileSystem;
  EXPECT_EQ(keep(linkless), "u.DAT.damaged-1");
  fs::permissions(other + "/u.DAT", fs::perms(0600));
  EXPECT_EQ(keep(linkless), "u.DAT.damaged-2");
  std::ofstream(other + "/u.DAT", std::ios::binary | std::ios::app) << "more";
  EXPECT_EQ(keep(linkless), "u.DAT.damaged-3");

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
    EXPECT_EQ(keep(linkless, "changed", true), plat::SystemErrorText(c.error));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.File("save/u.DAT.changed-1"))));
  }
  fs::remove_all(other);
  if (leftOut) GTEST_SKIP() << "no second file system at /dev/shm: its rows alone were left out";
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
      // Placed, the journal stands though its folder's sync failed; no file
      // of the step changed yet, so a start may still set it aside.
      {"the journal placed, its folder's sync failing",
       [] { plat::FailNextFileCall(plat::FileCall::SyncFolder, EIO); }, pair, "the game folder: Input/output error",
       [](const plat::SaveFailure& f) {
         EXPECT_TRUE(f.journalStands);
         EXPECT_FALSE(f.begun);
       }},
      // Placed over a step that began and did not end, it stands as one
      // begun: the next start waits rather than set it aside.
      {"the journal placed over an unfinished step, its folder's sync failing",
       [&, this] {
         dir.Write("A.INI", "mid a");
         dir.Write(journal, plat::EncodeSaveJournal(
                                {{"A.INI", "mid a", false, plat::PreviousContent::Of(std::string("old a"))},
                                 {"save/c.DAT", "new c", false, plat::PreviousContent::Of(std::nullopt)}}));
         plat::FailNextFileCall(plat::FileCall::SyncFolder, EIO);
       },
       pair, "the game folder: Input/output error",
       [](const plat::SaveFailure& f) {
         EXPECT_TRUE(f.journalStands);
         EXPECT_TRUE(f.begun);
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

// A step replaces a file only where it holds the bytes the game read there
// (or nothing stands where it found nothing): one put there since, by hand
// or through a link, or changed since, refuses the step before anything is
// written; one only touched, copied back or on a drive mounted again is the
// game's own. What the step leaves is what the game read for its next save.
TEST_F(SaveTogether, AStepReplacesOnlyWhatTheGameRead) {
  namespace fs = std::filesystem;
  const std::string b = dir.Path() + "\\save\\b.DAT";
  fwtest::TempProgramFolder elsewhere;
  elsewhere.Write("b.DAT", "player's b");
  const struct {
    const char* what;
    bool readAFile;                  // b.DAT stood when the game read it
    std::function<void()> since;     // what happens between the read and the save
    std::string after;               // what b.DAT holds after the save ("": no file)
  } cases[] = {
      {"nothing changed", true, [] {}, "new b"},
      {"nothing was there nor came", false, [this] { fs::remove(dir.File("save/b.DAT")); }, "new b"},
      {"a copy of the same bytes put in its place", true,
       [this] {
         dir.Write("save/b.new", "old b");
         fs::rename(dir.File("save/b.new"), dir.File("save/b.DAT"));
       },
       "new b"},
      {"a copy of other bytes put in its place", true,
       [this] {
         dir.Write("save/b.new", "odd b");
         fs::rename(dir.File("save/b.new"), dir.File("save/b.DAT"));
       },
       "odd b"},
      {"touched", true,
       [this] { fs::last_write_time(dir.File("save/b.DAT"), fs::last_write_time(dir.File("save/b.DAT")) + std::chrono::hours(1)); },
       "new b"},
      {"its mode changed and put back", true,
       [this] {
         fs::permissions(dir.File("save/b.DAT"), fs::perms(0600));
         fs::permissions(dir.File("save/b.DAT"), fs::perms(0644));
       },
       "new b"},
      {"on a drive mounted again under another number", true, [] { plat::ShiftReportedDevice(1); }, "new b"},
      {"rewritten in place at its size, its time put back", true,
       [this] {
         const auto time = fs::last_write_time(dir.File("save/b.DAT"));
         dir.Write("save/b.DAT", "odd b");
         fs::last_write_time(dir.File("save/b.DAT"), time);
       },
       "odd b"},
      {"changed in place", true, [this] { dir.Write("save/b.DAT", "old b, longer"); }, "old b, longer"},
      {"a file come where there was none", false, [this] { dir.Write("save/b.DAT", "player's"); }, "player's"},
      {"removed since", true, [this] { fs::remove(dir.File("save/b.DAT")); }, ""},
      {"a link to a file elsewhere put at its name", true,
       [&, this] {
         fs::remove(dir.File("save/b.DAT"));
         fs::create_symlink(elsewhere.File("b.DAT"), dir.File("save/b.DAT"));
       },
       "player's b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir.File("save"));
    fs::create_directory(dir.File("save"));
    if (c.readAFile) dir.Write("save/b.DAT", "old b");
    const plat::SavedFileRead read = plat::ReadSavedFile(b);
    ASSERT_TRUE(read.found.LookedAt());
    c.since();
    plat::SaveFailure failure;
    std::vector<plat::FoundAtName> landed;
    const bool saved = plat::WriteFilesTogether(
        dir.Path(), {{dir.Path() + "\\A.INI", "new a"}, {b, "new b", false, std::nullopt, read.found}}, &failure,
        &landed);
    plat::ShiftReportedDevice(0);
    EXPECT_EQ(saved, c.after == "new b");
    EXPECT_EQ(dir.Exists("save/b.DAT") ? dir.Read("save/b.DAT") : "", c.after);
    EXPECT_EQ(elsewhere.Read("b.DAT"), "player's b");
    ASSERT_EQ(landed.size(), 2u);
    if (saved) {
      EXPECT_EQ(dir.Read("A.INI"), "new a");
      // The game's own save is what it read: the next goes on.
      ASSERT_TRUE(landed[1].IsFile());
      EXPECT_FALSE(plat::MayReplace(b, landed[1]));
      EXPECT_TRUE(plat::WriteFilesTogether(dir.Path(), {{b, "newer b", false, std::nullopt, landed[1]}}));
    } else {
      EXPECT_EQ(failure.why, "save/b.DAT: changed since the game read it");
      EXPECT_EQ(failure.error, plat::kChangedSinceRead);
      EXPECT_EQ(dir.Read("A.INI"), "old a");
      EXPECT_FALSE(dir.Exists(std::string(plat::kSaveJournalName)));
      EXPECT_FALSE(landed[1].LookedAt());
    }
    dir.Write("A.INI", "old a");
  }
}

// A link at one of the game's files that leads to the entry of another
// would have the step write one over the other: refused, naming the link and
// the file, before anything is written. Two hard links stay two names, and
// the journal is the game's own name whatever stands there.
TEST_F(SaveTogether, AStepNeverWritesOneGameFileThroughAnothersName) {
  namespace fs = std::filesystem;
  const struct {
    const char* what;
    std::string link;    // relative path of the link, "" for none
    std::string target;  // what it holds; for a hard link, the file it is a second name of
    std::string saved;   // the game file saved
    std::string reached;  // the file whose entry the saved name leads to
    std::string why;     // "": saved
  } cases[] = {
      {"goods linked to the profiles", "save/user1.DAT", "../User.INI", "save/user1.DAT", "User.INI",
       "save/user1.DAT: a link to User.INI, another of the game's files"},
      {"goods linked to the profiles by a full path", "save/user1.DAT", dir.File("User.INI"), "save/user1.DAT",
       "User.INI", "save/user1.DAT: a link to User.INI, another of the game's files"},
      {"goods linked to the settings", "save/user1.DAT", "../Default.cfg", "save/user1.DAT", "Default.cfg",
       "save/user1.DAT: a link to Default.cfg, another of the game's files"},
      {"the profiles linked to a second profile's goods", "User.INI", "save/user2.DAT", "User.INI", "save/user2.DAT",
       "User.INI: a link to save/user2.DAT, another of the game's files"},
      {"goods linked to the journal's name", "save/user1.DAT", "../SaveJournal.bin", "save/user1.DAT",
       "SaveJournal.bin", "save/user1.DAT: a link to SaveJournal.bin, another of the game's files"},
      {"goods linked to a file of the player's", "save/user1.DAT", "../mine.DAT", "save/user1.DAT", "mine.DAT", ""},
      {"goods hard-linked to the profiles", "", "User.INI", "save/user1.DAT", "save/user1.DAT", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir.File("save"));
    fs::create_directory(dir.File("save"));
    for (const std::string& f : {std::string("User.INI"), std::string("Default.cfg"), std::string("mine.DAT"),
                                 std::string("save/user2.DAT"), std::string(plat::kSaveJournalName)}) {
      fs::remove(dir.File(f));
      dir.Write(f, "player's " + f);
    }
    if (!c.link.empty()) {
      fs::remove(dir.File(c.link));
      fs::create_symlink(c.target, dir.File(c.link));
    } else {
      fs::create_hard_link(dir.File(c.target), dir.File(c.saved));
    }
    plat::SaveFailure failure;
    const std::string path = dir.Path() + "\\" + c.saved;
    EXPECT_EQ(plat::WriteFilesTogether(dir.Path(), {{path, "new"}}, &failure), c.why.empty());
    EXPECT_EQ(failure.why, c.why);
    // Only the file the save reached may hold what it wrote.
    for (const std::string& f : {std::string("User.INI"), std::string("Default.cfg"), std::string("save/user2.DAT")})
      if (f != c.link && (f != c.reached || !c.why.empty())) {
        EXPECT_EQ(dir.Read(f), "player's " + f) << f;
      }
    EXPECT_EQ(dir.Read(c.reached), c.why.empty() ? "new" : "player's " + c.reached);
    EXPECT_EQ(fs::is_symlink(dir.File(c.saved)), !c.link.empty());
  }
  EXPECT_EQ(plat::GameFiles().size(), 8u);
}

// A folder that refuses the temporary file is named: for a file reached
// through a link, the folder of the file it leads to, where it goes.
TEST_F(SaveTogether, AFolderThatRefusesIsTheOneNamed) {
  namespace fs = std::filesystem;
  fwtest::TempProgramFolder elsewhere;
  elsewhere.Write("b.DAT", "player's b");
  fs::remove(dir.File("save/b.DAT"));
  fs::create_symlink(elsewhere.File("b.DAT"), dir.File("save/b.DAT"));
  fs::permissions(elsewhere.Path(), fs::perms(0555));
  plat::SaveFailure failure;
  {
    const fwtest::WithoutFilePowers asAPlayer;
    EXPECT_FALSE(plat::WriteFilesTogether(dir.Path(), {{dir.Path() + "\\save\\b.DAT", "new b"}}, &failure));
  }
  fs::permissions(elsewhere.Path(), fs::perms(0755));
  EXPECT_EQ(failure.why, elsewhere.Path() + ": Permission denied");
  EXPECT_EQ(elsewhere.Read("b.DAT"), "player's b");
}

}  // namespace
