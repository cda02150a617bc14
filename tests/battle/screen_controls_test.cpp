// The battle's keys, mouse and view scrolling.
#include <gtest/gtest.h>

#include "tests/battle/screen_fixture.hpp"

namespace fw::screentest {
namespace {

constexpr int16_t kTab = 9, kEnter = 13, kUp = 38, kDown = 40, kLeft = 37, kAdd = 107, kSub = 109, kF2 = 113;

class ControlsTest : public BattleScreenTest {
 protected:
  void Key(int16_t k, int16_t shift = 0) {
    int16_t s = shift;
    screen_->KeyDown(k, s);
  }
  void Release(int16_t k) {
    int16_t s = 0;
    screen_->KeyUp(k, s);
  }
  // The player's unit at screen position (sx, sy) of a view at (1000, 1000).
  void PlayerOnScreenAt(float sx, float sy) {
    W().ScrollX = 1000;
    W().ScrollY = 1000;
    Player().PosX = 1000.0f + sx;
    Player().PosY = 1000.0f + sy;
    W().FrameFactor = 1.0f;
    W().ScreenShake = 0.0f;
    W().FreeScroll = false;
  }
};

TEST_F(ControlsTest, KeysDriveTurnFireAndTheFirstMatchWins) {
  KeyTable[KEY_FORWARD] = 'W';
  KeyTable[KEY_WEAPON0] = 'W';
  KeyTable[KEY_WEAPON0 + 1] = '2';
  KeyTable[KEY_STOP] = 'S';
  const uint8_t weapon0 = Player().Weapon.at(0).Enabled;
  Key('W');
  EXPECT_EQ(Player().MoveFB, 1);
  EXPECT_EQ(Player().Weapon[0].Enabled, weapon0) << "FORWARD matched first; weapon 0 is not toggled";
  Release('W');
  EXPECT_EQ(Player().MoveFB, 0);
  Key(kDown);
  EXPECT_EQ(Player().MoveFB, 2);
  Key(kLeft);
  EXPECT_EQ(Player().TurnL, 1);
  Release(kLeft);
  EXPECT_EQ(Player().TurnL, 0);
  Player().PerSpeed = 60;
  Key('S');
  EXPECT_EQ(Player().PerSpeed, 0);
  Key(kEnter);
  EXPECT_EQ(Player().Fire, 1);
  Release(kEnter);
  EXPECT_EQ(Player().Fire, 0);
  const uint8_t weapon1 = Player().Weapon.at(1).Enabled;
  Key('2');
  EXPECT_EQ(Player().Weapon[1].Enabled, 1 - weapon1);
  EXPECT_GT(W().WeaponClassIndex, 0);
  // A weapon key for a weapon the unit lacks does nothing.
  KeyTable[KEY_WEAPON0 + 9] = '0';
  Key('0');
  Key(kTab);
  EXPECT_TRUE(W().PanelSwitch);
  Key(kTab);
  EXPECT_FALSE(W().PanelSwitch);
}

TEST_F(ControlsTest, RadarLevelStaysWithinOneToFourAndF2SwitchesTheStick) {
  EXPECT_EQ(W().RadarLevel, 2);
  for (int i = 0; i < 3; ++i) Key(kAdd);
  EXPECT_EQ(W().RadarLevel, 1);
  for (int i = 0; i < 5; ++i) Key(kSub);
  EXPECT_EQ(W().RadarLevel, 4);
  Key(kF2);
  EXPECT_NE(W().StickSwitch, 0);
  EXPECT_EQ(W().MessageText, "Use the Stick");
  Key(kF2);
  EXPECT_EQ(W().StickSwitch, 0);
  EXPECT_EQ(W().MessageText, "Not Use the Stick");
}

TEST_F(ControlsTest, HandlersActOnlyWhileTheBattleRuns) {
  W().RunState = "EXIT";
  Key(kUp);
  float x = 10, y = 10;
  int16_t left = 1, shift = 0;
  screen_->MouseDown(left, shift, x, y);
  EXPECT_EQ(Player().MoveFB, 0);
  EXPECT_EQ(Player().Fire, 0);
  // Without a player unit the keys that need one are skipped, the rest act.
  W().RunState = "Loop";
  W().PlayerUnit = -1;
  Key(kUp);
  Key(kTab);
  EXPECT_TRUE(W().PanelSwitch);
}

TEST_F(ControlsTest, MousePicksAndHoversUnitsAndTheMiddleButtonScrollsFreely) {
  W().ScrollX = 0;
  W().ScrollY = 0;
  BattleUnit& enemy = W().Units.at(1);
  enemy.PosX = 300;
  enemy.PosY = 200;
  for (size_t i = 2; i < W().Units.size(); ++i) W().Units[i].PosX = 5000;
  Player().PosX = 5000;
  float x = 320, y = 230;
  int16_t right = 2, middle = 4, none = 0, shift = 0;
  screen_->MouseMove(none, shift, x, y);
  EXPECT_EQ(W().HoveredUnit, 1);
  EXPECT_FLOAT_EQ(W().MouseX, 320.0f);
  screen_->MouseDown(right, shift, x, y);
  EXPECT_EQ(W().PickedUnit, 1);
  EXPECT_EQ(Player().TargetTank, 1);
  float far = 630;
  screen_->MouseDown(middle, shift, far, y);
  EXPECT_TRUE(W().FreeScroll);
  screen_->MouseMove(none, shift, far, y);
  W().FrameFactor = 2.0f;
  screen_->GetMousePos();
  EXPECT_EQ(W().ScrollX, 16) << "two factor units of eight pixels";
  screen_->MouseUp(middle, shift, far, y);
  EXPECT_FALSE(W().FreeScroll);
}

TEST_F(ControlsTest, FollowScrollingKeepsTheUnitsCornerInsideItsBox) {
  PlayerOnScreenAt(271, 200);
  screen_->GetMousePos();
  EXPECT_EQ(W().ScrollX, 1000);
  PlayerOnScreenAt(269, 200);
  screen_->GetMousePos();
  EXPECT_EQ(W().ScrollX, 1000) << "269 is odd and counts as 270";
  PlayerOnScreenAt(268, 200);
  screen_->GetMousePos();
  EXPECT_EQ(W().ScrollX, 998);
  PlayerOnScreenAt(380, 250);
  screen_->GetMousePos();
  EXPECT_EQ(W().ScrollX, 1010);
  EXPECT_EQ(W().ScrollY, 1010);
}

TEST_F(ControlsTest, TheViewStaysOnTheMapAlsoWhileShaking) {
  for (int i = 0; i < 200; ++i) {
    Player().PosX = (i % 2) ? 0.0f : 6000.0f;
    Player().PosY = (i % 2) ? 0.0f : 5000.0f;
    W().ScreenShake = 50.0f;
    W().FrameFactor = 1.0f;
    screen_->GetMousePos();
    ASSERT_GE(W().ScrollX, 0);
    ASSERT_GE(W().ScrollY, 0);
    ASSERT_LE(W().ScrollX, 4479);
    ASSERT_LE(W().ScrollY, 3359);
  }
  W().ScreenShake = 3.0f;
  W().FrameFactor = 2.0f;
  screen_->GetMousePos();
  EXPECT_FLOAT_EQ(W().ScreenShake, 1.0f) << "the shake counts down by the frame factor";
}

}  // namespace
}  // namespace fw::screentest
