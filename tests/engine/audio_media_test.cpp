// Films and music as the game plays them: the intro's end by time and by
// key (a short one holding its last picture), the closing film handing the display back, missing and damaged films,
// sound at a film's name, a drive that holds the film's reads,
// music volume, the music loop and the choice of battle track.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "engine/form_board.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/media_player.hpp"
#include "engine/program_end.hpp"
#include "engine/surfaces.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/quit_signal.hpp"
#include "platform/runtime/random.hpp"
#include "tests/common/test_support.hpp"
#include "tests/platform/audio_test_media.hpp"

namespace fw {
namespace {

using audiotest::CycleColour;
using audiotest::Near;

constexpr int16_t kVkA = 65;

uint16_t CentrePixel() {
  const auto& f = plat::Window::Instance().LastFrame();
  return f.empty() ? 0 : f[240 * 640 + 320];
}

class MediaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedMusicVol_ = MusicVol;
    MediaPath = folder_.Path();
    ASSERT_TRUE(Board->Show());
    plat::FixClock(100000);
    KeyCode = 0;
    MouseButton = 0;
  }
  void TearDown() override {
    plat::SetTestDriver(nullptr);
    plat::UnfixClock();
    plat::UnfixRandom();
    MediaPlay.Release();
    Board->Unload();
    Board.Release();
    MusicVol = savedMusicVol_;
    KeyCode = 0;
    MouseButton = 0;
  }
  void Music(const std::string& as) { audiotest::CopySample("BG1.MP3", folder_.Path(), as); }

  fwtest::TempProgramFolder folder_;
  int32_t savedMusicVol_ = 10;
};

TEST_F(MediaTest, TheIntroEndsAfter104SecondsWithoutAKey) {
  folder_.Write("Intro.avi", audiotest::SolidFilm(106, 1, 16, 16, CycleColour, false));
  MusicVol = 0;
  int passes = 0;
  plat::SetTestDriver([&] {
    ++passes;
    plat::AdvanceClock(1000);
  });
  MediaPlay->Load(Board->hWnd());
  EXPECT_EQ(passes, 105);  // the pass whose position first exceeds 104.08 s
  EXPECT_EQ(KeyCode, 0);
  ASSERT_TRUE(MediaPlay->IFilter);  // returns with the film still running
  EXPECT_GT(MediaPlay->IFilter->CurrentPosition(), 104.08);
  EXPECT_EQ(MediaPlay->IFilter->Volume(), 0);  // the intro plays at full volume
  EXPECT_TRUE(Near(CentrePixel(), CycleColour(105)));  // one picture a second
}

TEST_F(MediaTest, AShortIntroHoldsItsLastPictureUntilAKeyAndAnEarlierKeyDoesNotSkipIt) {
  folder_.Write("Intro.avi", audiotest::SolidFilm(4, 4, 16, 16, CycleColour));
  KeyCode = 13;  // pressed before the film: must not end it
  int passes = 0;
  uint16_t atTwoSeconds = 0;
  plat::SetTestDriver([&] {
    ++passes;
    if (passes == 9) atTwoSeconds = CentrePixel();
    if (passes == 12) plat::PushKeyDown(kVkA);
    plat::AdvanceClock(250);
  });
  MediaPlay->Load(Board->hWnd());
  // The one-second film ended after four passes; it held until the key.
  EXPECT_EQ(passes, 12);
  EXPECT_TRUE(Near(atTwoSeconds, CycleColour(3)));
  EXPECT_TRUE(Near(CentrePixel(), CycleColour(3)));
  EXPECT_EQ(KeyCode, kVkA);
}

TEST_F(MediaTest, AMouseButtonEndsTheIntro) {
  folder_.Write("Intro.avi", audiotest::SolidFilm(4, 4, 16, 16, CycleColour));
  MouseButton = 1;
  int passes = 0;
  plat::SetTestDriver([&] {
    if (++passes == 3) plat::PushMouseDown(2, 100, 100);
  });
  MediaPlay->Load(Board->hWnd());
  EXPECT_EQ(passes, 3);
  EXPECT_EQ(MouseButton, 2);
}

TEST_F(MediaTest, AMissingOrDamagedIntroIsSkipped) {
  int passes = 0;
  plat::SetTestDriver([&] {
    ++passes;
    plat::PushKeyDown(kVkA);  // ends an intro that does play
  });
  const uint64_t frames = plat::Window::Instance().FramesPresented();
  MediaPlay->Load(Board->hWnd());
  folder_.Write("Intro.avi", "RIFF....AVI LIST garbage");
  MediaPlay->Load(Board->hWnd());
  EXPECT_EQ(passes, 0);
  EXPECT_EQ(plat::Window::Instance().FramesPresented(), frames);
  EXPECT_FALSE(MediaPlay->IFilter);
}

// As any file renders: its sound plays at the intro's volume until a key,
// the whole of it; but sound past what may be read whole is not played.
TEST_F(MediaTest, SoundWithoutPicturesAtAFilmsNamePlaysAsSound) {
  using std::chrono::milliseconds;
  const struct {
    const char* what;
    milliseconds first;  // the drive's first read
    bool large;          // a WAV of more than kMostFilmSoundBytes in place of the track
    bool plays;
  } rows[] = {
      {"the track, known as sound at once", milliseconds(0), false, true},
      // Known late, it still runs: the track's position moves on.
      {"the track, known as sound once a slow first read has come, the intro already running", milliseconds(1000),
       false, true},
      {"a sound too large to be read whole", milliseconds(0), true, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string intro = folder_.Path() + "/Intro.avi";
    if (row.large) {
      std::string header = "RIFF";
      const uint32_t data = static_cast<uint32_t>(plat::MediaGraph::kMostFilmSoundBytes) + 4096;
      audiotest::Put32(header, data + 36);
      header += "WAVE";
      audiotest::PutChunk(header, "fmt ", audiotest::WaveFormat(22050, 2));
      header += "data";
      audiotest::Put32(header, data);
      folder_.Write("Intro.avi", header);
      std::filesystem::resize_file(intro, header.size() + data);  // silence, read as zeros
    } else {
      Music("Intro.avi");
    }
    audiotest::SlowDrive drive({row.first, milliseconds(0)});
    int passes = 0;
    bool playing = false;
    plat::SetTestDriver([&] {
      playing = MediaPlay->IFilter && !MediaPlay->IFilter->HasVideo() && MediaPlay->IFilter->Volume() == 0 &&
                (row.first.count() == 0 || MediaPlay->IFilter->CurrentPosition() > 0);
      if (++passes == (row.first.count() == 0 ? 3 : 500) || (row.first.count() > 0 && playing))
        plat::PushKeyStroke(kVkA);
    });
    MediaPlay->Load(Board->hWnd());
    KeyCode = 0;
    if (!row.plays) {
      EXPECT_EQ(passes, 0);
      EXPECT_FALSE(MediaPlay->IFilter);
      continue;
    }
    EXPECT_TRUE(row.first.count() > 0 || passes == 3) << passes;
    EXPECT_TRUE(playing);
    ASSERT_TRUE(MediaPlay->IFilter);
    plat::MediaGraph& sound = *MediaPlay->IFilter;
    EXPECT_NEAR(sound.Duration(), 16 * 60.0 / 132, 0.1);  // the track's four bars
    // The music decoder was given the whole track: it plays on through the
    // last second and a half, which a header alone would only announce.
    sound.SetCurrentPosition(sound.Duration() - 1.5);
    sound.Run();
    bool tail = false;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
         !tail && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(milliseconds(10))) {
      const double at = sound.CurrentPosition();
      tail = at > sound.Duration() - 1.3 && at < sound.Duration();
    }
    EXPECT_TRUE(tail);
    MediaPlay->CleanUp();
  }
}

TEST_F(MediaTest, FilmsAreAlsoFoundOnTheMediaPathWhateverTheirLetterCase) {
  fwtest::TempProgramFolder media;
  MediaPath = media.Path();
  plat::SetProgramFolder(folder_.Path());
  AppPath = folder_.Path();
  media.Write("INTRO.AVI", audiotest::SolidFilm(4, 4, 16, 16, [](int) { return audiotest::Colour{0, 255, 0}; }));
  plat::SetTestDriver([&] { plat::PushKeyDown(kVkA); });
  MediaPlay->Load(Board->hWnd());
  EXPECT_TRUE(Near(CentrePixel(), {0, 255, 0}));
}

class LogoTest : public MediaTest {
 protected:
  void SetUp() override {
    MediaTest::SetUp();
    DX = std::make_shared<plat::DirectX7>();
    DDraw = DX->DirectDrawCreate("");
    ASSERT_TRUE(CreatePrimaryAndBackBuffer(Primary, BackBuffer, DDraw));
    DDraw->SetCooperativeLevel(Board->hWnd(), plat::DDSCL_FULLSCREEN | plat::DDSCL_EXCLUSIVE);
    DDraw->SetDisplayMode(640, 480, 16, 0, 0);
    Board->WindowState = 0;
  }
  void TearDown() override {
    Primary.reset();
    BackBuffer.reset();
    DDraw.reset();
    DX.reset();
    MediaTest::TearDown();
  }
};

TEST_F(LogoTest, TheClosingFilmGivesUpTheDisplayAndTakesItBackAfterAKey) {
  folder_.Write("logo.avi", audiotest::SolidFilm(4, 4, 16, 16, CycleColour));
  const plat::SurfacePtr oldPrimary = Primary;
  bool gaveUpDisplay = false;
  int passes = 0;
  plat::SetTestDriver([&] {
    plat::AdvanceClock(250);
    if (++passes == 1)
      gaveUpDisplay = !Primary && !BackBuffer && DDraw->CooperativeLevel() == plat::DDSCL_NORMAL &&
                      DDraw->DisplayBpp() == DX->DisplayBitsPerPixel() && Board->WindowState == 2;
    if (passes == 12) plat::PushMouseDown(1, 10, 10);  // long after the film's end
  });
  MediaPlay->PlayLogo();
  EXPECT_EQ(passes, 12);
  EXPECT_TRUE(gaveUpDisplay);
  EXPECT_FALSE(MediaPlay->IFilter);
  ASSERT_TRUE(Primary);
  EXPECT_NE(Primary, oldPrimary);
  EXPECT_EQ(BackBuffer, Primary->GetAttachedSurface(plat::DDSCAPS2{plat::DDSCAPS_BACKBUFFER, 0}));
  EXPECT_EQ(DDraw->CooperativeLevel(), plat::DDSCL_FULLSCREEN | plat::DDSCL_EXCLUSIVE);
  EXPECT_EQ(DDraw->DisplayWidth(), 640);
  EXPECT_EQ(DDraw->DisplayHeight(), 480);
  EXPECT_EQ(DDraw->DisplayBpp(), 16);
}

TEST_F(LogoTest, WithoutAPlayableClosingFilmTheDisplayIsLeftAlone) {
  const plat::SurfacePtr oldPrimary = Primary;
  MediaPlay->PlayLogo();
  folder_.Write("logo.avi", std::string(2000, '\0'));
  MediaPlay->PlayLogo();
  EXPECT_EQ(Primary, oldPrimary);
  EXPECT_EQ(DDraw->CooperativeLevel(), plat::DDSCL_FULLSCREEN | plat::DDSCL_EXCLUSIVE);
  EXPECT_EQ(Board->WindowState, 0);
}

// A drive that holds each read of the film in the system: at the intro and
// at the closing film a key or a quit signal is answered within a second
// while a read is held, opening or playing, and a film whose opening brings
// nothing is skipped after the probe's limit.
TEST_F(LogoTest, NoFilmReadHoldsTheScreen) {
  using std::chrono::milliseconds;
  using std::chrono::seconds;
  using Clock = std::chrono::steady_clock;
  enum class Key { None, WhileOpening, WhilePlaying };
  const audiotest::SlowDrive::Pace firstHeld{seconds(20), milliseconds(0)};
  // After a head enough for the opening, the rest at 1.6 s a read.
  const audiotest::SlowDrive::Pace eachSlow{milliseconds(1600), milliseconds(1600), 32 * 1024, 48 * 1024};
  const struct {
    const char* what;
    const char* film;
    audiotest::SlowDrive::Pace pace;
    Key key;
    const char* says;
    bool signal = false;  // a quit signal in place of the key
  } rows[] = {
      {"the intro, a first read of 20 s", "Intro.avi", firstHeld, Key::WhileOpening, "answered in time"},
      {"the intro, reads of 1.6 s each", "Intro.avi", eachSlow, Key::WhilePlaying, "answered in time"},
      {"the intro, a first read of 20 s, no key", "Intro.avi", firstHeld, Key::None, "skipped in time"},
      {"the closing film, a first read of 20 s", "logo.avi", firstHeld, Key::WhileOpening, "answered in time"},
      {"the closing film, reads of 1.6 s each", "logo.avi", eachSlow, Key::WhilePlaying, "answered in time"},
      {"the closing film, a first read of 20 s, no key", "logo.avi", firstHeld, Key::None, "skipped in time"},
      {"the intro, a first read of 20 s, SIGTERM", "Intro.avi", firstHeld, Key::WhileOpening, "answered in time", true},
      // Last: the game ends with the display given up.
      {"the closing film, reads of 1.6 s each, SIGTERM", "logo.avi", eachSlow, Key::WhilePlaying, "answered in time",
       true},
  };
  plat::CatchQuitSignals();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    folder_.Write(row.film, audiotest::SolidFilm(400, 4, 16, 16, CycleColour, false));
    audiotest::SlowDrive drive(row.pace);
    KeyCode = 0;
    const auto start = Clock::now();
    std::optional<Clock::time_point> shown, pushed;
    const uint64_t frames = plat::Window::Instance().FramesPresented();
    plat::SetTestDriver([&] {
      plat::AdvanceClock(250);
      if (!shown && plat::Window::Instance().FramesPresented() != frames) shown = Clock::now();
      // Without a key the row still ends, late, on one pushed long after
      // the film should have been skipped.
      std::optional<Clock::time_point> at = start + plat::MediaGraph::kFilmProbeLimit + seconds(2);
      if (row.key == Key::WhileOpening) at = start + milliseconds(1200);
      if (row.key == Key::WhilePlaying)
        at = shown ? std::optional(*shown + milliseconds(1200)) : std::nullopt;
      if (!pushed && at && Clock::now() >= *at) {
        pushed = Clock::now();
        if (row.signal)
          ::raise(SIGTERM);
        else
          plat::PushKeyDown(kVkA);
      }
    });
    bool ended = false;
    try {
      if (std::string(row.film) == "logo.avi")
        MediaPlay->PlayLogo();
      else
        MediaPlay->Load(Board->hWnd());
    } catch (const ProgramEnd&) {
      ended = true;
    }
    const auto returned = Clock::now();
    plat::SetTestDriver(nullptr);
    plat::PushKeyUp(kVkA);
    plat::DoEvents();
    drive.LetGo();
    std::string says = "too late";
    if (row.key != Key::None && pushed && returned - *pushed < seconds(1)) says = "answered in time";
    if (row.key == Key::None && !pushed && returned - start >= plat::MediaGraph::kFilmProbeLimit &&
        returned - start < plat::MediaGraph::kFilmProbeLimit + seconds(1))
      says = "skipped in time";
    EXPECT_EQ(says, row.says);
    EXPECT_EQ(row.key == Key::WhilePlaying, shown.has_value());
    EXPECT_EQ(row.signal, ended);
    EXPECT_FALSE(row.key == Key::None && MediaPlay->IFilter);
    EXPECT_TRUE(ended || Primary);  // the closing film hands the display back either way
    MediaPlay->CleanUp();
  }
  plat::TakeQuitSignal();  // none left for the next test, even where a row failed
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGINT, SIG_DFL);
}

TEST_F(MediaTest, MusicPlaysAtTheMusicVolumeAndReportsItsLength) {
  Music("Menu.mp3");
  MediaPlay->CheckLoop();  // nothing loaded: idle
  EXPECT_FALSE(MediaPlay->IFilter);
  MusicVol = 10;
  EXPECT_EQ(MediaPlay->PlayMp3(AppPath + "\\Menu.mp3"), 7);  // 7.27 s
  EXPECT_EQ(MediaPlay->IFilter->Volume(), 0);
  MusicVol = 0;
  MediaPlay->PlayMp3(AppPath + "\\MENU.MP3");
  EXPECT_EQ(MediaPlay->IFilter->Volume(), -1000);
  MusicVol = 4;
  MediaPlay->PlayMp3(AppPath + "\\Menu.mp3");
  EXPECT_EQ(MediaPlay->IFilter->Volume(), -600);
  // A missing file leaves the music that plays; a damaged one stops it.
  EXPECT_EQ(MediaPlay->PlayMp3(AppPath + "\\Absent.mp3"), 0);
  EXPECT_TRUE(MediaPlay->IFilter);
  folder_.Write("bad.mp3", "this is no music");
  EXPECT_EQ(MediaPlay->PlayMp3(AppPath + "\\bad.mp3"), 0);
  EXPECT_FALSE(MediaPlay->IFilter);
  EXPECT_FALSE(MediaPlay->Ready);
  // Nor is a film at a track's name played: a track never meets the film's probe.
  folder_.Write("film.mp3", audiotest::SolidFilm(4, 4, 16, 16, [](int) { return audiotest::Colour{32, 64, 96}; }));
  EXPECT_EQ(MediaPlay->PlayMp3(AppPath + "\\film.mp3"), 0);
  EXPECT_FALSE(MediaPlay->IFilter);
}

TEST_F(MediaTest, CheckLoopStartsTheMusicAgainAtItsEnd) {
  Music("Menu.mp3");
  MediaPlay->PlayBackSound(3);
  ASSERT_TRUE(MediaPlay->IFilter);
  plat::MediaGraph& g = *MediaPlay->IFilter;
  MediaPlay->CheckLoop();
  EXPECT_LT(g.CurrentPosition(), g.Duration());
  g.SetCurrentPosition(g.Duration() - 0.15);
  for (int i = 0; i < 300 && g.CurrentPosition() < g.Duration(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_DOUBLE_EQ(g.CurrentPosition(), g.Duration());
  MediaPlay->CheckLoop();
  EXPECT_LT(g.CurrentPosition(), 1.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_LT(g.CurrentPosition(), g.Duration());  // playing again, not ended
}

TEST_F(MediaTest, BattleMusicIsOneOfTheFiveTracksChosenByTheRandomSource) {
  for (uint32_t seed : {0u, 12345u, 777777u, 0xABCDEFu, 4242u}) {
    plat::FixRandom(seed);
    const int expected = static_cast<int>(plat::Int(plat::Rnd() * 5)) + 1;
    for (int k = 1; k <= 5; ++k) std::filesystem::remove(folder_.File("BG" + std::to_string(k) + ".MP3"));
    Music("BG" + std::to_string(expected) + ".MP3");
    MediaPlay->CleanUp();
    plat::FixRandom(seed);
    MediaPlay->PlayBackSound(0);
    EXPECT_TRUE(MediaPlay->IFilter) << "seed " << seed << " should pick BG" << expected;
  }
  for (int k = 1; k <= 5; ++k) Music("BG" + std::to_string(k) + ".MP3");
  for (uint32_t seed = 1; seed < 0xFFFFFFu; seed += 0x7F3A1) {
    MediaPlay->CleanUp();
    plat::FixRandom(seed);
    MediaPlay->PlayBackSound(0);
    ASSERT_TRUE(MediaPlay->IFilter) << "seed " << seed;
  }
}

TEST_F(MediaTest, EachScreenKindHasItsTrack) {
  const char* tracks[] = {"Factory.mp3", "Mbrief.mp3", "Menu.mp3"};
  for (int kind = 1; kind <= 3; ++kind) {
    for (const char* t : tracks) std::filesystem::remove(folder_.File(t));
    Music(tracks[kind - 1]);
    MediaPlay->CleanUp();
    MediaPlay->PlayBackSound(kind);
    EXPECT_TRUE(MediaPlay->IFilter) << kind;
    MediaPlay->CleanUp();
    MediaPlay->PlayBackSound(kind % 3 + 1);  // another kind's track is absent
    EXPECT_FALSE(MediaPlay->IFilter) << kind;
  }
  MediaPlay->PlayBackSound(9);
  EXPECT_FALSE(MediaPlay->IFilter);
}

}  // namespace
}  // namespace fw
