// A visit of the factory on the sample data: the hall built, turned and
// clicked, and every way out leaving the goods consistent and saved.
#include <cerrno>
#include <chrono>

#include "platform/input/window.hpp"
#include "platform/runtime/files.hpp"
#include "tests/factory/factory_fixture.hpp"

namespace {

using fwtest::FactoryScreenTest;

TEST_F(FactoryScreenTest, TheHallHoldsEveryObjectAndDrawsTheTankAndTheHelp) {
  auto& f = Enter();
  EXPECT_EQ(f.MissingObjects(), 0);
  for (const char* key : {"F", "Weap", "Eng", "Shd", "ReA", "EQUTank", "EXITOUT", "Tank", "TankFrame", "Tank1",
                          "Robot1", "Robot2", "Robot3", "Robot4", "L1", "L2", "L3", "L5"})
    EXPECT_TRUE(f.Hall().Objects->Item(key)) << key;
  EXPECT_EQ(f.Hall().Objects->Item("Robot1")->Style, "Animation");
  EXPECT_EQ(f.State(), "RUN");
  f.RenderFrame();
  // The hall fills the frame; the help plate shows only over an area.
  EXPECT_GT(Lit(0, 0, 640, 480), 640 * 480 / 2);
  LookAt(20, 275);
  EXPECT_EQ(f.HoverArea(), "Weap");
  f.RenderFrame();
  const uint16_t plate = f.Present->Row(232)[335];
  LookAt(60, 275);
  EXPECT_EQ(f.HoverArea(), "");
  f.RenderFrame();
  EXPECT_NE(f.Present->Row(232)[335], plate);
}

TEST_F(FactoryScreenTest, AModelThatCannotBeReadIsLeftOutAndTheVisitGoesOn) {
  fw::DataPack->PackFiles->Remove("Car.x");
  fw::DataPack->PackFiles->Remove("maintenance.x");
  auto& f = Enter();
  EXPECT_EQ(f.MissingObjects(), 4);
  EXPECT_FALSE(f.Hall().Objects->Item("Robot2"));
  EXPECT_TRUE(f.Hall().Objects->Item("Tank1"));
  f.RenderFrame();
  LookAt(90, 275);
  Click();
  EXPECT_EQ(f.State(), "EXIT");
}

TEST_F(FactoryScreenTest, ClicksOpenPagesOnlyWithTheLeftButtonOverAnArea) {
  auto& f = Enter();
  LookAt(20, 275);
  Click(2);
  EXPECT_EQ(f.State(), "RUN");
  Click();
  EXPECT_EQ(f.State(), "Weap");
  f.RenderFrame();
  Esc();
  EXPECT_EQ(f.State(), "RUN");
  // Without a hull the assembly area refuses and says so for 30 frames.
  fw::Users->NowEQU->RemoveAll();
  LookAt(280, 305);
  EXPECT_EQ(f.HoverArea(), "EQUTank");
  Click();
  EXPECT_EQ(f.State(), "RUN");
  EXPECT_EQ(f.Message(), "Plesase purchase a tank first!");
  for (int i = 0; i < 30; ++i) f.RenderFrame();
  EXPECT_EQ(f.MessageFrames(), 0);
  // With nothing selected a click in the hall does nothing.
  LookAt(60, 275);
  Click();
  EXPECT_EQ(f.State(), "RUN");
}

TEST_F(FactoryScreenTest, PointerMovesOnAPageDoNotTurnTheHallAndEscRelightsIt) {
  const struct {
    const char* area;
    float yaw, pitch;
  } pages[] = {{"Weap", 20, 275}, {"Eng", 197, 275}, {"EQUTank", 280, 305}};
  auto& f = Enter();
  for (const auto& p : pages) {
    SCOPED_TRACE(p.area);
    LookAt(p.yaw, p.pitch);
    ASSERT_EQ(f.HoverArea(), p.area);
    const float yaw = f.View().Yaw, pitch = f.View().Pitch;
    Click();
    ASSERT_EQ(f.State(), p.area);
    // The pointer roams the page; only presses there reach the screen.
    Click(1, 630, 10);
    Click(1, 5, 470);
    Esc();
    ASSERT_EQ(f.State(), "RUN");
    EXPECT_FLOAT_EQ(f.Hall().Objects->Item("L1")->Light->GetColor().r, 0.6f);
    int16_t button = 0, shift = 0;
    float x = 600, y = 100;
    f.MouseMove(button, shift, x, y);
    EXPECT_FLOAT_EQ(f.View().Yaw, yaw);
    EXPECT_FLOAT_EQ(f.View().Pitch, pitch);
    EXPECT_EQ(f.HoverArea(), p.area);
    x = 604;
    f.MouseMove(button, shift, x, y);
    EXPECT_FLOAT_EQ(f.View().Yaw, yaw + 1.0f);
  }
}

TEST_F(FactoryScreenTest, TheExitAreaAndEscBothRebuildTheTankAndSave) {
  for (bool byEsc : {false, true}) {
    SCOPED_TRACE(byEsc ? "Esc" : "exit area");
    std::filesystem::remove(dir.File("user1.DAT"));
    auto& f = Enter();
    fw::Users->NowTank->Key.clear();
    fw::GameState = 8;
    if (byEsc) {
      Esc();
    } else {
      LookAt(90, 275);
      EXPECT_EQ(f.HoverArea(), "EXITOUT");
      Click();
    }
    EXPECT_EQ(f.State(), "EXIT");
    EXPECT_EQ(fw::GameState, 7);
    EXPECT_TRUE(f.Leave());
    EXPECT_EQ(fw::Users->NowTank->Key, "Scout Tank");
    const std::string saved = dir.Read("user1.DAT");
    EXPECT_NE(saved.find("Scout Tank"), std::string::npos);
    EXPECT_NE(saved.find("Pulse Laser"), std::string::npos);
    EXPECT_TRUE(dir.Exists("User.INI"));
    EXPECT_EQ(shown, "");
  }
}

TEST_F(FactoryScreenTest, AFailedSaveIsToldAndLosesNothing) {
  dir.Write("user1.DAT", "\"Old\",1,0\r\n");
  fw::Users->EQUFile = fw::AppPath + "\\missing\\user1.DAT";
  auto& f = Enter();
  Esc();
  EXPECT_FALSE(f.Leave());
  EXPECT_EQ(shown, "Unable to Save User.INI and user1.DAT: missing/user1.DAT: No such file or directory\n");
  EXPECT_EQ(fw::Users->UserEQU->Count(), 1);
  EXPECT_EQ(fw::Users->NowEQU->Count(), 1);
  EXPECT_EQ(dir.Read("user1.DAT"), "\"Old\",1,0\r\n");
  // Once the folder is there, the goods still in memory are saved whole.
  std::filesystem::create_directory(dir.File("missing"));
  EXPECT_TRUE(f.Leave());
  EXPECT_NE(dir.Read("missing/user1.DAT").find("Pulse Laser"), std::string::npos);
}

// A file the player put at a saved name while the game ran is kept aside
// before the save replaces it, and the factory's board says so as it says a
// failure.
TEST_F(FactoryScreenTest, AFileKeptAsideBeforeTheSaveIsTold) {
  fw::Users->ReadUser();
  auto& f = Enter();
  Esc();
  dir.Write("User.INI", "the player's");
  EXPECT_TRUE(f.Leave());
  EXPECT_EQ(shown, "User.INI changed since the game read it: it is kept aside as User.INI.changed-1 before the "
                   "profiles are saved.\n");
  EXPECT_EQ(dir.Read("User.INI.changed-1"), "the player's");
}

// A purchase over a goods file the player changed since the game read it
// is given up as the factory is left: the board says so, and the profile
// holds that file's goods, its money before the visit and a tank built
// from those goods.
TEST_F(FactoryScreenTest, APurchaseOverThePlayersGoodsFileIsGivenUpWithTheTankItBuilt) {
  ASSERT_TRUE(fw::Users->SaveMoneyAndGoods()) << fw::LastError;
  dir.Write("user1.DAT", "\"Mine\",1,0\r\n");
  auto& f = Enter();
  fw::Users->NowItem()->Money = 4000;
  fw::Users->UserEQU->Add("", fw::kKindWeapon, "Pulse Laser", 0);
  Esc();
  EXPECT_FALSE(f.Leave());
  EXPECT_EQ(shown, "user1.DAT changed since the game read it: the purchase is given up, and profile 1 has the goods "
                   "that file holds and its money before it\n");
  EXPECT_EQ(fw::Users->NowItem()->Money, 5000);
  ASSERT_EQ(fw::Users->UserEQU->Count(), 1);
  EXPECT_EQ(fw::Users->UserEQU->Item(1)->ID, "Mine");
  EXPECT_EQ(fw::Users->NowEQU->Count(), 0);
  EXPECT_EQ(fw::Users->NowTank->Key, "");
  EXPECT_EQ(dir.Read("user1.DAT"), "\"Mine\",1,0\r\n");
}

// Left by Esc, a failed save rebuilds the battle tank only where the
// purchase was given up and the profile took the player's goods; any other
// failure keeps the goods, and the tank the visit left stands.
TEST_F(FactoryScreenTest, AFailedSaveRebuildsTheTankOnlyWhereThePurchaseWasGivenUp) {
  const std::string givenUp = "user1.DAT changed since the game read it: the purchase is given up, and profile 1 "
                              "has the goods that file holds and its money before it\n";
  const struct {
    const char* what;
    bool playersFile;
    int failRead;  // -1: none; else the reads let through before one fails (User.INI's tail)
    bool noRoom;
    std::string told, tank;
  } cases[] = {
      {"no room for the goods", false, -1, true,
       "Unable to Save User.INI and user1.DAT: user1.DAT: No space left on device\n", ""},
      {"the player's goods file", true, -1, false, givenUp, "Heavy Tank"},
      {"the player's goods file, the profiles unreadable", true, 1, false,
       "user1.DAT changed since the game read it: choose profile 1 again to read it; nothing was saved. Unable to "
       "read " + plat::NativePath(fw::AppPath + "\\User.INI") + ": Input/output error\n",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    shown.clear();
    std::filesystem::remove(dir.File("user1.DAT"));
    fw::Users->UserEQU->RemoveAll();
    fw::Users->NowEQU->RemoveAll();
    fw::Users->NowEQU->Add("", fw::kKindTank, "Scout Tank", 0);
    ASSERT_TRUE(fw::Users->SaveMoneyAndGoods()) << fw::LastError;
    if (c.playersFile) dir.Write("user1.DAT", "\"Mine\",1,0\r\n\"Heavy Tank\",15,0\r\n");
    auto& f = Enter();
    fw::Users->UserEQU->Add("", fw::kKindWeapon, "Pulse Laser", 0);
    Esc();
    ASSERT_EQ(f.State(), "EXIT");
    ASSERT_EQ(fw::Users->NowTank->Key, "Scout Tank");
    fw::Users->NowTank->Key.clear();  // the tank as the visit left it, marked
    if (c.noRoom) plat::FailNextFileCall(plat::FileCall::WriteTemporary, ENOSPC, 1);
    if (c.failRead >= 0) plat::FailNextFileCall(plat::FileCall::Read, EIO, c.failRead);
    EXPECT_FALSE(f.Leave());
    plat::ForgetPlannedFileCallFailures();
    EXPECT_EQ(shown, c.told);
    EXPECT_EQ(fw::Users->NowTank->Key, c.tank);
  }
}

TEST_F(FactoryScreenTest, AVisitThatSavesNothingLeavesBothFilesAsTheyWere) {
  dir.Write("user1.DAT", "\"Old\",1,0\r\n");
  // Read as the profile's choice reads it, the visit's own goods put back:
  // a save replaces only what the game read.
  fw::Users->LoadEQUFile();
  fw::Users->UserEQU->RemoveAll();
  fw::Users->UserEQU->Add("", fw::kKindWeapon, "Pulse Laser", 0);
  fw::Users->NowEQU->Add("", fw::kKindTank, "Scout Tank", 0);
  {
    fw::FactoryGoodsSavingScope visit(fw::GoodsSaving::Nothing);
    auto& f = Enter();
    fw::Users->NowItem()->Money = 1;
    Esc();
    EXPECT_TRUE(f.Leave());
  }
  EXPECT_EQ(dir.Read("user1.DAT"), "\"Old\",1,0\r\n");
  EXPECT_FALSE(dir.Exists("User.INI"));
  EXPECT_EQ(shown, "");
  // The mode ends with the visit: the next exit saves again.
  EXPECT_EQ(fw::FactoryGoodsSaving, fw::GoodsSaving::Save);
  EXPECT_TRUE(factory->Leave());
  EXPECT_TRUE(dir.Exists("User.INI"));
}

// The goods kept in a folder of the player's that takes no new file, a link
// at their name: the save is refused naming that folder as the system
// spells it, for the board to draw so.
TEST_F(FactoryScreenTest, ASaveRefusedByALinksFolderIsToldAsTheSystemSpellsIt) {
  namespace fs = std::filesystem;
  const std::string elsewhere = "Fremd-\u00d6rdner-\u5916\u90e8";
  fs::create_directory(dir.File(elsewhere));
  dir.Write(elsewhere + "/user1.DAT", "\"Old\",1,0\r\n");
  fs::create_symlink(elsewhere + "/user1.DAT", dir.File("user1.DAT"));
  fw::Users->LoadEQUFile();
  fs::permissions(dir.File(elsewhere), fs::perms(0555));
  auto& f = Enter();
  Esc();
  {
    fwtest::WithoutFilePowers player;
    EXPECT_FALSE(f.Leave());
  }
  fs::permissions(dir.File(elsewhere), fs::perms(0755));
  EXPECT_EQ(shown, "Unable to Save User.INI and user1.DAT: " + elsewhere + ": Permission denied\n");
  EXPECT_EQ(dir.Read(elsewhere + "/user1.DAT"), "\"Old\",1,0\r\n");
}

}  // namespace

namespace {

// A shop page stands still: its frames follow the display's refresh, 60 a
// second, and never run as fast as the machine allows.
TEST_F(FactoryScreenTest, AShopPageRunsAtMostOneFrameARefresh) {
  auto& f = Enter();
  LookAt(20, 275);
  Click();
  ASSERT_EQ(f.State(), "Weap");
  plat::UnfixClock();  // the real clock: the pacing is what is tested
  using Clock = std::chrono::steady_clock;
  Clock::time_point start{};
  int frames = 0, inTheSecond = -1;
  plat::SetTestDriver([&] {
    const Clock::time_point now = Clock::now();
    if (frames++ == 0) start = now;
    if (inTheSecond < 0 && now - start >= std::chrono::seconds(1)) {
      inTheSecond = frames - 1;
      Esc();  // the page
      Esc();  // the hall: the visit ends
    }
  });
  f.RunFrames();
  plat::SetTestDriver(nullptr);
  EXPECT_GT(inTheSecond, 0);
  EXPECT_LE(inTheSecond, 61);
}

}  // namespace

namespace {

// Dragging with the left button held repeats the press over the assembly
// screen's lists and bars, as on the shop pages, but not over its buttons.
TEST_F(FactoryScreenTest, DraggingOnTheAssemblyScreenRepeatsPressesOverListsButNotButtons) {
  fw::Users->UserEQU->Add("", fw::kKindTank, "Scout Tank", 0);
  auto& f = Enter();
  LookAt(280, 305);
  Click();
  ASSERT_EQ(f.State(), "EQUTank");
  const auto fittedSet = [] {
    std::string s;
    for (const auto& item : *fw::Users->NowEQU) s += item->ID + ";";
    return s;
  };
  const std::string fitted = fittedSet();
  int16_t held = 1, shift = 0;
  for (const char* key : {"LEFT", "RIGHT", "EXIT"}) {
    const auto b = f.Overlay().Button(2, key);
    float x = static_cast<float>(b->Left() + 3), y = static_cast<float>(b->Top() + 3);
    f.MouseMove(held, shift, x, y);
    EXPECT_EQ(f.State(), "EQUTank") << key;
    EXPECT_EQ(fittedSet(), fitted) << key;
  }
  const auto& weapons = f.Overlay().EquLists[fw::Assembly::kWeapons];
  ASSERT_GE(weapons.Count(), 1);
  ASSERT_EQ(weapons.SelectedItem, 0);
  float x = static_cast<float>(weapons.DesRECT().Left + 10);
  float y = static_cast<float>(weapons.DesRECT().Top + weapons.TextHeight / 2);
  int16_t none = 0;
  f.MouseMove(none, shift, x, y);
  EXPECT_EQ(weapons.SelectedItem, 0) << "a move without the button is no press";
  f.MouseMove(held, shift, x, y);
  EXPECT_EQ(weapons.SelectedItem, 1);
}

}  // namespace

namespace {

// The preview scene holds the factory's frame at a hundredth of its size,
// and the back buffer the later menus draw on takes the factory's colour.
TEST_F(FactoryScreenTest, ThePreviewHoldsTheFrameModelAndTheBackBufferTakesTheFactorysColour) {
  fw::BackBuffer = std::make_shared<plat::Surface>(640, 480);
  auto& f = Enter();
  EXPECT_EQ(f.MissingObjects(), 0);
  const auto frame = f.Preview().Objects->Item("F");
  ASSERT_TRUE(frame);
  const auto& m = frame->Frame->GetTransform().m;
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(m[k][k], 0.01f, 1e-6f) << k;
  EXPECT_EQ(fw::BackBuffer->GetForeColor(), 50000);
  fw::BackBuffer.reset();
}

}  // namespace
