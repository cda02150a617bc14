#pragma once
// The campaign's mission dispatcher: the script of the current profile's
// mission, with every script's own variables, for one battle.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "battle/mission_hooks.hpp"
#include "missions/mission_kit.hpp"

namespace fw {

class CampaignScript : public MissionScript {
 public:
  // Rewritten on every call from the current profile: its mission number
  // modulo 20, the remainder keeping the dividend's sign.
  int32_t Mission = 0;

  void RunMission(MissionBattle& battle, uint8_t stage) override;

  // The script a mission number plays: 1 to 19 themselves, 0 the
  // twentieth; none for a negative remainder.
  static std::optional<int32_t> ScriptOf(int32_t mission);

  const MisVars& Vars(int32_t script) const { return vars_.at(static_cast<size_t>(script)); }

 private:
  std::array<MisVars, kMissionCount + 1> vars_{};
};

std::unique_ptr<MissionScript> MakeCampaignScript();

// The scripts, one per mission.
void Mission1(MissionRun& m, uint8_t stage);
void Mission2(MissionRun& m, uint8_t stage);
void Mission3(MissionRun& m, uint8_t stage);
void Mission4(MissionRun& m, uint8_t stage);
void Mission5(MissionRun& m, uint8_t stage);
void Mission6(MissionRun& m, uint8_t stage);
void Mission7(MissionRun& m, uint8_t stage);
void Mission8(MissionRun& m, uint8_t stage);
void Mission9(MissionRun& m, uint8_t stage);
void Mission10(MissionRun& m, uint8_t stage);
void Mission11(MissionRun& m, uint8_t stage);
void Mission12(MissionRun& m, uint8_t stage);
void Mission13(MissionRun& m, uint8_t stage);
void Mission14(MissionRun& m, uint8_t stage);
void Mission15(MissionRun& m, uint8_t stage);
void Mission16(MissionRun& m, uint8_t stage);
void Mission17(MissionRun& m, uint8_t stage);
void Mission18(MissionRun& m, uint8_t stage);
void Mission19(MissionRun& m, uint8_t stage);
void Mission20(MissionRun& m, uint8_t stage);

}  // namespace fw
