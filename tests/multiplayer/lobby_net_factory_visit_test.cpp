// The network factory visit: the profile shops with the game's money out of
// an empty stock, the tank it builds becomes the network tank, and the
// player's own files and goods are exactly as before, even when the game is
// killed in the middle of the visit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "factory/factory_screen.hpp"
#include "multiplayer/lobby/net_factory_visit.hpp"
#include "platform/runtime/save_together.hpp"
#include "tests/factory/factory_fixture.hpp"
#include "tests/multiplayer/lobby_shopping.hpp"

namespace {

// The player shops in the factory and leaves by the factory's own way out
// (which saves, unless told not to).
void BuyAndFitATank() {
  fw::FrmFactoryClass factory;
  ASSERT_TRUE(fwtest::ShopForANetworkTank(factory.Rules()));
  factory.Leave();
}

class NetFactoryVisit : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
    fwtest::OpenSampleFactory();
    // The player's own goods: a hull, weapons fitted in rows 2 and 5 and
    // ammunition loaded into row 5, and things owned but not fitted.
    fw::Users->NowItem()->Money = 4321;
    fw::Users->NowEQU->Add("", fw::kKindTank, "Scout Tank", 0);
    fw::Users->NowEQU->Add("", fw::kKindWeapon, "Pulse Laser", 2);
    fw::Users->NowEQU->Add("", fw::kKindWeapon, "Pulse Laser", 5);
    fw::Users->NowEQU->Add("", fw::kKindWeapon, "Pulse Laser", 15);
    fw::Users->UserEQU->Add("", fw::kKindWeapon, "Pulse Laser", 0);
    ASSERT_TRUE(fw::Users->SaveUser());
    ASSERT_TRUE(fw::Users->SaveEQUFile());
    usersBefore = dir.Read("User.INI");
    goodsBefore = dir.Read("user1.DAT");
    fw::RunNetFactory = BuyAndFitATank;
    fw::GameState = 3;
  }
  void TearDown() override {
    fw::RunNetFactory = [] { fw::RunNestedScreen(fw::ScreenState::Factory); };
    fw::NetTank.Release();
    fw::NetUsers.Release();
    fw::Users.Release();
    fw::DataPack.Release();
  }
  void ExpectUntouched() {
    EXPECT_EQ(dir.Read("User.INI"), usersBefore);
    EXPECT_EQ(dir.Read("user1.DAT"), goodsBefore);
    EXPECT_EQ(fw::Users->NowItem()->Money, 4321);
    EXPECT_EQ(fw::Users->EncodeEquipment(), goodsBefore);
  }

  fwtest::TempProgramFolder dir;
  std::string usersBefore, goodsBefore;
};

TEST_F(NetFactoryVisit, HostAndJoinerGetTheTankAndKeepTheirOwnFilesAndGoods) {
  // The host's page and the joiner's battle both call the same visit; twice
  // in a row shows the second starts from empty lists again.
  for (int32_t money : {10000, 30000}) {
    const bool built = fw::NetFactoryVisit(money);
    EXPECT_TRUE(built);
    EXPECT_EQ(fw::NetTank->Key, "Scout Tank");
    EXPECT_EQ(fw::GameState, 3);
    ExpectUntouched();
  }
}

TEST_F(NetFactoryVisit, NoTankBuiltIsSaidAndTheGoodsStillComeBack) {
  fw::RunNetFactory = [] {
    // Spends the borrowed money on nothing but leaves the factory's way.
    EXPECT_EQ(fw::Users->NowEQU->Count(), 0);
    EXPECT_EQ(fw::Users->UserEQU->Count(), 0);
    EXPECT_EQ(fw::Users->NowItem()->Money, 2000);
    fw::FrmFactoryClass factory;
    factory.Leave();
  };
  EXPECT_FALSE(fw::NetFactoryVisit(2000));
  EXPECT_TRUE(fw::NetTank->Key.empty());
  ExpectUntouched();
}

TEST_F(NetFactoryVisit, AFailingVisitStillGivesBackEverything) {
  fw::RunNetFactory = [] { throw std::runtime_error("the factory broke"); };
  EXPECT_THROW(fw::NetFactoryVisit(5000), std::runtime_error);
  EXPECT_EQ(fw::GameState, 3);
  ExpectUntouched();
}

TEST_F(NetFactoryVisit, AKillAtAnyMomentOfTheVisitLeavesTheFilesAsTheyWere) {
  std::mt19937 random(20);
  for (int round = 0; round < 6; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      // Visits again and again, so the kill lands anywhere in one.
      fw::RunNetFactory = [&] {
        if (write(ready[1], "v", 1) < 0) _exit(3);
        BuyAndFitATank();
      };
      for (;;) fw::NetFactoryVisit(10000);
    }
    close(ready[1]);
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    // The restart finishes any save the kill cut short, then reads the
    // files.
    EXPECT_EQ(plat::RecoverFilesWrittenTogether(dir.Path()), "");
    EXPECT_FALSE(std::filesystem::exists(dir.File(std::string(plat::kSaveJournalName))));
    fw::Users.Release();
    fw::Users->File = fw::AppPath + "\\User.INI";
    fw::Users->EQUFile = fw::AppPath + "\\user1.DAT";
    fw::Users->NowUser = 1;
    fw::Users->ReadUser();
    ASSERT_TRUE(fw::Users->LoadEQUFile());
    ExpectUntouched();
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
      EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

}  // namespace
