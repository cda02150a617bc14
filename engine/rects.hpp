#pragma once
// Rectangles and the screens' clickable areas: a named rectangle
// (OBJRECT), a keyed collection of them (RECTClass), and the mouse and
// overlap tests over a screen's collection (OBJRECTClass).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/lazy.hpp"
#include "platform/display/surface.hpp"
#include "platform/runtime/keyed_collection.hpp"

namespace fw {

using RECT = plat::RECT;

// a + b as the runtime's 32-bit sum: beyond 32 bits it raises Overflow.
int32_t LongSum(int64_t a, int64_t b);

void SetRECT(RECT& r, int32_t left, int32_t top, int32_t right, int32_t bottom);
inline RECT SetRECT(int32_t left, int32_t top, int32_t right, int32_t bottom) { return RECT{left, top, right, bottom}; }
// dest = src moved by (dx, dy); a sum beyond 32 bits raises Overflow.
void OffsetRECT(RECT& dest, const RECT& src, int32_t dx, int32_t dy);
void OffsetRECT2(RECT& dest, int32_t dx, int32_t dy, const RECT& src);
// All four edges count as inside.
bool PtInRECT(int32_t x, int32_t y, const RECT& r);

class OBJRECT {
 public:
  std::string Key;
  bool Enabled = true;
  std::string ClipID;
  // 1 a button is down over it, 2 the mouse is over it, 3 elsewhere, 0 untested.
  int32_t State = 0;

  // The frame to draw for the state (0 when disabled or untested).
  int32_t GetID() const;
  void SetClip(const std::string& clipName, int32_t normalFrame, int32_t downFrame, int32_t overFrame);
  // Key when enabled and r overlaps the area (keeping the overlap in
  // RetRect), else "".
  std::string ChkRECT(const RECT& r);
  void OffsetXY(int32_t dx, int32_t dy);
  // Moves the area's top-left corner to (x, y), keeping its size.
  void ABSXY(int32_t x, int32_t y);
  int32_t Top() const { return rect_.Top; }
  int32_t Left() const { return rect_.Left; }
  int32_t right() const { return rect_.Right; }
  int32_t bottom() const { return rect_.Bottom; }
  const RECT& iRECT() const { return rect_; }
  void iRECT(const RECT& r) { rect_ = r; }
  const RECT& RetRect() const { return retRect_; }
  void RetRect(const RECT& r) { retRect_ = r; }

 private:
  RECT rect_;
  RECT retRect_;
  int32_t normalFrame_ = 0, downFrame_ = 0, overFrame_ = 0;
};

// Item raises for an absent key or position; Count, Remove, RemoveAll and
// iteration are the collection's own.
class RECTClass : public plat::KeyedCollection<OBJRECT> {
 public:
  // A key already present raises DuplicateKey.
  std::shared_ptr<OBJRECT> Add(const std::string& key, const RECT& r);
};

class OBJRECTClass {
 public:
  Lazy<RECTClass> OrgRECT;
  Lazy<RECTClass> SelectedRect;

  // Sets every rectangle's State for the point (rounded to whole pixels);
  // true when a button is down over one, which then is the selection (the
  // last such rectangle). Without one the previous selection stays.
  bool MouseCheck(int16_t button, float x, float y);
  // Selects every enabled rectangle that overlaps r; true when any does.
  bool HitCheck(const RECT& r);
};

}  // namespace fw
