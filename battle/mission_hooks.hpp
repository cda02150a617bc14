#pragma once
// How the campaign battle screen runs the mission scripts. The scripts sit
// above the battle, so the battle declares what it calls and what a script
// may reach, and the program hands it the scripts' maker.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "battle/battle_sinks.hpp"
#include "battle/battle_state.hpp"

namespace fw {

// What a script works on during one battle: the world, the picture store
// that ReadAllImage and AddTank fill, the progress lines of the loading
// screen (stage 0 only; a null sink afterwards) and the world's sinks and
// rules. The battle screen owns them all for the whole battle.
struct MissionBattle {
  BattleState& World;
  BattlePictures& Pictures;
  LoadProgress& Progress;
  BattleEnv& Env;
  // Stage 0 writes here why the battle cannot start (a map that does not
  // load); the screen then shows it and leaves without booking anything.
  std::string LoadError;
};

// The mission dispatcher of one battle: made fresh for each battle, so a
// script's own variables start over with it.
class MissionScript {
 public:
  virtual ~MissionScript() = default;
  // Stage 0 before the loop (map, units, objectives), 1 once per pass after
  // the frame is drawn (it may set World.RunState to "EXIT"), 2 after the
  // loop (the result booked into Users and EndResult). The screen copies
  // the battle's kill count into Users.KillTank before stage 2 and saves
  // the profiles after it.
  virtual void RunMission(MissionBattle& battle, uint8_t stage) = 0;
};

using MissionScriptMaker = std::function<std::unique_ptr<MissionScript>()>;
// The program sets the maker once at start; tests may set their own. With
// none set the battle runs without a script (no units, no end but the
// player's).
void SetMissionScriptMaker(MissionScriptMaker maker);
std::unique_ptr<MissionScript> MakeMissionScript();

// The timed message of the battle frame: shown while the time, counted
// down by the frame factor, stays above 0.
void ShowMsg(BattleState& world, std::string_view text, float time);

}  // namespace fw
