#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "data/users.hpp"
#include "engine/fresh_press.hpp"
#include "engine/globals.hpp"
#include "engine/screen.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/e2e/game_driver.hpp"

using fwtest::DriverStep;

namespace {
constexpr int16_t kVkReturn = 13;
constexpr int16_t kVkEscape = 27;
constexpr int16_t kVkY = 89;
// Enough for these roads; a splash that waits for a press never sent gives
// up after a few seconds rather than the driver's default.
constexpr long kFewPumps = 5000;

// The profile screen asks before the program ends: Esc, then, once the
// question shows, Y (the step QuitAnswer).
void QuitFromProfiles() { plat::PushKeyStroke(kVkEscape); }
DriverStep QuitAnswer() {
  return {"the quit question", fwtest::AMomentAfter([] { return true; }), [] { plat::PushKeyStroke(kVkY); }};
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

// The profile screen has read the profiles and drawn a frame: `then` runs.
std::vector<DriverStep> AtProfileScreen(std::function<void()> then) {
  auto framesAtProfiles = std::make_shared<uint64_t>(0);
  return {{"the profile screen's state",
           [framesAtProfiles] {
             if (fw::GameState != 5) return false;
             *framesAtProfiles = plat::Window::Instance().FramesPresented();
             return true;
           },
           [] {}},
          {"a frame of the profile screen",
           [framesAtProfiles] { return plat::Window::Instance().FramesPresented() > *framesAtProfiles; },
           std::move(then)}};
}

struct Folder {
  std::string path;
  explicit Folder(bool withFilms) : path(fwtest::CopyOfSampleData(withFilms)) {}
  ~Folder() { std::filesystem::remove_all(path); }
};
}  // namespace

TEST(StartupRoad, SplashThenProfilesThenEscEndsCleanly) {
  Folder folder(false);
  // Played in the forked game below.
  bool splashWasAPicture = false;
  std::vector<DriverStep> steps = AtProfileScreen(QuitFromProfiles);
  steps.push_back(QuitAnswer());
  steps.insert(steps.begin(), DriverStep{"the splash", fwtest::AMomentAfter(SplashShown), [&] {
                                           splashWasAPicture = FrameIsAPicture();
                                           plat::PushKeyStroke(kVkReturn);
                                         }});
  EXPECT_EXIT(
      {
        const int status = fwtest::RunGame(folder.path, std::move(steps));
        std::exit(status == 0 && fw::GameState == 0 && splashWasAPicture ? 0 : 10 + status);
      },
      ::testing::ExitedWithCode(0), "");
}

namespace {
// The closing film shows its picture and a click ends it.
DriverStep ClosingFilmClicked(bool* shown) {
  return {"the closing film",
          fwtest::AMomentAfter([] { return fw::GameState == 0 && FilmShowing() && FrameIsAPicture(); }), [shown] {
            if (shown) *shown = true;
            plat::PushMouseDown(1, 320, 240);
          }};
}

// The press that ends the intro film passes the splash too: no second press
// is needed to reach the profile screen. The closing film takes a click.
void OnePressEndsTheFilmAndPassesTheSplash(std::function<void()> press) {
  Folder folder(true);
  EXPECT_EXIT(
      {
        bool introShown = false;
        bool splashShown = false;
        bool logoShown = false;
        const int status = fwtest::RunGame(
            folder.path,
            {
                {"the intro film", FilmShowing,
                 [&] {
                   introShown = FrameIsAPicture();
                   press();
                 }},
                {"the splash", SplashShown, [&] { splashShown = FrameIsAPicture(); }},
                {"the profile screen", [] { return fw::GameState == 5 && fw::Primary != nullptr; },
                 [] { QuitFromProfiles(); }},
                QuitAnswer(),
                ClosingFilmClicked(&logoShown),
            },
            kFewPumps);
        // The display is handed back after the closing film.
        std::exit(status == 0 && introShown && splashShown && logoShown && fw::Primary ? 0 : 10 + status);
      },
      ::testing::ExitedWithCode(0), "");
}
}  // namespace

TEST(StartupRoad, OneKeyEndsTheIntroFilmAndPassesTheSplash) {
  OnePressEndsTheFilmAndPassesTheSplash([] { plat::PushKeyStroke(kVkReturn); });
}

TEST(StartupRoad, OneClickEndsTheIntroFilmAndPassesTheSplash) {
  OnePressEndsTheFilmAndPassesTheSplash([] { plat::PushMouseDown(1, 320, 240); });
}

// A key pressed before the film and still held: the film clears it as it
// starts, so the film plays on (the sample film holds its last picture) and
// shows the splash only after a press of its own, which passes the splash
// too.
TEST(StartupRoad, AKeyHeldFromBeforeTheIntroFilmSkipsNeitherTheFilmNorTheSplash) {
  Folder folder(true);
  EXPECT_EXIT(
      {
        fw::NoteKeyDown(kVkReturn);
        fw::KeyCode = kVkReturn;
        bool filmPlayedOn = false;
        bool splashShown = false;
        const int status = fwtest::RunGame(
            folder.path,
            {
                {"the intro film playing on", fwtest::FramesAfter(FilmShowing, 5),
                 [&] {
                   filmPlayedOn = FilmShowing() && fw::GameState == 0;
                   plat::PushMouseDown(1, 320, 240);
                 }},
                {"the splash", SplashShown, [&] { splashShown = true; }},
                {"the profile screen", [] { return fw::GameState == 5; }, [] { QuitFromProfiles(); }},
                QuitAnswer(),
                ClosingFilmClicked(nullptr),
            },
            kFewPumps);
        std::exit(status == 0 && filmPlayedOn && splashShown ? 0 : 10 + status);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(StartupRoad, AMouseClickAlsoDismissesTheSplash) {
  Folder folder(false);
  EXPECT_EXIT(
      {
        const int status = fwtest::RunGame(
            folder.path, {
                             {"the splash", fwtest::AMomentAfter(SplashShown),
                              [] { plat::PushMouseDown(1, 320, 240); }},
                             {"the profile screen", [] { return fw::GameState == 5; },
                              [] { QuitFromProfiles(); }},
                             QuitAnswer(),
                         });
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

// What stands at an archive's name, in place of its file: the start ends
// with the reader's message naming the file, never waiting on a FIFO and
// never taking gigabytes in. A child still running at the alarm is killed,
// which fails its row.
TEST(StartupRoad, WhatStandsAtAnArchivesNameEndsTheStartWithItsName) {
  const auto fifo = [](const std::string& path) {
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  };
  const auto gigabytes = [](const std::string& path) {
    ASSERT_EQ(::truncate(path.c_str(), off_t{3} << 30), 0);  // a hole after the directory's own records
  };
  const struct {
    const char* file;
    std::function<void(const std::string&)> plant;
    std::string says;  // a pattern of the message the start ends with
  } cases[] = {
      {"Data.PAK", fifo, "Data\\.PAK cannot be read"},
      {"Data.INF", fifo, "Unable to read \"Data\\.INF\".*: not a regular file"},
      {"Data.INF", gigabytes, "Damaged archive directory \"Data\\.INF\".*larger than the game reads"},
      {"MissionPack.INF", gigabytes, "Damaged archive directory \"MissionPack\\.INF\".*larger than the game reads"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    Folder folder(false);
    c.plant(folder.path + "/" + c.file);
    EXPECT_EXIT(
        {
          ::alarm(120);
          std::exit(fwtest::RunGame(
              folder.path, {{"the splash", fwtest::AMomentAfter(SplashShown), [] { plat::PushKeyStroke(kVkReturn); }}},
              kFewPumps));
        },
        ::testing::ExitedWithCode(1), c.says);
  }
}

TEST(StartupRoad, StateElevenLeadsToTheMainMenu) {
  Folder folder(false);
  EXPECT_EXIT(
      {
        bool sawMainMenu = false;
        const int status = fwtest::RunGame(
            folder.path,
            {
                {"the splash", fwtest::AMomentAfter(SplashShown), [] { plat::PushKeyStroke(kVkReturn); }},
                {"the profile screen", [] { return fw::GameState == 5 && fw::UserMenuScreen.Exists(); },
                 [] { QuitFromProfiles(); }},
                QuitAnswer(),
                // Between two screens, as the end screen leaves it after the last mission.
                {"the loop between screens", [] { return fw::GameState == 0 && !fw::UserMenuScreen.Exists(); },
                 [] { fw::GameState = 11; }},
                {"the main menu", [&] { return sawMainMenu = fw::MainMenuScreen.Exists(); },
                 [] { plat::PushKeyStroke(kVkEscape); }},
                {"the profile screen again", [] { return fw::UserMenuScreen.Exists(); },
                 [] { QuitFromProfiles(); }},
                QuitAnswer(),
            });
        std::exit(status == 0 && sawMainMenu ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// A game killed in the middle of saving money and goods: the next start
// finishes the save before the profile screen reads either file.
TEST(StartupRoad, AnUnfinishedSaveOfMoneyAndGoodsIsFinishedBeforeAnythingReadsThem) {
  Folder folder(false);
  fw::UsersClass after;
  after.Item(1)->Name = "Saver";
  after.Item(1)->Money = 4321;
  after.Item(1)->Mission = 2;
  const std::vector<uint8_t> profiles = after.EncodeUsers();
  const std::string goods = "\"Laser\",1,0\r\n";
  std::filesystem::create_directories(folder.path + "/save");
  const std::string journal = plat::EncodeSaveJournal(
      {{"User.INI", std::string(profiles.begin(), profiles.end())}, {"save/user1.DAT", goods}});
  ASSERT_TRUE(plat::WriteFile(folder.path + "/" + std::string(plat::kSaveJournalName), journal.data(), journal.size()));
  // Played in the forked game below.
  bool readBack = false;
  std::vector<DriverStep> steps = AtProfileScreen([&] {
    readBack = fw::Users->Item(1)->Name == "Saver" && fw::Users->Item(1)->Money == 4321;
    QuitFromProfiles();
  });
  steps.push_back(QuitAnswer());
  steps.insert(steps.begin(),
               DriverStep{"the splash", fwtest::AMomentAfter(SplashShown), [] { plat::PushKeyStroke(kVkReturn); }});
  EXPECT_EXIT(
      {
        const int status = fwtest::RunGame(folder.path, std::move(steps));
        std::exit(status == 0 && readBack ? 0 : 10 + status);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(std::filesystem::exists(folder.path + "/" + std::string(plat::kSaveJournalName)));
  EXPECT_EQ(plat::ReadAllText(folder.path + "/save/user1.DAT").value_or(""), goods);
}

namespace {
// Each file of a folder with its size and time of last change.
std::map<std::string, std::pair<uintmax_t, std::filesystem::file_time_type>> FilesOf(const std::string& folder) {
  std::map<std::string, std::pair<uintmax_t, std::filesystem::file_time_type>> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files[e.path().string()] = {e.file_size(), e.last_write_time()};
  return files;
}
}  // namespace

// Two games from one program folder would each save the profiles from their
// own memory. The second ends having written nothing while the first plays
// on; once the first is killed, whatever its state, a start plays again.
TEST(StartupRoad, ASecondGameFromTheSameFolderEndsAndTheFirstPlaysOn) {
  Folder folder(false);
  const auto toProfiles = [](std::function<void()> then) {
    std::vector<DriverStep> steps = AtProfileScreen(std::move(then));
    steps.insert(steps.begin(),
                 DriverStep{"the splash", fwtest::AMomentAfter(SplashShown), [] { plat::PushKeyStroke(kVkReturn); }});
    return steps;
  };
  int atProfiles[2];
  ASSERT_EQ(::pipe(atProfiles), 0);
  pid_t first = ::fork();
  ASSERT_GE(first, 0);
  if (first == 0) {
    ::close(atProfiles[0]);
    std::vector<DriverStep> steps = toProfiles([&] { (void)!::write(atProfiles[1], "p", 1); });
    // Plays on until killed; the driver's deadline for a step ends it otherwise.
    steps.push_back({"the kill", [] { return false; }, [] {}});
    ::_exit(fwtest::RunGame(folder.path, std::move(steps), LONG_MAX));
  }
  ::close(atProfiles[1]);
  struct Killed {  // whatever the checks find
    pid_t& pid;
    ~Killed() {
      if (pid <= 0) return;
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      pid = 0;
    }
  };
  {
    const Killed killed{first};
    pollfd ready{atProfiles[0], POLLIN, 0};
    char c = 0;
    ASSERT_TRUE(::poll(&ready, 1, static_cast<int>(fwtest::kStepDeadlineMs)) == 1 && ::read(atProfiles[0], &c, 1) == 1)
        << "the first game did not reach the profile screen";
    ::close(atProfiles[0]);
    const auto before = FilesOf(folder.path);
    EXPECT_EXIT(std::exit(fwtest::RunGame(folder.path, {})), ::testing::ExitedWithCode(1),
                "Ferrowind is already running from this folder\\. Start the second copy from a copy of the folder, "
                "made while the game is closed\\.");
    EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), 0) << "the first game ended";
    EXPECT_EQ(FilesOf(folder.path), before);
  }
  std::vector<DriverStep> steps = toProfiles(QuitFromProfiles);
  steps.push_back(QuitAnswer());
  EXPECT_EXIT(std::exit(fwtest::RunGame(folder.path, std::move(steps))), ::testing::ExitedWithCode(0), "");
}
