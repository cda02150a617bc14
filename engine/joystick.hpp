#pragma once
// The joystick: the first attached stick, its state kept in JoyState by the
// window's device-event callback, and its reading into a battle unit's
// controls.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/lazy.hpp"
#include "platform/input/joystick.hpp"
#include "platform/runtime/numeric.hpp"

namespace fw {

class FormBoard;

// The stick's last state: X and Y from -100 to 100 (Y negative pushed
// forward), buttons 0x80 while pressed.
extern plat::DIJOYSTATE JoyState;

class qelDirectInputCls {
 public:
  std::shared_ptr<plat::DirectInput> DI;
  std::shared_ptr<plat::Joystick> DIDev;
  // The names of the sticks attached at start-up.
  std::vector<std::string> DIDevEnum;
  // Non-zero while the stick's changes are signalled to the window.
  int32_t EventHandle = 0;
  // True once a stick has been opened and acquired.
  bool Work = false;

  // Opens the first attached stick with a 10% dead zone and 95% saturation
  // on X and Y and the range -100..100, and reads its state once. Without a
  // stick, or on any failure, Work stays false and nothing is said.
  void InitDirectInput(FormBoard& board);
  // Fetches the stick's latest state; its changes arrive as device events.
  void Poll();
  // The window's device-event callback: reads the stick into JoyState. A
  // stick that was unplugged reads as released and is taken again once one
  // is plugged in.
  void CallBack(int32_t eventId);
};

extern Lazy<qelDirectInputCls> DInput;

// What the stick asks of a unit: throttle -50..100 (backward at half rate),
// turning beyond 20 either side of the centre, fire on button 0.
struct JoyControls {
  int16_t PerSpeed = 0;
  uint8_t TurnR = 0;
  uint8_t TurnL = 0;
  uint8_t Fire = 0;
};
JoyControls JoystickControls(const plat::DIJOYSTATE& state);

// Sets a battle unit's throttle, turn and fire fields from JoyState while a
// stick works; otherwise leaves the unit as the keyboard and mouse set it.
template <typename Unit>
void ReadJoystick(Unit& unit) {
  if (!DInput->Work) return;
  const JoyControls c = JoystickControls(JoyState);
  unit.PerSpeed = c.PerSpeed;
  unit.TurnR = c.TurnR;
  unit.TurnL = c.TurnL;
  unit.Fire = c.Fire;
}

}  // namespace fw
