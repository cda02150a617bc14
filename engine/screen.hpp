#pragma once
// The screens of the loop. Each state's slot holds its screen object,
// created on first access from the factory that the program registers; until
// a screen exists, a placeholder stands in. The window routes events to the
// slot of the current state, so the engine names no screen class.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace fw {

class Screen {
 public:
  virtual ~Screen() = default;
  // Runs the screen's own loop until its state string is "EXIT"; writes the
  // next GameState before returning.
  virtual void Load() = 0;
  // Handlers the window routes to; arguments by reference, as a handler may
  // change them. Each screen overrides those its state receives.
  virtual void KeyDown(int16_t& /*keyCode*/, int16_t& /*shift*/) {}
  virtual void KeyPress(int16_t& /*keyAscii*/) {}
  virtual void KeyUp(int16_t& /*keyCode*/, int16_t& /*shift*/) {}
  virtual void MouseDown(int16_t& /*button*/, int16_t& /*shift*/, float& /*x*/, float& /*y*/) {}
  virtual void MouseMove(int16_t& /*button*/, int16_t& /*shift*/, float& /*x*/, float& /*y*/) {}
  virtual void MouseUp(int16_t& /*button*/, int16_t& /*shift*/, float& /*x*/, float& /*y*/) {}
};

class ScreenSlot {
 public:
  using Factory = std::function<std::shared_ptr<Screen>()>;

  ScreenSlot(int state, const char* name, int escapeState);

  // The screen object, created when absent.
  Screen& Get() { return *Shared(); }
  std::shared_ptr<Screen> Shared();
  bool Exists() const { return screen_ != nullptr; }
  // Drops the object; the next access creates a fresh one.
  void Release() { screen_.reset(); }

  void SetFactory(Factory factory) { factory_ = std::move(factory); }
  bool HasFactory() const { return static_cast<bool>(factory_); }
  int State() const { return state_; }
  const char* Name() const { return name_; }

 private:
  int state_;
  const char* name_;
  int escapeState_;
  Factory factory_;
  std::shared_ptr<Screen> screen_;
};

// The nine screen objects, by state: 1 main menu, 2 campaign battle,
// 3 network lobby, 4 network battle, 5 profile screen, 6 setup screen,
// 7 briefing, 8 factory, 9 end screen.
extern ScreenSlot MainMenuScreen;
extern ScreenSlot CampaignScreen;
extern ScreenSlot MultiMenuScreen;
extern ScreenSlot MultiScreen;
extern ScreenSlot UserMenuScreen;
extern ScreenSlot SetupMenuScreen;
extern ScreenSlot BriefScreen;
extern ScreenSlot FactoryScreen;
extern ScreenSlot EndScreenObj;

// The slot of a state, or null for states that name no screen.
ScreenSlot* ScreenForState(int32_t state);

// Runs before the battle screens of states 2 and 4 are touched: the map
// tables' loader, registered by the program.
extern std::function<void()> BeforeBattleScreen;

// The hook every screen loop calls once per pass; it does nothing.
void EmptyHook();

}  // namespace fw
