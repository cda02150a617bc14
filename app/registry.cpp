#include "app/registry.hpp"

#include "battle/battle_screen.hpp"
#include "data/map_control.hpp"
#include "engine/screen.hpp"
#include "factory/factory_screen.hpp"
#include "missions/campaign.hpp"

namespace fw {

namespace {
// What the window passes to each kind of screen: the menus are clicked and
// typed at, the battles steered by keys held down and released.
constexpr ScreenEvents kMenuEvents = kScreenKeyPress | kScreenMouseDown | kScreenMouseMove;
constexpr ScreenEvents kBattleEvents =
    kScreenKeyDown | kScreenKeyUp | kScreenMouseDown | kScreenMouseMove | kScreenMouseUp;
}  // namespace

void RegisterScreens() {
  using S = ScreenState;
  // One line per screen: its state, its events, its class (none yet: a
  // placeholder stands in) and what runs before each visit. The battles read
  // the map tables fresh before each visit.
  RegisterScreen(S::MainMenu, kMenuEvents);
  RegisterScreen(S::CampaignBattle, kBattleEvents, MakeScreen<FrmMainClass>, LoadMapData);
  SetMissionScriptMaker(MakeCampaignScript);
  RegisterScreen(S::NetworkLobby, kMenuEvents);
  RegisterScreen(S::NetworkBattle, kBattleEvents, nullptr, LoadMapData);
  RegisterScreen(S::Profiles, kMenuEvents);
  RegisterScreen(S::Setup, kMenuEvents | kScreenKeyDown);
  RegisterScreen(S::Briefing, kMenuEvents);
  RegisterScreen(S::Factory, kMenuEvents | kScreenKeyDown | kScreenKeyUp, MakeScreen<FrmFactoryClass>);
  RegisterScreen(S::EndScreen, kMenuEvents);
}

}  // namespace fw
