#include "multiplayer/player_table.hpp"

#include <utility>

namespace fw {

PlayerTable::PlayerTable() : Players(1), SortedPlayers(1) {}

int32_t PlayerTable::AddPlayer(int32_t id) {
  for (size_t i = 0; i < Players.size(); ++i)
    if (Players[i].PlayerID == id) return static_cast<int32_t>(i);
  PlayerRecord r;
  r.PlayerID = id;
  r.Name = GetPlayerName(id);
  Players.push_back(std::move(r));
  return static_cast<int32_t>(Players.size() - 1);
}

void PlayerTable::RemovePlayer(int32_t id, int32_t index) {
  int32_t at = -1;
  if (index == 0) {
    for (int32_t i = static_cast<int32_t>(Players.size()) - 1; i >= 1; --i)
      if (Players[i].PlayerID == id) {
        at = i;
        break;
      }
  } else if (index > 0 && static_cast<size_t>(index) < Players.size()) {
    at = index;
  }
  if (at < 1) return;
  Players[at] = Players.back();
  Players.pop_back();
}

int32_t PlayerTable::GetPlayerIndex(int32_t id, bool noAdd) {
  if (id == -1) return -1;
  for (size_t i = 0; i < Players.size(); ++i)
    if (Players[i].PlayerID == id) return static_cast<int32_t>(i);
  return noAdd ? -1 : AddPlayer(id);
}

std::string PlayerTable::GetPlayerName(int32_t id) const { return NameOf ? NameOf(id) : std::string(); }

int32_t PlayerTable::GetPlayerIDByTank(int32_t unit) const {
  if (unit == -1) return -1;
  for (const PlayerRecord& p : Players)
    if (p.TankID == unit) return p.PlayerID;
  return -1;
}

void PlayerTable::SortPlayer() {
  SortedPlayers = Players;
  TeamScore[0] = TeamScore[1] = 0;
  for (size_t i = 0; i < SortedPlayers.size(); ++i) {
    for (size_t j = i + 1; j < SortedPlayers.size(); ++j)
      if (SortedPlayers[i].Score < SortedPlayers[j].Score) std::swap(SortedPlayers[i], SortedPlayers[j]);
    if (Players[i].Team == 0) TeamScore[0] += Players[i].Score;
    if (Players[i].Team == 1) TeamScore[1] += Players[i].Score;
  }
}

void PlayerTable::SortPlayerByTime() {
  SortedPlayers = Players;
  for (size_t i = 0; i < SortedPlayers.size(); ++i)
    for (size_t j = i + 1; j < SortedPlayers.size(); ++j)
      if (SortedPlayers[i].HeldTime < SortedPlayers[j].HeldTime) std::swap(SortedPlayers[i], SortedPlayers[j]);
}

}  // namespace fw
