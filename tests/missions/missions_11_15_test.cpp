// Missions 11 to 15 played by their scripts on the sample maps, each to a
// win and to a loss, with their triggers, waves and messages.
#include "tests/missions/mission_fixture.hpp"

namespace fw::missiontest {
namespace {

TEST_F(MissionTest, Mission11CaptivesFollowInArea8AndTheMagazineAloneWins) {
  Start(11);
  EXPECT_EQ(GetTeamCount(w, 0), 4);
  EXPECT_EQ(GetTeamCount(w, 1), 19);
  ASSERT_EQ(w.ObjectiveUnits.size(), 4u);
  EXPECT_FLOAT_EQ(w.Units[static_cast<size_t>(w.ObjectiveUnits[1])].PosX, 4016);
  EXPECT_FLOAT_EQ(w.Units[static_cast<size_t>(w.ObjectiveUnits[3])].PosY, 3557);
  EXPECT_EQ(w.Units[1].Style, 3);
  EXPECT_EQ((std::vector<int32_t>{4, 34, 43, 44, 49}), w.ObjectiveBuilds);
  RemoveUnit(w, w.ObjectiveUnits[2], rules);
  EXPECT_EQ(w.ObjectiveUnits[2], -1);
  MovePlayerInto(8);
  Frame();
  for (size_t p : {1u, 3u}) {
    const BattleUnit& c = w.Units[static_cast<size_t>(w.ObjectiveUnits[p])];
    EXPECT_EQ(c.Style, 4);
    EXPECT_EQ(c.BaseStyle, 4);
    EXPECT_EQ(c.LeaderTank, w.PlayerUnit);
  }
  // Three of the four magazine buildings are not yet a win; the fourth is,
  // with rebels left.
  for (int k = 0; k < 3; ++k) Destroy(w.ObjectiveBuilds[static_cast<size_t>(k) + 1]);
  EXPECT_EQ(RunToEnd(100, 50), 50);
  Destroy(w.ObjectiveBuilds[4]);
  EXPECT_EQ(RunToEnd(100), 4);
  EXPECT_GT(GetTeamCount(w, 1), 0);
  ExpectWon(Finish(6), 11, 1000, 6, 20);
}

TEST_F(MissionTest, Mission11SixWavesFromArea10ThenNoRebelsWinsWithTheMagazineStanding) {
  Start(11);
  MovePlayerInto(10);
  Frame();
  // The trigger's two and the first wave's two in the same frame.
  EXPECT_EQ(GetTeamCount(w, 1), 23);
  EXPECT_EQ(Vars(11).MisState, 1);
  EXPECT_EQ(Vars(11).MisPool, 5);
  EXPECT_EQ(w.Units.back().Style, 6);
  Frame(1000);
  Frame(1000);
  EXPECT_EQ(GetTeamCount(w, 1), 23);
  Frame(1);
  EXPECT_EQ(GetTeamCount(w, 1), 25);
  Frame();  // still in area 10: no second trigger
  EXPECT_EQ(GetTeamCount(w, 1), 25);
  MovePlayerInto(1);
  while (Vars(11).MisPool > 0) Frame(2001);
  EXPECT_EQ(RunToEnd(100, 50), 50) << "rebels left and the magazine standing";
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  EXPECT_EQ(w.ObjectiveBuilds, (std::vector<int32_t>{4, 34, 43, 44, 49}));
  ExpectWon(Finish(33), 11, 1000, 33, 20);
}

// The wave time counts toward the closing delay: lost in the same frame.
TEST_F(MissionTest, Mission11LossOnTheWaveTimer) {
  Start(11);
  MovePlayerInto(10);
  Frame();
  Frame(500);
  KillPlayer();
  Frame(1);
  EXPECT_FALSE(Running());
  ExpectLost(Finish(2), 11, 2);
}

TEST_F(MissionTest, Mission12Area13ThenArea12BringsFiveWavesOfFour) {
  Start(12);
  EXPECT_EQ(GetTeamCount(w, 1), 21);
  EXPECT_EQ(w.Units[1].LeaderTank, w.PlayerUnit);
  MovePlayerInto(12);
  Frame();
  EXPECT_EQ(Vars(12).MisState, 0) << "area 12 needs area 13 first";
  MovePlayerInto(13);
  Frame();
  EXPECT_EQ(Vars(12).MisState, 1);
  EXPECT_EQ(GetTeamCount(w, 1), 25);
  MovePlayerInto(12);
  Frame();
  EXPECT_EQ(Vars(12).MisState, 10);
  EXPECT_EQ(Vars(12).MisPool, 20);
  Frame(2999);
  EXPECT_EQ(GetTeamCount(w, 1), 25);
  Frame(1);
  EXPECT_EQ(GetTeamCount(w, 1), 29);
  int waves = 1;
  while (Vars(12).MisPool > 0) Frame(3001), ++waves;
  EXPECT_EQ(waves, 5);
  EXPECT_EQ(GetTeamCount(w, 1), 45);
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(45), 12, 1200, 45, 20);
}

TEST_F(MissionTest, Mission12Lost) {
  Start(12);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(0), 12, 0);
}

TEST_F(MissionTest, Mission13HuntersOneAFrameUpTo25) {
  Start(13);
  EXPECT_EQ(GetTeamCount(w, 1), 6);
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 7);
  const BattleUnit& hunter = w.Units.back();
  EXPECT_EQ(hunter.Style, 4);
  EXPECT_EQ(hunter.LeaderTank, w.PlayerUnit);
  bool inAreas5To16 = false;
  for (size_t a = 5; a <= 16; ++a) {
    const RECT& r = w.Terrains[a].Area;
    inAreas5To16 |= hunter.PosX >= r.Left && hunter.PosX <= r.Right && hunter.PosY >= r.Top && hunter.PosY <= r.Bottom;
  }
  EXPECT_TRUE(inAreas5To16);
  for (int k = 0; k < 30; ++k) Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 25);
  EXPECT_EQ(Vars(13).MisPool, 31);
  while (Vars(13).MisPool > 0) KillTeam(1), Frame();
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(56), 13, 1000, 56, 20);
}

// The player is told that the tank factory's fall wins: it does, with
// rebels left.
TEST_F(MissionTest, Mission13TankFactoryDestroyedWins) {
  Start(13);
  const size_t before = w.Builds.size();
  DestroyKinds(661, 667);
  Frame(100);
  EXPECT_EQ(Vars(13).MisState, 0) << "one part still stands";
  DestroyKinds(668, 668);
  EXPECT_EQ(w.Builds.size(), before - 12);
  EXPECT_EQ(RunToEnd(100), 4);
  EXPECT_EQ(Vars(13).MisState, MisWon);
  EXPECT_GT(GetTeamCount(w, 1), 0);
  ExpectWon(Finish(1), 13, 1000, 1, 20);
}

TEST_F(MissionTest, Mission13Lost) {
  Start(13);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(3), 13, 3);
}

TEST_F(MissionTest, Mission14Area13AlliesEscortAndWavesComeSooner) {
  Start(14);
  EXPECT_EQ(GetTeamCount(w, 0), 3);
  EXPECT_EQ(GetTeamCount(w, 1), 24);
  MovePlayerInto(13);
  Frame();
  EXPECT_EQ(Vars(14).MisState, 1);
  EXPECT_EQ(GetTeamCount(w, 1), 26) << "the first wave in the trigger's frame";
  EXPECT_EQ(Vars(14).MisPool, 18);
  for (size_t p : {1u, 2u}) {
    EXPECT_EQ(w.Units[static_cast<size_t>(w.ObjectiveUnits[p])].Style, 4);
    EXPECT_EQ(w.Units[static_cast<size_t>(w.ObjectiveUnits[p])].LeaderTank, w.PlayerUnit);
  }
  Frame(1159);
  EXPECT_EQ(GetTeamCount(w, 1), 26);
  Frame(1);  // 18 x 20 + 800 reached, not passed
  EXPECT_EQ(GetTeamCount(w, 1), 28);
  int waves = 2;
  while (Vars(14).MisPool > 0) Frame(1200), ++waves;
  EXPECT_EQ(waves, 10);
  KillTeam(1);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(44), 14, 1800, 44, 20);
}

TEST_F(MissionTest, Mission14HelicopterBaseWinsBeforeArea13AndStopsTheWaves) {
  Start(14);
  // The sample base has no weapons factory; the count takes one all the
  // same.
  w.Builds[0].TypeKey = "577";
  DestroyKinds(601, 612);
  Frame(100);
  EXPECT_EQ(Vars(14).MisState, 0) << "the weapons factory still stands";
  DestroyKinds(577, 577);
  Frame(100);
  EXPECT_EQ(Vars(14).MisState, 5);
  MovePlayerInto(13);
  EXPECT_EQ(RunToEnd(100), 3);
  EXPECT_EQ(GetTeamCount(w, 1), 24);
  ExpectWon(Finish(0), 14, 1800, 0, 20);
}

TEST_F(MissionTest, Mission14Lost) {
  Start(14);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(1), 14, 1);
}

TEST_F(MissionTest, Mission15PrisonsMessagesThenTheFleeingSpot) {
  Start(15);
  EXPECT_EQ((std::vector<int32_t>{0, 17, 216, 432}), w.ObjectiveBuilds);
  EXPECT_EQ(GetTeamCount(w, 1), 21);
  Destroy(0);  // not a prison
  Frame();
  Frame();
  EXPECT_EQ(Bleeps(out), 0u);
  Destroy(w.ObjectiveBuilds[2]);
  Frame();
  EXPECT_EQ(w.MessageText, "Hostages are imprisoned in other places.");
  Frame();
  EXPECT_EQ(Bleeps(out), 1u);
  MovePlayerInto(11);
  Frame(1000);
  EXPECT_TRUE(Running()) << "the fleeing spot needs the hostage";
  MovePlayerInto(1);
  Destroy(w.ObjectiveBuilds[1]);
  Destroy(w.ObjectiveBuilds[3]);
  Frame();
  EXPECT_EQ(w.MessageText, "Hostage rescued.  Hurry to the fleeing spot.");
  EXPECT_EQ(Bleeps(out), 2u) << "one sound for the rescue, none for the second prison";
  EXPECT_EQ(Vars(15).MisState, 1);
  EXPECT_EQ(w.GoalX, 10);
  EXPECT_EQ(w.GoalY, 10);
  EXPECT_EQ(GetTeamCount(w, 1), 23);
  Frame();
  Frame();
  EXPECT_EQ(GetTeamCount(w, 1), 25);
  MovePlayerInto(11);
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectWon(Finish(9), 15, 2000, 9, 20);
}

TEST_F(MissionTest, Mission15Lost) {
  Start(15);
  KillPlayer();
  EXPECT_EQ(RunToEnd(100), 4);
  ExpectLost(Finish(0), 15, 0);
}

}  // namespace
}  // namespace fw::missiontest
