// The unit AI: each style only writes the unit's controls (throttle, turn
// and fire bytes, weapon switches, target); the unit step acts on them.
#include <algorithm>
#include <cmath>

#include "battle/battle_sim.hpp"
#include "battle/sim_math.hpp"
#include "engine/helpers.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

float CalAngle(float dx, float dy, float length, float current) {
  if (length == 0.0f || !std::isfinite(length)) return current;
  const float c = dx / length;
  const float s = dy / length;
  if (c < 0.0f) return static_cast<float>(180.0 - ArcSin(s) * 180.0 / kPi);
  float a = static_cast<float>(ArcSin(s) * 180.0 / kPi);
  if (a < 0.0f) a += 360.0f;
  return a;
}

namespace {

constexpr float kEnemySearch = 600.0f;
constexpr float kStuck = 100.0f;
constexpr float kStuckCap = 120.0f;

struct Vec {
  double dx = 0, dy = 0, dist = 0;
};

double CentreX(const BattleUnit& u) { return u.PosX + u.CenterX; }
double CentreY(const BattleUnit& u) { return u.PosY + u.CenterY; }

Vec Towards(const BattleUnit& u, double x, double y) {
  Vec v;
  v.dx = x - CentreX(u);
  v.dy = y - CentreY(u);
  v.dist = std::sqrt(v.dx * v.dx + v.dy * v.dy);
  return v;
}

float Heading(const BattleUnit& u, const Vec& v) {
  return CalAngle(static_cast<float>(v.dx), static_cast<float>(v.dy), static_cast<float>(v.dist), u.HeadAngle);
}

int32_t NearestEnemy(const BattleState& world, const BattleUnit& u) {
  return FindNearestTank(world, RoundL(CentreX(u)), RoundL(CentreY(u)), kEnemySearch, u.Team);
}

// Turns towards the wanted heading by the shorter way, standing still
// inside the dead band of one turn step; exactly opposite turns right.
// Path drivers also drive at full throttle when on course, half when not.
void Steer(BattleUnit& u, float wanted, bool setThrottle) {
  const float h = u.HeadAngle;
  const double d = std::fabs(plat::Int(wanted) - plat::Int(h));
  if (d <= u.Agile) {
    u.TurnR = 0;
    u.TurnL = 0;
    if (setThrottle) u.PerSpeed = 100;
    return;
  }
  if (wanted > h) {
    const bool right = wanted - h <= 180.0f;
    u.TurnR = right ? 1 : 0;
    u.TurnL = right ? 0 : 1;
  } else if (wanted < h) {
    const bool left = h - wanted < 180.0f;
    u.TurnR = left ? 0 : 1;
    u.TurnL = left ? 1 : 0;
  }
  if (setThrottle) u.PerSpeed = 50;
}

// A unit that has been stuck for a while drives at right angles to its
// way, to one side and after a time to the other.
void Sidestep(BattleUnit& u, float& wanted, int32_t timerStep, int32_t timerLimit) {
  if (u.StuckTime <= kStuck) {
    u.SidestepSide = 0;
    u.SidestepTimer = 0;
    return;
  }
  if (u.SidestepSide == 0) u.SidestepSide = static_cast<int16_t>(2 * (plat::Int(plat::Rnd() * 2.0) + 1) - 3);
  wanted += static_cast<float>(u.SidestepSide * 90);
  u.SidestepTimer += timerStep;
  if (u.SidestepTimer > timerLimit) {
    u.SidestepSide = static_cast<int16_t>(-u.SidestepSide);
    u.SidestepTimer = 0;
  }
}

void CapStuck(BattleUnit& u) {
  if (u.StuckTime > kStuckCap) u.StuckTime = kStuckCap;
}

// Weapons whose range and arc hold the enemy are switched on, the others
// off; returns the shortest range, starting from 800.
int32_t ChooseWeapons(BattleUnit& u, double dist, float wanted) {
  int32_t shortest = 800;
  const double off = std::fabs(static_cast<double>(wanted) - u.HeadAngle);
  for (WeaponSlot& w : u.Weapon) {
    w.Enabled = (dist < w.Range && off <= w.FireAngle) ? 1 : 0;
    shortest = std::min(shortest, w.Range);
  }
  return shortest;
}

void EnableAllAndFireWhenStuck(BattleUnit& u) {
  if (u.StuckTime > kStuck) {
    for (WeaponSlot& w : u.Weapon) w.Enabled = 1;
    u.Fire = 1;
  } else {
    u.Fire = 0;
  }
}

// The throttle is a percentage the unit step keeps within -50..100; the
// styles that nudge it must not carry it past that.
void NudgeThrottle(BattleUnit& u, int32_t delta) {
  u.PerSpeed = static_cast<int16_t>(std::clamp<int32_t>(u.PerSpeed + delta, -50, 100));
}

// The way point being driven to; null when the list is too short to drive
// (a single point, or none). An index the list no longer holds starts over.
const PointL* CurrentWayPoint(BattleUnit& u) {
  if (u.WayPoint.size() < 2) return nullptr;
  if (u.WayPointIndex < 0 || static_cast<size_t>(u.WayPointIndex) >= u.WayPoint.size()) u.WayPointIndex = 0;
  return &u.WayPoint[static_cast<size_t>(u.WayPointIndex)];
}

bool Reached(const BattleUnit& u, const Vec& v) { return v.dist <= u.DescRECT.Right; }

// Drivers and escorts turn to fight (style 2) once an enemy comes within
// reach; path drivers only with energy to fight with, unless told
// `whateverEnergy`.
bool TurnsToFight(const BattleState& world, BattleUnit& u, bool whateverEnergy) {
  if (NearestEnemy(world, u) < 0 || !(whateverEnergy || u.EnergyFull > 0)) return false;
  u.Style = 2;
  return true;
}

// The fighting styles' start: the nearest enemy becomes the target; with
// none in reach the unit goes back to its base style and stops firing
// (`enemy` stays null). Returns the way to the enemy's centre.
Vec TakeTarget(const BattleState& world, BattleUnit& u, const BattleUnit*& enemy) {
  plat::Randomize();
  u.TargetTank = -1;
  const int32_t e = NearestEnemy(world, u);
  if (e < 0) {
    u.Style = u.BaseStyle;
    u.Fire = 0;
    return Vec{};
  }
  u.TargetTank = e;
  enemy = &world.Units[static_cast<size_t>(e)];
  return Towards(u, CentreX(*enemy), CentreY(*enemy));
}

}  // namespace

void ControlTank(BattleState& world, BattleEnv& env, int32_t i) {
  if (i < 0 || static_cast<size_t>(i) >= world.Units.size()) return;
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  if (env.Rules.Variant.NetworkAI) {
    // A dead tank waits for its removal; style 0 keeps its target, which
    // there records who shot it.
    if (u.HP < 0) return;
    switch (u.Style) {
      case 1: AIPatrol(world, env, i); break;
      case 2: AIEngage(world, env, i); break;
      case 3: AIGuard(world, i); break;
      default: break;
    }
    env.Rules.UnitControlled(world, i);
    return;
  }
  switch (u.Style) {
    case 0: u.TargetTank = -1; break;
    case 1: AIPatrol(world, env, i); break;
    case 2: AIEngage(world, env, i); break;
    case 3: AIGuard(world, i); break;
    case 4: AIEscort(world, i); break;
    case 5: AIFollowPath(world, i); break;
    case 6: AIAttack(world, i); break;
    default: break;
  }
  env.Rules.UnitControlled(world, i);
}

void AIPatrol(BattleState& world, BattleEnv& env, int32_t i) {
  const bool network = env.Rules.Variant.NetworkAI;
  if (!network) plat::Randomize();
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  if (TurnsToFight(world, u, network)) return;
  // A reached point sends the unit on to the next one at once; when every
  // point is within reach, one pass over the list ends the search for this
  // frame instead of going round for ever.
  for (size_t tries = 0; tries < u.WayPoint.size(); ++tries) {
    const PointL* p = CurrentWayPoint(u);
    if (!p) return;
    const Vec v = Towards(u, p->X, p->Y);
    if (Reached(u, v)) {
      ++u.WayPointIndex;
      if (static_cast<size_t>(u.WayPointIndex) >= u.WayPoint.size()) u.WayPointIndex = 0;
      continue;
    }
    float wanted = Heading(u, v);
    Sidestep(u, wanted, 1, 100);
    CapStuck(u);
    Steer(u, wanted, true);
    return;
  }
}

void AIFollowPath(BattleState& world, int32_t i) {
  plat::Randomize();
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  if (TurnsToFight(world, u, false)) return;
  const PointL* p = CurrentWayPoint(u);
  if (!p) return;
  const Vec v = Towards(u, p->X, p->Y);
  if (Reached(u, v)) {
    ++u.WayPointIndex;
    if (static_cast<size_t>(u.WayPointIndex) >= u.WayPoint.size()) {
      u.Style = 2;
      u.BaseStyle = 2;
      return;
    }
  }
  const float wanted = Heading(u, v);
  EnableAllAndFireWhenStuck(u);
  CapStuck(u);
  Steer(u, wanted, true);
}

void AIAttack(BattleState& world, int32_t i) {
  plat::Randomize();
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  if (TurnsToFight(world, u, false)) return;
  const PointL* p = CurrentWayPoint(u);
  if (!p) return;
  const Vec v = Towards(u, p->X, p->Y);
  if (Reached(u, v) && static_cast<size_t>(u.WayPointIndex) + 1 < u.WayPoint.size()) ++u.WayPointIndex;
  float wanted = Heading(u, v);
  Sidestep(u, wanted, 1, 100);
  EnableAllAndFireWhenStuck(u);
  CapStuck(u);
  Steer(u, wanted, true);
}

void AIEscort(BattleState& world, int32_t i) {
  plat::Randomize();
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  if (TurnsToFight(world, u, true)) return;
  const int32_t l = u.LeaderTank;
  if (l < 0) return;
  if (static_cast<size_t>(l) >= world.Units.size()) {
    u.LeaderTank = -1;
    return;
  }
  const BattleUnit& leader = world.Units[static_cast<size_t>(l)];
  const Vec v = Towards(u, CentreX(leader), CentreY(leader));
  if (v.dist == 0.0) return;
  float wanted = Heading(u, v);
  if (v.dist <= 200.0) {
    wanted = leader.HeadAngle;
    if (u.Speed > leader.Speed) NudgeThrottle(u, -1);
    else if (u.Speed < leader.Speed) NudgeThrottle(u, +1);
  } else {
    u.PerSpeed = 100;
  }
  Sidestep(u, wanted, RoundL(world.FrameFactor), 500);
  CapStuck(u);
  Steer(u, wanted, false);
}

void AIGuard(BattleState& world, int32_t i) {
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  const BattleUnit* enemy = nullptr;
  const Vec v = TakeTarget(world, u, enemy);
  if (!enemy) return;
  const float wanted = Heading(u, v);
  ChooseWeapons(u, v.dist, wanted);
  u.Fire = 1;
  Steer(u, wanted, false);
}

void AIEngage(BattleState& world, BattleEnv& env, int32_t i) {
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  const BattleUnit* target = nullptr;
  const Vec v = TakeTarget(world, u, target);
  if (!target) return;
  const BattleUnit& enemy = *target;
  float wanted;
  if (v.dist <= 100.0) {
    wanted = plat::Rnd() * 360.0f;
    u.PerSpeed = 100;
  } else {
    wanted = Heading(u, v);
  }
  const int32_t shortest = ChooseWeapons(u, v.dist, wanted);
  const bool fleeing = u.HP + u.Shield < 50.0f;
  if (fleeing) {
    if (v.dist > 200.0) {
      wanted = plat::Rnd() * 360.0f;
    } else if (env.Rules.Variant.NetworkAI) {
      wanted = Heading(u, v) + 90.0f + plat::Rnd() * 180.0f;
    } else {
      wanted = wanted + 180.0f;
    }
    u.PerSpeed = 100;
    u.Fire = env.Rules.Variant.NetworkAI ? 0 : 1;
  } else {
    u.Fire = 1;
    if (v.dist <= shortest) {
      if (std::fabs(enemy.Speed) < u.Speed) NudgeThrottle(u, -1);
    } else {
      NudgeThrottle(u, +1);
    }
  }
  Steer(u, wanted, false);
  if (fleeing && (u.TurnR || u.TurnL)) u.PerSpeed = 100;
}

}  // namespace fw
