// Films and music through the media graph: pictures shown at the clock's
// position, the last picture kept, seeking, volume, the sample data's real
// MP3 and films, damaged files, a slow drive's probe, and a drive that holds
// the film's reads.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

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

// The film with 80 MB of padding in its header, which a probe reads
// through where it cannot seek.
std::string PaddedFilm(std::string film) {
  std::string padding;
  for (int i = 0; i < 80; ++i) audiotest::PutChunk(padding, "JUNK", std::string(1000000, '\0'));
  film.insert(film.find("movi") - 8, padding);
  film.replace(4, 4, [&] {
    std::string size;
    audiotest::Put32(size, static_cast<uint32_t>(film.size() - 8));
    return size;
  }());
  return film;
}

// A slow drive, as a FIFO fed in the child that probes it: the first bytes
// after a wait, then the film at a steady pace; or nothing at all, the
// drive still there; or more bytes than a probe may read, fast. A probe
// that would wait for ever fails its row at the child's deadline.
TEST_F(FilmTest, TheProbeEndsOnNoProgressNotOnSlowness) {
  using std::chrono::milliseconds;
  const std::string film = audiotest::SolidFilm(8, 4, 64, 48, CycleColour, false);
  const std::string padded = PaddedFilm(film);
  const struct {
    const char* drive;
    milliseconds first;  // before the first bytes come
    const std::string& bytes;
    size_t brings;  // of them, before the end
    size_t block;   // bytes that come at once, every `gap`
    milliseconds gap;
    const char* says;
  } rows[] = {
      {"spinning up, then streaming at 48 KB/s", milliseconds(2500), film, film.size(), 4800, milliseconds(100),
       "opened after the deadline"},
      {"bringing nothing", milliseconds(0), film, 0, 0, milliseconds(0), "refused after the deadline"},
      {"bringing 80 MB of padding before the pictures", milliseconds(0), padded, padded.size(), 1 << 20,
       milliseconds(0), "refused before the deadline"},
  };
  const std::string fifo = folder_.File("slow.avi");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.drive);
    const auto answer = fwtest::AnswerInChild(
        [&] {
          // A probe that stops reading leaves the feed waiting for room.
          const int drive = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
          const auto start = std::chrono::steady_clock::now();
          std::atomic<bool> decided{false};
          bool ended = false;  // the drive brought its end
          std::thread feed([&] {
            std::this_thread::sleep_until(start + row.first);
            size_t at = 0;
            while (at < row.brings && !decided) {
              const size_t end = std::min(at + row.block, row.brings);
              while (at < end && !decided) {
                const ssize_t n = ::write(drive, row.bytes.data() + at, end - at);
                if (n > 0) at += static_cast<size_t>(n);
                pollfd room{drive, POLLOUT, 0};
                if (n <= 0) ::poll(&room, 1, 50);
              }
              std::this_thread::sleep_for(row.gap);
            }
            ended = row.brings > 0 && at == row.brings;
            if (ended) ::close(drive);
          });
          auto film = plat::OpenFilm(fifo);
          const std::string opened = Opening(film.get(), plat::MediaGraph::kFilmProbeLimit + std::chrono::seconds(3));
          const bool late = std::chrono::steady_clock::now() - start >= plat::MediaGraph::kFilmProbeLimit;
          decided = true;
          feed.join();
          if (!ended) ::close(drive);
          return opened + (late ? " after" : " before") + " the deadline";
        },
        plat::MediaGraph::kFilmProbeLimit + std::chrono::seconds(5));
    ASSERT_TRUE(answer) << "no answer by the deadline: the probe waited on the drive";
    EXPECT_EQ(*answer, row.says);
  }
}

// Pumps a film with its clock past the end until ten updates in a row show
// no new picture (each update decodes what came for a tenth of a second),
// up to a deadline: it then shows the last picture it will ever show.
void PumpToTheEnd(plat::MediaGraph& film) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  uint64_t frames = plat::Window::Instance().FramesPresented();
  for (int still = 0; still < 10 && !film.Skipped() && std::chrono::steady_clock::now() < end;) {
    plat::AdvanceClock(1000);
    film.Pump();
    const uint64_t now = plat::Window::Instance().FramesPresented();
    still = now == frames && film.CurrentPosition() >= film.Duration() ? still + 1 : 0;
    frames = now;
  }
}

// The picture a film ends on, read from a drive that keeps up.
std::vector<uint16_t> LastPicture(const std::string& path) {
  auto film = plat::MediaGraph::RenderFile(path, plat::MediaKind::Film);
  if (!film) return {};
  film->SetVideoWindow(0, 0, 640, 480);
  film->Run();
  PumpToTheEnd(*film);
  return plat::Window::Instance().LastFrame();
}

// A film of solid pictures whose last picture is no other's colour.
std::string EndsInMagenta(int frames, bool sound) {
  return audiotest::SolidFilm(
      frames, 4, 16, 16, [frames](int f) { return f == frames - 1 ? audiotest::Colour{255, 0, 255} : CycleColour(f); },
      sound);
}

// A regular file on a drive that holds each read in the system: no call of
// the screen's waits on the film's reader more than a moment, nor does any
// whole update in which the drive brought nothing take longer than the
// update's budget; a film whose opening brings nothing for the probe's
// limit is skipped, one whose next part takes longer than the read limit
// ends there, and one on a slow but steady drive plays to its end, however
// slowly the parts come.
TEST_F(FilmTest, NoUpdateWaitsOnTheFilmsDrive) {
  using std::chrono::milliseconds;
  using std::chrono::seconds;
  using Clock = std::chrono::steady_clock;
  using Pace = audiotest::SlowDrive::Pace;
  const auto paced = [](size_t perSecond, size_t fast = 0) {
    return Pace{milliseconds(0), milliseconds(0), SIZE_MAX, fast, perSecond};
  };
  const struct {
    const char* drive;
    Pace pace;
    std::string film;
    const char* ends;
    bool idle = false;  // the screen looks only once the drive has answered its first read
  } rows[] = {
      {"a first read of 20 s", {seconds(20), milliseconds(0)}, EndsInMagenta(8, true),
       "skipped after the probe's limit"},
      // The late answer is no progress: the opening stays cut.
      {"a first read answered after the probe's limit, the screen not looking meanwhile",
       {milliseconds(3500), milliseconds(0)}, EndsInMagenta(8, true), "skipped after the probe's limit", true},
      // After a head enough for the opening, the rest at the drive's pace.
      {"reads of 1.6 s each", {milliseconds(1600), milliseconds(1600), 32 * 1024, 64 * 1024}, EndsInMagenta(120, false),
       "ended early"},
      {"the intro at 30 KB/s", paced(30000), audiotest::SampleBytes("Intro.avi"), "played to its end"},
      {"the closing film at 30 KB/s", paced(30000), audiotest::SampleBytes("logo.avi"), "played to its end"},
      {"the intro at 40 KB/s", paced(40000), audiotest::SampleBytes("Intro.avi"), "played to its end"},
      {"the closing film at 40 KB/s", paced(40000), audiotest::SampleBytes("logo.avi"), "played to its end"},
      // Its opening and first pictures come at once; then its next part of
      // 7.3 KB takes a second and a half.
      {"the intro at 5 KB/s", paced(5000, 128 * 1024), audiotest::SampleBytes("Intro.avi"), "ended early"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.drive);
    folder_.Write("slow.avi", row.film);
    const std::vector<uint16_t> last = LastPicture(folder_.File("slow.avi"));
    ASSERT_FALSE(last.empty());
    audiotest::SlowDrive drive(row.pace);
    const auto start = Clock::now();
    auto film = plat::MediaGraph::RenderFile(folder_.File("slow.avi"), plat::MediaKind::Film);
    ASSERT_TRUE(film);
    if (row.idle) {
      ASSERT_TRUE(drive.AwaitAnswers(1, seconds(10)));
      // A reader that took the answer for progress reads on at once.
      drive.AwaitAsks(2, seconds(1));
    }
    film->SetVideoWindow(0, 0, 640, 480);
    film->Run();
    std::string ends = "still playing";
    uint64_t frames = plat::Window::Instance().FramesPresented();
    // The longest whole update in which the drive brought nothing, since
    // the update before: there was nothing for it to decode, only a
    // picture decoded before to show and the drive to wait for.
    Clock::duration longestIdle{};
    int returned = drive.Returned();
    while (Clock::now() < start + seconds(40)) {
      plat::AdvanceClock(250);
      const auto from = Clock::now();
      film->Pump();
      const auto now = Clock::now();
      if (drive.Returned() == returned) longestIdle = std::max(longestIdle, now - from);
      returned = drive.Returned();
      if (film->Skipped()) {
        ends = now - start >= plat::MediaGraph::kFilmProbeLimit ? "skipped after the probe's limit"
                                                                : "skipped before the probe's limit";
        break;
      }
      if (plat::Window::Instance().FramesPresented() != frames) {
        frames = plat::Window::Instance().FramesPresented();
        if (plat::Window::Instance().LastFrame() == last) {
          ends = "played to its end";
          break;
        }
      }
      if (drive.IdleFor(plat::MediaGraph::kFilmReadLimit)) {
        // The reader ended, or holds all it reads ahead: with the drive let
        // go, one still reading brings the rest at once.
        drive.LetGo();
        PumpToTheEnd(*film);
        ends = plat::Window::Instance().LastFrame() == last ? "played to its end" : "ended early";
        break;
      }
    }
    EXPECT_EQ(ends, row.ends);
    // The opening's first wait is the longest the screen is ever held.
    EXPECT_LT(film->LongestReaderWait(), milliseconds(500));
    // An update waits a tenth of a second at most; the margin is a loaded
    // machine's, well short of the drive's second.
    EXPECT_LT(longestIdle, milliseconds(400));
  }
}

// What /proc/self/status says of this process's memory, in KiB.
long MemoryKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return -1;
}

// The intro whose third picture's part is `declared` bytes long (0: as it
// is): its own bytes, then a hole in the file, then the rest of the film.
void WriteIntroWithAPartOf(const std::string& path, uint32_t declared) {
  std::string bytes = audiotest::SampleBytes("Intro.avi");
  const auto get32 = [&](size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return v;
  };
  const auto put32 = [&](size_t at, uint32_t v) {
    std::string b;
    audiotest::Put32(b, v);
    bytes.replace(at, 4, b);
  };
  const size_t movi = bytes.find("movi");
  size_t part = movi;
  for (int k = 0; k < 3; ++k) part = bytes.find("00dc", part + 4);
  const uint32_t had = get32(part + 4);
  if (declared == 0) declared = had;
  declared += (had ^ declared) & 1;  // the pad byte after an odd part stays
  const uint32_t more = declared - had;
  put32(part + 4, declared);
  put32(movi - 4, get32(movi - 4) + more);
  put32(4, get32(4) + more);
  const size_t index = bytes.find("idx1");
  for (size_t e = index + 8; e + 16 <= bytes.size(); e += 16) {
    if (get32(e + 8) == part - movi) put32(e + 12, declared);
    if (get32(e + 8) > part - movi) put32(e + 8, get32(e + 8) + more);
  }
  const size_t rest = part + 8 + had;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(rest));
  out.seekp(static_cast<std::streamoff>(rest + more));
  out.write(bytes.data() + rest, static_cast<std::streamsize>(bytes.size() - rest));
}

// A part that declares more than the reader keeps read ahead is read no
// further than that, and the film ends there; one below it plays on, and so
// does a film larger than the read-ahead in all, of parts below it. Peak
// memory is measured in a child of its own, from where it starts, against
// the film's own: what is resident, and what is reserved, which a block
// asked of the allocator and never touched raises alone.
TEST_F(FilmTest, APartLargerThanTheReadAheadEndsTheFilmThere) {
  // Twelve pictures of 900 KB, the last magenta; and its last two alone, a
  // film well inside the read-ahead, for the picture it ends on.
  const auto colourOf = [](int f) { return f == 11 ? audiotest::Colour{255, 0, 255} : CycleColour(f); };
  folder_.Write("large.avi", audiotest::SolidFilm(12, 12, 640, 480, colourOf, false));
  folder_.Write("tail.avi", audiotest::SolidFilm(2, 12, 640, 480, [&](int f) { return colourOf(f + 10); }, false));
  const std::vector<uint16_t> largeLast = LastPicture(folder_.File("tail.avi"));
  const std::vector<uint16_t> introLast = LastPicture(audiotest::SampleData() + "/Intro.avi");
  ASSERT_FALSE(largeLast.empty());
  ASSERT_FALSE(introLast.empty());
  const struct {
    const char* part;
    uint32_t declared;  // of the intro's third part; unused for a film of its own
    const char* ends;
    bool large = false;  // the film of twelve pictures in place of the intro
  } rows[] = {
      {"as the film has it", 0, "played to its end"},
      {"of 7 MiB", 7u << 20, "played to its end"},
      {"of 40 MiB", 40u << 20, "ended early"},
      {"of 1,500 MiB", 1500u << 20, "ended early"},
      {"of 900 KB each, 10.5 MiB in all", 0, "played to its end", true},
  };
  long ownResident = -1, ownReserved = -1;  // the film's own peaks, KiB
  for (const auto& row : rows) {
    SCOPED_TRACE(row.part);
    const std::string path = folder_.File(row.large ? "large.avi" : "huge.avi");
    if (!row.large) WriteIntroWithAPartOf(path, row.declared);
    const std::vector<uint16_t>& last = row.large ? largeLast : introLast;
    const auto answer = fwtest::AnswerInChild(
        [&] {
          std::ofstream("/proc/self/clear_refs") << "5";  // the resident peak from here
          const long resident = MemoryKiB("VmRSS"), reserved = MemoryKiB("VmSize");
          if (MemoryKiB("VmHWM") > resident + 1024) return std::string("no peak of its own");
          auto film = plat::MediaGraph::RenderFile(path, plat::MediaKind::Film);
          if (!film) return std::string("refused");
          film->SetVideoWindow(0, 0, 640, 480);
          film->Run();
          PumpToTheEnd(*film);
          const bool end = plat::Window::Instance().LastFrame() == last;
          // The reserved peak may be one the child was born with: it then
          // stands for every row alike, and a larger one still shows.
          return std::string(end ? "played to its end" : "ended early") + "\n" +
                 std::to_string(MemoryKiB("VmHWM") - resident) + " " + std::to_string(MemoryKiB("VmPeak") - reserved);
        },
        std::chrono::seconds(60));
    ASSERT_TRUE(answer);
    const size_t cut = answer->find('\n');
    EXPECT_EQ(answer->substr(0, cut), row.ends);
    if (cut == std::string::npos) continue;
    const size_t space = answer->find(' ', cut);
    const long resident = std::stol(answer->substr(cut + 1, space - cut - 1));
    const long reserved = std::stol(answer->substr(space + 1));
    if (ownResident < 0) {
      ownResident = resident;
      ownReserved = reserved;
    }
    EXPECT_LT(resident, ownResident + (64 << 10));
    EXPECT_LT(reserved, ownReserved + (64 << 10));
  }
}

TEST(SampleMedia, TheSampleFilmsDecode) {
  plat::FixClock(1000);
  for (const char* name : {"Intro.avi", "logo.avi"}) {
    auto film = plat::MediaGraph::RenderFile(audiotest::SampleData() + "/" + name, plat::MediaKind::Film);
    ASSERT_TRUE(film) << name;
    // The opening ends on the reader's time, not with RenderFile.
    ASSERT_EQ(Opening(film.get(), std::chrono::seconds(10)), "opened") << name;
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
