// Missions 6 to 10: each places its units, then tests its steps in the
// order they run on every frame; all of a script's tests add to its one
// timer.
#include "missions/campaign.hpp"

namespace fw {

namespace {
constexpr int32_t kPatrol = 1, kEscort = 4, kFollowPath = 5, kAttack = 6;
constexpr uint8_t kOwn = 0, kRebel = 1;

bool BuildingDestroyed(const MissionRun& m, size_t position) {
  return m.W.ObjectiveBuilds.size() > position && m.W.ObjectiveBuilds[position] == -1;
}
}  // namespace

// Destroy the two conveyance vehicles, each with its escort of four.
void Mission6(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    const int32_t a = m.Place({{1, 3, kFollowPath, kRebel, 1, 2}});
    const int32_t b = m.Place({{1, 3, kFollowPath, kRebel, 2, 3}});
    m.UnitObjectives({a, b});
    m.PlaceFollowing({4, 1, kEscort, kRebel, 1, 2}, a);
    m.PlaceFollowing({4, 1, kEscort, kRebel, 2, 3}, b);
    m.Place({{2, 4, kPatrol, kRebel, 4, 5}, {2, 4, kPatrol, kRebel, 5, 6}, {3, 2, kPatrol, kRebel, 3, 4}});
    m.V.MisPool = 20;
    return;
  }
  // The pool of 0 still gives a wave: eleven waves of two in all.
  if (m.Enemies() < 14 && m.V.MisPool >= 0) {
    m.Follow(m.Place({{1, 1, kPatrol, kRebel, 1, 2}}), -1);
    m.Follow(m.Place({{1, 1, kPatrol, kRebel, 2, 3}}), -1);
    m.V.MisPool -= 2;
  }
  m.LossTest();
  m.EndAfter(!m.W.ObjectiveUnits.empty() && m.W.ObjectiveUnits[0] == 0, kCloseDelay, MisWon);
  m.EndAfter(m.Enemies() == 0 && m.V.MisPool <= 0, kCloseDelay, MisWon);
}

// Destroy all rebels, every one of them attacking, while building 293
// stands.
void Mission7(MissionRun& m, uint8_t stage) {
  const auto attack = {Placement{2, 3, kAttack, kRebel, 1, 1}, Placement{2, 1, kAttack, kRebel, 2, 2},
                       Placement{2, 2, kAttack, kRebel, 3, 3}, Placement{2, 3, kAttack, kRebel, 4, 4}};
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.BuildingObjectives({293});
    m.PlacePlayer(5, 5);
    m.Place({{1, 4, kPatrol, kOwn, 6, 6}, {1, 4, kPatrol, kOwn, 7, 7}, {1, 4, kPatrol, kOwn, 8, 8}});
    m.Place(attack);
    m.V.MisPool = 3;
    return;
  }
  if (m.Enemies() < 3 && m.V.MisPool >= 0) {
    m.Place(attack);
    m.V.MisPool -= 1;
  }
  m.EndAfter(m.Enemies() == 0 && m.V.MisPool <= 0, kCloseDelay, MisWon);
  m.LossTest();
  m.EndAfter(BuildingDestroyed(m, 1), kCloseDelay, MisLost);
}

// Destroy all rebels, with an escort of two; waves of seven through two
// gates.
void Mission8(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(5, 8);
    m.PlaceFollowing({2, 4, kEscort, kOwn, 8, 8}, m.W.PlayerUnit);
    m.Place({{2, 1, kPatrol, kRebel, 1, 1},
             {2, 1, kPatrol, kRebel, 2, 2},
             {2, 1, kPatrol, kRebel, 3, 3},
             {2, 2, kPatrol, kRebel, 4, 4},
             {2, 2, kPatrol, kRebel, 5, 5},
             {2, 3, kPatrol, kRebel, 6, 6},
             {2, 3, kPatrol, kRebel, 7, 7}});
    m.V.MisPool = 3;
    return;
  }
  if (m.Enemies() < 11 && m.V.MisPool >= 0) {
    m.Place({{1, 1, kPatrol, kRebel, 9, 9},
             {1, 2, kPatrol, kRebel, 9, 9},
             {1, 3, kPatrol, kRebel, 9, 9},
             {2, 1, kPatrol, kRebel, 10, 10},
             {1, 2, kPatrol, kRebel, 10, 10},
             {1, 3, kPatrol, kRebel, 10, 10}});
    m.V.MisPool -= 1;
  }
  m.EndAfter(m.Enemies() == 0 && m.V.MisPool <= 0, kCloseDelay, MisWon);
  m.LossTest();
}

namespace {
// Shown as the scientist is freed: the building that held him is down.
constexpr const char* kScientistFreed = "Scientist Freed";
}  // namespace

// Free the scientist by destroying building 204, then destroy all rebels.
void Mission9(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.BuildingObjectives({204});
    m.PlacePlayer(1, 1);
    m.PlaceFollowing({1, 5, kEscort, kOwn, 1, 1}, m.W.PlayerUnit);
    m.Place({{2, 5, kAttack, kOwn, 1, 1},
             {3, 3, kPatrol, kRebel, 2, 2},
             {3, 3, kPatrol, kRebel, 3, 3},
             {2, 1, kPatrol, kRebel, 4, 4},
             {2, 2, kPatrol, kRebel, 5, 5},
             {2, 4, kPatrol, kRebel, 6, 6},
             {2, 1, kPatrol, kRebel, 7, 7}});
    m.V.MisPool = 3;
    m.Goal(3440, 828);
    return;
  }
  if (m.Enemies() < 11 && m.V.MisPool >= 0) {
    m.Place({{2, 1, kPatrol, kRebel, 4, 4},
             {2, 2, kPatrol, kRebel, 4, 4},
             {2, 3, kPatrol, kRebel, 4, 4},
             {2, 4, kPatrol, kRebel, 4, 4}});
    m.V.MisPool -= 1;
  }
  m.LossTest();
  if (BuildingDestroyed(m, 1) && m.V.MisState == 0) {
    m.Announce(kScientistFreed);
    m.Goal(0, 0);
    m.SetState(1);
    m.Place({{4, 3, kPatrol, kRebel, 2, 2}, {4, 3, kPatrol, kRebel, 3, 3}});
  }
  m.EndAfter(m.V.MisState == 1 && m.Enemies() == 0, kCloseDelay, MisWon);
}

// Destroy all rebels, with three allies; a first wave of nine of three
// templates, then two of six of the fifth.
void Mission10(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    m.PlaceFollowing({1, 6, kEscort, kOwn, 1, 1}, m.W.PlayerUnit);
    m.Place({{2, 6, kPatrol, kOwn, 1, 1},
             {3, 1, kPatrol, kRebel, 2, 2},
             {3, 1, kPatrol, kRebel, 3, 3},
             {3, 1, kPatrol, kRebel, 8, 8},
             {2, 2, kPatrol, kRebel, 4, 4},
             {2, 2, kPatrol, kRebel, 5, 5},
             {2, 2, kPatrol, kRebel, 6, 6}});
    m.V.MisPool = 3;
    return;
  }
  if (m.Enemies() < 13 && m.V.MisPool == 3) {
    m.Place({{3, 4, kPatrol, kRebel, 7, 7}, {3, 3, kPatrol, kRebel, 9, 9}, {3, 5, kPatrol, kRebel, 4, 4}});
    m.V.MisPool = 2;
  }
  // Counted again: the first wave may leave fewer than 13 and bring the
  // second in the same frame.
  if (m.Enemies() < 13 && (m.V.MisPool == 1 || m.V.MisPool == 2)) {
    m.Place({{3, 5, kPatrol, kRebel, 4, 4}, {3, 5, kPatrol, kRebel, 6, 6}});
    m.V.MisPool -= 1;
  }
  m.LossTest();
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
}

}  // namespace fw
