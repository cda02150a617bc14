// A visit of the factory on the sample data: the hall built, turned and
// clicked, and every way out leaving the goods consistent and saved.
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
  EXPECT_NE(shown.find("Save Failed!"), std::string::npos);
  EXPECT_EQ(fw::Users->UserEQU->Count(), 1);
  EXPECT_EQ(fw::Users->NowEQU->Count(), 1);
  EXPECT_EQ(dir.Read("user1.DAT"), "\"Old\",1,0\r\n");
  // Once the folder is there, the goods still in memory are saved whole.
  std::filesystem::create_directory(dir.File("missing"));
  EXPECT_TRUE(f.Leave());
  EXPECT_NE(dir.Read("missing/user1.DAT").find("Pulse Laser"), std::string::npos);
}

TEST_F(FactoryScreenTest, AVisitThatSavesNothingLeavesBothFilesAsTheyWere) {
  dir.Write("user1.DAT", "\"Old\",1,0\r\n");
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

}  // namespace
