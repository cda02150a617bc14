#include "engine/joystick.hpp"

namespace fw {

Lazy<qelDirectInputCls> DInput;

void qelDirectInputCls::InitDirectInput(FormBoard&) {}
void qelDirectInputCls::CallBack(int32_t) {}

}  // namespace fw
