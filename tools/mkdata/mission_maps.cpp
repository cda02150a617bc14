// The campaign's mission maps after the first, each from a short table:
// its terrain areas (spawn zones and trigger zones, numbered from 1), its
// navigation spots (a patrol loop round each centre, numbered from 1), how
// many unit templates it offers and its buildings, hand-placed or laid out
// in blocks, so that a map with hundreds of buildings stays a few lines.
// They share map A's land mask; maps B to E paint it in a ground of their
// own, the later maps show map A's tile pictures.
#include <algorithm>
#include <string>
#include <string_view>
#include <iterator>
#include <utility>
#include <vector>

#include "tools/mkdata/map_writer.hpp"
#include "tools/mkdata/mission_map_table.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

// A template beyond the sample five, for the escort of the fourth mission.
const MapModel kEscort{"Escort", "Tank01", 3.4f, 2.4f, 0.1f, 110, 0.08f, 130, 0.6f, {{"Cannon", 0}, {"Laser Gun", 2}}};
// The same on the maps of the first maps' rebels, where it may hunt the
// player too.
const MapModel kLightEscort{"Escort", "Tank01", 3.0f, 2.4f, 0.1f, 40, 0.05f, 130, 0.6f, {{"Laser Gun", 0}, {"Short Laser", 2}}};

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < s.size()) {
    const size_t end = s.find(' ', at);
    const size_t stop = end == std::string::npos ? s.size() : end;
    if (stop > at) out.push_back(s.substr(at, stop - at));
    at = stop + 1;
  }
  return out;
}

MapTables Expand(const MissionMap& m, std::vector<std::string> tiles) {
  MapTables t;
  for (const Box& a : m.areas) t.areas.push_back({a.l, a.t, a.r, a.b, 9, 0.0f});
  t.tiles = std::move(tiles);
  for (const Block& b : m.blocks) {
    const std::vector<std::string> types = Words(b.types);
    int n = 0;
    for (int r = 0; r < b.rows; ++r)
      for (int c = 0; c < b.cols; ++c, ++n)
        t.buildings.push_back({types[static_cast<size_t>(n) % types.size()], b.x + c * b.dx, b.y + r * b.dy});
  }
  t.buildings.insert(t.buildings.end(), m.buildings.begin(), m.buildings.end());
  for (const auto& [index, type] : m.retype) t.buildings.at(static_cast<size_t>(index)).type = type;
  const auto& sample = m.tier == 1 ? FirstModels() : m.tier == 2 ? MidModels() : SampleModels();
  for (int k = 0; k < m.templates; ++k)
    t.models.push_back(static_cast<size_t>(k) < sample.size() ? sample[static_cast<size_t>(k)]
                       : m.tier == 1                               ? kLightEscort
                                                                   : kEscort);
  // A loop round a centre near an edge keeps to the map.
  const auto xIn = [](int x) { return std::clamp(x, 40, 5080); };
  const auto yIn = [](int y) { return std::clamp(y, 40, kPlaceBottom); };
  int k = 1;
  for (auto [x, y] : m.spots) {
    const int l = xIn(x - 250), r = xIn(x + 250), t0 = yIn(y - 200), b = yIn(y + 200);
    t.spots.push_back({"Patrol " + std::to_string(k++), {{l, t0}, {r, t0}, {r, b}, {l, b}}});
  }
  return t;
}

const std::vector<MissionMap>& Maps() {
  static const std::vector<MissionMap> maps = {
      // Destroy all rebels: the start in the north-west, rebels and their
      // reinforcements all over the east and the south.
      {"MapB",
       {{300, 300, 600, 600}, {800, 3400, 1100, 3600}, {1400, 600, 1800, 900}, {1400, 2600, 1800, 2900},
        {3600, 2600, 4000, 2900}, {3600, 1500, 4000, 1800}},
       {{1600, 750}, {1600, 2750}, {3800, 1650}, {3800, 2750}},
       4,
       {{"501 502", 3000, 700, 4, 2, 130, 110}},
       {{"510", 3500, 2300}, {"520", 3900, 2300}},
       {},
       1},
      // The rebels' base in the south-east: its main buildings are 313 to
      // 426 of a block of 140 after 300 houses; the command centre (402)
      // takes the others with it.
      {"MapC",
       {{300, 300, 600, 600}, {1400, 600, 1800, 900}, {3000, 500, 3400, 750}, {2700, 3390, 3100, 3640},
        {2700, 1900, 3100, 2150}, {600, 1200, 1000, 1500}, {1700, 1700, 2100, 2100}},
       {{1600, 750}, {3200, 620}, {2900, 3520}, {2900, 2020}, {800, 1350}, {800, 2600}},
       5,
       {{"501 502", 3300, 900, 15, 10, 115, 100},
        {"502 501", 300, 2900, 15, 10, 115, 90},
        {"510 540 560 530 570 520", 2700, 2300, 14, 10, 95, 100}},
       {},
       {{402, "580"}, {393, "550"}, {401, "577"}, {400, "578"}, {426, "579"}},
       1},
      // Destroy all rebels with an escort: the start in the west, eight
      // rebel camps round the map.
      {"MapD",
       {{4400, 300, 4800, 600}, {4400, 3200, 4800, 3500}, {3000, 400, 3400, 700}, {3000, 3100, 3400, 3400},
        {3600, 1700, 4000, 2000}, {1500, 600, 1900, 900}, {1500, 2900, 1900, 3200}, {4500, 2300, 4900, 2600},
        {300, 1700, 600, 2000}},
       {{4600, 450}, {4600, 3350}, {3200, 550}, {3200, 3250}, {3800, 1850}, {1700, 750}, {1700, 3050}, {4700, 2450}},
       6,
       {{"510 520", 3500, 1300, 3, 2, 160, 120}},
       {{"560", 4300, 1900}},
       {},
       1},
      // Destroy all rebels with three allies; the waves come from the east.
      {"MapE",
       {{600, 300, 1000, 600}, {900, 3200, 1300, 3500}, {3000, 400, 3400, 700}, {3000, 3100, 3400, 3400},
        {1500, 600, 1900, 900}, {1500, 2900, 1900, 3200}, {3600, 1700, 4000, 2000}, {4600, 1700, 4900, 2000},
        {300, 1700, 600, 2000}},
       {{800, 450}, {1100, 3350}, {3200, 550}, {3200, 3250}, {1700, 750}, {1700, 3050}, {3800, 1850}, {4750, 1850},
        {450, 1850}},
       5,
       {{"501 502 530", 3700, 2600, 4, 3, 130, 110}},
       {},
       {},
       1},
  };
  return maps;
}

// The grounds of maps B to E, each told apart at a glance from map A's
// grassland: desert with a dry gorge, snow with an icy river, scorched
// ash with a lava flow, autumn steppe. The blocked cells stay where map
// A has them, only drawn in each map's colours.
const std::pair<const char*, GroundStyle> kGrounds[] = {
    {"MapB", {{184, 150, 96}, {226, 196, 136}, {150, 112, 70}, {64, 42, 28}, {104, 72, 46}, {140, 100, 66},
              {132, 84, 58}, {182, 126, 88}, {150, 108, 66}, {178, 134, 86}, {232, 214, 168}, {246, 232, 194},
              {160, 120, 80}, 11, true}},
    {"MapC", {{206, 214, 226}, {246, 248, 252}, {170, 184, 204}, {36, 62, 96}, {64, 100, 136}, {236, 244, 252},
              {88, 94, 104}, {138, 146, 156}, {140, 142, 136}, {170, 172, 166}, {180, 196, 214}, {204, 218, 232},
              {110, 124, 150}, 21, true}},
    {"MapD", {{46, 42, 40}, {88, 80, 72}, {210, 96, 36}, {170, 44, 10}, {238, 116, 28}, {255, 220, 90},
              {26, 24, 24}, {66, 62, 60}, {70, 56, 46}, {96, 78, 62}, {104, 96, 88}, {132, 124, 114},
              {200, 80, 30}, 31, false}},
    {"MapE", {{124, 112, 48}, {174, 150, 78}, {206, 118, 46}, {38, 84, 90}, {66, 124, 120}, {196, 226, 214},
              {128, 110, 84}, {176, 156, 124}, {100, 74, 40}, {134, 102, 60}, {196, 176, 116}, {224, 206, 148},
              {124, 92, 48}, 41, true}},
};

void MissionMaps(Context& ctx) {
  const std::vector<uint8_t> mask = SampleGroundMask();
  for (const MissionMap& m : Maps()) {
    const auto own = std::find_if(std::begin(kGrounds), std::end(kGrounds),
                                  [&](const auto& g) { return std::string_view(g.first) == m.name; });
    WriteMap(ctx, m.name, mask,
             Expand(m, own != std::end(kGrounds) ? WriteGround(ctx, m.name, mask, own->second) : SampleTiles()));
  }
  for (const MissionMap& m : LaterMissionMaps()) WriteMap(ctx, m.name, mask, Expand(m, SampleTiles()));
}

// After map A, whose tiles these maps show.
Step missionMaps("mission maps B to T", 42, MissionMaps);

}  // namespace
}  // namespace mkdata
