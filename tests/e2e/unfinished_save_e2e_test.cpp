// A start that meets a save it cannot finish keeps the save aside, says so
// once, and plays on.
#include <gtest/gtest.h>

#include <filesystem>
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
