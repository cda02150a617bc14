// The steering shared by both battles: keys, mouse and the view.
#include "battle/battle_steer.hpp"

#include <algorithm>

#include "battle/battle_sim.hpp"
#include "battle/roster.hpp"
#include "battle/sim_math.hpp"
#include "engine/key_config.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {
bool Is(int16_t code, KeyIndex k) { return code != 0 && code == KeyTable[static_cast<size_t>(k)]; }
}  // namespace

// What needs the player's unit is skipped without it, as the battle's
// handlers skip a failing statement.
BattleUnit* PlayerOf(BattleState& w) {
  if (w.PlayerUnit < 0 || static_cast<size_t>(w.PlayerUnit) >= w.Units.size()) return nullptr;
  return &w.Units[static_cast<size_t>(w.PlayerUnit)];
}

void SteerKeyDown(BattleState& w, int16_t k, bool turretPatrols) {
  BattleUnit* p = PlayerOf(w);
  if (k == vk::kUp || Is(k, KEY_FORWARD)) {
    if (p) p->MoveFB = 1;
  } else if (k == vk::kDown || Is(k, KEY_BACKWARD)) {
    if (p) p->MoveFB = 2;
  } else if (k == vk::kLeft || Is(k, KEY_LEFT)) {
    if (p) p->TurnL = 1;
  } else if (k == vk::kRight || Is(k, KEY_RIGHT)) {
    if (p) p->TurnR = 1;
  } else if (Is(k, KEY_STOP)) {
    if (p) p->PerSpeed = 0;
  } else if (Is(k, KEY_FREESCROLL)) {
    w.FreeScroll = true;
  } else if (Is(k, KEY_SMALLMAP)) {
  } else {
    bool matched = false;
    for (int n = 0; n <= 9 && !matched; ++n) {
      if (!Is(k, static_cast<KeyIndex>(KEY_WEAPON0 + n))) continue;
      matched = true;
      if (p && static_cast<size_t>(n) < p->Weapon.size()) {
        WeaponSlot& slot = p->Weapon[static_cast<size_t>(n)];
        slot.Enabled = static_cast<uint8_t>(1 - slot.Enabled);
        WhichWeaponIndex(w, slot.Key);
      }
    }
    if (matched) return;
    if (Is(k, KEY_TURRENT)) {
      if (turretPatrols && p) p->Style = p->Style != 0 ? 0 : 1;
    } else if (k == vk::kAdd) {
      w.RadarLevel = static_cast<uint8_t>(std::max(1, w.RadarLevel - 1));
    } else if (k == vk::kSubtract) {
      w.RadarLevel = static_cast<uint8_t>(std::min(4, w.RadarLevel + 1));
    } else if (k == vk::kReturn) {
      if (p) p->Fire = 1;
    } else if (k == vk::kTab) {
      w.PanelSwitch = !w.PanelSwitch;
    }
  }
}

void SteerKeyUp(BattleState& w, int16_t k) {
  BattleUnit* p = PlayerOf(w);
  if (!p) return;
  if (k == vk::kDown || Is(k, KEY_BACKWARD) || k == vk::kUp || Is(k, KEY_FORWARD)) {
    p->MoveFB = 0;
  } else if (k == vk::kLeft || Is(k, KEY_LEFT)) {
    p->TurnL = 0;
  } else if (k == vk::kRight || Is(k, KEY_RIGHT)) {
    p->TurnR = 0;
  } else if (Is(k, KEY_FREESCROLL)) {
    w.FreeScroll = false;
  } else if (k == vk::kReturn) {
    p->Fire = 0;
  }
}

void SteerMouseDown(BattleState& w, int16_t button, float x, float y) {
  BattleUnit* p = PlayerOf(w);
  if (button == kButtonLeft) {
    if (p) p->Fire = 1;
  } else if (button == kButtonRight) {
    w.PickedUnit = GetTankAtPos(w, RoundL(x), RoundL(y));
    if (p && w.PickedUnit >= 0) p->TargetTank = w.PickedUnit;
  } else if (button == kButtonMiddle) {
    w.FreeScroll = true;
  }
}

void SteerMouseUp(BattleState& w, int16_t button) {
  BattleUnit* p = PlayerOf(w);
  if (button == kButtonLeft) {
    if (p) p->Fire = 0;
  } else if (button == kButtonMiddle) {
    w.FreeScroll = false;
  }
}

void SteerMouseMove(BattleState& w, float x, float y) {
  w.MouseX = x;
  w.MouseY = y;
  w.HoveredUnit = GetTankAtPos(w, RoundL(x), RoundL(y));
}

void ScrollView(BattleState& w, bool aimAtPointer) {
  plat::Randomize();
  const float step = w.FrameFactor * static_cast<float>(w.ScrollStep);
  if (w.FreeScroll) {
    if (w.MouseX >= 630.0f) w.ScrollX = RoundL(w.ScrollX + step);
    if (w.MouseX <= 10.0f) w.ScrollX = RoundL(w.ScrollX - step);
    if (w.MouseY >= 470.0f) w.ScrollY = RoundL(w.ScrollY + step);
    if (w.MouseY <= 10.0f) w.ScrollY = RoundL(w.ScrollY - step);
  } else if (BattleUnit* p = PlayerOf(w)) {
    int32_t sx = RoundL(p->PosX - static_cast<float>(w.ScrollX));
    int32_t sy = RoundL(p->PosY - static_cast<float>(w.ScrollY));
    if (sx > 0 && sx % 2 == 1) ++sx;
    if (sy > 0 && sy % 2 == 1) ++sy;
    if (aimAtPointer) {
      p->AimX = w.MouseX + static_cast<float>(w.ScrollX);
      p->AimY = w.MouseY + static_cast<float>(w.ScrollY);
    }
    if (sx < 270) w.ScrollX += sx - 270;
    if (sx > 370) w.ScrollX += sx - 370;
    if (sy < 160) w.ScrollY += sy - 160;
    if (sy > 240) w.ScrollY += sy - 240;
  }
  if (w.ScreenShake > 0.0f) {
    w.ScreenShake -= w.FrameFactor;
    w.ScrollX = RoundL(w.ScrollX + plat::Rnd() * 20.0 - 10.0);
    w.ScrollY = RoundL(w.ScrollY + plat::Rnd() * 10.0 - 5.0);
  }
  w.ScrollX = std::max(w.ScrollX, 0);
  w.ScrollY = std::max(w.ScrollY, 0);
  w.ScrollX = std::min(w.ScrollX, w.MapWidth - w.ViewWidth - 1);
  w.ScrollY = std::min(w.ScrollY, w.MapHeight - w.ViewHeight - 1);
}

}  // namespace fw
