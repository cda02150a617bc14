#pragma once
// The battle's steering, shared by the campaign and the network battle:
// the bound keys and the fixed ones act on the player's unit and the view's
// switches, the mouse fires, picks and scrolls, and once a frame the view
// follows the player's unit or the pointer at the screen's edges.
#include <cstdint>

#include "battle/battle_state.hpp"

namespace fw {

namespace vk {
inline constexpr int16_t kTab = 9;
inline constexpr int16_t kReturn = 13;
inline constexpr int16_t kEscape = 27;
inline constexpr int16_t kLeft = 37;
inline constexpr int16_t kUp = 38;
inline constexpr int16_t kRight = 39;
inline constexpr int16_t kDown = 40;
inline constexpr int16_t kY = 89;
inline constexpr int16_t kAdd = 107;
inline constexpr int16_t kSubtract = 109;
inline constexpr int16_t kF2 = 113;
inline constexpr int16_t kF3 = 114;
}  // namespace vk

inline constexpr int16_t kButtonLeft = 1;
inline constexpr int16_t kButtonRight = 2;
inline constexpr int16_t kButtonMiddle = 4;

// The key's effect from the steering keys on (arrows, the bound movement,
// stop, free scroll, small map, weapons, turret, radar zoom, fire, panel).
// turretPatrols: the turret key hands the player's unit to the patrol AI
// and back (the network battle); otherwise it does nothing.
void SteerKeyDown(BattleState& w, int16_t key, bool turretPatrols);
void SteerKeyUp(BattleState& w, int16_t key);
void SteerMouseDown(BattleState& w, int16_t button, float x, float y);
void SteerMouseUp(BattleState& w, int16_t button);
void SteerMouseMove(BattleState& w, float x, float y);
// Once a frame: free scrolling at the screen's edges, or the view keeps the
// player's unit inside its middle box; then the shake and the map's
// limits. aimAtPointer: while the view follows, the unit aims at the map
// point under the pointer (taken before the view moves).
void ScrollView(BattleState& w, bool aimAtPointer);

// The player's unit, or null when there is none (or the index went stale).
BattleUnit* PlayerOf(BattleState& w);

}  // namespace fw
