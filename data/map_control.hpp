#pragma once
// The tile-kind control and the map tables loaded before every battle:
// the tile sheets of "MapInfo.ini", the map index of "map.ini" and the
// picture catalogue of "obj.ini".
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/cell_map.hpp"
#include "data/collection.hpp"
#include "data/connect_map.hpp"
#include "data/map_tables.hpp"
#include "engine/lazy.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

// A map cell holds key byte * 256 + frame - 32768: the key byte names the
// tile sheet, the 1-based frame the tile in it; row r of a sheet holds the
// tiles of edge code r.
class MapControl : public DataCollection<ConnectMap> {
 public:
  Lazy<MapClipIndex> MapClips;
  Lazy<MapIndexClass> MapIndexs;
  Lazy<MapClipIndex> UsedMap;

  // The key of a used sheet that covers terrain codes a and b (letter case
  // counts), or "".
  std::string CheckUsedMap(const std::string& a, const std::string& b);
  // Key byte k (1..255) to sheet key; any other k raises.
  void SetKeyIndex(int32_t k, const std::string& sheetKey);
  std::string GetKeyIndex(int32_t k) const;
  // A map cell for a random variant of the edge code, from the used sheet of
  // a terrain code (two characters) or sheet key (four); 0 when there is no
  // such sheet or the cell does not fit.
  int16_t TransFormIndex(const std::string& key, uint8_t code);

  // Copies the neighbourhood of cell (x, y) into a new ConnectMap kept
  // under key. Cells outside the map, or of sheets not in UsedMap, give
  // code 0; nothing is reported.
  std::shared_ptr<ConnectMap> Add(const std::string& key, int32_t x, int32_t y, const CellMap& map);
  // Absent entries raise.
  Ptr Item(int position) const { return Get(position); }
  Ptr Item(std::string_view key) const { return Get(key); }
  void Remove(int position) { RemoveOrRaise(position); }
  void Remove(std::string_view key) { RemoveOrRaise(key); }

  // Corner flags (up, down, left, right; "1" the sheet's first terrain)
  // and edge codes. Not inverse at code 0: "0000" gives 0 but 0 gives "".
  static int16_t UDLR2Index(std::string_view flags);
  static std::string Index2UDRL(int16_t code);

 private:
  SheetKeyIndex keyIndex_;
};

// Filled by LoadMapData before every battle; read by nothing afterwards.
extern Lazy<MapControl> MapCtl;
extern Lazy<MapClipIndex> ObjClips;

// The screen loop's hook before the battle screens: refills MapCtl and
// ObjClips from the "Data" archive.
void LoadMapData();
// Each reader empties its target and reads its table; a failure leaves
// "Unable to Read MapINFO.ini", "Unable to Read Map.ini" or "Unable to Read
// OBJ.ini" in LastError and gives false, keeping the rows before it.
bool ReadMapInfoIni(MapControl& control);
bool ReadMapIni(MapControl& control);
bool ReadObjIni(MapClipIndex& clips);
// The rows of an open table; raise plat::RuntimeError at the first bad
// row, which stores nothing.
void ReadMapInfoRows(plat::TextRecordReader& reader, MapControl& control);
void ReadMapRows(plat::TextRecordReader& reader, MapControl& control);
void ReadObjRows(plat::TextRecordReader& reader, MapClipIndex& clips);

}  // namespace fw
