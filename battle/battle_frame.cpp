// One simulation frame, and battles run without a window.
#include "battle/battle_sim.hpp"

namespace fw {

void StepWorld(BattleState& world, BattleEnv& env) {
  UpdateTanks(world, env);
  UpdateBuildings(world, env);
  UpdateAmmo(world, env);
  UpdateDebris(world, env);
}

int32_t RunHeadless(BattleState& world, BattleEnv& env, int32_t frames, const std::function<float(int32_t)>& factorOf,
                    const std::function<bool(const BattleState&)>& stop) {
  int32_t frame = 0;
  while (frame < frames) {
    world.FrameFactor = factorOf ? factorOf(frame) : 1.0f;
    StepWorld(world, env);
    // Without a screen nobody draws the effects, but they must still age
    // and leave, or a long run would pile them up.
    StepEffects(world);
    ++frame;
    if (stop && stop(world)) break;
  }
  return frame;
}

}  // namespace fw
