#pragma once
// Named map positions with a cursor to the current one. Part of the tank
// record's model; the battles keep their patrol points in their own records.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/collection.hpp"

namespace fw {

class WayPoint {
 public:
  std::string Key;
  int32_t MapPosX = 0;
  int32_t MapPosY = 0;

  // Resizes the position list to 1..n, keeping the positions that still
  // fit; new ones are (0, 0). A negative n raises the subscript error.
  void Count(int32_t n);
  int32_t Count() const { return static_cast<int32_t>(positions_.size()); }
  // Positions 1..Count; any other index raises the subscript error.
  void SetWayPos(int32_t i, int32_t x, int32_t y);
  std::pair<int32_t, int32_t> GetWayPos(int32_t i) const;

 private:
  std::vector<std::pair<int32_t, int32_t>> positions_;
};

class WayPointCollect : public DataCollection<WayPoint> {
 public:
  int32_t CurrentWayPoint = 1;

  // A taken key raises.
  Ptr Add(const std::string& key, int32_t mapPosX, int32_t mapPosY);
  // Absent items raise.
  Ptr Item(int position) const { return Get(position); }
  Ptr Item(std::string_view key) const { return Get(key); }
  void Remove(int position) { RemoveOrRaise(position); }
  void Remove(std::string_view key) { RemoveOrRaise(key); }
  // Steps to the next way point, back to the first after the last.
  void IncWayPoint();
};

}  // namespace fw
