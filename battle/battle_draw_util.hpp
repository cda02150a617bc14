#pragma once
// The battle draws with blits that have no clipper: a rectangle that leaves
// the target or its source is refused whole and draws nothing. The frame's
// layers clip units and buildings by hand and rely on this for the rest
// (shots at the screen's edge, bars of negative length, a popup near the
// bottom).
#include <cstdint>

#include "engine/rects.hpp"
#include "platform/display/surface.hpp"

namespace fw {

inline bool WithinSurface(const plat::Surface& s, const RECT& r) {
  return r.Left >= 0 && r.Top >= 0 && r.Left < r.Right && r.Top < r.Bottom && r.Right <= s.Width() &&
         r.Bottom <= s.Height();
}

// BltFast of src's rectangle to (x, y), or nothing when either rectangle
// leaves its surface. True when drawn.
inline bool BltFastWhole(plat::Surface& target, int32_t x, int32_t y, const plat::Surface& src, const RECT& r,
                         int32_t flags) {
  if (!WithinSurface(src, r)) return false;
  const RECT dest{x, y, x + (r.Right - r.Left), y + (r.Bottom - r.Top)};
  if (!WithinSurface(target, dest)) return false;
  return target.BltFast(x, y, &src, &r, flags) == plat::DD_OK;
}

// A colour fill of the rectangle, or nothing when it leaves the target.
inline bool FillWhole(plat::Surface& target, const RECT& r, uint16_t color) {
  if (!WithinSurface(target, r)) return false;
  return target.BltColorFill(&r, color) == plat::DD_OK;
}

}  // namespace fw
