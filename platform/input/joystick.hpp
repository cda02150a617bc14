#pragma once
// DirectInput's joystick on SDL's: the first attached stick, its axes scaled
// with a dead zone, a saturation and a range, and its state in DirectInput's
// record. While the joystick system runs, every change of a stick (moved,
// button, plugged in or out) reaches the window's receiver as a device event
// through DoEvents.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

constexpr int32_t DI_OK = 0;
constexpr int32_t DIERR_NOTACQUIRED = static_cast<int32_t>(0x8007000Cu);
constexpr int32_t DIERR_INPUTLOST = static_cast<int32_t>(0x8007001Eu);
constexpr int32_t DIERR_INVALIDPARAM = static_cast<int32_t>(0x80070057u);

// Offsets of the axes in the state record, naming an axis as DirectInput's
// property calls do.
constexpr int32_t DIJOFS_X = 0;
constexpr int32_t DIJOFS_Y = 4;
constexpr int32_t DIJOFS_Z = 8;
constexpr int32_t DIJOFS_RX = 12;
constexpr int32_t DIJOFS_RY = 16;
constexpr int32_t DIJOFS_RZ = 20;
constexpr int32_t DIJOFS_SLIDER0 = 24;
constexpr int32_t DIJOFS_SLIDER1 = 28;

constexpr uint32_t kPovCentred = 0xFFFFFFFFu;

// DirectInput's joystick state: six axes, two sliders, four point-of-view
// hats (hundredths of a degree clockwise from forward, kPovCentred when
// released) and 32 buttons (0x80 while pressed).
struct DIJOYSTATE {
  int32_t lX = 0, lY = 0, lZ = 0;
  int32_t lRx = 0, lRy = 0, lRz = 0;
  int32_t rglSlider[2] = {0, 0};
  uint32_t rgdwPOV[4] = {kPovCentred, kPovCentred, kPovCentred, kPovCentred};
  uint8_t rgbButtons[32] = {};
};
static_assert(sizeof(DIJOYSTATE) == 80, "the game's record is 80 bytes");

class DirectInput;

// Closes an SDL_Joystick; keeps SDL's types out of this header.
struct JoystickRelease {
  void operator()(void* stick) const;
};

class Joystick {
 public:
  ~Joystick();
  Joystick(const Joystick&) = delete;
  Joystick& operator=(const Joystick&) = delete;

  std::string Name() const;
  // Per axis, in ten-thousandths of the way from the centre to the end:
  // inside the dead zone the axis reads as centred, beyond the saturation as
  // at its end. DIERR_INVALIDPARAM for an unknown axis or a value outside
  // 0..10000.
  int32_t SetDeadZone(int32_t axisOffset, int32_t value);
  int32_t SetSaturation(int32_t axisOffset, int32_t value);
  // The values every axis reports, end to end (0 to 65535 until set).
  int32_t SetRange(int32_t minimum, int32_t maximum);

  // Takes the stick for reading. When it was unplugged, the first stick
  // attached now takes its place; DIERR_NOTACQUIRED when there is none.
  int32_t Acquire();
  int32_t Unacquire();
  // Fetches the stick's latest state from the system.
  int32_t Poll();
  // DIERR_NOTACQUIRED before Acquire, DIERR_INPUTLOST once the stick has
  // been unplugged (it is then no longer acquired); `state` is left as it
  // was on failure.
  int32_t GetDeviceState(DIJOYSTATE& state);

 private:
  friend class DirectInput;
  Joystick() = default;
  void Close();

  std::shared_ptr<DirectInput> input_;
  std::unique_ptr<void, JoystickRelease> joystick_;  // SDL_Joystick
  bool acquired_ = false;
  int32_t deadZone_[8] = {};
  int32_t saturation_[8] = {10000, 10000, 10000, 10000, 10000, 10000, 10000, 10000};
  int32_t rangeMin_ = 0, rangeMax_ = 65535;
};

// The joystick system; it runs while this object or a stick opened from it
// exists.
class DirectInput : public std::enable_shared_from_this<DirectInput> {
 public:
  // Null when the system's joystick support cannot start.
  static std::shared_ptr<DirectInput> Create();
  ~DirectInput();
  DirectInput(const DirectInput&) = delete;
  DirectInput& operator=(const DirectInput&) = delete;

  // The names of the attached sticks, in the system's order.
  std::vector<std::string> EnumJoysticks() const;
  // Opens the stick at a position of that list; null when there is none.
  std::shared_ptr<Joystick> CreateDevice(int position);

 private:
  DirectInput() = default;
};

// Test hook: a stick that exists only in software, attached as the system
// would attach a real one. Its values reach readers at the next DoEvents.
class VirtualJoystick {
 public:
  explicit VirtualJoystick(int axes = 2, int buttons = 4, int hats = 1);
  ~VirtualJoystick();
  VirtualJoystick(const VirtualJoystick&) = delete;
  VirtualJoystick& operator=(const VirtualJoystick&) = delete;

  bool Attached() const { return joystick_ != nullptr; }
  void SetAxis(int axis, int16_t value);
  void SetButton(int button, bool pressed);
  // SDL's hat bits: 1 up, 2 right, 4 down, 8 left.
  void SetHat(int hat, uint8_t value);
  void Unplug();
  void PlugIn();

 private:
  int axes_, buttons_, hats_;
  std::unique_ptr<void, JoystickRelease> joystick_;  // SDL_Joystick
  bool systemStarted_ = false;
};

}  // namespace plat
