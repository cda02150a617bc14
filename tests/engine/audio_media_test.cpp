// Films and music as the game plays them: the intro's end by time and by
// key (a short one holding its last picture), the closing film, the credits
// and the story's end handing the display back, missing and damaged films,
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
constexpr int16_t kVkEscape = 27;

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
    bool large;          // a WAV of more than 64 MiB in place of the track
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
      const uint32_t data = (uint32_t{64} << 20) + 4096;
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
    bool playing = false, sounded = false;
    const uint64_t frames = plat::Window::Instance().FramesPresented();
    const auto start = std::chrono::steady_clock::now();
    plat::SetTestDriver([&] {
      playing = MediaPlay->IFilter && !MediaPlay->IFilter->HasVideo() && MediaPlay->IFilter->Volume() == 0 &&
                (row.first.count() == 0 || MediaPlay->IFilter->CurrentPosition() > 0);
      sounded = sounded || playing;
      // A sound that must not play is given the time to be let go.
      const bool over = row.plays ? passes + 1 == (row.first.count() == 0 ? 3 : 500)
                                  : playing || std::chrono::steady_clock::now() - start > std::chrono::seconds(10);
      ++passes;
      if (over || (row.first.count() > 0 && playing)) plat::PushKeyStroke(kVkA);
    });
    MediaPlay->Load(Board->hWnd());
    KeyCode = 0;
    if (!row.plays) {
      EXPECT_FALSE(sounded);
      EXPECT_EQ(plat::Window::Instance().FramesPresented(), frames);
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

// Plays a film as the game would, by its name.
void PlayByName(const std::string& film) {
  if (film == "logo.avi")
    MediaPlay->PlayLogo();
  else if (film == "Credit.avi")
    MediaPlay->PlayCredit();
  else if (film == "StoryEnd.avi")
    MediaPlay->PlayStoryEnd();
  else
    MediaPlay->Load(Board->hWnd());
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

// The closing film, the credits and the story's end give up the display,
// play in the whole window at the music volume and take the display back.
// The closing film ends on a click long after its end, the others on Esc.
TEST_F(LogoTest, TheFilmsGiveUpTheDisplayAndTakeItBack) {
  const struct {
    const char* film;
    int32_t musicVol;
    int32_t volume;
    int passes;  // when the film is ended
  } rows[] = {
      {"logo.avi", 10, 0, 12},
      {"Credit.avi", 10, 0, 2},
      {"Credit.avi", 0, -1000, 2},
      {"StoryEnd.avi", 3, -700, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.film);
    folder_.Write(row.film, audiotest::SolidFilm(4, 4, 16, 16, CycleColour));
    MusicVol = row.musicVol;
    Board->WindowState = 0;
    const plat::SurfacePtr oldPrimary = Primary;
    bool gaveUpDisplay = false;
    int32_t volume = 1;
    int passes = 0;
    plat::SetTestDriver([&] {
      plat::AdvanceClock(250);
      if (++passes == 1) {
        gaveUpDisplay = !Primary && !BackBuffer && DDraw->CooperativeLevel() == plat::DDSCL_NORMAL &&
                        DDraw->DisplayWidth() == 640 && DDraw->DisplayHeight() == 480 &&
                        DDraw->DisplayBpp() == DX->DisplayBitsPerPixel() && Board->WindowState == 2;
        if (MediaPlay->IFilter) volume = MediaPlay->IFilter->Volume();
      }
      if (passes == 2 && std::string(row.film) != "logo.avi") plat::PushKeyStroke(kVkEscape);
      if (passes == 12) plat::PushMouseDown(1, 10, 10);  // long after the closing film's end
    });
    PlayByName(row.film);
    plat::SetTestDriver(nullptr);
    plat::PushMouseUp(1, 10, 10);
    plat::DoEvents();
    EXPECT_EQ(passes, row.passes);
    EXPECT_TRUE(gaveUpDisplay);
    EXPECT_EQ(volume, row.volume);
    EXPECT_EQ(plat::Window::Instance().LastFrameWidth(), 640);
    EXPECT_EQ(plat::Window::Instance().LastFrameHeight(), 480);
    EXPECT_FALSE(MediaPlay->IFilter);
    ASSERT_TRUE(Primary);
    EXPECT_NE(Primary, oldPrimary);
    EXPECT_EQ(BackBuffer, Primary->GetAttachedSurface(plat::DDSCAPS2{plat::DDSCAPS_BACKBUFFER, 0}));
    EXPECT_EQ(DDraw->CooperativeLevel(), plat::DDSCL_FULLSCREEN | plat::DDSCL_EXCLUSIVE);
    EXPECT_EQ(DDraw->DisplayWidth(), 640);
    EXPECT_EQ(DDraw->DisplayHeight(), 480);
    EXPECT_EQ(DDraw->DisplayBpp(), 16);
  }
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

// Each pass of the film's loop a quarter second; the input of a row comes at
// the start of its pass, before the film's update. Keys and a button left
// from before the film end nothing.
TEST_F(LogoTest, TheCreditsAndTheStorysEndEndAsEachSays) {
  enum class Input { None, KeyA, Esc, Click, DragMove, Move };
  const struct {
    const char* what;
    const char* film;
    Input input;  // at pass 2
    Input then;   // at pass 3
    int passes;   // when it ends
    int32_t state;
    int colourAt6 = -1;  // the picture on screen when pass 6 begins, when asked
  } rows[] = {
      {"the credits, a key", "Credit.avi", Input::KeyA, Input::None, 2, 1},
      {"the credits, Esc", "Credit.avi", Input::Esc, Input::None, 2, 1},
      {"the credits, a click", "Credit.avi", Input::Click, Input::None, 2, 1},
      {"the credits, a button held through a move", "Credit.avi", Input::DragMove, Input::None, 12, 1},
      {"the credits, a click after a move", "Credit.avi", Input::Move, Input::Click, 3, 1},
      // The one-second film ends at pass 4 and shows its second picture
      // again at pass 5.
      {"the credits, past their end", "Credit.avi", Input::None, Input::None, 12, 1, 1},
      {"the story's end, to its end", "StoryEnd.avi", Input::None, Input::None, 8, 10, 5},
      {"the story's end, Esc", "StoryEnd.avi", Input::Esc, Input::None, 2, 10},
      {"the story's end, another key", "StoryEnd.avi", Input::KeyA, Input::None, 8, 10},
      {"the story's end, a click", "StoryEnd.avi", Input::Click, Input::None, 8, 10},
  };
  const auto give = [](Input input) {
    switch (input) {
      case Input::None: break;
      case Input::KeyA: plat::PushKeyStroke(kVkA); break;
      case Input::Esc: plat::PushKeyStroke(kVkEscape); break;
      case Input::Click:
        plat::PushMouseDown(1, 10, 10);
        plat::PushMouseUp(1, 10, 10);
        break;
      case Input::DragMove: plat::PushMouseMove(20, 20, 1); break;
      case Input::Move: plat::PushMouseMove(20, 20); break;
    }
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    // One second of four pictures for the credits, two of eight for the
    // story's end.
    const int frames = std::string(row.film) == "Credit.avi" ? 4 : 8;
    folder_.Write(row.film, audiotest::SolidFilm(frames, 4, 16, 16, CycleColour));
    KeyCode = 27;
    MouseButton = 1;
    MouseMoved = 0;
    GameState = 11;
    int passes = 0;
    uint16_t atSix = 0;
    plat::SetTestDriver([&] {
      plat::AdvanceClock(250);
      ++passes;
      if (passes == 2) give(row.input);
      if (passes == 3) give(row.then);
      if (passes == 6) atSix = CentrePixel();
      if (passes == 12) plat::PushKeyStroke(kVkEscape);  // ends a row that would go on
      if (passes == 13) give(Input::Click);                 // and credits deaf to keys
    });
    PlayByName(row.film);
    EXPECT_EQ(passes, row.passes);
    EXPECT_EQ(GameState, row.state);
    EXPECT_FALSE(MediaPlay->IFilter);
    if (row.colourAt6 >= 0) {
      EXPECT_TRUE(Near(atSix, CycleColour(row.colourAt6)));
    }
    plat::SetTestDriver(nullptr);
  }
}

// Missing, or no film: the screen state is set and nothing else changes.
TEST_F(LogoTest, WithoutAPlayableCreditOrStoryEndFilmOnlyTheStateIsSet) {
  const struct {
    const char* film;
    const char* bytes;  // null: none at the name
    int32_t state;
  } rows[] = {
      {"Credit.avi", nullptr, 1},
      {"Credit.avi", "", 1},
      {"Credit.avi", "RIFF....AVI LIST garbage", 1},
      {"StoryEnd.avi", nullptr, 10},
      {"StoryEnd.avi", "RIFF....AVI LIST garbage", 10},
  };
  int passes = 0;
  plat::SetTestDriver([&] {
    ++passes;
    plat::PushKeyStroke(kVkEscape);  // ends a film that does play
  });
  const plat::SurfacePtr oldPrimary = Primary;
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.film) + (row.bytes ? " holding " + std::string(row.bytes) : " missing"));
    std::filesystem::remove(folder_.File(row.film));
    if (row.bytes) folder_.Write(row.film, row.bytes);
    GameState = 11;
    PlayByName(row.film);
    EXPECT_EQ(GameState, row.state);
    EXPECT_EQ(passes, 0);
    EXPECT_FALSE(MediaPlay->IFilter);
    EXPECT_EQ(Primary, oldPrimary);
    EXPECT_EQ(DDraw->CooperativeLevel(), plat::DDSCL_FULLSCREEN | plat::DDSCL_EXCLUSIVE);
    EXPECT_EQ(Board->WindowState, 0);
  }
}

// Credits that start over at every pass, with nothing to show or one
// picture: each pass waits on the film rather than spin, so about a hundred
// passes a second at most.
TEST_F(LogoTest, CreditsThatStartOverAtEveryPassWaitEachPass) {
  using Clock = std::chrono::steady_clock;
  const struct {
    const char* what;
    std::string film;
  } rows[] = {
      {"no pictures", audiotest::SolidFilm(0, 4, 16, 16, CycleColour, false)},
      {"one picture", audiotest::SolidFilm(1, 4, 16, 16, CycleColour, false)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    folder_.Write("Credit.avi", row.film);
    std::optional<Clock::time_point> from;
    int passes = 0, shown = 0;
    bool pushed = false;
    plat::SetTestDriver([&] {
      plat::AdvanceClock(1000);  // past the film's end at each pass
      if (!from) from = Clock::now();
      ++passes;
      shown = static_cast<int>(plat::Window::Instance().FramesPresented());
      if (pushed || Clock::now() < *from + std::chrono::seconds(1)) return;
      plat::PushKeyStroke(kVkA);
      plat::PushMouseDown(1, 10, 10);  // for credits deaf to keys
      pushed = true;
    });
    const uint64_t frames = plat::Window::Instance().FramesPresented();
    MediaPlay->PlayCredit();
    plat::SetTestDriver(nullptr);
    EXPECT_GT(passes, 2);
    EXPECT_LT(passes, 150);
    EXPECT_EQ(GameState, 1);
    // The picture is shown anew after each start.
    if (std::string(row.what) == "one picture") {
      EXPECT_GT(static_cast<uint64_t>(shown), frames + 2);
    }
  }
}

// A drive that holds each read of the film in the system: at every film a
// key or a quit signal is answered within a second while a read is held,
// opening or playing, and a film whose opening brings nothing is skipped
// after the probe's limit.
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
      {"the credits, a first read of 20 s", "Credit.avi", firstHeld, Key::WhileOpening, "answered in time"},
      {"the credits, reads of 1.6 s each", "Credit.avi", eachSlow, Key::WhilePlaying, "answered in time"},
      {"the credits, a first read of 20 s, no key", "Credit.avi", firstHeld, Key::None, "skipped in time"},
      {"the story's end, a first read of 20 s", "StoryEnd.avi", firstHeld, Key::WhileOpening, "answered in time"},
      {"the story's end, reads of 1.6 s each", "StoryEnd.avi", eachSlow, Key::WhilePlaying, "answered in time"},
      {"the story's end, a first read of 20 s, no key", "StoryEnd.avi", firstHeld, Key::None, "skipped in time"},
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
          plat::PushKeyDown(kVkEscape);  // the key that ends every film
      }
    });
    GameState = 11;
    bool ended = false;
    try {
      PlayByName(row.film);
    } catch (const ProgramEnd&) {
      ended = true;
    }
    const auto returned = Clock::now();
    plat::SetTestDriver(nullptr);
    plat::PushKeyUp(kVkEscape);
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
    EXPECT_TRUE(ended || Primary);  // the film hands the display back either way
    const std::string film = row.film;
    if (!ended && (film == "Credit.avi" || film == "StoryEnd.avi")) {
      EXPECT_EQ(GameState, film == "Credit.avi" ? 1 : 10);
    }
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
