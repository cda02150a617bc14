#include "engine/screen.hpp"

#include <string>

#include "engine/globals.hpp"
#include "engine/media_player.hpp"
#include "platform/input/window.hpp"

namespace fw {

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

using S = ScreenState;
ScreenSlot MainMenuScreen(S::MainMenu, "Main menu", S::Profiles);
ScreenSlot CampaignScreen(S::CampaignBattle, "Campaign battle", S::Briefing);
ScreenSlot MultiMenuScreen(S::NetworkLobby, "Network lobby", S::MainMenu);
ScreenSlot MultiScreen(S::NetworkBattle, "Network battle", S::NetworkLobby);
ScreenSlot UserMenuScreen(S::Profiles, "Profiles", S::Quit);
ScreenSlot SetupMenuScreen(S::Setup, "Setup", S::MainMenu);
ScreenSlot BriefScreen(S::Briefing, "Mission briefing", S::MainMenu);
ScreenSlot FactoryScreen(S::Factory, "Maintenance factory", S::Briefing);
ScreenSlot EndScreenObj(S::EndScreen, "Battle result", S::Briefing);

void ScreenSlot::Visit() {
  {
    // Held for the visit, so the screen may release its own slot safely.
    std::shared_ptr<Screen> screen = Shared();
    screen->Load();
  }
  Release();
}

ScreenSlot* ScreenForState(int32_t state) {
  static ScreenSlot* const slots[] = {&MainMenuScreen, &CampaignScreen, &MultiMenuScreen,
                                      &MultiScreen,    &UserMenuScreen, &SetupMenuScreen,
                                      &BriefScreen,    &FactoryScreen,  &EndScreenObj};
  if (state < ScreenState::MainMenu || state > ScreenState::EndScreen) return nullptr;
  return slots[state - ScreenState::MainMenu];
}

void RegisterScreen(ScreenState::Value state, ScreenEvents events, ScreenSlot::Factory factory,
                    std::function<void()> beforeVisit) {
  ScreenSlot* slot = ScreenForState(state);
  if (!slot) return;  // the film states have no screen to register
  slot->SetEvents(events);
  slot->SetFactory(std::move(factory));
  slot->SetBeforeVisit(std::move(beforeVisit));
}

void RunNestedScreen(ScreenState::Value state) {
  ScreenSlot* slot = ScreenForState(state);
  if (!slot) return;
  GameState = state;
  slot->Visit();
}

void ClearScreens() {
  for (int32_t s = ScreenState::MainMenu; s <= ScreenState::EndScreen; ++s) {
    ScreenSlot* slot = ScreenForState(s);
    slot->Release();
    slot->SetEvents(0);
    slot->SetFactory(nullptr);
    slot->SetBeforeVisit(nullptr);
  }
}

const std::function<void()>* PassThroughState(int32_t state) {
  // The film player is let go between screens; the story-end film's state is
  // left standing, as no screen plays that film to choose what follows it.
  static const std::function<void()> storyEndFilm = [] { MediaPlay.Release(); };
  static const std::function<void()> campaignWon = [] {
    MediaPlay.Release();
    GameState = ScreenState::MainMenu;
  };
  if (state == ScreenState::StoryEndFilm) return &storyEndFilm;
  if (state == ScreenState::CampaignWon) return &campaignWon;
  return nullptr;
}

void EmptyHook() {}

}  // namespace fw
