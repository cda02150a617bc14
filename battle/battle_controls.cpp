// The campaign battle's keyboard and mouse: the stick switch, the exit
// question and the cheat chords; the steering itself is shared.
#include "battle/battle_screen.hpp"
#include "battle/battle_sim.hpp"
#include "battle/battle_steer.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/message_box.hpp"
#include "platform/input/window.hpp"
#include "platform/runtime/error.hpp"

namespace fw {

namespace {
constexpr int16_t kVkF7 = 118;
constexpr int16_t kShiftAlt = 1 | 4;
constexpr float kMessageTime = 300.0f;
}  // namespace

void FrmMainClass::KeyDown(int16_t& keyCode, int16_t& shift) {
  // The key that answers the exit question is the question's alone: let
  // through, Esc would open a second question inside the first.
  if (prompting_ || world_.RunState != "Loop") return;
  const int16_t k = keyCode;
  if (k == vk::kF2) {
    world_.StickSwitch = world_.StickSwitch ? 0 : -1;
    Output().PlaySoundKey("Bleep01");
    ShowMsg(world_, world_.StickSwitch ? "Use the Stick" : "Not Use the Stick", kMessageTime);
  } else if (k == vk::kEscape) {
    ExitPrompt();
  } else {
    SteerKeyDown(world_, k, false);
  }
  CheatChord(k, shift);
}

void FrmMainClass::CheatChord(int16_t keyCode, int16_t shift) {
  if (shift != kShiftAlt || keyCode < vk::kF3 || keyCode > kVkF7) return;
  BattleUnit* p = PlayerOf(world_);
  if (!p) return;
  Output().PlaySoundKey("Bleep01");
  switch (keyCode - vk::kF3) {
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
  if (KeyCode == vk::kY || KeyCode == vk::kEscape) world_.RunState = "EXIT";
  prompting_ = false;
}

void FrmMainClass::KeyUp(int16_t& keyCode, int16_t& /*shift*/) {
  if (world_.RunState != "Loop") return;
  SteerKeyUp(world_, keyCode);
}

void FrmMainClass::MouseDown(int16_t& button, int16_t& /*shift*/, float& x, float& y) {
  if (world_.RunState != "Loop") return;
  SteerMouseDown(world_, button, x, y);
}

void FrmMainClass::MouseUp(int16_t& button, int16_t& /*shift*/, float& /*x*/, float& /*y*/) {
  if (world_.RunState != "Loop") return;
  SteerMouseUp(world_, button);
}

void FrmMainClass::MouseMove(int16_t& /*button*/, int16_t& /*shift*/, float& x, float& y) {
  if (world_.RunState != "Loop") return;
  SteerMouseMove(world_, x, y);
}

void FrmMainClass::GetMousePos() { ScrollView(world_, false); }

}  // namespace fw
