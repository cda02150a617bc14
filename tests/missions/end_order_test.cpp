// Which end test decides when the player's unit is gone while the loss
// delay runs and a goal is reached in the meantime: the later test in the
// script's frame order, with the two exceptions the scripts make (mission 3
// stops at its loss, mission 17 keeps a lost state).
#include "tests/missions/mission_fixture.hpp"

namespace fw::missiontest {
namespace {

struct EndOrderRow {
  const char* what;
  int32_t mission;
  // Reaches the goal after the player's unit is gone.
  void (*reach)(MissionTest& t);
  bool won;
};

class EndOrderTest : public MissionTest, public ::testing::WithParamInterface<EndOrderRow> {
 public:
  void KillRebels() { KillTeam(1); }
  void DestroyBuilding(int32_t b) { Destroy(b); }
  BattleState& World() { return w; }
};

void Rebels(MissionTest& t) { static_cast<EndOrderTest&>(t).KillRebels(); }
void Magazine(MissionTest& t) {
  auto& e = static_cast<EndOrderTest&>(t);
  for (int k = 0; k < 4; ++k) e.DestroyBuilding(e.World().ObjectiveBuilds[static_cast<size_t>(k) + 1]);
}
void CommandCentre(MissionTest& t) {
  auto& e = static_cast<EndOrderTest&>(t);
  e.DestroyBuilding(e.World().ObjectiveBuilds[1]);
}
void FactoryAndRebels(MissionTest& t) {
  auto& e = static_cast<EndOrderTest&>(t);
  for (size_t p = 1; p < 10; ++p) e.DestroyBuilding(e.World().ObjectiveBuilds[p]);
  e.KillRebels();
}

TEST_P(EndOrderTest, GoalReachedWhileTheLossDelayRuns) {
  const EndOrderRow& row = GetParam();
  Start(row.mission);
  KillPlayer();
  for (int k = 0; k < 10; ++k) Frame(10);
  ASSERT_TRUE(Running());
  row.reach(*this);
  RunToEnd(10);
  ASSERT_FALSE(Running());
  if (row.won)
    ExpectWon(Finish(0), row.mission, CampaignMission(row.mission).Reward, 0, 0);
  else
    ExpectLost(Finish(0), row.mission, 0);
}

const EndOrderRow kRows[] = {
    {"RebelsGoneWinsMission12", 12, Rebels, true},
    {"MagazineGoneWinsMission11", 11, Magazine, true},
    {"RebelsGoneWinsMission11", 11, Rebels, true},
    {"RebelsGoneWinsMission4", 4, Rebels, true},
    {"Mission3KeepsItsLoss", 3, CommandCentre, false},
    {"Mission17StaysLost", 17, FactoryAndRebels, false},
};
INSTANTIATE_TEST_SUITE_P(Missions, EndOrderTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace fw::missiontest
