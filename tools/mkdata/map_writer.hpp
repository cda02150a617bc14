#pragma once
// A mission map's members in "MissionPack": the land mask "<name>.msk" and
// the description "<name>.Inf" (terrain areas, tiles, buildings, unit
// templates, navigation spots), written from plain tables so that every
// map, hand-made or generated, goes through one writer.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/mkdata/canvas.hpp"
#include "tools/mkdata/mkdata.hpp"

namespace mkdata {

struct MapArea {
  int l, t, r, b;
  int kind;  // 0 to 4 act on the units over mask cells; 9 acts on nothing
  float value;
};

struct MapBuilding {
  std::string type;  // a key of objinfo.ini
  int x, y;
};

struct MapModel {
  const char* key;
  const char* clip;
  float top, agile, accel;
  int shield;
  float shieldSpeed;
  int energy;
  float energySpeed;
  std::vector<std::pair<const char*, int>> weapons;  // key, offset
};

struct MapSpot {
  std::string name;
  std::vector<std::pair<int, int>> points;
};

struct MapTables {
  std::vector<MapArea> areas;        // areas 1 to N
  std::vector<std::string> tiles;    // 4 x 4, row by row
  std::vector<MapBuilding> buildings;
  std::vector<MapModel> models;      // templates 1 to N
  std::vector<MapSpot> spots;        // spots 1 to N
};

// The lowest map y a unit's centre may reach. With the view scrolled to
// the map's bottom, the panel covers every map y from 3728 (screen y 369
// at the lowest scroll, 3359); a unit 60 high with its centre above this
// line stays wholly in sight. The land mask is blocked from here down.
inline constexpr int kReachBottom = 3680;
// The lowest y of a placement area or a way point: a unit placed at the
// bottom of an area has its centre 30 below the point.
inline constexpr int kPlaceBottom = kReachBottom - 40;

// Writes a map; the land mask is blocked under kReachBottom whatever the
// given mask holds there.
void WriteMap(Context& ctx, const std::string& name, const std::vector<uint8_t>& mask, const MapTables& map);

// The colours a map's ground is painted in, over map A's land mask: open
// ground, the river, rocks, mud and the drift strips.
struct GroundStyle {
  Rgb groundLow, groundHigh, speck;
  Rgb waterLow, waterHigh, ripple;
  Rgb rockLow, rockHigh;
  Rgb mudLow, mudHigh;
  Rgb driftLow, driftHigh, chevron;
  uint32_t seed;  // of the value noise
  bool streaks;   // wind-blown bands across the open ground
};

// What map A is drawn with, for maps that share its ground: its river and
// rocks (areas 2 to 6 painted as mask values 1 to 5), its tile pictures
// and its unit templates.
std::vector<uint8_t> SampleGroundMask();
std::vector<std::string> SampleTiles();
const std::vector<MapModel>& SampleModels();
// The templates of the first maps (A to E), a new player's first foes:
// scouts and light tanks with short guns, slower than the first engine.
const std::vector<MapModel>& FirstModels();
// The templates of the middle of the campaign: every rebel with a shield,
// mediums and heavies with one heavy gun less than the sample's.
const std::vector<MapModel>& MidModels();
// Paints the ground of the mask in a style into the map's 4 x 4 tile
// pictures "<map><row><column>.jpg"; returns their names, row by row.
std::vector<std::string> WriteGround(Context& ctx, const std::string& map, const std::vector<uint8_t>& mask,
                                     const GroundStyle& style);

}  // namespace mkdata
