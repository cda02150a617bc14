#pragma once
// Building types: the templates from which a battle map's buildings are
// made, read from the table "objinfo.ini" of the "Data" archive.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/collection.hpp"
#include "data/named_rects.hpp"
#include "engine/lazy.hpp"
#include "engine/rects.hpp"
#include "platform/runtime/text_records.hpp"

namespace fw {

class Building {
 public:
  std::string Key;
  float Style = 0.0f;  // animation position of SEQStyle
  std::string ClipStyle;  // picture name
  float StyleSpeed = 0.0f;
  std::string Kind;
  std::string Name;
  uint8_t Check = 0;
  int32_t OffsetX = 0;  // picture relative to the footprint
  int32_t OffsetY = 0;
  int16_t HP = 0;
  uint8_t Team = 0;
  float Shield = 0.0f;
  int32_t ShieldFull = 0;
  float ShieldSpeed = 0.0f;
  int32_t SingleW = 0;  // map cell size
  int32_t SingleH = 0;

  void SetData(const std::vector<int16_t>& frames);
  // Ignored outside 0..TotalData-1.
  void SetSingleData(int32_t i, int16_t value);
  std::vector<int16_t> GetData() const { return data_; }
  // Raises the subscript error outside 0..TotalData-1.
  int16_t GetSingleData(int32_t i) const;
  // Makes room for n frames, all 0; earlier frames are not kept. n below 1
  // raises the subscript error, as the array cannot have no elements.
  void TotalData(int16_t n);
  int16_t TotalData() const { return static_cast<int16_t>(data_.size()); }
  // Setting the picture rectangle or the footprint code recomputes the
  // offsets.
  void DescRECT(const RECT& r);
  RECT DescRECT() const { return descRect_; }
  void Size(uint8_t code);
  uint8_t Size() const { return size_; }
  // A random frame, after reseeding from the clock.
  int16_t RNDStyle();
  // The frames in turn, advanced by StyleSpeed; each cycle ends with one 0.
  int16_t SEQStyle();

 private:
  void PlaceOffsets();

  std::vector<int16_t> data_;
  RECT descRect_{};
  uint8_t size_ = 0;
};

class Buildings : public DataCollection<Building> {
 public:
  Lazy<RectSet> BuildRECT;

  // Size is converted to a Byte (raising Overflow outside 0..255); a taken
  // key raises the duplicate-key error.
  Ptr Add(const std::string& key, int16_t style, double size, int16_t totalData, const RECT& descRect,
          const std::string& clipStyle);
  // Absent types raise.
  Ptr Item(int position) const { return Get(position); }
  Ptr Item(std::string_view key) const { return Get(key); }
  void ClearChk();
  // Removes the type, and its hit rectangle when it has one: types are
  // added without one.
  void Remove(int position);
  void Remove(std::string_view key);
};

// Fills the collection from "objinfo.ini" of the "Data" archive, emptying
// it first. A bad row stops the reading with "Unable to Read OBJInfo.ini"
// in LastError and false; the types of the rows before it stay.
bool ReadObjInfoIni(Buildings& buildings);
// The rows of an open "objinfo.ini", added to the collection; raises
// plat::RuntimeError at the first bad row, which adds nothing.
void ReadObjInfoRows(plat::TextRecordReader& reader, Buildings& buildings);

}  // namespace fw
