// The end of the campaign on the real program: sample profile 1, put at the
// twentieth mission, goes from the profile screen through the main menu
// and the briefing into the battle on map T, wins it by the hidden chord,
// and the end screen's close leads to the main menu instead of the next
// briefing, with the mission number neither advanced nor saved.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "battle/battle_screen.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "frontend/end_screen.hpp"
#include "platform/input/window.hpp"
#include "tests/e2e/game_driver.hpp"

using fwtest::Click;
using fwtest::DriverStep;

namespace {
constexpr int16_t kVkReturn = 13, kVkF4 = 115;
constexpr int16_t kShiftAlt = 5;

// Holds once some frames have been shown since `first` first held.
std::function<bool()> Settled(std::function<bool()> first, uint64_t frames = 60) {
  return fwtest::FramesAfter(std::move(first), frames);
}

// The battle past its loading, running its frames.
bool BattleRunning() {
  if (fw::GameState != fw::ScreenState::CampaignBattle || !fw::CampaignScreen.Exists()) return false;
  auto b = std::dynamic_pointer_cast<fw::FrmMainClass>(fw::CampaignScreen.Shared());
  return b && b->World().RunState == "Loop";
}

int32_t SavedMission() {
  fw::UsersClass saved;
  saved.File = fw::AppPath + "\\User.INI";
  saved.ReadUser();
  return saved.Item(1)->Mission;
}

struct Folder {
  std::string path = fwtest::CopyOfSampleData(false);
  ~Folder() { std::filesystem::remove_all(path); }
};

// What the road saw, printed when it went wrong.
struct Seen {
  bool wonShown = false;         // the end screen opened on a won twentieth mission
  bool briefingAfter = false;    // a briefing opened after the end screen
  int32_t missionInMenu = -1;    // the profile's mission once the menu is back
  int32_t savedInMenu = -1;      // and as saved
  bool ok() const { return wonShown && !briefingAfter && missionInMenu == 20 && savedInMenu == 20; }
};

[[noreturn]] void WinTheLastMission(const std::string& folder) {
  Seen seen;
  auto endShown = std::make_shared<bool>(false);
  const int status = fwtest::RunGame(
      folder,
      {
          {"the splash", fwtest::AMomentAfter([] { return fw::Primary && plat::Window::Instance().FramesPresented() > 0; }),
           [] { plat::PushKeyStroke(kVkReturn); }},
          // Profile 1 is chosen when the screen opens; its kit can fight.
          {"the profile screen", Settled([] { return fw::UserMenuScreen.Exists(); }),
           [] {
             fw::Users->Item(1)->Mission = 20;
             Click(480, 425);
           }},
          {"the main menu", Settled([] { return fw::MainMenuScreen.Exists(); }), [] { Click(320, 98); }},
          {"the briefing's state page", fwtest::AMomentAfter(Settled([] { return fw::BriefScreen.Exists(); }, 3)),
           [] { Click(300, 300); }},
          {"the briefing page", Settled([] { return true; }, 3), [] { Click(465, 440); }},
          {"the battle on map T", BattleRunning, [] { plat::PushKeyStroke(kVkF4, kShiftAlt); }},
          {"the end screen", fwtest::AMomentAfter(Settled([] { return fw::EndScreenObj.Exists(); }, 3)),
           [&seen, endShown] {
             auto end = std::dynamic_pointer_cast<fw::FrmEndScreenClass>(fw::EndScreenObj.Shared());
             seen.wonShown = end && end->WinState && end->MisIndex == 20 && fw::Users->NowItem()->Mission == 20;
             *endShown = true;
             plat::PushKeyStroke(kVkReturn);
           }},
          {"the main menu again",
           [&seen] {
             if (fw::BriefScreen.Exists()) seen.briefingAfter = true;
             return fw::MainMenuScreen.Exists() || seen.briefingAfter;
           },
           [&seen] {
             seen.missionInMenu = fw::Users->NowItem()->Mission;
             seen.savedInMenu = SavedMission();
             if (!seen.ok())
               std::fprintf(stderr, "won %d briefing %d mission %d saved %d\n", seen.wonShown, seen.briefingAfter,
                            seen.missionInMenu, seen.savedInMenu);
             std::_Exit(seen.ok() ? 0 : 20);
           }},
      },
      400000);
  std::fprintf(stderr, "the program ended with %d before the menu came back\n", status);
  std::exit(30);
}

}  // namespace

TEST(CampaignRoad, WinningTheTwentiethMissionLeadsToTheMainMenu) {
  Folder folder;
  EXPECT_EXIT(WinTheLastMission(folder.path), ::testing::ExitedWithCode(0), "");
}
