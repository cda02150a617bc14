// Start-up to shutdown on the sample data with a sound device that will not
// open: the intro film plays, the game runs silent without a joystick, and
// the closing film plays before the program ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/globals.hpp"
#include "engine/joystick.hpp"
#include "engine/media_player.hpp"
#include "engine/pack.hpp"
#include "engine/screen.hpp"
#include "engine/sound.hpp"
#include "engine/startup.hpp"
#include "platform/input/window.hpp"
#include "tests/common/test_support.hpp"
#include "tests/platform/audio_test_media.hpp"

namespace fw {
namespace {

constexpr int16_t kVkEscape = 27;

// The profile screen, as far as this road needs it: Esc quits.
class QuitOnEscape : public Screen {
 public:
  void Load() override {
    while (!done_) {
      plat::DoEvents();
      EmptyHook();
    }
    GameState = 0;
  }
  void KeyPress(int16_t& key) override { done_ = done_ || key == kVkEscape; }

 private:
  bool done_ = false;
};

TEST(AudioStartup, AFailedSoundDeviceLeavesTheGameSilentAndStartUpGoesOn) {
  fwtest::TempProgramFolder folder;
  for (const auto& entry : std::filesystem::directory_iterator(audiotest::SampleData()))
    std::filesystem::copy(entry.path(), folder.File(entry.path().filename().string()),
                          std::filesystem::copy_options::recursive);
  const char* old = std::getenv("SDL_AUDIODRIVER");
  const std::string keep = old ? old : "";
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  Sounds.Release();
  DInput.Release();
  GameState = 0;
  RegisterScreen(ScreenState::Profiles, kScreenKeyPress, MakeScreen<QuitOnEscape>);

  // Esc now and then walks the whole road: it ends the intro, dismisses the
  // splash, leaves the profile screen (which quits) and ends the closing film.
  bool introShown = false, silentInGame = false, logoShown = false, reachedProfiles = false;
  int passes = 0;
  plat::SetTestDriver([&] {
    ++passes;
    const bool film = MediaPlay.Exists() && MediaPlay->IFilter && MediaPlay->IFilter->HasVideo();
    if (film && !reachedProfiles) introShown = true;
    if (film && reachedProfiles) logoShown = true;
    if (GameState == 5) {
      reachedProfiles = true;
      silentInGame = Sounds.Exists() && !Sounds->Work && DInput.Exists() && !DInput->Work;
    }
    if (passes % 4 == 0) plat::PushKeyStroke(kVkEscape);
  });
  const int status = Main();
  plat::SetTestDriver(nullptr);
  ClearScreens();
  setenv("SDL_AUDIODRIVER", keep.c_str(), 1);

  EXPECT_EQ(status, 0);
  EXPECT_TRUE(introShown);
  EXPECT_TRUE(reachedProfiles);
  EXPECT_TRUE(silentInGame);
  EXPECT_TRUE(logoShown);
  EXPECT_EQ(Sounds->ErrMsg, "Unable to initialize DirectSound - sound card may not be present");
  EXPECT_FALSE(MediaPlay.Exists());

  Sounds.Release();
  DInput.Release();
  DataPack.Release();
  MissionPack.Release();
  Primary.reset();
  BackBuffer.reset();
  DDraw.reset();
  DX.reset();
  GameState = 0;
}

}  // namespace
}  // namespace fw
