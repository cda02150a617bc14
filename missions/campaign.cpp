#include "missions/campaign.hpp"

#include "data/users.hpp"

namespace fw {

const MissionInfo& CampaignMission(int32_t number) {
  // Map, reward, money per kill, the state booked as won, the highest
  // template, spot, area and building the script uses, the script.
  static const MissionInfo kMissions[kMissionCount + 1] = {
      {},
      {'A', 300, 10, MisWon, {3, 7, 9, -1}, Mission1},
      {'B', 500, 10, MisWon, {4, 4, 6, -1}, Mission2},
      {'C', 600, 10, 4, {5, 6, 7, 426}, Mission3},
      {'D', 800, 10, MisWon, {6, 8, 9, -1}, Mission4},
      {'E', 1000, 10, MisWon, {5, 9, 9, -1}, Mission5},
      {'F', 800, 15, MisWon, {}, nullptr},
      {'G', 900, 15, MisWon, {}, nullptr},
      {'H', 1200, 15, MisWon, {}, nullptr},
      {'I', 1000, 15, MisWon, {}, nullptr},
      {'J', 1500, 15, MisWon, {}, nullptr},
      {'K', 0, 0, MisWon, {}, nullptr},
      {'L', 0, 0, MisWon, {}, nullptr},
      {'M', 0, 0, MisWon, {}, nullptr},
      {'N', 0, 0, MisWon, {}, nullptr},
      {'O', 0, 0, MisWon, {}, nullptr},
      {'P', 0, 0, MisWon, {}, nullptr},
      {'Q', 0, 0, MisWon, {}, nullptr},
      {'R', 0, 0, MisWon, {}, nullptr},
      {'S', 0, 0, MisWon, {}, nullptr},
      {'T', 0, 0, MisWon, {}, nullptr},
  };
  if (number < 1 || number > kMissionCount) return kMissions[0];
  return kMissions[number];
}

std::optional<int32_t> CampaignScript::ScriptOf(int32_t mission) {
  if (mission < 0) return std::nullopt;
  return mission == 0 ? kMissionCount : mission;
}

void CampaignScript::RunMission(MissionBattle& battle, uint8_t stage) {
  Mission = Users->NowItem()->Mission % kMissionCount;
  battle.World.Mission = Mission;
  const auto script = ScriptOf(Mission);
  if (!script) return;
  const MissionInfo& info = CampaignMission(*script);
  MisVars& vars = vars_[static_cast<size_t>(*script)];
  if (stage == 2) {
    BookResult(*script, info, vars);
    return;
  }
  if (!info.Script) {
    if (stage == 0) battle.LoadError = "Mission " + std::to_string(*script) + " is not in this campaign yet.";
    return;
  }
  MissionRun run(battle, vars, info);
  info.Script(run, stage);
}

std::unique_ptr<MissionScript> MakeCampaignScript() { return std::make_unique<CampaignScript>(); }

}  // namespace fw
