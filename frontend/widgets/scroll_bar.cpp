#include "frontend/widgets/scroll_bar.hpp"

#include <algorithm>

#include "platform/runtime/error.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {
namespace {
int32_t R(double v) { return plat::CLng(v); }
}  // namespace

void qelScrollBarClass::MakeBackSurface(plat::SurfacePtr& back, const DisplayPtr& dd) {
  back.reset();
  if (Width <= 0 || Height <= 0) return;  // nothing to compose on: Blt draws nothing
  CreateOffscreenSurface(Width, Height, back, dd, false);
  SetColorKey(back, plat::DDCKEY_SRCBLT, 0, 0);
}

void qelScrollBarClass::Init(const RECT& r, const DisplayPtr& dd) {
  dd7_ = dd;
  DesRECT(r);
}

void qelScrollBarClass::Init4(const RECT& r, const DisplayPtr& dd4) {
  dd4_ = dd4;
  desRect_ = r;
  Width = LongSum(r.Right, -static_cast<int64_t>(r.Left));
  Height = LongSum(r.Bottom, -static_cast<int64_t>(r.Top));
  MakeBackSurface(BackSurface4, dd4);
}

void qelScrollBarClass::DesRECT(const RECT& r) {
  desRect_ = r;
  Width = LongSum(r.Right, -static_cast<int64_t>(r.Left));
  Height = LongSum(r.Bottom, -static_cast<int64_t>(r.Top));
  MakeBackSurface(BackSurface, dd7_);
}

void qelScrollBarClass::SetColorKey(const plat::SurfacePtr& surface, int32_t flags, int32_t low, int32_t high) {
  if (surface) surface->SetColorKey(flags, static_cast<uint16_t>(low), static_cast<uint16_t>(high));
}

void qelScrollBarClass::SetBackClip(const plat::SurfacePtr& sheet, int32_t repeatX, int32_t repeatY) {
  Suf1 = sheet;
  RepeatX = repeatX;
  RepeatY = repeatY;
  SufW = sheet ? sheet->Width() : 0;
  SufH = sheet ? sheet->Height() : 0;
  SetColorKey(sheet, plat::DDCKEY_SRCBLT, 0, 0);
}

void qelScrollBarClass::SetBackClip4(const plat::SurfacePtr& sheet, int32_t repeatX, int32_t repeatY) {
  Suf4 = sheet;
  RepeatX = repeatX;
  RepeatY = repeatY;
  SufW = sheet ? sheet->Width() : 0;
  SufH = sheet ? sheet->Height() : 0;
  SetColorKey(sheet, plat::DDCKEY_SRCBLT, 0, 0);
}

uint8_t qelScrollBarClass::Click(int32_t x, int32_t y) {
  uint8_t part = 0;
  if (PtInRECT(x, y, desRect_)) {
    // Along the bar: position, start, end, the arrow's side and the length.
    const bool vertical = HScroll;
    const int64_t p = vertical ? y : x;
    const int64_t start = vertical ? desRect_.Top : desRect_.Left;
    const int64_t end = vertical ? desRect_.Bottom : desRect_.Right;
    const int64_t a = vertical ? Width : Height;
    const int64_t length = vertical ? Height : Width;
    int64_t value = Value;
    if (p <= start + a) {
      part = 1;
      --value;
    }
    if (p >= end - a) {
      part = 2;
      ++value;
    }
    if (start + a < p && p < end - a) {
      part = 3;
      const int64_t span = int64_t{Max} - Min + 1;
      const int64_t track = length - 2 * a;
      if (span == 0 || track == 0) throw plat::RuntimeError(plat::ErrorCode::Overflow, "Division by zero");
      const int64_t product = (p - start - a) * span;
      if (product > INT32_MAX || product < INT32_MIN) throw plat::RuntimeError(plat::ErrorCode::Overflow, "Overflow");
      value = static_cast<int64_t>(plat::Int(static_cast<double>(product) / static_cast<double>(track))) + Min;
    }
    Value = static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  }
  if (Value < Min) Value = Min;
  if (Value > Max) Value = Max;
  pressed_ = part;
  return part;
}

void qelScrollBarClass::BltCell(const plat::SurfacePtr& sheet, const plat::SurfacePtr& back, int32_t cell,
                                const RECT& dest) const {
  if (!sheet || RepeatX <= 0 || RepeatY <= 0) return;
  const int32_t w = R(static_cast<double>(SufW) / RepeatX);
  const int32_t h = R(static_cast<double>(SufH) / RepeatY);
  const int32_t c = (cell - 1) % RepeatX;
  const int32_t r = R(static_cast<double>(cell - c - 1) / RepeatX);
  const RECT src{w * c, h * r, w * (c + 1), h * r + h};
  back->Blt(&dest, sheet.get(), &src, plat::DDBLT_WAIT | plat::DDBLT_KEYSRC);
}

int32_t qelScrollBarClass::Draw(const plat::SurfacePtr& sheet, const plat::SurfacePtr& back,
                                const plat::SurfacePtr& target, int32_t flags) {
  if (!back || !target) {
    pressed_ = 0;
    return plat::DDERR_INVALIDPARAMS;
  }
  const RECT whole{0, 0, Width, Height};
  back->BltColorFill(&whole, 0);
  const int32_t a = HScroll ? Width : Height;
  const int32_t t = (HScroll ? Height : Width) - 2 * a;
  const double n = static_cast<double>(int64_t{Max} - Min + 1);
  const int32_t p = R((Value - Min) / n * t + a);
  const int32_t s = std::max(R(t / n), 2);
  const int32_t base = HScroll ? 0 : 4;  // the horizontal bar's rows follow the vertical's
  auto along = [&](int32_t from, int32_t to) {
    return HScroll ? RECT{0, from, a, to} : RECT{from, 0, to, a};
  };
  const int32_t length = HScroll ? Height : Width;
  BltCell(sheet, back, CellIndex(base + 1, pressed_ == 1 ? 2 : 1), along(0, a));
  BltCell(sheet, back, CellIndex(base + 3, 1), along(a, length - a));
  BltCell(sheet, back, CellIndex(base + 2, pressed_ == 2 ? 2 : 1), along(length - a, length));
  BltCell(sheet, back, CellIndex(base + 4, pressed_ == 3 ? 2 : 1), along(p, p + s));
  const int32_t result = target->BltFast(desRect_.Left, desRect_.Top, back.get(), &whole, flags);
  pressed_ = 0;
  return result;
}

int32_t qelScrollBarClass::Blt(const plat::SurfacePtr& target, int32_t flags) { return Draw(Suf1, BackSurface, target, flags); }

int32_t qelScrollBarClass::Blt4(const plat::SurfacePtr& target, int32_t flags) {
  return Draw(Suf4, BackSurface4, target, flags);
}

}  // namespace fw
