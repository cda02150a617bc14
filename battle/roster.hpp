#pragma once
// The roster operations: creating units from templates, terrain areas, the
// unit under a screen point, team counts, and taking a unit out of the
// roster with every index that points into it renumbered.
#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"
#include "data/tank.hpp"
#include "data/weapon.hpp"

namespace fw {

// Grows the unit array by one record and returns the new last index.
int32_t NewTankIndex(BattleState& world);

// Creates a unit from a template and returns its index. `spot` is a
// navigation spot (its points become the way points) and `area` a terrain
// area (the unit is placed at random inside it). An index outside its array,
// or a picture key the catalogue lacks, raises plat::RuntimeError and adds
// no unit.
int32_t AddTank(BattleState& world, BattlePictures& pictures, Tank& tmpl, int32_t style, uint8_t team,
                int32_t spot, int32_t area);

// Index of the image record of a unit picture key, the picture loaded from
// the catalogue when the list does not hold it yet; raises
// plat::RuntimeError when the catalogue lacks the key or the picture cannot
// be loaded (nothing appended).
int32_t UnitPicture(BattleState& world, BattlePictures& pictures, const std::string& key);

// Appends one weapon slot made from a weapon type.
void AddTankWeapon(BattleState& world, int32_t unit, const Weapon& weapon);

// Appends a terrain area and returns its index.
int32_t AddTerrain(BattleState& world, const RECT& area, uint8_t kind, float value);

// The first unit whose box on screen holds (x, y), edges included; -1 none.
int32_t GetTankAtPos(const BattleState& world, int32_t x, int32_t y);

int32_t GetTeamCount(const BattleState& world, uint8_t team);

// Takes unit i out of the roster: the last unit moves into its slot, and
// every unit index held by units, shots, the picked, hovered and player
// unit and the objective list follows: i becomes -1, the last index
// becomes i. rules.UnitRemoved is told afterwards.
void RemoveUnit(BattleState& world, int32_t i, BattleRules& rules);

// The objective-unit list follows a unit's index from oldIndex to
// newIndex; element 0 becomes the count of live objective units.
void CheckMisOBJTank(BattleState& world, int32_t oldIndex, int32_t newIndex);
// Building b is destroyed and the buildings after it move down by one:
// its objective entries become -1, later ones shift. Returns the last
// position that held b, 0 when it is no objective.
int32_t CheckMisOBJ(BattleState& world, int32_t building);

// Removal from a per-frame record array (shots, debris, effects): the last
// record is copied over record k and the array shrinks; an array that would
// become empty keeps one empty record. An index outside the array is
// ignored.
template <typename Record>
void RemoveRecord(std::vector<Record>& records, int32_t k) {
  if (k < 0 || static_cast<size_t>(k) >= records.size()) return;
  if (records.size() == 1) {
    records[0] = Record{};
    return;
  }
  if (static_cast<size_t>(k) != records.size() - 1) records[k] = std::move(records.back());
  records.pop_back();
}

// Appends an empty record and returns its index.
template <typename Record>
int32_t AppendRecord(std::vector<Record>& records) {
  if (records.empty()) records.emplace_back();  // element 0 stays the empty record
  records.emplace_back();
  return static_cast<int32_t>(records.size() - 1);
}

}  // namespace fw
