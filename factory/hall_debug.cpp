#include "factory/hall_debug.hpp"

#include <cmath>
#include <cstdio>

#include "platform/runtime/clock.hpp"

namespace fw {

namespace {
// The runtime writes no zero before the point: ".5", "-.5".
std::string WithoutLeadingZero(std::string t) {
  if (t.rfind("0.", 0) == 0) t.erase(0, 1);
  if (t.rfind("-0.", 0) == 0) t.erase(1, 1);
  return t;
}
}  // namespace

int32_t FrameRate::CalFPS() {
  const float now = plat::Timer();
  ++count_;
  // After midnight the clock starts again from 0: a new second too, or the
  // figure would stand still for a day.
  if (lastSecond_ + 1.0f <= now || now < lastSecond_) {
    rate_ = count_;
    count_ = 0;
    lastSecond_ = plat::Timer();
  }
  return rate_;
}

std::string SingleText(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(v));
  std::string t = WithoutLeadingZero(buf);
  if (t == "-0") t = "0";
  return v < 0 && t != "0" ? t : " " + t;
}

std::string OneDecimal(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(v));
  std::string t = WithoutLeadingZero(buf);
  if (t.size() >= 2 && t.compare(t.size() - 2, 2, ".0") == 0) t.pop_back();
  if (t == "-.") t = ".";
  return t;
}

void DrawHallDebug(plat::Surface& target, const HallDebugView& v) {
  target.SetForeColor(65535);
  target.DrawText(0, 0, SingleText(static_cast<float>(v.CursorX)) + SingleText(static_cast<float>(v.CursorY)) + v.Area);
  target.DrawText(0, 12, SingleText(static_cast<float>(v.Fps)));
  target.DrawText(0, 24, OneDecimal(v.CamX) + " : " + OneDecimal(v.CamZ) + SingleText(v.CamY));
  target.DrawText(0, 36, OneDecimal(v.Yaw) + " : " + OneDecimal(v.Pitch));
  target.DrawText(0, 48, SingleText(v.TankX) + SingleText(v.TankY) + SingleText(v.TankZ));
}

}  // namespace fw
