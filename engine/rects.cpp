#include "engine/rects.hpp"

#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {
int32_t LongSum(int64_t a, int64_t b) {
  const int64_t s = a + b;
  if (s < INT32_MIN || s > INT32_MAX) throw plat::RuntimeError(plat::ErrorCode::Overflow, "Overflow");
  return static_cast<int32_t>(s);
}

void SetRECT(RECT& r, int32_t left, int32_t top, int32_t right, int32_t bottom) { r = RECT{left, top, right, bottom}; }

void OffsetRECT(RECT& dest, const RECT& src, int32_t dx, int32_t dy) {
  dest = RECT{LongSum(src.Left, dx), LongSum(src.Top, dy), LongSum(src.Right, dx), LongSum(src.Bottom, dy)};
}

void OffsetRECT2(RECT& dest, int32_t dx, int32_t dy, const RECT& src) { OffsetRECT(dest, src, dx, dy); }

bool PtInRECT(int32_t x, int32_t y, const RECT& r) { return r.Left <= x && x <= r.Right && r.Top <= y && y <= r.Bottom; }

int32_t OBJRECT::GetID() const {
  if (!Enabled) return 0;
  switch (State) {
    case 1: return downFrame_;
    case 2: return overFrame_;
    case 3: return normalFrame_;
    default: return 0;
  }
}

void OBJRECT::SetClip(const std::string& clipName, int32_t normalFrame, int32_t downFrame, int32_t overFrame) {
  ClipID = clipName;
  normalFrame_ = normalFrame;
  downFrame_ = downFrame;
  overFrame_ = overFrame;
}

std::string OBJRECT::ChkRECT(const RECT& r) {
  RECT overlap;
  if (!Enabled || !plat::IntersectRect(overlap, r, rect_)) return "";
  retRect_ = overlap;
  return Key;
}

void OBJRECT::OffsetXY(int32_t dx, int32_t dy) { OffsetRECT(rect_, rect_, dx, dy); }

void OBJRECT::ABSXY(int32_t x, int32_t y) {
  const int32_t w = LongSum(rect_.Right, -int64_t{rect_.Left}), h = LongSum(rect_.Bottom, -int64_t{rect_.Top});
  rect_ = RECT{x, y, LongSum(x, w), LongSum(y, h)};
}

std::shared_ptr<OBJRECT> RECTClass::Add(const std::string& key, const RECT& r) {
  auto item = std::make_shared<OBJRECT>();
  item->Key = key;
  item->iRECT(r);
  if (!KeyedCollection::Add(item, key))
    throw plat::RuntimeError(plat::ErrorCode::DuplicateKey,
                             "This key is already associated with an element of this collection: \"" + key + "\"");
  return item;
}

bool OBJRECTClass::MouseCheck(int16_t button, float x, float y) {
  const int32_t px = plat::CLng(x), py = plat::CLng(y);
  bool down = false;
  // Every rectangle gets its state: no early exit.
  for (const auto& r : *OrgRECT) {
    if (!PtInRECT(px, py, r->iRECT())) {
      r->State = 3;
    } else if (button > 0) {
      r->State = 1;
      down = true;
      SelectedRect->RemoveAll();
      SelectedRect->Add(r->Key, r->iRECT());
    } else {
      r->State = 2;
    }
  }
  return down;
}

bool OBJRECTClass::HitCheck(const RECT& r) {
  SelectedRect->RemoveAll();
  for (const auto& item : *OrgRECT)
    if (!item->ChkRECT(r).empty()) SelectedRect->Add(item->Key, item->iRECT());
  return SelectedRect->Count() > 0;
}

}  // namespace fw
