#pragma once
// Stand-in until the player table of the network game lands: the records of
// the players of one battle, element 0 the own player, and their ranking.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fw {

struct PlayerRecord {
  int32_t PlayerID = 0;
  int32_t TankID = -1;
  float Idle = 0.0f;
  uint8_t Team = 0;
  std::string Name;
  int32_t Score = 0;
  float HeldTime = 0.0f;
  uint8_t Active = 0;
  bool operator==(const PlayerRecord&) const = default;
};

class PlayerTable {
 public:
  PlayerTable();
  std::vector<PlayerRecord> Players;
  std::vector<PlayerRecord> SortedPlayers;
  std::array<int32_t, 3> TeamScore{};
  std::function<std::string(int32_t)> NameOf;

  int32_t AddPlayer(int32_t id);
  void RemovePlayer(int32_t id, int32_t index);
  int32_t GetPlayerIndex(int32_t id, bool noAdd);
  std::string GetPlayerName(int32_t id) const;
  int32_t GetPlayerIDByTank(int32_t unit) const;
  void SortPlayer();
  void SortPlayerByTime();
};

}  // namespace fw
