#include "platform/input/joystick.hpp"

#include <SDL.h>

#include <cmath>

namespace plat {
namespace {
SDL_Joystick* Joy(void* p) { return static_cast<SDL_Joystick*>(p); }

// The window may be in the background (or absent, headless): the stick must
// be read all the same, as DirectInput's background mode allowed.
bool StartJoystickSystem() {
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}

int AxisIndex(int32_t offset) {
  if (offset < DIJOFS_X || offset > DIJOFS_SLIDER1 || offset % 4 != 0) return -1;
  return offset / 4;
}

uint32_t PovOf(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return kPovCentred;
  }
}

int32_t ScaleAxis(Sint16 raw, int32_t deadZone, int32_t saturation, int32_t minimum, int32_t maximum) {
  const double r = raw >= 0 ? raw / 32767.0 : raw / 32768.0;
  const double magnitude = std::fabs(r) * 10000.0;
  double t = 1.0;
  if (magnitude <= deadZone)
    t = 0.0;
  else if (magnitude < saturation)
    t = (magnitude - deadZone) / (saturation - deadZone);
  const double centre = (static_cast<double>(minimum) + maximum) / 2.0;
  const double half = (static_cast<double>(maximum) - minimum) / 2.0;
  return static_cast<int32_t>(std::lround(centre + std::copysign(t, r) * half));
}
}  // namespace

void JoystickRelease::operator()(void* stick) const { SDL_JoystickClose(Joy(stick)); }

Joystick::~Joystick() { Close(); }

void Joystick::Close() {
  joystick_.reset();
  acquired_ = false;
}

std::string Joystick::Name() const {
  const char* n = joystick_ ? SDL_JoystickName(Joy(joystick_.get())) : nullptr;
  return n ? n : "";
}

int32_t Joystick::SetDeadZone(int32_t axisOffset, int32_t value) {
  const int i = AxisIndex(axisOffset);
  if (i < 0 || value < 0 || value > 10000) return DIERR_INVALIDPARAM;
  deadZone_[i] = value;
  return DI_OK;
}

int32_t Joystick::SetSaturation(int32_t axisOffset, int32_t value) {
  const int i = AxisIndex(axisOffset);
  if (i < 0 || value < 0 || value > 10000) return DIERR_INVALIDPARAM;
  saturation_[i] = value;
  return DI_OK;
}

int32_t Joystick::SetRange(int32_t minimum, int32_t maximum) {
  if (minimum >= maximum) return DIERR_INVALIDPARAM;
  rangeMin_ = minimum;
  rangeMax_ = maximum;
  return DI_OK;
}

int32_t Joystick::Acquire() {
  if (joystick_ && SDL_JoystickGetAttached(Joy(joystick_.get()))) {
    acquired_ = true;
    return DI_OK;
  }
  Close();
  if (SDL_NumJoysticks() > 0) joystick_.reset(SDL_JoystickOpen(0));
  if (!joystick_) return DIERR_NOTACQUIRED;
  acquired_ = true;
  return DI_OK;
}

int32_t Joystick::Unacquire() {
  acquired_ = false;
  return DI_OK;
}

int32_t Joystick::Poll() {
  if (!acquired_) return DIERR_NOTACQUIRED;
  SDL_JoystickUpdate();
  return DI_OK;
}

int32_t Joystick::GetDeviceState(DIJOYSTATE& state) {
  if (!acquired_ || !joystick_) return DIERR_NOTACQUIRED;
  SDL_Joystick* j = Joy(joystick_.get());
  if (!SDL_JoystickGetAttached(j)) {
    acquired_ = false;
    return DIERR_INPUTLOST;
  }
  DIJOYSTATE s;
  int32_t* axes[8] = {&s.lX, &s.lY, &s.lZ, &s.lRx, &s.lRy, &s.lRz, &s.rglSlider[0], &s.rglSlider[1]};
  const int nAxes = SDL_JoystickNumAxes(j);
  for (int i = 0; i < 8 && i < nAxes; ++i)
    *axes[i] = ScaleAxis(SDL_JoystickGetAxis(j, i), deadZone_[i], saturation_[i], rangeMin_, rangeMax_);
  const int nHats = SDL_JoystickNumHats(j);
  for (int i = 0; i < 4 && i < nHats; ++i) s.rgdwPOV[i] = PovOf(SDL_JoystickGetHat(j, i));
  const int nButtons = SDL_JoystickNumButtons(j);
  for (int i = 0; i < 32 && i < nButtons; ++i) s.rgbButtons[i] = SDL_JoystickGetButton(j, i) ? 0x80 : 0;
  state = s;
  return DI_OK;
}

std::shared_ptr<DirectInput> DirectInput::Create() {
  if (!StartJoystickSystem()) return nullptr;
  return std::shared_ptr<DirectInput>(new DirectInput());
}

DirectInput::~DirectInput() { SDL_QuitSubSystem(SDL_INIT_JOYSTICK); }

std::vector<std::string> DirectInput::EnumJoysticks() const {
  std::vector<std::string> names;
  const int n = SDL_NumJoysticks();
  for (int i = 0; i < n; ++i) {
    const char* name = SDL_JoystickNameForIndex(i);
    names.push_back(name ? name : "");
  }
  return names;
}

std::shared_ptr<Joystick> DirectInput::CreateDevice(int position) {
  if (position < 0 || position >= SDL_NumJoysticks()) return nullptr;
  SDL_Joystick* j = SDL_JoystickOpen(position);
  if (!j) return nullptr;
  std::shared_ptr<Joystick> stick(new Joystick());
  stick->input_ = shared_from_this();
  stick->joystick_.reset(j);
  return stick;
}

VirtualJoystick::VirtualJoystick(int axes, int buttons, int hats) : axes_(axes), buttons_(buttons), hats_(hats) {
  systemStarted_ = StartJoystickSystem();
  PlugIn();
}

VirtualJoystick::~VirtualJoystick() {
  Unplug();
  if (systemStarted_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void VirtualJoystick::PlugIn() {
  if (joystick_ || !systemStarted_) return;
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, axes_, buttons_, hats_);
  if (index < 0) return;
  joystick_.reset(SDL_JoystickOpen(index));
}

void VirtualJoystick::Unplug() {
  if (!joystick_) return;
  const SDL_JoystickID id = SDL_JoystickInstanceID(Joy(joystick_.get()));
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_JoystickGetDeviceInstanceID(i) == id) {
      SDL_JoystickDetachVirtual(i);
      break;
    }
  joystick_.reset();
}

void VirtualJoystick::SetAxis(int axis, int16_t value) {
  if (joystick_) SDL_JoystickSetVirtualAxis(Joy(joystick_.get()), axis, value);
}

void VirtualJoystick::SetButton(int button, bool pressed) {
  if (joystick_) SDL_JoystickSetVirtualButton(Joy(joystick_.get()), button, pressed ? SDL_PRESSED : SDL_RELEASED);
}

void VirtualJoystick::SetHat(int hat, uint8_t value) {
  if (joystick_) SDL_JoystickSetVirtualHat(Joy(joystick_.get()), hat, value);
}

}  // namespace plat
