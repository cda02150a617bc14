#pragma once
// The land mask and the building mask, and the terrain test that moves a
// unit over them.
#include <cstdint>

#include "battle/battle_state.hpp"

namespace fw {

// The land cell under a map point (cells start at multiples of 20); 0
// outside the grid.
uint8_t CheckMapMask(const BattleState& world, int32_t x, int32_t y);
// The building cell nearest a map point (cells centred on multiples of
// 20); 0 outside the grid.
uint8_t CheckBMask(const BattleState& world, int32_t x, int32_t y);
// Adds v to every building cell of the ground diamond of a footprint whose
// picture's top-left corner is (x, y); cells outside the grid, or that
// would leave 0..255, keep their value.
void PutBMask(BattleState& world, int32_t x, int32_t y, const RECT& footprint, int16_t v);
// Stamps every building into the building mask (not cleared first).
void ReCalBMask(BattleState& world);
// Where a push of a unit's centre along one axis, from `from` to `to`,
// ends: at `to`, or back at `from` when it would carry the centre into or
// across a blocked cell other than the one it stands in. `other` is the
// centre's other coordinate. Terrain pushes and units pushed apart both
// keep to it, so neither carries a unit through a wall.
float PushedTo(const BattleState& world, bool alongX, float from, float to, float other);
// Moves unit i by its velocity where the grids allow and applies the
// terrain area under it.
// With `wholePixels` (the network battle) the centre and every pushed
// point are taken to the nearest whole pixel first, so a pushed unit ends
// with its centre on a whole pixel on every machine.
void CheckTerrain(BattleState& world, int32_t i, bool wholePixels = false);

}  // namespace fw
