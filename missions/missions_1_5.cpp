// Missions 1 to 5: each places its units, then tests its steps in the
// order they run on every frame.
#include "battle/roster.hpp"
#include "missions/campaign.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {
constexpr int32_t kPatrol = 1, kGuard = 3, kEscort = 4, kFollowPath = 5;
constexpr uint8_t kOwn = 0, kRebel = 1, kThird = 2;
}  // namespace

// Rescue the leader (area 9), then reach the appointed spot (area 3).
void Mission1(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 2);
    m.Place({{4, 1, kPatrol, kRebel, 2, 3},
             {4, 1, kPatrol, kRebel, 3, 4},
             {3, 3, kPatrol, kRebel, 1, 1},
             {1, 2, kPatrol, kRebel, 7, 6},
             {1, 2, kPatrol, kRebel, 6, 5},
             {1, 2, kPatrol, kRebel, 5, 7},
             {1, 2, kPatrol, kRebel, 4, 8}});
    m.Goal(724, 516);
    return;
  }
  // No pool: the rebels are topped up to 11 for the whole battle.
  if (m.Enemies() < 11) m.Place({{1, 1, kPatrol, kRebel, 3, 4}});
  if (m.PlayerIn(9) && m.V.MisState < 1) {
    m.SetState(1);
    m.Announce("Leader Rescued");
    m.Goal(4885, 1933);
    // Every other unit, all of them rebels, turns to follow the player;
    // BaseStyle stays, so one that loses its target goes back to patrol.
    for (size_t i = 0; i < m.W.Units.size(); ++i) {
      if (static_cast<int32_t>(i) == m.W.PlayerUnit) continue;
      m.W.Units[i].Style = kEscort;
      m.W.Units[i].LeaderTank = m.W.PlayerUnit;
    }
  }
  if (m.PlayerIn(3) && m.V.MisState == 1) m.EndNow(MisWon);
  m.LossTest();
}

// Destroy all rebels, reinforced in waves of two from a pool of 10.
void Mission2(MissionRun& m, uint8_t stage) {
  plat::Randomize();
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    m.Place({{3, 1, kPatrol, kRebel, 3, 6},
             {1, 2, kPatrol, kRebel, 1, 3},
             {1, 3, kPatrol, kRebel, 1, 3},
             {1, 2, kPatrol, kRebel, 2, 4},
             {1, 3, kPatrol, kRebel, 2, 4},
             {3, 4, kPatrol, kRebel, 4, 5}});
    m.V.MisPool = 10;
    return;
  }
  if (m.Enemies() < 8 && m.V.MisPool > 0) {
    m.Place({{1, 2, kPatrol, kRebel, 1, 3}, {1, 2, kPatrol, kRebel, 2, 4}});
    m.V.MisPool -= 2;
  }
  m.EndAfter(m.Enemies() <= 0 && m.V.MisPool < 1, 200.0f, MisWon);
  m.LossTest();
}

// Destroy the main buildings of the rebels' base: the first of them takes
// the others with it. Won in state 4.
void Mission3(MissionRun& m, uint8_t stage) {
  constexpr int32_t kDemolished = 4;
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    m.Place({{2, 1, kPatrol, kRebel, 1, 2},
             {2, 1, kPatrol, kRebel, 2, 3},
             {2, 2, kPatrol, kRebel, 3, 4},
             {2, 2, kPatrol, kRebel, 6, 6},
             {2, 3, kPatrol, kRebel, 4, 5}});
    for (auto [x, y] : {std::pair{2150.0f, 2728.0f}, std::pair{2957.0f, 2257.0f}}) {
      const int32_t guard = m.Place({{1, 5, kGuard, kRebel, 4, 5}});
      m.W.Units[static_cast<size_t>(guard)].PosX = x;
      m.W.Units[static_cast<size_t>(guard)].PosY = y;
    }
    m.BuildingObjectives({402, 393, 401, 400, 383, 403, 411, 426, 418, 410, 404, 426, 313, 327, 347});
    m.Goal(2122, 2920);
    return;
  }
  const Placement thirdTeam{4, 2, kFollowPath, kThird, 5, 6};
  if (m.PlayerIn(7) && m.V.MisState == 0) {
    m.SetState(1);
    m.Place({thirdTeam});
  }
  if (m.TeamCount(kThird) <= 1 && m.V.MisState == 1) m.Place({{2, 2, kFollowPath, kThird, 5, 6}});
  if (m.LossTest()) return;
  auto& goals = m.W.ObjectiveBuilds;
  if (goals.size() > 1 && goals[1] == -1 && m.V.MisState != kDemolished) {
    for (size_t p = 2; p < goals.size(); ++p)
      if (goals[p] >= 0 && static_cast<size_t>(goals[p]) < m.W.Builds.size())
        m.W.Builds[static_cast<size_t>(goals[p])].HP = -20;
    m.SetState(kDemolished);
  }
  // The state stays 4 when the battle ends: the won result is booked for it.
  if (m.V.MisState == kDemolished && m.TimerPasses(400.0f)) m.EndNow(kDemolished);
}

// Destroy all rebels, with an escort at the player's side.
void Mission4(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 9);
    const int32_t escort = m.Place({{1, 6, kEscort, kOwn, 1, 9}});
    m.W.Units[static_cast<size_t>(escort)].LeaderTank = m.W.PlayerUnit;
    m.Place({{3, 1, kPatrol, kRebel, 7, 7},
             {3, 1, kPatrol, kRebel, 6, 6},
             {2, 3, kPatrol, kRebel, 4, 4},
             {2, 3, kPatrol, kRebel, 5, 5},
             {2, 3, kPatrol, kRebel, 3, 3},
             {2, 2, kPatrol, kRebel, 2, 2},
             {1, 4, kPatrol, kRebel, 1, 1},
             {1, 5, kPatrol, kRebel, 1, 1},
             {1, 4, kPatrol, kRebel, 8, 8},
             {1, 5, kPatrol, kRebel, 8, 8}});
    return;
  }
  m.LossTest();
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
}

// Destroy all rebels, with three allies; two timed waves of four.
void Mission5(MissionRun& m, uint8_t stage) {
  const Placement wave{4, 1, kPatrol, kRebel, 8, 8};
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 9);
    m.Place({{3, 5, kPatrol, kOwn, 9, 9},
             {2, 1, kPatrol, kRebel, 5, 5},
             {2, 1, kPatrol, kRebel, 6, 6},
             {2, 2, kPatrol, kRebel, 3, 3},
             {2, 2, kPatrol, kRebel, 4, 4},
             {2, 3, kPatrol, kRebel, 2, 2},
             {2, 3, kPatrol, kRebel, 1, 1},
             {2, 4, kPatrol, kRebel, 7, 7},
             wave});
    m.V.MisPool = 2;
    return;
  }
  m.LossTest();
  // The wave, the loss and the win all count on the one timer, so a wave
  // comes sooner while another end is pending.
  if (m.V.MisPool > 0 && m.TimerPasses(2000.0f)) {
    m.Place({wave});
    m.V.MisPool -= 1;
    m.V.MisTimer = 0.0f;
  }
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
}

}  // namespace fw
