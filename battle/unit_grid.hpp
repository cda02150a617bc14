#pragma once
// The units' boxes sorted into coarse map cells, so a point finds the units
// that may hold it without testing every unit. Lists keep roster order, so
// the first unit found is the one a scan from index 0 would find.
#include <cstdint>
#include <vector>

#include "battle/battle_state.hpp"

namespace fw {

// Below this many units a scan of the roster is cheaper than sorting the
// units into cells every frame.
inline constexpr size_t kCellsFromUnits = 48;

struct UnitBox {
  int64_t Left, Top, Right, Bottom;  // edges included, as the point test counts them
};

// The unit's box moved to its position rounded to whole pixels.
UnitBox BoxOf(const BattleUnit& u);

class UnitGrid {
 public:
  // With `sorted` false every look-up scans all units, which is cheaper
  // for a small roster.
  void Build(const BattleState& world, bool sorted = true);
  // The first unit (lowest index) other than `skip` whose box holds (x, y);
  // -1 none.
  int32_t FirstHolding(int32_t x, int32_t y, int32_t skip) const;

 private:
  static constexpr int32_t kCell = 128;
  int32_t CellX(int64_t x) const;
  int32_t CellY(int64_t y) const;
  int32_t columns_ = 0, rows_ = 0;
  bool sorted_ = true;
  std::vector<UnitBox> boxes_;
  std::vector<int32_t> start_;  // per cell, into items_ (one past the end in the last)
  std::vector<int32_t> items_;
  std::vector<int32_t> fill_;
};

}  // namespace fw

namespace fw {

// Units sorted into coarse cells by the corner (PosX, PosY) of their box,
// kept in step while the unit step moves them one by one. Queries answer a
// superset of the units whose corner lies in a window; callers test each
// exactly, so the answers never differ from a scan of the whole roster.
class UnitCells {
 public:
  void Build(const BattleState& world);
  // Unit i has moved.
  void Moved(const BattleState& world, int32_t i);
  // Unit i left the roster and the old last unit took its slot.
  void Removed(int32_t i);
  // Calls f(j) for each unit whose corner may lie in [x0, x1] x [y0, y1].
  template <typename F>
  void ForEachIn(double x0, double y0, double x1, double y1, F&& f) const {
    const int32_t c0 = CellX(x0), c1 = CellX(x1), r0 = CellY(y0), r1 = CellY(y1);
    for (int32_t r = r0; r <= r1; ++r)
      for (int32_t c = c0; c <= c1; ++c)
        for (int32_t j : cells_[static_cast<size_t>(r) * columns_ + c]) f(j);
  }
  // Where unit j stood when it was last sorted, and its team: a compact
  // copy that a search over many units reads instead of the whole records.
  struct Spot {
    float x, y;
    uint8_t team;
  };
  const Spot& At(int32_t j) const { return spots_[static_cast<size_t>(j)]; }
  // The roster this was built for, and how many units it holds.
  const BattleState* World() const { return world_; }
  size_t Count() const { return cellOf_.size(); }
  // The widest and highest box and the farthest box offset in the roster,
  // for windows that must take in every box that may touch a point.
  int32_t MaxWidth() const { return maxWidth_; }
  int32_t MaxHeight() const { return maxHeight_; }
  int32_t MaxOffset() const { return maxOffset_; }

 private:
  static constexpr double kCell = 256.0;
  int32_t CellX(double x) const;
  int32_t CellY(double y) const;
  int32_t CellOf(const BattleUnit& u) const;
  const BattleState* world_ = nullptr;
  int32_t columns_ = 1, rows_ = 1;
  int32_t maxWidth_ = 0, maxHeight_ = 0, maxOffset_ = 0;
  std::vector<std::vector<int32_t>> cells_;
  std::vector<int32_t> cellOf_;
  std::vector<Spot> spots_;
};

// While alive, FindNearestTank on `world` answers from `cells` instead of
// scanning the roster (the steps set it up around their loops).
class NearestFromCells {
 public:
  explicit NearestFromCells(const UnitCells& cells);
  ~NearestFromCells();
  NearestFromCells(const NearestFromCells&) = delete;
  NearestFromCells& operator=(const NearestFromCells&) = delete;
  static const UnitCells* Active(const BattleState& world);

 private:
  const UnitCells* previous_;
};

// The unit step's separation of unit i from the others (MoveTank), given
// every unit's box; with `cells` only the units near i are tested, which
// must come to the same as testing them all (nullptr).
void MoveTankAmong(BattleState& world, int32_t i, const std::vector<UnitBox>& boxes, const UnitCells* cells);

}  // namespace fw
