#include "factory/free_walk.hpp"

#include <cmath>

namespace fw {

namespace {
constexpr float kRadian = 3.141592653589f / 180.0f;
constexpr float kAccelerate = 0.2f, kBrake = 0.1f, kTopSpeed = 3.0f, kBobHeight = 0.3f;
}  // namespace

bool FreeWalk::Key(int16_t keyCode, bool down) {
  int32_t* flag = nullptr;
  switch (keyCode) {
    case 'E': flag = &mWalkForward; break;
    case 'S': flag = &mWalkLeft; break;
    case 'F': flag = &mWalkRight; break;
    case 'C': flag = &mWalkBack; break;
    default: return false;
  }
  *flag = down ? 1 : 0;
  return true;
}

void FreeWalk::ViewMove(float yaw, float& camX, float& camY, float& camZ) {
  const struct {
    int32_t held;
    float turn;
  } ways[] = {{mWalkForward, 0}, {mWalkLeft, -90}, {mWalkRight, 90}, {mWalkBack, 180}};
  for (const auto& w : ways) {
    if (w.held != 1) continue;
    const float a = (yaw + w.turn) * kRadian;
    camX += Speed * std::sin(a);
    camZ += Speed * std::cos(a);
    Speed += kAccelerate;
    Bob += 1.0f;
    camY += kBobHeight * std::sin(Bob);
  }
  // Braking after the steps makes a held key gain a net 0.1 per frame.
  Speed -= kBrake;
  if (Speed < 0.0f) Speed = 0.0f;
  if (Speed > kTopSpeed) Speed = kTopSpeed;
}

}  // namespace fw
