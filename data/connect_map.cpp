#include "data/connect_map.hpp"

#include <vector>

#include "data/map_control.hpp"

namespace fw {
namespace {

bool InGrid(int32_t i, int32_t j) { return i >= 0 && i <= 2 && j >= 0 && j <= 2; }
size_t Cell(int32_t i, int32_t j) { return static_cast<size_t>(i + 3 * j); }

std::string Left2(const std::string& s) { return s.substr(0, 2); }
std::string Right2(const std::string& s) { return s.size() <= 2 ? s : s.substr(s.size() - 2); }

// The four tiles of the neighbourhood and their corner points, in the flag
// order up, down, left, right.
struct Tile {
  int32_t i, j;
  std::array<const char*, 4> corners;
};
constexpr Tile kTop{0, 0, {"1", "5", "4", "2"}};
constexpr Tile kUpperRight{1, 0, {"2", "6", "5", "3"}};
constexpr Tile kUpperLeft{0, 1, {"4", "8", "7", "5"}};
constexpr Tile kOwn{1, 1, {"5", "9", "8", "6"}};
constexpr Tile kTiles[4] = {kTop, kUpperRight, kUpperLeft, kOwn};

// Where each corner point takes its terrain from: a tile and the flag
// position (1 up, 2 down, 3 left, 4 right).
struct PointSource {
  const char* key;
  const Tile* tile;
  uint8_t corner;
};
constexpr PointSource kPoints[9] = {{"1", &kTop, 1},        {"2", &kTop, 4},        {"3", &kUpperRight, 4},
                                    {"4", &kTop, 3},        {"5", &kTop, 2},        {"6", &kUpperRight, 2},
                                    {"7", &kUpperLeft, 3},  {"8", &kUpperLeft, 2},  {"9", &kOwn, 2}};

// How each tile finds its new sheet: the point whose terrain decides, the
// points whose terrain may name the sheet, and the points recoloured.
struct Repaint {
  const Tile* tile;
  const char* test;
  std::array<const char*, 3> tried;
  std::vector<const char*> recoloured;
};

}  // namespace

ConnectMap::Ptr ConnectMap::Add(const std::string& key, const std::string& terrain, const std::string& painted) {
  auto p = std::make_shared<MapItem>();
  p->Key = key;
  p->OldID = terrain;
  p->ID = painted;
  p->Index = Count();
  return Insert(p, key);
}

std::string ConnectMap::InvertUDRL(std::string_view flags) {
  std::string out;
  for (size_t n = 0; n < 4; ++n) out += (n < flags.size() && flags[n] == '1') ? '0' : '1';
  return out;
}

int16_t ConnectMap::ReturnMap(int32_t i, int32_t j) const { return InGrid(i, j) ? newMap_[Cell(i, j)] : 0; }
std::string ConnectMap::ReturnMapKey(int32_t i, int32_t j) const {
  return InGrid(i, j) ? newMapKey_[Cell(i, j)] : "";
}
void ConnectMap::SetMap(int32_t i, int32_t j, int16_t code) {
  if (InGrid(i, j)) map_[Cell(i, j)] = code;
}
int16_t ConnectMap::GetMap(int32_t i, int32_t j) const { return InGrid(i, j) ? map_[Cell(i, j)] : 0; }
void ConnectMap::SetMapKey(int32_t i, int32_t j, const std::string& key) {
  if (InGrid(i, j)) mapKey_[Cell(i, j)] = key;
}
std::string ConnectMap::GetMapKey(int32_t i, int32_t j) const { return InGrid(i, j) ? mapKey_[Cell(i, j)] : ""; }

std::string ConnectMap::CornerTerrain(uint8_t n, std::string_view flags, std::string_view sheetKey) {
  const std::string key(sheetKey.substr(0, 4));
  if (n < 1 || n > flags.size()) return "";
  if (flags[n - 1u] == '1') return Left2(key);
  if (flags[n - 1u] == '0') return Right2(key);
  return "";
}

std::string ConnectMap::CombineEdgeCodes(const std::string& sheetKey, const std::array<const char*, 4>& corners) const {
  const std::string first = Left2(sheetKey);
  std::string flags;
  for (const char* point : corners) flags += Item(point)->OldID == first ? '1' : '0';
  return flags;
}

void ConnectMap::BuildItem(MapControl& control, const std::string& s) {
  RemoveAll();
  for (const PointSource& p : kPoints) {
    const size_t cell = Cell(p.tile->i, p.tile->j);
    const std::string terrain = CornerTerrain(p.corner, MapControl::Index2UDRL(map_[cell]), mapKey_[cell]);
    Add(p.key, terrain, std::string_view(p.key) == "5" ? s : "");
  }
  Item("5")->OldID = s;

  const Repaint repaints[4] = {{&kTop, "1", {"1", "2", "4"}, {"2", "1", "4"}},
                               {&kUpperRight, "2", {"2", "3", "6"}, {"3", "6"}},
                               {&kUpperLeft, "4", {"4", "7", "8"}, {"7", "8"}},
                               {&kOwn, "6", {"6", "8", "9"}, {"9"}}};
  for (const Repaint& r : repaints) {
    const size_t cell = Cell(r.tile->i, r.tile->j);
    std::string k;
    if (Item(r.test)->OldID != s) {
      for (const char* point : r.tried) {
        k = control.CheckUsedMap(s, Item(point)->OldID);
        if (!k.empty()) break;
      }
      if (k.empty()) k = control.CheckUsedMap(s, "");
    }
    if (k.empty()) k = mapKey_[cell];
    const std::string t = Left2(k) == s ? Right2(k) : Left2(k);
    for (const char* point : r.recoloured) {
      auto item = Item(point);
      if (item->OldID != s) item->OldID = t;
    }
    newMapKey_[cell] = k;
  }

  for (const Tile& tile : kTiles) {
    const size_t cell = Cell(tile.i, tile.j);
    newMap_[cell] = MapControl::UDLR2Index(CombineEdgeCodes(newMapKey_[cell], tile.corners));
  }
  // A tile with no corner of its sheet's first terrain is all second
  // terrain: it takes that terrain's own sheet when one is in use.
  for (int32_t i = 0; i <= 1; ++i)
    for (int32_t j = 0; j <= 1; ++j) {
      const size_t cell = Cell(i, j);
      if (newMap_[cell] != 0) continue;
      const std::string old = newMapKey_[cell];
      newMap_[cell] = 1;
      newMapKey_[cell] = control.CheckUsedMap(Right2(old), "");
      if (newMapKey_[cell].empty()) newMapKey_[cell] = old;
    }
  RemoveAll();
}

}  // namespace fw
