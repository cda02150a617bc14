#pragma once
// A two-dimensional array of 16-bit map cells, indexed (x, y) from 0 to
// its upper bounds; the layout of the diamond tile maps.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/runtime/error.hpp"

namespace fw {

class CellMap {
 public:
  CellMap() = default;  // no cells
  // Cells (0..upperX, 0..upperY), all 0. Negative or huge bounds raise.
  CellMap(int32_t upperX, int32_t upperY) {
    if (upperX < 0 || upperY < 0 || (static_cast<int64_t>(upperX) + 1) * (static_cast<int64_t>(upperY) + 1) > kMaxCells)
      throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range: map size");
    upperX_ = upperX;
    upperY_ = upperY;
    cells_.assign(static_cast<size_t>(upperX + 1) * static_cast<size_t>(upperY + 1), 0);
  }

  int32_t UpperX() const { return upperX_; }
  int32_t UpperY() const { return upperY_; }
  bool Contains(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x <= upperX_ && y <= upperY_; }
  // Raise the subscript error outside the bounds.
  int16_t At(int64_t x, int64_t y) const { return cells_[Offset(x, y)]; }
  void Set(int64_t x, int64_t y, int16_t v) { cells_[Offset(x, y)] = v; }

  bool operator==(const CellMap& o) const = default;

 private:
  static constexpr int64_t kMaxCells = int64_t{1} << 26;
  size_t Offset(int64_t x, int64_t y) const {
    if (!Contains(x, y)) throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range: map cell");
    return static_cast<size_t>(y) * static_cast<size_t>(upperX_ + 1) + static_cast<size_t>(x);
  }

  int32_t upperX_ = -1;
  int32_t upperY_ = -1;
  std::vector<int16_t> cells_;
};

// The sheet key of each key byte 1..255 (byte k in slot k - 1). Slots are
// only ever overwritten.
class SheetKeyIndex {
 public:
  // Any k outside 1..255 raises: key byte 0 has no slot.
  void Set(int32_t k, const std::string& sheetKey) { keys_[Slot(k)] = sheetKey; }
  const std::string& Get(int32_t k) const { return keys_[Slot(k)]; }
  // The sheet key of a cell's key byte; "" for byte 0.
  const std::string& Of(uint8_t keyByte) const {
    static const std::string none;
    return keyByte == 0 ? none : keys_[keyByte - 1u];
  }

 private:
  static size_t Slot(int32_t k) {
    if (k < 1 || k > 255)
      throw plat::RuntimeError(plat::ErrorCode::SubscriptOutOfRange, "Subscript out of range: key byte " + std::to_string(k));
    return static_cast<size_t>(k - 1);
  }
  std::array<std::string, 255> keys_;
};

}  // namespace fw
