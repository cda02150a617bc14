// The dispatcher's mapping of mission numbers, the results booked for
// each way a battle ends, the objective lists following the world, and
// each map holding what its script uses.
#include "tests/missions/mission_fixture.hpp"

namespace fw::missiontest {
namespace {

TEST(MissionNumbers, ZeroIsTheTwentiethAndNegativeRunsNothing) {
  EXPECT_EQ(CampaignScript::ScriptOf(0), 20);
  EXPECT_EQ(CampaignScript::ScriptOf(1), 1);
  EXPECT_EQ(CampaignScript::ScriptOf(19), 19);
  EXPECT_EQ(CampaignScript::ScriptOf(-1), std::nullopt);
  EXPECT_EQ(CampaignMission(1).MapLetter, 'A');
  EXPECT_EQ(CampaignMission(20).MapLetter, 'T');
  EXPECT_EQ(CampaignMission(3).WinValue, 4);
}

TEST_F(MissionTest, TwentyFirstMissionPlaysTheFirst) {
  Start(21);
  EXPECT_EQ(static_cast<const CampaignScript&>(*script).Mission, 1);
  EXPECT_EQ(w.Mission, 1);
  EXPECT_EQ(GetTeamCount(w, 1), 15);
  Finish(0);
  EXPECT_EQ(EndResult.MisIndex, 1);
}

TEST_F(MissionTest, NegativeMissionRunsNoStage) {
  Users->Item(1)->Mission = -3;
  script = MakeCampaignScript();
  for (uint8_t stage : {0, 1, 2}) script->RunMission(b, stage);
  EXPECT_EQ(b.LoadError, "");
  EXPECT_TRUE(w.Units.empty());
  EXPECT_EQ(EndResult.MisIndex, 0);
  EXPECT_EQ(Users->Item(1)->Death, kDeaths);
}

TEST_F(MissionTest, MissionZeroIsBookedAsTheTwentieth) {
  Users->Item(1)->Mission = 40;
  script = MakeCampaignScript();
  script->RunMission(b, 2);
  EXPECT_EQ(EndResult.MisIndex, 20);
  EXPECT_FALSE(EndResult.WinState);
}

TEST_F(MissionTest, LeavingByTheQuestionBooksNothing) {
  Start(1);
  Frame();
  w.RunState = "EXIT";  // the exit question answered
  const SingleUser u = Finish(4);
  EXPECT_EQ(EndResult.MisIndex, 1);
  EXPECT_FALSE(EndResult.WinState);
  EXPECT_EQ(u.Money, kMoney);
  EXPECT_EQ(u.Kill, kKills);
  EXPECT_EQ(u.Death, kDeaths);
  EXPECT_EQ(Users->WinMoney, 0);
  EXPECT_EQ(Users->KillMoney, 77);
}

// Each script's variables are its own and start at 0 with every battle.
TEST_F(MissionTest, ScriptsKeepTheirOwnVariables) {
  Start(2);
  EXPECT_EQ(Vars(2).MisPool, 10);
  EXPECT_EQ(Vars(5).MisPool, 0);
  script = MakeCampaignScript();
  EXPECT_EQ(Vars(2).MisPool, 0);
}

TEST_F(MissionTest, BuildingObjectivesFollowRemovals) {
  Start(3);
  auto& goals = w.ObjectiveBuilds;
  ASSERT_EQ(goals.size(), 16u);
  // 393 is at position 2: it goes, and every entry above it moves down.
  Destroy(393);
  EXPECT_EQ(goals[0], 2);
  EXPECT_EQ(goals[1], 401);
  EXPECT_EQ(goals[2], -1);
  EXPECT_EQ(goals[8], 425);
  EXPECT_EQ(goals[13], 313);
  // A building that is no objective writes 0 and still lowers those above.
  Destroy(10);
  EXPECT_EQ(goals[0], 0);
  EXPECT_EQ(goals[1], 400);
  EXPECT_EQ(goals[2], -1);
  EXPECT_EQ(goals[13], 312);
  // 426 stood twice: both entries go at once.
  Destroy(goals[8]);
  EXPECT_EQ(goals[8], -1);
  EXPECT_EQ(goals[12], -1);
  EXPECT_EQ(goals[0], 12);
}

TEST_F(MissionTest, UnitObjectivesFollowRemovals) {
  Start(1);
  const int32_t last = static_cast<int32_t>(w.Units.size()) - 1;
  w.ObjectiveUnits = {0, 3, last, 5};
  RemoveUnit(w, 3, rules);
  // 3 is gone; the last unit moved into its slot and its entry followed.
  EXPECT_EQ(w.ObjectiveUnits, (std::vector<int32_t>{2, -1, 3, 5}));
  RemoveUnit(w, 7, rules);
  EXPECT_EQ(w.ObjectiveUnits[0], 2);
}

// The scripts' numbers against the sample maps: every template, spot,
// area and building a script uses is on its map.
TEST_F(MissionTest, EveryMapHoldsWhatItsScriptUses) {
  for (int32_t n = 1; n <= kMissionCount; ++n) {
    SCOPED_TRACE(n);
    const MissionInfo& info = CampaignMission(n);
    ASSERT_NE(info.Script, nullptr);
    BattleState map;
    ASSERT_TRUE(LoadHeadlessWorld(map, std::string("Map") + info.MapLetter));
    EXPECT_EQ(MissingFromMap(map, info.Needs), "");
    EXPECT_GT(info.Needs.Templates, 0);
    EXPECT_GT(info.Needs.Spots, 0);
    EXPECT_GT(info.Needs.Areas, 0);
  }
}

TEST_F(MissionTest, MapWithoutTheScriptsNumbersIsRefused) {
  BattleState map;
  ASSERT_TRUE(LoadHeadlessWorld(map, "MapA"));
  EXPECT_NE(MissingFromMap(map, CampaignMission(4).Needs).find("unit template 6"), std::string::npos);
  EXPECT_NE(MissingFromMap(map, CampaignMission(3).Needs).find("building 426"), std::string::npos);
  EXPECT_NE(MissingFromMap(map, CampaignMission(5).Needs).find("navigation spot 9"), std::string::npos);
  EXPECT_NE(MissingFromMap(map, MapNeeds{1, 1, 10, -1}).find("terrain area 10"), std::string::npos);
}

}  // namespace
}  // namespace fw::missiontest
