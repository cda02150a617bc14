#pragma once
// The joystick.
#include <cstdint>

#include "engine/lazy.hpp"

namespace fw {

class FormBoard;

class qelDirectInputCls {
 public:
  // True while a stick is attached and working.
  bool Work = false;
  // Opens the first attached stick; its notifications reach the window.
  void InitDirectInput(FormBoard& board);
  // The window's notification callback.
  void CallBack(int32_t eventId);
};

extern Lazy<qelDirectInputCls> DInput;

}  // namespace fw
