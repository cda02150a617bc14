#include "battle/battle_state.hpp"

#include "battle/battle_sinks.hpp"

namespace fw {

bool BattleState::SameWorld(const BattleState& o) const {
  return Mission == o.Mission && RunState == o.RunState && Sounds == o.Sounds && Images == o.Images &&
         Wrecks == o.Wrecks && Textures == o.Textures && Girl == o.Girl && Named == o.Named &&
         LandMask == o.LandMask && BuildMask == o.BuildMask && TileColumns == o.TileColumns &&
         TileRows == o.TileRows && TileNames == o.TileNames && Tiles == o.Tiles && ScrollX == o.ScrollX &&
         ScrollY == o.ScrollY && Units == o.Units && Builds == o.Builds && Shots == o.Shots &&
         Debris == o.Debris && Effects == o.Effects && Terrains == o.Terrains && Spots == o.Spots &&
         ShotSwitch == o.ShotSwitch && HoveredUnit == o.HoveredUnit &&
         PickedUnit == o.PickedUnit && PlayerUnit == o.PlayerUnit && ScreenShake == o.ScreenShake &&
         MessageTime == o.MessageTime && MessageText == o.MessageText && WeaponClassIndex == o.WeaponClassIndex &&
         GoalX == o.GoalX && GoalY == o.GoalY && ObjectiveBuilds == o.ObjectiveBuilds &&
         ObjectiveUnits == o.ObjectiveUnits && KillTank == o.KillTank;
}

void BattleRules::FatalShot(BattleState& world, const WeaponSlot& shot, int32_t victim) {
  FatalHit(world, shot.FireTank, victim);
}

void BattleRules::KillBooked(BattleState& world, int32_t shooter, int32_t victim) {
  if (shooter < 0 || shooter != world.PlayerUnit) return;
  if (victim < 0 || static_cast<size_t>(victim) >= world.Units.size()) return;
  if (static_cast<size_t>(shooter) < world.Units.size() && world.Units[victim].Team == world.Units[shooter].Team)
    return;
  ++world.KillTank;
}

}  // namespace fw
