// The factory's save of money and goods when the journal's name is taken:
// the player is told what stands in the way.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/common/test_support.hpp"

namespace {

TEST(SaveJournalInTheWay, AFolderNamedLikeTheJournalIsNamedInTheMessageAndNothingIsWritten) {
  fwtest::TempProgramFolder dir;
  plat::MakeDir(fw::AppPath + "\\save");
  fw::UsersClass users;
  users.File = fw::AppPath + "\\User.INI";
  users.EQUFile = fw::AppPath + "\\save\\user1.DAT";
  users.NowUser = 1;
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

}  // namespace
