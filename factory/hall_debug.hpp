#pragma once
// What the hall shows in the debug mode: where the pointer and the view
// are, the frame rate, the camera and the platform tank's offsets, in five
// lines at the top left.
#include <cstdint>
#include <string>

#include "platform/display/surface.hpp"

namespace fw {

// Frames counted over the last whole second of the clock.
class FrameRate {
 public:
  int32_t CalFPS();

 private:
  int32_t count_ = 0, rate_ = 0;
  float lastSecond_ = 0.0f;
};

// A single's number text: a leading blank unless negative, at most seven
// significant digits, no zero before the point.
std::string SingleText(float v);
// The number as the pattern "####.#" shows it: one decimal rounded, no
// zero before the point and none after it ("6." for six).
std::string OneDecimal(float v);

struct HallDebugView {
  int32_t CursorX = 0, CursorY = 0;
  std::string Area;
  int32_t Fps = 0;
  float CamX = 0, CamY = 0, CamZ = 0, Yaw = 0, Pitch = 0;
  float TankX = 0, TankY = 0, TankZ = 0;
};

// The five lines, in the surface's current font.
void DrawHallDebug(plat::Surface& target, const HallDebugView& v);

}  // namespace fw
