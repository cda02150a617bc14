#pragma once
// The hit rectangles that the tank and building collections keep beside
// their items, one per key. A small stand-in with the display layer's
// names (OrgRECT, iRECT, ABSXY) until its rectangle classes take over.
#include <cstdint>
#include <string>
#include <string_view>

#include "data/collection.hpp"
#include "engine/lazy.hpp"
#include "engine/rects.hpp"

namespace fw {

class NamedRect {
 public:
  std::string Key;
  RECT iRECT{};
  // Moves the rectangle so that its top-left corner is (x, y), keeping its
  // size.
  void ABSXY(int32_t x, int32_t y);
};

class NamedRects : public DataCollection<NamedRect> {
 public:
  // A taken key raises.
  Ptr Add(const std::string& key, const RECT& r);
  Ptr Item(int position) const { return Get(position); }
  Ptr Item(std::string_view key) const { return Get(key); }
  void Remove(int position) { RemoveOrRaise(position); }
  void Remove(std::string_view key) { RemoveOrRaise(key); }
  bool Contains(std::string_view key) const { return Find(key) != nullptr; }
};

struct RectSet {
  Lazy<NamedRects> OrgRECT;
};

}  // namespace fw
