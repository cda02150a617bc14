#pragma once
// What a person at the battle's screen can see in one frame, and nothing
// more: the battlefield above the panel except where the target plate
// covers it, the radar's dots and goal ring at the radar's own coarseness,
// and the panel's readouts. This is the one piece of the scripted player
// that reads the battle; everything the player knows comes through it.
#include <cstdint>
#include <utility>
#include <vector>

#include "battle/battle_state.hpp"

namespace fw::playtest {

// The screen's parts that cover the battlefield: the console under the
// view and the picked target's plate over its lower left.
struct ScreenCover {
  static constexpr int32_t kPanelTop = 369;
  static constexpr int32_t kPlateLeft = 14, kPlateTop = 305, kPlateRight = 121, kPlateBottom = 350;
  // True when the screen point shows the battlefield.
  static bool Shows(float sx, float sy);
};

struct Sight {
  bool Alive = false;
  // Own tank: where it is on the map (the view's corner plus where it is
  // drawn) and which of its drawn headings shows.
  float X = 0, Y = 0;
  float Heading = 0;
  int32_t ScrollX = 0, ScrollY = 0;
  // The panel: bars and gauges as fractions of full, the throttle in
  // percent, the radar's level.
  float Hull = 0, Shield = 0, Energy = 0;
  bool HasShield = false;
  float Throttle = 0, Speed = 0;
  int32_t RadarLevel = 0;
  // The longest reach of the fitted weapons, known from the shop.
  float Range = 0;
  struct Unit {
    float X, Y;  // centre; for radar dots only as exact as the radar
    bool Enemy;
    bool InView;
  };
  std::vector<Unit> Units;
  struct Building {
    int32_t Kind;
    float X, Y, HalfWidth;
  };
  std::vector<Building> Buildings;  // those the view shows
  // The ground the view shows, by mask cell: index and whether a tank
  // could cross it (a building or blocked land cannot be crossed).
  std::vector<std::pair<int32_t, bool>> Ground;
  // The radar's goal ring, as near as its pixel tells.
  bool Goal = false;
  float GoalX = 0, GoalY = 0;
};

// One look at the screen.
Sight Perceive(const BattleState& world);

}  // namespace fw::playtest
