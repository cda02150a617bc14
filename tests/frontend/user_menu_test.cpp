#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "engine/last_save.hpp"
#include "frontend/user_menu.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/deletion_calls.hpp"
#include "tests/common/test_support.hpp"
#include "tests/data/kept_copy.hpp"
#include "tests/engine/display_support.hpp"
#include "tests/frontend/screen_support.hpp"

namespace {

using namespace fwtest;

// Boards rest at x about 40, y 60i - 50; YES at (360, 400), DEL at (40, 400).
Step ClickBoard(int i) { return Click(100, 60.0f * i - 25); }
Step ClickYes() { return Click(480, 425); }
Step ClickDel() { return Click(160, 425); }
constexpr int kSlideIn = 80;

class UserMenu : public ScreenTest {
 protected:
  std::shared_ptr<fw::FrmUserMenuClass> screen = std::make_shared<fw::FrmUserMenuClass>();
  void SetUp() override {
    ScreenTest::SetUp();
    WritePilots();
  }
  void WritePilots() {
    WriteProfiles([](fw::UsersClass& u) {
      for (int i = 1; i <= 6; ++i) {
        u.Item(i)->Name = "Pilot" + std::to_string(i);
        u.Item(i)->Mission = i;
        u.Item(i)->Money = 100 * i;
      }
    });
  }
};

TEST_F(UserMenu, FirstVisitSelectsProfileOneAndYesPlaysIt) {
  int built = 0;
  fw::BuildBattleTank = [&] { ++built; };
  Run(screen, 5, {Wait(kSlideIn), ClickYes()});
  EXPECT_EQ(fw::GameState, 1);
  EXPECT_EQ(fw::Users->NowUser, 1);
  EXPECT_EQ(screen->Slot(), 1);
  EXPECT_EQ(built, 1);
  EXPECT_EQ(fw::Users->EQUFile, fw::AppPath + "\\save\\user1.DAT");
  EXPECT_TRUE(plat::DirExists(fw::AppPath + "\\save"));
}

TEST_F(UserMenu, ALaterVisitPreselectsTheCurrentProfile) {
  fw::Users->NowUser = 4;
  Run(screen, 5, {Wait(kSlideIn), ClickYes()});
  EXPECT_EQ(fw::Users->NowUser, 4);
  EXPECT_EQ(fw::Users->EQUFile, fw::AppPath + "\\save\\user4.DAT");
}

TEST_F(UserMenu, RenamingASelectedBoardIsSavedByYes) {
  Run(screen, 5,
      {Wait(kSlideIn), ClickBoard(3), Until([&] { return screen->Slot() == 3 && !screen->Editing(); }),
       ClickBoard(3), Until([&] { return screen->Editing(); }), Type("Zed"), Key(kBackspace, kBackspace),
       Type("ra"), Enter(), ClickYes()});
  EXPECT_EQ(fw::Users->NowUser, 3);
  EXPECT_EQ(SavedProfiles()->Item(3)->Name, "Zera");  // the first character replaced the old name
  EXPECT_EQ(SavedProfiles()->Item(1)->Name, "Pilot1");
}

TEST_F(UserMenu, BackspaceOutsideEditingLeavesTheNameAlone) {
  Run(screen, 5, {Wait(kSlideIn), ClickBoard(2), Key(kBackspace, kBackspace), Key(kBackspace, kBackspace), ClickYes()});
  EXPECT_EQ(SavedProfiles()->Item(2)->Name, "Pilot2");
}

TEST_F(UserMenu, ANameStopsAtTwentyBytesWithoutHalfACharacter) {
  const int16_t wide = static_cast<int16_t>(0xB0A1);
  Run(screen, 5,
      {Wait(kSlideIn), ClickBoard(1), Type("abcdefghijklmnopqrs"), Key(0, wide), Type("t"), Type("u"), ClickYes()});
  // 19 bytes refuse a double-byte character and take one more single one.
  EXPECT_EQ(SavedProfiles()->Item(1)->Name, "abcdefghijklmnopqrst");
}

TEST_F(UserMenu, EscWhileEditingRestoresTheNameWhenConfirmed) {
  Run(screen, 5,
      {Wait(kSlideIn), ClickBoard(1), Type("New"), Esc(), No(), Type("er"), Esc(), Yes(),
       Until([&] { return !screen->Editing(); }), ClickYes()});
  EXPECT_EQ(SavedProfiles()->Item(1)->Name, "Pilot1");
}

TEST_F(UserMenu, DeleteResetsTheProfileAndItsEquipmentOnlyAfterY) {
  folder_.Write("save/user2.DAT", "\"Tank\",5,0\r\n");
  Run(screen, 5, {Wait(kSlideIn), ClickBoard(2), ClickDel(), No(), Wait(2), Do([] {
                    EXPECT_EQ(fw::Users->Item(2)->Name, "Pilot2");
                  }),
                  ClickDel(), Yes(), Wait(2), ClickYes()});
  const auto saved = SavedProfiles();
  EXPECT_EQ(saved->Item(2)->Name, "New User2");
  EXPECT_EQ(saved->Item(2)->Mission, 1);
  EXPECT_EQ(saved->Item(2)->Money, 1500);
  EXPECT_EQ(saved->Item(3)->Money, 300);
  EXPECT_FALSE(folder_.Exists("save/user2.DAT"));
  EXPECT_EQ(fw::Users->NowUser, 2);
}

// A deletion that takes another profile's owed goods out over a file the
// player changed keeps that file aside first, and the board tells it.
TEST_F(UserMenu, ADeletionTellsTheCopyItKeptAsideOnTheBoard) {
  fw::Users->File = fw::AppPath + "\\User.INI";
  fw::Users->ReadUser();
  ASSERT_TRUE(datatest::OweGoodsOverThePlayersFile(*fw::Users));
  int misspelt = -1;
  Run(screen, 5, {Wait(kSlideIn), ClickBoard(3), ClickDel(), Yes(),
                  Until([] { return fw::LastError == datatest::kKeptForOwedGoods; }),
                  Do([&] { misspelt = BoardMisspellings(fw::LastError, plat::RGB(255, 0, 0)); }), Answer(' ', ' '),
                  ClickYes()});
  EXPECT_EQ(misspelt, 0);
  EXPECT_EQ(folder_.Read("save/user2.DAT.changed-1"), "\"Mine\",1,0\r\n");
  EXPECT_EQ(SavedProfiles()->Item(3)->Name, "New User3");
}

// A deletion failing at any of its file calls: the player reads why, the
// board shows the profile as User.INI holds it, and YES saves that profile
// with its own goods: the old one where User.INI was not yet replaced, the
// new one without a goods file after. The profiles read again say what they
// say (numbers mended in the old file) after the deletion's message.
TEST_F(UserMenu, AFailedDeletionShowsTheProfileTheFileHoldsAndYesKeepsItsGoods) {
  const std::string goods = "\"Tank\",5,0\r\n";
  const Step mended = Until([] { return fw::LastError.find("held numbers no game writes") != std::string::npos; });
  for (const fwtest::DeletionCall& call : fwtest::kDeletionCalls) {
    if (call.landed) continue;
    SCOPED_TRACE(call.what);
    WritePilots();
    WriteProfiles([](fw::UsersClass& u) {
      u.ReadUser();
      u.Item(5)->Mission = -5;
    });
    folder_.Write("save/user2.DAT", goods);
    fw::Users.Release();
    fw::LastError.clear();
    std::string shown, told;
    std::vector<Step> steps{
        mended, Answer(' ', ' '), Wait(kSlideIn), ClickBoard(2),
        Do([&] { plat::FailNextFileCall(call.call, EIO, call.skip); }), ClickDel(), Yes(),
        Until([] { return fw::LastError.find("Input/output error") != std::string::npos; }), Do([&] {
          shown = fw::Users->Item(2)->Name;
          told = fw::LastError;
        }),
        Answer(' ', ' ')};
    // A User.INI already replaced holds the numbers mended.
    if (!call.replaced) steps.insert(steps.end(), {mended, Answer(' ', ' ')});
    steps.push_back(ClickYes());
    Run(std::make_shared<fw::FrmUserMenuClass>(), 5, steps);
    EXPECT_EQ(told, "Unable to delete the profile (User.INI and user2.DAT): " + std::string(call.where) +
                        "Input/output error" + call.Outcome());
    EXPECT_EQ(shown, call.replaced ? "New User2" : "Pilot2");
    // The next start.
    ASSERT_TRUE(fw::FinishLastSave(fw::AppPath));
    EXPECT_EQ(SavedProfiles()->Item(2)->Name, call.replaced ? "New User2" : "Pilot2");
    EXPECT_EQ(SavedProfiles()->Item(2)->Money, call.replaced ? 1500 : 200);
    EXPECT_EQ(folder_.Exists("save/user2.DAT"), !call.replaced);
    if (!call.replaced) {
      EXPECT_EQ(folder_.Read("save/user2.DAT"), goods);
    }
  }
}

// A deletion whose goods file the save folder will not let go (another
// user's file in a folder where only owners remove), then YES or leaving:
// the start after it never plays the new profile beside the old goods. It
// says what the file's owner must do and waits; once the file is given
// back, it finishes the deletion.
TEST_F(UserMenu, ADeletionRefusedForRealWaitsForTheFilesOwnerWhateverFollows) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  const std::string clause = "; the next start finishes it unless a later save comes first";
  const std::string refused = ": save/user1.DAT: Operation not permitted" + clause;
  const struct {
    const char* then;
    bool yes;  // YES saves the profiles again; else Esc, Y leaves the game
  } cases[] = {{"YES", true}, {"leaving", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.then);
    WritePilots();
    folder_.Write("save/user1.DAT", "\"Tank\",5,0\r\n");
    ASSERT_EQ(::chown(folder_.File("save").c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(folder_.File("save").c_str(), 01777), 0);
    ASSERT_EQ(::chown(folder_.File("save/user1.DAT").c_str(), 65534, 65534), 0);
    fw::Users.Release();
    std::string shown, told, toldByYes;
    const Step notPermitted = Until([] { return fw::LastError.find(": Operation not permitted") != std::string::npos; });
    std::vector<Step> steps{Wait(kSlideIn), ClickBoard(1), ClickDel(), Yes(), notPermitted, Do([&] {
                              shown = fw::Users->Item(1)->Name;
                              told = fw::LastError;
                              fw::LastError.clear();
                            }),
                            Answer(' ', ' ')};
    if (c.yes)
      steps.insert(steps.end(), {ClickYes(), notPermitted, Do([&] { toldByYes = fw::LastError; }), Answer(' ', ' ')});
    else
      steps.insert(steps.end(), {Wait(2), Esc(), Yes()});
    {
      const WithoutFilePowers player;
      Run(std::make_shared<fw::FrmUserMenuClass>(), 5, steps);
    }
    EXPECT_EQ(told, "Unable to delete the profile (User.INI and user1.DAT)" + refused);
    EXPECT_EQ(shown, "New User1");
    if (c.yes) {
      EXPECT_EQ(toldByYes, "Unable to Save User.INI and user1.DAT" + refused);
    }
    // The next start, and every one after it while the file is not given back.
    for (int start = 1; start <= 2; ++start) {
      const WithoutFilePowers player;
      testing::internal::CaptureStderr();
      EXPECT_FALSE(fw::FinishLastSave(fw::AppPath));
      EXPECT_NE(testing::internal::GetCapturedStderr().find(
                    "(save/user1.DAT: Operation not permitted): the game starts once the owner of save/user1.DAT in "
                    "the game folder " + fw::AppPath + ", or an administrator, lets the game change it (chattr -i, or "
                    "gives the file back)."),
                std::string::npos);
    }
    ASSERT_EQ(::chown(folder_.File("save/user1.DAT").c_str(), 0, 0), 0);
    {
      const WithoutFilePowers player;
      EXPECT_TRUE(fw::FinishLastSave(fw::AppPath));
    }
    EXPECT_EQ(SavedProfiles()->Item(1)->Name, "New User1");
    EXPECT_FALSE(folder_.Exists("save/user1.DAT"));
    std::filesystem::remove_all(folder_.File("save"));
  }
}

// A rename under way ends with the deletion: giving it up afterwards does
// not bring the deleted name back, and Esc asks about leaving instead.
TEST_F(UserMenu, DeletingAProfileWhileItIsRenamedEndsTheRename) {
  Run(screen, 5,
      {Wait(kSlideIn), ClickBoard(2), Until([&] { return screen->Slot() == 2 && !screen->Editing(); }), ClickBoard(2),
       Until([&] { return screen->Editing(); }), Type("Bo"), ClickDel(), Yes(), Wait(2), Esc(), Yes()});
  EXPECT_EQ(fw::GameState, 0);  // the question was whether to leave
  EXPECT_FALSE(screen->Editing());
  EXPECT_EQ(fw::Users->Item(2)->Name, "New User2");
  EXPECT_EQ(SavedProfiles()->Item(2)->Name, "New User2");
}

// A factory save that failed, then the profile screen: its reading of the
// profiles decides which goods still wait, so that YES saves money and goods
// of one moment of play, and the money the board showed.
TEST_F(UserMenu, AfterAFailedFactorySaveYesSavesAPairOfOneMomentAndTheMoneyShown) {
  const std::string oldGoods = "\"Old Gun\",1,0\r\n";
  const struct {
    const char* point;
    int failAt;   // the rename that fails, or -1: keeping the damaged goods file aside
    bool landed;  // User.INI already holds the new money
    bool replaced = false;  // the player puts a goods file of his own there before the screen
  } points[] = {
      {"the journal's rename", 0, false},
      {"User.INI's rename", 1, false},
      {"the goods' rename", 2, true},
      {"the goods' rename, the file replaced by the player's", 2, true, true},
      {"keeping the damaged goods file aside", -1, false},
  };
  enum Deal { kBuy, kSale, kBuyThenAnotherProfile };
  for (const auto& p : points)
    for (const Deal deal : {kBuy, kSale, kBuyThenAnotherProfile}) {
      SCOPED_TRACE(std::string(p.point) + ", deal " + std::to_string(deal));
      WriteProfiles([](fw::UsersClass& u) {
        for (int i = 1; i <= 6; ++i) u.Item(i)->Money = 100 * i;
      });
      std::filesystem::remove_all(folder_.File("save"));
      folder_.Write("save/user2.DAT", p.failAt < 0 ? oldGoods + "\"Bad\",x,0\r\n" : oldGoods);
      fw::Users.Release();
      fw::Users->File = fw::AppPath + "\\User.INI";
      fw::Users->EQUFile = fw::AppPath + "\\save\\user2.DAT";
      fw::Users->NowUser = 2;
      fw::Users->ReadUser();
      fw::Users->LoadEQUFile();
      // Profile 2 had 200 and the old gun.
      if (deal == kSale) {
        fw::Users->RemoveEQU("Old Gun");
        fw::Users->NowItem()->Money = 260;
      } else {
        fw::Users->UserEQU->Add("", 1, "Twin Laser", 0);
        fw::Users->NowItem()->Money = 150;
      }
      if (p.failAt >= 0) plat::FailNextAtomicRename(p.failAt);
      for (int k = 1; p.failAt < 0 && k <= 999; ++k) folder_.Write("save/user2.DAT.damaged-" + std::to_string(k), "");
      ASSERT_FALSE(fw::Users->SaveMoneyAndGoods());
      if (p.replaced) {
        std::filesystem::remove(folder_.File("save/user2.DAT"));
        folder_.Write("save/user2.DAT", "\"Mine\",1,0\r\n");
      }

      int32_t shown = -1;
      std::vector<Step> steps{Wait(kSlideIn), Do([&] { shown = fw::Users->Item(2)->Money; })};
      if (deal == kBuyThenAnotherProfile) steps.push_back(ClickBoard(3));
      steps.push_back(ClickYes());
      if (p.failAt < 0 && deal != kBuyThenAnotherProfile) {
        steps.push_back(Until([] { return fw::LastError.find("cannot be read") != std::string::npos; }));
        steps.push_back(Answer(' ', ' '));
      }
      // YES's board tells the copy kept, whichever profile it saves.
      std::string told;
      if (p.replaced) {
        steps.push_back(Until([] { return fw::LastError.find(".changed-1") != std::string::npos; }));
        steps.push_back(Do([&] { told = fw::LastError; }));
        steps.push_back(Answer(' ', ' '));
      }
      Run(std::make_shared<fw::FrmUserMenuClass>(), 5, steps);
      EXPECT_EQ(told, p.replaced ? "save/user2.DAT changed since the game read it: it is kept aside as "
                                   "save/user2.DAT.changed-1 before the goods of profile 2 are saved."
                                 : "");
      EXPECT_EQ(folder_.Exists("save/user2.DAT.changed-1"), p.replaced);

      fw::UsersClass goods;
      goods.EQUFile = fw::AppPath + "\\save\\user2.DAT";
      goods.LoadEQUFile();
      std::string items;
      for (const auto& item : *goods.UserEQU) items += item->ID + ";";
      const int32_t money = SavedProfiles()->Item(2)->Money;
      EXPECT_EQ(money, shown);
      if (!p.landed) {
        EXPECT_EQ(money, 200);
        EXPECT_EQ(items, "Old Gun;");
      } else {
        EXPECT_EQ(money, deal == kSale ? 260 : 150);
        EXPECT_EQ(items, deal == kSale ? "" : "Old Gun;Twin Laser;");
      }
      EXPECT_EQ(SavedProfiles()->Item(3)->Money, 300);
    }
}

TEST_F(UserMenu, QuitAsksAndOnlyYEndsTheProgram) {
  Run(screen, 5, {Wait(5), Click(632, 8), Key('N', 'n'), Wait(3), Click(632, 8), Yes()});
  EXPECT_EQ(fw::GameState, 0);
  auto again = std::make_shared<fw::FrmUserMenuClass>();
  Run(again, 5, {Wait(5), Esc(), Click(300, 300), Wait(3), Esc(), Yes()});
  EXPECT_EQ(fw::GameState, 0);
}

TEST_F(UserMenu, MusicOnWithoutASoundDeviceStaysSilent) {
  folder_.Write("Default.cfg", "\"VOLUME\",1\r\n");
  // No device was ever opened: the channels load nothing and play nothing.
  Run(screen, 5, {Wait(kSlideIn), ClickBoard(2), ClickYes()});
  EXPECT_TRUE(fw::Sounds->Work);
  EXPECT_EQ(fw::Sounds->Item(1)->InPlay(), 0);
  EXPECT_EQ(fw::GameState, 1);
}

TEST_F(UserMenu, AProfileFileThatCannotBeWrittenIsKeptAndTheGameGoesOn) {
  const std::string before = folder_.Read("User.INI");
  Run(screen, 5, {Wait(kSlideIn), ClickBoard(1), Type("Lost"), Do([] { plat::FailNextAtomicRename(); }), ClickYes(),
                  Until([] { return fw::LastError.find("User.INI") != std::string::npos; }), Answer(' ', ' ')});
  EXPECT_EQ(folder_.Read("User.INI"), before);
  EXPECT_EQ(fw::GameState, 1);
}

// The profiles kept in a folder of the player's that takes no new file, a
// link at their name: YES is refused naming that folder, spelt on the board
// as on the disk.
TEST_F(UserMenu, ASaveRefusedByALinksFolderIsSpeltOnTheBoardAsOnTheDisk) {
  namespace fs = std::filesystem;
  const std::string elsewhere = "Fremd-\u00d6rdner-\u5916\u90e8";
  fs::create_directory(folder_.File(elsewhere));
  fs::rename(folder_.File("User.INI"), folder_.File(elsewhere + "/User.INI"));
  fs::create_symlink(elsewhere + "/User.INI", folder_.File("User.INI"));
  fs::permissions(folder_.File(elsewhere), fs::perms(0555));
  const std::string refusal = "Unable to Save User.INI: " + elsewhere + ": Permission denied";
  int misspelt = -1;
  {
    WithoutFilePowers player;
    Run(screen, 5, {Wait(kSlideIn), ClickBoard(2), ClickYes(), Until([] { return !fw::LastError.empty(); }),
                    Do([&] { misspelt = BoardMisspellings(fw::LastError, plat::RGB(255, 0, 0)); }), Answer(' ', ' ')});
  }
  fs::permissions(folder_.File(elsewhere), fs::perms(0755));
  EXPECT_EQ(fw::LastError, refusal);
  EXPECT_EQ(misspelt, 0);
}

TEST_F(UserMenu, TheStatisticsBoardSwingsOutAndBackOnEachNewSelection) {
  std::vector<float> xs;
  Run(screen, 5, {Wait(kSlideIn), ClickBoard(5), Do([&] { xs.clear(); }), Until([&] {
                    xs.push_back(screen->BoardX());
                    return xs.size() == 17;
                  }),
                  ClickYes()});
  // Recorded from the second frame after the click on; the first starts
  // the swing at x = 349.4.
  ASSERT_EQ(xs.size(), 17u);
  EXPECT_NEAR(xs[0], 417.2f, 0.5f);
  EXPECT_LT(xs[4], 640.0f);
  EXPECT_GT(xs[5], 640.0f);  // frames 7 to 9: out of sight
  EXPECT_GT(xs[7], 640.0f);
  EXPECT_LT(xs[8], 640.0f);
  EXPECT_GT(xs[13], 300.0f);
  EXPECT_EQ(xs[14], 300.0f);  // at rest from the 16th frame on
}

TEST_F(UserMenu, DamagedProfilesAndGoodsAreUsedAndThePlayerIsTold) {
  const struct {
    const char* what;
    int32_t mission;
    const char* goods;
    const char* says;
    bool settingsAFolder = false;  // told on entering too
  } cases[] = {
      {"a mission below zero", -5, "\"Laser\",1,0\r\n", "User.INI held numbers no game writes in 1 profile"},
      {"a goods line that cannot be read", 2, "\"Laser\",1,0\r\n\"Gun\",x,0\r\n", "1 line of user1.DAT cannot be read"},
      {"settings that cannot be read", 2, "\"Laser\",1,0\r\n", "Default.cfg is a folder, not a file", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(folder_.File("Default.cfg"));
    if (c.settingsAFolder) std::filesystem::create_directory(folder_.File("Default.cfg"));
    WriteProfiles([&](fw::UsersClass& u) {
      u.Item(1)->Name = "Pilot1";
      u.Item(1)->Mission = c.mission;
    });
    plat::MakeDir(fw::AppPath + "\\save");
    folder_.Write("save/user1.DAT", c.goods);
    fw::Users.Release();
    fw::MsgBoard = fw::MsgBoardRecord{};
    fw::LastError.clear();
    auto menu = std::make_shared<fw::FrmUserMenuClass>();
    // The profiles are read on entering, the goods on YES.
    const Step told = Until([&] { return fw::LastError.find(c.says) != std::string::npos; });
    if (c.mission < 0 || c.settingsAFolder)
      Run(menu, 5, {told, Answer(' ', ' '), Wait(kSlideIn), ClickYes()});
    else
      Run(menu, 5, {Wait(kSlideIn), ClickYes(), told, Answer(' ', ' ')});
    EXPECT_TRUE(fw::MsgBoard.TextSurface) << "no message box";
    EXPECT_EQ(fw::Users->NowUser, 1);
    EXPECT_EQ(SavedProfiles()->Item(1)->Mission, c.mission < 0 ? 1 : c.mission);
    ASSERT_GE(fw::Users->UserEQU->Count(), 1);
    EXPECT_EQ(fw::Users->UserEQU->Item(1)->ID, "Laser");
  }
}

// Named as the system spells its folder, with letters the game's code page
// lacks (Ü) beside ones it has (遊戲).
TEST_F(UserMenu, AButtonPictureSmallerThanItsCellsIsRefusedNamingIt) {
  plat::Surface tiny(1, 1);
  for (const std::string name : {"", "Spiele-Über-遊戲"}) {
    SCOPED_TRACE(name);
    const std::string folder = name.empty() ? folder_.Path() : folder_.File(name);
    std::filesystem::create_directories(folder + "/pic");
    plat::SaveBmp(tiny.Pixels(), 1, 1, 1, folder + "/pic/UserMenuB.bmp");
    plat::SetProgramFolder(folder);
    fw::AppPath = folder;
    screen = std::make_shared<fw::FrmUserMenuClass>();
    try {
      screen->Load();
      ADD_FAILURE() << "no error";
    } catch (const plat::RuntimeError& e) {
      EXPECT_NE(e.Utf8().find("Unable to load the picture " + folder +
                              "/pic/UserMenuB.bmp: its 1x1 pixels cannot hold 2x3 cells"),
                std::string::npos)
          << e.Utf8();
    }
  }
}

}  // namespace
