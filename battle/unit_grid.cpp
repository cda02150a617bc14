#include "battle/unit_grid.hpp"

#include <algorithm>

#include "battle/sim_math.hpp"

namespace fw {

UnitBox BoxOf(const BattleUnit& u) {
  const int64_t x = RoundL(u.PosX), y = RoundL(u.PosY);
  return UnitBox{u.DescRECT.Left + x, u.DescRECT.Top + y, u.DescRECT.Right + x, u.DescRECT.Bottom + y};
}

int32_t UnitGrid::CellX(int64_t x) const {
  return static_cast<int32_t>(std::clamp<int64_t>(x < 0 ? -1 : x / kCell, 0, columns_ - 1));
}
int32_t UnitGrid::CellY(int64_t y) const {
  return static_cast<int32_t>(std::clamp<int64_t>(y < 0 ? -1 : y / kCell, 0, rows_ - 1));
}

void UnitGrid::Build(const BattleState& world, bool sorted) {
  boxes_.clear();
  for (const BattleUnit& u : world.Units) boxes_.push_back(BoxOf(u));
  sorted_ = sorted;
  if (!sorted) return;
  // Anything off the map lands in the border cells; the exact test after
  // the look-up keeps the answer right.
  columns_ = std::clamp(world.MapWidth / kCell + 1, 1, 256);
  rows_ = std::clamp(world.MapHeight / kCell + 1, 1, 256);
  const size_t cells = static_cast<size_t>(columns_) * rows_;
  start_.assign(cells + 1, 0);
  auto each = [&](const UnitBox& b, auto&& f) {
    const int32_t c0 = CellX(b.Left), c1 = CellX(b.Right), r0 = CellY(b.Top), r1 = CellY(b.Bottom);
    for (int32_t r = r0; r <= r1; ++r)
      for (int32_t c = c0; c <= c1; ++c) f(static_cast<size_t>(r) * columns_ + c);
  };
  for (const UnitBox& b : boxes_) each(b, [&](size_t cell) { ++start_[cell + 1]; });
  for (size_t k = 1; k <= cells; ++k) start_[k] += start_[k - 1];
  items_.assign(static_cast<size_t>(start_[cells]), 0);
  std::vector<int32_t>& fill = fill_;
  fill.assign(start_.begin(), start_.end() - 1);
  for (size_t i = 0; i < boxes_.size(); ++i)
    each(boxes_[i], [&](size_t cell) { items_[static_cast<size_t>(fill[cell]++)] = static_cast<int32_t>(i); });
}

int32_t UnitGrid::FirstHolding(int32_t x, int32_t y, int32_t skip) const {
  if (boxes_.empty()) return -1;
  const auto holds = [&](int32_t i) {
    const UnitBox& b = boxes_[static_cast<size_t>(i)];
    return i != skip && x >= b.Left && x <= b.Right && y >= b.Top && y <= b.Bottom;
  };
  if (!sorted_) {
    for (size_t i = 0; i < boxes_.size(); ++i)
      if (holds(static_cast<int32_t>(i))) return static_cast<int32_t>(i);
    return -1;
  }
  const size_t cell = static_cast<size_t>(CellY(y)) * columns_ + CellX(x);
  for (int32_t k = start_[cell]; k < start_[cell + 1]; ++k)
    if (holds(items_[static_cast<size_t>(k)])) return items_[static_cast<size_t>(k)];
  return -1;
}

}  // namespace fw

namespace fw {
namespace {
thread_local const UnitCells* g_active = nullptr;

int32_t ClampCell(double v, double cell, int32_t count) {
  if (!(v >= 0.0)) return 0;  // also NaN
  const double c = v / cell;
  return c >= count - 1 ? count - 1 : static_cast<int32_t>(c);
}
}  // namespace

int32_t UnitCells::CellX(double x) const { return ClampCell(x, kCell, columns_); }
int32_t UnitCells::CellY(double y) const { return ClampCell(y, kCell, rows_); }
int32_t UnitCells::CellOf(const BattleUnit& u) const { return CellY(u.PosY) * columns_ + CellX(u.PosX); }

void UnitCells::Build(const BattleState& world) {
  world_ = &world;
  columns_ = std::clamp(static_cast<int32_t>(world.MapWidth / kCell) + 1, 1, 256);
  rows_ = std::clamp(static_cast<int32_t>(world.MapHeight / kCell) + 1, 1, 256);
  cells_.resize(static_cast<size_t>(columns_) * rows_);
  for (auto& c : cells_) c.clear();
  cellOf_.clear();
  spots_.clear();
  maxWidth_ = maxHeight_ = maxOffset_ = 0;
  for (size_t i = 0; i < world.Units.size(); ++i) {
    const BattleUnit& u = world.Units[i];
    const int32_t cell = CellOf(u);
    cells_[static_cast<size_t>(cell)].push_back(static_cast<int32_t>(i));
    cellOf_.push_back(cell);
    spots_.push_back(Spot{u.PosX, u.PosY, u.Team});
    const RECT& d = u.DescRECT;
    maxWidth_ = std::max<int32_t>(maxWidth_, std::abs(d.Right - d.Left));
    maxHeight_ = std::max<int32_t>(maxHeight_, std::abs(d.Bottom - d.Top));
    maxOffset_ = std::max({maxOffset_, std::abs(d.Left), std::abs(d.Top), std::abs(d.Right), std::abs(d.Bottom)});
  }
}

void UnitCells::Moved(const BattleState& world, int32_t i) {
  const BattleUnit& u = world.Units[static_cast<size_t>(i)];
  spots_[static_cast<size_t>(i)] = Spot{u.PosX, u.PosY, u.Team};
  const int32_t cell = CellOf(u);
  int32_t& was = cellOf_[static_cast<size_t>(i)];
  if (cell == was) return;
  auto& from = cells_[static_cast<size_t>(was)];
  from.erase(std::find(from.begin(), from.end(), i));
  cells_[static_cast<size_t>(cell)].push_back(i);
  was = cell;
}

void UnitCells::Removed(int32_t i) {
  const int32_t last = static_cast<int32_t>(cellOf_.size()) - 1;
  if (i < 0 || i > last) return;
  auto& home = cells_[static_cast<size_t>(cellOf_[static_cast<size_t>(i)])];
  home.erase(std::find(home.begin(), home.end(), i));
  if (i != last) {
    auto& lastHome = cells_[static_cast<size_t>(cellOf_[static_cast<size_t>(last)])];
    *std::find(lastHome.begin(), lastHome.end(), last) = i;
    cellOf_[static_cast<size_t>(i)] = cellOf_[static_cast<size_t>(last)];
    spots_[static_cast<size_t>(i)] = spots_[static_cast<size_t>(last)];
  }
  cellOf_.pop_back();
  spots_.pop_back();
}

NearestFromCells::NearestFromCells(const UnitCells& cells) : previous_(g_active) { g_active = &cells; }
NearestFromCells::~NearestFromCells() { g_active = previous_; }
const UnitCells* NearestFromCells::Active(const BattleState& world) {
  return g_active && g_active->World() == &world && g_active->Count() == world.Units.size() ? g_active : nullptr;
}

}  // namespace fw
