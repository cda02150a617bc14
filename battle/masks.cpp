#include "battle/masks.hpp"

#include <cmath>
#include <cstdlib>

#include "platform/runtime/numeric.hpp"

namespace fw {
namespace {

uint8_t Cell(const std::vector<uint8_t>& grid, int32_t column, int32_t row) {
  return BattleState::InGrid(column, row) ? grid[BattleState::CellIndex(column, row)] : 0;
}

// A cell no unit enters: blocked land or any building.
bool Blocked(const BattleState& world, int32_t column, int32_t row) {
  return Cell(world.LandMask, column, row) == kBlockedLand || Cell(world.BuildMask, column, row) > 0;
}

void AddToCell(BattleState& world, int32_t column, int32_t row, int16_t v) {
  if (!BattleState::InGrid(column, row)) return;
  uint8_t& c = world.BuildMask[BattleState::CellIndex(column, row)];
  const int32_t next = c + v;
  if (next >= 0 && next <= 255) c = static_cast<uint8_t>(next);
}

// The cell of a coordinate; far outside the map (or not a number) it is a
// cell just off the grid, which reads as free.
int32_t CellOf(float v) {
  const double c = std::floor(static_cast<double>(v) / kMaskCell);
  if (!(c >= -1)) return -1;
  if (c > kMaskColumns + kMaskRows) return kMaskColumns + kMaskRows;
  return static_cast<int32_t>(c);
}

// Whether the centre may move along one axis from cell `from` by `delta`
// pixels. The cell ahead of the centre's cell is tested whatever the
// speed; a move of more than one cell (a long frame) also tests every cell
// it passes, so a slow frame cannot carry a unit through a wall.
bool AxisFree(const BattleState& world, bool alongX, int32_t from, int32_t other, float centre, float delta) {
  const int32_t step = delta > 0 ? 1 : -1;
  const int32_t dest = CellOf(centre + delta);
  for (int32_t c = from + step;; c += step) {
    if (alongX ? Blocked(world, c, other) : Blocked(world, other, c)) return false;
    if ((step > 0 && c >= dest) || (step < 0 && c <= dest)) return true;
  }
}

}  // namespace

// A terrain push is refused where it would carry the centre into a blocked
// cell other than the one it stands in.
float PushedTo(const BattleState& world, bool alongX, float from, float to, float other) {
  const int32_t oc = CellOf(other);
  const int32_t a = CellOf(from), b = CellOf(to);
  if (a == b) return to;
  const int32_t step = b > a ? 1 : -1;
  for (int32_t c = a + step;; c += step) {
    if (alongX ? Blocked(world, c, oc) : Blocked(world, oc, c)) return from;
    if (c == b) return to;
  }
}

uint8_t CheckMapMask(const BattleState& world, int32_t x, int32_t y) {
  return Cell(world.LandMask, static_cast<int32_t>(plat::Int(x / 20.0)), static_cast<int32_t>(plat::Int(y / 20.0)));
}

uint8_t CheckBMask(const BattleState& world, int32_t x, int32_t y) {
  return Cell(world.BuildMask, static_cast<int32_t>(plat::RoundHalfEven(x / 20.0)),
              static_cast<int32_t>(plat::RoundHalfEven(y / 20.0)));
}

void PutBMask(BattleState& world, int32_t x, int32_t y, const RECT& footprint, int16_t v) {
  const double w = std::abs(static_cast<double>(footprint.Right) - footprint.Left);
  const double h = std::abs(static_cast<double>(footprint.Bottom) - footprint.Top);
  // Footprints are picture sizes; a damaged one must not make the loops
  // below run for ever.
  if (w > 100000 || h > 100000) return;
  int32_t wc = static_cast<int32_t>(plat::Int(w / 20 + 0.5));
  int32_t half = static_cast<int32_t>(plat::RoundHalfEven(wc / 2.0));
  if (wc % 2 != 0) ++wc;
  const int32_t cx = static_cast<int32_t>(plat::Int(x / 20.0 + 0.5));
  const int32_t cy = static_cast<int32_t>(plat::Int((y + h - w / 2) / 20 + 0.5));
  if (half == 0) {
    AddToCell(world, cx - 1, cy, v);
    AddToCell(world, cx - 1, cy - 1, v);
    AddToCell(world, cx, cy, v);
    AddToCell(world, cx, cy - 1, v);
    return;
  }
  if (half == 1) {
    for (int32_t i = 0; i < wc; ++i) {
      AddToCell(world, cx + i, cy, v);
      AddToCell(world, cx + i, cy - 1, v);
    }
    return;
  }
  if (half % 2 != 0) ++half;
  for (int32_t j = 0; j <= half / 2 - 1; ++j)
    for (int32_t i = half - 2 * (j + 1); i <= wc / 2 - 1; ++i) {
      AddToCell(world, cx + i, cy + j, v);
      AddToCell(world, cx + wc - 1 - i, cy + j, v);
      AddToCell(world, cx + i, cy + half - 1 - j, v);
      AddToCell(world, cx + wc - 1 - i, cy + half - 1 - j, v);
    }
}

void ReCalBMask(BattleState& world) {
  for (auto b = world.Builds.rbegin(); b != world.Builds.rend(); ++b) PutBMask(world, b->DrawX, b->DrawY, b->Footprint, 1);
}

void CheckTerrain(BattleState& world, int32_t i, bool wholePixels) {
  if (i < 0 || static_cast<size_t>(i) >= world.Units.size()) return;
  BattleUnit& u = world.Units[i];
  const float f = world.FrameFactor;
  const auto whole = [wholePixels](float v) { return wholePixels ? static_cast<float>(plat::RoundHalfEven(v)) : v; };
  float cx = whole(u.PosX + u.CenterX);
  float cy = whole(u.PosY + u.CenterY);
  const int32_t gx = CellOf(cx), gy = CellOf(cy);

  const float dx = u.VelocityX * f, dy = u.VelocityY * f;
  if (u.VelocityX != 0) {
    if (AxisFree(world, true, gx, gy, cx, dx))
      u.PosX = u.PosX + dx;
    else
      u.StuckTime = u.StuckTime + f;
  }
  if (u.VelocityY != 0) {
    if (AxisFree(world, false, gy, gx, cy, dy))
      u.PosY = u.PosY + dy;
    else
      u.StuckTime = u.StuckTime + f;
  }

  cx = whole(u.PosX + u.CenterX);
  cy = whole(u.PosY + u.CenterY);
  const uint8_t m = Cell(world.LandMask, gx, gy);
  if (m == 0 || m == kBlockedLand || !BattleState::InGrid(gx, gy)) return;
  if (static_cast<size_t>(m) + 1 >= world.Terrains.size()) return;
  const TerrainArea& a = world.Terrains[m + 1];
  const float v = a.Value;
  float nx = cx, ny = cy;
  switch (a.Kind) {
    case 0:
      nx = cx - u.VelocityX * f * v;
      ny = cy - u.VelocityY * f * v;
      break;
    case 1: nx = cx - std::fabs(u.VelocityX * f * v); break;
    case 2: nx = cx + std::fabs(u.VelocityX * f * v); break;
    case 3: ny = cy - std::fabs(u.VelocityY * f * v); break;
    case 4: ny = cy + std::fabs(u.VelocityY * f * v); break;
    default: return;
  }
  nx = PushedTo(world, true, cx, whole(nx), cy);
  ny = whole(ny);
  ny = PushedTo(world, false, cy, ny, nx);
  u.PosX = nx - u.CenterX;
  u.PosY = ny - u.CenterY;
}

}  // namespace fw
