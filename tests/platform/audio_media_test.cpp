// Films and music through the media graph: pictures shown at the clock's
// position, the last picture kept, seeking, volume, the sample data's real
// MP3 and films, damaged files, a slow drive's probe, and a drive that holds
// the film's reads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "platform/audio/media_graph.hpp"
#include "platform/audio/media_open.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/clock.hpp"
#include "tests/common/test_support.hpp"
#include "tests/platform/audio_test_media.hpp"

namespace {

using audiotest::CycleColour;
using audiotest::Near;

uint16_t CentrePixel() {
  const auto& f = plat::Window::Instance().LastFrame();
  return f.empty() ? 0 : f[240 * 640 + 320];
}

class FilmTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::FixClock(50000); }
  void TearDown() override { plat::UnfixClock(); }
  std::unique_ptr<plat::MediaGraph> Render(const std::string& name, const std::string& bytes) {
    folder_.Write(name, bytes);
    return plat::MediaGraph::RenderFile(folder_.File(name), plat::MediaKind::Film);
  }
  fwtest::TempProgramFolder folder_;
};

TEST_F(FilmTest, ShowsThePictureDueAtTheClocksPositionScaledTo640x480) {
  auto film = Render("cycle.avi", audiotest::SolidFilm(8, 4, 32, 24, CycleColour));
  ASSERT_TRUE(film);
  EXPECT_TRUE(film->HasVideo());
  EXPECT_NEAR(film->Duration(), 2.0, 1e-6);
  film->SetVideoWindow(0, 0, 640, 480);
  film->Pump();  // before Run the first picture is shown
  EXPECT_EQ(plat::Window::Instance().LastFrameWidth(), 640);
  EXPECT_EQ(plat::Window::Instance().LastFrameHeight(), 480);
  EXPECT_TRUE(Near(CentrePixel(), CycleColour(0)));
  film->Run();
  for (int frame = 1; frame < 8; ++frame) {
    plat::AdvanceClock(250);
    film->Pump();
    EXPECT_NEAR(film->CurrentPosition(), frame * 0.25, 1e-6);
    EXPECT_TRUE(Near(CentrePixel(), CycleColour(frame))) << "frame " << frame;
  }
  // Past the end the position stays at the duration and the last picture
  // stays on screen.
  plat::AdvanceClock(5000);
  const uint64_t before = plat::Window::Instance().FramesPresented();
  film->Pump();
  EXPECT_DOUBLE_EQ(film->CurrentPosition(), film->Duration());
  EXPECT_EQ(plat::Window::Instance().FramesPresented(), before);
  EXPECT_TRUE(Near(CentrePixel(), CycleColour(7)));
}

TEST_F(FilmTest, SkippedPicturesAreNotShownWhenTheClockJumps) {
  auto film = Render("cycle.avi", audiotest::SolidFilm(8, 4, 16, 16, CycleColour, false));
  ASSERT_TRUE(film);
  film->Run();
  film->Pump();
  const uint64_t before = plat::Window::Instance().FramesPresented();
  plat::AdvanceClock(1500);
  film->Pump();
  EXPECT_EQ(plat::Window::Instance().FramesPresented(), before + 1);
  EXPECT_TRUE(Near(CentrePixel(), CycleColour(6)));
}

TEST_F(FilmTest, StopHoldsThePositionAndSeekingToTheStartShowsTheFirstPicture) {
  auto film = Render("cycle.avi", audiotest::SolidFilm(8, 4, 16, 16, CycleColour));
  ASSERT_TRUE(film);
  film->Run();
  plat::AdvanceClock(600);
  film->Stop();
  plat::AdvanceClock(10000);
  EXPECT_NEAR(film->CurrentPosition(), 0.6, 1e-6);
  film->Run();
  plat::AdvanceClock(2000);
  film->Pump();
  EXPECT_DOUBLE_EQ(film->CurrentPosition(), 2.0);
  film->SetCurrentPosition(0);
  film->Pump();
  EXPECT_NEAR(film->CurrentPosition(), 0.0, 1e-6);
  EXPECT_TRUE(Near(CentrePixel(), CycleColour(0)));
  plat::AdvanceClock(500);
  film->Pump();
  EXPECT_TRUE(Near(CentrePixel(), CycleColour(2)));
}

TEST_F(FilmTest, DamagedFilesAreRefusedOrPlayedAsFarAsTheyGo) {
  EXPECT_FALSE(Render("junk.avi", std::string(4096, '\x5a')));
  EXPECT_FALSE(Render("empty.avi", ""));
  EXPECT_FALSE(plat::MediaGraph::RenderFile(folder_.File("absent.avi"), plat::MediaKind::Film));
  // A film cut off half way plays its first half and then holds.
  const std::string whole = audiotest::SolidFilm(8, 4, 16, 16, CycleColour);
  auto cut = Render("cut.avi", whole.substr(0, whole.size() / 2));
  if (cut) {
    cut->Run();
    for (int i = 0; i < 12; ++i) {
      plat::AdvanceClock(250);
      cut->Pump();
    }
    EXPECT_LE(cut->CurrentPosition(), cut->Duration());
  }
  // Flipped bytes inside the pictures and headers must not bring it down.
  std::string garbled = whole;
  for (size_t i = 64; i < garbled.size(); i += 97) garbled[i] = static_cast<char>(garbled[i] ^ 0xA5);
  if (auto g = Render("garbled.avi", garbled)) {
    g->Run();
    for (int i = 0; i < 12; ++i) {
      plat::AdvanceClock(250);
      g->Pump();
    }
  }
}

// The deadline bounds the probe alone: long after it, a seek still reads the
// film's file.
TEST_F(FilmTest, AFilmReadsOnPastItsProbesDeadline) {
  auto film = Render("long.avi", audiotest::SolidFilm(64, 2, 64, 48, CycleColour, false));
  const auto probed = std::chrono::steady_clock::now();
  ASSERT_TRUE(film);
  while (std::chrono::steady_clock::now() < probed + plat::MediaGraph::kFilmProbeLimit)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  film->SetVideoWindow(0, 0, 640, 480);
  film->SetCurrentPosition(30.5);
  film->Run();
  film->Pump();
  EXPECT_NEAR(film->CurrentPosition(), 30.5, 1e-6);
  EXPECT_TRUE(Near(CentrePixel(), CycleColour(61)));
}

// Pumps a film until it shows a picture or is skipped, up to a deadline.
std::string Opening(plat::MediaGraph* film, std::chrono::milliseconds deadline) {
  if (!film) return "refused";
  const auto end = std::chrono::steady_clock::now() + deadline;
  const uint64_t before = plat::Window::Instance().FramesPresented();
  while (!film->Skipped() && plat::Window::Instance().FramesPresented() == before &&
         std::chrono::steady_clock::now() < end)
    film->Pump();
  if (film->Skipped()) return "refused";
  return plat::Window::Instance().FramesPresented() > before ? "opened" : "still opening";
}

// A slow drive, as a FIFO fed in the child that probes it: the first bytes
// after a wait, then the film at a steady pace; or nothing at all, the
// drive still there. A probe that would wait for ever fails its row at the
// child's deadline.
TEST_F(FilmTest, TheProbeEndsOnNoProgressNotOnSlowness) {
  using std::chrono::milliseconds;
  const std::string bytes = audiotest::SolidFilm(8, 4, 64, 48, CycleColour, false);
  const struct {
    const char* drive;
    milliseconds first;  // before the first bytes come
    size_t brings;       // bytes that come, at 48 KB a second, before the end
    const char* says;
  } rows[] = {
      {"spinning up, then streaming", milliseconds(2500), bytes.size(), "opened after the deadline"},
      {"bringing nothing", milliseconds(0), 0, "refused after the deadline"},
  };
  const std::string fifo = folder_.File("slow.avi");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.drive);
    const auto answer = fwtest::AnswerInChild(
        [&] {
          ::signal(SIGPIPE, SIG_IGN);  // the feed outlives a refused probe
          const int drive = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
          const auto start = std::chrono::steady_clock::now();
          std::thread feed([&] {
            std::this_thread::sleep_until(start + row.first);
            for (size_t at = 0; at < row.brings; at += 4800) {
              if (::write(drive, bytes.data() + at, std::min<size_t>(4800, row.brings - at)) < 0) break;
              std::this_thread::sleep_for(milliseconds(100));
            }
            if (row.brings > 0) ::close(drive);
          });
          auto film = plat::OpenFilm(fifo);
          const std::string opened = Opening(film.get(), plat::MediaGraph::kFilmProbeLimit + std::chrono::seconds(3));
          const bool late = std::chrono::steady_clock::now() - start >= plat::MediaGraph::kFilmProbeLimit;
          feed.join();
          if (row.brings == 0) ::close(drive);
          return opened + (late ? " after" : " before") + " the deadline";
        },
        plat::MediaGraph::kFilmProbeLimit + std::chrono::seconds(5));
    ASSERT_TRUE(answer) << "no answer by the deadline: the probe waited on the drive";
    EXPECT_EQ(*answer, row.says);
  }
}

// A regular file on a drive that holds each read in the system: no update
// of the screen waits on it more than a moment, a film whose opening brings
// nothing for the probe's limit is skipped, one whose next part takes longer
// than the read limit ends there, and a slow but steady one plays to its end.
TEST_F(FilmTest, NoUpdateWaitsOnTheFilmsDrive) {
  using std::chrono::milliseconds;
  using std::chrono::seconds;
  using Pace = audiotest::SlowDrive::Pace;
  const struct {
    const char* drive;
    Pace pace;
    int frames;
    bool sound;
    const char* ends;
  } rows[] = {
      {"a first read of 20 s", {seconds(20), milliseconds(0)}, 8, true, "skipped after the probe's limit"},
      // After a head enough for the opening, the rest at the drive's pace.
      {"reads of 1.6 s each", {milliseconds(1600), milliseconds(1600), 32 * 1024, 64 * 1024}, 120, false,
       "ended early"},
      {"a steady 30 KB/s", {milliseconds(100), milliseconds(100), 3000, 520 * 1024}, 24, true, "played to its end"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.drive);
    audiotest::SlowDrive drive(row.pace);
    folder_.Write("slow.avi", audiotest::SolidFilm(row.frames, 4, 16, 16, CycleColour, row.sound));
    const auto start = std::chrono::steady_clock::now();
    auto film = plat::MediaGraph::RenderFile(folder_.File("slow.avi"), plat::MediaKind::Film);
    ASSERT_TRUE(film);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(500));  // still opening, or opened
    auto longest = std::chrono::steady_clock::duration::zero();
    auto timed = [&](auto&& update) {
      const auto from = std::chrono::steady_clock::now();
      update();
      longest = std::max(longest, std::chrono::steady_clock::now() - from);
    };
    film->SetVideoWindow(0, 0, 640, 480);
    film->Run();
    std::string ends = "still playing";
    auto endReached = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < start + seconds(25)) {
      plat::AdvanceClock(250);
      timed([&] { film->Pump(); });
      if (film->Skipped()) {
        ends = std::chrono::steady_clock::now() - start >= plat::MediaGraph::kFilmProbeLimit
                   ? "skipped after the probe's limit"
                   : "skipped before the probe's limit";
        break;
      }
      if (film->CurrentPosition() >= film->Duration() && Near(CentrePixel(), CycleColour(row.frames - 1))) {
        ends = "played to its end";
        break;
      }
      if (film->CurrentPosition() < film->Duration()) endReached = std::chrono::steady_clock::now();
      if (std::chrono::steady_clock::now() > endReached + plat::MediaGraph::kFilmReadLimit + seconds(2)) {
        // Past its end on the clock: with the drive let go, what is still to
        // read would come at once.
        drive.LetGo();
        for (int more = 0; more < 20; ++more) film->Pump();
        ends = Near(CentrePixel(), CycleColour(row.frames - 1)) ? "played to its end" : "ended early";
        break;
      }
    }
    EXPECT_EQ(ends, row.ends);
    EXPECT_LT(longest, milliseconds(300));
  }
}

TEST(SampleMedia, TheSampleFilmsDecode) {
  plat::FixClock(1000);
  for (const char* name : {"Intro.avi", "logo.avi"}) {
    auto film = plat::MediaGraph::RenderFile(audiotest::SampleData() + "/" + name, plat::MediaKind::Film);
    ASSERT_TRUE(film) << name;
    EXPECT_TRUE(film->HasVideo());
    EXPECT_GT(film->Duration(), 2.0);
    EXPECT_LT(film->Duration(), 4.0);
    film->Run();
    plat::AdvanceClock(1000);
    film->Pump();
    // A drawn scene, not a blank screen.
    const auto& f = plat::Window::Instance().LastFrame();
    int lit = 0;
    for (uint16_t p : f) lit += p != 0;
    EXPECT_GT(lit, 600 * 400) << name;
  }
  plat::UnfixClock();
}

TEST(SampleMedia, MusicPlaysReportsItsLengthAndHoldsAtTheEnd) {
  auto music = plat::MediaGraph::RenderFile(audiotest::SampleData() + "/BG1.MP3", plat::MediaKind::Music);
  ASSERT_TRUE(music);
  EXPECT_FALSE(music->HasVideo());
  EXPECT_NEAR(music->Duration(), 16 * 60.0 / 132, 0.1);  // four bars at 132 beats a minute
  EXPECT_DOUBLE_EQ(music->CurrentPosition(), 0.0);
  music->SetVolume(-1000);
  EXPECT_EQ(music->Volume(), -1000);
  music->Run();
  music->SetCurrentPosition(music->Duration() - 0.2);
  for (int i = 0; i < 300 && music->CurrentPosition() < music->Duration(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_DOUBLE_EQ(music->CurrentPosition(), music->Duration());
  music->SetCurrentPosition(0);
  music->Run();
  EXPECT_LT(music->CurrentPosition(), 1.0);
}

TEST(SampleMedia, AnUnreadableTrackIsRefused) {
  fwtest::TempProgramFolder folder;
  folder.Write("bad.mp3", std::string("ID3\x03\0\0\0\0\0\x05", 10) + std::string(500, '\x11'));
  EXPECT_FALSE(plat::MediaGraph::RenderFile(folder.File("bad.mp3"), plat::MediaKind::Music));
  folder.Write("text.mp3", "not music at all");
  EXPECT_FALSE(plat::MediaGraph::RenderFile(folder.File("text.mp3"), plat::MediaKind::Music));
}

}  // namespace
