#pragma once
// The picture catalogue entries (MapClip) and the general keyed list of
// small records (MapIndex), which is also the players' equipment list.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/collection.hpp"

namespace fw {

// One picture sheet: a tile sheet of "MapInfo.ini" or an entry of "obj.ini".
class MapClip {
 public:
  std::string Key;
  int32_t RepeatX = 0;  // frames per row
  int32_t RepeatY = 0;  // rows
  std::string ClipID;
  std::string FileName;
  int32_t mWidth = 0;
  int32_t mHeight = 0;
  uint8_t Check = 0;
  // A tile sheet's key byte; an "obj.ini" entry's 0-based row.
  int32_t Index = 0;
};

class MapClipIndex : public DataCollection<MapClip> {
 public:
  void ClearCheck();
  // A taken or empty key raises and adds nothing: a sheet is found by key.
  Ptr Add(const std::string& key, int32_t index, int32_t repeatX, int32_t repeatY, const std::string& clipID,
          const std::string& fileName, int32_t width, int32_t height);
  // Null when absent.
  Ptr Item(int position) const { return Find(position); }
  Ptr Item(std::string_view key) const { return Find(key); }
  // Absent entries raise.
  void Remove(int position) { RemoveOrRaise(position); }
  void Remove(std::string_view key) { RemoveOrRaise(key); }
};

// An entry of the map index, or one equipment item: ID is the item's name,
// Index its kind (1 weapon, 2 engine, 3 shield, 4 reactor, 5 tank) and color
// its mount number (0 for an owned item).
class MapIndex {
 public:
  std::string Key;
  int32_t Index = 0;
  std::string ID;
  uint8_t Check = 0;
  int32_t color = 0;
  float Resistance = 0.0f;
};

class MapIndexClass : public DataCollection<MapIndex> {
 public:
  void ClearCheck();
  // An empty key adds the entry without one; a taken key raises.
  Ptr Add(const std::string& key, int32_t index, const std::string& id, int32_t color);
  // Absent entries raise.
  Ptr Item(int position) const { return Get(position); }
  Ptr Item(std::string_view key) const { return Get(key); }
  void Remove(int position) { RemoveOrRaise(position); }
  void Remove(std::string_view key) { RemoveOrRaise(key); }
};

}  // namespace fw
