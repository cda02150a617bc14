// Missions 6 to 10 played by their scripts on the sample maps, each to a
// win and to a loss, with their waves and what is booked into the saved
// profile.
#include "tests/missions/mission_fixture.hpp"

namespace fw::missiontest {
namespace {

// Removes enemies until `left` remain.
void ThinRebels(BattleState& w, BattleRules& rules, int32_t left) {
  for (int32_t i = static_cast<int32_t>(w.Units.size()) - 1; i >= 0 && GetTeamCount(w, 1) > left; --i)
    if (w.Units[static_cast<size_t>(i)].Team == 1) RemoveUnit(w, i, rules);
}

int32_t WithModel(const BattleState& w, int16_t shield, float top) {
  return static_cast<int32_t>(std::count_if(w.Units.begin(), w.Units.end(), [&](const BattleUnit& u) {
    return u.Team == 1 && u.ShieldFull == shield && u.TopSpeed == top;
  }));
}

TEST_F(MissionTest, Mission6BothVehiclesDownWinsWhileEscortsRemain) {
  Start(6);
  EXPECT_EQ(GetTeamCount(w, 1), 17);
  ASSERT_EQ(w.ObjectiveUnits.size(), 3u);
  EXPECT_EQ(w.ObjectiveUnits[0], 2);
  const int32_t a = w.ObjectiveUnits[1];
  EXPECT_EQ(w.Units[static_cast<size_t>(a)].Style, 5);
  for (int32_t e = a + 2; e < a + 6; ++e) EXPECT_EQ(w.Units[static_cast<size_t>(e)].LeaderTank, a);
  for (int32_t e = a + 6; e < a + 10; ++e) EXPECT_EQ(w.Units[static_cast<size_t>(e)].LeaderTank, w.ObjectiveUnits[2]);
  EXPECT_EQ(w.GoalX, 0);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 17) << "no wave while 14 or more";
  RemoveUnit(w, w.ObjectiveUnits[1], rules);
  EXPECT_EQ(w.ObjectiveUnits[0], 1);
  Frame(100);
  EXPECT_EQ(Vars(6).MisTimer, 0.0f);
  RemoveUnit(w, w.ObjectiveUnits[2], rules);
  EXPECT_EQ(w.ObjectiveUnits[0], 0);
  Frame(100);
  Frame(100);
  Frame(100);
  EXPECT_TRUE(Running());
  Frame(1);
  EXPECT_FALSE(Running());
  EXPECT_EQ(GetTeamCount(w, 1), 15);
  ExpectWon(Finish(2), 6, 800, 2, 15);
}

TEST_F(MissionTest, Mission6ElevenWavesOfTwoThenTheAnnihilation) {
  Start(6);
  int waves = 0;
  for (int guard = 0; guard < 30 && Vars(6).MisPool >= 0; ++guard) {
    KillTeam(1);
    Frame();
    ++waves;
    ASSERT_EQ(GetTeamCount(w, 1), 2);
    const BattleUnit& last = w.Units.back();
    EXPECT_EQ(last.LeaderTank, -1);
    EXPECT_EQ(last.Style, 1);
  }
  EXPECT_EQ(waves, 11);
  EXPECT_EQ(Vars(6).MisPool, -2);
  KillTeam(1);
  // The vehicles' test and the annihilation's both add to the timer.
  EXPECT_EQ(RunToEnd(100), 2);
  EXPECT_EQ(GetTeamCount(w, 1), 0);
  ExpectWon(Finish(39), 6, 800, 39, 15);
}

TEST_F(MissionTest, Mission6Lost) {
  Start(6);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(3), 6, 3);
}

TEST_F(MissionTest, Mission7EveryRebelAttacksInWavesOfEight) {
  Start(7);
  EXPECT_EQ(GetTeamCount(w, 0), 4);
  EXPECT_EQ(GetTeamCount(w, 1), 8);
  ASSERT_EQ(w.ObjectiveBuilds.size(), 2u);
  EXPECT_EQ(w.ObjectiveBuilds[1], 293);
  ThinRebels(w, rules, 3);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 3);
  ThinRebels(w, rules, 2);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 10);
  EXPECT_EQ(Vars(7).MisPool, 2);
  int waves = 1;
  for (int guard = 0; guard < 10 && Vars(7).MisPool >= 0; ++guard) KillTeam(1), Frame(), ++waves;
  EXPECT_EQ(waves, 4);
  for (const BattleUnit& u : w.Units)
    if (u.Team == 1) {
      EXPECT_EQ(u.Style, 6);
    }
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(32), 7, 900, 32, 15);
}

TEST_F(MissionTest, Mission7BuildingLostLosesWithThePlayerAlive) {
  Start(7);
  Destroy(293);
  EXPECT_EQ(w.ObjectiveBuilds[1], -1);
  EXPECT_EQ(RunToEnd(100), 4);
  EXPECT_EQ(Vars(7).MisState, MisLost);
  EXPECT_GE(w.PlayerUnit, 0);
  ExpectLost(Finish(1), 7, 1);
}

TEST_F(MissionTest, Mission7Lost) {
  Start(7);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(0), 7, 0);
}

TEST_F(MissionTest, Mission8WavesOfSevenThenTheWin) {
  Start(8);
  EXPECT_EQ(GetTeamCount(w, 0), 3);
  EXPECT_EQ(w.Units[1].LeaderTank, w.PlayerUnit);
  EXPECT_EQ(w.Units[2].LeaderTank, w.PlayerUnit);
  EXPECT_EQ(w.Units[2].Style, 4);
  EXPECT_EQ(GetTeamCount(w, 1), 14);
  ThinRebels(w, rules, 11);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 11);
  ThinRebels(w, rules, 10);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 17);
  int waves = 1;
  for (int guard = 0; guard < 10 && Vars(8).MisPool >= 0; ++guard) {
    KillTeam(1);
    Frame(100);
    ++waves;
    EXPECT_EQ(GetTeamCount(w, 1), 7);
  }
  EXPECT_EQ(waves, 4);
  EXPECT_EQ(Vars(8).MisTimer, 0.0f) << "no win while the pool lasts";
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(42), 8, 1200, 42, 15);
}

TEST_F(MissionTest, Mission8Lost) {
  Start(8);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(5), 8, 5);
}

TEST_F(MissionTest, Mission9NoWinBeforeTheRescueThenOneRescue) {
  Start(9);
  EXPECT_EQ(GetTeamCount(w, 0), 4);
  EXPECT_EQ(GetTeamCount(w, 1), 14);
  EXPECT_EQ(w.GoalX, 3440);
  EXPECT_EQ(w.GoalY, 828);
  EXPECT_EQ(w.ObjectiveBuilds[1], 204);
  for (int guard = 0; guard < 10 && Vars(9).MisPool >= 0; ++guard) {
    KillTeam(1);
    Frame();
    EXPECT_EQ(GetTeamCount(w, 1), 8);
  }
  EXPECT_EQ(Vars(9).MisPool, -1);
  KillTeam(1);
  for (int k = 0; k < 20; ++k) Frame(100);
  EXPECT_TRUE(Running()) << "no win before building 204 falls";
  Destroy(204);
  Frame();
  EXPECT_EQ(Vars(9).MisState, 1);
  EXPECT_EQ(w.MessageText, "Scientist Freed");
  EXPECT_EQ(w.MessageTime, 300.0f);
  EXPECT_EQ(w.GoalX, 0);
  EXPECT_EQ(w.GoalY, 0);
  EXPECT_EQ(GetTeamCount(w, 1), 8);
  Frame();
  EXPECT_EQ(Bleeps(out), 1u);
  EXPECT_EQ(GetTeamCount(w, 1), 8);
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(40), 9, 1000, 40, 15);
}

TEST_F(MissionTest, Mission9LostAfterTheRescue) {
  Start(9);
  Destroy(204);
  Frame();
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  EXPECT_EQ(Vars(9).MisState, MisLost);
  ExpectLost(Finish(0), 9, 0);
}

TEST_F(MissionTest, Mission10ThreeWavesOfTheirOwnTemplates) {
  Start(10);
  EXPECT_EQ(GetTeamCount(w, 0), 4);
  EXPECT_EQ(w.Units[1].LeaderTank, w.PlayerUnit);
  EXPECT_EQ(GetTeamCount(w, 1), 15);
  ThinRebels(w, rules, 12);
  Frame();
  // The first wave: templates 4, 3 and 5, three each.
  EXPECT_EQ(GetTeamCount(w, 1), 21);
  EXPECT_EQ(Vars(10).MisPool, 2);
  // Told apart by shield and top speed: templates 3, 4 and 5 of the map.
  EXPECT_EQ(WithModel(w, 25, 2.6f), 3);
  EXPECT_EQ(WithModel(w, 40, 2.6f), 3);
  EXPECT_EQ(WithModel(w, 40, 3.0f), 3);
  ThinRebels(w, rules, 12);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 18);
  EXPECT_EQ(Vars(10).MisPool, 1);
  KillTeam(1);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 6);
  EXPECT_EQ(WithModel(w, 40, 3.0f), 6) << "the later waves are all of template 5";
  EXPECT_EQ(Vars(10).MisPool, 0);
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(36), 10, 1500, 36, 15);
}

TEST_F(MissionTest, Mission10FirstTwoWavesInOneFrame) {
  Start(10);
  ThinRebels(w, rules, 3);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 18);
  EXPECT_EQ(Vars(10).MisPool, 1);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(12), 10, 12);
}

}  // namespace
}  // namespace fw::missiontest
