#pragma once
// What every campaign script is made of: its own variables, the table of
// the twenty missions (map, reward, what the map must hold), and the
// steps the scripts repeat (placing a table of units, a zone test, a
// message, an end with its closing delay). A script is then one short
// function that reads as its placement table and its frame steps.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "battle/mission_hooks.hpp"

namespace fw {

inline constexpr int32_t MisWon = 2;
inline constexpr int32_t MisLost = 3;
// Frame-factor units (15 ms each) between the loss of the player's unit
// and the end of the battle; most wins wait as long.
inline constexpr float kCloseDelay = 300.0f;
inline constexpr float kMessageTime = 300.0f;
inline constexpr int32_t kMissionCount = 20;

// One script's persistent variables, all 0 when its battle starts.
struct MisVars {
  int32_t MisState = 0;
  float MisTimer = 0.0f;
  int32_t MisPool = 0;
  // The upper bound of the building list when last looked at: a change
  // means a building was destroyed since.
  int32_t MisBuildCount = 0;
  int32_t MisEscortPool = 0;  // friendly escorts still to come
};

// One row of a placement table: Count calls of AddTank with the same
// arguments. Template is the 1-based position in the map's templates.
struct Placement {
  int32_t Count;
  int32_t Template;
  int32_t Style;
  uint8_t Team;
  int32_t Spot;
  int32_t Area;
};

// The highest template, spot, area and building numbers a script uses:
// the map is checked against them before anything is placed, so a map
// that lacks one is reported rather than failing in the middle of a
// battle. Building is an index from 0; -1 when the script uses none.
struct MapNeeds {
  int32_t Templates = 0;
  int32_t Spots = 0;
  int32_t Areas = 0;
  int32_t Building = -1;
};

// Checks a loaded map against a script's needs; empty when it holds all.
std::string MissingFromMap(const BattleState& world, const MapNeeds& needs);

class MissionRun;
using MissionFn = void (*)(MissionRun& m, uint8_t stage);

// One row of the campaign: the script runs stages 0 and 1; stage 2 is
// booked from Reward, KillMoney and WinValue for every script alike.
struct MissionInfo {
  char MapLetter;
  int32_t Reward;
  int32_t KillMoney;
  int32_t WinValue;
  MapNeeds Needs;
  MissionFn Script;  // null: the mission is not in the campaign yet
};

// Missions 1 to 20 at positions 1 to 20.
const MissionInfo& CampaignMission(int32_t number);

// The map's base path of a mission: AppPath, "\MapA\MapA" for mission 1.
std::string MissionMapPath(char letter);

// One call of a script: the battle, the script's variables and its row.
class MissionRun {
 public:
  MissionRun(MissionBattle& battle, MisVars& vars, const MissionInfo& info) : B(battle), W(battle.World), V(vars), Info(info) {}

  MissionBattle& B;
  BattleState& W;
  MisVars& V;
  const MissionInfo& Info;

  // --- set-up ---
  // Loads the mission's map and checks it holds what the script uses;
  // false (the reason in B.LoadError) when it does not.
  bool LoadMap();
  // The player's fitted tank, style 0, team 0; its index becomes PlayerUnit.
  void PlacePlayer(int32_t spot, int32_t area);
  // The rows in order; returns the index of the last unit placed.
  int32_t Place(std::initializer_list<Placement> rows);
  void Goal(int32_t x, int32_t y) { W.GoalX = x, W.GoalY = y; }
  // The unit escorts `leader`; given the player's unit, it hunts the player.
  void Follow(int32_t unit, int32_t leader) { W.Units.at(static_cast<size_t>(unit)).LeaderTank = leader; }
  // Count units of the row, each given its leader as it comes.
  void PlaceFollowing(Placement row, int32_t leader);
  // Building objectives at positions 1 to n; position 0 stays 0.
  void BuildingObjectives(std::initializer_list<int32_t> buildings);
  // Unit objectives at positions 1 to n, position 0 their number alive.
  void UnitObjectives(std::initializer_list<int32_t> units);

  // --- frame tests ---
  int32_t Enemies() const;
  int32_t TeamCount(uint8_t team) const;
  // Building objectives still standing.
  int32_t LiveBuildingObjectives() const;
  // The building list's upper bound, -1 when it is empty.
  int32_t BuildingBound() const { return static_cast<int32_t>(W.Builds.size()) - 1; }
  // Buildings whose type key, read as a number, lies in lo to hi.
  int32_t BuildingsOfKind(int32_t lo, int32_t hi) const;
  bool PlayerAlive() const { return W.PlayerUnit >= 0; }
  // The player's position, as whole numbers, inside area n, edges included;
  // false while the player has no unit.
  bool PlayerIn(int32_t area) const;
  // A phase reached: the bleep once and the message for 300.
  void Announce(std::string_view text);
  // MisTimer grows by the frame factor; true once it is above `delay`.
  bool TimerPasses(float delay);

  // --- ends ---
  // While `holds`, the timer grows; above `delay` the battle ends with
  // `result`. True when it ended.
  bool EndAfter(bool holds, float delay, int32_t result);
  // The loss every script tests: the player's unit gone for 300.
  bool LossTest() { return EndAfter(!PlayerAlive(), kCloseDelay, MisLost); }
  // Ends the battle now with `result`. The loop stops before the next
  // frame, so when two end tests pass in one frame the later one in the
  // script's order decides: a win reached while the player's loss delay
  // runs is a win.
  void EndNow(int32_t result);
  // A phase of the script's own; a lost battle keeps its state.
  void SetState(int32_t state);
  bool Lost() const { return V.MisState == MisLost && W.RunState == "EXIT"; }
};

// A whole random number from 0 to n - 1.
int32_t RandomBelow(int32_t n);

// Stage 2: the end screen's mission and result, and the kills, death and
// money booked into the current profile.
void BookResult(int32_t number, const MissionInfo& info, const MisVars& vars);

}  // namespace fw
