// The player's money and goods on disk: damaged files, and saves that must
// never part money from goods.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/last_save.hpp"
#include "engine/message_box.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/common/deletion_calls.hpp"
#include "tests/common/test_support.hpp"
#include "tests/data/data_test_support.hpp"

namespace {

const std::string kDeletionFailed = "Unable to delete the profile (User.INI and user2.DAT): ";
// The player's own goods, and what a save that keeps them aside tells.
const std::string kPlayers = "\"Mine\",1,0\r\n";
const std::string kPlayersKept =
    "save/user2.DAT changed since the game read it: it is kept aside as save/user2.DAT.changed-1 before the goods of "
    "profile 2 (P2) are saved.";

class Goods : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::LastError.clear();
    plat::MakeDir(fw::AppPath + "\\save");
    Choose(users, 2);
    users.ReadUser();
    for (int i = 1; i <= 6; ++i) {
      FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
      users.Item(i)->Name = "P" + std::to_string(i);
      FW_LIBRARY_FALSE_ALARM_END
      users.Item(i)->Money = 100 * i;
    }
  }
  static void Choose(fw::UsersClass& u, int n) { datatest::Choose(u, n); }
  // Money of the current profile and the goods in its file, as a fresh
  // start reads them.
  std::string OnDisk(int n = 2) const {
    fw::UsersClass fresh;
    Choose(fresh, n);
    fresh.ReadUser();
    fresh.LoadEQUFile();
    std::string goods;
    for (const auto& item : *fresh.UserEQU) goods += item->ID + ";";
    return std::to_string(fresh.NowItem()->Money) + "|" + goods;
  }
  // Profile n reset and its goods file removed, as DEL saves them.
  static bool DeleteIn(fw::UsersClass& u, int32_t n) {
    u.NewUser(n);
    u.NowUser = n;
    u.NowItem()->Mission = 1;
    u.NowItem()->Money = 1500;
    return u.SaveUserRemovingEQU(n, fw::AppPath + "\\save\\user" + std::to_string(n) + ".DAT");
  }
  bool Delete(int32_t n = 2) { return DeleteIn(users, n); }
  // A game started in a folder holding nothing: profile 2 chosen, named P2
  // and given 200, nothing saved yet.
  void StartAnew(fw::UsersClass& u) {
    std::filesystem::remove_all(dir.File("save"));
    std::filesystem::remove(dir.File("User.INI"));
    plat::MakeDir(fw::AppPath + "\\save");
    Choose(u, 2);
    u.ReadUser();
    u.Item(2)->Name = "P2";
    u.NowItem()->Money = 200;
  }
  // The player's goods file put at profile 2's name, a file of its own.
  void PutPlayersFile() {
    std::filesystem::remove(dir.File("save/user2.DAT"));
    dir.Write("save/user2.DAT", kPlayers);
  }
  void Buy(const std::string& item, int32_t money) {
    users.UserEQU->Add("", 1, item, 0);
    users.NowItem()->Money = money;
  }
  fwtest::TempProgramFolder dir;
  fw::UsersClass users;
};

TEST_F(Goods, AFailedPairSaveIsWrittenWholeByTheNextSaveOfAnyKind) {
  ASSERT_TRUE(users.SaveMoneyAndGoods());
  Buy("Laser", 150);
  // Each step of the pair can fail; the goods then wait for the next save.
  for (int failAt : {0, 1, 2}) {
    SCOPED_TRACE(failAt);
    plat::FailNextAtomicRename(failAt);
    EXPECT_FALSE(users.SaveMoneyAndGoods());
    // Past the journal's rename the step may still land; before a file is
    // new, the next start may set it aside instead.
    const char* outcomes[] = {"", "; the next start finishes it if it can, or sets it aside, unless a later save comes first",
                              "; the next start finishes it unless a later save comes first"};
    EXPECT_EQ(fw::LastError, std::string("Unable to Save User.INI and user2.DAT") + outcomes[failAt]);
    // The battle's and the end screen's save: profiles only, but the goods
    // go with them.
    users.NowItem()->Kill = failAt;
    ASSERT_TRUE(users.SaveUser());
    EXPECT_EQ(OnDisk(), "150|Laser;");
    EXPECT_FALSE(dir.Exists(std::string(plat::kSaveJournalName)));
    users.UserEQU->RemoveAll();
    users.NowItem()->Money = 200;
    ASSERT_TRUE(users.SaveMoneyAndGoods());
    Buy("Laser", 150);
  }
  // With nothing waiting, the profiles' save leaves the goods file alone.
  users.UserEQU->RemoveAll();
  ASSERT_TRUE(users.SaveUser());
  EXPECT_EQ(OnDisk(), "150|");
}

// The profile screen reads the profiles again before the player takes
// another one: goods of a failed save wait on only while the file holds the
// money they went with, and then go out with the other profile's save. A
// save of that profile's goods alone takes them along, beside their money
// (never alone, and never dropping the journal they still need), even with
// no reading in between.
TEST_F(Goods, GoodsWaitingForOneProfileGoOutWithAnothersSaveOnlyBesideTheirMoney) {
  const auto failRename = [](int failAt) { return [failAt] { plat::FailNextAtomicRename(failAt); }; };
  const struct {
    const char* what;
    std::function<void()> fault;
    bool readAgain;
    bool goodsAlone;  // the next save is SaveEQUFile's
    std::string profile2;
    int next = 3;  // the profile saved next
  } cases[] = {
      // The journal's rename: the file holds the old money.
      {"the journal's rename", failRename(0), true, false, "200|"},
      // The goods' rename: User.INI already holds 150.
      {"the goods' rename", failRename(2), true, false, "150|Laser;"},
      {"the goods' rename, goods alone", failRename(2), true, true, "150|Laser;"},
      {"before the journal, goods alone, nothing read",
       [] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 1); }, false, true, "150|Laser;"},
      // The goods wait for the profile that saves them alone.
      {"before the journal, the same profile's goods alone",
       [] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 1); }, false, true, "150|Laser;", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(dir.File("save/user3.DAT"));
    Choose(users, 2);
    users.UserEQU->RemoveAll();
    users.NowItem()->Money = 200;
    ASSERT_TRUE(users.SaveMoneyAndGoods());
    Buy("Laser", 150);
    c.fault();
    EXPECT_FALSE(users.SaveMoneyAndGoods());
    if (c.readAgain) users.ReadUser();
    // The player takes another profile and shops there.
    if (c.next == 3) {
      Choose(users, 3);
      users.LoadEQUFile();
      Buy("Shield", 250);
    }
    ASSERT_TRUE(c.goodsAlone ? users.SaveEQUFile() : users.SaveMoneyAndGoods());
    EXPECT_FALSE(dir.Exists(std::string(plat::kSaveJournalName)));
    ASSERT_TRUE(fw::FinishLastSave(fw::AppPath));
    EXPECT_EQ(OnDisk(2), c.profile2);
    if (c.next == 3) {
      EXPECT_EQ(OnDisk(3), "250|Shield;");
    }
  }
}

// Goods that wait are the profile's own: read back while they wait (YES on
// the profile screen after its own save failed), they are what the factory
// shows, not the older file's.
TEST_F(Goods, GoodsThatWaitAreWhatTheProfileHoldsWhenReadAgain) {
  ASSERT_TRUE(users.SaveMoneyAndGoods());
  Buy("Laser", 150);
  plat::FailNextAtomicRename(2);
  ASSERT_FALSE(users.SaveMoneyAndGoods());
  users.ReadUser();
  plat::FailNextAtomicRename();
  ASSERT_FALSE(users.SaveUser());
  users.LoadEQUFile();
  ASSERT_EQ(users.UserEQU->Count(), 1);
  EXPECT_EQ(users.UserEQU->Item(1)->ID, "Laser");
}

// A save knows what it wrote whatever a look at any of its calls says: a
// look fails at call k of the save, k from the first until one the save no
// longer reaches. Profile 2 buys a Laser (150) and the goods' rename fails:
// where User.INI landed, the goods are owed, and a read, YES of another
// profile, YES of profile 2 and a start write the Laser beside the money
// spent; where it did not, neither. A save that landed is the game's own
// file to the next: the next purchase is not refused, and the profiles'
// next save keeps no User.INI of the game's aside. A purchase, the battle's
// save and the end screen's, a look or a read failing once anywhere along
// them, keep no copy of a file that holds the game's own bytes (a failed
// look or read is no damaged file) and leave the money beside its goods.
TEST_F(Goods, ASaveKnowsWhatItWroteWhateverALookAtAnyOfItsCallsSays) {
  namespace fs = std::filesystem;
  enum Row { kHalfLanded, kPurchaseThenPurchase, kProfilesThenProfiles, kPurchaseBattleEnd };
  const struct {
    const char* what;
    Row row;
    plat::FileCall call = plat::FileCall::Look;
    // Every file's time moved before the purchase, its bytes left as they
    // are (as a backup tool may): only the bytes tell the game's own file.
    bool touched = false;
  } rows[] = {
      {"a purchase whose goods' rename fails", kHalfLanded},
      {"purchase then purchase", kPurchaseThenPurchase},
      {"User.INI save then save", kProfilesThenProfiles},
      {"a purchase, the battle and the end screen, a look failing", kPurchaseBattleEnd},
      {"a purchase, the battle and the end screen, a read failing", kPurchaseBattleEnd, plat::FileCall::Read},
      {"the files touched, a purchase, the battle and the end screen, a read failing", kPurchaseBattleEnd,
       plat::FileCall::Read, true},
  };
  const auto copies = [this] {
    std::string names;
    for (const std::string folder : {".", "save"})
      for (const auto& e : fs::directory_iterator(dir.File(folder)))
        if (const std::string name = e.path().filename().string();
            name.find(".changed-") != std::string::npos || name.find(".damaged-") != std::string::npos)
          names += e.path().string() + " ";
    return names;
  };
  for (const auto& r : rows) {
    int halfLanded = 0;
    const bool failedBefore = HasFailure();  // each row stops at its own first failure
    for (int k = 0;; ++k) {
      SCOPED_TRACE(std::string(r.what) + ", the call failing after " + std::to_string(k));
      for (const auto& e : fs::directory_iterator(dir.Path()))
        if (e.path().filename().string().starts_with("User.INI.")) fs::remove(e.path());
      fw::UsersClass u;
      StartAnew(u);
      u.LoadEQUFile();
      ASSERT_TRUE(u.SaveMoneyAndGoods()) << fw::LastError;
      if (r.row == kProfilesThenProfiles) {
        u.NowItem()->Kill = 1;
      } else {
        u.UserEQU->Add("", 1, "Laser", 0);
        u.NowItem()->Money = 150;
      }
      if (r.row == kHalfLanded) plat::FailNextFileCall(plat::FileCall::Rename, EIO, 2);
      for (const char* name : {"User.INI", "save/user2.DAT"})
        if (r.touched)
          fs::last_write_time(dir.File(name), fs::last_write_time(dir.File(name)) + std::chrono::seconds(5));
      plat::FailNextFileCall(r.call, EIO, k);
      if (r.row == kPurchaseBattleEnd) {
        // Any of them may fail for the call it meets; the next carries
        // what it left.
        u.SaveMoneyAndGoods();
        EXPECT_EQ(u.TakeSaveNotice(), "");
        u.NowItem()->Money += 300;
        u.NowItem()->Kill += 2;
        u.SaveUser();
        EXPECT_EQ(u.TakeSaveNotice(), "");
        u.NowItem()->Mission += 1;
        u.SaveUser();
        EXPECT_EQ(u.TakeSaveNotice(), "");
        const bool reached = !plat::FileCallPlanned(r.call);
        plat::ForgetPlannedFileCallFailures();
        EXPECT_TRUE(fw::FinishLastSave(fw::AppPath));
        EXPECT_EQ(OnDisk(), "450|Laser;");
        EXPECT_EQ(copies(), "");
        if (!reached || (!failedBefore && HasFailure())) break;
        continue;
      }
      const bool saved = r.row == kProfilesThenProfiles ? u.SaveUser() : u.SaveMoneyAndGoods();
      // A fault the save never reached is met by a look after it.
      bool reached = true;
      for (int i = 0; i <= k && reached; ++i) reached = plat::LookAtFile(dir.Path() + "\\User.INI") != EIO;
      plat::ForgetPlannedFileCallFailures();
      u.TakeSaveNotice();  // a file the failed look left unread is kept aside and told
      if (r.row == kHalfLanded) {
        EXPECT_FALSE(saved);
        const bool spent = OnDisk() == "150|";
        if (spent) ++halfLanded;
        // The profile screen reads the profiles; YES of profile 3, then of
        // profile 2; the next start.
        u.ReadUser();
        EXPECT_TRUE(u.SaveUser()) << fw::LastError;
        Choose(u, 3);
        u.LoadEQUFile();
        EXPECT_TRUE(u.SaveUser()) << fw::LastError;
        Choose(u, 2);
        u.LoadEQUFile();
        EXPECT_TRUE(fw::FinishLastSave(fw::AppPath));
        const bool laser = u.UserEQU->Count() == 1;
        EXPECT_EQ(laser, spent);
        EXPECT_EQ(OnDisk(), spent ? "150|Laser;" : "200|");
      } else if (r.row == kPurchaseThenPurchase) {
        u.UserEQU->Add("", 1, "Gun", 0);
        u.NowItem()->Money = 100;
        EXPECT_TRUE(u.SaveMoneyAndGoods()) << fw::LastError;
        EXPECT_EQ(u.TakeSaveNotice(), "");
        EXPECT_EQ(OnDisk(), "100|Laser;Gun;");
      } else {
        u.NowItem()->Kill = 2;
        EXPECT_TRUE(u.SaveUser()) << fw::LastError;
        EXPECT_EQ(u.TakeSaveNotice(), "");
      }
      EXPECT_EQ(copies(), "");
      if (!reached || (!failedBefore && HasFailure())) break;
    }
    if (r.row == kHalfLanded) {
      EXPECT_GT(halfLanded, 0);
    }
  }
}

// Goods whose money User.INI holds (the step replaced it, then the goods'
// rename failed) wait whatever becomes of their file, and whichever profile
// is chosen next; the next save finishes them. A file that holds the bytes
// the game read is its own (touched, copied out and back, on a drive
// mounted again); one that holds others is kept aside first, and told. An
// older User.INI put back and read drops them, as the money it holds is
// not theirs; one put back while the game runs is kept aside and saved
// over.
TEST_F(Goods, GoodsWhoseMoneyTheProfilesHoldAreFinishedWhateverBecameOfTheirFile) {
  namespace fs = std::filesystem;
  std::string older;  // User.INI before the purchase
  const auto replaced = [this] { PutPlayersFile(); };
  const struct {
    const char* what;
    std::function<void()> change;
    bool readAgain;      // the profile screen reads the profiles before the next save
    int next;            // the profile saved next
    std::string kept;    // the copy kept aside, "" for none
    const std::string* keptHolds;
    std::string notice;  // what the save that landed tells
    std::string profile2;
  } cases[] = {
      {"the file touched",
       [this] {
         fs::last_write_time(dir.File("save/user2.DAT"),
                             fs::last_write_time(dir.File("save/user2.DAT")) + std::chrono::hours(1));
       },
       true, 2, "", nullptr, "", "150|Laser;"},
      {"the file copied out and back",
       [this] {
         const auto time = fs::last_write_time(dir.File("save/user2.DAT"));
         fs::copy_file(dir.File("save/user2.DAT"), dir.File("out.DAT"));
         fs::copy_file(dir.File("out.DAT"), dir.File("save/user2.DAT"), fs::copy_options::overwrite_existing);
         fs::last_write_time(dir.File("save/user2.DAT"), time);
         fs::remove(dir.File("out.DAT"));
       },
       true, 3, "", nullptr, "", "150|Laser;"},
      {"the drive mounted again", [] { plat::ShiftReportedDevice(7); }, true, 2, "", nullptr, "", "150|Laser;"},
      {"the file replaced, the profile chosen again", replaced, true, 2, "save/user2.DAT.changed-1", &kPlayers,
       kPlayersKept, "150|Laser;"},
      {"the file replaced, another profile saved", replaced, true, 3, "save/user2.DAT.changed-1", &kPlayers,
       kPlayersKept, "150|Laser;"},
      {"the file replaced, the battle's save", replaced, false, 2, "save/user2.DAT.changed-1", &kPlayers,
       kPlayersKept, "150|Laser;"},
      {"an older User.INI put back and read", [&, this] { dir.Write("User.INI", older); }, true, 2, "", nullptr, "",
       "200|"},
      {"an older User.INI put back while the game runs", [&, this] { dir.Write("User.INI", older); }, false, 2,
       "User.INI.changed-1", &older, "User.INI changed since the game read it: it is kept aside as User.INI.changed-1 "
       "before the profiles are saved.", "150|Laser;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Choose(users, 2);
    users.UserEQU->RemoveAll();
    users.NowItem()->Money = 200;
    ASSERT_TRUE(users.SaveMoneyAndGoods());
    older = dir.Read("User.INI");
    Buy("Laser", 150);
    plat::FailNextAtomicRename(2);
    ASSERT_FALSE(users.SaveMoneyAndGoods());
    c.change();
    if (c.readAgain) users.ReadUser();
    Choose(users, c.next);
    users.LoadEQUFile();
    if (c.next == 2) {
      ASSERT_EQ(users.UserEQU->Count(), c.profile2 == "200|" ? 0 : 1);
    } else {
      Buy("Shield", 250);
    }
    ASSERT_TRUE(c.readAgain ? users.SaveMoneyAndGoods() : users.SaveUser()) << fw::LastError;
    EXPECT_EQ(users.TakeSaveNotice(), c.notice);
    plat::ShiftReportedDevice(0);
    ASSERT_TRUE(fw::FinishLastSave(fw::AppPath));
    EXPECT_EQ(OnDisk(2), c.profile2);
    if (c.next == 3) {
      EXPECT_EQ(OnDisk(3), "250|Shield;");
    }
    // The copy expected, holding the player's bytes, and no other.
    if (c.keptHolds) {
      EXPECT_TRUE(dir.Exists(c.kept)) << c.kept;
      EXPECT_EQ(dir.Read(c.kept), *c.keptHolds);
    }
    for (const std::string folder : {"", "save/"})
      for (const auto& e : fs::directory_iterator(dir.File(folder.empty() ? "." : folder))) {
        const std::string name = e.path().filename().string();
        if (name.find(".changed-") == std::string::npos) continue;
        EXPECT_EQ(folder + name, c.kept);
        fs::remove(e.path());
      }
    fs::remove(dir.File("save/user3.DAT"));
    users.ReadUser();
  }
}

// Goods whose money User.INI does not hold wait only until the profiles
// are read again: a step that wrote nothing cannot land, so a refit that
// failed is given up there, as a purchase is; so is one whose step replaced
// User.INI with the money it held. Goods an earlier step put the money of
// in User.INI stay owed through a later failure of the same profile. A
// refit refused over the player's file never holds up another profile's
// saves.
TEST_F(Goods, GoodsWhoseMoneyIsNotInTheProfilesWaitOnlyUntilTheyAreReadAgain) {
  namespace fs = std::filesystem;
  const auto refit = [this] { users.NowEQU->Add("", 1, "Gun", 3); };
  const auto noRoom = [] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 1); };
  const std::string players = "\"Mine\",1,0\r\n";
  const struct {
    const char* what;
    std::function<void()> steps;  // the failed saves, profile `profile` current
    int profile;
    std::string shown;  // what the profile shows once the profiles are read again
    std::string refused;
    std::string file;   // what its goods file holds at the end
  } cases[] = {
      {"a refit refused for room", [&] { refit(); noRoom(); }, 2, "Gun;|", "Unable to Save User.INI and user2.DAT: "
       "save/user2.DAT: No space left on device", "\"Gun\",1,0\r\n"},
      {"a half-landed purchase, then a refit failing before its journal",
       [&, this] {
         Buy("Laser", 150);
         plat::FailNextAtomicRename(2);
         ASSERT_FALSE(users.SaveMoneyAndGoods());
         refit();
         noRoom();
       },
       2, "Gun;Laser;|Gun;", "Unable to Save User.INI and user2.DAT: save/user2.DAT: No space left on device",
       "\"Gun\",1,0\r\n\"Laser\",1,0\r\n\"Gun\",11,3\r\n"},
      // User.INI replaced with the bytes it held: no money landed.
      {"a refit whose goods' rename failed",
       [&] {
         refit();
         plat::FailNextAtomicRename(2);
       },
       2, "Gun;|", "Unable to Save User.INI and user2.DAT; the next start finishes it if it can, or sets it aside, "
       "unless a later save comes first", "\"Gun\",1,0\r\n"},
      // The board draws the profile's name, code-page text, in UTF-8.
      {"a refit refused over the player's file",
       [&, this] {
         users.Item(1)->Name = plat::FromUtf8("外部玩家");
         ASSERT_TRUE(users.SaveUser());
         dir.Write("save/user1.DAT", players);
         refit();
       },
       1, "Mine;|", "save/user1.DAT changed since the game read it: the purchase is given up, and profile 1 (外部玩家) "
       "has the goods that file holds and its money before it", players},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Choose(users, c.profile);
    users.LoadEQUFile();
    users.UserEQU->RemoveAll();
    users.NowEQU->RemoveAll();
    users.UserEQU->Add("", 1, "Gun", 0);
    users.NowItem()->Money = 200;
    ASSERT_TRUE(users.SaveMoneyAndGoods());
    c.steps();
    ASSERT_FALSE(users.SaveMoneyAndGoods());
    EXPECT_EQ(fw::LastError, c.refused);
    // The profile screen: the profile chosen again, then another.
    users.ReadUser();
    users.LoadEQUFile();
    std::string shown;
    for (const auto& item : *users.UserEQU) shown += item->ID + ";";
    shown += "|";
    for (const auto& item : *users.NowEQU) shown += item->ID + ";";
    EXPECT_EQ(shown, c.shown);
    Choose(users, 3);
    users.LoadEQUFile();
    Buy("Shield", 250);
    ASSERT_TRUE(users.SaveMoneyAndGoods()) << fw::LastError;
    users.NowItem()->Kill = 1;
    ASSERT_TRUE(users.SaveUser()) << fw::LastError;
    EXPECT_EQ(users.TakeSaveNotice(), "");
    ASSERT_TRUE(fw::FinishLastSave(fw::AppPath));
    EXPECT_EQ(dir.Read("save/user" + std::to_string(c.profile) + ".DAT"), c.file);
    EXPECT_EQ(OnDisk(3), "250|Shield;");
    for (const auto& e : fs::directory_iterator(dir.File("save")))
      EXPECT_EQ(e.path().filename().string().find(".DAT."), std::string::npos) << e.path();
    fs::remove(dir.File("save/user3.DAT"));
  }
}

// A purchase refused over the player's goods file is given up there and
// then: the profile holds that file's goods and its money before the
// purchase, another profile's goods owed stay owed, and the battle's and
// the end screen's saves go on as usual, keeping nothing aside. Goods that
// wait after a save that found no room, or whose profiles could not be read
// again to give them up, are no purchase of a later save: the battle's save
// keeps the player's file aside and writes them beside the money they cost
// and the money won; so are the profile's own goods whose money the
// profiles read again as the purchase is given up hold.
TEST_F(Goods, APurchaseRefusedOverThePlayersFileTakesNothingAfterItWithIt) {
  namespace fs = std::filesystem;
  const std::string givenUp =
      "save/user2.DAT changed since the game read it: the purchase is given up, and profile 2 (P2) has the goods that "
      "file holds and its money before it";
  const std::function<void()> none = [] {};
  const struct {
    const char* what;
    bool playersFirst;  // the player's file comes before the purchase, else after it
    std::function<void()> fault;
    std::string told;  // the purchase's failure
    std::string battleNotice;
    std::string onDisk;  // after the battle's 300 and the end screen
    std::string kept;
    bool otherOwing = false;  // profile 3's Shield owed from a half-landed purchase
    bool ownOwing = false;    // profile 2's own Shield owed, its money back in User.INI
  } cases[] = {
      {"the purchase over the player's file", true, none, givenUp, "", "500|Mine;", ""},
      {"the purchase over the player's file, another profile's goods owed", true, none, givenUp, "", "500|Mine;", "",
       true},
      {"the purchase finding no room, then the player's file", false,
       [] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 1); },
       "Unable to Save User.INI and user2.DAT: save/user2.DAT: No space left on device", kPlayersKept, "450|Laser;",
       "user2.DAT.changed-1"},
      // Reads: User.INI's tail, then the profiles read again (the files'
      // sizes differ: the judge reads none).
      {"the profiles unreadable as the purchase is given up", true,
       [] { plat::FailNextFileCall(plat::FileCall::Read, EIO, 1); },
       "save/user2.DAT changed since the game read it: choose profile 2 (P2) again to read it; nothing was saved. "
       "Unable to read " + plat::NativePath(fw::AppPath + "\\User.INI") + ": Input/output error",
       kPlayersKept, "450|Laser;", "user2.DAT.changed-1"},
      {"the purchase over the player's file, the profile's own goods owed", true, none,
       "save/user2.DAT changed since the game read it: the purchase is given up, and profile 2 (P2) has the goods "
       "its money in User.INI paid for",
       kPlayersKept, "480|Shield;", "user2.DAT.changed-1", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fw::UsersClass u;
    StartAnew(u);
    u.LoadEQUFile();
    ASSERT_TRUE(u.SaveMoneyAndGoods()) << fw::LastError;
    if (c.otherOwing) {
      Choose(u, 3);
      u.LoadEQUFile();
      u.UserEQU->Add("", 3, "Shield", 0);
      u.NowItem()->Money = 50;
      plat::FailNextAtomicRename(2);
      ASSERT_FALSE(u.SaveMoneyAndGoods());
      Choose(u, 2);
      u.LoadEQUFile();
    }
    if (c.ownOwing) {
      u.UserEQU->Add("", 3, "Shield", 0);
      u.NowItem()->Money = 180;
      plat::FailNextAtomicRename(2);
      ASSERT_FALSE(u.SaveMoneyAndGoods());
      // The profiles read while another User.INI stood there, then the
      // Shield's put back.
      const std::string paid = dir.Read("User.INI");
      dir.Write("User.INI", std::string(paid.size(), ' '));
      u.ReadUser();
      u.LoadEQUFile();
      dir.Write("User.INI", paid);
    }
    if (c.playersFirst) PutPlayersFile();
    u.UserEQU->Add("", 1, "Laser", 0);
    u.NowItem()->Money = 150;
    c.fault();
    EXPECT_FALSE(u.SaveMoneyAndGoods());
    EXPECT_EQ(fw::LastError, c.told);
    if (!c.playersFirst) PutPlayersFile();
    // The battle: 300 won and two kills, saved as the battle saves them.
    u.NowItem()->Money += 300;
    u.NowItem()->Kill += 2;
    ASSERT_TRUE(u.SaveUser()) << fw::LastError;
    EXPECT_EQ(u.TakeSaveNotice(), c.battleNotice);
    // The end screen: the next mission.
    u.NowItem()->Mission += 1;
    ASSERT_TRUE(u.SaveUser()) << fw::LastError;
    EXPECT_EQ(u.TakeSaveNotice(), "");
    ASSERT_TRUE(fw::FinishLastSave(fw::AppPath));
    EXPECT_EQ(OnDisk(), c.onDisk);
    EXPECT_EQ(OnDisk(3), c.otherOwing ? "50|Shield;" : "0|");
    fw::UsersClass fresh;
    Choose(fresh, 2);
    fresh.ReadUser();
    EXPECT_EQ(fresh.NowItem()->Kill, 2);
    EXPECT_EQ(fresh.NowItem()->Mission, 1);
    std::string copies;
    for (const auto& e : fs::directory_iterator(dir.File("save")))
      if (e.path().filename().string().find(".DAT.") != std::string::npos) copies += e.path().filename().string();
    EXPECT_EQ(copies, c.kept);
    if (!c.kept.empty()) {
      EXPECT_EQ(dir.Read("save/" + c.kept), kPlayers);
    }
  }
}

// A journal that an earlier save left (one that landed but could not be
// removed, or that of a save failing after it) never wins over a later save
// of the profiles alone or of goods alone: the next start keeps the later
// save.
TEST_F(Goods, AJournalAnEarlierSaveLeftNeverUndoesALaterSave) {
  const std::string journal(plat::kSaveJournalName);
  const struct {
    const char* what;
    int failAt;  // -1: the save landed and its journal stayed
  } earlier[] = {
      {"a landed save whose journal stayed", -1},
      {"a save failed at User.INI's rename", 1},
      {"a save failed at the goods' rename", 2},
  };
  for (const auto& e : earlier)
    for (const bool profilesAlone : {true, false}) {
      SCOPED_TRACE(std::string(e.what) + (profilesAlone ? ", then the profiles alone" : ", then goods alone"));
      // A game started again, reading what the later game wrote.
      users = fw::UsersClass();
      Choose(users, 2);
      users.ReadUser();
      users.LoadEQUFile();
      users.UserEQU->RemoveAll();
      users.NowItem()->Money = 200;
      ASSERT_TRUE(users.SaveMoneyAndGoods()) << fw::LastError;
      Buy("Laser", 150);
      if (e.failAt < 0) {
        ASSERT_TRUE(users.SaveMoneyAndGoods());
        dir.Write(journal, plat::EncodeSaveJournal({{"User.INI", dir.Read("User.INI")},
                                                    {"save/user2.DAT", dir.Read("save/user2.DAT")}}));
      } else {
        plat::FailNextAtomicRename(e.failAt);
        ASSERT_FALSE(users.SaveMoneyAndGoods());
      }
      ASSERT_TRUE(dir.Exists(journal));
      // A save of one file only, whatever waits in the game's memory.
      fw::UsersClass later;
      Choose(later, 2);
      later.ReadUser();
      later.LoadEQUFile();
      const std::string file = profilesAlone ? "User.INI" : "save/user2.DAT";
      if (profilesAlone) {
        later.Item(2)->Name = "Later";
        ASSERT_TRUE(later.SaveUser());
      } else {
        later.UserEQU->Add("", 1, "Mine", 0);
        ASSERT_TRUE(later.SaveEQUFile());
      }
      const std::string saved = dir.Read(file);
      ASSERT_TRUE(fw::FinishLastSave(fw::AppPath));
      EXPECT_EQ(dir.Read(file), saved);
      EXPECT_FALSE(dir.Exists(journal));
    }
}

// A step whose goods cannot be written stops before its journal: both files
// stay as they were, no journal stands, the player reads the cause, and the
// next start plays. While goods wait on a file that cannot be written,
// every save fails the same way.
TEST_F(Goods, AStepThatCannotBeWrittenChangesNothingAndSaysWhy) {
  const std::string journal(plat::kSaveJournalName);
  const auto failGoodsWrite = [](int error) {
    // The second temporary file of the step: User.INI's comes first.
    return [error] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, error, 1); };
  };
  const std::string unable = "Unable to Save User.INI and user2.DAT: ";
  const std::string goodsRefused = unable + "save/user2.DAT: ";  // the file that refused, among two
  const struct {
    const char* what;
    std::function<void()> fault;
    bool lasting;
    std::string told;
    bool asPlayer = false;  // saved without the powers by which root writes anywhere
  } cases[] = {
      {"no room", failGoodsWrite(ENOSPC), false, goodsRefused + "No space left on device"},
      // A folder that takes no new file is named, not the file's mode.
      {"a read-only game folder",
       [this] { std::filesystem::permissions(dir.Path(), std::filesystem::perms(0555)); }, true,
       unable + "the game folder: Permission denied", true},
      {"a read-only save folder",
       [this] { std::filesystem::permissions(dir.File("save"), std::filesystem::perms(0555)); }, true,
       unable + "save: Permission denied", true},
      {"permission denied", failGoodsWrite(EACCES), false, goodsRefused + "Permission denied"},
      {"a read-only file system", failGoodsWrite(EROFS), false, goodsRefused + "Read-only file system"},
      {"an I/O error", failGoodsWrite(EIO), false, goodsRefused + "Input/output error"},
      {"a folder at the goods' name",
       [this] {
         std::filesystem::remove(dir.File("save/user2.DAT"));
         std::filesystem::create_directory(dir.File("save/user2.DAT"));
       },
       true, unable + "save/user2.DAT is a folder, not a file"},
      {"a file at the save folder's name",
       [this] {
         std::filesystem::remove_all(dir.File("save"));
         dir.Write("save", "x");
       },
       true, unable + "save is a file, not a folder"},
      {"a damaged goods file that cannot be kept aside",
       [this] {
         dir.Write("save/user2.DAT", "\"Old\",1,0\r\n\"Bad\",x,0\r\n");
         for (int k = 1; k <= 999; ++k) dir.Write("save/user2.DAT.damaged-" + std::to_string(k), "");
         users.LoadEQUFile();
       },
       true, "Unable to keep the damaged user2.DAT aside (every name user2.DAT.damaged-1 to -999 is taken): "
             "nothing was saved"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(dir.File("save"));
    plat::MakeDir(fw::AppPath + "\\save");
    users.UserEQU->RemoveAll();
    users.NowItem()->Money = 200;
    ASSERT_TRUE(users.SaveMoneyAndGoods());
    c.fault();
    Buy("Laser", 150);
    const std::string before = OnDisk(), profiles = dir.Read("User.INI");
    {
      std::optional<fwtest::WithoutFilePowers> player;
      if (c.asPlayer) player.emplace();
      EXPECT_FALSE(users.SaveMoneyAndGoods());
      EXPECT_EQ(fw::LastError, c.told);
      if (c.lasting) {
        users.NowItem()->Kill = 1;
        EXPECT_FALSE(users.SaveUser());
        EXPECT_EQ(fw::LastError, c.told);
      }
    }
    std::filesystem::permissions(dir.Path(), std::filesystem::perms(0700));
    if (std::filesystem::is_directory(dir.File("save")))
      std::filesystem::permissions(dir.File("save"), std::filesystem::perms(0755));
    EXPECT_EQ(dir.Read("User.INI"), profiles);
    EXPECT_EQ(OnDisk(), before);
    EXPECT_FALSE(dir.Exists(journal));
    EXPECT_TRUE(fw::FinishLastSave(fw::AppPath));
    EXPECT_EQ(fw::LastSaveNotice(), "");
    EXPECT_EQ(dir.Read("User.INI"), profiles);
  }
}

// Deleting a profile saves the profiles and removes its goods file as one
// step: failed or killed at any of its file calls, the next start finds the
// old profile with its goods up to the journal's rename, and the new one
// with none from the moment the journal stands. Goods owed to the profile
// (a purchase whose goods' rename failed) go with it: the deletion carries
// none of them, so that no call of it leaves them beside the new profile.
TEST_F(Goods, ADeletionFailedOrKilledAtAnyStepLeavesTheProfileWithItsGoodsOrTheNewOneWithNone) {
  for (const fwtest::DeletionCall& step : fwtest::kDeletionCalls)
    for (const bool owing : {false, true})
      for (const bool killed : {false, true}) {
        SCOPED_TRACE(std::string(killed ? "killed at " : "failing at ") + step.what + (owing ? ", goods owed" : ""));
        users.UserEQU->RemoveAll();
        Buy("Laser", 200);
        ASSERT_TRUE(users.SaveMoneyAndGoods());
        if (owing) {
          Buy("Gun", 100);
          plat::FailNextAtomicRename(2);
          ASSERT_FALSE(users.SaveMoneyAndGoods());
        }
        if (killed) {
          const pid_t child = ::fork();
          ASSERT_GE(child, 0);
          if (child == 0) {
            plat::FailNextFileCall(step.call, 0, step.skip);
            Delete();
            ::_exit(3);
          }
          int status = 0;
          ASSERT_EQ(::waitpid(child, &status, 0), child);
          EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
        } else {
          plat::FailNextFileCall(step.call, EIO, step.skip);
          EXPECT_EQ(Delete(), step.landed);
          // Made over the purchase's unfinished step, the deletion's own is
          // told as begun.
          if (!step.landed && !owing) {
            EXPECT_EQ(fw::LastError, kDeletionFailed + step.where + "Input/output error" + step.Outcome());
          }
        }
        // The purchase's journal stands where the deletion's does not.
        EXPECT_EQ(dir.Exists(std::string(plat::kSaveJournalName)), step.journal || (owing && !step.landed));
        // The next start.
        ASSERT_TRUE(fw::FinishLastSave(fw::AppPath));
        plat::RemoveStaleSaveFiles(fw::AppPath);
        plat::RemoveStaleSaveFiles(fw::AppPath + "\\save");
        EXPECT_EQ(OnDisk(), step.NewAtNextStart() ? "1500|" : owing ? "100|Laser;Gun;" : "200|Laser;");
        EXPECT_EQ(dir.Exists("save/user2.DAT"), !step.NewAtNextStart());
        // The game started again chooses the profile.
        users = fw::UsersClass();
        Choose(users, 2);
        users.ReadUser();
        users.LoadEQUFile();
        if (HasFailure()) return;
      }
  // Goods that waited for the deleted profile go with it.
  Buy("Gun", 100);
  plat::FailNextAtomicRename(2);
  ASSERT_FALSE(users.SaveMoneyAndGoods());
  ASSERT_TRUE(Delete());
  ASSERT_TRUE(users.SaveUser());
  EXPECT_FALSE(dir.Exists("save/user2.DAT"));
  EXPECT_EQ(OnDisk(), "1500|");
}

// The longest save and deletion failures a player can meet, as real saves
// make them: a step of User.INI and all six goods files (each profile's
// goods waiting from a failed save of its own), its journal in place when
// its folder cannot be synced, with the system's longest words. Each fits
// the question box whole.
TEST_F(Goods, TheLongestSaveAndDeletionFailuresFitTheMessageBoard) {
  int longest = 1;
  for (int error = 1; error < 200; ++error)
    if (plat::SystemErrorText(error).size() > plat::SystemErrorText(longest).size()) longest = error;
  for (int n = 1; n <= 6; ++n) {
    Choose(users, n);
    dir.Write("save/user" + std::to_string(n) + ".DAT", "\"Gun\",1,0\r\n");
    users.LoadEQUFile();
    Buy("Laser", 100);
    plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 1);
    ASSERT_FALSE(users.SaveMoneyAndGoods());
  }
  const std::string files = "User.INI, user1.DAT, user2.DAT, user3.DAT, user4.DAT, user5.DAT and user6.DAT";
  const std::string cause = ": the game folder: " + plat::SystemErrorText(longest) +
                            "; the next start finishes it if it can, or sets it aside, unless a later save comes first";
  plat::FailNextFileCall(plat::FileCall::SyncFolder, longest);
  ASSERT_FALSE(users.SaveUser());
  const std::string saveFailure = fw::LastError;
  EXPECT_EQ(saveFailure, "Unable to Save " + files + cause);
  plat::FailNextFileCall(plat::FileCall::SyncFolder, longest);
  ASSERT_FALSE(Delete(6));
  EXPECT_EQ(fw::LastError, "Unable to delete the profile (" + files + ")" + cause);
  const std::string deletionFailure = fw::LastError;
  // A purchase given up over the player's file, the profile named at its
  // widest, that file with a line left out and User.INI with a number no
  // game writes.
  fw::UsersClass u;
  StartAnew(u);
  Choose(u, 6);
  u.Item(6)->Name = std::string(20, 'W');
  u.Item(1)->Money = -1;
  ASSERT_TRUE(u.SaveUser());
  u.LoadEQUFile();
  dir.Write("save/user6.DAT", "\"Gun\",x,0\r\n\"Mine\",1,0\r\n");
  u.UserEQU->Add("", 1, "Laser", 0);
  ASSERT_FALSE(u.SaveMoneyAndGoods());
  EXPECT_EQ(fw::LastError, "save/user6.DAT changed since the game read it: the purchase is given up, and profile 6 (" +
                               std::string(20, 'W') +
                               ") has the goods that file holds and its money before it. User.INI held numbers no "
                               "game writes in 1 profile: they were set back to the start. 1 line of user6.DAT "
                               "cannot be read and is left out: the file is kept aside at the next save.");
  for (const std::string& m : {saveFailure, deletionFailure, fw::LastError}) {
    SCOPED_TRACE(m);
    // The question box's font and board (420 x 50).
    EXPECT_FALSE(fw::LayOutBoardText(plat::Font{"Arial", 12.0f, false}, 420, 50, m).cut);
  }
}

// A save folder the player may not change refuses the deletion before
// anything changes, with its cause; the next start finds the profile with
// its goods. The refusal is the system's own: made in a child without the
// powers that let root change any folder.
// A save folder the player may not search hides whether the goods file is
// there: the deletion is refused all the same, never made without it.
TEST_F(Goods, ADeletionTheSaveFolderRefusesChangesNothingAndSaysWhy) {
  for (const auto mode : {std::filesystem::perms(0555), std::filesystem::perms(0600)}) {
    SCOPED_TRACE(static_cast<int>(mode));
    users.UserEQU->RemoveAll();
    Buy("Laser", 200);
    ASSERT_TRUE(users.SaveMoneyAndGoods()) << fw::LastError;
    const std::string profiles = dir.Read("User.INI"), goods = dir.Read("save/user2.DAT");
    std::filesystem::permissions(dir.File("save"), mode);
    EXPECT_EXIT(
        {
          fwtest::DropFilePowers();
          std::fprintf(stderr, "%s\n", Delete() ? "saved" : fw::LastError.c_str());
          std::exit(0);
        },
        ::testing::ExitedWithCode(0),
        "Unable to delete the profile \\(User\\.INI and user2\\.DAT\\): save: Permission denied\n");
    std::filesystem::permissions(dir.File("save"), std::filesystem::perms(0755));
    EXPECT_EQ(dir.Read("User.INI"), profiles);
    EXPECT_EQ(dir.Read("save/user2.DAT"), goods);
    EXPECT_FALSE(dir.Exists(std::string(plat::kSaveJournalName)));
    ASSERT_TRUE(fw::FinishLastSave(fw::AppPath));
    EXPECT_EQ(OnDisk(), "200|Laser;");
  }
}

TEST_F(Goods, ADamagedGoodsFileIsKeptAsideWholeBeforeItIsFirstReplaced) {
  const std::string damaged = "\"A\",1,0\r\n\"B\",one,0\r\n";
  dir.Write("save/user2.DAT", damaged);
  dir.Write("save/user2.DAT.damaged-1", "an older one");
  EXPECT_FALSE(users.LoadEQUFile());
  EXPECT_EQ(users.KeptAside(), "");
  ASSERT_TRUE(users.SaveMoneyAndGoods());
  EXPECT_EQ(users.KeptAside(), "save/user2.DAT.damaged-2");
  EXPECT_EQ(dir.Read("save/user2.DAT.damaged-2"), damaged);
  EXPECT_EQ(dir.Read("save/user2.DAT.damaged-1"), "an older one");
  EXPECT_EQ(dir.Read("save/user2.DAT"), "\"A\",1,0\r\n");
  // Once kept, later saves replace the file as usual.
  ASSERT_TRUE(users.SaveEQUFile());
  EXPECT_FALSE(dir.Exists("save/user2.DAT.damaged-3"));
  // A damaged file of one profile is not copied when another is saved.
  dir.Write("save/user2.DAT", damaged);
  EXPECT_FALSE(users.LoadEQUFile());
  Choose(users, 3);
  ASSERT_TRUE(users.SaveEQUFile());
  EXPECT_FALSE(dir.Exists("save/user2.DAT.damaged-3"));
  // Kept once: a save refused after the copy is made, and the same file
  // read and saved again by a later game, make no other.
  std::filesystem::remove(dir.File("save/user2.DAT"));
  dir.Write("save/user2.DAT", "\"C\",1,0\r\n\"D\",x,0\r\n");
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    fw::UsersClass later;
    Choose(later, 2);
    later.ReadUser();
    EXPECT_FALSE(later.LoadEQUFile());
    plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 1);
    EXPECT_FALSE(later.SaveMoneyAndGoods());
    EXPECT_EQ(later.KeptAside(), "save/user2.DAT.damaged-3");
  }
  EXPECT_FALSE(dir.Exists("save/user2.DAT.damaged-4"));
}

// A goods save replaces only the file the game read at the name, or what its
// own save left there: over another file (put there since, or changed
// since) the purchase is refused before anything is written and given up,
// the profile holding that file's goods and its money before it, as a new
// choice of the profile reads them; nothing of it waits. A link to another
// of the game's files is never written through, and the goods wait.
TEST_F(Goods, ASaveReplacesOnlyTheGoodsFileTheGameRead) {
  namespace fs = std::filesystem;
  const std::string players = "\"Mine\",1,0\r\n\"Twin Laser\",1,0\r\n";
  const std::string givenUp =
      "save/user2.DAT changed since the game read it: the purchase is given up, and profile 2 has the goods that file "
      "holds and its money before it";
  const struct {
    const char* what;
    std::function<void()> change;
    std::string refused;
    std::string held;  // what the profile holds then, "" where the goods wait
  } cases[] = {
      {"a file copied back to the name",
       [&, this] {
         fs::remove(dir.File("save/user2.DAT"));
         dir.Write("save/user2.DAT", players);
       },
       givenUp, "200|Mine;Twin Laser;"},
      {"the file changed where it stands",
       [&, this] { std::ofstream(dir.File("save/user2.DAT"), std::ios::app) << "\"Mine\",1,0\r\n"; }, givenUp,
       "200|Laser;Mine;"},
      {"rewritten at its size, its time put back",
       [this] {
         const auto time = fs::last_write_time(dir.File("save/user2.DAT"));
         dir.Write("save/user2.DAT", "\"Laxer\",1,0\r\n");
         fs::last_write_time(dir.File("save/user2.DAT"), time);
       },
       givenUp, "200|Laxer;"},
      // Refused before the damaged file it read is kept: the player's file
      // that came since is no copy of the game's to make. Read again, it
      // is told as any file with lines that cannot be read.
      {"a damaged file read, then changed",
       [this] {
         dir.Write("save/user2.DAT", "\"A\",1,0\r\n\"B\",one,0\r\n");
         EXPECT_FALSE(users.LoadEQUFile());
         std::ofstream(dir.File("save/user2.DAT"), std::ios::app) << "\"Mine\",1,0\r\n";
       },
       givenUp + ". 1 line of user2.DAT cannot be read and is left out: the file is kept aside at the next save.",
       "200|A;Mine;"},
      {"a link to the profiles",
       [this] {
         fs::remove(dir.File("save/user2.DAT"));
         fs::create_symlink("../User.INI", dir.File("save/user2.DAT"));
       },
       "Unable to Save User.INI and user2.DAT: save/user2.DAT: a link to User.INI, another of the game's files", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir.File("save/user2.DAT"));
    users.ReadUser();
    users.LoadEQUFile();
    users.UserEQU->RemoveAll();
    Buy("Laser", 200);
    ASSERT_TRUE(users.SaveMoneyAndGoods()) << fw::LastError;
    c.change();
    const std::string profiles = dir.Read("User.INI");
    const std::string goods = fs::is_symlink(dir.File("save/user2.DAT")) ? "" : dir.Read("save/user2.DAT");
    Buy("Gun", 50);
    EXPECT_FALSE(users.SaveMoneyAndGoods());
    EXPECT_EQ(fw::LastError, c.refused);
    if (!c.held.empty()) {
      std::string held = std::to_string(users.NowItem()->Money) + "|";
      for (const auto& item : *users.UserEQU) held += item->ID + ";";
      EXPECT_EQ(held, c.held);
    }
    // The battle's save: the profiles alone where the purchase was given
    // up; where the goods wait, they go nowhere over the file.
    EXPECT_EQ(users.SaveUser(), !c.held.empty()) << fw::LastError;
    if (c.held.empty()) {
      EXPECT_EQ(fw::LastError, c.refused);
    }
    EXPECT_EQ(users.TakeSaveNotice(), "");
    EXPECT_EQ(dir.Read("User.INI"), profiles);
    if (!goods.empty()) {
      EXPECT_EQ(dir.Read("save/user2.DAT"), goods);
    }
    for (const auto& e : fs::directory_iterator(dir.File("save")))
      EXPECT_FALSE(e.path().filename().string().starts_with("user2.DAT.")) << e.path();
    // The player's goods, then saved as usual.
    if (!c.held.empty()) {
      EXPECT_TRUE(users.SaveMoneyAndGoods()) << fw::LastError;
    }
    fs::remove(dir.File("save/user2.DAT.damaged-1"));  // a damaged file read, kept by that save
  }
  // A link at User.INI to a goods file: the profiles' save alone names the
  // file it reaches, and writes nothing.
  users.ReadUser();
  fs::remove(dir.File("save/user2.DAT"));
  fs::rename(dir.File("User.INI"), dir.File("profiles"));
  dir.Write("save/user3.DAT", players);
  fs::create_symlink("save/user3.DAT", dir.File("User.INI"));
  EXPECT_FALSE(users.SaveUser());
  EXPECT_EQ(fw::LastError, "Unable to Save User.INI: a link to save/user3.DAT, another of the game's files");
  EXPECT_EQ(dir.Read("save/user3.DAT"), players);
  fs::remove(dir.File("User.INI"));
  fs::remove(dir.File("save/user3.DAT"));
  fs::rename(dir.File("profiles"), dir.File("User.INI"));
}

// A goods file the game read or wrote that holds other bytes now, or that
// cannot be read now, is kept aside before a save replaces it or a deletion
// removes it, and the board names the copy and the profile; where no copy
// can be made, nothing is written. A deletion removes a goods file the game
// never read as it stands. Copies kept before a step that then fails are
// told in its failure. Goods saved alone, with no money to part from, keep
// a file the player changed aside as well.
TEST_F(Goods, AGoodsFileNoLongerTheGamesIsKeptAsideBeforeItIsReplacedOrRemoved) {
  namespace fs = std::filesystem;
  const std::string unreadableKept =
      "save/user2.DAT cannot be read (Permission denied): it is kept aside as save/user2.DAT.damaged-1 before ";
  const std::string noCopy = "Unable to keep the damaged user2.DAT aside (Permission denied): nothing was saved";
  const auto replaced = [this] { PutPlayersFile(); };
  const auto unreadable = [this] { fs::permissions(dir.File("save/user2.DAT"), fs::perms::none); };
  const auto noHardLink = [] { plat::FailNextFileCall(plat::FileCall::Link, EXDEV); };
  const std::function<void()> none = [] {};
  enum Step { kDeletion, kPurchase, kGoodsAlone };
  const struct {
    const char* what;
    Step step;
    bool read;  // the game read the goods file and wrote it before the change
    std::function<void()> change, fault;
    std::string kept;     // the copy in save/, "" for none
    std::string told;     // the notice of a step that landed, or the failure
    bool landed = true;
  } cases[] = {
      {"DEL: a file read, then changed", kDeletion, true, replaced, none, "user2.DAT.changed-1",
       "save/user2.DAT changed since the game read it: it is kept aside as save/user2.DAT.changed-1 before profile 2 is "
       "deleted."},
      {"DEL: a file never read", kDeletion, false, replaced, none, "", ""},
      {"DEL: a file read, then unreadable", kDeletion, true, unreadable, none, "user2.DAT.damaged-1",
       unreadableKept + "profile 2 is deleted."},
      {"DEL: a file read, then unreadable, and no hard link", kDeletion, true, unreadable, noHardLink, "", noCopy,
       false},
      {"a purchase over a file read, then unreadable", kPurchase, true, unreadable, none, "user2.DAT.damaged-1",
       unreadableKept + "the goods of profile 2 (P2) are saved."},
      {"a purchase over a file read, then unreadable, and no hard link", kPurchase, true, unreadable, noHardLink, "",
       noCopy, false},
      {"a purchase over a file read, then unreadable, the step then failing for room", kPurchase, true, unreadable,
       [] { plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 1); }, "user2.DAT.damaged-1",
       "Unable to Save User.INI and user2.DAT: save/user2.DAT: No space left on device. " + unreadableKept +
           "the goods of profile 2 (P2) are saved.",
       false},
      {"goods alone over a file read, then changed", kGoodsAlone, true, replaced, none, "user2.DAT.changed-1",
       kPlayersKept},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fw::UsersClass u;
    StartAnew(u);
    if (c.read) {
      u.LoadEQUFile();
      u.UserEQU->Add("", 1, "Gun", 0);
      ASSERT_TRUE(u.SaveMoneyAndGoods()) << fw::LastError;
    } else {
      ASSERT_TRUE(u.SaveUser()) << fw::LastError;
    }
    const std::string before = dir.Read("save/user2.DAT"), profiles = dir.Read("User.INI");
    c.change();
    const bool unread = fs::status(dir.File("save/user2.DAT")).permissions() == fs::perms::none;
    const std::string held = unread ? before : dir.Read("save/user2.DAT");
    bool landed = false;
    {
      const fwtest::WithoutFilePowers player;
      c.fault();
      if (c.step == kDeletion) {
        landed = DeleteIn(u, 2);
      } else {
        u.UserEQU->Add("", 1, "Laser", 0);
        u.NowItem()->Money = 150;
        landed = c.step == kPurchase ? u.SaveMoneyAndGoods() : u.SaveEQUFile();
      }
    }
    plat::ForgetPlannedFileCallFailures();
    if (dir.Exists("save/user2.DAT")) fs::permissions(dir.File("save/user2.DAT"), fs::perms(0644));
    EXPECT_EQ(landed, c.landed);
    EXPECT_EQ(landed ? u.TakeSaveNotice() : fw::LastError, c.told);
    std::string copies;
    for (const auto& e : fs::directory_iterator(dir.File("save")))
      if (e.path().filename() != "user2.DAT") copies += e.path().filename().string() + " ";
    EXPECT_EQ(copies, c.kept.empty() ? "" : c.kept + " ");
    if (!c.kept.empty()) {
      fs::permissions(dir.File("save/" + c.kept), fs::perms(0644));
      EXPECT_EQ(dir.Read("save/" + c.kept), held);
    }
    if (!landed) {
      EXPECT_EQ(dir.Read("save/user2.DAT"), held);
      EXPECT_EQ(dir.Read("User.INI"), profiles);
    } else if (c.step == kDeletion) {
      EXPECT_FALSE(dir.Exists("save/user2.DAT"));
      EXPECT_EQ(OnDisk(), "1500|");
    } else {
      EXPECT_EQ(OnDisk(), c.step == kPurchase ? "150|Gun;Laser;" : "200|Gun;Laser;");
    }
  }
}

// A failed look is never a missing file: the profiles are never emptied,
// nor a link followed to create its target, nor a FIFO waited on; goods that
// cannot be read are told and kept aside by the next save, never dropped
// unseen, and what is kept is the player's bytes, with their permissions,
// even where the name is a link. One fault a row, then what the files hold.
TEST_F(Goods, AFailedLookNeverEmptiesSkipsOrReplacesAPlayersFile) {
  namespace fs = std::filesystem;
  Buy("Laser", 200);
  ASSERT_TRUE(users.SaveMoneyAndGoods());
  const std::string profiles = dir.Read("User.INI"), goods = dir.Read("save/user2.DAT");
  const auto fail = [](plat::FileCall call, int error, int skip = 0) {
    return [=] { plat::FailNextFileCall(call, error, skip); };
  };
  // Another entry at the name, the file kept beside it until mended.
  const auto instead = [this](const std::string& name, const std::function<void(const std::string&)>& make) {
    return [this, name, make] {
      fs::rename(dir.File(name), dir.File("kept"));
      make(dir.File(name));
    };
  };
  const auto back = [this](const std::string& name) {
    return [this, name] {
      fs::remove_all(dir.File(name));
      fs::rename(dir.File("kept"), dir.File(name));
    };
  };
  const auto fifo = [](const std::string& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); };
  const auto folder = [](const std::string& at) { fs::create_directory(at); };
  const auto nowhere = [](const std::string& at) { fs::create_symlink("nowhere", at); };
  const auto sized = [this](const std::string& name, uint64_t size) {
    return [this, name, size] { fs::resize_file(dir.File(name), size); };
  };
  const auto both = [](std::function<void()> a, std::function<void()> b) {
    return [a, b] {
      a();
      b();
    };
  };
  const auto unreadable = [](int error) {
    return "Unable to read " + plat::NativePath(fw::AppPath + "\\User.INI") + ": " + plat::SystemErrorText(error);
  };
  const auto keptAside = [](int error) {
    return "Unable to Read user2.DAT (" + plat::SystemErrorText(error) + "): it is kept aside at the next save.";
  };
  const std::string damagedLine = "\"Gun\",one,0\r\n";
  const std::string saveRefused = "Unable to Save User.INI and user2.DAT: save/user2.DAT";
  const uint64_t most = plat::kMostBytesSaved;
  const std::function<void()> none = [] {};
  const struct {
    const char* what;
    std::string name;
    std::function<void()> fault, mend;
    std::string told;               // ReadUser's error, or what LoadEQUFile says
    uint64_t keptSize = 0;          // goods unreadable: the size of the copy the next save keeps
    std::function<void()> atSave = [] {};
    std::string refused = "";       // the next save refuses so, keeping nothing
    bool linked = false;            // the goods stand elsewhere, a link at their name
    int itemsRead = 0;
    bool asPlayer = false;          // read and saved without root's powers over files and folders
  } cases[] = {
      {"User.INI: a look failing", "User.INI", fail(plat::FileCall::Look, EIO), none, unreadable(EIO)},
      {"User.INI: a look answering EINVAL", "User.INI", fail(plat::FileCall::Look, EINVAL), none,
       unreadable(EINVAL)},
      {"User.INI: a read answering EINVAL", "User.INI", fail(plat::FileCall::Read, EINVAL), none,
       unreadable(EINVAL)},
      {"User.INI: a FIFO", "User.INI", instead("User.INI", fifo), back("User.INI"), unreadable(plat::kNotAFile)},
      {"User.INI: a folder", "User.INI", instead("User.INI", folder), back("User.INI"), unreadable(EISDIR)},
      {"User.INI: a link to nowhere", "User.INI", instead("User.INI", nowhere), back("User.INI"),
       unreadable(plat::kLinkToNoFile)},
      {"User.INI: 64 MiB", "User.INI", sized("User.INI", most), sized("User.INI", profiles.size()), ""},
      {"User.INI: a byte more", "User.INI", sized("User.INI", most + 1), sized("User.INI", profiles.size()),
       unreadable(plat::kTooLargeToRead)},
      {"goods: a look failing", "save/user2.DAT", fail(plat::FileCall::Look, EIO), none, keptAside(EIO), goods.size()},
      {"goods: a read answering EINVAL", "save/user2.DAT", fail(plat::FileCall::Read, EINVAL), none, keptAside(EINVAL),
       goods.size()},
      // Reads of the save: User.INI to keep its tail, then each file of the step.
      {"goods: the look as they are kept aside failing too", "save/user2.DAT", fail(plat::FileCall::Read, EIO), none,
       keptAside(EIO), goods.size(), fail(plat::FileCall::Look, EIO, 1)},
      {"goods: a byte more than 64 MiB", "save/user2.DAT", sized("save/user2.DAT", most + 1), none,
       keptAside(plat::kTooLargeToRead), most + 1},
      {"goods: a folder", "save/user2.DAT", instead("save/user2.DAT", folder), back("save/user2.DAT"),
       "save/user2.DAT is a folder, not a file", 0, none, saveRefused + " is a folder, not a file"},
      {"goods: a FIFO", "save/user2.DAT", instead("save/user2.DAT", fifo), back("save/user2.DAT"),
       "save/user2.DAT is not a regular file", 0, none, saveRefused + ": not a regular file"},
      {"goods: a read failing, a FIFO in their place by the save", "save/user2.DAT",
       fail(plat::FileCall::Read, EIO), back("save/user2.DAT"), keptAside(EIO), 0, instead("save/user2.DAT", fifo),
       saveRefused + ": not a regular file"},
      {"goods behind a link: a look failing", "save/user2.DAT", fail(plat::FileCall::Look, EIO), none, keptAside(EIO),
       goods.size(), none, "", true},
      {"goods behind a link: a read failing", "save/user2.DAT", fail(plat::FileCall::Read, EIO), none, keptAside(EIO),
       goods.size(), none, "", true},
      {"goods behind a link: a line that cannot be read", "save/user2.DAT",
       [&, this] { dir.Write("save/user2.DAT", goods + damagedLine); }, none,
       "1 line of user2.DAT cannot be read and is left out: the file is kept aside at the next save.",
       goods.size() + damagedLine.size(), none, "", true, 1},
      {"goods behind a link: no hard link beside them", "save/user2.DAT",
       both([this] { fs::permissions(fs::canonical(dir.File("save/user2.DAT")), fs::perms(0640)); },
            fail(plat::FileCall::Read, EINVAL)),
       none, keptAside(EINVAL), goods.size(), fail(plat::FileCall::Link, EXDEV), "", true},
      // A link to no file is told when read, and the file it leads to once
      // back is not the one read: refused, nothing written or kept.
      {"goods behind a link whose drive is gone, back by the save", "save/user2.DAT",
       instead("save/user2.DAT", [](const std::string& at) { fs::create_symlink("../drive/user2.DAT", at); }),
       [this] {
         EXPECT_EQ(dir.Read("drive/user2.DAT"), "\"Scout Tank\",5,0\r\n");
         fs::remove_all(dir.File("drive"));
         fs::remove(dir.File("save/user2.DAT"));
         fs::rename(dir.File("kept"), dir.File("save/user2.DAT"));
       },
       "Unable to Read user2.DAT (a link that leads to no regular file): nothing is saved over it; choose the profile "
       "again once it leads to its file.",
       0,
       [this] {
         fs::create_directory(dir.File("drive"));
         dir.Write("drive/user2.DAT", "\"Scout Tank\",5,0\r\n");
       },
       "save/user2.DAT changed since the game read it: the purchase is given up, and profile 2 (P2) has the goods "
       "that file holds and its money before it"},
      // The read's own cause, never the hard link's.
      {"goods behind a link: their file mode 000, no hard link beside them", "save/user2.DAT",
       [this] { fs::permissions(dir.File("elsewhere.DAT"), fs::perms::none); },
       [this] { fs::permissions(dir.File("elsewhere.DAT"), fs::perms(0644)); }, keptAside(EACCES), 0,
       fail(plat::FileCall::Link, EXDEV),
       "Unable to keep the damaged user2.DAT aside (Permission denied): nothing was saved", true, 0, true},
      // A folder that cannot be searched is told as what the player mends.
      {"goods: a save folder that cannot be searched", "save/user2.DAT",
       [this] { fs::permissions(dir.File("save"), fs::perms(0600)); },
       [this] { fs::permissions(dir.File("save"), fs::perms(0755)); },
       "Unable to Read user2.DAT (save: Permission denied): nothing is saved over it; choose the profile again once "
       "save can be searched (chmod u+x).",
       0, none, "Unable to Save User.INI and user2.DAT: save: Permission denied", false, 0, true},
      {"goods: no hard link, a copy past its bound", "save/user2.DAT",
       sized("save/user2.DAT", plat::kMostBytesKept + 1), sized("save/user2.DAT", goods.size()),
       keptAside(plat::kTooLargeToRead), 0,
       fail(plat::FileCall::Link, EXDEV),
       "Unable to keep the damaged user2.DAT aside (larger than the 256 MiB a kept copy takes): nothing was saved"},
      {"goods: kept aside where the save folder cannot be searched", "save/user2.DAT",
       fail(plat::FileCall::Read, EIO), [this] { fs::permissions(dir.File("save"), fs::perms(0755)); },
       keptAside(EIO), 0,
       [this] { fs::permissions(dir.File("save"), fs::perms(0600)); },
       "Unable to keep the damaged user2.DAT aside (save: Permission denied): nothing is saved until save can be "
       "searched (chmod u+x)",
       false, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.linked) {
      fs::rename(dir.File(c.name), dir.File("elsewhere.DAT"));
      fs::create_symlink("../elsewhere.DAT", dir.File(c.name));
    }
    fw::UsersClass fresh;
    Choose(fresh, 2);
    if (c.name != "User.INI") fresh.ReadUser();
    fw::LastError.clear();
    c.fault();
    std::string told;
    if (c.name == "User.INI") {
      try {
        fresh.ReadUser();
      } catch (const plat::RuntimeError& e) {
        told = e.what();
      }
    } else {
      {
        std::optional<fwtest::WithoutFilePowers> player;
        if (c.asPlayer) player.emplace();
        EXPECT_FALSE(fresh.LoadEQUFile());
      }
      told = fw::LastError;
      EXPECT_EQ(fresh.UserEQU->Count(), c.itemsRead);
    }
    EXPECT_EQ(told, c.told);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.File("nowhere"))));
    if (c.keptSize > 0 || !c.refused.empty()) {
      const fs::perms mode = fs::status(dir.File(c.name)).permissions();
      c.atSave();
      const fs::file_status before = fs::symlink_status(dir.File(c.name));
      bool saved = false;
      {
        std::optional<fwtest::WithoutFilePowers> player;
        if (c.asPlayer) player.emplace();
        saved = fresh.SaveMoneyAndGoods();
      }
      EXPECT_EQ(saved, c.refused.empty()) << fw::LastError;
      if (saved) {
        EXPECT_EQ(fs::symlink_status(dir.File("save/user2.DAT.damaged-1")).type(), fs::file_type::regular);
        EXPECT_EQ(fs::status(dir.File("save/user2.DAT.damaged-1")).permissions(), mode);
        EXPECT_EQ(fs::file_size(dir.File("save/user2.DAT.damaged-1")), c.keptSize);
        EXPECT_EQ(dir.Read("save/user2.DAT.damaged-1").substr(0, goods.size()), goods);
        EXPECT_EQ(fs::is_symlink(dir.File(c.name)), c.linked);
        EXPECT_EQ(dir.Read(c.name), c.itemsRead > 0 ? goods : "");
        fs::remove(dir.File("save/user2.DAT.damaged-1"));
        dir.Write("save/user2.DAT", goods);
      } else {
        EXPECT_EQ(fw::LastError, c.refused);
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir.File("save/user2.DAT.damaged-1"))));
        EXPECT_EQ(fs::symlink_status(dir.File(c.name)).type(), before.type());
        c.mend();
      }
    } else {
      c.mend();
    }
    if (c.linked) {
      EXPECT_TRUE(fs::is_symlink(dir.File(c.name)));
      fs::remove(dir.File(c.name));
      fs::rename(dir.File("elsewhere.DAT"), dir.File(c.name));
    }
    EXPECT_EQ(dir.Read("User.INI"), profiles);
    EXPECT_EQ(dir.Read("save/user2.DAT"), goods);
  }

  // A failed look at each position of a purchase, User.INI and the goods
  // reached through links: the save is refused before anything is written
  // or made whole through them, and never replaces a link.
  fs::create_directory(dir.File("elsewhere"));
  for (const std::string name : {"User.INI", "save/user2.DAT"}) {
    fs::rename(dir.File(name), dir.File("elsewhere/" + fs::path(name).filename().string()));
    fs::create_symlink(dir.File("elsewhere/" + fs::path(name).filename().string()), dir.File(name));
  }
  users.LoadEQUFile();  // the goods as they stand now, which the saves replace
  int refused = 0;
  for (int skip = 0;; ++skip) {
    SCOPED_TRACE("the look failing after " + std::to_string(skip));
    const std::string before = OnDisk();
    users.UserEQU->RemoveAll();
    Buy("Gun" + std::to_string(skip), 1000 + skip);
    plat::FailNextFileCall(plat::FileCall::Look, EIO, skip);
    const bool saved = users.SaveMoneyAndGoods();
    // A fault the save never reached is met by a look after it.
    bool reached = true;
    for (int i = 0; i <= skip && reached; ++i) reached = plat::LookAtFile(dir.Path() + "\\User.INI") != EIO;
    for (const std::string name : {"User.INI", "save/user2.DAT"}) EXPECT_TRUE(fs::is_symlink(dir.File(name))) << name;
    EXPECT_FALSE(dir.Exists(std::string(plat::kSaveJournalName)));
    // A look failing inside the judge's read leaves a file it cannot read:
    // kept aside, and told with the save.
    if (saved) {
      EXPECT_EQ(OnDisk(), std::to_string(1000 + skip) + "|Gun" + std::to_string(skip) + ";");
      users.TakeSaveNotice();
    } else {
      ++refused;
      EXPECT_NE(fw::LastError.find(": Input/output error"), std::string::npos) << fw::LastError;
      EXPECT_EQ(OnDisk(), before);
    }
    if (!reached || HasFailure()) break;
  }
  EXPECT_GT(refused, 0);
  users.UserEQU->RemoveAll();
  Buy("Laser", 200);
  ASSERT_TRUE(users.SaveMoneyAndGoods()) << fw::LastError;
  EXPECT_EQ(dir.Read("elsewhere/user2.DAT"), goods);
  EXPECT_EQ(dir.Read("elsewhere/User.INI"), profiles);
}

// What follows the six records belongs to someone else: a save that cannot
// read it writes nothing, and its goods wait as after any failed save.
TEST_F(Goods, ASaveThatCannotReadTheProfilesTailWritesNothingAndItsGoodsWait) {
  const std::string tail(64, 't');
  ASSERT_TRUE(users.SaveUser());
  dir.Write("User.INI", dir.Read("User.INI") + tail);
  const std::string profiles = dir.Read("User.INI");
  Buy("Laser", 200);
  plat::FailNextFileCall(plat::FileCall::Read, EIO);
  EXPECT_FALSE(users.SaveMoneyAndGoods());
  EXPECT_EQ(fw::LastError, "Unable to Save User.INI and user2.DAT: User.INI: Input/output error");
  EXPECT_EQ(dir.Read("User.INI"), profiles);
  EXPECT_FALSE(dir.Exists("save/user2.DAT"));
  EXPECT_FALSE(dir.Exists(std::string(plat::kSaveJournalName)));
  ASSERT_TRUE(users.SaveUser());
  EXPECT_EQ(OnDisk(), "200|Laser;");
  EXPECT_EQ(dir.Read("User.INI").substr(384), tail);
}

TEST_F(Goods, NumbersNoGameWritesAreMendedAndToldOnce) {
  const struct {
    int32_t money, kill, death, mKill, mission;
    int32_t wantMoney, wantKill, wantDeath, wantMKill, wantMission;
  } cases[] = {
      {-1, 0, 0, 0, -5, 0, 0, 0, 0, 1},
      {5, -3, -2147483647 - 1, -1, 3, 5, 0, 0, 0, 3},
      {7, 1, 1, 1, 25, 7, 1, 1, 1, 25},  // played modulo 20: kept
      {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},    // never set up: kept
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mission);
    fw::SingleUser& u = *users.Item(4);
    u.Money = c.money;
    u.Kill = c.kill;
    u.Death = c.death;
    u.mKill = c.mKill;
    u.Mission = c.mission;
    ASSERT_TRUE(users.SaveUser());
    fw::UsersClass read;
    Choose(read, 4);
    const bool mended = c.money != c.wantMoney || c.kill != c.wantKill || c.death != c.wantDeath ||
                        c.mKill != c.wantMKill || c.mission != c.wantMission;
    fw::LastError.clear();
    EXPECT_EQ(read.ReadUser(), !mended);
    EXPECT_EQ(fw::LastError,
              mended ? "User.INI held numbers no game writes in 1 profile: they were set back to the start." : "");
    const fw::SingleUser& r = *read.Item(4);
    EXPECT_EQ(r.Money, c.wantMoney);
    EXPECT_EQ(r.Kill, c.wantKill);
    EXPECT_EQ(r.Death, c.wantDeath);
    EXPECT_EQ(r.mKill, c.wantMKill);
    EXPECT_EQ(r.Mission, c.wantMission);
    EXPECT_EQ(read.Item(5)->Money, 500);
    // Saved mended, the file reads back without a word.
    ASSERT_TRUE(read.SaveUser());
    EXPECT_TRUE(read.ReadUser());
  }
}

// A game killed at random moments while the factory saves: after each
// restart money and goods come from the same save, the other profiles and
// their files are untouched, and nothing temporary is left.
TEST_F(Goods, KillsDuringFactorySavesNeverPartMoneyFromGoods) {
  const char* env = std::getenv("FERROWIND_SAVE_KILLS");
  const int rounds = env ? std::max(1, std::atoi(env)) : 100;
  dir.Write("save/user1.DAT", "\"Other\",1,0\r\n");
  ASSERT_TRUE(users.SaveMoneyAndGoods());
  const std::string others = [this] {
    std::string bytes = dir.Read("User.INI");
    return bytes.substr(0, 64) + bytes.substr(128);
  }();
  // One save's length, to spread the kills over the saves and between them.
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(users.SaveMoneyAndGoods());
  const auto oneSave =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start) / 5;
  const unsigned seed = std::random_device{}();
  std::mt19937 random(seed);
  std::uniform_int_distribution<int64_t> moment(0, 4 * oneSave.count() + 500);
  int advanced = 0, finishedAtStart = 0, advancedAfterAnother = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
    const std::string before = OnDisk();
    const int32_t from = std::stoi(before);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // A new game chooses the profile, reading what the last one saved;
      // then visit after visit, each spending one more and buying its own
      // item.
      users.ReadUser();
      users.LoadEQUFile();
      for (int32_t k = from + 1; k < from + 100000; ++k) {
        users.UserEQU->RemoveAll();
        Buy("Item" + std::to_string(k), k);
        users.SaveMoneyAndGoods();
      }
      ::_exit(0);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    // The next start.
    if (dir.Exists(std::string(plat::kSaveJournalName))) ++finishedAtStart;
    ASSERT_EQ(plat::RecoverFilesWrittenTogether(fw::AppPath), "");
    plat::RemoveStaleSaveFiles(fw::AppPath);
    plat::RemoveStaleSaveFiles(fw::AppPath + "\\save");
    const std::string after = OnDisk();
    const int32_t money = std::stoi(after);
    if (money == from) {
      EXPECT_EQ(after, before);
    } else {
      if (advanced++ > 0) ++advancedAfterAnother;
      EXPECT_GT(money, from);
      EXPECT_EQ(after, std::to_string(money) + "|Item" + std::to_string(money) + ";");
    }
    const std::string profiles = dir.Read("User.INI");
    ASSERT_EQ(profiles.size(), 384u);
    EXPECT_EQ(profiles.substr(0, 64) + profiles.substr(128), others);
    EXPECT_EQ(dir.Read("save/user1.DAT"), "\"Other\",1,0\r\n");
    for (const char* folder : {"", "save"})
      for (const auto& e : std::filesystem::directory_iterator(dir.File(folder))) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "save" || name == "User.INI" || name.starts_with("user")) << name;
      }
    if (HasFailure()) break;
  }
  std::printf("%d kills: %d found the later save (%d of them finished by the start), %d the earlier one\n", rounds,
              advanced, finishedAtStart, rounds - advanced);
  // Each game saves over what it read: the saves go on from run to run.
  if (rounds >= 20) {
    EXPECT_GT(advancedAfterAnother, 0);
  }
}

}  // namespace
