// The maintenance factory through the real program: from the briefing the
// player walks into the factory, turns to the weapon shop and buys a gun,
// fits it on the assembly screen, leaves by the exit area, and finds the
// battle tank carrying it and the equipment file holding it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "factory/factory_screen.hpp"
#include "platform/input/window.hpp"
#include "tests/e2e/game_driver.hpp"

using fwtest::DriverStep;
using fwtest::FramesAfter;

namespace {
constexpr int16_t kVkReturn = 13;
// The sample kit's scout carries two guns and has 5 of its 120 to spare:
// the laser of its first row makes way for a gun 5 heavier.
constexpr const char* kBought = "Twin Laser";

// Stands in for the profile screen: picks profile 1 with its sample kit and
// money enough, and opens the briefing.
class StartBriefing : public fw::Screen {
 public:
  void Load() override {
    fwtest::PickFirstProfile(5000);
    fw::GameState = fw::ScreenState::Briefing;
  }
};

bool SplashShown() { return fw::Primary && plat::Window::Instance().FramesPresented() > 0; }

std::shared_ptr<fw::FrmFactoryClass> Factory() {
  if (!fw::FactoryScreen.Exists()) return nullptr;
  return std::dynamic_pointer_cast<fw::FrmFactoryClass>(fw::FactoryScreen.Shared());
}

void Click(int16_t button, float x, float y) {
  plat::PushMouseMove(x, y);
  plat::PushMouseDown(button, x, y);
  plat::PushMouseUp(button, x, y);
}

// In the hall a press goes where the cross points; the pointer stays put.
void PressInHall() {
  auto f = Factory();
  const float x = static_cast<float>(f->View().LastX), y = static_cast<float>(f->View().LastY);
  plat::PushMouseDown(1, x, y);
  plat::PushMouseUp(1, x, y);
}

// Turns the view as a player does, a mouse move every few pumps towards the
// angles, until the area named is under the cross.
std::function<bool()> TurnTo(const char* area, float yaw, float pitch) {
  auto pumps = std::make_shared<int>(0);
  return [=] {
    auto f = Factory();
    if (!f || f->State() != "RUN") return false;
    if (f->HoverArea() == area) return true;
    if (++*pumps % 3) return false;
    const auto towards = [](float want, float now) {
      float d = std::fmod(want - now + 540.0f, 360.0f) - 180.0f;
      return std::clamp(d * 4.0f, -300.0f, 300.0f);
    };
    const float x = std::clamp(static_cast<float>(f->View().LastX) + towards(yaw, f->View().Yaw), 0.0f, 639.0f);
    const float y = std::clamp(static_cast<float>(f->View().LastY) + towards(pitch, f->View().Pitch), 0.0f, 479.0f);
    plat::PushMouseMove(x, y);
    return false;
  };
}

// The middle of a row of one of the overlay's lists, as it is scrolled.
template <class List>
std::pair<float, float> RowPoint(const List& l, const std::string& text) {
  int32_t row = 0;
  for (int32_t r = 1; r <= l.Count(); ++r)
    if (l.Item(r)->Text == text) row = r;
  return {static_cast<float>(l.DesRECT().Left + 10),
          static_cast<float>(l.DesRECT().Top + (row - l.ListIndex) * l.TextHeight + l.TextHeight / 2)};
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

[[noreturn]] void BuyFitAndLeave(const std::string& folder) {
  fwtest::RunGame(
      folder,
      {
          {"the splash", fwtest::AMomentAfter(SplashShown),
           [] {
             fw::RegisterScreen(fw::ScreenState::Profiles, fw::kScreenKeyDown, fw::MakeScreen<StartBriefing>);
             plat::PushKeyStroke(kVkReturn);
           }},
          {"the briefing's state page", fwtest::AMomentAfter(FramesAfter([] { return fw::BriefScreen.Exists(); }, 3)),
           [] { Click(1, 300, 300); }},
          {"the briefing page", FramesAfter([] { return true; }, 3), [] { Click(1, 365, 440); }},
          {"the weapon shop's area", TurnTo("Weap", 27, 274), PressInHall},
          {"the weapon shop", FramesAfter([] { return Factory()->State() == "Weap"; }, 2),
           [] {
             const auto [x, y] = RowPoint(Factory()->Overlay().ShopListA, kBought);
             Click(1, x, y);
             Click(1, 303, 441);  // BUY
           }},
          {"the gun bought",
           [] {
             for (const auto& item : *fw::Users->UserEQU)
               if (item->ID == kBought) return true;
             return false;
           },
           [] { Click(1, 524, 441); }},  // the shop's EXIT
          {"the assembly area", TurnTo("EQUTank", 286, 305), PressInHall},
          {"the assembly screen", FramesAfter([] { return Factory()->State() == "EQUTank"; }, 2),
           [] {
             const auto& slots = Factory()->Overlay().EquLists[7];
             Click(2, static_cast<float>(slots.DesRECT().Left + 10),
                   static_cast<float>(slots.DesRECT().Top + slots.TextHeight * 3 / 2));
           }},
          {"the first row free", [] { return Factory()->Overlay().EquSlots[2].Name.empty(); },
           [] {
             const auto [x, y] = RowPoint(Factory()->Overlay().EquLists[1], kBought);
             Click(2, x, y);
           }},
          {"the gun fitted",
           [] {
             for (int r = 2; r <= 10; ++r)
               if (Factory()->Overlay().EquSlots[static_cast<size_t>(r)].Name == kBought) return true;
             return false;
           },
           [] { Click(1, 515, 433); }},  // the assembly screen's EXIT
          {"the exit area", TurnTo("EXITOUT", 89, 275), PressInHall},
          {"the briefing again",
           [] { return !fw::FactoryScreen.Exists() && fw::GameState == fw::ScreenState::Briefing; },
           [&] {
             bool carried = false;
             for (const auto& w : *fw::Users->NowTank->Weapon) carried = carried || w->Key == kBought;
             const std::string saved = ReadFile(folder + "/save/user1.DAT");
             // The laser that made way is owned again.
             const bool inFile = saved.find(std::string("\"") + kBought + "\",11,1") != std::string::npos &&
                                 saved.find("\"Pulse Laser\",1,0") != std::string::npos;
             // The gun was paid for, and the profile saved with the money left.
             fw::UsersClass profiles;
             profiles.File = fw::AppPath + "\\User.INI";
             profiles.ReadUser();
             const int32_t money = profiles.Item(1)->Money;
             if (carried && inFile && money == 5000 - 450) std::_Exit(0);
             std::fprintf(stderr, "carried %d, money %d, saved file:\n%s\n", carried, money, saved.c_str());
             std::_Exit(20);
           }},
      },
      20000);
  std::exit(30);
}

TEST(FactoryRoad, BuyAGunFitItAndLeaveWithItOnTheBattleTankAndInTheFile) {
  fwtest::SampleDataCopy folder;
  EXPECT_EXIT(BuyFitAndLeave(folder.path), ::testing::ExitedWithCode(0), "");
}
