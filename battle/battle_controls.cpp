// The battle's keyboard and mouse, the exit question and the view's
// scrolling.
#include <algorithm>

#include "battle/battle_input.hpp"
#include "battle/battle_screen.hpp"
#include "battle/battle_sim.hpp"
#include "battle/roster.hpp"
#include "battle/sim_math.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "engine/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {
constexpr int16_t kVkTab = 9;
constexpr int16_t kVkReturn = 13;
constexpr int16_t kVkEscape = 27;
constexpr int16_t kVkLeft = 37;
constexpr int16_t kVkUp = 38;
constexpr int16_t kVkRight = 39;
constexpr int16_t kVkDown = 40;
constexpr int16_t kVkY = 89;
constexpr int16_t kVkAdd = 107;
constexpr int16_t kVkSubtract = 109;
constexpr int16_t kVkF2 = 113;
constexpr int16_t kVkF3 = 114;
constexpr int16_t kVkF7 = 118;
constexpr int16_t kShiftAlt = 1 | 4;
constexpr float kMessageTime = 300.0f;
constexpr int16_t kButtonLeft = 1;
constexpr int16_t kButtonRight = 2;
constexpr int16_t kButtonMiddle = 4;

bool Is(int16_t code, KeyIndex k) { return code != 0 && code == KeyTable[static_cast<size_t>(k)]; }

}  // namespace

// What needs the player's unit is skipped without it, as the battle's
// handlers skip a failing statement.
BattleUnit* PlayerOf(BattleState& w) {
  if (w.PlayerUnit < 0 || static_cast<size_t>(w.PlayerUnit) >= w.Units.size()) return nullptr;
  return &w.Units[static_cast<size_t>(w.PlayerUnit)];
}

bool BattleKeyDown(BattleState& w, BattleOutput& out, int16_t k, bool turretPatrols) {
  BattleUnit* p = PlayerOf(w);
  if (k == kVkF2) {
    w.StickSwitch = w.StickSwitch ? 0 : -1;
    out.PlaySoundKey("Bleep01");
    ShowMsg(w, w.StickSwitch ? "Use the Stick" : "Not Use the Stick", kMessageTime);
  } else if (k == kVkEscape) {
    return true;
  } else if (k == kVkUp || Is(k, KEY_FORWARD)) {
    if (p) p->MoveFB = 1;
  } else if (k == kVkDown || Is(k, KEY_BACKWARD)) {
    if (p) p->MoveFB = 2;
  } else if (k == kVkLeft || Is(k, KEY_LEFT)) {
    if (p) p->TurnL = 1;
  } else if (k == kVkRight || Is(k, KEY_RIGHT)) {
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
    if (!matched && Is(k, KEY_TURRENT)) {
      if (turretPatrols && p) p->Style = p->Style != 0 ? 0 : 1;
    } else if (!matched) {
      if (k == kVkAdd) {
        w.RadarLevel = static_cast<uint8_t>(std::max(1, w.RadarLevel - 1));
      } else if (k == kVkSubtract) {
        w.RadarLevel = static_cast<uint8_t>(std::min(4, w.RadarLevel + 1));
      } else if (k == kVkReturn) {
        if (p) p->Fire = 1;
      } else if (k == kVkTab) {
        w.PanelSwitch = !w.PanelSwitch;
      }
    }
  }
  return false;
}

void BattleKeyUp(BattleState& w, int16_t k) {
  BattleUnit* p = PlayerOf(w);
  if (!p) return;
  if (k == kVkDown || Is(k, KEY_BACKWARD) || k == kVkUp || Is(k, KEY_FORWARD)) {
    p->MoveFB = 0;
  } else if (k == kVkLeft || Is(k, KEY_LEFT)) {
    p->TurnL = 0;
  } else if (k == kVkRight || Is(k, KEY_RIGHT)) {
    p->TurnR = 0;
  } else if (Is(k, KEY_FREESCROLL)) {
    w.FreeScroll = false;
  } else if (k == kVkReturn) {
    p->Fire = 0;
  }
}

void BattleMouseDown(BattleState& w, int16_t button, float x, float y) {
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

void BattleMouseUp(BattleState& w, int16_t button) {
  BattleUnit* p = PlayerOf(w);
  if (button == kButtonLeft) {
    if (p) p->Fire = 0;
  } else if (button == kButtonMiddle) {
    w.FreeScroll = false;
  }
}

void BattleMouseMove(BattleState& w, float x, float y) {
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

void FrmMainClass::KeyDown(int16_t& keyCode, int16_t& shift) {
  // The key that answers the exit question is the question's alone: let
  // through, Esc would open a second question inside the first.
  if (prompting_ || world_.RunState != "Loop") return;
  if (BattleKeyDown(world_, Output(), keyCode)) ExitPrompt();
  CheatChord(keyCode, shift);
}

void FrmMainClass::CheatChord(int16_t keyCode, int16_t shift) {
  if (shift != kShiftAlt || keyCode < kVkF3 || keyCode > kVkF7) return;
  BattleUnit* p = PlayerOf(world_);
  if (!p) return;
  Output().PlaySoundKey("Bleep01");
  switch (keyCode - kVkF3) {
    case 0:
      // Without a current profile there is nobody to pay.
      try {
        if (auto user = Users->NowItem()) {
          user->Money += 10000;
          ShowMsg(world_, "10000 dollars obtained", kMessageTime);
        }
      } catch (const plat::RuntimeError&) {
      }
      break;
    case 1:
      world_.RunState = "EXIT";
      EndResult.WinState = true;
      break;
    case 2:
      p->TopSpeed = 8.0f;
      p->Accelerate = 0.2f;
      ShowMsg(world_, "Tachyon Meteor Engine", kMessageTime);
      break;
    case 3:
      p->EnergySpeed = 40.0f;
      ShowMsg(world_, "Super Invincible Reactor", kMessageTime);
      break;
    default:
      p->ShieldSpeed = 40.0f;
      ShowMsg(world_, "All-powerful Shield", kMessageTime);
      break;
  }
}

void FrmMainClass::ExitPrompt() {
  prompting_ = true;
  if (Primary) DrawTextBoard(Primary, 190, 100, "Are you sure to exit? (Y/n)");
  KeyCode = 0;
  for (;;) {
    plat::DoEvents();
    if (KeyCode > 0) break;
    // The time spent here must not reach the next frame's factor.
    CalFPS();
    plat::WaitForRefresh();
  }
  if (KeyCode == kVkY || KeyCode == kVkEscape) world_.RunState = "EXIT";
  prompting_ = false;
}

void FrmMainClass::KeyUp(int16_t& keyCode, int16_t& /*shift*/) {
  if (world_.RunState == "Loop") BattleKeyUp(world_, keyCode);
}

void FrmMainClass::MouseDown(int16_t& button, int16_t& /*shift*/, float& x, float& y) {
  if (world_.RunState == "Loop") BattleMouseDown(world_, button, x, y);
}

void FrmMainClass::MouseUp(int16_t& button, int16_t& /*shift*/, float& /*x*/, float& /*y*/) {
  if (world_.RunState == "Loop") BattleMouseUp(world_, button);
}

void FrmMainClass::MouseMove(int16_t& /*button*/, int16_t& /*shift*/, float& x, float& y) {
  if (world_.RunState == "Loop") BattleMouseMove(world_, x, y);
}

void FrmMainClass::GetMousePos() { ScrollView(world_); }

}  // namespace fw
