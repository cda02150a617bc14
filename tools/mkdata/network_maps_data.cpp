// The network game's maps in "MissionPack", 5120 x 3840 like the campaign's:
// "NetA" for the free modes, and "MapN1" and "MapM1", which the new-game
// page offers for "Base Defensing", each with the two bases (buildings 580
// and 587) west and east of the appointed territory (1920, 1440)-(3200,
// 2400), which is open ground. The strip at the bottom edge that the
// battle's panel covers is out of reach in the land mask.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/mkdata/map_writer.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {
namespace {

constexpr int kCols = 256, kRows = 192, kCell = 20;
constexpr uint8_t kBlocked = 255;
// Rows under the panel at the bottom of the view.
constexpr int kPanelRows = 4;

struct Territory {
  int l = 1920, t = 1440, r = 3200, b = 2400;
};

// The spawn areas' top-left corners; each area is 200 x 200.
constexpr int kSpawns[][2] = {{400, 400}, {4600, 400}, {400, 3200}, {4600, 3200},
                              {2500, 400}, {2500, 3200}, {400, 1800}, {4600, 1800}};
constexpr int kSpawnSize = 200;

// Within `margin` of a spawn area, a tank's box included.
bool NearSpawn(int x, int y, int margin) {
  for (const auto& s : kSpawns)
    if (x > s[0] - margin && x < s[0] + kSpawnSize + 80 + margin && y > s[1] - margin &&
        y < s[1] + kSpawnSize + 60 + margin)
      return true;
  return false;
}

// Open ground with rock outcrops kept clear of the territory and of the
// spawn areas, and the panel's strip blocked.
std::vector<uint8_t> NetworkMask(uint32_t seed) {
  std::vector<uint8_t> m(kCols * kRows, 0);
  const Territory land;
  for (int r = kRows - kPanelRows; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) m[r * kCols + c] = kBlocked;
  for (int k = 0; k < 14; ++k) {
    const int cx = 20 + static_cast<int>(Hash(k, 1, seed) * (kCols - 40));
    const int cy = 20 + static_cast<int>(Hash(k, 2, seed) * (kRows - 40 - kPanelRows));
    const int rad = 3 + static_cast<int>(Hash(k, 3, seed) * 4);
    for (int r = cy - rad; r <= cy + rad; ++r)
      for (int c = cx - rad; c <= cx + rad; ++c) {
        const int x = c * kCell, y = r * kCell;
        const bool nearTerritory = x > land.l - 300 && x < land.r + 300 && y > land.t - 300 && y < land.b + 300;
        const bool nearEdge = c < 12 || c >= kCols - 12 || r < 12;
        if (nearTerritory || nearEdge || NearSpawn(x, y, 100) || (c - cx) * (c - cx) + (r - cy) * (r - cy) > rad * rad) continue;
        if (r >= 0 && r < kRows - kPanelRows && c >= 0 && c < kCols) m[r * kCols + c] = kBlocked;
      }
  }
  return m;
}

// Spawn areas round the map's edges, then the territory, for the respawns
// and the territory modes.
MapTables NetworkTables(const std::vector<std::string>& tiles, bool bases) {
  MapTables t;
  for (const auto& s : kSpawns) t.areas.push_back({s[0], s[1], s[0] + kSpawnSize, s[1] + kSpawnSize, 9, 0.0f});
  const Territory land;
  t.areas.push_back({land.l, land.t, land.r, land.b, 9, 0.0f});
  t.tiles = tiles;
  if (bases) {
    t.buildings.push_back({"580", 900, 1900});
    t.buildings.push_back({"587", 4200, 1900});
  }
  // Cover round the territory, clear of it.
  for (int k = 0; k < 6; ++k) {
    t.buildings.push_back({k % 2 ? "510" : "520", 1500 + 400 * k, 1100});
    t.buildings.push_back({k % 2 ? "520" : "510", 1500 + 400 * k, 2700});
  }
  t.models = SampleModels();
  int k = 1;
  for (const auto& s : kSpawns) {
    const int x = s[0] + 100, y = s[1] + 100;
    t.spots.push_back({"Patrol " + std::to_string(k++), {{x - 150, y - 100}, {x + 150, y - 100}, {x + 150, y + 100}, {x - 150, y + 100}}});
  }
  return t;
}

const GroundStyle kSteppe{{96, 116, 64}, {138, 156, 90}, {74, 90, 50},  {40, 70, 90},  {70, 110, 130},
                          {200, 220, 230}, {92, 86, 78}, {140, 132, 120}, {100, 84, 60}, {130, 110, 80},
                          {160, 170, 120}, {190, 196, 150}, {110, 120, 70}, 51, true};
const GroundStyle kDust{{170, 140, 96}, {210, 186, 136}, {140, 110, 70}, {60, 50, 40},  {90, 80, 60},
                        {150, 140, 120}, {120, 92, 70},  {170, 136, 104}, {140, 104, 66}, {170, 132, 88},
                        {220, 204, 160}, {236, 224, 190}, {150, 116, 80}, 61, true};

void NetworkMaps(Context& ctx) {
  const std::vector<uint8_t> open = NetworkMask(71);
  WriteMap(ctx, "NetA", open, NetworkTables(WriteGround(ctx, "NetA", open, kSteppe), false));
  const std::vector<uint8_t> bases = NetworkMask(83);
  const std::vector<std::string> tiles = WriteGround(ctx, "MapN1", bases, kDust);
  WriteMap(ctx, "MapN1", bases, NetworkTables(tiles, true));
  WriteMap(ctx, "MapM1", bases, NetworkTables(tiles, true));
}

Step networkMaps("network maps", 43, NetworkMaps);

}  // namespace
}  // namespace mkdata
