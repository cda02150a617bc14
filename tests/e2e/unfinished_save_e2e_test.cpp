// A start that meets a save it cannot finish keeps the save aside, says so
// once, and plays on.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/e2e/game_driver.hpp"

namespace {

// Past the splash to the profile screen, and out by Esc and Y: a start
// that reached the game.
int StartAndLeaveAtTheProfiles(const std::string& folder) {
  auto atProfiles = std::make_shared<bool>(false);
  const auto splash = [] {
    return fw::Primary && fw::GameState == 0 && plat::Window::Instance().FramesPresented() > 0;
  };
  std::vector<fwtest::DriverStep> steps{
      {"the splash", fwtest::AMomentAfter(splash), [] { plat::PushKeyStroke(13); }},
      {"the profile screen", fwtest::AMomentAfter([] { return fw::GameState == 5; }),
       [atProfiles] {
         *atProfiles = true;
         plat::PushKeyStroke(27);
       }},
      {"the quit question", fwtest::AMomentAfter([] { return true; }), [] { plat::PushKeyStroke(89); }},
  };
  const int status = fwtest::RunGame(folder, std::move(steps));
  return status == 0 && *atProfiles ? 0 : 10 + status;
}

// Runs `run` under a file-size limit with standard error going through a
// pipe, as to a player's terminal: the death test's capture is a file the
// limit would cut. A process the limit does not reach copies it across and
// is waited for before the result is returned.
int UnderFileSizeLimit(rlim_t bytes, const std::function<int()>& run) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return 90;
  const pid_t copier = ::fork();
  if (copier < 0) return 91;
  if (copier == 0) {
    ::close(pipeEnds[1]);
    char buf[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buf, sizeof buf)) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || ::write(2, buf, static_cast<size_t>(n)) != n) break;
    }
    ::_exit(0);
  }
  ::close(pipeEnds[0]);
  const int capture = ::dup(2);
  ::dup2(pipeEnds[1], 2);
  ::close(pipeEnds[1]);
  rlimit small;
  small.rlim_cur = small.rlim_max = bytes;
  ::setrlimit(RLIMIT_FSIZE, &small);
  const int status = run();
  std::fflush(stderr);
  ::dup2(capture, 2);  // the pipe's last writer gone: the copier ends
  ::close(capture);
  int copied = 0;
  ::waitpid(copier, &copied, 0);
  return status;
}

}  // namespace

TEST(UnfinishedSave, AStartWithASaveThatCannotBeFinishedKeepsItAsideAndReachesTheGame) {
  fw::UsersClass after;
  after.Item(1)->Name = "Saver";
  const std::vector<uint8_t> profiles = after.EncodeUsers();
  const std::string journal = plat::EncodeSaveJournal(
      {{"User.INI", std::string(profiles.begin(), profiles.end())}, {"save/user1.DAT", "\"Laser\",1,0\r\n"}});
  const std::string name(plat::kSaveJournalName);
  for (const bool saveIsAFile : {true, false}) {
    SCOPED_TRACE(saveIsAFile ? "save a plain file" : "a journal naming a folder");
    fwtest::SampleDataCopy copy;
    const std::string& folder = copy.path;
    std::filesystem::remove_all(folder + "/save");
    if (saveIsAFile)
      ASSERT_TRUE(plat::WriteFile(folder + "/save", "x", 1));
    else
      std::filesystem::create_directories(folder + "/save/user1.DAT");
    ASSERT_TRUE(plat::WriteFile(folder + "/" + name, journal.data(), journal.size()));
    EXPECT_EXIT(std::exit(StartAndLeaveAtTheProfiles(folder)), ::testing::ExitedWithCode(0),
                "kept aside as SaveJournal\\.bin\\.unfinished-1 in the game folder");
    EXPECT_FALSE(std::filesystem::exists(folder + "/" + name));
    EXPECT_EQ(plat::ReadAllText(folder + "/" + name + ".unfinished-1").value_or(""), journal);
    // The profiles stay as the start found them; the screen itself may
    // have saved them since, but never the journal's.
    EXPECT_EQ(plat::ReadAllText(folder + "/User.INI").value_or("").find("Saver"), std::string::npos);
  }
}

// Under a file-size limit smaller than User.INI, a start that must write it
// fails as a save that cannot be written does: it says why and what would
// let the game start, and ends; the limit does not kill it.
TEST(UnfinishedSave, AStartUnderAFileSizeLimitTooSmallForTheProfilesSaysSoAndEnds) {
  fw::UsersClass after;
  after.Item(1)->Name = "Saver";
  const std::vector<uint8_t> profiles = after.EncodeUsers();
  const std::string goods = "\"Laser\",1,0\r\n";
  const std::string journal =
      plat::EncodeSaveJournal({{"User.INI", std::string(profiles.begin(), profiles.end())}, {"save/user1.DAT", goods}});
  fwtest::SampleDataCopy copy;
  const std::string& folder = copy.path;
  const std::string name(plat::kSaveJournalName);
  // The goods are new already: the journal cannot be kept aside.
  plat::MakeDir(folder + "/save");
  ASSERT_TRUE(plat::WriteFile(folder + "/save/user1.DAT", goods.data(), goods.size()));
  ASSERT_TRUE(plat::WriteFile(folder + "/" + name, journal.data(), journal.size()));
  EXPECT_EXIT(std::exit(UnderFileSizeLimit(100, [&folder] { return fwtest::RunGame(folder, {}); })),
      ::testing::ExitedWithCode(1),
      "\\(User\\.INI: File too large\\): the game starts once the file size limit \\(ulimit -f\\) lets it write "
      "its files\\.");
  EXPECT_EQ(plat::ReadAllText(folder + "/" + name).value_or(""), journal);
  EXPECT_EQ(plat::ReadAllText(folder + "/User.INI").value_or("").find("Saver"), std::string::npos);
}
