// The sample set's profiles: whichever one a new player picks starts the
// campaign at its first mission, and a player's own profiles are never
// written over when the set is made again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "data/users.hpp"
#include "tests/common/test_support.hpp"

namespace {

fw::UsersClass Read(const std::string& file) {
  fw::UsersClass users;
  users.File = file;
  users.ReadUser();
  return users;
}

TEST(SampleProfiles, EveryProfileStartsAtTheFirstMissionWithMoneyToArmATank) {
  const fw::UsersClass users = Read(fwtest::SampleDataFolder() + "/User.INI");
  for (int32_t n = 1; n <= fw::UsersClass::kProfiles; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(users.Item(n)->Mission, 1) << "mission 0 would send a new player to the last mission";
    EXPECT_EQ(users.Item(n)->Money, 1500);
    EXPECT_EQ(users.Item(n)->Name, "New User" + std::to_string(n));
    EXPECT_EQ(users.Item(n)->Kill, 0);
  }
}

TEST(SampleProfiles, APlayersOwnProfilesAreKeptWhateverTheLetterCaseOfTheirName) {
  if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
  fwtest::TempProgramFolder dir;
  fw::UsersClass mine;
  mine.File = dir.File("user.ini");
  mine.Item(1)->Name = "Veteran";
  mine.Item(1)->Mission = 14;
  mine.Item(1)->Money = 98765;
  ASSERT_TRUE(mine.SaveUser());
  const std::string before = dir.Read("user.ini");

  fwtest::WriteSampleData(dir.Path());
  EXPECT_EQ(dir.Read("user.ini"), before);
  EXPECT_FALSE(dir.Exists("User.INI")) << "a second profile file would hide or shadow the player's";
}

}  // namespace
