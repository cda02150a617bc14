#include <gtest/gtest.h>

#include "frontend/brief.hpp"
#include "frontend/end_screen.hpp"
#include "frontend/main_menu.hpp"
#include "engine/program_end.hpp"
#include "tests/data/kept_copy.hpp"
#include "tests/engine/display_support.hpp"
#include "tests/frontend/screen_support.hpp"

namespace {

using namespace fwtest;

constexpr int kSlideIn = 80;
// The main menu's buttons rest at x about 200, y 70i.
Step ClickButton(int i) { return Click(320, 70.0f * i + 28); }

class MainMenu : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    fw::Users->NowUser = 1;
    fw::Users->NowItem()->Mission = 3;
  }
  int RunWith(std::vector<Step> steps) {
    Run(std::make_shared<fw::FrmMainMenuClass>(), 1, std::move(steps));
    return fw::GameState;
  }
};

TEST_F(MainMenu, EachButtonLeadsToItsScreen) {
  EXPECT_EQ(RunWith({Wait(kSlideIn), ClickButton(1)}), 7);
  EXPECT_EQ(RunWith({Wait(kSlideIn), ClickButton(2)}), 3);
  EXPECT_EQ(RunWith({Wait(kSlideIn), ClickButton(3)}), 6);
  EXPECT_EQ(RunWith({Wait(kSlideIn), ClickButton(4)}), 5);
}

TEST_F(MainMenu, QuitAndEscLeadBackToTheProfilesNeverOut) {
  EXPECT_EQ(RunWith({Wait(3), Click(632, 8)}), 5);
  EXPECT_EQ(RunWith({Wait(3), Esc()}), 5);
  // A click beside every button does nothing.
  EXPECT_EQ(RunWith({Wait(kSlideIn), Click(20, 450), Wait(3), Esc()}), 5);
}

TEST_F(MainMenu, EnterRaisesTheMissionOnlyInDebugMode) {
  RunWith({Wait(3), Enter(), Enter(), Esc()});
  EXPECT_EQ(fw::Users->NowItem()->Mission, 3);
  fw::DebugOn = 1;
  RunWith({Wait(3), Enter(), Enter(), Esc()});
  EXPECT_EQ(fw::Users->NowItem()->Mission, 5);
}

TEST_F(MainMenu, AMissingPictureEndsTheProgramWithItsMessage) {
  std::filesystem::remove(folder_.File("Data.INF"));
  fw::DataPack.Release();
  fw::DataPack->FilePath = fw::AppPath;
  fw::DataPack->TempPath = fw::AppPath;
  EXPECT_EXIT(
      {
        try {
          fw::FrmMainMenuClass().Load();
        } catch (const fw::ProgramEnd& end) {
          std::exit(end.exitCode == 1 ? 3 : 4);
        }
        std::exit(5);
      },
      ::testing::ExitedWithCode(3), "MainMenu Error!");
}

// --- briefing -----------------------------------------------------------------

class Briefing : public ScreenTest {
 protected:
  std::shared_ptr<fw::FrmBriefClass> screen = std::make_shared<fw::FrmBriefClass>();
  void SetUp() override {
    ScreenTest::SetUp();
    fw::Users->NowUser = 1;
    fw::Users->NowItem()->Mission = 1;
  }
  Step OnBriefingPage() {
    return Until([this] { return screen->Page() == 1; });
  }
};

TEST_F(Briefing, PicturesAndMarkFollowTheMissionModuloTwenty) {
  using B = fw::FrmBriefClass;
  for (int m : {20, 40, 0}) {
    EXPECT_EQ(B::BriefPicture(m), "\\MapC\\MissionBriefT.jpg") << m;
    EXPECT_EQ(B::StatePicture(m), "\\Temp\\MissionState20.jpg") << m;
    EXPECT_EQ(B::MarkCentre(m).x, 488);
  }
  EXPECT_EQ(B::BriefPicture(21), "\\MapA\\MissionBriefA.jpg");
  EXPECT_EQ(B::BriefPicture(2), "\\MapB\\MissionBriefB.jpg");
  EXPECT_EQ(B::BriefPicture(3), "\\MapC\\MissionBriefC.jpg");
  EXPECT_EQ(B::StatePicture(7), "\\Temp\\MissionState07.jpg");
  EXPECT_EQ(B::MarkCentre(-3).y, B::MarkCentre(17).y);  // a damaged number still finds a place
}

TEST_F(Briefing, AKeyTurnsThePageAndEscGoesBackThenToTheMainMenu) {
  Run(screen, 7, {Wait(2), Settle(), Key(' ', ' '), OnBriefingPage(), Esc(), Until([this] { return screen->Page() == 0; }), Settle(), Esc()});
  EXPECT_EQ(fw::GameState, 1);
}

TEST_F(Briefing, TheStatePageTakesNoKeyOrButtonHeldFromTheBattle) {
  fw::Board->Form_KeyDown(' ', 0);  // fire, held since the battle
  Run(screen, 7,
      {Wait(2), Key('A', 'a') /* too soon */, Do([] { MoveTo(300, 300, 2); }), Settle(), Do([] {
         fw::Board->Form_KeyDown(' ', 0);
         fw::Board->Form_KeyPress(' ');
       }),
       Do([] { MoveTo(310, 300, 2); }), Wait(3), Do([this] { EXPECT_EQ(screen->Page(), 0); }),
       Do([] { fw::Board->Form_KeyUp(' ', 0); }), Click(300, 300), OnBriefingPage(), Esc(), Settle(), Esc()});
  EXPECT_EQ(fw::GameState, 1);
}

TEST_F(Briefing, AKeyWithThePointerOnTheCornerLeavesForTheMainMenu) {
  Run(screen, 7, {Wait(2), Settle(), Do([] { MoveTo(632, 5); }), Key(' ', ' ')});
  EXPECT_EQ(fw::GameState, 1);
}

TEST_F(Briefing, StartWithoutATankIsRefusedUntilAKeyThenStartsWithOne) {
  int built = 0;
  fw::BuildBattleTank = [&] {
    // The builder runs as the briefing opens; the tank is fitted later.
    ++built;
  };
  Run(screen, 7,
      {Wait(2), Settle(), Click(300, 300), OnBriefingPage(), Click(465, 440), Wait(5), Do([this] {
         EXPECT_EQ(fw::GameState, 7);
         EXPECT_EQ(screen->Page(), 1);
       }),
       Settle(), Key(' ', ' '), Wait(3), Do([] { fw::Users->NowTank->Key = "Scout"; }), Click(465, 440)});
  EXPECT_EQ(fw::GameState, 2);
  EXPECT_EQ(built, 1);
}

TEST_F(Briefing, TheFactoryRunsNestedAndTheBriefingGoesOn) {
  Run(screen, 7,
      {Wait(2), Settle(), Click(300, 300), OnBriefingPage(), Click(365, 440), Until([] { return fw::GameState == 8; }),
       Key(kEsc, 0), Until([] { return fw::GameState == 7; }), Wait(3),
       Do([this] {
         EXPECT_EQ(screen->Page(), 1);
         EXPECT_FALSE(fw::FactoryScreen.Exists());
       }),
       // The button still held from the factory does not count as a click.
       Do([] { MoveTo(565, 440, 1); }), Wait(3), Do([this] { EXPECT_EQ(screen->Page(), 1); }), Click(565, 440),
       Until([this] { return screen->Page() == 0; }), Settle(), Esc()});
  EXPECT_EQ(fw::GameState, 1);
}

TEST_F(Briefing, TheMarkPulsesUpToSixPixels) {
  std::vector<float> radii;
  Run(screen, 7, {Wait(2), Settle(), Click(300, 300), OnBriefingPage(), Until([&] {
                    radii.push_back(screen->Radius());
                    return radii.size() == 40;
                  }),
                  Esc(), Settle(), Esc()});
  for (float r : radii) {
    EXPECT_GT(r, 0.0f);
    EXPECT_LT(r, 6.0f);
  }
  EXPECT_NE(std::find(radii.begin(), radii.end(), 0.1f), radii.end());  // started again
}

// --- end screen ------------------------------------------------------------------

class EndScreen : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    WriteProfiles([](fw::UsersClass& u) { u.Item(2)->Mission = 5; });
    fw::Users->File = fw::AppPath + "\\User.INI";
    fw::Users->ReadUser();
    fw::Users->NowUser = 2;
  }
  void Finish(int mission, bool won, std::vector<Step> close = {Wait(3), Settle(), Enter()}) {
    fw::Users->NowItem()->Mission = mission;
    fw::EndResult.MisIndex = mission;
    fw::EndResult.WinState = won;
    Run(std::make_shared<fw::FrmEndScreenClass>(), 9, std::move(close));
  }
};

TEST_F(EndScreen, AWinAdvancesTheMissionAndSavesIt) {
  Finish(7, true);
  EXPECT_EQ(fw::GameState, 7);
  EXPECT_EQ(fw::Users->NowItem()->Mission, 8);
  EXPECT_EQ(SavedProfiles()->Item(2)->Mission, 8);
}

// A win's save that takes another profile's owed goods out over a file the
// player changed tells the copy it kept aside first.
TEST_F(EndScreen, AWinsSaveTellsTheCopyItKeptAsideOnTheBoard) {
  fw::Users->NowUser = 3;
  ASSERT_TRUE(datatest::OweGoodsOverThePlayersFile(*fw::Users));
  int misspelt = -1;
  const Step read = Do([&] { misspelt = BoardMisspellings(datatest::kKeptForOwedGoods, plat::RGB(255, 0, 0)); });
  Finish(7, true,
         {Wait(3), Settle(), Enter(), Until([] { return fw::MsgBoard.TextSurface != nullptr; }), read, Answer(' ', ' ')});
  EXPECT_EQ(misspelt, 0);
  EXPECT_EQ(SavedProfiles()->Item(3)->Mission, 8);
  EXPECT_EQ(folder_.Read("save/user2.DAT.changed-1"), "\"Mine\",1,0\r\n");
}

TEST_F(EndScreen, ALossChangesNothingButTheState) {
  Finish(7, false, {Wait(3), Settle(), Click(10, 10)});
  EXPECT_EQ(fw::GameState, 7);
  EXPECT_EQ(fw::Users->NowItem()->Mission, 7);
  EXPECT_EQ(SavedProfiles()->Item(2)->Mission, 5);
}

TEST_F(EndScreen, TheTwentiethMissionWonLeadsToTheFinalStateUnsaved) {
  for (int m : {20, 40, 0}) {
    Finish(m, true);
    EXPECT_EQ(fw::GameState, 11) << m;
    EXPECT_EQ(fw::Users->NowItem()->Mission, m);
  }
  EXPECT_EQ(SavedProfiles()->Item(2)->Mission, 5);
  Finish(20, false);
  EXPECT_EQ(fw::GameState, 7);
}

TEST_F(EndScreen, OnlyEnterEscOrAButtonCloseIt) {
  auto screen = std::make_shared<fw::FrmEndScreenClass>();
  Run(screen, 9, {Wait(2), Settle(), Key(' ', ' '), Key('A', 'a'), Wait(5), Do([] { EXPECT_EQ(fw::GameState, 9); }), Esc()});
  EXPECT_EQ(fw::GameState, 7);
  Finish(3, false, {Wait(2), Settle(), Click(5, 5, 2)});
  EXPECT_EQ(fw::GameState, 7);
}

// Fire held at the moment of death, or a press as the screen appears, must
// not close the result before the player has seen it.
TEST_F(EndScreen, TakesNoPressHeldFromTheBattleNorOneInItsFirstMoments) {
  const auto repeat = [] {
    fw::Board->Form_KeyDown(kEnter, 0);
    fw::Board->Form_KeyPress(kEnter);
  };
  const std::vector<std::pair<const char*, std::vector<Step>>> cases = {
      {"Enter held from the battle", {Do(repeat), Settle(), Do(repeat), Wait(3), Do(repeat)}},
      {"a click as it opens", {Click(10, 10), Wait(3), Settle()}},
      {"Enter as it opens", {Enter(), Settle(), Wait(3)}},
  };
  for (const auto& [what, steps] : cases) {
    fw::Board->Form_KeyDown(kEnter, 0);  // down in the battle
    std::vector<Step> script = steps;
    // Clang before 16 cannot capture a structured binding by name.
    script.push_back(Do([what = what] { EXPECT_EQ(fw::GameState, 9) << what; }));
    script.push_back(Do([] { fw::Board->Form_KeyUp(kEnter, 0); }));
    script.push_back(Enter());
    Finish(7, false, script);
    EXPECT_EQ(fw::GameState, 7) << what;
  }
}

TEST_F(EndScreen, PicturesAndObjectivesByMission) {
  using E = fw::FrmEndScreenClass;
  for (int m : {1, 4, 20}) EXPECT_EQ(E::PictureGroup(m), 1) << m;
  for (int m : {5, 9}) EXPECT_EQ(E::PictureGroup(m), 2) << m;
  EXPECT_EQ(E::PictureGroup(14), 3);
  EXPECT_EQ(E::PictureGroup(19), 4);
  EXPECT_STREQ(E::Objective(7), "Destroy all rebels.");
  EXPECT_STREQ(E::Objective(40), "Destroy all tank factories and rebels.");
  EXPECT_STREQ(E::Objective(15), "Rescue the hostage and leave for the appointed spot.");
}

TEST_F(EndScreen, ALostBattleShowsItsObjectiveWhereThePictureLeavesRoom) {
  fw::Users->NowItem()->Mission = 7;
  fw::EndResult.WinState = false;
  bool drawn = false;
  Run(std::make_shared<fw::FrmEndScreenClass>(), 9, {Wait(3), Do([&] {
                                                        // Dark text on the light plate at (100, 200).
                                                        const auto& f = plat::Window::Instance().LastFrame();
                                                        for (int y = 200; y < 216 && !drawn; ++y)
                                                          for (int x = 100; x < 200; ++x)
                                                            if (f[static_cast<size_t>(y * 640 + x)] < 0x2000) drawn = true;
                                                      }),
                                                      Settle(), Enter()});
  EXPECT_TRUE(drawn);
}

}  // namespace
