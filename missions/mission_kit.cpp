#include "missions/mission_kit.hpp"

#include <charconv>

#include "battle/loaders.hpp"
#include "battle/roster.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/rects.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

std::string MissingFromMap(const BattleState& world, const MapNeeds& needs) {
  auto lack = [](const char* what, int32_t needed, size_t has) {
    return std::string("the mission needs ") + what + " " + std::to_string(needed) + ", the map has " +
           std::to_string(has);
  };
  // Spots and areas are numbered from 1 behind an empty record 0.
  const size_t spots = world.Spots.empty() ? 0 : world.Spots.size() - 1;
  const size_t areas = world.Terrains.empty() ? 0 : world.Terrains.size() - 1;
  if (world.Templates.Count() < needs.Templates)
    return lack("unit template", needs.Templates, static_cast<size_t>(world.Templates.Count()));
  if (static_cast<int64_t>(spots) < needs.Spots) return lack("navigation spot", needs.Spots, spots);
  if (static_cast<int64_t>(areas) < needs.Areas) return lack("terrain area", needs.Areas, areas);
  if (static_cast<int64_t>(world.Builds.size()) <= needs.Building)
    return lack("building", needs.Building, world.Builds.size());
  return {};
}

std::string MissionMapPath(char letter) {
  const std::string map = std::string("Map") + letter;
  return AppPath + "\\" + map + "\\" + map;
}

bool MissionRun::LoadMap() {
  const std::string path = MissionMapPath(Info.MapLetter);
  LoadResult r = ReadAllImage(W, B.Pictures, B.Progress, path);
  if (r) {
    const std::string missing = MissingFromMap(W, Info.Needs);
    if (!missing.empty()) r = LoadResult::Fail(path + ": " + missing);
  }
  if (!r) B.LoadError = r.Message;
  return r.Ok;
}

void MissionRun::PlacePlayer(int32_t spot, int32_t area) {
  W.PlayerUnit = AddTank(W, B.Pictures, *Users->NowTank, 0, 0, spot, area);
}

int32_t MissionRun::Place(std::initializer_list<Placement> rows) {
  int32_t last = -1;
  for (const Placement& p : rows) {
    const auto tmpl = W.Templates.Item(p.Template);
    // The map was checked against the script's needs when it loaded.
    if (!tmpl) throw plat::RuntimeError(plat::ErrorCode::General, "unit template " + std::to_string(p.Template) + " is missing");
    for (int32_t n = 0; n < p.Count; ++n) last = AddTank(W, B.Pictures, *tmpl, p.Style, p.Team, p.Spot, p.Area);
  }
  return last;
}

void MissionRun::PlaceFollowing(Placement row, int32_t leader) {
  const int32_t count = row.Count;
  row.Count = 1;
  for (int32_t n = 0; n < count; ++n) Follow(Place({row}), leader);
}

void MissionRun::BuildingObjectives(std::initializer_list<int32_t> buildings) {
  W.ObjectiveBuilds.assign(1, 0);
  W.ObjectiveBuilds.insert(W.ObjectiveBuilds.end(), buildings.begin(), buildings.end());
}

void MissionRun::UnitObjectives(std::initializer_list<int32_t> units) {
  W.ObjectiveUnits.assign(1, static_cast<int32_t>(units.size()));
  W.ObjectiveUnits.insert(W.ObjectiveUnits.end(), units.begin(), units.end());
}

int32_t MissionRun::LiveBuildingObjectives() const {
  int32_t live = 0;
  for (size_t p = 1; p < W.ObjectiveBuilds.size(); ++p) live += W.ObjectiveBuilds[p] >= 0 ? 1 : 0;
  return live;
}

int32_t MissionRun::BuildingsOfKind(int32_t lo, int32_t hi) const {
  int32_t n = 0;
  for (const auto& b : W.Builds) {
    // Read as a number from its start: a key that begins otherwise is 0.
    double kind = 0.0;
    const std::string_view key = b.TypeKey;
    const size_t start = key.find_first_not_of(' ');
    if (start != std::string_view::npos) std::from_chars(key.data() + start, key.data() + key.size(), kind);
    n += kind >= lo && kind <= hi ? 1 : 0;
  }
  return n;
}

int32_t MissionRun::Enemies() const { return TeamCount(1); }

int32_t MissionRun::TeamCount(uint8_t team) const { return GetTeamCount(W, team); }

bool MissionRun::PlayerIn(int32_t area) const {
  if (W.PlayerUnit < 0 || static_cast<size_t>(W.PlayerUnit) >= W.Units.size()) return false;
  if (area < 0 || static_cast<size_t>(area) >= W.Terrains.size()) return false;
  const BattleUnit& u = W.Units[static_cast<size_t>(W.PlayerUnit)];
  return PtInRECT(static_cast<int32_t>(plat::RoundHalfEven(u.PosX)), static_cast<int32_t>(plat::RoundHalfEven(u.PosY)),
                  W.Terrains[static_cast<size_t>(area)].Area);
}

void MissionRun::Announce(std::string_view text) {
  B.Env.Out.PlaySoundKey("Bleep01");
  ShowMsg(W, text, kMessageTime);
}

bool MissionRun::TimerPasses(float delay) {
  V.MisTimer += W.FrameFactor;
  return V.MisTimer > delay;
}

bool MissionRun::EndAfter(bool holds, float delay, int32_t result) {
  if (!holds || !TimerPasses(delay)) return false;
  EndNow(result);
  return true;
}

void MissionRun::EndNow(int32_t result) {
  V.MisState = result;
  W.RunState = "EXIT";
}

void MissionRun::SetState(int32_t state) {
  if (!Lost()) V.MisState = state;
}

int32_t RandomBelow(int32_t n) { return static_cast<int32_t>(plat::Rnd() * static_cast<float>(n)); }

void BookResult(int32_t number, const MissionInfo& info, const MisVars& vars) {
  EndResult.MisIndex = number;
  auto user = Users->NowItem();
  if (vars.MisState == MisLost) {
    user->Death += 1;
    user->Kill += Users->KillTank;
    EndResult.WinState = false;
  } else if (vars.MisState == info.WinValue) {
    user->Kill += Users->KillTank;
    Users->KillMoney = Users->KillTank * info.KillMoney;
    Users->WinMoney = info.Reward;
    user->Money += Users->WinMoney + Users->KillMoney;
    EndResult.WinState = true;
  }
}

}  // namespace fw
