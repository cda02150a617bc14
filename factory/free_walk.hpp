#pragma once
// The hall's free-walk camera of the debug mode: E, S, F and C walk
// forward, left, right and back along the view's heading, speeding up while
// a key is held and braking once it is let go, with the head bobbing as it
// steps.
#include <cstdint>

namespace fw {

struct FreeWalk {
  // 1 while E, S, F or C is held.
  int32_t mWalkForward = 0, mWalkLeft = 0, mWalkRight = 0, mWalkBack = 0;
  float Speed = 0.0f;  // units per frame, 0 to 3
  float Bob = 0.0f;    // head-bob phase, grows with every step taken

  // Sets or clears the flag of a walk key; false for any other key.
  bool Key(int16_t keyCode, bool down);
  // One frame's walk from the camera's place along the heading (degrees).
  void ViewMove(float yaw, float& camX, float& camY, float& camZ);
};

}  // namespace fw
