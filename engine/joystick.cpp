#include "engine/joystick.hpp"

#include <algorithm>

#include "engine/form_board.hpp"

namespace fw {

plat::DIJOYSTATE JoyState;
Lazy<qelDirectInputCls> DInput;

namespace {
constexpr int32_t kDeadZone = 1000;
constexpr int32_t kSaturation = 9500;
constexpr int32_t kRangeMin = -100;
constexpr int32_t kRangeMax = 100;
constexpr int32_t kTurnBand = 20;
}  // namespace

void qelDirectInputCls::InitDirectInput(FormBoard& board) {
  Work = false;
  DI = plat::DirectInput::Create();
  if (!DI) return;
  DIDevEnum = DI->EnumJoysticks();
  if (DIDevEnum.empty()) return;
  DIDev = DI->CreateDevice(0);
  if (!DIDev) return;
  // The system signals every change of the stick to the window while its
  // joystick support runs.
  EventHandle = 1;
  const bool configured = DIDev->SetDeadZone(plat::DIJOFS_X, kDeadZone) == plat::DI_OK &&
                          DIDev->SetDeadZone(plat::DIJOFS_Y, kDeadZone) == plat::DI_OK &&
                          DIDev->SetSaturation(plat::DIJOFS_X, kSaturation) == plat::DI_OK &&
                          DIDev->SetSaturation(plat::DIJOFS_Y, kSaturation) == plat::DI_OK &&
                          DIDev->SetRange(kRangeMin, kRangeMax) == plat::DI_OK &&
                          DIDev->Acquire() == plat::DI_OK;
  if (!configured) return;
  Work = true;
  board.DirectXEvent_DXCallback(0);
}

void qelDirectInputCls::Poll() {
  if (DIDev) DIDev->Poll();
}

void qelDirectInputCls::CallBack(int32_t) {
  if (!DIDev) return;
  const int32_t r = DIDev->GetDeviceState(JoyState);
  // A stick pulled out while held would otherwise keep driving the tank.
  if (r == plat::DIERR_INPUTLOST) JoyState = plat::DIJOYSTATE{};
  if (r == plat::DIERR_INPUTLOST || r == plat::DIERR_NOTACQUIRED) DIDev->Acquire();
}

JoyControls JoystickControls(const plat::DIJOYSTATE& state) {
  JoyControls c;
  const double t = -static_cast<double>(state.lY);
  const double speed = t >= 0 ? t : plat::RoundHalfEven(t / 2.0);
  c.PerSpeed = static_cast<int16_t>(std::clamp(speed, -32768.0, 32767.0));
  c.TurnR = state.lX > kTurnBand ? 1 : 0;
  c.TurnL = state.lX < -kTurnBand ? 1 : 0;
  c.Fire = state.rgbButtons[0] != 0 ? 1 : 0;
  return c;
}

}  // namespace fw
