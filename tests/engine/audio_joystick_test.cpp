// The joystick as the battles read it: a virtual stick's moves reach
// JoyState through the window's device events, and ReadJoystick turns them
// into throttle, turning and fire.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/form_board.hpp"
#include "engine/joystick.hpp"
#include "platform/input/window.hpp"

namespace fw {
namespace {

// The control fields of a battle unit, set to what the keyboard left.
struct Unit {
  int16_t PerSpeed = 33;
  uint8_t TurnR = 7;
  uint8_t TurnL = 7;
  uint8_t Fire = 7;
  uint8_t MoveFB = 2;
};

// The raw axis value that reads as `value` (-100..100) through the 10% dead
// zone and 95% saturation.
int16_t RawFor(int value) {
  if (value == 0) return 0;
  const double fraction = 0.1 + std::abs(value) / 100.0 * 0.85;
  return static_cast<int16_t>(std::lround(value > 0 ? fraction * 32767 : -fraction * 32768));
}

class JoystickReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Board->Show());
    JoyState = plat::DIJOYSTATE{};
    DInput.Release();
  }
  void TearDown() override {
    DInput.Release();
    JoyState = plat::DIJOYSTATE{};
    Board->Unload();
    Board.Release();
  }
  // Moves the stick and lets the change arrive.
  Unit Read(int x, int y, bool fire = false) {
    stick_->SetAxis(0, RawFor(x));
    stick_->SetAxis(1, RawFor(y));
    stick_->SetButton(0, fire);
    plat::DoEvents();
    Unit u;
    ReadJoystick(u);
    return u;
  }
  void Open() {
    stick_ = std::make_unique<plat::VirtualJoystick>(2, 4, 0);
    ASSERT_TRUE(stick_->Attached());
    DInput->InitDirectInput(*Board);
    ASSERT_TRUE(DInput->Work);
  }
  std::unique_ptr<plat::VirtualJoystick> stick_;
};

TEST_F(JoystickReadTest, ThrottleForwardAndBackAtHalfRateWithBankersRounding) {
  Open();
  EXPECT_EQ(Read(0, -100).PerSpeed, 100);
  EXPECT_EQ(Read(0, -37).PerSpeed, 37);
  EXPECT_EQ(Read(0, 0).PerSpeed, 0);
  EXPECT_EQ(Read(0, 100).PerSpeed, -50);
  EXPECT_EQ(Read(0, 3).PerSpeed, -2);  // -1.5 rounds to -2
  EXPECT_EQ(Read(0, 1).PerSpeed, 0);   // -0.5 rounds to 0
  EXPECT_EQ(Read(0, 5).PerSpeed, -2);  // -2.5 rounds to -2
  EXPECT_EQ(Read(0, 100).MoveFB, 2);   // left alone
}

TEST_F(JoystickReadTest, TurningNeedsMoreThanTwentyEitherSide) {
  Open();
  Unit u = Read(20, 0);
  EXPECT_EQ(u.TurnR, 0);
  EXPECT_EQ(u.TurnL, 0);
  u = Read(21, 0);
  EXPECT_EQ(u.TurnR, 1);
  EXPECT_EQ(u.TurnL, 0);
  u = Read(-21, 0);
  EXPECT_EQ(u.TurnR, 0);
  EXPECT_EQ(u.TurnL, 1);
  u = Read(-20, 0);
  EXPECT_EQ(u.TurnL, 0);
}

TEST_F(JoystickReadTest, ButtonZeroFiresAndNoOtherDoes) {
  Open();
  EXPECT_EQ(Read(0, 0, true).Fire, 1);
  EXPECT_EQ(JoyState.rgbButtons[0], 0x80);
  EXPECT_EQ(Read(0, 0, false).Fire, 0);
  stick_->SetButton(2, true);
  plat::DoEvents();
  Unit u;
  ReadJoystick(u);
  EXPECT_EQ(u.Fire, 0);
}

TEST_F(JoystickReadTest, TheStateIsReadOnceWhenTheStickOpens) {
  stick_ = std::make_unique<plat::VirtualJoystick>(2, 4, 0);
  stick_->SetAxis(1, RawFor(-60));
  plat::DoEvents();
  DInput->InitDirectInput(*Board);
  ASSERT_TRUE(DInput->Work);
  EXPECT_EQ(JoyState.lY, -60);
  EXPECT_EQ(DInput->DIDevEnum.size(), 1u);
  EXPECT_NE(DInput->EventHandle, 0);
}

TEST_F(JoystickReadTest, AnUnpluggedStickReadsAsReleasedAndComesBackWhenPluggedIn) {
  Open();
  EXPECT_EQ(Read(30, -100, true).PerSpeed, 100);
  stick_->Unplug();
  plat::DoEvents();
  Unit u;
  ReadJoystick(u);
  EXPECT_EQ(u.PerSpeed, 0);  // the tank does not run on by itself
  EXPECT_EQ(u.TurnR, 0);
  EXPECT_EQ(u.Fire, 0);
  stick_->PlugIn();
  plat::DoEvents();
  DInput->Poll();
  EXPECT_EQ(Read(0, -50).PerSpeed, 50);
}

TEST_F(JoystickReadTest, WithoutAStickTheKeyboardsControlsStand) {
  DInput->InitDirectInput(*Board);
  EXPECT_FALSE(DInput->Work);
  EXPECT_FALSE(DInput->DIDev);
  Board->DirectXEvent_DXCallback(0);
  DInput->Poll();
  Unit u;
  ReadJoystick(u);
  EXPECT_EQ(u.PerSpeed, 33);
  EXPECT_EQ(u.TurnR, 7);
  EXPECT_EQ(u.TurnL, 7);
  EXPECT_EQ(u.Fire, 7);
}

}  // namespace
}  // namespace fw
