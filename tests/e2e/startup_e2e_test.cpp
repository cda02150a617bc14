#include <gtest/gtest.h>

#include <filesystem>

#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "platform/input/window.hpp"
#include "tests/e2e/game_driver.hpp"

using fwtest::DriverStep;

namespace {
constexpr int16_t kVkReturn = 13;
constexpr int16_t kVkEscape = 27;

bool SplashShown() { return plat::Window::Instance().FramesPresented() >= 1 && fw::GameState == 0; }
}  // namespace

TEST(StartupRoad, SplashThenProfilesThenEscEndsCleanly) {
  const std::string folder = fwtest::SampleDataFolder();
  EXPECT_EXIT(
      {
        uint64_t framesAtProfiles = 0;
        const int status = fwtest::RunGame(
            folder, {
                        {"the splash", SplashShown, [] { plat::PushKeyStroke(kVkReturn); }},
                        {"the profile screen's state",
                         [&] {
                           if (fw::GameState != 5) return false;
                           framesAtProfiles = plat::Window::Instance().FramesPresented();
                           return true;
                         },
                         [] {}},
                        {"a frame of the profile screen",
                         [&] { return plat::Window::Instance().FramesPresented() > framesAtProfiles; },
                         [] { plat::PushKeyStroke(kVkEscape); }},
                    });
        std::exit(status == 0 && fw::GameState == 0 ? 0 : 10 + status);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(StartupRoad, AMouseClickAlsoDismissesTheSplash) {
  const std::string folder = fwtest::SampleDataFolder();
  EXPECT_EXIT(
      {
        const int status = fwtest::RunGame(
            folder, {
                        {"the splash", SplashShown, [] { plat::PushMouseDown(1, 320, 240); }},
                        {"the profile screen", [] { return fw::GameState == 5; },
                         [] { plat::PushKeyStroke(kVkEscape); }},
                    });
        std::exit(status);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(StartupRoad, MissingArchiveDirectoryEndsWithItsName) {
  const std::string folder = fwtest::CopyOfSampleData();
  std::filesystem::remove(folder + "/Data.INF");
  EXPECT_EXIT(
      {
        const int status = fwtest::RunGame(
            folder, {{"the splash", SplashShown, [] { plat::PushKeyStroke(kVkReturn); }}});
        std::exit(status);
      },
      ::testing::ExitedWithCode(1), "Data\\.INF.*" + folder);
  std::filesystem::remove_all(folder);
}

TEST(StartupRoad, MissingSplashEndsWithItsName) {
  const std::string folder = fwtest::CopyOfSampleData();
  std::filesystem::remove(folder + "/create(GB).jpg");
  EXPECT_EXIT(std::exit(fwtest::RunGame(folder, {})), ::testing::ExitedWithCode(1), "create\\(GB\\)\\.jpg.*" + folder);
  std::filesystem::remove_all(folder);
}

TEST(StartupRoad, StateElevenLeadsToTheMainMenu) {
  const std::string folder = fwtest::SampleDataFolder();
  EXPECT_EXIT(
      {
        bool sawMainMenu = false;
        const int status = fwtest::RunGame(
            folder, {
                        {"the splash", SplashShown, [] { plat::PushKeyStroke(kVkReturn); }},
                        {"the profile screen", [] { return fw::GameState == 5 && fw::UserMenuScreen.Exists(); },
                         [] { plat::PushKeyStroke(kVkEscape); }},
                        // Between two screens, as the end screen leaves it after the last mission.
                        {"the loop between screens", [] { return fw::GameState == 0 && !fw::UserMenuScreen.Exists(); },
                         [] { fw::GameState = 11; }},
                        {"the main menu", [&] { return sawMainMenu = fw::MainMenuScreen.Exists(); },
                         [] { plat::PushKeyStroke(kVkEscape); }},
                        {"the profile screen again", [] { return fw::UserMenuScreen.Exists(); },
                         [] { plat::PushKeyStroke(kVkEscape); }},
                    });
        std::exit(status == 0 && sawMainMenu ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}
