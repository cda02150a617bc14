// The campaign played by the scripted player on the sample data, from a
// reset profile with 1,500, carrying money from mission to mission and
// replaying a lost mission up to five times, on fixed seeds with a fixed
// clock and a frame factor of 1.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "factory/rules/catalogs.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/random.hpp"
#include "tests/battle/world_data.hpp"
#include "tests/common/test_support.hpp"
#include "tests/missions/scripted_player.hpp"

namespace fw::playtest {
namespace {

// Ten minutes of battle at 15 ms a frame, then the player gives up.
constexpr int32_t kFrameLimit = 40000;
constexpr int kReplays = 5;

struct Tally {
  int FirstWins = 0;
  int Attempts = 0;
  int64_t Frames = 0;
  int64_t MoneyAfter = 0;  // summed over the seeds that won it
};

class CampaignPlay : public ::testing::Test {
 protected:
  fwtest::TempProgramFolder folder_;
  FactoryCatalogs catalogs_;

  void SetUp() override {
    worldtest::OpenSampleArchives();
    plat::FixClock(1000);
    catalogs_.Read();
    // The sample settings, as the profile screen reads them.
    std::filesystem::copy_file(fwtest::SampleDataFolder() + "/Default.cfg", folder_.File("Default.cfg"));
    ReadKeyConfig("\\Default.cfg");
  }
  void TearDown() override {
    Users.Release();
    worldtest::CloseArchives();
    plat::UnfixRandom();
    plat::UnfixClock();
    KeyTable.fill(0);
  }

  // A profile as a reset leaves it: mission 1, 1,500, nothing owned.
  void ResetProfile() {
    Users.Release();
    Users->File = AppPath + "\\User.INI";
    Users->NowUser = 1;
    auto u = Users->NowItem();
    u->Mission = 1;
    u->Money = 1500;
    u->Kill = 0;
    u->Death = 0;
    Users->UserEQU->RemoveAll();
    Users->NowEQU->RemoveAll();
  }

  // Missions first to last on one seed; false when a mission is lost six
  // times in a row.
  bool Play(uint32_t seed, int first, int last, Buying how, std::vector<Tally>& tally, int replays = kReplays) {
    plat::FixRandom(seed);
    ResetProfile();
    for (int m = first; m <= last; ++m) {
      bool won = false;
      for (int attempt = 0; attempt <= replays && !won; ++attempt) {
        VisitFactory(catalogs_, how);
        Users->NowItem()->Mission = m;
        const BattleOutcome r = PlayBattle(kFrameLimit);
        Tally& t = tally[static_cast<size_t>(m)];
        ++t.Attempts;
        t.Frames += r.Frames;
        won = r.Won;
        if (won && attempt == 0) ++t.FirstWins;
        if (won) t.MoneyAfter += Users->NowItem()->Money;
      }
      if (!won) return false;
    }
    return true;
  }

  static void Print(const std::vector<Tally>& tally, int first, int last, int seeds) {
    std::printf("mission  first-attempt wins  attempts  frames  average money after\n");
    for (int m = first; m <= last; ++m) {
      const Tally& t = tally[static_cast<size_t>(m)];
      std::printf("%7d  %11d of %2d  %8d  %6lld  %19lld\n", m, t.FirstWins, seeds, t.Attempts,
                  static_cast<long long>(t.Frames), static_cast<long long>(seeds ? t.MoneyAfter / seeds : 0));
    }
  }
};

TEST_F(CampaignPlay, MissionsOneToFiveAreWonOnThreeSeeds) {
  std::vector<Tally> tally(21);
  for (uint32_t seed : {11u, 22u, 33u}) EXPECT_TRUE(Play(seed, 1, 5, Buying::Best, tally)) << "seed " << seed;
  Print(tally, 1, 5, 3);
  int firstWins = 0;
  for (int m = 1; m <= 5; ++m) firstWins += tally[static_cast<size_t>(m)].FirstWins;
  EXPECT_GE(firstWins, 10) << "of the fifteen first attempts";
}

// The long runs: the whole campaign on twenty seeds, and a newcomer's
// cheapest tank on mission 1. Run with FW_LONG_CAMPAIGN=1 (ctest -L long).
bool LongRun() { return std::getenv("FW_LONG_CAMPAIGN") != nullptr; }

// FW_CAMPAIGN_SEEDS and FW_CAMPAIGN_LAST narrow the run while the data is
// tuned; FW_CAMPAIGN_SEED_FROM starts it at a later seed, so that parts of
// it can run side by side.
int FromEnv(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v ? std::atoi(v) : fallback;
}

TEST_F(CampaignPlay, TheWholeCampaignOnTwentySeeds) {
  if (!LongRun()) GTEST_SKIP() << "a long run";
  const int seeds = FromEnv("FW_CAMPAIGN_SEEDS", 20), last = FromEnv("FW_CAMPAIGN_LAST", 20);
  const int from = FromEnv("FW_CAMPAIGN_SEED_FROM", 1);
  std::vector<Tally> tally(21);
  int finished = 0;
  for (int seed = from; seed < from + seeds; ++seed) {
    const bool done = Play(static_cast<uint32_t>(seed) * 7919u, 1, last, Buying::Best, tally);
    finished += done ? 1 : 0;
    std::printf("seed %d: %s, money %d\n", seed, done ? "finished" : "stopped", Users->NowItem()->Money);
    std::fflush(stdout);
  }
  Print(tally, 1, last, seeds);
  EXPECT_EQ(finished, seeds);
  for (int m = 1; m <= last; ++m) EXPECT_GE(tally[static_cast<size_t>(m)].FirstWins * 2, seeds) << "mission " << m;
}

TEST_F(CampaignPlay, TheCheapestTankWithoutAShieldCanWinMissionOne) {
  if (!LongRun()) GTEST_SKIP() << "a long run";
  std::vector<Tally> tally(21);
  for (uint32_t seed = 1; seed <= 20; ++seed) Play(seed * 7919u, 1, 1, Buying::CheapestNoShield, tally, 0);
  Print(tally, 1, 1, 20);
  EXPECT_GE(tally[1].FirstWins, 5);
}

}  // namespace
}  // namespace fw::playtest
