#include "battle/mission_hooks.hpp"

namespace fw {

namespace {
MissionScriptMaker& Maker() {
  static MissionScriptMaker maker;
  return maker;
}
}  // namespace

void SetMissionScriptMaker(MissionScriptMaker maker) { Maker() = std::move(maker); }

std::unique_ptr<MissionScript> MakeMissionScript() {
  if (!Maker()) return nullptr;
  return Maker()();
}

void ShowMsg(BattleState& world, std::string_view text, float time) {
  world.MessageText = std::string(text);
  world.MessageTime = time;
}

}  // namespace fw
