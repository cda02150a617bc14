#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "platform/input/window.hpp"
#include "tests/e2e/game_driver.hpp"

using fwtest::DriverStep;

namespace {
constexpr int16_t kVkReturn = 13;
constexpr int16_t kVkEscape = 27;
constexpr int16_t kVkY = 89;

// The profile screen asks before the program ends: Esc, then, once the
// question shows, Y.
std::vector<DriverStep> QuitFromProfiles(std::function<bool()> atProfiles) {
  return {{"the profile screen", std::move(atProfiles), [] { plat::PushKeyStroke(kVkEscape); }},
          {"the quit question", fwtest::AMomentAfter([] { return true; }), [] { plat::PushKeyStroke(kVkY); }}};
}

// The steps in order, as one script.
std::vector<DriverStep> Script(std::initializer_list<std::vector<DriverStep>> parts) {
  std::vector<DriverStep> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// The primary surface exists from the splash on; films run without it.
bool SplashShown() { return fw::Primary && fw::GameState == 0 && plat::Window::Instance().FramesPresented() > 0; }
bool FilmShowing() { return !fw::Primary && plat::Window::Instance().FramesPresented() > 0; }

// A frame of more than a few colours: a picture, not a blank screen.
bool FrameIsAPicture() {
  const auto& f = plat::Window::Instance().LastFrame();
  std::vector<uint16_t> seen;
  for (size_t i = 0; i < f.size() && seen.size() < 16; i += 97)
    if (std::find(seen.begin(), seen.end(), f[i]) == seen.end()) seen.push_back(f[i]);
  return seen.size() >= 16;
}

struct Folder {
  std::string path;
  explicit Folder(bool withFilms) : path(fwtest::CopyOfSampleData(withFilms)) {}
  ~Folder() { std::filesystem::remove_all(path); }
};
}  // namespace

TEST(StartupRoad, SplashThenProfilesThenEscEndsCleanly) {
  Folder folder(false);
  EXPECT_EXIT(
      {
        bool splashWasAPicture = false;
        uint64_t framesAtProfiles = 0;
        const int status = fwtest::RunGame(
            folder.path, Script({{{"the splash", fwtest::AMomentAfter(SplashShown),
                                   [&] {
                                     splashWasAPicture = FrameIsAPicture();
                                     plat::PushKeyStroke(kVkReturn);
                                   }},
                                  {"the profile screen's state",
                                   [&] {
                                     if (fw::GameState != 5) return false;
                                     framesAtProfiles = plat::Window::Instance().FramesPresented();
                                     return true;
                                   },
                                   [] {}}},
                                 QuitFromProfiles([&] {
                                   return plat::Window::Instance().FramesPresented() > framesAtProfiles;
                                 })}));
        std::exit(status == 0 && fw::GameState == 0 && splashWasAPicture ? 0 : 10 + status);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(StartupRoad, FilmsOpenAndCloseTheGameAndKeysEndThem) {
  Folder folder(true);
  EXPECT_EXIT(
      {
        bool introShown = false;
        bool logoShown = false;
        const int status = fwtest::RunGame(
            folder.path,
            Script({{{"the intro film", FilmShowing,
                      [&] {
                        introShown = FrameIsAPicture();
                        plat::PushKeyStroke(kVkReturn);
                      }},
                     // The key that ended the film does not also pass the splash.
                     {"the splash", fwtest::AMomentAfter(SplashShown), [] { plat::PushKeyStroke(kVkReturn); }}},
                    QuitFromProfiles([] { return fw::GameState == 5 && fw::Primary != nullptr; }),
                    {{"the closing film",
                      fwtest::AMomentAfter([] { return fw::GameState == 0 && FilmShowing() && FrameIsAPicture(); }),
                      [&] {
                        logoShown = true;
                        plat::PushMouseDown(1, 320, 240);
                      }}}}));
        // The display is handed back after the closing film.
        std::exit(status == 0 && introShown && logoShown && fw::Primary ? 0 : 10 + status);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(StartupRoad, AMouseClickAlsoDismissesTheSplash) {
  Folder folder(false);
  EXPECT_EXIT(
      {
        const int status = fwtest::RunGame(
            folder.path,
            Script({{{"the splash", fwtest::AMomentAfter(SplashShown), [] { plat::PushMouseDown(1, 320, 240); }}},
                    QuitFromProfiles([] { return fw::GameState == 5; })}));
        std::exit(status);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(StartupRoad, MissingArchiveDirectoryEndsWithItsName) {
  Folder folder(false);
  std::filesystem::remove(folder.path + "/Data.INF");
  EXPECT_EXIT(std::exit(fwtest::RunGame(folder.path, {{"the splash", fwtest::AMomentAfter(SplashShown),
                                                         [] { plat::PushKeyStroke(kVkReturn); }}})),
              ::testing::ExitedWithCode(1), "Data\\.INF.*" + folder.path);
}

TEST(StartupRoad, MissingSplashEndsWithItsName) {
  Folder folder(false);
  std::filesystem::remove(folder.path + "/create(GB).jpg");
  EXPECT_EXIT(std::exit(fwtest::RunGame(folder.path, {})), ::testing::ExitedWithCode(1),
              "create\\(GB\\)\\.jpg.*" + folder.path);
}

TEST(StartupRoad, StateElevenLeadsToTheMainMenu) {
  Folder folder(false);
  EXPECT_EXIT(
      {
        bool sawMainMenu = false;
        const int status = fwtest::RunGame(
            folder.path,
            Script({{{"the splash", fwtest::AMomentAfter(SplashShown), [] { plat::PushKeyStroke(kVkReturn); }}},
                    QuitFromProfiles([] { return fw::GameState == 5 && fw::UserMenuScreen.Exists(); }),
                    // Between two screens, as the end screen leaves it after the last mission.
                    {{"the loop between screens", [] { return fw::GameState == 0 && !fw::UserMenuScreen.Exists(); },
                      [] { fw::GameState = 11; }},
                     {"the main menu", [&] { return sawMainMenu = fw::MainMenuScreen.Exists(); },
                      [] { plat::PushKeyStroke(kVkEscape); }}},
                    QuitFromProfiles([] { return fw::UserMenuScreen.Exists(); })}));
        std::exit(status == 0 && sawMainMenu ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}
