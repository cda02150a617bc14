// The game never hangs: a quit signal ends it the way closing its window
// does, wherever it waits, and without a display it says so and stops.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>

#include "engine/globals.hpp"
#include "engine/message_box.hpp"
#include "platform/input/window.hpp"
#include "tests/e2e/game_driver.hpp"

namespace {
constexpr int16_t kVkReturn = 13;

struct Folder {
  std::string path = fwtest::CopyOfSampleData(false);
  ~Folder() { std::filesystem::remove_all(path); }
};

bool AtTheSplash() { return fw::Primary && fw::GameState == 0 && plat::Window::Instance().FramesPresented() > 0; }
}  // namespace

TEST(QuitSignal, EndsTheGameCleanlyWhileAQuestionWaitsForItsAnswer) {
  for (int sig : {SIGTERM, SIGINT}) {
    Folder folder;
    EXPECT_EXIT(
        {
          bool asked = false;
          const int status = fwtest::RunGame(
              folder.path,
              {
                  {"the splash", fwtest::AMomentAfter(AtTheSplash), [] { plat::PushKeyStroke(kVkReturn); }},
                  // The profile screen's question, as its quit key asks it.
                  {"the profile screen", [] { return fw::GameState == 5; },
                   [&] {
                     asked = true;
                     fw::ShowMessageBox("Are you sure to exit? (Y/n)", plat::RGB(255, 0, 0));
                     std::_Exit(20);  // the question ended without the signal's close
                   }},
                  {"the question on screen", [&] { return asked; }, [sig] { raise(sig); }},
              });
          std::exit(status == 0 && asked ? 0 : 10 + status);
        },
        ::testing::ExitedWithCode(0), "")
        << "signal " << sig;
  }
}

TEST(QuitSignal, EndsTheGameAtTheSplash) {
  Folder folder;
  EXPECT_EXIT(std::exit(fwtest::RunGame(folder.path, {{"the splash", AtTheSplash, [] { raise(SIGTERM); }}})),
              ::testing::ExitedWithCode(0), "");
}

TEST(NoDisplay, TheGameSaysSoAndStopsAtOnce) {
  Folder folder;
  EXPECT_EXIT(
      {
        plat::QuitPlatform();
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        std::exit(fwtest::RunGame(folder.path, {}, 10));
      },
      ::testing::ExitedWithCode(1), "no display");
}
