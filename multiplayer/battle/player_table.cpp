#include "multiplayer/battle/player_table.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace fw {
namespace {

// Every machine must rank the same table the same way, ties included, so the
// ranking is this exact exchange sort: a record moves only past one that is
// strictly ahead of it, yet an exchange with a third record can still swap
// two equal ones.
template <class Key>
void RankInto(std::vector<PlayerRecord>& sorted, const std::vector<PlayerRecord>& players, Key key) {
  sorted = players;
  for (size_t i = 0; i < sorted.size(); ++i) {
    for (size_t j = i + 1; j < sorted.size(); ++j) {
      if (key(sorted[i]) < key(sorted[j])) std::swap(sorted[i], sorted[j]);
    }
  }
}

}  // namespace

int32_t SaturatedLong(double v) {
  constexpr double lo = std::numeric_limits<int32_t>::min();
  constexpr double hi = std::numeric_limits<int32_t>::max();
  if (std::isnan(v)) return 0;
  return static_cast<int32_t>(std::clamp(std::nearbyint(v), lo, hi));
}

PlayerTable::PlayerTable(NameLookup names) : NameOf(std::move(names)) {}

int32_t PlayerTable::AddPlayer(int32_t id) {
  for (size_t i = 0; i < Players.size(); ++i) {
    if (Players[i].PlayerID == id) return static_cast<int32_t>(i);
  }
  PlayerRecord record;
  record.PlayerID = id;
  record.Name = GetPlayerName(id);
  record.TankID = -1;
  Players.push_back(std::move(record));
  return static_cast<int32_t>(Players.size() - 1);
}

void PlayerTable::RemovePlayer(int32_t id, int32_t index) {
  size_t found = 0;
  if (Players.empty()) return;
  if (index == 0) {
    for (size_t i = Players.size() - 1; i >= 1; --i) {
      if (Players[i].PlayerID == id) {
        found = i;
        break;
      }
    }
  } else if (index > 0 && static_cast<size_t>(index) < Players.size()) {
    found = static_cast<size_t>(index);
  }
  if (found == 0) return;
  Players[found] = Players.back();
  Players.pop_back();
}

int32_t PlayerTable::GetPlayerIndex(int32_t id, bool noAdd) {
  if (id == -1) return -1;
  for (size_t i = 0; i < Players.size(); ++i) {
    if (Players[i].PlayerID == id) return static_cast<int32_t>(i);
  }
  return noAdd ? -1 : AddPlayer(id);
}

std::string PlayerTable::GetPlayerName(int32_t id) const { return NameOf ? NameOf(id) : std::string(); }

int32_t PlayerTable::GetPlayerIDByTank(int32_t tank) const {
  if (tank == -1) return -1;
  for (const PlayerRecord& p : Players) {
    if (p.TankID == tank) return p.PlayerID;
  }
  return -1;
}

void PlayerTable::SortPlayer() {
  RankInto(SortedPlayers, Players, [](const PlayerRecord& p) { return p.Score; });
  std::array<int64_t, 2> sums{};
  for (const PlayerRecord& p : Players) {
    if (p.Team <= 1) sums[p.Team] += p.Score;
  }
  for (size_t t = 0; t < 2; ++t) TeamScore[t] = SaturatedLong(static_cast<double>(sums[t]));
}

void PlayerTable::SortPlayerByTime() {
  RankInto(SortedPlayers, Players, [](const PlayerRecord& p) { return p.HeldTime; });
}

}  // namespace fw
