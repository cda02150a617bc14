// The factory on the real program: from the briefing into the hall, the
// view turned to the weapon shop, a weapon bought, the assembly screen
// opened, the weapon fitted in place of another, EXIT, the hall left by its
// exit area; the battle tank and the saved equipment file then carry it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "factory/factory_screen.hpp"
#include "platform/input/window.hpp"
#include "tests/e2e/game_driver.hpp"

namespace {
constexpr int16_t kVkReturn = 13;

fw::FrmFactoryClass* Factory() {
  return fw::FactoryScreen.Exists() ? dynamic_cast<fw::FrmFactoryClass*>(fw::FactoryScreen.Shared().get()) : nullptr;
}

bool InState(const char* state) { return Factory() && Factory()->State() == state; }

std::function<bool()> Settled(std::function<bool()> first, uint64_t frames = 3) {
  return fwtest::FramesAfter(std::move(first), frames);
}

bool Fitted(const char* name) {
  for (const auto& item : *fw::Users->NowEQU)
    if (item->ID == name) return true;
  return false;
}

void Press(int16_t button, float x, float y) {
  plat::PushMouseMove(x, y);
  plat::PushMouseDown(button, x, y);
  plat::PushMouseUp(button, x, y);
}

// The middle of a list's row that shows a text; the row's number in found.
float RowOf(const fw::qelListBox& list, const std::string& text, int* found = nullptr) {
  for (int r = 1; r <= list.Count(); ++r)
    if (list.Item(r)->Text == text) {
      if (found) *found = r;
      return static_cast<float>(list.Top + (r - list.ListIndex) * list.TextHeight + list.TextHeight / 2);
    }
  return -1;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(FactoryRoad, BuyAWeaponFitItAndLeaveWithItOnTheBattleTank) {
  fwtest::SampleDataCopy folder;
  EXPECT_EXIT(
      {
        // The view starts at yaw 88, pitch 297; the pointer's last place is
        // the centre. Each move turns it a quarter degree per pixel.
        const int status = fwtest::RunGame(
            folder.path,
            {
                {"the splash",
                 [] { return fw::Primary && fw::GameState == 0 && plat::Window::Instance().FramesPresented() > 0; },
                 [] { plat::PushKeyStroke(kVkReturn); }},
                {"the profile screen", Settled([] { return fw::UserMenuScreen.Exists(); }, 80),
                 [] { Press(1, 480, 425); }},
                {"the main menu", Settled([] { return fw::MainMenuScreen.Exists(); }, 80), [] { Press(1, 320, 98); }},
                {"the briefing's state page", Settled([] { return fw::BriefScreen.Exists(); }), [] { Press(1, 300, 300); }},
                {"the briefing page", Settled([] { return true; }), [] { Press(1, 365, 440); }},
                {"the hall", Settled([] { return InState("RUN"); }),
                 [] {
                   fw::Users->NowItem()->Money = 2000;
                   plat::PushMouseMove(48, 152);  // yaw 20, pitch 275
                 }},
                {"the weapon shop's area", [] { return Factory()->HoverArea() == "Weap"; },
                 [] { Press(1, 48, 152); }},
                {"the weapon shop", Settled([] { return InState("Weap"); }),
                 [] { Press(1, 60, RowOf(Factory()->Overlay().ShopListA, "Twin Laser")); }},
                {"the weapon chosen", [] { return Factory()->Overlay().ShopListA.SelectedItem > 0; },
                 [] { Press(1, 330, 455); }},
                {"the weapon bought", [] { return RowOf(Factory()->Overlay().ShopListB, "Twin Laser") > 0; },
                 [] { Press(1, 560, 455); }},
                // From (560, 455): yaw 320, pitch 221.25; then down to the
                // bottom edge (yaw 280, pitch 281), where the pointer goes
                // back to y 240.
                {"the hall again", Settled([] { return InState("RUN"); }),
                 [] {
                   plat::PushMouseMove(320, 240);
                   plat::PushMouseMove(160, 479);
                 }},
                {"the pointer back at the middle", Settled([] { return Factory()->View().LastY == 240; }),
                 [] { plat::PushMouseMove(160, 336); }},  // pitch 305
                {"the assembly area", [] { return Factory()->HoverArea() == "EQUTank"; },
                 [] { Press(1, 160, 336); }},
                // Both rows of the scout are taken: the laser comes off first.
                {"the assembly screen", Settled([] { return InState("EQUTank"); }),
                 [] { Press(2, 500, RowOf(Factory()->Overlay().EquLists[7], "Weapon1:")); }},
                {"a free row", [] { return !Fitted("Pulse Laser"); },
                 [] { Press(2, 60, RowOf(Factory()->Overlay().EquLists[1], "Twin Laser")); }},
                {"the weapon fitted", [] { return Fitted("Twin Laser"); }, [] { Press(1, 530, 445); }},
                // Back in the hall at yaw 280, pitch 305, the pointer at
                // (530, 445): to (320, 240) is yaw 227.5, pitch 253.75; the
                // right edge adds 79.75 (yaw 307.25) and recentres x.
                {"the hall once more", Settled([] { return InState("RUN"); }),
                 [] {
                   plat::PushMouseMove(320, 240);
                   plat::PushMouseMove(639, 240);
                 }},
                {"the pointer recentred", Settled([] { return Factory()->View().LastX == 320; }),
                 [] { plat::PushMouseMove(639, 240); }},  // yaw 27
                {"turned again", Settled([] { return Factory()->View().LastX == 320 && Factory()->View().Yaw < 100; }),
                 [] { plat::PushMouseMove(573, 240 + 87); }},  // yaw 90.25, pitch 275.5
                {"the exit area", [] { return Factory()->HoverArea() == "EXITOUT"; }, [] { Press(1, 573, 327); }},
                {"the briefing again", Settled([] { return fw::GameState == 7 && !fw::FactoryScreen.Exists(); }),
                 [&] {
                   // The visit is over and saved: judge it here, in the game.
                   std::string tankWeapons;
                   for (const auto& w : *fw::Users->NowTank->Weapon) tankWeapons += w->Key + ";";
                   const std::string saved = ReadFile(folder.path + "/save/user1.DAT");
                   const bool ok = tankWeapons.find("Twin Laser;") != std::string::npos &&
                                   saved.find("\"Twin Laser\",11,1") != std::string::npos &&
                                   saved.find("\"Pulse Laser\",1,0") != std::string::npos;
                   if (!ok) std::fprintf(stderr, "weapons '%s' saved:\n%s\n", tankWeapons.c_str(), saved.c_str());
                   std::exit(ok ? 0 : 1);
                 }},
            },
            20000);
        std::fprintf(stderr, "the road ended early: status %d\n", status);
        std::exit(2);
      },
      ::testing::ExitedWithCode(0), "");
}
