#include "tests/missions/perception.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace fw::playtest {
namespace {

// The tank sheets hold 72 headings: the drawn tank tells its heading to
// five degrees.
constexpr float kDrawnStep = 5.0f;

}  // namespace

bool ScreenCover::Shows(float sx, float sy) {
  if (sx < 0 || sx > 639 || sy < 0 || sy >= kPanelTop) return false;
  return !(sx >= kPlateLeft && sx <= kPlateRight && sy >= kPlateTop && sy <= kPlateBottom);
}

Sight Perceive(const BattleState& w) {
  Sight s;
  if (w.PlayerUnit < 0 || static_cast<size_t>(w.PlayerUnit) >= w.Units.size()) return s;
  const BattleUnit& p = w.Units[static_cast<size_t>(w.PlayerUnit)];
  s.Alive = true;
  s.X = p.PosX + p.CenterX;
  s.Y = p.PosY + p.CenterY;
  s.Heading = std::fmod(std::round(p.HeadAngle / kDrawnStep) * kDrawnStep, 360.0f);
  s.ScrollX = w.ScrollX;
  s.ScrollY = w.ScrollY;
  s.Hull = p.HP;
  s.HasShield = p.ShieldFull > 0;
  s.Shield = s.HasShield ? p.Shield / p.ShieldFull : 0;
  s.Energy = p.EnergyFull > 0 ? p.Energy / p.EnergyFull : 0;
  s.Throttle = p.PerSpeed;
  s.Speed = p.TopSpeed > 0 ? p.Speed / p.TopSpeed : 0;
  s.RadarLevel = w.RadarLevel;
  for (const WeaponSlot& g : p.Weapon)
    if (g.Energy > 0 || g.Ammo > 0) s.Range = std::max(s.Range, static_cast<float>(g.Range));

  const float vl = static_cast<float>(w.ScrollX), vt = static_cast<float>(w.ScrollY);
  const auto shows = [&](float x, float y) { return ScreenCover::Shows(x - vl, y - vt); };
  // The radar: a pixel stands for `scale` map pixels, measured from the
  // player's own dot.
  const float level = w.RadarLevel, scale = level * 40.0f;
  const float px = std::round(p.PosX), py = std::round(p.PosY);
  const auto radar = [&](float d) { return std::round(d / scale) * scale; };
  for (size_t i = 0; i < w.Units.size(); ++i) {
    if (static_cast<int32_t>(i) == w.PlayerUnit) continue;
    const BattleUnit& u = w.Units[i];
    const bool enemy = u.Team != p.Team;
    if (shows(u.PosX + u.CenterX, u.PosY + u.CenterY)) {
      s.Units.push_back({u.PosX + u.CenterX, u.PosY + u.CenterY, enemy, true});
    } else if (std::abs(u.PosX - px) <= level * 1200.0f && std::abs(u.PosY - py) <= level * 1400.0f) {
      s.Units.push_back({p.PosX + radar(u.PosX - px) + p.CenterX, p.PosY + radar(u.PosY - py) + p.CenterY, enemy, false});
    }
  }
  // A building is known by its picture: seen when the middle or any part
  // of the inner half of its footprint shows.
  for (const BuildingInstance& b : w.Builds) {
    const float half = b.Footprint.Right / 2.0f;
    const float l = static_cast<float>(b.DrawX), t = static_cast<float>(b.DrawY);
    const float fw = static_cast<float>(b.Footprint.Right), fh = static_cast<float>(b.Footprint.Bottom);
    bool seen = false;
    for (float fx : {0.25f, 0.5f, 0.75f})
      for (float fy : {0.25f, 0.5f, 0.75f}) seen = seen || shows(l + fx * fw, t + fy * fh);
    if (seen) s.Buildings.push_back({std::atoi(b.TypeKey.c_str()), l + half, static_cast<float>(b.Y), half});
  }
  // The ground: every cell whose middle the view shows.
  const int32_t c0 = std::max(0, w.ScrollX / kMaskCell), r0 = std::max(0, w.ScrollY / kMaskCell);
  for (int32_t r = r0; r <= r0 + 480 / kMaskCell + 1; ++r)
    for (int32_t c = c0; c <= c0 + 640 / kMaskCell + 1; ++c) {
      if (!BattleState::InGrid(c, r) || !shows((c + 0.5f) * kMaskCell, (r + 0.5f) * kMaskCell)) continue;
      const int32_t k = BattleState::CellIndex(c, r);
      const size_t i = static_cast<size_t>(k);
      s.Ground.emplace_back(k, w.LandMask[i] != kBlockedLand && w.BuildMask[i] == 0);
    }
  if (w.GoalX >= 1 && w.GoalY >= 1 && std::abs(w.GoalY - py) <= level * 1800.0f &&
      std::abs(w.GoalX - px) <= level * 1600.0f) {
    s.Goal = true;
    s.GoalX = px + radar(static_cast<float>(w.GoalX) - px);
    s.GoalY = py + radar(static_cast<float>(w.GoalY) - py);
  }
  return s;
}

}  // namespace fw::playtest
