// Player profiles ("User.INI") and equipment files.
#include <gtest/gtest.h>

#include <cstring>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/helpers.hpp"
#include "platform/runtime/code_page.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/test_support.hpp"

namespace {

class DataUsers : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::LastError.clear();
    users.File = fw::AppPath + "\\User.INI";
    users.EQUFile = fw::AppPath + "\\save\\user2.DAT";
    plat::MakeDir(fw::AppPath + "\\save");
  }
  fwtest::TempProgramFolder dir;
  fw::UsersClass users;
};

std::string Record(const std::string& name, int32_t money, int32_t mission, const std::string& ctl) {
  std::string r(64, '\0');
  std::string n = name;
  n.resize(20, ' ');
  std::memcpy(r.data(), n.data(), 20);
  std::memcpy(r.data() + 20, &money, 4);
  const int32_t kills = 7;
  std::memcpy(r.data() + 24, &kills, 4);
  std::memcpy(r.data() + 48, &mission, 4);
  std::string c = ctl;
  c.resize(12, ' ');
  std::memcpy(r.data() + 52, c.data(), 12);
  return r;
}

TEST_F(DataUsers, SixProfilesKeyedBySpaceAndNumber) {
  ASSERT_EQ(users.Count(), 6);
  EXPECT_EQ(users.Item(1)->Key, " 1");
  EXPECT_EQ(users.Item(" 6")->Key, " 6");
  EXPECT_THROW(users.Item(7), plat::RuntimeError);
  EXPECT_THROW(users.NowItem(), plat::RuntimeError);  // no profile chosen yet
  users.NowUser = 3;
  EXPECT_EQ(users.NowItem()->Key, " 3");
}

TEST_F(DataUsers, MissingFileIsCreatedEmptyAndGivesBlankProfiles) {
  users.Item(2)->Name = "stale";
  users.ReadUser();
  EXPECT_TRUE(dir.Exists("User.INI"));
  EXPECT_EQ(dir.Read("User.INI").size(), 0u);
  for (const auto& u : users) {
    EXPECT_EQ(u->Name, "");
    EXPECT_EQ(u->Money, 0);
    EXPECT_EQ(u->Mission, 0);
  }
}

TEST_F(DataUsers, ByteExactRoundTrip) {
  std::string file;
  for (int i = 1; i <= 6; ++i) file += Record("Pilot" + std::to_string(i), 1000 * i, i, "Default.cfg");
  file += "trailing bytes of someone else";
  dir.Write("User.INI", file);
  users.ReadUser();
  EXPECT_EQ(users.Item(4)->Name, "Pilot4");
  EXPECT_EQ(users.Item(4)->Money, 4000);
  EXPECT_EQ(users.Item(4)->Kill, 7);
  EXPECT_EQ(users.Item(4)->Mission, 4);
  EXPECT_EQ(users.Item(4)->CtlFile, "Default.cfg ");  // as it stands, with its space
  ASSERT_TRUE(users.SaveUser());
  EXPECT_EQ(dir.Read("User.INI"), file);
}

TEST_F(DataUsers, NamesAreCutAt20BytesWithoutSplittingACharacter) {
  users.ReadUser();
  users.Item(1)->Name = "ABCDEFGHIJKLMNOPQRSTUVWXY";  // 25
  users.Item(2)->Name = "Bob";
  users.Item(3)->Name = "ABCDEFGHIJKLMNOPQR" + plat::FromUtf8("中") + "Z";  // bytes 19 and 20
  users.Item(4)->CtlFile = "VeryLongSettings.cfg";
  ASSERT_TRUE(users.SaveUser());
  const std::string bytes = dir.Read("User.INI");
  ASSERT_EQ(bytes.size(), 384u);
  EXPECT_EQ(bytes.substr(0, 20), "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(bytes.substr(64, 20), "Bob                 ");
  EXPECT_EQ(bytes.substr(128, 20), "ABCDEFGHIJKLMNOPQR\xD6\xD0");
  EXPECT_EQ(bytes.substr(192 + 52, 12), "VeryLongSett");
  fw::UsersClass again;
  again.File = users.File;
  again.ReadUser();
  EXPECT_EQ(again.Item(1)->Name, "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(again.Item(2)->Name, "Bob");
  users.Item(3)->Name = "ABCDEFGHIJKLMNOPQRS" + plat::FromUtf8("中");  // would straddle byte 20
  ASSERT_TRUE(users.SaveUser());
  again.ReadUser();
  EXPECT_EQ(again.Item(3)->Name, "ABCDEFGHIJKLMNOPQRS");  // the whole character goes
}

TEST_F(DataUsers, ShortFileFillsTheRestBlank) {
  std::string file = Record("One", 5, 1, "a.cfg") + Record("Two", 6, 2, "b.cfg").substr(0, 30);
  dir.Write("User.INI", file);
  users.Item(3)->Money = 99;
  users.ReadUser();
  EXPECT_EQ(users.Item(1)->Name, "One");
  EXPECT_EQ(users.Item(2)->Name, "Two");
  EXPECT_EQ(users.Item(2)->Kill, 7);
  EXPECT_EQ(users.Item(2)->Mission, 0);  // cut off
  EXPECT_EQ(users.Item(3)->Money, 0);
  EXPECT_EQ(users.Item(3)->CtlFile, std::string(12, ' '));
  dir.Write("User.INI", std::string(20, '\0'));  // another writer's padding
  users.ReadUser();
  EXPECT_EQ(users.Item(1)->Name, "");
}

TEST_F(DataUsers, NewUserResetsOneProfileAndTheLists) {
  users.ReadUser();
  users.Item(2)->Name = "Keep";
  users.Item(3)->Money = 500;
  users.Item(3)->mWon = 2;
  users.UserEQU->Add("", 1, "Laser", 0);
  users.NowEQU->Add("", 5, "Tank", 0);
  users.NewUser(3);
  EXPECT_EQ(users.Item(3)->Name, "New User3");
  EXPECT_EQ(users.Item(3)->Money, 0);
  EXPECT_EQ(users.Item(3)->mWon, 0);
  EXPECT_EQ(users.Item(3)->CtlFile, "Default.cfg");
  EXPECT_EQ(users.Item(2)->Name, "Keep");
  EXPECT_EQ(users.UserEQU->Count(), 0);
  EXPECT_EQ(users.NowEQU->Count(), 0);
  EXPECT_FALSE(dir.Exists("User.INI") && !dir.Read("User.INI").empty());  // writes no file
}

TEST_F(DataUsers, InterruptedSaveLeavesThePreviousFile) {
  users.ReadUser();
  users.Item(1)->Name = "First";
  ASSERT_TRUE(users.SaveUser());
  const std::string before = dir.Read("User.INI");
  users.Item(1)->Name = "Second";
  plat::FailNextAtomicRename();
  EXPECT_FALSE(users.SaveUser());
  EXPECT_EQ(fw::LastError, "Unable to Save User.INI");
  EXPECT_EQ(dir.Read("User.INI"), before);

  users.NowEQU->Add("", 5, "Hull", 0);
  ASSERT_TRUE(users.SaveEQUFile());
  const std::string equ = dir.Read("save/user2.DAT");
  users.NowEQU->Add("", 2, "Engine", 0);
  plat::FailNextAtomicRename();
  EXPECT_FALSE(users.SaveEQUFile());
  EXPECT_EQ(fw::LastError, "Unable to Save user2.DAT");
  EXPECT_EQ(dir.Read("save/user2.DAT"), equ);
}

TEST_F(DataUsers, SaveIntoAMissingFolderFails) {
  users.File = fw::AppPath + "\\nowhere\\User.INI";
  EXPECT_FALSE(users.SaveUser());
  EXPECT_EQ(fw::LastError, "Unable to Save User.INI: No such file or directory");
}

TEST_F(DataUsers, EquipmentFileTellsOwnedFromFittedByTheNumber) {
  dir.Write("save/user2.DAT", "\"A\",2,0\r\n\"B\",13,0\r\n\"Laser\",11,3\r\n");
  users.UserEQU->Add("", 1, "stale", 0);
  ASSERT_TRUE(users.LoadEQUFile());
  ASSERT_EQ(users.UserEQU->Count(), 1);
  EXPECT_EQ(users.UserEQU->Item(1)->ID, "A");
  EXPECT_EQ(users.UserEQU->Item(1)->Index, 2);
  ASSERT_EQ(users.NowEQU->Count(), 2);
  EXPECT_EQ(users.NowEQU->Item(1)->ID, "B");
  EXPECT_EQ(users.NowEQU->Item(1)->Index, 3);
  EXPECT_EQ(users.NowEQU->Item(1)->color, 0);
  EXPECT_EQ(users.NowEQU->Item(2)->Index, 1);
  EXPECT_EQ(users.NowEQU->Item(2)->color, 3);
}

TEST_F(DataUsers, EquipmentRoundTripKeepsOrderKindsAndMounts) {
  users.UserEQU->Add("", 1, "Laser", 0);
  users.UserEQU->Add("", 3, "Shield, heavy", 0);
  users.UserEQU->Add("", 1, "Laser", 0);
  users.NowEQU->Add("", 5, "Hull", 0);
  users.NowEQU->Add("", 1, "Laser", 3);
  users.NowEQU->Add("", 1, "Missile", 13);
  ASSERT_TRUE(users.SaveEQUFile());
  EXPECT_EQ(dir.Read("save/user2.DAT"),
            "\"Laser\",1,0\r\n\"Shield, heavy\",3,0\r\n\"Laser\",1,0\r\n"
            "\"Hull\",15,0\r\n\"Laser\",11,3\r\n\"Missile\",11,13\r\n");
  fw::UsersClass again;
  again.EQUFile = users.EQUFile;
  ASSERT_TRUE(again.LoadEQUFile());
  for (auto [a, b] : {std::pair{&*users.UserEQU, &*again.UserEQU}, std::pair{&*users.NowEQU, &*again.NowEQU}}) {
    ASSERT_EQ(a->Count(), b->Count());
    for (int i = 1; i <= a->Count(); ++i) {
      EXPECT_EQ(a->Item(i)->ID, b->Item(i)->ID);
      EXPECT_EQ(a->Item(i)->Index, b->Item(i)->Index);
      EXPECT_EQ(a->Item(i)->color, b->Item(i)->color);
    }
  }
}

TEST_F(DataUsers, MissingEquipmentFileLeavesBothListsEmpty) {
  users.UserEQU->Add("", 1, "x", 0);
  users.NowEQU->Add("", 1, "y", 0);
  EXPECT_TRUE(users.LoadEQUFile());
  EXPECT_EQ(users.UserEQU->Count(), 0);
  EXPECT_EQ(users.NowEQU->Count(), 0);
}

TEST_F(DataUsers, DamagedEquipmentFileKeepsEveryLineThatParses) {
  const struct {
    std::string text;
    const char* message;
  } damaged[] = {
      {"\"A\",1,0\r\n\"B\",12,0\r\n\"C\",banana,0\r\n\"D\",1,0\r\n", "1 line of user2.DAT cannot be read and is"},
      {"\"A\",1,0\r\n\"B\",12,0\r\n\"C\",1\r\n\"D\",1,0\r\n", "1 line of user2.DAT cannot be read and is"},
      {"\"A\",1,0\r\n\"B\",12,0\r\n\"C\",1,0,9\r\n\"D\",1,0\r\n", "1 line of user2.DAT cannot be read and is"},
      {"\"A\",1,0\r\n\r\n\"B\",12,0\r\nx\r\n\"D\",1,0\r\n\"C\",99999999999,0\r\n",
       "2 lines of user2.DAT cannot be read and are"},
  };
  for (const auto& d : damaged) {
    SCOPED_TRACE(d.text);
    dir.Write("save/user2.DAT", d.text);
    fw::LastError.clear();
    EXPECT_FALSE(users.LoadEQUFile());
    EXPECT_EQ(fw::LastError, std::string(d.message) + " left out: the file is kept aside at the next save.");
    ASSERT_EQ(users.UserEQU->Count(), 2);
    EXPECT_EQ(users.UserEQU->Item(1)->ID, "A");
    EXPECT_EQ(users.UserEQU->Item(2)->ID, "D");
    ASSERT_EQ(users.NowEQU->Count(), 1);
    EXPECT_EQ(users.NowEQU->Item(1)->ID, "B");
  }
}

TEST_F(DataUsers, RemoveTakesTheLastExactMatch) {
  users.UserEQU->Add("", 1, "Laser", 0)->color = 1;
  users.UserEQU->Add("", 2, "Engine", 0);
  users.UserEQU->Add("", 1, "Laser", 0)->color = 2;
  users.RemoveEQU("Laser");
  ASSERT_EQ(users.UserEQU->Count(), 2);
  EXPECT_EQ(users.UserEQU->Item(1)->color, 1);
  EXPECT_EQ(users.UserEQU->Item(2)->ID, "Engine");
  users.RemoveEQU("laser");  // letter case counts
  users.RemoveEQU("Nothing");
  EXPECT_EQ(users.UserEQU->Count(), 2);

  users.NowEQU->Add("", 1, "Gun", 1);
  users.NowEQU->Add("", 1, "Gun", 2);
  users.RemoveNOWEQU("GUN");
  EXPECT_EQ(users.NowEQU->Count(), 2);
  users.RemoveNOWEQU("Gun");
  ASSERT_EQ(users.NowEQU->Count(), 1);
  EXPECT_EQ(users.NowEQU->Item(1)->color, 1);
}

TEST_F(DataUsers, NetworkGameSharesTheFittedTankObject) {
  fw::Users.Release();
  fw::NetTank.Release();
  fw::Users->NowTank->Key = "Hull";
  fw::NetTank.Set(fw::Users->NowTank.Shared());
  fw::Users->NowTank->Agile = 3;
  EXPECT_EQ(fw::NetTank->Agile, 3.0f);
  EXPECT_EQ(fw::NetUsers->Count(), 6);
  fw::Users.Release();
  fw::NetUsers.Release();
  fw::NetTank.Release();
}

}  // namespace

TEST_F(DataUsers, ATenCharacterChineseNameFillsTheFieldByteForByte) {
  users.ReadUser();
  // Typed one character at a time under the name rule, as the profile
  // screen adds them.
  std::string name;
  for (int16_t code : plat::KeyAsciiCodes("中文名字十个汉字测试")) {
    const std::string ch = plat::KeyAsciiText(code);
    ASSERT_TRUE(fw::NameHasRoomFor(name, ch)) << name.size();
    name += ch;
  }
  EXPECT_EQ(fw::AnsiByteLen(name), 20);
  EXPECT_FALSE(fw::NameHasRoomFor(name, "A"));
  users.Item(2)->Name = name;
  ASSERT_TRUE(users.SaveUser());
  const std::string cp936 = "\xd6\xd0\xce\xc4\xc3\xfb\xd7\xd6\xca\xae\xb8\xf6\xba\xba\xd7\xd6\xb2\xe2\xca\xd4";
  EXPECT_EQ(dir.Read("User.INI").substr(64, 20), cp936);
  fw::UsersClass again;
  again.File = users.File;
  again.ReadUser();
  EXPECT_EQ(again.Item(2)->Name, cp936);
  EXPECT_EQ(plat::ToUtf8(again.Item(2)->Name), "中文名字十个汉字测试");
  ASSERT_TRUE(again.SaveUser());
  EXPECT_EQ(dir.Read("User.INI").substr(64, 20), cp936);
}

TEST(NameRule, ACharacterIsAddedOnlyWhenItFitsWhole) {
  const std::string nineteen(19, 'a');
  EXPECT_TRUE(fw::NameHasRoomFor(nineteen, "b"));
  // Half a character would be cut off when saved: the name shown would
  // not be the name kept.
  EXPECT_FALSE(fw::NameHasRoomFor(nineteen, plat::FromUtf8("中")));
  EXPECT_TRUE(fw::NameHasRoomFor(std::string(18, 'a'), plat::FromUtf8("中")));
  EXPECT_FALSE(fw::NameHasRoomFor(std::string(20, 'a'), ""));
}
