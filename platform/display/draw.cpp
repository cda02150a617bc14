// Outlines in a surface's fore colour: boxes, lines and circles, cut at the
// surface's edges.
#include <algorithm>
#include <cstdlib>

#include "platform/display/surface.hpp"

namespace plat {
namespace {
// Circles are drawn point by point; beyond this radius none is drawn.
constexpr int32_t kMaxRadius = 32767;
}  // namespace

void Surface::DrawBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int64_t left = std::min(x1, x2), right = int64_t{std::max(x1, x2)} - 1;
  const int64_t top = std::min(y1, y2), bottom = int64_t{std::max(y1, y2)} - 1;
  if (right < left || bottom < top) return;
  const uint16_t c = ColorTo565(foreColor_);
  auto hline = [&](int64_t y) {
    if (y < 0 || y >= height_) return;
    for (int64_t x = std::max<int64_t>(left, 0); x <= std::min<int64_t>(right, width_ - 1); ++x)
      Row(static_cast<int>(y))[x] = c;
  };
  auto vline = [&](int64_t x) {
    if (x < 0 || x >= width_) return;
    for (int64_t y = std::max<int64_t>(top, 0); y <= std::min<int64_t>(bottom, height_ - 1); ++y)
      Row(static_cast<int>(y))[x] = c;
  };
  hline(top);
  hline(bottom);
  vline(left);
  vline(right);
  Shown();
}

void Surface::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int64_t dx = int64_t{x2} - x1, dy = int64_t{y2} - y1;
  const int64_t adx = std::llabs(dx), ady = std::llabs(dy);
  const int64_t steps = std::max(adx, ady);
  if (steps == 0) return;
  const uint16_t c = ColorTo565(foreColor_);
  // Point k of the line, k = 0 .. steps - 1 (the end point is not drawn):
  // the major axis moves by one, the minor by the rounded share.
  const bool alongX = adx >= ady;
  const int64_t major0 = alongX ? x1 : y1, minor0 = alongX ? y1 : x1;
  const int64_t majorStep = (alongX ? dx : dy) < 0 ? -1 : 1;
  const int64_t minorSign = (alongX ? dy : dx) < 0 ? -1 : 1;
  const int64_t minorLen = alongX ? ady : adx;
  const int64_t majorSize = alongX ? width_ : height_, minorSize = alongX ? height_ : width_;
  // Only the steps whose major coordinate is on the surface are walked.
  int64_t first = 0, last = steps - 1;
  if (majorStep > 0) {
    first = std::max<int64_t>(first, -major0);
    last = std::min<int64_t>(last, majorSize - 1 - major0);
  } else {
    first = std::max<int64_t>(first, major0 - (majorSize - 1));
    last = std::min<int64_t>(last, major0);
  }
  for (int64_t k = first; k <= last; ++k) {
    const int64_t major = major0 + k * majorStep;
    const int64_t share = static_cast<int64_t>((2 * static_cast<__int128>(k) * minorLen + steps) / (2 * steps));
    const int64_t minor = minor0 + minorSign * share;
    if (minor < 0 || minor >= minorSize) continue;
    const int64_t px = alongX ? major : minor, py = alongX ? minor : major;
    Row(static_cast<int>(py))[px] = c;
  }
  Shown();
}

void Surface::DrawCircle(int32_t cx, int32_t cy, int32_t radius) {
  if (radius <= 0 || radius > kMaxRadius) return;
  const uint16_t c = ColorTo565(foreColor_);
  auto put = [&](int64_t x, int64_t y) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) Row(static_cast<int>(y))[x] = c;
  };
  // Midpoint circle: one octant walked, mirrored into the other seven.
  int64_t x = radius, y = 0, err = 1 - x;
  while (x >= y) {
    for (const auto& [px, py] : {std::pair{x, y}, std::pair{y, x}}) {
      put(cx + px, cy + py);
      put(cx - px, cy + py);
      put(cx + px, cy - py);
      put(cx - px, cy - py);
    }
    ++y;
    if (err < 0) {
      err += 2 * y + 1;
    } else {
      --x;
      err += 2 * (y - x) + 1;
    }
  }
  Shown();
}

}  // namespace plat
