#pragma once
// The screens of the loop. Each state's slot holds its screen object,
// created on first access from the factory that the program registers; until
// a screen exists, a placeholder stands in. The program also registers which
// of the window's events each screen receives and what runs before its
// visit, so the engine names no screen class and no state of a higher
// subsystem.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace fw {

// The screen states. GameState stays a plain integer that the screens write,
// so the names convert to it as they are; a value that names no state (0,
// below 0, above 11) ends the screen loop.
struct ScreenState {
  enum Value : int32_t {
    Quit = 0,
    MainMenu = 1,
    CampaignBattle = 2,
    NetworkLobby = 3,
    NetworkBattle = 4,
    Profiles = 5,
    Setup = 6,
    Briefing = 7,
    Factory = 8,
    EndScreen = 9,
    StoryEndFilm = 10,  // written by the story-end film, which no screen plays
    CampaignWon = 11,   // the end screen after the last mission: on to the main menu
  };
};

// The window's events a screen may receive, combined with |.
enum ScreenEvent : uint8_t {
  kScreenKeyDown = 1,
  kScreenKeyPress = 2,
  kScreenKeyUp = 4,
  kScreenMouseDown = 8,
  kScreenMouseMove = 16,
  kScreenMouseUp = 32,
};
using ScreenEvents = uint8_t;

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
  // One visit: the screen's Load, then the object is released, so the next
  // visit starts from a fresh one.
  void Visit();

  void SetFactory(Factory factory) { factory_ = std::move(factory); }
  bool HasFactory() const { return static_cast<bool>(factory_); }
  int State() const { return state_; }
  const char* Name() const { return name_; }

  // The window's events this state's screen receives.
  ScreenEvents Events() const { return events_; }
  void SetEvents(ScreenEvents events) { events_ = events; }
  bool Receives(ScreenEvent event) const { return (events_ & event) != 0; }
  // Runs before the loop touches the screen object for a visit.
  void SetBeforeVisit(std::function<void()> before) { beforeVisit_ = std::move(before); }
  void BeforeVisit() const {
    if (beforeVisit_) beforeVisit_();
  }
  bool HasBeforeVisit() const { return static_cast<bool>(beforeVisit_); }

 private:
  int state_;
  const char* name_;
  int escapeState_;
  Factory factory_;
  ScreenEvents events_ = 0;
  std::function<void()> beforeVisit_;
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

// Registers a screen state's screen (null keeps the placeholder), the events
// the window passes to it and what runs before each visit; replaces what was
// registered before. The program calls this once per screen at start.
void RegisterScreen(ScreenState::Value state, ScreenEvents events, ScreenSlot::Factory factory = nullptr,
                    std::function<void()> beforeVisit = nullptr);
// A factory that makes a fresh T for each visit.
template <class T>
std::shared_ptr<Screen> MakeScreen() {
  return std::make_shared<T>();
}
// Runs a screen's visit from inside another screen (the factory from the
// briefing, the lobby or the network battle): the state is set, the screen's
// Load runs and its object is released after, so the next visit starts
// fresh. The caller writes its own state again afterwards.
void RunNestedScreen(ScreenState::Value state);
// Forgets every registration and screen object (tests start clean).
void ClearScreens();

// What the loop does in a state that has no screen of its own (the film
// states), or null when the state has none.
const std::function<void()>* PassThroughState(int32_t state);

// The hook every screen loop calls once per pass; it does nothing.
void EmptyHook();

}  // namespace fw
