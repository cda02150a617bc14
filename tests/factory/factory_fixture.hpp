#pragma once
// A factory visit on the sample data for the screen's tests: a profile with
// money, a weapon and a fitted hull; the factory entered with its frames
// going to a plain surface and its message box recorded.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "factory/factory_screen.hpp"
#include "platform/runtime/clock.hpp"
#include "tests/common/test_support.hpp"

namespace fwtest {

// The sample archive opened and profile 1 chosen, its files in the test's
// program folder.
inline void OpenSampleFactory() {
  fw::DataPack.Release();
  fw::DataPack->FilePath = fwtest::SampleDataFolder();
  fw::DataPack->TempPath = fw::AppPath;
  fw::DataPack->LoadInf("Data");
  fw::Users.Release();
  fw::Users->File = fw::AppPath + "\\User.INI";
  fw::Users->EQUFile = fw::AppPath + "\\user1.DAT";
  fw::Users->NowUser = 1;
}

class FactoryScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
    plat::FixClock(1000);
    OpenSampleFactory();
    fw::Users->NowItem()->Money = 5000;
    fw::Users->UserEQU->Add("", fw::kKindWeapon, "Pulse Laser", 0);
    fw::Users->NowEQU->Add("", fw::kKindTank, "Scout Tank", 0);
    fw::GameState = 8;
  }
  void TearDown() override {
    factory.reset();
    fw::Users.Release();
    fw::DataPack.Release();
    plat::UnfixClock();
  }
  fw::FrmFactoryClass& Enter() {
    factory = std::make_unique<fw::FrmFactoryClass>();
    factory->Present = std::make_shared<plat::Surface>(640, 480);
    factory->ShowMessage = [this](const std::string& text) { shown += text + "\n"; };
    EXPECT_TRUE(factory->Enter());
    return *factory;
  }
  // Turns the view to the angles given as the player would: the pointer
  // runs to the screen's edge, jumps back to the centre, and runs on.
  void LookAt(float yaw, float pitch) {
    int16_t button = 0, shift = 0;
    // The pointer rests first where the hall last saw it: after a page the
    // hall takes the first move as the pointer's place, not as a turn.
    float restX = static_cast<float>(factory->View().LastX), restY = static_cast<float>(factory->View().LastY);
    factory->MouseMove(button, shift, restX, restY);
    auto turn = [&](float want, bool across) {
      const float now = across ? factory->View().Yaw : factory->View().Pitch;
      float d = want - now;
      while (d < 0) d += 360;
      const float edge = across ? 639 : 479;
      while (true) {
        float x = static_cast<float>(factory->View().LastX), y = static_cast<float>(factory->View().LastY);
        float& p = across ? x : y;
        const float room = (edge - p) / 4;
        if (d < room) {
          p += d * 4;
          factory->MouseMove(button, shift, x, y);
          return;
        }
        p = edge;
        d -= room;
        factory->MouseMove(button, shift, x, y);
      }
    };
    turn(yaw, true);
    turn(pitch, false);
  }
  void Click(int16_t button = 1, float x = 320, float y = 240) {
    int16_t shift = 0;
    factory->MouseDown(button, shift, x, y);
  }
  void Esc() {
    int16_t key = 27;
    factory->KeyPress(key);
  }
  int Lit(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += factory->Present->Row(y)[x] != 0;
    return n;
  }

  fwtest::TempProgramFolder dir;
  std::unique_ptr<fw::FrmFactoryClass> factory;
  std::string shown;
};

}  // namespace fwtest
