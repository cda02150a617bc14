// Missions 1 to 5 played by their scripts on the sample maps, each to a
// win and to a loss, with what is booked into the saved profile.
#include <algorithm>

#include "tests/missions/mission_fixture.hpp"

namespace fw::missiontest {
namespace {

TEST_F(MissionTest, Mission1RescueThenAppointedSpotWinsAtOnce) {
  Start(1);
  EXPECT_EQ(w.PlayerUnit, 0);
  EXPECT_EQ(GetTeamCount(w, 1), 15);
  EXPECT_EQ(w.GoalX, 724);
  // The appointed spot before the rescue does nothing.
  MovePlayerInto(3);
  Frame();
  EXPECT_TRUE(Running());
  MovePlayerInto(9);
  Frame();
  EXPECT_EQ(Vars(1).MisState, 1);
  EXPECT_EQ(w.MessageText, "Leader Rescued");
  EXPECT_EQ(w.MessageTime, 300.0f);
  EXPECT_EQ(Bleeps(out), 1u);
  EXPECT_EQ(w.GoalX, 4885);
  EXPECT_EQ(w.GoalY, 1933);
  for (size_t i = 1; i < w.Units.size(); ++i) {
    EXPECT_EQ(w.Units[i].Style, 4);
    EXPECT_EQ(w.Units[i].BaseStyle, 1);
    EXPECT_EQ(w.Units[i].LeaderTank, 0);
  }
  Frame();  // a second visit: no second message
  EXPECT_EQ(Bleeps(out), 1u);
  MovePlayerInto(3);
  Frame();
  EXPECT_FALSE(Running());
  ExpectWon(Finish(4), 1, 300, 4, 10);
}

TEST_F(MissionTest, Mission1TopsTheRebelsUpToElevenOneAFrame) {
  Start(1);
  while (GetTeamCount(w, 1) > 8) RemoveUnit(w, 1, rules);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 9);
  const BattleUnit& added = w.Units.back();
  const RECT& area4 = w.Terrains[4].Area;
  EXPECT_GE(added.PosX, area4.Left);
  EXPECT_LE(added.PosX, area4.Right);
  EXPECT_EQ(added.Style, 1);
  Frame();
  Frame();
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 11);
}

TEST_F(MissionTest, Mission1LostAfterTheClosingDelay) {
  Start(1);
  KillPlayer();
  EXPECT_EQ(w.PlayerUnit, -1);
  Frame(100);
  Frame(100);
  Frame(100);
  EXPECT_TRUE(Running()) << "300 is not above the delay";
  Frame(1);
  EXPECT_FALSE(Running());
  EXPECT_EQ(Vars(1).MisState, MisLost);
  ExpectLost(Finish(4), 1, 4);
  EXPECT_EQ(Users->KillMoney, 77);  // the last won battle's, kept
}

TEST_F(MissionTest, Mission2WavesFromThePoolThenTheWin) {
  Start(2);
  EXPECT_EQ(GetTeamCount(w, 1), 10);
  // Seven left: a wave of two comes at once.
  for (int k = 0; k < 3; ++k) RemoveUnit(w, 1, rules);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 9);
  EXPECT_EQ(Vars(2).MisPool, 8);
  int waves = 1;
  for (int guard = 0; guard < 20 && Vars(2).MisPool > 0; ++guard) {
    KillTeam(1);
    Frame();
    ++waves;
    EXPECT_EQ(Vars(2).MisTimer, 0.0f) << "no delay while the pool lasts";
  }
  EXPECT_EQ(waves, 5);
  EXPECT_EQ(GetTeamCount(w, 1), 2);
  Frame(100);
  EXPECT_EQ(Vars(2).MisTimer, 0.0f) << "no delay while a rebel is left";
  KillTeam(1);
  Frame(100);
  Frame(100);
  EXPECT_TRUE(Running());
  Frame(1);
  EXPECT_FALSE(Running());
  ExpectWon(Finish(12), 2, 500, 12, 10);
}

TEST_F(MissionTest, Mission2Lost) {
  Start(2);
  KillPlayer();
  EXPECT_EQ(RunToEnd(50), 7);
  ExpectLost(Finish(1), 2, 1);
}

TEST_F(MissionTest, Mission3ThirdTeamComesAndIsKeptAtTwo) {
  Start(3);
  EXPECT_EQ(GetTeamCount(w, 1), 12);
  EXPECT_FLOAT_EQ(w.Units[11].PosX, 2150);
  EXPECT_FLOAT_EQ(w.Units[12].PosY, 2257);
  EXPECT_EQ(w.Units[12].Style, 3);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 2), 0);
  MovePlayerInto(7);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 2), 4);
  EXPECT_EQ(Vars(3).MisState, 1);
  for (int k = 0; k < 3; ++k) {
    const auto it = std::find_if(w.Units.begin(), w.Units.end(), [](const BattleUnit& u) { return u.Team == 2; });
    RemoveUnit(w, static_cast<int32_t>(it - w.Units.begin()), rules);
  }
  Frame();
  EXPECT_EQ(GetTeamCount(w, 2), 3);
}

TEST_F(MissionTest, Mission3CommandCentreTakesTheBaseWithIt) {
  Start(3);
  const size_t buildings = w.Builds.size();
  Destroy(393);
  Frame(100);
  EXPECT_EQ(Vars(3).MisState, 0) << "only the first objective ends anything";
  Destroy(w.ObjectiveBuilds[1]);
  Frame();
  EXPECT_EQ(Vars(3).MisState, 4);
  Destroy(0);  // the building step of the next frame takes the rest
  // 15 entries, 14 buildings (426 twice), and building 0.
  EXPECT_EQ(w.Builds.size(), buildings - 15);
  for (size_t p = 1; p < w.ObjectiveBuilds.size(); ++p) EXPECT_EQ(w.ObjectiveBuilds[p], -1);
  Frame(200);
  Frame(199);
  EXPECT_TRUE(Running()) << "400 is not above the delay";
  Frame(1);
  EXPECT_FALSE(Running());
  EXPECT_EQ(Vars(3).MisState, 4);
  ExpectWon(Finish(3), 3, 600, 3, 10);
}

// The player's unit lost during the demolition's delay: the loss stands,
// though the demolition step runs after the loss test in the same frame.
TEST_F(MissionTest, Mission3PlayerLostDuringTheDemolitionLoses) {
  Start(3);
  Destroy(402);
  Frame(250);
  KillPlayer();
  Frame(100);
  EXPECT_FALSE(Running());
  EXPECT_EQ(Vars(3).MisState, MisLost);
  ExpectLost(Finish(2), 3, 2);
}

TEST_F(MissionTest, Mission4EscortAndTheWin) {
  Start(4);
  const BattleUnit& escort = w.Units[1];
  EXPECT_EQ(escort.Team, 0);
  EXPECT_EQ(escort.Style, 4);
  EXPECT_EQ(escort.BaseStyle, 4);
  EXPECT_EQ(escort.LeaderTank, w.PlayerUnit);
  EXPECT_EQ(GetTeamCount(w, 1), 18);
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  EXPECT_EQ(GetTeamCount(w, 0), 2);
  ExpectWon(Finish(18), 4, 800, 18, 10);
}

// The player dies in the frame the last rebel falls: the loss stands.
// Both tests add to the one timer, so the win's passes first (400 in the
// second frame, the loss's 300 is not above its delay), yet ends nothing
// without the player; the loss ends the third.
// Both delays run on the one timer; the win test comes after the loss test
// and decides.
TEST_F(MissionTest, Mission4PlayerDyingWithTheLastRebelWins) {
  Start(4);
  KillTeam(1);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 2);
  EXPECT_EQ(Vars(4).MisState, MisWon);
  ExpectWon(Finish(18), 4, 800, 18, 10);
}

TEST_F(MissionTest, Mission5TimedWavesAndTheWin) {
  Start(5);
  EXPECT_EQ(GetTeamCount(w, 0), 4);
  EXPECT_EQ(GetTeamCount(w, 1), 18);
  for (int k = 0; k < 20; ++k) Frame(100);
  EXPECT_EQ(GetTeamCount(w, 1), 18);
  Frame(1);
  EXPECT_EQ(GetTeamCount(w, 1), 22);
  EXPECT_EQ(Vars(5).MisPool, 1);
  EXPECT_EQ(Vars(5).MisTimer, 0.0f);
  // All rebels gone before the second wave: won 300 later, the wave never comes.
  KillTeam(1);
  EXPECT_EQ(RunToEnd(50), 4);  // two tests add 50 each frame
  EXPECT_EQ(GetTeamCount(w, 1), 0);
  EXPECT_EQ(Vars(5).MisPool, 1);
  ExpectWon(Finish(22), 5, 1000, 22, 10);
}

TEST_F(MissionTest, Mission5Lost) {
  Start(5);
  KillPlayer();
  EXPECT_LE(RunToEnd(100), 4);
  ExpectLost(Finish(0), 5, 0);
}

}  // namespace
}  // namespace fw::missiontest
