// The save a killed game left unfinished, met at start: only a save of the
// game's own shape is applied; any other, and one that cannot be written,
// is kept aside with a word to the player, and the game starts.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/last_save.hpp"
#include "engine/profile_record.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/common/test_support.hpp"

namespace {

const std::string kJournal(plat::kSaveJournalName);
// Profile 1, whose save the start names, is Ann.
const std::string kProfiles = "Ann" + std::string(17, ' ') + std::string(364, 'p');
const std::string none = ", which is no profile's file";

// Text matched as it stands by a death test's pattern.
std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (std::strchr(".[]()*+?{}|^$\\", c)) out += '\\';
    out += c;
  }
  return out;
}

struct LastSave : ::testing::Test {
  void SetUp() override {
    std::filesystem::create_directory(dir.File("save"));
    dir.Write("User.INI", std::string(384, 'o'));
    dir.Write("save/user1.DAT", "old goods");
  }
  void TearDown() override { fw::TellOfLastSave(); }
  std::string Problem(const std::vector<plat::FileContent>& files) const {
    std::vector<plat::FileNow> now;
    for (const plat::FileContent& f : files) now.push_back(plat::FileNow::Of(dir.Path() + "\\" + f.gamePath));
    return fw::ProfileJournalProblem(files, now).problem;
  }
  fwtest::TempProgramFolder dir;
};

TEST_F(LastSave, OnlyTheProfilesAndTheirOwnEquipmentFilesMakeASave) {
  const std::string noTail = "User.INI in SaveJournal.bin holds 448 bytes where the six profiles take 384";
  const struct {
    std::vector<plat::FileContent> files;
    std::string problem;
  } cases[] = {
      {{{"User.INI", kProfiles}, {"save/user1.DAT", "g"}}, ""},
      {{{"user.ini", kProfiles}, {"Save/USER6.dat", "g"}}, ""},  // as the folder spells them
      // A save made while another profile's goods waited.
      {{{"User.INI", kProfiles}, {"save/user2.DAT", "g"}, {"save/user5.DAT", "g"}}, ""},
      {{{"User.INI", kProfiles}, {"save/user9.DAT", "g"}}, "SaveJournal.bin names save/user9.DAT" + none},
      {{{"User.INI", kProfiles}, {"save/user0.DAT", "g"}}, "SaveJournal.bin names save/user0.DAT" + none},
      {{{"User.INI", kProfiles}, {"save/user12.DAT", "g"}}, "SaveJournal.bin names save/user12.DAT" + none},
      {{{"User.INI", kProfiles}, {"user1.DAT", "g"}}, "SaveJournal.bin names user1.DAT" + none},
      {{{"User.INI", kProfiles}, {"save/user1.DAT", "g"}, {"Default.cfg", "g"}},
       "SaveJournal.bin names Default.cfg, which is no profile's file"},
      {{{"User.INI", kProfiles}, {"save/user1.DAT", "g"}, {"save/user1.DAT", "h"}},
       "SaveJournal.bin names save/user1.DAT twice"},
      {{{"User.INI", kProfiles}, {"User.INI", kProfiles}}, "SaveJournal.bin names User.INI twice"},
      // Every save is a step: the profiles alone, goods alone, a deletion.
      {{{"save/user1.DAT", "g"}}, ""},
      {{{"User.INI", kProfiles}}, ""},
      {{{"User.INI", kProfiles}, {"save/user3.DAT", "", true}}, ""},
      {{{"User.INI", "", true}, {"save/user1.DAT", "g"}}, "SaveJournal.bin removes User.INI"},
      // A seventh record the file does not have.
      {{{"User.INI", kProfiles + std::string(64, 's')}, {"save/user1.DAT", "g"}}, noTail},
      {{{"User.INI", std::string(383, 'p')}, {"save/user1.DAT", "g"}},
       "User.INI in SaveJournal.bin holds 383 bytes where the six profiles take 384"},
  };
  for (const auto& c : cases) EXPECT_EQ(Problem(c.files), c.problem) << c.files[0].gamePath << " " << c.files.size();

  // What follows the six records in the file is kept by the game's save.
  dir.Write("User.INI", std::string(384, 'o') + std::string(64, 't'));
  EXPECT_EQ(Problem({{"User.INI", kProfiles + std::string(64, 't')}, {"save/user1.DAT", "g"}}), "");
  EXPECT_EQ(Problem({{"User.INI", kProfiles}, {"save/user1.DAT", "g"}}), "");
  EXPECT_EQ(Problem({{"User.INI", kProfiles + std::string(64, 's')}, {"save/user1.DAT", "g"}}), noTail);
}

// Each of these stopped every start until the player deleted the journal.
TEST_F(LastSave, ASaveThatCannotBeFinishedIsKeptAsideNamedOnceAndTheGameStarts) {
  std::string damaged = plat::EncodeSaveJournal({{"User.INI", kProfiles}, {"save/user1.DAT", "new goods"}});
  damaged[12] ^= 1;
  // Another journal than the one kept before, so that a copy of it is made.
  std::string damagedOtherwise = damaged;
  damagedOtherwise[13] ^= 1;
  const auto before = plat::PreviousContent::Of(std::string(384, 'b'));
  const struct {
    const char* what;
    std::vector<plat::FileContent> files;
    std::string why;
    std::string bytes = "";  // the journal's, where files do not make it
    std::function<void()> fault = [] {};
  } cases[] = {
      {"save a plain file", {{"User.INI", kProfiles}, {"save/user1.DAT", "new goods"}}, "save is a file, not a folder"},
      {"a journal naming a folder", {{"User.INI", kProfiles}, {"save/user2.DAT", "new goods"}},
       "save/user2.DAT is a folder, not a file"},
      {"a profile that does not exist", {{"User.INI", kProfiles}, {"save/user9.DAT", "new goods"}},
       "SaveJournal.bin names save/user9.DAT" + none},
      {"a seventh record", {{"User.INI", kProfiles + std::string(64, 's')}, {"save/user1.DAT", "new goods"}},
       "User.INI in SaveJournal.bin holds 448 bytes where the six profiles take 384"},
      // Applied, it would throw away the new User.INI (not the one it replaced).
      {"a file changed after the save began", {{"User.INI", kProfiles, false, before}}, "User.INI was changed after the save began"},
      {"a journal damaged on the disk", {}, "SaveJournal.bin is damaged", damaged},
      // Removed once kept, it stays no more though its folder's sync failed
      // (the first sync is the kept copy's).
      {"a journal damaged on the disk, its folder's sync failing after its removal", {}, "SaveJournal.bin is damaged",
       damagedOtherwise, [] { plat::FailNextFileCall(plat::FileCall::SyncFolder, EIO, 1); }},
  };
  int k = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir.File("save"));
    if (k == 0) {
      dir.Write("save", "a file");
    } else {
      dir.Write("save/user1.DAT", "old goods");
      std::filesystem::create_directories(dir.File("save/user2.DAT"));
    }
    const std::string bytes = c.bytes.empty() ? plat::EncodeSaveJournal(c.files) : c.bytes;
    dir.Write(kJournal, bytes);
    c.fault();
    EXPECT_TRUE(fw::FinishLastSave(dir.Path()));
    const std::string kept = kJournal + ".unfinished-" + std::to_string(++k);
    // A damaged journal may have been cut after the killed game replaced a
    // file: the player hears what that can mean.
    const bool damaged = c.why == "SaveJournal.bin is damaged";
    EXPECT_EQ(fw::LastSaveNotice(),
              "The last save cannot be finished (" + c.why + "): it is kept aside as " + kept +
                  " in the game folder, and the game starts with the files as they stand" +
                  (damaged ? ", in which a profile's money and goods may no longer belong together." : "."));
    EXPECT_EQ(dir.Read(kept), bytes);
    EXPECT_FALSE(dir.Exists(kJournal));
    EXPECT_EQ(dir.Read("User.INI"), std::string(384, 'o'));
    EXPECT_FALSE(dir.Exists("save/user9.DAT"));
    // Told once: the next start meets nothing.
    fw::TellOfLastSave();
    EXPECT_EQ(fw::LastSaveNotice(), "");
    EXPECT_TRUE(fw::FinishLastSave(dir.Path()));
    EXPECT_EQ(fw::LastSaveNotice(), "");
  }
}

// The game never writes its journal through a link: a link at its name is
// none of the game's, so the link alone goes, unread, and the start says
// where it led; nothing it leads to is read, kept in the game folder or
// changed. A link that cannot be removed stops the start.
TEST_F(LastSave, ALinkAtTheJournalsNameIsRemovedUnread) {
  namespace fs = std::filesystem;
  fwtest::TempProgramFolder elsewhere;
  const std::string text = elsewhere.File("notes.txt");
  const struct {
    const char* what;
    std::string target;
    std::function<void()> fault = [] {};
    bool starts = true;
  } cases[] = {
      {"a link to a text file of the player's", text},
      {"a link to a journal elsewhere", elsewhere.File("journal")},
      {"a link loop", kJournal},
      {"a link to nowhere", "nowhere"},
      {"a link that cannot be removed", text, [] { plat::FailNextFileCall(plat::FileCall::Remove, EPERM); }, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    elsewhere.Write("notes.txt", "the player's notes");
    elsewhere.Write("journal", plat::EncodeSaveJournal({{"User.INI", kProfiles}, {"save/user1.DAT", "new goods"}}));
    fs::create_symlink(c.target, dir.File(kJournal));
    EXPECT_EXIT(
        {
          c.fault();
          const bool started = fw::FinishLastSave(dir.Path());
          std::exit(started == c.starts &&
                            fw::LastSaveNotice() ==
                                (c.starts ? "SaveJournal.bin was a link to " + c.target +
                                                ": removed unread; if it led to an unfinished save, money and goods "
                                                "may not belong together."
                                          : "")
                        ? 0
                        : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(fs::is_symlink(dir.File(kJournal)), !c.starts);
    EXPECT_FALSE(dir.Exists(kJournal + ".unfinished-1"));
    EXPECT_EQ(elsewhere.Read("notes.txt"), "the player's notes");
    EXPECT_EQ(dir.Read("User.INI") + dir.Read("save/user1.DAT"), std::string(384, 'o') + "old goods");
    fs::remove(dir.File(kJournal));
  }
}

// The start never plays one file of the step new beside another old: once
// a file holds its new content, a journal that cannot be finished stays for
// the next start.
TEST_F(LastSave, ASaveThatCannotBeFinishedWithAFileAlreadyNewStopsTheStartAndTheNextFinishesIt) {
  // A folder with room for files of `bytes` (what the start says goes to a
  // file too): 300 is too few for the 384 of User.INI, 1000 for the goods.
  const auto roomFor = [](rlim_t bytes) {
    return [bytes] {
      std::signal(SIGXFSZ, SIG_IGN);
      const rlimit small{bytes, bytes};
      setrlimit(RLIMIT_FSIZE, &small);
    };
  };
  const std::string newGoods(1500, 'g');
  const auto failGoodsWrite = [](int error) {
    return [error] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, error, 1); };
  };
  // What the start says stops it, and what would let the game start.
  const std::string folder = " the game folder " + Escaped(dir.Path());
  // The entry that refused, not the folder, is what the player must mend.
  const auto writable = [&folder](const std::string& entry) {
    return ": the game starts once " + entry + " in" + folder + " can be written\\.";
  };
  const std::string room = ": the game starts once the disk of" + folder + " has room\\.";
  const std::string sizeLimit = ": the game starts once the file size limit \\(ulimit -f\\) lets it write its files\\.";
  // A save folder that refuses the removal of a deleted profile's goods, as
  // it refuses a player: in the child that makes the start.
  const auto saveFolderRefuses = [this] {
    std::filesystem::permissions(dir.File("save"), std::filesystem::perms(0555));
    fwtest::DropFilePowers();
  };
  const struct {
    const char* what;
    bool userIniNew;
    std::function<void()> fault;
    std::string told;  // on standard error by the failing start, which ends
    bool removes = false;  // the step deletes the goods file
  } cases[] = {
      {"the second rename failing", false, [] { plat::FailNextAtomicRename(1); },
       "The last save cannot be finished \\(Unable to Save save/user1\\.DAT\\)" + writable("save/user1\\.DAT")},
      {"User.INI new, its temporary write failing", true, roomFor(300),
       "The last save cannot be finished \\(User\\.INI: File too large\\)" + sizeLimit},
      {"User.INI new, no room for the goods", true, failGoodsWrite(ENOSPC),
       "\\(save/user1\\.DAT: No space left on device\\)" + room},
      {"User.INI new, the goods' folder not ours", true, failGoodsWrite(EACCES),
       "\\(save/user1\\.DAT: Permission denied\\)" + writable("save/user1\\.DAT")},
      {"User.INI new, a read-only file system", true, failGoodsWrite(EROFS),
       "\\(save/user1\\.DAT: Read-only file system\\)" + writable("save/user1\\.DAT")},
      {"User.INI new, an I/O error", true, failGoodsWrite(EIO),
       "\\(save/user1\\.DAT: Input/output error\\): the game starts once the disk of" + folder +
           " reads and writes without errors\\."},
      {"User.INI new, a deletion the save folder refuses", true, saveFolderRefuses,
       "\\(save: Permission denied\\)" + writable("save"), true},
      // Kept aside and the game starts, as before.
      {"nothing new, the first write failing", false, roomFor(300), ""},
      {"room for User.INI, not the goods", false, roomFor(1000), ""},
      {"nothing new, a deletion the save folder refuses", false, saveFolderRefuses, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("User.INI", c.userIniNew ? kProfiles : std::string(384, 'o'));
    dir.Write("save/user1.DAT", "old goods");
    const std::string goodsAfter = c.removes ? "" : newGoods;
    dir.Write(kJournal, plat::EncodeSaveJournal({{"User.INI", kProfiles}, {"save/user1.DAT", goodsAfter, c.removes}}));
    const bool stays = !c.told.empty();
    EXPECT_EXIT(
        {
          c.fault();
          std::exit(fw::FinishLastSave(dir.Path()) ? 0 : 1);
        },
        ::testing::ExitedWithCode(stays ? 1 : 0), c.told);
    std::filesystem::permissions(dir.File("save"), std::filesystem::perms(0755));
    EXPECT_EQ(dir.Exists(kJournal), stays);
    EXPECT_EQ(dir.Read("save/user1.DAT"), "old goods");
    // The next start, with room.
    EXPECT_TRUE(fw::FinishLastSave(dir.Path()));
    EXPECT_FALSE(dir.Exists(kJournal));
    EXPECT_EQ(dir.Exists("save/user1.DAT"), !(stays && c.removes));
    EXPECT_EQ(dir.Read("User.INI") + dir.Read("save/user1.DAT"),
              stays ? kProfiles + goodsAfter : std::string(384, 'o') + "old goods");
  }
  // A folder where the goods should be, found before anything is written:
  // moved away, the next start finishes the step.
  std::filesystem::remove(dir.File("save/user1.DAT"));
  std::filesystem::create_directory(dir.File("save/user1.DAT"));
  dir.Write("User.INI", kProfiles);
  dir.Write(kJournal, plat::EncodeSaveJournal({{"User.INI", kProfiles}, {"save/user1.DAT", newGoods}}));
  EXPECT_EXIT(std::exit(fw::FinishLastSave(dir.Path()) ? 0 : 1), ::testing::ExitedWithCode(1),
              "\\(save/user1\\.DAT is a folder, not a file\\): the game starts once what stands in the way is "
              "moved out of" + folder + "\\.");
  std::filesystem::remove(dir.File("save/user1.DAT"));
  EXPECT_TRUE(fw::FinishLastSave(dir.Path()));
  EXPECT_EQ(dir.Read("save/user1.DAT"), newGoods);
}

// A save made while the journal of an unfinished one stands keeps that
// one's obligation, though its own files may show nothing new: a start that
// cannot finish it waits instead of playing the earlier save's new User.INI
// beside its old goods. A standing journal that was complete passes nothing
// on.
TEST_F(LastSave, ASaveMadeOverAnUnfinishedOneWaitsWhereTheFirstWould) {
  const std::string newGoods = "new goods";
  const auto save = [this](const std::vector<plat::FileContent>& files, const std::function<void()>& fault) {
    std::vector<plat::FileContent> paths = files;
    for (plat::FileContent& f : paths) f.gamePath = dir.Path() + "\\" + f.gamePath;
    fault();
    plat::WriteFilesTogether(dir.Path(), paths);
  };
  const auto killedAt = [save](plat::FileCall call, int skip) {
    return [save, call, skip](const std::vector<plat::FileContent>& files) {
      const pid_t child = ::fork();
      if (child == 0) {
        save(files, [call, skip] { plat::FailNextFileCall(call, 0, skip); });
        ::_exit(3);
      }
      int status = 0;
      ::waitpid(child, &status, 0);
      EXPECT_TRUE(WIFSIGNALED(status)) << status;
    };
  };
  const auto failing = [save](plat::FileCall call, int error, int skip) {
    return [save, call, error, skip](const std::vector<plat::FileContent>& files) {
      save(files, [call, error, skip] { plat::FailNextFileCall(call, error, skip); });
    };
  };
  using Save = std::function<void(const std::vector<plat::FileContent>&)>;
  const std::vector<plat::FileContent> pair{{"User.INI", kProfiles}, {"save/user1.DAT", newGoods}};
  const std::vector<plat::FileContent> deletion{{"User.INI", kProfiles}, {"save/user1.DAT", "", true}};
  const std::string folder = " in the game folder " + Escaped(dir.Path());
  const struct {
    const char* what;
    std::vector<plat::FileContent> first, later;
    Save saveFirst, saveLater;
    std::function<void()> startFault;
    std::string told;      // "": kept aside, the game plays
    std::string finished;  // User.INI and the goods once a start can finish
  } cases[] = {
      {"the goods' replacement refused, then again in a later save", pair, pair,
       failing(plat::FileCall::Rename, EPERM, 2), failing(plat::FileCall::Rename, EPERM, 2),
       [] { plat::FailNextFileCall(plat::FileCall::Rename, EPERM, 1); },
       "\\(save/user1\\.DAT: Operation not permitted\\): the game starts once the owner of save/user1\\.DAT" +
           folder + ", or an administrator, lets the game change it \\(chattr -i, or gives the file back\\)\\.",
       kProfiles + newGoods},
      {"a removal failing once, the later save killed after its journal, the start failing once", deletion, deletion,
       failing(plat::FileCall::Remove, EIO, 0), killedAt(plat::FileCall::Rename, 1),
       [] { plat::FailNextFileCall(plat::FileCall::Remove, EIO); },
       "\\(save/user1\\.DAT: Input/output error\\): the game starts once the disk of", kProfiles},
      {"a complete save whose journal stayed, then a later one", pair,
       {{"User.INI", std::string(384, 'q')}, {"save/user1.DAT", "later goods"}},
       failing(plat::FileCall::Remove, EIO, 0), failing(plat::FileCall::Rename, EIO, 1),
       [] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC); }, "", kProfiles + newGoods},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir.File("save"));
    for (int k = 1; k <= 3; ++k) std::filesystem::remove(dir.File(kJournal + ".unfinished-" + std::to_string(k)));
    dir.Write("User.INI", std::string(384, 'o'));
    dir.Write("save/user1.DAT", "old goods");
    c.saveFirst(c.first);
    c.saveLater(c.later);
    ASSERT_TRUE(dir.Exists(kJournal));
    const bool waits = !c.told.empty();
    EXPECT_EXIT(
        {
          c.startFault();
          std::exit(fw::FinishLastSave(dir.Path()) ? 0 : 1);
        },
        ::testing::ExitedWithCode(waits ? 1 : 0), waits ? c.told : "^$");
    EXPECT_EQ(dir.Exists(kJournal), waits);
    // The next start, the cause gone.
    EXPECT_TRUE(fw::FinishLastSave(dir.Path()));
    fw::TellOfLastSave();
    EXPECT_FALSE(dir.Exists(kJournal));
    EXPECT_EQ(dir.Exists("save/user1.DAT"), !c.later[1].remove);
    EXPECT_EQ(dir.Read("User.INI") + dir.Read("save/user1.DAT"), c.finished);
  }
}

// What cannot be read is never taken for what holds nothing of the step: a
// start that cannot read the journal, or a file that would tell whether the
// step began where the step cannot be written, waits, naming the entry that
// refused and the way out; a later save that cannot read the journal
// standing takes its obligation on. A file the start cannot read is kept
// aside before the step replaces it, and where no copy can be made nothing
// is written and the start waits. A file of a step that began, taken away
// since, is written; goods whose money User.INI holds are written over a
// file the player changed, kept aside first; any other change is told. One
// fault a row; the way out taken, the next start finishes the step.
TEST_F(LastSave, WhatCannotBeReadNeverCountsAsAStepNotBegun) {
  const std::string oldProfiles(384, 'o'), newGoods(1500, 'g'), tail(64, 't');
  const auto failRead = [](int error, int skip) {
    return [error, skip] { plat::FailNextFileCall(plat::FileCall::Read, error, skip); };
  };
  // Room for User.INI, not for the goods.
  const auto noRoomForGoods = [] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{1000, 1000};
    setrlimit(RLIMIT_FSIZE, &small);
  };
  // A pair a killed game left, the goods old, User.INI new where said; the
  // goods removed by the step where it deletes the profile.
  const auto killedDuring = [&, this](const std::string& profilesBefore, const std::string& profiles, bool userIniNew,
                                      bool removes = false) {
    dir.Write("User.INI", userIniNew ? profiles : profilesBefore);
    const auto userIniBefore = plat::PreviousContent::Of(profilesBefore);
    const auto goodsBefore = plat::PreviousContent::Of(std::string("old goods"));
    dir.Write(kJournal, plat::EncodeSaveJournal({{"User.INI", profiles, false, userIniBefore},
                                                 {"save/user1.DAT", removes ? "" : newGoods, removes, goodsBefore}}));
  };
  const auto pairSave = [this, &newGoods] {
    plat::WriteFilesTogether(dir.Path(),
                             {{dir.Path() + "\\User.INI", kProfiles}, {dir.Path() + "\\save\\user1.DAT", newGoods}});
  };
  const std::string inFolder = " in the game folder " + Escaped(dir.Path());
  const std::string sizeLimit =
      "\\(save/user1\\.DAT: File too large\\): the game starts once the file size limit \\(ulimit -f\\) lets it write "
      "its files\\.";
  const std::string giveUp = "; moving SaveJournal\\.bin out of the game folder gives the last save up, after which a "
                             "profile's money and goods may no longer belong together\\.";
  const std::string kept = ": it is kept aside as SaveJournal\\.bin\\.unfinished-1 in the game folder, and the game "
                           "starts with the files as they stand";
  const std::string mixed = kept + ", in which a profile's money and goods may no longer belong together\\.";
  const std::string movedOut = ": the game starts once what stands in the way is moved out of the game folder";
  namespace fs = std::filesystem;
  const auto gone = [this](const std::string& entry) { return [this, entry] { fs::remove_all(dir.File(entry)); }; };
  // A pair a killed game left, what stands at a name changed since.
  const auto changedSince = [&, this](bool userIniNew, const std::string& entry, const std::string& now) {
    return [&, this, userIniNew, entry, now] {
      killedDuring(oldProfiles, kProfiles, userIniNew);
      fs::remove_all(dir.File(entry));
      if (now == "/") {
        fs::create_directories(dir.File(entry));
      } else if (now != "-") {
        dir.Write(entry, now);
      }
    };
  };
  const auto noLinks = [](const std::function<void()>& fault) {
    return [fault] {
      fwtest::WithoutHardLinks();
      fault();
    };
  };
  const std::string changedGoods =
      "save/user1.DAT changed after the save began: it is kept aside as save/user1.DAT.changed-1, and the save of "
      "profile 1 (Ann) is finished.";
  struct Row {
    std::string what;
    std::function<void()> setUp, startFault;
    std::string told;  // "": the game plays, nothing said
    std::string finished;
    std::function<void()> mend = [] {};
    bool givesAFileAway = false;  // needs root
    bool keptAside = false;       // told is then the notice, and the game plays
    // A file kept aside and the step finished over it: told is then the
    // notice, and the game plays.
    bool keptFirst = false;
    bool untouched = false;  // waits with every file as it stood
    std::string copy = "";   // the one copy kept by the starts, and what it holds
    std::string copyHolds = "";
    std::string nextTold = "";  // the notice of the start after the mend
  };
  // A pair a killed game left, one of its files unreadable once (the start's
  // read of it failing) or for good (a file the player may not read): kept
  // aside, by a hard link or a copy streamed where no link can be made, and
  // the step finished; where neither can be made, nothing is written.
  const auto cannotRead = [&, this](const std::string& file, bool began, bool forGood, bool links) {
    const bool profiles = file == "User.INI", kept = links || !forGood;
    Row row;
    row.what = file + " unreadable " + (forGood ? "for good" : "once") +
               (began ? ", the step begun" : ", the step not begun") + (links ? "" : ", no hard links");
    row.setUp = [&, this, file, began, forGood, profiles] {
      killedDuring(oldProfiles, kProfiles, began);
      if (began && profiles) dir.Write("save/user1.DAT", newGoods);
      if (forGood) {
        ASSERT_EQ(::chmod(dir.File(file).c_str(), 0), 0);
      }
    };
    // Reads: the journal, User.INI, the goods.
    row.startFault = forGood ? std::function<void()>(fwtest::DropFilePowers) : failRead(EIO, profiles ? 1 : 2);
    if (!links) row.startFault = noLinks(row.startFault);
    const std::string cause = forGood ? "Permission denied" : "Input/output error";
    row.told = kept ? Escaped(file + " cannot be read (" + cause + "): it is kept aside as " + file +
                              ".damaged-1, and " + (profiles ? "the last save" : "the save of profile 1 (Ann)") +
                              " is finished.")
                    : "\\(" + Escaped(file) + " cannot be read and cannot be kept aside \\(" + cause +
                          "\\)\\): the game starts once " + Escaped(file) + inFolder + " can be read" + giveUp;
    row.finished = kProfiles + newGoods;
    if (!kept) row.mend = [this, file] { ASSERT_EQ(::chmod(dir.File(file).c_str(), 0644), 0); };
    row.keptFirst = kept;
    row.untouched = !kept;
    if (kept) row.copy = file + ".damaged-1";
    if (kept) row.copyHolds = !profiles ? "old goods" : began ? kProfiles : oldProfiles;
    return row;
  };
  // User.INI as the player edited it: 16 bytes appended, the money of
  // profile 3 or of profile 1 (whose save it is) changed in place.
  const auto appended = [](std::string profiles) { return profiles + std::string(16, 'x'); };
  const auto moneyOf = [](int profile) {
    return [profile](std::string profiles) {
      profiles[static_cast<size_t>(profile - 1) * fw::kProfileRecordBytes + fw::kProfileNumbersAt] ^= 1;
      return profiles;
    };
  };
  const std::function<std::string(std::string)> othersMoney = moneyOf(3), ownMoney = moneyOf(1);
  // A begun step (a purchase, or a deletion where said), then User.INI
  // edited and the goods file replaced by the player's bytes ("": left).
  const auto editedSince = [&, this](bool removes, const std::function<std::string(std::string)>& edit,
                                     const std::string& goods) {
    return [&, this, removes, edit, goods] {
      killedDuring(oldProfiles, kProfiles, true, removes);
      dir.Write("User.INI", edit(kProfiles));
      if (!goods.empty()) dir.Write("save/user1.DAT", goods);
    };
  };
  const std::string warned = ", in which the money and goods of profile 1 \\(Ann\\) may no longer belong together: "
                             "the goods of the save are kept in SaveJournal\\.bin\\.unfinished-1\\.";
  // A pair a killed game left (a deletion where said), the goods file the
  // player's since, and User.INI unreadable: once (the start's read of it
  // failing) or for good (a file the player may not read). Whether the goods
  // are owed turns on its record, so the start waits; once it reads, what is
  // owed is finished over the player's file kept aside, and a step that had
  // not begun is set aside.
  const auto recordUnread = [&, this](bool began, bool removes, int error, bool forGood) {
    Row row;
    row.what = std::string("User.INI unreadable ") + (forGood ? "for good" : "once (" + plat::SystemErrorText(error) + ")") +
               ", the goods file the player's" + (began ? ", the step begun" : ", the step not begun") +
               (removes ? ", a deletion" : "");
    row.setUp = [&, this, began, removes, forGood] {
      killedDuring(oldProfiles, kProfiles, began, removes);
      dir.Write("save/user1.DAT", "other goods");
      if (forGood) {
        ASSERT_EQ(::chmod(dir.File("User.INI").c_str(), 0), 0);
      }
    };
    row.startFault = forGood ? std::function<void()>(fwtest::DropFilePowers) : failRead(error, 1);
    row.told = "\\(User\\.INI: " + Escaped(plat::SystemErrorText(error)) + "\\): the game starts once " +
               (error == EIO ? "the disk of the game folder " + Escaped(dir.Path()) + " reads and writes without errors"
                             : "User\\.INI" + inFolder + " can be read") +
               giveUp;
    row.untouched = true;
    if (forGood) row.mend = [this] { ASSERT_EQ(::chmod(dir.File("User.INI").c_str(), 0644), 0); };
    row.nextTold = began ? changedGoods
                         : "The last save cannot be finished (save/user1.DAT was changed after the save began): it is "
                           "kept aside as SaveJournal.bin.unfinished-1 in the game folder, and the game starts with "
                           "the files as they stand.";
    row.finished = began ? kProfiles + (removes ? "" : newGoods) : oldProfiles + "other goods";
    if (began) row.copy = "save/user1.DAT.changed-1";
    if (began) row.copyHolds = "other goods";
    return row;
  };
  std::vector<Row> cases = {
      {"the journal cannot be read once", [&] { killedDuring(oldProfiles, kProfiles, true); }, failRead(EIO, 0),
       "\\(SaveJournal\\.bin: Input/output error\\): the game starts once the disk of the game folder " +
           Escaped(dir.Path()) + " reads and writes without errors" + giveUp,
       kProfiles + newGoods},
      {"another user's journal the player may not read",
       [&, this] {
         killedDuring(oldProfiles, kProfiles, true);
         ASSERT_EQ(::chown(dir.File(kJournal).c_str(), 65534, 65534), 0);
         ASSERT_EQ(::chmod(dir.File(kJournal).c_str(), 0600), 0);
       },
       fwtest::DropFilePowers,
       "\\(SaveJournal\\.bin: Permission denied\\): the game starts once the owner of SaveJournal\\.bin" + inFolder +
           ", or an administrator, gives it back" + giveUp,
       kProfiles + newGoods, [this] { ASSERT_EQ(::chown(dir.File(kJournal).c_str(), 0, 0), 0); }, true},
      // Reads: the journal, then User.INI.
      {"User.INI unreadable where the step cannot be finished", [&] { killedDuring(oldProfiles, kProfiles, true); },
       [&] {
         noRoomForGoods();
         failRead(EACCES, 1)();
       },
       "\\(User\\.INI: Permission denied\\): the game starts once User\\.INI" + inFolder + " can be read" + giveUp,
       kProfiles + newGoods},
      {"a User.INI with a tail the check cannot read",
       [&] { killedDuring(oldProfiles + tail, kProfiles + tail, false); }, failRead(EIO, 1),
       "\\(User\\.INI: Input/output error\\)", kProfiles + tail + newGoods},
      // Reads of the later save: its two files, then the journal.
      {"a later save that cannot read the journal standing",
       [&] {
         plat::FailNextAtomicRename(1);
         pairSave();
         plat::FailNextAtomicRename(1);
         failRead(EIO, 2)();
         pairSave();
       },
       noRoomForGoods, sizeLimit, kProfiles + newGoods},
      // Stricter than a start, which keeps a damaged journal aside.
      {"a later save that finds the journal standing damaged",
       [&, this] {
         plat::FailNextAtomicRename(1);
         pairSave();
         std::string journal = dir.Read(kJournal);
         journal[20] ^= 1;
         dir.Write(kJournal, journal);
         plat::FailNextAtomicRename(1);
         pairSave();
       },
       noRoomForGoods, sizeLimit, kProfiles + newGoods},
      // Not a read: the entry that refused is named where a journal can be
      // kept aside but not removed (another user's, in a folder where only
      // owners remove), not the player's own folder.
      {"another user's damaged journal in a folder where only owners remove",
       [this] {
         dir.Write(kJournal, "FWSAVEJ2 cut short");
         for (const std::string& entry : {dir.Path(), dir.File(kJournal)})
           ASSERT_EQ(::chown(entry.c_str(), 65534, 65534), 0);
         ASSERT_EQ(::chmod(dir.Path().c_str(), 01777), 0);
       },
       fwtest::DropFilePowers,
       "\\(SaveJournal\\.bin is damaged\\) nor kept aside \\(Unable to remove SaveJournal\\.bin: Operation not "
       "permitted\\): the game starts once the owner of SaveJournal\\.bin" +
           inFolder + ", or an administrator, lets the game change it",
       oldProfiles + "old goods",
       // The owner takes it away.
       [this] {
         ASSERT_EQ(::chown(dir.Path().c_str(), 0, 0), 0);
         ASSERT_EQ(::chmod(dir.Path().c_str(), 0700), 0);
         std::filesystem::remove(dir.File(kJournal));
         std::filesystem::remove(dir.File(kJournal + ".unfinished-1"));
       },
       true},
      {"a folder named like the journal", [this] { std::filesystem::create_directory(dir.File(kJournal)); }, [] {}, "",
       oldProfiles + "old goods"},
      // A file system answering EINVAL: a journal that is there, or none.
      {"the journal's read answering EINVAL", [&] { killedDuring(oldProfiles, kProfiles, true); },
       failRead(EINVAL, 0),
       "\\(SaveJournal\\.bin: Invalid argument\\): the game starts once SaveJournal\\.bin" + inFolder +
           " can be read" + giveUp,
       kProfiles + newGoods},
      {"a look answering EINVAL where no journal is", [] {},
       [] { plat::FailNextFileCall(plat::FileCall::Look, EINVAL); }, "", oldProfiles + "old goods"},
      // The save folder refused the look, not the goods file.
      {"another user's save folder the player may not search, the step not begun",
       [&, this] {
         killedDuring(oldProfiles, kProfiles, false);
         ASSERT_EQ(::chown(dir.File("save").c_str(), 65534, 65534), 0);
         ASSERT_EQ(::chmod(dir.File("save").c_str(), 0700), 0);
       },
       fwtest::DropFilePowers,
       "\\(save: Permission denied\\): the game starts once the owner of save" + inFolder +
           ", or an administrator, lets the game search it" + giveUp,
       kProfiles + newGoods,
       [this] {
         ASSERT_EQ(::chown(dir.File("save").c_str(), 0, 0), 0);
         ASSERT_EQ(::chmod(dir.File("save").c_str(), 0755), 0);
       },
       true},
      {"another user's save folder that refuses the goods, the step begun",
       [&, this] {
         killedDuring(oldProfiles, kProfiles, true);
         ASSERT_EQ(::chown(dir.File("save").c_str(), 65534, 65534), 0);
       },
       fwtest::DropFilePowers,
       "\\(save: Permission denied\\): the game starts once the owner of save" + inFolder +
           ", or an administrator, lets the game write it\\.",
       kProfiles + newGoods, [this] { ASSERT_EQ(::chown(dir.File("save").c_str(), 0, 0), 0); }, true},
      // The folder refused the look: being readable and writable does not
      // mend that, being searchable does.
      {"a save folder the player may not search, the step begun",
       [&, this] {
         killedDuring(oldProfiles, kProfiles, true);
         ASSERT_EQ(::chmod(dir.File("save").c_str(), 0600), 0);
       },
       fwtest::DropFilePowers,
       "\\(save: Permission denied\\): the game starts once save" + inFolder + " can be searched \\(chmod u\\+x\\)\\.",
       kProfiles + newGoods, [this] { ASSERT_EQ(::chmod(dir.File("save").c_str(), 0755), 0); }},
      {"a FIFO at the goods' name, the step begun",
       [&, this] {
         killedDuring(oldProfiles, kProfiles, true);
         fs::remove(dir.File("save/user1.DAT"));
         ASSERT_EQ(::mkfifo(dir.File("save/user1.DAT").c_str(), 0600), 0);
       },
       [] {}, "\\(save/user1\\.DAT: not a regular file\\)" + movedOut, kProfiles + newGoods, gone("save/user1.DAT")},
      // Syncs: the game folder's after User.INI, the save folder's after the goods.
      {"the save folder's sync failing, the step begun", [&] { killedDuring(oldProfiles, kProfiles, true); },
       [] { plat::FailNextFileCall(plat::FileCall::SyncFolder, EIO, 1); },
       "\\(save: Input/output error\\): the game starts once the disk of the game folder " + Escaped(dir.Path()) +
           " reads and writes without errors\\.",
       kProfiles + newGoods},
      {"a journal larger than any save",
       [this] {
         dir.Write(kJournal, "FWSAVEJ2");
         fs::resize_file(dir.File(kJournal), plat::kMostBytesSaved + (1 << 20));
       },
       [] {}, "\\(SaveJournal\\.bin is larger than any save\\)" + mixed, oldProfiles + "old goods", [] {}, false,
       true},
      // The copy goes again: one start, one copy at most.
      {"a damaged journal kept aside that cannot be removed", [this] { dir.Write(kJournal, "FWSAVEJ2 cut short"); },
       [] { plat::FailNextFileCall(plat::FileCall::Remove, EPERM); },
       "\\(SaveJournal\\.bin is damaged\\) nor kept aside \\(Unable to remove SaveJournal\\.bin: Operation not "
       "permitted\\): the game starts once the owner of SaveJournal\\.bin" +
           inFolder + ", or an administrator, lets the game change it",
       oldProfiles + "old goods", gone(kJournal)},
      // What a step that began lacks is written; what it would undo is told.
      {"a begun step whose goods file became a folder, moved out as told", changedSince(true, "save/user1.DAT", "/"),
       [] {}, "\\(save/user1\\.DAT is a folder, not a file\\)" + movedOut, kProfiles + newGoods,
       gone("save/user1.DAT")},
      {"a begun step whose save folder became a file, moved out as told", changedSince(true, "save", "a file"), [] {},
       "\\(save is a file, not a folder\\)" + movedOut, kProfiles + newGoods, gone("save")},
      {"a begun step whose goods file is gone", changedSince(true, "save/user1.DAT", "-"), [] {}, "",
       kProfiles + newGoods},
      {"a step not begun whose goods file is gone", changedSince(false, "save/user1.DAT", "-"), [] {},
       "\\(save/user1\\.DAT was changed after the save began\\)" + kept + "\\.", oldProfiles, [] {}, false, true},
      // User.INI new holds the money the goods were paid with: they are owed.
      {.what = "a begun step whose goods file the player replaced",
       .setUp = changedSince(true, "save/user1.DAT", "other goods"), .startFault = [] {},
       .told = Escaped(changedGoods), .finished = kProfiles + newGoods, .keptFirst = true,
       .copy = "save/user1.DAT.changed-1", .copyHolds = "other goods"},
      // The temporary files of User.INI and the goods come before the copy's.
      {.what = "a begun step whose goods file the player replaced, no hard links and no room for the copy",
       .setUp = changedSince(true, "save/user1.DAT", "other goods"),
       .startFault = noLinks([] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 2); }),
       .told = "\\(save/user1\\.DAT changed after the save began and cannot be kept aside \\(No space left on "
               "device\\)\\): the game starts once the disk of the game folder " + Escaped(dir.Path()) + " has room",
       .finished = kProfiles + newGoods, .untouched = true, .copy = "save/user1.DAT.changed-1",
       .copyHolds = "other goods", .nextTold = changedGoods},
      // A refit that leaves the money as it was pays for nothing.
      {.what = "a refit that leaves the money as it was, its goods file edited",
       .setUp =
           [&, this] {
             dir.Write(kJournal, plat::EncodeSaveJournal(
                                     {{"User.INI", oldProfiles, false, plat::PreviousContent::Of(oldProfiles)},
                                      {"save/user1.DAT", newGoods, false, plat::PreviousContent::Of("old goods")}}));
             dir.Write("save/user1.DAT", "the player's goods");
           },
       .startFault = [] {}, .told = "\\(save/user1\\.DAT was changed after the save began\\)" + kept + "\\.",
       .finished = oldProfiles + "the player's goods", .keptAside = true},
      // User.INI holds the step's record of profile 1, whatever changed in it
      // beside: the goods are owed, and User.INI stays as it stands.
      {.what = "a begun purchase, User.INI given a tail since, the goods file the player replaced",
       .setUp = editedSince(false, appended, "other goods"), .startFault = [] {}, .told = Escaped(changedGoods),
       .finished = appended(kProfiles) + newGoods, .keptFirst = true, .copy = "save/user1.DAT.changed-1",
       .copyHolds = "other goods"},
      {.what = "a begun purchase, another profile's money changed since, the goods file the player replaced",
       .setUp = editedSince(false, othersMoney, "other goods"), .startFault = [] {}, .told = Escaped(changedGoods),
       .finished = othersMoney(kProfiles) + newGoods, .keptFirst = true, .copy = "save/user1.DAT.changed-1",
       .copyHolds = "other goods"},
      {.what = "a begun purchase, User.INI given a tail since, the goods as the game left them",
       .setUp = editedSince(false, appended, ""), .startFault = [] {}, .told = "",
       .finished = appended(kProfiles) + newGoods},
      {.what = "a begun deletion, another profile's money changed since, the goods file the player replaced",
       .setUp = editedSince(true, othersMoney, "other goods"), .startFault = [] {}, .told = Escaped(changedGoods),
       .finished = othersMoney(kProfiles), .keptFirst = true, .copy = "save/user1.DAT.changed-1",
       .copyHolds = "other goods"},
      // The profile's own record is not the step's: set aside, and the
      // player hears where the goods of the money spent are.
      {.what = "a begun purchase, the profile's own money changed since, the goods file the player replaced",
       .setUp = editedSince(false, ownMoney, "other goods"), .startFault = [] {},
       .told = "\\(User\\.INI was changed after the save began\\)" + kept + warned,
       .finished = ownMoney(kProfiles) + "other goods", .keptAside = true},
      {.what = "a begun purchase, the profile's own money changed since, the goods as the game left them",
       .setUp = editedSince(false, ownMoney, ""), .startFault = [] {},
       .told = "\\(User\\.INI was changed after the save began\\)" + kept + warned,
       .finished = ownMoney(kProfiles) + "old goods", .keptAside = true},
      // A copy whose folder may not hold its name yet is none.
      {.what = "the goods unreadable once, the copy's folder not synced",
       .setUp = [&] { killedDuring(oldProfiles, kProfiles, true); },
       .startFault =
           [&] {
             failRead(EIO, 2)();
             plat::FailNextFileCall(plat::FileCall::SyncFolder, EIO);
           },
       .told = "\\(save/user1\\.DAT is kept aside as save/user1\\.DAT\\.damaged-1, but its folder could not be synced "
               "\\(save: Input/output error\\)\\): the game starts once the disk of the game folder",
       .finished = kProfiles + newGoods, .untouched = true, .copy = "save/user1.DAT.damaged-1",
       .copyHolds = "old goods"},
      // A copy kept before the step then failed is told with the failure.
      {.what = "the goods unreadable once, their replacement failing",
       .setUp = [&] { killedDuring(oldProfiles, kProfiles, false); },
       .startFault =
           [&] {
             failRead(EIO, 2)();
             plat::FailNextFileCall(plat::FileCall::Rename, EIO, 1);
           },
       .told = "\\(save/user1\\.DAT: Input/output error\\): the game starts once the disk of the game folder " +
               Escaped(dir.Path()) + " reads and writes without errors\\. save/user1\\.DAT cannot be read "
               "\\(Input/output error\\): it is kept aside as save/user1\\.DAT\\.damaged-1\\.",
       .finished = kProfiles + newGoods, .copy = "save/user1.DAT.damaged-1", .copyHolds = "old goods"},
  };
  for (const std::string file : {"User.INI", "save/user1.DAT"})
    for (const bool began : {true, false})
      for (const bool forGood : {false, true})
        for (const bool links : {true, false}) cases.push_back(cannotRead(file, began, forGood, links));
  for (const int error : {EIO, EACCES}) cases.push_back(recordUnread(true, false, error, false));
  cases.push_back(recordUnread(true, false, EACCES, true));
  cases.push_back(recordUnread(true, true, EIO, false));
  cases.push_back(recordUnread(true, true, EACCES, true));
  cases.push_back(recordUnread(false, false, EIO, false));
  std::string skipped;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.givesAFileAway && ::geteuid() != 0) {
      skipped += std::string(skipped.empty() ? "" : "; ") + c.what;
      continue;
    }
    for (const std::string& entry : {kJournal, kJournal + ".unfinished-1", std::string("save")})
      fs::remove_all(dir.File(entry));
    fs::remove(dir.File("User.INI.damaged-1"));
    dir.Write("User.INI", oldProfiles);
    dir.Write("save/user1.DAT", "old goods");
    c.setUp();
    const bool waits = !c.told.empty() && !c.keptAside && !c.keptFirst;
    // Each file's identity and bytes: nothing renamed over, nothing written.
    const auto files = [this] {
      std::string held;
      for (const std::string file : {"User.INI", "save/user1.DAT"}) {
        struct stat st {};
        ::stat(dir.File(file).c_str(), &st);
        held += std::to_string(st.st_ino) + ":" + dir.Read(file) + ";";
      }
      return held;
    };
    const std::string before = c.untouched ? files() : "";
    EXPECT_EXIT(
        {
          c.startFault();
          const bool plays = fw::FinishLastSave(dir.Path());
          std::fputs(fw::LastSaveNotice().c_str(), stderr);
          std::exit(plays ? 0 : 1);
        },
        ::testing::ExitedWithCode(waits ? 1 : 0), c.told.empty() ? "^$" : c.told);
    const fs::file_type journal = fs::symlink_status(dir.File(kJournal)).type();
    EXPECT_EQ(journal == fs::file_type::regular || journal == fs::file_type::symlink, waits);
    EXPECT_EQ(dir.Exists(kJournal + ".unfinished-1"), c.keptAside);
    if (c.untouched) {
      EXPECT_EQ(files(), before);
    }
    c.mend();
    EXPECT_TRUE(fw::FinishLastSave(dir.Path()));
    EXPECT_EQ(fw::LastSaveNotice(), c.nextTold);
    EXPECT_EQ(dir.Read("User.INI") + dir.Read("save/user1.DAT"), c.finished);
    for (const std::string copy : {"User.INI.damaged-1", "save/user1.DAT.damaged-1", "save/user1.DAT.changed-1"}) {
      EXPECT_EQ(dir.Exists(copy), copy == c.copy) << copy;
      if (copy != c.copy) continue;
      std::error_code missing;
      fs::permissions(dir.File(copy), fs::perms::owner_read, fs::perm_options::add, missing);
      EXPECT_EQ(dir.Read(copy), c.copyHolds);
    }
  }
  if (!skipped.empty()) GTEST_SKIP() << "rows that give a file to another user need root: " << skipped;
}

// A journal whose files all hold its content already has nothing left to
// do: it goes and the game starts without a word, even where nothing can be
// written. One that cannot be removed stays, and the game starts telling
// why, as every later save must replace it.
TEST_F(LastSave, AJournalWhoseFilesAreAllNewAlreadyOnlyGoes) {
  const std::string stays = "The last save is finished, but SaveJournal.bin stays (Unable to remove SaveJournal.bin: ";
  const std::string folder = "the game folder " + dir.Path();
  const struct {
    const char* what;
    std::function<void()> fault;
    std::string notice;  // "": the journal goes
  } cases[] = {
      {"a full disk", [] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC); }, ""},
      // Removed, it stays no more, though its folder's sync failed.
      {"its folder's sync failing after its removal", [] { plat::FailNextFileCall(plat::FileCall::SyncFolder, EIO); },
       ""},
      {"its removal failing", [] { plat::FailNextFileCall(plat::FileCall::Remove, EIO); },
       stays + "Input/output error): saves may fail until the disk of " + folder +
           " reads and writes without errors."},
      // Immutable, or another user's in a folder where only owners remove.
      {"its removal refused by its owner", [] { plat::FailNextFileCall(plat::FileCall::Remove, EPERM); },
       stays + "Operation not permitted): saves may fail until the owner of SaveJournal.bin in " + folder +
           ", or an administrator, lets the game change it (chattr -i, or gives the file back)."},
  };
  for (const auto& c : cases)
    for (const bool saysBefore : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (saysBefore ? "" : ", a journal of the earlier format"));
      std::optional<plat::PreviousContent> before;
      if (saysBefore) before = plat::PreviousContent::Of(std::string(384, 'o'));
      dir.Write("User.INI", kProfiles);
      dir.Write(kJournal, plat::EncodeSaveJournal({{"User.INI", kProfiles, false, before},
                                                   {"save/user1.DAT", "old goods", false, before}}));
      EXPECT_EXIT(
          {
            c.fault();
            std::exit(fw::FinishLastSave(dir.Path()) && fw::LastSaveNotice() == c.notice ? 0 : 1);
          },
          ::testing::ExitedWithCode(0), "^$");
      EXPECT_EQ(dir.Exists(kJournal), !c.notice.empty());
      EXPECT_EQ(dir.Read("User.INI") + dir.Read("save/user1.DAT"), kProfiles + "old goods");
    }
}

// A file the save would not change (a factory visit that bought nothing
// writes User.INI as it was) is no sign that the save began: such a journal
// that cannot be finished is kept aside and the game starts. A journal of
// the earlier format, which does not say what the file held, still waits.
TEST_F(LastSave, AFileTheSaveWouldNotChangeIsNoSignThatItBegan) {
  for (const bool saysBefore : {true, false}) {
    SCOPED_TRACE(saysBefore ? "this format" : "the earlier format");
    std::optional<plat::PreviousContent> profilesBefore, goodsBefore;
    if (saysBefore) {
      profilesBefore = plat::PreviousContent::Of(std::string(384, 'o'));
      goodsBefore = plat::PreviousContent::Of(std::string("old goods"));
    }
    dir.Write("User.INI", std::string(384, 'o'));
    dir.Write("save/user1.DAT", "old goods");
    dir.Write(kJournal, plat::EncodeSaveJournal({{"User.INI", std::string(384, 'o'), false, profilesBefore},
                                                 {"save/user1.DAT", "new goods", false, goodsBefore}}));
    EXPECT_EXIT(
        {
          plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 1);
          std::exit(fw::FinishLastSave(dir.Path()) ? 0 : 1);
        },
        ::testing::ExitedWithCode(saysBefore ? 0 : 1), saysBefore ? "^$" : "cannot be finished");
    EXPECT_EQ(dir.Exists(kJournal), !saysBefore);
    EXPECT_EQ(dir.Exists(kJournal + ".unfinished-1"), saysBefore);
    EXPECT_EQ(dir.Read("save/user1.DAT"), "old goods");
    std::filesystem::remove(dir.File(kJournal));
    std::filesystem::remove(dir.File(kJournal + ".unfinished-1"));
  }
}

// With every name to keep a journal under taken, one that could still be
// finished some day stops the start and stays; a damaged one, which no
// start can finish, goes.
TEST_F(LastSave, ASaveThatCanNeitherBeFinishedNorKeptAsideStopsTheStartAndStays) {
  for (int k = 1; k <= 999; ++k) dir.Write(kJournal + ".unfinished-" + std::to_string(k), "");
  std::filesystem::remove_all(dir.File("save"));
  dir.Write("save", "a file");
  const std::string journal =
      plat::EncodeSaveJournal({{"User.INI", kProfiles}, {"save/user1.DAT", "new goods"}});
  for (const bool damaged : {false, true}) {
    SCOPED_TRACE(damaged ? "damaged" : "whole");
    dir.Write(kJournal, damaged ? journal.substr(0, journal.size() - 1) : journal);
    EXPECT_EQ(fw::FinishLastSave(dir.Path()), damaged);
    EXPECT_EQ(dir.Exists(kJournal), !damaged);
    EXPECT_EQ(dir.Read("User.INI"), std::string(384, 'o'));
  }
}

}  // namespace
