#pragma once
// What the battle's keys and mouse do to the world (the fixed keys and the
// bindings of the key table), and the view's scrolling. The battle screen
// calls these from its handlers and adds what needs the window: the exit
// question and the hidden chord. Each acts as its handler does while the
// battle loop runs.
#include <cstdint>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"

namespace fw {

// Windows virtual-key codes of the fixed keys the battles know.
namespace vk {
inline constexpr int16_t kEscape = 27;
inline constexpr int16_t kY = 89;
inline constexpr int16_t kAdd = 107;
inline constexpr int16_t kSubtract = 109;
inline constexpr int16_t kF2 = 113;
inline constexpr int16_t kF3 = 114;
}  // namespace vk

// The player's unit, or null when there is none (or the index went stale).
BattleUnit* PlayerOf(BattleState& world);

// True when the key asks the exit question (Esc). turretPatrols: the turret
// key hands the player's unit to the patrol AI and back (the network
// battle); otherwise it does nothing.
bool BattleKeyDown(BattleState& world, BattleOutput& out, int16_t keyCode, bool turretPatrols = false);
void BattleKeyUp(BattleState& world, int16_t keyCode);
// Buttons 1 left, 2 right, 4 middle; x and y on the 640 x 480 screen.
void BattleMouseDown(BattleState& world, int16_t button, float x, float y);
void BattleMouseUp(BattleState& world, int16_t button);
void BattleMouseMove(BattleState& world, float x, float y);
// Once per pass: scrolls at the screen's edges while free scrolling is on,
// otherwise keeps the player's unit in the middle, then shakes and clamps.
// aimAtPointer: while the view follows, the unit aims at the map point under
// the pointer, taken before the view moves (the network battle).
void ScrollView(BattleState& world, bool aimAtPointer = false);

}  // namespace fw
