#pragma once
// A mission map as a short table, expanded by the one map writer: its
// terrain areas (spawn and trigger zones, numbered from 1), its navigation
// spots (a patrol loop round each centre, numbered from 1), how many unit
// templates it offers and its buildings, hand-placed or laid out in blocks.
#include <string>
#include <utility>
#include <vector>

#include "tools/mkdata/map_writer.hpp"

namespace mkdata {

struct Box {
  int l, t, r, b;
};

// cols x rows buildings from (x, y), stepped by (dx, dy), row by row; the
// types are taken in turn from a list of keys separated by blanks.
struct Block {
  std::string types;
  int x, y, cols, rows, dx, dy;
};

struct MissionMap {
  const char* name;
  std::vector<Box> areas;
  std::vector<std::pair<int, int>> spots;  // loop centres
  int templates;
  std::vector<Block> blocks;
  std::vector<MapBuilding> buildings;          // after the blocks
  std::vector<std::pair<int, std::string>> retype;  // building index, type
  // The unit templates: 1 the first maps', 2 the middle's, 3 the sample's.
  int tier = 2;
};

// The maps of the later missions, written after maps B to E.
const std::vector<MissionMap>& LaterMissionMaps();

}  // namespace mkdata
