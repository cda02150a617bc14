// The maps of missions 6 to 20. They share one layout of land areas
// round the map, each with its patrol spot at its centre, so that a unit
// placed in any of them can drive to any other; what differs is how many
// areas, spots and templates each mission uses and its buildings. A map
// whose script addresses a building by index in the hundreds gets a town
// west of the river, laid out as a block.
#include <utility>
#include <vector>

#include "tools/mkdata/mission_map_table.hpp"

namespace mkdata {
namespace {

const std::vector<Box> kAreas = {{600, 300, 1000, 600},    {900, 3200, 1300, 3500},  {3000, 400, 3400, 700},
                                 {3000, 3100, 3400, 3400}, {1500, 600, 1900, 900},   {1500, 2900, 1900, 3200},
                                 {3600, 1700, 4000, 2000}, {4600, 1700, 4900, 2000}, {300, 1700, 600, 2000},
                                 {3600, 2600, 4000, 2900}, {4400, 300, 4800, 600},   {4400, 3200, 4800, 3500},
                                 {600, 1200, 1000, 1500},  {4500, 2300, 4900, 2600}, {2700, 1900, 3100, 2150},
                                 {1700, 1700, 2100, 2100}};

MissionMap Layout(const char* name, size_t areas, int templates, std::vector<Block> blocks,
                  std::vector<std::pair<int, std::string>> retype = {}) {
  MissionMap m{name, {kAreas.begin(), kAreas.begin() + static_cast<long>(areas)}, {}, templates, std::move(blocks), {},
               std::move(retype)};
  for (const Box& a : m.areas) m.spots.emplace_back((a.l + a.r) / 2, (a.t + a.b) / 2);
  return m;
}

// Puts areas of the shared layout elsewhere, each with its patrol spot at
// its new centre, where a script's goal mark or its captives need them.
MissionMap Moved(MissionMap m, std::vector<std::pair<size_t, Box>> moves) {
  for (const auto& [area, box] : moves) {
    m.areas.at(area - 1) = box;
    m.spots.at(area - 1) = {(box.l + box.r) / 2, (box.t + box.b) / 2};
  }
  return m;
}

// A map with hand-placed buildings after its blocks.
MissionMap With(MissionMap m, std::vector<MapBuilding> buildings) {
  m.buildings = std::move(buildings);
  return m;
}

MissionMap Tier(MissionMap m, int tier) {
  m.tier = tier;
  return m;
}

// Outposts of a few buildings, away from every area.
const Block kOutpost{"510 520", 3500, 1200, 3, 2, 160, 120};

}  // namespace

const std::vector<MissionMap>& LaterMissionMaps() {
  static const std::vector<MissionMap> maps = {
      // The two conveyance vehicles start in the north-west and the south-west.
      Layout("MapF", 6, 4, {kOutpost}),
      // The town the player defends: building 293 must stand.
      Layout("MapG", 8, 4, {{"501 502", 500, 1000, 20, 15, 90, 120}}, {{293, "550"}}),
      // Seven rebel camps and two gates the waves come through.
      Layout("MapH", 10, 4, {kOutpost}),
      // A town of 204 houses, and after it the prison of the scientist,
      // building 204, in the north-east where the radar's goal mark blinks.
      // Its waves are many: the first maps' rebels.
      Tier(With(Layout("MapI", 7, 5, {{"502 501", 600, 1000, 17, 12, 100, 120}}), {{"550", 3440, 828}}), 1),
      // Destroy all rebels with three allies of the sixth template; its
      // waves bring the sturdiest rebels, so the first maps' kind.
      Tier(Layout("MapJ", 9, 6, {kOutpost}), 1),
      // The magazine, buildings 34, 43, 44 and 49, in a depot town; the
      // captives are held in the south-east, in area 8, which frees them.
      Moved(Layout("MapK", 11, 5, {{"501 502 530", 1100, 1000, 10, 5, 120, 120}},
                   {{34, "570"}, {43, "570"}, {44, "570"}, {49, "570"}}),
            {{8, {3800, 3290, 4200, 3640}}}),
      // Two trigger areas, 12 and 13, and the attackers' gates.
      Layout("MapL", 13, 5, {kOutpost}),
      // The tank factory in twelve parts beside an outpost, every part of
      // it drawn as the tank works the orders send the player to.
      Layout("MapM", 16, 2, {kOutpost, {"661 662 663 664 665 666 667 668", 3400, 2300, 4, 3, 100, 100}}),
      // The helicopter base in its twelve parts, each drawn as a pad, a
      // hangar or a control tower: nothing else the script counts stands
      // here, so the base the orders name is all there is to destroy.
      Layout("MapN", 13, 6, {kOutpost, {"601 602 603 604 605 606 607 608 609 610 611 612", 3400, 2300, 4, 3, 100, 100}}),
      // The hostage in one of three prisons, 17, 216 and 432, of a town;
      // the fleeing spot, area 11, in the north-west corner where the goal
      // mark points once the hostage is free.
      Moved(Layout("MapO", 11, 3, {{"501 502", 780, 1000, 19, 23, 80, 80}}, {{17, "560"}, {216, "560"}, {432, "560"}}),
            {{11, {0, 0, 300, 250}}}),
      // Rebels drawn at random over areas 2 to 13.
      Layout("MapP", 13, 4, {kOutpost}),
      // The chemical factory, nine buildings of a town from 13 to 140.
      // The player is sent to area 10, round the goal mark in the north.
      Moved(Layout("MapQ", 10, 5, {{"501 502", 720, 1000, 15, 10, 105, 120}},
                   {{13, "530"}, {116, "530"}, {119, "530"}, {124, "530"}, {128, "530"}, {131, "530"}, {134, "530"},
                    {135, "530"}, {140, "530"}}),
            {{10, {1200, 620, 1450, 880}}}),
      // Hunters from areas 2 to 10.
      Layout("MapR", 10, 6, {kOutpost}),
      Layout("MapS", 10, 6, {kOutpost}),
      // The tank factories: four tank works, beside an outpost that is
      // none. Every building the script counts as a factory is drawn as
      // the tank works the orders name, so that a player who reads them
      // knows what to destroy.
      // Hunters keep coming while a factory stands: the first maps' rebels.
      Tier(Layout("MapT", 14, 7, {kOutpost, {"661 662 663 664", 3400, 2300, 2, 2, 150, 150}}), 1),
  };
  return maps;
}

}  // namespace mkdata
