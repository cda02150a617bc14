#pragma once
// The per-frame simulation of a battle: the four steps in the order a frame
// runs them (units with their AI, buildings, shots, debris), the routines
// they are made of, and the spawners of effects, debris and wrecks. Every
// step works on the world and its frame factor only; what it says to the
// outside goes through env.Out, and where the network battle plays by
// other rules it asks env.Rules.
#include <cstdint>
#include <functional>
#include <string>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"

namespace fw {

// --- the frame ---
// Units, buildings, shots, debris.
void StepWorld(BattleState& world, BattleEnv& env);
// A battle run without a window: every frame sets the frame factor from
// `factorOf(frame)`, runs the four steps and ages the effects as the
// drawing would. Returns the number of frames run (fewer when `stop`
// answers true after a frame).
int32_t RunHeadless(BattleState& world, BattleEnv& env, int32_t frames, const std::function<float(int32_t)>& factorOf,
                    const std::function<bool(const BattleState&)>& stop = {});

// --- units ---
void UpdateTanks(BattleState& world, BattleEnv& env);
bool AccelerateTank(BattleState& world, int32_t i);
void MoveTank(BattleState& world, int32_t i);

// --- AI ---
void ControlTank(BattleState& world, BattleEnv& env, int32_t i);
void AIPatrol(BattleState& world, BattleEnv& env, int32_t i);
void AIEngage(BattleState& world, BattleEnv& env, int32_t i);
void AIGuard(BattleState& world, int32_t i);
void AIEscort(BattleState& world, int32_t i);
void AIFollowPath(BattleState& world, int32_t i);
void AIAttack(BattleState& world, int32_t i);

// --- weapons and shots ---
// Sets the weapon-class index for a weapon name; unknown names leave it.
void WhichWeaponIndex(BattleState& world, const std::string& name);
void RefreshWeapon(BattleState& world, BattleEnv& env, int32_t i);
void LaunchAmmo(BattleState& world, BattleEnv& env, int32_t i, const WeaponSlot& w);
int32_t GetAmmoIndex(BattleState& world);
void UpdateAmmo(BattleState& world, BattleEnv& env);
int32_t SteerAmmo(BattleState& world, int32_t k);
// The nearest unit of another team within `range` (never beyond 600) of
// (x, y), measured to the unit's corner; -1 none.
int32_t FindNearestTank(const BattleState& world, int32_t x, int32_t y, float range, int32_t team);

// --- buildings and debris ---
void UpdateBuildings(BattleState& world, BattleEnv& env);
void UpdateDebris(BattleState& world, BattleEnv& env);

// --- effects, debris and wrecks ---
int32_t GetEXPIndex(BattleState& world);
int32_t GetEXP2Index(BattleState& world);
void SpawnFog(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, float speed, int16_t size, uint8_t kind);
void SpawnExplosion(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, float speed, int16_t size,
                    int32_t tag, uint8_t kind);
void SpawnEngineFx(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, float speed, int16_t size,
                   uint8_t kind);
void SpawnShockwave(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, float speed, int32_t grow,
                    int16_t size);
void SpawnFire(BattleState& world, int32_t x, int32_t y, int32_t ox, int32_t oy, int32_t width, int32_t height,
               float life, int32_t tag);
void SpawnDebris(BattleState& world, int32_t x, int32_t y, float spreadX, float rate, int32_t count, float duration,
                 int32_t size, float lift);
void PutBrokenTank(const BattleState& world, BattleOutput& out, int32_t x, int32_t y, int32_t width);
void PutBrokenBuild(const BattleState& world, BattleOutput& out, int32_t x, int32_t y, int32_t width);

// One frame of the effects' life as the battlefield drawing runs it: growth,
// then `draw` (when given) for each effect with its screen position, then
// the animation advances and finished effects leave the array.
void StepEffects(BattleState& world,
                 const std::function<void(const EffectRecord&, float screenX, float screenY)>& draw = {});

}  // namespace fw
