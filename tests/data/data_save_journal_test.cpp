// The factory's save of money and goods when the journal's name is taken:
// the player is told what stands in the way; and a purchase a killed game
// left half-landed, met by the next start.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/last_save.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/common/test_support.hpp"
#include "tests/data/data_test_support.hpp"

namespace {

TEST(SaveJournalInTheWay, AFolderNamedLikeTheJournalIsNamedInTheMessageAndNothingIsWritten) {
  fwtest::TempProgramFolder dir;
  plat::MakeDir(fw::AppPath + "\\save");
  fw::UsersClass users;
  datatest::Choose(users, 1);
  users.ReadUser();
  const std::string before = dir.Read("User.INI");
  std::filesystem::create_directory(dir.File(std::string(plat::kSaveJournalName)));
  users.NowItem()->Money = 77;
  users.UserEQU->Add("", 1, "Laser", 0);
  EXPECT_FALSE(users.SaveMoneyAndGoods());
  EXPECT_EQ(fw::LastError,
            "Unable to Save User.INI and user1.DAT: SaveJournal.bin in the game folder is a folder, not a file");
  EXPECT_EQ(dir.Read("User.INI"), before);
  EXPECT_FALSE(dir.Exists("save/user1.DAT"));
}

// User.INI took the Laser's money, the goods' rename failed, and the player
// put a file of their own at the goods' name before the game ended: the next
// start, with no save between, owes the Laser to the money and keeps the
// player's file aside first, however it was made. What else the player
// changed in User.INI, beside profile 2's record, stays.
TEST(SaveJournalAtStart, AHalfLandedPurchaseIsFinishedOverThePlayersFileKeptAside) {
  const std::string mine = "\"Mine\",1,0\r\n";
  const auto replaced = [&mine](const std::string& file) {
    std::filesystem::remove(file);
    std::ofstream(file, std::ios::binary) << mine;
  };
  const struct {
    const char* what;
    std::function<void(const std::string&)> edit;
    std::function<void(std::string&)> editUsers = [](std::string&) {};
  } cases[] = {
      {"replaced", replaced},
      {"replaced, 16 bytes appended to User.INI", replaced, [](std::string& users) { users += std::string(16, 't'); }},
      {"replaced, profile 3's money changed in User.INI", replaced,
       [](std::string& users) { users[2 * fw::kProfileRecordBytes + fw::kProfileNumbersAt] ^= 1; }},
      {"appended", [&mine](const std::string& file) { std::ofstream(file, std::ios::binary | std::ios::app) << mine; }},
      {"rewritten at its size",
       [](const std::string& file) {
         std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
         f.seekp(1);
         f << 'M';
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fwtest::TempProgramFolder dir;
    plat::MakeDir(fw::AppPath + "\\save");
    fw::UsersClass users;
    datatest::Choose(users, 2);
    users.ReadUser();
    users.NowItem()->Name = "Ann";
    users.NowItem()->Money = 300;
    users.UserEQU->Add("", 1, "Gun", 0);
    ASSERT_TRUE(users.SaveMoneyAndGoods());
    users.UserEQU->Add("", 1, "Laser", 0);
    users.NowItem()->Money = 150;
    // The journal's rename, User.INI's, then the goods'.
    plat::FailNextAtomicRename(2);
    ASSERT_FALSE(users.SaveMoneyAndGoods());
    ASSERT_TRUE(dir.Exists(std::string(plat::kSaveJournalName)));
    c.edit(dir.File("save/user2.DAT"));
    const std::string players = dir.Read("save/user2.DAT");
    std::string usersNow = dir.Read("User.INI");
    c.editUsers(usersNow);
    dir.Write("User.INI", usersNow);

    EXPECT_TRUE(fw::FinishLastSave(fw::AppPath));
    EXPECT_EQ(fw::LastSaveNotice(),
              "save/user2.DAT changed after the save began: it is kept aside as save/user2.DAT.changed-1, and the save "
              "of profile 2 (Ann) is finished.");
    EXPECT_EQ(dir.Read("save/user2.DAT.changed-1"), players);
    fw::UsersClass fresh;
    fresh.File = users.File;
    fresh.NowUser = 2;
    fresh.ReadUser();
    EXPECT_EQ(fresh.NowItem()->Money, 150);
    EXPECT_EQ(dir.Read("save/user2.DAT"), "\"Gun\",1,0\r\n\"Laser\",1,0\r\n");
    EXPECT_EQ(dir.Read("User.INI"), usersNow);
    fw::TellOfLastSave();
  }
}

}  // namespace
