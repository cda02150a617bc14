// The front-end's road on the real program: a new profile is named and
// picked, the main menu opens the briefing of mission 1, the battle starts
// and ends, the end screen leads back to the briefing, and the program is
// left from the profile screen.
#include <gtest/gtest.h>

#include <filesystem>

#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "platform/input/window.hpp"
#include "tests/e2e/game_driver.hpp"

using fwtest::AMomentAfter;
using fwtest::Click;
using fwtest::DriverStep;
using fwtest::FramesAfter;

namespace {
constexpr int16_t kVkReturn = 13, kVkEscape = 27, kVkY = 89;

bool SplashShown() { return fw::Primary && fw::GameState == 0 && plat::Window::Instance().FramesPresented() > 0; }

// Holds after a number of pumps: time for a question to come up, which
// shows no new frames while it waits.
std::function<bool()> AfterPumps(int pumps) {
  auto left = std::make_shared<int>(pumps);
  return [left] { return --*left <= 0; };
}

}  // namespace

TEST(FrontEndRoad, ProfileMenuBriefingBattleEndScreenAndBack) {
  fwtest::SampleDataCopy folder;
  EXPECT_EXIT(
      {
        int missionAfterWin = 0;
        std::string pickedName;
        const int status = fwtest::RunGame(
            folder.path,
            {
                {"the splash", AMomentAfter(SplashShown), [] { plat::PushKeyStroke(kVkReturn); }},
                // A new profile: DEL sets it up at mission 1, then its board
                // (selected already) takes a name.
                {"the profile screen at rest", FramesAfter([] { return fw::UserMenuScreen.Exists(); }, 80),
                 [] { Click(160, 425); }},
                {"the question", AMomentAfter(AfterPumps(5)), [] { plat::PushKeyStroke(kVkY); }},
                {"the profile set up", [] { return fw::Users->Item(1)->Mission == 1; }, [] { Click(100, 35); }},
                {"a frame", FramesAfter([] { return true; }, 2),
                 [] {
                   for (int16_t k : {'A', 'C', 'E'}) plat::PushKeyStroke(k);
                 }},
                {"the name typed", [] { return fw::Users->Item(1)->Name.size() == 3; }, [] { Click(480, 425); }},
                {"the main menu at rest", FramesAfter([] { return fw::MainMenuScreen.Exists(); }, 80),
                 [&] {
                   pickedName = fw::Users->NowItem()->Name;
                   Click(320, 98);
                 }},
                {"the briefing's state page", AMomentAfter(FramesAfter([] { return fw::BriefScreen.Exists(); }, 3)),
                 [] { Click(300, 300); }},
                // The maintenance factory would fit the tank; the road only needs one.
                {"the briefing page", FramesAfter([] { return true; }, 3),
                 [] {
                   fw::Users->NowTank->Key = "Road tank";
                   Click(465, 440);
                 }},
                // Esc asks whether to leave the battle; Y answers it.
                {"the battle", FramesAfter([] { return fw::CampaignScreen.Exists(); }, 5),
                 [] { plat::PushKeyStroke(kVkEscape); }},
                {"the exit question", AfterPumps(5), [] { plat::PushKeyStroke(kVkY); }},
                // Between two screens, the battle's result as its missions leave it.
                {"the battle left", [] { return !fw::CampaignScreen.Exists(); },
                 [] {
                   fw::EndResult.MisIndex = 1;
                   fw::EndResult.WinState = true;
                   fw::GameState = fw::ScreenState::EndScreen;
                 }},
                {"the end screen", AMomentAfter(FramesAfter([] { return fw::EndScreenObj.Exists(); }, 3)),
                 [] { plat::PushKeyStroke(kVkReturn); }},
                {"the briefing again", AMomentAfter(FramesAfter([] { return fw::BriefScreen.Exists(); }, 3)),
                 [&] {
                   missionAfterWin = fw::Users->NowItem()->Mission;
                   plat::PushKeyStroke(kVkEscape);
                 }},
                {"the main menu again", FramesAfter([] { return fw::MainMenuScreen.Exists(); }, 3),
                 [] { plat::PushKeyStroke(kVkEscape); }},
                {"the profile screen again", FramesAfter([] { return fw::UserMenuScreen.Exists(); }, 3),
                 [] { plat::PushKeyStroke(kVkEscape); }},
                {"the last question", AMomentAfter(AfterPumps(5)), [] { plat::PushKeyStroke(kVkY); }},
            },
            20000);
        const bool ok = status == 0 && pickedName == "ace" && missionAfterWin == 2;
        if (!ok) std::fprintf(stderr, "status %d name '%s' mission %d\n", status, pickedName.c_str(), missionAfterWin);
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}
