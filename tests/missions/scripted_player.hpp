#pragma once
// A player for the campaign's tests who plays as a person could. It knows
// what the briefing says (the objective, which kinds of building to destroy
// or to keep, where the briefing says they stand) and, while it plays, only
// what one look at the screen gives it each frame (perception.hpp): the
// battlefield above the panel, the radar and the panel's readouts. It
// remembers the ground and the buildings it has seen, explores what it has
// not, acts only through the battle's keys and mouse, and shops through the
// factory's rules with the money it has.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"
#include "factory/rules/catalogs.hpp"
#include "tests/missions/perception.hpp"

namespace fw::playtest {

// What the briefing of a mission tells the player.
struct Briefing {
  // Building kinds (type keys read as numbers, ranges lo..hi) to destroy;
  // empty: the rebels are the objective.
  std::vector<std::array<int32_t, 2>> Destroy;
  // Building kinds that must stand: never shot at.
  std::vector<std::array<int32_t, 2>> Keep;
  // Where the orders say the buildings stand, as their words put it: a
  // ninth of the map each ("north-east", "middle", "south", ...), searched
  // in order before the rest of the map.
  std::vector<std::string> Where;
  // Follow the radar's goal mark while it shows.
  bool FollowGoal = false;
  // Drive to the buildings without stopping for the rebels (they keep
  // coming while the buildings stand).
  bool Rush = false;
};

const Briefing& MissionBriefing(int32_t mission);

// The part of the map (pixels, left, top, right, bottom) that a compass
// word of the orders names; the whole map for a word it does not know.
std::array<float, 4> MapPart(const std::string& word);

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

// All the player knows of a battle beyond the briefing: what earlier looks
// showed it.
struct Memory {
  enum Cell : uint8_t { kUnseen = 0, kOpen = 1, kClosed = 2 };
  std::vector<uint8_t> Ground = std::vector<uint8_t>(kMaskBytes, kUnseen);
  std::vector<Sight::Building> Buildings;
};

class ScriptedPlayer {
 public:
  explicit ScriptedPlayer(const Briefing& briefing) : brief_(briefing) {}
  // One frame: decides from this frame's look and what it remembers, and
  // acts.
  void Play(const Sight& s, BattleInputs& in);
  const Memory& Remembered() const { return memory_; }

 private:
  bool Wanted(int32_t kind) const;
  bool Kept(int32_t kind) const;
  void Remember(const Sight& s);
  bool Blocked(int32_t c, int32_t r) const;
  bool StraightFree(float ax, float ay, float bx, float by) const;
  // A way point towards (x, y) round the ground and buildings the player
  // has seen; (x, y) itself when the way is straight.
  std::array<float, 2> WayTo(const Sight& s, float x, float y);
  // The nearest place not yet seen, in the parts the orders name first;
  // false when the player has seen all it can.
  bool Explore(const Sight& s, float& x, float& y);
  void Drive(const Sight& s, BattleInputs& in, float x, float y, bool stopNear);
  bool Aim(const Sight& s, BattleInputs& in, float x, float y);
  bool LineHitsKept(const Sight& s, float x, float y) const;

  const Briefing& brief_;
  Memory memory_;
  int32_t frame_ = 0;
  std::vector<std::array<float, 2>> path_;
  std::array<float, 2> pathGoal_{-1e9f, -1e9f};
  int32_t pathAge_ = 0;
  size_t where_ = 0;  // the part of the map being searched
  std::array<float, 2> spot_{-1, -1};
  int32_t spotAge_ = 0;
  std::vector<int32_t> givenUp_;  // cells the player could not get a look at
  float lastX_ = 0, lastY_ = 0;
  int32_t stuck_ = 0, unstick_ = 0;
  int32_t unaimed_ = 0;  // frames of the fight without the target in the sights
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
