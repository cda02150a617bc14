// The control panel under the battlefield: the pilot, the bars and gauges
// of the player's unit, its weapon boxes, the radar, the picked target's
// bars and the help that pops up over a part of the panel.
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "battle/battle_draw_util.hpp"
#include "battle/battle_view.hpp"
#include "battle/sim_math.hpp"
#include "engine/helpers.hpp"
#include "engine/surfaces.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {
constexpr int32_t kKeyedWait = plat::DDBLTFAST_SRCCOLORKEY | plat::DDBLTFAST_WAIT;
constexpr int32_t kPlainWait = plat::DDBLTFAST_WAIT;

// Top-left corners of the 30 x 6 boxes of weapons 0 to 8; a tenth weapon
// has no place on the panel.
constexpr std::array<std::array<int32_t, 2>, 9> kWeaponBoxes{{
    {254, 390}, {222, 401}, {258, 401}, {212, 413}, {261, 413}, {366, 389}, {363, 400}, {398, 400}, {359, 412}}};

// The help hot spots, edges inside: radar, target bars, weapon boxes,
// gauges, hull, shield and energy bars.
constexpr std::array<RECT, 7> kHotSpots{{{547, 364, 637, 470},
                                         {17, 305, 114, 349},
                                         {210, 383, 430, 423},
                                         {444, 448, 528, 479},
                                         {8, 386, 39, 473},
                                         {46, 386, 74, 473},
                                         {83, 386, 111, 473}}};

constexpr uint16_t kBoxOn = 0xC800;   // RGBTo565(200, 0, 0)
constexpr uint16_t kBoxOff = 0x6000;  // RGBTo565(100, 0, 0)

// "####": the number without leading zeros; nothing for 0.
std::string FourHashes(int32_t n) { return n == 0 ? std::string() : std::to_string(n); }

bool Inside(const RECT& r, int32_t x, int32_t y) { return x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom; }
}  // namespace

void BattleView::DrawPanel(const plat::SurfacePtr& target) {
  BattleState& w = world_;
  plat::Randomize();
  if (w.PlayerUnit < 0 || static_cast<size_t>(w.PlayerUnit) >= w.Units.size() || !target) return;
  const BattleUnit& p = w.Units[static_cast<size_t>(w.PlayerUnit)];

  const auto panel = Image(w.Named.Panel);
  const RECT panelRect = GetSurfaceSize(panel);
  if (!w.PanelSwitch) {
    if (panel) BltFastWhole(*target, 0, 229, *panel, panelRect, kKeyedWait);
    if (w.WeaponClassIndex > 0) {
      if (const auto icon = Image(w.Named.WeaponID)) {
        RECT src;
        GetCellRect(src, icon, 1, 6, w.WeaponClassIndex);
        BltFastWhole(*target, 298, 386, *icon, src, kKeyedWait);
      }
    }
  } else if (const auto panel2 = Image(w.Named.Panel2)) {
    BltFastWhole(*target, 0, 229, *panel2, panelRect, kKeyedWait);
  }

  DrawPortrait(target);

  if (const auto grid1 = Image(w.Named.Grid1)) {
    auto bar = [&](int32_t cell, int32_t x, double ratio) {
      RECT src;
      GetCellRect(src, grid1, 3, 1, cell);
      src.Top = RoundL(src.Bottom - plat::Int(src.Bottom * ratio));
      BltFastWhole(*target, x, 401 + src.Top, *grid1, src, kKeyedWait);
    };
    if (p.EnergyFull > 0) bar(1, 87, p.Energy / p.EnergyFull);
    if (p.ShieldFull > 0) bar(2, 51, p.Shield / p.ShieldFull);
    bar(3, 15, p.HP / 100.0);
  }

  if (const auto grid2 = Image(w.Named.Grid2)) {
    const RECT whole = GetSurfaceSize(grid2);
    // Column 30 of the gauge is its zero: forwards grows right of it,
    // backwards left of it.
    auto gauge = [&](int32_t y, double forward, double backward, bool ahead) {
      RECT src = whole;
      if (ahead) {
        src.Left = 30;
        src.Right = RoundL((whole.Right - 30) * forward + 30);
        BltFastWhole(*target, 477, y, *grid2, src, kKeyedWait);
      } else {
        src.Right = 30;
        src.Left = RoundL(30 - backward * 30);
        BltFastWhole(*target, 447 + src.Left, y, *grid2, src, kKeyedWait);
      }
    };
    gauge(451, p.PerSpeed / 100.0, std::abs(p.PerSpeed) / 50.0, p.PerSpeed >= 0);
    if (p.TopSpeed > 0)
      gauge(465, p.Speed / p.TopSpeed, std::abs(p.Speed) / (p.TopSpeed * 0.5), p.Speed >= 0);
  }

  for (size_t i = 0; i < p.Weapon.size() && i < kWeaponBoxes.size(); ++i) {
    const WeaponSlot& s = p.Weapon[i];
    const int32_t x = kWeaponBoxes[i][0], y = kWeaponBoxes[i][1];
    FillWhole(*target, {x, y, x + 30, y + 6}, s.Enabled == 1 ? kBoxOn : kBoxOff);
    if (s.Energy == 0.0f && s.Ammo > 0) {
      SetSurfaceFont(target, "Small Fonts", 5.0f, plat::RGB(0, 255, 0), false);
      target->DrawText(x + 5, y - 2, FourHashes(s.Ammo));
    }
  }

  DrawRader(target);
  target->SetForeColor(plat::RGB(0, 255, 0));

  if (w.PickedUnit >= 0 && static_cast<size_t>(w.PickedUnit) < w.Units.size()) {
    const BattleUnit& t = w.Units[static_cast<size_t>(w.PickedUnit)];
    if (const auto grid3 = Image(w.Named.Grid3)) {
      auto bar = [&](int32_t cell, int32_t y, double ratio) {
        RECT src;
        GetCellRect(src, grid3, 1, 3, cell);
        src.Right = static_cast<int32_t>(plat::Int(src.Right * ratio));
        BltFastWhole(*target, 30, y, *grid3, src, kKeyedWait);
      };
      if (t.EnergyFull > 0) bar(1, 307, t.Energy / t.EnergyFull);
      if (t.ShieldFull > 0) bar(2, 324, t.Shield / t.ShieldFull);
      if (t.HP > 0) bar(3, 341, t.HP / 100.0);
    }
  }

  if (Look.HelpPopups) PopupHelp(RoundL(w.MouseX), RoundL(w.MouseY), target);
}

void BattleView::DrawPortrait(const plat::SurfacePtr& target) {
  const auto girl = pictures_.Surface(PictureList::Girl, 0);
  const int32_t c = world_.Girl.RepeatX > 0 ? world_.Girl.RepeatX : 33;
  const int32_t r = world_.Girl.RepeatY > 0 ? world_.Girl.RepeatY : 1;
  portraitPos_ += world_.FrameFactor * 0.06f;
  if (static_cast<int32_t>(plat::Int(portraitPos_)) > c) {
    portraitPos_ = 0.0f;
    portraitRow_ = static_cast<int32_t>(plat::Int(plat::Rnd() * (r + 2)));
  }
  const int32_t cell = portraitRow_ >= r ? 1 : portraitRow_ * c + static_cast<int32_t>(plat::Int(portraitPos_));
  if (!girl) return;
  RECT src;
  GetCellRect(src, girl, c, r, cell);
  BltFastWhole(*target, 130, 390, *girl, src, kPlainWait);
}

void BattleView::DrawRader(const plat::SurfacePtr& target) {
  BattleState& w = world_;
  if (w.PlayerUnit < 0 || static_cast<size_t>(w.PlayerUnit) >= w.Units.size()) return;
  // One radar for the frame; black is its see-through colour.
  plat::Surface radar(60, 70);
  radar.SetColorKey(plat::DDCKEY_SRCBLT, 0, 0);
  const BattleUnit& p = w.Units[static_cast<size_t>(w.PlayerUnit)];
  const int32_t px = RoundL(p.PosX), py = RoundL(p.PosY);
  const double level = w.RadarLevel;
  const double scale = level * 40.0;
  for (const BattleUnit& u : w.Units) {
    if (std::abs(u.PosX - px) > level * 1200.0 || std::abs(u.PosY - py) > level * 1400.0) continue;
    radar.SetForeColor(u.Team == p.Team ? plat::RGB(0, 255, 0) : plat::RGB(255, 0, 0));
    radar.DrawCircle(RoundL((u.PosX - px) / scale + 30.0), RoundL((u.PosY - py) / scale + 35.0), 1);
  }
  const int32_t markX = Look.OwnMark ? Look.MarkX : w.GoalX;
  const int32_t markY = Look.OwnMark ? Look.MarkY : w.GoalY;
  if (markX >= 1 && markY >= 1) {
    radarBlink_ += w.FrameFactor / 2.0f;
    if (radarBlink_ >= 20.0f) radarBlink_ = 0.0f;
    if (std::abs(markY - py) <= level * 1800.0 && std::abs(markX - px) <= level * 1600.0) {
      radar.SetForeColor(plat::RGB(255, 255, 0));
      radar.DrawCircle(RoundL((markX - px) / scale + 30.0), RoundL((markY - py) / scale + 35.0),
                       RoundL(radarBlink_));
    }
  }
  const RECT& t = Look.Territory;
  if (t.Top > 0 || t.Left > 0) {
    // The unit dots' scale and centre; the radar surface cuts what lies
    // beyond its edges.
    const double s = static_cast<double>(w.RadarLevel) * 40.0;
    radar.SetForeColor(plat::RGB(0, 255, 255));
    radar.DrawBox(RoundL((t.Left - px) / s) + 30, RoundL((t.Top - py) / s) + 35, RoundL((t.Right - px) / s) + 30,
                  RoundL((t.Bottom - py) / s) + 35);
  }
  BltFastWhole(*target, 560, 381, radar, {0, 0, 60, 70}, kKeyedWait);
}

void BattleView::PopupHelp(int32_t x, int32_t y, const plat::SurfacePtr& target) {
  const auto popup = Image(world_.Named.Popup1);
  if (!popup || !target) return;
  for (size_t n = 0; n < kHotSpots.size(); ++n) {
    if (!Inside(kHotSpots[n], x, y)) continue;
    RECT src;
    GetCellRect(src, popup, 1, 7, static_cast<int32_t>(n + 1));
    int32_t px = x;
    if (x + src.Right > 639) px = 639 - src.Right;
    BltFastWhole(*target, px, y - 10, *popup, src, kPlainWait);
    return;
  }
}

}  // namespace fw
