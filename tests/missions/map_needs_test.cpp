// The campaign table asks each map for exactly what its script uses: the
// script is driven through its phases and its random draws (the player in
// every area in turn, the rebels cleared again and again, under several
// random sequences), and the highest template, spot, area and building it
// asked for is compared with its row.
#include <algorithm>
#include <vector>

#include "platform/runtime/random.hpp"
#include "tests/missions/mission_fixture.hpp"

namespace fw::missiontest {
namespace {

class MapNeedsTable : public MissionTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(MapNeedsTable, TheTableAsksForWhatTheScriptUses) {
  const int32_t mission = GetParam();
  const MapNeeds& table = CampaignMission(mission).Needs;
  MapNeeds used;
  for (uint32_t seed : {4242u, 77u, 901u}) {
    plat::FixRandom(seed);
    w = BattleState{};
    for (auto load : {LoadSound, LoadEmyWeap, LoadImageInfo, LoadBuildingTypes}) ASSERT_TRUE(load(w));
    Start(mission);
    const auto rounds = [&](int n) {
      for (int round = 0; round < n && Running(); ++round) {
        for (int32_t a = 1; a <= table.Areas && Running(); ++a) {
          if (w.PlayerUnit >= 0) MovePlayerInto(a);
          Frame(5);
        }
        if (Running()) {
          KillTeam(1);
          Frame(5);
        }
      }
    };
    rounds(20);
    // Then the objectives fall, the last first so the others keep their
    // places, and the script runs on in its later phases.
    std::vector<int32_t> targets(w.ObjectiveBuilds.begin() + (w.ObjectiveBuilds.empty() ? 0 : 1),
                                 w.ObjectiveBuilds.end());
    std::sort(targets.rbegin(), targets.rend());
    for (int32_t t : targets)
      if (Running() && t >= 0 && static_cast<size_t>(t) < w.Builds.size()) {
        Destroy(t);
        Frame(5);
      }
    rounds(20);
    const MapNeeds& u = Vars(mission).Used;
    used.Templates = std::max(used.Templates, u.Templates);
    used.Spots = std::max(used.Spots, u.Spots);
    used.Areas = std::max(used.Areas, u.Areas);
    used.Building = std::max(used.Building, u.Building);
  }
  EXPECT_EQ(used.Templates, table.Templates) << "templates";
  EXPECT_EQ(used.Spots, table.Spots) << "spots";
  EXPECT_EQ(used.Areas, table.Areas) << "areas";
  EXPECT_EQ(used.Building, table.Building) << "building";
}

INSTANTIATE_TEST_SUITE_P(EveryMission, MapNeedsTable, ::testing::Range(1, 21));

}  // namespace
}  // namespace fw::missiontest
