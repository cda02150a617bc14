// The campaign battle through the real program: a profile at mission 1
// goes into the battle, drives and fires with keys held down, and leaves
// by the exit question or by the hidden chord; the end screen follows with
// the profiles saved.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "battle/battle_screen.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "factory/rules/combin_all.hpp"
#include "engine/screen.hpp"
#include "platform/input/window.hpp"
#include "tests/battle/screen_support.hpp"
#include "tests/e2e/game_driver.hpp"

using fwtest::DriverStep;

namespace {
constexpr int16_t kVkReturn = 13, kVkEscape = 27, kVkUp = 38, kVkY = 89, kVkF4 = 115;
constexpr int16_t kShiftAlt = 5;
constexpr int32_t kMarkMoney = 4321;

// Stands in for the profile screen: picks profile 1 at mission 1 (its money
// marked in memory only) and starts the battle.
class StartBattle : public fw::Screen {
 public:
  void Load() override {
    // The profile's fitted tank, built as the profile screen builds it: the
    // campaign's scripts place it as the player's unit.
    fwtest::PickFirstProfile(kMarkMoney);
    fw::CombinAllOnUsers();
    fw::GameState = fw::ScreenState::CampaignBattle;
  }
};

bool SplashShown() { return fw::Primary && plat::Window::Instance().FramesPresented() > 0; }

std::shared_ptr<fw::FrmMainClass> Battle() {
  if (fw::GameState != 2 || !fw::CampaignScreen.Exists()) return nullptr;
  return std::dynamic_pointer_cast<fw::FrmMainClass>(fw::CampaignScreen.Shared());
}
bool BattleRunning() {
  auto b = Battle();
  return b && b->World().RunState == "Loop";
}

DriverStep IntoTheBattle() {
  return {"the splash", fwtest::AMomentAfter(SplashShown), [] {
            fw::RegisterScreen(fw::ScreenState::Profiles, fw::kScreenKeyDown, fw::MakeScreen<StartBattle>);
            // The campaign's own scripts when the program has them, else the
            // test's.
            if (!fw::MakeMissionScript())
              fw::SetMissionScriptMaker([] { return std::make_unique<fw::screentest::TestScript>(); });
            plat::PushKeyStroke(kVkReturn);
          }};
}

// The end screen's state reached with the marked profile saved.
bool SavedAtTheEndScreen() {
  if (fw::GameState != fw::ScreenState::EndScreen) return false;
  fw::UsersClass saved;
  saved.File = fw::AppPath + "\\User.INI";
  saved.ReadUser();
  return saved.Item(1)->Money >= kMarkMoney && saved.Item(1)->Mission >= 1;
}

struct Folder {
  std::string path = fwtest::CopyOfSampleData(false);
  ~Folder() { std::filesystem::remove_all(path); }
};
}  // namespace

// Each road runs in a child process and ends it with its verdict.
[[noreturn]] void DriveFireAndLeave(const std::string& folder) {
  float startX = 0, movedX = 0;
  int framesHeld = 0;
  fwtest::RunGame(folder,
                  {
                      IntoTheBattle(),
                      {"the battle", BattleRunning,
                       [&] {
                         auto& w = Battle()->World();
                         startX = w.Units.at(static_cast<size_t>(w.PlayerUnit)).PosX;
                         plat::PushKeyDown(kVkUp);
                         plat::PushKeyDown(kVkReturn);
                       }},
                      {"a few seconds of driving", [&] { return BattleRunning() && ++framesHeld > 200; },
                       [&] {
                         auto& w = Battle()->World();
                         if (w.PlayerUnit >= 0) movedX = w.Units[static_cast<size_t>(w.PlayerUnit)].PosX;
                         plat::PushKeyUp(kVkUp);
                         plat::PushKeyUp(kVkReturn);
                         plat::PushKeyStroke(kVkEscape);
                       }},
                      {"the exit question", [] { return Battle() && Battle()->Prompting(); },
                       [] { plat::PushKeyStroke(kVkY); }},
                      {"the end screen", SavedAtTheEndScreen,
                       [&] { std::_Exit(movedX != startX && !fw::EndResult.WinState ? 0 : 20); }},
                  },
                  400000);
  std::exit(30);
}

[[noreturn]] void ChordWins(const std::string& folder) {
  fwtest::RunGame(folder,
                  {
                      IntoTheBattle(),
                      {"the battle", BattleRunning, [] { plat::PushKeyStroke(kVkF4, kShiftAlt); }},
                      {"the end screen", SavedAtTheEndScreen, [] { std::_Exit(fw::EndResult.WinState ? 0 : 20); }},
                  },
                  400000);
  std::exit(30);
}

TEST(BattleRoad, DriveFireThenEscAndYLeaveToTheEndScreenWithTheProfileSaved) {
  Folder folder;
  EXPECT_EXIT(DriveFireAndLeave(folder.path), ::testing::ExitedWithCode(0), "");
}

TEST(BattleRoad, TheChordsSecondKeyEndsTheBattleAsWon) {
  Folder folder;
  EXPECT_EXIT(ChordWins(folder.path), ::testing::ExitedWithCode(0), "");
}
