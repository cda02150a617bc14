// Missions 16 to 20 played by their scripts on the sample maps, each to a
// win and to a loss, with rebels drawn at random and kept topped up.
#include "tests/missions/mission_fixture.hpp"

namespace fw::missiontest {
namespace {

TEST_F(MissionTest, Mission16FiftyMoreOneAFrameUpTo25) {
  Start(16);
  EXPECT_EQ(GetTeamCount(w, 1), 1);
  for (int k = 0; k < 30; ++k) Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 25);
  EXPECT_EQ(Vars(16).MisPool, 26);
  for (const BattleUnit& u : w.Units)
    if (u.Team == 1) {
      EXPECT_EQ(u.Style, 1);
    }
  RemoveUnit(w, 1, rules);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 25) << "replaced in the same frame";
  EXPECT_EQ(Vars(16).MisPool, 25);
  while (Vars(16).MisPool > 0) KillTeam(1), Frame();
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(51), 16, 1500, 51, 25);
}

TEST_F(MissionTest, Mission16Lost) {
  Start(16);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(2), 16, 2);
}

TEST_F(MissionTest, Mission17Area10StartsSixtyAttackersAtMost13AtATime) {
  Start(17);
  EXPECT_EQ(GetTeamCount(w, 0), 7);
  EXPECT_EQ(GetTeamCount(w, 1), 6);
  EXPECT_EQ(w.GoalX, 1400);
  EXPECT_EQ(w.GoalY, 774);
  EXPECT_EQ((std::vector<int32_t>{0, 13, 116, 119, 124, 128, 131, 134, 135, 140}), w.ObjectiveBuilds);
  KillTeam(1);
  for (int k = 0; k < 5; ++k) Frame(100);
  EXPECT_TRUE(Running()) << "no win before area 10";
  MovePlayerInto(10);
  Frame();
  EXPECT_EQ(Vars(17).MisState, 1);
  EXPECT_EQ(w.GoalX, 0);
  EXPECT_EQ(GetTeamCount(w, 1), 1);
  EXPECT_EQ(w.Units.back().Style, 6);
  for (int k = 0; k < 20; ++k) Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 13);
  while (Vars(17).MisPool > 0) KillTeam(1), Frame();
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(66), 17, 1800, 66, 25);
}

// The script sends its units to spots 1 to 8 only, waves included: a map
// with eight spots passes the check and carries the whole battle.
TEST_F(MissionTest, Mission17NeedsAndUsesEightSpots) {
  Start(17);
  ASSERT_GT(w.Spots.size(), 9u);
  w.Spots.resize(9);  // record 0 and spots 1 to 8
  EXPECT_EQ(MissingFromMap(w, CampaignMission(17).Needs), "");
  MovePlayerInto(10);
  Frame();
  ASSERT_EQ(Vars(17).MisState, 1);
  for (int k = 0; k < 200 && Vars(17).MisPool > 0; ++k) {
    KillTeam(1);
    ASSERT_NO_THROW(Frame()) << "wave " << k;
  }
  EXPECT_EQ(Vars(17).MisPool, 0);
}

TEST_F(MissionTest, Mission17ChemicalFactoryDownLosesWithThePlayerAlive) {
  Start(17);
  for (size_t p = 1; p < 9; ++p) Destroy(w.ObjectiveBuilds[p]);
  Frame(100);
  EXPECT_EQ(Vars(17).MisState, 0) << "one building of the factory stands";
  EXPECT_EQ(Bleeps(out), 0u);
  Destroy(w.ObjectiveBuilds[9]);
  Frame(100);
  EXPECT_EQ(w.MessageText, "Chemical Factory Damaged");
  EXPECT_EQ(Vars(17).MisState, MisLost);
  MovePlayerInto(10);
  EXPECT_EQ(RunToEnd(100), 3);
  EXPECT_EQ(Bleeps(out), 1u);
  EXPECT_GE(w.PlayerUnit, 0);
  ExpectLost(Finish(0), 17, 0);
}

TEST_F(MissionTest, Mission18HuntersToppedUpToNine) {
  Start(18);
  EXPECT_EQ(GetTeamCount(w, 0), 4);
  for (size_t i = 1; i <= 3; ++i) EXPECT_EQ(w.Units[i].LeaderTank, w.PlayerUnit);
  EXPECT_EQ(GetTeamCount(w, 1), 1);
  Frame();
  EXPECT_EQ(w.Units.back().Style, 4);
  EXPECT_EQ(w.Units.back().LeaderTank, w.PlayerUnit);
  for (int k = 0; k < 20; ++k) Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 9);
  EXPECT_EQ(Vars(18).MisPool, 52);
  while (Vars(18).MisPool > 0) KillTeam(1), Frame();
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(61), 18, 2500, 61, 25);
}

TEST_F(MissionTest, Mission18Lost) {
  Start(18);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(4), 18, 4);
}

TEST_F(MissionTest, Mission19EscortsKeepThePlayersSideAtFourEvenAfterTheLoss) {
  Start(19);
  EXPECT_EQ(GetTeamCount(w, 0), 3);
  EXPECT_EQ(GetTeamCount(w, 1), 0);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 0), 4);
  EXPECT_EQ(GetTeamCount(w, 1), 1) << "the rebels come after the escort, before the win test";
  EXPECT_EQ(Vars(19).MisEscortPool, 19);
  for (int k = 0; k < 30; ++k) Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 21);
  KillPlayer();
  Frame(100);
  EXPECT_EQ(GetTeamCount(w, 0), 4);
  EXPECT_EQ(w.Units.back().Team, 0);
  EXPECT_EQ(w.Units.back().LeaderTank, -1);
  EXPECT_EQ(RunToEnd(100), 3);
  ExpectLost(Finish(7), 19, 7);
}

TEST_F(MissionTest, Mission19WonOnceEightyAreDown) {
  Start(19);
  Frame();
  while (Vars(19).MisPool > 0) KillTeam(1), Frame();
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(80), 19, 3000, 80, 25);
}

TEST_F(MissionTest, Mission20CountOfFactoriesShownUntilNoneIsLeft) {
  Start(20);
  // The sample map's factories are all tank works; the other kinds the
  // count covers are counted all the same.
  w.Builds[1].TypeKey = "577";
  w.Builds[2].TypeKey = "580";
  w.Builds[3].TypeKey = "672";
  EXPECT_EQ(GetTeamCount(w, 1), 1);
  EXPECT_EQ(w.Units[1].LeaderTank, w.PlayerUnit);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 2);
  Destroy(0);  // not a factory: the count starts all the same
  Frame();
  EXPECT_EQ(w.MessageText, " 7Building(s)");
  DestroyKinds(661, 664);
  DestroyKinds(577, 577);
  DestroyKinds(580, 580);
  w.MessageTime = 0;
  Frame();
  EXPECT_EQ(w.MessageText, " 1Building(s)");
  EXPECT_EQ(w.MessageTime, 300.0f) << "shown again on every frame";
  EXPECT_EQ(Bleeps(out), 0u);
  DestroyKinds(672, 672);
  Frame();
  EXPECT_EQ(w.MessageText, " 0Building(s)");
  EXPECT_EQ(Vars(20).MisState, 1);
  const int32_t rebels = GetTeamCount(w, 1);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), rebels) << "no hunters once the factories are gone";
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(8), 20, 20000, 8, 30);
}

TEST_F(MissionTest, Mission20Lost) {
  Start(20);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(3), 20, 3);
}

}  // namespace
}  // namespace fw::missiontest
