#include "multiplayer/battle/player_table.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace fw {
namespace {

// Records A, B, C, ... with ids 1, 2, 3, ...; A is the own record.
PlayerTable Table(const std::vector<int32_t>& scores, const std::vector<float>& held = {},
                  const std::vector<uint8_t>& teams = {}) {
  PlayerTable t([](int32_t id) { return id == 7 ? std::string("\xd5\xc5\xc8\xfd") : std::string(); });
  t.Players.clear();
  for (size_t i = 0; i < scores.size(); ++i) {
    PlayerRecord r;
    r.PlayerID = static_cast<int32_t>(i + 1);
    r.Name = std::string(1, static_cast<char>('A' + i));
    r.Score = scores[i];
    r.HeldTime = i < held.size() ? held[i] : 0.0f;
    r.Team = i < teams.size() ? teams[i] : 0;
    t.Players.push_back(r);
  }
  return t;
}

std::string Names(const std::vector<PlayerRecord>& records) {
  std::string s;
  for (const PlayerRecord& r : records) s += r.Name;
  return s;
}

TEST(PlayerTable, RanksByTheGamesExchangeSort) {
  struct Row {
    std::vector<int32_t> scores;
    const char* order;
  };
  const std::vector<Row> rows = {
      {{3, 5, 3, 5}, "BDCA"},  // equals can change places through a third record
      {{1, 2, 3}, "CBA"},
      {{5, 5}, "AB"},
      {{0}, "A"},
      {{2, 9, 2, 2, 9}, "BECDA"},
  };
  for (const Row& row : rows) {
    PlayerTable t = Table(row.scores);
    t.SortPlayer();
    EXPECT_EQ(Names(t.SortedPlayers), row.order);
    // The same table ranked by held time ranks the same way.
    std::vector<float> held(row.scores.begin(), row.scores.end());
    PlayerTable byTime = Table(std::vector<int32_t>(row.scores.size(), 0), held);
    byTime.TeamScore = {7, 8, 1};
    byTime.SortPlayerByTime();
    EXPECT_EQ(Names(byTime.SortedPlayers), row.order);
    EXPECT_EQ(byTime.TeamScore, (std::array<int32_t, 3>{7, 8, 1}));
  }
}

TEST(PlayerTable, TeamTotalsCountOnlyTeamsZeroAndOne) {
  PlayerTable t = Table({1, 2, 4, 8}, {}, {0, 1, 2, 0});
  t.TeamScore[2] = 1;
  t.SortPlayer();
  EXPECT_EQ(t.TeamScore, (std::array<int32_t, 3>{9, 2, 1}));
  // Scores a peer reported cannot overflow a total.
  PlayerTable big = Table({INT_MAX, INT_MAX, 5}, {}, {0, 0, 1});
  big.SortPlayer();
  EXPECT_EQ(big.TeamScore[0], INT_MAX);
  EXPECT_EQ(big.TeamScore[1], 5);
}

TEST(PlayerTable, LooksPlayersUpWithoutPhantoms) {
  PlayerTable t = Table({0, 0});
  t.Players[1].TankID = 4;
  // Id -1 is nobody, whatever noAdd says.
  EXPECT_EQ(t.GetPlayerIndex(-1, false), -1);
  EXPECT_EQ(t.GetPlayerIndex(-1, true), -1);
  EXPECT_EQ(t.GetPlayerIndex(9, true), -1);
  EXPECT_EQ(t.Players.size(), 2u);
  // Unit -1 belongs to nobody even though A has no tank.
  EXPECT_EQ(t.GetPlayerIDByTank(-1), -1);
  EXPECT_EQ(t.GetPlayerIDByTank(4), 2);
  EXPECT_EQ(t.GetPlayerIDByTank(5), -1);
  // A present id is found and left as it is.
  const PlayerRecord before = t.Players[1];
  EXPECT_EQ(t.AddPlayer(2), 1);
  EXPECT_EQ(t.Players[1], before);
  // A new id takes the session's name and no tank.
  EXPECT_EQ(t.GetPlayerIndex(7, false), 2);
  EXPECT_EQ(t.Players[2].Name, "\xd5\xc5\xc8\xfd");
  EXPECT_EQ(t.Players[2].TankID, -1);
  EXPECT_EQ(t.AddPlayer(8), 3);
  EXPECT_EQ(t.Players[3].Name, "");
  EXPECT_EQ(PlayerTable().GetPlayerName(3), "");
}

TEST(PlayerTable, RemovesByIdOrIndexButNeverTheOwnRecord) {
  struct Row {
    const char* what;
    std::vector<int32_t> ids;  // ids of the records, element 0 first
    int32_t id;
    int32_t index;
    std::vector<int32_t> after;
  };
  const std::vector<Row> rows = {
      {"the only other player", {1, 2}, 2, 0, {1}},
      {"the last takes the gap", {1, 2, 3, 4}, 2, 0, {1, 4, 3}},
      {"the last of two equal ids", {1, 2, 3, 2}, 2, 0, {1, 2, 3}},
      {"an unknown id", {1, 2}, 9, 0, {1, 2}},
      {"the own id by search", {1, 2}, 1, 0, {1, 2}},
      {"by index, without a search", {1, 2, 3}, 99, 1, {1, 3}},
      {"an index past the end", {1, 2}, 2, 5, {1, 2}},
      {"a negative index", {1, 2}, 2, -3, {1, 2}},
  };
  for (const Row& row : rows) {
    PlayerTable t;
    t.Players.clear();
    for (int32_t id : row.ids) {
      PlayerRecord r;
      r.PlayerID = id;
      t.Players.push_back(r);
    }
    t.RemovePlayer(row.id, row.index);
    std::vector<int32_t> ids;
    for (const PlayerRecord& r : t.Players) ids.push_back(r.PlayerID);
    EXPECT_EQ(ids, row.after) << row.what;
  }
}

}  // namespace
}  // namespace fw
