#pragma once
// Re-tiling a diamond map where a terrain kind is painted at a corner point:
// a cell's neighbourhood of four tiles and their nine shared corner points.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/collection.hpp"

namespace fw {

class MapControl;

// One corner point; Key "1" to "9".
class MapItem {
 public:
  std::string Key;
  int32_t Index = 0;  // items before it when added
  std::string ID;     // the painted terrain, on the shared point "5"
  std::string OldID;  // the point's terrain code
};

class ConnectMap : public DataCollection<MapItem> {
 public:
  std::string Key;

  // Paints terrain code s at the point shared by the four tiles (the own
  // cell's upper corner) and works out their new sheet keys and edge codes.
  void BuildItem(MapControl& control, const std::string& s);
  // "0" where the flags have "1", else "1", for the four positions.
  static std::string InvertUDRL(std::string_view flags);
  // Results of BuildItem; outside 0..2 they are 0 and "".
  int16_t ReturnMap(int32_t i, int32_t j) const;
  std::string ReturnMapKey(int32_t i, int32_t j) const;

  // A taken key raises.
  Ptr Add(const std::string& key, const std::string& terrain, const std::string& painted);
  // Absent points raise.
  Ptr Item(int position) const { return Get(position); }
  Ptr Item(std::string_view key) const { return Get(key); }
  void Remove(int position) { RemoveOrRaise(position); }
  void Remove(std::string_view key) { RemoveOrRaise(key); }

  // The input neighbourhood: (1, 1) the cell, (0, 0) the cell above, (1, 0)
  // its upper-right and (0, 1) its upper-left neighbour. Outside 0..2 a set
  // changes nothing and a get gives 0 or "".
  void SetMap(int32_t i, int32_t j, int16_t code);
  int16_t GetMap(int32_t i, int32_t j) const;
  void SetMapKey(int32_t i, int32_t j, const std::string& key);
  std::string GetMapKey(int32_t i, int32_t j) const;

 private:
  std::string CombineEdgeCodes(const std::string& sheetKey, const std::array<const char*, 4>& corners) const;
  static std::string CornerTerrain(uint8_t n, std::string_view flags, std::string_view sheetKey);

  std::array<int16_t, 9> map_{};
  std::array<std::string, 9> mapKey_;
  std::array<int16_t, 9> newMap_{};
  std::array<std::string, 9> newMapKey_;
};

}  // namespace fw
