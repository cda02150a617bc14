#pragma once
// A player for the campaign's tests who plays as a person could. It knows
// what the briefing says (the objective, which kinds of building to destroy
// or to keep, which areas to reach), and while it plays it sees only what
// the screen shows: the units in the 640 x 480 view and the dots of the
// radar, the buildings in the view (by kind, and those it has seen before
// where it saw them), the ground it drives over, the radar's goal mark, the
// message line and its own panel. It acts only through the battle's keys
// and mouse, and shops through the factory's rules with the money it has.
// It never reads the mission's state, its pools or timers, or the map's
// unit templates.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"
#include "factory/rules/catalogs.hpp"

namespace fw::playtest {

// What the briefing of a mission tells the player.
struct Briefing {
  // Building kinds (type keys read as numbers, ranges lo..hi) to destroy;
  // empty: the rebels are the objective.
  std::vector<std::array<int32_t, 2>> Destroy;
  // Building kinds that must stand: never shot at.
  std::vector<std::array<int32_t, 2>> Keep;
  // Areas to reach after the buildings are down (or at once when there are
  // none), in order; 0 ends the list.
  std::vector<int32_t> Reach;
  // Where the briefing says to look for the buildings (map pixels).
  std::vector<std::array<int32_t, 2>> SearchAt;
  // Follow the radar's goal mark while it shows.
  bool FollowGoal = false;
  // Drive to the buildings without stopping for the rebels (they keep
  // coming while the buildings stand).
  bool Rush = false;
};

const Briefing& MissionBriefing(int32_t mission);

// What the screen shows in one frame.
struct Sight {
  bool Alive = false;
  float X = 0, Y = 0;  // own unit's centre, map pixels
  float Heading = 0;
  float Speed = 0;
  float Hull = 0, Shield = 0, ShieldFull = 0, Energy = 0;
  int32_t ScrollX = 0, ScrollY = 0;
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
  std::vector<Building> Buildings;  // in the view
  bool Goal = false;
  int32_t GoalX = 0, GoalY = 0;
  float Range = 0;  // the longest reach of the fitted weapons
};

// Reads the screen of a battle as the player sees it; the buildings only
// when asked.
Sight Look(const BattleState& world, bool buildings);

// The inputs a person has: keys by code and the mouse on the screen.
class BattleInputs {
 public:
  BattleInputs(BattleState& world, BattleOutput& out) : w_(world), out_(out) {}
  void Press(int16_t code);
  void Release(int16_t code);
  void Hold(int16_t code, bool down);
  void Move(float x, float y);
  void Button(int16_t button, bool down);
  void ReleaseAll();

 private:
  BattleState& w_;
  BattleOutput& out_;
  std::vector<int16_t> held_;
  std::array<bool, 5> buttons_{};
};

class ScriptedPlayer {
 public:
  ScriptedPlayer(const Briefing& briefing, const BattleState& world);
  // One frame: looks, decides and acts.
  void Play(const BattleState& world, BattleInputs& in);

 private:
  struct Memory {
    int32_t Kind;
    float X, Y, HalfWidth;
  };
  bool Wanted(int32_t kind) const;
  bool Kept(int32_t kind) const;
  void Remember(const Sight& s);
  // A way point towards (x, y) round the ground and buildings the player
  // has seen; (x, y) itself when the way is straight.
  std::array<float, 2> WayTo(const BattleState& world, const Sight& s, float x, float y);
  void Drive(const Sight& s, BattleInputs& in, float x, float y, bool stopNear);
  bool Aim(const Sight& s, BattleInputs& in, float x, float y);
  bool LineHitsKept(const Sight& s, float x, float y) const;

  const Briefing& brief_;
  std::vector<Memory> memory_;
  size_t reached_ = 0;
  size_t searched_ = 0;
  int32_t frame_ = 0;
  std::vector<std::array<float, 2>> path_;
  std::array<float, 2> pathGoal_{-1e9f, -1e9f};
  int32_t pathAge_ = 0;
  float lastX_ = 0, lastY_ = 0;
  int32_t stuck_ = 0, unstick_ = 0;
  bool radarSet_ = false;
  bool fallingBack_ = false;
};

// A fitted loadout bought with the money there is: the best the player can
// afford in the order a person would buy (a hull, an engine, a reactor, a
// gun, then a shield, then better ones), or only the cheapest of the four
// and no shield.
enum class Buying { Best, CheapestNoShield };
void VisitFactory(const FactoryCatalogs& catalogs, Buying how);

// One battle of the current profile's mission, played to its end or to
// the frame limit (then left by the exit question); true when won.
struct BattleOutcome {
  bool Won = false;
  int32_t Frames = 0;
};
BattleOutcome PlayBattle(int32_t frameLimit);

}  // namespace fw::playtest
