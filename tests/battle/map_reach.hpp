#pragma once
// Where a unit can drive on a loaded map: the cells that a unit's centre
// reaches from a start cell by steps to the four neighbours, over the land
// and building masks at their cell size. The campaign's and the network
// game's map checks both stand on it.
#include <cmath>
#include <queue>
#include <vector>

#include "battle/battle_state.hpp"

namespace fw::reach {

struct Cell {
  int32_t c, r;
};

inline Cell CellAt(float x, float y) {
  return {static_cast<int32_t>(std::floor(x / kMaskCell)), static_cast<int32_t>(std::floor(y / kMaskCell))};
}

inline bool Free(const BattleState& w, Cell k) {
  if (!BattleState::InGrid(k.c, k.r)) return false;
  const size_t i = static_cast<size_t>(BattleState::CellIndex(k.c, k.r));
  return w.LandMask[i] != kBlockedLand && w.BuildMask[i] == 0;
}

// The cells reachable from `from` by steps to the four neighbours.
inline std::vector<bool> Reachable(const BattleState& w, Cell from) {
  std::vector<bool> seen(static_cast<size_t>(kMaskBytes), false);
  if (!Free(w, from)) return seen;
  std::queue<Cell> open;
  open.push(from);
  seen[static_cast<size_t>(BattleState::CellIndex(from.c, from.r))] = true;
  while (!open.empty()) {
    const Cell k = open.front();
    open.pop();
    for (Cell n : {Cell{k.c + 1, k.r}, Cell{k.c - 1, k.r}, Cell{k.c, k.r + 1}, Cell{k.c, k.r - 1}}) {
      if (!Free(w, n)) continue;
      auto at = seen.begin() + BattleState::CellIndex(n.c, n.r);
      if (*at) continue;
      *at = true;
      open.push(n);
    }
  }
  return seen;
}

class Reach {
 public:
  Reach(const BattleState& w, Cell from) : seen_(Reachable(w, from)) {}
  bool At(Cell k) const {
    return BattleState::InGrid(k.c, k.r) && seen_[static_cast<size_t>(BattleState::CellIndex(k.c, k.r))];
  }
  // Some reachable cell within `radius` pixels of a point.
  bool Near(float x, float y, float radius) const {
    const Cell lo = CellAt(x - radius, y - radius), hi = CellAt(x + radius, y + radius);
    for (int32_t r = lo.r; r <= hi.r; ++r)
      for (int32_t c = lo.c; c <= hi.c; ++c)
        if (At({c, r})) return true;
    return false;
  }

 private:
  std::vector<bool> seen_;
};

}  // namespace fw::reach
