// Missions 11 to 15: each places its units, then tests its steps in the
// order they run on every frame; all of a script's tests add to its one
// timer.
#include <array>

#include "missions/campaign.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {
constexpr int32_t kPatrol = 1, kGuard = 3, kEscort = 4, kAttack = 6;
constexpr uint8_t kOwn = 0, kRebel = 1;
// The state in which the objective buildings are gone and the closing
// delay runs.
constexpr int32_t kBuildingsGone = 5;

BattleUnit& Unit(MissionRun& m, int32_t index) { return m.W.Units.at(static_cast<size_t>(index)); }

// Every unit objective still alive turns to escort the player.
void ObjectivesEscortPlayer(MissionRun& m) {
  for (size_t p = 1; p < m.W.ObjectiveUnits.size(); ++p) {
    const int32_t u = m.W.ObjectiveUnits[p];
    if (u < 0) continue;
    Unit(m, u).Style = Unit(m, u).BaseStyle = kEscort;
    m.Follow(u, m.W.PlayerUnit);
  }
}

// True once a building was destroyed since the last look, which it then
// remembers.
bool BuildingLost(MissionRun& m) {
  if (m.BuildingBound() == m.V.MisBuildCount) return false;
  m.V.MisBuildCount = m.BuildingBound();
  return true;
}

void BuildingsGone(MissionRun& m) {
  m.SetState(kBuildingsGone);
  m.V.MisTimer = 0.0f;
}

}  // namespace

// Destroy the magazine or all rebels; the captives in area 8 follow the
// player, and area 10 brings six timed waves of attackers.
void Mission11(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    std::array<int32_t, 3> captives{};
    for (int32_t& c : captives) c = m.Place({{1, 5, kGuard, kOwn, 1, 1}});
    m.UnitObjectives({captives[0], captives[1], captives[2]});
    m.W.ObjectiveUnits[0] = 0;
    const std::array<std::pair<float, float>, 3> cells{{{4016, 3439}, {3920, 3494}, {4060, 3557}}};
    for (size_t k = 0; k < 3; ++k) Unit(m, captives[k]).PosX = cells[k].first, Unit(m, captives[k]).PosY = cells[k].second;
    m.Place({{3, 1, kPatrol, kRebel, 5, 5},
             {3, 2, kPatrol, kRebel, 2, 2},
             {3, 2, kPatrol, kRebel, 3, 3},
             {2, 2, kPatrol, kRebel, 7, 7},
             {3, 3, kPatrol, kRebel, 4, 4},
             {3, 3, kPatrol, kRebel, 6, 6},
             {2, 3, kPatrol, kRebel, 8, 9}});
    m.BuildingObjectives({34, 43, 44, 49});
    m.W.ObjectiveBuilds[0] = 4;
    m.V.MisPool = 0;
    return;
  }
  if (m.PlayerAlive()) {
    if (m.PlayerIn(8)) ObjectivesEscortPlayer(m);
    if (m.PlayerIn(10) && m.V.MisState == 0) {
      m.SetState(1);
      m.V.MisPool = 6;
      m.V.MisTimer = 2000.0f;
      m.Place({{2, 1, kPatrol, kRebel, 5, 5}});
    }
  }
  if (m.V.MisPool > 0 && m.TimerPasses(2000.0f)) {
    m.V.MisPool -= 1;
    m.V.MisTimer = 0.0f;
    m.Place({{2, 4, kAttack, kRebel, 9, 11}});
  }
  m.LossTest();
  // Either goal wins: a player who follows the orders gets both anyway.
  m.EndAfter(m.Enemies() == 0 || m.LiveBuildingObjectives() == 0, kCloseDelay, MisWon);
}

// Destroy all rebels: area 13 brings four attackers, area 12 after it
// five waves of four.
void Mission12(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    m.PlaceFollowing({1, 5, kEscort, kOwn, 1, 1}, m.W.PlayerUnit);
    m.Place({{3, 1, kPatrol, kRebel, 2, 2},
             {3, 1, kPatrol, kRebel, 3, 3},
             {3, 1, kPatrol, kRebel, 10, 10},
             {2, 2, kPatrol, kRebel, 4, 4},
             {2, 2, kPatrol, kRebel, 5, 5},
             {2, 2, kPatrol, kRebel, 6, 6},
             {2, 2, kPatrol, kRebel, 7, 7},
             {4, 4, kAttack, kRebel, 11, 11}});
    m.V.MisPool = 0;
    return;
  }
  constexpr int32_t kWaves = 10;
  if (m.PlayerAlive()) {
    if (m.PlayerIn(13) && m.V.MisState == 0) {
      m.SetState(1);
      m.Place({{4, 4, kAttack, kRebel, 11, 11}});
    }
    if (m.PlayerIn(12) && m.V.MisState == 1) {
      m.SetState(kWaves);
      m.V.MisPool = 20;
    }
  }
  if (m.V.MisState == kWaves && m.V.MisPool > 0 && m.TimerPasses(3000.0f)) {
    m.Place({{2, 3, kAttack, kRebel, 9, 9}, {2, 3, kAttack, kRebel, 8, 8}});
    m.V.MisPool -= 4;
    m.V.MisTimer = 0.0f;
  }
  m.LossTest();
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
}

// Destroy all rebels or the tank factory; up to fifty hunters come one a
// frame while 24 or fewer rebels are left. The player is told that the
// factory's fall wins, so it does.
void Mission13(MissionRun& m, uint8_t stage) {
  plat::Randomize();
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    m.Place({{2, 2, kPatrol, kRebel, 2, 2}, {2, 2, kPatrol, kRebel, 3, 3}, {2, 2, kPatrol, kRebel, 4, 4}});
    m.V.MisPool = 50;
    m.V.MisBuildCount = m.BuildingBound();
    return;
  }
  if (BuildingLost(m) && m.BuildingsOfKind(661, 672) == 0) BuildingsGone(m);
  m.EndAfter(m.V.MisState == kBuildingsGone, kCloseDelay, MisWon);
  if (m.Enemies() <= 24 && m.V.MisPool > 0) {
    m.PlaceFollowing({1, 1, kEscort, kRebel, 1, RandomBelow(12) + 5}, m.W.PlayerUnit);
    m.V.MisPool -= 1;
  }
  m.LossTest();
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
}

// Destroy all rebels or the helicopter base; area 13 turns the two allies
// into the player's escort and brings ten waves of two, each sooner.
void Mission14(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    const int32_t first = m.Place({{1, 6, kPatrol, kOwn, 11, 11}});
    m.UnitObjectives({first, m.Place({{1, 6, kPatrol, kOwn, 11, 11}})});
    m.W.ObjectiveUnits[0] = 0;
    for (int32_t zone : {2, 3, 4, 7, 8, 9}) m.Place({{2, 1, kPatrol, kRebel, zone, zone}, {1, 2, kPatrol, kRebel, zone, zone}});
    m.Place({{2, 3, kPatrol, kRebel, 5, 5}, {2, 4, kPatrol, kRebel, 6, 6}, {2, 3, kPatrol, kRebel, 10, 10}});
    m.V.MisPool = 0;
    m.V.MisBuildCount = m.BuildingBound();
    return;
  }
  if (BuildingLost(m) && m.BuildingsOfKind(601, 612) + m.BuildingsOfKind(577, 577) == 0) BuildingsGone(m);
  if (m.PlayerIn(13) && m.V.MisState == 0) {
    m.SetState(1);
    m.V.MisPool = 20;
    m.V.MisTimer = 2000.0f;
    ObjectivesEscortPlayer(m);
  }
  if (m.V.MisState == 1 && m.V.MisPool > 0) {
    m.V.MisTimer += m.W.FrameFactor;
    if (m.V.MisTimer >= static_cast<float>(m.V.MisPool * 20 + 800)) {
      m.Place({{2, 5, kAttack, kRebel, 12, 12}});
      m.V.MisPool -= 2;
      m.V.MisTimer = 0.0f;
    }
  }
  m.LossTest();
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
  m.EndAfter(m.V.MisState == kBuildingsGone, kCloseDelay, MisWon);
}

// Rescue the hostage from one of three prisons, then reach area 11 while
// the rebels are refilled to about 25.
void Mission15(MissionRun& m, uint8_t stage) {
  plat::Randomize();
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.BuildingObjectives({17, 216, 432});
    m.PlacePlayer(1, 1);
    m.Place({{2, 1, kPatrol, kRebel, 2, 2},
             {2, 1, kPatrol, kRebel, 3, 3},
             {2, 1, kPatrol, kRebel, 4, 4},
             {1, 1, kPatrol, kRebel, 5, 5},
             {2, 2, kPatrol, kRebel, 5, 5},
             {1, 1, kPatrol, kRebel, 8, 8},
             {2, 2, kPatrol, kRebel, 8, 8},
             {3, 3, kPatrol, kRebel, 6, 6},
             {3, 3, kPatrol, kRebel, 7, 7},
             {3, 3, kPatrol, kRebel, 9, 9}});
    m.V.MisBuildCount = m.BuildingBound();
    return;
  }
  // The bound is not remembered here: once a building fell, this runs on
  // every frame until the hostage is free.
  if (m.BuildingBound() != m.V.MisBuildCount && m.V.MisState == 0) {
    const int32_t prisons = m.LiveBuildingObjectives();
    if (prisons > 0 && m.W.ObjectiveBuilds[0] > 0) {
      m.Announce("Hostages are imprisoned in other places.");
      m.W.ObjectiveBuilds[0] = 0;
    }
    if (prisons == 0) {
      m.Announce("Hostage rescued.  Hurry to the fleeing spot.");
      m.SetState(1);
      m.Goal(10, 10);
    }
  }
  if (m.V.MisState == 1 && m.Enemies() <= 24) {
    m.Place({{1, RandomBelow(3) + 1, kPatrol, kRebel, 10, 10}});
    const int32_t kind = RandomBelow(3) + 1;
    const int32_t zone = std::array{2, 3, 4, 8, 10}[static_cast<size_t>(RandomBelow(5))];
    m.Place({{1, kind, kPatrol, kRebel, zone, zone}});
  }
  m.LossTest();
  m.EndAfter(m.PlayerIn(11) && m.V.MisState == 1, kCloseDelay, MisWon);
}

}  // namespace fw
