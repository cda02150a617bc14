// The joystick through SDL's virtual sticks: axis scaling with dead zone,
// saturation and range, buttons and hats, and losing and retaking the stick.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/input/joystick.hpp"
#include "platform/input/window.hpp"

namespace {

// A raw axis value that lies a fraction (-1..1) of the way to its end.
int16_t Raw(double fraction) {
  return static_cast<int16_t>(std::lround(fraction * (fraction < 0 ? 32768.0 : 32767.0)));
}

class JoystickTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(stick_.Attached());
    input_ = plat::DirectInput::Create();
    ASSERT_TRUE(input_);
    ASSERT_EQ(input_->EnumJoysticks().size(), 1u);
    device_ = input_->CreateDevice(0);
    ASSERT_TRUE(device_);
    device_->SetDeadZone(plat::DIJOFS_X, 1000);
    device_->SetDeadZone(plat::DIJOFS_Y, 1000);
    device_->SetSaturation(plat::DIJOFS_X, 9500);
    device_->SetSaturation(plat::DIJOFS_Y, 9500);
    device_->SetRange(-100, 100);
    ASSERT_EQ(device_->Acquire(), plat::DI_OK);
  }
  plat::DIJOYSTATE Read() {
    plat::DoEvents();
    plat::DIJOYSTATE s;
    EXPECT_EQ(device_->GetDeviceState(s), plat::DI_OK);
    return s;
  }
  int32_t X(double fraction) {
    stick_.SetAxis(0, Raw(fraction));
    return Read().lX;
  }

  plat::VirtualJoystick stick_{4, 4, 1};
  std::shared_ptr<plat::DirectInput> input_;
  std::shared_ptr<plat::Joystick> device_;
};

TEST_F(JoystickTest, AxesHaveATenPercentDeadZoneAndSaturateAtNinetyFive) {
  EXPECT_EQ(X(0.0), 0);
  EXPECT_EQ(X(0.099), 0);
  EXPECT_EQ(X(-0.099), 0);
  EXPECT_EQ(X(0.1 + 0.85 * 0.5), 50);
  EXPECT_EQ(X(-(0.1 + 0.85 * 0.5)), -50);
  EXPECT_EQ(X(0.1 + 0.85 * 0.21), 21);
  EXPECT_EQ(X(0.95), 100);
  EXPECT_EQ(X(1.0), 100);
  EXPECT_EQ(X(-1.0), -100);
  stick_.SetAxis(1, Raw(-1.0));
  EXPECT_EQ(Read().lY, -100);  // pushed forward
}

TEST_F(JoystickTest, AxesWithoutSettingsUseTheWholeRange) {
  stick_.SetAxis(2, Raw(0.05));
  EXPECT_EQ(Read().lZ, 5);  // no dead zone on Z
  stick_.SetAxis(3, Raw(-1.0));
  EXPECT_EQ(Read().lRx, -100);
}

TEST_F(JoystickTest, ButtonsAndHatsAreReported) {
  stick_.SetButton(0, true);
  stick_.SetButton(3, true);
  stick_.SetHat(0, 2 | 4);  // right and down
  plat::DIJOYSTATE s = Read();
  EXPECT_EQ(s.rgbButtons[0], 0x80);
  EXPECT_EQ(s.rgbButtons[1], 0);
  EXPECT_EQ(s.rgbButtons[3], 0x80);
  EXPECT_EQ(s.rgdwPOV[0], 13500u);
  EXPECT_EQ(s.rgdwPOV[1], plat::kPovCentred);
  stick_.SetButton(0, false);
  stick_.SetHat(0, 0);
  s = Read();
  EXPECT_EQ(s.rgbButtons[0], 0);
  EXPECT_EQ(s.rgdwPOV[0], plat::kPovCentred);
}

TEST_F(JoystickTest, AnUnpluggedStickIsLostAndTakenAgainOncePluggedIn) {
  stick_.SetAxis(0, Raw(1.0));
  EXPECT_EQ(Read().lX, 100);
  stick_.Unplug();
  plat::DoEvents();
  plat::DIJOYSTATE s;
  s.lX = 77;
  EXPECT_EQ(device_->GetDeviceState(s), plat::DIERR_INPUTLOST);
  EXPECT_EQ(s.lX, 77);  // left as it was
  EXPECT_EQ(device_->GetDeviceState(s), plat::DIERR_NOTACQUIRED);
  EXPECT_EQ(device_->Acquire(), plat::DIERR_NOTACQUIRED);
  stick_.PlugIn();
  plat::DoEvents();
  ASSERT_EQ(device_->Acquire(), plat::DI_OK);
  stick_.SetAxis(0, Raw(-1.0));
  EXPECT_EQ(Read().lX, -100);  // the settings carry over to the new stick
}

TEST_F(JoystickTest, SettingsOutOfRangeAreRefused) {
  EXPECT_EQ(device_->SetDeadZone(2, 100), plat::DIERR_INVALIDPARAM);
  EXPECT_EQ(device_->SetSaturation(plat::DIJOFS_X, 10001), plat::DIERR_INVALIDPARAM);
  EXPECT_EQ(device_->SetRange(5, 5), plat::DIERR_INVALIDPARAM);
}

TEST(JoystickAbsent, NoStickMeansNothingToOpen) {
  auto input = plat::DirectInput::Create();
  ASSERT_TRUE(input);
  EXPECT_TRUE(input->EnumJoysticks().empty());
  EXPECT_FALSE(input->CreateDevice(0));
}

}  // namespace
