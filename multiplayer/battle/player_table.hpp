#pragma once
// The network battle's players: one record per member of the session, the
// own one first. The table maps players to their units (unit indices are
// each machine's own), keeps scores and territory time, ranks the players
// and sums the team totals.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fw {

struct PlayerRecord {
  int32_t PlayerID = 0;  // the player's session id
  int32_t TankID = -1;   // its unit in the battle's Units; -1 while it has none
  // Another player: seconds since its last tank state. The own record: the
  // respawn timer.
  float Idle = 0.0f;
  uint8_t Team = 0;  // 0 or 1
  std::string Name;  // code page 936, as the session lists it
  int32_t Score = 0;  // kills
  float HeldTime = 0.0f;  // seconds in the territory
  uint8_t Active = 0;     // 1 while the player counts as present
  bool operator==(const PlayerRecord&) const = default;
};

// A team total: the nearest whole number (halves to even), held within a
// Long however large the scores a peer reports.
int32_t SaturatedLong(double v);

class PlayerTable {
 public:
  // A player's short name by its id, "" when the session lists no such id.
  using NameLookup = std::function<std::string(int32_t id)>;

  explicit PlayerTable(NameLookup names = {});

  // Where AddPlayer takes a new player's name: the session's player list.
  NameLookup NameOf;
  std::vector<PlayerRecord> Players{PlayerRecord{}};  // element 0: the own player
  std::vector<PlayerRecord> SortedPlayers{PlayerRecord{}};
  // Team 0's total, team 1's total, and the team-game flag the game modes set.
  std::array<int32_t, 3> TeamScore{};

  // The record of id, found from element 0 or appended with the session's
  // name and no tank.
  int32_t AddPlayer(int32_t id);
  // index 0: the last record with that id, searched down to element 1;
  // another index: that record. The last record takes its place. Element 0
  // and indices outside the table are never removed.
  void RemovePlayer(int32_t id, int32_t index);
  // -1 for id -1; otherwise the first record of id, or AddPlayer(id) unless
  // noAdd (then -1).
  int32_t GetPlayerIndex(int32_t id, bool noAdd);
  std::string GetPlayerName(int32_t id) const;
  // The player whose tank is that unit; -1 for the unit -1 or when none.
  int32_t GetPlayerIDByTank(int32_t tank) const;

  // Ranks a copy of Players into SortedPlayers, by Score and recomputes the
  // team totals from the scores...
  void SortPlayer();
  // ...or by HeldTime, leaving the team totals alone.
  void SortPlayerByTime();
};

}  // namespace fw
