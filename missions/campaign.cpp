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
      {'F', 800, 15, MisWon, {4, 5, 6, -1}, Mission6},
      {'G', 900, 15, MisWon, {4, 8, 8, 293}, Mission7},
      {'H', 1200, 15, MisWon, {4, 10, 10, -1}, Mission8},
      {'I', 1000, 15, MisWon, {5, 7, 7, 204}, Mission9},
      {'J', 1500, 15, MisWon, {6, 9, 9, -1}, Mission10},
      {'K', 1000, 20, MisWon, {5, 9, 11, 49}, Mission11},
      {'L', 1200, 20, MisWon, {5, 11, 13, -1}, Mission12},
      {'M', 1000, 20, MisWon, {2, 4, 16, -1}, Mission13},
      {'N', 1800, 20, MisWon, {6, 12, 13, -1}, Mission14},
      {'O', 2000, 20, MisWon, {3, 10, 11, 432}, Mission15},
      {'P', 1500, 25, MisWon, {4, 13, 13, -1}, Mission16},
      {'Q', 1800, 25, MisWon, {5, 8, 10, 140}, Mission17},
      {'R', 2500, 25, MisWon, {6, 10, 10, -1}, Mission18},
      {'S', 3000, 25, MisWon, {6, 10, 10, -1}, Mission19},
      {'T', 20000, 30, MisWon, {7, 14, 14, -1}, Mission20},
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
