#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/globals.hpp"
#include "engine/last_save.hpp"
#include "engine/media_player.hpp"
#include "engine/screen.hpp"
#include "engine/startup.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/common/test_support.hpp"
#include "tests/engine/display_support.hpp"

namespace {
struct MediaPath : ::testing::Test {
  fwtest::TempProgramFolder dir;
  void TearDown() override { fw::MountTableFile = "/proc/self/mounts"; }
  void Mounts(const std::string& table) {
    dir.Write("mounts", table);
    fw::MountTableFile = dir.File("mounts");
  }
};
}  // namespace

TEST_F(MediaPath, NoDiscMeansTheProgramFolder) {
  Mounts("/dev/sda1 / ext4 rw 0 0\n");
  EXPECT_EQ(fw::FindMediaPath(), "");
  EXPECT_EQ(fw::MediaPath, dir.Path());
}

TEST_F(MediaPath, TheFirstDiscWithTheMarkerWins) {
  dir.Write("cd1/readme.txt", "");          // a disc without the marker
  dir.Write("cd 2/Ferrowind", "");          // the first with it (a blank in its name)
  dir.Write("cd3/Ferrowind", "");
  dir.Write("hd/Ferrowind", "");            // not a disc: skipped
  Mounts("/dev/sdb1 " + dir.File("hd") + " ext4 rw 0 0\n" +
         "/dev/sr0 " + dir.File("cd1") + " iso9660 ro 0 0\n" +
         "/dev/sr1 " + dir.Path() + "/cd\\0402 udf ro 0 0\n" +
         "/dev/sr2 " + dir.File("cd3") + " iso9660 ro 0 0\n");
  EXPECT_EQ(fw::FindMediaPath(), dir.File("cd 2") + "/");
  EXPECT_EQ(fw::MediaPath, dir.File("cd 2"));
}

TEST_F(MediaPath, AMarkerFolderIsNotTheMarkerFile) {
  dir.Write("cd1/Ferrowind/x", "");
  Mounts("/dev/sr0 " + dir.File("cd1") + " iso9660 ro 0 0\n");
  EXPECT_EQ(fw::FindMediaPath(), "");
  EXPECT_EQ(fw::MediaPath, dir.Path());
}

TEST(StartupTables, CosSinCoversBothEndsOfTheCircle) {
  fw::InitCosSin();
  EXPECT_EQ(fw::CosSin[0].Cos, 1.0f);
  EXPECT_EQ(fw::CosSin[0].Sin, 0.0f);
  EXPECT_FLOAT_EQ(fw::CosSin[360].Cos, 1.0f);
  EXPECT_NEAR(fw::CosSin[360].Sin, 0.0f, 1e-6f);
  EXPECT_FLOAT_EQ(fw::CosSin[90].Sin, 1.0f);
  EXPECT_NEAR(fw::CosSin[180].Cos, -1.0f, 1e-7f);
  // The game's pi is short of the real one: sin(180) is not exactly zero.
  EXPECT_EQ(fw::CosSin[180].Sin, static_cast<float>(std::sin(3.141592653589)));
}

TEST(StartupTables, FontScaleFollowsTheDotsPerInch) {
  EXPECT_FLOAT_EQ(fw::ComputeFontScale(15.0f), 1.0f);
  EXPECT_FLOAT_EQ(fw::ComputeFontScale(12.0f), 1.25f);
}

TEST(StartupCursor, RestoreLeavesTheCounterAtOne) {
  for (int start : {-3, 0, 4}) {
    // Bring the counter to the start value from wherever it is.
    int c = plat::ShowCursor(true);
    while (c > start) c = plat::ShowCursor(false);
    while (c < start) c = plat::ShowCursor(true);
    fw::RestoreCursor();
    EXPECT_EQ(plat::ShowCursor(true), 2) << start;
    plat::ShowCursor(false);
  }
}

namespace {
// A screen whose visit notes itself and writes the next state it was given.
class Hop : public fw::Screen {
 public:
  Hop(std::vector<std::string>& log, std::string name, int32_t next)
      : log_(log), name_(std::move(name)), next_(next) {
    log_.push_back("new " + name_);
  }
  void Load() override {
    log_.push_back("load " + name_);
    fw::GameState = next_;
  }

 private:
  std::vector<std::string>& log_;
  std::string name_;
  int32_t next_;
};

struct Loop : ::testing::Test {
  std::vector<std::string> log;
  void TearDown() override {
    fw::ClearScreens();
    plat::SetTestDriver(nullptr);
    fw::MediaPlay.Release();
    fw::GameState = 0;
  }
  // Registers a screen for a state whose visit leads to `next`.
  void Screen(fw::ScreenState::Value state, const std::string& name, int32_t next,
              std::function<void()> before = nullptr) {
    fw::RegisterScreen(
        state, 0, [this, name, next] { return std::make_shared<Hop>(log, name, next); }, std::move(before));
  }
  void RunFrom(int32_t state) {
    fw::GameState = state;
    fw::ScreenLoop();
  }
};
}  // namespace

TEST_F(Loop, EachVisitStartsFromAFreshObjectAndValuesThatNameNoStateEndIt) {
  using S = fw::ScreenState;
  Screen(S::Setup, "setup", S::MainMenu);
  Screen(S::MainMenu, "menu", 0);
  RunFrom(S::MainMenu);
  RunFrom(S::Setup);
  EXPECT_EQ(log, (std::vector<std::string>{"new menu", "load menu", "new setup", "load setup", "new menu",
                                           "load menu"}));
  EXPECT_FALSE(fw::MainMenuScreen.Exists());
  EXPECT_FALSE(fw::SetupMenuScreen.Exists());
  for (int32_t end : {0, -1, 12, 1 << 30}) {
    log.clear();
    RunFrom(end);
    EXPECT_TRUE(log.empty()) << end;
    EXPECT_EQ(fw::GameState, end);
  }
}

TEST_F(Loop, WhatIsRegisteredBeforeAVisitRunsBeforeTheScreenIsTouched) {
  using S = fw::ScreenState;
  int hooks = 0;
  auto hook = [&] {
    ++hooks;
    log.push_back(fw::CampaignScreen.Exists() || fw::MultiScreen.Exists() ? "hook late" : "hook");
  };
  Screen(S::CampaignBattle, "battle", S::NetworkBattle, hook);
  Screen(S::NetworkBattle, "net", 0, hook);
  RunFrom(S::CampaignBattle);
  EXPECT_EQ(log, (std::vector<std::string>{"hook", "new battle", "load battle", "hook", "new net", "load net"}));
  EXPECT_EQ(hooks, 2);
}

TEST_F(Loop, AScreenMadeBeforeItsStateIsUsedUnchanged) {
  using S = fw::ScreenState;
  Screen(S::EndScreen, "end", 0);
  fw::EndScreenObj.Get();  // as the battle makes it to hand over its result
  log.clear();
  RunFrom(S::EndScreen);
  EXPECT_EQ(log, (std::vector<std::string>{"load end"}));
}

TEST_F(Loop, TheCampaignWonStateReleasesTheFilmPlayerAndOpensTheMainMenu) {
  using S = fw::ScreenState;
  Screen(S::MainMenu, "menu", 0);
  fw::MediaPlay.Get();
  RunFrom(S::CampaignWon);
  EXPECT_FALSE(fw::MediaPlay.Exists());
  EXPECT_EQ(log, (std::vector<std::string>{"new menu", "load menu"}));
}

TEST_F(Loop, TheStoryEndFilmStateStandsUntilSomethingElseIsWritten) {
  fw::MediaPlay.Get();
  int passes = 0;
  bool releasedEachPass = true;
  plat::SetTestDriver([&] {
    // Before the pass's own release the player is made again, to see that
    // every pass releases it.
    if (passes > 0 && fw::MediaPlay.Exists()) releasedEachPass = false;
    fw::MediaPlay.Get();
    if (++passes == 5) fw::GameState = 0;
  });
  RunFrom(fw::ScreenState::StoryEndFilm);
  EXPECT_EQ(passes, 5);
  EXPECT_TRUE(releasedEachPass);
}

TEST_F(Loop, ANestedVisitRunsTheScreenInItsStateAndReleasesIt) {
  using S = fw::ScreenState;
  int32_t stateSeen = -1;
  // What runs before the loop's own visits is not run for a nested one.
  Screen(S::Factory, "factory", S::Briefing, [this] { log.push_back("hook"); });
  fw::RegisterScreen(S::Briefing, 0, [&] {
    struct Brief : fw::Screen {
      explicit Brief(int32_t& seen) : seen_(seen) {}
      void Load() override {
        fw::RunNestedScreen(fw::ScreenState::Factory);
        seen_ = fw::GameState;  // the factory wrote the briefing's state
        fw::GameState = 0;
      }
      int32_t& seen_;
    };
    return std::make_shared<Brief>(stateSeen);
  });
  RunFrom(S::Briefing);
  EXPECT_EQ(log, (std::vector<std::string>{"new factory", "load factory"}));
  EXPECT_EQ(stateSeen, S::Briefing);
  EXPECT_FALSE(fw::FactoryScreen.Exists());
}

namespace {
struct SplashPicture : fwtest::DisplayTest {};
}  // namespace

// Only a splash that is not there is not found, named with its folder: one
// that is there and cannot be read is told with the cause. Both name the
// folder as the system spells it, letters the code page lacks included.
TEST_F(SplashPicture, OnlyOneThatIsNotThereIsNotFoundAndEachNamesItsFolderAsSpelt) {
  const std::string folder = folder_.File("Spiele-Über-遊戲");
  const std::string file = folder + "/create(GB).jpg";
  const auto picture = [](const std::string& path) { std::ofstream(path) << fwtest::BmpBytes(4, 3, 7); };
  const auto fifo = [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); };
  const auto unreadable = [&](const std::string& path) { picture(path); ::chmod(path.c_str(), 0); };
  const auto folderThere = [](const std::string& path) { std::filesystem::create_directory(path); };
  const auto fails = [](plat::FileCall call) { return [call] { plat::FailNextFileCall(call, EIO); }; };
  const std::string unread = "shown: Invalid picture: " + file + ": ";
  const struct {
    const char* what;
    std::function<void(const std::string&)> plant;
    std::function<void()> fault;
    std::string says;
  } cases[] = {
      {"a picture", picture, nullptr, "loaded 4x3"},
      {"nothing there", nullptr, nullptr, "shown: File not found: \"create(GB).jpg\" in " + folder},
      {"a FIFO", fifo, nullptr, unread + plat::SystemErrorText(plat::kNotAFile)},
      {"a folder", folderThere, nullptr, unread + plat::SystemErrorText(EISDIR)},
      {"no right to read", unreadable, nullptr, unread + plat::SystemErrorText(EACCES)},
      {"a look that fails", picture, fails(plat::FileCall::Look), unread + "Input/output error"},
      {"a read that fails", picture, fails(plat::FileCall::Read), unread + "Input/output error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    if (c.plant) c.plant(file);
    fw::AppPath = folder;
    const std::optional<std::string> answer = fwtest::AnswerInChild([&]() -> std::string {
      fwtest::DropFilePowers();
      if (c.fault) c.fault();
      try {
        plat::SurfacePtr splash;
        fw::LoadSplashPicture(splash);
        return "loaded " + std::to_string(splash->Width()) + "x" + std::to_string(splash->Height());
      } catch (const plat::RuntimeError& e) {
        return "shown: " + e.Utf8();
      }
    });
    ASSERT_TRUE(answer) << "no answer";
    EXPECT_EQ(*answer, c.says);
  }
}

// The notice of a last save told once the window shows names the game
// folder as the system spells it.
TEST(LastSaveNotice, NamesTheGameFolderAsSpelt) {
  fwtest::TempProgramFolder dir;
  const std::string folder = dir.File("Spiele-Über-遊戲");
  std::filesystem::create_directories(folder + "/save");
  const std::string profiles(384, 'p');
  dir.Write("Spiele-Über-遊戲/User.INI", profiles);
  dir.Write("Spiele-Über-遊戲/save/user1.DAT", "goods");
  dir.Write("Spiele-Über-遊戲/" + std::string(plat::kSaveJournalName),
            plat::EncodeSaveJournal({{"User.INI", profiles}, {"save/user1.DAT", "goods"}}));
  // Finished, but the journal cannot be removed: every later save must
  // replace it, so the start tells why.
  plat::FailNextFileCall(plat::FileCall::Remove, EIO);
  ASSERT_TRUE(fw::FinishLastSave(folder));
  ::testing::internal::CaptureStderr();
  fw::TellOfLastSave();
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("the disk of the game folder " + folder + " reads"), std::string::npos) << said;
}
