#include "factory/hall_view.hpp"

#include <cmath>
#include <iterator>

namespace fw {

namespace {
struct AngleRect {
  const char* area;
  int yawFrom, yawTo, pitchFrom, pitchTo;
};
// Tested in this order; they do not overlap.
constexpr AngleRect kAreas[] = {
    {"EQUTank", 241, 331, 297, 314}, {"Tank", 70, 120, 298, 323}, {"EXITOUT", 76, 102, 272, 278},
    {"Weap", 12, 43, 271, 278},      {"ReA", 327, 359, 271, 281}, {"Shd", 138, 168, 271, 280},
    {"Eng", 178, 217, 271, 279},
};

float Wrap(float a) {
  if (a < 0.0f) a += 360.0f;
  if (a > 360.0f) a -= 360.0f;
  return a;
}
}  // namespace

std::string HitTestArea(float yaw, float pitch) {
  // Halves go to the even degree, as every whole number of the hall does.
  const long h = std::lrint(yaw), v = std::lrint(pitch);
  std::string hit;
  for (const AngleRect& r : kAreas)
    if (h >= r.yawFrom && h <= r.yawTo && v >= r.pitchFrom && v <= r.pitchTo) hit = r.area;
  return hit;
}

int HelpCell(const std::string& area) {
  static constexpr const char* kCells[] = {"Weap", "Shd", "Eng", "ReA", "Tank", "EQUTank", "EXITOUT"};
  for (size_t i = 0; i < std::size(kCells); ++i)
    if (area == kCells[i]) return static_cast<int>(i) + 1;
  return 0;
}

void HallView::Move(float& x, float& y) {
  if (held_) {
    held_ = false;
  } else {
    Yaw = Wrap(Yaw + (x - static_cast<float>(LastX)) / 4.0f);
    Pitch = Wrap(Pitch + (y - static_cast<float>(LastY)) / 4.0f);
  }
  if (x == 0.0f || x == 639.0f) x = 320.0f;
  if (y == 0.0f || y == 479.0f) y = 240.0f;
  Area = HitTestArea(Yaw, Pitch);
  LastX = static_cast<int>(std::lrint(x));
  LastY = static_cast<int>(std::lrint(y));
}

}  // namespace fw
