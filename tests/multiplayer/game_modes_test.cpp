// Every test here fixes the game's clock (plat::FixClock) and moves it with
// plat::AdvanceClock; nothing waits on real time.
#include "multiplayer/battle/game_modes.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/runtime/clock.hpp"

namespace fw {
namespace {

constexpr float kAt2358 = 23 * 3600 + 58 * 60;

struct Player {
  int32_t id;
  uint8_t team;
  int32_t score;
  float held = 0.0f;
};

// One machine's view: its own player first, a unit per player at (x, y).
class Machine {
 public:
  Machine(const char* mode, uint8_t winRule, const std::vector<Player>& players) {
    setting.ModeName = mode;
    setting.WinRule = winRule;
    setting.LimTime = 5;
    setting.LimTank = 3;
    table.Players.clear();
    for (const Player& p : players) {
      PlayerRecord r;
      r.PlayerID = p.id;
      r.Team = p.team;
      r.Score = p.score;
      r.HeldTime = p.held;
      r.Name = "P" + std::to_string(p.id);
      r.TankID = static_cast<int32_t>(world.Units.size());
      world.Units.push_back(BattleUnit{});
      table.Players.push_back(r);
    }
    table.SortPlayer();
  }
  void Step() { WinState(mode, world, table, setting, 0, book); }
  void Place(float x, float y) {
    world.Units[0].PosX = x;
    world.Units[0].PosY = y;
  }

  BattleState world;
  PlayerTable table;
  GameSettingRecord setting;
  SingleUser profile;
  ProfileResultBook book{profile};
  GameModeState mode;
};

class GameModes : public ::testing::Test {
 protected:
  void SetUp() override { plat::FixClock(1000000, kAt2358); }
  void TearDown() override { plat::UnfixClock(); }
};

// Each player's machine sees the same scores with itself first.
std::vector<Player> SeenBy(std::vector<Player> all, size_t own) {
  std::swap(all[0], all[own]);
  return all;
}

TEST_F(GameModes, ResultsAreTakenFromTheOwnSide) {
  struct Row {
    const char* what;
    const char* mode;
    uint8_t winRule;
    std::vector<Player> players;
    std::vector<bool> won;  // by player, in the order above
  };
  const std::vector<Row> rows = {
      {"team 0 leads 3:1", kModeGroupBattle, 1, {{1, 0, 2}, {2, 0, 1}, {3, 1, 1}, {4, 1, 0}},
       {true, true, false, false}},
      {"team 1 leads 1:3", kModeGroupBattle, 1, {{1, 0, 1}, {2, 1, 3}}, {false, true}},
      {"leader alone at the score limit", kModeDeathBattle, 1, {{1, 0, 1}, {2, 0, 3}, {3, 0, 2}},
       {false, true, false}},
      {"two leaders at the score limit", kModeDeathBattle, 1, {{1, 0, 3}, {2, 0, 3}, {3, 0, 0}},
       {false, false, false}},
  };
  for (const Row& row : rows) {
    for (size_t own = 0; own < row.players.size(); ++own) {
      Machine m(row.mode, row.winRule, SeenBy(row.players, own));
      m.Step();
      ASSERT_TRUE(m.mode.Ended) << row.what;
      EXPECT_EQ(m.mode.Won, row.won[own]) << row.what << ", player " << own + 1;
      EXPECT_EQ(m.profile.mWon, row.won[own] ? 1 : 0) << row.what;
      EXPECT_EQ(m.profile.mLost, row.won[own] ? 0 : 1) << row.what;
    }
  }
  // The labels: the own team's total is the allied one.
  Machine team1(kModeGroupBattle, 1, {{2, 1, 1}, {1, 0, 2}, {3, 0, 1}});
  team1.Step();
  EXPECT_EQ(FromOwnSide(team1.mode.Frozen).Allied, 1);
  EXPECT_EQ(FromOwnSide(team1.mode.Frozen).Enemy, 3);
  EXPECT_EQ(team1.mode.Frozen.TeamScore[2], 1);
}

TEST_F(GameModes, TimeLimitOnTheMonotonicClock) {
  // Started at 23:58 of the day clock, and a millisecond clock about to wrap.
  plat::FixClock(0xFFFFFFFFu - 60000u, kAt2358);
  struct Row {
    const char* mode;
    std::vector<Player> players;
  };
  const std::vector<Row> rows = {
      {kModeDeathBattle, {{1, 0, 0}, {2, 0, 0}}},  // 0-0: won by nobody
      {kModeGroupBattle, {{1, 0, 2}, {2, 1, 2}}},  // level teams: lost on both sides
  };
  for (const Row& row : rows) {
    for (size_t own = 0; own < row.players.size(); ++own) {
      plat::FixClock(0xFFFFFFFFu - 60000u, kAt2358);
      Machine m(row.mode, 0, SeenBy(row.players, own));
      m.Step();
      EXPECT_EQ(m.mode.TimeText, " 5:0");
      plat::AdvanceClock(299999);
      m.Step();
      EXPECT_FALSE(m.mode.Ended) << row.mode;
      EXPECT_EQ(m.mode.TimeText, " 0:1");
      plat::AdvanceClock(1);
      m.Step();
      ASSERT_TRUE(m.mode.Ended) << row.mode;
      EXPECT_EQ(m.mode.BattleTime, 300);
      EXPECT_EQ(m.mode.TimeText, " 0:0");
      EXPECT_FALSE(m.mode.Won) << row.mode;
      EXPECT_EQ(m.profile.mLost, 1);
    }
  }
  // A joiner runs its clock from the host's elapsed time, 300 s here.
  Machine joiner(kModeDeathBattle, 0, {{2, 0, 0}, {1, 0, 0}});
  joiner.setting.LimTime = 20;
  WinState(joiner.mode, joiner.world, joiner.table, joiner.setting, 300, joiner.book);
  EXPECT_TRUE(joiner.mode.TimeText.empty());  // setting the clock runs no step
  joiner.Step();
  EXPECT_EQ(joiner.mode.TimeText, " 15:0");
  EXPECT_EQ(RemainingTimeText(20, 55), " 19:5");
  EXPECT_EQ(RemainingTimeText(5, 400), " 0:0");  // past the limit, never negative
}

TEST_F(GameModes, TheResultIsFrozenAndBookedOnce) {
  Machine m(kModeDeathBattle, 1, {{1, 0, 3}, {2, 0, 1}});
  m.Step();
  ASSERT_TRUE(m.mode.Ended);
  const PlayerTable shown = m.mode.Frozen;
  // A score that arrives while the end screen waits changes nothing shown
  // or booked.
  m.table.Players[1].Score = 9;
  m.table.SortPlayer();
  m.Step();
  m.Step();
  EXPECT_EQ(m.mode.Frozen.SortedPlayers, shown.SortedPlayers);
  EXPECT_EQ(m.mode.Frozen.TeamScore, shown.TeamScore);
  EXPECT_EQ(shown.SortedPlayers[0].PlayerID, 1);
  EXPECT_TRUE(m.mode.Won);
  EXPECT_EQ(m.profile.mWon, 1);
  EXPECT_EQ(m.profile.mLost, 0);
  // A leader who left since the last ranking is not ranked at the end.
  Machine left(kModeDeathBattle, 1, {{1, 0, 3}, {2, 0, 5}});
  left.table.RemovePlayer(2, 0);
  left.Step();
  EXPECT_TRUE(left.mode.Won);
  EXPECT_EQ(left.mode.Frozen.SortedPlayers.size(), 1u);
}

TEST_F(GameModes, TerritoryTimeIsTheOwnersAndCountedOnTheClock) {
  struct Row {
    float x, y;
    bool inside;
  };
  const std::vector<Row> rows = {
      {1920, 1440, true},   {3200, 2400, true},   {3200.4f, 2000, true}, {3200.6f, 2000, false},
      {1919.4f, 2000, false}, {2500, 2400.5f, true}, {2500, 2401, false}, {-1e30f, 1e30f, false},
  };
  for (const Row& row : rows) {
    plat::FixClock(5000, kAt2358);
    Machine m(kModeTerritory, 0, {{1, 0, 0, 0.0f}, {2, 0, 0, 7.0f}});
    m.Place(row.x, row.y);
    m.world.FrameFactor = 4.0f;  // a slow frame: the factor is bounded, the clock is not
    m.Step();
    for (int i = 0; i < 3; ++i) {
      plat::AdvanceClock(1000);
      m.Step();
    }
    EXPECT_FLOAT_EQ(m.table.Players[0].HeldTime, row.inside ? 3.0f : 0.0f) << row.x << ", " << row.y;
    EXPECT_FLOAT_EQ(m.table.Players[1].HeldTime, 7.0f);  // only its owner counts it
  }
  // The held loop (exit question) adds nothing.
  Machine m(kModeTerritory, 0, {{1, 0, 0}, {2, 0, 0}});
  m.Place(2000, 2000);
  m.Step();
  plat::AdvanceClock(90000);
  ResumeAfterHold(m.mode);
  plat::AdvanceClock(500);
  m.Step();
  EXPECT_FLOAT_EQ(m.table.Players[0].HeldTime, 0.5f);
  EXPECT_EQ(m.table.SortedPlayers[0].PlayerID, 1);
}

TEST_F(GameModes, TerritoryRankingAndTeamHeldTimes) {
  struct Row {
    const char* what;
    const char* mode;
    std::vector<Player> players;
    bool won;
    int32_t team0, team1;
  };
  const std::vector<Row> rows = {
      {"alone on top", kModeTerritory, {{1, 0, 0, 50.0f}, {2, 0, 9, 40.0f}}, true, 9, 0},
      {"level at the top", kModeTerritory, {{1, 0, 0, 50.0f}, {2, 0, 0, 50.0f}}, false, 0, 0},
      // The player's own result, although its team held less.
      {"top player of the weaker team", kModeGroupTerritory,
       {{1, 1, 0, 60.0f}, {2, 0, 0, 40.0f}, {3, 0, 0, 30.5f}}, true, 70, 60},
      {"halves to even", kModeGroupTerritory, {{1, 0, 0, 0.5f}, {2, 1, 0, 1.5f}}, false, 0, 2},
  };
  for (const Row& row : rows) {
    Machine m(row.mode, 0, row.players);
    m.Place(0, 0);
    m.Step();
    plat::AdvanceClock(300000);
    m.Step();
    ASSERT_TRUE(m.mode.Ended) << row.what;
    EXPECT_EQ(m.mode.Won, row.won) << row.what;
    EXPECT_EQ(m.mode.Frozen.TeamScore[0], row.team0) << row.what;
    EXPECT_EQ(m.mode.Frozen.TeamScore[1], row.team1) << row.what;
  }
}

TEST_F(GameModes, BaseDefensingEndsWhenABaseIsGone) {
  struct Row {
    const char* what;
    const char* removed;  // the key of the building destroyed
    uint8_t ownTeam;
    bool ends;
    bool won;
  };
  const std::vector<Row> rows = {
      {"another building", "12", 0, false, false},
      {"team 1's base, seen from team 0", "580", 0, true, true},
      {"team 1's base, seen from team 1", "580", 1, true, false},
      {"team 0's base, seen from team 0", "587", 0, true, false},
      {"team 0's base, seen from team 1", "587", 1, true, true},
  };
  for (const Row& row : rows) {
    Machine m(kModeBaseDefensing, 0, {{1, row.ownTeam, 0}, {2, static_cast<uint8_t>(1 - row.ownTeam), 0}});
    for (const char* key : {"12", "587", "580"}) {
      BuildingInstance b;
      b.TypeKey = key;
      b.X = key[2] == '7' ? 700 : 100;
      b.Y = 50;
      m.world.Builds.push_back(b);
    }
    m.Step();
    EXPECT_EQ(m.mode.EnemyBaseX, row.ownTeam == 0 ? 100 : 700) << row.what;
    EXPECT_EQ(m.table.TeamScore[2], 1);
    m.Step();
    EXPECT_FALSE(m.mode.Ended);
    std::erase_if(m.world.Builds, [&](const BuildingInstance& b) { return b.TypeKey == row.removed; });
    m.Step();
    EXPECT_EQ(m.mode.Ended, row.ends) << row.what;
    if (row.ends) {
      EXPECT_EQ(m.mode.Won, row.won) << row.what;
    }
  }
}

TEST(GameModeRules, TerritoryFitsTheMapAndBasesAreFoundByNumber) {
  struct Row {
    int32_t w, h;
    RECT r;
  };
  for (const Row& row : {Row{5120, 3840, {1920, 1440, 3200, 2400}}, Row{2560, 1920, {640, 480, 1920, 1440}},
                         Row{800, 600, {0, 0, 800, 600}}}) {
    const RECT t = TerritoryFor(row.w, row.h);
    EXPECT_TRUE(t.Left == row.r.Left && t.Top == row.r.Top && t.Right == row.r.Right && t.Bottom == row.r.Bottom)
        << row.w << " x " << row.h;
  }
  BattleState w;
  for (const char* key : {"", "abc", " 580", "587"}) {
    w.Builds.emplace_back();
    w.Builds.back().TypeKey = key;
  }
  EXPECT_EQ(GetBuildIndex(w, 580), 2);
  EXPECT_EQ(GetBuildIndex(w, 12), -1);
}

}  // namespace
}  // namespace fw
