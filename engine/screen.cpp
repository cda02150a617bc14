#include "engine/screen.hpp"

#include <string>

#include "engine/globals.hpp"
#include "platform/input/window.hpp"

namespace fw {

std::function<void()> BeforeBattleScreen;

namespace {
constexpr int16_t kVkEscape = 27;

// Stands in for a screen that is not built yet: shows the state's name and
// leaves on Esc to the state a player would expect.
class PlaceholderScreen : public Screen {
 public:
  PlaceholderScreen(const char* name, int escapeState) : name_(name), escapeState_(escapeState) {}

  void Load() override {
    while (runState_ != "EXIT") {
      plat::DoEvents();
      EmptyHook();
      Draw();
    }
  }

  void KeyDown(int16_t& keyCode, int16_t&) override { Leave(keyCode); }
  void KeyPress(int16_t& keyAscii) override { Leave(keyAscii); }

 private:
  void Leave(int16_t key) {
    if (key != kVkEscape || runState_ == "EXIT") return;
    GameState = escapeState_;
    runState_ = "EXIT";
  }

  void Draw() {
    if (!BackBuffer || !Primary) {
      runState_ = "EXIT";  // nothing to draw on: do not spin
      GameState = escapeState_;
      return;
    }
    BackBuffer->BltColorFill(nullptr, 0x0841);
    BackBuffer->SetFont("Arial", 20.0f / FontScale, true);
    BackBuffer->SetForeColor(plat::RGB(255, 255, 0));
    BackBuffer->DrawText(40, 200, name_);
    BackBuffer->SetFont("Arial", 12.0f / FontScale, false);
    BackBuffer->SetForeColor(plat::RGB(192, 192, 192));
    BackBuffer->DrawText(40, 240, "Esc to leave");
    Primary->Flip(nullptr, 0);
  }

  std::string name_;
  int escapeState_;
  std::string runState_;
};
}  // namespace

ScreenSlot::ScreenSlot(int state, const char* name, int escapeState)
    : state_(state), name_(name), escapeState_(escapeState) {}

std::shared_ptr<Screen> ScreenSlot::Shared() {
  if (!screen_) screen_ = factory_ ? factory_() : std::make_shared<PlaceholderScreen>(name_, escapeState_);
  return screen_;
}

ScreenSlot MainMenuScreen(1, "Main menu", 5);
ScreenSlot CampaignScreen(2, "Campaign battle", 7);
ScreenSlot MultiMenuScreen(3, "Network lobby", 1);
ScreenSlot MultiScreen(4, "Network battle", 3);
ScreenSlot UserMenuScreen(5, "Profiles", 0);
ScreenSlot SetupMenuScreen(6, "Setup", 1);
ScreenSlot BriefScreen(7, "Mission briefing", 1);
ScreenSlot FactoryScreen(8, "Maintenance factory", 7);
ScreenSlot EndScreenObj(9, "Battle result", 7);

ScreenSlot* ScreenForState(int32_t state) {
  static ScreenSlot* const slots[] = {&MainMenuScreen, &CampaignScreen, &MultiMenuScreen,
                                      &MultiScreen,    &UserMenuScreen, &SetupMenuScreen,
                                      &BriefScreen,    &FactoryScreen,  &EndScreenObj};
  if (state < 1 || state > 9) return nullptr;
  return slots[state - 1];
}

void EmptyHook() {}

}  // namespace fw
