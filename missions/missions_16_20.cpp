// Missions 16 to 20: rebels drawn at random over many areas, a random
// area drawn first and then a random template; each script then tests its
// steps in the order they run on every frame, all on its one timer.
#include <cstdlib>
#include <string>

#include "battle/roster.hpp"
#include "missions/campaign.hpp"
#include "platform/runtime/compiler_false_alarms.hpp"
#include "platform/runtime/random.hpp"

namespace fw {

namespace {
constexpr int32_t kPatrol = 1, kEscort = 4, kAttack = 6;
constexpr uint8_t kOwn = 0, kRebel = 1;

// One unit in a random area from `first` on, of one of the first
// `templates` templates; its index.
int32_t PlaceAtRandom(MissionRun& m, int32_t areas, int32_t first, int32_t templates, int32_t style) {
  const int32_t a = RandomBelow(areas) + first;
  const int32_t t = RandomBelow(templates) + 1;
  return m.Place({{1, t, style, kRebel, a, a}});
}

// A unit that hunts the player: it escorts the player's unit.
void Hunt(MissionRun& m, int32_t unit) { m.Follow(unit, m.W.PlayerUnit); }
}  // namespace

// Destroy all rebels: fifty more come one a frame while 24 or fewer are
// left.
void Mission16(MissionRun& m, uint8_t stage) {
  plat::Randomize();
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    m.Place({{1, 2, kPatrol, kRebel, 6, 6}});
    m.V.MisPool = 50;
    return;
  }
  if (m.Enemies() <= 24 && m.V.MisPool > 0) {
    PlaceAtRandom(m, 12, 2, 4, kPatrol);
    m.V.MisPool -= 1;
  }
  m.LossTest();
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
}

// Reach area 10, then destroy sixty attackers while the chemical factory
// stands; its fall loses.
void Mission17(MissionRun& m, uint8_t stage) {
  plat::Randomize();
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.BuildingObjectives({13, 116, 119, 124, 128, 131, 134, 135, 140});
    m.PlacePlayer(1, 9);
    m.Place({{2, 5, kPatrol, kOwn, 1, 1},
             {2, 5, kPatrol, kOwn, 2, 2},
             {2, 5, kPatrol, kOwn, 3, 3},
             {2, 1, kAttack, kRebel, 4, 4},
             {2, 1, kAttack, kRebel, 8, 8},
             {2, 1, kAttack, kRebel, 7, 7}});
    m.Goal(1400, 774);
    m.V.MisBuildCount = m.BuildingBound();
    m.V.MisPool = 60;
    return;
  }
  // The bound is not remembered: once a building fell this runs on every
  // frame, and the message comes once, as the state turns 3.
  if (m.BuildingBound() != m.V.MisBuildCount && m.V.MisState != MisLost && m.LiveBuildingObjectives() == 0) {
    m.Announce("Chemical Factory Damaged");
    m.SetState(MisLost);
  }
  if (m.PlayerIn(10) && m.V.MisState == 0) {
    m.SetState(1);
    m.Goal(0, 0);
  }
  if (m.V.MisState == 1 && m.Enemies() <= 12 && m.V.MisPool > 0) {
    PlaceAtRandom(m, 5, 4, 4, kAttack);
    m.V.MisPool -= 1;
  }
  m.EndAfter(m.V.MisState == MisLost, kCloseDelay, MisLost);
  m.LossTest();
  m.EndAfter(m.V.MisState == 1 && m.Enemies() == 0, kCloseDelay, MisWon);
}

// Destroy all rebels: sixty hunters, topped up to nine, with three escorts
// at the player's side.
void Mission18(MissionRun& m, uint8_t stage) {
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    m.PlaceFollowing({3, 6, kEscort, kOwn, 1, 1}, m.W.PlayerUnit);
    m.Place({{1, 2, kPatrol, kRebel, 6, 6}});
    m.V.MisPool = 60;
    return;
  }
  if (m.Enemies() <= 8 && m.V.MisPool > 0) {
    Hunt(m, PlaceAtRandom(m, 9, 2, 5, kEscort));
    m.V.MisPool -= 1;
  }
  m.LossTest();
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
}

// Destroy all rebels: eighty of them topped up to 21, while twenty escorts
// keep the player's side at four.
void Mission19(MissionRun& m, uint8_t stage) {
  plat::Randomize();
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    m.PlaceFollowing({2, 6, kEscort, kOwn, 1, 1}, m.W.PlayerUnit);
    m.V.MisPool = 80;
    m.V.MisEscortPool = 20;
    return;
  }
  // Also once the player's unit is gone: the escort then follows no one.
  if (m.TeamCount(kOwn) <= 3 && m.V.MisEscortPool > 0) {
    m.PlaceFollowing({1, 6, kEscort, kOwn, 1, 1}, m.W.PlayerUnit);
    m.V.MisEscortPool -= 1;
  }
  if (m.Enemies() <= 20 && m.V.MisPool > 0) {
    PlaceAtRandom(m, 9, 2, 5, kPatrol);
    m.V.MisPool -= 1;
  }
  m.LossTest();
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
}

// Destroy all tank factories and rebels: hunters keep coming while a
// factory stands, and every loss of a building shows how many are left.
void Mission20(MissionRun& m, uint8_t stage) {
  plat::Randomize();
  if (stage == 0) {
    if (!m.LoadMap()) return;
    m.PlacePlayer(1, 1);
    Hunt(m, m.Place({{1, 1, kEscort, kRebel, 2, 2}}));
    m.V.MisBuildCount = m.BuildingBound();
    return;
  }
  // The bound is not remembered: the count stays on screen, refreshed on
  // every frame, until no factory is left.
  if (m.BuildingBound() != m.V.MisBuildCount && m.V.MisState == 0) {
    const int32_t left = m.BuildingsOfKind(661, 672) + m.BuildingsOfKind(577, 580);
    FW_LIBRARY_FALSE_ALARM_BEGIN("-Wrestrict")
    ShowMsg(m.W, (left >= 0 ? " " : "-") + std::to_string(std::abs(left)) + "Building(s)", kMessageTime);
    FW_LIBRARY_FALSE_ALARM_END
    if (left == 0) m.SetState(1);
  }
  if (m.V.MisState == 0 && m.Enemies() <= 24) Hunt(m, PlaceAtRandom(m, 13, 2, 7, kEscort));
  m.LossTest();
  m.EndAfter(m.Enemies() == 0, kCloseDelay, MisWon);
}

}  // namespace fw
