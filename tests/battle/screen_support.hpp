#pragma once
// A small mission script for the battle screen's tests, standing in for
// the campaign's: map A, the player in area 1, a few enemies, won when the
// enemies are gone, lost when the player is; and a display to draw on.

#include <memory>
#include <utility>
#include <string>

#include "battle/battle_screen.hpp"
#include "battle/loaders.hpp"
#include "battle/mission_hooks.hpp"
#include "battle/roster.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"

namespace fw::screentest {

class TestScript : public MissionScript {
 public:
  int32_t Enemies = 3;
  int Stage1Runs = 0;
  bool Won = false, Lost = false;
  std::string Stage1Error;  // thrown by every stage 1 when set
  void RunMission(MissionBattle& b, uint8_t stage) override {
    BattleState& w = b.World;
    if (stage == 0) {
      w.Mission = 1;
      LoadResult r = ReadAllImage(w, b.Pictures, b.Progress, AppPath + "\\MapA\\MapA");
      if (!r) {
        b.LoadError = r.Message;
        return;
      }
      w.PlayerUnit = AddTank(w, b.Pictures, *w.Templates.Item("Medium"), 0, 0, 0, 1);
      for (int32_t i = 0; i < Enemies; ++i) AddTank(w, b.Pictures, *w.Templates.Item("Light"), 1, 1, 1, 7);
      w.GoalX = 4400;
      w.GoalY = 1900;
    } else if (stage == 1) {
      ++Stage1Runs;
      if (!Stage1Error.empty()) {
        Won = true;  // a win already decided does not survive the failure
        throw plat::RuntimeError(plat::ErrorCode::KeyNotFound, Stage1Error);
      }
      // The win is tested before the loss, so a player who dies in the
      // frame the last enemy falls has lost.
      if (GetTeamCount(w, 1) == 0) Won = true, Lost = false;
      if (w.PlayerUnit < 0) Won = false, Lost = true;
      if (Won || Lost) w.RunState = "EXIT";
    } else {
      EndResult.MisIndex = w.Mission;
      if (Won) EndResult.WinState = true;
      if (Lost) EndResult.WinState = false;
    }
  }
};

// Installs a maker of TestScript and keeps the last one made.
struct ScriptHook {
  TestScript* Last = nullptr;
  int32_t Enemies = 3;
  std::string Stage1Error;
  ScriptHook() {
    SetMissionScriptMaker([this] {
      auto s = std::make_unique<TestScript>();
      s->Enemies = Enemies;
      s->Stage1Error = Stage1Error;
      Last = s.get();
      return s;
    });
  }
  ~ScriptHook() { SetMissionScriptMaker(nullptr); }
};

}  // namespace fw::screentest
