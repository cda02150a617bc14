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

// True when the key asks the exit question (Esc).
bool BattleKeyDown(BattleState& world, BattleOutput& out, int16_t keyCode);
void BattleKeyUp(BattleState& world, int16_t keyCode);
// Buttons 1 left, 2 right, 4 middle; x and y on the 640 x 480 screen.
void BattleMouseDown(BattleState& world, int16_t button, float x, float y);
void BattleMouseUp(BattleState& world, int16_t button);
void BattleMouseMove(BattleState& world, float x, float y);
// Once per pass: scrolls at the screen's edges while free scrolling is on,
// otherwise keeps the player's unit in the middle, then shakes and clamps.
void ScrollView(BattleState& world);

}  // namespace fw
